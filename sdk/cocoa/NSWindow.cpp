#include "sdk/cocoa/NSWindow.h"

#include "sdk/cocoa/NSView.h"
#include "sdk/cocoa/WindowServer.h"

NSWindow::NSWindow(NSRect contentRect, unsigned styleMask, NSBackingStoreType, bool)
    : rect(contentRect),
      style(styleMask),
      platform(tarnwell::cocoa::windowServer().makeSurface(
          static_cast<int>(contentRect.size.width), static_cast<int>(contentRect.size.height), styleMask)) {
    platform->closeRequested = [this] { performClose(); };
}

NSWindow::~NSWindow() {
    // The content view goes while the surface its frames show in still exists.
    setContentView(nullptr);
}

void NSWindow::setContentView(NSView* view) {
    if (view == content) return;
    if (view) view->retain();
    NSView* before = content;
    content = view;
    if (before) {
        before->moveToWindow(nullptr);
        before->release();
    }
    if (view) {
        if (NSWindow* previous = view->window(); previous && previous != this)
            previous->setContentView(nullptr);
        view->moveToWindow(this);
    }
}

void NSWindow::setTitle(const std::string& text) {
    titleText = text;
    platform->setTitle(text);
}

void NSWindow::center() {
    platform->center();
}

void NSWindow::makeKeyAndOrderFront() {
    closed = false;
    visible = true;
    platform->show();
}

void NSWindow::orderOut() {
    visible = false;
    platform->hide();
}

void NSWindow::close() {
    if (closed) return;
    closed = true;
    if (delegate) delegate->windowWillClose(this);
    orderOut();
    if (releasedWhenClosed) release();
}

void NSWindow::performClose() {
    if (delegate && !delegate->windowShouldClose(this)) return;
    close();
}

void NSWindow::sendEvent(const NSEvent& event) {
    platform->deliver(event);
}

cairo_surface_t* NSWindow::copyPicture() {
    return platform->capture();
}

NSWindowController* NSWindowController::initWithWindow(NSWindow* window) {
    if (window) window->retain();
    if (owned) owned->release();
    owned = window;
    return this;
}

NSWindowController::~NSWindowController() {
    if (owned) owned->release();
}
