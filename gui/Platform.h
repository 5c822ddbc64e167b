#pragma once

// The seam between frames and the back ends that show them: an X11 window (gui/x11) or an
// offscreen picture (gui/Offscreen.h). A back end is a ParentView; a frame built in it gets a
// FramePlatform through which it shows its picture, learns where the pointer is and opens
// pop-up menus. The back end feeds the frame's events through CFrame::platformMouseDown and
// its siblings.

#include <memory>

#include "gui/GuiTypes.h"

class CFrame;
class COptionMenu;

namespace tarnwell::gui {

// The entry chosen in a pop-up: the menu (the opened one or one of its sub-menus) and the
// entry's index in it. No menu: dismissed.
struct MenuChoice {
    COptionMenu* menu = nullptr;
    int index = -1;
};

class FramePlatform {
public:
    virtual ~FramePlatform() = default;
    // The frame's picture changed inside area (frame coordinates): show it.
    virtual void present(const CRect& area) = 0;
    // Pointer position in frame coordinates and whether it is over the frame.
    virtual bool pointer(CPoint& where) const = 0;
    virtual long buttons() const = 0;
    // Shows menu with its top-left corner at `at` (frame coordinates) and returns once the
    // user chose or dismissed it. Runs a modal loop in which other windows keep painting.
    virtual MenuChoice popUp(COptionMenu& menu, const CPoint& at) = 0;
};

// The room a new window has on the screen it will open on: the screen's work area (the screen
// less panels and docks), in pixels. Whoever shows windows says so before an editor is asked its
// size; 0 x 0 (the start) means no screen (windows drawn offscreen), and no limit.
void setWindowRoom(int width, int height);
// False when there is no limit.
bool windowRoom(int& width, int& height);

class ParentView {
public:
    virtual ~ParentView() = default;
    // Called by the frame's constructor; the frame keeps the result until it goes.
    virtual std::unique_ptr<FramePlatform> attachFrame(CFrame& frame) = 0;
    // Called by the frame's destructor.
    virtual void detachFrame(CFrame& frame) = 0;
};

}  // namespace tarnwell::gui
