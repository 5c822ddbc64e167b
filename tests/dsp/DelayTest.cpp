#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <utility>

#include "dsp/TDelay.h"
#include "tests/support/SignalMeasure.h"

using namespace tarnwell::test;

namespace {

constexpr double kRate = 44100.0;

// The free length for ms milliseconds, and the frames it delays by (one more than the set time).
float freeLen(double ms) {
    return static_cast<float>(std::log2(ms) / 12.0);
}
double framesFor(double ms) {
    return ms * kRate / 1000.0 + 1.0;
}

Signal impulse(std::size_t length, float height = 1.0f) {
    Signal s(length, 0.0f);
    if (!s.empty()) s.front() = height;
    return s;
}

// Sum and centre of the echo within three frames of `at` (interpolation spreads it over two).
struct Echo {
    double sum = 0.0, centre = 0.0;
};
Echo echoAround(const Signal& x, double at) {
    Echo e;
    double weight = 0.0;
    for (auto i = static_cast<std::size_t>(std::max(0.0, at - 3)); i < x.size() && i < at + 4; ++i) {
        const double v = static_cast<double>(x[i]);
        e.sum += v;
        weight += std::fabs(v);
        e.centre += static_cast<double>(i) * std::fabs(v);
    }
    e.centre /= std::max(weight, 1e-30);
    return e;
}

class DelayTest : public ::testing::Test {
protected:
    struct Stereo {
        Signal left, right;
    };
    Stereo run(const Signal& inL, const Signal& inR) {
        Stereo out{Signal(inL.size()), Signal(inL.size())};
        for (std::size_t i = 0; i < inL.size(); ++i)
            delay->process(inL[i], inR[i], out.left[i], out.right[i]);
        return out;
    }
    Stereo run(const Signal& inL) { return run(inL, Signal(inL.size(), 0.0f)); }
    void restart(float frames, float fb = 0.0f, float cross = 0.0f) {
        delay->init(44100.0f);
        delay->setDelayLenDirect(frames);
        delay->setFeed(fb, cross);
    }
    std::unique_ptr<TDelay> delay = std::make_unique<TDelay>();
};

}  // namespace

TEST_F(DelayTest, ImpulseReturnsAfterTheFreeOrSyncedLength) {
    // Synced rows 10, 13 and the top: 1/4, 1/2, 3/4 bar (no tempo is 120 bpm); (frames + add) * scale.
    const struct {
        float len, add, scale, sync, tempo;
        double frames;
    } cases[] = {{freeLen(1.0), 0, 1, 0, 120, framesFor(1.0)},
                 {freeLen(4000.0), 0, 1, 0, 120, framesFor(4000.0)},
                 {freeLen(10.0), 100, 2, 0, 120, 2.0 * (framesFor(10.0) + 100.0)},
                 {10 / 14.99f + 1e-4f, 0, 1, 1, 120, 22050 + 1},
                 {13 / 14.99f + 1e-4f, 0, 1, 1, 0, 44100 + 1},
                 {1.0f, 0, 1, 1, 200, 0.75 * kRate * 240 / 200 + 1}};
    for (const auto& c : cases) {
        delay->init(44100.0f);
        delay->setTempo(c.tempo);
        delay->setDelayLen(c.len, c.len, c.add, 0.0f, c.scale, c.sync);
        const auto length = static_cast<std::size_t>(c.frames) + 100;
        const Stereo out = run(impulse(length), impulse(length, 0.5f));
        EXPECT_NEAR(echoAround(out.left, c.frames).centre, c.frames, 0.03) << c.frames;
        EXPECT_NEAR(echoAround(out.left, c.frames).sum, 1.0, 1e-5) << c.frames;
        EXPECT_EQ(peak(out.left, 0, static_cast<std::size_t>(c.frames) - 3), 0.0) << "early at " << c.frames;
        const double rightAt = c.add == 0 ? c.frames : 2.0 * framesFor(10.0);  // add is on the left only
        EXPECT_NEAR(echoAround(out.right, rightAt).sum, 0.5, 1e-5) << c.frames;
    }
}

TEST_F(DelayTest, LengthsAndLinesStayWithinTheirBounds) {
    // 3/4 bar at 1 bpm is far beyond the line.
    delay->setTempo(1.0f);
    delay->setDelayLen(1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_NEAR(run(impulse(TDelay::kMaxLength + 50)).left[TDelay::kMaxLength], 1.0f, 1e-5f);
    // Scales that leave nothing, or no number at all, give the shortest line and finite output.
    for (float scale : {0.0f, -3.0f, std::nanf("")}) {
        delay->init(44100.0f);
        delay->setDelayLen(0.5f, 0.5f, 0.0f, 0.0f, scale, 0.0f);
        for (float v : run(noise(1000)).left) ASSERT_TRUE(std::isfinite(v)) << scale;
        EXPECT_LE(delay->lineSize(0), 4u);
    }
    // Without a length every frame only writes; the oldest entries give way at the capacity.
    delay->init(44100.0f);
    const std::size_t frames = TDelay::lineCapacity() + 5000;
    EXPECT_EQ(peak(run(noise(frames)).left, 0, frames), 0.0);
    EXPECT_EQ(delay->lineSize(0), TDelay::lineCapacity());
    // A line that wrapped around its storage while it filled reads across the wrap: an impulse
    // written just before the end of the storage returns whole after the length.
    delay->init(44100.0f);
    run(Signal((TDelay::lineCapacity() - 100) / 2, 0.0f));  // two entries per frame while unread
    delay->setDelayLenDirect(1000.0f);
    const Signal out = run(impulse(3000)).left;
    EXPECT_NEAR(echoAround(out, 1000.0).sum, 1.0, 1e-5);
    EXPECT_NEAR(peak(out, 0, 990), 0.0, 1e-6);
}

// The shortest lines: silent until they hold three entries, then the input one or two frames back.
TEST_F(DelayTest, OneAndTwoFrameLinesCarryTheSignal) {
    const Signal in = noise(64, 0.5);
    for (int frames : {1, 2}) {
        restart(static_cast<float>(frames));
        const Signal out = run(in).left;
        EXPECT_EQ(peak(out, 0, 2), 0.0) << frames;
        for (std::size_t i = 2; i < in.size(); ++i)
            ASSERT_NEAR(out[i], in[i - frames], 1e-7) << frames << " at " << i;
    }
}

TEST_F(DelayTest, ChangingTheLengthBendsThePitch) {
    // Until the read point catches up, half the length plays at double speed, double at half.
    const double f = 1000.0;
    const Signal tone = sine(f, kRate, 40000);
    for (double toMs : {50.0, 200.0}) {
        delay->init(44100.0f);
        delay->setDelayLen(freeLen(100.0), freeLen(100.0), 0.0f, 0.0f, 1.0f, 0.0f);
        run(Signal(tone.begin(), tone.begin() + 20000));
        delay->setDelayLen(freeLen(toMs), freeLen(toMs), 0.0f, 0.0f, 1.0f, 0.0f);
        const Signal out = run(Signal(tone.begin() + 20000, tone.end())).left;
        const auto caughtUp = static_cast<std::size_t>(framesFor(toMs)) - 20;
        const double bent = f * framesFor(100.0) / framesFor(toMs);
        EXPECT_NEAR(zeroCrossingFrequency(out, 10, caughtUp, kRate), bent, f * 0.002) << toMs;
        EXPECT_NEAR(zeroCrossingFrequency(out, caughtUp + 100, 20000, kRate), f, f * 0.002) << toMs;
    }
}

TEST_F(DelayTest, FeedbackGainsShapeTheRepeats) {
    // Own feedback: each repeat is the last one times fb, on its own channel.
    for (float fb : {0.5f, -0.7f}) {
        restart(1000.0f, fb);
        const Stereo out = run(impulse(5000));
        for (int k = 1; k <= 4; ++k)
            EXPECT_NEAR(echoAround(out.left, 1000.0 * k).sum, std::pow(fb, k - 1), 1e-5);
        EXPECT_NEAR(peak(out.right, 0, 5000), 0.0, 1e-6);
    }
    // Cross feedback changes sides; gains that would grow are divided by their sum plus 0.0001.
    restart(1000.0f, 0.0f, 0.5f);
    Stereo out = run(impulse(5000));
    EXPECT_NEAR(echoAround(out.right, 2000.0).sum, 0.5, 1e-6);
    EXPECT_NEAR(echoAround(out.left, 2000.0).sum, 0.0, 1e-6);
    EXPECT_NEAR(echoAround(out.left, 3000.0).sum, 0.25, 1e-6);
    restart(1000.0f, 0.8f, 0.6f);
    out = run(impulse(3000));
    EXPECT_NEAR(echoAround(out.left, 2000.0).sum, 0.8 / 1.4001, 1e-5);
    EXPECT_NEAR(echoAround(out.right, 2000.0).sum, 0.6 / 1.4001, 1e-5);
    // Whatever enters the line is limited to +-100.
    restart(100.0f);
    EXPECT_FLOAT_EQ(run(impulse(200, 1000.0f)).left[100], 100.0f);
}

TEST_F(DelayTest, EqualFeedMatchesTheDecayPerSecond) {
    // The longer line keeps fb, the shorter one decays as fast per second; no cross feedback.
    EXPECT_TRUE(delay->setEqual(1.0f));
    delay->setDelayLen(freeLen(100.0), freeLen(50.0), 0.0f, 0.0f, 1.0f, 0.0f);
    delay->setFeed(0.6f, 0.9f);
    const double ul = framesFor(100.0), ur = framesFor(50.0);
    const Stereo out = run(impulse(20000), impulse(20000));
    EXPECT_NEAR(echoAround(out.left, 2.0 * ul).sum / echoAround(out.left, ul).sum, 0.6, 1e-5);
    const double right = echoAround(out.right, 2.0 * ur).sum / echoAround(out.right, ur).sum;
    EXPECT_NEAR(right, std::pow(0.6001, ur / (ul + 1.0)), 1e-5);
    EXPECT_NEAR(echoAround(out.left, 3.0 * ur).sum, 0.0, 1e-6) << "no cross feedback";
}

TEST_F(DelayTest, LoopFilterShapesTheRepeats) {
    // Low-pass c1 then high-pass c2 on every written value: the repeat's spectrum is
    // H1(z) (1 - z^-1)(1 - c2) / (1 - (1 - c2) z^-1) with H1(z) = c1 / (1 - (1 - c1) z^-1).
    const double c1 = 2.0 * 20.0 * std::exp2(10.0 * 0.5) / kRate;
    const double c2 = 2.0 * 20.0 * std::exp2(10.0 * 0.2) / kRate;
    const std::size_t length = 22050;
    restart(static_cast<float>(length));
    delay->setFeedFilter(0.5f, 0.2f);
    run(Signal(length, 0.0f));  // measured once the line has filled
    const Signal out = run(impulse(2 * length)).left;
    for (double hz : {30.0, 640.0, 12000.0}) {
        const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * hz / kRate);
        const auto h = c1 / (1.0 - (1.0 - c1) * z) * (1.0 - z) * (1.0 - c2) / (1.0 - (1.0 - c2) * z);
        const double measured = responseAt(out, length, 2 * length, hz, kRate);
        EXPECT_NEAR(20.0 * std::log10(measured), 20.0 * std::log10(std::abs(h)), 0.1) << hz << " Hz";
    }
}

// The first length after a start queues the input beside each written value under one stamp;
// the first echo must read the filtered one, as every later echo does, or unfiltered samples
// leak into it as steps (a click at the echo's onset, fed on into the next).
TEST_F(DelayTest, LoopFilterShapesTheFirstEchoAfterAStart) {
    const std::size_t length = 11026;  // 250 ms: an increment the clock sums with rounding
    const Signal tone = sine(220.0, kRate, 2 * length, 0.5);
    restart(static_cast<float>(length));
    delay->setFeedFilter(0.3f, 0.0f);
    const Signal first = run(tone).left;
    restart(static_cast<float>(length));
    delay->setFeedFilter(0.3f, 0.0f);
    run(Signal(length, 0.0f));
    const Signal later = run(tone).left;
    double worst = 0.0;
    for (std::size_t i = length; i < 2 * length; ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(first[i]) - static_cast<double>(later[i])));
    EXPECT_LT(worst, 1e-3 * peak(later, length, 2 * length));
}

TEST_F(DelayTest, RestartForgetsTheOldMaterial) {
    // An entry stamped by the old clock at the front must not be divided by a zero span.
    const Signal tone = sine(500.0, kRate, 10000, 0.5);
    for (std::ptrdiff_t extra = 0; extra < 6; ++extra) {
        restart(441.0f, 0.9f);
        run(Signal(tone.begin(), tone.begin() + 441 + extra));
        restart(441.0f);
        const Signal out = run(tone, tone).left;
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(std::isfinite(out[i]) && std::fabs(out[i]) <= 0.5f + 1e-4f) << extra << " " << i;
        EXPECT_EQ(peak(out, 0, 440), 0.0) << "the line refills first";
    }
}

// Sides that run at one length and then part carry on as lines that always ran at their own
// length (no cross feed, so each side depends on its own input alone); restarted, they run
// together again.
TEST_F(DelayTest, SidesThatPartCarryOnAsLinesOfTheirOwn) {
    const float a = freeLen(7.0), b = freeLen(11.0);
    auto make = [&] {
        auto d = std::make_unique<TDelay>();
        d->setDelayLen(a, a, 0.0f, 0.0f, 1.0f, 0.0f);
        d->setFeed(0.6f);
        return d;
    };
    auto parted = make(), left = make(), right = make();
    const Signal inL = noise(6000, 0.5), inR = noise(6000, 0.3, 7);
    Signal outL(inL.size()), outR(inL.size());
    for (std::size_t i = 0; i < inL.size(); ++i) {
        if (i == 2000) {
            parted->setDelayLen(a, b, 0.0f, 0.0f, 1.0f, 0.0f);
            right->setDelayLen(b, b, 0.0f, 0.0f, 1.0f, 0.0f);
        }
        if (i == 4000) {
            for (TDelay* d : {parted.get(), left.get(), right.get()}) {
                d->init(44100.0f);
                d->setDelayLen(b, b, 0.0f, 0.0f, 1.0f, 0.0f);
                d->setFeed(0.6f);
            }
        }
        float l, r, alone;
        parted->process(inL[i], inR[i], outL[i], outR[i]);
        left->process(inL[i], inR[i], l, alone);
        ASSERT_EQ(outL[i], l) << i;
        right->process(inL[i], inR[i], alone, r);
        ASSERT_EQ(outR[i], r) << i;
    }
    EXPECT_GT(rms(outR, 3000, 4000), 0.05);
    EXPECT_GT(rms(outR, 5000, 6000), 0.05);
}

// Stretches of frames give bit for bit what the frames give one by one: through the fill phase,
// with the loop filter and cross feed, with parted and with equal lengths (one walk for both
// lines), and across the end of the lines' storage, which a line left unread nearly fills.
TEST_F(DelayTest, StretchesGiveWhatSingleFramesGive) {
    const std::size_t unread = (TDelay::lineCapacity() - 3000) / 2;  // two entries per frame
    const Signal inL = noise(unread + 30000, 0.5), inR = noise(inL.size(), 0.3, 7);
    for (const auto& lengths :
         {std::pair{freeLen(7.0), freeLen(11.0)}, std::pair{freeLen(9.0), freeLen(9.0)}}) {
        TDelay* d[2] = {delay.get(), nullptr};
        auto stretched = std::make_unique<TDelay>();
        d[1] = stretched.get();
        for (TDelay* each : d) {
            each->init(44100.0f);
            each->setFeed(0.7f, 0.2f);
            each->setFeedFilter(0.6f, 0.2f);
        }
        Signal out(inL.size(), 0.0f);
        std::size_t i = 0;
        for (int n = 1; i + n <= inL.size(); n = n % 15 + 1) {
            if (i >= unread && i < unread + 15)
                for (TDelay* each : d)
                    each->setDelayLen(lengths.first, lengths.second, 0.0f, 0.0f, 1.0f, 0.0f);
            TDelay::Pair run[15];
            for (int q = 0; q < n; ++q) run[q] = TDelay::Pair{inL[i + q], inR[i + q]};
            stretched->processRun(run, n);
            for (int q = 0; q < n; ++q) {
                const TDelay::Pair one = delay->process(TDelay::Pair{inL[i + q], inR[i + q]});
                ASSERT_EQ(std::bit_cast<uint64_t>(one), std::bit_cast<uint64_t>(run[q])) << i + q;
                out[i + q] = run[q][0];
            }
            i += n;
        }
        EXPECT_GT(rms(out, unread + 10000, unread + 20000), 0.02);
    }
}
