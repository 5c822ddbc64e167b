// The two pages (main and settings) and the Block panels: which of the controls created at open
// sit in the frame and in each Block container. Views only move; none is created or released.

#include "editor/controls/TButtons.h"
#include "editor/controls/TKnob.h"
#include "editor/controls/TOptionMenu.h"
#include "editor/controls/TReadout.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "effect/OptionStrings.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

namespace {

constexpr int kGrainKnobs = layout::PANEL_KNOB_COUNT - layout::PK_GRAIN;

void addTo(CViewContainer* container, CView* view) {
    if (view) container->addView(view);
}

}  // namespace

void uEditor::dimReadout(int index, bool dimmed) {
    if (index >= 0 && index < readoutCount) {
        readouts[index]->setDimmed(dimmed);
        readouts[index]->setDirty(true);
    }
}

// A knob and the readout under it (readouts sit in creation order, each right after its knob).
void uEditor::addKnobWithReadout(CViewContainer* parent, TKnob* knob) {
    if (!knob) return;
    parent->addView(knob);
    for (int i = 0; i < readoutCount; ++i)
        if (readouts[i]->getTag() == knob->getTag()) {
            parent->addView(readouts[i]);
            break;
        }
}

void uEditor::showBlocks() {
    using namespace layout;
    blocksChanged = false;
    APlugin* fx = plugin();
    if (!fx || !blockContainer[0] || !blockContainer[1] || !blockContainer[2]) return;
    const int path = fx->getPath();

    for (int b = 0; b < BLOCK_COUNT; ++b) {
        CViewContainer* box = blockContainer[b];
        TKnob* const* knobs = ctl.panelKnobs[b];
        const int base = BLOCK_LABEL_START[b];
        box->removeAll(false);
        const int type = fx->getBlockType(b);
        resumeMenu(ctl.blockTypeMenu[b]);
        dimReadout(base + RO_SPREAD, false);

        auto addKnobs = [&](std::initializer_list<int> which) {
            for (int k : which) addKnobWithReadout(box, knobs[k]);
        };
        int background = BMP_PANEL_OFF;
        switch (type) {
            case TYPE_OFF:
                addKnobs({PK_NONE, PK_NONE + 1, PK_NONE + 2, PK_NONE + 3});
                dimReadout(base + RO_SPREAD, true);
                break;
            case TYPE_FILTER: {
                const int mode = fx->getFilterMode(b);
                background = mode < FILTER_MODE_FIRST_VOWEL   ? BMP_PANEL_FILTER
                             : mode < FILTER_MODE_FIRST_SHELF ? BMP_PANEL_FILTER_VOWEL
                                                              : BMP_PANEL_FILTER_SHELF;
                addTo(box, ctl.filterMenu[b]);
                drawSetMenu(ctl.filterMenu[b], mode, FILTER_MODE_STR);
                addKnobs({PK_FILTER_DISTORT, PK_FILTER_FREQ, PK_FILTER_Q,
                          mode >= FILTER_MODE_FIRST_SHELF ? PK_FILTER_GAIN : PK_FILTER_VOWEL});
                break;
            }
            case TYPE_COMB:
                background = BMP_PANEL_COMB;
                addTo(box, ctl.combMenu[b]);
                resumeMenu(ctl.combMenu[b]);
                addKnobs({PK_COMB, PK_COMB + 1, PK_COMB + 2, PK_COMB + 3});
                break;
            case TYPE_SHAPER: {
                const int mode = fx->getShaperMode(b);
                if (mode == SHAPER_MODE_LOWFI) {
                    background = BMP_PANEL_SHAPER_LOWFI;
                    addKnobs({PK_LOWFI, PK_LOWFI + 1, PK_LOWFI + 2, PK_LOWFI + 3});
                    addTo(box, ctl.lowfiMenu[b]);
                    resumeMenu(ctl.lowfiMenu[b]);
                } else {
                    background = mode == SHAPER_MODE_RING ? BMP_PANEL_SHAPER_RING : BMP_PANEL_SHAPER_MOD;
                    addKnobs({PK_SHAPER_WAVE, PK_SHAPER_FREQ, PK_SHAPER_AMOUNT,
                              mode == SHAPER_MODE_RING ? PK_SHAPER_SYM : PK_SHAPER_ENV});
                }
                addTo(box, ctl.shaperMenu[b]);
                resumeMenu(ctl.shaperMenu[b]);
                break;
            }
            case TYPE_ROOM:
                background = BMP_PANEL_ROOM;
                addKnobs({PK_ROOM, PK_ROOM + 1, PK_ROOM + 2, PK_ROOM + 3});
                break;
            case TYPE_GATER:
                background = BMP_PANEL_GATER;
                addKnobs({PK_GATER, PK_GATER + 1});
                for (TOptionMenu* menu : {ctl.gaterStepsMenu[b], ctl.gaterLoopMenu[b], ctl.gaterSpeedMenu[b]})
                    addTo(box, menu);
                for (CControl* grid : ctl.gater[b]) addTo(box, grid);
                for (TOptionMenu* menu : {ctl.gaterStepsMenu[b], ctl.gaterLoopMenu[b], ctl.gaterSpeedMenu[b]})
                    resumeMenu(menu);
                break;
            default: {  // TYPE_GRAIN
                background = BMP_PANEL_GRAIN;
                // The grain knobs first, then their readouts.
                for (int k = PK_GRAIN; k < PK_GRAIN + kGrainKnobs; ++k) addTo(box, knobs[k]);
                for (int k = 0; k < kGrainKnobs; ++k) addTo(box, readouts[base + PK_GRAIN + k]);
                addTo(box, ctl.grainModeMenu[b]);
                resumeMenu(ctl.grainModeMenu[b]);
                addTo(box, ctl.grainDryButton[b]);
                addTo(box, ctl.grainLinkButton[b]);
                break;
            }
        }
        box->setBackground(bitmaps[background]);

        TKnob* const* common = ctl.blockKnobs[b];
        if (type <= TYPE_ROOM) addKnobWithReadout(box, common[0]);  // Spread
        for (int k = 1; k < BLOCK_KNOBS_PER_BLOCK; ++k) addKnobWithReadout(box, common[k]);

        const bool arrow = b < BLOCK_COUNT - 1 && path <= 3;
        if (TBitmap* connector = ctl.connector[b]) {
            connector->setBackground(bitmaps[arrow ? BMP_CONNECTOR_ARROW : BMP_CONNECTOR_PLAIN]);
            box->addView(connector);
            connector->setDirty(true);
        }
        dimReadout(base + RO_PAN, arrow);
        addTo(box, ctl.midiXLamp[b]);
        addTo(box, ctl.midiYLamp[b]);
        addTo(box, ctl.xyDisplay[b]);
        if (ctl.xyDisplay[b]) ctl.xyDisplay[b]->setDirty(true);
        if (ctl.modDisplay) ctl.modDisplay->setDirty(true);
        box->setDirty(true);
    }
    resumeMenu(ctl.pathMenu);
    if (ctl.pathPicture) {
        ctl.pathPicture->setBackground(bitmaps[BMP_PATH_FIRST + path]);
        ctl.pathPicture->setDirty(true);
    }
}

// Pads and grids are otherwise redrawn as audio runs; a change made while none runs shows too.
void uEditor::markPadsShowing(int index) {
    auto mark = [](CView* view) {
        if (view) view->setDirty(true);
    };
    if (index >= XY_SETTINGS_START && index < XY_SETTINGS_START + BLOCK_COUNT * XY_SETTINGS_FAMILY_COUNT)
        mark(ctl.xyDisplay[(index - XY_SETTINGS_START) % BLOCK_COUNT]);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const bool pathX = index >= XY_X_START[b] && index < XY_X_START[b] + XY_PATH_POINTS;
        const bool pathY = index >= XY_Y_START[b] && index < XY_Y_START[b] + XY_PATH_POINTS;
        if (pathX || pathY) mark(ctl.xyDisplay[b]);
    }
    if (index >= GATER_STEP_START && index < GATER_STEP_END)
        for (CControl* grid :
             ctl.gater[(index - GATER_STEP_START) / (GATER_SIDE_COUNT * GATER_STEPS_PER_SIDE)])
            mark(grid);
}

void uEditor::showControls() {
    APlugin* fx = plugin();
    if (!fx || !frame) return;
    for (CView* view : std::initializer_list<CView*>{
             ctl.presetMenu,      ctl.presetPrev,       ctl.presetNext,      ctl.bankDisplay,
             ctl.bankPrev,        ctl.bankNext,         ctl.editedLamp,      ctl.revertButton,
             ctl.midiMapMenu,     ctl.manualButton,     ctl.bypassButton,    ctl.resetButton,
             ctl.settingsButton,  ctl.triggerButton,    ctl.delayOnButton,   ctl.delayMonoButton,
             ctl.delaySyncButton, ctl.delayEqualButton, ctl.xyEditButton[0], ctl.xyEditButton[1],
             ctl.xyEditButton[2]})
        addTo(frame, view);
    for (TKnob* knob : ctl.knobs) addKnobWithReadout(frame, knob);
    addTo(frame, ctl.pathMenu);
    addTo(frame, ctl.pathPicture);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        addTo(frame, blockContainer[b]);
        addTo(frame, ctl.blockTypeMenu[b]);
        addTo(frame, ctl.blockMenuButton[b]);
        addTo(frame, ctl.blockBypassButton[b]);
        const int mode = fx->getXYRecordMode(b);
        for (int m = 0; m < 3; ++m) {
            if (TRadioButton* radio = ctl.xyRecordRadio[b][m]) {
                radio->setValue(m == mode ? 1.0f : 0.0f);
                frame->addView(radio);
            }
        }
        addTo(frame, ctl.xyMenuButton[b]);
        for (TOptionMenu* menu : ctl.xyMenus(b)) addTo(frame, menu);
    }
    addTo(frame, ctl.equalFeedPicture);
    addTo(frame, ctl.followerMenu);
    addTo(frame, ctl.modDisplay);
}

void uEditor::setTogglesFromPreferences() {
    TOnOff* const* toggles = ctl.settingsToggle;
    // One size shows chosen: the one the editor opens at by the stored keys (200 % before 150 %
    // before 100 %), also when the keys say more than one.
    const int size = storedSize();
    const bool states[layout::SETTINGS_TOGGLE_COUNT] = {
        useKeys,
        getBackRegValue("MidiPreset", true),
        getBackRegValue("MidiBank", true),
        size == 0,
        size == 1,
        size == 2,
    };
    for (int i = 0; i < layout::SETTINGS_TOGGLE_COUNT; ++i)
        if (toggles[i]) toggles[i]->setValue(states[i] ? 1.0f : 0.0f);
}

void uEditor::showBackside() {
    if (!frame) return;
    frame->removeAll(false);
    frame->setBackground(bitmaps[layout::BMP_SETTINGS_PAGE]);
    if (ctl.sizeNote)
        addTo(frame, ctl.sizeNote);  // under the page's button: a click still shows the controls
    addTo(frame, ctl.backsideButton);
    for (TOnOff* toggle : ctl.settingsToggle) addTo(frame, toggle);
    setTogglesFromPreferences();
    backsideShown = true;
    frame->setDirty(true);
}

void uEditor::hideBackside() {
    if (!frame) return;
    frame->removeAll(false);
    frame->setBackground(bitmaps[layout::BMP_BACKGROUND]);
    showControls();
    resume();
    backsideShown = false;
    frame->setDirty(true);
}
