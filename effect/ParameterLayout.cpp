#include "effect/ParameterLayout.h"

#include "effect/OptionStrings.h"

static_assert(MOD_SOURCE_COUNT == MOD_SOURCE_STR_COUNT && MOD_SOURCE_COUNT == MOD_SOURCE_SHORT_STR_COUNT);
static_assert(MOD_DESTINATION_COUNT == MOD_DESTINATION_STR_COUNT);

namespace {

constexpr SlotInfo none() {
    return {};
}
constexpr SlotInfo toggle() {
    return {SlotKind::Switch};
}
constexpr SlotInfo position() {
    return {SlotKind::Continuous};
}
constexpr SlotInfo amount() {
    return {SlotKind::Continuous, 0.0f, 0, nullptr, true};
}

bool inRange(int index, int first, int end) {
    return index >= first && index < end;
}

SlotInfo blockSectionSlot(int offset) {
    if (offset == BLOCK_BYPASS_OFFSET) return toggle();
    if (offset >= XY_ASSIGN_OFFSET) return amount();
    return position();
}

// The XY settings that are not choices: Edit, Speed Mod Amount, and positions.
SlotInfo xySettingSlot(int family) {
    if (family == 1) return toggle();  // Edit
    if (family == 3) return amount();  // Speed Mod Amount
    return position();                 // Smooth, Last X, Last Y, Midi X, Midi Y, Len Sec, Len Ms
}

SlotInfo grainSlot(int offset) {
    switch (offset) {
        case 2:  // Shape
        case 5:  // Fine-tune
            return amount();
        case 8:  // Dry
            return toggle();
        default:
            return position();
    }
}

}  // namespace

SlotInfo slotInfo(int index) {
    if (index < 0 || index >= PARAMETER_COUNT) return none();
    if (CHOICE_SLOTS[static_cast<std::size_t>(index)].kind == SlotKind::Choice)
        return CHOICE_SLOTS[static_cast<std::size_t>(index)];
    if (index == BYPASS_PARAM || index == TRIGGER_PARAM) return toggle();

    const int blockSectionEnd = BLOCK_SECTION_START + BLOCK_COUNT * BLOCK_SECTION_SIZE;
    if (inRange(index, BLOCK_SECTION_START, blockSectionEnd))
        return blockSectionSlot((index - BLOCK_SECTION_START) % BLOCK_SECTION_SIZE);

    if (inRange(index, DELAY_ON_PARAM, DELAY_LEFT_PARAM)) return toggle();
    if (index == DELAY_FEEDBACK_PARAM || index == DELAY_CROSS_FEEDBACK_PARAM) return amount();
    if (inRange(index, DELAY_LEFT_PARAM, MOD_AMOUNT_TAG[0])) return position();
    if (inRange(index, MOD_AMOUNT_TAG[0], BLOCK_MODE_START)) return amount();

    const int xyEnd = XY_SETTINGS_START + BLOCK_COUNT * XY_SETTINGS_FAMILY_COUNT;
    if (inRange(index, XY_SETTINGS_START, xyEnd))
        return xySettingSlot((index - XY_SETTINGS_START) / BLOCK_COUNT);

    if (inRange(index, MOD_BYPASS_TAG[0], MOD_SOURCE_TAG[0])) return toggle();
    if (inRange(index, COMB_RANDOM_TAG[0], UNUSED_PARAM)) return position();
    if (inRange(index, GATER_STEP_START, GATER_STEP_END)) return toggle();

    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (inRange(index, XY_X_START[b], XY_X_START[b] + XY_PATH_POINTS)) return {SlotKind::Point};
        if (inRange(index, XY_Y_START[b], XY_Y_START[b] + XY_PATH_POINTS)) return {SlotKind::Point};
    }

    if (inRange(index, GRAIN_SECTION_START, GRAIN_LINK_START))
        return grainSlot((index - GRAIN_SECTION_START) % GRAIN_SECTION_SIZE);
    if (inRange(index, GRAIN_LINK_START, GRAIN_LINK_START + BLOCK_COUNT)) return toggle();

    if (inRange(index, NONE_SECTION_START, NAMED_PARAMETER_END)) return position();
    if (inRange(index, PROGRAM_NAME_START, PROGRAM_NAME_START + PROGRAM_NAME_LENGTH))
        return {SlotKind::Character};
    return none();
}

bool isOnOffSlot(int index) {
    return slotInfo(index).kind == SlotKind::Switch && !inRange(index, GATER_STEP_START, GATER_STEP_END);
}
