#include "editor/controls/TKnob.h"

#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/uEditor.h"

TKnob::TKnob(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
             const CPoint& stackOffset)
    : CAnimKnob(rect, owner, controlTag, bitmap, stackOffset) {}

CMouseEventResult TKnob::onMouseDown(CPoint& where, const long& buttons) {
    if (!getMouseEnabled() || tag == kNoParameter) return kMouseEventHandled;
    uEditor* editor = editorOf(this);
    dragging = false;
    beginEdit();
    if (buttons & kRButton) {
        if (editor) editor->showMidiLearnMenu(nullptr, this, where);
        endEdit();
        return kMouseEventHandled;
    }
    if (checkDefaultValue(buttons)) {
        endEdit();
        return kMouseEventHandled;
    }
    if (editor) editor->setDropTag(static_cast<int>(tag));
    if (buttons == (kLButton | kDoubleClick)) {
        setValue(getDefaultValue());
        if (listener) listener->valueChanged(this);
        endEdit();
        if (editor) editor->releasedDropDial();
        return kMouseEventHandled;
    }
    drag.start(getValue(), buttons, getMax() - getMin());
    dragging = true;
    firstPoint = where;
    lastPoint = CPoint(-1, -1);
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult TKnob::onMouseMoved(CPoint& where, const long& buttons) {
    // After a reset the button is still down, but no drag was started: moves change nothing.
    if (!dragging || !(buttons & kLButton)) return kMouseEventHandled;
    if (where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    const float dy = static_cast<float>(firstPoint.y - where.y);  // upward is positive
    setValue(drag.valueAt(dy, buttons, getMax() - getMin()));
    bounceValue();
    if (listener) listener->valueChanged(this);
    redrawNow(this);
    return kMouseEventHandled;
}

CMouseEventResult TKnob::onMouseUp(CPoint&, const long&) {
    if (tag == kNoParameter) return kMouseEventHandled;
    dragging = false;
    endEdit();
    setDirty(true);
    if (uEditor* editor = editorOf(this)) editor->releasedDropDial();
    return kMouseEventHandled;
}

bool TKnob::onWheel(const CPoint&, const float& distance, const long& buttons) {
    if (!getMouseEnabled()) return false;
    const float before = getValue();
    const float step = getWheelInc() * ((buttons & kShift) ? 0.1f : 1.0f);
    setValue(before + distance * step);
    bounceValue();
    if (getValue() != before) {
        beginEdit();
        if (listener) listener->valueChanged(this);
        endEdit();
    }
    return true;
}

bool TKnob::isTypeOf(const char* className) const {
    return isClassName(className, "TKnob") || CAnimKnob::isTypeOf(className);
}
