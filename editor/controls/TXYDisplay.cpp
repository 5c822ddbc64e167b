#include "editor/controls/TXYDisplay.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dsp/ControlMath.h"
#include "editor/controls/ControlSupport.h"
#include "editor/controls/EditorStyle.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace {
constexpr int kReadoutHeight = 10;   // design units
constexpr float kPointDiameter = 8;  // design units

const CFontDesc* readoutFont(int guiSize) {
    return guiSize <= 0 ? kNormalFontSmaller : guiSize == 1 ? kNormalFont : kNormalFontBig;
}

void setSource(cairo_t* cr, const CColor& c) {
    cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

// A point's circle, drawn once per GUI size; its centre pixel is `centre` from its corner.
struct Ring {
    cairo_surface_t* surface = nullptr;
    int centre = 0;
};

const Ring& pointRing(int size, int radius, int lineWidth) {
    static Ring rings[3];
    Ring& ring = rings[std::clamp(size, 0, 2)];
    if (ring.surface) return ring;
    ring.centre = radius + lineWidth / 2 + 1;
    const int side = 2 * ring.centre + lineWidth % 2;
    ring.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
    cairo_t* cr = cairo_create(ring.surface);
    const double o = (lineWidth % 2) ? 0.5 : 0.0;
    setSource(cr, TURQUOISE_COLOR);
    cairo_set_line_width(cr, lineWidth);
    cairo_arc(cr, ring.centre + o, ring.centre + o, radius, 0.0, 2.0 * M_PI);
    cairo_stroke(cr);
    cairo_destroy(cr);
    return ring;
}
}  // namespace

TXYDisplay::TXYDisplay(const CRect& rect, CControlListener* owner, int blockIndex)
    : CControl(rect, owner, kNoParameter),
      width(rect.getWidth()),
      height(rect.getHeight()),
      block(blockIndex) {}

APlugin* TXYDisplay::effect() const {
    uEditor* editor = editorOf(this);
    return editor ? editor->plugin() : nullptr;
}

void TXYDisplay::setGrouping(int g) {
    grouping = std::clamp(g, 0, 2);
    groupSize = GROUP_NO[grouping];
}

bool TXYDisplay::getEdit() const {
    APlugin* fx = effect();
    return fx && fx->getParameter(XY_EDIT_TAG[block]) >= 0.5f;
}

bool TXYDisplay::hasPath() const {
    APlugin* fx = effect();
    return fx && 1000.0f * fx->getParameter(XY_LEN_SEC_TAG[block]) + fx->getParameter(XY_LEN_MS_TAG[block]) >=
                     0.002f;
}

float TXYDisplay::snapValue(float v) const {
    APlugin* fx = effect();
    return fx ? fx->snapValue(block, v) : v;
}

void TXYDisplay::getSnappedXYPoint(int i, float& x, float& y) const {
    x = y = 0.0f;
    APlugin* fx = effect();
    if (!fx || i < 0 || i >= POINTS) return;
    fx->getXYValues(block, i, x, y);
    x = fx->snapValue(block, x);
    y = fx->snapValue(block, y);
}

CCoord TXYDisplay::toPixelX(float x) const {
    return size.left + static_cast<CCoord>(x * static_cast<float>(width - 1));
}

CCoord TXYDisplay::toPixelY(float y) const {
    return size.top + static_cast<CCoord>(y * static_cast<float>(height - 1));
}

void TXYDisplay::getXYPoint(int i, int& px, int& py) const {
    px = py = 0;
    APlugin* fx = effect();
    if (!fx || i < 0 || i >= POINTS) return;
    float x = 0.0f, y = 0.0f;
    fx->getXYValues(block, i, x, y);
    px = toPixelX(fx->snapValue(block, x));
    py = toPixelY(fx->snapValue(block, 1.0f - y));
}

void TXYDisplay::setXYPoint(int i, float x, float y) {
    APlugin* fx = effect();
    if (!fx || i < 0 || i >= POINTS) return;
    fx->setParameterAutomated(XY_X_START[block] + i, x);
    fx->setParameterAutomated(XY_Y_START[block] + i, y);
}

void TXYDisplay::toPad(const CPoint& where, float& x, float& y) const {
    x = controlmath::clamp01(static_cast<float>(where.x - size.left) /
                             static_cast<float>(std::max(width - 1, 1)));
    y = 1.0f - controlmath::clamp01(static_cast<float>(where.y - size.top) /
                                    static_cast<float>(std::max(height - 1, 1)));
}

void TXYDisplay::readoutText(float x, float y, char* text, int size) {
    std::snprintf(text, static_cast<size_t>(size), "X/Y - %d%%,%d%%", static_cast<int>(100.0f * x),
                  static_cast<int>(100.0f * y));
}

bool TXYDisplay::pointEditing(int mode) const {
    return mode == APlugin::XY_REPLAY && getEdit() && hasPath();
}

void TXYDisplay::cachePoints(APlugin* fx, bool snapped) {
    for (int i = 0; i < POINTS; ++i) {
        if (snapped)
            getSnappedXYPoint(i, cacheX[i], cacheY[i]);
        else
            fx->getXYValues(block, i, cacheX[i], cacheY[i]);
    }
}

// ------------------------------------------------------------------------------------ drawing

void TXYDisplay::poll(APlugin* fx) {
    const int mode = fx->getXYRecordMode(block);
    if (mode == APlugin::XY_RECORDING && recordMode != APlugin::XY_RECORDING) recordArmed = true;
    if (mode != APlugin::XY_RECORDING) recordArmed = false;
    recordMode = mode;

    if (fx->getUpdateXY(block)) {
        fx->getXYEditor(block, positionX, positionY);
        fx->setUpdateXY(block, false);
    }
    bool movedByMidi = false;
    if (fx->getXChanged(block)) {
        positionX = fx->getMidiX(block);
        movedByMidi = true;
    }
    if (fx->getYChanged(block)) {
        positionY = fx->getMidiY(block);
        movedByMidi = true;
    }
    if (movedByMidi && recordMode == APlugin::XY_RECORDING && recordArmed) {
        recordArmed = false;
        midiRecording = true;
        fx->startXYRecord(block);
    }
    if (!midiRecording) return;
    if (recordMode == APlugin::XY_RECORDING) {
        fx->setXYRecord(block, positionX, positionY);
    } else if (recordMode == APlugin::XY_REPLAY) {
        midiRecording = false;
        fx->endXYRecord(block);
    } else {
        // Back to live: the take is dropped. Kept running, it would resume later over the
        // time spent here, whose slots hold an older take.
        midiRecording = false;
        fx->startXYRecord(block);
    }
}

void TXYDisplay::drawGrid(CDrawContext* context, APlugin* fx) const {
    const int lines = APlugin::XY_SNAP_AMOUNT[fx->getXYSpaceQuantization(block)];
    if (lines == 0) return;
    context->setFrameColor(DARK_TURQUOISE_COLOR);
    for (int i = 0; i <= lines; ++i) {
        const CCoord x = size.left + (width - 1) * i / lines;
        const CCoord y = size.top + (height - 1) * i / lines;
        context->moveTo(CPoint(x, size.top));
        context->lineTo(CPoint(x, size.top + height - 1));
        context->moveTo(CPoint(size.left, y));
        context->lineTo(CPoint(size.left + width - 1, y));
    }
}

// The path as one stroke and the points stamped from one ring drawn ahead: drawn a segment and
// a circle at a time, three pads cost most of an idle at 200 %.
void TXYDisplay::drawPath(CDrawContext* context, APlugin* fx) const {
    if (recordMode != APlugin::XY_REPLAY || !getEdit()) return;
    const int step = POINTS / APlugin::XY_QUANT[fx->getXYPointQuantization(block)];
    uEditor* editor = editorOf(this);
    const int guiSize = editor ? editor->getGuiSize() : 0;
    const float scale = editor ? editor->getGuiScale() : 1.0f;
    // Whole pixels: the path thickens with the window only at 200 %.
    const int lineWidth = std::max(1, static_cast<int>(scale));
    // Lines of odd width run through pixel centres, as the toolkit's own lines do.
    const double o = (lineWidth % 2) ? 0.5 : 0.0;

    cairo_t* cr = context->cairo();
    cairo_save(cr);
    setSource(cr, TURQUOISE_COLOR);
    cairo_set_line_width(cr, lineWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_new_path(cr);  // text drawn before may have left a current point
    int px = 0, py = 0;
    for (int i = 0; i < POINTS; i += step) {
        getXYPoint(i, px, py);
        cairo_line_to(cr, px + o, py + o);  // the first one moves there
    }
    if (fx->getXYLoopMode(block) != APlugin::XY_LOOP_OFF) cairo_close_path(cr);
    cairo_stroke(cr);

    const Ring& ring = pointRing(guiSize, static_cast<int>(kPointDiameter * scale) / 2, lineWidth);
    for (int i = 0; i < POINTS; i += step) {
        getXYPoint(i, px, py);
        cairo_set_source_surface(cr, ring.surface, px - ring.centre, py - ring.centre);
        cairo_paint(cr);
    }
    cairo_restore(cr);
}

void TXYDisplay::drawCursor(CDrawContext* context, APlugin* fx, float& x, float& y) const {
    if (recordMode == APlugin::XY_REPLAY) {
        fx->getXYEditor(block, x, y);
    } else {
        x = fx->getParameter(XY_LAST_X_TAG[block]);
        y = fx->getParameter(XY_LAST_Y_TAG[block]);
    }
    const CCoord cx = toPixelX(fx->snapValue(block, x));
    const CCoord cy = toPixelY(fx->snapValue(block, 1.0f - y));
    x = fx->snapValue(block, x);
    y = fx->snapValue(block, y);
    uEditor* editor = editorOf(this);
    CBitmap* cursor = editor ? editor->getCursorBitmap() : nullptr;
    if (!cursor) return;
    const CCoord half = cursor->getWidth() / 2;
    cursor->draw(context, CRect(cx - half, cy - half, cx - half + cursor->getWidth(),
                                cy - half + cursor->getHeight()));
}

void TXYDisplay::draw(CDrawContext* context) {
    APlugin* fx = effect();
    if (!fx) return;
    poll(fx);
    // Everything stays on the pad: a cursor or circle at the edge is cut there rather than
    // painting over the artwork around it, which only a redraw of the whole panel would restore.
    context->pushOrigin(0, 0, size);
    drawGrid(context, fx);
    drawPath(context, fx);
    float x = 0.0f, y = 0.0f;
    drawCursor(context, fx, x, y);
    if (pressed) {
        if (selected >= 0) {
            x = editX;
            y = editY;
        }
        uEditor* editor = editorOf(this);
        const int guiSize = editor ? editor->getGuiSize() : 0;
        const CCoord band = editor ? editor->getScaled(kReadoutHeight) : kReadoutHeight;
        char text[40];
        readoutText(x, y, text, sizeof text);
        context->setFont(readoutFont(guiSize));
        context->setFontColor(TURQUOISE_COLOR);
        context->drawString(text, CRect(size.left, size.top, size.left + width, size.top + band), kRightText);
    }
    context->popOrigin();
}

// -------------------------------------------------------------------------------------- mouse

CMouseEventResult TXYDisplay::onMouseDown(CPoint& where, const long& buttons) {
    uEditor* editor = editorOf(this);
    APlugin* fx = editor ? editor->plugin() : nullptr;
    if (!fx) return kMouseEventHandled;
    cachePoints(fx, false);
    pressed = true;
    if (buttons & (kRButton | kCommand)) {
        editor->showXYMenu(nullptr, this, where, block);
        redrawNow(this);
        pressed = false;
        return kMouseEventHandled;
    }
    const int mode = fx->getXYRecordMode(block);
    float x = 0.0f, y = 0.0f;
    toPad(where, x, y);
    switch (mode) {
        case APlugin::XY_REPLAY: {
            if (!pointEditing(mode)) break;
            setGrouping(editor->xyGrouping);
            const int step = POINTS / APlugin::XY_QUANT[fx->getXYPointQuantization(block)];
            cachePoints(fx, true);
            float best = 0.0f;
            for (int i = 0; i < POINTS; i += step) {
                const float dx = cacheX[i] - x, dy = cacheY[i] - y;
                const float distance = dx * dx + dy * dy;
                if (i == 0 || distance < best) {
                    best = distance;
                    selected = i;
                }
            }
            fx->setBlockUndo();
            onMouseMoved(where, buttons);
            break;
        }
        case APlugin::XY_LIVE:
            if (buttons == (kLButton | kDoubleClick)) {
                positionX = positionY = 0.0f;
                fx->setXY(block, 0.0f, 0.0f);
                redrawNow(this);
                pressed = false;
                break;
            }
            positionX = x;
            positionY = y;
            onMouseMoved(where, buttons);
            break;
        case APlugin::XY_RECORDING:
            positionX = x;
            positionY = y;
            fx->startXYRecord(block);
            onMouseMoved(where, buttons);
            break;
        default:
            break;
    }
    return kMouseEventHandled;
}

CMouseEventResult TXYDisplay::onMouseMoved(CPoint& where, const long& buttons) {
    APlugin* fx = effect();
    if (!fx || !(buttons & kLButton)) return kMouseEventHandled;
    const int mode = fx->getXYRecordMode(block);
    float x = 0.0f, y = 0.0f;
    toPad(where, x, y);
    if (pointEditing(mode)) {
        editX = x;
        editY = y;
        if (selected >= 0 && grouping == 0) {
            setXYPoint(selected, x, y);
        } else if (selected >= 0) {
            const float g = static_cast<float>(groupSize);
            for (int j = -groupSize; j <= groupSize; ++j) {
                const int p = selected + j;
                if (p < 0 || p >= POINTS) continue;
                const float w = (static_cast<float>(std::abs(j)) / g) * (static_cast<float>(std::abs(j)) / g);
                setXYPoint(p, cacheX[p] * w + x * (1.0f - w), cacheY[p] * w + y * (1.0f - w));
            }
        }
    } else if (mode == APlugin::XY_LIVE || mode == APlugin::XY_RECORDING) {
        positionX = x;
        positionY = y;
        fx->setXY(block, x, y);
        if (mode == APlugin::XY_RECORDING) fx->setXYRecord(block, x, y);
    }
    redrawNow(this);
    setDirty(true);
    return kMouseEventHandled;
}

CMouseEventResult TXYDisplay::onMouseUp(CPoint&, const long&) {
    if (APlugin* fx = effect()) {
        const int mode = fx->getXYRecordMode(block);
        if (mode == APlugin::XY_RECORDING) fx->endXYRecord(block);
    }
    selected = -1;
    pressed = false;
    setDirty(true);
    return kMouseEventHandled;
}

bool TXYDisplay::isTypeOf(const char* className) const {
    return isClassName(className, "TXYDisplay") || CControl::isTypeOf(className);
}
