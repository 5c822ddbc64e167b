#include "effect/ParameterLayout.h"

#include "effect/OptionStrings.h"

static_assert(MOD_SOURCE_COUNT == MOD_SOURCE_STR_COUNT);
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
constexpr SlotInfo choice(float scale, int count, const char* const* options) {
    return {SlotKind::Choice, scale, count, options};
}

bool inRange(int index, int first, int end) {
    return index >= first && index < end;
}

SlotInfo blockSectionSlot(int offset) {
    if (offset == BLOCK_BYPASS_OFFSET) return toggle();
    if (offset >= XY_ASSIGN_OFFSET) return amount();
    return position();
}

SlotInfo blockModeSlot(int offset) {
    static const SlotInfo modes[BLOCK_MODE_SIZE] = {
        choice(6.99f, 7, BLOCK_TYPE_STR),         choice(40.0f, 37, FILTER_MODE_STR),
        choice(9.99f, 2, COMB_MODE_STR),          choice(9.0f, 6, SHAPER_MODE_STR),
        choice(4.0f, 4, SHAPER_LOWFI_FILTER_STR), choice(15.0f, 16, GATER_STEPS_STR),
        choice(2.0f, 3, GATER_LOOP_STR),          choice(16.0f, 17, XY_SPEED_SHORT_STR),
    };
    return modes[offset];
}

SlotInfo xySettingSlot(int family) {
    static const SlotInfo families[XY_SETTINGS_FAMILY_COUNT] = {
        choice(2.99f, 3, nullptr),              // Record Mode: live, record, replay
        toggle(),                               // Edit
        choice(16.0f, 17, XY_SPEED_SHORT_STR),  // Speed
        amount(),                               // Speed Mod Amount
        choice(99.99f, 59, MOD_SOURCE_STR),     // Speed Mod Src
        position(),                             // Smooth
        choice(9.99f, 4, XY_PLAY_MODE_STR),     // Play Mode
        choice(2.99f, 3, XY_LOOP_MODE_STR),     // Loop
        choice(30.99f, 31, XY_SYNC_STR),        // Sync
        choice(4.99f, 5, XY_POINT_QUANT_STR),   // Point Quant
        choice(4.99f, 5, XY_SPACE_QUANT_STR),   // Space Quant
        choice(30.99f, 31, XY_SYNC_STR),        // Time Quant
        position(),
        position(),
        position(),
        position(),  // Last X, Last Y, Midi X, Midi Y
        position(),
        position(),  // Len Sec, Len Ms
    };
    return families[family];
}

SlotInfo grainSlot(int offset) {
    switch (offset) {
        case 2:  // Shape
        case 5:  // Fine-tune
            return amount();
        case 7:
            return choice(5.99f, 6, GRAIN_MODE_STR);
        case 8:  // Dry
            return toggle();
        default:
            return position();
    }
}

}  // namespace

SlotInfo slotInfo(int index) {
    if (index == BYPASS_PARAM || index == TRIGGER_PARAM) return toggle();
    if (index == PATH_PARAM) return choice(5.99f, 6, PATH_STR);

    const int blockSectionEnd = BLOCK_SECTION_START + BLOCK_COUNT * BLOCK_SECTION_SIZE;
    if (inRange(index, BLOCK_SECTION_START, blockSectionEnd))
        return blockSectionSlot((index - BLOCK_SECTION_START) % BLOCK_SECTION_SIZE);

    if (inRange(index, DELAY_ON_PARAM, DELAY_LEFT_PARAM)) return toggle();
    if (index == DELAY_FEEDBACK_PARAM || index == DELAY_CROSS_FEEDBACK_PARAM) return amount();
    if (index == FOLLOWER_SOURCE_PARAM) return choice(4.9f, 5, FOLLOWER_SOURCE_STR);
    if (inRange(index, DELAY_LEFT_PARAM, MOD_AMOUNT_TAG[0])) return position();
    if (inRange(index, MOD_AMOUNT_TAG[0], BLOCK_MODE_START)) return amount();

    const int modeEnd = BLOCK_MODE_START + BLOCK_COUNT * BLOCK_MODE_SIZE;
    if (inRange(index, BLOCK_MODE_START, modeEnd))
        return blockModeSlot((index - BLOCK_MODE_START) % BLOCK_MODE_SIZE);

    const int xyEnd = XY_SETTINGS_START + BLOCK_COUNT * XY_SETTINGS_FAMILY_COUNT;
    if (inRange(index, XY_SETTINGS_START, xyEnd))
        return xySettingSlot((index - XY_SETTINGS_START) / BLOCK_COUNT);

    if (inRange(index, MOD_BYPASS_TAG[0], MOD_SOURCE_TAG[0])) return toggle();
    if (inRange(index, MOD_SOURCE_TAG[0], MOD_DESTINATION_TAG[0])) return choice(99.99f, 59, MOD_SOURCE_STR);
    if (inRange(index, MOD_DESTINATION_TAG[0], COMB_RANDOM_TAG[0]))
        return choice(99.9f, 90, MOD_DESTINATION_STR);
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
