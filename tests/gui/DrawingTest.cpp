#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <cstdio>

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

constexpr CColor kRed{255, 0, 0, 255};
constexpr CColor kBlack = kBlackCColor;

// Leftmost and rightmost columns holding ink of the font colour in rows top..bottom-1.
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
    ASSERT_EQ(strip->getWidth(), 20);
    ASSERT_EQ(strip->getHeight(), 1370);

    auto* knob = new CAnimKnob(CRect(10, 10, 30, 20), nullptr, 1, strip);
    EXPECT_EQ(knob->getNumSubPixmaps(), 137);
    auto* onOff = new COnOffButton(CRect(40, 10, 52, 18), nullptr, 2, stack);
    auto* kick = new CKickButton(CRect(60, 10, 72, 18), nullptr, 3, stack);
    f.frame->addView(knob);
    f.frame->addView(onOff);
    f.frame->addView(kick);

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
    EXPECT_EQ(f.at(45, 12), (CColor{0, 255, 0, 255}));
    EXPECT_EQ(f.at(65, 17), (CColor{0, 255, 0, 255}));

    // Drawn with half alpha over black, whole, from an offset.
    f.frame->addView(new Painter([&](CDrawContext* c) {
        stack->draw(c, CRect(100, 50, 112, 58), CPoint(0, 8), 128);
        stack->draw(c, CRect(120, 50, 132, 66));
    }));
    EXPECT_EQ(f.at(105, 52).green, 128);
    EXPECT_EQ(f.at(125, 52), kRed);
    EXPECT_EQ(f.at(125, 62), (CColor{0, 255, 0, 255}));
    EXPECT_EQ(f.at(125, 67), kBlack);  // nothing below the bitmap

    const long long held = tarnwell::gui::bitmapMemory();
    EXPECT_GE(held, 20 * 1370 * 4 + 12 * 16 * 4);
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
        c->lineTo(CPoint(20, 5));  // both ends included
        c->moveTo(CPoint(5, 10));
        c->lineTo(CPoint(5, 20));
        c->drawRect(CRect(30, 10, 40, 20));
        c->setFillColor(CColor{0, 0, 255, 255});
        c->fillRect(CRect(50, 10, 60, 20));
        c->drawEllipse(CRect(70, 10, 91, 31));
    }));
    for (int x = 10; x <= 20; ++x) EXPECT_EQ(f.at(x, 5), kRed) << x;
    EXPECT_EQ(f.at(9, 5), kBlack);
    EXPECT_EQ(f.at(21, 5), kBlack);
    EXPECT_EQ(f.at(10, 4), kBlack);
    EXPECT_EQ(f.at(5, 20), kRed);
    EXPECT_EQ(f.at(5, 21), kBlack);

    EXPECT_EQ(f.at(30, 10), kRed);  // outline along the inner edge
    EXPECT_EQ(f.at(39, 19), kRed);
    EXPECT_EQ(f.at(40, 15), kBlack);
    EXPECT_EQ(f.at(35, 15), kBlack);  // not filled
    EXPECT_EQ(f.at(50, 10).blue, 255);
    EXPECT_EQ(f.at(59, 19).blue, 255);
    EXPECT_EQ(f.at(60, 19), kBlack);

    // Ellipse: the rim at the middle of each side, nothing in the centre or the corners.
    EXPECT_GT(f.at(70, 20).red, 100);
    EXPECT_GT(f.at(90, 20).red, 100);
    EXPECT_GT(f.at(80, 10).red, 100);
    EXPECT_EQ(f.at(80, 20), kBlack);
    EXPECT_EQ(f.at(71, 11), kBlack);
}

TEST(TextDrawing, AlignsInsideTheRectangleAndMeasuresTheSameAtEverySize) {
    OffscreenFrame f(300, 100);
    const CRect left(10, 10, 110, 30), centre(10, 40, 110, 60), right(10, 70, 110, 90);
    f.frame->addView(new Painter([&](CDrawContext* c) {
        c->setFontColor(kRed);
        c->setFont(kNormalFontBig);
        c->drawString("Filter", left, kLeftText);
        c->drawString("Filter", centre, kCenterText);
        c->drawString("Filter", right, kRightText);
        c->drawString("cut off at the edge of its box", CRect(150, 10, 180, 30), kLeftText);
    }));
    const auto [l0, l1] = inkColumns(f, left);
    const auto [c0, c1] = inkColumns(f, centre);
    const auto [r0, r1] = inkColumns(f, right);
    ASSERT_GE(l0, 0);
    EXPECT_LE(l0 - left.left, 2);
    EXPECT_LE(right.right - 1 - r1, 2);
    EXPECT_NEAR((c0 + c1) / 2.0, (centre.left + centre.right) / 2.0, 1.5);
    EXPECT_EQ(l1 - l0, r1 - r0);  // the same glyphs, moved
    EXPECT_EQ(inkColumns(f, CRect(180, 10, 300, 30)).first, -1);

    // Hint metrics off: widths grow in proportion to the size, so layouts scale.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    cairo_t* cr = cairo_create(s);
    {
        CDrawContext c(cr);
        const CFontDesc small("Verdana", 10), doubled("Verdanaial", 20);
        c.setFont(&small);
        const double w10 = c.getStringWidth("Delay Feedback 100%");
        c.setFont(&doubled);
        EXPECT_NEAR(c.getStringWidth("Delay Feedback 100%"), 2 * w10, 0.01);
        EXPECT_GT(w10, 50.0);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

TEST(TextDrawing, SamePictureBytesOnEveryRun) {
    // The first picture is drawn with cold font caches, the second with warm ones.
    const auto render = [](const std::string& path) {
        OffscreenFrame f(160, 40);
        f.frame->addView(new Painter([](CDrawContext* c) {
            c->setFontColor(CColor{1, 205, 190, 255});
            c->setFont(kNormalFontVeryBig);
            c->drawString("Grain 12.5 ms", CRect(0, 0, 160, 40));
        }));
        EXPECT_TRUE(f.parent.writePng(path));
        std::string bytes;
        if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
            char block[4096];
            for (size_t n; (n = std::fread(block, 1, sizeof block, in)) > 0;) bytes.append(block, n);
            std::fclose(in);
        }
        return bytes;
    };
    const std::string dir = std::getenv("TARNWELL_TEST_TMP") ? std::getenv("TARNWELL_TEST_TMP") : "/tmp";
    std::filesystem::create_directories(dir);
    const std::string first = render(dir + "/text-a.png");
    EXPECT_EQ(first, render(dir + "/text-b.png"));
    EXPECT_GT(first.size(), 100u);
}

TEST(ContainerDrawing, ChildrenDrawTranslatedInOrderAndClipped) {
    BitmapFolder bitmaps;
    OffscreenFrame f;
    auto* background = new CBitmap(kBackgroundId);
    f.frame->setBackground(background);
    auto* panel = new CViewContainer(CRect(50, 20, 100, 60));
    f.frame->addView(panel);
    const auto box = [](CRect r, CColor color) {
        return new Painter(
            [r, color](CDrawContext* c) {
                c->setFillColor(color);
                c->fillRect(r);
            },
            r);
    };
    panel->addView(box(CRect(0, 0, 10, 10), kRed));
    panel->addView(box(CRect(5, 5, 15, 15), CColor{0, 255, 0, 255}));  // over the red one
    panel->addView(box(CRect(40, 30, 80, 80), kRed));                  // runs past the panel
    EXPECT_EQ(f.at(50, 20), kRed);
    EXPECT_EQ(f.at(49, 19).blue, 255);  // the frame's background around the panel
    EXPECT_EQ(f.at(56, 26), (CColor{0, 255, 0, 255}));
    EXPECT_EQ(f.at(99, 59), kRed);
    EXPECT_EQ(f.at(100, 60).blue, 255);  // clipped at the panel's edge
    EXPECT_EQ(f.at(120, 60).blue, 255);  // and no further
    background->forget();
}
