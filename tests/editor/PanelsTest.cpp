// The Block panels follow the effect: which views each container holds, on which background,
// and which readouts are dimmed.

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "effect/OptionStrings.h"
#include "resources/Artwork.h"
#include "tests/editor/EditorHarness.h"
#include "tests/support/Contrast.h"

using namespace tarnwell::test;
using namespace layout;

TEST(EditorPanels, EachTypeShowsItsBackgroundKnobsAndMenus) {
    struct PanelCase {
        const char* name;
        int type;
        int mode;  // filter or shaper mode, else -1
        int background;
        std::vector<int> knobs;  // PANEL_KNOBS rows
    };
    const PanelCase cases[] = {
        {"Off", 0, -1, BMP_PANEL_OFF, {0, 1, 2, 3}},
        {"Filter 33", 1, 33, BMP_PANEL_FILTER_VOWEL, {4, 5, 6, 7}},
        {"Filter 34", 1, 34, BMP_PANEL_FILTER_SHELF, {4, 5, 6, 8}},
        {"Filter 0", 1, 0, BMP_PANEL_FILTER, {4, 5, 6, 7}},
        {"Comb", 2, -1, BMP_PANEL_COMB, {9, 10, 11, 12}},
        {"Shaper 0", 3, 0, BMP_PANEL_SHAPER_RING, {13, 14, 15, 16}},
        {"Shaper 3", 3, 3, BMP_PANEL_SHAPER_MOD, {13, 14, 15, 17}},
        {"Shaper 5", 3, 5, BMP_PANEL_SHAPER_LOWFI, {18, 19, 20, 21}},
        {"Room", 4, -1, BMP_PANEL_ROOM, {22, 23, 24, 25}},
        {"Gater", 5, -1, BMP_PANEL_GATER, {26, 27}},
        {"Grain", 6, -1, BMP_PANEL_GRAIN, {28, 29, 30, 31, 32, 33, 34}},
    };
    EditorHarness h;
    h.openMain();
    const int b = 1;
    const auto& c = h.ctl();
    for (const PanelCase& t : cases) {
        SCOPED_TRACE(t.name);
        h.fx->setParameter(BLOCK_TYPE_TAG[b], choice(t.type, 6.99f));
        if (t.type == 1) h.fx->setParameter(FILTER_MODE_TAG[b], choice(t.mode, 40.0f));
        if (t.type == 3) h.fx->setParameter(SHAPER_MODE_TAG[b], choice(t.mode, 9.0f));
        h.idle();
        CViewContainer* box = h.editor->getBlockContainer(b);
        const auto holds = [box](const CView* view) {
            for (int i = 0; i < box->getNbViews(); ++i)
                if (box->getView(i) == view) return true;
            return false;
        };
        for (int k = 0; k < PANEL_KNOB_COUNT; ++k)
            EXPECT_EQ(holds(c.panelKnobs[b][k]), std::count(t.knobs.begin(), t.knobs.end(), k) == 1) << k;
        EXPECT_EQ(holds(c.blockKnobs[b][0]), t.type < 5);  // Spread: not for the gater and grain
        EXPECT_TRUE(holds(c.blockKnobs[b][1]) && holds(c.xyDisplay[b]) && holds(c.connector[b]));
        EXPECT_EQ(holds(c.filterMenu[b]), t.type == 1);
        EXPECT_EQ(holds(c.combMenu[b]), t.type == 2);
        EXPECT_EQ(holds(c.shaperMenu[b]), t.type == 3);
        EXPECT_EQ(holds(c.lowfiMenu[b]), t.type == 3 && t.mode == 5);
        EXPECT_EQ(holds(c.gater[b][0]) && holds(c.gaterStepsMenu[b]), t.type == 5);
        EXPECT_EQ(holds(c.grainModeMenu[b]) && holds(c.grainLinkButton[b]), t.type == 6);
        EXPECT_EQ(box->getBackground(), h.editor->getBitmap(t.background));
        EXPECT_EQ(h.editor->getReadout(BLOCK_LABEL_START[b] + RO_SPREAD)->isDimmed(), t.type == 0);
        if (t.type == 1) {
            EXPECT_EQ(c.filterMenu[b]->getString(), std::string(FILTER_MODE_STR[t.mode]));
        }
    }
}

TEST(EditorPanels, ConnectorsFollowThePathAndAChosenTypeRebuildsThePanelAtIdle) {
    EditorHarness h;
    h.openMain();
    for (int path = 0; path < PATH_STR_COUNT; ++path) {
        h.fx->setParameter(PATH_PARAM, choice(path, 5.99f));
        h.idle();
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            const bool arrow = path <= 3 && b < 2;
            EXPECT_EQ(h.ctl().connector[b]->getBackground(),
                      h.editor->getBitmap(arrow ? BMP_CONNECTOR_ARROW : BMP_CONNECTOR_PLAIN));
            EXPECT_EQ(h.editor->getReadout(BLOCK_LABEL_START[b] + RO_PAN)->isDimmed(), arrow);
        }
        EXPECT_EQ(h.ctl().pathPicture->getBackground(), h.editor->getBitmap(BMP_PATH_FIRST + path));
    }

    // A type chosen in the menu rebuilds the panel at the next idle.
    h.fx->setParameter(BLOCK_TYPE_TAG[0], choice(0, 6.99f));
    h.idle();
    h.parent.chooseMenuEntry("Room");
    h.click(h.ctl().blockTypeMenu[0]);
    EXPECT_EQ(h.fx->getBlockType(0), 4);
    CViewContainer* box = h.editor->getBlockContainer(0);
    EXPECT_EQ(box->getBackground(), h.editor->getBitmap(BMP_PANEL_OFF));
    h.idle();
    EXPECT_EQ(box->getBackground(), h.editor->getBitmap(BMP_PANEL_ROOM));
    EXPECT_EQ(box->getView(0), h.ctl().panelKnobs[0][22]);
}

// A dimmed readout (the Pan of a Block whose signal goes on to the next) reads quieter than a
// live one, but still at 3:1 on its panel.
TEST(EditorPanels, ADimmedReadoutIsQuieterButReadable) {
    EditorHarness h(2);
    h.openMain();
    h.fx->setParameter(PATH_PARAM, choice(0, 5.99f));
    h.idle();
    const auto contrast = [&](int readout) {
        TReadout* r = h.editor->getReadout(readout);
        CRect area = r->getViewSize();
        CPoint corner(area.left, area.top);
        r->localToFrame(corner);
        area.offset(corner.x - area.left, corner.y - area.top);
        const CColor ground = h.parent.pixel(area.left, area.top);
        const auto pixel = [&](int x, int y) { return h.parent.pixel(x, y); };
        return contrastRatio(inkOf(pixel, area.left, area.top, area.right, area.bottom, ground), ground);
    };
    const int pan = BLOCK_LABEL_START[0] + RO_PAN;
    ASSERT_TRUE(h.editor->getReadout(pan)->isDimmed());
    const double dimmed = contrast(pan);
    EXPECT_GE(dimmed, 3.0);
    EXPECT_LT(dimmed, contrast(BLOCK_LABEL_START[0] + RO_PAN + 1) / 1.5);  // the Volume beside it, live
}

namespace {

// How many pixels of a caption's ink (the pixels of its box clearly lighter than the ground),
// drawn alone on the panel's ground, the editor's picture does not show as drawn; the captions'
// corner is at (dx, dy) of the window.
int hiddenInk(cairo_surface_t* captions, cairo_surface_t* shown, const art::PxRect& box, int dx, int dy) {
    int hidden = 0;
    for (int y = box.y; y < box.y + box.h; ++y)
        for (int x = box.x; x < box.x + box.w; ++x) {
            const CColor a = tarnwell::gui::pixelOf(captions, x, y);
            if (std::max({a.red, a.green, a.blue}) < 80) continue;
            const CColor b = tarnwell::gui::pixelOf(shown, x + dx, y + dy);
            hidden += std::abs(a.red - b.red) + std::abs(a.green - b.green) + std::abs(a.blue - b.blue) > 30;
        }
    return hidden;
}

// The captions of a layout, painted the artwork's way on a ground of their own, each checked
// against the window.
struct CaptionCheck {
    CaptionCheck(const art::Scale& s, int w, int h) : canvas(w, h, false, s) {
        canvas.fill(art::palette::CARD);
    }
    void add(const art::Knob& k, const std::vector<art::Knob>& row, int originX, bool dim = false) {
        art::paintKnobCaption(canvas, k, row, originX, 0, dim);
        boxes.emplace_back(k.caption, art::captionRect(k, canvas.scale(), originX));
    }
    void add(const art::Menu& m, int originX) {
        if (m.caption.empty()) return;
        const art::PxRect r = art::menuCaptionRect(m, canvas.scale(), originX);
        canvas.text(m.caption, r, art::fonts::CAPTION, art::palette::CAPTION);
        boxes.emplace_back(m.caption, r);
    }
    void add(const art::Placed& p, int originX) {
        if (p.side == art::Side::None) return;
        art::paintPlacedCaption(canvas, p, originX, 0);
        boxes.emplace_back(p.caption, art::placedCaptionRect(p, canvas.scale(), originX));
    }
    void expectShownIn(CFrame* frame, int dx, int dy) {
        frame->redrawAll();
        cairo_surface_flush(canvas.surface());
        for (const auto& [caption, box] : boxes)
            EXPECT_EQ(hiddenInk(canvas.surface(), frame->picture(), box, dx, dy), 0) << caption;
    }
    art::Canvas canvas;
    std::vector<std::pair<std::string, art::PxRect>> boxes;
};

}  // namespace

// No control, step row or knob tick covers a caption, and no picture cuts one, at any size.
TEST(EditorPanels, EveryPaintedCaptionShowsWholeAtEverySize) {
    const std::pair<int, int> types[] = {{0, -1}, {1, 0}, {1, 33}, {1, 34}, {2, -1}, {3, 0},
                                         {3, 3},  {3, 5}, {4, -1}, {5, -1}, {6, -1}};
    for (int size = 0; size < SIZE_COUNT; ++size) {
        SCOPED_TRACE("size " + std::to_string(size));
        const art::Scale s = art::scaleOf(size);
        EditorHarness h(size);
        h.openMain();
        CFrame* frame = h.editor->getFrame();

        // The main page's own knob captions (Delay, follower) and each Block's XY row.
        CaptionCheck main(s, s.px(WINDOW_W), s.px(WINDOW_H));
        for (const art::Knob& k : art::mainLayout().knobs) main.add(k, art::mainLayout().knobs, 0);
        const art::MainLayout& row = art::blockRowLayout();
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            for (const art::Knob& k : row.knobs) main.add(k, row.knobs, blockX(b));
            for (const art::Menu& m : row.menus) main.add(m, blockX(b));
            for (const art::Placed& p : row.buttons) main.add(p, blockX(b));
        }
        main.expectShownIn(frame, 0, 0);

        // Every panel in the first Block.
        for (const auto& [type, mode] : types) {
            h.fx->setParameter(BLOCK_TYPE_TAG[0], choice(type, 6.99f));
            if (type == 1) h.fx->setParameter(FILTER_MODE_TAG[0], choice(mode, 40.0f));
            if (type == 3) h.fx->setParameter(SHAPER_MODE_TAG[0], choice(mode, 9.0f));
            h.idle();
            CViewContainer* box = h.editor->getBlockContainer(0);
            int k = BMP_PANEL_OFF;
            while (k < BMP_PANEL_GRAIN && h.editor->getBitmap(k) != box->getBackground()) ++k;
            SCOPED_TRACE("panel " + std::to_string(k));
            const art::PanelLayout& layout = art::panelLayout(k);
            CaptionCheck panel(s, s.px(art::PANEL_W), s.px(art::PANEL_H));
            for (const art::Knob& knob : layout.knobs)
                panel.add(knob, layout.knobs, 0, knob.caption.rfind("None", 0) == 0);
            for (const art::Menu& m : layout.menus) panel.add(m, 0);
            for (const art::Placed& p : layout.buttons) panel.add(p, 0);
            const CRect at = box->getViewSize();
            panel.expectShownIn(frame, at.left, at.top);
        }
    }
}
