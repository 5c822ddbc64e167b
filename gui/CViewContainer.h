#pragma once

// A view holding other views. It draws its background bitmap (nothing without one), then its
// children in the order they were added, each in the container's own coordinates (a child at
// (0, 0) sits at the container's corner) and clipped to the container.
//
// Mouse presses go to the topmost enabled child under the pointer; moves and the release of
// that press follow it. Wheel steps go to the topmost child under the pointer that takes them.

#include <vector>

#include "gui/CView.h"

class CBitmap;

class CViewContainer : public CView {
public:
    explicit CViewContainer(const CRect& size, CBitmap* background = nullptr);
    ~CViewContainer() override;  // releases the views still inside
    CViewContainer(const CViewContainer&) = delete;

    // The background is remembered; the one before forgotten. Null for none.
    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }

    // Adds on top of the others. The container takes over the caller's reference; a view may
    // sit in one container at a time, so adding it elsewhere first takes it out of its old one.
    void addView(CView* view);
    // Takes the view out; with release the container's reference is forgotten.
    void removeView(CView* view, bool withForget = true);
    void removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    int getNbViews() const { return static_cast<int>(children.size()); }
    CView* getView(int index) const;

    // The direct child under the pointer (topmost first), or null.
    virtual CView* getCurrentView() const;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    bool isTypeOf(const char* className) const override;

    // The frame's redraw: adds the frame-coordinate rectangles of marked views inside this one
    // (a marked container counts whole) and clears their marks. origin: this container's
    // corner in frame coordinates.
    void collectDirty(const CPoint& origin, std::vector<CRect>& areas);
    // The pressed child that receives moves and the release, or null.
    CView* getMouseDownView() const { return mouseDownView; }
    // Drops the press in progress without telling the pressed view.
    void cancelMouseDown();

protected:
    // Draws the children that meet the context's visible area; the context is already moved to
    // the container's corner.
    void drawChildren(CDrawContext* context);
    // The topmost child under point (container coordinates) that is enabled, or any when
    // enabledOnly is false.
    CView* childAt(const CPoint& point, bool enabledOnly) const;
    // The frame-coordinate corner of this container's children.
    CPoint childOrigin() const;

private:
    void setParentAndFrame(CViewContainer* newParent, CFrame* newFrame) override;
    friend class CView;
    bool detach(CView* view);  // false when it is no child; also for a child being deleted

    std::vector<CView*> children;
    CBitmap* background = nullptr;
    CView* mouseDownView = nullptr;
};
