#include "sdk/cocoa/NSView.h"

#include <algorithm>

#include "gui/CFrame.h"
#include "sdk/cocoa/NSWindow.h"
#include "sdk/cocoa/WindowServer.h"

// The platform side a frame in this view talks to: the window's, while the view is in one;
// otherwise nothing is shown and the pointer is nowhere.
class NSView::FrameLink : public tarnwell::gui::FramePlatform {
public:
    explicit FrameLink(CFrame& shown) : frame(shown) {}
    void present(const CRect& area) override {
        if (inner) inner->present(area);
    }
    bool pointer(CPoint& where) const override { return inner && inner->pointer(where); }
    long buttons() const override { return inner ? inner->buttons() : 0; }
    tarnwell::gui::MenuChoice popUp(COptionMenu& menu, const CPoint& at) override {
        return inner ? inner->popUp(menu, at) : tarnwell::gui::MenuChoice{};
    }

    CFrame& frame;
    tarnwell::cocoa::WindowSurface* surface = nullptr;
    std::unique_ptr<tarnwell::gui::FramePlatform> inner;
};

NSView::NSView(NSRect frame) : rect(frame) {}

NSView::~NSView() {
    // Frames still here outlive their parent: at least stop showing them.
    for (FrameLink* link : frames)
        if (link->surface) link->surface->detachFrame(link->frame);
}

void NSView::link(FrameLink& frameLink, bool redraw) {
    tarnwell::cocoa::WindowSurface* surface = owner ? owner->surface() : nullptr;
    if (frameLink.surface == surface) return;
    if (frameLink.surface) {
        frameLink.inner.reset();
        frameLink.surface->detachFrame(frameLink.frame);
    }
    frameLink.surface = surface;
    if (surface) {
        frameLink.inner = surface->attachFrame(frameLink.frame);
        if (redraw) frameLink.frame.redrawAll();
    }
}

std::unique_ptr<tarnwell::gui::FramePlatform> NSView::attachFrame(CFrame& frame) {
    auto frameLink = std::make_unique<FrameLink>(frame);
    frames.push_back(frameLink.get());
    link(*frameLink, false);  // the frame is still being built
    return frameLink;
}

void NSView::detachFrame(CFrame& frame) {
    const auto found =
        std::find_if(frames.begin(), frames.end(), [&](FrameLink* l) { return &l->frame == &frame; });
    if (found == frames.end()) return;
    if ((*found)->surface) (*found)->surface->detachFrame(frame);
    (*found)->surface = nullptr;
    (*found)->inner.reset();
    frames.erase(found);
}

void NSView::moveToWindow(NSWindow* window) {
    owner = window;
    for (FrameLink* frameLink : frames) link(*frameLink, true);
}
