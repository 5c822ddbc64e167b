#include <gtest/gtest.h>

#include <vector>

#include "sdk/audiounit/AudioUnit.h"
#include "tests/audiounit/TestUnit.h"

namespace {

constexpr AudioComponentDescription kTestDescription{kAudioUnitType_MusicEffect, fourCharOSType("Test"),
                                                     fourCharOSType("Tarn"), 0, 0};

AudioComponent testComponent() {
    static AudioComponent component =
        AudioComponentRegister(&kTestDescription, &AUMIDIEffectFactory<TestUnit>::Factory);
    return component;
}

// Feeds each input channel a ramp 0, 1, 2, ... so outputs can be traced back to frames.
OSStatus pullRamp(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                  AudioBufferList* data) {
    AudioBuffer* buffers = data->mBuffers;
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i) static_cast<float*>(buffers[c].mData)[i] = static_cast<float>(i);
    return 0;
}

class AUBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AudioComponentInstanceNew(testComponent(), &unit), 0);
        object = TestUnit::last;
        UInt32 maxFrames = 512;
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                                       &maxFrames, sizeof maxFrames),
                  0);
    }
    void TearDown() override { AudioComponentInstanceDispose(unit); }

    void connectRamp() {
        AURenderCallbackStruct input{&pullRamp, nullptr};
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &input,
                                       sizeof input),
                  0);
    }

    OSStatus render(UInt32 frames) {
        left.assign(frames, -1.0f);
        right.assign(frames, -1.0f);
        struct {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{2, {{1, frames * 4, left.data()}, {1, frames * 4, right.data()}}};
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp stamp{};
        return AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
    }

    static AudioUnitParameterEvent immediate(UInt32 frame, float value) {
        AudioUnitParameterEvent event{};
        event.scope = kAudioUnitScope_Global;
        event.parameter = 0;
        event.eventType = kParameterEvent_Immediate;
        event.eventValues.immediate = {frame, value};
        return event;
    }

    AudioUnit unit = nullptr;
    TestUnit* object = nullptr;
    std::vector<float> left, right;
};

TEST_F(AUBaseTest, RenderReportsWhyItCannotRun) {
    EXPECT_EQ(render(64), kAudioUnitErr_Uninitialized);
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    EXPECT_EQ(render(64), kAudioUnitErr_NoConnection);
    connectRamp();
    EXPECT_EQ(render(513), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(render(64), 0);
    EXPECT_FLOAT_EQ(left[63], 63.0f);
    EXPECT_FLOAT_EQ(right[10], 10.0f);
}

TEST_F(AUBaseTest, ScheduledChangesSliceTheRenderAtTheirFrames) {
    connectRamp();
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    const AudioUnitParameterEvent events[] = {immediate(300, 2.0f), immediate(100, 1.0f)};
    ASSERT_EQ(AudioUnitScheduleParameters(unit, events, 2), 0);
    ASSERT_EQ(render(512), 0);

    ASSERT_EQ(object->slices.size(), 3u);
    EXPECT_EQ(object->slices[1].start, 100u);
    EXPECT_EQ(object->slices[2].start, 300u);
    EXPECT_EQ(object->slices[2].frames, 212u);
    // Each frame was made once, with the value in force at that frame.
    EXPECT_FLOAT_EQ(left[99], 99.0f);
    EXPECT_FLOAT_EQ(left[100], 101.0f);
    EXPECT_FLOAT_EQ(left[299], 300.0f);
    EXPECT_FLOAT_EQ(right[300], 302.0f);
    EXPECT_FLOAT_EQ(right[511], 513.0f);

    // The events belonged to that render only.
    object->slices.clear();
    ASSERT_EQ(render(512), 0);
    EXPECT_EQ(object->slices.size(), 1u);
}

// Rendering reads and writes one buffer per channel: an interleaved format is refused, and no
// format changes once the buffers are sized.
TEST_F(AUBaseTest, StreamFormatsAreNonInterleavedAndFixedOnceInitialised) {
    AudioStreamBasicDescription mono{48000.0, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved,
                                     4, 1, 4, 1, 32, 0};
    AudioStreamBasicDescription interleaved = mono;
    interleaved.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    auto setInput = [&](const AudioStreamBasicDescription& format) {
        return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                                    sizeof format);
    };
    EXPECT_EQ(setInput(interleaved), kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(setInput(mono), 0);
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    EXPECT_EQ(setInput(mono), kAudioUnitErr_PropertyNotWritable);
}

TEST_F(AUBaseTest, OutputBuffersAreLentWhenTheHostHasNone) {
    connectRamp();
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    struct {
        UInt32 count;
        AudioBuffer buffers[2];
    } list{2, {{1, 0, nullptr}, {1, 0, nullptr}}};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp{};
    ASSERT_EQ(AudioUnitRender(unit, &flags, &stamp, 0, 32, reinterpret_cast<AudioBufferList*>(&list)), 0);
    ASSERT_NE(list.buffers[1].mData, nullptr);
    EXPECT_EQ(list.buffers[1].mDataByteSize, 32u * 4u);
    EXPECT_FLOAT_EQ(static_cast<float*>(list.buffers[1].mData)[31], 31.0f);
}

}  // namespace
