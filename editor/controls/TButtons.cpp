#include "editor/controls/TButtons.h"

#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/uEditor.h"
#include "gui/CBitmap.h"

namespace {

// The upper half of a two-state stack when off, the lower half when on.
void drawTwoState(CBitmap* bitmap, CDrawContext* context, const CRect& size, bool on) {
    if (bitmap) bitmap->draw(context, size, CPoint(0, on ? bitmap->getHeight() / 2 : 0));
}
}  // namespace

// ------------------------------------------------------------------------------------ TOnOff

TOnOff::TOnOff(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap,
               bool withMidiMenu, long buttonStyle)
    : COnOffButton(rect, owner, controlTag, bitmap, buttonStyle), midiLearn(withMidiMenu) {}

CMouseEventResult TOnOff::onMouseDown(CPoint& where, const long& buttons) {
    if (buttons & kLButton) return COnOffButton::onMouseDown(where, buttons);
    if ((buttons & kRButton) && midiLearn) {
        if (uEditor* editor = editorOf(this)) editor->showMidiLearnMenu(nullptr, this, where);
    }
    return kMouseEventHandled;
}

bool TOnOff::isTypeOf(const char* className) const {
    return isClassName(className, "TOnOff") || COnOffButton::isTypeOf(className);
}

// ------------------------------------------------------------------------------ TRadioButton

TRadioButton::TRadioButton(const CRect& rect, CControlListener* owner, long controlTag)
    : CControl(rect, owner, controlTag) {}

void TRadioButton::draw(CDrawContext* context) {
    uEditor* editor = editorOf(this);
    drawTwoState(editor ? editor->getRadioBitmap() : nullptr, context, size, getValue() != 0.0f);
}

CMouseEventResult TRadioButton::onMouseDown(CPoint&, const long&) {
    if (!getMouseEnabled()) return kMouseEventHandled;
    if (getValue() != 1.0f) setValue(1.0f);
    setDirty(true);
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

bool TRadioButton::isTypeOf(const char* className) const {
    return isClassName(className, "TRadioButton") || CControl::isTypeOf(className);
}

// ------------------------------------------------------------------------------- TMenuButton

TMenuButton::TMenuButton(const CRect& rect, CControlListener* owner, int menuIndex)
    : CControl(rect, owner, kNoParameter), index(menuIndex) {}

void TMenuButton::draw(CDrawContext* context) {
    uEditor* editor = editorOf(this);
    drawTwoState(editor ? editor->getMenuButtonBitmap() : nullptr, context, size, getValue() > 0.5f);
}

CMouseEventResult TMenuButton::onMouseDown(CPoint& where, const long&) {
    uEditor* editor = editorOf(this);
    if (!getMouseEnabled() || !editor || !editor->plugin()) return kMouseEventHandled;
    if (index < 3)
        editor->showXYMenu(nullptr, this, where, index);
    else
        editor->showBlockMenu(nullptr, this, where, index - 3);
    redrawNow(this);
    return kMouseEventHandled;
}

bool TMenuButton::isTypeOf(const char* className) const {
    return isClassName(className, "TMenuButton") || CControl::isTypeOf(className);
}

// ----------------------------------------------------------------------------------- TBitmap

TBitmap::TBitmap(const CRect& rect, CBitmap* bitmap, CControlListener* owner, long controlTag)
    : CControl(rect, owner, controlTag, bitmap) {}

void TBitmap::draw(CDrawContext* context) {
    if (tag == kNoParameter && background) background->draw(context, size);
}

CMouseEventResult TBitmap::onMouseDown(CPoint&, const long& buttons) {
    if (tag == kNoParameter || !getMouseEnabled() || !(buttons & kLButton)) return kMouseEventHandled;
    setValue(getValue() < 0.5f ? 1.0f : 0.0f);
    if (listener) listener->valueChanged(this);
    setDirty(true);
    return kMouseEventHandled;
}

bool TBitmap::isTypeOf(const char* className) const {
    return isClassName(className, "TBitmap") || CControl::isTypeOf(className);
}
