#include "host/AtomicOutput.h"

#include "host/HostError.h"

AtomicOutput::AtomicOutput(std::string target) : targetPath(std::move(target)) {
    if (!file.open(targetPath)) throw fileError(targetPath, file.problem());
}

int AtomicOutput::descriptor() {
    const int fd = file.descriptor();
    if (fd < 0) throw fileError(targetPath, file.problem());
    return fd;
}

void AtomicOutput::write(const void* bytes, std::size_t length) {
    if (!file.write(bytes, length)) throw fileError(targetPath, file.problem());
}

void AtomicOutput::commit(bool flushToDisk) {
    if (!file.commit(flushToDisk)) throw fileError(targetPath, file.problem());
}
