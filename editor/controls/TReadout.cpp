#include "editor/controls/TReadout.h"

#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/controls/EditorStyle.h"
#include "editor/uEditor.h"
#include "gui/CDrawContext.h"

TReadout::TReadout(const CRect& rect, CControlListener* owner, long controlTag, const char* initial,
                   bool centred, bool pulse, bool small, bool black)
    : CControl(rect, owner, controlTag),
      text(initial && *initial ? initial : " "),
      align(centred ? kCenterText : kLeftText),
      clickPulse(pulse),
      smallFont(small),
      blackText(black) {}

void TReadout::setString(const char* newText) {
    text = newText ? newText : "";
}

void TReadout::draw(CDrawContext* context) {
    uEditor* editor = editorOf(this);
    const int guiSize = editor ? editor->getGuiSize() : 0;
    context->setFontColor(dimmed ? DIMMED_TEXT_COLOR : blackText ? kBlackCColor : TURQUOISE_COLOR);
    context->setFont(readoutFont(guiSize, smallFont));
    context->drawString(text.c_str(), size, static_cast<CHoriTxtAlign>(align));
}

CMouseEventResult TReadout::onMouseDown(CPoint&, const long& buttons) {
    if (!clickPulse || !(buttons & kLButton)) return kMouseEventHandled;
    setValue(1.0f);
    setDirty(true);
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

CMouseEventResult TReadout::onMouseUp(CPoint&, const long&) {
    setValue(0.0f);
    setDirty(true);
    if (clickPulse && listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

bool TReadout::isTypeOf(const char* className) const {
    return isClassName(className, "TReadout") || CControl::isTypeOf(className);
}

TReadoutString::TReadoutString(const CRect& rect, const char* initial, long displayStyle)
    : CParamDisplay(rect, nullptr, displayStyle), text(initial ? initial : "") {}

void TReadoutString::draw(CDrawContext* context) {
    drawBackground(context);
    context->setFont(kNormalFontVeryBig);
    context->setFontColor(fontColor);
    context->drawString(text.c_str(), size, horiAlign);
}

bool TReadoutString::isTypeOf(const char* className) const {
    return isClassName(className, "TReadoutString") || CParamDisplay::isTypeOf(className);
}
