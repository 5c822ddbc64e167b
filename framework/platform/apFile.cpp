#include "framework/platform/apFile.h"

#include <sys/stat.h>

#include <climits>

int apFile::open(const char* path) {
    if (stream != nullptr || path == nullptr || path[0] == '\0') return 0;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return 0;
    // A folder opens as a stream here but reads nothing: it is not a file.
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return 0;
    }
    stream = file;
    return 1;
}

long apFile::readHE(void* buffer, long count) {
    if (stream == nullptr || buffer == nullptr || count < 1) return 0;
    return static_cast<long>(std::fread(buffer, 1, static_cast<std::size_t>(count), stream));
}

long apFile::readLE(void* buffer, long count) {
    if (stream == nullptr || buffer == nullptr || count < 1) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    long read = 0;
    for (long i = count - 1; i >= 0; --i) {
        const int c = std::fgetc(stream);
        if (c == EOF) break;
        bytes[i] = static_cast<unsigned char>(c);
        ++read;
    }
    return read;
}

int apFile::getSize(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        std::printf("CFURLGetFSRef failed for %s\n", path != nullptr ? path : "");
        return -1;
    }
    struct stat info {};
    if (stat(path, &info) != 0) {
        std::printf("FSGetCatalogInfo failed for %s\n", path);
        return -1;
    }
    return info.st_size > INT_MAX ? INT_MAX : static_cast<int>(info.st_size);
}

void apFile::close() {
    if (stream == nullptr) return;
    std::fclose(stream);
    stream = nullptr;
}
