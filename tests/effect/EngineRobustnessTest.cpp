// The engine under load: finite, bounded output, no trace of bad input, no allocation.

#include "framework/platform/Preferences.h"
#include "tests/effect/EngineHarness.h"
#include "tests/effect/MidiEvents.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

using namespace tarnwell::test;

namespace {

constexpr int FILTER = 1, COMB = 2, SHAPER = 3, ROOM = 4, GATER = 5, GRAIN = 6;

class EngineRobustnessTest : public EngineFixture {
protected:
    static bool finiteAndBounded(const Signal& s) {
        for (float x : s)
            if (!std::isfinite(x) || std::fabs(x) > 0.999f) return false;
        return true;
    }
};

}  // namespace

// Full-scale noise, then silence, into a chain at +10 dB per Block: a comb at full feedback, the
// Delay's feedback and cross feedback at their limits, and half the path input added dry.
TEST_F(EngineRobustnessTest, OutputStaysFiniteAndBoundedAtEverySampleRate) {
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        auto fx = makeNeutral(
            3,
            [](APlugin& e) {
                setBusyPatch(e, 1, {COMB, SHAPER, ROOM});
                for (int b = 0; b < 3; ++b) e.setParameter(blockParam(b, BLOCK_VOLUME_OFFSET), 1.0f);
                e.setParameter(blockParam(0, COMB_FEED_OFFSET), 1.0f);
                e.setParameter(blockParam(0, COMB_DAMP_OFFSET), 0.0f);
                e.setParameter(DELAY_FEEDBACK_PARAM, 1.0f);
                e.setParameter(DELAY_CROSS_FEEDBACK_PARAM, 1.0f);
                e.setParameter(DELAY_LP_PARAM, 1.0f);
                e.setParameter(DELAY_HP_PARAM, 0.0f);
                setSlot(e, 2, 56, 2, 0.5f);  // Offset -> Global Dry
            },
            7, rate);
        const auto n = static_cast<std::size_t>(rate);
        Signal in = noise(n, 1.0);
        in.resize(n + n / 2, 0.0f);
        const Stereo out = render(*fx, in, in, 512);
        EXPECT_TRUE(finiteAndBounded(out.left));
        EXPECT_TRUE(finiteAndBounded(out.right));
        EXPECT_GT(rms(out.left, n, n + n / 2), 0.01);  // the feedback still rings in the silence
    }
}

// The loops' denormal guards leave a constant residue far under any converter's resolution; once
// a tail has died away the output is exact silence, so a host can detect where it ends.
TEST_F(EngineRobustnessTest, SilenceAfterTheTailIsExactZero) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        setBlockType(e, 0, FILTER);
        e.setParameter(FILTER_MODE_TAG[0], choice(1, 40.0f));  // LP 6dB
        e.setParameter(blockParam(0, FILTER_FREQ_OFFSET), 0.5f);
        setBlockType(e, 1, COMB);
        e.setParameter(blockParam(1, COMB_FEED_OFFSET), 0.7f);
        setBlockType(e, 2, ROOM);
        e.setParameter(blockParam(2, ROOM_LENGTH_OFFSET), 0.0f);
        setPlainDelay(e, 0.3f);
        e.setParameter(DELAY_FEEDBACK_PARAM, 0.7f);
        e.setParameter(DELAY_MIX_PARAM, 0.5f);
    });
    const auto n = static_cast<std::size_t>(RATE);
    Signal in = noise(n / 4, 0.5);
    in.resize(3 * n, 0.0f);
    const Stereo out = render(*fx, in, in, 512);
    EXPECT_GT(rms(out.left, n / 4, n / 4 + 2000), 0.001);  // the tail rings on after the input
    EXPECT_EQ(peak(out.left, 2 * n, 3 * n), 0.0);
    EXPECT_EQ(peak(out.right, 2 * n, 3 * n), 0.0);
}

// One bad host buffer must not poison the recursive states: the output is what the same input
// with silence in place of the burst gives.
TEST_F(EngineRobustnessTest, NonFiniteInputActsAsSilence) {
    constexpr std::size_t N = 30000;
    const Signal clean = noise(N, 0.5);
    Signal broken = clean;
    const float bad[3] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()};
    Signal silenced = clean;
    for (std::size_t i = 5000; i < 5064; ++i) {
        broken[i] = bad[i % 3];
        silenced[i] = 0.0f;
    }
    auto renderWith = [&](const Signal& in) {
        auto fx = makeNeutral(3, [](APlugin& e) { setBusyPatch(e, 0, {FILTER, COMB, GRAIN}); }, 5);
        return render(*fx, in, in, 256);
    };
    const Stereo expected = renderWith(silenced);
    const Stereo out = renderWith(broken);
    EXPECT_TRUE(finiteAndBounded(out.left));
    for (std::size_t i = 0; i < N; ++i) ASSERT_EQ(out.left[i], expected.left[i]) << i;
    EXPECT_GT(rms(out.left, N - 5000, N), 0.01);
}

// Every Block type in every path, with automation, tempo changes, transport starts and MIDI
// (notes, pressure, a controller bound with pick-up on) between the host's calls.
TEST_F(EngineRobustnessTest, RenderingAllocatesNothing) {
    host.requests.reserve(100000);  // the recording host logs every request it gets
    const Signal in = noise(512, 0.8);
    saveStringToPrefs("Capture", "Y");
    setMidiCC(20, FILTER_FREQ_TAG[1]);
    MidiEventList midi({{3, 0x90, 60, 100}, {100, 0xB0, 20, 64}, {200, 0xD0, 40, 0}, {300, 0x80, 60, 0},
                        {400, 0xB0, 20, 66}, {700, 0xA0, 60, 9}});
    for (int type = 0; type < 7; ++type) {
        for (int path = 0; path < 6; ++path) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", path " << path);
            auto fx = makeNeutral(path, [&](APlugin& e) { setBusyPatch(e, path, {type, type, type}); });
            std::size_t allocations = 0;
            for (int call = 0; call < 24; ++call) {
                setTransport(call % 8 >= 4, 90.0 + 5.0 * call);
                Signal buffer = in;  // processed in place, as hosts may
                float* io[2] = {buffer.data(), buffer.data()};
                AllocationCounter counter;
                fx->setParameter(blockParam(call % 3, BLOCK_VOLUME_OFFSET), 0.5f + 0.01f * static_cast<float>(call));
                fx->setParameter(GRAIN_WRITE_SIZE_TAG[call % 3], 0.3f + 0.02f * static_cast<float>(call));
                fx->setParameter(BLOCK_TYPE_TAG[call % 3], choice(call % 2 ? type : GRAIN, 6.99f));
                fx->setParameter(TRIGGER_PARAM, 1.0f);
                if (call % 6 == 5) fx->resetEverything();  // carried out inside the next block
                fx->processEvents(midi.get());
                fx->processReplacing(io, io, 512);
                allocations += counter.count();
            }
            EXPECT_EQ(allocations, 0u);
        }
    }
}
