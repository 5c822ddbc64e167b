#pragma once

// An output file of the command, written whole or not at all (see framework/platform/AtomicFile.h:
// through symlinks, keeping permissions, straight into pipes and devices, read-only files and
// other special files refused), with every failure a HostError naming the file.

#include <string>

#include "framework/platform/AtomicFile.h"

class AtomicOutput {
public:
    // Throws HostError naming target when it cannot be written.
    explicit AtomicOutput(std::string target);
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Open for writing until commit; whoever writes through it must not close it.
    int descriptor();
    const std::string& target() const { return targetPath; }
    // Whether writes may go anywhere in the output, not only on at its end (not in a pipe).
    bool positional() { return file.positional(); }
    // Whether the output is a pipe or a device written straight into.
    bool direct() const { return file.direct(); }

    void write(const void* bytes, std::size_t length);
    // Moves the finished file over the target; throws HostError naming the target on failure.
    // With flushToDisk the bytes reach the disk first, so the file survives a power cut. A render
    // can be made again and skips that wait (tens of milliseconds for a minute of audio), as other
    // audio tools do; a write error still fails the commit.
    void commit(bool flushToDisk = true);

private:
    std::string targetPath;  // as given, for messages
    AtomicFile file;
};
