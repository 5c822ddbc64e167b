#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "dsp/TFilter.h"
#include "tests/dsp/LaneDriver.h"

using tarnwell::test::ResponseProbe;

namespace {

// Knob position of a cutoff in Hz (20 Hz .. 20,480 Hz over ten octaves).
float knobFor(double hz) {
    return static_cast<float>(std::log2(hz / 20.0) / 10.0);
}

struct Setting {
    int type = TFilter::LP2_12;
    double cutoffHz = 1000.0;
    double res = 0.0;  // stored resonance 0..0.95
    float vowel = 0.0f;
    float gain = 0.5f;
};

ResponseProbe probe(const Setting& s, double hostRate = 44100.0) {
    const double rate = 2.0 * hostRate;
    return ResponseProbe(
        [&](const tarnwell::test::Signal& in) {
            TFilter f;
            f.init(static_cast<float>(hostRate));
            f.setType(s.type, true);
            return tarnwell::test::runInternal(f, in, [&] {
                f.setFrequency(knobFor(s.cutoffHz), 0.0f, 0.0f, 0.0f);
                f.setRes(static_cast<float>(s.res / 0.95));  // setRes scales by 0.95
                f.setVowel(s.vowel);
                f.setGain(s.gain);
                f.update(0.0f, false);
            });
        },
        static_cast<std::size_t>(rate * 0.4), rate);
}

// Fall in dB from hz to 2 hz.
double fallPerOctave(const ResponseProbe& p, double hz) {
    return p.gainDb(hz) - p.gainDb(2.0 * hz);
}

}  // namespace

TEST(FilterControls, TypeChangeWithResetStartsFromSilence) {
    TFilter f;
    f.init(44100.0f);
    f.setType(TFilter::BPZ_24, true);
    f.setFrequency(0.5f, 0.0f, 0.0f, 0.0f);
    f.setRes(1.0f);
    float o[4];
    const auto feed = [&](float x) { f.update(0.0f, true), f.process(x, x, x, x, o[0], o[1], o[2], o[3]); };
    for (int i = 0; i < 200; ++i) feed(i % 2 ? 0.9f : -0.9f);
    f.setType(TFilter::BPZ_24, true);  // the same type keeps ringing, another one starts silent
    feed(0.0f);
    EXPECT_GT(std::fabs(o[0]), 1e-3f);
    f.setType(TFilter::LPZ_24, true);
    feed(0.0f);
    EXPECT_LT(std::fabs(o[0]), 1e-9f);
}

// Kept spread and drive factors follow every change at once; table look-ups stay inside the table.
TEST(FilterControls, OneFilterFollowsSpreadAndDriveChanges) {
    EXPECT_EQ(TFilter::tableIndex(1.0f), FILTER_TABLE_SIZE - 1);
    EXPECT_EQ(TFilter::tableIndex(7.0f), FILTER_TABLE_SIZE - 1);
    EXPECT_EQ(TFilter::tableIndex(-0.5f), 0);
    EXPECT_EQ(TFilter::tableIndex(std::nanf("")), 0);
    TFilter f;
    f.init(44100.0f);
    f.setType(TFilter::LP2_12, true);
    auto cutoffsAt = [&](float spread) {
        f.setFrequency(knobFor(1000.0), spread, 0.0f, 0.0f);
        f.update(0.0f, false);
        return std::pair{f.cutoffL, f.cutoffR};
    };
    const auto centred = cutoffsAt(0.0f);
    EXPECT_NEAR(centred.first, 1000.0, 1.0);
    EXPECT_EQ(centred.first, centred.second);
    const auto spread = cutoffsAt(1.0f);  // an octave down on the left, up on the right
    EXPECT_NEAR(spread.first, 500.0, 0.5);
    EXPECT_NEAR(spread.second, 2000.0, 2.0);
    EXPECT_EQ(cutoffsAt(0.0f), centred);
    f.setFrequency(knobFor(1000.0), 1.0f, 0.0f, 0.0f);  // a spread asked for and taken back unused
    EXPECT_EQ(cutoffsAt(0.0f), centred);

    f.setType(TFilter::Bypass, true);
    float a, b, c, d;
    f.setDistort(1.0f);  // drive 63: (x + 63 x) / (1 + 63 |x|), then the limit; bypassed here
    f.process(0.5f, -0.5f, 0.0f, 2.0f, a, b, c, d);
    EXPECT_NEAR(a, 32.0 / 32.5, 1e-6);
    EXPECT_NEAR(b, -32.0 / 32.5, 1e-6);
    EXPECT_FLOAT_EQ(d, 1.0f);
    f.setDistort(0.0f);  // back to the bare limit
    f.process(0.5f, 0.5f, 0.5f, 0.5f, a, b, c, d);
    EXPECT_NEAR(a, 0.5, 1e-6);
}

// init wipes the coefficients and the controls: the same settings again must work them out anew,
// not find them held from before.
TEST(FilterControls, InitStartsOverWithTheSameSettings) {
    TFilter f;
    const auto render = [&] {
        f.init(44100.0f);
        f.setType(TFilter::BP2_12, true);
        std::vector<float> out;
        for (int i = 0; i < 400; ++i) {
            f.setFrequency(0.5f, 0.0f, 0.0f, 0.0f);
            f.setControls(TFilter::Lanes{0.3f, 0.6f, 0.2f, 0.7f});
            f.update(0.0f, i > 0);
            const float x = i % 50 == 0 ? 1.0f : 0.0f;
            const TFilter::Lanes o = f.process(TFilter::Lanes{x, 0.0f, -x, 0.0f});
            out.insert(out.end(), {o[0], o[1], o[2], o[3]});
        }
        return out;
    };
    const std::vector<float> first = render();
    EXPECT_GT(*std::max_element(first.begin(), first.end()), 0.05f);
    EXPECT_EQ(render(), first);
}

// The updates left out at rest change nothing: a filter that skips them gives, bit for bit, what
// one updated every sample gives, through a glide that settles, a modulation and a resonance that
// move while it rests, and a change of type.
TEST(FilterControls, UpdatesLeftOutAtRestChangeNothing) {
    TFilter every, skipping;
    for (TFilter* f : {&every, &skipping}) {
        f->init(44100.0f);
        f->setType(TFilter::LP2_12, true);
    }
    int resting = 0;
    for (int i = 0; i < 2400; ++i) {
        const float freq = i < 400 ? 0.5f : 0.7f;
        const float mod = i < 1000 ? 0.0f : 0.05f;
        const float res = i < 1400 ? 0.3f : 0.6f;
        for (TFilter* f : {&every, &skipping}) {
            if (i % 16 == 0) f->setFrequency(freq, 0.0f, 0.0f, 0.0f);
            if (i == 1400 || i == 0) f->setRes(res);
            if (i == 1800) f->setType(TFilter::HPZ_12, false);
        }
        const float x = i % 7 == 0 ? 0.8f : -0.1f;
        const TFilter::Lanes in{x, -x, 0.5f * x, x};
        every.update(mod, i > 0);
        const TFilter::Lanes expected = every.process(in);
        const float posBefore = skipping.posL;
        const TFilter::Lanes got = skipping.updateAndProcess<true>(mod, i > 0, in);
        resting += skipping.posL == posBefore;
        for (int k = 0; k < 4; ++k) ASSERT_EQ(got[k], expected[k]) << "sample " << i << " lane " << k;
    }
    EXPECT_GT(resting, 1000);  // most of it at rest
}

TEST(FilterResponse, SlopesMatchTheirOrder) {
    // Low-passes at 500 Hz measured over 4-8 kHz, high-passes (negative) at 4 kHz over 125-250 Hz.
    const struct {
        int type;
        double dbPerOctave;
    } cases[] = {{TFilter::LP6, 6},      {TFilter::LP2_12, 12}, {TFilter::LPZ_12, 12}, {TFilter::LP18, 18},
                 {TFilter::LP1_24, 24},  {TFilter::LP2_24, 24}, {TFilter::LP36, 36},   {TFilter::HP6, -6},
                 {TFilter::HP1_12, -12}, {TFilter::HP18, -18},  {TFilter::HPZ_24, -24}};
    for (const auto& c : cases) {
        const bool lowPass = c.dbPerOctave > 0;
        const ResponseProbe p = probe({c.type, lowPass ? 500.0 : 4000.0});
        const double slope = fallPerOctave(p, lowPass ? 4000.0 : 125.0);
        EXPECT_NEAR(slope, c.dbPerOctave, 0.1 * std::fabs(c.dbPerOctave) + 0.5) << c.type;
        EXPECT_GT(p.gainDb(lowPass ? 50.0 : 16000.0), -2.5) << c.type << ": pass band";
    }
}

TEST(FilterResponse, CutoffSitsWhereTheKnobSaysAtEveryRate) {
    for (double host : {44100.0, 96000.0}) {
        // Undamped state-variable types pass the cutoff at 0 dB.
        for (double fc : {200.0, 5000.0}) {
            EXPECT_NEAR(probe({TFilter::LP1_12, fc}, host).gainDb(fc), 0.0, 0.5) << host << " " << fc;
            EXPECT_NEAR(probe({TFilter::HPZ_12, fc}, host).gainDb(fc), 0.0, 0.5) << host << " " << fc;
        }
        // At r = 0.5 the bilinear types are Butterworth: -3 dB at the cutoff.
        EXPECT_NEAR(probe({TFilter::LP2_12, 3000.0, 0.5}, host).gainDb(3000.0), -3.0, 0.3) << host;
        EXPECT_NEAR(probe({TFilter::HP2_12, 3000.0, 0.5}, host).gainDb(3000.0), -3.0, 0.3) << host;
    }
    // Low high-passes too: the 12 dB section must not stop near 100 Hz and ring above it.
    for (double host : {44100.0, 96000.0})
        for (double fc : {25.0, 57.0}) {
            EXPECT_NEAR(probe({TFilter::HP2_12, fc, 0.5}, host).gainDb(fc), -3.0, 0.3) << host << " " << fc;
            for (int type : {TFilter::HP2_12, TFilter::HP1_24, TFilter::HP36}) {
                const ResponseProbe p = probe({type, fc}, host);
                EXPECT_LT(p.gainDb(p.extremeHz(fc, 16.0 * fc, 1.0, 1.02)), 0.5)
                    << type << " " << host << " " << fc;
            }
        }
    // The cutoff is held at a fifth of the internal rate: 17,640 Hz at 44.1 kHz, not at 96 kHz.
    const Setting top{TFilter::LP2_12, 20480.0}, limit{TFilter::LP2_12, 17640.0};
    EXPECT_NEAR(probe(top).gainDb(10000.0), probe(limit).gainDb(10000.0), 1e-3);
    EXPECT_GT(std::fabs(probe(top, 96000.0).gainDb(15000.0) - probe(limit, 96000.0).gainDb(15000.0)), 0.05);
}

TEST(FilterResponse, BandPassesPeakAndNotchesCutAtTheCutoff) {
    const double fc = 1000.0;
    for (int type : {TFilter::BP1_12, TFilter::BP2_12, TFilter::BPZ_12, TFilter::BP2_24}) {
        const ResponseProbe p = probe({type, fc, 0.5});
        EXPECT_NEAR(p.extremeHz(fc / 2, fc * 2) / fc, 1.0, 0.04) << type;
        EXPECT_LT(std::max(p.gainDb(fc / 8), p.gainDb(fc * 8)), p.gainDb(fc) - 15.0) << type;
    }
    // The 24 dB band-passes fall twice as fast outside the band as the 12 dB ones.
    EXPECT_NEAR(fallPerOctave(probe({TFilter::BPZ_12, 500.0}), 4000.0), 6.0, 1.0);
    EXPECT_NEAR(fallPerOctave(probe({TFilter::BPZ_24, 500.0}), 4000.0), 12.0, 1.5);
    // The state-variable notch (low and high taken half a step apart) is the shallow one.
    for (int type : {TFilter::Notch1_12, TFilter::Notch2_12, TFilter::Notch2_24, TFilter::NotchZ_24}) {
        const ResponseProbe p = probe({type, fc});
        const double deepest = p.extremeHz(fc / 1.2, fc * 1.2, -1.0, 1.001);
        EXPECT_NEAR(deepest / fc, 1.0, 0.02) << type;
        EXPECT_LT(p.gainDb(deepest), type == TFilter::Notch1_12 ? -15.0 : -40.0) << type;
        EXPECT_NEAR(p.gainDb(fc / 16), 0.0, 3.5) << type;
        EXPECT_NEAR(p.gainDb(fc * 8), 0.0, 3.5) << type;
    }
}

TEST(FilterResponse, ResonanceRaisesThePeak) {
    const double fc = 1000.0;
    for (double r : {0.0, 0.9}) {
        // State-variable: gain 1 / damping = 1 / (1 - r) at the cutoff.
        EXPECT_NEAR(probe({TFilter::LP1_12, fc, r}).gainDb(fc), -20 * std::log10(1 - r), 0.5) << r;
        // Zero-delay: 1 / (2R) with R = 0.5 * 2^(-5r).
        EXPECT_NEAR(probe({TFilter::LPZ_12, fc, r}).gainDb(fc), 20 * std::log10(std::exp2(5 * r)), 0.5) << r;
    }
    // Ladder and cascaded types: the peak near the cutoff grows against the pass band.
    for (int type : {TFilter::LP1_24, TFilter::LP2_24, TFilter::LP36}) {
        double rise[2];
        for (int k = 0; k < 2; ++k) {
            const ResponseProbe p = probe({type, fc, k == 0 ? 0.3 : 0.9});
            rise[k] = p.gainDb(p.extremeHz(fc / 2, fc * 2)) - p.gainDb(fc / 16);
        }
        EXPECT_GT(rise[1], rise[0] + 1.0) << type;
        EXPECT_GT(rise[1], 6.0) << type;
    }
}

TEST(FilterResponse, ShelvesAndPeakReachTheirGains) {
    // Gain g sets 40 g - 20 dB on the shelf (or the peak at the cutoff); the rest stays flat.
    const struct {
        int type;
        double res, boostedHz, flatHz;
    } cases[] = {{TFilter::LowShelf, 0.95, 20.0, 16000.0},
                 {TFilter::HighShelf, 0.95, 16000.0, 20.0},
                 {TFilter::PeakShelf, 0.2, 1000.0, 62.5}};
    for (const auto& c : cases) {
        for (float gain : {0.0f, 1.0f}) {
            const ResponseProbe p = probe({c.type, 1000.0, c.res, 0.0f, gain});
            EXPECT_NEAR(p.gainDb(c.boostedHz), 40.0 * static_cast<double>(gain) - 20.0, 0.5)
                << c.type << " " << gain;
            EXPECT_NEAR(p.gainDb(c.flatHz), 0.0, 0.3) << c.type << " " << gain;
        }
    }
}

TEST(FilterResponse, FormantsMoveWithVowelAndCutoff) {
    // Formants sound at half their table frequency (host-rate bank, doubled-rate coefficients).
    const auto firstPeak = [](const Setting& s) { return probe(s).extremeHz(60.0, 450.0); };
    const double a440 = firstPeak({TFilter::Vowel, 440.0, 0.0, 0.0f});
    EXPECT_NEAR(a440 / (650.0 / 2), 1.0, 0.05);                                           // A
    EXPECT_NEAR(firstPeak({TFilter::Vowel, 440.0, 0.0, 0.4f}) / (290.0 / 2), 1.0, 0.05);  // I
    EXPECT_NEAR(firstPeak({TFilter::Vowel, 220.0, 0.0, 0.0f}) / a440, 0.5, 0.01);

    // Formant 1 splits into two bands 2^(+-2v) around the cutoff (again at half frequency).
    const ResponseProbe f1 = probe({TFilter::Formant1, 1000.0, 0.9, 0.5f});
    EXPECT_NEAR(f1.extremeHz(100.0, 400.0) / 250.0, 1.0, 0.03);
    EXPECT_NEAR(f1.extremeHz(600.0, 2000.0) / 1000.0, 1.0, 0.03);
    EXPECT_LT(f1.gainDb(500.0), f1.gainDb(1000.0) - 10.0);
}
