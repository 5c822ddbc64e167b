#pragma once

// A 137-frame film-strip knob. A vertical drag of 200 pixels covers the whole range (10000 with
// shift, for fine moves; pressing or releasing shift mid-drag changes speed without a jump). A
// left double click restores the default; a right click opens the parameter's MIDI menu. While
// pressed, the knob is the editor's drop candidate for the modulation matrix.

#include "editor/controls/ControlSupport.h"
#include "gui/StandardControls.h"

class TKnob : public CAnimKnob {
public:
    TKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
          const CPoint& offset = CPoint());
    TKnob(const TKnob&) = default;

    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TKnob(*this); }

private:
    CPoint firstPoint;
    CPoint lastPoint{-1, -1};
    ShiftDrag drag;
    bool dragging = false;  // from a press that starts a drag to its release
};
