#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <vector>

#include "dsp/TDelay.h"
#include "tests/support/SignalMeasure.h"

using tarnwell::test::Signal;

namespace {

constexpr double kRate = 44100.0;
constexpr float kRateF = 44100.0f;

// The free length parameter that gives ms milliseconds.
float freeLen(double ms) { return static_cast<float>(std::log2(ms) / 12.0); }

// The synced length parameter that selects a row of the length table.
float syncedLen(int row) { return static_cast<float>(row) / 14.99f + 0.0001f; }

struct Stereo {
    Signal left, right;
};

Stereo run(TDelay& d, const Signal& inL, const Signal& inR) {
    Stereo out{Signal(inL.size()), Signal(inL.size())};
    for (std::size_t i = 0; i < inL.size(); ++i) d.process(inL[i], inR[i], out.left[i], out.right[i]);
    return out;
}

Signal impulse(std::size_t length, float height = 1.0f) {
    Signal s(length, 0.0f);
    if (!s.empty()) s.front() = height;
    return s;
}

// Amplitude and centre of the echo around frame `at`: linear interpolation spreads an impulse
// over two frames but keeps its sum and its centre of mass.
struct Echo {
    double sum = 0.0;
    double centre = 0.0;
};

Echo echoAround(const Signal& x, double at, int halfWidth = 3) {
    Echo e;
    double weight = 0.0;
    const auto from = static_cast<std::size_t>(std::max(0.0, at - halfWidth));
    const auto to = std::min(x.size(), static_cast<std::size_t>(at + halfWidth + 1));
    for (std::size_t i = from; i < to; ++i) {
        e.sum += static_cast<double>(x[i]);
        weight += std::fabs(static_cast<double>(x[i]));
        e.centre += static_cast<double>(i) * std::fabs(static_cast<double>(x[i]));
    }
    if (weight > 0.0) e.centre /= weight;
    return e;
}

class DelayTest : public ::testing::Test {
protected:
    std::unique_ptr<TDelay> delay = std::make_unique<TDelay>();
};

}  // namespace

TEST_F(DelayTest, ImpulseReturnsAfterTheFreeLength) {
    for (double ms : {1.0, 10.0, 100.0, 1000.0, 4000.0}) {
        delay->init(kRateF);
        delay->setDelayLen(freeLen(ms), freeLen(ms), 0.0f, 0.0f, 1.0f, 0.0f);
        const double frames = ms * kRate / 1000.0;
        const auto length = static_cast<std::size_t>(frames) + 100;
        const Stereo out = run(*delay, impulse(length), impulse(length, 0.5f));
        const std::size_t at = tarnwell::test::peakIndex(out.left, 0, length);
        const Echo left = echoAround(out.left, static_cast<double>(at));
        // The line is one frame longer than the set time.
        EXPECT_NEAR(left.centre, frames + 1.0, 0.03) << ms << " ms";
        EXPECT_NEAR(left.sum, 1.0, 1e-5) << ms << " ms";
        EXPECT_NEAR(echoAround(out.right, static_cast<double>(at)).sum, 0.5, 1e-5) << ms << " ms";
        EXPECT_EQ(tarnwell::test::peak(out.left, 0, at - 3), 0.0) << "nothing arrives early";
    }
}

TEST_F(DelayTest, ImpulseReturnsAfterTheSyncedLength) {
    const struct {
        float tempo;
        int row;
        double bars;
    } cases[] = {{120.0f, 10, 1.0 / 4.0}, {90.0f, 7, 1.0 / 8.0}, {200.0f, 14, 3.0 / 4.0},
                 {60.0f, 0, 1.0 / 48.0}, {0.0f, 13, 1.0 / 2.0} /* no tempo counts as 120 */};
    for (const auto& c : cases) {
        delay->init(kRateF);
        delay->setTempo(c.tempo);
        const float len = c.row == 14 ? 1.0f : syncedLen(c.row);
        delay->setDelayLen(len, len, 0.0f, 0.0f, 1.0f, 1.0f);
        const double tempo = c.tempo > 0.0f ? static_cast<double>(c.tempo) : 120.0;
        const double frames = c.bars * kRate * 240.0 / tempo;
        const auto length = static_cast<std::size_t>(frames) + 100;
        const Stereo out = run(*delay, impulse(length), impulse(length));
        const Echo e = echoAround(out.left, static_cast<double>(tarnwell::test::peakIndex(out.left, 0, length)));
        EXPECT_NEAR(e.centre, frames + 1.0, 0.01) << "tempo " << c.tempo << " row " << c.row;
    }
}

TEST_F(DelayTest, LengthsAreHeldBetweenOneFrameAndTheLongestLine) {
    // 3/4 bar at 1 bpm is far beyond the line: it stops at 262143 frames.
    delay->setTempo(1.0f);
    delay->setDelayLen(1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    const std::size_t length = TDelay::kMaxLength + 50;
    const Stereo out = run(*delay, impulse(length), impulse(length));
    EXPECT_EQ(tarnwell::test::peakIndex(out.left, 0, length), static_cast<std::size_t>(TDelay::kMaxLength));
    EXPECT_NEAR(out.left[TDelay::kMaxLength], 1.0f, 1e-5f);
    EXPECT_LE(delay->lineSize(0), TDelay::lineCapacity());

    // Scales that leave nothing, or no number at all, give the shortest line and finite output.
    for (float scale : {0.0f, -3.0f, std::nanf("")}) {
        delay->init(kRateF);
        delay->setDelayLen(0.5f, 0.5f, 0.0f, 0.0f, scale, 0.0f);
        const Stereo o = run(*delay, tarnwell::test::noise(1000), tarnwell::test::noise(1000, 1.0, 7));
        for (float v : o.left) ASSERT_TRUE(std::isfinite(v)) << "scale " << scale;
        EXPECT_LE(delay->lineSize(0), 4u);
    }
}

TEST_F(DelayTest, AddAndScaleStretchTheLine) {
    delay->setDelayLen(freeLen(10.0), freeLen(10.0), 100.0f, 0.0f, 2.0f, 0.0f);
    const Stereo out = run(*delay, impulse(2000), impulse(2000));
    const double base = 10.0 * kRate / 1000.0 + 1.0;
    EXPECT_NEAR(echoAround(out.left, 2.0 * (base + 100.0)).centre, 2.0 * (base + 100.0), 0.01);
    EXPECT_NEAR(echoAround(out.right, 2.0 * base).centre, 2.0 * base, 0.01);
}

TEST_F(DelayTest, ChangingTheLengthBendsThePitch) {
    // The read point runs at the new speed over material written at the old one: half the
    // length plays the line at double speed until it catches up, double the length at half speed.
    const double f = 1000.0;
    const struct {
        double fromMs, toMs;
    } cases[] = {{100.0, 50.0}, {100.0, 200.0}, {40.0, 30.0}};
    for (const auto& c : cases) {
        delay->init(kRateF);
        delay->setDelayLen(freeLen(c.fromMs), freeLen(c.fromMs), 0.0f, 0.0f, 1.0f, 0.0f);
        const Signal tone = tarnwell::test::sine(f, kRate, 40000);
        run(*delay, Signal(tone.begin(), tone.begin() + 20000), Signal(20000, 0.0f));
        delay->setDelayLen(freeLen(c.toMs), freeLen(c.toMs), 0.0f, 0.0f, 1.0f, 0.0f);
        const Stereo out = run(*delay, Signal(tone.begin() + 20000, tone.end()), Signal(20000, 0.0f));
        const double oldLength = c.fromMs * kRate / 1000.0 + 1.0;
        const double newLength = c.toMs * kRate / 1000.0 + 1.0;
        const auto window = static_cast<std::size_t>(newLength) - 20;
        const double measured = tarnwell::test::zeroCrossingFrequency(out.left, 10, window, kRate);
        EXPECT_NEAR(measured, f * oldLength / newLength, f * 0.002) << c.fromMs << " -> " << c.toMs << " ms";
        // Once caught up, the tone comes back at its own pitch.
        EXPECT_NEAR(tarnwell::test::zeroCrossingFrequency(out.left, window + 100, 20000, kRate), f, f * 0.002);
    }
}

TEST_F(DelayTest, FeedbackGainsShapeTheRepeats) {
    // Own feedback: each repeat is the last one times fb, on its own channel.
    for (float fb : {0.5f, -0.7f, 0.95f}) {
        delay->init(kRateF);
        delay->setDelayLenDirect(1000.0f);
        delay->setFeed(fb, 0.0f);
        const Stereo out = run(*delay, impulse(5000), Signal(5000, 0.0f));
        for (int k = 1; k <= 4; ++k) {
            EXPECT_NEAR(echoAround(out.left, 1000.0 * k).sum, std::pow(fb, k - 1), 1e-5) << "fb " << fb;
            EXPECT_NEAR(echoAround(out.right, 1000.0 * k).sum, 0.0, 1e-6);
        }
    }

    // Cross feedback: the repeats change sides.
    delay->init(kRateF);
    delay->setDelayLenDirect(1000.0f);
    delay->setFeed(0.0f, 0.5f);
    Stereo out = run(*delay, impulse(5000), Signal(5000, 0.0f));
    EXPECT_NEAR(echoAround(out.left, 1000.0).sum, 1.0, 1e-6);
    EXPECT_NEAR(echoAround(out.right, 2000.0).sum, 0.5, 1e-6);
    EXPECT_NEAR(echoAround(out.left, 2000.0).sum, 0.0, 1e-6);
    EXPECT_NEAR(echoAround(out.left, 3000.0).sum, 0.25, 1e-6);

    // 0.8 + 0.6 would grow; both gains are divided by their sum (plus 0.0001).
    delay->init(kRateF);
    delay->setDelayLenDirect(1000.0f);
    delay->setFeed(0.8f, 0.6f);
    out = run(*delay, impulse(3000), Signal(3000, 0.0f));
    EXPECT_NEAR(echoAround(out.left, 2000.0).sum, 0.8 / 1.4001, 1e-5);
    EXPECT_NEAR(echoAround(out.right, 2000.0).sum, 0.6 / 1.4001, 1e-5);
}

TEST_F(DelayTest, WrittenValuesAreLimited) {
    delay->setDelayLenDirect(100.0f);
    run(*delay, Signal(200, 0.0f), Signal(200, 0.0f));
    const Stereo out = run(*delay, impulse(200, 1000.0f), impulse(200, -1000.0f));
    EXPECT_FLOAT_EQ(out.left[100], 100.0f);
    EXPECT_FLOAT_EQ(out.right[100], -100.0f);
}

TEST_F(DelayTest, EqualFeedMatchesTheDecayPerSecond) {
    EXPECT_TRUE(delay->setEqual(1.0f));
    EXPECT_FALSE(delay->setEqual(0.9f));
    // Left 100 ms, right 50 ms: the longer line keeps fb, the shorter one gets the gain that
    // decays as fast per second; there is no cross feedback.
    delay->setDelayLen(freeLen(100.0), freeLen(50.0), 0.0f, 0.0f, 1.0f, 0.0f);
    delay->setFeed(0.6f, 0.9f);
    const double ul = 100.0 * kRate / 1000.0 + 1.0, ur = 50.0 * kRate / 1000.0 + 1.0;
    const Stereo out = run(*delay, impulse(20000), impulse(20000));
    const double left = echoAround(out.left, 2.0 * ul).sum / echoAround(out.left, ul).sum;
    const double right = echoAround(out.right, 2.0 * ur).sum / echoAround(out.right, ur).sum;
    EXPECT_NEAR(left, 0.6, 1e-5);
    EXPECT_NEAR(right, std::pow(0.6001, ur / (ul + 1.0)), 1e-5);
    EXPECT_NEAR(std::log(right) / ur, std::log(left) / ul, 1e-6);
    EXPECT_NEAR(echoAround(out.left, 3.0 * ur).sum, 0.0, 1e-6) << "no cross feedback";

    // Equal lengths: the left gain takes the exponent ul / (ul + 1); negative fb keeps its sign.
    delay->init(kRateF);
    delay->setEqual(1.0f);
    delay->setDelayLen(freeLen(20.0), freeLen(20.0), 0.0f, 0.0f, 1.0f, 0.0f);
    delay->setFeed(-0.6f, 0.0f);
    const double u = 20.0 * kRate / 1000.0 + 1.0;
    const Stereo same = run(*delay, impulse(3000), impulse(3000));
    EXPECT_NEAR(echoAround(same.left, 2.0 * u).sum, -std::pow(0.6001, u / (u + 1.0)), 1e-6);
    EXPECT_NEAR(echoAround(same.right, 2.0 * u).sum, -0.6, 1e-6);
}

TEST_F(DelayTest, LoopFilterShapesTheRepeats) {
    // Low-pass c1 then high-pass c2 on every written value: the repeat's spectrum is
    // H1(z) (1 - z^-1)(1 - c2) / (1 - (1 - c2) z^-1) with H1(z) = c1 / (1 - (1 - c1) z^-1).
    const float lp = 0.5f, hp = 0.2f;
    const double c1 = 2.0 * 20.0 * std::exp2(10.0 * 0.5) / kRate;
    const double c2 = 2.0 * 20.0 * std::exp2(10.0 * 0.2) / kRate;
    const std::size_t length = 22050;
    delay->setDelayLenDirect(static_cast<float>(length));
    delay->setFeedFilter(lp, hp);
    // What arrives in the first length after a start is the unfiltered input kept while the line
    // filled; the impulse goes in once the line runs.
    run(*delay, Signal(length, 0.0f), Signal(length, 0.0f));
    const Stereo out = run(*delay, impulse(2 * length), Signal(2 * length, 0.0f));
    for (double freq : {30.0, 100.0, 640.0, 3000.0, 12000.0}) {
        const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * freq / kRate);
        const std::complex<double> h = c1 / (1.0 - (1.0 - c1) * z) * (1.0 - z) * (1.0 - c2) / (1.0 - (1.0 - c2) * z);
        const double measured = tarnwell::test::responseAt(out.left, length, 2 * length, freq, kRate);
        EXPECT_NEAR(20.0 * std::log10(measured), 20.0 * std::log10(std::abs(h)), 0.1) << freq << " Hz";
    }

    // Fully open it switches off: the repeat is the impulse itself.
    delay->init(kRateF);
    delay->setDelayLenDirect(static_cast<float>(length));
    delay->setFeedFilter(0.3f, 0.3f);
    delay->setFeedFilter(1.0f, 0.0f);
    run(*delay, Signal(length, 0.0f), Signal(length, 0.0f));
    const Stereo flat = run(*delay, impulse(length + 10), Signal(length + 10, 0.0f));
    EXPECT_NEAR(flat.left[length], 1.0f, 1e-6f);
    EXPECT_NEAR(tarnwell::test::peak(flat.left, length + 1, length + 10), 0.0, 1e-6);
}

TEST_F(DelayTest, LoopFilterCoefficientsHaveAFloor) {
    // lp = hp = 0 still filters, at the lowest corner of 20 Hz (coefficient 40 / rate): DC is gone.
    delay->setDelayLenDirect(44100.0f);
    delay->setFeedFilter(0.0f, 0.0f);
    run(*delay, Signal(44100, 0.0f), Signal(44100, 0.0f));
    const Stereo out = run(*delay, Signal(88200, 1.0f), Signal(88200, 0.0f));
    EXPECT_LT(std::fabs(out.left.back()), 1e-3f);
    EXPECT_GT(tarnwell::test::peak(out.left, 44100, 88200), 0.1);
}

TEST_F(DelayTest, LinesStayBoundedBeforeAnyLengthIsSet) {
    // Without a length the clock stands still and every frame only writes; the oldest entries
    // give way at the line's capacity.
    const std::size_t frames = TDelay::lineCapacity() / 2 + 5000;
    const Stereo before = run(*delay, tarnwell::test::sine(300.0, kRate, frames), Signal(frames, 0.0f));
    EXPECT_EQ(tarnwell::test::peak(before.left, 0, frames), 0.0);
    EXPECT_EQ(delay->lineSize(0), TDelay::lineCapacity());

    delay->setDelayLen(freeLen(10.0), freeLen(10.0), 0.0f, 0.0f, 1.0f, 0.0f);
    run(*delay, Signal(500, 0.0f), Signal(500, 0.0f));
    const Stereo out = run(*delay, impulse(2000), Signal(2000, 0.0f));
    const double at = 10.0 * kRate / 1000.0 + 1.0;
    EXPECT_NEAR(echoAround(out.left, at).sum, 1.0, 1e-5);
    EXPECT_NEAR(tarnwell::test::peak(out.left, static_cast<std::size_t>(at) + 4, 2000), 0.0, 1e-6);
    EXPECT_LT(delay->lineSize(0), 1000u);
}

TEST_F(DelayTest, RestartForgetsTheOldMaterial) {
    // A restart just after the read began leaves an entry stamped by the old clock at the front
    // of the line; reading past it must neither divide by a zero span nor extrapolate.
    const Signal tone = tarnwell::test::sine(500.0, kRate, 10000, 0.5);
    for (int extra = 0; extra < 6; ++extra) {
        delay->init(kRateF);
        delay->setDelayLenDirect(441.0f);
        delay->setFeed(0.9f, 0.0f);
        run(*delay, Signal(tone.begin(), tone.begin() + 441 + extra), Signal(441 + static_cast<std::size_t>(extra)));
        delay->init(kRateF);
        delay->setDelayLenDirect(441.0f);
        const Stereo out = run(*delay, tone, tone);
        for (std::size_t i = 0; i < out.left.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i])) << "extra " << extra << " frame " << i;
            ASSERT_LE(std::fabs(out.left[i]), 0.5f + 1e-4f) << "extra " << extra << " frame " << i;
        }
        EXPECT_EQ(tarnwell::test::peak(out.left, 0, 440), 0.0) << "the line refills first";
    }
}
