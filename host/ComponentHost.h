#pragma once

// What the command needs from a loaded effect component, in host terms. The real one drives
// the component through its entry points and the AudioUnit calls; the render loop, the files
// and the command line only see this.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/SavedState.h"
#include "sdk/audiounit/CFRef.h"

struct ParameterInfo {
    std::uint32_t id;
    std::string name;  // empty for slots without a name
};

// The song position the host reports for the next render, as its tempo and transport
// callbacks answer it.
struct TransportState {
    double tempo = 120.0;
    double beat = 0.0;          // quarter notes since the start
    double barStartBeat = 0.0;  // the beat on which the current bar began
    std::uint32_t samplesToNextBeat = 0;
    int numerator = 4;
    int denominator = 4;
    double sampleInTimeline = 0.0;
    bool playing = true;
    bool changed = false;  // the transport started or stopped since the last render
};

class ComponentHost {
public:
    virtual ~ComponentHost() = default;

    virtual ComponentIdentity identity() const = 0;
    virtual StateLayout stateLayout() = 0;

    // Stream formats (inputChannels in, stereo out, float, one buffer per channel), the largest
    // render, then initialisation. Throws HostError when the component refuses.
    virtual void initialize(double sampleRate, std::uint32_t inputChannels, std::uint32_t maxFrames) = 0;

    virtual std::vector<ParameterInfo> parameters() = 0;
    virtual float parameter(std::uint32_t id) = 0;
    virtual void setParameter(std::uint32_t id, float value) = 0;
    // The text the component shows for the parameter's current value (no trailing blanks).
    virtual std::string valueText(std::uint32_t id) = 0;
    // The text the component would show for value; nothing changes.
    virtual std::string valueText(std::uint32_t id, float value) = 0;
    // The value text reads as, the way the component's own type-in reads it; nullopt when the
    // component refuses the text. Nothing changes.
    virtual std::optional<float> valueFromText(std::uint32_t id, const std::string& text) = 0;
    // A change that belongs to the next render, at frameOffset within it.
    virtual void scheduleParameter(std::uint32_t id, float value, std::uint32_t frameOffset) = 0;
    virtual void queueMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                           std::uint32_t frameOffset) = 0;
    virtual void setTransport(const TransportState& transport) = 0;

    // One render of frames (at most maxFrames): the component pulls input[c][0..frames) for each
    // of its input channels and its stereo output lands in output[0] and output[1].
    virtual void render(const float* const* input, double sampleTime, std::uint32_t frames,
                        float* const* output) = 0;

    // The longest stretch, in frames, the output may stay quiet and still sound again without new
    // input, as the patch stands after the last render; nullopt when the component does not say.
    virtual std::optional<std::uint64_t> quietSpan() { return std::nullopt; }

    // The class-info dictionary (a new reference) and its restoration.
    virtual CFRef<CFTypeRef> saveState() = 0;
    virtual void restoreState(CFPropertyListRef state) = 0;
};
