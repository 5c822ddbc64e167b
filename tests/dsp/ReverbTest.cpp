#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/TBasicReverb.h"
#include "tests/support/SignalMeasure.h"

using tarnwell::test::Signal;

namespace {

constexpr double kRate = 44100.0;
// Arrivals are found above this level; an impulse arrives at 0.025 per comb.
constexpr double kArrival = 1e-4;

struct Quad {
    Signal o1, o2, o3, o4;
};

Quad render(TBasicReverb& r, const Signal& inL, const Signal& inR) {
    Quad q{Signal(inL.size()), Signal(inL.size()), Signal(inL.size()), Signal(inL.size())};
    for (std::size_t i = 0; i < inL.size(); ++i) r.process(inL[i], inR[i], q.o1[i], q.o2[i], q.o3[i], q.o4[i]);
    return q;
}

Signal impulse(std::size_t length) {
    Signal s(length, 0.0f);
    if (!s.empty()) s.front() = 1.0f;
    return s;
}

Signal silence(std::size_t length) { return Signal(length, 0.0f); }

std::size_t firstDifference(const Signal& a, const Signal& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::fabs(static_cast<double>(a[i]) - static_cast<double>(b[i])) > kArrival) return i;
    return a.size();
}

// Time for the output-1 tail of an impulse to fall by 30 dB, in seconds.
double decaySeconds(TBasicReverb& r, std::size_t frames) {
    const Quad q = render(r, impulse(frames), silence(frames));
    return tarnwell::test::decayTime(q.o1, 0, 30.0) / kRate;
}

class ReverbTest : public ::testing::Test {
protected:
    std::unique_ptr<TBasicReverb> reverb = std::make_unique<TBasicReverb>();
};

}  // namespace

TEST_F(ReverbTest, FirstArrivalsFollowCombTuningAndTaps) {
    // The shortest comb of outputs 1 and 3 (1046 frames at 44.1 kHz) takes a pre-delay tap; right
    // after construction the taps read the frame just written, so nothing is added to it.
    Quad q = render(*reverb, impulse(3000), silence(3000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 1046u);
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1046u);
    // Each output pair takes one side only.
    EXPECT_LT(tarnwell::test::peak(q.o2, 0, 3000), 1e-6);
    EXPECT_LT(tarnwell::test::peak(q.o4, 0, 3000), 1e-6);

    // Output 2's shortest comb (1069 = 1046 + 23) takes the dry right input.
    reverb->mute();
    q = render(*reverb, silence(3000), impulse(3000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o2, kArrival), 1069u);
    EXPECT_LT(tarnwell::test::peak(q.o1, 0, 3000), 1e-6);

    // A widen of w delays its tap by w + 1 frames.
    reverb->mute();
    reverb->setWiden(30.0f, 0.0f, 5.0f, 0.0f);
    q = render(*reverb, impulse(3000), silence(3000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 1046u + 31u);
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1046u + 6u);
}

TEST_F(ReverbTest, WideningTapsMoveTheirCombs) {
    // Two renders that differ in one tap agree until that tap's first comb sounds.
    const struct {
        int tap;
        bool leftInput;
        std::size_t firstTapComb;  // shortest comb fed by the tap, plus the tap's one frame
    } cases[] = {{0, true, 1046 + 1}, {1, false, 1139 + 1}, {2, true, 1046 + 1}, {3, false, 1139 + 1}};
    for (const auto& c : cases) {
        float w[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        auto renderWith = [&](float tapWiden) {
            TBasicReverb r;
            w[c.tap] = tapWiden;
            r.setWiden(w[0], w[1], w[2], w[3]);
            return c.leftInput ? render(r, impulse(4000), silence(4000)) : render(r, silence(4000), impulse(4000));
        };
        const Quad near = renderWith(0.0f);
        const Quad far = renderWith(40.0f);
        const Signal& a = c.tap == 0 ? near.o1 : c.tap == 1 ? near.o2 : c.tap == 2 ? near.o3 : near.o4;
        const Signal& b = c.tap == 0 ? far.o1 : c.tap == 1 ? far.o2 : c.tap == 2 ? far.o3 : far.o4;
        EXPECT_EQ(firstDifference(a, b), c.firstTapComb) << "tap " << c.tap;
    }
}

TEST_F(ReverbTest, DecayTimeGrowsWithLengthAndRoom) {
    reverb->setDamp(0.0f);
    reverb->setLength(0.5f, 0.5f);
    const double shortRoom = decaySeconds(*reverb, 200000);
    reverb->mute();
    reverb->setLength(1.0f, 1.0f);
    const double plain = decaySeconds(*reverb, 200000);
    reverb->mute();
    reverb->setLength(2.0f, 2.0f);
    const double longRoom = decaySeconds(*reverb, 300000);
    // The comb feedback per pass is fixed, so the decay time scales with the comb lengths.
    EXPECT_NEAR(plain / shortRoom, 2.0, 0.2);
    EXPECT_NEAR(longRoom / plain, 2.0, 0.2);
    // Feedback 0.926 per pass: 30 dB take 45 passes, 1.07 s for the shortest comb (1046 frames)
    // and 1.72 s for the longest (1680).
    EXPECT_GT(plain, 1.07);
    EXPECT_LT(plain, 1.72);

    reverb->mute();
    reverb->setLength(1.0f, 1.0f);
    reverb->setRoomSize(0.1f);
    const double small = decaySeconds(*reverb, 200000);
    reverb->mute();
    reverb->setRoomSize(1.0f);
    const double large = decaySeconds(*reverb, 800000);
    EXPECT_LT(small, 0.5 * plain);
    EXPECT_GT(large, 3.0 * plain);
}

TEST_F(ReverbTest, DampingDarkensTheTail) {
    const Signal burst = [] {
        Signal s = tarnwell::test::noise(44100);
        std::fill(s.begin() + 2000, s.end(), 0.0f);
        return s;
    }();
    auto tailBrightness = [&](float damp) {
        TBasicReverb r;
        r.setDamp(damp);
        const Quad q = render(r, burst, burst);
        return tarnwell::test::brightness(q.o1, 20000, 44100);
    };
    const double open = tailBrightness(0.0f);
    const double half = tailBrightness(0.5f);
    const double full = tailBrightness(1.0f);
    EXPECT_LT(half, 0.6 * open);
    EXPECT_LT(full, 0.6 * half);
}

TEST_F(ReverbTest, HighPassRemovesTheLowEndAndKeepsItsStateWhenOff) {
    // A constant input: each comb settles at 1 / (1 - 0.926), ten per lane, times 0.025.
    const Signal dc(200000, 0.5f);
    Quad q = render(*reverb, dc, dc);
    const double settled = q.o1.back();
    EXPECT_NEAR(settled, 0.5 * 10.0 * 0.025 / (1.0 - 0.926378), 0.05);

    reverb->mute();
    reverb->setFilter(0.0f, 0.6f);  // 1280 Hz
    q = render(*reverb, dc, dc);
    EXPECT_LT(std::fabs(q.o1.back()), 1e-3f);
    EXPECT_LT(std::fabs(q.o2.back()), 1e-3f);

    // A corner low enough to give c below 0.01 switches the filter off but keeps its state: with
    // the same input the output stays where the high-pass left it instead of jumping back.
    reverb->setFilter(0.0f, 0.0f);
    q = render(*reverb, Signal(2000, 0.5f), Signal(2000, 0.5f));
    EXPECT_LT(tarnwell::test::peak(q.o1, 0, 2000), 0.01);
}

TEST_F(ReverbTest, OutputStaysBoundedForFullScaleInput) {
    const Signal left = tarnwell::test::noise(10 * 44100, 1.0, 1);
    const Signal right = tarnwell::test::noise(10 * 44100, 1.0, 2);
    // Settings past their ranges are held at the ends: a room beyond 1 would stop decaying.
    for (float room : {0.168f, 1.0f, 5.0f}) {
        TBasicReverb r;
        r.setRoomSize(room);
        r.setDamp(-1.0f);
        r.setFilter(0.0f, 0.0f);
        r.setMod(1.1f, 0.9f, 1.1f, 0.9f);
        r.setLength(4.0f, 4.0f);
        const Quad q = render(r, left, right);
        for (const Signal* s : {&q.o1, &q.o2, &q.o3, &q.o4}) {
            for (float v : *s) ASSERT_TRUE(std::isfinite(v)) << "room " << room;
            EXPECT_LT(tarnwell::test::peak(*s, 0, s->size()), 20.0) << "room " << room;
        }
        EXPECT_LT(tarnwell::test::rms(q.o1, 5 * 44100, 10 * 44100), 3.0) << "room " << room;
    }
}

TEST_F(ReverbTest, CombLengthsHaveAOneFrameFloorAndARingCeiling) {
    // Length 0 makes every comb a one-frame delay, not a zero-length one.
    reverb->setLength(0.0f, 0.0f);
    Quad q = render(*reverb, impulse(100), silence(100));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 1u);
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1u);

    // Lengths past the ring stop at 16383 frames.
    reverb->mute();
    reverb->setLength(20.0f, 20.0f);
    q = render(*reverb, impulse(17000), silence(17000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 16383u);

    // Not a number, or a negative length, stays inside the ring.
    reverb->mute();
    reverb->setLength(std::nanf(""), -3.0f);
    q = render(*reverb, impulse(17000), silence(17000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 16383u);
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1u);
}

TEST_F(ReverbTest, ModFactorsActFromTheNextLength) {
    // Odd combs of outputs 1 and 2 take b; stretched by 1.2 the shortest comb of output 1 (odd,
    // 1046) moves past the even 1116.
    reverb->setLength(1.0f, 1.0f);
    reverb->setMod(1.0f, 1.2f, 1.0f, 1.0f);
    Quad q = render(*reverb, impulse(2000), silence(2000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 1046u);

    reverb->mute();
    reverb->setLength(1.0f, 1.0f);
    q = render(*reverb, impulse(2000), silence(2000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 1116u);
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1046u) << "the second set is untouched";

    // The second set follows c (even) and d (odd), and the second length argument.
    reverb->mute();
    reverb->setMod(1.0f, 1.0f, 0.5f, 0.5f);
    reverb->setLength(1.0f, 2.0f);
    q = render(*reverb, impulse(2000), silence(2000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o3, kArrival), 1046u);
}

TEST_F(ReverbTest, SampleRateChangeRebuildsOnlyWhenTheRateChanges) {
    reverb->setLength(0.5f, 0.5f);
    render(*reverb, impulse(3000), silence(3000));

    // The same rate (within 0.0001 Hz) keeps the tail.
    reverb->setSampleRate(44100.00005f);
    reverb->setSampleRate(0.5f);
    reverb->setSampleRate(std::nanf(""));
    Quad q = render(*reverb, silence(2000), silence(2000));
    EXPECT_GT(tarnwell::test::rms(q.o1, 0, 2000), 1e-3);
    EXPECT_EQ(reverb->getSampleRate(), 44100.0f);

    // A new rate clears the tail and restores the default lengths, scaled to the rate.
    reverb->setSampleRate(96000.0f);
    q = render(*reverb, silence(2000), silence(2000));
    EXPECT_LT(tarnwell::test::peak(q.o1, 0, 2000), 1e-6);
    q = render(*reverb, impulse(3000), silence(3000));
    EXPECT_EQ(tarnwell::test::firstAbove(q.o1, kArrival), 2277u);  // trunc(1046 * 96000 / 44100 + 0.5)

    // Rates low enough to give allpasses of no length still run.
    reverb->setSampleRate(10.0f);
    q = render(*reverb, impulse(500), impulse(500));
    for (float v : q.o1) ASSERT_TRUE(std::isfinite(v));
}

TEST_F(ReverbTest, MuteSilencesTheTail) {
    render(*reverb, tarnwell::test::noise(5000), tarnwell::test::noise(5000, 1.0, 9));
    reverb->mute();
    const Quad q = render(*reverb, silence(20000), silence(20000));
    for (const Signal* s : {&q.o1, &q.o2, &q.o3, &q.o4}) EXPECT_LT(tarnwell::test::peak(*s, 0, s->size()), 1e-6);
}
