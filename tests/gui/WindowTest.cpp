#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "gui/CDrawContext.h"
#include "gui/COptionMenu.h"
#include "gui/x11/X11Dialogs.h"
#include "gui/x11/X11Window.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/WindowDeadline.h"
#include "tests/gui/XvfbServer.h"
#include "tests/support/Contrast.h"

using namespace tarnwell::test;
using tarnwell::gui::RunLoop;

namespace {

struct WindowTest : ::testing::Test {
    void SetUp() override {
        watchdog = std::make_unique<WindowDeadline>(60, "the private X server and the test window");
        std::string error;
        ASSERT_TRUE(XvfbServer::start(error)) << error;
        ASSERT_TRUE(tarnwell::gui::displayAvailable());
        d = XOpenDisplay(nullptr);  // the injecting side, as a separate client
        ASSERT_NE(d, nullptr);
        window = std::make_unique<tarnwell::gui::Window>(200, 100, "Tarnwell test");
        frame =
            new CFrame(CRect(0, 0, 200, 100), static_cast<tarnwell::gui::ParentView*>(window.get()), nullptr);
        window->show();
        watchdog->waitingFor("the test's events to arrive");
    }
    void TearDown() override {
        if (frame) frame->forget();
        window.reset();
        tarnwell::gui::observePopups(nullptr);
        if (d) XCloseDisplay(d);
    }
    // Real pointer and key events through the server.
    void moveTo(int x, int y) { XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime), XFlush(d); }
    void button(unsigned b, bool down) { XTestFakeButtonEvent(d, b, down, CurrentTime), XFlush(d); }
    void key(KeySym k, bool down) {
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), down, CurrentTime), XFlush(d);
    }
    void tap(KeySym symbol) { key(symbol, true), key(symbol, false); }
    void clickAt(int x, int y) { moveTo(x, y), button(1, true), button(1, false); }
    // Clicks the menu at (50, 20); once its pop-up is up, answer acts on it.
    void openMenu(std::function<void(const std::vector<CRect>& rows)> answer) {
        tarnwell::gui::observePopups(
            [answer](COptionMenu&, const std::vector<CRect>& rows) { answer(rows); });
        watchdog->waitingFor(
            "the pop-up menu to open at a click and close on the pointer or keys sent to it");
        clickAt(50, 20);
        settle();
    }
    // Lets the events just sent arrive: the server answers the sync after it queued them.
    void settle() {
        XSync(d, False);
        for (int i = 0; i < 5; ++i) RunLoop::runOnce(20);
    }

    std::unique_ptr<WindowDeadline> watchdog;  // the last to go
    Display* d = nullptr;
    std::unique_ptr<tarnwell::gui::Window> window;
    CFrame* frame = nullptr;
};

// Bitmaps, a knob frame, text and shapes: the same views wherever they are shown.
void addScene(CFrame* frame) {
    auto* background = new CBitmap(kBackgroundId);
    frame->setBackground(background);
    background->forget();
    auto* strip = new CBitmap(kStripId);
    auto* knob = new CAnimKnob(CRect(10, 10, 30, 20), nullptr, 1, strip);
    strip->forget();
    knob->setValue(0.7f);
    frame->addView(knob);
    auto* display = new CParamDisplay(CRect(40, 10, 140, 40));
    display->setValue(0.25f);
    frame->addView(display);
    auto* panel = new CViewContainer(CRect(100, 50, 190, 95));
    auto* cursor = new CBitmap(kCursorId);
    panel->setBackground(cursor);
    cursor->forget();
    frame->addView(panel);
}

}  // namespace

TEST_F(WindowTest, ShowsTheSamePictureAsOffscreen) {
    BitmapFolder bitmaps;
    addScene(frame);
    frame->doIdleStuff();
    settle();
    int w = 0, h = 0;
    const std::vector<uint32_t> shown = window->readBack(w, h);
    ASSERT_EQ(shown.size(), 200u * 100u);

    OffscreenFrame offscreen;
    addScene(offscreen.frame);
    offscreen.frame->doIdleStuff();
    cairo_surface_t* picture = offscreen.frame->picture();
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const CColor c = tarnwell::gui::pixelOf(picture, x, y);
            const uint32_t expected = 0xff000000u | uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue;
            differing += shown[static_cast<size_t>(y * w + x)] != expected;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(shown[15 * 200 + 15] & 0xffffff, 0x5f0000u);  // knob frame 95 of the strip
}

// Window managers name and group the program's windows by their class.
TEST_F(WindowTest, CarriesTheProgramsClass) {
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(d, window->id(), &hint), 0);
    EXPECT_STREQ(hint.res_name, "tarnwell");
    EXPECT_STREQ(hint.res_class, "Tarnwell");
    XFree(hint.res_name);
    XFree(hint.res_class);
}

// Another client may destroy the window: it asks to be closed, and what still draws on it or
// takes it down fails on the server without ending the program.
TEST_F(WindowTest, ADestroyedWindowAsksToBeClosedAndItsLeftoverRequestsDoNoHarm) {
    bool closeAsked = false;
    window->onCloseRequest([&] { closeAsked = true; });
    XDestroyWindow(d, window->id());
    XSync(d, False);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!closeAsked && std::chrono::steady_clock::now() < until) RunLoop::runOnce(20);
    ASSERT_TRUE(closeAsked) << "no close request within 5 s of the window's destruction";
    BitmapFolder bitmaps;
    addScene(frame);
    frame->doIdleStuff();  // drawn on a window that is gone
    int w = 0, h = 0;
    EXPECT_TRUE(window->readBack(w, h).empty());
    settle();  // the server's errors arrive; the default handler would end the program here
}

TEST_F(WindowTest, TakesRealPointerEvents) {
    auto* view = new ProbeView(CRect(20, 20, 80, 80));
    frame->addView(view);
    settle();
    moveTo(30, 40);
    button(1, true);
    moveTo(35, 45);
    key(XK_Shift_L, true);
    moveTo(150, 90);  // dragged beyond the view
    key(XK_Shift_L, false);
    button(1, false);
    settle();
    ASSERT_GE(view->events.size(), 4u);
    EXPECT_EQ(view->events.front().kind, 'd');
    EXPECT_EQ(view->events.front().where, CPoint(30, 40));
    const auto& moved = view->events[view->events.size() - 2];
    EXPECT_EQ(moved.where, CPoint(150, 90));
    EXPECT_EQ(moved.buttons, kLButton | kShift);
    EXPECT_EQ(view->events.back().kind, 'u');

    // Two quick presses make a double click; a third is a plain press again.
    view->events.clear();
    for (int i = 0; i < 3; ++i) clickAt(50, 50);
    button(4, true), button(4, false);  // the wheel, one step away from the user
    settle();
    ASSERT_EQ(view->events.size(), 7u);
    EXPECT_EQ(view->events[0].buttons, kLButton);
    EXPECT_EQ(view->events[2].buttons, kLButton | kDoubleClick);
    EXPECT_EQ(view->events[4].buttons, kLButton);
    EXPECT_EQ(view->events[6].kind, 'w');
    CPoint where;
    EXPECT_TRUE(frame->getCurrentLocation(where));
    EXPECT_EQ(where, CPoint(50, 50));

    // The wheel carries the modifiers held with it: Shift and the wheel make a fine step.
    key(XK_Shift_L, true);
    button(5, true), button(5, false);
    key(XK_Shift_L, false);
    settle();
    ASSERT_EQ(view->events.size(), 8u);
    EXPECT_EQ(view->events[7].kind, 'w');
    EXPECT_EQ(view->events[7].buttons, kShift);
}

TEST_F(WindowTest, PopUpMenusAreChosenWithThePointerAndTheKeys) {
    LoggingListener listener;
    auto* menu = new COptionMenu(CRect(10, 10, 110, 30), &listener, 5);
    auto* sub = new COptionMenu(CRect(), &listener, 5);
    for (const char* entry : {"Deep one", "Deep two"}) sub->addEntry(entry);
    for (const char* entry : {"-GHeading", "First", "-", "Second"}) menu->addEntry(entry);
    menu->addEntry(sub, "More");
    sub->forget();
    frame->addView(menu);
    settle();

    // Pointer: open with a click, then click the entry "Second".
    std::vector<CRect> areas;
    openMenu([&](const std::vector<CRect>& rows) {
        areas = rows;
        clickAt((rows[3].left + rows[3].right) / 2, (rows[3].top + rows[3].bottom) / 2);
    });
    ASSERT_EQ(areas.size(), 5u);
    EXPECT_EQ(areas[0].left, 10);  // opened below the control
    EXPECT_EQ(areas[0].top, 30 + 4);
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0].control, menu);
    EXPECT_EQ(listener.changes[0].value, 3.0f);

    // Keys: down to "More", into it, down once more, Enter. Timers keep running meanwhile.
    int ticks = 0;
    const int timer = RunLoop::addTimer(0.001, [&] { ++ticks; });
    openMenu([&](const std::vector<CRect>&) {
        for (KeySym k : {XK_Down, XK_Down, XK_Down, XK_Right, XK_Down, XK_Return}) tap(k);
    });
    RunLoop::removeTimer(timer);
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_EQ(listener.changes[1].control, sub);
    EXPECT_EQ(listener.changes[1].value, 1.0f);
    EXPECT_GT(ticks, 0);

    // A click beside the pop-up dismisses it; so does Escape. Nothing is chosen either way.
    openMenu([&](const std::vector<CRect>&) { clickAt(600, 600); });
    openMenu([&](const std::vector<CRect>&) { tap(XK_Escape); });
    EXPECT_EQ(listener.changes.size(), 2u);
    long index = 0;
    EXPECT_EQ(menu->getLastItemMenu(index), nullptr);

    // An entry's first and last pixel rows, next to the rows above and below it, choose it as its
    // centre does ("Second" lies between a separator and a sub-menu). Escape closes a pop-up the
    // click missed.
    for (const auto& [row, last] : {std::pair{3, false}, {3, true}, {1, false}, {1, true}}) {
        const std::size_t before = listener.changes.size();
        openMenu([&, row = row, last = last](const std::vector<CRect>& rows) {
            clickAt(rows[row].left + 5, last ? rows[row + 1].top - 1 : rows[row - 1].bottom);
            tap(XK_Escape), tap(XK_Escape);
        });
        ASSERT_EQ(listener.changes.size(), before + 1)
            << "row " << row << (last ? ", last pixel" : ", first pixel");
        EXPECT_EQ(listener.changes.back().value, static_cast<float>(row));
    }
}

TEST_F(WindowTest, PopUpMenusScaleWithTheFrameTheyOpenIn) {
    auto* menu = new COptionMenu(CRect(10, 10, 110, 30), nullptr, 5);
    for (const char* entry : {"First", "-", "A longer second entry", "-GA heading"}) menu->addEntry(entry);
    frame->addView(menu);
    settle();
    // 20-pixel rows and 8-pixel separators at 100 %; 12-pixel text sets the width.
    std::vector<CRect> normal, large;
    openMenu([&](const std::vector<CRect>& rows) { normal = rows, tap(XK_Escape); });
    frame->setContentScale(2.0f);
    double heading = 0.0;
    openMenu([&](const std::vector<CRect>& rows) {
        large = rows;
        // A heading is greyed, but read: 4.5:1 on the menu's ground.
        const CRect& r = rows[3];
        XSync(d, False);
        XImage* image = XGetImage(d, DefaultRootWindow(d), r.left, r.top, static_cast<unsigned>(r.getWidth()),
                                  static_cast<unsigned>(r.getHeight()), AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        const auto pixel = [image](int x, int y) {
            const unsigned long p = XGetPixel(image, x, y);
            return CColor{uint8_t(p >> 16 & 0xff), uint8_t(p >> 8 & 0xff), uint8_t(p & 0xff), 255};
        };
        const CColor ground = pixel(r.getWidth() - 3, 2);
        heading = contrastRatio(inkOf(pixel, 0, 0, r.getWidth(), r.getHeight(), ground), ground);
        XDestroyImage(image);
        tap(XK_Escape);
    });
    ASSERT_EQ(normal.size(), 4u);
    ASSERT_EQ(large.size(), 4u);
    EXPECT_EQ(normal[0].getHeight(), 20);
    EXPECT_EQ(normal[1].getHeight(), 8);
    EXPECT_EQ(large[0].getHeight(), 40);
    EXPECT_EQ(large[1].getHeight(), 16);
    EXPECT_NEAR(large[2].getWidth(), 2 * normal[2].getWidth(), 4);
    EXPECT_GE(heading, 4.5);
    EXPECT_LT(heading, 10.0);  // and still greyed
}

// The room a window has: the window manager's work area for the current desktop, else the screen.
TEST_F(WindowTest, TheWorkAreaIsTheWindowManagersForTheCurrentDesktop) {
    const ::Window root = DefaultRootWindow(d);
    const Atom workArea = XInternAtom(d, "_NET_WORKAREA", False);
    const Atom desktop = XInternAtom(d, "_NET_CURRENT_DESKTOP", False);
    int width = 0, height = 0;
    ASSERT_TRUE(tarnwell::gui::screenWorkArea(width, height));
    EXPECT_EQ(width, DisplayWidth(d, DefaultScreen(d)));
    EXPECT_EQ(height, DisplayHeight(d, DefaultScreen(d)));
    const long areas[8] = {0, 0, 1000, 700, 0, 27, 1200, 741};
    const long current = 1;
    XChangeProperty(d, root, workArea, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(areas), 8);
    XChangeProperty(d, root, desktop, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&current), 1);
    XSync(d, False);
    EXPECT_TRUE(tarnwell::gui::screenWorkArea(width, height));
    XDeleteProperty(d, root, workArea);
    XDeleteProperty(d, root, desktop);
    XSync(d, False);
    EXPECT_EQ(width, 1200);
    EXPECT_EQ(height, 741);
}

TEST_F(WindowTest, DialogsAreModalAndAnswerByKeysAndButtons) {
    tarnwell::gui::installWindowDialogs();
    auto* behind = new ProbeView(CRect(0, 0, 200, 100));
    frame->addView(behind);
    settle();

    // An input window: the prompt labels the line, the title names the window; End and
    // Backspace edit the start text; the window behind takes no clicks meanwhile; Enter answers OK.
    std::string title;
    tarnwell::gui::observeDialogs([&](const tarnwell::gui::DialogShown& shown) {
        char* name = nullptr;
        XFetchName(d, shown.window, &name);
        title = name ? name : "";
        XFree(name);
        clickAt(20, 20);
        for (KeySym k : {XK_End, XK_BackSpace, XK_5, XK_Return}) tap(k);
    });
    char text[256] = "12";
    watchdog->waitingFor("the input window to take typed keys and Return");
    inputBox(const_cast<char*>("0 to 100%"), const_cast<char*>("Mix"), text);
    EXPECT_EQ(title, "Mix");
    EXPECT_STREQ(text, "15");
    settle();
    EXPECT_TRUE(behind->events.empty());

    // The start text opens selected: typing replaces it. The keys edit as in any text field.
    const auto typed = [&](const char* start, std::vector<std::vector<KeySym>> keys) {
        // Past the deadline the window is asked to close, which cancels it.
        bool late = false;
        int lateTimer = 0;
        tarnwell::gui::observeDialogs([&](const tarnwell::gui::DialogShown& shown) {
            lateTimer = RunLoop::addTimer(5.0, [&, shown] {
                late = true;
                XEvent close{};
                close.xclient.type = ClientMessage;
                close.xclient.window = shown.window;
                close.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
                close.xclient.format = 32;
                close.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
                XSendEvent(d, shown.window, False, NoEventMask, &close);
                XFlush(d);
            });
            for (const std::vector<KeySym>& chord : keys) {
                for (KeySym k : chord) key(k, true);
                for (auto k = chord.rbegin(); k != chord.rend(); ++k) key(*k, false);
            }
            tap(XK_Return);
        });
        std::snprintf(text, sizeof text, "%s", start);
        inputBox(const_cast<char*>("prompt"), const_cast<char*>("title"), text);
        RunLoop::removeTimer(lateTimer);
        EXPECT_FALSE(late) << "the input window starting with " << start << " did not take Return within 5 s";
        return std::string(text);
    };
    EXPECT_EQ(typed("0.0", {{XK_minus}, {XK_1}, {XK_2}}), "-12");
    // Right and Left leave the selection at its end and its start.
    EXPECT_EQ(typed("0.0", {{XK_Right}, {XK_BackSpace}, {XK_5}, {XK_Home}, {XK_Delete}}), ".5");
    EXPECT_EQ(typed("0.0", {{XK_Left}, {XK_9}}), "90.0");
    EXPECT_EQ(typed("0.0", {{XK_End}, {XK_9}, {XK_Control_L, XK_a}, {XK_4}}), "4");
    EXPECT_EQ(typed("12.5", {{XK_End}, {XK_Shift_L, XK_Left}, {XK_Shift_L, XK_Left}, {XK_0}}), "120");

    // Escape cancels an input (its text comes back empty); the buttons answer with the pointer.
    tarnwell::gui::observeDialogs([&](const tarnwell::gui::DialogShown&) { tap(XK_Escape); });
    watchdog->waitingFor("Escape to close the input window");
    inputBox(const_cast<char*>("prompt"), const_cast<char*>("title"), text);
    EXPECT_STREQ(text, "");
    const auto clickButton = [&](bool ok) {
        watchdog->waitingFor("the message window to take a click on one of its buttons");
        tarnwell::gui::observeDialogs([&, ok](const tarnwell::gui::DialogShown& shown) {
            const CRect& r = ok ? shown.ok : shown.cancel;
            clickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        });
    };
    clickButton(false);
    EXPECT_EQ(messageBoxCancel(const_cast<char*>("Replace the Block?"), 0), 2);
    clickButton(true);
    EXPECT_EQ(messageBoxCancel(const_cast<char*>("Replace the Block?"), 0), 1);
    tarnwell::gui::observeDialogs(nullptr);
    setWindowDialogBackend(nullptr);
}
