#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "dsp/TShaper.h"
#include "tests/dsp/LaneDriver.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/SpectrumTools.h"

namespace st = tarnwell::test::spectrumtools;
using tarnwell::test::runInternal;

namespace {

// Frequency knob for an oscillator control frequency fHz = 0.3125 * 2^(16 * knob).
float freqKnobFor(double fHz) { return static_cast<float>(std::log2(fHz / 0.3125) / 16.0); }

struct ShaperSetting {
    int mode = TShaper::RingMod;
    float wave = 0.0f;  // sine
    float freq = 0.5f;
    float amount = 1.0f;
    float shape = 0.5f;
    float extra = 0.0f;
    float lowFi = 0.0f;
    float spread = 0.0f;
};

std::unique_ptr<TShaper> makeShaper(const ShaperSetting& s, double hostRate) {
    auto shaper = std::make_unique<TShaper>();
    shaper->init(static_cast<float>(hostRate));
    shaper->setType(s.mode);
    return shaper;
}

// Runs a signal at the internal rate through a fresh shaper, set once per host sample.
std::vector<float> runShaper(const ShaperSetting& s, double hostRate, const std::vector<float>& in) {
    auto shaper = makeShaper(s, hostRate);
    bool first = true;
    return runInternal(*shaper, in, [&] {
        shaper->setDistort(s.wave, s.freq, s.amount, s.shape, s.spread, 0.0f, 0.0f, 0.0f, 0.0f,
                           s.extra, s.lowFi, first);
        first = false;
    });
}

// Amplitude at hz over the second half of a run (after the DC blocker has settled).
double settledAmplitude(const std::vector<float>& y, double hz, double rate) {
    return st::toneAmplitude(y.data() + y.size() / 2, y.size() / 2, hz, rate);
}

bool normalOrZero(float v) {
    return std::fpclassify(v) == FP_NORMAL || std::fpclassify(v) == FP_ZERO;
}

class ShaperAtRate : public ::testing::TestWithParam<double> {};

}  // namespace

// ---------------------------------------------------------------- wave tables

TEST(ShaperTables, PlainLevelHoldsTheFourShapes) {
    TShaper shaper;
    EXPECT_FLOAT_EQ(Waves[0][0][0], -1.0f);  // the sine starts at its trough
    EXPECT_NEAR(Waves[0][0][WAVE_LENGTH / 2], 1.0f, 1e-6);
    EXPECT_NEAR(Waves[1][0][WAVE_LENGTH / 2], 1.0f, 1e-4);
    EXPECT_EQ(Waves[2][0][100], -1.0f);
    EXPECT_EQ(Waves[2][0][WAVE_LENGTH - 100], 1.0f);
    EXPECT_NEAR(Waves[3][0][WAVE_LENGTH - 1], 1.0f, 1e-4);
    // The sine needs no band limiting: every level is the plain one.
    for (int k = 1; k < WAVE_LEVELS; ++k)
        ASSERT_TRUE(std::equal(Waves[0][0], Waves[0][0] + WAVE_LENGTH, Waves[0][k])) << k;
}

TEST(ShaperTables, BandLimitedLevelsSpanFullScaleAndStopAtTheirHarmonicLimit) {
    TShaper shaper;
    const int limit[WAVE_LEVELS] = {0, 126, 94, 70, 53, 39, 29, 22, 16, 12, 9, 7, 5, 3, 2, 2};
    for (int w = 1; w < WAVE_COUNT; ++w) {
        for (int k = 1; k < WAVE_LEVELS; ++k) {
            const float* table = Waves[w][k];
            const auto [mn, mx] = std::minmax_element(table, table + WAVE_LENGTH);
            EXPECT_NEAR(*mn, -1.0f, 2e-3) << w << "/" << k;
            EXPECT_NEAR(*mx, 1.0f, 2e-3) << w << "/" << k;
            const std::vector<double> h = st::amplitudeSpectrum(table, WAVE_LENGTH, false);
            const int n = limit[k];
            // The last harmonic of the limit is there (odd harmonics only for the triangle
            // and square), nothing above it.
            const int top = (w == 3 || n % 2 == 1) ? n : n - 1;
            const double expected = (w == 1 ? 1.0 / (top * top) : 1.0 / top);
            EXPECT_NEAR(h[top] / h[1], expected, 0.02 * expected + 1e-5) << w << "/" << k;
            double above = 0.0;
            for (int j = n + 1; j < 1500; ++j) above = std::max(above, h[j]);
            EXPECT_LT(above / h[1], 1e-4) << w << "/" << k;
        }
    }
    // Level 15: the saw keeps harmonics 1 and 2, the square only the fundamental.
    const auto saw = st::amplitudeSpectrum(Waves[3][15], WAVE_LENGTH, false);
    const auto square = st::amplitudeSpectrum(Waves[2][15], WAVE_LENGTH, false);
    EXPECT_NEAR(saw[2] / saw[1], 0.5, 0.01);
    EXPECT_LT(square[2] / square[1], 1e-4);
    EXPECT_LT(square[3] / square[1], 1e-4);
}

TEST(ShaperTables, NewInstancesLeaveRunningShapersUndisturbed) {
    const auto run = [] {
        auto shaper = std::make_unique<TShaper>();
        shaper->setType(TShaper::RingMod);
        std::vector<float> out;
        for (int i = 0; i < 20000; ++i) {
            const float f = 0.4f + 0.3f * static_cast<float>(i % 1000) / 1000.0f;
            shaper->setDistort(0.8f, f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, i == 0);
            float a, b, c, d;
            shaper->process(0.5f, 0.5f, 0.5f, 0.5f, a, b, c, d);
            out.push_back(a);
        }
        return out;
    };
    const std::vector<float> reference = run();
    std::atomic<bool> done{false};
    std::thread initialiser([&] {
        while (!done.load()) {
            auto other = std::make_unique<TShaper>();
            other->setTables();
        }
    });
    const std::vector<float> during = run();
    done = true;
    initialiser.join();
    EXPECT_EQ(during, reference);
}

// ---------------------------------------------------------------- controls

TEST(ShaperControls, OscillatorFrequencyPicksTheBandLevel) {
    const auto levelFor = [](double fHz) {
        auto shaper = std::make_unique<TShaper>();
        shaper->setDistort(0.0f, freqKnobFor(fHz), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                           0.0f, true);
        return shaper->level;
    };
    EXPECT_EQ(levelFor(100.0), 0);
    EXPECT_EQ(levelFor(349.0), 0);
    EXPECT_EQ(levelFor(351.0), 1);
    EXPECT_EQ(levelFor(1900.0), 6);
    EXPECT_EQ(levelFor(2000.0), 7);
    EXPECT_EQ(levelFor(14000.0), 13);
    // The top of the knob is held at 0.97: 0.3125 * 2^15.52, about 14,680 Hz, level 13.
    EXPECT_EQ(levelFor(1e6), 13);
    // Every shaper knows the band edges, not only the first one built.
    auto second = std::make_unique<TShaper>();
    EXPECT_EQ(second->bandEdge[1], 349.72803f);
    EXPECT_NEAR(second->bandEdge[15] / second->bandEdge[14], std::exp2(5.0 / 12.0), 1e-5);
}

TEST(ShaperControls, WaveKnobMorphsAndSlowControlsFollowEveryFourthCall) {
    auto shaper = std::make_unique<TShaper>();
    const auto set = [&](float wave) {
        shaper->setDistort(wave, 0.3f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, true);
    };
    set(1.0f);
    EXPECT_EQ(shaper->waveA, 3);  // saw ...
    EXPECT_EQ(shaper->waveB, 0);  // ... morphing back towards the sine
    EXPECT_NEAR(shaper->morph, 0.99f, 1e-5);
    for (int call = 2; call <= 4; ++call) set(0.3f);
    EXPECT_EQ(shaper->waveA, 3);
    set(0.3f);  // the fifth call follows
    EXPECT_EQ(shaper->waveA, 1);
    EXPECT_EQ(shaper->waveB, 2);
}

// ---------------------------------------------------------------- modulation modes

TEST_P(ShaperAtRate, RingAndAmplitudeModulationPutSidebandsWhereTheoryDoes) {
    const double host = GetParam(), rate = 2 * host;
    // The phase steps fHz / host rate per sub-sample, so the oscillator runs at 2 * fHz.
    const double fHz = 250.0, osc = 2 * fHz, carrier = 3000.0;
    const auto x = st::sine(carrier, rate, static_cast<std::size_t>(rate * 0.5), 0.5);
    const auto amp = [&](const std::vector<float>& y, double hz) { return settledAmplitude(y, hz, rate); };

    const auto ring = runShaper({TShaper::RingMod, 0.0f, freqKnobFor(fHz), 1.0f}, host, x);
    EXPECT_NEAR(amp(ring, carrier - osc), 0.25, 0.01);
    EXPECT_NEAR(amp(ring, carrier + osc), 0.25, 0.01);
    EXPECT_LT(amp(ring, carrier), 1e-3);
    const auto halfRing = runShaper({TShaper::RingMod, 0.0f, freqKnobFor(fHz), 0.5f}, host, x);
    EXPECT_NEAR(amp(halfRing, carrier), 0.25, 0.01);
    EXPECT_NEAR(amp(halfRing, carrier + osc), 0.125, 0.01);

    const auto am = runShaper({TShaper::AmpMod, 0.0f, freqKnobFor(fHz), 1.0f}, host, x);
    EXPECT_NEAR(amp(am, carrier), 0.25, 0.01);
    EXPECT_NEAR(amp(am, carrier - osc), 0.125, 0.01);
    EXPECT_NEAR(amp(am, carrier + osc), 0.125, 0.01);

    // Spread tunes the left oscillator up by 2^spread.
    ShaperSetting spread{TShaper::RingMod, 0.0f, freqKnobFor(fHz), 1.0f};
    spread.spread = 1.0f;
    const auto up = runShaper(spread, host, x);
    EXPECT_NEAR(amp(up, carrier + 2 * osc), 0.25, 0.01);
}

TEST_P(ShaperAtRate, FrequencyModulationBendsThePitchWithTheInput) {
    const double host = GetParam(), rate = 2 * host;
    const double fHz = 200.0;
    // A steady input x multiplies the oscillator frequency by 2^(9 * amount * x).
    const std::vector<float> steady(static_cast<std::size_t>(rate), 0.1f);
    const auto y = runShaper({TShaper::FreqMod, 0.0f, freqKnobFor(fHz), 1.0f}, host, steady);
    const std::size_t n = 1 << 16;
    const auto spectrum = st::amplitudeSpectrum(y.data() + y.size() - n, n);
    EXPECT_NEAR(st::peakFrequency(spectrum, rate, 100.0, 5000.0) / (2 * fHz * std::exp2(0.9)), 1.0, 0.005);
    // Output is the wave times the input envelope (0.1).
    EXPECT_NEAR(*std::max_element(y.end() - 4096, y.end()), 0.1, 0.01);
}

TEST_P(ShaperAtRate, PhaseAndSymmetryModulationAddTheirSidebands) {
    const double host = GetParam(), rate = 2 * host;
    const double fHz = 1000.0, osc = 2 * fHz, mod = 300.0;
    const std::size_t n = static_cast<std::size_t>(rate * 0.5);
    // Phase modulation by a sine: sidebands at osc +- mod.
    const auto pm = runShaper({TShaper::PhaseMod, 0.0f, freqKnobFor(fHz), 0.2f},
                              host, st::sine(mod, rate, n, 0.5));
    EXPECT_GT(settledAmplitude(pm, osc + mod, rate), 0.05);
    EXPECT_GT(settledAmplitude(pm, osc - mod, rate), 0.05);

    // Symmetry: a steady input moves the half-cycle point off centre, adding even harmonics
    // to the sine; with no depth the sine stays pure.
    const std::vector<float> steady(n, 0.5f);
    const auto plain = runShaper({TShaper::SymMod, 0.0f, freqKnobFor(fHz), 0.0f}, host, steady);
    const auto bent = runShaper({TShaper::SymMod, 0.0f, freqKnobFor(fHz), 1.0f}, host, steady);
    EXPECT_NEAR(settledAmplitude(plain, osc, rate), 0.5, 0.01);
    EXPECT_LT(settledAmplitude(plain, 2 * osc, rate), 1e-3);
    EXPECT_GT(settledAmplitude(bent, 2 * osc, rate), 0.05);
}

TEST(ShaperModes, RectifyShapesTheRingInput) {
    const double rate = 88200.0, f = 2000.0;
    const auto x = st::sine(f, rate, 4096, 0.5);
    // The slowest oscillator (0.625 Hz) stays near -1 for these few milliseconds, so the output
    // is minus the shaped input.
    const auto run = [&](float extra) {
        return runShaper({TShaper::RingMod, 0.0f, 0.0f, 1.0f, 0.5f, extra}, 44100.0, x);
    };
    const auto straight = run(0.0f), half = run(0.5f), full = run(1.0f);
    const auto level = [&](const std::vector<float>& y, double hz) { return st::toneAmplitude(y, hz, rate); };
    EXPECT_LT(level(straight, 2 * f), 0.01 * level(straight, f));
    EXPECT_GT(level(half, 2 * f), 0.2 * level(half, f));     // half-wave: fundamental and 2nd
    EXPECT_LT(level(full, f), 0.02 * level(full, 2 * f));    // full-wave: the fundamental cancels
}

TEST(ShaperModes, LoudInputStaysInsideTheWaveTable) {
    // FM, PM and symmetry read the table at input-dependent phases; huge inputs must neither
    // read outside it (the sanitizer build checks) nor produce anything but finite output.
    const std::vector<float> loud = {1e30f, -1e30f, 5e3f, -5e3f, 20.0f, -20.0f, 1.0f, -1.0f, 0.0f, 3e38f};
    for (int mode : {TShaper::FreqMod, TShaper::PhaseMod, TShaper::SymMod}) {
        auto shaper = std::make_unique<TShaper>();
        shaper->setType(mode);
        for (std::size_t i = 0; i < 4000; ++i) {
            shaper->setDistort(0.9f, 0.8f, 2.0f, 0.5f, 0.3f, 0.0f, 0.0f, 0.5f, 0.0f, 0.7f, 0.0f, i == 0);
            const float a = loud[i % loud.size()], b = loud[(i * 7 + 3) % loud.size()];
            float o[4];
            shaper->process(a, b, b, a, o[0], o[1], o[2], o[3]);
            for (float v : o) ASSERT_TRUE(std::isfinite(v)) << mode << " at " << i;
        }
    }
}

TEST(ShaperModes, SymmetryPointPushedToTheEdgeStaysInTheTable) {
    // An input that puts the symmetry point exactly on 0 would make the first slope infinite
    // and the phase 0 unreadable; the point is held inside the cycle instead.
    auto shaper = std::make_unique<TShaper>();
    shaper->setType(TShaper::SymMod);
    shaper->setDistort(0.3f, 0.5f, 2.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, true);
    const float depth = shaper->symDepth;
    float edge = -0.5102f;
    while (0.5f + 0.49f * depth * edge != 0.0f && edge > -0.52f) edge = std::nextafter(edge, -1.0f);
    ASSERT_EQ(0.5f + 0.49f * depth * edge, 0.0f);
    for (int i = 0; i < 1000; ++i) {
        float o[4];
        shaper->process(edge, edge, edge, edge, o[0], o[1], o[2], o[3]);
        for (float v : o) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << i;
        EXPECT_GT(shaper->sym, 0.0f);
        EXPECT_LT(shaper->sym, 1.0f);
        shaper->setDistort(0.3f, 0.5f, 2.0f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, false);
    }
}

TEST(ShaperModes, DcBlockerRemovesAnOffset) {
    const double rate = 88200.0;
    const std::vector<float> offset(static_cast<std::size_t>(rate), 0.5f);
    // "Amp Mod" with no amount passes the input straight to the blocker.
    const auto y = runShaper({TShaper::AmpMod, 0.0f, 0.5f, 0.0f}, 44100.0, offset);
    EXPECT_GT(y[static_cast<std::size_t>(0.002 * rate)], 0.4f);  // a few ms in: still there
    // One-pole blocker of 30 / internal rate per step: time constant 1/30 s.
    EXPECT_NEAR(y[static_cast<std::size_t>(rate / 30)], 0.5 * std::exp(-1.0), 0.01);
    // What stays is the rounding floor of a single-precision state (about -87 dB).
    EXPECT_LT(std::fabs(y.back()), 1e-4f);
}

TEST_P(ShaperAtRate, LowFiHoldRateShowsAsAnImage) {
    const double host = GetParam(), rate = 2 * host;
    const double f = 3000.0;
    const auto x = st::sine(f, rate, static_cast<std::size_t>(rate * 0.5), 0.5);
    // Amount a holds at 88.2 kHz / 2^(5a) whatever the host rate; shape 0 keeps 65,536 steps.
    const double hold = 88200.0 / 8.0;  // a = 0.6
    const auto held = runShaper({TShaper::LowFi, 0.0f, 0.0f, 0.6f, 0.0f}, host, x);
    const double image = settledAmplitude(held, hold - f, rate) / settledAmplitude(held, f, rate);
    // Sample-and-hold weights the image by sinc(pi (H - f) / H) against sinc(pi f / H).
    const auto sinc = [](double v) { return std::sin(v) / v; };
    const double expected = sinc(std::numbers::pi * (hold - f) / hold) / sinc(std::numbers::pi * f / hold);
    EXPECT_NEAR(image, expected, 0.15 * expected);
    if (host == 44100.0) {
        // Amount 0 at 44.1 kHz holds every sub-sample: nothing but the input comes out.
        const auto clean = runShaper({TShaper::LowFi, 0.0f, 0.0f, 0.0f, 0.0f}, host, x);
        EXPECT_NEAR(settledAmplitude(clean, f, rate), 0.5, 0.005);
        EXPECT_LT(settledAmplitude(clean, hold - f, rate), 1e-4);
    }
}

TEST(ShaperModes, LowFiBitDepthAndNoiseShowInTheSpectrum) {
    const double rate = 88200.0, f = 500.0;
    const auto x = st::sine(f, rate, 44100, 0.8);
    const auto run = [&](float bits, float noise) {
        return runShaper({TShaper::LowFi, 0.0f, 0.0f, 0.0f, bits, noise}, 44100.0, x);
    };
    const auto fine = run(0.0f, 0.0f), coarse = run(1.0f, 0.0f), noisy = run(0.0f, 1.0f);
    const auto level = [&](const std::vector<float>& y, double hz) { return settledAmplitude(y, hz, rate); };
    // 4 steps per unit: strong odd harmonics; 65,536 steps: practically none.
    EXPECT_GT(level(coarse, 3 * f), 0.03 * level(coarse, f));
    EXPECT_LT(level(fine, 3 * f), 1e-4 * level(fine, f));
    // Full noise scales every sample by a random 0..1: broadband energy everywhere.
    EXPECT_GT(level(noisy, 7777.0), 1e-3);
    EXPECT_LT(level(fine, 7777.0), 1e-5);
    EXPECT_NEAR(level(noisy, f), 0.4, 0.02);  // mean gain one half
}

TEST(ShaperModes, LowFiFilterChoiceAndCutoff) {
    auto shaper = std::make_unique<TShaper>();
    shaper->setType(TShaper::LowFi);
    const auto choose = [&](float value) {
        shaper->setDistort(0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, value, true);
        return shaper->filter.type;
    };
    EXPECT_EQ(choose(0.0f), TFilter::Bypass);
    EXPECT_EQ(choose(0.25f), TFilter::LPZ_12);
    EXPECT_EQ(choose(0.5f), TFilter::HPZ_12);
    EXPECT_EQ(choose(0.75f), TFilter::BPZ_12);
    EXPECT_EQ(choose(1.0f), TFilter::BPZ_12) << "an index past the list keeps the type";

    // "LP" with the wave knob at 0.5 (640 Hz) takes the top off a 10 kHz tone.
    const double rate = 88200.0;
    const auto x = st::sine(10000.0, rate, 44100, 0.5);
    const auto shut = runShaper({TShaper::LowFi, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.25f}, 44100.0, x);
    EXPECT_LT(settledAmplitude(shut, 10000.0, rate), 0.5 * 0.01);
}

INSTANTIATE_TEST_SUITE_P(HostRates, ShaperAtRate, ::testing::Values(44100.0, 96000.0));

// ---------------------------------------------------------------- render-thread properties

TEST(ShaperModes, StatesStayNormalThroughLongSilence) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int mode = 0; mode < TShaper::MODE_COUNT; ++mode) {
        auto shaper = std::make_unique<TShaper>();
        shaper->setType(mode);
        float o[4];
        const auto step = [&](float a, float b, float c, float d) {
            // Shape 1: the slowest envelope release, the longest decay.
            shaper->setDistort(0.6f, 0.5f, 0.7f, 1.0f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f, 0.4f, 0.3f, false);
            shaper->process(a, b, c, d, o[0], o[1], o[2], o[3]);
        };
        for (int i = 0; i < 4410; ++i) step(noise(rng), noise(rng), noise(rng), noise(rng));
        for (int i = 0; i < 5 * 44100; ++i) step(0.0f, 0.0f, 0.0f, 0.0f);
        for (float v : {shaper->envL, shaper->envR, shaper->dcL, shaper->dcR})
            EXPECT_TRUE(normalOrZero(v)) << mode << " " << v;
        for (const TFilterChannel& c : shaper->filter.ch)
            for (float v : {c.s1[0], c.s2[0], c.state, c.low, c.band})
                EXPECT_TRUE(normalOrZero(v)) << mode << " " << v;
        for (float v : o) EXPECT_LT(std::fabs(v), 1e-6f) << mode;
    }
}

TEST(ShaperModes, SetAndProcessAllocateNothing) {
    auto shaper = std::make_unique<TShaper>();
    tarnwell::test::AllocationCounter counter;
    for (int mode = 0; mode < TShaper::MODE_COUNT; ++mode) {
        shaper->setType(mode);
        for (int i = 0; i < 256; ++i) {
            shaper->setDistort(0.3f, 0.001f * static_cast<float>(i), 0.5f, 0.5f, 0.2f, 0.0f, 0.0f,
                               0.0f, 0.0f, 0.5f, 0.4f, i == 0);
            float a, b, c, d;
            shaper->process(0.3f, -0.2f, 0.1f, 0.4f, a, b, c, d);
        }
    }
    EXPECT_EQ(counter.count(), 0u);
}
