#include "resources/Layout.h"

#include <stdexcept>

namespace art {

Scale scaleOf(int index) {
    return {index, layout::GUI_SCALES[index]};
}

namespace {

constexpr int MENU_H = layout::MENU_H;
constexpr int CAPTION_H = 11;

std::vector<BitmapSpec> makeSpecs() {
    using S = Stack;
    std::vector<BitmapSpec> v = {
        {0, WINDOW_W, WINDOW_H, S::Single, false},
        {1, 16, 16, S::Single, true},
        {2, WINDOW_W, WINDOW_H, S::Single, false},
        {3, 84, 22, S::TwoState, true},
        {5, 190, 22, S::Single, true},
        {6, 237, 19, S::Single, true},
        {10, 237, 76, S::Single, true},
        {11, 24, 20, S::TwoState, true},
        {13, 16, 16, S::Single, true},
        {14, 20, 20, S::TwoState, true},
        {20, 10, 14, S::TwoState, true},
        {21, 10, 14, S::TwoState, true},
    };
    for (int t = 0; t < 6; ++t)
        v.push_back({BMP_KNOB_FIRST + t, KNOB_TYPES[t].w, KNOB_TYPES[t].h, S::Strip, true});
    v.push_back({46, 14, 14, S::Single, true});
    for (int k = BMP_PANEL_OFF; k <= BMP_PANEL_GRAIN; ++k)
        v.push_back({k, PANEL_W, PANEL_H, S::Single, false});
    for (int k = BMP_PATH_FIRST; k < BMP_PATH_FIRST + 6; ++k) v.push_back({k, 261, 120, S::Single, true});
    v.push_back({80, 122, 20, S::Single, true});
    v.push_back({81, 122, 20, S::Single, true});
    v.push_back({82, 48, 14, S::Single, true});
    v.push_back({83, 48, 14, S::Single, true});
    v.push_back({84, 16, 16, S::Single, true});
    v.push_back({90, 68, 22, S::TwoState, true});
    v.push_back({91, 78, 22, S::TwoState, true});
    v.push_back({92, 60, 22, S::Single, true});
    v.push_back({93, 50, 22, S::TwoState, true});
    v.push_back({94, 80, 19, S::TwoState, true});
    v.push_back({95, 96, 38, S::TwoState, true});
    v.push_back({96, 76, 26, S::TwoState, true});
    v.push_back({97, 68, 22, S::TwoState, true});
    v.push_back({98, 68, 28, S::TwoState, true});
    return v;
}

}  // namespace

// Small types (Block and XY-row knobs) leave a caption band at the top of the frame, with the
// ring and its centre mark low enough to keep clear of the band's descenders (and, on the
// Gater panel, of the captions set lower under the step rows); the large Delay and follower
// knobs have theirs above the frame, where the rows leave room.
// The offsets are the editor's; the frames, rings and caption bands are the artwork's.
#define KNOB_OFFSETS(t) layout::OFF_X[t], layout::OFF_Y[t], layout::LABEL_OFF_X[t], layout::LABEL_OFF_Y[t]
const KnobType KNOB_TYPES[6] = {
    {KNOB_OFFSETS(0), 38, 48, 30.0, 13.0, -6, false},  {KNOB_OFFSETS(1), 38, 48, 30.0, 13.0, -6, true},
    {KNOB_OFFSETS(2), 36, 48, 26.5, 11.0, -9, false},  {KNOB_OFFSETS(3), 36, 48, 26.5, 11.0, -9, true},
    {KNOB_OFFSETS(4), 46, 42, 18.0, 15.5, -17, false}, {KNOB_OFFSETS(5), 50, 44, 20.0, 15.5, -17, true},
};
#undef KNOB_OFFSETS

const std::vector<BitmapSpec>& bitmapSpecs() {
    static const std::vector<BitmapSpec> specs = makeSpecs();
    return specs;
}

const BitmapSpec& spec(int k) {
    for (const BitmapSpec& s : bitmapSpecs())
        if (s.k == k) return s;
    throw std::out_of_range("no bitmap " + std::to_string(k));
}

Size stateSize(const BitmapSpec& s, const Scale& scale) {
    return {scale.px(s.w), scale.px(s.h)};
}

Size pixelSize(const BitmapSpec& s, const Scale& scale) {
    const Size one = stateSize(s, scale);
    const int count = s.stack == Stack::Strip ? KNOB_FRAMES : s.stack == Stack::TwoState ? 2 : 1;
    return {one.w, one.h * count};
}

PxRect knobRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    return {scale.px(knob.x + originX + t.offX), scale.px(knob.y + originY + t.offY), scale.px(t.w),
            scale.px(t.h)};
}

// The editor's rule: the readout starts at the knob's left edge, is as wide as the frame plus the
// type's label offset (in pixels), and its top is one frame height below the scaled label corner.
PxRect readoutRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    return {scale.px(knob.x + originX + t.offX),
            scale.px(t.h) + scale.px(knob.y + originY + t.offY + t.labelOffY), scale.px(t.w) + t.labelOffX,
            scale.px(11)};
}

double knobCentreX(int type, const Scale& scale) {
    return (scale.px(KNOB_TYPES[type].w) + KNOB_TYPES[type].labelOffX) / 2.0;
}

PxRect captionRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    const PxRect frame = knobRect(knob, scale, originX, originY);
    const int readoutW = frame.w + t.labelOffX;
    const int extra = scale.px(8);  // captions may be a little wider than the knob
    return {frame.x - extra + scale.px(knob.captionDx),
            scale.px(knob.y + originY + t.captionTop + knob.captionDy), readoutW + 2 * extra,
            scale.px(CAPTION_H)};
}

PxRect menuRect(const Menu& menu, const Scale& scale, int originX, int originY) {
    int y = scale.px(menu.y + originY);
    if (scale.index == 1) y += menu.yOffset150;
    if (scale.index == 2) y += menu.yOffset200;
    return {scale.px(menu.x + originX), y, scale.px(menu.w), scale.px(MENU_H)};
}

PxRect menuCaptionRect(const Menu& menu, const Scale& scale, int originX, int originY) {
    return {scale.px(menu.x + originX), scale.px(menu.y + originY - CAPTION_H - 2 + menu.captionDy),
            scale.px(menu.w), scale.px(CAPTION_H)};
}

PxRect placedRect(const Placed& p, const Scale& scale, int originX, int originY) {
    const Size s = stateSize(spec(p.bitmap), scale);
    return {scale.px(p.x + originX), scale.px(p.y + originY), s.w, s.h};
}

PxRect placedCaptionRect(const Placed& p, const Scale& scale, int originX, int originY) {
    const BitmapSpec& s = spec(p.bitmap);
    if (p.side == Side::Right)
        return {scale.px(p.x + originX + s.w + 3), scale.px(p.y + originY), scale.px(60), scale.px(s.h)};
    const int extra = scale.px(12);
    return {scale.px(p.x + originX) - extra, scale.px(p.y + originY - CAPTION_H), scale.px(s.w) + 2 * extra,
            scale.px(CAPTION_H)};
}

namespace {

// The editor's positions with the artwork's captions.
Knob knobAt(const layout::KnobRow& row, const char* caption, int captionDy = 0, int captionDx = 0) {
    return {row.x, row.y, row.type, caption, captionDy, captionDx};
}
Knob panelKnob(int row, const char* caption) {
    const layout::PanelKnobRow& k = layout::PANEL_KNOBS[row];
    return {k.x, k.y, k.type, caption};
}
Menu menuAt(const layout::MenuPlace& m, const char* caption, const char* sample, int captionDy = 0) {
    return {m.x, m.y, m.w, m.down150, m.down200, caption, sample, captionDy};
}
Placed placedAt(const layout::Point& p, int bitmap, const char* caption = "", Side side = Side::None) {
    return {p.x, p.y, bitmap, caption, side};
}

}  // namespace

const MainLayout& mainLayout() {
    using namespace layout;
    static const char* const CAPTIONS[11] = {"Left",     "Right",     "Feedback", "Cross",
                                             "Low Pass", "High Pass", "Mix",      "Boost",
                                             "Smooth",   "Threshold", "Hold"};
    static const MainLayout layout = [] {
        MainLayout m;
        for (int i = 0; i < 11; ++i) m.knobs.push_back(knobAt(KNOBS[i], CAPTIONS[i]));
        m.menus = {menuAt(PATH_MENU, "", "B1 > B2 > B3 > Delay"), menuAt(FOLLOWER_MENU, "", "Input")};
        m.buttons = {
            placedAt(PRESET_MENU, BMP_PRESET_WELL),
            placedAt(BANK_DISPLAY, BMP_PRESET_WELL),
            placedAt(PRESET_PREV, BMP_ARROW_PREV),
            placedAt(PRESET_NEXT, BMP_ARROW_NEXT),
            placedAt(BANK_PREV, BMP_ARROW_PREV),
            placedAt(BANK_NEXT, BMP_ARROW_NEXT),
            placedAt(EDITED_LAMP, BMP_LAMP_CLEAN),
            placedAt(REVERT_BUTTON, BMP_REVERT),
            placedAt(MANUAL_BUTTON, BMP_MANUAL),
            placedAt(MIDI_MAP_MENU, BMP_MIDI_MAP),
            placedAt(RESET_BUTTON, BMP_RESET),
            placedAt(BYPASS_BUTTON, BMP_BYPASS),
            placedAt(TRIGGER_BUTTON, BMP_TRIGGER),
            placedAt(SETTINGS_BUTTON, BMP_SETTINGS_BUTTON),
            placedAt(DELAY_ON_BUTTON, BMP_DELAY_ON),
            placedAt(DELAY_MONO_BUTTON, BMP_TOGGLE, "Mono", Side::Right),
            placedAt(DELAY_SYNC_BUTTON, BMP_TOGGLE, "Tempo Sync", Side::Right),
            placedAt(DELAY_EQUAL_BUTTON, BMP_TOGGLE),
            placedAt(EQUAL_FEED_PICTURE, BMP_EQUAL_FEED_OFF),
            placedAt(PATH_PICTURE, BMP_PATH_FIRST),
        };
        return m;
    }();
    return layout;
}

const MainLayout& blockRowLayout() {
    using namespace layout;
    static const MainLayout layout = [] {
        MainLayout m;
        // Block 1's XY row knobs: Speed, Speed Mod Amount, Smooth.
        // The Mod caption sits a little lower, clear of the Record radio above it.
        m.knobs = {knobAt(KNOBS[11], "Speed"), knobAt(KNOBS[12], "Mod", 3), knobAt(KNOBS[13], "Smooth")};
        m.menus = {
            menuAt(BLOCK_TYPE_MENU, "", "Filter"),
            menuAt(XY_SPEED_SOURCE_MENU, "Speed Mod Source", "Follower"),
            menuAt(XY_PLAY_MENU, "Play", "Free"),
            menuAt(XY_LOOP_MENU, "Loop", "On"),
            menuAt(XY_SYNC_MENU, "Sync", "1/1"),
            menuAt(XY_POINT_MENU, "Points", "32"),
            menuAt(XY_SPACE_MENU, "Grid", "Off"),
            menuAt(XY_TIME_MENU, "Time Quant", "Off"),
        };
        m.buttons = {
            placedAt(BLOCK_BYPASS_BUTTON, BMP_TOGGLE, "Bypass", Side::Right),
            placedAt(BLOCK_MENU_BUTTON, BMP_ROUND_BUTTON, "Menu", Side::Right),
            placedAt(XY_RECORD_RADIOS[0], BMP_ROUND_BUTTON, "Live", Side::Above),
            placedAt(XY_RECORD_RADIOS[1], BMP_ROUND_BUTTON, "Record", Side::Above),
            placedAt(XY_RECORD_RADIOS[2], BMP_ROUND_BUTTON, "Replay", Side::Above),
            placedAt(XY_EDIT_BUTTON, BMP_TOGGLE, "Edit", Side::Above),
            placedAt(XY_MENU_BUTTON, BMP_ROUND_BUTTON, "Menu", Side::Above),
        };
        return m;
    }();
    return layout;
}

namespace {

// Four knobs of the type row, from the editor's panel-knob rows.
std::vector<Knob> rowKnobs(std::initializer_list<int> rows, std::initializer_list<const char*> captions) {
    std::vector<Knob> knobs;
    auto caption = captions.begin();
    for (int row : rows) knobs.push_back(panelKnob(row, *caption++));
    return knobs;
}

// Spread (when the type has it), Pan, Volume, Mix and the six XY amounts named after the targets
// the pad's axes move for this type.
void addCommon(PanelLayout& p, bool spread, const char* x1, const char* x2, const char* x3) {
    using layout::BLOCK_KNOBS;
    // Beside a mode menu the Spread caption moves clear of the menu's end.
    const bool menuBeside = !p.menus.empty() && p.menus[0].y == layout::FILTER_MENU.y;
    if (spread) p.knobs.push_back(knobAt(BLOCK_KNOBS[0], "Spread", 0, menuBeside ? 4 : 0));
    p.knobs.push_back(knobAt(BLOCK_KNOBS[1], "Pan"));
    p.knobs.push_back(knobAt(BLOCK_KNOBS[2], "Volume"));
    p.knobs.push_back(knobAt(BLOCK_KNOBS[3], "Mix"));
    const char* names[3] = {x1, x2, x3};
    for (int i = 0; i < 3; ++i) p.knobs.push_back(knobAt(BLOCK_KNOBS[4 + i], names[i], 2));
    for (int i = 0; i < 3; ++i) p.knobs.push_back(knobAt(BLOCK_KNOBS[7 + i], names[i]));
}

std::vector<PanelLayout> makePanels() {
    using namespace layout;
    std::vector<PanelLayout> panels;
    auto modeMenu = [](const MenuPlace& place, const char* sample) { return menuAt(place, "Mode", sample); };

    PanelLayout off{BMP_PANEL_OFF,
                    "OFF",
                    "signal passes",
                    rowKnobs({0, 1, 2, 3}, {"None 1", "None 2", "None 3", "None 4"}),
                    {},
                    {},
                    false,
                    true};
    addCommon(off, true, "None 1", "None 2", "None 3");
    panels.push_back(off);

    const char* filterX3[3] = {"Q", "Vowel", "Gain"};
    const char* filterSub[3] = {"6 to 36 dB", "vowel / formant", "shelving EQ"};
    const char* filterMode[3] = {"LP2 24dB", "Vowel", "Low Shelf"};
    for (int v = 0; v < 3; ++v) {
        PanelLayout p{
            BMP_PANEL_FILTER + v,
            "FILTER",
            filterSub[v],
            rowKnobs({4, 5, 6, v == 2 ? 8 : 7}, {"Distort", "Freq", "Q", v == 2 ? "Gain" : "Vowel"}),
            {modeMenu(FILTER_MENU, filterMode[v])},
            {},
            false,
            false};
        addCommon(p, true, "Distort", "Freq", filterX3[v]);
        panels.push_back(p);
    }

    PanelLayout comb{BMP_PANEL_COMB,
                     "COMB",
                     "tuned resonator",
                     rowKnobs({9, 10, 11, 12}, {"Freq", "Feed", "Damp", "Random"}),
                     {modeMenu(COMB_MENU, "Comb Pos")},
                     {},
                     false,
                     false};
    addCommon(comb, true, "Freq", "Feed", "Damp");
    panels.push_back(comb);

    PanelLayout ring{BMP_PANEL_SHAPER_RING,
                     "SHAPER",
                     "ring modulator",
                     rowKnobs({13, 14, 15, 16}, {"Wave", "Freq", "Amount", "Sym"}),
                     {modeMenu(SHAPER_MENU, "Ring Mod")},
                     {},
                     false,
                     false};
    addCommon(ring, true, "Wave", "Freq", "Amount");
    panels.push_back(ring);

    PanelLayout mod{BMP_PANEL_SHAPER_MOD,
                    "SHAPER",
                    "oscillator mod",
                    rowKnobs({13, 14, 15, 17}, {"Wave", "Freq", "Amount", "Envelope"}),
                    {modeMenu(SHAPER_MENU, "Freq Mod")},
                    {},
                    false,
                    false};
    addCommon(mod, true, "Wave", "Freq", "Amount");
    panels.push_back(mod);

    PanelLayout lowfi{BMP_PANEL_SHAPER_LOWFI,
                      "SHAPER",
                      "low-fi",
                      rowKnobs({18, 19, 20, 21}, {"Freq", "Q", "Rate", "Bits"}),
                      {modeMenu(SHAPER_MENU, "Low-Fi"), menuAt(LOWFI_MENU, "Low-Fi Filter", "LP")},
                      {},
                      false,
                      false};
    addCommon(lowfi, true, "Freq", "Q", "Rate");
    panels.push_back(lowfi);

    PanelLayout room{BMP_PANEL_ROOM,
                     "ROOM",
                     "stereo reverb",
                     rowKnobs({22, 23, 24, 25}, {"Length", "Damp", "Low Cut", "Mod"}),
                     {},
                     {},
                     false,
                     false};
    addCommon(room, true, "Length", "Damp", "Low Cut");
    panels.push_back(room);

    PanelLayout gater{BMP_PANEL_GATER,
                      "",
                      "",
                      rowKnobs({26, 27}, {"Swing", "Smooth"}),
                      {menuAt(GATER_STEPS_MENU, "Steps", "16 Steps"), menuAt(GATER_LOOP_MENU, "Loop", "Loop"),
                       menuAt(GATER_SPEED_MENU, "Speed", "x1 bpm")},
                      {},
                      true,
                      false};
    addCommon(gater, false, "Left On", "Right On", "Mix");
    // The step rows reach into the knobs' caption band: the row of knobs under them has its
    // captions lower and a size smaller, between the rows and the rings.
    for (Knob& k : gater.knobs)
        if (k.y == layout::BLOCK_KNOBS[1].y) {
            k.captionDy = 4;
            k.captionSize = 8.0;
        }
    panels.push_back(gater);

    PanelLayout grain{
        BMP_PANEL_GRAIN,
        "",
        "",
        rowKnobs({28, 29, 30, 31, 32, 33, 34}, {"Write", "Rate", "Shape", "Read", "Semi", "Fine", "Random"}),
        {menuAt(GRAIN_MODE_MENU, "Mode", "Loop Sync", 2)},
        {placedAt(GRAIN_DRY_BUTTON, BMP_TOGGLE, "Dry", Side::Above),
         placedAt(GRAIN_LINK_BUTTON, BMP_ROUND_BUTTON, "Link", Side::Above)},
        false,
        false};
    addCommon(grain, false, "Semi", "Size", "Length");
    panels.push_back(grain);
    return panels;
}

}  // namespace

const std::vector<PanelLayout>& panelLayouts() {
    static const std::vector<PanelLayout> panels = makePanels();
    return panels;
}

const PanelLayout& panelLayout(int bitmap) {
    for (const PanelLayout& p : panelLayouts())
        if (p.bitmap == bitmap) return p;
    throw std::out_of_range("no panel " + std::to_string(bitmap));
}

const std::vector<SettingsRow>& settingsRows() {
    static const char* const LABELS[layout::SETTINGS_TOGGLE_COUNT][2] = {
        {"Preset keys", "Up and down arrow keys step through the presets"},
        {"MIDI program change", "Stored preference; program changes are not acted on"},
        {"MIDI bank select", "Stored preference for bank select messages"},
        {"Window 100 %", "1100 x 730"},
        {"Window 150 %", "1650 x 1095"},
        {"Window 200 %", "2200 x 1460"},
    };
    static const std::vector<SettingsRow> rows = [] {
        std::vector<SettingsRow> v;
        for (int i = 0; i < layout::SETTINGS_TOGGLE_COUNT; ++i)
            v.push_back({layout::SETTINGS_TOGGLE_Y[i], layout::SETTINGS_KEYS[i], LABELS[i][0], LABELS[i][1]});
        return v;
    }();
    return rows;
}

}  // namespace art
