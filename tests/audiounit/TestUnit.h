#pragma once

// A small unit on the base classes for the tests: stereo in and out, eight indexed global
// parameters, and a Render whose output is its input plus parameter 0.

#include "sdk/audiounit/AUMIDIBase.h"
#include "sdk/audiounit/AudioUnit.h"

class TestUnit : public AUBase, public AUMIDIBase {
public:
    explicit TestUnit(AudioComponentInstance instance) : AUBase(instance, 1, 1), AUMIDIBase(this) {
        CreateElements();
        Globals().UseIndexedParameters(8);
    }

    OSStatus Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                    UInt32 frames) override {
        const OSStatus status = Input(0).PullInput(flags, timeStamp, 0, frames);
        if (status != 0) return status;
        const float p0 = Globals().GetParameter(0);
        const AudioBuffer* from = Input(0).GetBufferList().mBuffers;
        AudioBuffer* to = Output(0).GetBufferList().mBuffers;
        for (UInt32 c = 0; c < Output(0).GetBufferList().mNumberBuffers; ++c)
            for (UInt32 i = 0; i < frames; ++i)
                static_cast<float*>(to[c].mData)[i] = static_cast<const float*>(from[c].mData)[i] + p0;
        return 0;
    }

    static AudioComponent component() {
        static constexpr AudioComponentDescription description{
            kAudioUnitType_MusicEffect, fourCharOSType("Test"), fourCharOSType("Tarn"), 0, 0};
        static AudioComponent registered =
            AudioComponentRegister(&description, &AUMIDIEffectFactory<TestUnit>::Factory);
        return registered;
    }
};
