#include <atomic>
#include <thread>

#include "tests/auadapter/AdapterFixture.h"
#include "tests/support/AllocationCounter.h"

namespace {

using AdapterRender = AdapterTest;

TEST_F(AdapterRender, StereoRendersThroughTheEffect) {
    start();
    effect->values[0] = 0.5f;
    ASSERT_EQ(render(256), 0);
    EXPECT_FLOAT_EQ(output[0][10], 10.5f);
    EXPECT_FLOAT_EQ(output[1][255], 1255.5f);
    EXPECT_EQ(effect->framesProcessed, 256);
}

TEST_F(AdapterRender, NeedsAnInputSource) {
    ASSERT_EQ(setChannels(2, 2), 0);
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    EXPECT_EQ(render(64), kAudioUnitErr_NoConnection);
}

TEST_F(AdapterRender, MonoInputFeedsBothEffectChannels) {
    start(1);
    ASSERT_EQ(render(128), 0);
    EXPECT_EQ(effect->lastInputs[0], effect->lastInputs[1]);
    for (UInt32 i : {0u, 77u, 127u}) {
        EXPECT_FLOAT_EQ(output[0][i], static_cast<float>(i));
        EXPECT_FLOAT_EQ(output[1][i], static_cast<float>(i));
    }
}

TEST_F(AdapterRender, NoInputGivesTheEffectSilence) {
    start(0);
    effect->values[0] = 0.25f;
    ASSERT_EQ(render(100), 0);
    EXPECT_FLOAT_EQ(output[0][0], 0.25f);
    EXPECT_FLOAT_EQ(output[1][99], 0.25f);
}

TEST_F(AdapterRender, BypassCopiesTheInput) {
    start(1);
    const UInt32 on = 1;
    ASSERT_EQ(setProperty(kAudioUnitProperty_BypassEffect, on), 0);
    effect->values[0] = 0.5f;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->framesProcessed, 0);
    EXPECT_FLOAT_EQ(output[0][63], 63.0f);
    EXPECT_FLOAT_EQ(output[1][63], 63.0f);  // the one input carried to both outputs
}

TEST_F(AdapterRender, BypassWithoutInputIsSilent) {
    start(0);
    const UInt32 on = 1;
    ASSERT_EQ(setProperty(kAudioUnitProperty_BypassEffect, on), 0);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(output[0][5], 0.0f);
    EXPECT_EQ(output[1][63], 0.0f);
}

TEST_F(AdapterRender, BypassPropertyResetsOnlyWhenLeavingBypass) {
    start();
    const uint16_t tooShort = 1;
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, tooShort), kAudioUnitErr_InvalidPropertyValue);
    const int suspends = effect->suspends;
    const int resumes = effect->resumes;
    const UInt32 off = 0, on = 1;
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, off), 0);  // already off: nothing happens
    EXPECT_EQ(effect->suspends, suspends);
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, on), 0);
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, on), 0);
    EXPECT_EQ(effect->suspends, suspends);
    UInt32 state = 0;
    ASSERT_EQ(getProperty(kAudioUnitProperty_BypassEffect, state), 0);
    EXPECT_EQ(state, 1u);
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, off), 0);
    EXPECT_EQ(effect->suspends, suspends + 1);
    EXPECT_EQ(effect->resumes, resumes + 1);
}

TEST_F(AdapterRender, SilentInputSkipsTheEffectWhenThereIsNoTail) {
    start();
    silentInput = true;
    setRampInput(64);
    for (auto& channel : input) std::fill(channel.begin(), channel.end(), 0.0f);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->framesProcessed, 0);
    EXPECT_TRUE(renderFlags & kAudioUnitRenderAction_OutputIsSilence);
    EXPECT_EQ(output[1][0], 0.0f);
}

TEST_F(AdapterRender, ScheduledChangesTakeEffectAtTheirFrame) {
    start();
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.parameter = 0;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate = {100, 0.5f};
    ASSERT_EQ(AudioUnitScheduleParameters(unit, &event, 1), 0);
    EXPECT_FLOAT_EQ(effect->values[0], 0.0f);  // not before its frame
    ASSERT_EQ(render(256), 0);
    EXPECT_EQ(effect->framesProcessed, 256);  // every frame once
    for (UInt32 i : {0u, 99u}) EXPECT_FLOAT_EQ(output[0][i], static_cast<float>(i)) << i;
    for (UInt32 i : {100u, 255u}) EXPECT_FLOAT_EQ(output[1][i], 1000.5f + static_cast<float>(i)) << i;
    EXPECT_FLOAT_EQ(adapter->Globals().GetParameter(0), 0.5f);
}

TEST_F(AdapterRender, EveryRenderSendsTheEventList) {
    start();
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->eventCalls, 1);
    EXPECT_EQ(effect->lastEventCount, 0);
}

TEST_F(AdapterRender, MidiOffsetsAreClampedIntoTheRender) {
    start();
    MusicDeviceMIDIEvent(unit, 0x91, 60, 100, 600);
    MusicDeviceMIDIEvent(unit, 0x81, 60, 0, 20);
    ASSERT_EQ(render(512), 0);
    ASSERT_EQ(effect->received, 2);
    EXPECT_EQ(effect->events[0].deltaFrames, 511);
    EXPECT_EQ(static_cast<uint8_t>(effect->events[0].midiData[0]), 0x91);
    EXPECT_EQ(effect->events[0].midiData[1], 60);
    EXPECT_EQ(effect->events[0].midiData[2], 100);
    EXPECT_EQ(effect->events[0].type, kVstMidiType);
    EXPECT_EQ(effect->events[0].byteSize, 24);
    EXPECT_EQ(effect->events[1].deltaFrames, 20);
}

TEST_F(AdapterRender, MidiFallsInTheSliceThatHoldsItsFrame) {
    start();
    AudioUnitParameterEvent event{};
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate = {200, 0.5f};
    AudioUnitScheduleParameters(unit, &event, 1);
    MusicDeviceMIDIEvent(unit, 0x90, 1, 1, 50);
    MusicDeviceMIDIEvent(unit, 0x90, 2, 1, 300);
    ASSERT_EQ(render(512), 0);
    EXPECT_EQ(effect->eventCalls, 2);
    ASSERT_EQ(effect->received, 2);
    EXPECT_EQ(effect->events[0].deltaFrames, 50);   // first slice, frames 0..199
    EXPECT_EQ(effect->events[1].deltaFrames, 100);  // second slice starts at 200
}

TEST_F(AdapterRender, The1025thWaitingEventIsDropped) {
    start();
    for (int i = 0; i < 1025; ++i) MusicDeviceMIDIEvent(unit, 0xB0, static_cast<UInt32>(i % 128), 1, 0);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->received, 1024);
    EXPECT_EQ(effect->lastEventCount, 1024);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->received, 1024);
}

TEST_F(AdapterRender, EventsWaitThroughBypass) {
    start();
    const UInt32 on = 1, off = 0;
    setProperty(kAudioUnitProperty_BypassEffect, on);
    MusicDeviceMIDIEvent(unit, 0x90, 64, 90, 3);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->received, 0);
    setProperty(kAudioUnitProperty_BypassEffect, off);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->received, 1);
}

// A MIDI thread keeps sending while the render thread renders: every event arrives exactly
// once, in order, none lost while fewer than 1024 wait.
TEST_F(AdapterRender, MidiFromAnotherThreadArrivesOnceInOrder) {
    start(2, 64);
    constexpr int kEvents = 3000;
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (int i = 0; i < kEvents; ++i) {
            MusicDeviceMIDIEvent(unit, 0x90, static_cast<UInt32>(i & 0x7F), static_cast<UInt32>((i >> 7) & 0x7F), 0);
            if (i % 200 == 199) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        done.store(true);
    });
    while (!done.load()) ASSERT_EQ(render(64), 0);
    sender.join();
    ASSERT_EQ(render(64), 0);
    ASSERT_EQ(effect->received, kEvents);
    for (int i = 0; i < kEvents; ++i) {
        const int value = effect->events[static_cast<size_t>(i)].midiData[1] |
                          (effect->events[static_cast<size_t>(i)].midiData[2] << 7);
        ASSERT_EQ(value, i);
    }
}

TEST_F(AdapterRender, RenderingAllocatesNothing) {
    start(1);
    ASSERT_EQ(render(512), 0);  // buffers of the host side warmed up
    AudioUnitParameterEvent event{};
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate = {100, 0.5f};
    effect->timeRequest = true;
    effect->displayRequest = true;
    std::size_t allocations = 0;
    {
        tarnwell::test::AllocationCounter counter;
        for (int block = 0; block < 8; ++block) {
            AudioUnitScheduleParameters(unit, &event, 1);
            MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 10);
            render(512);
        }
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(effect->received, 8);
}

}  // namespace
