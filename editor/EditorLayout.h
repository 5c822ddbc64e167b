#pragma once

// The editor window's one layout, in design units of the 100 % window (1100 x 730): where every
// control sits, which bitmap it draws, and the knob tables. The editor scales these positions
// with scaled(); the artwork generator paints captions and wells at the same scaled pixels, so
// this header is the only copy of the layout. It is plain data: no toolkit, no effect object.

#include <cstdint>

#include "effect/ParameterLayout.h"

namespace layout {

inline constexpr int WINDOW_W = 1100;
inline constexpr int WINDOW_H = 730;
inline constexpr int SIZE_COUNT = 3;  // 100, 150, 200 %
inline constexpr float GUI_SCALES[SIZE_COUNT] = {1.0f, 1.5f, 2.0f};
inline constexpr const char* SIZE_NAMES[SIZE_COUNT] = {"100 %", "150 %", "200 %"};

// Positions are scaled by multiplying with the float factor and truncating.
constexpr int scaled(int units, float scale) {
    return static_cast<int>(static_cast<float>(units) * scale);
}

// Resource id of bitmap k drawn for GUI size index size.
constexpr long bitmapId(int k, int size) {
    return 10000L + 1000L * size + k;
}

// Bitmap numbers (k).
enum BitmapNumber : int {
    BMP_BACKGROUND = 0,
    BMP_SPARE_1 = 1,  // loaded and released, not drawn
    BMP_SETTINGS_PAGE = 2,
    BMP_SETTINGS_BUTTON = 3,
    BMP_PRESET_WELL = 5,
    BMP_MOD_ROW = 6,
    BMP_MOD_GRID = 10,
    BMP_TOGGLE = 11,  // the small on/off bitmap
    BMP_SPARE_13 = 13,
    BMP_ROUND_BUTTON = 14,  // radio buttons, menu buttons, the grain Link button
    BMP_ARROW_PREV = 20,
    BMP_ARROW_NEXT = 21,
    BMP_KNOB_FIRST = 30,  // 30..35, knob types 0..5
    BMP_XY_CURSOR = 46,
    BMP_PANEL_OFF = 50,
    BMP_PANEL_FILTER = 51,
    BMP_PANEL_FILTER_VOWEL = 52,
    BMP_PANEL_FILTER_SHELF = 53,
    BMP_PANEL_COMB = 54,
    BMP_PANEL_SHAPER_RING = 55,
    BMP_PANEL_SHAPER_MOD = 56,
    BMP_PANEL_SHAPER_LOWFI = 57,
    BMP_PANEL_ROOM = 58,
    BMP_PANEL_GATER = 59,
    BMP_PANEL_GRAIN = 60,
    BMP_PATH_FIRST = 70,  // 70..75, paths 0..5
    BMP_CONNECTOR_PLAIN = 80,
    BMP_CONNECTOR_ARROW = 81,
    BMP_EQUAL_FEED_OFF = 82,
    BMP_EQUAL_FEED_ON = 83,
    BMP_SPARE_84 = 84,
    BMP_LAMP_CLEAN = 90,
    BMP_REVERT = 91,
    BMP_MIDI_MAP = 92,
    BMP_MANUAL = 93,
    BMP_RESET = 94,
    BMP_TRIGGER = 95,
    BMP_DELAY_ON = 96,
    BMP_LAMP_EDITED = 97,
    BMP_BYPASS = 98,
};

inline constexpr int BITMAP_COUNT = 50;
// The order the editor loads them in.
inline constexpr int BITMAP_LOAD_ORDER[BITMAP_COUNT] = {
    0,  1,  2,  3,  6,  5,  11, 14, 10, 13, 30, 31, 32, 33, 34, 35, 20, 21, 46, 50, 51, 52, 53, 54, 55,
    56, 57, 58, 59, 60, 70, 71, 72, 73, 74, 75, 80, 81, 82, 83, 90, 97, 91, 92, 93, 94, 95, 96, 98, 84};

struct Point {
    int x, y;
};
struct Box {
    int x, y, w, h;
};
// An option menu: corner, width (16 high), and how many pixels lower it sits at 150 and 200 %.
struct MenuPlace {
    int x, y, w;
    int down150 = 0, down200 = 0;
};
inline constexpr int MENU_H = 16;

// ---------------------------------------------------------------- knobs
inline constexpr int KNOB_FRAMES = 137;
inline constexpr int KNOB_TYPE_COUNT = 6;
// Offsets of a knob type's frame from the knob's reference point, and of its readout.
inline constexpr int32_t OFF_X[KNOB_TYPE_COUNT] = {-6, -6, -3, -3, -5, -7};
inline constexpr int32_t OFF_Y[KNOB_TYPE_COUNT] = {-6, -6, -9, -9, -5, -7};
inline constexpr int32_t LABEL_OFF_X[KNOB_TYPE_COUNT] = {1, 1, 0, 0, 0, 0};
inline constexpr int32_t LABEL_OFF_Y[KNOB_TYPE_COUNT] = {-5, -5, -10, -10, -6, -6};
inline constexpr int READOUT_H = 11;

struct KnobRow {
    int32_t tag, x, y, type;
};

// The knobs outside the Block panels: Delay, follower, then each Block's XY row.
inline constexpr int KNOB_COUNT = 20;
inline constexpr KnobRow KNOBS[KNOB_COUNT] = {
    {110, 838, 331, 4},  {111, 900, 331, 4}, {112, 960, 331, 5}, {113, 1022, 331, 5}, {114, 868, 395, 4},
    {115, 929, 395, 4},  {116, 990, 395, 4}, {118, 837, 498, 5}, {119, 900, 498, 4},  {120, 961, 498, 4},
    {121, 1021, 498, 4}, {156, 48, 587, 3},  {159, 102, 587, 3}, {165, 241, 587, 2},  {157, 314, 587, 3},
    {160, 368, 587, 3},  {166, 507, 587, 2}, {158, 580, 587, 3}, {161, 634, 587, 3},  {167, 773, 587, 2}};

// Every Block's own knobs (Block 1 tags; Block b adds BLOCK_SECTION_SIZE * b), in the panel.
inline constexpr int BLOCK_KNOBS_PER_BLOCK = 10;
inline constexpr KnobRow BLOCK_KNOBS[BLOCK_KNOBS_PER_BLOCK] = {
    {28, 98, 84, 0},  {29, 138, 84, 1}, {30, 178, 84, 0}, {31, 218, 84, 1},  {32, 13, 172, 1},
    {33, 13, 236, 1}, {34, 13, 300, 1}, {35, 83, 357, 1}, {36, 149, 357, 1}, {37, 215, 357, 1}};

// The type knobs of a Block panel, in creation order; tags from the per-Block tag tables.
struct PanelKnobRow {
    const int32_t* tags;
    int32_t x, y, type;
};
inline constexpr int PANEL_KNOB_COUNT = 35;
inline constexpr PanelKnobRow PANEL_KNOBS[PANEL_KNOB_COUNT] = {
    {NONE_1_TAG, 98, 22, 0},          {NONE_2_TAG, 138, 22, 0},          {NONE_3_TAG, 178, 22, 0},
    {NONE_4_TAG, 218, 22, 0},         {FILTER_DISTORT_TAG, 98, 22, 0},   {FILTER_FREQ_TAG, 138, 22, 0},
    {FILTER_Q_TAG, 178, 22, 0},       {FILTER_VOWEL_TAG, 218, 22, 0},    {FILTER_GAIN_TAG, 218, 22, 1},
    {COMB_FREQ_TAG, 98, 22, 0},       {COMB_FEED_TAG, 138, 22, 0},       {COMB_DAMP_TAG, 178, 22, 0},
    {COMB_RANDOM_TAG, 218, 22, 0},    {SHAPER_WAVE_TAG, 98, 22, 0},      {SHAPER_FREQ_TAG, 138, 22, 0},
    {SHAPER_AMOUNT_TAG, 178, 22, 0},  {SHAPER_SYM_TAG, 218, 22, 1},      {SHAPER_ENV_TAG, 218, 22, 0},
    {SHAPER_BP_FREQ_TAG, 98, 22, 0},  {SHAPER_BP_Q_TAG, 138, 22, 0},     {SHAPER_BP_RATE_TAG, 178, 22, 0},
    {SHAPER_BP_BITS_TAG, 218, 22, 0}, {ROOM_LENGTH_TAG, 98, 22, 0},      {ROOM_DAMP_TAG, 138, 22, 0},
    {ROOM_HP_TAG, 178, 22, 0},        {ROOM_MOD_TAG, 218, 22, 0},        {GATER_SWING_TAG, 58, 84, 0},
    {GATER_SMOOTH_TAG, 98, 84, 0},    {GRAIN_WRITE_SIZE_TAG, 98, 22, 0}, {GRAIN_UPDATE_RATE_TAG, 138, 22, 0},
    {GRAIN_SHAPE_TAG, 178, 22, 1},    {GRAIN_READ_SIZE_TAG, 218, 22, 1}, {GRAIN_SEMI_TAG, 18, 84, 1},
    {GRAIN_FINE_TAG, 58, 84, 1},      {GRAIN_RANDOM_TAG, 98, 84, 0}};
// Panel knobs by position in PANEL_KNOBS; a panel knob's readout sits at the same offset from its
// Block's readout base.
enum PanelKnob : int {
    PK_NONE = 0,
    PK_FILTER_DISTORT = 4,
    PK_FILTER_FREQ = 5,
    PK_FILTER_Q = 6,
    PK_FILTER_VOWEL = 7,
    PK_FILTER_GAIN = 8,
    PK_COMB = 9,
    PK_SHAPER_WAVE = 13,
    PK_SHAPER_FREQ = 14,
    PK_SHAPER_AMOUNT = 15,
    PK_SHAPER_SYM = 16,
    PK_SHAPER_ENV = 17,
    PK_LOWFI = 18,
    PK_ROOM = 22,
    PK_GATER = 26,
    PK_GRAIN = 28,
};
static_assert(PANEL_KNOBS[PK_FILTER_DISTORT].tags == FILTER_DISTORT_TAG &&
                  PANEL_KNOBS[PK_COMB].tags == COMB_FREQ_TAG &&
                  PANEL_KNOBS[PK_SHAPER_ENV].tags == SHAPER_ENV_TAG &&
                  PANEL_KNOBS[PK_LOWFI].tags == SHAPER_BP_FREQ_TAG &&
                  PANEL_KNOBS[PK_ROOM].tags == ROOM_LENGTH_TAG &&
                  PANEL_KNOBS[PK_GATER].tags == GATER_SWING_TAG &&
                  PANEL_KNOBS[PK_GRAIN].tags == GRAIN_WRITE_SIZE_TAG,
              "PanelKnob positions name their rows");

// Readouts: 20 for KNOBS, then 45 per Block (the 35 panel knobs, then the 10 Block knobs).
inline constexpr int READOUTS_PER_BLOCK = PANEL_KNOB_COUNT + BLOCK_KNOBS_PER_BLOCK;
inline constexpr int READOUT_COUNT = KNOB_COUNT + BLOCK_COUNT * READOUTS_PER_BLOCK;  // 155
inline constexpr int BLOCK_LABEL_START[BLOCK_COUNT] = {20, 65, 110};
// Offsets from a Block's readout base: the panel knobs' at their PanelKnob positions, then the
// Block knobs'.
enum BlockReadout : int {
    RO_SPREAD = PANEL_KNOB_COUNT,
    RO_PAN = PANEL_KNOB_COUNT + 1,
};

// ---------------------------------------------------------------- main page
inline constexpr Point PRESET_MENU = {98, 40};  // preset well bitmap
inline constexpr Point PRESET_PREV = {290, 44};
inline constexpr Point PRESET_NEXT = {300, 44};
inline constexpr Point BANK_DISPLAY = {120, 72};
inline constexpr Point BANK_PREV = {99, 76};
inline constexpr Point BANK_NEXT = {109, 76};
inline constexpr Point EDITED_LAMP = {327, 33};
inline constexpr Point REVERT_BUTTON = {322, 64};
inline constexpr Point MANUAL_BUTTON = {409, 33};
inline constexpr Point MIDI_MAP_MENU = {404, 64};
inline constexpr Point RESET_BUTTON = {468, 67};
inline constexpr Point BYPASS_BUTTON = {474, 33};
inline constexpr Point TRIGGER_BUTTON = {567, 48};
inline constexpr Point SETTINGS_BUTTON = {686, 40};
inline constexpr Point DELAY_ON_BUTTON = {824, 284};
inline constexpr Point DELAY_MONO_BUTTON = {906, 290};
inline constexpr Point DELAY_SYNC_BUTTON = {969, 290};
inline constexpr Point DELAY_EQUAL_BUTTON = {1037, 403};
inline constexpr Point EQUAL_FEED_PICTURE = {1016, 374};
inline constexpr MenuPlace PATH_MENU = {901, 123, 164};
inline constexpr Point PATH_PICTURE = {819, 152};
inline constexpr MenuPlace FOLLOWER_MENU = {987, 462, 79};
inline constexpr Box MOD_VIEW = {829, 622, 237, 76};
// The modulation view's four rows and four columns (slot, source, destination, amount), in
// pixels of each size from the view's corner: row r starts at trunc(r * height).
inline constexpr float MOD_SLOT_HEIGHT[SIZE_COUNT] = {19.0f, 28.5f, 38.0f};
inline constexpr int MOD_COLUMN_COUNT = 4;
inline constexpr int MOD_COLOUMN_START[SIZE_COUNT][MOD_COLUMN_COUNT] = {
    {0, 24, 105, 194}, {0, 36, 157, 291}, {0, 48, 210, 388}};
inline constexpr int MOD_COLOUMN_END[SIZE_COUNT][MOD_COLUMN_COUNT] = {
    {24, 105, 194, 237}, {36, 157, 291, 355}, {48, 210, 388, 474}};

// ---------------------------------------------------------------- Blocks
inline constexpr int BLOCK_STRIDE = 266;  // X of Block b = BLOCK_STRIDE * b
inline constexpr Point BLOCK_CONTAINER = {21, 140};
inline constexpr int blockX(int b) {
    return BLOCK_STRIDE * b;
}
// Header row and XY row, for Block 1 (add blockX(b)).
inline constexpr MenuPlace BLOCK_TYPE_MENU = {70, 123, 80};
inline constexpr Point BLOCK_BYPASS_BUTTON = {154, 119};
inline constexpr Point BLOCK_MENU_BUTTON = {226, 119};
inline constexpr Point XY_EDIT_BUTTON = {256, 641};
inline constexpr Point XY_RECORD_RADIOS[3] = {{30, 562}, {100, 562}, {188, 562}};
inline constexpr Point XY_MENU_BUTTON = {256, 673};
inline constexpr MenuPlace XY_SPEED_SOURCE_MENU = {144, 595, 85};
inline constexpr MenuPlace XY_PLAY_MENU = {27, 645, 71};
inline constexpr MenuPlace XY_LOOP_MENU = {103, 645, 71};
inline constexpr MenuPlace XY_SYNC_MENU = {178, 645, 71};
inline constexpr MenuPlace XY_POINT_MENU = {27, 677, 71};
inline constexpr MenuPlace XY_SPACE_MENU = {103, 677, 71};
inline constexpr MenuPlace XY_TIME_MENU = {178, 677, 71};

// Inside a Block panel.
inline constexpr MenuPlace FILTER_MENU = {7, 67, 93, 2, 3};
inline constexpr MenuPlace COMB_MENU = {7, 67, 93, 2, 3};
inline constexpr MenuPlace SHAPER_MENU = {7, 67, 93, 2, 3};
inline constexpr MenuPlace LOWFI_MENU = {7, 112, 93};
inline constexpr MenuPlace GATER_STEPS_MENU = {10, 21, 79};
inline constexpr MenuPlace GATER_LOOP_MENU = {93, 21, 79};
inline constexpr MenuPlace GATER_SPEED_MENU = {176, 21, 79};
inline constexpr MenuPlace GRAIN_MODE_MENU = {14, 50, 79};
inline constexpr Point GRAIN_DRY_BUTTON = {32, 17};
inline constexpr Point GRAIN_LINK_BUTTON = {72, 17};
inline constexpr Point CONNECTOR = {138, 128};
inline constexpr Box GATER_ROWS[2] = {{26, 55, 224, 13}, {26, 70, 224, 13}};
inline constexpr Box XY_PAD = {62, 160, 188, 188};
inline constexpr Box MIDI_X_LAMP = {23, 153, 23, 15};
inline constexpr Box MIDI_Y_LAMP = {49, 368, 25, 16};

// ---------------------------------------------------------------- settings page
inline constexpr int SETTINGS_TOGGLE_X = 420;
// Where the page says that the chosen window size did not fit the screen.
inline constexpr Box SIZE_NOTE = {250, 350, 600, 16};
inline constexpr int SETTINGS_TOGGLE_COUNT = 6;
inline constexpr int SETTINGS_TOGGLE_Y[SETTINGS_TOGGLE_COUNT] = {433, 473, 513, 553, 593, 633};
inline constexpr const char* SETTINGS_KEYS[SETTINGS_TOGGLE_COUNT] = {"Key",    "MidiPreset", "MidiBank",
                                                                     "Big100", "Big150",     "Big200"};

}  // namespace layout
