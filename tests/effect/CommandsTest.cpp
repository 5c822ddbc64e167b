// The Block parameter list, the Block and modulation undo, and the Block, gater, XY-path and
// modulation slot commands, judged by the parameter values they leave.

#include "framework/platform/Preferences.h"
#include "tests/effect/CommandFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace tarnwell::test;

namespace {

class CommandsTest : public CommandFixture {
protected:
    static void expectPoint(APlugin& fx, int b, int i, float x, float y) {
        float px, py;
        fx.getXYValues(b, i, px, py);
        EXPECT_NEAR(px, x, 1e-5f) << "point " << i;
        EXPECT_NEAR(py, y, 1e-5f) << "point " << i;
    }
    static void setPath(APlugin& fx, int b, float (*x)(int), float (*y)(int)) {
        for (int i = 0; i < 32; ++i) fx.setXY(b, i, x(i), y(i));
    }
    static std::vector<float> side(APlugin& fx, int b, int s) {
        std::vector<float> v;
        for (int k = 0; k < 16; ++k) v.push_back(fx.getGaterValue(b, s, k));
        return v;
    }
};

}  // namespace

// Each row against the per-Block tables of the layout: the same parameters in the row's order,
// and no parameter in two places.
TEST(BlockTags, RowsHoldEachBlocksOwnParameters) {
    std::set<int32_t> seen;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const auto& row = BLOCK_TAGS[b];
        seen.insert(row.begin(), row.end());
        EXPECT_EQ(row[0], BLOCK_BYPASS_TAG[b]);
        EXPECT_EQ(row[1], BLOCK_TYPE_TAG[b]);
        EXPECT_EQ(row[12], COMB_RANDOM_TAG[b]);
        EXPECT_EQ(row[24], ROOM_LENGTH_TAG[b]);
        EXPECT_EQ(row[27], ROOM_MOD_TAG[b]);
        EXPECT_EQ(row[32], GATER_SPEED_TAG[b]);
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(row[33 + k], GATER_TAG[b][0] + k);
            EXPECT_EQ(row[49 + k], GATER_TAG[b][1] + k);
        }
        EXPECT_EQ(row[65], GRAIN_WRITE_SIZE_TAG[b]);
        EXPECT_EQ(row[74], GRAIN_UNLINK_TAG[b]);
        EXPECT_EQ(row[78], blockParam(b, BLOCK_MIX_OFFSET));
        EXPECT_EQ(row[85], XY_RECORD_MODE_TAG[b]);
        EXPECT_EQ(row[90], XY_PLAY_MODE_TAG[b]);
        EXPECT_EQ(row[101], XY_LEN_MS_TAG[b]);
        EXPECT_EQ(row[102], XY_SMOOTH_TAG[b]);
        for (int i = 0; i < 32; ++i) {
            EXPECT_EQ(row[103 + i], XY_X_START[b] + i);
            EXPECT_EQ(row[135 + i], XY_Y_START[b] + i);
        }
    }
    EXPECT_EQ(seen.size(), 3u * BLOCK_TAG_COUNT);
}

// Undo brings back all three Blocks bit for bit, repeats itself, and does nothing before the
// first snapshot; every other command, even one with no meaning, takes a new snapshot.
TEST_F(CommandsTest, BlockUndoRestoresExactly) {
    auto fx = make();
    const std::vector<float> start = values(*fx);
    fx->doBlockCommand(34, 0, -1, -1);
    EXPECT_EQ(values(*fx), start);

    scramble(*fx, 1);
    const std::vector<float> edited = values(*fx);
    fx->doBlockCommand(40, 1, -1, -1);  // Block 2 to its defaults
    EXPECT_EQ(fx->getParameter(FILTER_FREQ_TAG[1]), fx->getDefaultValue(FILTER_FREQ_TAG[1]));
    fx->doBlockCommand(34, 0, -1, -1);
    EXPECT_EQ(values(*fx), edited);
    fx->doBlockCommand(42, 0, 2, -1);  // a swap takes its own snapshot
    fx->doBlockCommand(34, 0, -1, -1);
    fx->doBlockCommand(34, 0, -1, -1);
    EXPECT_EQ(values(*fx), edited);

    scramble(*fx, 2);
    const std::vector<float> before = values(*fx);
    fx->doBlockCommand(37, 2, -1, -1);  // no such command
    scramble(*fx, 3);
    fx->doBlockCommand(34, 2, -1, -1);
    EXPECT_EQ(values(*fx), before);
}

// Copies and swaps touch only the rows of the two Blocks (Block 2's own Room parameters among
// them); the XY and gater parts move alone; a missing target does nothing.
TEST_F(CommandsTest, CopiesAndSwapsMoveWholeRowsOrTheirParts) {
    auto fx = make();
    scramble(*fx, 4);
    const std::vector<float> v = values(*fx);
    auto at = [&](int32_t p) { return v[static_cast<std::size_t>(p)]; };
    const auto &b1 = BLOCK_TAGS[0], &b2 = BLOCK_TAGS[1], &b3 = BLOCK_TAGS[2];

    fx->doBlockCommand(41, 0, 2, -1);
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e) ASSERT_EQ(fx->getParameter(b3[e]), at(b1[e])) << e;
    for (int32_t p : b2) ASSERT_EQ(fx->getParameter(p), at(p));
    fx->doBlockCommand(34, 0, -1, -1);

    fx->doBlockCommand(42, 1, 0, -1);
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e) {
        ASSERT_EQ(fx->getParameter(b1[e]), at(b2[e])) << e;
        ASSERT_EQ(fx->getParameter(b2[e]), at(b1[e])) << e;
    }
    EXPECT_EQ(fx->getParameter(ROOM_HP_TAG[0]), at(58));
    fx->doBlockCommand(34, 0, -1, -1);

    fx->doBlockCommand(6, 0, 1, -1);  // the XY parts only
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e)
        ASSERT_EQ(fx->getParameter(b1[e]), at(e >= BLOCK_XY_FIRST ? b2[e] : b1[e])) << e;
    fx->doBlockCommand(34, 0, -1, -1);
    fx->doBlockCommand(57, 2, 0, 0);  // the gater part: settings and both sides' steps
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e)
        ASSERT_EQ(fx->getParameter(b1[e]), at(e >= BLOCK_GATER_FIRST && e <= BLOCK_GATER_LAST ? b3[e] : b1[e])) << e;
    fx->doBlockCommand(34, 0, -1, -1);

    for (int command : {5, 6, 41, 42, 57, 58}) fx->doBlockCommand(command, 0, -1, 0);
    fx->doBlockCommand(58, 0, 3, 0);
    EXPECT_EQ(values(*fx), v);

    fx->doBlockCommand(3, 1, -1, -1);  // XY amounts and XY part to their defaults
    for (int e = 0; e < BLOCK_TAG_COUNT; ++e)
        ASSERT_EQ(fx->getParameter(b2[e]), e >= BLOCK_XY_AMOUNT_FIRST ? fx->getDefaultValue(b2[e]) : at(b2[e])) << e;
    EXPECT_TRUE(fx->getUpdateXY(1));
}

TEST_F(CommandsTest, ShapesDrawTheirPaths) {
    auto fx = make();
    fx->doBlockCommand(7, 0, -1, -1);  // circle from the top, clockwise
    expectPoint(*fx, 0, 0, 0.5f, 1.0f);
    expectPoint(*fx, 0, 8, 1.0f, 0.5f);
    expectPoint(*fx, 0, 24, 0.0f, 0.5f);
    EXPECT_NEAR(fx->getXYPathTime(0), 4.0f, 1e-6f) << "a path with no length replays in 4 s";
    fx->doBlockCommand(8, 0, -1, -1);  // square from (0, 0)
    expectPoint(*fx, 0, 4, 0.0f, 0.5f);
    expectPoint(*fx, 0, 12, 0.5f, 1.0f);
    expectPoint(*fx, 0, 20, 1.0f, 0.5f);
    expectPoint(*fx, 0, 28, 0.5f, 0.0f);

    // Lines end at point 32 - k: with 2 points used (k = 16) points 17..31 stay.
    fx->setParameter(XY_POINT_QUANT_TAG[0], 4.1f / 4.99f);
    fx->doBlockCommand(9, 0, -1, -1);
    expectPoint(*fx, 0, 8, 0.5f, 0.5f);
    expectPoint(*fx, 0, 16, 1.0f, 0.5f);
    expectPoint(*fx, 0, 20, 1.0f, 0.5f);  // the square's
    fx->setParameter(XY_POINT_QUANT_TAG[0], 0.0f);
    fx->doBlockCommand(10, 0, -1, -1);
    expectPoint(*fx, 0, 31, 0.5f, 1.0f);

    script.push({Answer::Ok, ""});  // the default, 45 degrees
    fx->doBlockCommand(11, 0, -1, -1);
    expectPoint(*fx, 0, 0, 0.0f, 0.0f);
    expectPoint(*fx, 0, 31, 1.0f, 1.0f);
    EXPECT_EQ(script.asked.back().title, "XY Diagonal Line");
    EXPECT_EQ(script.asked.back().startText, "45");
    cancel();  // 0 degrees: through the centre
    fx->doBlockCommand(11, 0, -1, -1);
    expectPoint(*fx, 0, 0, 0.0f, 0.5f);

    answer("4 turns");  // only the number counts
    fx->doBlockCommand(12, 0, -1, -1);
    expectPoint(*fx, 0, 0, 0.5f, 1.0f);
    expectPoint(*fx, 0, 8, 0.5f, 0.875f);  // four turns: a whole one every 8 points
    answer("-5e9");                        // read as -59, no exponent
    fx->doBlockCommand(13, 0, -1, -1);
    expectPoint(*fx, 0, 16, 0.5f + 0.25f * std::sin(-3.14159f * 59.0f), 0.5f + 0.25f * std::cos(-3.14159f * 59.0f));
    answer("99999");                       // held at 1000 turns
    fx->doBlockCommand(13, 0, -1, -1);
    expectPoint(*fx, 0, 4, 0.5f + 0.0625f * std::sin(2.0f * 3.14159f * 125.0f), 0.5f + 0.0625f * std::cos(2.0f * 3.14159f * 125.0f));

    answer("90");
    fx->doBlockCommand(14, 0, -1, -1);  // sine a quarter on
    expectPoint(*fx, 0, 0, 0.0f, 1.0f);
    expectPoint(*fx, 0, 31, 1.0f, 1.0f);
    answer("0");
    fx->doBlockCommand(15, 0, -1, -1);  // square wave
    expectPoint(*fx, 0, 15, 15.0f / 32.0f, 0.0f);
    expectPoint(*fx, 0, 16, 0.5f, 1.0f);
    answer("180");
    fx->doBlockCommand(16, 0, -1, -1);  // saw up, half a cycle on
    expectPoint(*fx, 0, 0, 0.0f, 0.5f);
    expectPoint(*fx, 0, 16, 0.5f, 0.0f);
    answer("0");
    fx->doBlockCommand(17, 0, -1, -1);
    expectPoint(*fx, 0, 8, 0.25f, 0.75f);
    cancel();
    fx->doBlockCommand(18, 0, -1, -1);  // triangle
    expectPoint(*fx, 0, 0, 0.0f, 0.0f);
    expectPoint(*fx, 0, 31, 1.0f, 0.0f);
    expectPoint(*fx, 0, 8, 8.0f / 31.0f, 16.0f / 31.0f);
}

TEST_F(CommandsTest, TransformationsMoveThePointsTheyHave) {
    auto fx = make();
    auto x = [](int i) { return static_cast<float>(i) / 31.0f; };
    auto y = [](int i) { return i == 10 ? 0.9f : 0.1f; };  // a line with one spike
    auto reset = [&] { setPath(*fx, 1, x, y); };
    reset();
    fx->setParameter(XY_LEN_SEC_TAG[1], 0.001f);
    fx->doBlockCommand(24, 1, -1, -1);  // smooth: the spike's neighbours rise, the spike falls
    expectPoint(*fx, 1, 10, x(10), 0.1f);
    expectPoint(*fx, 1, 9, x(9), 0.5f);
    expectPoint(*fx, 1, 31, (x(30) + x(31)) / 2.0f, 0.1f);
    EXPECT_NEAR(fx->getXYPathTime(1), 1.0f, 1e-6f) << "transformations keep the length";
    reset();
    fx->doBlockCommand(19, 1, -1, -1);
    expectPoint(*fx, 1, 21, x(10), 0.9f);
    fx->doBlockCommand(20, 1, -1, -1);
    expectPoint(*fx, 1, 21, x(10), 0.1f);
    fx->doBlockCommand(21, 1, -1, -1);
    expectPoint(*fx, 1, 21, 1.0f - x(10), 0.1f);

    reset();
    answer("90");  // a quarter turn about the centre
    fx->doBlockCommand(22, 1, -1, -1);
    expectPoint(*fx, 1, 10, 0.5f - (0.9f - 0.5f), x(10));
    answer("4");  // grid of 5 levels
    fx->doBlockCommand(23, 1, -1, -1);
    expectPoint(*fx, 1, 10, 0.0f, 0.4f);
    const std::vector<float> snapped = values(*fx);
    answer("129");
    fx->doBlockCommand(23, 1, -1, -1);
    cancel();
    fx->doBlockCommand(22, 1, -1, -1);
    EXPECT_EQ(values(*fx), snapped);

    reset();
    answer("50");
    fx->doBlockCommand(25, 1, -1, -1);
    expectPoint(*fx, 1, 10, x(10) / 2.0f, 0.45f);
    answer("200");
    fx->doBlockCommand(33, 1, -1, -1);  // about the centre, clamped to the pad
    expectPoint(*fx, 1, 10, 0.0f, 0.4f);
    cancel();
    fx->doBlockCommand(33, 1, -1, -1);
    expectPoint(*fx, 1, 0, 0.5f, 0.5f);
    cancel();
    fx->doBlockCommand(25, 1, -1, -1);
    expectPoint(*fx, 1, 31, 0.0f, 0.0f);
    fx->doBlockCommand(34, 1, -1, -1);
    expectPoint(*fx, 1, 31, 0.5f, 0.5f);
}

TEST_F(CommandsTest, GaterCommandsMoveTheSteps) {
    auto fx = make();
    const std::vector<float> pattern = {1, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0.5f};
    const std::vector<float> other(16, 0.25f);
    auto reset = [&] {
        for (int k = 0; k < 16; ++k) {
            fx->setParameter(GATER_TAG[2][1] + k, pattern[static_cast<std::size_t>(k)]);
            fx->setParameter(GATER_TAG[2][0] + k, other[static_cast<std::size_t>(k)]);
        }
    };
    auto rotated = [&](int by) {
        std::vector<float> v(16);
        for (int k = 0; k < 16; ++k) v[static_cast<std::size_t>((k + by + 16) % 16)] = pattern[static_cast<std::size_t>(k)];
        return v;
    };
    reset();
    fx->doBlockCommand(61, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 1), rotated(1));
    fx->doBlockCommand(62, 2, 0, 1);
    fx->doBlockCommand(62, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 1), rotated(-1));
    EXPECT_EQ(side(*fx, 2, 0), other);
    reset();
    fx->doBlockCommand(60, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 1), std::vector<float>(pattern.rbegin(), pattern.rend()));
    reset();
    fx->doBlockCommand(59, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 1)[15], 0.5f);
    EXPECT_EQ(side(*fx, 2, 1)[0], 0.0f);
    fx->doBlockCommand(55, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 0), side(*fx, 2, 1));
    reset();
    fx->doBlockCommand(56, 2, 0, 0);
    EXPECT_EQ(side(*fx, 2, 0), pattern);
    EXPECT_EQ(side(*fx, 2, 1), other);
    fx->doBlockCommand(53, 2, 0, 1);
    EXPECT_EQ(side(*fx, 2, 1), std::vector<float>(16, 1.0f));
    fx->doBlockCommand(52, 2, 0, 0);
    EXPECT_EQ(side(*fx, 2, 0), std::vector<float>(16, 0.0f));
    EXPECT_EQ(side(*fx, 2, 1), std::vector<float>(16, 0.0f));
    fx->doBlockCommand(50, 2, 0, 0);
    for (int e = BLOCK_GATER_FIRST; e <= BLOCK_GATER_LAST; ++e)
        ASSERT_EQ(fx->getParameter(BLOCK_TAGS[2][e]), fx->getDefaultValue(BLOCK_TAGS[2][e])) << e;
    const std::vector<float> v = values(*fx);
    for (int command : {53, 54, 55, 56, 59, 60, 61, 62}) fx->doBlockCommand(command, 2, 0, -1);
    EXPECT_EQ(values(*fx), v) << "a side command needs a side";
}

TEST_F(CommandsTest, ModulationCommandsAndTheirUndo) {
    auto fx = make();
    const std::vector<float> fresh = values(*fx);
    fx->doModCommand(15, -1);  // undo before any snapshot
    fx->doModCommand(2, -1);   // paste before any copy
    EXPECT_EQ(values(*fx), fresh);

    fx->setModVariables(0, false, 0.8f, 1, 20);  // Mod Wheel to destination 20
    fx->setModVariables(2, true, 0.3f, 7, 40);
    EXPECT_EQ(fx->getModSource(0), 1);
    EXPECT_EQ(fx->getModDestination(0), 20);
    EXPECT_TRUE(fx->getModBypass(2));
    fx->setModVariables(0, false, 0.8f, -1, 21);  // the source stays
    EXPECT_EQ(fx->getModSource(0), 1);
    EXPECT_EQ(fx->getModDestination(0), 21);
    const std::vector<float> set = values(*fx);
    fx->setModVariables(4, true, 1.0f, 2, 2);
    fx->setModVariables(-1, true, 1.0f, 2, 2);
    EXPECT_EQ(values(*fx), set);

    fx->doModCommand(1, -1);  // copy, change, paste
    fx->doModCommand(3, -1);
    EXPECT_EQ(fx->getModSource(0), 0);
    fx->doModCommand(2, -1);
    EXPECT_EQ(values(*fx), set);
    fx->doModCommand(3, -1);
    const std::vector<float> cleared = values(*fx);
    fx->doModCommand(2, -1);
    fx->doModCommand(15, -1);  // the paste took its own snapshot
    fx->doModCommand(15, -1);
    EXPECT_EQ(values(*fx), cleared);
    fx->doModCommand(2, -1);

    fx->doModCommand(9, 0);  // slots 1 and 2 as the user counts them trade places
    EXPECT_EQ(fx->getModDestination(1), 21);
    EXPECT_EQ(fx->getModDestination(0), 0);
    const std::vector<float> swapped = values(*fx);
    fx->doModCommand(9, 3);
    fx->doModCommand(13, 4);
    EXPECT_EQ(values(*fx), swapped);
    fx->doModCommand(7, 2);  // slot copy to slot 4
    fx->doModCommand(8, 3);
    EXPECT_EQ(fx->getModSource(3), 7);
    EXPECT_TRUE(fx->getModBypass(3));
    EXPECT_EQ(fx->getParameter(MOD_AMOUNT_TAG[3]), fx->getParameter(MOD_AMOUNT_TAG[2]));
    fx->doModCommand(14, 3);
    EXPECT_FALSE(fx->getModBypass(3));
    fx->doModCommand(5, -1);
    for (int s = 0; s < 4; ++s) EXPECT_TRUE(fx->getModBypass(s));
    fx->doModCommand(11, 2);
    EXPECT_EQ(fx->getParameter(MOD_AMOUNT_TAG[2]), fx->getDefaultValue(MOD_AMOUNT_TAG[2]));
    fx->doModCommand(10, 1);
    EXPECT_EQ(fx->getModDestination(1), 0);

    auto other = make();  // a slot paste before any slot copy empties the slot
    other->setModVariables(1, true, 0.9f, 5, 5);
    other->doModCommand(8, 1);
    for (int32_t p : {MOD_BYPASS_TAG[1], MOD_AMOUNT_TAG[1], MOD_SOURCE_TAG[1], MOD_DESTINATION_TAG[1]})
        EXPECT_EQ(other->getParameter(p), 0.0f);
}

// The pad's MIDI X and Y: learned, typed in and unbound from its menu.
TEST_F(CommandsTest, PadMidiBindings) {
    auto fx = make();
    fx->doBlockCommand(28, 2, -1, -1);
    EXPECT_TRUE(fx->midiMap.learnArmed);
    EXPECT_EQ(fx->midiMap.learnTarget, XY_MIDI_X_TAG[2]);
    answer("300");  // held at 127
    fx->doBlockCommand(31, 2, -1, -1);
    EXPECT_EQ(script.asked.back().title, "Midi CC (0 - 127)");
    EXPECT_EQ(fx->midiMap.ccToParam[127], XY_MIDI_Y_TAG[2]);
    answer("21");  // typed again: the binding moves
    fx->doBlockCommand(31, 2, -1, -1);
    EXPECT_EQ(fx->midiMap.ccToParam[127], 0);
    EXPECT_EQ(getMidiCC(21), XY_MIDI_Y_TAG[2]);
    cancel();
    fx->doBlockCommand(30, 2, -1, -1);
    answer("5");
    fx->doBlockCommand(30, 2, -1, -1);
    EXPECT_EQ(fx->midiMap.ccToParam[5], XY_MIDI_X_TAG[2]);
    fx->doBlockCommand(32, 2, -1, -1);
    for (int c : {5, 21}) {
        EXPECT_EQ(fx->midiMap.ccToParam[c], 0);
        EXPECT_EQ(getMidiCC(c), 0);
    }
}
