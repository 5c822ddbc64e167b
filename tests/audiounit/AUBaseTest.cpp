#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "sdk/audiounit/AudioUnit.h"
#include "sdk/audiounit/CFRef.h"
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
    EXPECT_EQ(object->slices[0].start, 0u);
    EXPECT_EQ(object->slices[1].start, 100u);
    EXPECT_EQ(object->slices[2].start, 300u);
    UInt32 covered = 0;
    for (const SliceRecord& slice : object->slices) covered += slice.frames;
    EXPECT_EQ(covered, 512u);
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

TEST_F(AUBaseTest, RampsMoveLinearlyAndEndOnTheirFinalValue) {
    connectRamp();
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    AudioUnitParameterEvent ramp{};
    ramp.scope = kAudioUnitScope_Global;
    ramp.parameter = 0;
    ramp.eventType = kParameterEvent_Ramped;
    ramp.eventValues.ramp = {128, 256, 0.0f, 8.0f};
    const AudioUnitParameterEvent late = immediate(200, 100.0f);
    ASSERT_EQ(AudioUnitScheduleParameters(unit, &ramp, 1), 0);
    ASSERT_EQ(AudioUnitScheduleParameters(unit, &late, 1), 0);
    ASSERT_EQ(render(512), 0);

    // Slices begin at the ramp's start, the later event and the ramp's end.
    ASSERT_EQ(object->slices.size(), 4u);
    EXPECT_EQ(object->slices[1].start, 128u);
    EXPECT_FLOAT_EQ(object->slices[1].parameter0, 0.0f);
    EXPECT_EQ(object->slices[2].start, 200u);
    EXPECT_FLOAT_EQ(object->slices[2].parameter0, 100.0f);  // the immediate change, applied after the ramp step
    EXPECT_EQ(object->slices[3].start, 384u);
    EXPECT_FLOAT_EQ(object->slices[3].parameter0, 8.0f);
}

TEST_F(AUBaseTest, ThrownStatusesBecomeResults) {
    AudioUnitParameterValue value = 0.0f;
    EXPECT_EQ(AudioUnitGetParameter(unit, 8, kAudioUnitScope_Global, 0, &value), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 3, &value), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, 7, 0, &value), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(AudioUnitSetParameter(unit, 3, kAudioUnitScope_Global, 0, 0.25f, 0), 0);
    EXPECT_EQ(AudioUnitGetParameter(unit, 3, kAudioUnitScope_Global, 0, &value), 0);
    EXPECT_FLOAT_EQ(value, 0.25f);
    UInt32 size = 4;
    EXPECT_EQ(AudioUnitGetProperty(unit, 4242, kAudioUnitScope_Global, 0, &value, &size),
              kAudioUnitErr_InvalidProperty);
}

TEST_F(AUBaseTest, StreamFormatsAreFixedOnceInitialised) {
    AudioStreamBasicDescription mono{48000.0, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved,
                                     4, 1, 4, 1, 32, 0};
    AudioStreamBasicDescription interleaved = mono;
    interleaved.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &interleaved,
                                   sizeof interleaved),
              kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &mono, sizeof mono),
              0);
    AudioStreamBasicDescription read{};
    UInt32 size = sizeof read;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &read, &size), 0);
    EXPECT_EQ(read.mChannelsPerFrame, 1u);
    EXPECT_EQ(read.mSampleRate, 48000.0);

    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    Boolean writable = true;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &size,
                                       &writable),
              0);
    EXPECT_FALSE(writable);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &mono, sizeof mono),
              kAudioUnitErr_PropertyNotWritable);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 1, &read, &size),
              kAudioUnitErr_InvalidElement);
}

TEST_F(AUBaseTest, ClassInfoCarriesTheGlobalParameters) {
    for (UInt32 id = 0; id < 8; ++id) AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, 0.1f * id, 0);
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size), 0);
    CFRef<CFPropertyListRef> owned(state);
    for (UInt32 id = 0; id < 8; ++id) AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, 0.0f, 0);

    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, sizeof state),
              0);
    for (UInt32 id = 0; id < 8; ++id) {
        AudioUnitParameterValue value = -1.0f;
        AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value);
        EXPECT_FLOAT_EQ(value, 0.1f * static_cast<float>(id));
    }

    // A state made for another kind of unit is refused.
    CFMutableDictionaryRef other = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                             &kCFTypeDictionaryValueCallBacks);
    CFRef<CFPropertyListRef> ownedOther(other);
    const SInt32 wrongType = 1234;
    CFRef<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberSInt32Type, &wrongType));
    CFRef<CFStringRef> key = makeCFString("subtype");
    CFDictionarySetValue(other, key.get(), number.get());
    CFPropertyListRef otherRef = other;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &otherRef,
                                   sizeof otherRef),
              kAudioUnitErr_InvalidPropertyValue);
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

TEST_F(AUBaseTest, MidiReachesTheUnitSplitIntoTypeAndChannel) {
    EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0x93, 60, 100, 17), 0);
    ASSERT_EQ(object->midi.size(), 1u);
    EXPECT_EQ(object->midi[0].status, 0x90);
    EXPECT_EQ(object->midi[0].channel, 3);
    EXPECT_EQ(object->midi[0].data1, 60);
    EXPECT_EQ(object->midi[0].offset, 17u);
}

}  // namespace
