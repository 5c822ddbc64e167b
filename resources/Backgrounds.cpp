// The window background, the settings page and the Block panels, with every caption painted at
// the pixels of the control it names.

#include <algorithm>
#include <cmath>
#include <string>

#include "resources/Artwork.h"

namespace art {

namespace {

// Edges in units, each scaled on its own, so neighbouring pictures meet on the same pixel.
PxRect span(const Scale& s, int x0, int y0, int x1, int y1) {
    return {s.px(x0), s.px(y0), s.px(x1) - s.px(x0), s.px(y1) - s.px(y0)};
}

constexpr int CARD_TOP = 112;
constexpr int CARD_BOTTOM = 706;
constexpr int HEADER_BOTTOM = 140;
constexpr int XY_ZONE_TOP = 137;  // inside the panel
constexpr int RIGHT_LEFT = 819;
constexpr int RIGHT_RIGHT = 1080;

const Font SECTION_SMALL{8.5, true, 0.9};
const Font HEADING{8.0, true, 1.2};

Colour titleInk() {
    return mix(palette::TURQUOISE, palette::CARD, 0.15);
}

void header(Canvas& c, const PxRect& card) {
    const Scale& s = c.scale();
    const int l = c.line();
    const int bottom = s.px(HEADER_BOTTOM);
    c.fillRound(card.x + l, card.y + l, card.w - 2 * l, bottom - card.y - l, c.u(4), palette::CARD_HEADER);
    c.fillRect(card.x + l, card.y + c.u(6), card.w - 2 * l, bottom - card.y - c.u(6), palette::CARD_HEADER);
    c.fillRect(card.x + l, bottom - l, card.w - 2 * l, l, palette::RULE);
}

// The lower, darker zone of a Block card that holds the XY pad and its settings.
void xyZone(Canvas& c, int x, int w, int top, int bottom, bool roundBottom) {
    const int l = c.line();
    if (roundBottom) {
        c.fillRound(x + l, top, w - 2 * l, bottom - top - l, c.u(4), palette::CARD_LOWER);
        c.fillRect(x + l, top, w - 2 * l, c.u(6), palette::CARD_LOWER);
    } else {
        c.fillRect(x + l, top, w - 2 * l, bottom - top, palette::CARD_LOWER);
    }
}

void xyPad(Canvas& c, int originX, int originY) {
    const Scale& s = c.scale();
    const PxRect r{s.px(XY_PAD.x + originX), s.px(XY_PAD.y + originY), s.px(XY_PAD.w), s.px(XY_PAD.h)};
    const int l = c.line();
    const int border = l;
    c.fillRect(r.x - border, r.y - border, r.w + 2 * border, r.h + 2 * border, palette::WELL_LIGHT);
    c.fillRect(r.x - border, r.y - border, r.w + 2 * border, r.h + border, palette::WELL_EDGE);
    c.fillRect(r, palette::PAD);
    // Quarter marks and a centre cross, faint enough to sit under the pad's own grid.
    const Colour faint = rgb(14, 24, 25);
    c.fillRect(r.x + r.w / 2, r.y, l, r.h, faint);
    c.fillRect(r.x, r.y + r.h / 2, r.w, l, faint);
    const int tick = s.px(4);
    for (int i = 1; i < 4; ++i) {
        if (i == 2) continue;
        const int tx = r.x + r.w * i / 4;
        const int ty = r.y + r.h * i / 4;
        c.fillRect(tx, r.y, l, tick, palette::RULE);
        c.fillRect(tx, r.y + r.h - tick, l, tick, palette::RULE);
        c.fillRect(r.x, ty, tick, l, palette::RULE);
        c.fillRect(r.x + r.w - tick, ty, tick, l, palette::RULE);
    }
    c.text("Y", r.x + s.px(3), r.y + s.px(2), s.px(10), s.px(10), HEADING, palette::CAPTION_DIM, Align::Left);
    c.text("X", r.x + r.w - s.px(13), r.y + r.h - s.px(12), s.px(10), s.px(10), HEADING, palette::CAPTION_DIM,
           Align::Right);
}

void midiLamp(Canvas& c, const PxRect& unitsRect, const char* axis, int originX, int originY, int captionDx) {
    const Scale& s = c.scale();
    const PxRect r{s.px(unitsRect.x + originX), s.px(unitsRect.y + originY), s.px(unitsRect.w),
                   s.px(unitsRect.h)};
    c.fillRound(r.x, r.y, r.w, r.h, c.u(3), palette::KEY_EDGE);
    c.verticalGradient(r.x + c.line(), r.y + c.line(), r.w - 2 * c.line(), r.h - 2 * c.line(), c.u(2.5),
                       palette::KEY_TOP, palette::KEY_BOTTOM);
    c.text(axis, r, Font{8.5, true}, palette::TURQUOISE);
    c.text("MIDI", r.x + s.px(captionDx) - s.px(10), r.y - s.px(12), r.w + s.px(20), s.px(11), HEADING,
           palette::CAPTION_DIM);
}

void paintKnobCaptions(Canvas& c, const std::vector<Knob>& knobs, int originX, int originY, bool dimAll) {
    for (const Knob& k : knobs) paintKnobCaption(c, k, knobs, originX, originY, dimAll);
}

// Header, panel area and XY row of one Block on the main background.
void blockColumn(Canvas& c, int b) {
    const Scale& s = c.scale();
    const int left = blockLeft(b);
    const PxRect card = span(s, left, CARD_TOP, left + PANEL_W, CARD_BOTTOM);
    c.card(card, c.u(5), palette::CARD);
    header(c, card);
    const int panelTop = s.px(BLOCK_TOP);
    xyZone(c, card.x, card.w, panelTop + s.px(XY_ZONE_TOP), card.y + card.h, true);
    c.fillRect(card.x + c.line(), panelTop + s.px(XY_ZONE_TOP), card.w - 2 * c.line(), c.line(),
               palette::RULE);
    c.text("BLOCK " + std::to_string(b + 1), span(s, left + 6, 119, left + 68, 139), Font{7.5, true, 0.3},
           titleInk(), Align::Left);

    const int originX = BLOCK_STRIDE * b;
    const MainLayout& row = blockRowLayout();
    for (const Menu& m : row.menus) paintMenuWell(c, m, originX, 0);
    for (const Placed& p : row.buttons) paintPlacedCaption(c, p, originX, 0);
    paintKnobCaptions(c, row.knobs, originX, 0, false);
}

void topBar(Canvas& c) {
    const Scale& s = c.scale();
    c.card(span(s, BLOCK_LEFT, 22, RIGHT_RIGHT, 104), c.u(5), palette::CARD_HEADER);
    c.text("PRESET", span(s, 27, 40, 93, 62), SECTION_SMALL, palette::CAPTION, Align::Right);
    c.text("BANK", span(s, 27, 72, 95, 94), SECTION_SMALL, palette::CAPTION_DIM, Align::Right);
    // Group rules between the preset, program and performance controls.
    const int l = c.line();
    for (int x : {316, 780}) c.fillRect(s.px(x), s.px(32), l, s.px(88) - s.px(32), palette::RULE);
    c.text("TARNWELL", span(s, 790, 31, 1070, 66), fonts::BRAND, palette::TURQUOISE, Align::Right);
    c.text("STEREO MULTI-EFFECT", span(s, 790, 68, 1066, 80), Font{7.5, true, 2.6}, palette::CAPTION_DIM,
           Align::Right);
    c.text("ORVANE", span(s, 790, 82, 1066, 94), Font{7.5, true, 2.6}, palette::CAPTION_DIM, Align::Right);
}

void rightColumn(Canvas& c) {
    const Scale& s = c.scale();
    const MainLayout& main = mainLayout();

    const PxRect path = span(s, RIGHT_LEFT, CARD_TOP, RIGHT_RIGHT, 274);
    c.card(path, c.u(5), palette::CARD);
    header(c, path);
    c.text("PATH", span(s, 827, 119, 895, 139), SECTION_SMALL, titleInk(), Align::Left);

    c.card(span(s, RIGHT_LEFT, 278, RIGHT_RIGHT, 446), c.u(5), palette::CARD);
    c.card(span(s, RIGHT_LEFT, 450, RIGHT_RIGHT, 548), c.u(5), palette::CARD);
    c.text("FOLLOWER", span(s, 827, 462, 940, 478), SECTION_SMALL, titleInk(), Align::Left);
    c.text("Source", span(s, 930, 462, 983, 478), fonts::CAPTION, palette::CAPTION, Align::Right);
    c.text("Equal Feed", span(s, 1021, 424, 1077, 435), fonts::CAPTION, palette::CAPTION);

    const PxRect mod = span(s, RIGHT_LEFT, 552, RIGHT_RIGHT, CARD_BOTTOM);
    c.card(mod, c.u(5), palette::CARD);
    c.text("MODULATION", span(s, 827, 562, 1000, 578), SECTION_SMALL, titleInk(), Align::Left);
    c.text(MOD_DROP_HINT, span(s, 827, 580, 1072, 592), fonts::SMALL, palette::CAPTION_DIM, Align::Left);
    const PxRect view = span(s, MOD_VIEW.x, MOD_VIEW.y, MOD_VIEW.x + MOD_VIEW.w, MOD_VIEW.y + MOD_VIEW.h);
    c.well({view.x - c.line(), view.y - c.line(), view.w + 2 * c.line(), view.h + 2 * c.line()}, c.u(2));
    const int* ends = MOD_COLUMN_END[s.index];
    for (int r = 1; r < 4; ++r)
        c.fillRect(view.x, view.y + static_cast<int>(r * MOD_ROW_HEIGHT[s.index]), view.w, c.line(),
                   palette::RULE);
    for (int col = 0; col < 3; ++col) c.fillRect(view.x + ends[col], view.y, c.line(), view.h, palette::RULE);
    const char* heads[4] = {"#", "SOURCE", "DESTINATION", "AMOUNT"};
    for (int col = 0; col < 4; ++col) {
        const int x0 = col ? ends[col - 1] : 0;
        c.text(heads[col], view.x + x0, s.px(606), ends[col] - x0, s.px(13), HEADING, palette::CAPTION_DIM);
    }

    for (const Menu& m : main.menus) paintMenuWell(c, m, 0, 0);
    for (const Placed& p : main.buttons) paintPlacedCaption(c, p, 0, 0);
    paintKnobCaptions(c, main.knobs, 0, 0, false);
}

// The same panel face the Block containers draw, so the background reads right around them.
void panelFace(Canvas& c, int x, int y) {
    const Scale& s = c.scale();
    const int w = s.px(PANEL_W);
    const int h = s.px(PANEL_H);
    c.fillRect(x, y, w, h, palette::CARD);
    xyZone(c, x, w, y + s.px(XY_ZONE_TOP), y + h, false);
    c.fillRect(x + c.line(), y + s.px(XY_ZONE_TOP), w - 2 * c.line(), c.line(), palette::RULE);
    c.fillRect(x, y, c.line(), h, palette::CARD_EDGE);
    c.fillRect(x + w - c.line(), y, c.line(), h, palette::CARD_EDGE);
}

}  // namespace

void paintKnobCaption(Canvas& c, const Knob& k, const std::vector<Knob>& row, int originX, int originY,
                      bool dim) {
    // Small sizes hint text wider: a caption that would run into the caption of the next knob on
    // its line is set a little smaller.
    const Scale& s = c.scale();
    const PxRect r = captionRect(k, s, originX, originY);
    double room = r.w;
    for (const Knob& other : row) {
        if (&other == &k || other.y != k.y || other.x == k.x) continue;
        room = std::min(room, static_cast<double>(std::abs(s.px(other.x) - s.px(k.x)) - s.px(4)));
    }
    Font font = fonts::CAPTION;
    if (k.captionSize > 0.0) font.size = k.captionSize;
    const double width = c.textWidth(k.caption, font);
    if (width > room) font.size = std::max(7.0, font.size * room / width);
    c.text(k.caption, r, font, dim ? palette::CAPTION_OFF : palette::CAPTION);
}

void paintMenuWell(Canvas& c, const Menu& m, int originX, int originY) {
    const Scale& s = c.scale();
    PxRect r = menuRect(m, s, originX, originY);
    c.well(r, c.u(3));
    if (!m.caption.empty())
        c.text(m.caption, menuCaptionRect(m, s, originX, originY), fonts::CAPTION, palette::CAPTION);
}

void paintPlacedCaption(Canvas& c, const Placed& p, int originX, int originY) {
    if (p.side == Side::None || p.caption.empty()) return;
    c.text(p.caption, placedCaptionRect(p, c.scale(), originX, originY), fonts::CAPTION, palette::CAPTION,
           p.side == Side::Right ? Align::Left : Align::Centre);
}

void drawMainBackground(Canvas& c) {
    const Scale& s = c.scale();
    c.fill(palette::WINDOW);
    topBar(c);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        blockColumn(c, b);
        const int x = s.px(blockLeft(b));
        const int y = s.px(BLOCK_TOP);
        panelFace(c, x, y);
    }
    rightColumn(c);
    c.text("Right-click a knob, menu or switch for MIDI learn, values and more", span(s, 27, 710, 700, 724),
           fonts::SMALL, palette::CAPTION_DIM, Align::Left);
}

void drawPanel(Canvas& c, const PanelLayout& p) {
    const Scale& s = c.scale();
    panelFace(c, 0, 0);
    if (!p.title.empty()) {
        c.text(p.title, span(s, 8, 5, 92, 22), fonts::PANEL_TITLE, titleInk(), Align::Left);
        c.text(p.subtitle, span(s, 8, 22, 96, 33), fonts::SMALL, palette::CAPTION_DIM, Align::Left);
    }
    for (const Menu& m : p.menus) paintMenuWell(c, m, 0, 0);
    for (const Placed& b : p.buttons) paintPlacedCaption(c, b, 0, 0);
    for (const Knob& k : p.knobs) {
        const bool none = k.caption.rfind("None", 0) == 0;
        paintKnobCaption(c, k, p.knobs, 0, 0, none);
    }
    if (p.gaterGrid) {
        const int cellH = static_cast<int>(10 * s.factor);
        for (int row = 0; row < 2; ++row) {
            const PxRect g = {s.px(GATER_ROWS[row].x), s.px(GATER_ROWS[row].y), s.px(GATER_ROWS[row].w),
                              cellH};
            c.fillRect(g.x - c.line(), g.y - c.line(), g.w + 2 * c.line(), g.h + 2 * c.line(),
                       palette::WELL_EDGE);
            c.fillRect(g, palette::WELL);
            c.text(row ? "R" : "L", span(s, 10, GATER_ROWS[row].y, 24, GATER_ROWS[row].y + 10), HEADING,
                   palette::CAPTION);
        }
        // Step numbers over the cells, at the cells' own pixel edges.
        const int left = s.px(GATER_ROWS[0].x);
        const int width = s.px(GATER_ROWS[0].w);
        for (int i = 0; i < 16; ++i) {
            const int x0 = left + static_cast<int>(i / 16.0 * (width - 1));
            const int x1 = left + static_cast<int>((i + 1) / 16.0 * (width - 1));
            c.text(std::to_string(i + 1), x0, s.px(43), x1 - x0, s.px(10), Font{6.5}, palette::CAPTION_DIM);
        }
    }
    xyPad(c, 0, 0);
    midiLamp(c, MIDI_X_LAMP, "X", 0, 0, 0);
    midiLamp(c, MIDI_Y_LAMP, "Y", 0, 0, 0);
}

void drawSettingsPage(Canvas& c) {
    const Scale& s = c.scale();
    c.fill(palette::WINDOW);
    const PxRect card = span(s, 230, 90, 870, 690);
    c.card(card, c.u(6), palette::CARD);
    c.text("TARNWELL", span(s, 250, 112, 850, 150), fonts::BRAND, palette::TURQUOISE);
    c.text("STEREO MULTI-EFFECT  ·  ORVANE", span(s, 250, 152, 850, 166), Font{8, true, 2.6},
           palette::CAPTION_DIM);
    c.fillRect(s.px(270), s.px(190), s.px(830) - s.px(270), c.line(), palette::RULE);
    c.text("SETTINGS", span(s, 250, 206, 850, 226), fonts::SECTION, titleInk());
    const char* lines[] = {
        "Three Blocks, a tape Delay and six signal paths; an XY pad per Block that",
        "replays recorded motion; a four-slot modulation matrix; MIDI learn.",
        "The MANUAL button on the main page opens the user manual.",
    };
    for (int i = 0; i < 3; ++i)
        c.text(lines[i], span(s, 250, 244 + 16 * i, 850, 258 + 16 * i), fonts::CAPTION, palette::CAPTION);
    c.text("Click anywhere outside the switches to show the controls", span(s, 250, 318, 850, 334),
           Font{10, true, 0.4}, palette::TURQUOISE);
    c.fillRect(s.px(270), s.px(400), s.px(830) - s.px(270), c.line(), palette::RULE);

    const char* groups[3] = {"KEYBOARD", "MIDI", "WINDOW SIZE"};
    const int groupRows[3] = {0, 1, 3};
    const std::vector<SettingsRow>& rows = settingsRows();
    for (int g = 0; g < 3; ++g) {
        const int y = rows[groupRows[g]].y;
        c.text(groups[g], span(s, 250, y, 404, y + 20), SECTION_SMALL, titleInk(), Align::Right);
    }
    for (const SettingsRow& row : rows) {
        c.text(row.label, span(s, SETTINGS_SWITCH_X + 32, row.y, SETTINGS_SWITCH_X + 200, row.y + 20),
               Font{10}, palette::CAPTION, Align::Left);
        c.text(row.hint, span(s, SETTINGS_SWITCH_X + 170, row.y, 850, row.y + 20), fonts::CAPTION,
               palette::CAPTION_DIM, Align::Left);
    }
    c.text("A new window size is used the next time Tarnwell opens.", span(s, 250, 662, 850, 676),
           fonts::SMALL, palette::CAPTION_DIM);
}

}  // namespace art
