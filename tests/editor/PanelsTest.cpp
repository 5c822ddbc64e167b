// The Block panels follow the effect: which views each container holds, in order, with which
// background, and which readouts are dimmed.

#include <vector>

#include "effect/OptionStrings.h"
#include "tests/editor/EditorHarness.h"

using namespace tarnwell::test;
using namespace layout;

namespace {

float choice(int option, float scale) {
    return (static_cast<float>(option) + 0.1f) / scale;
}

struct PanelCase {
    const char* name;
    int type;
    int mode;  // filter or shaper mode, else -1
    int background;
    std::vector<int> knobs;  // PANEL_KNOBS rows, in order
    bool spread;
};

}  // namespace

TEST(EditorPanels, EachTypeShowsExactlyItsViewsInOrder) {
    const PanelCase cases[] = {
        {"Off", 0, -1, BMP_PANEL_OFF, {0, 1, 2, 3}, true},
        {"Filter 33", 1, 33, BMP_PANEL_FILTER_VOWEL, {4, 5, 6, 7}, true},
        {"Filter 34", 1, 34, BMP_PANEL_FILTER_SHELF, {4, 5, 6, 8}, true},
        {"Filter 0", 1, 0, BMP_PANEL_FILTER, {4, 5, 6, 7}, true},
        {"Comb", 2, -1, BMP_PANEL_COMB, {9, 10, 11, 12}, true},
        {"Shaper 0", 3, 0, BMP_PANEL_SHAPER_RING, {13, 14, 15, 16}, true},
        {"Shaper 3", 3, 3, BMP_PANEL_SHAPER_MOD, {13, 14, 15, 17}, true},
        {"Shaper 5", 3, 5, BMP_PANEL_SHAPER_LOWFI, {18, 19, 20, 21}, true},
        {"Room", 4, -1, BMP_PANEL_ROOM, {22, 23, 24, 25}, true},
        {"Gater", 5, -1, BMP_PANEL_GATER, {26, 27}, false},
        {"Grain", 6, -1, BMP_PANEL_GRAIN, {28, 29, 30, 31, 32, 33, 34}, false},
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

        // The views the panel should hold, in order.
        std::vector<CView*> expected;
        auto knobAndReadout = [&](TKnob* knob) {
            expected.push_back(knob);
            for (int i = 0; i < h.editor->getReadoutCount(); ++i)
                if (h.editor->getReadout(i)->getTag() == knob->getTag()) expected.push_back(h.editor->getReadout(i));
        };
        if (t.type == 1) expected.push_back(c.filterMenu[b]);
        if (t.type == 2) expected.push_back(c.combMenu[b]);
        if (t.type == 6) {
            for (int k : t.knobs) expected.push_back(c.panelKnobs[b][k]);
            for (int k = 0; k < 7; ++k) expected.push_back(h.editor->getReadout(BLOCK_LABEL_START[b] + RO_GRAIN + k));
            expected.insert(expected.end(), {c.grainModeMenu[b], c.grainDryButton[b], c.grainLinkButton[b]});
        } else {
            for (int k : t.knobs) knobAndReadout(c.panelKnobs[b][k]);
        }
        if (t.type == 3 && t.mode == 5) expected.push_back(c.lowfiMenu[b]);
        if (t.type == 3) expected.push_back(c.shaperMenu[b]);
        if (t.type == 5)
            expected.insert(expected.end(), {c.gaterStepsMenu[b], c.gaterLoopMenu[b], c.gaterSpeedMenu[b], c.gater[b][0],
                                             c.gater[b][1]});
        for (int k = t.spread ? 0 : 1; k < BLOCK_KNOBS_PER_BLOCK; ++k) knobAndReadout(c.blockKnobs[b][k]);
        expected.insert(expected.end(), {c.connector[b], c.midiXLamp[b], c.midiYLamp[b], c.xyDisplay[b]});

        CViewContainer* box = h.editor->getBlockContainer(b);
        std::vector<CView*> shown;
        for (int i = 0; i < box->getNbViews(); ++i) shown.push_back(box->getView(i));
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(box->getBackground(), h.editor->getBitmap(t.background));
        EXPECT_EQ(h.editor->getReadout(BLOCK_LABEL_START[b] + RO_SPREAD)->isDimmed(), t.type == 0);
        if (t.type == 1) {
            EXPECT_EQ(c.filterMenu[b]->getString(), std::string(FILTER_MODE_STR[t.mode]));
        }
    }
}

TEST(EditorPanels, ConnectorsFollowThePath) {
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
}

TEST(EditorPanels, TypeMenuChoiceRebuildsThePanelAtTheNextIdle) {
    EditorHarness h;
    h.openMain();
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
