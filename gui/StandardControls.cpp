#include "gui/StandardControls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace {
bool named(const char* className, const char* name) {
    return className && std::strcmp(className, name) == 0;
}

// The upper half of a two-state stack when off, the lower when on.
void drawState(CBitmap* bitmap, CDrawContext* context, const CRect& size, const CPoint& offset, bool on) {
    if (bitmap) bitmap->draw(context, size, CPoint(offset.x, offset.y + (on ? size.getHeight() : 0)));
}
}  // namespace

// ------------------------------------------------------------------------------ CAnimKnob

CAnimKnob::CAnimKnob(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
                     const CPoint& stripOffset)
    : CControl(rect, owner, controlTag, bitmap), offset(stripOffset) {}

int CAnimKnob::getNumSubPixmaps() const {
    if (background == nullptr || size.getHeight() <= 0) return 0;
    return background->getHeight() / size.getHeight();
}

void CAnimKnob::draw(CDrawContext* context) {
    const int frames = getNumSubPixmaps();
    if (frames <= 0) return;
    const float range = vmax - vmin;
    float position = range != 0.0f ? (getValue() - vmin) / range : 0.0f;
    position = std::clamp(position, 0.0f, 1.0f);
    const int frame = static_cast<int>(position * static_cast<float>(frames - 1) + 0.5f);
    background->draw(context, size, CPoint(offset.x, offset.y + frame * size.getHeight()));
}

bool CAnimKnob::isTypeOf(const char* className) const {
    return named(className, "CAnimKnob") || CControl::isTypeOf(className);
}

// --------------------------------------------------------------------------- COnOffButton

COnOffButton::COnOffButton(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
                           long buttonStyle)
    : CControl(rect, owner, controlTag, bitmap), style(buttonStyle) {}

void COnOffButton::draw(CDrawContext* context) {
    drawState(background, context, size, CPoint(), getValue() > 0.5f);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const long& buttons) {
    if (listener && (buttons & kModifierMask) && listener->controlModifierClicked(this, buttons) != 0)
        return kMouseEventHandled;
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(static_cast<int>(getValue()) == 0 ? 1.0f : 0.0f);
    const auto redraw = [this] {
        setDirty(true);
        if (CFrame* f = getFrame()) f->doIdleStuff();
    };
    if (style == kPreListenerUpdate && listener) listener->valueChanged(this);
    redraw();
    if (style != kPreListenerUpdate && listener) listener->valueChanged(this);
    endEdit();
    return kMouseEventHandled;
}

bool COnOffButton::isTypeOf(const char* className) const {
    return named(className, "COnOffButton") || CControl::isTypeOf(className);
}

// ---------------------------------------------------------------------------- CKickButton

CKickButton::CKickButton(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
                         const CPoint& stackOffset)
    : CControl(rect, owner, controlTag, bitmap), offset(stackOffset) {}

void CKickButton::draw(CDrawContext* context) {
    drawState(background, context, size, offset, getValue() > 0.5f);
}

CMouseEventResult CKickButton::onMouseDown(CPoint&, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    beginEdit();
    setValue(1.0f);
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const long&) {
    if (getValue() > 0.5f) {
        setValue(0.0f);
        if (listener) listener->valueChanged(this);
    }
    endEdit();
    return kMouseEventHandled;
}

bool CKickButton::isTypeOf(const char* className) const {
    return named(className, "CKickButton") || CControl::isTypeOf(className);
}

// -------------------------------------------------------------------------- CParamDisplay

CParamDisplay::CParamDisplay(const CRect& rect, CBitmap* bitmap, long displayStyle)
    : CControl(rect, nullptr, 0, bitmap), font(kNormalFont), style(displayStyle) {}

void CParamDisplay::drawBackground(CDrawContext* context) {
    if (background) background->draw(context, size);
}

void CParamDisplay::drawText(CDrawContext* context, const char* text) {
    context->setFont(font);
    context->setFontColor(fontColor);
    context->drawString(text, size, horiAlign);
}

void CParamDisplay::draw(CDrawContext* context) {
    drawBackground(context);
    if (style & kNoTextStyle) return;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(getValue()));
    drawText(context, text);
}

bool CParamDisplay::isTypeOf(const char* className) const {
    return named(className, "CParamDisplay") || CControl::isTypeOf(className);
}
