#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/TGrain.h"
#include "tests/support/SignalMeasure.h"

using tarnwell::test::Signal;

namespace {

// 1, 2, 3, ...: the pitched output then shows the read position plus one.
Signal ramp(int n) {
    Signal s;
    for (int i = 1; i <= n; ++i) s.push_back(static_cast<float>(i));
    return s;
}

class GrainTest : public ::testing::Test {
protected:
    // Records `input` (left = input, right = -input) and returns the left pitched output, the
    // plain output and the envelope (shape 1) over the following `frames` frames.
    struct Played {
        Signal pitched, plain, vol;
    };
    Played recordAndPlay(const Signal& input, int readSize, float speed, int frames, int mode) {
        grain->setLoopMode(mode);
        grain->triggerGrain(static_cast<int>(input.size()), readSize);
        Played out;
        float pl, pr, dl, dr;
        for (float x : input) grain->process(x, -x, pl, pr, dl, dr, speed);
        for (int i = 0; i < frames; ++i) {
            grain->process(0.0f, 0.0f, pl, pr, dl, dr, speed);
            out.pitched.push_back(pl);
            out.plain.push_back(dl);
            out.vol.push_back(grain->getGrainVol(1.0f));
        }
        return out;
    }
    std::unique_ptr<TGrain> grain = std::make_unique<TGrain>();
};

}  // namespace

TEST_F(GrainTest, PitchFollowsSpeedAndThePlainOutputDoesNot) {
    const double f = 440.0;
    for (float speed : {0.5f, 2.0f}) {
        const Played out = recordAndPlay(tarnwell::test::sine(f, 44100.0, 8820), 40000, speed,
                                         static_cast<int>(8820 / speed) - 50, TGrain::kLoop);
        const double pitched =
            tarnwell::test::zeroCrossingFrequency(out.pitched, 0, out.pitched.size(), 44100.0);
        EXPECT_NEAR(pitched / (f * static_cast<double>(speed)), 1.0, 0.002) << speed;
        EXPECT_NEAR(tarnwell::test::zeroCrossingFrequency(out.plain, 0, out.plain.size(), 44100.0), f,
                    f * 0.002);
    }
}

TEST_F(GrainTest, LoopModesTurnJumpOrStopAtTheEnds) {
    // Ping-pong turns at both ends; at -0.5 the integer part is still 0, so the turn comes at -1.
    EXPECT_EQ(recordAndPlay(ramp(4), 100, 1.0f, 10, TGrain::kPing).pitched,
              Signal({1, 2, 3, 4, 4, 3, 2, 1, 1, 2}));
    EXPECT_EQ(recordAndPlay(ramp(4), 100, 0.5f, 19, TGrain::kPingSync).pitched,
              Signal({1, 1.5, 2, 2.5, 3, 3.5, 4, 4, 4, 3.5, 3, 2.5, 2, 1.5, 1, 1.5, 1, 1.5, 2}));
    // Loop jumps to exactly 0; off goes silent at the end.
    EXPECT_EQ(recordAndPlay(ramp(4), 100, 0.75f, 8, TGrain::kLoop).pitched,
              Signal({1, 1.75, 2.5, 3.25, 4, 4, 1, 1.75}));
    EXPECT_EQ(recordAndPlay(ramp(4), 100, 1.0f, 6, TGrain::kOffSync).pitched, Signal({1, 2, 3, 4, 0, 0}));
}

TEST_F(GrainTest, EnvelopeIsATriangleOverTheReadSize) {
    // A read size past the recording runs the plain output out of samples while the pitched
    // loop goes on; the grain ends with its last envelope frame.
    const int readSize = 100;
    const Played out = recordAndPlay(ramp(50), readSize, 1.0f, readSize + 5, TGrain::kLoop);
    for (int c = 0; c < readSize - 1; ++c)
        EXPECT_NEAR(out.vol[static_cast<std::size_t>(c)], 1.0f - std::fabs(1.0f - c / 50.0f), 1e-6f) << c;
    EXPECT_EQ(out.vol[readSize - 1], 0.0f);
    EXPECT_EQ(out.pitched[75], 26.0f);
    EXPECT_EQ(out.plain[75], 0.0f);
    EXPECT_EQ(out.pitched[readSize], 0.0f);
    // The shape bends the envelope; a negative one counts as 0 (no infinities at its ends).
    recordAndPlay(ramp(2), 8, 1.0f, 2, TGrain::kLoop);  // envelope now at 0.25
    EXPECT_FLOAT_EQ(grain->getGrainVol(2.0f), 0.0625f);
    EXPECT_EQ(grain->getGrainVol(-2.0f), 1.0f);
}

TEST(GrainWeight, TheShapedWeightIsTheEnvelopesPowerWithin1e6) {
    // Envelopes from the quietest a grain reaches (2^-24) to 1, at the shapes a Block sets
    // (1/8 .. 8), two lanes at once; 0 stays silent and a shape of 1 leaves the envelope as it is.
    std::vector<float> envelopes{0.0f, 1.0f, 0.5f, 0.25f, 0.70710677f, 0.7071068f};
    for (int i = 1; i < 4096; ++i) envelopes.push_back(static_cast<float>(i) / 4096.0f);
    for (int e = 1; e <= 24; ++e) {
        envelopes.push_back(std::ldexp(1.0f, -e));
        envelopes.push_back(1.0f - std::ldexp(1.0f, -e));
        envelopes.push_back(std::ldexp(1.3f, -e));
    }
    for (const float power : {0.125f, 0.3f, 1.0f, 1.7f, 2.0f, 5.5f, 8.0f}) {
        for (const float x : envelopes) {
            const TGrain::Frame w = TGrain::shapedPower(TGrain::Frame{x, 0.3f}, TGrain::Frame{power, 2.0f});
            const double exact = std::pow(static_cast<double>(x), static_cast<double>(power));
            // Below the smallest normal float only the rounding's absolute step is left.
            EXPECT_NEAR(w[0], exact, 1e-6 * exact + 1e-45) << x << "^" << power;
            EXPECT_FLOAT_EQ(w[1], 0.09f);
        }
    }
    EXPECT_EQ(TGrain::shapedPower(TGrain::Frame{0.3f, 0.0f}, TGrain::Frame{1.0f, 3.0f})[0], 0.3f);
    EXPECT_EQ(TGrain::shapedPower(TGrain::Frame{0.3f, 0.0f}, TGrain::Frame{1.0f, 3.0f})[1], 0.0f);
}

TEST_F(GrainTest, SizesAreLimitedToTheBuffer) {
    grain->triggerGrain(1'000'000, 1'000'000);
    float pl, pr, dl, dr;
    int recorded = 0, played = 0;
    for (; grain->getState() == TGrain::kRecording && recorded < 200'000; ++recorded)
        grain->process(0.5f, 0.5f, pl, pr, dl, dr, 1.0f);
    for (; grain->getState() == TGrain::kPlaying && played < 200'000; ++played)
        grain->process(0.0f, 0.0f, pl, pr, dl, dr, 3.7f);
    EXPECT_EQ(recorded, TGrain::kCapacity - 1);
    EXPECT_EQ(played, TGrain::kCapacity - 1);
    // A write size of 0 records one frame but leaves nothing to loop: silence in every mode.
    // A read size of 0 ends the grain after one frame; a negative one counts as 0.
    for (int mode = 0; mode < 6; ++mode) {
        grain->setLoopMode(mode);
        grain->triggerGrain(0, mode == 5 ? -5 : 50);
        float sum = 0.0f;
        for (int i = 0; i < 60; ++i) {
            grain->process(1.0f, 1.0f, pl, pr, dl, dr, 1.3f);
            sum += i > 0 ? std::fabs(pl) + std::fabs(pr) + std::fabs(dl) : 0.0f;
        }
        EXPECT_EQ(sum, 0.0f) << mode;
        EXPECT_EQ(grain->getState(), TGrain::kIdle) << mode;
    }
}

TEST(GrainTape, ARecordingReadsAsOneRunAcrossTheRingsEnd) {
    auto tape = std::make_unique<TGrainTape>();
    auto grain = std::make_unique<TGrain>();
    for (int i = 0; i < TGrainTape::kLength - 5; ++i) tape->write(0.5f, 0.5f);
    grain->setLoopMode(TGrain::kLoop);
    grain->triggerGrain(20, 20, tape->next());
    for (int i = 1; i <= 20; ++i) tape->write(static_cast<float>(i), static_cast<float>(-i));
    grain->recorded();
    TGrain::Frame pitched, plain;
    Signal left, right;
    for (int i = 0; i < 20; ++i) {
        grain->play(1.0f, pitched, plain);
        left.push_back(pitched[0]);
        right.push_back(plain[1]);
    }
    EXPECT_EQ(left, ramp(20));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(right[static_cast<std::size_t>(i)], static_cast<float>(-1 - i)) << i;
}

// The Block's sixteen slots side by side play as sixteen single slots added up in slot order, bit
// for bit: grains of every loop mode, shape, read and write size (0 and 1 among them) at speeds
// that pass both ends in one frame, retriggered while they record or play, ending in any lane.
// Both builds of the slots' frame: the one for AVX2 (where the processor has it) and the other.
class GrainSlots : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { wideBefore = TGrainSlots::wideSteps(GetParam()); }
    void TearDown() override { TGrainSlots::wideSteps(wideBefore); }
    bool wideBefore = false;
};

INSTANTIATE_TEST_SUITE_P(Builds, GrainSlots, ::testing::Bool());

TEST_P(GrainSlots, PlayAsTheSingleSlotsAddedUpBitForBit) {
    auto tape = std::make_unique<TGrainTape>();
    auto slots = std::make_unique<TGrainSlots>();
    auto single = std::make_unique<TGrain[]>(TGrainSlots::kSlots);
    uint32_t recordEnd[TGrainSlots::kSlots] = {};
    bool recording[TGrainSlots::kSlots] = {};
    const int writeSizes[] = {0, 1, 2, 7, 300, 1900};
    const int readSizes[] = {0, 1, 3, 250, 2600, 9000};
    const float powers[] = {1.0f, 0.125f, 0.6f, 1.0f, 2.3f, 8.0f};
    uint32_t seed = 7;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    int ended = 0, sounded = 0;
    for (int frame = 0; frame < 60'000; ++frame) {
        if (next(90) == 0) {
            const int s = static_cast<int>(next(TGrainSlots::kSlots));
            const int w = writeSizes[next(6)], r = readSizes[next(6)], mode = static_cast<int>(next(6));
            const float power = powers[next(6)];
            slots->trigger(s, w, r, tape->next(), mode, power);
            single[s].triggerGrain(w, r, tape->next());
            single[s].setLoopMode(mode);
            single[s].setShape(power);
            recordEnd[s] = tape->written() + static_cast<uint32_t>(TGrain::framesToRecord(w)) - 1;
            recording[s] = true;
        }
        const float speed = frame % 5000 < 300 ? 7.3f : 0.37f + static_cast<float>(next(400)) / 100.0f;
        const TGrain::Quad sums = slots->anyPlaying() ? slots->play(speed) : TGrain::Quad{};
        const TGrain::Frame pitched = {sums[0], sums[1]}, plain = {sums[2], sums[3]};
        TGrain::Frame wantPitched{}, wantPlain{};
        for (int s = 0; s < TGrainSlots::kSlots; ++s) {
            TGrain& g = single[s];
            if (g.getState() != TGrain::kPlaying) continue;
            TGrain::Frame p, d;
            float envelope = 0.0f, power = 1.0f;
            if (g.play(speed, p, d)) {
                envelope = g.envelopeNow();
                power = g.shapePower();
            } else {
                ++ended;
            }
            const float weight =
                TGrain::shapedPower(TGrain::Frame{envelope, 0.0f}, TGrain::Frame{power, 1.0f})[0];
            wantPitched += p * weight;
            wantPlain += d * envelope;
        }
        sounded += wantPitched[0] != 0.0f;
        ASSERT_EQ(std::memcmp(&pitched, &wantPitched, sizeof pitched), 0) << frame;
        ASSERT_EQ(std::memcmp(&plain, &wantPlain, sizeof plain), 0) << frame;
        const uint32_t now = tape->written();
        const float x = static_cast<float>(next(2001)) / 1000.0f - 1.0f;
        tape->write(x, 0.5f * x);
        for (int s = 0; s < TGrainSlots::kSlots; ++s) {
            if (recording[s] && recordEnd[s] == now) {
                slots->recorded(s);
                single[s].recorded();
                recording[s] = false;
            }
            ASSERT_EQ(slots->getState(s), single[s].getState()) << frame << " " << s;
            ASSERT_EQ(slots->framesToEnd(s), single[s].framesToEnd()) << frame << " " << s;
        }
    }
    EXPECT_GT(ended, 200);
    EXPECT_GT(sounded, 30'000);
}
