// The editor in a real window under Xvfb: a right click through the server opens the real
// pop-up, and a click on one of its entries runs that entry's command.

#include "gui/x11/X11Window.h"
#include "tests/editor/EditorHarness.h"
// X11's macros after everything else.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "tests/gui/WindowDeadline.h"
#include "tests/gui/XvfbServer.h"

using namespace tarnwell::test;
using tarnwell::gui::RunLoop;

TEST(EditorWindow, ARealRightClickOpensTheParameterMenuAndARealChoiceRunsIt) {
    WindowDeadline deadline(60, "the private X server and the editor window");
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
        deadline.waitingFor("the parameter menu to open at a real right click and close on a real click");
        click(EditorHarness::centre(knob), 3);
        settle();
        tarnwell::gui::observePopups(nullptr);
        EXPECT_EQ(first, "Delay Feedback");
        EXPECT_FLOAT_EQ(h.fx->getParameter(tag), 1.0f);
    }
    XCloseDisplay(d);
}
