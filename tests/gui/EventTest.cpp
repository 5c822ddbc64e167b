#include <gtest/gtest.h>

#include "gui/COptionMenu.h"
#include "gui/StandardControls.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

TEST(MouseRouting, PressAndWheelGoToTheTopmostEnabledViewInItsContainersCoordinates) {
    OffscreenFrame f;
    auto* below = new ProbeView(CRect(10, 10, 60, 60));
    auto* panel = new CViewContainer(CRect(20, 20, 100, 80));
    auto* inPanel = new ProbeView(CRect(5, 5, 25, 25));
    auto* disabledOnTop = new ProbeView(CRect(0, 0, 200, 100));
    disabledOnTop->setMouseEnabled(false);
    f.frame->addView(below);
    f.frame->addView(panel);
    panel->addView(inPanel);
    f.frame->addView(disabledOnTop);

    f.parent.click(CPoint(30, 30));  // inside the panel's child, over `below`
    f.parent.wheel(CPoint(30, 30), -2.0f, kShift);
    ASSERT_EQ(inPanel->events.size(), 3u);
    EXPECT_EQ(inPanel->events[0].where, CPoint(10, 10));  // panel coordinates
    EXPECT_EQ(inPanel->events[0].buttons, kLButton);
    EXPECT_EQ(inPanel->events[1].kind, 'u');
    EXPECT_EQ(inPanel->events[2].buttons, kShift);
    EXPECT_TRUE(below->events.empty());
    f.parent.click(CPoint(15, 15));  // only `below` under the pointer
    ASSERT_EQ(below->events.size(), 2u);
    EXPECT_EQ(below->events[0].where, CPoint(15, 15));

    // The direct child under the pointer, at each level; nothing outside the frame.
    f.parent.moveTo(CPoint(30, 30));
    EXPECT_EQ(f.frame->getCurrentView(), disabledOnTop);
    f.frame->removeView(disabledOnTop);
    EXPECT_EQ(f.frame->getCurrentView(), panel);
    EXPECT_EQ(panel->getCurrentView(), inPanel);
    f.parent.moveTo(CPoint(300, 30));
    EXPECT_EQ(f.frame->getCurrentView(), nullptr);
    CPoint where;
    EXPECT_FALSE(f.frame->getCurrentLocation(where));
    EXPECT_EQ(where, CPoint(300, 30));
}

TEST(MouseRouting, DragStaysWithThePressedViewWithTheCurrentButtons) {
    OffscreenFrame f;
    auto* pressed = new ProbeView(CRect(10, 10, 30, 30));
    auto* other = new ProbeView(CRect(100, 10, 150, 60));
    f.frame->addView(pressed);
    f.frame->addView(other);

    f.parent.mouseDown(CPoint(20, 20), kLButton);
    f.parent.mouseMoved(CPoint(120, 40), kLButton);           // over another view
    f.parent.mouseMoved(CPoint(125, 45), kLButton | kShift);  // shift pressed mid-drag
    f.parent.mouseMoved(CPoint(-5, 300), kLButton);           // outside the frame
    f.parent.mouseUp(CPoint(-5, 300), 0);
    f.parent.mouseMoved(CPoint(20, 20), 0);  // no button: no view follows the pointer
    ASSERT_EQ(pressed->events.size(), 5u);
    EXPECT_EQ(pressed->events[1].where, CPoint(120, 40));
    EXPECT_EQ(pressed->events[2].buttons, kLButton | kShift);
    EXPECT_EQ(pressed->events[3].where, CPoint(-5, 300));
    EXPECT_EQ(pressed->events[4].kind, 'u');
    EXPECT_TRUE(other->events.empty());

    // A press whose handler ran a modal loop ends with it: no moves, no release.
    pressed->onPress = [&] { f.frame->modalLoopRan(); };
    f.parent.mouseDown(CPoint(20, 20));
    f.parent.mouseMoved(CPoint(22, 22));
    f.parent.mouseUp(CPoint(22, 22));
    EXPECT_EQ(pressed->events.size(), 6u);

    // A view removed mid-drag gets nothing more, and nothing breaks.
    pressed->onPress = nullptr;
    f.parent.mouseDown(CPoint(20, 20));
    f.frame->removeView(pressed, false);
    f.parent.mouseMoved(CPoint(22, 22));
    f.parent.mouseUp(CPoint(22, 22));
    EXPECT_EQ(pressed->events.size(), 7u);
    pressed->forget();
}

namespace {
// Logs the green of a pixel of the frame's picture when told of a change.
struct PixelPeek : CControlListener {
    PixelPeek(OffscreenFrame& frame, CPoint where, std::vector<uint8_t>& log)
        : f(frame), at(where), seen(log) {}
    void valueChanged(CControl*) override { seen.push_back(f.parent.pixel(at.x, at.y).green); }
    OffscreenFrame& f;
    CPoint at;
    std::vector<uint8_t>& seen;
};
}  // namespace

TEST(StandardControls, ButtonsKnobsAndTheWheelTellTheListener) {
    BitmapFolder bitmaps;
    OffscreenFrame f;
    LoggingListener listener;
    std::vector<uint8_t> greenSeen;
    PixelPeek peekBefore(f, CPoint(25, 6), greenSeen), peekAfter(f, CPoint(45, 6), greenSeen);
    auto* stack = new CBitmap(kTwoStateId);
    auto* kick = new CKickButton(CRect(0, 0, 12, 8), &listener, 10, stack);
    auto* before =
        new COnOffButton(CRect(20, 0, 32, 8), &peekBefore, 11, stack, COnOffButton::kPreListenerUpdate);
    auto* after =
        new COnOffButton(CRect(40, 0, 52, 8), &peekAfter, 12, stack, COnOffButton::kPostListenerUpdate);
    auto* knob = new CAnimKnob(CRect(60, 0, 80, 10), &listener, 13, new CBitmap(kStripId));
    knob->getBackground()->forget();
    stack->forget();
    for (CView* v : std::initializer_list<CView*>{kick, before, after, knob}) f.frame->addView(v);
    f.frame->doIdleStuff();

    f.parent.mouseDown(CPoint(5, 5));
    EXPECT_EQ(kick->getValue(), 1.0f);
    f.parent.mouseUp(CPoint(5, 5));
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_EQ(listener.changes[0].value, 1.0f);
    EXPECT_EQ(listener.changes[1].value, 0.0f);

    // Style decides whether the listener sees the old or the new picture.
    f.parent.click(CPoint(25, 5));
    f.parent.click(CPoint(45, 5));
    EXPECT_EQ(greenSeen, (std::vector<uint8_t>{0, 255}));
    f.parent.click(CPoint(25, 5), kRButton);  // only the left button toggles
    EXPECT_EQ(before->getValue(), 1.0f);
    f.parent.click(CPoint(25, 5));
    EXPECT_EQ(before->getValue(), 0.0f);

    // Command-click restores the default; the wheel steps by the increment and stops at max.
    knob->setDefaultValue(0.25f);
    knob->setValue(0.9f);
    EXPECT_FALSE(knob->checkDefaultValue(kLButton | kCommand | kShift));
    EXPECT_TRUE(knob->checkDefaultValue(kLButton | kCommand));
    EXPECT_EQ(knob->getValue(), 0.25f);
    knob->setWheelInc(0.5f);
    listener.changes.clear();
    for (int i = 0; i < 3; ++i) f.parent.wheel(CPoint(70, 5), 1.0f);  // the third finds it at max
    ASSERT_EQ(listener.changes.size(), 2u);
    EXPECT_EQ(knob->getValue(), 1.0f);
}
