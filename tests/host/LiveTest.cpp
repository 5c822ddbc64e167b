// Live playback and MIDI: the input loops while the song runs on, paced by the device or the
// clock; MIDI from the port reaches the component in the next render at offsets that keep their
// spacing.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "host/LiveMidiInput.h"
#include "host/LivePlayback.h"
#include "tests/host/FakeComponent.h"
#include "tests/support/AllocationCounter.h"

using namespace tarnwell::test;
using namespace std::chrono_literals;

namespace {

// 48 kHz, renders of 480 frames (10 ms): a render at time T covers T - 10 ms .. T.
TEST(LiveMidiInput, OpensOrSaysWhyAndMessagesKeepTheirSpacingInTheNextRender) {
    std::ostringstream notes;
    LiveMidiInput input(notes, "Tarnwell test");
    const std::string said = notes.str();
    if (input.isOpen())
        EXPECT_EQ(said, "");
    else
        EXPECT_TRUE(said.rfind("No MIDI input: ", 0) == 0 && said.find('\n') == said.size() - 1) << said;
    FakeLog log;
    FakeComponent component(log);
    component.initialize(48000.0, 2, 480);
    const auto t0 = LiveMidiInput::Clock::time_point{} + 1s;
    auto send = [&](std::initializer_list<unsigned char> bytes, std::chrono::microseconds after) {
        const std::vector<unsigned char> message(bytes);
        input.receive(message.data(), message.size(), t0 + after);
    };
    send({0x90, 60, 100}, 1000us);
    send({0xF8}, 1500us);  // clock: ignored
    send({0xB2, 7, 64}, 2500us);
    send({0xD0, 90}, 9999us);
    send({0x80, 60, 0}, 10500us);  // after the first render's time
    float silence[480] = {}, out[2][480];
    const float* in[2] = {silence, silence};
    float* outs[2] = {out[0], out[1]};

    input.deliver(component, 480, 48000.0, t0 + 10ms);
    component.render(in, 0.0, 480, outs);
    input.deliver(component, 480, 48000.0, t0 + 20ms);
    component.render(in, 480.0, 480, outs);
    // A render loop that stalled: a message from long ago lands on the first frame.
    send({0x90, 62, 1}, 5ms);
    input.deliver(component, 480, 48000.0, t0 + 60ms);
    component.render(in, 960.0, 480, outs);

    ASSERT_EQ(log.renders.size(), 3u);
    EXPECT_EQ(log.renders[0].midiOffsets, (std::vector<std::uint32_t>{48, 120, 479}));
    EXPECT_EQ(log.renders[0].midiStatus, (std::vector<std::uint8_t>{0x90, 0xB2, 0xD0}));
    EXPECT_EQ(log.renders[1].midiOffsets, (std::vector<std::uint32_t>{24}));
    EXPECT_EQ(log.renders[2].midiOffsets, (std::vector<std::uint32_t>{0}));
}

// 700 frames of mono, frame i holding i: every output sample tells which input frame made it
// (the fake halves it).
AudioData ramp(double rate = 1000.0) {
    AudioData input;
    input.sampleRate = rate;
    input.channels.assign(1, std::vector<float>(700));
    for (std::size_t i = 0; i < 700; ++i) input.channels[0][i] = static_cast<float>(i);
    return input;
}

TEST(LivePlayback, LoopsTheInputWhileTheSongRunsOnAndAllocatesNothingPerRender) {
    FakeLog log;
    FakeComponent fake(log);
    fake.initialize(1000.0, 1, LivePlayback::BLOCK_FRAMES);
    const AudioData input = ramp();
    LivePlayback playback(fake, input, 120.0, nullptr);
    log.renders.reserve(8);
    std::vector<float> left(300), right(300);
    std::size_t allocations = 0;
    {
        AllocationCounter counter;
        for (int block = 0; block < 3; ++block) playback.renderBlock(left.data(), right.data(), 300);
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(playback.framesPlayed(), 900u);

    // The third render holds input frames 600..699, then the loop starts again at 0.
    EXPECT_EQ(left[0], 300.0f);
    EXPECT_EQ(left[99], 349.5f);
    EXPECT_EQ(left[100], 0.0f);
    EXPECT_EQ(right[299], 99.5f);

    // The song does not wrap with the input: 120 beats a minute, two beats a second.
    ASSERT_EQ(log.renders.size(), 3u);
    EXPECT_EQ(log.renders[2].sampleTime, 600.0);
    EXPECT_DOUBLE_EQ(log.renders[2].transport.beat, 1.2);
    EXPECT_TRUE(log.renders[0].transport.changed);
    EXPECT_FALSE(log.renders[1].transport.changed);
}

TEST(LivePlayback, WithoutADeviceTheClockPacesItUntilStopped) {
    FakeLog log;
    FakeComponent fake(log);
    fake.initialize(44100.0, 1, LivePlayback::BLOCK_FRAMES);
    const AudioData input = ramp(44100.0);
    LivePlayback playback(fake, input, 120.0, nullptr);
    std::ostringstream notes;
    playback.start(notes, false);
    EXPECT_FALSE(playback.toDevice());
    EXPECT_EQ(notes.str(), "No audio device: the effect runs in real time and its sound is discarded\n");
    while (playback.framesPlayed() < 2 * LivePlayback::BLOCK_FRAMES) std::this_thread::sleep_for(5ms);
    playback.stop();
    const std::uint64_t played = playback.framesPlayed();
    EXPECT_EQ(played % LivePlayback::BLOCK_FRAMES, 0u);
    EXPECT_EQ(log.renders.size(), played / LivePlayback::BLOCK_FRAMES);
}

}  // namespace
