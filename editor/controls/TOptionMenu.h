#pragma once

// An option menu drawing its own text in the editor's colour and font, with optional "<" ">"
// step arrows at its ends that step the parameter instead of opening the pop-up. A right click
// opens the parameter's MIDI menu. Tag 9998: background only, no arrows.

#include "gui/COptionMenu.h"

class TOptionMenu : public COptionMenu {
public:
    static constexpr int ARROW_STRIP = 20;  // pixels at each end that step in arrows mode

    TOptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                CBitmap* backgroundWhenClicked, long style, int align, bool arrows, bool third);
    TOptionMenu(const TOptionMenu&) = default;

    // The text shown in place of the current entry's title; null shows a single blank.
    void setString(const char* text);
    const char* getString() const { return text; }
    bool hasArrows() const { return arrows; }
    int getAlign() const { return align; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TOptionMenu(*this); }

private:
    bool third;  // stored only
    bool arrows;
    int align;
    char text[128] = {};
};
