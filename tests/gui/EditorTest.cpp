#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/effectbase/AudioEffectX.h"
#include "gui/AEffGUIEditor.h"
#include "gui/StandardControls.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/VtableSlot.h"

using namespace tarnwell::test;

namespace {

class GestureEffect : public AudioEffectX {
public:
    GestureEffect() : AudioEffectX(nullptr, 1, 4) {}
    void processReplacing(float**, float**, int) override {}
    bool beginEdit(int index) override {
        gestures.push_back(index);
        return true;
    }
    bool endEdit(int index) override {
        gestures.push_back(-index);
        return true;
    }
    std::vector<int> gestures;
};

// Opens as an editor built on the toolkit does: bitmaps and controls created in open, the
// controls taken out of the frame without release and released one by one in close.
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

uint32_t nearWrap() { return 0xFFFFFFF0u; }

}  // namespace

TEST(Editor, OpenCloseCyclesGesturesAndTheWheel) {
    BitmapFolder bitmaps;
    GestureEffect fx;
    auto* editor = new SmallEditor(&fx);
    EXPECT_EQ(fx.getEditor(), editor);
    ERect* r = nullptr;
    EXPECT_TRUE(editor->getRect(&r));
    EXPECT_EQ(r->right, 200);

    tarnwell::gui::OffscreenView parent;
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_TRUE(editor->open(static_cast<tarnwell::gui::ParentView*>(&parent)));
        EXPECT_TRUE(editor->isOpen());
        EXPECT_EQ(parent.frame(), editor->getFrame());
        editor->idle();
        EXPECT_GT(tarnwell::gui::bitmapMemory(), 0);
        editor->close();
        EXPECT_FALSE(editor->isOpen());
        EXPECT_EQ(parent.frame(), nullptr);
        EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
    }

    // Edit gestures of a control reach the effect; the host's wheel the view under the pointer.
    editor->open(static_cast<tarnwell::gui::ParentView*>(&parent));
    editor->knob->beginEdit();
    editor->knob->beginEdit();  // already open
    editor->knob->endEdit();
    editor->knob->endEdit();
    EXPECT_EQ(fx.gestures, (std::vector<int>{3, -3}));
    parent.moveTo(CPoint(15, 15));
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_EQ(editor->values, (std::vector<float>{0.1f}));
    parent.moveTo(CPoint(150, 15));
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->close();
    // The effect deletes its editor.
}

TEST(Editor, IsOpenAskedFromAnotherThreadWhileTheEditorOpensAndCloses) {
    BitmapFolder bitmaps;
    GestureEffect fx;
    auto* editor = new SmallEditor(&fx);
    tarnwell::gui::OffscreenView parent;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        while (!stop) (void)editor->isOpen();  // as the render thread asks before marking the pads
    });
    for (int cycle = 0; cycle < 50; ++cycle) {
        editor->open(static_cast<tarnwell::gui::ParentView*>(&parent));
        std::this_thread::yield();
        editor->close();
    }
    stop = true;
    audio.join();
    EXPECT_FALSE(editor->isOpen());
}

TEST(Editor, VirtualSlotsTicksAndKnobMode) {
    using tarnwell::test::vtableSlot;
    EXPECT_EQ(vtableSlot(&AEffGUIEditor::setParameter), 17);
    EXPECT_EQ(vtableSlot(&AEffGUIEditor::draw), 18);
    EXPECT_EQ(vtableSlot(&AEffGUIEditor::doIdleStuff), 20);
    EXPECT_EQ(vtableSlot(&AEffGUIEditor::endEdit), 23);

    AEffGUIEditor editor(nullptr);
    EXPECT_TRUE(editor.setKnobMode(2));
    EXPECT_EQ(editor.getKnobMode(), 2);
    tarnwell::gui::setTickSource(&nearWrap);
    EXPECT_EQ(AEffGUIEditor::getTicks(), 0xFFFFFFF0u);
    tarnwell::gui::setTickSource(nullptr);
    const uint32_t t0 = AEffGUIEditor::getTicks();
    EXPECT_LT(AEffGUIEditor::getTicks() - t0, 1000u);
}
