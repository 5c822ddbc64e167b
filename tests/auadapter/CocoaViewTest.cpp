#include <cairo.h>

#include "gui/Offscreen.h"
#include "tests/auadapter/ViewFixture.h"

using namespace tarnwell::test;

namespace {

CColor pictureAt(NSWindow* window, CPoint where) {
    cairo_surface_t* picture = window->copyPicture();
    const CColor colour = tarnwell::gui::pixelOf(picture, where.x, where.y);
    cairo_surface_destroy(picture);
    return colour;
}

}  // namespace

TEST_F(ViewTest, HostShowsTheEditorInItsPanelIdlesItEvery20msAndClosesItWhenTheViewGoes) {
    NSView* view = hostView();
    ASSERT_NE(view, nullptr);

    // The panel has the editor's size (65537 says 120 x 80), stays hidden until the host shows it,
    // and the editor is open in the view.
    double size[2] = {};
    UInt32 bytes = sizeof size;
    ASSERT_EQ(
        AudioUnitGetProperty(unit, AUPLUGIN::kEditorSizeProperty, kAudioUnitScope_Global, 0, size, &bytes),
        0);
    NSWindow* window = view->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->contentRect().size.width, size[0]);
    EXPECT_EQ(window->contentRect().size.height, size[1]);
    EXPECT_EQ(size[0], 120.0);
    EXPECT_EQ(window->title(), "Tarnwell");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->isReleasedWhenClosed());
    EXPECT_EQ(editor->opens, 1);
    EXPECT_EQ(editor->parents.back(), view->handle());
    window->makeKeyAndOrderFront();

    // 50 idles a second of run loop, none before the first 20 ms are up.
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    loop.runUntilDate(loop.now() + 0.019);
    EXPECT_EQ(editor->idles.load(), 0);
    loop.runUntilDate(loop.now() + 1.0);
    EXPECT_EQ(editor->idles.load(), 50);

    // A click in the window reaches the control, the effect and, at the next idle, the picture.
    EXPECT_EQ(pictureAt(window, kSwitchCentre), kOffColor);
    click(window, kSwitchCentre);
    EXPECT_EQ(effect->getParameter(1), 1.0f);
    loop.runUntilDate(loop.now() + 0.02);
    EXPECT_EQ(pictureAt(window, kSwitchCentre), kOnColor);

    // The user closes the panel and the host lets go of the view: the editor closes and the
    // timer stops.
    window->performClose();
    EXPECT_EQ(editor->closes, 0);  // the host still holds the view
    view->release();
    EXPECT_EQ(editor->closes, 1);
    EXPECT_FALSE(editor->isOpen());
    const int idles = editor->idles.load();
    loop.runUntilDate(loop.now() + 0.1);
    EXPECT_EQ(editor->idles.load(), idles);
    EXPECT_EQ(loop.timerCount(), 0u);
}

TEST_F(ViewTest, EditorViewPropertyOpensOnlyInAViewAndClosesWhenTheViewGoes) {
    NSView* a = new NSView(NSMakeRect(0, 0, 120, 80));
    NSView* b = new NSView(NSMakeRect(0, 0, 120, 80));
    void* views[2] = {a->handle(), b->handle()};
    void* none = nullptr;
    auto setView = [&](const void* data, UInt32 size) {
        return AudioUnitSetProperty(unit, AUPLUGIN::kEditorViewProperty, kAudioUnitScope_Global, 0, data,
                                    size);
    };
    // Each way of handing over no view (nothing, too few bytes, a null view) closes the editor
    // once and opens none.
    const std::pair<const void*, UInt32> noView[] = {{nullptr, 0}, {&views[0], 4}, {&none, 8}};
    for (const auto& [data, size] : noView) {
        const int opens = editor->opens;
        ASSERT_EQ(setView(&views[0], 8), 0);
        EXPECT_TRUE(editor->isOpen());
        for (int again = 0; again < 2; ++again) {
            EXPECT_EQ(setView(data, size), 0);
            EXPECT_FALSE(editor->isOpen());
            EXPECT_EQ(editor->opens, opens + 1);
            EXPECT_EQ(editor->closes, editor->opens);
        }
    }

    // A second view takes the editor over: it closes in the first before it opens in the second.
    ASSERT_EQ(setView(&views[0], 8), 0);
    ASSERT_EQ(setView(&views[1], 8), 0);
    EXPECT_EQ(editor->parents.back(), views[1]);
    EXPECT_EQ(editor->closes, editor->opens - 1);

    ASSERT_EQ(setView(&none, 8), 0);
    a->release();
    b->release();
}
