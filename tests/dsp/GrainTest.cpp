#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "dsp/TGrain.h"
#include "tests/support/SignalMeasure.h"

using tarnwell::test::Signal;

namespace {

struct Outputs {
    Signal pitchedL, pitchedR, plainL, plainR, vol;
};

// Triggers the grain, feeds it `input` while it records (left = input, right = -input) and
// returns what it plays over the following `frames` frames at `speed`.
Outputs recordAndPlay(TGrain& g, const Signal& input, int readSize, float speed, int frames, int mode) {
    g.setLoopMode(mode);
    g.triggerGrain(static_cast<int>(input.size()), readSize);
    float pl, pr, dl, dr;
    for (float x : input) {
        g.process(x, -x, pl, pr, dl, dr, speed);
        EXPECT_EQ(pl, 0.0f);
        EXPECT_EQ(dl, 0.0f);
    }
    EXPECT_EQ(g.getState(), TGrain::kPlaying);
    Outputs out;
    for (int i = 0; i < frames; ++i) {
        g.process(0.0f, 0.0f, pl, pr, dl, dr, speed);
        out.pitchedL.push_back(pl);
        out.pitchedR.push_back(pr);
        out.plainL.push_back(dl);
        out.plainR.push_back(dr);
        out.vol.push_back(g.getGrainVol(1.0f));
    }
    return out;
}

// 1, 2, 3, ...: the pitched output then shows the read position plus one.
Signal ramp(int n) {
    Signal s(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) s[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    return s;
}

void expectSequence(const Signal& got, const std::vector<float>& positions) {
    ASSERT_GE(got.size(), positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i)
        EXPECT_FLOAT_EQ(got[i], positions[i] + 1.0f) << "frame " << i;
}

class GrainTest : public ::testing::Test {
protected:
    void SetUp() override { grain->init(44100.0f); }
    std::unique_ptr<TGrain> grain = std::make_unique<TGrain>();
};

}  // namespace

TEST_F(GrainTest, PitchFollowsSpeed) {
    const double rate = 44100.0, f = 440.0;
    const Signal input = tarnwell::test::sine(f, rate, 8820);
    for (float speed : {0.5f, 1.0f, 1.5f, 2.0f}) {
        const int playFrames = static_cast<int>(8820 / speed) - 50;
        const Outputs out = recordAndPlay(*grain, input, 40000, speed, playFrames, TGrain::kLoop);
        const double measured =
            tarnwell::test::zeroCrossingFrequency(out.pitchedL, 0, out.pitchedL.size(), rate);
        const double expected = f * static_cast<double>(speed);
        EXPECT_NEAR(measured, expected, expected * 0.002) << "speed " << speed;
        // The right channel carries its own recording.
        EXPECT_FLOAT_EQ(out.pitchedR[100], -out.pitchedL[100]);
        // The plain output ignores the speed.
        EXPECT_NEAR(tarnwell::test::zeroCrossingFrequency(out.plainL, 0, out.plainL.size(), rate), f, f * 0.002);
    }
}

TEST_F(GrainTest, PingPongTurnsAtBothEnds) {
    const Outputs out = recordAndPlay(*grain, ramp(10), 100, 1.0f, 24, TGrain::kPing);
    expectSequence(out.pitchedL, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0, 1, 2, 3});
    // The synced mode plays alike.
    const Outputs synced = recordAndPlay(*grain, ramp(10), 100, 1.0f, 24, TGrain::kPingSync);
    EXPECT_EQ(synced.pitchedL, out.pitchedL);

    // At -0.5 the integer part is still 0: the read interpolates there, and turns at -1.
    const Outputs slow = recordAndPlay(*grain, ramp(4), 100, 0.5f, 19, TGrain::kPing);
    expectSequence(slow.pitchedL,
                   {0, 0.5f, 1, 1.5f, 2, 2.5f, 3, 3, 3, 2.5f, 2, 1.5f, 1, 0.5f, 0, 0.5f, 0, 0.5f, 1});
}

TEST_F(GrainTest, LoopJumpsToExactlyZero) {
    const Outputs out = recordAndPlay(*grain, ramp(4), 100, 0.75f, 13, TGrain::kLoop);
    expectSequence(out.pitchedL, {0, 0.75f, 1.5f, 2.25f, 3, 3, 0, 0.75f, 1.5f, 2.25f, 3, 3, 0});
}

TEST_F(GrainTest, OffSilencesThePitchedOutputWhileTheRestRunsOn) {
    const Outputs out = recordAndPlay(*grain, ramp(4), 20, 0.5f, 20, TGrain::kOffSync);
    expectSequence(out.pitchedL, {0, 0.5f, 1, 1.5f, 2, 2.5f, 3, 3});
    for (std::size_t i = 8; i < 20; ++i) EXPECT_EQ(out.pitchedL[i], 0.0f) << "frame " << i;
    expectSequence(out.plainL, {0, 1, 2, 3});
    for (std::size_t i = 4; i < 20; ++i) EXPECT_EQ(out.plainL[i], 0.0f) << "frame " << i;
    EXPECT_FLOAT_EQ(out.vol[10], 1.0f);
    EXPECT_EQ(grain->getState(), TGrain::kIdle);
}

TEST_F(GrainTest, EnvelopeIsATriangleOverTheReadSize) {
    const int readSize = 100;
    const Outputs out = recordAndPlay(*grain, ramp(50), readSize, 1.0f, readSize + 5, TGrain::kLoop);
    for (int c = 0; c < readSize - 1; ++c) {
        const float expected = 1.0f - std::fabs(1.0f - 2.0f * static_cast<float>(c) / readSize);
        EXPECT_NEAR(out.vol[static_cast<std::size_t>(c)], expected, 1e-6f) << "frame " << c;
    }
    EXPECT_FLOAT_EQ(out.vol[50], 1.0f);
    // The grain ends with its last envelope frame; afterwards every output is silent.
    EXPECT_EQ(out.vol[readSize - 1], 0.0f);
    for (std::size_t i = readSize; i < out.vol.size(); ++i) {
        EXPECT_EQ(out.pitchedL[i], 0.0f);
        EXPECT_EQ(out.plainL[i], 0.0f);
    }
}

TEST_F(GrainTest, VolumeShapesTheEnvelope) {
    grain->triggerGrain(2, 8);
    float pl, pr, dl, dr;
    grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.0f);
    EXPECT_EQ(grain->getGrainVol(0.0f), 0.0f) << "recording";
    grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.0f);  // recorded; the envelope stands at 0
    EXPECT_EQ(grain->getGrainVol(0.0f), 1.0f);
    grain->process(0.0f, 0.0f, pl, pr, dl, dr, 1.0f);  // first playing frame, envelope 0
    EXPECT_EQ(grain->getGrainVol(0.0f), 1.0f);
    EXPECT_EQ(grain->getGrainVol(2.0f), 0.0f);
    grain->process(0.0f, 0.0f, pl, pr, dl, dr, 1.0f);  // envelope 0.25
    EXPECT_FLOAT_EQ(grain->getGrainVol(1.0f), 0.25f);
    EXPECT_FLOAT_EQ(grain->getGrainVol(2.0f), 0.0625f);
    EXPECT_FLOAT_EQ(grain->getGrainVol(0.125f), std::pow(0.25f, 0.125f));
    EXPECT_EQ(grain->getGrainVol(0.0f), 1.0f);
    EXPECT_TRUE(std::isfinite(grain->getGrainVol(-2.0f)));
    grain->reset();
    EXPECT_EQ(grain->getGrainVol(0.0f), 0.0f);
    grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.0f);
    EXPECT_EQ(pl + pr + dl + dr, 0.0f);
}

TEST_F(GrainTest, ShortReadCutsTheGrainLongReadRunsOutOfPlainSamples) {
    const Outputs shortRead = recordAndPlay(*grain, ramp(20), 6, 1.0f, 10, TGrain::kLoop);
    expectSequence(shortRead.plainL, {0, 1, 2, 3, 4, 5});
    for (std::size_t i = 6; i < 10; ++i) EXPECT_EQ(shortRead.plainL[i], 0.0f);

    const Outputs longRead = recordAndPlay(*grain, ramp(5), 12, 1.0f, 12, TGrain::kLoop);
    expectSequence(longRead.plainL, {0, 1, 2, 3, 4});
    for (std::size_t i = 5; i < 12; ++i) EXPECT_EQ(longRead.plainL[i], 0.0f);
    // The pitched loop keeps going for the whole read size.
    expectSequence(longRead.pitchedL, {0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 1});
}

TEST_F(GrainTest, RetriggerRestartsTheRecording) {
    recordAndPlay(*grain, ramp(8), 100, 1.0f, 5, TGrain::kLoop);
    Signal fresh(8, 7.0f);
    const Outputs out = recordAndPlay(*grain, fresh, 100, 1.0f, 8, TGrain::kLoop);
    for (float v : out.pitchedL) EXPECT_EQ(v, 7.0f);
    EXPECT_FLOAT_EQ(out.vol[0], 0.0f);
}

TEST_F(GrainTest, EmptyRecordingPlaysSilence) {
    for (int mode = 0; mode < 6; ++mode) {
        grain->setLoopMode(mode);
        grain->triggerGrain(0, 50);
        float pl, pr, dl, dr;
        grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.0f);  // one frame recorded, none to loop
        EXPECT_EQ(grain->getState(), TGrain::kPlaying);
        for (int i = 0; i < 60; ++i) {
            grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.3f);
            EXPECT_EQ(pl, 0.0f) << "mode " << mode;
            EXPECT_EQ(pr, 0.0f);
            EXPECT_EQ(dl, 0.0f);
        }
        EXPECT_EQ(grain->getState(), TGrain::kIdle);
    }
}

TEST_F(GrainTest, SizesAreLimitedToTheBuffer) {
    grain->triggerGrain(1'000'000, 1'000'000);
    float pl, pr, dl, dr;
    int recorded = 0;
    while (grain->getState() == TGrain::kRecording && recorded < 200'000) {
        grain->process(0.5f, 0.5f, pl, pr, dl, dr, 1.0f);
        ++recorded;
    }
    EXPECT_EQ(recorded, TGrain::kCapacity - 1);
    int played = 0;
    while (grain->getState() == TGrain::kPlaying && played < 200'000) {
        grain->process(0.0f, 0.0f, pl, pr, dl, dr, 3.7f);
        EXPECT_TRUE(std::isfinite(pl));
        ++played;
    }
    EXPECT_EQ(played, TGrain::kCapacity - 1);

    // A read size of 0 ends the grain after one frame; a negative one counts as 0.
    grain->triggerGrain(4, -5);
    for (int i = 0; i < 5; ++i) grain->process(0.5f, 0.5f, pl, pr, dl, dr, 1.0f);
    EXPECT_EQ(grain->getState(), TGrain::kIdle);
    EXPECT_EQ(grain->getGrainVol(1.0f), 0.0f);
}
