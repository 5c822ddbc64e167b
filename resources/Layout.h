#pragma once

// Where the editor puts its controls and what size its bitmaps have, in the design units of the
// 100 % window (1100 x 730). The artwork paints captions, wells and frames at exactly the pixels
// the editor will use for its controls, so every position here goes through the editor's own
// rounding rule (Scale::px).

#include <string>
#include <vector>

#include "editor/EditorLayout.h"

namespace art {

// One of the three window sizes. The editor scales a position by multiplying with a float
// factor and truncating; pictures that must meet a control do the same.
struct Scale {
    int index;     // 0, 1, 2
    float factor;  // 1.0, 1.5, 2.0
    int px(int units) const { return layout::scaled(units, factor); }
    double d(double units) const { return units * static_cast<double>(factor); }
};
Scale scaleOf(int index);
inline constexpr int SCALE_COUNT = 3;

// Resource id of bitmap k at a size.
inline int resourceId(int k, int sizeIndex) {
    return static_cast<int>(layout::bitmapId(k, sizeIndex));
}

// Positions are the editor's (editor/EditorLayout.h); the panel size is the artwork's choice.
inline constexpr int WINDOW_W = layout::WINDOW_W;
inline constexpr int WINDOW_H = layout::WINDOW_H;
inline constexpr int PANEL_W = 260;
inline constexpr int PANEL_H = 408;
inline constexpr int BLOCK_LEFT = layout::BLOCK_CONTAINER.x;
inline constexpr int BLOCK_TOP = layout::BLOCK_CONTAINER.y;
inline constexpr int BLOCK_STRIDE = layout::BLOCK_STRIDE;
inline constexpr int KNOB_FRAMES = layout::KNOB_FRAMES;

// Bitmap numbers (k), as the editor names them.
using Bitmap = layout::BitmapNumber;
using enum layout::BitmapNumber;

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
    double captionSize = 0.0;  // units; 0: the caption face's own size
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

constexpr PxRect pxRect(const layout::Box& b) {
    return {b.x, b.y, b.w, b.h};
}
inline constexpr PxRect XY_PAD = pxRect(layout::XY_PAD);  // units, inside the panel
inline constexpr PxRect MIDI_X_LAMP = pxRect(layout::MIDI_X_LAMP);
inline constexpr PxRect MIDI_Y_LAMP = pxRect(layout::MIDI_Y_LAMP);
inline constexpr PxRect GATER_ROWS[2] = {pxRect(layout::GATER_ROWS[0]), pxRect(layout::GATER_ROWS[1])};
inline constexpr int CONNECTOR_X = layout::CONNECTOR.x, CONNECTOR_Y = layout::CONNECTOR.y;
inline constexpr PxRect MOD_VIEW = pxRect(layout::MOD_VIEW);
inline constexpr auto& MOD_COLUMN_END = layout::MOD_COLOUMN_END;
inline constexpr auto& MOD_ROW_HEIGHT = layout::MOD_SLOT_HEIGHT;

// The modulation matrix's hint: what a knob dropped on it does (it fills the first free slot,
// whichever row it lands on).
inline constexpr const char* MOD_DROP_HINT = "drop a knob here: it takes the first free slot";

// The settings page's six switches and what they mean.
struct SettingsRow {
    int y;
    std::string key, label, hint;
};
inline constexpr int SETTINGS_SWITCH_X = layout::SETTINGS_TOGGLE_X;
const std::vector<SettingsRow>& settingsRows();

inline int blockLeft(int b) {
    return BLOCK_LEFT + BLOCK_STRIDE * b;
}

}  // namespace art
