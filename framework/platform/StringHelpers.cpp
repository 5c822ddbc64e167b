#include "framework/platform/StringHelpers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t PATH_MAX_CHARS = PATH_BUFFER_SIZE - 1;
constexpr std::size_t NAME_PART_MAX = 254;  // the file-name and extension helpers' own limit

void copyOut(char* out, const std::string& text, std::size_t maxChars = PATH_MAX_CHARS) {
    if (out == nullptr) return;
    const std::size_t n = std::min(text.size(), maxChars);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

std::string str(const char* text) {
    return text != nullptr ? text : "";
}

std::string cutAtLastDot(const std::string& path) {
    return path.substr(0, path.rfind('.'));
}

std::size_t lastSeparator(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash != std::string::npos ? slash : path.rfind('\\');
}

// Up to and including the last separator; empty without one.
std::string folderPart(const std::string& path) {
    const std::size_t sep = lastSeparator(path);
    return sep == std::string::npos ? "" : path.substr(0, sep + 1);
}

std::string nameWithoutExtension(const std::string& path) {
    const std::string cut = cutAtLastDot(path);
    const std::size_t sep = lastSeparator(cut);
    return sep == std::string::npos ? cut : cut.substr(sep + 1);
}

// Folder and name with the extension cut off; the folder is empty without a separator, so a
// bare name is not repeated.
std::string pathWithoutExtension(const std::string& path) {
    return folderPart(cutAtLastDot(path)) + nameWithoutExtension(path);
}

void endWithSlash(std::string& path) {
    if (path.empty() || path.back() != '/') path += '/';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string upperCopy(const char* text) {
    std::string s = str(text);
    std::transform(s.begin(), s.end(), s.begin(), upper);
    return s;
}

std::string saveName(const char* name) {
    char buffer[PATH_BUFFER_SIZE];
    copyOut(buffer, str(name));
    safenametosave(buffer);
    return buffer;
}

}  // namespace

void upperCase(char* text) {
    for (char* p = text; p != nullptr && *p != '\0'; ++p) *p = upper(*p);
}

void lowerCase(char* text) {
    for (char* p = text; p != nullptr && *p != '\0'; ++p) *p = lower(*p);
}

void safename(char* text) {
    if (text == nullptr) return;
    int i = 0;
    while (i < 24 && text[i] != '\0' && static_cast<signed char>(text[i]) >= 32) ++i;
    text[i] = '\0';
}

void stripAllButNum(char* text) {
    if (text == nullptr) return;
    char* out = text;
    for (const char* p = text; *p != '\0'; ++p) {
        if ((*p >= '0' && *p <= '9') || *p == '+' || *p == '-' || *p == '.') *out++ = *p;
    }
    *out = '\0';
}

void itoa(int value, char* out, int maxLen) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    copyOut(out, text, static_cast<std::size_t>(std::clamp(maxLen, 1, 255)));
}

void getNameNoExtension(const char* name, char* out) {
    copyOut(out, cutAtLastDot(str(name)));
}

void getFileNameExtension(const char* path, char* out) {
    const std::string s = str(path);
    const std::size_t dot = s.rfind('.');
    copyOut(out, dot == std::string::npos ? "" : s.substr(dot), NAME_PART_MAX);
}

void getFileNameNoExtension(const char* path, char* out) {
    copyOut(out, nameWithoutExtension(str(path)), NAME_PART_MAX);
}

void getFileNameOnly(const char* path, char* out, bool noExtension) {
    const std::string s = noExtension ? cutAtLastDot(str(path)) : str(path);
    const std::size_t sep = lastSeparator(s);
    copyOut(out, sep == std::string::npos ? "" : s.substr(sep + 1), NAME_PART_MAX);
}

void getFileDriveDir(const char* path, char* out) {
    const std::string cut = cutAtLastDot(str(path));
    const std::size_t sep = lastSeparator(cut);
    copyOut(out, sep == std::string::npos ? cut : cut.substr(0, sep + 1));
}

void GetFilePathNoExtension(const char* path, char* out) {
    copyOut(out, pathWithoutExtension(str(path)));
}

void replaceExtension(const char* path, char* out, const char* ext) {
    copyOut(out, pathWithoutExtension(str(path)) + str(ext));
}

int removeEndSlash(char* path) {
    if (path == nullptr) return 0;
    const int length = static_cast<int>(std::strlen(path));
    if (length > 0 && path[length - 1] == '/') path[length - 1] = '\0';
    return length;
}

int removeSub(const char* prefix, const char* text, char* out) {
    const std::string s = str(text);
    const std::size_t skip = prefix != nullptr ? std::strlen(prefix) : 0;
    const std::string rest = skip < s.size() ? s.substr(skip) : "";
    copyOut(out, rest);
    return static_cast<int>(std::min(rest.size(), PATH_MAX_CHARS));
}

void removeDoubleDot(char* text) {
    for (char* p = text; p != nullptr && *p != '\0'; ++p) {
        if (*p == ':') *p = ' ';
    }
}

void ltrim(char* text) {
    if (text == nullptr) return;
    std::size_t skip = 0;
    while (text[skip] == ' ') ++skip;
    std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void trim(char* text) {
    if (text == nullptr) return;
    char* out = text;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p >= 32 && *p <= 126) *out++ = *p;
    }
    *out = '\0';
}

void setThreeCharName(int n, char* name, char* out) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d ", n + 1);
    copyOut(out, number + str(name));
}

void safenametosave(char* name) {
    if (name == nullptr) return;
    safename(name);
    for (char* p = name; *p != '\0'; ++p) {
        if (*p == ':') {
            *p = '-';
        } else if (std::strchr("?|<>\\/\"*", *p) != nullptr) {
            *p = ' ';
        }
    }
    ltrim(name);
}

char* getSaveName(const char* name, const char* ext) {
    thread_local char result[PATH_BUFFER_SIZE];
    copyOut(result, saveName(name) + str(ext));
    return result;
}

void getFullPathForFolder(char* out, const char* root, const char* folder) {
    std::string path = str(root);
    endWithSlash(path);
    const std::string sub = str(folder);
    if (sub != "Root Folder") {
        path += sub;
        endWithSlash(path);
    }
    copyOut(out, path);
}

void getFullPathForFileName(char* out, const char* root, const char* folder, const char* name,
                            const char* ext) {
    char base[PATH_BUFFER_SIZE];
    getFullPathForFolder(base, root, folder);
    copyOut(out, base + saveName(name) + str(ext));
}

void getFullPathForFileName(char* out, const char* folder, const char* name) {
    std::string path = str(folder);
    endWithSlash(path);
    copyOut(out, path + str(name));
}

bool issubstring(const char* text, const char* part) {
    return upperCopy(text).find(upperCopy(part)) != std::string::npos;
}

int stringCompareIgnoreCase(const char* a, const char* b) {
    const std::string x = upperCopy(a), y = upperCopy(b);
    return std::strcmp(x.c_str(), y.c_str());
}

int stringCompareIgnoreCase(char* a, char* b) {
    return stringCompareIgnoreCase(static_cast<const char*>(a), static_cast<const char*>(b));
}

void CombineName(std::string& out, const char* a, const char* b) {
    out = str(a) + "||" + str(b);
}

void CombineName(std::string& out, const std::string& a, const std::string& b) {
    out = a + "||" + b;
}

void SplitName(std::string s, char* a, char* b) {
    const std::size_t bar = s.find("||");
    if (a != nullptr) std::strcpy(a, s.substr(0, bar).c_str());
    if (b != nullptr) std::strcpy(b, bar == std::string::npos ? "" : s.c_str() + bar + 2);
}
