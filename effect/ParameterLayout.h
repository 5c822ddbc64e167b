#pragma once

#include "effect/OptionStrings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// The effect's flat list of 1024 parameter slots: which index means what, the per-Block and
// per-modulation-slot index tables, and how each slot encodes its value. The index is also
// the host's parameter id and the tag of the editor control that shows it.

inline constexpr int PARAMETER_COUNT = 1024;
inline constexpr int NAMED_PARAMETER_END = 792;  // no index from here on has a name
inline constexpr int BLOCK_COUNT = 3;
inline constexpr int MOD_SLOT_COUNT = 4;

// Global slots.
inline constexpr int BYPASS_PARAM = 1;
inline constexpr int TRIGGER_PARAM = 2;
inline constexpr int PATH_PARAM = 3;

// Block section: 34 slots per Block at BLOCK_SECTION_START + 34 * b.
inline constexpr int BLOCK_SECTION_START = 4;
inline constexpr int BLOCK_SECTION_SIZE = 34;
inline constexpr int BLOCK_BYPASS_OFFSET = 0;
inline constexpr int FILTER_DISTORT_OFFSET = 1;
inline constexpr int FILTER_FREQ_OFFSET = 2;
inline constexpr int FILTER_Q_OFFSET = 3;
inline constexpr int FILTER_VOWEL_OFFSET = 4;
inline constexpr int FILTER_GAIN_OFFSET = 5;
inline constexpr int COMB_FREQ_OFFSET = 6;
inline constexpr int COMB_FEED_OFFSET = 7;
inline constexpr int COMB_DAMP_OFFSET = 8;
inline constexpr int SHAPER_WAVE_OFFSET = 9;
inline constexpr int SHAPER_FREQ_OFFSET = 10;
inline constexpr int SHAPER_AMOUNT_OFFSET = 11;
inline constexpr int SHAPER_SYM_OFFSET = 12;
inline constexpr int SHAPER_ENV_OFFSET = 13;
inline constexpr int SHAPER_BP_FREQ_OFFSET = 14;
inline constexpr int SHAPER_BP_Q_OFFSET = 15;
inline constexpr int SHAPER_BP_RATE_OFFSET = 16;
inline constexpr int SHAPER_BP_BITS_OFFSET = 17;
inline constexpr int ROOM_LENGTH_OFFSET = 18;
inline constexpr int ROOM_DAMP_OFFSET = 19;
inline constexpr int ROOM_HP_OFFSET = 20;
inline constexpr int ROOM_MOD_OFFSET = 21;
inline constexpr int GATER_SWING_OFFSET = 22;
inline constexpr int GATER_SMOOTH_OFFSET = 23;
inline constexpr int BLOCK_SPREAD_OFFSET = 24;
inline constexpr int BLOCK_PAN_OFFSET = 25;
inline constexpr int BLOCK_VOLUME_OFFSET = 26;
inline constexpr int BLOCK_MIX_OFFSET = 27;
inline constexpr int XY_ASSIGN_OFFSET = 28;  // X1..X3, then Y1..Y3
inline constexpr int XY_ASSIGN_COUNT = 6;

constexpr bool isBlock(int block) {
    return block >= 0 && block < BLOCK_COUNT;
}

constexpr int blockParam(int block, int offset) {
    return BLOCK_SECTION_START + BLOCK_SECTION_SIZE * block + offset;
}

// Delay and envelope follower.
inline constexpr int DELAY_ON_PARAM = 106;
inline constexpr int DELAY_MONO_PARAM = 107;
inline constexpr int DELAY_TEMPO_SYNC_PARAM = 108;
inline constexpr int DELAY_EQUAL_FEED_PARAM = 109;
inline constexpr int DELAY_LEFT_PARAM = 110;
inline constexpr int DELAY_RIGHT_PARAM = 111;
inline constexpr int DELAY_FEEDBACK_PARAM = 112;
inline constexpr int DELAY_CROSS_FEEDBACK_PARAM = 113;
inline constexpr int DELAY_LP_PARAM = 114;
inline constexpr int DELAY_HP_PARAM = 115;
inline constexpr int DELAY_MIX_PARAM = 116;
inline constexpr int FOLLOWER_SOURCE_PARAM = 117;
inline constexpr int FOLLOWER_BOOST_PARAM = 118;
inline constexpr int FOLLOWER_SMOOTH_PARAM = 119;
inline constexpr int FOLLOWER_THRESHOLD_PARAM = 120;
inline constexpr int FOLLOWER_HOLD_PARAM = 121;

// Block mode section: 8 choices per Block at BLOCK_MODE_START + 8 * b.
inline constexpr int BLOCK_MODE_START = 126;
inline constexpr int BLOCK_MODE_SIZE = 8;

// XY settings: 18 families of three slots (one per Block) from XY_SETTINGS_START.
inline constexpr int XY_SETTINGS_START = 150;
inline constexpr int XY_SETTINGS_FAMILY_COUNT = 18;

inline constexpr int UNUSED_PARAM = 219;

// Gater steps: GATER_STEP_START + 32 * b + 16 * side + step.
inline constexpr int GATER_STEP_START = 220;
inline constexpr int GATER_SIDE_COUNT = 2;
inline constexpr int GATER_STEPS_PER_SIDE = 16;
inline constexpr int GATER_STEP_END =
    GATER_STEP_START + BLOCK_COUNT * GATER_SIDE_COUNT * GATER_STEPS_PER_SIDE;

// XY paths: 32 X and 32 Y coordinates per Block.
inline constexpr int XY_PATH_POINTS = 32;

// Grain section: 9 slots per Block at GRAIN_SECTION_START + 9 * b, then one link switch per Block.
inline constexpr int GRAIN_SECTION_START = 600;
inline constexpr int GRAIN_SECTION_SIZE = 9;
inline constexpr int GRAIN_LINK_START = GRAIN_SECTION_START + BLOCK_COUNT * GRAIN_SECTION_SIZE;

// Spare Block slots: NONE_SECTION_START + 4 * b + k.
inline constexpr int NONE_SECTION_START = 780;
inline constexpr int NONE_SLOTS_PER_BLOCK = 4;

// The program name, one character per slot, and the factory-preset reload trigger.
inline constexpr int PROGRAM_NAME_START = 800;
inline constexpr int PROGRAM_NAME_LENGTH = 28;
inline constexpr int RELOAD_PRESET_PARAM = 1023;

// Per-Block tables: one parameter index per Block.
inline constexpr int32_t BLOCK_BYPASS_TAG[BLOCK_COUNT] = {4, 38, 72};
inline constexpr int32_t FILTER_DISTORT_TAG[BLOCK_COUNT] = {5, 39, 73};
inline constexpr int32_t FILTER_FREQ_TAG[BLOCK_COUNT] = {6, 40, 74};
inline constexpr int32_t FILTER_Q_TAG[BLOCK_COUNT] = {7, 41, 75};
inline constexpr int32_t FILTER_VOWEL_TAG[BLOCK_COUNT] = {8, 42, 76};
inline constexpr int32_t FILTER_GAIN_TAG[BLOCK_COUNT] = {9, 43, 77};
inline constexpr int32_t COMB_FREQ_TAG[BLOCK_COUNT] = {10, 44, 78};
inline constexpr int32_t COMB_FEED_TAG[BLOCK_COUNT] = {11, 45, 79};
inline constexpr int32_t COMB_DAMP_TAG[BLOCK_COUNT] = {12, 46, 80};
inline constexpr int32_t SHAPER_WAVE_TAG[BLOCK_COUNT] = {13, 47, 81};
inline constexpr int32_t SHAPER_FREQ_TAG[BLOCK_COUNT] = {14, 48, 82};
inline constexpr int32_t SHAPER_AMOUNT_TAG[BLOCK_COUNT] = {15, 49, 83};
inline constexpr int32_t SHAPER_SYM_TAG[BLOCK_COUNT] = {16, 50, 84};
inline constexpr int32_t SHAPER_ENV_TAG[BLOCK_COUNT] = {17, 51, 85};
inline constexpr int32_t SHAPER_BP_FREQ_TAG[BLOCK_COUNT] = {18, 52, 86};
inline constexpr int32_t SHAPER_BP_Q_TAG[BLOCK_COUNT] = {19, 53, 87};
inline constexpr int32_t SHAPER_BP_RATE_TAG[BLOCK_COUNT] = {20, 54, 88};
inline constexpr int32_t SHAPER_BP_BITS_TAG[BLOCK_COUNT] = {21, 55, 89};
inline constexpr int32_t ROOM_LENGTH_TAG[BLOCK_COUNT] = {22, 56, 90};
inline constexpr int32_t ROOM_DAMP_TAG[BLOCK_COUNT] = {23, 57, 91};
inline constexpr int32_t ROOM_HP_TAG[BLOCK_COUNT] = {24, 58, 92};
inline constexpr int32_t ROOM_MOD_TAG[BLOCK_COUNT] = {25, 59, 93};
inline constexpr int32_t GATER_SWING_TAG[BLOCK_COUNT] = {26, 60, 94};
inline constexpr int32_t GATER_SMOOTH_TAG[BLOCK_COUNT] = {27, 61, 95};

inline constexpr int32_t BLOCK_TYPE_TAG[BLOCK_COUNT] = {126, 134, 142};
inline constexpr int32_t FILTER_MODE_TAG[BLOCK_COUNT] = {127, 135, 143};
inline constexpr int32_t COMB_MODE_TAG[BLOCK_COUNT] = {128, 136, 144};
inline constexpr int32_t SHAPER_MODE_TAG[BLOCK_COUNT] = {129, 137, 145};
inline constexpr int32_t SHAPER_LOWFI_FILTER_TAG[BLOCK_COUNT] = {130, 138, 146};
inline constexpr int32_t GATER_STEPS_TAG[BLOCK_COUNT] = {131, 139, 147};
inline constexpr int32_t GATER_LOOP_TAG[BLOCK_COUNT] = {132, 140, 148};
inline constexpr int32_t GATER_SPEED_TAG[BLOCK_COUNT] = {133, 141, 149};

inline constexpr int32_t XY_RECORD_MODE_TAG[BLOCK_COUNT] = {150, 151, 152};
inline constexpr int32_t XY_EDIT_TAG[BLOCK_COUNT] = {153, 154, 155};
inline constexpr int32_t XY_SPEED_TAG[BLOCK_COUNT] = {156, 157, 158};
inline constexpr int32_t XY_SPEED_MOD_AMOUNT_TAG[BLOCK_COUNT] = {159, 160, 161};
inline constexpr int32_t XY_SPEED_MOD_SOURCE_TAG[BLOCK_COUNT] = {162, 163, 164};
inline constexpr int32_t XY_SMOOTH_TAG[BLOCK_COUNT] = {165, 166, 167};
inline constexpr int32_t XY_PLAY_MODE_TAG[BLOCK_COUNT] = {168, 169, 170};
inline constexpr int32_t XY_LOOP_MODE_TAG[BLOCK_COUNT] = {171, 172, 173};
inline constexpr int32_t XY_SYNC_TAG[BLOCK_COUNT] = {174, 175, 176};
inline constexpr int32_t XY_POINT_QUANT_TAG[BLOCK_COUNT] = {177, 178, 179};
inline constexpr int32_t XY_SPACE_QUANT_TAG[BLOCK_COUNT] = {180, 181, 182};
inline constexpr int32_t XY_TIME_QUANT_TAG[BLOCK_COUNT] = {183, 184, 185};
inline constexpr int32_t XY_LAST_X_TAG[BLOCK_COUNT] = {186, 187, 188};
inline constexpr int32_t XY_LAST_Y_TAG[BLOCK_COUNT] = {189, 190, 191};
inline constexpr int32_t XY_MIDI_X_TAG[BLOCK_COUNT] = {192, 193, 194};
inline constexpr int32_t XY_MIDI_Y_TAG[BLOCK_COUNT] = {195, 196, 197};
inline constexpr int32_t XY_LEN_SEC_TAG[BLOCK_COUNT] = {198, 199, 200};
inline constexpr int32_t XY_LEN_MS_TAG[BLOCK_COUNT] = {201, 202, 203};

inline constexpr int32_t COMB_RANDOM_TAG[BLOCK_COUNT] = {216, 217, 218};

// First step of each gater side: GATER_TAG[block][side] + step.
inline constexpr int32_t GATER_TAG[BLOCK_COUNT][GATER_SIDE_COUNT] = {{220, 236}, {252, 268}, {284, 300}};

inline constexpr int32_t XY_X_START[BLOCK_COUNT] = {330, 362, 394};
inline constexpr int32_t XY_Y_START[BLOCK_COUNT] = {458, 490, 522};

inline constexpr int32_t GRAIN_WRITE_SIZE_TAG[BLOCK_COUNT] = {600, 609, 618};
inline constexpr int32_t GRAIN_UPDATE_RATE_TAG[BLOCK_COUNT] = {601, 610, 619};
inline constexpr int32_t GRAIN_SHAPE_TAG[BLOCK_COUNT] = {602, 611, 620};
inline constexpr int32_t GRAIN_READ_SIZE_TAG[BLOCK_COUNT] = {603, 612, 621};
inline constexpr int32_t GRAIN_SEMI_TAG[BLOCK_COUNT] = {604, 613, 622};
inline constexpr int32_t GRAIN_FINE_TAG[BLOCK_COUNT] = {605, 614, 623};
inline constexpr int32_t GRAIN_RANDOM_TAG[BLOCK_COUNT] = {606, 615, 624};
inline constexpr int32_t GRAIN_MODE_TAG[BLOCK_COUNT] = {607, 616, 625};
inline constexpr int32_t GRAIN_DRY_TAG[BLOCK_COUNT] = {608, 617, 626};
inline constexpr int32_t GRAIN_UNLINK_TAG[BLOCK_COUNT] = {627, 628, 629};

inline constexpr int32_t NONE_1_TAG[BLOCK_COUNT] = {780, 784, 788};
inline constexpr int32_t NONE_2_TAG[BLOCK_COUNT] = {781, 785, 789};
inline constexpr int32_t NONE_3_TAG[BLOCK_COUNT] = {782, 786, 790};
inline constexpr int32_t NONE_4_TAG[BLOCK_COUNT] = {783, 787, 791};

// Per-modulation-slot tables: one parameter index per slot.
inline constexpr int32_t MOD_AMOUNT_TAG[MOD_SLOT_COUNT] = {122, 123, 124, 125};
inline constexpr int32_t MOD_BYPASS_TAG[MOD_SLOT_COUNT] = {204, 205, 206, 207};
inline constexpr int32_t MOD_SOURCE_TAG[MOD_SLOT_COUNT] = {208, 209, 210, 211};
inline constexpr int32_t MOD_DESTINATION_TAG[MOD_SLOT_COUNT] = {212, 213, 214, 215};

// Modulation sources and destinations: rows of MOD_SOURCE_STR and MOD_DESTINATION_STR, not
// parameter indices. The 23 destinations of Block b start at BLOCK_DESTINATION_START + 23 * b.
inline constexpr int MOD_SOURCE_COUNT = 59;
inline constexpr int MOD_DESTINATION_COUNT = 90;
inline constexpr int BLOCK_DESTINATION_START = 4;
inline constexpr int BLOCK_SLOT_COUNT = 23;

inline constexpr int SOURCE_NONE = 0;
inline constexpr int SOURCE_MOD_WHEEL = 1;
inline constexpr int SOURCE_MOD_AFTER = 2;
inline constexpr int SOURCE_CHANNEL_AFTER = 3;
inline constexpr int SOURCE_POLY_AFTER = 4;
inline constexpr int SOURCE_VELOCITY = 5;
inline constexpr int SOURCE_PITCHBEND = 6;
inline constexpr int SOURCE_BREATH = 7;
inline constexpr int SOURCE_FOOT = 8;
inline constexpr int SOURCE_EXPRESSION = 9;
inline constexpr int SOURCE_CC16 = 10;  // CC16..CC21
inline constexpr int SOURCE_CC84 = 16;  // CC84..CC90
inline constexpr int SOURCE_NOTE = 23;
inline constexpr int SOURCE_CENTER_NOTE = 24;
inline constexpr int SOURCE_NOTE_RANDOM = 25;  // and 26
inline constexpr int SOURCE_FOLLOWER = 27;
inline constexpr int32_t SOURCE_GATER_LEFT[BLOCK_COUNT] = {28, 34, 40};
inline constexpr int32_t SOURCE_GATER_RIGHT[BLOCK_COUNT] = {29, 35, 41};
inline constexpr int32_t SOURCE_X[BLOCK_COUNT] = {30, 36, 42};
inline constexpr int32_t SOURCE_POLAR_X[BLOCK_COUNT] = {31, 37, 43};
inline constexpr int32_t SOURCE_Y[BLOCK_COUNT] = {32, 38, 44};
inline constexpr int32_t SOURCE_POLAR_Y[BLOCK_COUNT] = {33, 39, 45};
inline constexpr int SOURCE_INPUT = 46;  // the first level source; its unipolar twin follows
inline constexpr int32_t SOURCE_BLOCK_OUT[BLOCK_COUNT] = {48, 50, 52};  // each with its unipolar twin
inline constexpr int SOURCE_OUT = 54;  // and its unipolar twin, the last level source
inline constexpr int SOURCE_OFFSET = 56;
inline constexpr int SOURCE_WHITE_NOISE = 57;
inline constexpr int SOURCE_UNIPOLAR_NOISE = 58;

// Sources that swing around 0; the scale combination reads them as 0..1.
constexpr bool isBipolarSource(int s) {
    if (s == SOURCE_NOTE_RANDOM || s == SOURCE_NOTE_RANDOM + 1 || s == SOURCE_INPUT || s == SOURCE_OUT ||
        s == SOURCE_WHITE_NOISE)
        return true;
    for (int b = 0; b < BLOCK_COUNT; ++b)
        if (s == SOURCE_POLAR_X[b] || s == SOURCE_POLAR_Y[b] || s == SOURCE_BLOCK_OUT[b]) return true;
    return false;
}

inline constexpr int DESTINATION_NONE = 0;
inline constexpr int DESTINATION_GLOBAL_VOLUME = 1;
inline constexpr int DESTINATION_GLOBAL_DRY = 2;
inline constexpr int DESTINATION_GLOBAL_PAN = 3;
// A Block's destinations, as offsets from destinationBase(b). Offsets 0..5 mean what the
// Block's type makes of them.
inline constexpr int DESTINATION_GATER_SPEED_OFFSET = 6;
inline constexpr int DESTINATION_GATER_SWING_OFFSET = 7;
inline constexpr int DESTINATION_GATER_SMOOTH_OFFSET = 8;
inline constexpr int DESTINATION_GATER_OFF_OFFSET = 9;
inline constexpr int DESTINATION_GATER_ON_OFFSET = 10;
inline constexpr int DESTINATION_SPREAD_OFFSET = 11;
inline constexpr int DESTINATION_PAN_OFFSET = 12;
inline constexpr int DESTINATION_MIX_OFFSET = 13;
inline constexpr int DESTINATION_VOLUME_OFFSET = 14;
inline constexpr int DESTINATION_X_ASSIGN_OFFSET = 15;  // X > the Block's three targets
inline constexpr int DESTINATION_Y_ASSIGN_OFFSET = 18;  // Y > the same
inline constexpr int DESTINATION_XY_SPEED_OFFSET = 21;
inline constexpr int DESTINATION_XY_SMOOTH_OFFSET = 22;
inline constexpr int DESTINATION_DELAY_SPEED = 73;
inline constexpr int DESTINATION_DELAY_LEFT = 74;
inline constexpr int DESTINATION_DELAY_RIGHT = 75;
inline constexpr int DESTINATION_DELAY_FINE = 76;
inline constexpr int DESTINATION_DELAY_FEEDBACK = 77;
inline constexpr int DESTINATION_DELAY_CROSS_FEEDBACK = 78;
inline constexpr int DESTINATION_DELAY_LP = 79;
inline constexpr int DESTINATION_DELAY_HP = 80;
inline constexpr int DESTINATION_DELAY_MIX = 81;
inline constexpr int DESTINATION_FOLLOWER_BOOST = 82;
inline constexpr int DESTINATION_FOLLOWER_SMOOTH = 83;
inline constexpr int DESTINATION_FOLLOWER_THRESHOLD = 84;
inline constexpr int DESTINATION_FOLLOWER_HOLD = 85;

constexpr int destinationBase(int block) {
    return BLOCK_DESTINATION_START + BLOCK_SLOT_COUNT * block;
}

inline constexpr int32_t DESTINATION_BLOCK_XY_SPEED[BLOCK_COUNT] = {25, 48, 71};
inline constexpr int32_t DESTINATION_BLOCK_XY_SMOOTH[BLOCK_COUNT] = {26, 49, 72};
inline constexpr int32_t DESTINATION_MOD_AMOUT[MOD_SLOT_COUNT] = {86, 87, 88, 89};
static_assert(DESTINATION_BLOCK_XY_SPEED[2] == destinationBase(2) + DESTINATION_XY_SPEED_OFFSET &&
                  DESTINATION_BLOCK_XY_SMOOTH[2] == destinationBase(2) + DESTINATION_XY_SMOOTH_OFFSET &&
                  DESTINATION_DELAY_SPEED == destinationBase(BLOCK_COUNT),
              "the Delay's destinations follow the last Block's");

// How a slot's amount acts on its destination (modCombineKind).
inline constexpr int COMBINE_ADD = 0;
inline constexpr int COMBINE_EXPONENTIAL = 1;  // gater, XY and delay speeds
inline constexpr int COMBINE_SCALE = 3;        // volumes and the follower boost

// Block types: rows of BLOCK_TYPE_STR.
enum BlockTypeId { TYPE_OFF = 0, TYPE_FILTER, TYPE_COMB, TYPE_SHAPER, TYPE_ROOM, TYPE_GATER, TYPE_GRAIN };

// First destination of each group (global, Block 1..3, Delay, follower and amounts), then the end.
inline constexpr int32_t MOD_DESTINATION_START[7] = {
    DESTINATION_GLOBAL_VOLUME, destinationBase(0),         destinationBase(1),   destinationBase(2),
    DESTINATION_DELAY_SPEED,   DESTINATION_FOLLOWER_BOOST, MOD_DESTINATION_COUNT};

// How a slot's float encodes its value.
enum class SlotKind {
    None,        // carries nothing
    Switch,      // on at 0.5 and above
    Continuous,  // a position in [0, 1]
    Choice,      // option = clamp((int)(value * scale + 0.1), 0, count - 1)
    Point,       // a coordinate of an XY path
    Character,   // one character of the program name
};

// A choice's option: clamp((int)(value * scale + 0.1), 0, count - 1), clamped before the
// conversion so that a stray value cannot overflow the int.
constexpr int steppedOption(float value, float scale, int count) {
    if (count < 1) return 0;
    const float stepped = value * scale + 0.1f;
    if (!(stepped >= 1.0f)) return 0;
    if (stepped >= static_cast<float>(count)) return count - 1;
    return static_cast<int>(stepped);
}

// A grain length in a synced grain mode plays, and its text names, row steppedOption(value, 21,
// 21) of the synced lengths.
inline constexpr float GRAIN_SYNCED_LENGTH_SCALE = 21.0f;
constexpr int grainSyncedRow(float value) {
    return steppedOption(value, GRAIN_SYNCED_LENGTH_SCALE, GRAIN_SYNCED_LENGTH_STRING_COUNT);
}

struct SlotInfo {
    SlotKind kind = SlotKind::None;
    float scale = 0.0f;                    // Choice only
    int count = 0;                         // Choice only
    const char* const* options = nullptr;  // Choice only; XY Record Mode has no texts
    bool bipolar = false;                  // Continuous amount centred on 0.5
};

namespace layoutdetail {

template <std::size_t N>
constexpr SlotInfo choice(float scale, const char* const (&options)[N]) {
    return {SlotKind::Choice, scale, static_cast<int>(N), options};
}

// A choice slot's encoding; every other slot gives SlotKind::None.
constexpr SlotInfo choiceAt(int index) {
    if (index == PATH_PARAM) return choice(5.99f, PATH_STR);
    if (index == FOLLOWER_SOURCE_PARAM) return choice(4.9f, FOLLOWER_SOURCE_STR);
    if (index >= BLOCK_MODE_START && index < BLOCK_MODE_START + BLOCK_COUNT * BLOCK_MODE_SIZE) {
        switch ((index - BLOCK_MODE_START) % BLOCK_MODE_SIZE) {
            case 0:
                return choice(6.99f, BLOCK_TYPE_STR);
            case 1:
                return choice(40.0f, FILTER_MODE_STR);
            case 2:
                return choice(9.99f, COMB_MODE_STR);
            case 3:
                return choice(9.0f, SHAPER_MODE_STR);
            case 4:
                return choice(4.0f, SHAPER_LOWFI_FILTER_STR);
            case 5:
                return choice(15.0f, GATER_STEPS_STR);
            case 6:
                return choice(2.0f, GATER_LOOP_STR);
            default:
                return choice(16.0f, XY_SPEED_SHORT_STR);  // Gater Speed
        }
    }
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (index == XY_RECORD_MODE_TAG[b]) return {SlotKind::Choice, 2.99f, 3};  // live, record, replay
        if (index == XY_SPEED_TAG[b]) return choice(16.0f, XY_SPEED_SHORT_STR);
        if (index == XY_SPEED_MOD_SOURCE_TAG[b]) return choice(99.99f, MOD_SOURCE_STR);
        // Play Mode's scale is the one its menu has always written; any other would misread
        // Trigger and Follower as Free.
        if (index == XY_PLAY_MODE_TAG[b]) return choice(9.99f, XY_PLAY_MODE_STR);
        if (index == XY_LOOP_MODE_TAG[b]) return choice(2.99f, XY_LOOP_MODE_STR);
        if (index == XY_SYNC_TAG[b] || index == XY_TIME_QUANT_TAG[b]) return choice(30.99f, XY_SYNC_STR);
        if (index == XY_POINT_QUANT_TAG[b]) return choice(4.99f, XY_POINT_QUANT_STR);
        if (index == XY_SPACE_QUANT_TAG[b]) return choice(4.99f, XY_SPACE_QUANT_STR);
        if (index == GRAIN_MODE_TAG[b]) return choice(5.99f, GRAIN_MODE_STR);
    }
    for (int n = 0; n < MOD_SLOT_COUNT; ++n) {
        if (index == MOD_SOURCE_TAG[n]) return choice(99.99f, MOD_SOURCE_STR);
        if (index == MOD_DESTINATION_TAG[n]) return choice(99.9f, MOD_DESTINATION_STR);
    }
    return {};
}

constexpr std::array<SlotInfo, PARAMETER_COUNT> choiceTable() {
    std::array<SlotInfo, PARAMETER_COUNT> table{};
    for (int i = 0; i < PARAMETER_COUNT; ++i) table[static_cast<std::size_t>(i)] = choiceAt(i);
    return table;
}

}  // namespace layoutdetail

// Every choice slot's scale, count and option texts by index: the one place they are written.
// The other slots hold SlotKind::None here.
inline constexpr std::array<SlotInfo, PARAMETER_COUNT> CHOICE_SLOTS = layoutdetail::choiceTable();

// Point Quant plays row trunc(value * scale), without the + 0.1 of the other choices: the XY
// replay and the path commands have always read it so, and its text and menu follow them. The
// values its menu writes, (i + 0.1) / scale, read as option i either way.
constexpr int xyPointQuantRow(float value) {
    constexpr SlotInfo quant = CHOICE_SLOTS[static_cast<std::size_t>(XY_POINT_QUANT_TAG[0])];
    return std::clamp(static_cast<int>(value * quant.scale), 0, quant.count - 1);
}

// The encoding of a slot; an index outside 0..1023 gives SlotKind::None. Delay Left and Right
// are Continuous here although they read as DELAY_LEN_STR choices (TDelay's synced rows) while
// the delay's Tempo Sync is on; the spare slots 780..791 are Continuous too.
SlotInfo slotInfo(int index);

// The switches the store snaps to 0 or 1: every switch except the gater steps, which keep the
// value written.
bool isOnOffSlot(int index);
