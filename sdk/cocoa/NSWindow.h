#pragma once

// Windows, panels and their controllers. A window holds its content view (retained) and a
// surface from the window server that shows it. It is made hidden; makeKeyAndOrderFront shows
// it. close hides it, tells the delegate and, when the window is released when closed (the
// default), gives up the window's own count. The close button asks the delegate first.

#include <memory>
#include <string>

#include "sdk/cocoa/NSEvent.h"
#include "sdk/cocoa/NSObject.h"

class NSView;
class NSWindow;
typedef struct _cairo_surface cairo_surface_t;
namespace tarnwell::cocoa {
class WindowSurface;
}

enum : unsigned {
    NSBorderlessWindowMask = 0,
    NSTitledWindowMask = 1u << 0,
    NSClosableWindowMask = 1u << 1,
    NSMiniaturizableWindowMask = 1u << 2,
    NSResizableWindowMask = 1u << 3,
    NSUtilityWindowMask = 1u << 4,  // panels: a small title bar
};

enum NSBackingStoreType {
    NSBackingStoreRetained = 0,
    NSBackingStoreNonretained = 1,
    NSBackingStoreBuffered = 2
};

class TARNWELL_COCOA_API NSWindowDelegate {
public:
    virtual ~NSWindowDelegate() = default;
    virtual bool windowShouldClose(NSWindow*) { return true; }
    virtual void windowWillClose(NSWindow*) {}
};

class TARNWELL_COCOA_API NSWindow : public NSObject {
public:
    // contentRect: where and how large the content area is; its size is the surface's.
    NSWindow(NSRect contentRect, unsigned styleMask, NSBackingStoreType backing, bool defer);

    NSView* contentView() const { return content; }
    // Retains view, releases the one before; the view moves into this window.
    void setContentView(NSView* view);
    NSRect contentRect() const { return rect; }
    unsigned styleMask() const { return style; }

    void setTitle(const std::string& text);
    const std::string& title() const { return titleText; }
    void center();
    void setHidesOnDeactivate(bool hides) { hidesWhenInactive = hides; }
    bool hidesOnDeactivate() const { return hidesWhenInactive; }
    void setReleasedWhenClosed(bool released) { releasedWhenClosed = released; }
    bool isReleasedWhenClosed() const { return releasedWhenClosed; }
    void setDelegate(NSWindowDelegate* d) { delegate = d; }  // not retained

    void makeKeyAndOrderFront();
    void orderOut();
    bool isVisible() const { return visible; }
    void close();
    // The close button: closes unless the delegate says no.
    void performClose();

    // An event for the frame shown in the content view, as the window would receive it.
    void sendEvent(const NSEvent& event);

    // What the window shows now, as a new image surface (caller destroys); null when nothing
    // is shown in it.
    cairo_surface_t* copyPicture();

    tarnwell::cocoa::WindowSurface* surface() const { return platform.get(); }

protected:
    ~NSWindow() override;

private:
    NSRect rect;
    unsigned style;
    std::unique_ptr<tarnwell::cocoa::WindowSurface> platform;
    NSView* content = nullptr;
    NSWindowDelegate* delegate = nullptr;
    std::string titleText;
    bool hidesWhenInactive = false;
    bool releasedWhenClosed = true;
    bool visible = false;
    bool closed = false;
};

class TARNWELL_COCOA_API NSPanel : public NSWindow {
public:
    using NSWindow::NSWindow;

protected:
    ~NSPanel() override = default;
};

// Owns (retains) a window for the code that shows it.
class TARNWELL_COCOA_API NSWindowController : public NSObject {
public:
    NSWindowController() = default;
    // Takes the window (retained); returns this.
    NSWindowController* initWithWindow(NSWindow* window);
    NSWindow* window() const { return owned; }

protected:
    ~NSWindowController() override;

private:
    NSWindow* owned = nullptr;
};
