#include "effect/ParameterNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "effect/OptionStrings.h"
#include "tests/effect/NameHelpers.h"

using test::allBlocks;
using test::destination;
using test::name;
using test::slotName;

namespace {

// Every combination of type and the modes that names depend on, for all three Blocks at once.
std::vector<BlockNaming> everyNaming() {
    std::vector<BlockNaming> all;
    for (int type = 0; type < BLOCK_TYPE_STR_COUNT; ++type)
        for (int filter = 0; filter < FILTER_MODE_STR_COUNT; ++filter)
            for (int shaper = 0; shaper < SHAPER_MODE_STR_COUNT; ++shaper)
                all.push_back(allBlocks(type, filter, shaper));
    return all;
}

bool expectedNamed(int i) {
    return (i >= 1 && i <= 218) || (i >= 220 && i <= 315) || (i >= 600 && i <= 629) || (i >= 780 && i <= 791);
}

}  // namespace

TEST(ParameterNames, ExactlyTheNamedSlotsCarryDistinctNames) {
    for (const BlockNaming& naming : {allBlocks(0), allBlocks(1, 0), allBlocks(1, 35), allBlocks(3, 0, 5)}) {
        std::set<std::string> names;
        int named = 0;
        for (int i = 0; i < PARAMETER_COUNT; ++i) {
            const std::string n = name(i, naming);
            EXPECT_EQ(!n.empty(), expectedNamed(i)) << i << " \"" << n << "\"";
            if (n.empty()) continue;
            ++named;
            names.insert(n);
            EXPECT_NE(slotInfo(i).kind, SlotKind::None) << n;
            EXPECT_NE(slotInfo(i).kind, SlotKind::Point) << n;
        }
        EXPECT_EQ(named, 356);
        EXPECT_EQ(names.size(), 356u) << "two slots share a name";
    }
}

TEST(ParameterNames, UnnamedAndOutOfRangeIndicesGiveTheEmptyString) {
    for (int i : {0, 219, 330, 458, 553, 800, 1023, 1024, 5000, -1}) {
        char text[128];
        std::memset(text, 'Z', sizeof text);
        parameterName(i, allBlocks(1), text);
        EXPECT_STREQ(text, "") << i;
    }
}

TEST(ParameterNames, NeverLongerThanThirtyAndNeverWritePastTheName) {
    size_t longest = 0;
    for (const BlockNaming& naming : everyNaming()) {
        for (int i = 0; i < NAMED_PARAMETER_END; ++i) {
            char text[128];
            std::memset(text, 'Z', sizeof text);
            parameterName(i, naming, text);
            const size_t length = std::strlen(text);
            longest = std::max(longest, length);
            ASSERT_LE(length, size_t(NAME_MAX_LENGTH)) << text;
            ASSERT_EQ(std::string(text).find("  "), std::string::npos) << text;
            if (length > 0) {
                ASSERT_NE(text[length - 1], ' ') << text;
            }
            for (size_t j = length + 1; j < sizeof text; ++j) ASSERT_EQ(text[j], 'Z') << i;
        }
    }
    EXPECT_EQ(longest, size_t(NAME_MAX_LENGTH));
    EXPECT_EQ(name(SHAPER_BP_FREQ_TAG[0]), "Block 1 Shaper LowFI Frequency");
    EXPECT_EQ(name(32, allBlocks(1)), "Block 1 X > Filter Pre-Distort");
}

TEST(ParameterNames, FixedNamesAtTheSectionEdges) {
    EXPECT_EQ(name(1), "Bypass");
    EXPECT_EQ(name(3), "Path");
    EXPECT_EQ(name(4), "Block 1 Bypass");
    EXPECT_EQ(name(31), "Block 1 Mix");
    EXPECT_EQ(name(106), "Delay On");
    EXPECT_EQ(name(121), "Follower Hold");
    EXPECT_EQ(name(122), "Mod 1 Amount");
    EXPECT_EQ(name(212), "Mod 1 Destination");
    EXPECT_EQ(name(218), "Block 3 Comb Random");
    EXPECT_EQ(name(235), "Block 1 Gater Left Step 16");
    EXPECT_EQ(name(236), "Block 1 Gater Right Step 01");
    EXPECT_EQ(name(315), "Block 3 Gater Right Step 16");
    EXPECT_EQ(name(626), "Block 3 Grain Dry");
    EXPECT_EQ(name(627), "Block 1 Grain Link");
    EXPECT_EQ(name(780), "Block 1 None 1");
    EXPECT_EQ(name(791), "Block 3 None 4");
}

TEST(ParameterNames, XYAssignmentsFollowTheBlockType) {
    BlockNaming naming = allBlocks(1);
    EXPECT_EQ(name(32, naming), "Block 1 X > Filter Pre-Distort");
    naming.block[0].type = 4;
    EXPECT_EQ(name(32, naming), "Block 1 X > Room Length");
    EXPECT_EQ(name(66, naming), "Block 2 X > Filter Pre-Distort") << "only Block 1 changed";
    naming.block[0].type = 0;
    EXPECT_EQ(name(32, naming), "Block 1 X > None 1");
    naming.block[2] = {1, 34, 0};
    EXPECT_EQ(name(105, naming), "Block 3 Y > Filter Gain");

    // For every type, X1..X3 and Y1..Y3 move the same three targets.
    for (const BlockNaming& n : everyNaming())
        for (int b = 0; b < BLOCK_COUNT; ++b)
            for (int k = 0; k < 3; ++k) {
                const std::string x = name(blockParam(b, XY_ASSIGN_OFFSET + k), n);
                const std::string y = name(blockParam(b, XY_ASSIGN_OFFSET + 3 + k), n);
                ASSERT_EQ(x.substr(0, 12), test::blockPrefix(b) + "X > ");
                ASSERT_EQ(y.substr(0, 12), test::blockPrefix(b) + "Y > ");
                ASSERT_EQ(x.substr(12), y.substr(12));
            }
}

TEST(BlockSlotNames, CommonSlotsIgnoreTheTypeAndFormsNest) {
    const BlockNaming filter = allBlocks(1);
    for (const BlockNaming& n : everyNaming())
        for (int b = 0; b < BLOCK_COUNT; ++b)
            for (int slot = 0; slot < BLOCK_SLOT_COUNT; ++slot) {
                const std::string full = slotName(b, slot, false, n);
                const std::string brief = slotName(b, slot, true, n);
                ASSERT_LE(brief.size(), full.size()) << full;
                ASSERT_LE(brief.size(), 15u) << brief << ": too wide for a matrix cell";
                ASSERT_LE(full.size(), size_t(NAME_MAX_LENGTH)) << full;
                ASSERT_EQ(brief.substr(0, 3), "B" + std::to_string(b + 1) + " ");
                const bool common = (slot >= 6 && slot <= 14) || slot >= 21;
                if (common) {
                    ASSERT_EQ(full, slotName(b, slot, false, filter));
                }
            }
    EXPECT_EQ(slotName(0, 9, false, filter), "Block 1 Gater On");
    EXPECT_EQ(slotName(2, 22, true, filter), "B3 XY Smooth");
}

TEST(BlockSlotNames, NamesWithinABlockAreDistinct) {
    for (const BlockNaming& n : everyNaming())
        for (bool shortForm : {false, true}) {
            std::set<std::string> seen;
            for (int slot = 0; slot < BLOCK_SLOT_COUNT; ++slot) seen.insert(slotName(1, slot, shortForm, n));
            ASSERT_EQ(seen.size(), size_t(BLOCK_SLOT_COUNT))
                << "type " << n.block[1].type << " filter " << n.block[1].filterMode << " shaper "
                << n.block[1].shaperMode << (shortForm ? " short" : " long");
        }
}

TEST(BlockSlotNames, FilterAndShaperTextsFollowTheirModes) {
    // The filter's sixth target: nothing up to HP 36dB, the vowel in vowel modes, the gain in shelves.
    EXPECT_EQ(slotName(0, 5, false, allBlocks(1, 30)), "Block 1 -");
    EXPECT_EQ(slotName(0, 5, false, allBlocks(1, 31)), "Block 1 Filter Vowel");
    EXPECT_EQ(slotName(0, 5, false, allBlocks(1, 33)), "Block 1 Filter Vowel");
    EXPECT_EQ(slotName(0, 5, false, allBlocks(1, 34)), "Block 1 Filter Gain");
    EXPECT_EQ(slotName(0, 5, true, allBlocks(1, 36)), "B1 Gain");
    EXPECT_EQ(slotName(0, 17, false, allBlocks(1, 34)), "Block 1 X > Filter Gain");
    EXPECT_EQ(slotName(0, 20, true, allBlocks(1, 32)), "B1 Y > Vowel");

    EXPECT_EQ(slotName(1, 3, false, allBlocks(3, 0, 5)), "Block 2 Shaper Bits");
    EXPECT_EQ(slotName(1, 3, true, allBlocks(3, 0, 5)), "B2 LowFi Bits");
    EXPECT_EQ(slotName(1, 3, false, allBlocks(3, 0, 0)), "Block 2 Shaper Sym");
    EXPECT_EQ(slotName(1, 3, true, allBlocks(3, 0, 2)), "B2 Shaper Env");
    EXPECT_EQ(slotName(1, 3, false, allBlocks(3, 0, 2)), "Block 2 Shaper Envelope");
    EXPECT_EQ(slotName(1, 4, false, allBlocks(3, 0, 0)), "Block 2 Shaper Rect");
    EXPECT_EQ(slotName(1, 4, false, allBlocks(3, 0, 4)), "Block 2 Shaper Sym");
    EXPECT_EQ(slotName(1, 15, false, allBlocks(3, 0, 5)), "Block 2 X > Shaper Low-Fi Freq");
    EXPECT_EQ(slotName(1, 16, true, allBlocks(3, 0, 5)), "B2 X > Q");
    // Modes only matter for their own type.
    EXPECT_EQ(slotName(0, 5, false, allBlocks(2, 34, 5)), "Block 1 Comb Random");
}

TEST(BlockSlotNames, UnknownSlotBlockOrTypeGivesABareDash) {
    for (auto [block, slot, type] :
         {std::tuple{0, 23, 1}, {0, -1, 1}, {3, 0, 1}, {-1, 6, 1}, {0, 0, 7}, {0, 15, -1}})
        for (bool shortForm : {false, true})
            EXPECT_EQ(slotName(block, slot, shortForm, allBlocks(type)), "-");
    EXPECT_EQ(slotName(0, 6, false, allBlocks(7)), "Block 1 Gater Speed") << "common slots need no type";
}

TEST(DestinationNames, DestinationOrderSwapsGaterAndMixSlots) {
    const BlockNaming filter = allBlocks(1);
    EXPECT_EQ(destination(13, false, filter), "Block 1 Gater Off");
    EXPECT_EQ(destination(14, false, filter), "Block 1 Gater On");
    EXPECT_EQ(destination(17, false, filter), "Block 1 Mix");
    EXPECT_EQ(destination(18, false, filter), "Block 1 Volume");
    // The generic table is in destination order: the resolved short names of the common rows
    // must read the same (the table abbreviates only Volume as "Vol").
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        for (int k = 6; k <= 13; ++k) {
            const int d = BLOCK_DESTINATION_START + BLOCK_SLOT_COUNT * b + k;
            EXPECT_EQ(destination(d, true, filter), MOD_DESTINATION_STR[d]) << d;
        }
        EXPECT_EQ(destination(DESTINATION_BLOCK_XY_SPEED[b], false, filter),
                  MOD_DESTINATION_STR[DESTINATION_BLOCK_XY_SPEED[b]]);
        EXPECT_EQ(destination(DESTINATION_BLOCK_XY_SMOOTH[b], false, filter),
                  MOD_DESTINATION_STR[DESTINATION_BLOCK_XY_SMOOTH[b]]);
    }
    for (int k = 0; k < BLOCK_SLOT_COUNT; ++k)
        EXPECT_EQ(blockSlotOfDestination(blockSlotOfDestination(k)), k);
}

TEST(DestinationNames, TypeDependentRows) {
    EXPECT_EQ(destination(4, false, allBlocks(1, 1)), "Block 1 Filter Pre-Distort");
    EXPECT_EQ(destination(9, false, allBlocks(1, 1)), "Block 1 -");
    EXPECT_EQ(destination(9, false, allBlocks(1, 32)), "Block 1 Filter Vowel");
    EXPECT_EQ(destination(9, false, allBlocks(1, 36)), "Block 1 Filter Gain");
    EXPECT_EQ(destination(9, true, allBlocks(1, 36)), "B1 Gain");
    EXPECT_EQ(destination(21, false, allBlocks(1, 34)), "Block 1 X > Filter Gain");
    EXPECT_EQ(destination(21, true, allBlocks(1, 34)), "B1 X > Gain");
    EXPECT_EQ(destination(30, false, allBlocks(3, 0, 5)), "Block 2 Shaper Bits");
    EXPECT_EQ(destination(30, true, allBlocks(3, 0, 5)), "B2 LowFi Bits");
    EXPECT_EQ(destination(30, false, allBlocks(3, 0, 0)), "Block 2 Shaper Sym");
    EXPECT_EQ(destination(4, false, allBlocks(0)), "Block 1 None Var 1");
    EXPECT_EQ(destination(19, false, allBlocks(0)), "Block 1 X > None 1");
    EXPECT_EQ(destination(50, false, allBlocks(6)), "Block 3 Grain Semi");
}

TEST(DestinationNames, NonBlockRowsComeFromTheTableInBothForms) {
    for (const BlockNaming& n : {allBlocks(0), allBlocks(3, 0, 5)})
        for (int d = 0; d < MOD_DESTINATION_COUNT; ++d) {
            const bool fromTable = d < 4 || d >= DESTINATION_BLOCK_XY_SPEED[2];
            if (!fromTable) continue;
            EXPECT_EQ(destination(d, false, n), MOD_DESTINATION_STR[d]) << d;
            EXPECT_EQ(destination(d, true, n), MOD_DESTINATION_STR[d]) << d;
        }
    // Block 3's XY rows keep the long form; Blocks 1 and 2 shorten theirs.
    EXPECT_EQ(destination(71, true, allBlocks(1)), "Block 3 XY Speed");
    EXPECT_EQ(destination(48, true, allBlocks(1)), "B2 XY Speed");
    EXPECT_EQ(destination(26, true, allBlocks(1)), "B1 XY Smooth");
    EXPECT_EQ(destination(73, true, allBlocks(1)), "Delay Speed");
    EXPECT_EQ(destination(86, false, allBlocks(1)), "Mod 1 Amount");
    EXPECT_EQ(destination(-1, false, allBlocks(1)), "-");
    EXPECT_EQ(destination(90, true, allBlocks(1)), "-");
}
