#include "host/AtomicOutput.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/HostError.h"

namespace {

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU, SIGXFSZ};
// The temporary file being written, for the signal handler: one per process at a time.
std::atomic<const char*> pendingTemporary{nullptr};

void removePendingAndEnd(int signal) {
    if (const char* path = pendingTemporary.load()) unlink(path);
    ::signal(signal, SIG_DFL);
    raise(signal);  // delivered when the handler returns, with the default action
}

// Blocks the cleanup signals while a temporary file is made and registered, so none arrives
// between the two.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int s : CLEANUP_SIGNALS) sigaddset(&held, s);
        sigprocmask(SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous;
};

std::string systemError(const std::string& what) {
    return what + " (" + std::strerror(errno) + ")";
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symlinks to the file they lead to, which need not exist yet.
std::string throughLinks(const std::string& target) {
    std::string path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t length = readlink(path.c_str(), link.data(), PATH_MAX);
        if (length <= 0) return path;
        const std::string next(link.data(), static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    throw fileError(target, "cannot be written (its symbolic links go round in a loop)");
}

}  // namespace

AtomicOutput::AtomicOutput(std::string target) : targetPath(std::move(target)) {
    finalPath = throughLinks(targetPath);
    const std::string name = nameOf(finalPath);
    if (name.empty() || name == "." || name == "..") throw fileError(targetPath, "is not a file name");
    struct stat existing {};
    const bool exists = stat(finalPath.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) throw fileError(targetPath, "is a folder, not a file");
    const std::string folder = folderOf(finalPath);
    long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest <= 0) longest = NAME_MAX;
    if (name.size() > static_cast<std::size_t>(longest))
        throw fileError(targetPath, "cannot be written (its name is longer than " + std::to_string(longest) +
                                        " bytes)");

    // A hidden name beside the target, so the rename never crosses file systems; shortened so
    // that it is a legal name whenever the target's is.
    constexpr std::size_t DECORATION = 12;  // ".", ".tmp-XXXXXX"
    const std::size_t kept = static_cast<std::size_t>(longest) > DECORATION ? longest - DECORATION : 1;
    std::string pattern = folder + "/." + name.substr(0, kept) + ".tmp-XXXXXX";
    {
        SignalsHeld held;
        fd = mkstemp(pattern.data());
        if (fd < 0) throw fileError(targetPath, systemError("cannot write in its folder"));
        tempPath = pattern;
        const char* none = nullptr;
        pendingTemporary.compare_exchange_strong(none, tempPath.c_str());
    }
    // mkstemp makes the file private; give it the permissions the file it replaces had, or those
    // an ordinary new file would get.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
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

void AtomicOutput::commit(bool flushToDisk) {
    if ((flushToDisk && fsync(fd) != 0) || close(fd) != 0) {
        fd = -1;
        throw fileError(targetPath, systemError("cannot be written"));
    }
    fd = -1;
    if (std::rename(tempPath.c_str(), finalPath.c_str()) != 0)
        throw fileError(targetPath, systemError("cannot be replaced"));
    committed = true;
    const char* ours = tempPath.c_str();
    pendingTemporary.compare_exchange_strong(ours, nullptr);
}

void AtomicOutput::discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (tempPath.empty()) return;
    unlink(tempPath.c_str());
    const char* ours = tempPath.c_str();
    pendingTemporary.compare_exchange_strong(ours, nullptr);
}

void removeTemporaryOutputOnSignals() {
    struct sigaction action {};
    action.sa_handler = removePendingAndEnd;
    sigemptyset(&action.sa_mask);
    for (int s : CLEANUP_SIGNALS) {
        struct sigaction previous {};
        // A signal the caller ignores (nohup) stays ignored.
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(s, &action, nullptr);
    }
}
