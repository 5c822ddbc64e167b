// The editor in a real window under Xvfb: a right click through the server opens the real
// pop-up, and a click on one of its entries runs that entry's command; a knob reset by a double
// click or a Control-click stays reset however the hand drifts before the release; a menu taller
// than the screen scrolls.

#include "effect/OptionStrings.h"
#include "gui/x11/X11Window.h"
#include "tests/editor/EditorHarness.h"
// X11's macros after everything else.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>

#include "tests/gui/WindowDeadline.h"
#include "tests/gui/XvfbServer.h"

using namespace tarnwell::test;
using tarnwell::gui::RunLoop;

namespace {

// The editor open in a real window on its main page, and a second client injecting events.
struct EditorWindow : ::testing::Test {
    WindowDeadline watchdog{60, "the private X server and the editor window"};  // first: it covers SetUp
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(XvfbServer::start(error)) << error;
        d = XOpenDisplay(nullptr);  // the injecting side, as a separate client
        ASSERT_NE(d, nullptr);
        window = std::make_unique<tarnwell::gui::Window>(layout::WINDOW_W, layout::WINDOW_H, "Tarnwell");
        h = std::make_unique<EditorHarness>();
        ASSERT_TRUE(h->editor->open(static_cast<tarnwell::gui::ParentView*>(window.get())));
        window->show();
        click(CPoint(5, 5), 1);  // the settings page's full-size button: the main page
        settle();
        ASSERT_FALSE(h->editor->isBacksideShown());
    }
    void TearDown() override {
        tarnwell::gui::observePopups(nullptr);
        h.reset();  // closed before the window goes
        window.reset();
        if (d) XCloseDisplay(d);
    }
    void settle() {
        XSync(d, False);
        for (int i = 0; i < 5; ++i) RunLoop::runOnce(20);
    }
    void moveTo(CPoint at) { XTestFakeMotionEvent(d, DefaultScreen(d), at.x, at.y, CurrentTime); }
    void button(unsigned b, bool down) { XTestFakeButtonEvent(d, b, down, CurrentTime); }
    void click(CPoint at, unsigned b) {
        moveTo(at);
        button(b, true);
        button(b, false);
        XFlush(d);
    }
    // Runs the loop until the window has seen the pointer at `where` with no button held: the
    // last of the events sent.
    void waitForRelease(CPoint where, const char* of) {
        XSync(d, False);
        CFrame* frame = h->editor->getFrame();
        const auto arrived = [&] {
            CPoint at;
            return frame->getCurrentLocation(at) && at == where &&
                   (frame->getCurrentMouseButtons() & (kLButton | kRButton)) == 0;
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!arrived() && std::chrono::steady_clock::now() < until) RunLoop::runOnce(20);
        ASSERT_TRUE(arrived()) << "the window did not see the release of " << of << " within 5 s";
    }
    TKnob* knobFor(int tag) const {
        for (TKnob* knob : h->ctl().knobs)
            if (knob && knob->getTag() == tag) return knob;
        return nullptr;
    }

    Display* d = nullptr;
    std::unique_ptr<tarnwell::gui::Window> window;
    std::unique_ptr<EditorHarness> h;
};

}  // namespace

TEST_F(EditorWindow, ARealRightClickOpensTheParameterMenuAndARealChoiceRunsIt) {
    TKnob* knob = h->ctl().knobs[2];
    const int tag = static_cast<int>(knob->getTag());
    h->fx->setParameter(tag, 0.2f);
    std::string first;
    tarnwell::gui::observePopups([&](COptionMenu& menu, const std::vector<CRect>& rows) {
        char title[256];
        menu.getEntry(0, title);
        first = title;
        for (int i = 0; i < menu.getNbEntries(); ++i)
            if (menu.getEntry(i, title) && std::string(title) == "Set to Maximum")
                click(CPoint((rows[i].left + rows[i].right) / 2, (rows[i].top + rows[i].bottom) / 2), 1);
    });
    watchdog.waitingFor("the parameter menu to open at a real right click and close on a real click");
    click(EditorHarness::centre(knob), 3);
    settle();
    tarnwell::gui::observePopups(nullptr);
    EXPECT_EQ(first, "Delay Feedback");
    EXPECT_FLOAT_EQ(h->fx->getParameter(tag), 1.0f);
}

// A reset starts no drag: the pointer drifting a pixel before the release leaves the default.
TEST_F(EditorWindow, AKnobResetStaysWhenThePointerDriftsBeforeTheRelease) {
    constexpr int THRESHOLD = 120;  // Follower Threshold, default 0.75
    TKnob* knob = knobFor(THRESHOLD);
    ASSERT_NE(knob, nullptr);
    const CPoint at = EditorHarness::centre(knob);
    h->fx->setParameter(THRESHOLD, 0.2f);
    h->idle();     // the knob shows it
    click(at, 1);  // the first press of the double click starts a drag that moves nothing
    button(1, true);
    moveTo(CPoint(at.x, at.y + 1));
    button(1, false);
    waitForRelease(CPoint(at.x, at.y + 1), "a double click");
    EXPECT_FLOAT_EQ(h->fx->getParameter(THRESHOLD), 0.75f);

    // A drag 40 pixels up (pressed more than 4 pixels away, so no double click), then a
    // Control-click drifting a pixel.
    const CPoint beside(at.x + 6, at.y), dragged(at.x + 6, at.y - 40), drifted(at.x, at.y - 1);
    moveTo(beside);
    button(1, true);
    moveTo(dragged);
    button(1, false);
    waitForRelease(dragged, "a drag");
    EXPECT_NEAR(h->fx->getParameter(THRESHOLD), 0.95f, 1e-5f);
    const KeyCode control = XKeysymToKeycode(d, XK_Control_L);
    XTestFakeKeyEvent(d, control, True, CurrentTime);
    moveTo(at);
    button(1, true);
    moveTo(drifted);
    button(1, false);
    XTestFakeKeyEvent(d, control, False, CurrentTime);
    waitForRelease(drifted, "a Control-click");
    EXPECT_FLOAT_EQ(h->fx->getParameter(THRESHOLD), 0.75f);
}

// The 59 sources of "Set Modulation To" are 1,188 pixels at 100 %: on the 768-pixel screen the
// sub-menu keeps to the screen and every source is reached by the wheel, by resting on its
// bottom arrow and by the keys.
TEST(EditorTallMenu, ASubMenuTallerThanTheScreenStaysOnItAndScrollsToEveryEntry) {
    WindowDeadline watchdog(90, "a sub-menu taller than the screen to scroll to its entries");
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
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                int calls = 0;
                bool finished = false;
                const int timer = RunLoop::addTimer(0.05, [&] {
                    const auto levels = tarnwell::gui::popupLevelsShown();
                    if (finished || levels.size() != 2) return;
                    if (std::chrono::steady_clock::now() > until) {
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
