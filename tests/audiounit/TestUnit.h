#pragma once

// A small unit on the base classes for the tests: stereo in and out, eight indexed global
// parameters, and a Render that pulls its input and, with scheduled events pending, records
// each slice together with parameter 0 as it stood when the slice began.

#include <vector>

#include "sdk/audiounit/AUMIDIBase.h"

struct SliceRecord {
    UInt32 start;
    UInt32 frames;
    float parameter0;
};

class TestUnit : public AUBase, public AUMIDIBase {
public:
    explicit TestUnit(AudioComponentInstance instance) : AUBase(instance, 1, 1), AUMIDIBase(this) {
        CreateElements();
        Globals().UseIndexedParameters(8);
        slices.reserve(64);
        last = this;
    }

    OSStatus Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp, UInt32 frames) override {
        const OSStatus status = Input(0).PullInput(flags, timeStamp, 0, frames);
        if (status != 0) return status;
        if (HasPendingParamEvents()) return ProcessForScheduledParams(frames, nullptr);
        return ProcessScheduledSlice(nullptr, 0, frames, frames);
    }

    // Output = input + parameter 0, so every output frame shows which value it was made with.
    OSStatus ProcessScheduledSlice(void*, UInt32 start, UInt32 frames, UInt32) override {
        const float p0 = Globals().GetParameter(0);
        slices.push_back({start, frames, p0});
        AudioBufferList& in = Input(0).GetBufferList();
        AudioBufferList& out = Output(0).GetBufferList();
        const AudioBuffer* from = in.mBuffers;
        AudioBuffer* to = out.mBuffers;
        for (UInt32 c = 0; c < out.mNumberBuffers; ++c)
            for (UInt32 i = start; i < start + frames; ++i)
                static_cast<float*>(to[c].mData)[i] = static_cast<float*>(from[c].mData)[i] + p0;
        return 0;
    }

    std::vector<SliceRecord> slices;
    static inline TestUnit* last = nullptr;
};
