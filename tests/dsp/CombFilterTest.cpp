#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "dsp/DspRandom.h"
#include "dsp/TCombFilter.h"
#include "tests/dsp/LaneDriver.h"
#include "tests/dsp/ResponseProbe.h"
#include "tests/support/AllocationCounter.h"

using tarnwell::test::ResponseProbe;
using tarnwell::test::runHost;

namespace {

float knobFor(double hz) { return static_cast<float>(std::log2(hz / 20.0) / 10.0); }

struct CombSetting {
    int type = 0;
    float freq = 0.5f;  // knob
    float spread = 0.0f;
    float feedback = 0.5f;
    float damping = 0.0f;
    float random = 0.0f;
};

// Runs host-rate samples through a fresh comb set once per sample, as the engine does.
std::vector<float> runComb(const CombSetting& s, double hostRate, const std::vector<float>& in) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(static_cast<float>(hostRate));
    comb->setType(s.type);
    bool first = true;
    return runHost(*comb, in, [&] {
        comb->setComb(s.freq, 0.0f, 0.0f, s.spread, s.feedback, s.damping, s.random, first);
        first = false;
    });
}

std::vector<float> impulseResponse(const CombSetting& s, double hostRate, std::size_t length) {
    std::vector<float> in(length, 0.0f);
    in[0] = 1.0f;
    return runComb(s, hostRate, in);
}

std::size_t firstEcho(const std::vector<float>& ir) {
    for (std::size_t i = 0; i < ir.size(); ++i)
        if (std::fabs(ir[i]) > 1e-3f) return i;
    return ir.size();
}

ResponseProbe combProbe(const CombSetting& s, double hostRate) {
    return ResponseProbe([&](const std::vector<float>& in) { return runComb(s, hostRate, in); },
                         1 << 15, hostRate, 1.0f);
}

class CombAtRate : public ::testing::TestWithParam<double> {};

}  // namespace

TEST(DspRandom, FollowsItsRecurrenceAndSpreadsEvenly) {
    DspRandom::setSeed(1);
    EXPECT_EQ(DspRandom::draw(), 16807);
    EXPECT_EQ(DspRandom::seed(), 16808u);
    // The lowest draw maps to exactly 0, so a chance of 0 never fires.
    EXPECT_EQ(DspRandom::toUnit(INT32_MIN), 0.0f);
    double sum = 0.0;
    int below = 0;
    constexpr int n = 200000;
    for (int i = 0; i < n; ++i) {
        const float u = DspRandom::drawUnit();
        ASSERT_TRUE(u >= 0.0f && u <= 1.0f);
        sum += static_cast<double>(u);
        below += u < 0.13f;
    }
    EXPECT_NEAR(sum / n, 0.5, 0.01);
    EXPECT_NEAR(static_cast<double>(below) / n, 0.13, 0.01);
}

TEST_P(CombAtRate, LoopDelayIsTheDoubledRateOverTheFrequency) {
    const double host = GetParam();
    // The ring advances one slot per host sample and the delay is (2 x host rate) / f slots, so
    // the loop repeats every 2 / f seconds: its fundamental is half the set frequency.
    for (double hz : {441.0, 1000.0, 3000.0}) {
        const auto ir = impulseResponse({0, knobFor(hz)}, host, 8192);
        const double expected = 2.0 * host / hz;
        EXPECT_NEAR(static_cast<double>(firstEcho(ir)), expected, 1.0) << hz;
    }
    const auto ir = impulseResponse({0, knobFor(441.0)}, 44100.0, 2000);
    // Echoes fall by the loop gain, the fourth root of the feedback.
    const double g = std::pow(0.5, 0.25);
    EXPECT_NEAR(ir[200], g, 1e-6);
    EXPECT_NEAR(ir[400], g * g, 1e-6);
    EXPECT_NEAR(ir[600], g * g * g, 1e-6);
}

TEST_P(CombAtRate, PositiveAndNegativeCombsPeakWhereTheoryPutsThem) {
    const double host = GetParam();
    const double hz = 1000.0;
    // Harmonic spacing of the loop, from its measured delay in host samples.
    const double spacing = host / static_cast<double>(firstEcho(impulseResponse({0, knobFor(hz)}, host, 1000)));
    const double g = std::pow(0.5, 0.25);
    const double peak = 20 * std::log10(g / (1 - g)), trough = 20 * std::log10(g / (1 + g));
    const ResponseProbe pos = combProbe({0, knobFor(hz)}, host);
    const ResponseProbe neg = combProbe({1, knobFor(hz)}, host);
    for (int k : {1, 2, 3, 8}) {
        EXPECT_NEAR(pos.gainDb(k * spacing), peak, 0.2) << k;
        EXPECT_NEAR(pos.gainDb((k + 0.5) * spacing), trough, 0.2) << k;
        // "Comb Neg" flips the loop gain: peaks and troughs swap places.
        EXPECT_NEAR(neg.gainDb((k + 0.5) * spacing), peak, 0.2) << k;
        EXPECT_NEAR(neg.gainDb(k * spacing), trough, 0.2) << k;
    }
    // The set frequency itself (the second harmonic of the loop) is a peak of the positive comb.
    EXPECT_NEAR(pos.gainDb(hz), peak, 0.5);
}

INSTANTIATE_TEST_SUITE_P(HostRates, CombAtRate, ::testing::Values(44100.0, 96000.0));

TEST(CombFilter, NegativeTypeNegatesTheLoopNotTheInput) {
    const auto ir = impulseResponse({1, knobFor(441.0)}, 44100.0, 1000);
    const double g = std::pow(0.5, 0.25);
    EXPECT_NEAR(ir[200], -g, 1e-6);
    EXPECT_NEAR(ir[400], g * g, 1e-6);
    EXPECT_NEAR(ir[600], -g * g * g, 1e-6);
    EXPECT_NEAR(ir[0], 0.0, 1e-9);  // the module outputs only the loop; the dry signal is mixed outside
}

TEST(CombFilter, DelayIsClampedAtBothEnds) {
    // Knob 0 is 20 Hz: 4410 host samples at 44.1 kHz.
    EXPECT_EQ(firstEcho(impulseResponse({0, 0.0f}, 44100.0, 6000)), 4410u);
    // Knob 1 asks for 20,480 Hz; the frequency is held at 0.4 x the host rate: 5 samples.
    EXPECT_EQ(firstEcho(impulseResponse({0, 1.0f}, 44100.0, 100)), 5u);
    // A spread that drives the frequency towards 0 holds the delay just under the ring, and
    // the echo really comes that late (not from the slot written one sample ago).
    auto comb = std::make_unique<TCombFilter>();
    comb->init(44100.0f);
    comb->setComb(0.0f, 0.0f, 0.0f, 12.0f, 0.5f, 0.0f, 0.0f, true);
    EXPECT_EQ(comb->delayL, TCombFilter::MAX_DELAY);
    EXPECT_EQ(firstEcho(impulseResponse({0, 0.0f, 12.0f}, 44100.0, 9000)), 8191u);
    // At 96 kHz the bottom of the knob (20 Hz) is already beyond the ring.
    EXPECT_EQ(firstEcho(impulseResponse({0, 0.0f}, 96000.0, 9000)), 8191u);
    // Just above the limit the delay still follows the frequency.
    const auto below20Hz = static_cast<float>(std::log2(20.0 / (2.0 * 44100.0 / 8000.0)));
    EXPECT_EQ(firstEcho(impulseResponse({0, 0.0f, below20Hz}, 44100.0, 9000)), 8000u);
    comb->setComb(0.0f, 0.0f, 0.0f, 200.0f, 0.5f, 0.0f, 0.0f, true);  // 2^-200 Hz underflows to 0
    EXPECT_EQ(comb->delayL, TCombFilter::MAX_DELAY);
    EXPECT_EQ(comb->delayR, 5 * 256);  // the right side went the other way: held at the top
}

TEST(CombFilter, DampingDarkensTheHigherHarmonics) {
    const double host = 44100.0, hz = 441.0, spacing = 220.5;
    const ResponseProbe plain = combProbe({0, knobFor(hz), 0.0f, 0.5f, 0.0f}, host);
    const ResponseProbe damped = combProbe({0, knobFor(hz), 0.0f, 0.5f, 0.5f}, host);
    const double low = damped.gainDb(spacing), high = damped.gainDb(20 * spacing);
    EXPECT_NEAR(plain.gainDb(spacing), plain.gainDb(20 * spacing), 0.1);
    EXPECT_GT(low - high, 6.0);
    EXPECT_LT(high, plain.gainDb(20 * spacing) - 6.0);

    // Below 0.001 there is no damping at all; from 0.001 the coefficient is limited to 0.4.
    TCombFilter comb;
    comb.init(44100.0f);
    comb.setComb(0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0009f, 0.0f, true);
    EXPECT_EQ(comb.dampCoeff, 1.0f);
    EXPECT_EQ(comb.dampKeep, 0.0f);
    comb.setComb(0.5f, 0.0f, 0.0f, 0.0f, 0.5f, 0.001f, 0.0f, true);
    EXPECT_FLOAT_EQ(comb.dampCoeff, 0.4f);
}

TEST(CombFilter, RandomAmountFlipsAboutThirteenPercentOfTheReads) {
    // At the shortest delay (5 samples) with almost full feedback the echo train is long; the
    // sign changes from one echo to the next count the flips.
    CombSetting s{0, 1.0f, 0.0f, 0.99f, 0.0f, 1.0f};
    const auto ir = impulseResponse(s, 44100.0, 50001);
    int flips = 0, echoes = 0;
    for (std::size_t i = 10; i < ir.size(); i += 5) {
        ++echoes;
        flips += (ir[i] > 0) != (ir[i - 5] > 0);
    }
    EXPECT_NEAR(static_cast<double>(flips) / echoes, 0.13, 0.02);
    s.random = 0.0f;
    for (float v : impulseResponse(s, 44100.0, 5001)) ASSERT_GE(v, 0.0f);
}

TEST(CombFilter, TypeChangeStartsFromSilence) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(44100.0f);
    float o[4];
    const auto feed = [&](float x) {
        comb->setComb(0.5f, 0.0f, 0.0f, 0.0f, 0.9f, 0.0f, 0.0f, false);
        comb->process(x, x, x, x, o[0], o[1], o[2], o[3]);
        return std::fabs(o[0]) + std::fabs(o[1]) + std::fabs(o[2]) + std::fabs(o[3]);
    };
    for (int i = 0; i < 1000; ++i) feed(0.5f);
    comb->setType(0);  // unchanged: keeps ringing
    EXPECT_GT(feed(0.0f), 0.1f);
    comb->setType(1);
    for (int i = 0; i < 2000; ++i) ASSERT_LT(feed(0.0f), 1e-9f);
}

TEST(CombFilter, StaysBoundedAndNormalThroughNoiseAndLongSilence) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(44100.0f);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    float o[4];
    float peak = 0.0f;
    for (int i = 0; i < 441000; ++i) {
        const float sweep = 0.5f + 0.5f * std::sin(static_cast<float>(i) * 1e-4f);
        comb->setComb(sweep, 0.0f, 0.0f, 0.3f, 1.0f, 0.3f, 0.5f, i == 0);
        comb->process(noise(rng), noise(rng), noise(rng), noise(rng), o[0], o[1], o[2], o[3]);
        for (float v : o) {
            ASSERT_TRUE(std::isfinite(v));
            peak = std::max(peak, std::fabs(v));
        }
    }
    // Loop gain 0.99^(1/4) keeps a full-scale input under 1 / (1 - 0.9975) = 400.
    EXPECT_LT(peak, 400.0f);
    for (int i = 0; i < 5 * 44100; ++i) {
        comb->setComb(0.5f, 0.0f, 0.0f, 0.3f, 1.0f, 0.3f, 0.5f, false);
        comb->process(0.0f, 0.0f, 0.0f, 0.0f, o[0], o[1], o[2], o[3]);
    }
    const auto normalOrZero = [](float v) {
        return std::fpclassify(v) == FP_NORMAL || std::fpclassify(v) == FP_ZERO;
    };
    EXPECT_TRUE(normalOrZero(comb->stateL) && normalOrZero(comb->stateR));
    for (int i = 0; i < TCombFilter::RING_SIZE; ++i)
        ASSERT_TRUE(normalOrZero(comb->ringL[i]) && normalOrZero(comb->ringR[i])) << i;
    EXPECT_LT(std::fabs(o[0]), 1e-6f);
}

TEST(CombFilter, SetAndProcessAllocateNothing) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(48000.0f);
    tarnwell::test::AllocationCounter counter;
    for (int i = 0; i < 4096; ++i) {
        comb->setComb(0.001f * static_cast<float>(i % 1000), 0.01f, -0.01f, 0.2f, 0.8f, 0.4f, 0.3f, false);
        float a, b, c, d;
        comb->process(0.1f, 0.2f, 0.3f, 0.4f, a, b, c, d);
    }
    EXPECT_EQ(counter.count(), 0u);
}
