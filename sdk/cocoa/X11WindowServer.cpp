// Real windows on the X display, through the toolkit's X11 back end.

#include <X11/Xlib.h>
#include <cairo.h>

#include <cmath>
#include <cstring>

#include "gui/CFrame.h"
#include "gui/x11/X11Dialogs.h"
#include "gui/x11/X11Internal.h"
#include "gui/x11/X11Window.h"
#include "sdk/cocoa/NSRunLoop.h"
#include "sdk/cocoa/WindowServer.h"

namespace tarnwell::cocoa {

namespace {

class X11Surface : public WindowSurface {
public:
    X11Surface(int width, int height) : window(width, height, "") {
        window.onCloseRequest([this] {
            if (closeRequested) closeRequested();
        });
    }
    std::unique_ptr<gui::FramePlatform> attachFrame(CFrame& frame) override {
        return window.attachFrame(frame);
    }
    void detachFrame(CFrame& frame) override { window.detachFrame(frame); }
    void setTitle(const std::string& title) override { window.setTitle(title); }
    void show() override { window.show(); }
    void hide() override { window.hide(); }

    void center() override {
        Display* display = gui::x11::display();
        XWindowAttributes size{};
        if (display == nullptr || !XGetWindowAttributes(display, window.id(), &size)) return;
        const int screen = DefaultScreen(display);
        XMoveWindow(display, window.id(), std::max(0, (DisplayWidth(display, screen) - size.width) / 2),
                    std::max(0, (DisplayHeight(display, screen) - size.height) / 2));
    }

    void deliver(const NSEvent& e) override {
        CFrame* frame = window.frame();
        if (frame == nullptr) return;
        const CPoint where(static_cast<CCoord>(e.locationInWindow.x),
                           static_cast<CCoord>(e.locationInWindow.y));
        const long buttons = buttonsOf(e);
        switch (e.type) {
            case NSLeftMouseDown:
            case NSRightMouseDown:
                frame->platformMouseDown(where, buttons);
                break;
            case NSLeftMouseDragged:
            case NSMouseMoved:
                frame->platformMouseMoved(where, buttons);
                break;
            case NSLeftMouseUp:
            case NSRightMouseUp:
                frame->platformMouseUp(where, buttons);
                break;
            case NSScrollWheel:
                frame->platformWheel(where, static_cast<float>(e.deltaY), buttons);
                break;
        }
    }

    cairo_surface_t* capture() override {
        if (CFrame* frame = window.frame()) frame->doIdleStuff();
        int width = 0, height = 0;
        const std::vector<uint32_t> pixels = window.readBack(width, height);
        if (pixels.empty()) return nullptr;
        cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        unsigned char* data = cairo_image_surface_get_data(picture);
        const int stride = cairo_image_surface_get_stride(picture);
        for (int y = 0; y < height; ++y)
            std::memcpy(data + y * stride, pixels.data() + static_cast<std::size_t>(y) * width, width * 4u);
        cairo_surface_mark_dirty(picture);
        return picture;
    }

private:
    gui::Window window;
};

class X11Server : public WindowServer {
public:
    // A pop-up menu or dialog open when the run is stopped (a signal) closes, so the run can end.
    X11Server() {
        gui::RunLoop::setInterruption([] { return NSRunLoop::mainRunLoop().isStopping(); });
    }
    ~X11Server() override {
        gui::RunLoop::setInterruption(nullptr);
        gui::onDisplayLost(nullptr);
    }
    std::unique_ptr<WindowSurface> makeSurface(int width, int height, unsigned) override {
        return std::make_unique<X11Surface>(width, height);
    }
    void dispatchEvents() override { gui::RunLoop::runOnce(0); }
    bool hasEvents() const override { return true; }
    void waitForEvents(double seconds) override {
        gui::RunLoop::runOnce(seconds <= 0.0 ? 0 : static_cast<int>(std::ceil(seconds * 1000.0)));
    }
    void onConnectionLost(std::function<void()> handler) override { gui::onDisplayLost(std::move(handler)); }
    bool workArea(int& width, int& height) override { return gui::screenWorkArea(width, height); }
    DialogBackend* dialogs() override {
        static gui::WindowDialogs windows;  // outlives every server: components keep the pointer
        return &windows;
    }
};

}  // namespace

std::unique_ptr<WindowServer> makeX11WindowServer() {
    if (!gui::displayAvailable()) return nullptr;
    return std::make_unique<X11Server>();
}

}  // namespace tarnwell::cocoa
