#pragma once

// Small hostile and unusual files, made here byte by byte: what a careless or hostile user
// could hand the command as audio input, MIDI file or saved state. Each says how the command
// must end on it. The fuzz targets start from them too.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::test {

struct HostileFile {
    std::string name;  // .wav, .aiff, .flac: the input; .mid: --midi; .aupreset: --state
    std::string bytes;
    // Refused: what the one line says after the file's name. Rendered: empty, or the one line
    // of warning it gives.
    std::string message;
    bool renders = false;
};

// A MIDI file of the given tracks (format 1 when there are several) at division pulses per beat.
std::string midiFile(const std::vector<std::string>& tracks, std::uint32_t division = 96);

std::vector<HostileFile> hostileAudioFiles();
std::vector<HostileFile> hostileMidiFiles();
std::vector<HostileFile> hostileStates();

}  // namespace tarnwell::test
