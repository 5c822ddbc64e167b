#include "resources/Layout.h"

#include <stdexcept>

namespace art {

Scale scaleOf(int index) {
    static const float FACTORS[SCALE_COUNT] = {1.0f, 1.5f, 2.0f};
    return {index, FACTORS[index]};
}

namespace {

constexpr int MENU_H = 16;
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
    for (int t = 0; t < 6; ++t) v.push_back({BMP_KNOB_FIRST + t, KNOB_TYPES[t].w, KNOB_TYPES[t].h, S::Strip, true});
    v.push_back({46, 14, 14, S::Single, true});
    for (int k = BMP_PANEL_OFF; k <= BMP_PANEL_GRAIN; ++k) v.push_back({k, PANEL_W, PANEL_H, S::Single, false});
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

// Small types (Block and XY-row knobs) leave a caption band at the top of the frame; the large
// Delay and follower knobs have theirs above the frame, where the rows leave room.
const KnobType KNOB_TYPES[6] = {
    {-6, -6, 1, -5, 38, 48, 27.0, 14.5, -6, false},
    {-6, -6, 1, -5, 38, 48, 27.0, 14.5, -6, true},
    {-3, -9, 0, -10, 36, 48, 24.0, 12.0, -9, false},
    {-3, -9, 0, -10, 36, 48, 24.0, 12.0, -9, true},
    {-5, -5, 0, -6, 46, 42, 18.0, 15.5, -17, false},
    {-7, -7, 0, -6, 50, 44, 20.0, 15.5, -17, true},
};

const std::vector<BitmapSpec>& bitmapSpecs() {
    static const std::vector<BitmapSpec> specs = makeSpecs();
    return specs;
}

const BitmapSpec& spec(int k) {
    for (const BitmapSpec& s : bitmapSpecs())
        if (s.k == k) return s;
    throw std::out_of_range("no bitmap " + std::to_string(k));
}

Size stateSize(const BitmapSpec& s, const Scale& scale) { return {scale.px(s.w), scale.px(s.h)}; }

Size pixelSize(const BitmapSpec& s, const Scale& scale) {
    const Size one = stateSize(s, scale);
    const int count = s.stack == Stack::Strip ? KNOB_FRAMES : s.stack == Stack::TwoState ? 2 : 1;
    return {one.w, one.h * count};
}

PxRect knobRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    return {scale.px(knob.x + originX + t.offX), scale.px(knob.y + originY + t.offY), scale.px(t.w), scale.px(t.h)};
}

// The editor's rule: the readout starts at the knob's left edge, is as wide as the frame plus the
// type's label offset (in pixels), and its top is one frame height below the scaled label corner.
PxRect readoutRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    return {scale.px(knob.x + originX + t.offX), scale.px(t.h) + scale.px(knob.y + originY + t.offY + t.labelOffY),
            scale.px(t.w) + t.labelOffX, scale.px(11)};
}

double knobCentreX(int type, const Scale& scale) {
    return (scale.px(KNOB_TYPES[type].w) + KNOB_TYPES[type].labelOffX) / 2.0;
}

PxRect captionRect(const Knob& knob, const Scale& scale, int originX, int originY) {
    const KnobType& t = KNOB_TYPES[knob.type];
    const PxRect frame = knobRect(knob, scale, originX, originY);
    const int readoutW = frame.w + t.labelOffX;
    const int extra = scale.px(8);  // captions may be a little wider than the knob
    return {frame.x - extra + scale.px(knob.captionDx), scale.px(knob.y + originY + t.captionTop + knob.captionDy),
            readoutW + 2 * extra,
            scale.px(CAPTION_H)};
}

PxRect menuRect(const Menu& menu, const Scale& scale, int originX, int originY) {
    int y = scale.px(menu.y + originY);
    if (scale.index == 1) y += menu.yOffset150;
    if (scale.index == 2) y += menu.yOffset200;
    return {scale.px(menu.x + originX), y, scale.px(menu.w), scale.px(MENU_H)};
}

PxRect menuCaptionRect(const Menu& menu, const Scale& scale, int originX, int originY) {
    return {scale.px(menu.x + originX), scale.px(menu.y + originY - CAPTION_H - 2 + menu.captionDy), scale.px(menu.w),
            scale.px(CAPTION_H)};
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

const MainLayout& mainLayout() {
    static const MainLayout layout = {
        {
            {838, 331, 4, "Left"},
            {900, 331, 4, "Right"},
            {960, 331, 5, "Feedback"},
            {1022, 331, 5, "Cross"},
            {868, 395, 4, "Low Pass"},
            {929, 395, 4, "High Pass"},
            {990, 395, 4, "Mix"},
            {837, 498, 5, "Boost"},
            {900, 498, 4, "Smooth"},
            {961, 498, 4, "Threshold"},
            {1021, 498, 4, "Hold"},
        },
        {
            {901, 123, 164, 0, 0, "", "B1 > B2 > B3 > Delay"},
            {987, 462, 79, 0, 0, "", "Input"},
        },
        {
            {98, 40, BMP_PRESET_WELL},
            {120, 72, BMP_PRESET_WELL},
            {290, 44, BMP_ARROW_PREV},
            {300, 44, BMP_ARROW_NEXT},
            {99, 76, BMP_ARROW_PREV},
            {109, 76, BMP_ARROW_NEXT},
            {327, 33, BMP_LAMP_CLEAN},
            {322, 64, BMP_REVERT},
            {409, 33, BMP_MANUAL},
            {404, 64, BMP_MIDI_MAP},
            {468, 67, BMP_RESET},
            {474, 33, BMP_BYPASS},
            {567, 48, BMP_TRIGGER},
            {686, 40, BMP_SETTINGS_BUTTON},
            {824, 284, BMP_DELAY_ON},
            {906, 290, BMP_TOGGLE, "Mono", Side::Right},
            {969, 290, BMP_TOGGLE, "Tempo Sync", Side::Right},
            {1037, 403, BMP_TOGGLE},
            {1016, 374, BMP_EQUAL_FEED_OFF},
            {819, 152, BMP_PATH_FIRST},
        },
    };
    return layout;
}

const MainLayout& blockRowLayout() {
    static const MainLayout layout = {
        {
            {48, 587, 3, "Speed"},
            {102, 587, 3, "Mod"},
            {241, 587, 2, "Smooth"},
        },
        {
            {70, 123, 80, 0, 0, "", "Filter"},
            {144, 595, 85, 0, 0, "Speed Mod Source", "Follower"},
            {27, 645, 71, 0, 0, "Play", "Free"},
            {103, 645, 71, 0, 0, "Loop", "On"},
            {178, 645, 71, 0, 0, "Sync", "1/1"},
            {27, 677, 71, 0, 0, "Points", "32"},
            {103, 677, 71, 0, 0, "Grid", "Off"},
            {178, 677, 71, 0, 0, "Time Quant", "Off"},
        },
        {
            {154, 119, BMP_TOGGLE, "Bypass", Side::Right},
            {226, 119, BMP_ROUND_BUTTON, "Menu", Side::Right},
            {30, 562, BMP_ROUND_BUTTON, "Live", Side::Above},
            {100, 562, BMP_ROUND_BUTTON, "Record", Side::Above},
            {188, 562, BMP_ROUND_BUTTON, "Replay", Side::Above},
            {256, 641, BMP_TOGGLE, "Edit", Side::Above},
            {256, 673, BMP_ROUND_BUTTON, "Menu", Side::Above},
        },
    };
    return layout;
}

namespace {

std::vector<Knob> rowKnobs(const char* a, const char* b, const char* c, const char* d, int typeD) {
    return {{98, 22, 0, a}, {138, 22, 0, b}, {178, 22, 0, c}, {218, 22, typeD, d}};
}

// Spread (when the type has it), Pan, Volume, Mix and the six XY amounts named after the targets
// the pad's axes move for this type.
void addCommon(PanelLayout& p, bool spread, const char* x1, const char* x2, const char* x3) {
    // Beside a mode menu the Spread caption moves clear of the menu's end.
    const bool menuBeside = !p.menus.empty() && p.menus[0].y == 67;
    if (spread) p.knobs.push_back({98, 84, 0, "Spread", 0, menuBeside ? 4 : 0});
    p.knobs.push_back({138, 84, 1, "Pan"});
    p.knobs.push_back({178, 84, 0, "Volume"});
    p.knobs.push_back({218, 84, 1, "Mix"});
    const char* names[3] = {x1, x2, x3};
    for (int i = 0; i < 3; ++i) p.knobs.push_back({13, 172 + 64 * i, 1, names[i], 2});
    for (int i = 0; i < 3; ++i) p.knobs.push_back({83 + 66 * i, 357, 1, names[i]});
}

std::vector<PanelLayout> makePanels() {
    std::vector<PanelLayout> panels;
    auto modeMenu = [](const char* sample) { return Menu{7, 67, 93, 2, 3, "Mode", sample}; };

    PanelLayout off{BMP_PANEL_OFF, "OFF", "signal passes", rowKnobs("None 1", "None 2", "None 3", "None 4", 0), {}, {},
                    false, true};
    addCommon(off, true, "None 1", "None 2", "None 3");
    panels.push_back(off);

    const char* filterX3[3] = {"Q", "Vowel", "Gain"};
    const char* filterSub[3] = {"6 to 36 dB", "vowel / formant", "shelving EQ"};
    const char* filterMode[3] = {"LP2 24dB", "Vowel", "Low Shelf"};
    for (int v = 0; v < 3; ++v) {
        PanelLayout p{BMP_PANEL_FILTER + v,
                      "FILTER",
                      filterSub[v],
                      rowKnobs("Distort", "Freq", "Q", v == 2 ? "Gain" : "Vowel", v == 2 ? 1 : 0),
                      {modeMenu(filterMode[v])},
                      {},
                      false,
                      false};
        addCommon(p, true, "Distort", "Freq", filterX3[v]);
        panels.push_back(p);
    }

    PanelLayout comb{BMP_PANEL_COMB, "COMB", "tuned resonator", rowKnobs("Freq", "Feed", "Damp", "Random", 0),
                     {modeMenu("Comb Pos")}, {}, false, false};
    addCommon(comb, true, "Freq", "Feed", "Damp");
    panels.push_back(comb);

    PanelLayout ring{BMP_PANEL_SHAPER_RING, "SHAPER", "ring modulator", rowKnobs("Wave", "Freq", "Amount", "Sym", 1),
                     {modeMenu("Ring Mod")}, {}, false, false};
    addCommon(ring, true, "Wave", "Freq", "Amount");
    panels.push_back(ring);

    PanelLayout mod{BMP_PANEL_SHAPER_MOD, "SHAPER", "oscillator mod", rowKnobs("Wave", "Freq", "Amount", "Envelope", 0),
                    {modeMenu("Freq Mod")}, {}, false, false};
    addCommon(mod, true, "Wave", "Freq", "Amount");
    panels.push_back(mod);

    PanelLayout lowfi{BMP_PANEL_SHAPER_LOWFI, "SHAPER", "low-fi", rowKnobs("Freq", "Q", "Rate", "Bits", 0),
                      {modeMenu("Low-Fi"), {7, 112, 93, 0, 0, "Low-Fi Filter", "LP"}}, {}, false, false};
    addCommon(lowfi, true, "Freq", "Q", "Rate");
    panels.push_back(lowfi);

    PanelLayout room{BMP_PANEL_ROOM, "ROOM", "stereo reverb", rowKnobs("Length", "Damp", "Low Cut", "Mod", 0), {}, {},
                     false, false};
    addCommon(room, true, "Length", "Damp", "Low Cut");
    panels.push_back(room);

    PanelLayout gater{BMP_PANEL_GATER,
                      "",
                      "",
                      {{58, 84, 0, "Swing"}, {98, 84, 0, "Smooth"}},
                      {{10, 21, 79, 0, 0, "Steps", "16 Steps"},
                       {93, 21, 79, 0, 0, "Loop", "Loop"},
                       {176, 21, 79, 0, 0, "Speed", "x1 bpm"}},
                      {},
                      true,
                      false};
    addCommon(gater, false, "Left On", "Right On", "Mix");
    panels.push_back(gater);

    PanelLayout grain{BMP_PANEL_GRAIN,
                      "",
                      "",
                      {{98, 22, 0, "Write"},
                       {138, 22, 0, "Rate"},
                       {178, 22, 1, "Shape"},
                       {218, 22, 1, "Read"},
                       {18, 84, 1, "Semi"},
                       {58, 84, 1, "Fine"},
                       {98, 84, 0, "Random"}},
                      {{14, 50, 79, 0, 0, "Mode", "Loop Sync", 2}},
                      {{32, 17, BMP_TOGGLE, "Dry", Side::Above}, {72, 17, BMP_ROUND_BUTTON, "Link", Side::Above}},
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
    static const std::vector<SettingsRow> rows = {
        {433, "Key", "Preset keys", "Up and down arrow keys step through the presets"},
        {473, "MidiPreset", "MIDI program change", "Stored preference; program changes are not acted on"},
        {513, "MidiBank", "MIDI bank select", "Stored preference for bank select messages"},
        {553, "Big100", "Window 100 %", "1100 x 730"},
        {593, "Big150", "Window 150 %", "1650 x 1095"},
        {633, "Big200", "Window 200 %", "2200 x 1460"},
    };
    return rows;
}

}  // namespace art
