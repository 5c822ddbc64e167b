#pragma once

// A view: a rectangle in a window that a toolkit frame can be built in. handle() is what an
// editor's open takes as its parent; frames built there are shown by the view's window. A view
// that leaves its window takes its frames along (they show nothing until it is in a window
// again), so a frame never draws into a window that is gone.

#include <memory>
#include <vector>

#include "gui/Platform.h"
#include "sdk/cocoa/NSObject.h"

class NSWindow;

class TARNWELL_COCOA_API NSView : public NSObject, public tarnwell::gui::ParentView {
public:
    explicit NSView(NSRect frame = {});

    NSRect frame() const { return rect; }
    void setFrameSize(NSSize size) { rect.size = size; }
    NSWindow* window() const { return owner; }

    // The parent a toolkit frame is built in (the `void*` of an editor's open).
    void* handle() { return static_cast<tarnwell::gui::ParentView*>(this); }

    std::unique_ptr<tarnwell::gui::FramePlatform> attachFrame(CFrame& frame) override;
    void detachFrame(CFrame& frame) override;

    // Called by NSWindow as the view becomes or stops being its content view.
    void moveToWindow(NSWindow* window);

protected:
    ~NSView() override;

private:
    class FrameLink;
    void link(FrameLink& frameLink, bool redraw);

    NSRect rect;
    NSWindow* owner = nullptr;  // the window holds the view, not the other way round
    std::vector<FrameLink*> frames;
};
