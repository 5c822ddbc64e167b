#include "gui/CControl.h"

#include <algorithm>
#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"

long CControlListener::controlModifierClicked(CControl*, long) {
    return 0;
}

CControl::CControl(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap)
    : CView(rect), listener(owner), tag(controlTag), background(bitmap) {
    if (background) background->remember();
}

CControl::CControl(const CControl& other)
    : CView(other),
      listener(other.listener),
      tag(other.tag),
      background(other.background),
      defaultValue(other.defaultValue),
      vmin(other.vmin),
      vmax(other.vmax),
      wheelInc(other.wheelInc),
      value(other.getValue()) {
    if (background) background->remember();
}

CControl::~CControl() {
    if (background) background->forget();
}

void CControl::setValue(float v) {
    if (value.exchange(v, std::memory_order_relaxed) != v) setDirty(true);
}

void CControl::bounceValue() {
    const float v = getValue();
    if (v > vmax)
        setValue(vmax);
    else if (v < vmin)
        setValue(vmin);
}

bool CControl::checkDefaultValue(long buttons) {
    if (buttons != (kLButton | kCommand)) return false;
    setValue(defaultValue);
    if (listener) listener->valueChanged(this);
    return true;
}

void CControl::beginEdit() {
    if (editing) return;
    editing = true;
    if (CFrame* f = getFrame()) f->beginEdit(tag);
}

void CControl::endEdit() {
    if (!editing) return;
    editing = false;
    if (CFrame* f = getFrame()) f->endEdit(tag);
}

void CControl::setBackground(CBitmap* bitmap) {
    if (exchangeReference(background, bitmap)) setDirty(true);
}

bool CControl::onWheel(const CPoint&, const float& distance, const long&) {
    if (!getMouseEnabled()) return false;
    const float old = getValue();
    setValue(old + distance * wheelInc);
    bounceValue();
    if (getValue() != old) {
        beginEdit();
        if (listener) listener->valueChanged(this);
        endEdit();
    }
    return true;
}

bool CControl::isTypeOf(const char* className) const {
    return (className && std::strcmp(className, "CControl") == 0) || CView::isTypeOf(className);
}
