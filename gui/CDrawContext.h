#pragma once

// What a view draws with. A view draws in the coordinates its own rectangle is given in, that
// is its container's: a container hands its children the context moved to its own corner and
// clipped to its area.
//
// Lines and outlines are one pixel wide by default and cover whole pixels: a line from (x0, y)
// to (x1, y) colours the pixels x0..x1 of row y, both ends included; the outline of a
// rectangle runs along its inner edge (left..right-1, top..bottom-1); a filled rectangle
// covers left..right-1 by top..bottom-1. Text is laid out by pango with hinting off, so a text
// measures the same at every size and draws the same bytes on every run.

#include <vector>

#include "gui/GuiTypes.h"

typedef struct _cairo cairo_t;
typedef struct _PangoLayout PangoLayout;

class CDrawContext {
public:
    // Draws into cr (which the caller keeps) from its current transformation.
    explicit CDrawContext(cairo_t* cr);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    void setFrameColor(const CColor& color) { frameColor = color; }  // lines and outlines
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(const CColor& color) { fillColor = color; }
    CColor getFillColor() const { return fillColor; }
    void setFontColor(const CColor& color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    void setFont(const CFontDesc* newFont) { font = newFont ? newFont : kNormalFont; }
    const CFontDesc* getFont() const { return font; }
    void setLineWidth(CCoord width) { lineWidth = width > 0 ? width : 1; }
    CCoord getLineWidth() const { return lineWidth; }

    void moveTo(const CPoint& point) { pen = point; }
    // Draws from the pen to point in the frame colour; the pen ends at point.
    void lineTo(const CPoint& point);
    void drawRect(const CRect& rect);     // outline, frame colour
    void fillRect(const CRect& rect);     // fill colour
    void drawEllipse(const CRect& rect);  // outline of the ellipse inside rect, frame colour

    // One line of text inside rect in the font and font colour: aligned left, centred or right,
    // centred vertically, cut off at the rectangle's edges.
    void drawString(const char* utf8, const CRect& rect, CHoriTxtAlign align = kCenterText);
    // Width in pixels the text takes in the current font.
    double getStringWidth(const char* utf8);
    // The same without a context to draw in.
    static double measure(const CFontDesc* font, const char* utf8);

    cairo_t* cairo() const { return cr; }

    // For containers: children draw from (dx, dy) on, clipped to clip (in the moved
    // coordinates); pop undoes the last push. The visible part of the drawing area, in the
    // current coordinates, decides which children draw at all.
    void pushOrigin(CCoord dx, CCoord dy, const CRect& clip);
    void popOrigin();
    const CRect& visibleArea() const { return visible; }

private:
    void setSource(const CColor& color);
    PangoLayout* layoutFor(const char* utf8);

    cairo_t* cr;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kWhiteCColor;
    const CFontDesc* font;
    CCoord lineWidth = 1;
    CPoint pen;
    CRect visible;
    std::vector<CRect> savedVisible;
    PangoLayout* layout = nullptr;
};
