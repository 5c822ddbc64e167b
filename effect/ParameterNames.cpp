#include "effect/ParameterNames.h"

#include <cstdio>

#include "effect/OptionStrings.h"

namespace {

// ---- Block slot texts ----------------------------------------------------------------------

struct SlotText {
    const char* shortText;
    const char* longText;
    const char* get(bool shortForm) const { return shortForm ? shortText : longText; }
};

// The six variable targets of a type and the three targets its XY axes move ("X > " or
// "Y > " goes in front). A null entry is the filter's mode-dependent text.
struct TypeTexts {
    SlotText variable[6];
    SlotText axis[3];
};

constexpr SlotText same(const char* text) {
    return {text, text};
}

constexpr TypeTexts OFF_TEXTS = {
    {same("None Var 1"), same("None Var 2"), same("None Var 3"), same("None Var 4"), same("None Var 5"),
     same("None Var 6")},
    {same("None 1"), same("None 2"), same("None 3")},
};

constexpr TypeTexts FILTER_TEXTS = {
    {{"Flt Distort", "Filter Pre-Distort"},
     {"Flt Freq", "Filter Freq"},
     {"Flt Freq L", "Filter Freq Left"},
     {"Flt Freq R", "Filter Freq Right"},
     {"Flt Q", "Filter Q"},
     {nullptr, nullptr}},
    {{"Distort", "Filter Pre-Distort"}, {"Freq", "Filter Freq"}, {nullptr, nullptr}},
};

constexpr TypeTexts COMB_TEXTS = {
    {same("Comb Freq"),
     {"Comb Freq L", "Comb Freq Left"},
     {"Comb Freq R", "Comb Freq Right"},
     same("Comb Feed"),
     same("Comb Damp"),
     same("Comb Random")},
    {{"Freq", "Comb Freq"}, {"Feed", "Comb Feed"}, {"Damp", "Comb Damp"}},
};

constexpr TypeTexts SHAPER_RING_TEXTS = {
    {same("Shaper Wave"),
     same("Shaper Freq"),
     {"Shaper Amt", "Shaper Amount"},
     same("Shaper Sym"),
     same("Shaper Rect"),
     same("Shaper Var 6")},
    {{"Wave", "Shaper Wave"}, {"Freq", "Shaper Freq"}, {"Amount", "Shaper Amount"}},
};

constexpr TypeTexts SHAPER_MOD_TEXTS = {
    {same("Shaper Wave"),
     same("Shaper Freq"),
     {"Shaper Amt", "Shaper Amount"},
     {"Shaper Env", "Shaper Envelope"},
     same("Shaper Sym"),
     same("Shaper Var 6")},
    {{"Wave", "Shaper Wave"}, {"Freq", "Shaper Freq"}, {"Amount", "Shaper Amount"}},
};

constexpr TypeTexts SHAPER_LOWFI_TEXTS = {
    {{"LowFi Freq", "Shaper Low-Fi Freq"},
     {"LowFi Q", "Shaper Low-Fi Q"},
     {"LowFi Rate", "Shaper Low-Fi Rate"},
     {"LowFi Bits", "Shaper Bits"},
     same("Shaper Noise"),
     same("Shaper Var 6")},
    {{"Freq", "Shaper Low-Fi Freq"}, {"Q", "Shaper Low-Fi Q"}, {"Rate", "Shaper Low-Fi Rate"}},
};

constexpr TypeTexts ROOM_TEXTS = {
    {same("Room Length"),
     same("Room Damp"),
     same("Room HP"),
     {"Room Mod Amt", "Room Mod Amount"},
     {"Room Mod Spd", "Room Mod Speed"},
     same("Room Var 6")},
    {{"Length", "Room Length"}, {"Damp", "Room Damp"}, {"HP", "Room HP"}},
};

constexpr TypeTexts GATER_TEXTS = {
    {same("Gater Var 1"), same("Gater Var 2"), same("Gater Var 3"), same("Gater Var 4"), same("Gater Var 5"),
     same("Gater Var 6")},
    {{"Left On", "Gater Left On"}, {"Right On", "Gater Right On"}, {"Mix", "Gater Mix"}},
};

constexpr TypeTexts GRAIN_TEXTS = {
    {same("Grain Semi"), same("Grain Fine"), same("Grain Size"), same("Grain Len"), same("Grain Shape"),
     same("Grain Random")},
    {{"Semi", "Grain Semi"}, {"Size", "Grain Size"}, {"Len", "Grain Len"}},
};

// Slots 6..14 and 21..22, indexed by slot - 6 (the gap 15..20 holds the XY targets).
const char* const COMMON_SLOT_TEXT[] = {
    "Gater Speed", "Gater Swing", "Gater Smooth", "Gater On", "Gater Off", "Spread",
    "Pan",         "Volume",      "Mix",          nullptr,    nullptr,     nullptr,
    nullptr,       nullptr,       nullptr,        "XY Speed", "XY Smooth",
};
constexpr int COMMON_SLOT_FIRST = 6;

const TypeTexts* typeTexts(const BlockModes& modes) {
    switch (modes.type) {
        case TYPE_OFF:
            return &OFF_TEXTS;
        case TYPE_FILTER:
            return &FILTER_TEXTS;
        case TYPE_COMB:
            return &COMB_TEXTS;
        case TYPE_SHAPER:
            if (modes.shaperMode == SHAPER_MODE_LOWFI) return &SHAPER_LOWFI_TEXTS;
            if (modes.shaperMode == SHAPER_MODE_RING) return &SHAPER_RING_TEXTS;
            return &SHAPER_MOD_TEXTS;
        case TYPE_ROOM:
            return &ROOM_TEXTS;
        case TYPE_GATER:
            return &GATER_TEXTS;
        case TYPE_GRAIN:
            return &GRAIN_TEXTS;
        default:
            return nullptr;
    }
}

// The filter's sixth target follows its mode: vowel modes move the vowel, shelf modes the gain,
// the others nothing.
SlotText filterVariable(int filterMode) {
    if (filterMode >= FILTER_MODE_FIRST_SHELF) return {"Gain", "Filter Gain"};
    if (filterMode >= FILTER_MODE_FIRST_VOWEL) return {"Vowel", "Filter Vowel"};
    return same("-");
}

void writeText(char* text, const char* a, const char* b = "", const char* c = "") {
    std::snprintf(text, NAME_BUFFER_SIZE, "%s%s%s", a, b, c);
}

// ---- Parameter names -----------------------------------------------------------------------

const char* const BLOCK_PREFIX[BLOCK_COUNT] = {"Block 1 ", "Block 2 ", "Block 3 "};
const char* const BLOCK_SHORT_PREFIX[BLOCK_COUNT] = {"B1 ", "B2 ", "B3 "};
const char* const MOD_PREFIX[MOD_SLOT_COUNT] = {"Mod 1 ", "Mod 2 ", "Mod 3 ", "Mod 4 "};

const char* const GLOBAL_NAME[] = {"", "Bypass", "Trigger", "Path"};

// Block section offsets 0..27; the XY assignments after them are named from the slot names.
const char* const BLOCK_SECTION_SUFFIX[XY_ASSIGN_OFFSET] = {
    "Bypass",
    "Filter Pre Distort",
    "Filter Freq",
    "Filter Q",
    "Filter Vowel",
    "Filter Gain",
    "Comb Freq",
    "Comb Feed",
    "Comb Damp",
    "Shaper Wave",
    "Shaper Frequency",
    "Shaper Amount",
    "Shaper Symmetry",
    "Shaper Envelope",
    "Shaper LowFI Frequency",
    "Shaper LowFI Q",
    "Shaper LowFI Rate",
    "Shaper LowFI Bits",
    "Room Length",
    "Room Damp",
    "Room HP",
    "Room Mod",
    "Gater Swing",
    "Gater Smooth",
    "Spread",
    "Pan",
    "Volume",
    "Mix",
};

// 106..121.
const char* const DELAY_FOLLOWER_NAME[] = {
    "Delay On",        "Delay Mono",      "Delay Tempo Sync",   "Delay Equal Feed",
    "Delay Left",      "Delay Right",     "Delay Feedback",     "Delay Cross Feedback",
    "Delay LP Filter", "Delay HP Filter", "Delay Mix",          "Follower Source",
    "Follower Boost",  "Follower Smooth", "Follower Threshold", "Follower Hold",
};

const char* const BLOCK_MODE_SUFFIX[BLOCK_MODE_SIZE] = {
    "Type",        "Filter Mode",     "Comb Mode",   "Shaper Mode", "Shaper Low-Fi Filter",
    "Gater Steps", "Gater Loop Mode", "Gater Speed",
};

const char* const XY_SETTING_SUFFIX[XY_SETTINGS_FAMILY_COUNT] = {
    "Record Mode", "Edit",   "Speed",  "Speed Mod Amount", "Speed Mod Src", "Smooth",
    "Play Mode",   "Loop",   "Sync",   "Point Quant",      "Space Quant",   "Time Quant",
    "Last X",      "Last Y", "Midi X", "Midi Y",           "Len Sec",       "Len Ms",
};

const char* const GRAIN_SUFFIX[GRAIN_SECTION_SIZE] = {
    "Write Size", "Update Rate", "Shape", "Read Size", "Semi-tune", "Fine-tune", "Random", "Loop Mode", "Dry",
};

bool inRange(int index, int first, int end) {
    return index >= first && index < end;
}

}  // namespace

void blockSlotName(int block, int slot, bool shortForm, const BlockNaming& blocks, char* text) {
    if (!isBlock(block) || slot < 0 || slot >= BLOCK_SLOT_COUNT) {
        writeText(text, "-");
        return;
    }
    const char* prefix = shortForm ? BLOCK_SHORT_PREFIX[block] : BLOCK_PREFIX[block];
    const bool xyTarget = inRange(slot, BLOCK_SLOT_XY_FIRST, BLOCK_SLOT_XY_FIRST + XY_ASSIGN_COUNT);
    if (slot >= COMMON_SLOT_FIRST && !xyTarget) {
        writeText(text, prefix, COMMON_SLOT_TEXT[slot - COMMON_SLOT_FIRST]);
        return;
    }

    const BlockModes& modes = blocks.block[block];
    const TypeTexts* texts = typeTexts(modes);
    if (texts == nullptr) {
        writeText(text, "-");
        return;
    }
    const int axisSlot = slot - BLOCK_SLOT_XY_FIRST;
    SlotText entry = xyTarget ? texts->axis[axisSlot % 3] : texts->variable[slot];
    if (entry.longText == nullptr) entry = filterVariable(modes.filterMode);
    const char* axis = !xyTarget ? "" : (axisSlot < 3 ? "X > " : "Y > ");
    writeText(text, prefix, axis, entry.get(shortForm));
}

void destinationName(int destination, bool shortForm, const BlockNaming& blocks, char* text) {
    if (destination < 0 || destination >= MOD_DESTINATION_COUNT) {
        writeText(text, "-");
        return;
    }
    // Block 3's XY Speed and XY Smooth come from the table as well, so they keep the long
    // "Block 3" form even where Blocks 1 and 2 read "B1"/"B2".
    const int blockEnd = DESTINATION_BLOCK_XY_SPEED[BLOCK_COUNT - 1];
    if (destination < BLOCK_DESTINATION_START || destination >= blockEnd) {
        writeText(text, MOD_DESTINATION_STR[destination]);
        return;
    }
    const int block = (destination - BLOCK_DESTINATION_START) / BLOCK_SLOT_COUNT;
    const int k = (destination - BLOCK_DESTINATION_START) % BLOCK_SLOT_COUNT;
    blockSlotName(block, blockSlotOfDestination(k), shortForm, blocks, text);
}

void parameterName(int index, const BlockNaming& blocks, char* text) {
    char number[8];
    const int blockSectionEnd = BLOCK_SECTION_START + BLOCK_COUNT * BLOCK_SECTION_SIZE;
    const int modeEnd = BLOCK_MODE_START + BLOCK_COUNT * BLOCK_MODE_SIZE;
    const int xyEnd = XY_SETTINGS_START + BLOCK_COUNT * XY_SETTINGS_FAMILY_COUNT;

    if (inRange(index, 0, BLOCK_SECTION_START)) {
        writeText(text, GLOBAL_NAME[index]);
    } else if (inRange(index, BLOCK_SECTION_START, blockSectionEnd)) {
        const int block = (index - BLOCK_SECTION_START) / BLOCK_SECTION_SIZE;
        const int offset = (index - BLOCK_SECTION_START) % BLOCK_SECTION_SIZE;
        if (offset >= XY_ASSIGN_OFFSET)
            blockSlotName(block, BLOCK_SLOT_XY_FIRST + offset - XY_ASSIGN_OFFSET, false, blocks, text);
        else
            writeText(text, BLOCK_PREFIX[block], BLOCK_SECTION_SUFFIX[offset]);
    } else if (inRange(index, DELAY_ON_PARAM, MOD_AMOUNT_TAG[0])) {
        writeText(text, DELAY_FOLLOWER_NAME[index - DELAY_ON_PARAM]);
    } else if (inRange(index, MOD_AMOUNT_TAG[0], BLOCK_MODE_START)) {
        writeText(text, MOD_PREFIX[index - MOD_AMOUNT_TAG[0]], "Amount");
    } else if (inRange(index, BLOCK_MODE_START, modeEnd)) {
        const int block = (index - BLOCK_MODE_START) / BLOCK_MODE_SIZE;
        writeText(text, BLOCK_PREFIX[block], BLOCK_MODE_SUFFIX[(index - BLOCK_MODE_START) % BLOCK_MODE_SIZE]);
    } else if (inRange(index, XY_SETTINGS_START, xyEnd)) {
        const int block = (index - XY_SETTINGS_START) % BLOCK_COUNT;
        writeText(text, BLOCK_PREFIX[block], "XY ",
                  XY_SETTING_SUFFIX[(index - XY_SETTINGS_START) / BLOCK_COUNT]);
    } else if (inRange(index, MOD_BYPASS_TAG[0], MOD_SOURCE_TAG[0])) {
        writeText(text, MOD_PREFIX[index - MOD_BYPASS_TAG[0]], "Bypass");
    } else if (inRange(index, MOD_SOURCE_TAG[0], MOD_DESTINATION_TAG[0])) {
        writeText(text, MOD_PREFIX[index - MOD_SOURCE_TAG[0]], "Source");
    } else if (inRange(index, MOD_DESTINATION_TAG[0], COMB_RANDOM_TAG[0])) {
        writeText(text, MOD_PREFIX[index - MOD_DESTINATION_TAG[0]], "Destination");
    } else if (inRange(index, COMB_RANDOM_TAG[0], UNUSED_PARAM)) {
        writeText(text, BLOCK_PREFIX[index - COMB_RANDOM_TAG[0]], "Comb Random");
    } else if (inRange(index, GATER_STEP_START, GATER_STEP_END)) {
        const int n = index - GATER_STEP_START;
        const int block = n / (GATER_SIDE_COUNT * GATER_STEPS_PER_SIDE);
        const int side = n / GATER_STEPS_PER_SIDE % GATER_SIDE_COUNT;
        std::snprintf(number, sizeof number, "%02d", n % GATER_STEPS_PER_SIDE + 1);
        writeText(text, BLOCK_PREFIX[block], side == 0 ? "Gater Left Step " : "Gater Right Step ", number);
    } else if (inRange(index, GRAIN_SECTION_START, GRAIN_LINK_START)) {
        const int block = (index - GRAIN_SECTION_START) / GRAIN_SECTION_SIZE;
        writeText(text, BLOCK_PREFIX[block], "Grain ",
                  GRAIN_SUFFIX[(index - GRAIN_SECTION_START) % GRAIN_SECTION_SIZE]);
    } else if (inRange(index, GRAIN_LINK_START, GRAIN_LINK_START + BLOCK_COUNT)) {
        writeText(text, BLOCK_PREFIX[index - GRAIN_LINK_START], "Grain Link");
    } else if (inRange(index, NONE_SECTION_START, NAMED_PARAMETER_END)) {
        const int n = index - NONE_SECTION_START;
        std::snprintf(number, sizeof number, "%d", n % NONE_SLOTS_PER_BLOCK + 1);
        writeText(text, BLOCK_PREFIX[n / NONE_SLOTS_PER_BLOCK], "None ", number);
    } else {
        text[0] = '\0';
    }
}
