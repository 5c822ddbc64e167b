#pragma once

// The base of everything shown in a frame.
//
// Ownership: a view starts with one reference, held by whoever created it. Adding it to a
// container does not add one; the container drops its reference when the view is removed with
// release, or when the container itself goes. A view deleted while still in a container takes
// itself out of it, so the container never holds a dead view.
//
// Redraws: setDirty(true) and invalid() only mark the view; the frame draws every marked view
// at its next idle (AEffGUIEditor::idle) or at once with doIdleStuff. Both may be called from
// any thread, the audio thread included: the mark is an atomic flag the main thread collects.
// Everything else on a view belongs to the main thread.
//
// Mouse: a press goes to the topmost (last added) enabled view under the pointer; while the
// button is held, moves and the release go to that view, with the buttons as they are at that
// moment (a modifier may change mid-drag). `where` is given in the coordinates the view's own
// rectangle is given in (its container's). A handler may change `where`; the change stays with
// it. A press whose handler ran a modal loop (a pop-up menu or a dialog) ends there: the modal
// loop took its release.
//
// A subclass may override draw, the mouse and wheel handlers, setViewSize and isTypeOf (answering
// its own class name and then asking its base).

#include <atomic>

#include "gui/GuiTypes.h"

class CDrawContext;
class CFrame;
class CViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    // A copy is not in any container and starts marked for drawing.
    CView(const CView& other);
    ~CView() override;

    virtual void draw(CDrawContext* context);

    virtual CMouseEventResult onMouseDown(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const long& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const long& buttons);
    // distance: +1 per wheel step away from the user. True when the view used it.
    virtual bool onWheel(const CPoint& where, const float& distance, const long& buttons);

    // Run-time type test by class name: "CView" here.
    virtual bool isTypeOf(const char* className) const;

    // Any thread.
    void setDirty(bool state = true);
    bool isDirty() const { return dirty.load(std::memory_order_relaxed); }
    void invalid() { setDirty(true); }

    const CRect& getViewSize() const { return size; }
    CRect& getViewSize(CRect& out) const { return out = size; }
    // Moves or resizes the view; both the old and the new area are redrawn.
    virtual void setViewSize(const CRect& rect);

    void setMouseEnabled(bool state) { mouseEnabled = state; }
    bool getMouseEnabled() const { return mouseEnabled; }

    // The frame the view is shown in, or null while it is not inside one.
    CFrame* getFrame() const { return ownerFrame; }
    CViewContainer* getParentView() const { return container; }

    // Between the coordinates of the view's rectangle (its container's) and the frame's.
    CPoint& localToFrame(CPoint& point) const;
    CPoint& frameToLocal(CPoint& point) const;

    // Clears the mark and says whether it was set (the frame's redraw).
    bool takeDirty() { return dirty.exchange(false, std::memory_order_acq_rel); }

protected:
    CRect size;

private:
    friend class CViewContainer;
    friend class CFrame;
    // Set by the container the view is added to; a container passes the frame on to its children.
    virtual void setParentAndFrame(CViewContainer* newParent, CFrame* newFrame);

    std::atomic<bool> dirty{true};
    bool mouseEnabled = true;
    bool holdsViews = false;  // a CViewContainer
    CViewContainer* container = nullptr;
    CFrame* ownerFrame = nullptr;
};

namespace tarnwell::gui {
// Bumped by every mark from any thread: a frame whose last redraw saw the current count has
// nothing to draw.
uint32_t redrawRequests();
void requestRedraw();
}  // namespace tarnwell::gui
