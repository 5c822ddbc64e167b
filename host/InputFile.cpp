#include "host/InputFile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

#include "host/HostError.h"

namespace {

std::string readProblem() {
    return std::string("cannot be read (") + std::strerror(errno) + ")";
}

// Returns once a program has the pipe open for writing, has written to it, or has come and
// gone; throws when none does within seconds. tee() tells a pipe with no writer (0) from one
// whose writer has not written yet (EAGAIN) without taking anything out of it.
void waitForWriter(int fd, const std::string& path, double seconds) {
    int scratch[2];
    if (pipe2(scratch, O_NONBLOCK | O_CLOEXEC) != 0) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool waiting = true;
    while (waiting) {
        const ssize_t copied = tee(fd, scratch[1], 1, SPLICE_F_NONBLOCK);
        if (copied != 0) {
            if (copied < 0 && errno == EINTR) continue;
            break;  // data, a writer at work, or no tee here: read as any reader would
        }
        const auto left =
            std::chrono::duration<double, std::milli>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0.0) {
            close(scratch[0]);
            close(scratch[1]);
            char wait[32];
            std::snprintf(wait, sizeof wait, "%g", seconds);
            throw fileError(path, std::string("is a pipe that nothing was written to in ") + wait + " s");
        }
        pollfd ready{fd, POLLIN, 0};
        const int events = poll(&ready, 1, static_cast<int>(std::ceil(left.count())));
        // A writer that came and went without writing leaves an empty input.
        waiting = !(events > 0 && (ready.revents & POLLHUP) != 0 && (ready.revents & POLLIN) == 0);
    }
    close(scratch[0]);
    close(scratch[1]);
}

}  // namespace

InputFile::InputFile(std::string path, double pipeWaitSeconds) : name(std::move(path)) {
    // Without O_NONBLOCK, opening a named pipe waits for a writer with no end.
    fd = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw fileError(name, readProblem());
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const std::string problem = readProblem();
        close(fd);
        throw fileError(name, problem);
    }
    id = {info.st_dev, info.st_ino};
    if (S_ISDIR(info.st_mode)) {
        close(fd);
        throw fileError(name, "is a folder, not a file");
    }
    try {
        if (S_ISFIFO(info.st_mode)) waitForWriter(fd, name, pipeWaitSeconds);
    } catch (...) {
        close(fd);
        throw;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    positional = S_ISREG(info.st_mode) || S_ISBLK(info.st_mode);
}

InputFile::~InputFile() {
    if (fd >= 0) close(fd);
}

std::vector<unsigned char> InputFile::readAll(std::size_t limit, const std::string& what) {
    std::vector<unsigned char> bytes;
    constexpr std::size_t STEP = 1 << 16;
    for (;;) {
        const std::size_t have = bytes.size();
        bytes.resize(have + STEP);
        const ssize_t got = read(fd, bytes.data() + have, STEP);
        if (got < 0 && errno == EINTR) {
            bytes.resize(have);
            continue;
        }
        if (got < 0) throw fileError(name, readProblem());
        bytes.resize(have + static_cast<std::size_t>(got));
        if (got == 0) return bytes;
        if (bytes.size() > limit)
            throw fileError(
                name, "is too large to be " + what + " (more than " + std::to_string(limit >> 20) + " MB)");
    }
}

bool identityOf(const std::string& path, FileIdentity& identity) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    identity = {info.st_dev, info.st_ino};
    return true;
}
