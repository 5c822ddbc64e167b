// Any bytes as an audio input file, read to the end in blocks as a render reads it: read or
// refused, and nothing else.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/AudioFile.h"
#include "host/HostError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) return 0;
    try {
        AudioReader reader("/proc/self/fd/" + std::to_string(fd), 0.0);
        std::vector<std::vector<float>> block(reader.channels(), std::vector<float>(512));
        std::vector<float*> channels;
        for (auto& c : block) channels.push_back(c.data());
        while (reader.read(channels.data(), 512) == 512) {
        }
    } catch (const HostError&) {
    }
    close(fd);
    return 0;
}
