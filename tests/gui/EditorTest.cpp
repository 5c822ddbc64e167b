#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "framework/effectbase/AudioEffectX.h"
#include "gui/AEffGUIEditor.h"
#include "gui/StandardControls.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

namespace {

class GestureEffect : public AudioEffectX {
public:
    GestureEffect() : AudioEffectX(nullptr, 1, 4) {}
    void processReplacing(float**, float**, int) override {}
    bool beginEdit(int index) override { return gestures.push_back(index), true; }
    bool endEdit(int index) override { return gestures.push_back(-index), true; }
    std::vector<int> gestures;
};

// Built as toolkit editors are: made in open; in close the controls leave the frame without
// release and are released one by one.
class SmallEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit SmallEditor(AudioEffect* fx) : AEffGUIEditor(fx) { rect = ERect{0, 0, 100, 200}; }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        strip = new CBitmap(kStripId);
        frame = new CFrame(CRect(0, 0, 200, 100), parent, this);
        knob = new CAnimKnob(CRect(10, 10, 30, 20), this, 3, strip);
        frame->addView(knob);
        return true;
    }
    void close() override {
        frame->removeAll(false);
        delete frame;
        frame = nullptr;
        knob->forget();
        strip->forget();
        AEffGUIEditor::close();
    }
    void valueChanged(CControl* control) override { values.push_back(control->getValue()); }

    CBitmap* strip = nullptr;
    CAnimKnob* knob = nullptr;
    std::vector<float> values;
};

}  // namespace

// An editor whose construction fails after it attached itself leaves the effect without an
// editor, not with a pointer the effect's destructor would delete a second time.
TEST(Editor, AFailedConstructionLeavesTheEffectWithoutAnEditor) {
    struct FailingEditor : SmallEditor {
        explicit FailingEditor(AudioEffect* fx) : SmallEditor(fx) { throw std::runtime_error("no memory"); }
    };
    GestureEffect fx;
    EXPECT_THROW(new FailingEditor(&fx), std::runtime_error);
    EXPECT_EQ(fx.getEditor(), nullptr);
    EXPECT_EQ(fx.getAeffect()->flags & effectHasEditor, 0);
    auto* working = new SmallEditor(&fx);  // the effect deletes this one, once
    EXPECT_EQ(fx.getEditor(), working);
}

// The render thread asks isOpen before marking the pads, while the editor opens and closes.
TEST(Editor, OpenCloseGesturesAndTheWheelWithIsOpenAskedFromAnotherThread) {
    BitmapFolder bitmaps;
    GestureEffect fx;
    auto* editor = new SmallEditor(&fx);  // the effect deletes it
    EXPECT_EQ(fx.getEditor(), editor);
    tarnwell::gui::OffscreenView parent;
    std::atomic<bool> stop{false};
    std::atomic<int> seenOpen{0};  // the answer used, so that the asking is not optimised away
    std::thread audio([&] {
        while (!stop) seenOpen += editor->isOpen();
    });
    for (int cycle = 0; cycle < 20; ++cycle) {
        EXPECT_TRUE(editor->open(static_cast<tarnwell::gui::ParentView*>(&parent)));
        EXPECT_EQ(parent.frame(), editor->getFrame());
        editor->idle();
        EXPECT_GT(tarnwell::gui::bitmapMemory(), 0);
        editor->close();
        EXPECT_EQ(parent.frame(), nullptr);
        EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
    }
    stop = true;
    audio.join();
    EXPECT_FALSE(editor->isOpen());

    // Gestures reach the effect once each; the host's wheel goes to the view under the pointer.
    editor->open(static_cast<tarnwell::gui::ParentView*>(&parent));
    for (int i = 0; i < 2; ++i) editor->knob->beginEdit();
    for (int i = 0; i < 2; ++i) editor->knob->endEdit();
    EXPECT_EQ(fx.gestures, (std::vector<int>{3, -3}));
    parent.moveTo(CPoint(15, 15));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_EQ(editor->values, (std::vector<float>{0.1f}));
    parent.moveTo(CPoint(150, 15));
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->close();
}
