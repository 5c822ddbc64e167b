#pragma once

// The editor's buttons: an on/off switch with an optional MIDI menu, a radio button, a button
// that opens a Block's XY or Block menu, and a picture that is an invisible toggle when it has
// a parameter.

#include "gui/StandardControls.h"

class TOnOff : public COnOffButton {
public:
    TOnOff(const CRect& size, CControlListener* listener, long tag, CBitmap* background, bool midiLearn,
           long style = kPostListenerUpdate);
    TOnOff(const TOnOff&) = default;

    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool hasMidiMenu() const { return midiLearn; }
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TOnOff(*this); }

private:
    bool midiLearn;
};

// Draws the editor's two-state button bitmap (lower half when on). A click turns it on; only
// its neighbours' update turns it off.
class TRadioButton : public CControl {
public:
    TRadioButton(const CRect& size, CControlListener* listener, long tag);
    TRadioButton(const TRadioButton&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TRadioButton(*this); }
};

// Index 0..2 opens the XY menu of that Block, 3..5 the Block menu of Block index - 3.
class TMenuButton : public CControl {
public:
    TMenuButton(const CRect& size, CControlListener* listener, int index);
    TMenuButton(const TMenuButton&) = default;

    int getIndex() const { return index; }
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TMenuButton(*this); }

private:
    int index;
};

// Tag kNoParameter: a picture. Any other tag: draws nothing and toggles its value on a left click.
class TBitmap : public CControl {
public:
    TBitmap(const CRect& size, CBitmap* bitmap, CControlListener* listener, long tag);
    TBitmap(const TBitmap&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new TBitmap(*this); }
};
