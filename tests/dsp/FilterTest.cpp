#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/TFilter.h"
#include "tests/dsp/LaneDriver.h"
#include "tests/dsp/ResponseProbe.h"
#include "tests/support/AllocationCounter.h"

using tarnwell::test::ResponseProbe;
using tarnwell::test::runInternal;

namespace {

// Knob position of a cutoff in Hz (20 Hz .. 20,480 Hz over ten octaves).
float knobFor(double hz) { return static_cast<float>(std::log2(hz / 20.0) / 10.0); }
// setRes scales by 0.95; this gives a stored resonance r.
float resKnob(double r) { return static_cast<float>(r / 0.95); }

struct Setting {
    int type = TFilter::LP2_12;
    double cutoffHz = 1000.0;
    double res = 0.0;  // stored resonance 0..0.95
    float vowel = 0.0f;
    float gain = 0.5f;
};

ResponseProbe probe(const Setting& s, double hostRate, double seconds = 0.4) {
    const double rate = 2.0 * hostRate;
    return ResponseProbe(
        [&](const std::vector<float>& in) {
            TFilter f;
            f.init(static_cast<float>(hostRate));
            f.setType(s.type, true);
            return runInternal(f, in, [&] {
                f.setFrequency(knobFor(s.cutoffHz), 0.0f, 0.0f, 0.0f);
                f.setRes(resKnob(s.res));
                f.setVowel(s.vowel);
                f.setGain(s.gain);
                f.update(0.0f, false);
            });
        },
        static_cast<std::size_t>(rate * seconds), rate);
}

// Slope in dB per octave between hz and 2 hz (positive when the gain falls upwards).
double fallPerOctave(const ResponseProbe& p, double hz) { return p.gainDb(hz) - p.gainDb(2.0 * hz); }

class FilterAtRate : public ::testing::TestWithParam<double> {};

bool normalOrZero(float v) {
    const int c = std::fpclassify(v);
    return c == FP_NORMAL || c == FP_ZERO;
}

}  // namespace

// ---------------------------------------------------------------- tables

TEST(FilterTables, EdgeEntriesHoldTheirGuardedValues) {
    TFilter::setGlobalArrays();
    constexpr int last = FILTER_TABLE_SIZE - 1;
    EXPECT_EQ(FilterFreqPow2[0], 20.0f);
    EXPECT_LT(FilterFreqPow2[last], 20480.0f);
    EXPECT_GT(FilterFreqPow2[last], 20479.0f);
    EXPECT_EQ(FilterSine[0], 1e-15f);
    EXPECT_EQ(FilterMFP[0], 1e-15f);
    EXPECT_EQ(FilterMFF[0], -1.0f);
    EXPECT_NEAR(Filter_12LO_2[0], 1.0 / 0.0015, 0.01);
    EXPECT_NEAR(FilterVoxC[0], 1000.0f, 1e-3);
    EXPECT_NEAR(FilterMFQ[0], 3.8f, 1e-6);
    EXPECT_NEAR(FilterMFQ[FILTER_TABLE_SIZE / 2], 1.0f, 1e-6);
}

TEST(FilterTables, LookupClampsAndOneReadsTheLastEntry) {
    EXPECT_EQ(TFilter::tableIndex(1.0f), FILTER_TABLE_SIZE - 1);
    EXPECT_EQ(TFilter::tableIndex(7.0f), FILTER_TABLE_SIZE - 1);
    EXPECT_EQ(TFilter::tableIndex(-0.5f), 0);
    EXPECT_EQ(TFilter::tableIndex(std::nanf("")), 0);
    EXPECT_EQ(TFilter::tableIndex(0.5f), FILTER_TABLE_SIZE / 2 - 1);  // truncation, not rounding
    EXPECT_EQ(TFilter::tableIndex(0.25f + 1.0f / FILTER_TABLE_SIZE), FILTER_TABLE_SIZE / 4);
}

// ---------------------------------------------------------------- controls

TEST(FilterControls, SettersLimitTheirValuesAndSpreadSplitsTheChannels) {
    TFilter f;
    f.init(44100.0f);
    f.setRes(2.0f);
    EXPECT_FLOAT_EQ(f.res, 0.95f);
    f.setRes(-1.0f);
    EXPECT_EQ(f.res, 0.0f);
    f.setDistort(1.0f);
    EXPECT_FLOAT_EQ(f.drive, 63.0f);
    f.setType(99, true);
    EXPECT_EQ(f.type, TFilter::PeakShelf);
    // Spread moves the left cutoff down and the right one up by the same factor.
    f.setFrequency(knobFor(1000.0), 1.0f, 0.0f, 0.0f);
    f.update(0.0f, false);
    EXPECT_NEAR(f.cutoffL, 500.0f, 0.5f);
    EXPECT_NEAR(f.cutoffR, 2000.0f, 1.0f);
}

TEST(FilterControls, CoefficientsOnlyRecomputeWhenAnInputMoves) {
    TFilter f;
    f.init(44100.0f);
    f.setType(TFilter::LowShelf, true);
    f.setFrequency(0.5f, 0.0f, 0.0f, 0.0f);
    f.setGain(0.8f);
    f.update(0.0f, false);
    const float b0 = f.ch[0].b0;
    f.setGain(0.8f + 5e-6f);
    f.update(0.0f, false);
    EXPECT_EQ(f.ch[0].b0, b0) << "a change below 1e-5 must not recompute";
    f.setGain(0.81f);
    f.update(0.0f, false);
    EXPECT_NE(f.ch[0].b0, b0);

    // Bypass maps the cutoff but leaves every coefficient as it was.
    const float kept = f.ch[0].b0;
    f.setType(TFilter::Bypass, false);
    f.setGain(0.2f);
    f.setFrequency(0.1f, 0.0f, 0.0f, 0.0f);
    f.update(0.0f, false);
    EXPECT_EQ(f.ch[0].b0, kept);
    EXPECT_NEAR(f.cutoffL, 40.0f, 0.01f);
}

TEST(FilterControls, TypeChangeWithResetStartsFromSilence) {
    TFilter f;
    f.init(44100.0f);
    f.setType(TFilter::BPZ_24, true);
    float a, b, c, d;
    const auto feed = [&](float x) {
        f.setRes(1.0f);
        f.update(0.0f, true);
        f.process(x, x, x, x, a, b, c, d);
        return std::fabs(a);
    };
    f.setFrequency(0.5f, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < 200; ++i) feed(i % 2 ? 0.9f : -0.9f);
    f.setType(TFilter::BPZ_24, true);  // same type: keeps ringing
    EXPECT_GT(feed(0.0f), 1e-3f);
    f.setType(TFilter::LPZ_24, true);
    EXPECT_LT(feed(0.0f), 1e-9f);
}

// ---------------------------------------------------------------- processing

TEST(FilterProcessing, BypassLimitsAndDriveBendsTheCurve) {
    TFilter f;
    f.init(44100.0f);
    float a, b, c, d;
    f.process(1.5f, -1.5f, 0.25f, -0.25f, a, b, c, d);
    EXPECT_FLOAT_EQ(a, 1.0f);
    EXPECT_FLOAT_EQ(b, -1.0f);
    EXPECT_FLOAT_EQ(c, 0.25f);
    EXPECT_FLOAT_EQ(d, -0.25f);
    f.setDistort(1.0f);
    f.process(0.5f, -0.5f, 0.0f, 2.0f, a, b, c, d);
    EXPECT_NEAR(a, 32.0 / 32.5, 1e-6);
    EXPECT_NEAR(b, -32.0 / 32.5, 1e-6);
    EXPECT_NEAR(c, 0.0, 1e-9);
    EXPECT_FLOAT_EQ(d, 1.0f);
}

TEST(FilterProcessing, SomeTypesReadOnlyTheFirstSubSample) {
    // The one-pole of the 18 dB types and the formant bank run once per call on the first
    // sub-sample; the formant types repeat their result in both outputs.
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int type : {TFilter::LP18, TFilter::HP18, TFilter::Vowel, TFilter::Formant1, TFilter::Formant2}) {
        TFilter x, y;
        for (TFilter* f : {&x, &y}) {
            f->init(44100.0f);
            f->setType(type, true);
            f->setFrequency(0.6f, 0.0f, 0.0f, 0.0f);
            f->setVowel(0.3f);
            f->update(0.0f, false);
        }
        for (int i = 0; i < 1000; ++i) {
            const float a = noise(rng), b1 = noise(rng), b2 = noise(rng);
            float xa, xr, xb, xrb, ya, yr, yb, yrb;
            x.process(a, a, b1, b1, xa, xr, xb, xrb);
            y.process(a, a, b2, b2, ya, yr, yb, yrb);
            ASSERT_EQ(xa, ya) << type;
            if (type >= TFilter::Vowel) {
                ASSERT_EQ(xa, xb) << type;
            }
        }
    }
}

TEST_P(FilterAtRate, SlopesMatchTheirOrder) {
    const double host = GetParam();
    // Low-passes at 500 Hz measured over 4-8 kHz, high-passes at 4 kHz over 125-250 Hz.
    const struct {
        int type;
        double dbPerOctave;
        bool lowPass;
    } cases[] = {{TFilter::LP6, 6, true},     {TFilter::LP1_12, 12, true}, {TFilter::LP2_12, 12, true},
                 {TFilter::LPZ_12, 12, true}, {TFilter::LP18, 18, true},   {TFilter::LP1_24, 24, true},
                 {TFilter::LP2_24, 24, true}, {TFilter::LPZ_24, 24, true}, {TFilter::LP36, 36, true},
                 {TFilter::HP6, 6, false},    {TFilter::HP1_12, 12, false}, {TFilter::HP2_12, 12, false},
                 {TFilter::HPZ_12, 12, false}, {TFilter::HP18, 18, false}, {TFilter::HP1_24, 24, false},
                 {TFilter::HPZ_24, 24, false}};
    for (const auto& c : cases) {
        const ResponseProbe p = probe({c.type, c.lowPass ? 500.0 : 4000.0}, host);
        const double slope = c.lowPass ? fallPerOctave(p, 4000.0) : -fallPerOctave(p, 125.0);
        EXPECT_NEAR(slope, c.dbPerOctave, 0.1 * c.dbPerOctave + 0.5) << c.type;
        EXPECT_GT(p.gainDb(c.lowPass ? 50.0 : 16000.0), -2.5) << c.type << ": pass band";
    }
}

TEST_P(FilterAtRate, CutoffSitsWhereTheKnobSays) {
    const double host = GetParam();
    // Undamped (r = 0) state-variable types pass the cutoff at 0 dB.
    for (double fc : {200.0, 1000.0, 5000.0}) {
        EXPECT_NEAR(probe({TFilter::LP1_12, fc}, host).gainDb(fc), 0.0, 0.5) << fc;
        EXPECT_NEAR(probe({TFilter::HPZ_12, fc}, host).gainDb(fc), 0.0, 0.5) << fc;
    }
    // At r = 0.5 the bilinear types are Butterworth: -3 dB at the cutoff. (Low cutoffs sit a
    // little higher: the constants that keep the tables finite shift them.)
    for (double fc : {3000.0, 5000.0}) {
        EXPECT_NEAR(probe({TFilter::LP2_12, fc, 0.5}, host).gainDb(fc), -3.0, 0.3) << fc;
        EXPECT_NEAR(probe({TFilter::HP2_12, fc, 0.5}, host).gainDb(fc), -3.0, 0.3) << fc;
    }
}

TEST_P(FilterAtRate, BandPassesPeakAtTheCutoff) {
    const double host = GetParam();
    for (int type : {TFilter::BP1_12, TFilter::BP2_12, TFilter::BPZ_12, TFilter::BP2_24,
                     TFilter::BPZ_24}) {
        for (double fc : {300.0, 3000.0}) {
            const ResponseProbe p = probe({type, fc, 0.5}, host);
            EXPECT_NEAR(p.peakHz(fc / 2, fc * 2) / fc, 1.0, 0.04) << type << " at " << fc;
            EXPECT_LT(p.gainDb(fc / 8), p.gainDb(fc) - 15.0) << type;
            EXPECT_LT(p.gainDb(fc * 8), p.gainDb(fc) - 15.0) << type;
        }
    }
    // The 24 dB band-passes fall twice as fast outside the band as the 12 dB ones.
    const double skirt12 = fallPerOctave(probe({TFilter::BPZ_12, 500.0}, host), 4000.0);
    const double skirt24 = fallPerOctave(probe({TFilter::BPZ_24, 500.0}, host), 4000.0);
    EXPECT_NEAR(skirt12, 6.0, 1.0);
    EXPECT_NEAR(skirt24, 12.0, 1.5);
}

TEST_P(FilterAtRate, NotchesCutTheCutoffAndPassTheRest) {
    const double host = GetParam();
    const double fc = 2000.0;
    for (int type : {TFilter::Notch2_12, TFilter::NotchZ_12, TFilter::Notch2_24, TFilter::NotchZ_24,
                     TFilter::Notch1_12}) {
        const ResponseProbe p = probe({type, fc}, host);
        const double deepest = p.lowestGainHz(fc / 2, fc * 2, 1.001);
        EXPECT_NEAR(deepest / fc, 1.0, 0.02) << type;
        // The state-variable notch (low + high taken half a step apart) is shallower.
        EXPECT_LT(p.gainDb(deepest), type == TFilter::Notch1_12 ? -15.0 : -40.0) << type;
        EXPECT_NEAR(p.gainDb(fc / 16), 0.0, 3.5) << type;
        EXPECT_NEAR(p.gainDb(fc * 4), 0.0, 3.5) << type;
    }
}

TEST_P(FilterAtRate, ResonanceRaisesThePeak) {
    const double host = GetParam();
    const double fc = 1000.0;
    // State-variable: gain at the cutoff is 1 / damping = 1 / (1 - r).
    for (double r : {0.0, 0.5, 0.9}) {
        EXPECT_NEAR(probe({TFilter::LP1_12, fc, r}, host).gainDb(fc), -20 * std::log10(1 - r), 0.5) << r;
        // Zero-delay: 1 / (2R) with R = 0.5 * 2^(-5r), about 30 dB per unit of resonance.
        EXPECT_NEAR(probe({TFilter::LPZ_12, fc, r}, host).gainDb(fc), 20 * std::log10(std::exp2(5 * r)), 0.5) << r;
    }
    // Ladder and cascaded types: the peak near the cutoff grows against the pass band.
    for (int type : {TFilter::LP2_24, TFilter::LPZ_24, TFilter::LP1_24, TFilter::LP36}) {
        double last = -1e9;
        for (double r : {0.3, 0.6, 0.9}) {
            const ResponseProbe p = probe({type, fc, r}, host);
            const double rise = p.gainDb(p.peakHz(fc / 2, fc * 2)) - p.gainDb(fc / 16);
            EXPECT_GT(rise, last + 1.0) << type << " r " << r;
            last = rise;
        }
        EXPECT_GT(last, 6.0) << type;
    }
}

TEST_P(FilterAtRate, ShelvesAndPeakReachTheirGains) {
    const double host = GetParam();
    const double fc = 1000.0;
    for (float gain : {0.0f, 0.25f, 0.75f, 1.0f}) {
        const double dB = 40.0 * static_cast<double>(gain) - 20.0;
        Setting s{TFilter::LowShelf, fc, 0.95, 0.0f, gain};
        ResponseProbe low = probe(s, host);
        EXPECT_NEAR(low.gainDb(20.0), dB, 0.3) << gain;
        EXPECT_NEAR(low.gainDb(fc * 16), 0.0, 0.3) << gain;
        s.type = TFilter::HighShelf;
        ResponseProbe high = probe(s, host);
        EXPECT_NEAR(high.gainDb(fc * 16), dB, 0.5) << gain;
        EXPECT_NEAR(high.gainDb(20.0), 0.0, 0.3) << gain;
        s.type = TFilter::PeakShelf;
        s.res = 0.2;  // bandwidth grows with resonance on the peak type
        ResponseProbe peak = probe(s, host);
        EXPECT_NEAR(peak.gainDb(fc), dB, 0.3) << gain;
        EXPECT_NEAR(peak.gainDb(fc / 16), 0.0, 0.3) << gain;
    }
    // Gain 0.5 is 0 dB: flat.
    for (int type : {TFilter::LowShelf, TFilter::HighShelf, TFilter::PeakShelf})
        for (double hz : {30.0, 1000.0, 15000.0})
            EXPECT_NEAR(probe({type, fc, 0.5, 0.0f, 0.5f}, host).gainDb(hz), 0.0, 0.05);
}

TEST_P(FilterAtRate, FormantsMoveWithVowelAndCutoff) {
    const double host = GetParam();
    // The formant bank runs once per host sample on coefficients for the doubled rate, so a
    // formant sounds at half its table frequency; a cutoff of 440 Hz leaves the table as is.
    // The neighbouring formants pull each peak by a few per cent.
    const double formantA = 650.0 / 2, formantI = 290.0 / 2;
    const auto firstPeak = [&](Setting s) { return probe(s, host).peakHz(60.0, 450.0); };
    const double a440 = firstPeak({TFilter::Vowel, 440.0, 0.0, 0.0f});
    EXPECT_NEAR(a440 / formantA, 1.0, 0.05);
    EXPECT_NEAR(firstPeak({TFilter::Vowel, 440.0, 0.0, 0.4f}) / formantI, 1.0, 0.05);
    EXPECT_NEAR(firstPeak({TFilter::Vowel, 220.0, 0.0, 0.0f}) / a440, 0.5, 0.01);
    // Vowel 1 is 99 % A and 1 % U, not U (whose first formant is 350 Hz).
    EXPECT_NEAR(firstPeak({TFilter::Vowel, 440.0, 0.0, 1.0f}) / a440, 1.0, 0.01);

    // Formant 1 splits into two bands 2^(+-2v) around the cutoff (again at half frequency).
    const double fc = 1000.0;
    const ResponseProbe f1 = probe({TFilter::Formant1, fc, 0.9, 0.5f}, host);
    EXPECT_NEAR(f1.peakHz(100.0, 400.0) / (fc / 4), 1.0, 0.03);
    EXPECT_NEAR(f1.peakHz(600.0, 2000.0) / fc, 1.0, 0.03);
    EXPECT_LT(f1.gainDb(fc / 2), f1.gainDb(fc) - 10.0);
}

INSTANTIATE_TEST_SUITE_P(HostRates, FilterAtRate, ::testing::Values(44100.0, 96000.0));

TEST(FilterProcessing, CutoffIsHeldAtAFifthOfTheInternalRate) {
    // At 44.1 kHz the top knob (20,480 Hz) and 17,640 Hz give the same filter; at 96 kHz not.
    const Setting top{TFilter::LP2_12, 20480.0}, limit{TFilter::LP2_12, 17640.0};
    EXPECT_NEAR(probe(top, 44100.0).gainDb(10000.0), probe(limit, 44100.0).gainDb(10000.0), 1e-3);
    EXPECT_GT(std::fabs(probe(top, 96000.0).gainDb(15000.0) - probe(limit, 96000.0).gainDb(15000.0)), 0.05);
}

TEST(FilterProcessing, EveryTypeStaysBoundedUnderFullScaleNoiseAtMaximumSettings) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    constexpr int samples = 441000;  // ten seconds at 44.1 kHz
    for (int type = 0; type < TFilter::NUM_TYPES; ++type) {
        TFilter f;
        f.init(44100.0f);
        f.setType(type, true);
        float peak = 0.0f;
        bool finite = true;
        for (int i = 0; i < samples; ++i) {
            // The cutoff and vowel sweep the whole range three times.
            const float phase = static_cast<float>(i) / samples;
            f.setDistort(1.0f);
            f.setFrequency(0.5f + 0.5f * std::sin(18.85f * phase), 0.0f, 0.0f, 0.0f);
            f.setRes(1.0f);
            f.setVowel(phase);
            f.setGain(1.0f);
            f.update(0.0f, true);
            float o[4];
            f.process(noise(rng), noise(rng), noise(rng), noise(rng), o[0], o[1], o[2], o[3]);
            for (float v : o) {
                finite = finite && std::isfinite(v);
                peak = std::max(peak, std::fabs(v));
            }
        }
        EXPECT_TRUE(finite) << type;
        EXPECT_LT(peak, 1000.0f) << type;
        EXPECT_GT(peak, 0.1f) << type;
    }
}

TEST(FilterProcessing, StatesStayNormalThroughLongSilence) {
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int type = 0; type < TFilter::NUM_TYPES; ++type) {
        TFilter f;
        f.init(44100.0f);
        f.setType(type, true);
        float o[4];
        const auto step = [&](float a, float b, float c, float d) {
            f.setFrequency(0.55f, 0.0f, 0.0f, 0.0f);
            f.setRes(0.9f);
            f.setVowel(0.3f);
            f.setGain(0.7f);
            f.update(0.0f, true);
            f.process(a, b, c, d, o[0], o[1], o[2], o[3]);
        };
        for (int i = 0; i < 4410; ++i) step(noise(rng), noise(rng), noise(rng), noise(rng));
        for (int i = 0; i < 5 * 44100; ++i) step(0.0f, 0.0f, 0.0f, 0.0f);
        for (const TFilterChannel& c : f.ch) {
            std::vector<float> states = {c.state, c.low, c.band, c.high, c.xOld, c.y1, c.y2, c.y3, c.y4};
            states.insert(states.end(), std::begin(c.x), std::end(c.x));
            states.insert(states.end(), std::begin(c.y), std::end(c.y));
            states.insert(states.end(), std::begin(c.s1), std::end(c.s1));
            states.insert(states.end(), std::begin(c.s2), std::end(c.s2));
            states.insert(states.end(), std::begin(c.formantIn), std::end(c.formantIn));
            for (const auto& slot : c.formantOut) states.insert(states.end(), std::begin(slot), std::end(slot));
            for (float v : states) ASSERT_TRUE(normalOrZero(v)) << "type " << type << " state " << v;
        }
        for (float v : o) EXPECT_LT(std::fabs(v), 1e-6f) << type;
    }
}

TEST(FilterProcessing, UpdateAndProcessAllocateNothing) {
    TFilter f;
    f.init(44100.0f);
    tarnwell::test::AllocationCounter counter;
    for (int type = 0; type < TFilter::NUM_TYPES; ++type) {
        f.setType(type, true);
        for (int i = 0; i < 64; ++i) {
            f.setDistort(0.3f);
            f.setFrequency(0.01f * static_cast<float>(i), 0.2f, 0.0f, 0.0f);
            f.setRes(0.5f);
            f.setVowel(0.5f);
            f.setGain(0.6f);
            f.update(0.0f, true);
            float a, b, c, d;
            f.process(0.1f, -0.1f, 0.2f, -0.2f, a, b, c, d);
        }
    }
    EXPECT_EQ(counter.count(), 0u);
}
