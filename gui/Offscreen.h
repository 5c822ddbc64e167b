#pragma once

// The offscreen back end: a parent for one frame that draws into a picture in memory and takes
// its events from the caller. Tests and the snapshot command open editors in it; no display is
// needed.
//
// Events are delivered at once, as a window would deliver them: press, moves and release with
// the buttons held (add kDoubleClick to a press for a double click), wheel steps and keys. The
// pointer stays where the last event put it. Pop-up menus opened meanwhile are answered by the
// responders queued with answerMenu (one per pop-up, in order); with none queued a pop-up is
// dismissed.

#include <deque>
#include <functional>
#include <string>

#include "gui/COptionMenu.h"
#include "gui/Platform.h"

struct VstKeyCode;
typedef struct _cairo_surface cairo_surface_t;

namespace tarnwell::gui {

class OffscreenView : public ParentView {
public:
    using MenuResponder = std::function<MenuChoice(COptionMenu& menu, const CPoint& at)>;

    OffscreenView() = default;
    ~OffscreenView() override;
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    std::unique_ptr<FramePlatform> attachFrame(CFrame& frame) override;
    void detachFrame(CFrame& frame) override;
    CFrame* frame() const { return attached; }

    void mouseDown(CPoint where, long buttons = kLButton);
    void mouseMoved(CPoint where, long buttons = kLButton);
    void mouseUp(CPoint where, long buttons = 0);
    void click(CPoint where, long buttons = kLButton);  // press and release
    void moveTo(CPoint where);                          // no buttons held
    void wheel(CPoint where, float distance, long buttons = 0);
    long keyDown(VstKeyCode key);

    void answerMenu(MenuResponder responder);
    // The first choosable entry titled title, in the opened menu or one level down.
    void chooseMenuEntry(const std::string& title);
    void dismissMenu();
    int menusAnswerPending() const { return static_cast<int>(responders.size()); }

    // Draws what is marked, then writes the frame's picture; false when it cannot be written.
    bool writePng(const std::string& path);
    // A pixel of the picture as last drawn (straight, not premultiplied).
    CColor pixel(CCoord x, CCoord y) const;

private:
    friend class OffscreenPlatform;
    MenuChoice answer(COptionMenu& menu, const CPoint& at);
    // Moves the pointer and sets the buttons held; false without a frame.
    bool track(CPoint where, long buttons);

    CFrame* attached = nullptr;
    CPoint pointer;
    long held = 0;
    bool inside = false;
    std::deque<MenuResponder> responders;
};

// A responder choosing the first choosable entry titled title (also in sub-menus).
MenuChoice findMenuEntry(COptionMenu& menu, const std::string& title);

// A pixel of an ARGB picture (straight colour).
CColor pixelOf(cairo_surface_t* picture, CCoord x, CCoord y);

}  // namespace tarnwell::gui
