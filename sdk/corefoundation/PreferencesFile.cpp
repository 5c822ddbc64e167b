#include "sdk/corefoundation/PreferencesFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace tarnwell::cf {
namespace {

std::string absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : "";
}

std::string userConfigFolder() {
    // A relative XDG_CONFIG_HOME is invalid by the XDG rules and ignored.
    std::string folder = absoluteEnv("XDG_CONFIG_HOME");
    if (!folder.empty()) return folder;
    std::string home = absoluteEnv("HOME");
    if (home.empty()) {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->pw_dir != nullptr && found->pw_dir[0] == '/') {
            home = found->pw_dir;
        }
    }
    return home.empty() ? "" : home + "/.config";
}

std::string systemConfigFolder() {
    std::string folder = absoluteEnv("TARNWELL_SYSTEM_PREFS_DIR");
    return folder.empty() ? "/etc/xdg" : folder;
}

enum class FileState { Missing, Unreadable, Refused, Read };

// Says once per file why it is not used, so a misplaced file does not pass unnoticed.
void reportRefused(const std::string& path, const char* why) {
    static std::mutex lock;
    static std::set<std::string> reported;
    std::lock_guard guard(lock);
    if (reported.insert(path).second)
        std::fprintf(stderr, "%s: preferences file %s %s: left as it is; the default settings are used\n",
                     program_invocation_short_name, path.c_str(), why);
}

// Only a regular file of at most MAX_PREFERENCES_BYTES is read: opening does not wait for a
// writer (a named pipe), and a device or an endless file is never read into memory.
FileState readFile(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? FileState::Missing : FileState::Unreadable;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return FileState::Unreadable;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > MAX_PREFERENCES_BYTES) {
        ::close(fd);
        reportRefused(path, S_ISREG(info.st_mode) ? "is larger than 4 MiB" : "is not a regular file");
        return FileState::Refused;
    }
    content.clear();
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            content.append(buffer, static_cast<std::size_t>(n));
            if (content.size() > static_cast<std::size_t>(MAX_PREFERENCES_BYTES)) {  // grew while being read
                ::close(fd);
                reportRefused(path, "is larger than 4 MiB");
                return FileState::Refused;
            }
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return FileState::Unreadable;
        }
    }
    ::close(fd);
    return FileState::Read;
}

// Null unless the text is a property list whose root is a dictionary.
CFMutableDictionaryRef parseDictionary(const std::string& content) {
    Owned list(fromXml(content.data(), content.size()));
    if (!isType(list.get(), kDictionaryType)) return nullptr;
    return const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(list.take()));
}

bool makeFolders(const std::string& folder) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = folder.find('/', slash + 1);
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A reader sees either the old file or the new one, never a part, and a crash leaves the old
// file in place.
bool replaceAtomically(const std::string& path, const std::string& folder, const std::string& text) {
    static std::atomic<unsigned> serial{0};
    const std::string temporary =
        path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(serial.fetch_add(1));
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// Exclusive advisory lock on a companion file, so the lock survives the data file's renames.
class FileLock {
public:
    explicit FileLock(const std::string& path)
        : fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd < 0) return;
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                fd = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd >= 0) ::close(fd);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd >= 0; }

private:
    int fd;
};

}  // namespace

std::string preferencesFile(const std::string& domain, Scope scope) {
    if (domain.empty() || domain[0] == '.' || domain.find('/') != std::string::npos ||
        domain.find('\0') != std::string::npos) {
        return {};
    }
    const std::string folder = scope == Scope::CurrentUser ? userConfigFolder() : systemConfigFolder();
    return folder.empty() ? "" : folder + "/" + domain + ".plist";
}

CFDictionaryRef readPreferences(const std::string& path) {
    std::string content;
    if (path.empty() || readFile(path, content) != FileState::Read) return nullptr;
    // Reads far outnumber writes, and parsing costs many times the read itself: keep the last
    // parse of each file and reuse it while the bytes are the same.
    struct Parsed {
        std::string content;
        Owned dictionary;
    };
    static std::mutex lock;
    static std::map<std::string, Parsed> cache;
    std::lock_guard guard(lock);
    Parsed& entry = cache[path];
    if (entry.dictionary.get() == nullptr || entry.content != content) {
        entry.dictionary.reset(parseDictionary(content));
        entry.content = std::move(content);
    }
    return static_cast<CFDictionaryRef>(CFRetain(entry.dictionary.get()));
}

bool updatePreferences(const std::string& path, const std::function<void(CFMutableDictionaryRef)>& change) {
    if (path.empty()) return false;
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!makeFolders(folder)) return false;
    FileLock lock(path + ".lock");
    if (!lock.held()) return false;

    std::string content;
    const FileState state = readFile(path, content);
    // Never overwrite what we could not see, nor a file that is not ours to replace.
    if (state == FileState::Unreadable || state == FileState::Refused) return false;
    Owned dictionary;
    if (state == FileState::Read) {
        dictionary.reset(parseDictionary(content));
        if (dictionary.get() == nullptr && ::rename(path.c_str(), (path + ".damaged").c_str()) != 0)
            return false;
    }
    if (dictionary.get() == nullptr) dictionary.reset(new Dictionary(true));

    auto* target = const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(dictionary.get()));
    change(target);
    const std::string xml = toXml(target);
    return !xml.empty() && replaceAtomically(path, folder, xml);
}

}  // namespace tarnwell::cf
