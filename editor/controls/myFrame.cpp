#include "editor/controls/myFrame.h"

#include <cstring>

#include "editor/uEditor.h"
#include "framework/effectbase/VstRecords.h"

namespace {
uEditor* editorOf(const CFrame& frame) {
    return dynamic_cast<uEditor*>(frame.getEditor());
}
}  // namespace

myFrame::myFrame(const CRect& rect, void* parent, uEditor* owner) : CFrame(rect, parent, owner) {
    if (owner) owner->setKnobMode(2);  // linear
}

bool myFrame::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    uEditor* owner = editorOf(*this);
    return owner ? owner->onWheel(where, distance, buttons) : false;
}

long myFrame::onKeyDown(VstKeyCode& keyCode) {
    uEditor* owner = editorOf(*this);
    if (!owner || !owner->getUseKeys()) return 0;
    switch (keyCode.virt) {
        case VKEY_UP:
            owner->changeProgramDelta(-1);
            return 1;
        case VKEY_DOWN:
            owner->changeProgramDelta(+1);
            return 1;
        case VKEY_PAGEUP:
            owner->changeFolderDelta(-1);
            return 1;
        case VKEY_PAGEDOWN:
            owner->changeFolderDelta(+1);
            return 1;
        default:
            return 0;
    }
}

bool myFrame::isTypeOf(const char* className) const {
    return (className && std::strcmp(className, "myFrame") == 0) || CFrame::isTypeOf(className);
}
