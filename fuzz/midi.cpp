// Any bytes through the MIDI file reader: it reads them or refuses them, and nothing else.
#include <cstdint>
#include <vector>

#include "host/HostError.h"
#include "host/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        parseMidiFile(std::vector<unsigned char>(data, data + size), 44100.0, std::nullopt, "fuzz.mid");
    } catch (const HostError&) {
    }
    return 0;
}
