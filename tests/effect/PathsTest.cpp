// The six signal paths, where the Delay sits in each, Block Bypass, Pan and Volume, the XY pad's
// targets and the output stage, measured on rendered audio and on the Block level sources.

#include "tests/effect/EngineHarness.h"

#include <gtest/gtest.h>

#include <array>

using namespace tarnwell::test;

namespace {

class PathsTest : public EngineFixture {
protected:
    static constexpr std::size_t LENGTH = 2000;
    static constexpr double DELAY_FRAMES = 44.1 * 8.0;  // the plain delay at length 0.25: 8 ms

    // Blocks Off at the given gains, a DC input; the settled output pair.
    std::pair<float, float> settledOutput(int path, const std::function<void(APlugin&)>& setup) {
        auto fx = makeNeutral(path, setup);
        const Stereo out = render(*fx, constant(LENGTH, 0.1f));
        return {out.left.back(), out.right.back()};
    }
};

bool isSerial(int path) {
    return path <= 3;
}

}  // namespace

// Gains 2, 0.5, 2 with Block 1 panned hard left, which only a parallel path hears; a bypassed
// Block 2 passes its input along a chain and adds nothing in parallel.
TEST_F(PathsTest, SerialPathsMultiplyBlockGainsParallelPathsAddThem) {
    for (int path = 0; path < 6; ++path)
        for (bool bypassSecond : {false, true}) {
            SCOPED_TRACE(testing::Message() << "path " << path << (bypassSecond ? ", Block 2 bypassed" : ""));
            const auto [l, r] = settledOutput(path, [&](APlugin& fx) {
                fx.setParameter(blockParam(0, BLOCK_VOLUME_OFFSET), volumeFor(2.0f));
                fx.setParameter(blockParam(1, BLOCK_VOLUME_OFFSET), volumeFor(0.5f));
                fx.setParameter(blockParam(2, BLOCK_VOLUME_OFFSET), volumeFor(2.0f));
                fx.setParameter(blockParam(0, BLOCK_PAN_OFFSET), 0.0f);
                fx.setParameter(BLOCK_BYPASS_TAG[1], bypassSecond ? 1.0f : 0.0f);
            });
            const float serial = bypassSecond ? 0.4f : 0.2f;
            EXPECT_NEAR(l, isSerial(path) ? serial : bypassSecond ? 0.4f : 0.45f, 1e-4f);
            EXPECT_NEAR(r, isSerial(path) ? serial : bypassSecond ? 0.2f : 0.25f, 1e-4f);
        }
}

// An impulse through a wet-only Delay. Each Block's output level source shows whether that Block
// (with the Delay that follows it) hears the delayed signal; with global Bypass on the output is
// the path input pair, delayed only where the Delay comes first; the output always is.
TEST_F(PathsTest, TheDelaySitsWhereEachPathPutsIt) {
    constexpr std::size_t N = 1000;
    constexpr double D = DELAY_FRAMES;
    // Per path: the dry pair, then Blocks 1..3, delayed or not.
    const std::array<std::array<bool, 4>, 6> delayed = {{{true, true, true, true},
                                                         {false, true, true, true},
                                                         {false, false, true, true},
                                                         {false, false, false, true},
                                                         {true, true, true, true},
                                                         {false, false, false, false}}};
    auto arrival = [](const Signal& s) { return static_cast<double>(firstAbove(s, 0.01)); };
    auto check = [&](int path, bool bypassFirst) {
        SCOPED_TRACE(testing::Message() << "path " << path << (bypassFirst ? ", Block 1 bypassed" : ""));
        auto setup = [&](APlugin& e) {
            setPlainDelay(e, 0.25f);
            if (bypassFirst) e.setParameter(BLOCK_BYPASS_TAG[0], 1.0f);
        };
        auto fx = makeNeutral(path, setup);
        std::array<Signal, 3> level;
        for (Signal& s : level) s.resize(N);
        const Stereo out = render(*fx, impulse(N, 0, 0.5f), impulse(N, 0, 0.5f), 1, [&](std::size_t i) {
            for (int b = 0; b < 3; ++b) level[b][i] = fx->modSourceValues[48 + 2 * b];
        });
        EXPECT_NEAR(arrival(out.left), D, 3.0);
        EXPECT_NEAR(arrival(out.right), D, 3.0);
        for (int b = 0; b < 3; ++b) EXPECT_NEAR(arrival(level[b]), delayed[path][b + 1] ? D : 0.0, 3.0) << "Block " << b + 1;

        auto bypassed = makeNeutral(path, [&](APlugin& e) {
            setup(e);
            e.setParameter(BYPASS_PARAM, 1.0f);
        });
        EXPECT_NEAR(arrival(render(*bypassed, impulse(N, 0, 0.5f)).left), delayed[path][0] ? D : 0.0, 3.0) << "dry pair";
    };
    for (int path = 0; path < 6; ++path) check(path, false);
    check(1, true);  // the Delay still follows a bypassed Block 1
}

TEST_F(PathsTest, GlobalBypassPassesThePathInputUnpannedAndClamped) {
    constexpr double D = DELAY_FRAMES;
    auto fx = makeNeutral(0, [](APlugin& e) {
        setPlainDelay(e, 0.25f);
        e.setParameter(blockParam(2, BLOCK_VOLUME_OFFSET), volumeFor(0.25f));
        e.setParameter(blockParam(2, BLOCK_PAN_OFFSET), 0.0f);
        e.setParameter(BYPASS_PARAM, 1.0f);
    });
    const Stereo out = render(*fx, impulse(1000, 0, 3.0f));
    // Path 0 puts the Delay before the Blocks, so the bypassed output is the delayed input.
    const std::size_t arrival = peakIndex(out.right, 0, 1000);
    EXPECT_NEAR(static_cast<double>(arrival), D, 3.0);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(out.right, 0, 1000)), 0.999f);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(out.left, 0, 1000)), 0.999f);
}

// The pad's X, routed by "X > 2" onto a low-pass Filter Block's cutoff, opens the filter as far
// as the Freq knob does.
TEST_F(PathsTest, XYPadMovesItsBlocksTargets) {
    auto level = [&](float x, float freq) {
        auto fx = makeNeutral(3, [&](APlugin& e) {
            setBlockType(e, 0, 1);
            e.setParameter(FILTER_MODE_TAG[0], choice(7, 40.0f));  // "LP2 12dB"
            e.setParameter(blockParam(0, FILTER_FREQ_OFFSET), freq);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            e.setParameter(blockParam(0, XY_ASSIGN_OFFSET + 1), 1.0f);  // X > 2 at +1
        });
        fx->setXY(0, x, 0.5f);  // the live pad position
        const Signal out = render(*fx, sine(5000.0, RATE, 8000, 0.5)).left;
        return rms(out, 4000, 8000);
    };
    const double open = level(0.0f, 1.0f);
    EXPECT_GT(open, 0.2);
    EXPECT_LT(level(0.0f, 0.2f), 0.001);  // 80 Hz
    EXPECT_NEAR(level(1.0f, 0.2f), open, 1e-6);
}
