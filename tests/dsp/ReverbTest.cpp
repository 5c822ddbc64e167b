#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/TBasicReverb.h"
#include "tests/support/SignalMeasure.h"

using namespace tarnwell::test;

namespace {

// Arrivals are found above this level; an impulse arrives at 0.025 per comb.
constexpr double kArrival = 1e-4;

struct Quad {
    Signal o1, o2, o3, o4;
};

Quad render(TBasicReverb& r, const Signal& inL, const Signal& inR) {
    const std::size_t n = inL.size();
    Quad q{Signal(n), Signal(n), Signal(n), Signal(n)};
    for (std::size_t i = 0; i < n; ++i) r.process(inL[i], inR[i], q.o1[i], q.o2[i], q.o3[i], q.o4[i]);
    return q;
}

// What a silenced reverb gives for an impulse on the left (or right) input.
Quad impulseResponse(TBasicReverb& r, std::size_t frames, bool right = false) {
    r.mute();
    Signal impulse(frames, 0.0f), silence(frames, 0.0f);
    impulse[0] = 1.0f;
    return right ? render(r, silence, impulse) : render(r, impulse, silence);
}

class ReverbTest : public ::testing::Test {
protected:
    std::size_t arrival(std::size_t frames, Signal Quad::*output = &Quad::o1) {
        return firstAbove(impulseResponse(*reverb, frames).*output, kArrival);
    }
    // Time for the output-1 tail to fall by 30 dB, in seconds.
    double decaySeconds(std::size_t frames) {
        return decayTime(impulseResponse(*reverb, frames).o1, 30.0) / 44100.0;
    }
    std::unique_ptr<TBasicReverb> reverb = std::make_unique<TBasicReverb>();
};

}  // namespace

TEST_F(ReverbTest, CombsAndTapsArriveWhereTheirLengthsSay) {
    // Outputs 1 and 3: a pre-delay tap into the 1046-frame comb; output 2: the right input, 1069.
    EXPECT_EQ(arrival(3000), 1046u);
    EXPECT_LT(peak(impulseResponse(*reverb, 3000).o2, 0, 3000), 1e-6);
    EXPECT_EQ(firstAbove(impulseResponse(*reverb, 3000, true).o2, kArrival), 1069u);
    // A widen of w delays its tap by w + 1 frames.
    reverb->setWiden(30.0f, 0.0f, 5.0f, 0.0f);
    EXPECT_EQ(arrival(3000), 1046u + 31u);
    EXPECT_EQ(arrival(3000, &Quad::o3), 1046u + 6u);
    // Length 0 is a one-frame comb; past the ring, or no number, 16383; each set its own length.
    reverb->setLength(0.0f, 20.0f);
    EXPECT_EQ(arrival(100), 1u);
    EXPECT_EQ(arrival(17000, &Quad::o3), 16383u);
    reverb->setLength(std::nanf(""), -3.0f);
    EXPECT_EQ(arrival(17000), 16383u);
    EXPECT_EQ(arrival(100, &Quad::o3), 1u);
}

TEST_F(ReverbTest, DecayTimeGrowsWithLengthAndRoom) {
    reverb->setDamp(0.0f);
    reverb->setLength(0.5f, 0.5f);
    const double shortRoom = decaySeconds(200000);
    reverb->setLength(1.0f, 1.0f);
    const double plain = decaySeconds(200000);
    // 0.926 per pass: 30 dB in 45 passes, 1.07 s to 1.72 s over the combs' lengths.
    EXPECT_NEAR(plain / shortRoom, 2.0, 0.2);
    EXPECT_GT(plain, 1.07);
    EXPECT_LT(plain, 1.72);
    reverb->setRoomSize(0.1f);
    EXPECT_LT(decaySeconds(200000), 0.5 * plain);
    reverb->setRoomSize(1.0f);
    EXPECT_GT(decaySeconds(800000), 3.0 * plain);
}

TEST_F(ReverbTest, DampingDarkensTheTailAndTheHighPassRemovesTheLowEnd) {
    Signal burst = noise(44100);
    std::fill(burst.begin() + 2000, burst.end(), 0.0f);
    double brightnessAt[3];
    for (int k = 0; k < 3; ++k) {
        TBasicReverb r;
        r.setDamp(0.5f * static_cast<float>(k));
        brightnessAt[k] = brightness(render(r, burst, burst).o1, 20000, 44100);
    }
    EXPECT_LT(brightnessAt[1], 0.6 * brightnessAt[0]);
    EXPECT_LT(brightnessAt[2], 0.6 * brightnessAt[1]);
    // DC settles at 10 combs x 0.025 / (1 - 0.926); the high-pass at 1280 Hz takes it away.
    const Signal dc(200000, 0.5f);
    EXPECT_NEAR(render(*reverb, dc, dc).o1.back(), 0.5 * 10.0 * 0.025 / (1.0 - 0.926378), 0.05);
    reverb->setFilter(0.0f, 0.6f);
    EXPECT_LT(std::fabs(render(*reverb, dc, dc).o2.back()), 1e-3f);
}

TEST_F(ReverbTest, OnlyANewSampleRateRebuilds) {
    // The same rate (within 0.0001 Hz), or no usable rate, keeps the tail.
    render(*reverb, noise(3000), noise(3000));
    for (float rate : {44100.00005f, 0.5f, std::nanf("")}) reverb->setSampleRate(rate);
    EXPECT_GT(rms(render(*reverb, Signal(2000, 0.0f), Signal(2000, 0.0f)).o1, 0, 2000), 1e-3);
    // trunc(1046 * 96000 / 44100 + 0.5); rates so low the allpasses have no length still run.
    reverb->setSampleRate(96000.0f);
    EXPECT_EQ(arrival(3000), 2277u);
    reverb->setLength(0.5f, 0.5f);  // lengths set later scale with the rate too
    EXPECT_EQ(arrival(3000), static_cast<std::size_t>(1046 * 48000.0 / 44100.0 + 0.5));
    reverb->setSampleRate(10.0f);
    for (float v : impulseResponse(*reverb, 500).o1) ASSERT_TRUE(std::isfinite(v));
}
