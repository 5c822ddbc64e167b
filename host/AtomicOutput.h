#pragma once

// An output file that appears under its name only when it is complete: the bytes go to a
// temporary file in the same folder, which commit() renames over the target. Until then, and
// whenever the object goes away uncommitted, the target is untouched and the temporary removed;
// so it is when the command is stopped by a signal (see removeTemporaryOutputOnSignals).
// A symlinked target is written through the link, and an existing target keeps its permissions.

#include <string>

class AtomicOutput {
public:
    // Throws HostError naming target when the folder cannot take a new file.
    explicit AtomicOutput(std::string target);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Open for writing until commit; whoever writes through it must not close it.
    int descriptor() const { return fd; }
    const std::string& target() const { return targetPath; }

    void write(const void* bytes, std::size_t length);
    // Renames the finished file over the target; throws HostError naming the target on failure.
    // With flushToDisk the bytes reach the disk first, so the file survives a power cut. A render
    // can be made again and skips that wait (tens of milliseconds for a minute of audio), as other
    // audio tools do; a write error still fails the commit.
    void commit(bool flushToDisk = true);

private:
    void discard();

    std::string targetPath;  // as given, for messages
    std::string finalPath;   // where the file goes: the target, or what its symlinks lead to
    std::string tempPath;
    int fd = -1;
    bool committed = false;
};

// Makes SIGINT, SIGTERM, SIGHUP and the resource-limit signals remove the temporary file being
// written before the command ends as the signal would end it. For main(), once.
void removeTemporaryOutputOnSignals();
