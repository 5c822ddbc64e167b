#pragma once

// A pointer event as a window receives it, for NSWindow::sendEvent: what real windows turn
// their input into, and what a program sends to click its own windows.

#include "sdk/cocoa/NSObject.h"

enum NSEventType {
    NSLeftMouseDown = 1,
    NSLeftMouseUp = 2,
    NSRightMouseDown = 3,
    NSRightMouseUp = 4,
    NSMouseMoved = 5,
    NSLeftMouseDragged = 6,
    NSScrollWheel = 22,
};

enum : unsigned {
    NSShiftKeyMask = 1u << 17,
    NSCommandKeyMask = 1u << 20,
};

struct NSEvent {
    NSEventType type = NSMouseMoved;
    NSPoint locationInWindow;  // in the content view, top-left origin
    unsigned modifierFlags = 0;
    int clickCount = 1;   // 2 for the second press of a double click
    double deltaY = 0.0;  // wheel steps, positive away from the user
};
