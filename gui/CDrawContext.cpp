#include "gui/CDrawContext.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// One pango context per thread (pango's font maps are per thread), set up so that text is laid
// out the same at every size: no hinting, unrounded glyph positions, grey antialiasing.
PangoContext* textContext() {
    thread_local struct Holder {
        PangoContext* context = nullptr;
        ~Holder() {
            if (context) g_object_unref(context);
        }
    } holder;
    if (holder.context == nullptr) {
        PangoFontMap* map = pango_cairo_font_map_get_default();
        holder.context = pango_font_map_create_context(map);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(holder.context, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(holder.context, 72.0);
        pango_context_set_round_glyph_positions(holder.context, FALSE);
    }
    return holder.context;
}

// Lines of odd width sit on pixel centres so that they cover whole pixels.
double penOffset(CCoord width) {
    return (width % 2) ? 0.5 : 0.0;
}

}  // namespace

CDrawContext::CDrawContext(cairo_t* context) : cr(context), font(kNormalFont) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    visible = CRect(static_cast<CCoord>(std::floor(x1)), static_cast<CCoord>(std::floor(y1)),
                    static_cast<CCoord>(std::ceil(x2)), static_cast<CCoord>(std::ceil(y2)));
}

CDrawContext::~CDrawContext() {
    if (layout) g_object_unref(layout);
}

void CDrawContext::setSource(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::lineTo(const CPoint& point) {
    const double o = penOffset(lineWidth);
    cairo_save(cr);
    setSource(frameColor);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, pen.x + o, pen.y + o);
    cairo_line_to(cr, point.x + o, point.y + o);
    cairo_stroke(cr);
    cairo_restore(cr);
    pen = point;
}

void CDrawContext::drawRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    const double half = lineWidth / 2.0;
    cairo_save(cr);
    setSource(frameColor);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_rectangle(cr, rect.left + half, rect.top + half, rect.getWidth() - lineWidth,
                    rect.getHeight() - lineWidth);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void CDrawContext::fillRect(const CRect& rect) {
    if (rect.isEmpty()) return;
    cairo_save(cr);
    setSource(fillColor);
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CDrawContext::drawEllipse(const CRect& rect) {
    const double rx = (rect.getWidth() - lineWidth) / 2.0;
    const double ry = (rect.getHeight() - lineWidth) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    cairo_save(cr);
    setSource(frameColor);
    cairo_set_line_width(cr, lineWidth);
    cairo_save(cr);
    cairo_translate(cr, (rect.left + rect.right) / 2.0, (rect.top + rect.bottom) / 2.0);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr);  // stroke with the unscaled pen
    cairo_stroke(cr);
    cairo_restore(cr);
}

PangoLayout* CDrawContext::layoutFor(const char* utf8) {
    if (layout == nullptr) layout = pango_layout_new(textContext());
    pango_layout_set_font_description(layout, font->pangoDescription());
    pango_layout_set_text(layout, utf8, -1);
    return layout;
}

double CDrawContext::getStringWidth(const char* utf8) {
    if (utf8 == nullptr || *utf8 == '\0') return 0.0;
    PangoRectangle logical;
    pango_layout_get_extents(layoutFor(utf8), nullptr, &logical);
    return logical.width / static_cast<double>(PANGO_SCALE);
}

double CDrawContext::measure(const CFontDesc* font, const char* utf8) {
    if (utf8 == nullptr || *utf8 == '\0') return 0.0;
    PangoLayout* text = pango_layout_new(textContext());
    pango_layout_set_font_description(text, (font ? font : kNormalFont)->pangoDescription());
    pango_layout_set_text(text, utf8, -1);
    PangoRectangle logical;
    pango_layout_get_extents(text, nullptr, &logical);
    g_object_unref(text);
    return logical.width / static_cast<double>(PANGO_SCALE);
}

void CDrawContext::drawString(const char* utf8, const CRect& rect, CHoriTxtAlign align) {
    if (utf8 == nullptr || *utf8 == '\0' || rect.isEmpty()) return;
    PangoLayout* text = layoutFor(utf8);
    PangoRectangle logical;
    pango_layout_get_extents(text, nullptr, &logical);
    const double width = logical.width / static_cast<double>(PANGO_SCALE);
    const double height = logical.height / static_cast<double>(PANGO_SCALE);
    double x = rect.left;
    if (align == kCenterText) x += (rect.getWidth() - width) / 2.0;
    if (align == kRightText) x = rect.right - width;
    const double y = rect.top + (rect.getHeight() - height) / 2.0;
    // Whole-pixel origins: a text looks the same wherever it is placed.
    x = std::floor(x + 0.5) - logical.x / static_cast<double>(PANGO_SCALE);
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    cairo_clip(cr);
    setSource(fontColor);
    cairo_move_to(cr, x, std::floor(y + 0.5) - logical.y / static_cast<double>(PANGO_SCALE));
    pango_cairo_show_layout(cr, text);
    cairo_restore(cr);
}

void CDrawContext::pushOrigin(CCoord dx, CCoord dy, const CRect& clip) {
    savedVisible.push_back(visible);
    cairo_save(cr);
    cairo_translate(cr, dx, dy);
    cairo_rectangle(cr, clip.left, clip.top, clip.getWidth(), clip.getHeight());
    cairo_clip(cr);
    CRect moved = visible;
    moved.offset(-dx, -dy);
    visible = CRect(std::max(moved.left, clip.left), std::max(moved.top, clip.top),
                    std::min(moved.right, clip.right), std::min(moved.bottom, clip.bottom));
}

void CDrawContext::popOrigin() {
    if (savedVisible.empty()) return;
    cairo_restore(cr);
    visible = savedVisible.back();
    savedVisible.pop_back();
}
