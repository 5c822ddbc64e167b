#include "effect/OptionStrings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

struct Table {
    const char* name;
    const char* const* rows;
    int count;
};

#define TABLE(t)         \
    Table {              \
#t, t, t##_COUNT \
    }
const std::vector<Table> ALL_TABLES = {
    TABLE(PATH_STR),
    TABLE(BLOCK_TYPE_STR),
    TABLE(FILTER_MODE_STR),
    TABLE(VOWEL_STR),
    TABLE(COMB_MODE_STR),
    TABLE(SHAPER_MODE_STR),
    TABLE(WAVE_STR),
    TABLE(SHAPER_LOWFI_FILTER_STR),
    TABLE(GRAIN_SYNCED_LENGTH_STRING),
    TABLE(GRAIN_MODE_STR),
    TABLE(DELAY_LEN_STR),
    TABLE(FOLLOWER_SOURCE_STR),
    TABLE(MOD_DESTINATION_STR),
    TABLE(MOD_SOURCE_STR),
    TABLE(MOD_SOURCE_SHORT_STR),
    TABLE(XY_PLAY_MODE_STR),
    TABLE(XY_LOOP_MODE_STR),
    TABLE(XY_SPACE_QUANT_STR),
    TABLE(XY_POINT_QUANT_STR),
    TABLE(XY_SYNC_STR),
    TABLE(XY_SPEED_STR),
    TABLE(XY_SPEED_SHORT_STR),
    TABLE(GATER_STEPS_STR),
    TABLE(GATER_LOOP_STR),
};
#undef TABLE

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

// A missing row would be left null by the fixed-size declaration; an over-long one would not fit
// the value-text buffer.
TEST(OptionStrings, EveryRowIsFilledAndFitsTheValueText) {
    for (const Table& t : ALL_TABLES) {
        for (int i = 0; i < t.count; ++i) {
            ASSERT_NE(t.rows[i], nullptr) << t.name << " row " << i;
            EXPECT_GT(std::strlen(t.rows[i]), 0u) << t.name << " row " << i;
            EXPECT_LE(std::strlen(t.rows[i]), size_t(OPTION_TEXT_MAX_LENGTH)) << t.name << " row " << i;
            const std::string row = t.rows[i];
            EXPECT_TRUE(row.front() != ' ' && row.back() != ' ' && row.find("  ") == std::string::npos)
                << t.name << " row " << i << " \"" << row << "\"";
        }
    }
    EXPECT_STREQ(MOD_SOURCE_STR[58], "Unipolar White Noise");  // the longest row uses the whole limit
}

TEST(OptionStrings, MenuRowsAreDistinct) {
    // The destination table repeats its generic filter rows per Block; every menu is unique.
    for (const Table& t : ALL_TABLES) {
        if (t.rows == MOD_DESTINATION_STR) continue;
        std::set<std::string> seen(t.rows, t.rows + t.count);
        EXPECT_EQ(seen.size(), size_t(t.count)) << t.name;
    }
}

TEST(OptionStrings, ModSourceBlockRowsFollowTheirPattern) {
    const char* blockRows[] = {"Gater Left", "Gater Right", "X", "Polar X", "Y", "Polar Y"};
    const char* shortBlockRows[] = {"Gater L", "Gater R", "X", "Polar X", "Y", "Polar Y"};
    for (int b = 0; b < 3; ++b) {
        const std::string n = std::to_string(b + 1);
        for (int r = 0; r < 6; ++r) {
            EXPECT_EQ(MOD_SOURCE_STR[28 + 6 * b + r], "Block " + n + " " + blockRows[r]);
            EXPECT_EQ(MOD_SOURCE_SHORT_STR[28 + 6 * b + r], "B" + n + " " + shortBlockRows[r]);
        }
        EXPECT_EQ(MOD_SOURCE_STR[48 + 2 * b], "Block " + n + " Out");
        EXPECT_EQ(MOD_SOURCE_STR[49 + 2 * b], "Block " + n + " Unipolar Out");
        EXPECT_EQ(MOD_SOURCE_SHORT_STR[48 + 2 * b], "B" + n + " Out");
        EXPECT_EQ(MOD_SOURCE_SHORT_STR[49 + 2 * b], "B" + n + " Uni Out");
    }
    for (int i = 0; i < 6; ++i) EXPECT_EQ(MOD_SOURCE_STR[10 + i], "CC" + std::to_string(16 + i));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(MOD_SOURCE_STR[16 + i], "CC" + std::to_string(84 + i));
}

TEST(OptionStrings, ShortSourcesAreNeverLongerAndDifferOnlyWhereShortened) {
    int shortened = 0;
    for (int i = 0; i < MOD_SOURCE_STR_COUNT; ++i) {
        EXPECT_LE(std::strlen(MOD_SOURCE_SHORT_STR[i]), std::strlen(MOD_SOURCE_STR[i])) << i;
        shortened += std::strcmp(MOD_SOURCE_SHORT_STR[i], MOD_SOURCE_STR[i]) != 0;
    }
    // Ch After, two note randoms, 18 Block rows, Uni Input, 6 Block outs, Uni Out and two noises.
    EXPECT_EQ(shortened, 1 + 2 + 18 + 1 + 6 + 3);
    EXPECT_STREQ(MOD_SOURCE_SHORT_STR[57], "Noise");
    EXPECT_STREQ(MOD_SOURCE_STR[57], "White Noise");
}

TEST(OptionStrings, DestinationBlockGroupsRepeatBlockOne) {
    for (int b = 1; b < 3; ++b) {
        const std::string n = std::to_string(b + 1);
        for (int k = 0; k < 23; ++k) {
            const std::string expected =
                replaced(replaced(MOD_DESTINATION_STR[4 + k], "B1", "B" + n), "Block 1", "Block " + n);
            EXPECT_EQ(MOD_DESTINATION_STR[4 + 23 * b + k], expected) << "Block " << n << " row " << k;
        }
    }
    EXPECT_STREQ(MOD_DESTINATION_STR[25], "Block 1 XY Speed");
    EXPECT_STREQ(MOD_DESTINATION_STR[73], "Delay Speed");
    EXPECT_STREQ(MOD_DESTINATION_STR[82], "Follower Boost");
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(MOD_DESTINATION_STR[86 + n], "Mod " + std::to_string(n + 1) + " Amount");
}

TEST(OptionStrings, NoteLengthTablesShareOneSequence) {
    // Each power-of-two length comes as triplet, straight, dotted.
    for (int i = 0; i < GRAIN_SYNCED_LENGTH_STRING_COUNT; ++i) {
        const std::string row = GRAIN_SYNCED_LENGTH_STRING[i];
        const char last = row.back();
        EXPECT_EQ(last == 'T', i % 3 == 0) << row;
        EXPECT_EQ(last == '*', i % 3 == 2) << row;
    }
    EXPECT_STREQ(GRAIN_SYNCED_LENGTH_STRING[0], "1/64T");
    EXPECT_STREQ(GRAIN_SYNCED_LENGTH_STRING[20], "1/1*");
    // The delay runs from 1/32T to 1/2*, XY sync from 1/32T on after "Off".
    for (int i = 0; i < DELAY_LEN_STR_COUNT; ++i)
        EXPECT_STREQ(DELAY_LEN_STR[i], GRAIN_SYNCED_LENGTH_STRING[3 + i]);
    EXPECT_STREQ(XY_SYNC_STR[0], "Off");
    for (int i = 1; i <= 18; ++i) EXPECT_STREQ(XY_SYNC_STR[i], GRAIN_SYNCED_LENGTH_STRING[2 + i]);
    for (int i = 1; i < XY_SYNC_STR_COUNT; ++i) {
        const char last = std::string(XY_SYNC_STR[i]).back();
        EXPECT_EQ(last == 'T', i % 3 == 1) << XY_SYNC_STR[i];
        EXPECT_EQ(last == '*', i % 3 == 0) << XY_SYNC_STR[i];
    }
    EXPECT_STREQ(XY_SYNC_STR[30], "16/1*");
}

TEST(OptionStrings, CountedAndSpeedRowsFollowTheirShortForms) {
    char expected[16];
    for (int i = 0; i < GATER_STEPS_STR_COUNT; ++i) {
        std::snprintf(expected, sizeof expected, "%02d Steps", i + 1);
        EXPECT_STREQ(GATER_STEPS_STR[i], expected);
    }
    for (int i = 0; i < XY_SPEED_STR_COUNT; ++i)
        EXPECT_EQ(std::string(XY_SPEED_STR[i]), std::string(XY_SPEED_SHORT_STR[i]) + " bpm");
    EXPECT_STREQ(XY_SPACE_QUANT_STR[0], "Off");
    EXPECT_STREQ(XY_POINT_QUANT_STR[0], "32");
}

TEST(OptionStrings, ModeConstantsPointAtTheirRows) {
    EXPECT_STREQ(FILTER_MODE_STR[FILTER_MODE_FIRST_VOWEL - 1], "HP 36dB");
    EXPECT_STREQ(FILTER_MODE_STR[FILTER_MODE_FIRST_VOWEL], "Vowel");
    EXPECT_STREQ(FILTER_MODE_STR[FILTER_MODE_FIRST_SHELF], "Low Shelf");
    EXPECT_STREQ(FILTER_MODE_STR[FILTER_MODE_STR_COUNT - 1], "Peak Shelf");
    EXPECT_STREQ(SHAPER_MODE_STR[SHAPER_MODE_RING], "Ring Mod");
    EXPECT_STREQ(SHAPER_MODE_STR[SHAPER_MODE_LOWFI], "Low-Fi");
}
