#pragma once

// A file written whole or not at all, for every output and save: the bytes go to a new file in
// the target's folder, which commit() moves over the target. Until then, and whenever the object
// goes away uncommitted, the target is untouched and the new file gone. Where the file system
// allows it the new file has no name until commit, so even a process killed outright leaves
// nothing; elsewhere it has a short hidden name, removed also when the process is stopped by a
// signal (see removeTemporaryOutputOnSignals).
//
// A symlinked target is written through the link, and an existing target keeps its permissions.
// A target that is (or leads to) a named pipe or a character device is written straight into
// and never replaced; any other special file, a folder and a read-only file are refused.

#include <cstddef>
#include <string>

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False, with problem() saying why, when target cannot be written. With named, the new file
    // gets a name from the start, as where the file system offers no unnamed ones.
    bool open(const std::string& target, bool named = false);
    // Open for writing until commit; whoever writes through it must not close it. A named pipe
    // opens here, when the first reader comes.
    int descriptor();
    // Whether the bytes go straight into a pipe or a device rather than into a new file.
    bool direct() const { return directKind != 0; }
    // Whether writes may go anywhere in the file (pwrite, lseek): a new file or a seekable device.
    bool positional();

    // False, with problem() set, when a write fails.
    bool write(const void* bytes, std::size_t length);
    // Moves the finished file over the target. With flushToDisk the bytes reach the disk first,
    // so the file survives a power cut; a write error fails the commit either way.
    bool commit(bool flushToDisk = true);

    // What went wrong, in words that follow the file's name: "cannot be written (the disk is full)".
    const std::string& problem() const { return why; }
    // The new file's name while it has one (tests).
    const std::string& temporaryName() const { return tempPath; }

private:
    bool fail(const std::string& what);
    bool failWith(const std::string& what, int error);
    void discard();

    std::string finalPath;  // where the file goes: the target, or what its symlinks lead to
    std::string tempPath;   // the new file's name, once it has one
    std::string shortName;  // the start of the target's name, for the temporary name
    std::string why;
    int fd = -1;
    unsigned directKind = 0;  // S_IFIFO or S_IFCHR for a target written straight into
    bool committed = false;
};

// Why a file operation failed (an errno value), in plain words: "the disk is full".
std::string plainFileProblem(int error);

// A file with no name in folder (or the system's temporary folder when empty), open for reading
// and writing, that goes when it is closed; -1 when none can be made.
int openUnnamedFile(const std::string& folder = "");

// Makes SIGINT, SIGTERM, SIGHUP and the resource-limit signals remove the named temporary file
// being written before the process ends as the signal would end it. For main(), once.
void removeTemporaryOutputOnSignals();
