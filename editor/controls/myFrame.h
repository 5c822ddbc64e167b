#pragma once

// The editor's frame: passes the mouse wheel and the preset-stepping keys to the editor.

#include "gui/CFrame.h"

class uEditor;

class myFrame : public CFrame {
public:
    myFrame(const CRect& size, void* parent, uEditor* editor);

    // The editor's wheel handling, whatever is under the pointer.
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    // Up/down step through the presets, page up/down through folders, while the editor's key
    // setting is on; 1 when used.
    long onKeyDown(VstKeyCode& keyCode) override;
    bool isTypeOf(const char* className) const override;
};
