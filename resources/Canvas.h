#pragma once

// A cairo image surface with the few drawing operations the artwork needs: filled and outlined
// shapes on whole pixels where edges must be crisp, and text laid out by pango (DejaVu Sans
// through fontconfig, hint metrics off so text measures the same at every size).

#include <cairo.h>

#include <string>

#include "resources/Layout.h"

namespace art {

struct Colour {
    double r, g, b, a;
};
constexpr Colour rgb(int r, int g, int b, double a = 1.0) {
    return {r / 255.0, g / 255.0, b / 255.0, a};
}
Colour mix(Colour a, Colour b, double t);
Colour withAlpha(Colour c, double a);

// The palette: dark graphite panels around the editor's turquoise.
namespace palette {
inline constexpr Colour WINDOW = rgb(9, 12, 13);
inline constexpr Colour CARD = rgb(24, 30, 32);
inline constexpr Colour CARD_HEADER = rgb(31, 39, 41);
inline constexpr Colour CARD_LOWER = rgb(19, 24, 26);
inline constexpr Colour CARD_EDGE = rgb(44, 55, 57);
inline constexpr Colour CARD_SHADOW = rgb(2, 3, 4);
inline constexpr Colour RULE = rgb(40, 50, 52);
inline constexpr Colour WELL = rgb(7, 11, 12);
inline constexpr Colour WELL_EDGE = rgb(1, 2, 2);
inline constexpr Colour WELL_LIGHT = rgb(48, 60, 62);
inline constexpr Colour TURQUOISE = rgb(1, 205, 190);
inline constexpr Colour DARK_TURQUOISE = rgb(0, 56, 56);
inline constexpr Colour DELTA = rgb(17, 104, 104);
inline constexpr Colour CAPTION = rgb(168, 186, 184);
// Quieter text that is still read (hints, headings, units): at least 4.5:1 on every card.
inline constexpr Colour CAPTION_DIM = rgb(128, 146, 144);
// Captions of controls that do nothing (an Off Block's knobs): dimmed, at least 3:1.
inline constexpr Colour CAPTION_OFF = rgb(100, 116, 115);
inline constexpr Colour TITLE = rgb(1, 205, 190);
inline constexpr Colour KEY_TOP = rgb(60, 70, 72);
inline constexpr Colour KEY_BOTTOM = rgb(36, 43, 45);
inline constexpr Colour KEY_EDGE = rgb(4, 6, 7);
inline constexpr Colour LED_OFF = rgb(18, 46, 46);
inline constexpr Colour POINTER = rgb(236, 244, 242);
inline constexpr Colour PAD = rgb(5, 9, 10);
inline constexpr Colour GATER_GRID = rgb(17, 22, 23);
inline constexpr Colour GATER_OFF = rgb(10, 74, 69);
}  // namespace palette

struct Font {
    double size;  // units; scaled to pixels by the canvas
    bool bold = false;
    double spacing = 0.0;  // extra space between letters, units
};

enum class Align { Left, Centre, Right };

class Canvas {
public:
    Canvas(int width, int height, bool alpha, const Scale& scale);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }
    const Scale& scale() const { return scale_; }
    int width() const { return width_; }
    int height() const { return height_; }
    double u(double units) const { return scale_.d(units); }  // units to pixels, unrounded
    int line() const;                                         // a hairline: 1 or 2 pixels

    void fill(Colour c);
    void fillRect(double x, double y, double w, double h, Colour c);
    void fillRect(const PxRect& r, Colour c) { fillRect(r.x, r.y, r.w, r.h, c); }
    void roundRectPath(double x, double y, double w, double h, double radius);
    void fillRound(double x, double y, double w, double h, double radius, Colour c);
    void strokeRound(double x, double y, double w, double h, double radius, double width, Colour c);
    void verticalGradient(double x, double y, double w, double h, double radius, Colour top, Colour bottom);
    void circle(double cx, double cy, double r, Colour c);
    void ring(double cx, double cy, double r, double width, Colour c);

    // A recessed well (menus, readouts, pads): dark inside, shadowed above, lit below.
    void well(const PxRect& r, double radius);
    // A raised card with a hairline edge.
    void card(const PxRect& r, double radius, Colour body);

    // Text centred vertically in the box, in pixels.
    void text(const std::string& s, double x, double y, double w, double h, const Font& f, Colour c,
              Align align = Align::Centre);
    void text(const std::string& s, const PxRect& r, const Font& f, Colour c, Align align = Align::Centre) {
        text(s, r.x, r.y, r.w, r.h, f, c, align);
    }
    double textWidth(const std::string& s, const Font& f);

    // Writes the surface as PNG (no time stamps: the same picture gives the same bytes).
    bool writePng(const std::string& path) const;

private:
    int width_, height_;
    Scale scale_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

}  // namespace art
