// The editor in a real window under Xvfb: a right click through the server opens the real
// pop-up, and a click on one of its entries runs that entry's command; a knob reset by a double
// click or a Control-click stays reset however the hand drifts before the release.

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

namespace {

// The editor open in a real window on its main page, and a second client injecting events.
struct EditorWindow : ::testing::Test {
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
            return frame->getCurrentLocation(at) && at == where && (frame->getCurrentMouseButtons() & (kLButton | kRButton)) == 0;
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!arrived() && std::chrono::steady_clock::now() < deadline) RunLoop::runOnce(20);
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
    h->idle();  // the knob shows it
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
