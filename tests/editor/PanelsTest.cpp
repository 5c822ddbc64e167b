// The Block panels follow the effect: which views each container holds, on which background,
// and which readouts are dimmed.

#include <algorithm>
#include <vector>

#include "effect/OptionStrings.h"
#include "tests/editor/EditorHarness.h"

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
