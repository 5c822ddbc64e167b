#pragma once

// What NSWindow stands on: the platform's windows. A WindowServer makes one surface per window;
// the surface shows the frames built in the window's views (it is their toolkit parent) and
// turns its input into their events. Two servers: real X11 windows, and an offscreen one whose
// windows are pictures in memory (snapshots, tests). The main run loop lets the server dispatch
// its events on every turn and, when the server has events to wait for, waits through it.

#include <functional>
#include <memory>
#include <string>

#include "gui/Platform.h"
#include "sdk/cocoa/NSEvent.h"

typedef struct _cairo_surface cairo_surface_t;
class DialogBackend;

namespace tarnwell::cocoa {

class WindowSurface : public tarnwell::gui::ParentView {
public:
    virtual void setTitle(const std::string& title) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void center() = 0;
    // Hands the event to the frame shown, as if the window had received it.
    virtual void deliver(const NSEvent& event) = 0;
    // A new image surface holding what the window shows now (drawn first); null without a
    // frame or when the picture cannot be had.
    virtual cairo_surface_t* capture() = 0;

    // Set by the window: the user asked to close it (the close button).
    std::function<void()> closeRequested;
};

class WindowServer {
public:
    virtual ~WindowServer() = default;
    // A window whose content area is width x height; style: NSWindow's style mask.
    virtual std::unique_ptr<WindowSurface> makeSurface(int width, int height, unsigned style) = 0;
    // Hands every waiting event to its window; returns at once when none waits.
    virtual void dispatchEvents() {}
    // Whether events arrive from outside, so that the run loop waits through waitForEvents
    // rather than on its clock alone.
    virtual bool hasEvents() const { return false; }
    // Waits at most seconds for events (or a signal) and hands over what arrived.
    virtual void waitForEvents(double /*seconds*/) {}
    // Modal message and input windows on this server's display, painted and run by the same
    // loop as its windows; null for a server without a display. A component's views hand them
    // to their own dialog chain (a component has its own copy of it).
    virtual DialogBackend* dialogs() { return nullptr; }
    // Called when the connection to the display breaks and its windows are gone; the handler
    // should save what must be kept and end the program.
    virtual void onConnectionLost(std::function<void()> /*handler*/) {}
    // The room a window has on the screen new windows open on (its work area); false for a
    // server without a screen.
    virtual bool workArea(int& /*width*/, int& /*height*/) { return false; }
};

// The server new windows are made by; the offscreen one until another is set. Set it before
// the first window and keep it while windows exist.
TARNWELL_COCOA_API void setWindowServer(std::unique_ptr<WindowServer> server);
TARNWELL_COCOA_API WindowServer& windowServer();
TARNWELL_COCOA_API std::unique_ptr<WindowServer> makeOffscreenWindowServer();
// Windows on the X display $DISPLAY names; null when no display can be opened.
TARNWELL_COCOA_API std::unique_ptr<WindowServer> makeX11WindowServer();

// The buttons and modifiers a toolkit view receives for a pointer event.
long buttonsOf(const NSEvent& event);

}  // namespace tarnwell::cocoa
