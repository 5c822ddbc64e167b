// What the engine keeps from frame to frame instead of working it out again (the destinations
// the matrix touched, the replay timing of a pad) follows every change of what it came from.

#include "tests/effect/EngineHarness.h"

#include <gtest/gtest.h>

using namespace tarnwell::test;

namespace {

constexpr int SRC_NONE = 0;
constexpr int SRC_OFFSET = 56;
constexpr int DEST_PAN = 3;
constexpr int DEST_FOLLOWER_SMOOTH = 83;
constexpr int DEST_DELAY_SPEED = 73;

class EngineSettingChangesTest : public EngineFixture {};

}  // namespace

// Only the destinations a slot wrote go back to their base each frame: a slot that moves on, or
// falls silent, must leave its old destination at the base, not at its last value.
TEST_F(EngineSettingChangesTest, AMovedSlotLeavesItsOldDestinationAtItsBase) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        setSlot(e, 0, SRC_OFFSET, DEST_PAN, 0.5f);
        setSlot(e, 1, SRC_OFFSET, DEST_DELAY_SPEED, 1.0f);
    });
    Stereo out = render(*fx, constant(4, 0.5f));
    EXPECT_EQ(fx->modValues[DEST_PAN], 0.5f);
    EXPECT_EQ(fx->modValues[DEST_DELAY_SPEED], 8.0f);
    EXPECT_EQ(out.left[3], 0.0f);  // Global Pan fully right

    setSlot(*fx, 0, SRC_OFFSET, DEST_FOLLOWER_SMOOTH, 0.5f);
    fx->setParameter(MOD_SOURCE_TAG[1], choice(SRC_NONE, 99.99f));
    out = render(*fx, constant(2, 0.5f));
    EXPECT_EQ(fx->modValues[DEST_PAN], 0.0f);
    EXPECT_EQ(fx->modValues[DEST_DELAY_SPEED], 1.0f);
    EXPECT_EQ(fx->modValues[DEST_FOLLOWER_SMOOTH], 0.5f);
    EXPECT_NEAR(out.left[1], 0.5f, 1e-6f);  // the output is centred again
}

// A synced replay's rate is kept between frames; a new host tempo or sample rate retimes it.
TEST_F(EngineSettingChangesTest, SyncedReplayFollowsTempoAndRateChanges) {
    setTransport(true, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) {
        setXYReplay(e, 0);
        e.setParameter(XY_SYNC_TAG[0], choice(11, 30.99f));  // "1/4"
    });
    // Points per frame: the path once per quarter bar plus one frame.
    auto quarterBarRate = [](double bpm, double rate) { return APlugin::XY_SPAN / (0.25 * 240.0 * rate / bpm + 1.0); };
    render(*fx, constant(64, 0.0f));
    EXPECT_NEAR(fx->xy[0].rate / quarterBarRate(120.0, 44100.0), 1.0, 1e-6);
    setTransport(true, 60.0);
    render(*fx, constant(32, 0.0f));  // the host tempo is read every 16 frames
    EXPECT_NEAR(fx->xy[0].rate / quarterBarRate(60.0, 44100.0), 1.0, 1e-6);
    fx->setSampleRate(96000.0f);
    render(*fx, constant(1, 0.0f));
    EXPECT_NEAR(fx->xy[0].rate / quarterBarRate(60.0, 96000.0), 1.0, 1e-6);
}
