#pragma once

// Standard MIDI files read through libsmf: the channel messages of every track, each placed on
// the frame where it falls at the file's tempo (or at a tempo given instead).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/TempoMap.h"

struct MidiMessage {
    std::uint64_t frame;
    std::uint8_t status;  // 0x80..0xEF, channel included
    std::uint8_t data1;
    std::uint8_t data2;  // 0 for the one-byte messages
};

struct MidiSong {
    std::vector<MidiMessage> messages;  // in time order; equal frames keep file order
    TempoMap tempo;                     // the file's, or the one given
};

// With tempo set, the file's own tempo changes are ignored and every beat lasts 60 / tempo
// seconds. A missing, unreadable or malformed file throws HostError naming it.
MidiSong readMidiFile(const std::string& path, double sampleRate, std::optional<double> tempo);
