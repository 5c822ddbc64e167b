#include "editor/controls/ControlSupport.h"

#include <cstring>

#include "editor/uEditor.h"
#include "effect/APlugin.h"

uEditor* editorOf(const CView* view) {
    CFrame* frame = view ? view->getFrame() : nullptr;
    return frame ? dynamic_cast<uEditor*>(frame->getEditor()) : nullptr;
}

APlugin* effectOf(const CView* view) {
    uEditor* editor = editorOf(view);
    return editor ? editor->plugin() : nullptr;
}

void redrawNow(CView* view) {
    view->setDirty(true);
    if (CFrame* frame = view->getFrame()) frame->doIdleStuff();
}

bool isClassName(const char* className, const char* name) {
    return className && std::strcmp(className, name) == 0;
}

float ShiftDrag::rangeFor(long buttons) {
    return (buttons & kLButton) && (buttons & kShift) ? FINE_RANGE : RANGE;
}

void ShiftDrag::start(float value, long buttons, float span) {
    base = value;
    range = rangeFor(buttons);
    perPixel = span / range;
    startButtons = buttons;
}

float ShiftDrag::valueAt(float distance, long buttons, float span) {
    if (buttons != startButtons) {
        range = rangeFor(buttons);
        const float newPerPixel = span / range;
        base += (perPixel - newPerPixel) * distance;
        perPixel = newPerPixel;
        startButtons = buttons;
    }
    return base + distance * perPixel;
}
