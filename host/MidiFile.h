#pragma once

// Standard MIDI files: the channel messages of every track, each placed on the frame where it
// falls at the file's tempo (or at a tempo given instead). The reader checks every chunk and
// every event as it goes and takes time linear in the file's size, however many tracks or
// tempo changes it holds.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/InputFile.h"
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

// Far above any song; bounds what a file may make the command hold.
inline constexpr std::size_t LARGEST_MIDI_FILE = 16u << 20;

// With tempo set, the file's own tempo changes are ignored and every beat lasts 60 / tempo
// seconds. A missing, unreadable or malformed file throws HostError naming it.
MidiSong readMidiFile(const std::string& path, double sampleRate, std::optional<double> tempo,
                      double pipeWaitSeconds = PIPE_WAIT_SECONDS);

// The same for the bytes of a file; name is the file's name for messages.
MidiSong parseMidiFile(const std::vector<unsigned char>& bytes, double sampleRate,
                       std::optional<double> tempo, const std::string& name);
