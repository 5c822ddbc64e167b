#include "resources/Canvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace art {

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour withAlpha(Colour c, double a) {
    return {c.r, c.g, c.b, a};
}

namespace {

void source(cairo_t* cr, Colour c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

PangoLayout* makeLayout(cairo_t* cr, const std::string& s, const Font& f, double scale) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);

    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, "DejaVu Sans");
    pango_font_description_set_weight(desc, f.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(desc, f.size * scale * PANGO_SCALE);
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);
    if (f.spacing != 0.0) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(
            attrs, pango_attr_letter_spacing_new(static_cast<int>(f.spacing * scale * PANGO_SCALE)));
        pango_layout_set_attributes(layout, attrs);
        pango_attr_list_unref(attrs);
    }
    pango_layout_set_text(layout, s.c_str(), -1);
    return layout;
}

}  // namespace

Canvas::Canvas(int width, int height, bool alpha, const Scale& scale)
    : width_(width),
      height_(height),
      scale_(scale),
      surface_(cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height)),
      cr_(cairo_create(surface_)) {
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

int Canvas::line() const {
    return std::max(1, static_cast<int>(scale_.factor));
}

void Canvas::fill(Colour c) {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
    source(cr_, c);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void Canvas::fillRect(double x, double y, double w, double h, Colour c) {
    cairo_rectangle(cr_, x, y, w, h);
    source(cr_, c);
    cairo_fill(cr_);
}

void Canvas::roundRectPath(double x, double y, double w, double h, double radius) {
    const double r = std::min({radius, w / 2, h / 2});
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr_, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr_, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr_, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr_);
}

void Canvas::fillRound(double x, double y, double w, double h, double radius, Colour c) {
    roundRectPath(x, y, w, h, radius);
    source(cr_, c);
    cairo_fill(cr_);
}

void Canvas::strokeRound(double x, double y, double w, double h, double radius, double width, Colour c) {
    // Inset by half the line so the stroke stays inside the box and lands on whole pixels.
    roundRectPath(x + width / 2, y + width / 2, w - width, h - width, std::max(0.0, radius - width / 2));
    cairo_set_line_width(cr_, width);
    source(cr_, c);
    cairo_stroke(cr_);
}

void Canvas::verticalGradient(double x, double y, double w, double h, double radius, Colour top,
                              Colour bottom) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(g, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(g, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    roundRectPath(x, y, w, h, radius);
    cairo_set_source(cr_, g);
    cairo_fill(cr_);
    cairo_pattern_destroy(g);
}

void Canvas::circle(double cx, double cy, double r, Colour c) {
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, cx, cy, r, 0, 2 * M_PI);
    source(cr_, c);
    cairo_fill(cr_);
}

void Canvas::ring(double cx, double cy, double r, double width, Colour c) {
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, cx, cy, r, 0, 2 * M_PI);
    cairo_set_line_width(cr_, width);
    source(cr_, c);
    cairo_stroke(cr_);
}

void Canvas::well(const PxRect& r, double radius) {
    const int l = line();
    fillRound(r.x, r.y, r.w, r.h, radius, palette::WELL_LIGHT);
    fillRound(r.x, r.y, r.w, r.h - l, radius, palette::WELL_EDGE);
    fillRound(r.x + l, r.y + l, r.w - 2 * l, r.h - 2 * l, std::max(0.0, radius - l), palette::WELL);
}

void Canvas::card(const PxRect& r, double radius, Colour body) {
    const int l = line();
    fillRound(r.x, r.y, r.w, r.h, radius, palette::CARD_EDGE);
    fillRound(r.x + l, r.y + l, r.w - 2 * l, r.h - 2 * l, std::max(0.0, radius - l), body);
}

void Canvas::text(const std::string& s, double x, double y, double w, double h, const Font& f, Colour c,
                  Align align) {
    PangoLayout* layout = makeLayout(cr_, s, f, static_cast<double>(scale_.factor));
    PangoRectangle ink, logical;
    pango_layout_get_extents(layout, &ink, &logical);
    const double tw = static_cast<double>(logical.width) / PANGO_SCALE;
    const double th = static_cast<double>(logical.height) / PANGO_SCALE;
    double tx = x;
    if (align == Align::Centre) tx = x + (w - tw) / 2;
    if (align == Align::Right) tx = x + w - tw;
    // Whole pixels keep small text sharp.
    cairo_move_to(cr_, std::round(tx), std::round(y + (h - th) / 2));
    source(cr_, c);
    pango_cairo_show_layout(cr_, layout);
    g_object_unref(layout);
}

double Canvas::textWidth(const std::string& s, const Font& f) {
    PangoLayout* layout = makeLayout(cr_, s, f, static_cast<double>(scale_.factor));
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    g_object_unref(layout);
    return static_cast<double>(logical.width) / PANGO_SCALE;
}

bool Canvas::writePng(const std::string& path) const {
    cairo_surface_flush(surface_);
    return cairo_surface_write_to_png(surface_, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace art
