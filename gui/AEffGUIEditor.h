#pragma once

// The editor binding for toolkit-drawn editors: an AEffEditor that owns a frame while open.
//
// A subclass builds its frame in open (new CFrame(size, parent, this), parent being what open
// received), keeps it in `frame`, and deletes it in close. The host drives idle from a timer;
// idle draws what the views marked. Virtual operations follow AEffEditor's in this order:
// setParameter, draw, mouse, doIdleStuff, getKnobMode, beginEdit, endEdit. Keep it when adding
// any.

#include <atomic>
#include <cstdint>

#include "framework/effectbase/AEffEditor.h"

class CFrame;

class AEffGUIEditor : public AEffEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;  // the editor's rectangle
    bool open(void* parent) override;     // remembers the parent; true
    void close() override;
    // Between open and close; safe to ask from the audio thread.
    bool isOpen() override { return opened.load(std::memory_order_acquire); }
    void idle() override;  // draws what is marked
    // Keys and the host's wheel go to the frame (the wheel at the pointer).
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(int mode) override;

    // The effect changed a parameter; a subclass brings its controls up to date.
    virtual void setParameter(int index, float value);
    // Draws what is marked and shows it (rect is not looked at).
    virtual void draw(ERect* rect);
    // The host's old mouse entry; the frame takes its events from its window instead.
    virtual int mouse(int x, int y);
    // Draws what is marked at once.
    virtual void doIdleStuff();
    virtual int getKnobMode() const;
    // Edit gestures of controls, passed to the effect.
    virtual bool beginEdit(int index);
    virtual bool endEdit(int index);

    CFrame* getFrame() const { return frame; }

    // Milliseconds of a steady clock, 32 bits, wrapping.
    static uint32_t getTicks();

protected:
    ERect rect{};
    CFrame* frame = nullptr;
    int knobMode = 0;

private:
    std::atomic<bool> opened{false};
};

namespace tarnwell::gui {
// Replaces the clock behind getTicks (tests step it, or make it wrap); null restores it.
void setTickSource(uint32_t (*source)());
}  // namespace tarnwell::gui
