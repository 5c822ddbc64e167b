#pragma once

// The root of a window: a container at (0, 0) whose children are given in window pixels.
//
// A frame is built in a parent, the `void* parent` an editor's open receives: a
// tarnwell::gui::ParentView (an X11 window, or an offscreen picture for tests and snapshots),
// converted to ParentView* before it became void*. The parent must outlive the frame. A frame
// built with no parent draws into an offscreen picture of its own.
//
// Events arrive from the parent's back end: presses, moves and releases as described in
// CView.h; wheel steps and keys reach the frame first (onWheel, onKeyDown), which a subclass
// may override; the frame's own onWheel passes the step to the view under the pointer.
//
// Drawing: the frame keeps a picture of the whole window. doIdleStuff draws what was marked
// (setDirty, invalid, views added or removed) into it, clipped to the marked areas, and shows
// those areas; with nothing marked it returns at once.

#include <memory>
#include <vector>

#include "gui/CViewContainer.h"

class AEffGUIEditor;
struct VstKeyCode;
typedef struct _cairo_surface cairo_surface_t;

namespace tarnwell::gui {
class FramePlatform;
class ParentView;
}  // namespace tarnwell::gui

class CFrame : public CViewContainer {
public:
    CFrame(const CRect& size, void* parent, AEffGUIEditor* editor);
    ~CFrame() override;
    CFrame(const CFrame&) = delete;

    AEffGUIEditor* getEditor() const { return editor; }

    // The pointer in frame coordinates (where it was last seen, also outside the frame);
    // false when it is not over the frame.
    bool getCurrentLocation(CPoint& where) const;
    // The buttons held now.
    long getCurrentMouseButtons() const;
    // The direct child under the pointer, or null (also when the pointer is elsewhere).
    CView* getCurrentView() const override;

    // Wheel and key events come here first. onKeyDown: > 0 when used, 0 when not.
    bool onWheel(const CPoint& where, const float& distance, const long& buttons) override;
    virtual long onKeyDown(VstKeyCode& keyCode);

    // An edit gesture of a control, passed on to the editor (and from there to the host).
    void beginEdit(long tag);
    void endEdit(long tag);

    // The view holding the keyboard focus, or null (an option menu holds it while its pop-up
    // is open).
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }

    // Draws what is marked and shows it; nothing to do costs one atomic read.
    void doIdleStuff();

    // The size the frame's contents are drawn at (1 for their 100 % size, 1.5, 2): pop-up
    // menus opened in it scale their text and rows alike.
    void setContentScale(float scale) { contentScale = scale; }
    float getContentScale() const { return contentScale; }

    bool isTypeOf(const char* className) const override;
    void setViewSize(const CRect& rect) override;  // frames keep their size

    // ---- for back ends and tests
    tarnwell::gui::FramePlatform* platform() const { return platformSide.get(); }
    // The picture of the whole frame (ARGB, premultiplied), as last drawn.
    cairo_surface_t* picture() const { return backBuffer; }
    // Redraws everything now (an exposed window with no picture yet, a snapshot).
    void redrawAll();
    // An area to draw again at the next redraw, in frame coordinates.
    void invalidRect(const CRect& rect);
    // Events from the back end, in frame coordinates.
    void platformMouseDown(CPoint where, long buttons);
    void platformMouseMoved(CPoint where, long buttons);
    void platformMouseUp(CPoint where, long buttons);
    void platformWheel(CPoint where, float distance, long buttons);
    long platformKeyDown(VstKeyCode& keyCode);
    // A modal loop (pop-up menu, dialog) ran; the press being handled ends with it.
    void modalLoopRan() { ++modalLoops; }
    // Views going away: a frame keeps no pointer to a dead view.
    void forgetView(const CView* view);

private:
    void drawAreas(const std::vector<CRect>& areas);

    AEffGUIEditor* editor;
    tarnwell::gui::ParentView* parentView = nullptr;
    std::unique_ptr<tarnwell::gui::FramePlatform> platformSide;
    cairo_surface_t* backBuffer = nullptr;
    CView* focusView = nullptr;
    uint32_t drawnRequests = 0;
    std::vector<CRect> pendingAreas;
    std::vector<CRect> areas;  // reused by every redraw
    unsigned modalLoops = 0;
    float contentScale = 1.0f;
};
