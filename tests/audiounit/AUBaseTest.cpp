#include <gtest/gtest.h>

#include <vector>

#include "tests/audiounit/TestUnit.h"

namespace {

// Feeds each input channel a ramp 0, 1, 2, ... so outputs can be traced back to frames.
OSStatus pullRamp(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                  AudioBufferList* data) {
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            static_cast<float*>(data->mBuffers[c].mData)[i] = static_cast<float>(i);
    return 0;
}

class AUBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AudioComponentInstanceNew(TestUnit::component(), &unit), 0);
        UInt32 maxFrames = 512;
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global,
                                       0, &maxFrames, sizeof maxFrames),
                  0);
    }
    void TearDown() override { AudioComponentInstanceDispose(unit); }

    void connectRamp() {
        AURenderCallbackStruct input{&pullRamp, nullptr};
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                                       &input, sizeof input),
                  0);
    }

    // Renders into the test's buffers, or with lend, into buffers the unit lends.
    OSStatus render(UInt32 frames, bool lend = false) {
        left.assign(frames, -1.0f);
        right.assign(frames, -1.0f);
        list = {2,
                {{1, lend ? 0 : frames * 4, lend ? nullptr : left.data()},
                 {1, lend ? 0 : frames * 4, lend ? nullptr : right.data()}}};
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp stamp{};
        return AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
    }

    AudioUnit unit = nullptr;
    std::vector<float> left, right;
    struct {
        UInt32 count;
        AudioBuffer buffers[2];
    } list{};
};

TEST_F(AUBaseTest, RenderReportsWhyItCannotRunAndLendsBuffersToHostsWithout) {
    EXPECT_EQ(render(64), kAudioUnitErr_Uninitialized);
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    EXPECT_EQ(render(64), kAudioUnitErr_NoConnection);
    connectRamp();
    EXPECT_EQ(render(513), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(render(64), 0);
    EXPECT_FLOAT_EQ(left[63], 63.0f);
    EXPECT_FLOAT_EQ(right[10], 10.0f);

    ASSERT_EQ(render(32, true), 0);
    ASSERT_NE(list.buffers[1].mData, nullptr);
    EXPECT_EQ(list.buffers[1].mDataByteSize, 32u * 4u);
    EXPECT_FLOAT_EQ(static_cast<float*>(list.buffers[1].mData)[31], 31.0f);
}

// Rendering reads and writes one buffer per channel: an interleaved format is refused, and no
// format changes once the buffers are sized.
TEST_F(AUBaseTest, StreamFormatsAreNonInterleavedAndFixedOnceInitialised) {
    AudioStreamBasicDescription mono{
        48000.0, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4, 1, 32, 0};
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

}  // namespace
