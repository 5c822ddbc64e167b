#pragma once

// The component as an Audio Unit host drives it: loaded from its bundle with dlopen, reached
// only through its factory and the AudioUnit calls.

#include <memory>
#include <string>
#include <vector>

#include "host/ComponentHost.h"
#include "sdk/audiounit/AudioUnit.h"

class AudioUnitComponent : public ComponentHost {
public:
    // Loads the component library (once per process) and opens a new instance. Throws
    // HostError naming the library when either fails.
    explicit AudioUnitComponent(const std::string& libraryPath);
    ~AudioUnitComponent() override;
    AudioUnitComponent(const AudioUnitComponent&) = delete;
    AudioUnitComponent& operator=(const AudioUnitComponent&) = delete;

    ComponentIdentity identity() const override;
    StateLayout stateLayout() override;
    void initialize(double sampleRate, std::uint32_t inputChannels, std::uint32_t maxFrames) override;
    std::vector<ParameterInfo> parameters() override;
    float parameter(std::uint32_t id) override;
    void setParameter(std::uint32_t id, float value) override;
    std::string valueText(std::uint32_t id) override;
    std::string valueText(std::uint32_t id, float value) override;
    std::optional<float> valueFromText(std::uint32_t id, const std::string& text) override;
    void scheduleParameter(std::uint32_t id, float value, std::uint32_t frameOffset) override;
    void queueMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                   std::uint32_t frameOffset) override;
    void setTransport(const TransportState& transport) override;
    void render(const float* const* input, double sampleTime, std::uint32_t frames,
                float* const* output) override;
    std::optional<std::uint64_t> quietSpan() override;
    CFRef<CFTypeRef> saveState() override;
    void restoreState(CFPropertyListRef state) override;

    // The unit itself, for what a host does beside rendering (its view).
    AudioUnit audioUnit() const { return unit; }

    // The component library where the build puts it: in the bundle beside this program.
    static std::string besideProgram();

private:
    static OSStatus pullInput(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timeStamp,
                              UInt32 bus, UInt32 frames, AudioBufferList* data);
    static OSStatus beatAndTempo(void* self, Float64* beat, Float64* tempo);
    static OSStatus musicalTimeLocation(void* self, UInt32* samplesToNextBeat, Float32* numerator,
                                        UInt32* denominator, Float64* measureDownBeat);
    static OSStatus transportState(void* self, Boolean* playing, Boolean* changed, Float64* sampleInTimeline,
                                   Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);

    std::string shownText(std::uint32_t id, const float* value);

    std::string library;
    AudioUnit unit = nullptr;
    bool initialized = false;
    std::uint32_t inputCount = 0;
    std::vector<std::vector<float>> inputScratch;  // where pulled input goes when the unit lends no buffers
    const float* const* currentInput = nullptr;
    TransportState transport;
    std::vector<unsigned char> outputList;  // an AudioBufferList of two buffers
};
