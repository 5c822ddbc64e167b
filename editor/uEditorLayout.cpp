// The editor's bitmaps, its control factories and the control tree createControls builds once
// per open. Positions come from EditorLayout.h in design units and are scaled here.

#include <cstdio>
#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/controls/EditorStyle.h"
#include "editor/controls/TButtons.h"
#include "editor/controls/TGater.h"
#include "editor/controls/TKnob.h"
#include "editor/controls/TModDisplay.h"
#include "editor/controls/TOptionMenu.h"
#include "editor/controls/TReadout.h"
#include "editor/controls/TXYDisplay.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "effect/OptionStrings.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"
#include "gui/Platform.h"

namespace {
constexpr long kMenuStyle = 512;      // the menu draws its own text
constexpr long kSubMenuStyle = 6656;  // ... and the pop-up marks the current entry
constexpr int kFilterSubMenus = 7;
constexpr int kPresetsPerSubMenu = 32;

struct FilterGroup {
    const char* title;
    int first, last;  // FILTER_MODE_STR entries
};
constexpr FilterGroup FILTER_GROUPS[kFilterSubMenus] = {
    {"6dB Filters", 1, 2},    {"12dB Filters", 3, 14},  {"18dB Filters", 15, 16},
    {"24dB Filters", 17, 28}, {"36dB Filters", 29, 30}, {"Vocal / Formant Filters", 31, 33},
    {"EQ Filters", 34, 36}};

CRect boxAt(int x, int y, int w, int h) {
    return CRect(x, y, x + w, y + h);
}
}  // namespace

// ------------------------------------------------------------------------------------ bitmaps

void uEditor::createBitmaps() {
    for (int k : layout::BITMAP_LOAD_ORDER) bitmaps[k] = new CBitmap(layout::bitmapId(k, guiSize));
}

void uEditor::removeBitmaps() {
    for (CBitmap*& bitmap : bitmaps) {
        if (bitmap) bitmap->forget();
        bitmap = nullptr;
    }
}

// ------------------------------------------------------------------------------ registration

void uEditor::addControl(CControl* control) {
    APlugin* fx = plugin();
    if (!fx || !frame || controlCount >= MAX_CONTROLS) return;
    const long tag = control->getTag();
    control->setDefaultValue(tag >= 0 && tag < PARAMETER_COUNT ? fx->getDefaultValue(static_cast<int>(tag))
                                                               : 0.0f);
    controlIsMenu[controlCount] = 0;
    controls[controlCount++] = control;
}

void uEditor::addControlMenu(CControl* control) {
    addControl(control);
    if (controlCount > 0 && controls[controlCount - 1] == control) controlIsMenu[controlCount - 1] = 1;
}

// ------------------------------------------------------------------------------------ factories

void uEditor::createOnOff(TOnOff*& control, int tag, int x, int y, CBitmap* bitmap, bool midiMenu) {
    const CRect r = boxAt(getScaled(x), getScaled(y), bitmap->getWidth(), bitmap->getHeight() / 2);
    control = new TOnOff(r, this, tag, bitmap, midiMenu, COnOffButton::kPostListenerUpdate);
    own(control);
    addControl(control);
}

void uEditor::createKickButton(CKickButton*& control, int tag, int x, int y, CBitmap* bitmap) {
    const CRect r = boxAt(getScaled(x), getScaled(y), bitmap->getWidth(), bitmap->getHeight() / 2);
    control = new CKickButton(r, this, tag, bitmap, CPoint(0, 0));
    own(control);
    addControl(control);
}

void uEditor::createMenu(TOptionMenu*& control, int tag, const layout::MenuPlace& place, int originX,
                         const char* const* shown, int entries, bool third) {
    const SlotInfo& choice = CHOICE_SLOTS[static_cast<std::size_t>(tag)];
    const char* const* table = shown ? shown : choice.options;
    const int count = entries < 0 ? choice.count : entries;
    CRect r = boxAt(getScaled(place.x + originX), getScaled(place.y), getScaled(place.w),
                    getScaled(layout::MENU_H));
    const int down = guiSize == 1 ? place.down150 : guiSize == 2 ? place.down200 : 0;
    r.offset(0, down);
    control = new TOptionMenu(r, this, tag, nullptr, nullptr, kMenuStyle, kCenterText, true, third);
    own(control);
    for (int i = 0; i < count; ++i) control->addEntry(table[i]);
    addControlMenu(control);
    if (tag >= 0 && tag < MAX_CONTROLS) menuSteps[tag] = choice.scale;
}

void uEditor::createMenu(TOptionMenu*& control, int tag, int x, int y, CBitmap* bitmap, int count,
                         const char* const* table, bool centred, bool arrows, bool third) {
    const CRect r = boxAt(getScaled(x), getScaled(y), bitmap->getWidth(), bitmap->getHeight());
    control = new TOptionMenu(r, this, tag, bitmap, nullptr, kMenuStyle, centred ? kCenterText : kLeftText,
                              arrows, third);
    own(control);
    for (int i = 0; i < count; ++i) control->addEntry(table[i]);
    addControlMenu(control);
}

void uEditor::createFilterMenu(int b) {
    const int tag = FILTER_MODE_TAG[b];
    TOptionMenu*& main = ctl.filterMenu[b];
    createMenu(main, tag, layout::FILTER_MENU, 0, nullptr, 1, true);
    for (int g = 0; g < kFilterSubMenus; ++g) {
        auto* sub = new TOptionMenu(main->getViewSize(), this, tag, nullptr, nullptr, kMenuStyle, kCenterText,
                                    false, false);
        for (int i = FILTER_GROUPS[g].first; i <= FILTER_GROUPS[g].last; ++i)
            sub->addEntry(FILTER_MODE_STR[i]);
        main->addEntry(sub, FILTER_GROUPS[g].title);
        sub->forget();  // the main menu keeps it
        ctl.filterSubMenu[b][g] = sub;
    }
}

void uEditor::createKnob(TKnob*& knob, int tag, int x, int y, int type) {
    CBitmap* strip = getKnobBitmap(type);
    const int frameH = strip->getHeight() / layout::KNOB_FRAMES;
    const int left = getScaled(x + layout::OFF_X[type]);
    knob = new TKnob(boxAt(left, getScaled(y + layout::OFF_Y[type]), strip->getWidth(), frameH), this, tag,
                     strip, CPoint(0, 0));
    own(knob);
    addControl(knob);

    const int top = frameH + getScaled(y + layout::OFF_Y[type] + layout::LABEL_OFF_Y[type]);
    auto* readout = new TReadout(
        boxAt(left, top, strip->getWidth() + layout::LABEL_OFF_X[type], getScaled(layout::READOUT_H)), this,
        tag, "123", true, false, true, false);
    own(readout);
    if (readoutCount < layout::READOUT_COUNT) readouts[readoutCount++] = readout;
    addControl(readout);
}

void uEditor::createRadio(TRadioButton*& radio, int x, int y) {
    CBitmap* bitmap = getRadioBitmap();
    radio = new TRadioButton(boxAt(getScaled(x), getScaled(y), bitmap->getWidth(), bitmap->getHeight() / 2),
                             this, kNoParameter);
    own(radio);
}

void uEditor::createMenuButton(TMenuButton*& button, int x, int y, int index) {
    CBitmap* bitmap = getMenuButtonBitmap();
    button = new TMenuButton(boxAt(getScaled(x), getScaled(y), bitmap->getWidth(), bitmap->getHeight() / 2),
                             this, index);
    own(button);
}

void uEditor::createBitmapLabel(TBitmap*& picture, int tag, int x, int y, int w, int h, CBitmap* bitmap) {
    picture = new TBitmap(boxAt(getScaled(x), getScaled(y), w, h), bitmap, this, tag);
    own(picture);
}

// ------------------------------------------------------------------------------ menu helpers

void uEditor::drawSetMenu(TOptionMenu* menu, int index, const char* const* table) {
    if (menu) menu->setString(table[index]);
}

void uEditor::updatePresetMenu() {
    APlugin* fx = plugin();
    if (!fx || !ctl.presetMenu) return;
    char name[64] = {};
    fx->getProgramName(name);
    ctl.presetMenu->setString(name);
    ctl.presetMenu->setDirty(true);
}

void uEditor::getBypassEntry(char* text) {
    const std::size_t length = std::strlen(text);
    std::memmove(text + 2, text, length + 1);
    text[0] = '-';
    text[1] = 'G';
}

void uEditor::createPresetMenu() {
    APlugin* fx = plugin();
    CBitmap* well = bitmaps[layout::BMP_PRESET_WELL];
    createMenu(ctl.presetMenu, kNoParameter, layout::PRESET_MENU.x, layout::PRESET_MENU.y, well, 0, nullptr,
               false, false, false);
    for (int sub = 0; sub < PRESET_SUB_MENU_COUNT; ++sub) {
        auto* menu = new TOptionMenu(ctl.presetMenu->getViewSize(), this, kNoParameter, nullptr, nullptr,
                                     kSubMenuStyle, kCenterText, true, true);
        for (int i = 0; i < kPresetsPerSubMenu; ++i) {
            const int preset = sub * kPresetsPerSubMenu + i;
            if (preset >= FACTORY_PRESET_COUNT) break;
            menu->addEntry(fx->getPresetName(preset));
        }
        ctl.presetMenu->addEntry(menu, PRESET_SUB_HEADER_STR[sub]);
        menu->forget();  // the preset menu keeps it
        ctl.presetSubMenu[sub] = menu;
    }
    for (const char* entry :
         {"-", "Default Preset", "-", "Revert to Original Preset", "Revert to Edited Preset", "-",
          "Set To 100% Screen", "Set To 150% Screen", "Set To 200% Screen"})
        ctl.presetMenu->addEntry(entry);
}

// ------------------------------------------------------------------------------ the control tree

void uEditor::createControls() {
    if (!plugin()) return;
    using namespace layout;
    auto bmp = [this](int k) { return bitmaps[k]; };

    createPresetMenu();
    createKickButton(ctl.presetPrev, kNoParameter, PRESET_PREV.x, PRESET_PREV.y, bmp(BMP_ARROW_PREV));
    createKickButton(ctl.presetNext, kNoParameter, PRESET_NEXT.x, PRESET_NEXT.y, bmp(BMP_ARROW_NEXT));
    static const char* const BANK_STR[1] = {"Introduction Bank"};
    createMenu(ctl.bankDisplay, kNoParameter, BANK_DISPLAY.x, BANK_DISPLAY.y, bmp(BMP_PRESET_WELL), 1,
               BANK_STR, false, false, false);
    createKickButton(ctl.bankPrev, kNoParameter, BANK_PREV.x, BANK_PREV.y, bmp(BMP_ARROW_PREV));
    createKickButton(ctl.bankNext, kNoParameter, BANK_NEXT.x, BANK_NEXT.y, bmp(BMP_ARROW_NEXT));

    createKickButton(ctl.editedLamp, kNoParameter, EDITED_LAMP.x, EDITED_LAMP.y, bmp(BMP_LAMP_CLEAN));
    createKickButton(ctl.revertButton, kNoParameter, REVERT_BUTTON.x, REVERT_BUTTON.y, bmp(BMP_REVERT));
    createKickButton(ctl.manualButton, kNoParameter, MANUAL_BUTTON.x, MANUAL_BUTTON.y, bmp(BMP_MANUAL));
    createMenu(ctl.midiMapMenu, kNoTextMenu, MIDI_MAP_MENU.x, MIDI_MAP_MENU.y, bmp(BMP_MIDI_MAP),
               ECS_STR_COUNT, ECS_STR, true, false, false);
    createKickButton(ctl.resetButton, kNoParameter, RESET_BUTTON.x, RESET_BUTTON.y, bmp(BMP_RESET));
    createOnOff(ctl.bypassButton, BYPASS_PARAM, BYPASS_BUTTON.x, BYPASS_BUTTON.y, bmp(BMP_BYPASS), true);
    createOnOff(ctl.triggerButton, TRIGGER_PARAM, TRIGGER_BUTTON.x, TRIGGER_BUTTON.y, bmp(BMP_TRIGGER), true);
    createKickButton(ctl.settingsButton, kNoParameter, SETTINGS_BUTTON.x, SETTINGS_BUTTON.y,
                     bmp(BMP_SETTINGS_BUTTON));

    for (int i = 0; i < KNOB_COUNT; ++i)
        createKnob(ctl.knobs[i], KNOBS[i].tag, KNOBS[i].x, KNOBS[i].y, KNOBS[i].type);

    createOnOff(ctl.delayOnButton, DELAY_ON_PARAM, DELAY_ON_BUTTON.x, DELAY_ON_BUTTON.y, bmp(BMP_DELAY_ON),
                true);
    createOnOff(ctl.delayMonoButton, DELAY_MONO_PARAM, DELAY_MONO_BUTTON.x, DELAY_MONO_BUTTON.y,
                bmp(BMP_TOGGLE), true);
    createOnOff(ctl.delaySyncButton, DELAY_TEMPO_SYNC_PARAM, DELAY_SYNC_BUTTON.x, DELAY_SYNC_BUTTON.y,
                bmp(BMP_TOGGLE), true);
    createOnOff(ctl.delayEqualButton, DELAY_EQUAL_FEED_PARAM, DELAY_EQUAL_BUTTON.x, DELAY_EQUAL_BUTTON.y,
                bmp(BMP_TOGGLE), true);
    for (int b = 0; b < BLOCK_COUNT; ++b)
        createOnOff(ctl.xyEditButton[b], XY_EDIT_TAG[b], XY_EDIT_BUTTON.x + blockX(b), XY_EDIT_BUTTON.y,
                    bmp(BMP_TOGGLE), true);

    createMenu(ctl.pathMenu, PATH_PARAM, PATH_MENU, 0);
    CBitmap* path = bmp(BMP_PATH_FIRST);
    createBitmapLabel(ctl.pathPicture, kNoParameter, PATH_PICTURE.x, PATH_PICTURE.y, path->getWidth(),
                      path->getHeight(), path);

    for (int b = 0; b < BLOCK_COUNT; ++b) createBlockControls(b);

    CBitmap* equal = bmp(BMP_EQUAL_FEED_OFF);
    createBitmapLabel(ctl.equalFeedPicture, kNoParameter, EQUAL_FEED_PICTURE.x, EQUAL_FEED_PICTURE.y,
                      equal->getWidth(), equal->getHeight(), equal);
    createMenu(ctl.followerMenu, FOLLOWER_SOURCE_PARAM, FOLLOWER_MENU, 0);
    ctl.modDisplay = new TModDisplay(
        boxAt(getScaled(MOD_VIEW.x), getScaled(MOD_VIEW.y), getScaled(MOD_VIEW.w), getScaled(MOD_VIEW.h)),
        this, guiSize);
    own(ctl.modDisplay);

    CBitmap* page = bmp(BMP_SETTINGS_PAGE);
    ctl.backsideButton = new CKickButton(CRect(0, 0, page->getWidth(), page->getHeight()), this, kNoParameter,
                                         nullptr, CPoint(0, 0));
    own(ctl.backsideButton);
    addControl(ctl.backsideButton);
    for (int i = 0; i < SETTINGS_TOGGLE_COUNT; ++i)
        createOnOff(ctl.settingsToggle[i], kNoParameter, SETTINGS_TOGGLE_X, SETTINGS_TOGGLE_Y[i],
                    bmp(BMP_TOGGLE), false);
    if (guiSize != chosenSize) {
        int roomW = 0, roomH = 0;
        tarnwell::gui::windowRoom(roomW, roomH);
        char note[160];
        std::snprintf(note, sizeof note, "Window %s does not fit this screen (%d x %d free): shown at %s",
                      SIZE_NAMES[chosenSize], roomW, roomH, SIZE_NAMES[guiSize]);
        const CRect area = boxAt(getScaled(SIZE_NOTE.x), getScaled(SIZE_NOTE.y), getScaled(SIZE_NOTE.w),
                                 getScaled(SIZE_NOTE.h));
        ctl.sizeNote = new TReadout(area, this, kNoParameter, note, true, false, false, false);
        own(ctl.sizeNote);
    }
}

void uEditor::createBlockControls(int b) {
    using namespace layout;
    const int X = blockX(b);
    createMenu(ctl.blockTypeMenu[b], BLOCK_TYPE_TAG[b], BLOCK_TYPE_MENU, X);
    createOnOff(ctl.blockBypassButton[b], BLOCK_BYPASS_TAG[b], BLOCK_BYPASS_BUTTON.x + X,
                BLOCK_BYPASS_BUTTON.y, bitmaps[BMP_TOGGLE], true);
    createMenuButton(ctl.blockMenuButton[b], BLOCK_MENU_BUTTON.x + X, BLOCK_MENU_BUTTON.y, 3 + b);

    createFilterMenu(b);
    createMenu(ctl.combMenu[b], COMB_MODE_TAG[b], COMB_MENU, 0);
    createMenu(ctl.shaperMenu[b], SHAPER_MODE_TAG[b], SHAPER_MENU, 0);
    createMenu(ctl.lowfiMenu[b], SHAPER_LOWFI_FILTER_TAG[b], LOWFI_MENU, 0);
    createMenu(ctl.gaterStepsMenu[b], GATER_STEPS_TAG[b], GATER_STEPS_MENU, 0);
    createMenu(ctl.gaterLoopMenu[b], GATER_LOOP_TAG[b], GATER_LOOP_MENU, 0);
    createMenu(ctl.gaterSpeedMenu[b], GATER_SPEED_TAG[b], GATER_SPEED_MENU, 0, XY_SPEED_STR);

    for (int i = 0; i < PANEL_KNOB_COUNT; ++i) {
        const PanelKnobRow& row = PANEL_KNOBS[i];
        createKnob(ctl.panelKnobs[b][i], row.tags[b], row.x, row.y, row.type);
    }
    createMenu(ctl.grainModeMenu[b], GRAIN_MODE_TAG[b], GRAIN_MODE_MENU, 0);
    createOnOff(ctl.grainDryButton[b], GRAIN_DRY_TAG[b], GRAIN_DRY_BUTTON.x, GRAIN_DRY_BUTTON.y,
                bitmaps[BMP_TOGGLE], true);
    createOnOff(ctl.grainLinkButton[b], GRAIN_UNLINK_TAG[b], GRAIN_LINK_BUTTON.x, GRAIN_LINK_BUTTON.y,
                bitmaps[BMP_ROUND_BUTTON], true);
    for (int i = 0; i < BLOCK_KNOBS_PER_BLOCK; ++i) {
        const KnobRow& row = BLOCK_KNOBS[i];
        createKnob(ctl.blockKnobs[b][i], row.tag + BLOCK_SECTION_SIZE * b, row.x, row.y, row.type);
    }
    CBitmap* plain = bitmaps[BMP_CONNECTOR_PLAIN];
    createBitmapLabel(ctl.connector[b], kNoParameter, CONNECTOR.x, CONNECTOR.y, plain->getWidth(),
                      plain->getHeight(), plain);
    for (int side = 0; side < 2; ++side) {
        const Box& r = GATER_ROWS[side];
        ctl.gater[b][side] =
            new TGater(boxAt(getScaled(r.x), getScaled(r.y), getScaled(r.w), getScaled(r.h)), this, b, side);
        own(ctl.gater[b][side]);
    }

    for (int m = 0; m < 3; ++m)
        createRadio(ctl.xyRecordRadio[b][m], XY_RECORD_RADIOS[m].x + X, XY_RECORD_RADIOS[m].y);
    createMenuButton(ctl.xyMenuButton[b], XY_MENU_BUTTON.x + X, XY_MENU_BUTTON.y, b);
    createMenu(ctl.xySpeedSourceMenu[b], XY_SPEED_MOD_SOURCE_TAG[b], XY_SPEED_SOURCE_MENU, X);
    createMenu(ctl.xyPlayMenu[b], XY_PLAY_MODE_TAG[b], XY_PLAY_MENU, X);
    createMenu(ctl.xyLoopMenu[b], XY_LOOP_MODE_TAG[b], XY_LOOP_MENU, X);
    createMenu(ctl.xySyncMenu[b], XY_SYNC_TAG[b], XY_SYNC_MENU, X);
    createMenu(ctl.xyPointMenu[b], XY_POINT_QUANT_TAG[b], XY_POINT_MENU, X);
    createMenu(ctl.xySpaceMenu[b], XY_SPACE_QUANT_TAG[b], XY_SPACE_MENU, X);
    createMenu(ctl.xyTimeMenu[b], XY_TIME_QUANT_TAG[b], XY_TIME_MENU, X);
    ctl.xyDisplay[b] = new TXYDisplay(
        boxAt(getScaled(XY_PAD.x), getScaled(XY_PAD.y), getScaled(XY_PAD.w), getScaled(XY_PAD.h)), this, b);
    own(ctl.xyDisplay[b]);
    createBitmapLabel(ctl.midiXLamp[b], XY_MIDI_X_TAG[b], MIDI_X_LAMP.x, MIDI_X_LAMP.y,
                      getScaled(MIDI_X_LAMP.w), getScaled(MIDI_X_LAMP.h), nullptr);
    createBitmapLabel(ctl.midiYLamp[b], XY_MIDI_Y_TAG[b], MIDI_Y_LAMP.x, MIDI_Y_LAMP.y,
                      getScaled(MIDI_Y_LAMP.w), getScaled(MIDI_Y_LAMP.h), nullptr);
}
