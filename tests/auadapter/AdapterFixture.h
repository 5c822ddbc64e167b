#pragma once

// A small effect and the adapter around it, opened through the toolbox as a host would, with
// helpers to configure, render and inspect.
//
// The effect's output is input + parameter 0 on each channel, so every output frame shows which
// input frame and which parameter value made it.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/auadapter/AUPLUGIN.h"
#include "sdk/audiounit/AudioUnit.h"
#include "sdk/audiounit/CFRef.h"

class TestEffect : public AudioEffectX {
public:
    static constexpr int kParams = 1024;
    static constexpr int kMaxEvents = 4096;

    explicit TestEffect(HostCallback host) : AudioEffectX(host, 1, kParams) {
        std::snprintf(programName, sizeof programName, "%s", "Start");
        last = this;
    }

    void setParameter(int index, float value) override { values[static_cast<size_t>(index)] = value; }
    float getParameter(int index) override { return values[static_cast<size_t>(index)]; }
    void getParameterName(int index, char* text) override {
        if (index == 7)
            std::strcpy(text, "~Hidden");
        else
            std::snprintf(text, 31, "Param %d", index);
    }
    void getProgramName(char* text) override { std::strcpy(text, programName); }
    bool getProgramNameIndexed(int, int index, char* text) override {
        if (index != 0) return false;
        std::strcpy(text, programName);
        return true;
    }
    void setProgram(int program) override {
        ++setProgramCalls;
        AudioEffectX::setProgram(program);
    }
    void suspend() override { ++suspends; }
    int getChunk(void** data, bool) override {
        if (!chunkHost) return 0;
        *data = chunk.data();
        return static_cast<int>(chunk.size());
    }
    int setChunk(void* data, int size, bool) override {
        restoredChunk.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
        return 1;
    }

    int processEvents(VstEvents* list) override {
        lastEventCount = list->numEvents;
        for (int i = 0; i < list->numEvents && received < kMaxEvents; ++i)
            events[static_cast<size_t>(received++)] = *reinterpret_cast<VstMidiEvent*>(list->events[i]);
        return 0;
    }

    void processReplacing(float** inputs, float** outputs, int frames) override {
        framesProcessed += frames;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] + values[0];
        if (timeRequest) lastTime = getTimeInfo(1536);
        if (displayRequest) {
            displayRequest = false;
            updateDisplay();
        }
    }

    std::array<float, kParams> values{};
    char programName[32] = {};
    int suspends = 0, setProgramCalls = 0;
    bool chunkHost = false;
    std::vector<char> chunk = std::vector<char>(4128, 'c');
    std::vector<char> restoredChunk;
    std::array<VstMidiEvent, kMaxEvents> events{};
    int received = 0, lastEventCount = -1;
    long framesProcessed = 0;
    bool timeRequest = false, displayRequest = false;
    VstTimeInfo* lastTime = nullptr;

    static inline TestEffect* last = nullptr;
};

// The adapter with the test effect, exposing the effect's program record.
class TestAdapter : public AUPLUGIN {
public:
    explicit TestAdapter(AudioComponentInstance instance)
        : AUPLUGIN(instance, [](HostCallback host) -> AudioEffect* { return new TestEffect(host); }) {
        last = this;
    }
    bool ReadProgramRecord(int program, char* name, std::size_t nameSize, float* values) override {
        if (!exposeRecords || program != 0) return false;
        std::snprintf(name, nameSize, "%s", recordName);
        std::copy(recordValues.begin(), recordValues.end(), values);
        return true;
    }
    bool WriteProgramRecord(int program, const char* name, const float* values) override {
        if (!exposeRecords || program != 0) return false;
        std::snprintf(recordName, sizeof recordName, "%s", name);
        std::copy(values, values + recordValues.size(), recordValues.begin());
        return true;
    }
    bool exposeRecords = false;
    char recordName[32] = "Record";
    std::array<float, TestEffect::kParams> recordValues{};
    static inline TestAdapter* last = nullptr;
};

inline constexpr AudioComponentDescription kTestAdapterDescription{
    kAudioUnitType_MusicEffect, fourCharOSType("Tadp"), fourCharOSType("Tarn"), 0, 0};

// A change of a global parameter, due at a frame of the next render.
inline AudioUnitParameterEvent immediate(UInt32 frame, float value, AudioUnitParameterID parameter = 0) {
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = parameter;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate = {frame, value};
    return event;
}

// The host side: a pull-input callback fed from `input`, and two output buffers.
class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        static AudioComponent component =
            AudioComponentRegister(&kTestAdapterDescription, &AUMIDIEffectFactory<TestAdapter>::Factory);
        ASSERT_EQ(AudioComponentInstanceNew(component, &unit), 0);
        adapter = TestAdapter::last;
        effect = TestEffect::last;
    }
    void TearDown() override { AudioComponentInstanceDispose(unit); }
    void reopen() {
        TearDown();
        SetUp();
    }

    OSStatus setChannels(UInt32 inputs, UInt32 outputs, double rate = 44100.0) {
        for (auto [scope, channels] :
             {std::pair{kAudioUnitScope_Input, inputs}, std::pair{kAudioUnitScope_Output, outputs}}) {
            AudioStreamBasicDescription format{
                rate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4, channels, 32,
                0};
            const OSStatus status =
                AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &format, sizeof format);
            if (status != 0) return status;
        }
        return 0;
    }

    // Configures, connects the input and initialises.
    void start(UInt32 inputs = 2, UInt32 maxFrames = 1024) {
        ASSERT_EQ(setChannels(inputs, 2), 0);
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global,
                                       0, &maxFrames, sizeof maxFrames),
                  0);
        AURenderCallbackStruct callback{&AdapterTest::pull, this};
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                                       &callback, sizeof callback),
                  0);
        ASSERT_EQ(AudioUnitInitialize(unit), 0);
    }

    // Input channel c carries c * 1000 + frame index, unless a test set its own.
    OSStatus render(UInt32 frames) {
        for (UInt32 c = 0; c < 2; ++c)
            for (UInt32 i = static_cast<UInt32>(input[c].size()); i < frames; ++i)
                input[c].push_back(static_cast<float>(c * 1000 + i));
        for (auto& channel : output) channel.assign(frames, -99.0f);
        struct {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{2, {{1, frames * 4, output[0].data()}, {1, frames * 4, output[1].data()}}};
        AudioTimeStamp stamp{};
        stamp.mSampleTime = sampleTime;
        stamp.mFlags = kAudioTimeStampSampleTimeValid;
        sampleTime += frames;
        AudioUnitRenderActionFlags flags = 0;
        return AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
    }

    static OSStatus pull(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* data) {
        auto* self = static_cast<AdapterTest*>(refCon);
        AudioBuffer* buffers = data->mBuffers;
        for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
            std::memcpy(buffers[c].mData, self->input[c].data(), frames * sizeof(float));
        return 0;
    }

    template <typename T>
    OSStatus getProperty(AudioUnitPropertyID id, T& value, AudioUnitElement element = 0,
                         AudioUnitScope scope = kAudioUnitScope_Global) {
        UInt32 size = sizeof value;
        return AudioUnitGetProperty(unit, id, scope, element, &value, &size);
    }
    template <typename T>
    OSStatus setProperty(AudioUnitPropertyID id, const T& value,
                         AudioUnitScope scope = kAudioUnitScope_Global) {
        return AudioUnitSetProperty(unit, id, scope, 0, &value, sizeof value);
    }

    static std::string text(CFStringRef string) {
        char buffer[1024] = {};
        CFStringGetCString(string, buffer, sizeof buffer, kCFStringEncodingUTF8);
        return buffer;
    }

    AudioUnit unit = nullptr;
    TestAdapter* adapter = nullptr;
    TestEffect* effect = nullptr;
    std::vector<float> input[2];
    std::vector<float> output[2];
    double sampleTime = 0.0;
};
