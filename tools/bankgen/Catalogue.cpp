#include "tools/bankgen/Catalogue.h"

#include "dsp/TDelay.h"
#include "effect/OptionStrings.h"
#include "effect/ParameterDefaults.h"
#include "effect/ParameterLayout.h"
#include "effect/ParameterNames.h"

#include <algorithm>
#include <set>

namespace {

const char* const XY_AXIS_NAMES[XY_ASSIGN_COUNT] = {"X1", "X2", "X3", "Y1", "Y2", "Y3"};
// XY Record Mode has no menu of its own; these are the words the XY engine uses.
const char* const RECORD_MODE_NAMES[3] = {"Live", "Record", "Replay"};

std::vector<std::string> texts(const char* const* table, int count) {
    return std::vector<std::string>(table, table + count);
}

// Named positions of continuous parameters. The wave and vowel sit a hair past the pure
// shape so the value text shows the one asked for; the note lengths decode as their readers
// step them.
const ChoiceInfo WAVES{WAVE_TEXT_SCALE, 0.005f, texts(WAVE_STR, WAVE_STR_COUNT)};
const ChoiceInfo VOWELS{VOWEL_TEXT_SCALE, 0.005f, texts(VOWEL_STR, VOWEL_STR_COUNT)};
const ChoiceInfo DELAY_LENGTHS{TDelay::kSyncedLengthScale, 0.1f, texts(DELAY_LEN_STR, DELAY_LEN_STR_COUNT)};
const ChoiceInfo GRAIN_LENGTHS{GRAIN_SYNCED_LENGTH_SCALE, 0.3f,
                               texts(GRAIN_SYNCED_LENGTH_STRING, GRAIN_SYNCED_LENGTH_STRING_COUNT)};

bool isXYAssignment(int index) {
    const int offset = (index - BLOCK_SECTION_START) % BLOCK_SECTION_SIZE;
    return index >= BLOCK_SECTION_START && index < BLOCK_SECTION_START + BLOCK_COUNT * BLOCK_SECTION_SIZE &&
           offset >= XY_ASSIGN_OFFSET;
}

// The option of choice slot index in a preset's values.
int choiceOf(const float* values, int index) {
    const SlotInfo& slot = CHOICE_SLOTS[static_cast<std::size_t>(index)];
    return Catalogue::decode(values[index], slot.scale, slot.count);
}

BlockNaming namingOf(const float* values) {
    BlockNaming naming;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        naming.block[b].type = choiceOf(values, BLOCK_TYPE_TAG[b]);
        naming.block[b].filterMode = choiceOf(values, FILTER_MODE_TAG[b]);
        naming.block[b].shaperMode = choiceOf(values, SHAPER_MODE_TAG[b]);
    }
    return naming;
}

}  // namespace

Catalogue::Catalogue() {
    fillDefaultParameterValues(defaults);
    const BlockNaming naming;
    char name[NAME_BUFFER_SIZE];
    for (int index = 0; index < PARAMETER_COUNT; ++index) {
        const SlotInfo info = slotInfo(index);
        switch (info.kind) {
            case SlotKind::Switch:
                kinds[index] = isOnOffSlot(index) ? ParamKind::Switch : ParamKind::GaterStep;
                break;
            case SlotKind::Continuous:
                kinds[index] = ParamKind::Continuous;
                break;
            case SlotKind::Choice: {
                kinds[index] = ParamKind::Choice;
                ChoiceInfo& choice = choices[index];
                choice.scale = info.scale;
                choice.options = info.options ? texts(info.options, info.count) : texts(RECORD_MODE_NAMES, 3);
                // XY Speed is read as a raw value (2^(8v - 4)): option / 16 keeps x1, x2, x1/2...
                // exact, and still steps to the same option.
                if (std::find(XY_SPEED_TAG, XY_SPEED_TAG + BLOCK_COUNT, index) !=
                    XY_SPEED_TAG + BLOCK_COUNT) {
                    choice.offset = 0.0f;
                }
                break;
            }
            default:
                kinds[index] = ParamKind::Unnamed;
                break;
        }
        if (kinds[index] == ParamKind::Unnamed) continue;
        if (isXYAssignment(index)) {
            const int b = (index - BLOCK_SECTION_START) / BLOCK_SECTION_SIZE;
            const int k = (index - BLOCK_SECTION_START) % BLOCK_SECTION_SIZE - XY_ASSIGN_OFFSET;
            fixedNames["Block " + std::to_string(b + 1) + " XY Amount " + XY_AXIS_NAMES[k]] = index;
            continue;
        }
        parameterName(index, naming, name);
        if (name[0] != '\0') fixedNames[name] = index;
    }
}

int Catalogue::decode(float value, float scale, int count) {
    return std::clamp(static_cast<int>(value * scale + 0.1f), 0, count - 1);
}

int Catalogue::findFixedName(const std::string& name) const {
    const auto it = fixedNames.find(name);
    return it == fixedNames.end() ? -1 : it->second;
}

int Catalogue::findTypedName(const std::string& name, const float* values) const {
    const BlockNaming naming = namingOf(values);
    char text[NAME_BUFFER_SIZE];
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        for (int k = 0; k < XY_ASSIGN_COUNT; ++k) {
            const int index = blockParam(b, XY_ASSIGN_OFFSET + k);
            parameterName(index, naming, text);
            if (name == text) return index;
        }
    }
    return -1;
}

int Catalogue::findDestination(const std::string& text, const float* values) const {
    const BlockNaming naming = namingOf(values);
    std::set<int> found;
    char name[NAME_BUFFER_SIZE];
    for (int d = 0; d < MOD_DESTINATION_COUNT; ++d) {
        const bool inBlock = d >= MOD_DESTINATION_START[1] && d < MOD_DESTINATION_START[4];
        if (text == MOD_DESTINATION_STR[d]) {
            const auto rows = std::count_if(MOD_DESTINATION_STR, MOD_DESTINATION_STR + MOD_DESTINATION_COUNT,
                                            [&](const char* row) { return text == row; });
            found.insert(rows == 1 ? d : -2);
        }
        if (inBlock) {
            const int block = (d - BLOCK_DESTINATION_START) / BLOCK_SLOT_COUNT;
            if (text == "Block " + std::to_string(block + 1) + " " + MOD_DESTINATION_STR[d]) found.insert(d);
        }
        destinationName(d, false, naming, name);
        if (text == name) found.insert(d);
    }
    if (found.empty()) return -1;
    return found.size() == 1 ? *found.begin() : -2;
}

const ChoiceInfo* Catalogue::choice(int index) const {
    const auto it = choices.find(index);
    return it == choices.end() ? nullptr : &it->second;
}

const ChoiceInfo* Catalogue::namedPositions(int index, const float* values) const {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (index == SHAPER_WAVE_TAG[b]) return &WAVES;
        if (index == FILTER_VOWEL_TAG[b]) return &VOWELS;
        const bool synced = choiceOf(values, GRAIN_MODE_TAG[b]) % 2 == 1;
        const bool linked = values[GRAIN_UNLINK_TAG[b]] >= 0.5f;
        if (synced && index == GRAIN_WRITE_SIZE_TAG[b]) return &GRAIN_LENGTHS;
        if (synced && linked && (index == GRAIN_READ_SIZE_TAG[b] || index == GRAIN_UPDATE_RATE_TAG[b])) {
            return &GRAIN_LENGTHS;
        }
    }
    if ((index == DELAY_LEFT_PARAM || index == DELAY_RIGHT_PARAM) && values[DELAY_TEMPO_SYNC_PARAM] >= 0.5f) {
        return &DELAY_LENGTHS;
    }
    return nullptr;
}
