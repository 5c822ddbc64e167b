#pragma once

// The offline render loop: feeds the input through an initialised component block by block,
// with MIDI and parameter changes on their frames and the song position reported for each
// block, and collects the stereo output.

#include <cstdint>
#include <functional>
#include <vector>

#include "host/AudioData.h"
#include "host/ComponentHost.h"
#include "host/MidiFile.h"
#include "host/TempoMap.h"

struct ParameterChange {
    std::uint64_t frame;
    std::uint32_t id;
    float value;
};

struct RenderJob {
    const AudioData* input = nullptr;         // one or two channels
    std::vector<MidiMessage> midi;            // in frame order
    std::vector<ParameterChange> automation;  // in frame order
    TempoMap tempo;
    std::uint32_t blockFrames = 512;
    std::uint64_t tailFrames = 0;  // rendered on silence after the input ends
};

// The most MIDI events one render hands over; a block with more is cut short.
inline constexpr std::size_t MIDI_EVENTS_PER_RENDER = 1024;

// Output: stereo at the input's rate, input length plus tail. progress(done, total) follows
// every render.
AudioData renderAudio(ComponentHost& component, const RenderJob& job,
                      const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});

// The song position at frame for a tempo map and sample rate.
TransportState transportAt(const TempoMap& tempo, double sampleRate, std::uint64_t frame);
