#pragma once

// Where the editor puts its controls and what size its bitmaps have, in the design units of the
// 100 % window (1100 x 730). The artwork paints captions, wells and frames at exactly the pixels
// the editor will use for its controls, so every position here goes through the editor's own
// rounding rule (Scale::px).

#include <string>
#include <vector>

namespace art {

// One of the three window sizes. The editor scales a position by multiplying with a float
// factor and truncating; pictures that must meet a control do the same.
struct Scale {
    int index;     // 0, 1, 2
    float factor;  // 1.0, 1.5, 2.0
    int px(int units) const { return static_cast<int>(static_cast<float>(units) * factor); }
    double d(double units) const { return units * static_cast<double>(factor); }
};
Scale scaleOf(int index);
inline constexpr int SCALE_COUNT = 3;

// Resource id of bitmap k at a size.
inline int resourceId(int k, int sizeIndex) { return 10000 + 1000 * sizeIndex + k; }

inline constexpr int WINDOW_W = 1100;
inline constexpr int WINDOW_H = 730;
inline constexpr int PANEL_W = 260;
inline constexpr int PANEL_H = 408;
inline constexpr int BLOCK_COUNT = 3;
inline constexpr int BLOCK_LEFT = 21;
inline constexpr int BLOCK_TOP = 140;
inline constexpr int BLOCK_STRIDE = 266;
inline constexpr int KNOB_FRAMES = 137;

// Bitmap numbers (k) with a role in the artwork.
enum Bitmap : int {
    BMP_BACKGROUND = 0,
    BMP_SPARE_1 = 1,
    BMP_SETTINGS_PAGE = 2,
    BMP_SETTINGS_BUTTON = 3,
    BMP_PRESET_WELL = 5,
    BMP_MOD_ROW = 6,
    BMP_MOD_GRID = 10,
    BMP_TOGGLE = 11,
    BMP_SPARE_13 = 13,
    BMP_ROUND_BUTTON = 14,
    BMP_ARROW_PREV = 20,
    BMP_ARROW_NEXT = 21,
    BMP_KNOB_FIRST = 30,
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
    BMP_PATH_FIRST = 70,
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

// How a bitmap is laid out: one picture, two states stacked (off above on), or a knob strip of
// 137 frames stacked vertically.
enum class Stack { Single, TwoState, Strip };

struct BitmapSpec {
    int k;
    int w, h;  // units; for stacks the size of one state or frame
    Stack stack;
    bool alpha;  // drawn over other pictures
};
const std::vector<BitmapSpec>& bitmapSpecs();  // all 50, in id order
const BitmapSpec& spec(int k);

struct Size {
    int w, h;
};
Size stateSize(const BitmapSpec& s, const Scale& scale);  // one state or frame, pixels
Size pixelSize(const BitmapSpec& s, const Scale& scale);  // the whole file, pixels

struct PxRect {
    int x, y, w, h;
};

// Knob types 0..5: the layout's offsets from a knob's reference point, and our film-strip
// frames. Every type keeps a band above its knob for the painted caption (inside the frame for
// the small types, above it for the large ones).
struct KnobType {
    int offX, offY, labelOffX, labelOffY;
    int w, h;         // frame, units
    double cy, ring;  // knob centre height in the frame and ring radius, units
    int captionTop;   // caption band top relative to the reference y, units (band is 11 high)
    bool bipolar;
};
extern const KnobType KNOB_TYPES[6];

struct Knob {
    int x, y, type;
    std::string caption;
    int captionDy = 0;  // units: where a neighbour needs the caption moved
    int captionDx = 0;
};
PxRect knobRect(const Knob& knob, const Scale& scale, int originX = 0, int originY = 0);
PxRect readoutRect(const Knob& knob, const Scale& scale, int originX = 0, int originY = 0);
PxRect captionRect(const Knob& knob, const Scale& scale, int originX = 0, int originY = 0);
double knobCentreX(int type, const Scale& scale);  // from the frame's left edge, pixels

// Option menus: scaled position, 16 units high, some pushed down a little at the larger sizes.
struct Menu {
    int x, y, w;
    int yOffset150, yOffset200;
    std::string caption;  // painted above the well ("" for none)
    std::string sample;   // what the preview shows in it
    int captionDy = 0;    // units, where a control above needs the caption lower
};
PxRect menuRect(const Menu& menu, const Scale& scale, int originX = 0, int originY = 0);
PxRect menuCaptionRect(const Menu& menu, const Scale& scale, int originX = 0, int originY = 0);

// A control drawn from one of our bitmaps (button, lamp, picture) at a reference corner, and
// where its caption goes.
enum class Side { None, Right, Above };
struct Placed {
    int x, y, bitmap;
    std::string caption = {};
    Side side = Side::None;
};
PxRect placedCaptionRect(const Placed& p, const Scale& scale, int originX = 0, int originY = 0);
PxRect placedRect(const Placed& p, const Scale& scale, int originX = 0, int originY = 0);

// Fixed controls of the main page (absolute positions).
struct MainLayout {
    std::vector<Knob> knobs;
    std::vector<Menu> menus;
    std::vector<Placed> buttons;  // buttons, lamps and pictures drawn from bitmaps
};
const MainLayout& mainLayout();

// The per-Block controls outside the panel (header row and XY row), for Block 0; the others
// sit BLOCK_STRIDE further right.
const MainLayout& blockRowLayout();

// A Block panel background and the controls shown on it (positions inside the panel).
struct PanelLayout {
    int bitmap;
    std::string title, subtitle;
    std::vector<Knob> knobs;
    std::vector<Menu> menus;
    std::vector<Placed> buttons;
    bool gaterGrid;
    bool dimSpread;
};
const std::vector<PanelLayout>& panelLayouts();  // bitmaps 50..60
const PanelLayout& panelLayout(int bitmap);

inline constexpr PxRect XY_PAD = {62, 160, 188, 188};  // units, inside the panel
inline constexpr PxRect MIDI_X_LAMP = {23, 153, 23, 15};
inline constexpr PxRect MIDI_Y_LAMP = {49, 368, 25, 16};
inline constexpr PxRect GATER_ROWS[2] = {{26, 55, 224, 13}, {26, 70, 224, 13}};
inline constexpr int CONNECTOR_X = 138, CONNECTOR_Y = 128;
inline constexpr PxRect MOD_VIEW = {829, 622, 237, 76};
inline constexpr int MOD_COLUMN_END[3][4] = {{24, 105, 194, 237}, {36, 157, 291, 355}, {48, 210, 388, 474}};

// The settings page's six switches and what they mean.
struct SettingsRow {
    int y;
    std::string key, label, hint;
};
inline constexpr int SETTINGS_SWITCH_X = 420;
const std::vector<SettingsRow>& settingsRows();

inline int blockLeft(int b) { return BLOCK_LEFT + BLOCK_STRIDE * b; }

}  // namespace art
