#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "host/LivePlayback.h"
#include "tests/host/FakeComponent.h"
#include "tests/support/AllocationCounter.h"

using namespace tarnwell::test;

namespace {

// 700 frames of mono, frame i holding i: every output sample tells which input frame made it
// (the fake halves it).
AudioData ramp(double rate = 1000.0) {
    AudioData input;
    input.sampleRate = rate;
    input.channels.assign(1, std::vector<float>(700));
    for (std::size_t i = 0; i < 700; ++i) input.channels[0][i] = static_cast<float>(i);
    return input;
}

}  // namespace

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
    while (playback.framesPlayed() < 2 * LivePlayback::BLOCK_FRAMES)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    playback.stop();
    const std::uint64_t played = playback.framesPlayed();
    EXPECT_EQ(played % LivePlayback::BLOCK_FRAMES, 0u);
    EXPECT_EQ(log.renders.size(), played / LivePlayback::BLOCK_FRAMES);
}
