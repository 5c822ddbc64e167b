// Any bytes as a Block, XY or modulation preset and as a controller map: each read checks the
// whole file and takes it or leaves everything untouched; what it takes is in range and writes
// back as text that reads as the same values.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "effect/PresetFiles.h"

using namespace presetfile;

namespace {

// The bytes as a file that the readers open by name.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& bytes) : fd(memfd_create("preset", MFD_CLOEXEC)) {
        if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    ~MemoryFile() { close(fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const char* name() const { return path.c_str(); }

private:
    int fd;
    std::string path;
};

constexpr float UNTOUCHED = -7.0f;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MemoryFile file(std::string(reinterpret_cast<const char*>(data), size));
    for (Kind kind : {Kind::Block, Kind::XYPath, Kind::Modulation}) {
        const auto count = static_cast<std::size_t>(valueCount(kind));
        std::vector<float> values(count, UNTOUCHED);
        if (!readValues(file.name(), kind, values.data())) {
            if (std::any_of(values.begin(), values.end(), [](float v) { return v != UNTOUCHED; }))
                std::abort();
            continue;
        }
        if (std::any_of(values.begin(), values.end(), [](float v) { return !(v >= 0.0f && v <= 1.0f); }))
            std::abort();
        const MemoryFile written(valuesText(kind, values.data()));
        std::vector<float> again(count, UNTOUCHED);
        if (!readValues(written.name(), kind, again.data()) || again != values) std::abort();
    }
    int32_t map[CONTROLLERS];
    std::fill(std::begin(map), std::end(map), -1);
    if (readControllerMap(file.name(), map)) {
        if (std::any_of(std::begin(map), std::end(map),
                        [](int32_t p) { return p < 0 || p > MAPPABLE_PARAMETER_END; }))
            std::abort();
        const MemoryFile written(controllerMapText(map));
        int32_t again[CONTROLLERS] = {};
        if (!readControllerMap(written.name(), again) || !std::equal(std::begin(map), std::end(map), again))
            std::abort();
    } else if (std::any_of(std::begin(map), std::end(map), [](int32_t p) { return p != -1; })) {
        std::abort();
    }
    return 0;
}
