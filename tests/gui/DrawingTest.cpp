#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/StandardControls.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

namespace {

// Draws with a function at the frame's level (no container offset).
class Painter : public CView {
public:
    explicit Painter(std::function<void(CDrawContext*)> painter, CRect area = CRect(0, 0, 200, 100))
        : CView(area), paint(std::move(painter)) {}
    void draw(CDrawContext* context) override { paint(context); }
    std::function<void(CDrawContext*)> paint;
};

constexpr CColor kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255};
constexpr CColor kBlack = kBlackCColor;

struct Pixel {
    int x, y;
    CColor expected;
};
void expectPixels(OffscreenFrame& f, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels) EXPECT_EQ(f.at(p.x, p.y), p.expected) << p.x << ", " << p.y;
}

// Leftmost and rightmost columns holding red ink in r.
std::pair<int, int> inkColumns(OffscreenFrame& f, const CRect& r) {
    int first = -1, last = -1;
    for (int x = r.left; x < r.right; ++x)
        for (int y = r.top; y < r.bottom; ++y)
            if (f.at(x, y).red > 128) {
                if (first < 0) first = x;
                last = x;
            }
    return {first, last};
}

}  // namespace

TEST(BitmapDrawing, FilmStripFramesStacksAndAlpha) {
    BitmapFolder bitmaps;
    OffscreenFrame f;
    auto* strip = new CBitmap(kStripId);
    auto* stack = new CBitmap(kTwoStateId);
    auto* knob = new CAnimKnob(CRect(10, 10, 30, 20), nullptr, 1, strip);
    EXPECT_EQ(knob->getNumSubPixmaps(), 137);
    auto* onOff = new COnOffButton(CRect(40, 10, 52, 18), nullptr, 2, stack);
    auto* kick = new CKickButton(CRect(60, 10, 72, 18), nullptr, 3, stack);
    for (CView* v : std::initializer_list<CView*>{knob, onOff, kick}) f.frame->addView(v);

    knob->setValue(0.5f);  // frame 68
    EXPECT_EQ(f.at(15, 15).red, 68);
    knob->setValue(1.0f);
    EXPECT_EQ(f.at(29, 19).red, 136);
    knob->setMin(-1.0f);  // the range decides the frame, not the raw value
    knob->setValue(0.0f);
    knob->setDirty();
    EXPECT_EQ(f.at(15, 15).red, 68);

    EXPECT_EQ(f.at(45, 12), kRed);  // off: upper half
    onOff->setValue(1.0f);
    kick->setValue(1.0f);
    expectPixels(f, {{45, 12, kGreen}, {65, 17, kGreen}});

    // With half alpha over black from an offset, and whole.
    f.frame->addView(new Painter([&](CDrawContext* c) {
        stack->draw(c, CRect(100, 50, 112, 58), CPoint(0, 8), 128);
        stack->draw(c, CRect(120, 50, 132, 66));
    }));
    EXPECT_EQ(f.at(105, 52).green, 128);
    expectPixels(f, {{125, 52, kRed}, {125, 62, kGreen}, {125, 67, kBlack}});

    EXPECT_GE(tarnwell::gui::bitmapMemory(), 20 * 1370 * 4 + 12 * 16 * 4);
    strip->forget();  // the knob keeps it
    stack->forget();
    f.frame->removeAll();
    EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
}

TEST(ShapeDrawing, LinesRectanglesAndEllipsesCoverWholePixels) {
    OffscreenFrame f;
    f.frame->addView(new Painter([](CDrawContext* c) {
        c->setFrameColor(kRed);
        c->moveTo(CPoint(10, 5));
        c->lineTo(CPoint(20, 5));
        c->moveTo(CPoint(5, 10));
        c->lineTo(CPoint(5, 20));
        c->drawRect(CRect(30, 10, 40, 20));
        c->setFillColor(kBlue);
        c->fillRect(CRect(50, 10, 60, 20));
        c->drawEllipse(CRect(70, 10, 91, 31));
    }));
    // Lines include both ends; outlines run along the inner edge and are not filled.
    expectPixels(f, {{10, 5, kRed},
                     {20, 5, kRed},
                     {9, 5, kBlack},
                     {21, 5, kBlack},
                     {10, 4, kBlack},
                     {5, 20, kRed},
                     {5, 21, kBlack},
                     {30, 10, kRed},
                     {39, 19, kRed},
                     {40, 15, kBlack},
                     {35, 15, kBlack},
                     {50, 10, kBlue},
                     {59, 19, kBlue},
                     {60, 19, kBlack},
                     {80, 20, kBlack},
                     {71, 11, kBlack}});
    for (CPoint rim : {CPoint(70, 20), CPoint(90, 20), CPoint(80, 10)})
        EXPECT_GT(f.at(rim.x, rim.y).red, 100);
}

TEST(TextDrawing, AlignsClipsScalesAndDrawsTheSameBytesOnEveryRun) {
    OffscreenFrame f(300, 100);
    const CRect left(10, 10, 110, 30), centre(10, 40, 110, 60), right(10, 70, 110, 90);
    double w10 = 0, w20 = 0;
    const auto paint = [&](CDrawContext* c) {
        c->setFontColor(kRed);
        c->setFont(kNormalFontBig);
        c->drawString("Filter", left, kLeftText);
        c->drawString("Filter", centre, kCenterText);
        c->drawString("Filter", right, kRightText);
        c->drawString("cut off at the edge of its box", CRect(150, 10, 180, 30), kLeftText);
        // Hint metrics off: widths grow in proportion to the size, so layouts scale.
        const CFontDesc small("Verdana", 10), doubled("Verdana", 20);
        c->setFont(&small);
        w10 = c->getStringWidth("Delay Feedback 100%");
        c->setFont(&doubled);
        w20 = c->getStringWidth("Delay Feedback 100%");
    };
    f.frame->addView(new Painter(paint));
    const auto [l0, l1] = inkColumns(f, left);
    const auto [c0, c1] = inkColumns(f, centre);
    const auto [r0, r1] = inkColumns(f, right);
    ASSERT_GE(l0, 0);
    EXPECT_LE(l0 - left.left, 2);
    EXPECT_LE(right.right - 1 - r1, 2);
    EXPECT_NEAR((c0 + c1) / 2.0, (centre.left + centre.right) / 2.0, 1.5);
    EXPECT_EQ(l1 - l0, r1 - r0);  // the same glyphs, moved
    EXPECT_EQ(inkColumns(f, CRect(180, 10, 300, 30)).first, -1);
    EXPECT_GT(w10, 50.0);
    EXPECT_NEAR(w20, 2 * w10, 0.01);

    // A second frame draws with warm font caches the bytes the first drew with cold ones.
    OffscreenFrame again(300, 100);
    again.frame->addView(new Painter(paint));
    again.at(0, 0);
    cairo_surface_t *a = f.frame->picture(), *b = again.frame->picture();
    EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                          size_t(cairo_image_surface_get_stride(a)) * 100),
              0);
}

TEST(ContainerDrawing, ChildrenDrawTranslatedInOrderAndClipped) {
    BitmapFolder bitmaps;
    OffscreenFrame f;
    auto* background = new CBitmap(kBackgroundId);
    f.frame->setBackground(background);
    background->forget();
    auto* panel = new CViewContainer(CRect(50, 20, 100, 60));
    f.frame->addView(panel);
    for (auto [r, colour] : {std::pair{CRect(0, 0, 10, 10), kRed},
                             {CRect(5, 5, 15, 15), kGreen},
                             {CRect(40, 30, 80, 80), kRed}})  // the last runs past the panel
        panel->addView(new Painter(
            [r, colour](CDrawContext* c) {
                c->setFillColor(colour);
                c->fillRect(r);
            },
            r));
    expectPixels(f, {{50, 20, kRed},
                     {49, 19, kBlue},
                     {56, 26, kGreen},
                     {99, 59, kRed},
                     {100, 60, kBlue},
                     {120, 60, kBlue}});
}
