#pragma once

// A view with a value that reports changes to a listener.
//
// Value flow: a control changes its value (setValue), marks itself dirty and tells its
// listener (valueChanged). Changes made by the user are bracketed by beginEdit/endEdit, which
// go through the frame to the editor and on to the host as a gesture. setValue may be called
// from any thread (the effect refreshes controls from the audio thread); it marks the control
// dirty only when the value changed.
//
// A subclass may override draw, the mouse and wheel handlers, setValue, isTypeOf, and must
// provide newCopy (a copy with all its fields).

#include <atomic>

#include "gui/CView.h"

class CBitmap;
class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // A click carrying modifier bits (buttons & kModifierMask): a non-zero answer means the
    // listener used it and the control does nothing more with the click.
    virtual long controlModifierClicked(CControl* control, long buttons);
};

class CControl : public CView {
public:
    // The background is remembered.
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
             CBitmap* background = nullptr);
    CControl(const CControl& other);
    ~CControl() override;  // forgets the background

    virtual CView* newCopy() const = 0;

    virtual void setValue(float value);
    float getValue() const { return value.load(std::memory_order_relaxed); }
    void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    void setMin(float v) { vmin = v; }
    float getMin() const { return vmin; }
    void setMax(float v) { vmax = v; }
    float getMax() const { return vmax; }
    // Limits the value to min..max.
    void bounceValue();
    // Command + left click (exactly those buttons) restores the default value and tells the
    // listener; true when it did. The caller's edit gesture stays open.
    bool checkDefaultValue(long buttons);

    void setWheelInc(float increment) { wheelInc = increment; }
    float getWheelInc() const { return wheelInc; }

    void setTag(long newTag) { tag = newTag; }
    long getTag() const { return tag; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }

    // Opens an edit gesture for the tag (once: a second begin before the end is ignored).
    void beginEdit();
    // Closes the open gesture; nothing when none is open.
    void endEdit();
    bool isEditing() const { return editing; }

    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    // The wheel: value += distance * wheel increment, limited; the listener is told inside an
    // edit when the value moved. True while the control is enabled.
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* className) const override;

protected:
    CControlListener* listener;
    long tag;
    CBitmap* background;
    float defaultValue = 0.5f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelInc = 0.1f;

private:
    std::atomic<float> value{0.0f};
    bool editing = false;
};
