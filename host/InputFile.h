#pragma once

// A file the command reads, whatever it is: a regular file, a pipe or a device. A folder is
// named as one, a named pipe that no program writes to ends in a message instead of a wait for
// ever, and whole-file reads stop at a cap however much the file could give.

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

// How long the command waits for a program to start writing into a named pipe.
inline constexpr double PIPE_WAIT_SECONDS = 10.0;

// The device and inode that name one file, however it is reached (links, symlinks).
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

class InputFile {
public:
    // Opens path for reading; throws HostError naming it when it cannot be read, is a folder, or
    // is a pipe nothing was written to within pipeWaitSeconds.
    InputFile(std::string path, double pipeWaitSeconds);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int descriptor() const { return fd; }
    const std::string& path() const { return name; }
    FileIdentity identity() const { return id; }
    // Whether reading can start anywhere (a regular file or a device), not only at the front.
    bool canReadAt() const { return positional; }

    // Everything left to read; more than limit bytes throws HostError "is too large to be <what>".
    std::vector<unsigned char> readAll(std::size_t limit, const std::string& what);

private:
    std::string name;
    int fd = -1;
    FileIdentity id;
    bool positional = false;
};

// The identity of an existing file (following symlinks); false when there is none.
bool identityOf(const std::string& path, FileIdentity& identity);
