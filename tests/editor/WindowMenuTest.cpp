// The editor in a real window under Xvfb: a right click through the server opens the real
// pop-up, and a click on one of its entries runs that entry's command; a menu taller than the
// screen scrolls.

#include "effect/OptionStrings.h"
#include "gui/x11/X11Window.h"
#include "tests/editor/EditorHarness.h"
// X11's macros after everything else.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>

#include "tests/gui/XvfbServer.h"

using namespace tarnwell::test;
using tarnwell::gui::RunLoop;

TEST(EditorWindow, ARealRightClickOpensTheParameterMenuAndARealChoiceRunsIt) {
    std::string error;
    ASSERT_TRUE(XvfbServer::start(error)) << error;
    Display* d = XOpenDisplay(nullptr);  // the injecting side, as a separate client
    ASSERT_NE(d, nullptr);
    tarnwell::gui::Window window(layout::WINDOW_W, layout::WINDOW_H, "Tarnwell");
    {
        EditorHarness h;  // closed before the window goes
        ASSERT_TRUE(h.editor->open(static_cast<tarnwell::gui::ParentView*>(&window)));
        window.show();
        const auto settle = [&] {
            XSync(d, False);
            for (int i = 0; i < 5; ++i) RunLoop::runOnce(20);
        };
        const auto click = [&](CPoint at, unsigned button) {
            XTestFakeMotionEvent(d, DefaultScreen(d), at.x, at.y, CurrentTime);
            XTestFakeButtonEvent(d, button, True, CurrentTime);
            XTestFakeButtonEvent(d, button, False, CurrentTime);
            XFlush(d);
        };
        click(CPoint(5, 5), 1);  // the settings page's full-size button: the main page
        settle();
        ASSERT_FALSE(h.editor->isBacksideShown());

        TKnob* knob = h.ctl().knobs[2];
        const int tag = static_cast<int>(knob->getTag());
        h.fx->setParameter(tag, 0.2f);
        std::string first;
        tarnwell::gui::observePopups([&](COptionMenu& menu, const std::vector<CRect>& rows) {
            char title[256];
            menu.getEntry(0, title);
            first = title;
            for (int i = 0; i < menu.getNbEntries(); ++i)
                if (menu.getEntry(i, title) && std::string(title) == "Set to Maximum")
                    click(CPoint((rows[i].left + rows[i].right) / 2, (rows[i].top + rows[i].bottom) / 2), 1);
        });
        click(EditorHarness::centre(knob), 3);
        settle();
        tarnwell::gui::observePopups(nullptr);
        EXPECT_EQ(first, "Delay Feedback");
        EXPECT_FLOAT_EQ(h.fx->getParameter(tag), 1.0f);
    }
    XCloseDisplay(d);
}

// The 59 sources of "Set Modulation To" are 1,188 pixels at 100 %: on the 768-pixel screen the
// sub-menu keeps to the screen and every source is reached by the wheel, by resting on its
// bottom arrow and by the keys.
TEST(EditorWindow, ASubMenuTallerThanTheScreenStaysOnItAndScrollsToEveryEntry) {
    std::string error;
    ASSERT_TRUE(XvfbServer::start(error)) << error;
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    const int screenH = DisplayHeight(d, DefaultScreen(d));
    ASSERT_LT(screenH, 1188);
    tarnwell::gui::Window window(layout::WINDOW_W, layout::WINDOW_H, "Tarnwell");
    {
        EditorHarness h;
        ASSERT_TRUE(h.editor->open(static_cast<tarnwell::gui::ParentView*>(&window)));
        window.show();
        const auto settle = [&] {
            XSync(d, False);
            for (int i = 0; i < 5; ++i) RunLoop::runOnce(20);
        };
        const auto moveTo = [&](CPoint at) {
            XTestFakeMotionEvent(d, DefaultScreen(d), at.x, at.y, CurrentTime);
            XFlush(d);
        };
        const auto press = [&](unsigned button) {
            XTestFakeButtonEvent(d, button, True, CurrentTime);
            XTestFakeButtonEvent(d, button, False, CurrentTime);
            XFlush(d);
        };
        const auto tap = [&](KeySym k) {
            XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
            XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), False, CurrentTime);
            XFlush(d);
        };
        const auto middle = [](const CRect& r) {
            return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        };
        moveTo(CPoint(5, 5));
        press(1);  // the settings page's full-size button: the main page
        settle();
        TKnob* knob = h.ctl().knobs[2];  // Delay Feedback: it has a modulation destination
        const int last = MOD_SOURCE_STR_COUNT - 1;

        // Opens the knob's menu, rests on "Set Modulation To", and once the sub-menu is up runs
        // step on it every 50 ms until step says it is done (or the deadline dismisses it all).
        const auto useSubMenu =
            [&](const std::function<bool(const tarnwell::gui::PopupLevelShown&, int)>& step) {
                tarnwell::gui::observePopups([&](COptionMenu& menu, const std::vector<CRect>& rows) {
                    char title[256];
                    for (int i = 0; i < menu.getNbEntries(); ++i)
                        if (menu.getEntry(i, title) && std::string(title) == "Set Modulation To")
                            moveTo(middle(rows[i]));
                });
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                int calls = 0;
                bool finished = false;
                const int timer = RunLoop::addTimer(0.05, [&] {
                    const auto levels = tarnwell::gui::popupLevelsShown();
                    if (finished || levels.size() != 2) return;
                    if (std::chrono::steady_clock::now() > deadline) {
                        ADD_FAILURE() << "the sub-menu's entry was not reached in time";
                        finished = true;
                        tap(XK_Escape), tap(XK_Escape);
                        return;
                    }
                    finished = step(levels[1], calls++);
                });
                moveTo(EditorHarness::centre(knob));
                press(3);
                settle();
                RunLoop::removeTimer(timer);
                tarnwell::gui::observePopups(nullptr);
            };
        const auto onScreen = [&](const tarnwell::gui::PopupLevelShown& sub) {
            EXPECT_GE(sub.area.top, 0);
            EXPECT_LE(sub.area.bottom, screenH);
            EXPECT_TRUE(sub.entries[last].isEmpty()) << "the last source shows before scrolling";
        };

        // The wheel: notches down until the last source shows, then a click on it.
        useSubMenu([&](const tarnwell::gui::PopupLevelShown& sub, int call) {
            if (call == 0) {
                onScreen(sub);
                moveTo(middle(sub.entries[5]));
            }
            if (sub.entries[last].isEmpty()) return press(5), false;
            moveTo(middle(sub.entries[last]));
            press(1);
            return true;
        });
        EXPECT_EQ(h.fx->getModSource(0), last);

        // Resting on the bottom arrow scrolls to the end; then a click on the source before last.
        useSubMenu([&](const tarnwell::gui::PopupLevelShown& sub, int call) {
            if (call == 0) {
                onScreen(sub);
                moveTo(CPoint(middle(sub.area).x, sub.area.bottom - 5));
            }
            if (sub.entries[last].isEmpty()) return false;
            moveTo(middle(sub.entries[last - 1]));
            press(1);
            return true;
        });
        EXPECT_EQ(h.fx->getModSource(1), last - 1);

        // The keys: up from no entry goes round to the last one and scrolls it into view.
        useSubMenu([&](const tarnwell::gui::PopupLevelShown& sub, int call) {
            if (call == 0) {
                onScreen(sub);
                tap(XK_Up);
                return false;
            }
            if (sub.entries[last].isEmpty()) return false;
            tap(XK_Return);
            return true;
        });
        EXPECT_EQ(h.fx->getModSource(2), last);
    }
    XCloseDisplay(d);
}
