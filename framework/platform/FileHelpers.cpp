#include "framework/platform/FileHelpers.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "framework/platform/StringHelpers.h"
#include "sdk/corefoundation/CFBundle.h"
#include "sdk/corefoundation/CFString.h"

namespace {

constexpr const char* COMPONENT_BUNDLE_ID = "com.Zelk.Tarnwell.component";

bool sameFile(std::FILE* a, std::FILE* b) {
    struct stat x {
    }, y{};
    return fstat(fileno(a), &x) == 0 && fstat(fileno(b), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

}  // namespace

int makeDirectory(char* path) {
    return path == nullptr ? -1 : mkdir(path, 0777);
}

int renameFileFolder(const char* from, const char* to) {
    return from == nullptr || to == nullptr ? -1 : std::rename(from, to);
}

int renameFile(const char* from, const char* to) {
    return renameFileFolder(from, to);
}

void deleteFile(const char* path) {
    deleteFile(path, ".~fx");
}

void deleteFile(const char* path, const char* ext) {
    if (path == nullptr) return;
    char target[PATH_BUFFER_SIZE];
    replaceExtension(path, target, ext);
    std::rename(path, target);
}

void CopyFileFromTo(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return;
    std::FILE* source = std::fopen(from, "rb");
    if (source == nullptr) return;
    // Open without truncating first, so copying a file onto itself cannot empty it.
    std::FILE* target = std::fopen(to, "ab");
    if (target != nullptr && !sameFile(source, target)) {
        target = std::freopen(to, "wb", target);
        char buffer[65536];
        std::size_t n;
        while (target != nullptr && (n = std::fread(buffer, 1, sizeof buffer, source)) > 0) {
            if (std::fwrite(buffer, 1, n, target) != n) break;
        }
    }
    if (target != nullptr) std::fclose(target);
    std::fclose(source);
}

void fileCopy(const char* from, const char* to) {
    CopyFileFromTo(from, to);
}

void getResourcePath(char* out, int size) {
    if (out == nullptr || size <= 0) return;
    out[0] = '\0';
    CFStringRef identifier =
        CFStringCreateWithCString(kCFAllocatorDefault, COMPONENT_BUNDLE_ID, kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier);
    CFRelease(identifier);
    if (bundle == nullptr) return;
    const std::string path = tarnwell::cf::bundlePath(bundle) + "/Contents/Resources";
    if (static_cast<int>(path.size()) + 1 <= size) std::memcpy(out, path.c_str(), path.size() + 1);
}

void getApplicationDataFolder(char* out, int size) {
    if (out == nullptr || size <= 0) return;
    out[0] = '\0';
    std::string root;
    // A relative XDG_DATA_HOME is to be ignored, like an unset one.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        root = data;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : nullptr;
        }
        if (home == nullptr || home[0] == '\0') return;
        root = std::string(home) + "/.local/share";
    }
    if (root.back() != '/') root += '/';
    root += "Orvane/Tarnwell/";
    if (static_cast<int>(root.size()) + 1 <= size) std::memcpy(out, root.c_str(), root.size() + 1);
}

void writeLog(const char* text) {
    if (text == nullptr) return;
    std::FILE* file = std::fopen("c:\\temp\\Tivcheck.txt", "a");
    if (file == nullptr) return;
    std::fprintf(file, "%s\n", text);
    std::fclose(file);
}
