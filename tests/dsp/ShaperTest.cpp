#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "dsp/TShaper.h"
#include "tests/dsp/LaneDriver.h"

using tarnwell::test::Signal;
using tarnwell::test::sine;

namespace {

constexpr double kRate = 88200.0;  // internal rate of a 44.1 kHz host

// Frequency knob for an oscillator control frequency fHz = 0.3125 * 2^(16 * knob).
float knobFor(double fHz) {
    return static_cast<float>(std::log2(fHz / 0.3125) / 16.0);
}

struct Setting {
    int mode = TShaper::RingMod;
    float wave = 0.0f;  // sine
    float freq = 0.5f;
    float amount = 1.0f;
    float shape = 0.5f;
    float extra = 0.0f;
    float lowFi = 0.0f;
    float spread = 0.0f;
};

// Runs a signal at the internal rate through a fresh shaper, set once per host sample.
Signal runShaper(const Setting& s, const Signal& in, double hostRate = 44100.0) {
    auto shaper = std::make_unique<TShaper>();
    shaper->init(static_cast<float>(hostRate));
    shaper->setType(s.mode);
    return tarnwell::test::runInternal(*shaper, in, [&] {
        shaper->setDistort(s.wave, s.freq, s.amount, s.shape, s.spread, 0, 0, 0, 0, s.extra, s.lowFi, true);
    });
}

// Amplitude at hz over the second half of a run (after the DC blocker has settled).
double settled(const Signal& y, double hz, double rate = kRate) {
    return tarnwell::test::toneAmplitude(y, y.size() / 2, y.size(), hz, rate);
}

// Half a second of a sine at the internal rate, or a steady level.
Signal tone(double hz, double amplitude) {
    return sine(hz, kRate, 44100, amplitude);
}
Signal steady(float level) {
    return Signal(44100, level);
}

}  // namespace

TEST(ShaperTables, BandLimitedLevelsSpanFullScaleAndStopAtTheirHarmonicLimit) {
    TShaper shaper;
    const int limit[WAVE_LEVELS] = {0, 126, 94, 70, 53, 39, 29, 22, 16, 12, 9, 7, 5, 3, 2, 2};
    for (int w = 1; w < WAVE_COUNT; ++w) {
        for (int k = 1; k < WAVE_LEVELS; ++k) {
            const float* table = Waves[w][k];
            const auto [mn, mx] = std::minmax_element(table, table + WAVE_LENGTH);
            EXPECT_NEAR(*mn, -1.0f, 2e-3) << w << "/" << k;
            EXPECT_NEAR(*mx, 1.0f, 2e-3) << w << "/" << k;
            // The last harmonic (odd for triangle and square) at 1/n^2 or 1/n, nothing above.
            const std::vector<double> h = tarnwell::test::amplitudeSpectrum(table, WAVE_LENGTH);
            const int n = limit[k], top = (w == 3 || n % 2 == 1) ? n : n - 1;
            const double expected = (w == 1 ? 1.0 / (top * top) : 1.0 / top);
            EXPECT_NEAR(h[top] / h[1], expected, 0.02 * expected + 1e-5) << w << "/" << k;
            EXPECT_LT(*std::max_element(h.begin() + n + 1, h.begin() + 1500) / h[1], 1e-4) << w << "/" << k;
        }
    }
}

TEST(ShaperTables, EveryInstancePicksTheBandLevelForItsFrequency) {
    const auto levelFor = [](double fHz) {
        auto shaper = std::make_unique<TShaper>();
        shaper->setDistort(0.0f, knobFor(fHz), 0, 0, 0, 0, 0, 0, 0, 0, 0, true);
        return shaper->level;
    };
    EXPECT_EQ(levelFor(349.0), 0);
    EXPECT_EQ(levelFor(351.0), 1);
    EXPECT_EQ(levelFor(2000.0), 7);
    EXPECT_EQ(levelFor(1e6), 13);  // the knob is held at 0.97: about 14,680 Hz
}

// The release and the band level follow the knobs on every fourth call, whether the knobs have
// moved since or rest, and come back after a reset.
TEST(ShaperModes, SlowSettingsFollowTheKnobsEveryFourthCallAndAfterAReset) {
    auto shaper = std::make_unique<TShaper>();
    shaper->setType(TShaper::SymMod);
    const auto set = [&](float shape, double fHz) {
        shaper->setDistort(0.0f, knobFor(fHz), 0.5f, shape, 0, 0, 0, 0, 0, 0, 0, true);
    };
    set(0.5f, 2000.0);
    EXPECT_FLOAT_EQ(shaper->envRelease, std::exp2(-5.0f));
    set(0.2f, 349.0);  // the second call: the slow settings wait
    EXPECT_FLOAT_EQ(shaper->envRelease, std::exp2(-5.0f));
    EXPECT_EQ(shaper->level, 7);
    for (int k = 0; k < 3; ++k) set(0.2f, 349.0);  // the fifth call takes the resting knobs
    EXPECT_FLOAT_EQ(shaper->envRelease, std::exp2(-2.0f));
    EXPECT_EQ(shaper->level, 0);
    shaper->reset();
    set(0.2f, 349.0);
    EXPECT_FLOAT_EQ(shaper->envRelease, std::exp2(-2.0f));
}

TEST(ShaperModes, ModulationPutsSidebandsWhereTheoryDoes) {
    // The phase steps fHz / host rate per sub-sample, so the oscillator runs at 2 * fHz.
    const double fHz = 250.0, osc = 2 * fHz, carrier = 3000.0;
    const Signal x = tone(carrier, 0.5);
    const Signal ring = runShaper({TShaper::RingMod, 0.0f, knobFor(fHz), 1.0f}, x);
    EXPECT_NEAR(settled(ring, carrier - osc), 0.25, 0.01);
    EXPECT_NEAR(settled(ring, carrier + osc), 0.25, 0.01);
    EXPECT_LT(settled(ring, carrier), 1e-3);
    const Signal halfRing = runShaper({TShaper::RingMod, 0.0f, knobFor(fHz), 0.5f}, x);
    EXPECT_NEAR(settled(halfRing, carrier), 0.25, 0.01);
    EXPECT_NEAR(settled(halfRing, carrier + osc), 0.125, 0.01);
    const Signal am = runShaper({TShaper::AmpMod, 0.0f, knobFor(fHz), 1.0f}, x);
    EXPECT_NEAR(settled(am, carrier), 0.25, 0.01);
    EXPECT_NEAR(settled(am, carrier - osc), 0.125, 0.01);
    // Spread tunes the left oscillator up by 2^spread.
    EXPECT_NEAR(settled(runShaper({TShaper::RingMod, 0.0f, knobFor(fHz), 1.0f, 0.5f, 0, 0, 1.0f}, x),
                        carrier + 2 * osc),
                0.25, 0.01);
    // Phase modulation by a sine: sidebands at 2 kHz +- 300 Hz.
    const Signal pm = runShaper({TShaper::PhaseMod, 0.0f, knobFor(1000.0), 0.2f}, tone(300.0, 0.5));
    EXPECT_GT(settled(pm, 2300.0), 0.05);
    EXPECT_GT(settled(pm, 1700.0), 0.05);
    // A steady input moves the symmetry point off centre and adds even harmonics to the sine.
    EXPECT_LT(settled(runShaper({TShaper::SymMod, 0.0f, knobFor(1000.0), 0.0f}, steady(0.5f)), 4000.0), 1e-3);
    EXPECT_GT(settled(runShaper({TShaper::SymMod, 0.0f, knobFor(1000.0), 1.0f}, steady(0.5f)), 4000.0), 0.05);
    // A steady input x multiplies the frequency by 2^(9 amount x), the wave times the envelope.
    const Signal fm = runShaper({TShaper::FreqMod, 0.0f, knobFor(200.0), 1.0f}, steady(0.1f));
    EXPECT_NEAR(tarnwell::test::zeroCrossingFrequency(fm, 22050, fm.size(), kRate), 400.0 * std::exp2(0.9),
                2.0);
    EXPECT_NEAR(tarnwell::test::peak(fm, 40000, fm.size()), 0.1, 0.01);
}

TEST(ShaperModes, RectifyShapesTheRingInputAndTheDcBlockerEndsEveryMode) {
    // The slowest oscillator stays near -1 for these 46 ms: the output is minus the shaped input.
    const Signal x = sine(2000.0, kRate, 4096, 0.5);
    const auto level = [&](float extra, double hz) {
        const Signal y = runShaper({TShaper::RingMod, 0.0f, 0.0f, 1.0f, 0.5f, extra}, x);
        return tarnwell::test::toneAmplitude(y, 0, y.size(), hz, kRate);
    };
    EXPECT_LT(level(0.0f, 4000.0), 0.01 * level(0.0f, 2000.0));
    EXPECT_GT(level(0.5f, 4000.0), 0.2 * level(0.5f, 2000.0));   // half-wave: fundamental and 2nd
    EXPECT_LT(level(1.0f, 2000.0), 0.02 * level(1.0f, 4000.0));  // full-wave: the fundamental cancels
    // "Amp Mod" with no amount passes an offset to the blocker: time constant 1/30 s.
    const Signal y = runShaper({TShaper::AmpMod, 0.0f, 0.5f, 0.0f}, steady(0.5f));
    EXPECT_NEAR(y[2940], 0.5 * std::exp(-1.0), 0.01);
    EXPECT_LT(std::fabs(y.back()), 1e-4f);
}

TEST(ShaperModes, TableReadsStayInsideTheWaveTable) {
    // Huge inputs must not read outside the table (the sanitizers check) nor give non-finite output.
    const float loud[] = {1e30f, -1e30f, 5e3f, -5e3f, 20.0f, -20.0f, 1.0f, -1.0f, 0.0f, 3e38f};
    for (int mode : {TShaper::FreqMod, TShaper::PhaseMod, TShaper::SymMod}) {
        auto shaper = std::make_unique<TShaper>();
        shaper->setType(mode);
        for (std::size_t i = 0; i < 4000; ++i) {
            shaper->setDistort(0.9f, 0.8f, 2.0f, 0.5f, 0.3f, 0.0f, 0.0f, 0.5f, 0.0f, 0.7f, 0.0f, i == 0);
            float o[4];
            shaper->process(loud[i % 10], loud[(i * 7 + 3) % 10], loud[i % 7], loud[i % 3], o[0], o[1], o[2],
                            o[3]);
            for (float v : o) ASSERT_TRUE(std::isfinite(v)) << mode << " at " << i;
        }
    }
    // A symmetry point exactly on 0 would make the first slope infinite: it is held inside.
    auto shaper = std::make_unique<TShaper>();
    shaper->setType(TShaper::SymMod);
    shaper->setDistort(0.3f, 0.5f, 2.0f, 0.5f, 0, 0, 0, 0, 0, 0, 0, true);
    float edge = -0.5102f;
    while (0.5f + 0.49f * shaper->symDepth * edge != 0.0f && edge > -0.52f)
        edge = std::nextafter(edge, -1.0f);
    ASSERT_EQ(0.5f + 0.49f * shaper->symDepth * edge, 0.0f);
    for (int i = 0; i < 1000; ++i) {
        float o[4];
        shaper->process(edge, edge, edge, edge, o[0], o[1], o[2], o[3]);
        for (float v : o) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0f) << i;
    }
}

TEST(ShaperLowFi, HoldBitDepthNoiseAndFilterShowInTheSpectrum) {
    // Holds at H = 88.2 kHz / 2^(5a) at any host rate; the image at H - f is weighted by sinc.
    const double f = 3000.0, hold = 88200.0 / 8.0;  // a = 0.6
    const auto sinc = [](double v) { return std::sin(v) / v; };
    const double image = sinc(std::numbers::pi * (hold - f) / hold) / sinc(std::numbers::pi * f / hold);
    for (double host : {44100.0, 96000.0}) {
        const Signal held =
            runShaper({TShaper::LowFi, 0.0f, 0.0f, 0.6f, 0.0f}, sine(f, 2 * host, 44100, 0.5), host);
        EXPECT_NEAR(settled(held, hold - f, 2 * host) / settled(held, f, 2 * host), image, 0.15 * image)
            << host;
    }
    // A held tone keeps its level, also where every hold lands on one sub-sample (H / 2, H / 4).
    for (float amount : {0.2f, 0.4f, 0.5f})
        EXPECT_NEAR(settled(runShaper({TShaper::LowFi, 0, 0, amount, 0.0f}, tone(200.0, 0.8)), 200.0), 0.8,
                    0.02)
            << amount;
    // Shape 1 keeps 4 steps per unit: strong odd harmonics; shape 0 65,536: practically none.
    const Signal x = tone(500.0, 0.8);
    const Signal fine = runShaper({TShaper::LowFi, 0, 0, 0, 0.0f}, x);
    const Signal coarse = runShaper({TShaper::LowFi, 0, 0, 0, 1.0f}, x);
    EXPECT_NEAR(settled(fine, 500.0), 0.8, 0.01);
    EXPECT_LT(settled(fine, 1500.0), 1e-4 * settled(fine, 500.0));
    EXPECT_GT(settled(coarse, 1500.0), 0.03 * settled(coarse, 500.0));
    // Full noise scales every sample v by a random 0..1: v / 2 plus v (u - 1/2).
    const Signal noisy = runShaper({TShaper::LowFi, 0, 0, 0, 0.0f, 1.0f}, x);
    EXPECT_NEAR(settled(noisy, 500.0), 0.4, 0.02);
    double residual = 0.0;
    for (std::size_t i = 22050; i < x.size(); ++i)
        residual += std::pow(static_cast<double>(noisy[i] - 0.5f * fine[i]), 2);
    EXPECT_NEAR(std::sqrt(residual / 22050.0), std::sqrt(0.32 / 12.0), 0.01);
    // "LP" at 640 Hz takes the top off; a choice past the list keeps the type.
    EXPECT_LT(settled(runShaper({TShaper::LowFi, 0.5f, 0, 0, 0, 0, 0.25f}, tone(10000.0, 0.5)), 10000.0),
              0.005);
    auto shaper = std::make_unique<TShaper>();
    shaper->setType(TShaper::LowFi);
    shaper->setDistort(0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.25f, true);
    shaper->setDistort(0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, true);
    EXPECT_EQ(shaper->filter.type, TFilter::LPZ_12);
}
