#pragma once

// The X11 back end: top-level windows that show a frame, the main thread's run loop with its
// timers, and modal loops for pop-up menus and dialogs.
//
// All of it belongs to the main thread. One connection to the display named by $DISPLAY is
// opened on first use and kept for the life of the process.
//
// A frame shows in a Window when it is built with the window as its parent (an editor's open
// receives the window as its `void* parent`). The window keeps a picture of the frame: it
// repaints exposed parts from it without asking the views, and the frame draws changes into it
// in doIdleStuff. Presses, releases, moves (with the buttons held), wheel steps and keys go to
// the frame; two presses of one button within 400 ms and 4 pixels make a double click, timed by
// the server's event stamps.
//
// Modal loops (a pop-up menu's, a dialog's) run events and timers as the run loop does, but
// only their own windows take input; every window keeps repainting.

#include <functional>
#include <string>
#include <vector>

#include "gui/Platform.h"

namespace tarnwell::gui {

// Whether a display can be opened (it is, on the first call that finds one).
bool displayAvailable();
// Called when the connection to the display breaks (the server went or dropped us), from deep
// inside the X library: it should save what must be kept and end the program. When it returns
// (or none is set), the modal loops end and later calls on the windows do nothing.
void onDisplayLost(std::function<void()> handler);

// The default screen's work area, the part windows may take: the window manager's for the
// current desktop (_NET_WORKAREA) when it gives one, else the whole screen. False without a
// display.
bool screenWorkArea(int& width, int& height);

class Window : public ParentView {
public:
    // A window of the given size in pixels, not resizable, not yet shown. Throws
    // std::runtime_error when no display can be opened.
    Window(int width, int height, const std::string& title);
    ~Window() override;  // the frame shown in it must be gone first
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setTitle(const std::string& title);
    // Puts the window in the middle of the screen.
    void center();
    // Maps the window and returns once the server shows it.
    void show();
    void hide();
    bool isShown() const { return shown; }
    // Called when the user asks to close the window (the window stays until deleted), and when
    // another client destroyed it; the pop-up menus and dialogs open then close first.
    void onCloseRequest(std::function<void()> handler) { closeHandler = std::move(handler); }
    // The X window id.
    unsigned long id() const { return xid; }
    CFrame* frame() const { return attached; }

    std::unique_ptr<FramePlatform> attachFrame(CFrame& frame) override;
    void detachFrame(CFrame& frame) override;

    // The window's content as the server has it (for tests); empty when it cannot be read.
    std::vector<uint32_t> readBack(int& width, int& height) const;

    struct Impl;

private:
    Impl* impl;
    unsigned long xid = 0;
    bool shown = false;
    CFrame* attached = nullptr;
    std::function<void()> closeHandler;
};

class RunLoop {
public:
    // A timer that calls action every interval seconds from the run loop (also during modal
    // loops, never inside itself). Returns its id.
    static int addTimer(double interval, std::function<void()> action);
    static void removeTimer(int id);
    // A modal loop: handles events and timers until done() answers true; done is asked after
    // every event and every timer. It also ends when the display is lost, when cancelModal is
    // called, and while the interruption answers true.
    static void runUntil(const std::function<bool()>& done);
    // Ends the modal loops running now (pop-up menus, dialogs), as their window goes.
    static void cancelModal();
    // Modal loops end while interrupted() answers true (a signal asking the program to end).
    static void setInterruption(std::function<bool()> interrupted);
    // Handles what is pending, waiting at most timeoutMs for a first event or timer.
    static void runOnce(int timeoutMs);
};

// Tests see each pop-up once it is up and holds the pointer: the menu and the screen rectangle
// of each of its entries. Null to stop.
using PopupObserver = std::function<void(COptionMenu& menu, const std::vector<CRect>& entryScreenAreas)>;
void observePopups(PopupObserver observer);

// Tests see the levels of the pop-up up now (none when none is), the first first: each level's
// menu, its screen area and where each of its entries shows (an empty area for an entry
// scrolled out of view).
struct PopupLevelShown {
    COptionMenu* menu;
    CRect area;
    std::vector<CRect> entries;
};
std::vector<PopupLevelShown> popupLevelsShown();

}  // namespace tarnwell::gui
