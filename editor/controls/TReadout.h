#pragma once

// A line of text: a knob's value readout (or a label). Drawn in the editor's turquoise, black
// when asked, dark when dimmed, in the GUI size's font. With click pulse it reports a press as
// 1 and the release as 0; without, it ignores the mouse.

#include <string>

#include "gui/StandardControls.h"

class TReadout : public CControl {
public:
    TReadout(const CRect& size, CControlListener* listener, long tag, const char* text, bool centred,
             bool clickPulse, bool smallFont, bool blackText);
    TReadout(const TReadout&) = default;

    void setString(const char* text);
    const std::string& getString() const { return text; }
    void setDimmed(bool state) { dimmed = state; }
    bool isDimmed() const { return dimmed; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TReadout(*this); }

private:
    std::string text;
    int align;
    bool clickPulse;
    bool smallFont;
    bool blackText;
    bool dimmed = false;
};

// A parameter display in the large stock font; nothing in the editor creates one.
class TReadoutString : public CParamDisplay {
public:
    TReadoutString(const CRect& size, const char* text, long style);
    TReadoutString(const TReadoutString&) = default;

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TReadoutString(*this); }

private:
    std::string text;
};
