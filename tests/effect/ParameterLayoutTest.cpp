#include "effect/ParameterLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "effect/OptionStrings.h"
#include "tests/effect/NameHelpers.h"

namespace {

struct TagTable {
    const char* suffix;  // the name of entry b is "Block b+1 " + suffix
    const int32_t* tags;
};

// Every per-Block table paired with the name its slots carry: the names and the tables are
// written independently, so a wrong index in either shows up here.
const std::vector<TagTable> BLOCK_TABLES = {
    {"Bypass", BLOCK_BYPASS_TAG},
    {"Filter Pre Distort", FILTER_DISTORT_TAG},
    {"Filter Freq", FILTER_FREQ_TAG},
    {"Filter Q", FILTER_Q_TAG},
    {"Filter Vowel", FILTER_VOWEL_TAG},
    {"Filter Gain", FILTER_GAIN_TAG},
    {"Comb Freq", COMB_FREQ_TAG},
    {"Comb Feed", COMB_FEED_TAG},
    {"Comb Damp", COMB_DAMP_TAG},
    {"Shaper Wave", SHAPER_WAVE_TAG},
    {"Shaper Frequency", SHAPER_FREQ_TAG},
    {"Shaper Amount", SHAPER_AMOUNT_TAG},
    {"Shaper Symmetry", SHAPER_SYM_TAG},
    {"Shaper Envelope", SHAPER_ENV_TAG},
    {"Shaper LowFI Frequency", SHAPER_BP_FREQ_TAG},
    {"Shaper LowFI Q", SHAPER_BP_Q_TAG},
    {"Shaper LowFI Rate", SHAPER_BP_RATE_TAG},
    {"Shaper LowFI Bits", SHAPER_BP_BITS_TAG},
    {"Room Length", ROOM_LENGTH_TAG},
    {"Room Damp", ROOM_DAMP_TAG},
    {"Room HP", ROOM_HP_TAG},
    {"Room Mod", ROOM_MOD_TAG},
    {"Gater Swing", GATER_SWING_TAG},
    {"Gater Smooth", GATER_SMOOTH_TAG},
    {"Type", BLOCK_TYPE_TAG},
    {"Filter Mode", FILTER_MODE_TAG},
    {"Comb Mode", COMB_MODE_TAG},
    {"Shaper Mode", SHAPER_MODE_TAG},
    {"Shaper Low-Fi Filter", SHAPER_LOWFI_FILTER_TAG},
    {"Gater Steps", GATER_STEPS_TAG},
    {"Gater Loop Mode", GATER_LOOP_TAG},
    {"Gater Speed", GATER_SPEED_TAG},
    {"XY Record Mode", XY_RECORD_MODE_TAG},
    {"XY Edit", XY_EDIT_TAG},
    {"XY Speed", XY_SPEED_TAG},
    {"XY Speed Mod Amount", XY_SPEED_MOD_AMOUNT_TAG},
    {"XY Speed Mod Src", XY_SPEED_MOD_SOURCE_TAG},
    {"XY Smooth", XY_SMOOTH_TAG},
    {"XY Play Mode", XY_PLAY_MODE_TAG},
    {"XY Loop", XY_LOOP_MODE_TAG},
    {"XY Sync", XY_SYNC_TAG},
    {"XY Point Quant", XY_POINT_QUANT_TAG},
    {"XY Space Quant", XY_SPACE_QUANT_TAG},
    {"XY Time Quant", XY_TIME_QUANT_TAG},
    {"XY Last X", XY_LAST_X_TAG},
    {"XY Last Y", XY_LAST_Y_TAG},
    {"XY Midi X", XY_MIDI_X_TAG},
    {"XY Midi Y", XY_MIDI_Y_TAG},
    {"XY Len Sec", XY_LEN_SEC_TAG},
    {"XY Len Ms", XY_LEN_MS_TAG},
    {"Comb Random", COMB_RANDOM_TAG},
    {"Grain Write Size", GRAIN_WRITE_SIZE_TAG},
    {"Grain Update Rate", GRAIN_UPDATE_RATE_TAG},
    {"Grain Shape", GRAIN_SHAPE_TAG},
    {"Grain Read Size", GRAIN_READ_SIZE_TAG},
    {"Grain Semi-tune", GRAIN_SEMI_TAG},
    {"Grain Fine-tune", GRAIN_FINE_TAG},
    {"Grain Random", GRAIN_RANDOM_TAG},
    {"Grain Loop Mode", GRAIN_MODE_TAG},
    {"Grain Dry", GRAIN_DRY_TAG},
    {"Grain Link", GRAIN_UNLINK_TAG},
    {"None 1", NONE_1_TAG},
    {"None 2", NONE_2_TAG},
    {"None 3", NONE_3_TAG},
    {"None 4", NONE_4_TAG},
};

const std::vector<TagTable> MOD_TABLES = {
    {"Amount", MOD_AMOUNT_TAG},
    {"Bypass", MOD_BYPASS_TAG},
    {"Source", MOD_SOURCE_TAG},
    {"Destination", MOD_DESTINATION_TAG},
};

std::vector<int> range(int first, int end) {
    std::vector<int> r;
    for (int i = first; i < end; ++i) r.push_back(i);
    return r;
}

}  // namespace

TEST(TagTables, EveryEntryNamesItsOwnBlockOrModSlot) {
    for (const TagTable& t : BLOCK_TABLES)
        for (int b = 0; b < BLOCK_COUNT; ++b)
            EXPECT_EQ(test::name(t.tags[b]), test::blockPrefix(b) + t.suffix) << t.suffix << " Block " << b;
    for (const TagTable& t : MOD_TABLES)
        for (int n = 0; n < MOD_SLOT_COUNT; ++n)
            EXPECT_EQ(test::name(t.tags[n]), "Mod " + std::to_string(n + 1) + " " + t.suffix);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const std::string p = test::blockPrefix(b);
        EXPECT_EQ(test::name(GATER_TAG[b][0]), p + "Gater Left Step 01");
        EXPECT_EQ(test::name(GATER_TAG[b][0] + 15), p + "Gater Left Step 16");
        EXPECT_EQ(test::name(GATER_TAG[b][1]), p + "Gater Right Step 01");
        EXPECT_EQ(test::name(GATER_TAG[b][1] + 15), p + "Gater Right Step 16");
    }
}

TEST(TagTables, SectionTablesAreBasePlusOffset) {
    // The first 24 Block tables are the Block section offsets 0..23, the next 8 the mode section.
    for (int i = 0; i < 24; ++i)
        for (int b = 0; b < BLOCK_COUNT; ++b) EXPECT_EQ(BLOCK_TABLES[i].tags[b], blockParam(b, i));
    for (int i = 0; i < BLOCK_MODE_SIZE; ++i)
        for (int b = 0; b < BLOCK_COUNT; ++b)
            EXPECT_EQ(BLOCK_TABLES[24 + i].tags[b], BLOCK_MODE_START + BLOCK_MODE_SIZE * b + i);
    for (int f = 0; f < XY_SETTINGS_FAMILY_COUNT; ++f)
        for (int b = 0; b < BLOCK_COUNT; ++b)
            EXPECT_EQ(BLOCK_TABLES[32 + f].tags[b], XY_SETTINGS_START + BLOCK_COUNT * f + b);
    for (int i = 0; i < GRAIN_SECTION_SIZE; ++i)
        for (int b = 0; b < BLOCK_COUNT; ++b)
            EXPECT_EQ(BLOCK_TABLES[51 + i].tags[b], GRAIN_SECTION_START + GRAIN_SECTION_SIZE * b + i);
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int side = 0; side < GATER_SIDE_COUNT; ++side)
            EXPECT_EQ(GATER_TAG[b][side], GATER_STEP_START + 32 * b + 16 * side);
    EXPECT_EQ(GATER_STEP_END, 316);
    EXPECT_EQ(GRAIN_LINK_START, 627);
}

TEST(TagTables, TablesCoverTheirFamiliesWithoutGapsOrDuplicates) {
    std::vector<int> all;
    for (const auto* list : {&BLOCK_TABLES, &MOD_TABLES})
        for (const TagTable& t : *list)
            for (int i = 0; i < (list == &MOD_TABLES ? MOD_SLOT_COUNT : BLOCK_COUNT); ++i)
                all.push_back(t.tags[i]);
    const std::set<int> distinct(all.begin(), all.end());
    EXPECT_EQ(distinct.size(), all.size()) << "an index appears in two tables";

    std::set<int> expected;
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int i : range(blockParam(b, 0), blockParam(b, 24))) expected.insert(i);
    for (auto [first, end] :
         {std::pair{122, 126}, {126, 150}, {150, 204}, {204, 216}, {216, 219}, {600, 630}, {780, 792}})
        for (int i : range(first, end)) expected.insert(i);
    EXPECT_EQ(distinct, expected);
}

TEST(TagTables, XYPathsAreSixSeparateRunsOfPoints) {
    std::set<int> points;
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int i = 0; i < XY_PATH_POINTS; ++i) {
            points.insert(XY_X_START[b] + i);
            points.insert(XY_Y_START[b] + i);
        }
    EXPECT_EQ(points.size(), size_t(6 * XY_PATH_POINTS));
    for (int i = 0; i < PARAMETER_COUNT; ++i)
        EXPECT_EQ(slotInfo(i).kind == SlotKind::Point, points.count(i) == 1) << i;
    EXPECT_EQ(*points.begin(), 330);
    EXPECT_EQ(*points.rbegin(), 553);
}

TEST(TagTables, ModulationIndexTablesPointAtTheirRows) {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const std::string p = test::blockPrefix(b);
        EXPECT_EQ(MOD_SOURCE_STR[SOURCE_X[b]], p + "X");
        EXPECT_EQ(MOD_SOURCE_STR[SOURCE_POLAR_X[b]], p + "Polar X");
        EXPECT_EQ(MOD_SOURCE_STR[SOURCE_Y[b]], p + "Y");
        EXPECT_EQ(MOD_SOURCE_STR[SOURCE_POLAR_Y[b]], p + "Polar Y");
        EXPECT_EQ(MOD_DESTINATION_STR[DESTINATION_BLOCK_XY_SPEED[b]], p + "XY Speed");
        EXPECT_EQ(MOD_DESTINATION_STR[DESTINATION_BLOCK_XY_SMOOTH[b]], p + "XY Smooth");
        EXPECT_EQ(DESTINATION_BLOCK_XY_SPEED[b], BLOCK_DESTINATION_START + BLOCK_SLOT_COUNT * b + 21);
    }
    for (int n = 0; n < MOD_SLOT_COUNT; ++n)
        EXPECT_EQ(MOD_DESTINATION_STR[DESTINATION_MOD_AMOUT[n]], "Mod " + std::to_string(n + 1) + " Amount");

    // Group starts: Block groups 23 apart, then the Delay, follower and amount groups, then the end.
    EXPECT_STREQ(MOD_DESTINATION_STR[MOD_DESTINATION_START[0] - 1], "None");
    for (int b = 0; b < BLOCK_COUNT; ++b)
        EXPECT_EQ(MOD_DESTINATION_START[1 + b], BLOCK_DESTINATION_START + BLOCK_SLOT_COUNT * b);
    EXPECT_STREQ(MOD_DESTINATION_STR[MOD_DESTINATION_START[4]], "Delay Speed");
    EXPECT_STREQ(MOD_DESTINATION_STR[MOD_DESTINATION_START[5]], "Follower Boost");
    EXPECT_EQ(MOD_DESTINATION_START[6], MOD_DESTINATION_COUNT);
    EXPECT_TRUE(std::is_sorted(std::begin(MOD_DESTINATION_START), std::end(MOD_DESTINATION_START)));
}

TEST(SlotKinds, ChoiceCountsMatchTheirTables) {
    const std::map<const char* const*, int> tableRows = {
        {PATH_STR, PATH_STR_COUNT},
        {BLOCK_TYPE_STR, BLOCK_TYPE_STR_COUNT},
        {FILTER_MODE_STR, FILTER_MODE_STR_COUNT},
        {COMB_MODE_STR, COMB_MODE_STR_COUNT},
        {SHAPER_MODE_STR, SHAPER_MODE_STR_COUNT},
        {SHAPER_LOWFI_FILTER_STR, SHAPER_LOWFI_FILTER_STR_COUNT},
        {GATER_STEPS_STR, GATER_STEPS_STR_COUNT},
        {GATER_LOOP_STR, GATER_LOOP_STR_COUNT},
        {XY_SPEED_SHORT_STR, XY_SPEED_SHORT_STR_COUNT},
        {MOD_SOURCE_STR, MOD_SOURCE_STR_COUNT},
        {MOD_DESTINATION_STR, MOD_DESTINATION_STR_COUNT},
        {XY_PLAY_MODE_STR, XY_PLAY_MODE_STR_COUNT},
        {XY_LOOP_MODE_STR, XY_LOOP_MODE_STR_COUNT},
        {XY_SYNC_STR, XY_SYNC_STR_COUNT},
        {XY_POINT_QUANT_STR, XY_POINT_QUANT_STR_COUNT},
        {XY_SPACE_QUANT_STR, XY_SPACE_QUANT_STR_COUNT},
        {FOLLOWER_SOURCE_STR, FOLLOWER_SOURCE_STR_COUNT},
        {GRAIN_MODE_STR, GRAIN_MODE_STR_COUNT},
    };
    int choices = 0;
    std::set<const char* const*> used;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        const SlotInfo s = slotInfo(i);
        if (s.kind != SlotKind::Choice) continue;
        ++choices;
        if (s.options == nullptr) {
            EXPECT_EQ(test::name(i).substr(8), "XY Record Mode") << i;  // the one choice without texts
            continue;
        }
        used.insert(s.options);
        ASSERT_TRUE(tableRows.count(s.options)) << "slot " << i << " uses an unknown table";
        EXPECT_EQ(s.count, tableRows.at(s.options)) << test::name(i);
    }
    // Path, 24 mode slots, 3 x 9 XY choices, 4 sources, 4 destinations, 3 grain modes, follower.
    EXPECT_EQ(choices, 1 + 24 + 27 + 4 + 4 + 3 + 1);
    EXPECT_EQ(used.size(), tableRows.size());
}

// Writing option i as (i + 0.1) / scale, clamped into [0, 1] by the store, must read back as i.
TEST(SlotKinds, EveryOptionOfEveryChoiceRoundTrips) {
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        const SlotInfo s = slotInfo(i);
        if (s.kind != SlotKind::Choice) continue;
        for (int option = 0; option < s.count; ++option) {
            const float v = std::min((float(option) + 0.1f) / s.scale, 1.0f);
            const int read = std::clamp(int(v * s.scale + 0.1f), 0, s.count - 1);
            EXPECT_EQ(read, option) << test::name(i) << " option " << option;
        }
    }
    const SlotInfo filterMode = slotInfo(FILTER_MODE_TAG[0]);
    EXPECT_EQ(int(0.9f * filterMode.scale + 0.1f), 36);  // "Peak Shelf"
    EXPECT_EQ(std::clamp(int(1.0f * filterMode.scale + 0.1f), 0, filterMode.count - 1), 36);
}

TEST(SlotKinds, SwitchesAndTheSnappedSubset) {
    // The store snaps exactly these; the gater steps are switches that keep the value written.
    const std::set<int> snapped = {1,   2,   4,   38,  72,  106, 107, 108, 109, 153, 154,
                                   155, 204, 205, 206, 207, 608, 617, 626, 627, 628, 629};
    int switches = 0;
    for (int i = -2; i < PARAMETER_COUNT + 2; ++i) {
        EXPECT_EQ(isOnOffSlot(i), snapped.count(i) == 1) << i;
        switches += slotInfo(i).kind == SlotKind::Switch;
    }
    EXPECT_EQ(switches, int(snapped.size()) + 96);
    for (int i = GATER_STEP_START; i < GATER_STEP_END; ++i) EXPECT_EQ(slotInfo(i).kind, SlotKind::Switch);
}

TEST(SlotKinds, BipolarAmountsAndTheRest) {
    std::set<int> bipolar = {112, 113, 122, 123, 124, 125, 159, 160, 161, 602, 605, 611, 614, 620, 623};
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int k = 0; k < XY_ASSIGN_COUNT; ++k) bipolar.insert(blockParam(b, XY_ASSIGN_OFFSET + k));
    std::map<SlotKind, int> kinds;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        const SlotInfo s = slotInfo(i);
        ++kinds[s.kind];
        EXPECT_EQ(s.bipolar, bipolar.count(i) == 1) << i;
        if (s.bipolar) {
            EXPECT_EQ(s.kind, SlotKind::Continuous) << i;
        }
    }
    EXPECT_EQ(kinds[SlotKind::Character], PROGRAM_NAME_LENGTH);
    EXPECT_EQ(slotInfo(PROGRAM_NAME_START).kind, SlotKind::Character);
    EXPECT_EQ(slotInfo(PROGRAM_NAME_START + PROGRAM_NAME_LENGTH).kind, SlotKind::None);
    for (int i : {0, UNUSED_PARAM, 316, 629 + 1, 779, 792, 799, RELOAD_PRESET_PARAM, -1, PARAMETER_COUNT})
        EXPECT_EQ(slotInfo(i).kind, SlotKind::None) << i;
    // Delay Left/Right and the vowel and wave knobs read as positions, not stored choices.
    for (int i : {DELAY_LEFT_PARAM, DELAY_RIGHT_PARAM, FILTER_VOWEL_TAG[1], SHAPER_WAVE_TAG[2]})
        EXPECT_EQ(slotInfo(i).kind, SlotKind::Continuous) << i;
}
