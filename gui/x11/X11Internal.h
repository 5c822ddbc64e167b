#pragma once

// What the X11 back end's parts share: the connection, the table of windows that take events,
// modal scopes, and windows that show a picture.

#include <X11/Xlib.h>

#include <vector>

#include "gui/GuiTypes.h"

typedef struct _cairo_surface cairo_surface_t;

namespace tarnwell::gui::x11 {

// The connection, opened on first use; null when there is no display.
Display* display();

class EventTarget {
public:
    virtual ~EventTarget() = default;
    virtual void handle(XEvent& event) = 0;
};
void addTarget(::Window window, EventTarget* target);
void removeTarget(::Window window);

// While one lives, only its windows take pointer and key input; scopes nest.
class ModalScope {
public:
    explicit ModalScope(std::vector<::Window> inputWindows);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    void add(::Window window);
};

// Runs the loop until the window is mapped (or a second passed).
void waitUntilMapped(::Window window);

// An X window that shows an image: top-level or override-redirect (pop-ups).
class PictureWindow {
public:
    PictureWindow(int x, int y, int width, int height, bool overrideRedirect, long eventMask);
    ~PictureWindow();
    PictureWindow(const PictureWindow&) = delete;
    PictureWindow& operator=(const PictureWindow&) = delete;

    ::Window id() const { return xid; }
    int width() const { return w; }
    int height() const { return h; }
    // Copies area of picture (same size as the window) onto the window.
    void present(cairo_surface_t* picture, const CRect& area);
    void map();
    void unmap();

private:
    Display* d;
    ::Window xid;
    int w, h;
    cairo_surface_t* surface;
};

// Buttons and modifiers of an X event state as views receive them.
long buttonsOf(unsigned int state);

}  // namespace tarnwell::gui::x11
