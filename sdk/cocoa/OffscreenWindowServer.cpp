// Windows that are pictures in memory: nothing is shown, events come from sendEvent.

#include <cairo.h>

#include "gui/CFrame.h"
#include "gui/Offscreen.h"
#include "sdk/cocoa/WindowServer.h"

namespace tarnwell::cocoa {

namespace {

class OffscreenSurface : public WindowSurface {
public:
    std::unique_ptr<gui::FramePlatform> attachFrame(CFrame& frame) override {
        return view.attachFrame(frame);
    }
    void detachFrame(CFrame& frame) override { view.detachFrame(frame); }
    void setTitle(const std::string&) override {}
    void show() override {}
    void hide() override {}
    void center() override {}

    void deliver(const NSEvent& e) override {
        const CPoint where(static_cast<CCoord>(e.locationInWindow.x),
                           static_cast<CCoord>(e.locationInWindow.y));
        const long buttons = buttonsOf(e);
        switch (e.type) {
            case NSLeftMouseDown:
            case NSRightMouseDown:
                view.mouseDown(where, buttons);
                break;
            case NSLeftMouseDragged:
            case NSMouseMoved:
                view.mouseMoved(where, buttons);
                break;
            case NSLeftMouseUp:
            case NSRightMouseUp:
                view.mouseUp(where, buttons);
                break;
            case NSScrollWheel:
                view.wheel(where, static_cast<float>(e.deltaY), buttons);
                break;
        }
    }

    cairo_surface_t* capture() override {
        CFrame* frame = view.frame();
        if (frame == nullptr) return nullptr;
        frame->doIdleStuff();
        cairo_surface_t* shown = frame->picture();
        cairo_surface_t* copy = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(shown), cairo_image_surface_get_height(shown));
        cairo_t* cr = cairo_create(copy);
        cairo_set_source_surface(cr, shown, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        return copy;
    }

private:
    gui::OffscreenView view;
};

class OffscreenServer : public WindowServer {
public:
    std::unique_ptr<WindowSurface> makeSurface(int, int, unsigned) override {
        return std::make_unique<OffscreenSurface>();
    }
};

std::unique_ptr<WindowServer>& current() {
    static std::unique_ptr<WindowServer> server;
    return server;
}

}  // namespace

long buttonsOf(const NSEvent& e) {
    long buttons = 0;
    if (e.modifierFlags & NSShiftKeyMask) buttons |= kShift;
    if (e.modifierFlags & NSCommandKeyMask) buttons |= kCommand;
    switch (e.type) {
        case NSLeftMouseDown:
            return buttons | kLButton | (e.clickCount == 2 ? long{kDoubleClick} : 0L);
        case NSRightMouseDown:
            return buttons | kRButton | (e.clickCount == 2 ? long{kDoubleClick} : 0L);
        case NSLeftMouseDragged:
            return buttons | kLButton;
        default:
            return buttons;  // releases, moves and the wheel: no button held
    }
}

std::unique_ptr<WindowServer> makeOffscreenWindowServer() {
    return std::make_unique<OffscreenServer>();
}

void setWindowServer(std::unique_ptr<WindowServer> server) {
    current() = std::move(server);
}

WindowServer& windowServer() {
    if (!current()) current() = makeOffscreenWindowServer();
    return *current();
}

}  // namespace tarnwell::cocoa
