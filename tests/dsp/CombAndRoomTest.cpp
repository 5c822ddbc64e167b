// The comb filter, the room reverb built from combs, and the noise draws both share.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "dsp/DspRandom.h"
#include "dsp/TBasicReverb.h"
#include "dsp/TCombFilter.h"
#include "tests/dsp/LaneDriver.h"

using namespace tarnwell::test;

namespace {

float knobFor(double hz) {
    return static_cast<float>(std::log2(hz / 20.0) / 10.0);
}

struct CombSetting {
    int type = 0;
    float freq = 0.5f;  // knob
    float spread = 0.0f;
    float feedback = 0.5f;
    float damping = 0.0f;
    float random = 0.0f;
};

// A fresh comb set and fed per host sample as the engine does; the left first-sub-sample output.
Signal runComb(const CombSetting& s, const Signal& in, double hostRate = 44100.0) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(static_cast<float>(hostRate));
    comb->setType(s.type);
    Signal out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        float oRa, oLb, oRb;
        comb->setComb(s.freq, 0.0f, 0.0f, s.spread, s.feedback, s.damping, s.random, true);
        comb->process(in[i], in[i], in[i], in[i], out[i], oRa, oLb, oRb);
    }
    return out;
}

Signal impulseResponse(const CombSetting& s, std::size_t length, double hostRate = 44100.0) {
    Signal in(length, 0.0f);
    in[0] = 1.0f;
    return runComb(s, in, hostRate);
}

std::size_t firstEcho(const CombSetting& s, std::size_t length, double hostRate = 44100.0) {
    return tarnwell::test::firstAbove(impulseResponse(s, length, hostRate), 1e-3);
}

ResponseProbe probe(const CombSetting& s) {
    return ResponseProbe([&](const Signal& in) { return runComb(s, in); }, 1 << 15, 44100.0, 1.0f);
}

// Loop gain at feedback 0.5: its fourth root.
const double g = std::pow(0.5, 0.25);

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

TEST(CombFilter, LoopDelayIsTheDoubledRateOverTheFrequency) {
    // The ring advances one slot per host sample and the delay is (2 x host rate) / f slots.
    for (double host : {44100.0, 96000.0})
        for (double hz : {441.0, 3000.0})
            EXPECT_NEAR(static_cast<double>(firstEcho({0, knobFor(hz)}, 8192, host)), 2.0 * host / hz, 1.0)
                << host << " " << hz;
    // Echoes fall by the loop gain; "Comb Neg" flips the loop's sign; no dry signal comes out.
    const Signal pos = impulseResponse({0, knobFor(441.0)}, 1000);
    const Signal neg = impulseResponse({1, knobFor(441.0)}, 1000);
    EXPECT_NEAR(pos[200], g, 1e-6);
    EXPECT_NEAR(pos[400], g * g, 1e-6);
    EXPECT_NEAR(neg[200], -g, 1e-6);
    EXPECT_NEAR(neg[400], g * g, 1e-6);
    EXPECT_NEAR(pos[0], 0.0, 1e-9);
}

TEST(CombFilter, PeaksAndTroughsSitWhereTheLoopPutsThem) {
    // 1000 Hz: an 88-sample loop; "Comb Neg" swaps peaks and troughs; damping darkens.
    const double spacing = 44100.0 / 88.0;
    const double peak = 20 * std::log10(g / (1 - g)), trough = 20 * std::log10(g / (1 + g));
    const ResponseProbe pos = probe({0, knobFor(1000.0)});
    const ResponseProbe neg = probe({1, knobFor(1000.0)});
    const ResponseProbe damped = probe({0, knobFor(1000.0), 0.0f, 0.5f, 0.5f});
    for (int k : {1, 8}) {
        EXPECT_NEAR(pos.gainDb(k * spacing), peak, 0.2) << k;
        EXPECT_NEAR(pos.gainDb((k + 0.5) * spacing), trough, 0.2) << k;
        EXPECT_NEAR(neg.gainDb((k + 0.5) * spacing), peak, 0.2) << k;
        EXPECT_NEAR(neg.gainDb(k * spacing), trough, 0.2) << k;
    }
    EXPECT_GT(damped.gainDb(spacing) - damped.gainDb(8 * spacing), 6.0);
}

TEST(CombFilter, DelayIsClampedAtBothEnds) {
    // Knob 0 is 20 Hz: 4410 host samples at 44.1 kHz; knob 1 is held at 0.4 x the host rate.
    EXPECT_EQ(firstEcho({0, 0.0f}, 6000), 4410u);
    EXPECT_EQ(firstEcho({0, 1.0f}, 100), 5u);
    // Towards 0 Hz the echo comes just under the ring's length, not from the slot just written.
    EXPECT_EQ(firstEcho({0, 0.0f, 12.0f}, 9000), 8191u);
    EXPECT_EQ(firstEcho({0, 0.0f}, 9000, 96000.0), 8191u);
    EXPECT_EQ(firstEcho({0, 0.0f, static_cast<float>(std::log2(20.0 / (88200.0 / 8000.0)))}, 9000), 8000u);
    TCombFilter comb;
    comb.init(44100.0f);
    comb.setComb(0.0f, 0.0f, 0.0f, 200.0f, 0.5f, 0.0f, 0.0f, true);  // 2^-200 Hz underflows to 0
    EXPECT_EQ(comb.delayL, TCombFilter::MAX_DELAY);
    EXPECT_EQ(comb.delayR, 5 * 256);
}

TEST(CombFilter, RandomAmountFlipsAboutThirteenPercentOfTheReads) {
    // Shortest delay (5 samples), almost full feedback: sign changes between echoes count flips.
    CombSetting s{0, 1.0f, 0.0f, 0.99f, 0.0f, 1.0f};
    const Signal ir = impulseResponse(s, 50001);
    int flips = 0, echoes = 0;
    for (std::size_t i = 10; i < ir.size(); i += 5, ++echoes) flips += (ir[i] > 0) != (ir[i - 5] > 0);
    EXPECT_NEAR(static_cast<double>(flips) / echoes, 0.13, 0.02);
    // The lowest draw maps to exactly 0, so no amount never flips.
    EXPECT_EQ(DspRandom::toUnit(INT32_MIN), 0.0f);
    s.random = 0.0f;
    for (float v : impulseResponse(s, 5001)) ASSERT_GE(v, 0.0f);
}

// Kept delays, loop gain and damping follow every change of their settings, the rate and the type.
TEST(CombFilter, OneCombFollowsEveryChangeOfItsSettingsAndRate) {
    TCombFilter comb;
    comb.init(44100.0f);
    auto set = [&](float spread, float feedback, float damping) {
        comb.setComb(knobFor(441.0), 0.0f, 0.0f, spread, feedback, damping, 0.0f, true);
    };
    set(0.0f, 0.5f, 0.0f);
    EXPECT_NEAR(comb.delayL, 256.0 * 88200.0 / 441.0, 256.0);
    EXPECT_NEAR(comb.gain, g, 1e-6);
    set(1.0f, 0.5f, 0.0f);  // an octave down on the left, up on the right
    EXPECT_NEAR(comb.delayL, 2.0 * 256.0 * 88200.0 / 441.0, 512.0);
    EXPECT_NEAR(comb.delayR, 0.5 * 256.0 * 88200.0 / 441.0, 128.0);
    set(1.0f, 0.0625f, 0.5f);
    EXPECT_NEAR(comb.gain, 0.5, 1e-6);
    EXPECT_LT(comb.dampCoeff, 1.0f);
    comb.init(96000.0f);  // the same settings at another rate: the delay is longer in slots
    set(1.0f, 0.0625f, 0.5f);
    EXPECT_NEAR(comb.delayR, 0.5 * 256.0 * 192000.0 / 441.0, 128.0);
    comb.setType(1);
    set(1.0f, 0.0625f, 0.5f);
    EXPECT_NEAR(comb.gain, -0.5, 1e-6);
    comb.reset();  // clears the damping; the same settings set again bring it back
    set(1.0f, 0.0625f, 0.5f);
    EXPECT_LT(comb.dampCoeff, 1.0f);
    EXPECT_EQ(comb.dampKeep, 1.0f - comb.dampCoeff);
}

// Batched and skipped draws must leave the values and state of single draws (others share them).
TEST(DspRandom, BatchedDrawsAndSkipsMatchSingleDraws) {
    for (std::uint32_t seed : {1u, 0x9e3779b9u, 0xffffffffu}) {
        DspRandom::setSeed(seed);
        float single[4];
        for (float& u : single) u = DspRandom::drawUnit();
        const std::uint32_t after = DspRandom::seed();

        DspRandom::setSeed(seed);
        float batch[4];
        DspRandom::drawUnits(batch);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(batch[k], single[k]) << seed << " draw " << k;
        EXPECT_EQ(DspRandom::seed(), after) << seed;

        DspRandom::setSeed(seed);
        DspRandom::skip<4>();
        EXPECT_EQ(DspRandom::seed(), after) << seed;
    }
}

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

TEST_F(ReverbTest, WideCombsGiveTheNarrowOutputBitForBit) {
    if (!reverb->usesWideCombs()) GTEST_SKIP() << "this processor has no AVX";
    auto narrow = std::make_unique<TBasicReverb>();
    narrow->useWideCombs(false);
    ASSERT_FALSE(narrow->usesWideCombs());
    // Every setting the engine moves, moved as it goes: factors, taps, damping, high-pass, and
    // lengths from one frame up to the ring's end.
    const std::size_t n = 60000;
    const Signal inL = noise(n, 1.0, 1u), inR = noise(n, 1.0, 2u);
    for (std::size_t i = 0; i < n; ++i) {
        const float lfo = std::sin(0.001f * static_cast<float>(i));
        for (TBasicReverb* r : {reverb.get(), narrow.get()}) {
            if (i % 16 == 0) r->setMod(1.0f + 0.1f * lfo, 1.0f - 0.1f * lfo, 1.0f + 0.05f * lfo, 1.0f);
            if (i % 8 == 0) r->setWiden(600.0f + 100.0f * lfo, 1700.0f, 2700.0f, 1500.0f - 900.0f * lfo);
            r->setDamp(i < n / 2 ? 0.3f : 0.9f);
            if (i == n / 3) r->setFilter(0.0f, 0.5f);
            r->setLength(i < n / 3 ? 0.7f : 20.0f, i < 2 * n / 3 ? 0.0f : 0.4f);
        }
        float wide[4], plain[4];
        reverb->process(inL[i], inR[i], wide[0], wide[1], wide[2], wide[3]);
        narrow->process(inL[i], inR[i], plain[0], plain[1], plain[2], plain[3]);
        ASSERT_EQ(0, std::memcmp(wide, plain, sizeof wide)) << "frame " << i;
        ASSERT_EQ(reverb->longestPath(), narrow->longestPath()) << "frame " << i;
    }
}
