// Knob strips, buttons and the small pictures the controls draw.

#include <algorithm>
#include <cmath>
#include <string>

#include "resources/Artwork.h"

namespace art {

namespace {

constexpr double ARC_START = 0.75 * M_PI;
constexpr double ARC_SWEEP = 1.5 * M_PI;

void setSource(cairo_t* cr, Colour c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void arc(Canvas& c, double cx, double cy, double r, double a0, double a1, double width, Colour colour) {
    cairo_t* cr = c.cr();
    cairo_new_sub_path(cr);
    if (a1 >= a0)
        cairo_arc(cr, cx, cy, r, a0, a1);
    else
        cairo_arc_negative(cr, cx, cy, r, a0, a1);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    setSource(cr, colour);
    cairo_stroke(cr);
}

// A key: a raised rounded button, darker and lower when held. An LED at its left shows the
// state of switches; the label turns turquoise when lit.
struct KeyLook {
    bool led = false;
    bool lit = false;
    bool held = false;
};

void drawKey(Canvas& c, double x, double y, double w, double h, const std::string& label, KeyLook look,
             const Font& font = fonts::BUTTON) {
    const double r = c.u(3);
    const int l = c.line();
    c.fillRound(x, y, w, h, r, palette::KEY_EDGE);
    const Colour top = look.held ? mix(palette::KEY_BOTTOM, palette::KEY_EDGE, 0.3) : palette::KEY_TOP;
    const Colour bottom = look.held ? mix(palette::KEY_BOTTOM, palette::KEY_EDGE, 0.5) : palette::KEY_BOTTOM;
    c.verticalGradient(x + l, y + l, w - 2 * l, h - 2 * l, r - l, top, bottom);
    if (!look.held) c.fillRect(x + r, y + l, w - 2 * r, l, withAlpha(palette::POINTER, 0.10));
    double textX = x;
    double textW = w;
    if (look.led) {
        const double ledR = c.u(2.6);
        const double ledX = x + c.u(8);
        const double ledY = y + h / 2;
        if (look.lit) {
            cairo_pattern_t* glow = cairo_pattern_create_radial(ledX, ledY, 0, ledX, ledY, ledR * 3);
            cairo_pattern_add_color_stop_rgba(glow, 0, 0.0, 0.8, 0.75, 0.55);
            cairo_pattern_add_color_stop_rgba(glow, 1, 0.0, 0.8, 0.75, 0.0);
            cairo_arc(c.cr(), ledX, ledY, ledR * 3, 0, 2 * M_PI);
            cairo_set_source(c.cr(), glow);
            cairo_fill(c.cr());
            cairo_pattern_destroy(glow);
        }
        c.circle(ledX, ledY, ledR + l, palette::KEY_EDGE);
        c.circle(ledX, ledY, ledR, look.lit ? palette::TURQUOISE : palette::LED_OFF);
        if (look.lit)
            c.circle(ledX - ledR * 0.3, ledY - ledR * 0.3, ledR * 0.4, withAlpha(palette::POINTER, 0.7));
        textX = x + c.u(13);
        textW = w - c.u(15);
    }
    const Colour ink = look.lit ? palette::TURQUOISE : (look.held ? palette::TURQUOISE : palette::CAPTION);
    c.text(label, textX, y + (look.held ? l : 0), textW, h, font, ink);
}

void keyStates(Canvas& c, const std::string& label, bool led, bool litWhenOn, bool lowerIsHeld) {
    const double w = c.width();
    const double h = c.height() / 2;
    drawKey(c, 0, 0, w, h, label, {led, false, false});
    drawKey(c, 0, h, w, h, label, {led, litWhenOn, lowerIsHeld});
}

// The edited lamp: both pictures show the lamp; the edited one is lit.
void lampStates(Canvas& c, bool edited) {
    const double w = c.width();
    const double h = c.height() / 2;
    drawKey(c, 0, 0, w, h, "EDITED", {true, edited, false});
    drawKey(c, 0, h, w, h, "EDITED", {true, edited, true});
}

// The small switch: a short key with an LED bar across it.
void toggleStates(Canvas& c) {
    const double w = c.width();
    const double h = c.height() / 2;
    for (int s = 0; s < 2; ++s) {
        const double y = s * h;
        const double r = c.u(2.5);
        const int l = c.line();
        const double inset = c.u(1);
        c.fillRound(inset, y + inset, w - 2 * inset, h - 2 * inset, r, palette::KEY_EDGE);
        c.verticalGradient(inset + l, y + inset + l, w - 2 * inset - 2 * l, h - 2 * inset - 2 * l, r - l,
                           s ? palette::KEY_BOTTOM : palette::KEY_TOP,
                           s ? palette::KEY_BOTTOM : palette::KEY_BOTTOM);
        const double bw = w * 0.52;
        const double bh = std::max(2.0, c.u(3.2));
        const double bx = (w - bw) / 2;
        const double by = y + (h - bh) / 2;
        if (s) {
            cairo_pattern_t* glow =
                cairo_pattern_create_radial(w / 2, by + bh / 2, 0, w / 2, by + bh / 2, bw * 0.8);
            cairo_pattern_add_color_stop_rgba(glow, 0, 0.0, 0.8, 0.75, 0.45);
            cairo_pattern_add_color_stop_rgba(glow, 1, 0.0, 0.8, 0.75, 0.0);
            cairo_rectangle(c.cr(), inset + l, y + inset + l, w - 2 * inset - 2 * l, h - 2 * inset - 2 * l);
            cairo_set_source(c.cr(), glow);
            cairo_fill(c.cr());
            cairo_pattern_destroy(glow);
        }
        c.fillRound(bx - l, by - l, bw + 2 * l, bh + 2 * l, bh / 2 + l, palette::KEY_EDGE);
        c.fillRound(bx, by, bw, bh, bh / 2, s ? palette::TURQUOISE : palette::LED_OFF);
    }
}

// The round button (radio buttons, menu buttons, grain Link): a ring, lit in the middle when on.
void roundStates(Canvas& c) {
    const double w = c.width();
    const double h = c.height() / 2;
    for (int s = 0; s < 2; ++s) {
        const double cx = w / 2;
        const double cy = s * h + h / 2;
        const double r = std::min(w, h) / 2 - c.u(1.5);
        c.circle(cx, cy + c.line(), r, withAlpha(palette::CARD_SHADOW, 0.6));
        c.circle(cx, cy, r, palette::KEY_EDGE);
        cairo_pattern_t* g = cairo_pattern_create_linear(0, cy - r, 0, cy + r);
        cairo_pattern_add_color_stop_rgba(g, 0, palette::KEY_TOP.r, palette::KEY_TOP.g, palette::KEY_TOP.b,
                                          1);
        cairo_pattern_add_color_stop_rgba(g, 1, palette::KEY_BOTTOM.r, palette::KEY_BOTTOM.g,
                                          palette::KEY_BOTTOM.b, 1);
        cairo_arc(c.cr(), cx, cy, r - c.line(), 0, 2 * M_PI);
        cairo_set_source(c.cr(), g);
        cairo_fill(c.cr());
        cairo_pattern_destroy(g);
        const double dot = r * 0.42;
        if (s) {
            cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
            cairo_pattern_add_color_stop_rgba(glow, 0, 0.0, 0.8, 0.75, 0.5);
            cairo_pattern_add_color_stop_rgba(glow, 1, 0.0, 0.8, 0.75, 0.0);
            cairo_arc(c.cr(), cx, cy, r - c.line(), 0, 2 * M_PI);
            cairo_set_source(c.cr(), glow);
            cairo_fill(c.cr());
            cairo_pattern_destroy(glow);
        }
        c.circle(cx, cy, dot + c.line(), palette::KEY_EDGE);
        c.circle(cx, cy, dot, s ? palette::TURQUOISE : palette::LED_OFF);
    }
}

void arrowStates(Canvas& c, bool next) {
    const double w = c.width();
    const double h = c.height() / 2;
    for (int s = 0; s < 2; ++s) {
        const double cy = s * h + h / 2;
        const double half = c.u(4.5);
        const double depth = c.u(5);
        const double x0 = (w - depth) / 2;
        cairo_t* cr = c.cr();
        if (next) {
            cairo_move_to(cr, x0, cy - half);
            cairo_line_to(cr, x0 + depth, cy);
            cairo_line_to(cr, x0, cy + half);
        } else {
            cairo_move_to(cr, x0 + depth, cy - half);
            cairo_line_to(cr, x0, cy);
            cairo_line_to(cr, x0 + depth, cy + half);
        }
        cairo_close_path(cr);
        setSource(cr, s ? palette::TURQUOISE : mix(palette::DELTA, palette::TURQUOISE, 0.25));
        cairo_fill(cr);
    }
}

void cursor(Canvas& c) {
    const double cx = c.width() / 2.0;
    const double cy = c.height() / 2.0;
    const double r = c.width() / 2.0;
    cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.0, 0.8, 0.75, 0.35);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.0, 0.8, 0.75, 0.0);
    cairo_arc(c.cr(), cx, cy, r, 0, 2 * M_PI);
    cairo_set_source(c.cr(), glow);
    cairo_fill(c.cr());
    cairo_pattern_destroy(glow);
    c.ring(cx, cy, r * 0.62, c.u(1.6), palette::TURQUOISE);
    c.circle(cx, cy, c.u(1.4), palette::POINTER);
}

// Connector under the Pan knob: in serial paths an arrow runs along the panel's divider out
// towards the next Block; otherwise the divider stays plain.
void connector(Canvas& c, bool arrow) {
    if (!arrow) return;
    const Scale& s = c.scale();
    const int l = c.line();
    const int y = s.px(137) - s.px(CONNECTOR_Y);  // the divider's own row inside the panel
    const double x0 = knobCentreX(1, s) + s.px(KNOB_TYPES[1].offX);
    const double end = c.width();
    c.fillRect(x0, y, end - x0 - c.u(6), l, palette::DELTA);
    cairo_t* cr = c.cr();
    cairo_move_to(cr, end, y + l / 2.0);
    cairo_line_to(cr, end - c.u(7), y + l / 2.0 - c.u(3.5));
    cairo_line_to(cr, end - c.u(7), y + l / 2.0 + c.u(3.5));
    cairo_close_path(cr);
    setSource(cr, palette::TURQUOISE);
    cairo_fill(cr);
    c.circle(x0, y + l / 2.0, c.u(2.2), palette::DELTA);
}

// The Equal Feed lamp sits above its switch.
void equalFeed(Canvas& c, bool on) {
    const double cx = c.u(33);
    const double cy = c.height() / 2.0;
    if (on) {
        cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, c.u(7));
        cairo_pattern_add_color_stop_rgba(glow, 0, 0.0, 0.8, 0.75, 0.5);
        cairo_pattern_add_color_stop_rgba(glow, 1, 0.0, 0.8, 0.75, 0.0);
        cairo_arc(c.cr(), cx, cy, c.u(7), 0, 2 * M_PI);
        cairo_set_source(c.cr(), glow);
        cairo_fill(c.cr());
        cairo_pattern_destroy(glow);
    }
    c.circle(cx, cy, c.u(2.6) + c.line(), palette::KEY_EDGE);
    c.circle(cx, cy, c.u(2.6), on ? palette::TURQUOISE : palette::LED_OFF);
}

void presetWell(Canvas& c) {
    c.well({0, 0, c.width(), c.height()}, c.u(3));
    // A fold-out mark at the right end: the name opens a menu.
    const double cx = c.width() - c.u(9);
    const double cy = c.height() / 2.0;
    cairo_t* cr = c.cr();
    cairo_move_to(cr, cx - c.u(3.5), cy - c.u(1.8));
    cairo_line_to(cr, cx + c.u(3.5), cy - c.u(1.8));
    cairo_line_to(cr, cx, cy + c.u(2.2));
    cairo_close_path(cr);
    setSource(cr, palette::DELTA);
    cairo_fill(cr);
}

void midiMapKey(Canvas& c) {
    drawKey(c, 0, 0, c.width(), c.height(), "MIDI MAP", {});
}

void modRow(Canvas& c) {
    c.fillRect(0, 0, c.width(), c.height(), withAlpha(palette::TURQUOISE, 0.10));
    c.fillRect(0, 0, c.line(), c.height(), palette::TURQUOISE);
}

void modGrid(Canvas& c) {
    const int l = c.line();
    const double rowH = c.height() / 4.0;
    for (int r = 1; r < 4; ++r) c.fillRect(0, std::floor(r * rowH), c.width(), l, palette::RULE);
    for (int col = 0; col < 3; ++col)
        c.fillRect(MOD_COLUMN_END[c.scale().index][col], 0, l, c.height(), palette::RULE);
}

void mark(Canvas& c) {
    const double cx = c.width() / 2.0;
    c.ring(cx, cx, c.width() * 0.36, c.u(1.5), palette::TURQUOISE);
    c.circle(cx, cx, c.u(2), palette::TURQUOISE);
}

}  // namespace

void drawKnob(Canvas& c, double cx, double cy, double ring, double value, bool bipolar) {
    const double lw = c.u(2.4);
    const double angle = ARC_START + value * ARC_SWEEP;
    arc(c, cx, cy, ring, ARC_START, ARC_START + ARC_SWEEP, lw, rgb(12, 42, 42));
    const double from = bipolar ? 1.5 * M_PI : ARC_START;
    if (std::fabs(angle - from) > 1e-9) arc(c, cx, cy, ring, from, angle, lw, palette::TURQUOISE);
    if (bipolar) {
        // The centre detent.
        c.circle(cx, cy - ring - lw * 0.9, c.u(0.9), palette::CAPTION_DIM);
    }

    const double cap = ring - c.u(4.0);
    c.circle(cx, cy + c.u(1.2), cap + c.u(0.8), withAlpha(palette::CARD_SHADOW, 0.7));
    c.circle(cx, cy, cap, palette::KEY_EDGE);
    cairo_pattern_t* g = cairo_pattern_create_linear(cx, cy - cap, cx, cy + cap);
    cairo_pattern_add_color_stop_rgb(g, 0, 80 / 255.0, 91 / 255.0, 93 / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 30 / 255.0, 36 / 255.0, 38 / 255.0);
    cairo_arc(c.cr(), cx, cy, cap - c.u(0.8), 0, 2 * M_PI);
    cairo_set_source(c.cr(), g);
    cairo_fill(c.cr());
    cairo_pattern_destroy(g);
    // A flat top face inside the bevel.
    cairo_pattern_t* face = cairo_pattern_create_linear(cx, cy - cap, cx, cy + cap);
    cairo_pattern_add_color_stop_rgb(face, 0, 52 / 255.0, 61 / 255.0, 63 / 255.0);
    cairo_pattern_add_color_stop_rgb(face, 1, 40 / 255.0, 48 / 255.0, 50 / 255.0);
    cairo_arc(c.cr(), cx, cy, cap * 0.8, 0, 2 * M_PI);
    cairo_set_source(c.cr(), face);
    cairo_fill(c.cr());
    cairo_pattern_destroy(face);

    cairo_t* cr = c.cr();
    cairo_move_to(cr, cx + std::cos(angle) * cap * 0.25, cy + std::sin(angle) * cap * 0.25);
    cairo_line_to(cr, cx + std::cos(angle) * (cap - c.u(1.6)), cy + std::sin(angle) * (cap - c.u(1.6)));
    cairo_set_line_width(cr, c.u(2.0));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setSource(cr, palette::POINTER);
    cairo_stroke(cr);
}

void drawKnobStrip(Canvas& c, int type) {
    const KnobType& t = KNOB_TYPES[type];
    const int frameH = c.height() / KNOB_FRAMES;
    const double cx = knobCentreX(type, c.scale());
    const double cy = c.u(t.cy);
    for (int i = 0; i < KNOB_FRAMES; ++i) {
        // Each frame stays inside its own rows so no edge bleeds into a neighbour.
        cairo_save(c.cr());
        cairo_rectangle(c.cr(), 0, i * frameH, c.width(), frameH);
        cairo_clip(c.cr());
        drawKnob(c, cx, i * frameH + cy, c.u(t.ring), i / double(KNOB_FRAMES - 1), t.bipolar);
        cairo_restore(c.cr());
    }
}

void drawStates(Canvas& c, int k) {
    switch (k) {
        case BMP_SETTINGS_BUTTON:
            return keyStates(c, "SETTINGS", false, false, true);
        case BMP_TOGGLE:
            return toggleStates(c);
        case BMP_ROUND_BUTTON:
            return roundStates(c);
        case BMP_ARROW_PREV:
            return arrowStates(c, false);
        case BMP_ARROW_NEXT:
            return arrowStates(c, true);
        case BMP_LAMP_CLEAN:
            return lampStates(c, false);
        case BMP_LAMP_EDITED:
            return lampStates(c, true);
        case BMP_REVERT:
            return keyStates(c, "REVERT", false, false, true);
        case BMP_MANUAL:
            return keyStates(c, "MANUAL", false, false, true);
        case BMP_RESET:
            return keyStates(c, "RESET", false, false, true);
        case BMP_TRIGGER:
            return keyStates(c, "TRIGGER", true, true, true);
        case BMP_DELAY_ON:
            return keyStates(c, "DELAY", true, true, false);
        case BMP_BYPASS:
            return keyStates(c, "BYPASS", true, true, false);
        default:
            break;
    }
}

void drawPicture(Canvas& c, int k) {
    switch (k) {
        case BMP_PRESET_WELL:
            return presetWell(c);
        case BMP_MIDI_MAP:
            return midiMapKey(c);
        case BMP_MOD_ROW:
            return modRow(c);
        case BMP_MOD_GRID:
            return modGrid(c);
        case BMP_XY_CURSOR:
            return cursor(c);
        case BMP_CONNECTOR_PLAIN:
            return connector(c, false);
        case BMP_CONNECTOR_ARROW:
            return connector(c, true);
        case BMP_EQUAL_FEED_OFF:
            return equalFeed(c, false);
        case BMP_EQUAL_FEED_ON:
            return equalFeed(c, true);
        default:
            return mark(c);
    }
}

// Signal-path diagrams: the input, the three Blocks and the Delay as boxes joined in the order
// the path runs them.
void drawPath(Canvas& c, int path) {
    cairo_t* cr = c.cr();
    const double lw = std::max(1.0, c.u(1.2));
    const double boxH = c.u(24);
    const double boxW = c.u(40);
    auto box = [&](double x, double cy, const std::string& label, bool delay) {
        const double y = cy - boxH / 2;
        c.fillRound(x, y, boxW, boxH, c.u(3), delay ? rgb(14, 50, 50) : palette::KEY_BOTTOM);
        c.strokeRound(x, y, boxW, boxH, c.u(3), c.line(), delay ? palette::TURQUOISE : palette::CARD_EDGE);
        c.text(label, x, y, boxW, boxH, Font{delay ? 8.5 : 9.5, true, 0.3},
               delay ? palette::TURQUOISE : palette::CAPTION);
    };
    auto wire = [&](double x0, double y0, double x1, double y1) {
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
        cairo_set_line_width(cr, lw);
        setSource(cr, palette::DELTA);
        cairo_stroke(cr);
    };
    auto arrowHead = [&](double x, double y) {
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x - c.u(5), y - c.u(3));
        cairo_line_to(cr, x - c.u(5), y + c.u(3));
        cairo_close_path(cr);
        setSource(cr, palette::DELTA);
        cairo_fill(cr);
    };
    auto terminal = [&](double x, double y, const char* label) {
        c.circle(x, y, c.u(2.5), palette::DELTA);
        c.text(label, x - c.u(12), y - c.u(16), c.u(24), c.u(10), fonts::SMALL, palette::CAPTION_DIM);
    };

    const double w = c.width();
    const double mid = c.height() / 2.0;
    const double inX = c.u(13);
    const double outX = w - c.u(13);
    if (path <= 3) {
        // Serial: one row of four boxes, the Delay where the path puts it.
        std::string order[4] = {"B1", "B2", "B3", "B3"};
        int slot = 0;
        for (int i = 0; i < 4; ++i) order[i] = (i == path) ? "DELAY" : "B" + std::to_string(++slot);
        const double gap = (outX - inX - 4 * boxW) / 5;
        double x = inX + gap;
        terminal(inX, mid, "IN");
        wire(inX, mid, x, mid);
        arrowHead(x, mid);
        for (int i = 0; i < 4; ++i) {
            box(x, mid, order[i], order[i] == "DELAY");
            const double next = x + boxW + gap;
            wire(x + boxW, mid, i == 3 ? outX : next, mid);
            if (i < 3) arrowHead(next, mid);
            x = next;
        }
        terminal(outX, mid, "OUT");
        return;
    }
    // Parallel: the three Blocks side by side between a split and a sum, the Delay before or
    // after them.
    const bool delayFirst = path == 4;
    const double rowGap = c.u(31);
    const double delayX = delayFirst ? inX + c.u(14) : outX - c.u(14) - boxW;
    const double splitX = delayFirst ? delayX + boxW + c.u(14) : inX + c.u(14);
    const double sumX = delayFirst ? outX - c.u(14) : delayX - c.u(14);
    const double blockX = (splitX + sumX - boxW) / 2;
    terminal(inX, mid, "IN");
    terminal(outX, mid, "OUT");
    if (delayFirst) {
        wire(inX, mid, delayX, mid);
        arrowHead(delayX, mid);
        wire(delayX + boxW, mid, splitX, mid);
        wire(sumX, mid, outX, mid);
    } else {
        wire(inX, mid, splitX, mid);
        wire(sumX, mid, delayX, mid);
        arrowHead(delayX, mid);
        wire(delayX + boxW, mid, outX, mid);
    }
    box(delayX, mid, "DELAY", true);
    for (int b = 0; b < 3; ++b) {
        const double y = mid + (b - 1) * rowGap;
        wire(splitX, y, blockX, y);
        arrowHead(blockX, y);
        wire(blockX + boxW, y, sumX, y);
        box(blockX, y, "B" + std::to_string(b + 1), false);
    }
    wire(splitX, mid - rowGap, splitX, mid + rowGap);
    wire(sumX, mid - rowGap, sumX, mid + rowGap);
    c.circle(splitX, mid, c.u(2.2), palette::DELTA);
    c.circle(sumX, mid, c.u(4), palette::DELTA);
    c.text("+", sumX - c.u(4), mid - c.u(4), c.u(8), c.u(8), Font{8, true}, palette::WINDOW);
}

}  // namespace art
