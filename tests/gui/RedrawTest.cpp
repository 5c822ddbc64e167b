#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "gui/CDrawContext.h"
#include "gui/StandardControls.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

namespace {
// A probe that fills its rectangle, so that what lies under it shows once it is gone.
class FilledProbe : public ProbeView {
public:
    using ProbeView::ProbeView;
    void draw(CDrawContext* context) override {
        ProbeView::draw(context);
        context->setFillColor(CColor{255, 0, 0, 255});
        context->fillRect(size);
    }
};
}  // namespace

TEST(Redraw, IdleDrawsOnlyWhatIsMarked) {
    BitmapFolder bitmaps;
    OffscreenFrame f;
    auto* background = new CBitmap(kBackgroundId);
    f.frame->setBackground(background);
    background->forget();
    auto* a = new FilledProbe(CRect(0, 0, 20, 20));
    auto* b = new FilledProbe(CRect(40, 0, 60, 20));
    auto* overB = new FilledProbe(CRect(50, 10, 70, 30));
    auto* panel = new CViewContainer(CRect(100, 50, 150, 100));
    auto* inPanel = new FilledProbe(CRect(0, 0, 10, 10));
    auto* knob = new CAnimKnob(CRect(80, 0, 100, 10), nullptr, 1, nullptr);
    for (CView* v : std::initializer_list<CView*>{a, b, overB, panel, knob}) f.frame->addView(v);
    panel->addView(inPanel);
    const auto draws = [&] {
        f.frame->doIdleStuff();
        return std::vector<int>{a->draws, b->draws, overB->draws, inPanel->draws};
    };
    draws();
    EXPECT_EQ(draws(), (std::vector<int>{1, 1, 1, 1}));  // nothing marked, nothing drawn

    b->setDirty();
    EXPECT_EQ(draws(), (std::vector<int>{1, 2, 2, 1}));  // what overlaps b is drawn again over it
    inPanel->invalid();
    EXPECT_EQ(draws(), (std::vector<int>{1, 2, 2, 2}));
    knob->setValue(0.0f);  // unchanged value: no mark
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.5f);
    EXPECT_TRUE(knob->isDirty());
    EXPECT_EQ(draws(), (std::vector<int>{1, 2, 2, 2}));
    EXPECT_FALSE(knob->isDirty());

    // A removed view's area shows what was under it.
    EXPECT_EQ(f.parent.pixel(5, 5).red, 255);
    f.frame->removeView(a, false);
    EXPECT_EQ(f.at(5, 5), (CColor{0, 0, 255, 255}));
    panel->setDirty();  // a marked container draws all of itself
    EXPECT_EQ(draws(), (std::vector<int>{1, 2, 2, 3}));
    a->forget();
}

TEST(Redraw, InvalidFromAnotherThreadBecomesARedrawOnTheMainThread) {
    OffscreenFrame f;
    auto* view = new ProbeView(CRect(0, 0, 20, 20));
    auto* knob = new CAnimKnob(CRect(30, 0, 50, 20), nullptr, 1, nullptr);
    f.frame->addView(view);
    f.frame->addView(knob);
    f.frame->doIdleStuff();
    // Marks from the audio side from before the first idle until the 200th.
    std::atomic<int> idles{0};
    std::atomic<bool> started{false};
    std::thread audio([&] {
        for (int i = 0; idles < 200; ++i) {
            view->invalid();
            knob->setValue(static_cast<float>(i % 2));
            started = true;
        }
    });
    while (!started) std::this_thread::yield();
    while (idles < 200) {
        f.frame->doIdleStuff();
        ++idles;
    }
    audio.join();
    f.frame->doIdleStuff();  // whatever the last marks were, they are drawn now
    EXPECT_FALSE(view->isDirty());
    EXPECT_FALSE(knob->isDirty());
    const int settled = view->draws;
    f.frame->doIdleStuff();
    EXPECT_EQ(view->draws, settled);
    EXPECT_GT(settled, 1);
}

TEST(Ownership, ViewsAndBitmapsAreReleasedOnce) {
    BitmapFolder bitmaps;
    {
        OffscreenFrame f;
        auto* panel = new CViewContainer(CRect(0, 0, 100, 100));
        auto* strip = new CBitmap(kStripId);
        auto* knob = new CAnimKnob(CRect(0, 0, 20, 10), nullptr, 1, strip);
        strip->forget();
        EXPECT_EQ(strip->getNbReference(), 1);
        panel->addView(knob);
        f.frame->addView(panel);
        // Moving a view between containers keeps its count.
        f.frame->addView(knob);
        EXPECT_EQ(knob->getParentView(), f.frame);
        EXPECT_EQ(panel->getNbViews(), 0);
        EXPECT_EQ(knob->getNbReference(), 1);
        // Taken out without release, the view lives on outside the frame.
        knob->remember();
        f.frame->removeAll(false);
        EXPECT_EQ(knob->getFrame(), nullptr);
        EXPECT_EQ(panel->getFrame(), nullptr);
        EXPECT_EQ(knob->getNbReference(), 2);
        knob->forget();
        // A view deleted while in a container leaves it.
        panel->addView(knob);
        knob->forget();
        EXPECT_EQ(panel->getNbViews(), 0);
        EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
        f.frame->addView(panel);  // the frame releases it at the end
    }
    EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
}
