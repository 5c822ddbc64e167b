#include <atomic>
#include <thread>

#include "tests/auadapter/AdapterFixture.h"
#include "tests/support/AllocationCounter.h"

namespace {

using AdapterRender = AdapterTest;

// The effect always gets two channels: a mono input feeds both, no input gives it silence.
TEST_F(AdapterRender, EveryInputLayoutGivesTheEffectTwoChannels) {
    for (UInt32 inputs : {2u, 1u, 0u}) {
        reopen();
        start(inputs);
        effect->values[0] = 0.5f;
        ASSERT_EQ(render(128), 0);
        for (UInt32 i : {0u, 77u, 127u}) {
            const float left = inputs == 0 ? 0.5f : static_cast<float>(i) + 0.5f;
            EXPECT_FLOAT_EQ(output[0][i], left) << inputs << " inputs";
            EXPECT_FLOAT_EQ(output[1][i], inputs == 2 ? left + 1000.0f : left) << inputs << " inputs";
        }
    }
}

TEST_F(AdapterRender, BypassCopiesTheInputAndHoldsTheEvents) {
    for (UInt32 inputs : {1u, 0u}) {
        reopen();
        start(inputs);
        const UInt32 on = 1, off = 0;
        ASSERT_EQ(setProperty(kAudioUnitProperty_BypassEffect, on), 0);
        effect->values[0] = 0.5f;
        MusicDeviceMIDIEvent(unit, 0x90, 64, 90, 3);
        ASSERT_EQ(render(64), 0);
        EXPECT_EQ(effect->framesProcessed, 0);
        EXPECT_FLOAT_EQ(output[0][63], inputs == 0 ? 0.0f : 63.0f);
        EXPECT_FLOAT_EQ(output[1][63], inputs == 0 ? 0.0f : 63.0f);  // the one input carried to both
        EXPECT_EQ(effect->received, 0);

        // Leaving bypass resets the effect once, and the waiting event arrives.
        const int suspends = effect->suspends;
        ASSERT_EQ(setProperty(kAudioUnitProperty_BypassEffect, off), 0);
        ASSERT_EQ(setProperty(kAudioUnitProperty_BypassEffect, off), 0);
        EXPECT_EQ(effect->suspends, suspends + 1);
        ASSERT_EQ(render(64), 0);
        EXPECT_EQ(effect->received, 1);
    }
    const uint16_t tooShort = 1;
    EXPECT_EQ(setProperty(kAudioUnitProperty_BypassEffect, tooShort), kAudioUnitErr_InvalidPropertyValue);
}

// Scheduled changes split the render at their frames, in frame order whatever the order given,
// and belong to that render only; MIDI lands in the slice that holds its frame with its offset
// counted from that slice (an event on a slice's first frame in that slice).
TEST_F(AdapterRender, ScheduledChangesAndMidiTakeEffectAtTheirFrames) {
    start();
    const AudioUnitParameterEvent events[] = {immediate(300, 0.25f), immediate(200, 0.5f)};
    ASSERT_EQ(AudioUnitScheduleParameters(unit, events, 2), 0);
    EXPECT_FLOAT_EQ(effect->values[0], 0.0f);  // not before its frame
    MusicDeviceMIDIEvent(unit, 0x90, 1, 1, 50);
    MusicDeviceMIDIEvent(unit, 0x90, 2, 1, 250);
    MusicDeviceMIDIEvent(unit, 0x90, 3, 1, 300);  // exactly where a change splits the render
    ASSERT_EQ(render(512), 0);
    EXPECT_EQ(effect->framesProcessed, 512);  // every frame once
    for (UInt32 i : {0u, 199u}) EXPECT_FLOAT_EQ(output[0][i], static_cast<float>(i)) << i;
    for (UInt32 i : {200u, 299u}) EXPECT_FLOAT_EQ(output[1][i], 1000.5f + static_cast<float>(i)) << i;
    for (UInt32 i : {300u, 511u}) EXPECT_FLOAT_EQ(output[1][i], 1000.25f + static_cast<float>(i)) << i;
    ASSERT_EQ(effect->received, 3);
    EXPECT_EQ(effect->events[0].deltaFrames, 50);
    EXPECT_EQ(effect->events[1].deltaFrames, 50);  // the second slice starts at 200
    EXPECT_EQ(effect->events[2].midiData[1], 3);
    EXPECT_EQ(effect->events[2].deltaFrames, 0);  // the first frame of the third, not the last of the second
    effect->values[0] = 0.0f;
    ASSERT_EQ(render(512), 0);
    EXPECT_FLOAT_EQ(output[0][400], 400.0f);  // nothing left over from the last render
}

TEST_F(AdapterRender, MidiOffsetsAreClampedAndThe1025thWaitingEventIsDropped) {
    start();
    MusicDeviceMIDIEvent(unit, 0x91, 60, 100, 600);
    MusicDeviceMIDIEvent(unit, 0x81, 60, 0, 20);
    ASSERT_EQ(render(512), 0);
    ASSERT_EQ(effect->received, 2);
    EXPECT_EQ(effect->events[0].deltaFrames, 511);
    EXPECT_EQ(static_cast<uint8_t>(effect->events[0].midiData[0]), 0x91);
    EXPECT_EQ(effect->events[0].midiData[2], 100);
    EXPECT_EQ(effect->events[1].deltaFrames, 20);

    for (int i = 0; i < 1025; ++i) MusicDeviceMIDIEvent(unit, 0xB0, static_cast<UInt32>(i % 128), 1, 0);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastEventCount, 1024);
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->received, 2 + 1024);
}

// A MIDI thread keeps sending while the render thread renders: every event arrives exactly
// once, in order. The sender never has more in flight than the queue holds, however slowly the
// render thread is scheduled: an overflow would be the queue working as designed, not a fault.
TEST_F(AdapterRender, MidiFromAnotherThreadArrivesOnceInOrder) {
    start(2, 64);
    constexpr int kEvents = 3000;
    constexpr int kInFlight = 512;
    std::atomic<bool> done{false};
    std::atomic<int> delivered{0};
    std::thread sender([&] {
        for (int i = 0; i < kEvents; ++i) {
            while (i - delivered.load() >= kInFlight) std::this_thread::yield();
            MusicDeviceMIDIEvent(unit, 0x90, static_cast<UInt32>(i & 0x7F),
                                 static_cast<UInt32>((i >> 7) & 0x7F), 0);
        }
        done.store(true);
    });
    while (!done.load()) {
        ASSERT_EQ(render(64), 0);
        delivered.store(effect->received);
    }
    sender.join();
    ASSERT_EQ(render(64), 0);
    ASSERT_EQ(effect->received, kEvents);
    for (int i = 0; i < kEvents; ++i) {
        const VstMidiEvent& e = effect->events[static_cast<size_t>(i)];
        ASSERT_EQ(e.midiData[1] | (e.midiData[2] << 7), i);
    }
}

TEST_F(AdapterRender, RenderingAllocatesNothing) {
    start(1);
    ASSERT_EQ(render(512), 0);  // buffers of the host side warmed up
    const AudioUnitParameterEvent event = immediate(100, 0.5f);
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
