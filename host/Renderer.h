#pragma once

// The offline render loop: pulls the input a block at a time, feeds it through an initialised
// component with MIDI and parameter changes on their frames and the song position reported
// for each block, and hands each block of stereo output on. Memory stays the same whatever
// the length of the input.

#include <cstdint>
#include <functional>
#include <optional>
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

// Where the input comes from and the output goes.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Up to frames frames into out[c][0..) for each channel; fewer only at the end.
    virtual std::size_t read(float* const* out, std::size_t frames) = 0;
};
class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual void write(const float* const* channels, std::size_t frames) = 0;
};

// The longest automatic tail, and the level it waits for the output to stay under (-90 dBFS).
inline constexpr double AUTOMATIC_TAIL_SECONDS = 60.0;
inline constexpr float QUIET_LEVEL = 3.1622777e-5f;
// How long the output must stay under that level for an automatic tail to end. A component that
// says how long its output may stay quiet and still sound again (ComponentHost::quietSpan) is
// waited for that long and a quarter of a second more; for one that does not, longer than the
// effect's longest echo line (262,143 frames) and at least a second.
std::uint64_t quietFramesToEnd(double sampleRate);
std::uint64_t quietFramesToEnd(double sampleRate, std::uint64_t quietSpan);

struct RenderJob {
    double sampleRate = 44100.0;
    std::uint32_t inputChannels = 2;
    std::vector<MidiMessage> midi;            // in frame order
    std::vector<ParameterChange> automation;  // in frame order
    TempoMap tempo;
    std::uint32_t blockFrames = 512;
    // Rendered on silence after the input ends: this many frames, or, when unset, until the
    // output stays quiet (its last quiet stretch left out), at most AUTOMATIC_TAIL_SECONDS.
    std::optional<std::uint64_t> tailFrames;
    std::uint64_t expectedInputFrames = 0;  // for progress; 0 when not known
};

// The frames rendered after the input at most, and the output's longest length when the input's
// is known.
std::uint64_t longestTailFrames(const RenderJob& job);
std::optional<std::uint64_t> longestOutputFrames(const RenderJob& job);

struct RenderResult {
    std::uint64_t inputFrames = 0;
    std::uint64_t outputFrames = 0;
};

// The most MIDI events one render hands over; a block with more is cut short.
inline constexpr std::size_t MIDI_EVENTS_PER_RENDER = 1024;

// progress(done, total) follows every render; total is 0 when the length is not known.
using RenderProgress = std::function<void(std::uint64_t, std::uint64_t)>;
RenderResult renderStream(ComponentHost& component, const RenderJob& job, AudioSource& input,
                          AudioSink& output, const RenderProgress& progress = {});

// The same from and to memory: output stereo at the input's rate.
AudioData renderAudio(ComponentHost& component, RenderJob job, const AudioData& input,
                      const RenderProgress& progress = {});

// Reads an AudioData from its start.
class MemorySource : public AudioSource {
public:
    explicit MemorySource(const AudioData& audio) : data(audio) {}
    std::size_t read(float* const* out, std::size_t frames) override;

private:
    const AudioData& data;
    std::size_t position = 0;
};

// The song position at frame for a tempo map and sample rate.
TransportState transportAt(const TempoMap& tempo, double sampleRate, std::uint64_t frame);
