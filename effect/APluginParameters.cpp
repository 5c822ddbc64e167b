// The parameter store: value arrays, per-parameter attributes, setParameter/getParameter with
// change tracking, and the small value operations and typed reads built on them.

#include "effect/APlugin.h"

#include "effect/ParameterDefaults.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float CHANGE_THRESHOLD = 0.00001f;

bool isParameter(int index) {
    return index >= 0 && index < PARAMETER_COUNT;
}
bool isModSlot(int slot) {
    return slot >= 0 && slot < MOD_SLOT_COUNT;
}

// The Block destination (offset from the Block's destination base) that the engine adds to each
// Block-section parameter, so a knob's modulation moves what the knob moves and is named after it.
constexpr int NO_DESTINATION = -1;
constexpr int BLOCK_OFFSET_SLOT[BLOCK_SECTION_SIZE] = {
    // Bypass (none); Filter Pre Distort, Freq, Q, Vowel, Gain; Comb Freq, Feed, Damp; Shaper
    // Wave, Frequency, Amount, Symmetry, Envelope; Shaper LowFI Frequency, Q, Rate, Bits; Room
    // Length, Damp, HP, Mod; Gater Swing, Smooth; Spread, Pan, Volume, Mix; the six XY amounts.
    -1, 0, 1, 4, 5, 5, 0, 3,  4,  0,  1,  2,  3,  3,  0,  1,  2,
    3,  0, 1, 2, 3, 7, 8, 11, 12, 14, 13, 15, 16, 17, 18, 19, 20,
};
constexpr int COMB_RANDOM_SLOT = 5;
// Grain section offset -> slot: Write Size 2, Update Rate none, Shape 4, Read Size 3,
// Semi-tune 0, Fine-tune 1, Random 5, Loop Mode and Dry none.
constexpr int GRAIN_OFFSET_SLOT[GRAIN_SECTION_SIZE] = {
    2, NO_DESTINATION, 4, 3, 0, 1, 5, NO_DESTINATION, NO_DESTINATION};

constexpr int BLOCK_ZERO_OFFSETS[] = {FILTER_FREQ_OFFSET, COMB_FREQ_OFFSET,     COMB_FEED_OFFSET,
                                      SHAPER_FREQ_OFFSET, SHAPER_AMOUNT_OFFSET, SHAPER_BP_FREQ_OFFSET,
                                      ROOM_MOD_OFFSET,    BLOCK_VOLUME_OFFSET};

}  // namespace

void APlugin::initParameterStore() {
    fillDefaultParameterValues(defaultValues);

    std::copy(std::begin(defaultValues), std::end(defaultValues), std::begin(zeroValues));
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int offset : BLOCK_ZERO_OFFSETS) zeroValues[blockParam(b, offset)] = 0.0f;
    for (int index : {DELAY_LEFT_PARAM, DELAY_RIGHT_PARAM, DELAY_LP_PARAM}) zeroValues[index] = 0.0f;

    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        isOnOff[i] = isOnOffSlot(i) ? 1 : 0;
        // The XY pad's live and MIDI positions move all the time, and the name and spare slots
        // are not part of the sound: none of them marks the program edited.
        const bool xyPosition = i >= XY_LAST_X_TAG[0] && i <= XY_MIDI_Y_TAG[BLOCK_COUNT - 1];
        countsForEditChanged[i] = xyPosition || i >= NONE_SECTION_START ? 0 : 1;
    }

    std::fill(std::begin(paramModDestination), std::end(paramModDestination), NO_DESTINATION);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int base = destinationBase(b);
        for (int offset = 0; offset < BLOCK_SECTION_SIZE; ++offset) {
            const int slot = BLOCK_OFFSET_SLOT[offset];
            if (slot == NO_DESTINATION) continue;
            paramModDestination[blockParam(b, offset)] = base + slot;
        }
        paramModDestination[XY_SPEED_TAG[b]] = DESTINATION_BLOCK_XY_SPEED[b];
        paramModDestination[XY_SMOOTH_TAG[b]] = DESTINATION_BLOCK_XY_SMOOTH[b];
        paramModDestination[COMB_RANDOM_TAG[b]] = base + COMB_RANDOM_SLOT;
        for (int k = 0; k < GRAIN_SECTION_SIZE; ++k)
            if (GRAIN_OFFSET_SLOT[k] != NO_DESTINATION)
                paramModDestination[GRAIN_SECTION_START + GRAIN_SECTION_SIZE * b + k] =
                    base + GRAIN_OFFSET_SLOT[k];
    }
    constexpr int DELAY_AND_FOLLOWER[][2] = {{DELAY_LEFT_PARAM, DESTINATION_DELAY_LEFT},
                                             {DELAY_RIGHT_PARAM, DESTINATION_DELAY_RIGHT},
                                             {DELAY_FEEDBACK_PARAM, DESTINATION_DELAY_FEEDBACK},
                                             {DELAY_CROSS_FEEDBACK_PARAM, DESTINATION_DELAY_CROSS_FEEDBACK},
                                             {DELAY_LP_PARAM, DESTINATION_DELAY_LP},
                                             {DELAY_HP_PARAM, DESTINATION_DELAY_HP},
                                             {DELAY_MIX_PARAM, DESTINATION_DELAY_MIX},
                                             {FOLLOWER_BOOST_PARAM, DESTINATION_FOLLOWER_BOOST},
                                             {FOLLOWER_SMOOTH_PARAM, DESTINATION_FOLLOWER_SMOOTH},
                                             {FOLLOWER_THRESHOLD_PARAM, DESTINATION_FOLLOWER_THRESHOLD},
                                             {FOLLOWER_HOLD_PARAM, DESTINATION_FOLLOWER_HOLD}};
    for (const auto& [index, destination] : DELAY_AND_FOLLOWER) paramModDestination[index] = destination;
    for (int n = 0; n < MOD_SLOT_COUNT; ++n)
        paramModDestination[MOD_AMOUNT_TAG[n]] = DESTINATION_MOD_AMOUT[n];
}

void APlugin::initModDestinationTables() {
    std::fill(std::begin(modCombineKind), std::end(modCombineKind), 0);
    std::fill(std::begin(modBaseValues), std::end(modBaseValues), 0.0f);
    // Volumes and the follower boost scale; gater, XY and delay speeds act exponentially.
    auto combine = [this](int d, int kind) {
        modCombineKind[d] = kind;
        modBaseValues[d] = 1.0f;
    };
    combine(DESTINATION_GLOBAL_VOLUME, COMBINE_SCALE);
    combine(DESTINATION_FOLLOWER_BOOST, COMBINE_SCALE);
    combine(DESTINATION_DELAY_SPEED, COMBINE_EXPONENTIAL);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        combine(destinationBase(b) + DESTINATION_VOLUME_OFFSET, COMBINE_SCALE);
        combine(destinationBase(b) + DESTINATION_GATER_SPEED_OFFSET, COMBINE_EXPONENTIAL);
        combine(DESTINATION_BLOCK_XY_SPEED[b], COMBINE_EXPONENTIAL);
    }
}

float APlugin::sanitized(int index, float value) const {
    if (!std::isfinite(value)) return defaultValues[index];
    return std::clamp(value, 0.0f, 1.0f);
}

void APlugin::setParameter(int index, float value) {
    if (index == RELOAD_PRESET_PARAM) {
        // The engine reads currentValues directly; the editor catches up through the refresh.
        copyFactoryPreset(currentFactoryPreset);
        displayRefreshPending = 1;
    }
    storeParameter(index, value);
}

void APlugin::storeParameter(int index, float value) {
    if (!isParameter(index)) return;
    float v = sanitized(index, value);
    if (isOnOff[index]) v = v < 0.5f ? 0.0f : 1.0f;
    currentValues[index] = v;
    noteValuesWritten();
    programs[0].values[index] = v;
    editValues[index] = v;
    if (std::fabs(v - lastSetValues[index]) > CHANGE_THRESHOLD) {
        lastSetValues[index] = v;
        const float reference = referenceValues[index];
        if (reference > -0.5f && std::fabs(v - reference) > CHANGE_THRESHOLD && countsForEditChanged[index])
            editChanged = 1;
    }
    if (editorLink && isEditorOpen()) editorLink->setParameter(index, v);
}

float APlugin::getParameter(int index) {
    return isParameter(index) ? currentValues[index].load() : 0.0f;
}

float APlugin::getDefaultValue(int index) const {
    return isParameter(index) ? defaultValues[index] : 0.0f;
}

void APlugin::setDefaultValue(int index) {
    if (isParameter(index)) setParameter(index, defaultValues[index]);
}

void APlugin::setZeroValue(int index) {
    if (isParameter(index)) setParameter(index, zeroValues[index]);
}

void APlugin::copyParameter(int from, int to) {
    if (isParameter(from) && isParameter(to)) setParameter(to, getParameter(from));
}

void APlugin::swapParameter(int a, int b) {
    if (!isParameter(a) || !isParameter(b)) return;
    const float oldA = getParameter(a);
    const float oldB = getParameter(b);
    setParameter(a, oldB);
    setParameter(b, oldA);
}

void APlugin::toggleParameter(int index) {
    if (isParameter(index)) setParameter(index, 1.0f - getParameter(index));
}

void APlugin::setSteppedValue(int index, int step, float scale, int count) {
    if (!isParameter(index) || count < 1) return;  // the host is not told of a slot that does not exist
    const int i = std::clamp(step, 0, count - 1);
    setParameterAutomated(index, (static_cast<float>(i) + 0.1f) / scale);
}

void APlugin::setChoice(int index, int option) {
    if (!isParameter(index)) return;
    const SlotInfo& choice = CHOICE_SLOTS[static_cast<std::size_t>(index)];
    setSteppedValue(index, option, choice.scale, choice.count);
}

int APlugin::getPlayedChoice(int index, float value) {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (index == XY_POINT_QUANT_TAG[b]) return xyPointQuantRow(value);
        if (index == SHAPER_LOWFI_FILTER_TAG[b]) {
            const int row = TShaper::lowFiFilterRow(value);
            return row >= 0 ? row : SHAPER_LOWFI_FILTER_STR_COUNT - 1;  // the type the knob passes last
        }
    }
    return getChoice(index, value);
}

unsigned char APlugin::getEditChanged() const {
    return editChanged;
}

int APlugin::getBlockType(int block) const {
    return isBlock(block) ? getBlockChoice<BLOCK_TYPE_TAG>(block) : 0;
}

int APlugin::getFilterMode(int block) const {
    return isBlock(block) ? getBlockChoice<FILTER_MODE_TAG>(block) : 0;
}

int APlugin::getCombMode(int block) const {
    return isBlock(block) ? getBlockChoice<COMB_MODE_TAG>(block) : 0;
}

int APlugin::getShaperMode(int block) const {
    return isBlock(block) ? getBlockChoice<SHAPER_MODE_TAG>(block) : 0;
}

int APlugin::getGaterSteps(int block) const {
    return isBlock(block) ? getBlockChoice<GATER_STEPS_TAG>(block) : 0;
}

int APlugin::getGaterLoopMode(int block) {
    if (!isBlock(block)) return 0;
    // A free-running pad never stops, so its gater may not sit in loop mode "off".
    if (getBlockChoice<GATER_LOOP_TAG>(block) == 0 && getXYPlayMode(block) == 0)
        setParameter(GATER_LOOP_TAG[block], 0.6f);
    return getBlockChoice<GATER_LOOP_TAG>(block);
}

int APlugin::getGaterSpeed(int block) const {
    return isBlock(block) ? getBlockChoice<GATER_SPEED_TAG>(block) : 0;
}

int APlugin::getGrainMode(int block) const {
    return isBlock(block) ? getBlockChoice<GRAIN_MODE_TAG>(block) : 0;
}

int APlugin::getFollowerSource() const {
    return getChoice(FOLLOWER_SOURCE_PARAM);
}

int APlugin::getPath() const {
    return getChoice(PATH_PARAM);
}

int APlugin::getModDestination(int slot) const {
    return isModSlot(slot) ? getChoice(MOD_DESTINATION_TAG[slot]) : 0;
}

int APlugin::getModSource(int slot) const {
    return isModSlot(slot) ? getChoice(MOD_SOURCE_TAG[slot]) : 0;
}

float APlugin::getModAmount(int slot) const {
    return isModSlot(slot) ? 2.0f * currentValues[MOD_AMOUNT_TAG[slot]] - 1.0f : 0.0f;
}

bool APlugin::getModBypass(int slot) const {
    return isModSlot(slot) && getOnOff(MOD_BYPASS_TAG[slot]);
}

int APlugin::getModDestinationType(int slot) const {
    return modCombineKind[getModDestination(slot)];
}

namespace {
int gaterStepParam(int block, int side, int step) {
    if (!isBlock(block) || side < 0 || side >= GATER_SIDE_COUNT || step < 0 || step >= GATER_STEPS_PER_SIDE)
        return -1;
    return GATER_TAG[block][side] + step;
}
}  // namespace

float APlugin::getGaterValue(int block, int side, int step) const {
    const int p = gaterStepParam(block, side, step);
    return p < 0 ? 0.0f : currentValues[p].load();
}

void APlugin::toggleGaterValue(int block, int side, int step) {
    const int p = gaterStepParam(block, side, step);
    if (p >= 0) setParameter(p, 1.0f - getParameter(p));
}

float APlugin::getEnvelopeValue(float v) const {
    const float t = v > 0.0f ? std::min(v, 1.0f) : 0.0f;  // NaN reads as 0
    return 1000.0f / (std::exp2(12.0f * t) * storedRate);
}
