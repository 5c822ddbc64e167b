// Parameter, Block slot and destination names.

#include "effect/ParameterNames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "effect/OptionStrings.h"

namespace {

BlockNaming allBlocks(int type, int filterMode = 0, int shaperMode = 0) {
    BlockNaming naming;
    for (BlockModes& m : naming.block) m = {type, filterMode, shaperMode};
    return naming;
}

std::string name(int index, const BlockNaming& blocks = allBlocks(1)) {
    char text[128];
    parameterName(index, blocks, text);
    return text;
}

std::string slotName(int block, int slot, bool shortForm, const BlockNaming& blocks) {
    char text[NAME_BUFFER_SIZE];
    blockSlotName(block, slot, shortForm, blocks, text);
    return text;
}

std::string destination(int d, bool shortForm, const BlockNaming& blocks = allBlocks(1)) {
    char text[NAME_BUFFER_SIZE];
    destinationName(d, shortForm, blocks, text);
    return text;
}

// Every combination of type and the modes that names depend on, for all three Blocks at once.
std::vector<BlockNaming> everyNaming() {
    std::vector<BlockNaming> all;
    for (int type = 0; type < BLOCK_TYPE_STR_COUNT; ++type)
        for (int filter = 0; filter < FILTER_MODE_STR_COUNT; ++filter)
            for (int shaper = 0; shaper < SHAPER_MODE_STR_COUNT; ++shaper) all.push_back(allBlocks(type, filter, shaper));
    return all;
}

}  // namespace

// Hosts find parameters by name: the 356 named slots (the host's listing counts them) never
// share one, whatever the Blocks' types and modes.
TEST(ParameterNames, NamedSlotsCarryDistinctNames) {
    for (const BlockNaming& naming : {allBlocks(0), allBlocks(1, 35), allBlocks(3, 0, 5), allBlocks(6)}) {
        std::set<std::string> names;
        int named = 0;
        for (int i = -1; i <= PARAMETER_COUNT; ++i) {
            const std::string n = name(i, naming);
            named += !n.empty();
            if (!n.empty()) names.insert(n);
        }
        EXPECT_EQ(named, 356);
        EXPECT_EQ(names.size(), 356u) << "two slots share a name";
    }
}

// Hosts show 30 characters and a matrix cell 15; nothing may be written past the terminator.
TEST(ParameterNames, NeverLongerThanTheirDisplaysAndNeverWritePastTheName) {
    size_t longest = 0;
    for (const BlockNaming& naming : everyNaming()) {
        for (int i = 0; i < NAMED_PARAMETER_END; ++i) {
            char text[128];
            std::memset(text, 'Z', sizeof text);
            parameterName(i, naming, text);
            const size_t length = std::strlen(text);
            longest = std::max(longest, length);
            ASSERT_LE(length, size_t(NAME_MAX_LENGTH)) << text;
            for (size_t j = length + 1; j < sizeof text; ++j) ASSERT_EQ(text[j], 'Z') << i;
        }
        for (int b = 0; b < BLOCK_COUNT; ++b)
            for (int slot = 0; slot < BLOCK_SLOT_COUNT; ++slot)
                ASSERT_LE(slotName(b, slot, true, naming).size(), 15u) << slotName(b, slot, true, naming);
    }
    EXPECT_EQ(longest, size_t(NAME_MAX_LENGTH));
    EXPECT_EQ(name(SHAPER_BP_FREQ_TAG[0]), "Block 1 Shaper LowFI Frequency");
}

TEST(ParameterNames, NamesFollowTheBlockTypeAndMode) {
    BlockNaming mixed = allBlocks(1);
    mixed.block[0].type = 4;
    const std::pair<std::string, const char*> cases[] = {
        {name(32, mixed), "Block 1 X > Room Length"},
        {name(66, mixed), "Block 2 X > Filter Pre-Distort"},  // only Block 1 changed
        {name(32, allBlocks(0)), "Block 1 X > None 1"},
        {slotName(0, 5, false, allBlocks(1, 30)), "Block 1 -"},  // up to HP 36dB nothing
        {slotName(0, 5, false, allBlocks(1, 31)), "Block 1 Filter Vowel"},
        {slotName(1, 3, false, allBlocks(3, 0, 5)), "Block 2 Shaper Bits"},
        {slotName(0, 5, false, allBlocks(2, 34, 5)), "Block 1 Comb Random"},  // modes matter for their type only
        {slotName(0, 23, false, allBlocks(1)), "-"},
        {destination(13, false), "Block 1 Gater Off"},  // destinations swap the gater and mix slots
        {destination(21, true, allBlocks(1, 34)), "B1 X > Gain"},
        {destination(50, false, allBlocks(6)), "Block 3 Grain Semi"},
        {destination(90, true), "-"},
    };
    for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}
