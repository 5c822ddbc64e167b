#pragma once

// The standard controls: film-strip knob, on/off and kick buttons, parameter display.
// Bitmaps are drawn unscaled at the control's corner; the control's height is one frame.

#include "gui/CControl.h"

// A film strip of frames stacked vertically, each as tall as the control: frame i sits at
// y = i * height, and the value min..max picks the frame round((value - min) / (max - min) *
// (frames - 1)). It draws only: a subclass gives it its mouse handling.
class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
              const CPoint& offset = CPoint());
    CAnimKnob(const CAnimKnob&) = default;

    int getNumSubPixmaps() const;  // frames in the strip
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new CAnimKnob(*this); }

protected:
    CPoint offset;
};

// Two states stacked: the upper half off, the lower half on (value above 0.5). A left click
// toggles the value (on when its integer part is 0, else off) and tells the listener inside an
// edit: style kPreListenerUpdate tells it before the redraw, kPostListenerUpdate after.
class COnOffButton : public CControl {
public:
    static constexpr long kPostListenerUpdate = 0;
    static constexpr long kPreListenerUpdate = 1;
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = kPostListenerUpdate);
    COnOffButton(const COnOffButton&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new COnOffButton(*this); }

protected:
    long style;
};

// A push button: pressing sets the value to 1 (pressed, drawn from the lower half) and
// releasing back to 0, telling the listener each time, inside one edit.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                const CPoint& offset = CPoint());
    CKickButton(const CKickButton&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new CKickButton(*this); }

protected:
    CPoint offset;
};

// Shows a value as text over its background: the value with two decimals in the font and font
// colour, aligned as set. With style kNoTextStyle only the background is drawn (subclasses
// that draw their own text use it).
class CParamDisplay : public CControl {
public:
    static constexpr long kNoTextStyle = 512;
    explicit CParamDisplay(const CRect& size, CBitmap* background = nullptr, long style = 0);
    CParamDisplay(const CParamDisplay&) = default;

    void setFont(const CFontDesc* newFont) { font = newFont; }
    const CFontDesc* getFont() const { return font; }
    void setFontColor(const CColor& color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }
    void setHoriAlign(CHoriTxtAlign align) { horiAlign = align; }
    CHoriTxtAlign getHoriAlign() const { return horiAlign; }
    long getStyle() const { return style; }

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;
    CView* newCopy() const override { return new CParamDisplay(*this); }

protected:
    // The background bitmap (from the top), when there is one.
    void drawBackground(CDrawContext* context);
    // The text of the value in the display's font, colour and alignment.
    virtual void drawText(CDrawContext* context, const char* text);

    const CFontDesc* font;
    CColor fontColor = kWhiteCColor;
    CHoriTxtAlign horiAlign = kCenterText;
    long style;
};
