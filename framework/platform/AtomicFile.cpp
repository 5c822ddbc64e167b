#include "framework/platform/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU, SIGXFSZ};
// The named temporary file being written, for the signal handler: one per process at a time.
std::atomic<const char*> pendingTemporary{nullptr};

void removePendingAndEnd(int signal) {
    if (const char* path = pendingTemporary.load()) unlink(path);
    ::signal(signal, SIG_DFL);
    raise(signal);  // delivered when the handler returns, with the default action
}

// Blocks the cleanup signals while a temporary name is made and registered, so none arrives
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

void forget(const std::string& temporary) {
    const char* ours = temporary.c_str();
    pendingTemporary.compare_exchange_strong(ours, nullptr);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symlinks to the file they lead to, which need not exist yet; false when they go round.
bool throughLinks(const std::string& target, std::string& path) {
    path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t length = readlink(path.c_str(), link.data(), PATH_MAX);
        if (length <= 0) return true;
        const std::string next(link.data(), static_cast<std::size_t>(length));
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    return false;
}

// The start of name, at most limit bytes and cut between characters, so that a temporary name
// stays short and readable whatever the target's name.
std::string shortened(const std::string& name, std::size_t limit) {
    std::size_t end = std::min(name.size(), limit);
    while (end > 0 && end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

void randomLetters(std::string& pattern) {
    static std::atomic<unsigned> serial{0};
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32) ^ (serial++ * 0x9E3779B97F4A7C15ull);
    constexpr char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i) {
        x ^= x >> 29;
        x *= 0xBF58476D1CE4E5B9ull;
        x ^= x >> 32;
        pattern[i] = LETTERS[x % (sizeof LETTERS - 1)];
    }
}

const char* specialKind(mode_t mode) {
    return S_ISBLK(mode) ? "a block device" : S_ISSOCK(mode) ? "a socket" : "a special file";
}

}  // namespace

std::string plainFileProblem(int error) {
    switch (error) {
        case ENOSPC:
            return "the disk is full";
        case EDQUOT:
            return "the disk quota is used up";
        case EFBIG:
            return "the file is larger than its file system allows";
        case EROFS:
            return "its file system is read-only";
        case EACCES:
        case EPERM:
            return "permission denied";
        case ENOENT:
            return "no such file or folder";
        case EIO:
            return "the disk reported an error";
        case EBADF:
            return "it is closed";
        case EPIPE:
            return "nothing reads it any more";
        default:
            break;
    }
    std::string text = std::strerror(error);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] > 'Z'))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

int openUnnamedFile(const std::string& folder) {
    std::string where = folder;
    if (where.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        where = tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp";
    }
    int fd = open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string pattern = where + "/.tarnwell-XXXXXX";
    fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) unlink(pattern.c_str());
    return fd;
}

AtomicFile::~AtomicFile() {
    if (!committed) discard();
}

bool AtomicFile::fail(const std::string& what) {
    why = what;
    return false;
}

bool AtomicFile::failWith(const std::string& what, int error) {
    return fail(what + " (" + plainFileProblem(error) + ")");
}

bool AtomicFile::open(const std::string& target, bool named) {
    discard();
    committed = false;
    directKind = 0;
    why.clear();
    if (target.empty()) return fail("is not a file name");
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (!exists && errno == ELOOP) return fail("cannot be written (its symbolic links go round in a loop)");
    if (exists && S_ISDIR(existing.st_mode)) return fail("is a folder, not a file");
    if (exists && (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode))) {
        // Opened as named, not through what its links say: /dev/stdout leads to no path.
        finalPath = target;
        directKind = existing.st_mode & S_IFMT;
        if (S_ISCHR(existing.st_mode)) {
            fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (fd < 0) return failWith("cannot be written", errno);
        }
        return true;
    }
    if (exists && !S_ISREG(existing.st_mode))
        return fail(std::string("is ") + specialKind(existing.st_mode) +
                    "; outputs are files, pipes or character devices");
    if (!throughLinks(target, finalPath))
        return fail("cannot be written (its symbolic links go round in a loop)");
    const std::string name = nameOf(finalPath);
    if (name.empty() || name == "." || name == "..") return fail("is not a file name");
    if (exists &&
        ((existing.st_mode & 0222) == 0 || (access(finalPath.c_str(), W_OK) != 0 && errno == EACCES)))
        return fail("is read-only; make it writable or choose another name");
    const std::string folder = folderOf(finalPath);
    long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (longest <= 0) longest = NAME_MAX;
    if (name.size() > static_cast<std::size_t>(longest))
        return fail("cannot be written (its name is longer than " + std::to_string(longest) + " bytes)");

    // A file in the target's folder, so the final rename never crosses file systems; a name it
    // gets is legal whenever the target's is (".", ".tmp-XXXXXX": 12 bytes more).
    shortName =
        shortened(name, std::min<std::size_t>(32, longest > 12 ? static_cast<std::size_t>(longest) - 12 : 1));
    if (!named && access("/proc/self/fd", X_OK) == 0)
        fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        std::string pattern = folder + "/." + shortName + ".tmp-XXXXXX";
        SignalsHeld held;
        fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) return failWith("cannot write in its folder", errno);
        tempPath = pattern;
        const char* none = nullptr;
        pendingTemporary.compare_exchange_strong(none, tempPath.c_str());
    }
    // The new file is private; give it the permissions the file it replaces had, or those an
    // ordinary new file would get.
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    return true;
}

int AtomicFile::descriptor() {
    if (fd < 0 && directKind == S_IFIFO && !committed) {
        fd = ::open(finalPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) failWith("cannot be written", errno);
    }
    return fd;
}

bool AtomicFile::positional() {
    return !direct() || (directKind != S_IFIFO && lseek(fd, 0, SEEK_CUR) >= 0);
}

bool AtomicFile::write(const void* bytes, std::size_t length) {
    if (descriptor() < 0) return fail(why.empty() ? "cannot be written" : why);
    const char* p = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(fd, p, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failWith("cannot be written", errno);
        }
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(bool flushToDisk) {
    if (descriptor() < 0) return fail(why.empty() ? "cannot be written" : why);
    if (direct()) {
        const int closed = close(fd);
        fd = -1;
        committed = closed == 0 || errno == EINTR;
        return committed || failWith("cannot be written", errno);
    }
    if (flushToDisk && fsync(fd) != 0) return failWith("cannot be written", errno);
    if (tempPath.empty()) {
        // An unnamed file gets its name now, a free one beside the target, and is moved over it.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        std::string pattern = folderOf(finalPath) + "/." + shortName + ".tmp-XXXXXX";
        SignalsHeld held;
        int linked = -1;
        for (int attempt = 0; linked != 0 && attempt < 100; ++attempt) {
            randomLetters(pattern);
            linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, pattern.c_str(), AT_SYMLINK_FOLLOW);
            if (linked != 0 && errno != EEXIST) return failWith("cannot be written", errno);
        }
        if (linked != 0) return failWith("cannot be written", EEXIST);
        tempPath = pattern;
        const char* none = nullptr;
        pendingTemporary.compare_exchange_strong(none, tempPath.c_str());
    }
    const int closed = close(fd);
    fd = -1;
    if (closed != 0) return failWith("cannot be written", errno);
    if (std::rename(tempPath.c_str(), finalPath.c_str()) != 0) return failWith("cannot be replaced", errno);
    committed = true;
    forget(tempPath);
    return true;
}

void AtomicFile::discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (tempPath.empty()) return;
    unlink(tempPath.c_str());
    forget(tempPath);
    tempPath.clear();
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
