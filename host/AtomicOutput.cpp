#include "host/AtomicOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "host/HostError.h"

namespace {

std::string systemError(const std::string& what) {
    return what + " (" + std::strerror(errno) + ")";
}

}  // namespace

AtomicOutput::AtomicOutput(std::string target) : targetPath(std::move(target)) {
    const std::filesystem::path path(targetPath);
    if (path.filename().empty()) throw fileError(targetPath, "is not a file name");
    if (std::filesystem::is_directory(path)) throw fileError(targetPath, "is a folder, not a file");
    // A hidden name beside the target, so the rename never crosses file systems.
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
    fd = mkstemp(pattern.data());
    if (fd < 0) throw fileError(targetPath, systemError("cannot write in its folder"));
    tempPath = pattern;
    // mkstemp makes the file private; give it the permissions an ordinary new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

AtomicOutput::~AtomicOutput() {
    if (!committed) discard();
}

void AtomicOutput::write(const void* bytes, std::size_t length) {
    const char* p = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(fd, p, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw fileError(targetPath, systemError("cannot be written"));
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
}

void AtomicOutput::commit() {
    if (fsync(fd) != 0 || close(fd) != 0) {
        fd = -1;
        throw fileError(targetPath, systemError("cannot be written"));
    }
    fd = -1;
    if (std::rename(tempPath.c_str(), targetPath.c_str()) != 0)
        throw fileError(targetPath, systemError("cannot be replaced"));
    committed = true;
}

void AtomicOutput::discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!tempPath.empty()) unlink(tempPath.c_str());
}
