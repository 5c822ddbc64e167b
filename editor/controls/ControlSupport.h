#pragma once

// How a control reaches the editor and the effect: through its frame. A control shown in no
// frame, or in a frame of another editor, reaches neither.

#include "gui/CFrame.h"
#include "gui/CView.h"

class APlugin;
class uEditor;

// Tags of the controls that stand for no parameter: pictures and buttons, and the MIDI map menu
// (a menu that shows no text and no arrows). Every other tag is a parameter's index.
inline constexpr int kNoTextMenu = 9998;
inline constexpr int kNoParameter = 9999;

uEditor* editorOf(const CView* view);
APlugin* effectOf(const CView* view);
// The run-time type test's name comparison.
bool isClassName(const char* className, const char* name);
// Marks the view and draws what is marked at once.
void redrawNow(CView* view);

// The drag of a knob or an amount: 200 pixels cover the whole span, 10000 with shift (while the
// left button is down). Pressing or releasing shift mid-drag changes the speed from where the
// value is, without a jump.
class ShiftDrag {
public:
    static constexpr float RANGE = 200.0f;
    static constexpr float FINE_RANGE = 10000.0f;

    void start(float value, long buttons, float span);
    // The value distance pixels from the press (positive raises it), not yet limited.
    float valueAt(float distance, long buttons, float span);

private:
    static float rangeFor(long buttons);
    float base = 0.0f;
    float range = 100.0f;
    float perPixel = 0.0f;
    long startButtons = 0;
};
