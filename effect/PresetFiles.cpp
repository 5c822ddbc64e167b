#include "effect/PresetFiles.h"

#include "effect/BlockTags.h"
#include "framework/platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace presetfile {

namespace {

// Far beyond any file of these kinds; a larger one is not one of them.
constexpr off_t LARGEST_FILE = 1 << 20;
constexpr int MIN_DECIMALS = 6;

std::optional<std::string> readSmallFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return std::nullopt;
    // Only a regular file is one of these; a named pipe or a device would keep the open or the
    // read waiting (with the editor frozen), so neither waits: the type is looked at first, and
    // the open does not block should the name change meanwhile.
    struct stat named {};
    if (::stat(path, &named) != 0 || !S_ISREG(named.st_mode)) return std::nullopt;
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= LARGEST_FILE) {
        std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        if (done == bytes.size()) text = std::move(bytes);
    }
    ::close(fd);
    return text;
}

// Whitespace-separated words, as a formatted read sees them.
std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    const char* blanks = " \t\n\r\v\f";
    for (std::size_t at = text.find_first_not_of(blanks); at != std::string_view::npos;) {
        const std::size_t end = std::min(text.find_first_of(blanks, at), text.size());
        found.push_back(text.substr(at, end - at));
        at = text.find_first_not_of(blanks, end);
    }
    return found;
}

template <typename T>
std::optional<T> number(std::string_view word) {
    if (!word.empty() && word.front() == '+') word.remove_prefix(1);
    T value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    return value;
}

}  // namespace

int valueCount(Kind kind) {
    switch (kind) {
        case Kind::Block:
            return BLOCK_TAG_COUNT;
        case Kind::XYPath:
            return BLOCK_XY_COUNT;
        case Kind::Modulation:
            return MOD_VALUES;
    }
    return 0;
}

bool readValues(const char* path, Kind kind, float* values) {
    const std::optional<std::string> text = readSmallFile(path);
    if (!text) return false;
    std::vector<std::string_view> list = words(*text);
    const auto count = static_cast<std::size_t>(valueCount(kind));
    std::size_t first = 0;
    if (kind == Kind::Modulation) {
        if (list.empty() || number<float>(list.front())) return false;
        first = 1;
        if (list.size() > first + count) list.resize(first + count);
    }
    if (list.size() != first + count) return false;
    std::vector<float> read(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<float> v = number<float>(list[first + i]);
        if (!v || !(*v >= 0.0f && *v <= 1.0f)) return false;
        read[i] = *v;
    }
    std::copy(read.begin(), read.end(), values);
    return true;
}

std::string valuesText(Kind kind, const float* values) {
    std::string text = kind == Kind::Modulation ? "V1.0\n" : "";
    for (int i = 0; i < valueCount(kind); ++i) {
        const float v = values[i] == 0.0f ? 0.0f : values[i];  // never "-0.000000"
        char digits[128];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, v, std::chars_format::fixed);
        std::string_view written(digits, error == std::errc() ? static_cast<std::size_t>(end - digits) : 0);
        text += written;
        const std::size_t point = written.find('.');
        const std::size_t decimals = point == std::string_view::npos ? 0 : written.size() - point - 1;
        if (point == std::string_view::npos) text += '.';
        if (decimals < MIN_DECIMALS) text.append(MIN_DECIMALS - decimals, '0');
        text += '\n';
    }
    return text;
}

bool readControllerMap(const char* path, int32_t (&map)[CONTROLLERS]) {
    const std::optional<std::string> text = readSmallFile(path);
    if (!text) return false;
    const std::vector<std::string_view> list = words(*text);
    if (list.size() != CONTROLLERS) return false;
    int32_t read[CONTROLLERS];
    for (int cc = 0; cc < CONTROLLERS; ++cc) {
        const std::optional<int32_t> param = number<int32_t>(list[static_cast<std::size_t>(cc)]);
        if (!param || *param < 0 || *param > MAPPABLE_PARAMETER_END) return false;
        read[cc] = *param;
    }
    std::copy(std::begin(read), std::end(read), std::begin(map));
    return true;
}

std::string controllerMapText(const int32_t (&map)[CONTROLLERS]) {
    std::string text;
    for (int32_t param : map) text += std::to_string(param) + '\n';
    return text;
}

bool writeAtomically(const char* path, const std::string& text) {
    if (path == nullptr) return false;
    // A pipe or a device is no preset file, and writing into a pipe would hold the editor until
    // some program reads it.
    struct stat info {};
    if (::stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return false;
    AtomicFile file;
    return file.open(path) && file.write(text.data(), text.size()) && file.commit();
}

}  // namespace presetfile
