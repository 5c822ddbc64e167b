// The editor object: lifecycle, idle refresh and the two routing tables (effect to editor,
// control to effect).

#include "editor/uEditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/controls/ControlSupport.h"
#include "editor/controls/EditorStyle.h"
#include "editor/controls/TButtons.h"
#include "editor/controls/TKnob.h"
#include "editor/controls/TOptionMenu.h"
#include "editor/controls/TReadout.h"
#include "editor/controls/myFrame.h"
#include "effect/APlugin.h"
#include "effect/OptionStrings.h"
#include "framework/platform/Dialogs.h"
#include "framework/platform/Preferences.h"
#include "gui/CBitmap.h"
#include "gui/CViewContainer.h"
#include "gui/Platform.h"

namespace {

constexpr uint32_t kIdleInterval = 40;      // ms between idle passes
constexpr uint32_t kRefreshInterval = 251;  // ms between preset-name repaints
constexpr uint32_t kPresetStepGuard = 333;  // ms between preset steps

bool isIn(int tag, const int32_t (&table)[BLOCK_COUNT]) {
    return std::find(std::begin(table), std::end(table), tag) != std::end(table);
}

uEditor::DocumentOpener documentOpener = &openWithDesktop;

}  // namespace

EditorLink* createTarnwellEditor(AudioEffect* effect) {
    return new uEditor(effect);
}

void uEditor::setDocumentOpener(DocumentOpener opener) {
    documentOpener = opener ? opener : &openWithDesktop;
}

uEditor::uEditor(AudioEffect* owner) : AEffGUIEditor(owner) {
    editChangedShown = !getEditChanged();
    const uint32_t now = getTicks();
    stepRequestTime = lastStepTime = lastRefreshTime = lastIdleTime = now;
    chosenSize = guiSize = storedSize();
    guiScale = layout::GUI_SCALES[guiSize];
    useKeys = getBackRegValue("Key", true);
    rect.top = 0;
    rect.left = 0;
    rect.right = static_cast<int16_t>(getScaled(layout::WINDOW_W));
    rect.bottom = static_cast<int16_t>(getScaled(layout::WINDOW_H));
    std::fill(std::begin(menuSteps), std::end(menuSteps), -1.0f);
}

int uEditor::storedSize() {
    return getBackRegValue("Big200", false) ? 2 : getBackRegValue("Big150", false) ? 1 : 0;
}

void uEditor::fitToScreen() {
    int size = chosenSize;
    int roomW = 0, roomH = 0;
    if (tarnwell::gui::windowRoom(roomW, roomH))
        while (size > 0 && (layout::scaled(layout::WINDOW_W, layout::GUI_SCALES[size]) > roomW ||
                            layout::scaled(layout::WINDOW_H, layout::GUI_SCALES[size]) > roomH))
            --size;
    guiSize = size;
    guiScale = layout::GUI_SCALES[size];
    rect.right = static_cast<int16_t>(getScaled(layout::WINDOW_W));
    rect.bottom = static_cast<int16_t>(getScaled(layout::WINDOW_H));
}

bool uEditor::getRect(ERect** out) {
    if (!frame) fitToScreen();
    return AEffGUIEditor::getRect(out);
}

uEditor::~uEditor() {
    // A host that deletes the effect with the window still open: the effect is already gone
    // here, but the window's views and bitmaps must not outlive the editor.
    if (frame) releaseWindow();
}

APlugin* uEditor::plugin() const {
    return dynamic_cast<APlugin*>(effect);
}

bool uEditor::getEditChanged() const {
    APlugin* fx = plugin();
    return fx && fx->getEditChanged();
}

bool uEditor::getBackRegValue(const char* key, bool def) {
    char text[128] = {};
    loadStringFromPrefs(key, text, 127);
    return def ? text[0] != 'N' : text[0] == 'Y';
}

void uEditor::setBackRegValue(const char* key, bool on) {
    saveStringToPrefs(key, on ? "Y" : "N");
}

// ------------------------------------------------------------------------------ open and close

bool uEditor::open(void* parent) {
    AEffGUIEditor::open(parent);
    APlugin* fx = plugin();
    if (!fx) return false;
    uiThread.store(std::this_thread::get_id());
    fx->editorOpening = 1;
    fx->editorIsOpen = 0;
    controlsReady = false;
    backsideShown = false;
    dropTag = -1;
    dropReleased = false;
    dropValue = 0.0f;
    for (auto& text : readoutText) std::snprintf(text, sizeof text, "!");
    readoutCount = 0;
    editChangedShown = !getEditChanged();
    stepRequestTime = lastStepTime = getTicks();
    for (auto& word : pendingParameters) word.store(0, std::memory_order_relaxed);
    resumeRequested = false;
    xyDisplayRequested = false;
    fitToScreen();
    if (guiSize != chosenSize) {
        int roomW = 0, roomH = 0;
        tarnwell::gui::windowRoom(roomW, roomH);
        std::fprintf(
            stderr,
            "Tarnwell: the %s window (%d x %d) does not fit this screen (%d x %d free); it opens at %s "
            "(%d x %d). The chosen size stays %s.\n",
            layout::SIZE_NAMES[chosenSize], layout::scaled(layout::WINDOW_W, layout::GUI_SCALES[chosenSize]),
            layout::scaled(layout::WINDOW_H, layout::GUI_SCALES[chosenSize]), roomW, roomH,
            layout::SIZE_NAMES[guiSize], getScaled(layout::WINDOW_W), getScaled(layout::WINDOW_H),
            layout::SIZE_NAMES[chosenSize]);
    }

    createBitmaps();
    CBitmap* background = bitmaps[layout::BMP_BACKGROUND];
    CRect frameSize(0, 0, getScaled(layout::WINDOW_W), getScaled(layout::WINDOW_H));
    if (background && background->isLoaded())
        frameSize = CRect(0, 0, background->getWidth(), background->getHeight());
    frame = new myFrame(frameSize, parent, this);
    frame->setBackground(background);
    frame->setContentScale(guiScale);

    CBitmap* panel = bitmaps[layout::BMP_PANEL_OFF];
    const int panelW = panel ? panel->getWidth() : 0;
    const int panelH = panel ? panel->getHeight() : 0;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int x = getScaled(layout::BLOCK_CONTAINER.x + layout::blockX(b));
        const int y = getScaled(layout::BLOCK_CONTAINER.y);
        blockContainer[b] = new CViewContainer(CRect(x, y, x + panelW, y + panelH));
        own(blockContainer[b]);
        frame->addView(blockContainer[b]);
    }
    controlCount = 0;
    createControls();
    showBackside();

    fx->editorOpening = 0;
    fx->editorIsOpen = 1;
    controlsReady = true;
    resume();
    return true;
}

void uEditor::close() {
    APlugin* fx = plugin();
    if (!fx) return;
    fx->editorOpening = 0;
    fx->editorIsOpen = 0;
    fx->saveLearnedControllers();  // its idle no longer does
    releaseWindow();
    AEffGUIEditor::close();
}

void uEditor::releaseWindow() {
    controlsReady = false;
    removeBitmaps();
    for (CViewContainer*& container : blockContainer) {
        if (container) container->removeAll(false);
        container = nullptr;  // released with the other views below
    }
    if (frame) {
        frame->removeAll(false);
        frame->forget();
        frame = nullptr;
    }
    controlCount = 0;
    readoutCount = 0;
    editControl = nullptr;
    releaseViews();
    ctl = Controls{};
    std::fill(std::begin(controls), std::end(controls), nullptr);
    std::fill(std::begin(readouts), std::end(readouts), nullptr);
    uiThread.store(std::thread::id());
}

void uEditor::own(CView* view) {
    if (ownedCount < MAX_CONTROLS) ownedViews[ownedCount++] = view;
}

void uEditor::releaseViews() {
    for (int i = 0; i < ownedCount; ++i) {
        ownedViews[i]->forget();
        ownedViews[i] = nullptr;
    }
    ownedCount = 0;
}

// ------------------------------------------------------------------------------ from the effect

void uEditor::setParameter(int index, float) {
    if (index < 0 || index >= PARAMETER_COUNT || !plugin()) return;
    pendingParameters[index / 32].fetch_or(1u << (index % 32), std::memory_order_release);
}

void uEditor::resume() {
    if (std::this_thread::get_id() == uiThread.load())
        resumeNow();
    else
        resumeRequested.store(true, std::memory_order_release);
}

void uEditor::updateXYDisplay() {
    if (controlsReady.load(std::memory_order_relaxed))
        xyDisplayRequested.store(true, std::memory_order_release);
}

void uEditor::setEditTag(int tag) {
    // The end of an edit (-1) clears it too: a knob released over the modulation view must not
    // stay the view under the mouse, or no drop would ever be seen.
    if (tag < 0 || tag >= kNoTextMenu) {
        editControl = nullptr;
        return;
    }
    if (CControl* control = findControl(tag)) editControl = control;
}

CControl* uEditor::findControl(long tag) const {
    for (int i = 0; i < controlCount; ++i)
        if (controls[i]->getTag() == tag) return controls[i];
    return nullptr;
}

void uEditor::resumeNow() {
    APlugin* fx = plugin();
    if (!frame || !fx) return;
    if (ctl.presetMenu) updatePresetMenu();
    if (ctl.bankDisplay) ctl.bankDisplay->setString("Introduction Bank");
    resumeMenu(ctl.pathMenu);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        resumeMenu(ctl.blockTypeMenu[b]);
        const int mode = fx->getXYRecordMode(b);
        for (int m = 0; m < 3; ++m) {
            if (TRadioButton* radio = ctl.xyRecordRadio[b][m]) {
                radio->setValue(m == mode ? 1.0f : 0.0f);
                radio->setDirty(true);
            }
        }
        gaterStepShown[b] = -1;
        for (TOptionMenu* menu : ctl.xyMenus(b)) resumeMenu(menu);
    }
    resumeMenu(ctl.followerMenu);
    blocksChanged = true;
    modChanged = true;
    for (int i = 0; i < controlCount; ++i) {
        const long tag = controls[i]->getTag();
        if (!controlIsMenu[i] && tag >= 0 && tag < RELOAD_PRESET_PARAM)
            controls[i]->setValue(fx->getParameter(static_cast<int>(tag)));
    }
}

void uEditor::resumeMenu(TOptionMenu* menu) {
    APlugin* fx = plugin();
    if (!menu || !fx) return;
    const long tag = menu->getTag();
    if (tag < 0 || tag >= PARAMETER_COUNT) return;
    const int index = static_cast<int>(tag);
    menu->setValue(static_cast<float>(APlugin::getPlayedChoice(index, fx->getParameter(index))));
}

void uEditor::setMenuVar(int tag, int index, float steps) {
    APlugin* fx = plugin();
    if (!fx || tag < 0 || tag >= PARAMETER_COUNT || std::fabs(steps) < 0.00001f) return;
    fx->setParameterAutomated(tag, (static_cast<float>(index) + 0.1f) / steps);
}

// The effect-to-editor table, on the main thread.
void uEditor::applyParameter(int index) {
    APlugin* fx = plugin();
    markPadsShowing(index);
    if (index == PATH_PARAM || (index >= BLOCK_MODE_START && index < XY_SETTINGS_START) ||
        isIn(index, GRAIN_MODE_TAG) || isIn(index, GRAIN_UNLINK_TAG)) {
        blocksChanged = true;
        return;
    }
    if ((index >= MOD_AMOUNT_TAG[0] && index <= MOD_AMOUNT_TAG[3]) ||
        (index >= MOD_BYPASS_TAG[0] && index <= MOD_DESTINATION_TAG[3])) {
        modChanged = true;
        return;
    }
    if (index == FOLLOWER_SOURCE_PARAM) return resumeMenu(ctl.followerMenu);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        for (TOptionMenu* menu : ctl.xyMenus(b))
            if (menu && menu->getTag() == index) return resumeMenu(menu);
    }
    if (index >= GRAIN_LINK_START + BLOCK_COUNT) return;  // no control shows a later index
    const float value = fx->getParameter(index);
    for (int i = 0; i < controlCount; ++i)
        if (!controlIsMenu[i] && controls[i]->getTag() == index) controls[i]->setValue(value);
}

void uEditor::takePublishedChanges() {
    if (resumeRequested.exchange(false, std::memory_order_acquire)) resumeNow();
    for (int word = 0; word < PARAMETER_COUNT / 32; ++word) {
        uint32_t bits = pendingParameters[word].exchange(0, std::memory_order_acquire);
        while (bits) {
            const int bit = __builtin_ctz(bits);
            bits &= bits - 1;
            applyParameter(word * 32 + bit);
        }
    }
    if (xyDisplayRequested.exchange(false, std::memory_order_acquire))
        for (CControl* pad : ctl.xyDisplay)
            if (pad) pad->invalid();
}

// ------------------------------------------------------------------------------------- idle

CView* uEditor::viewUnderMouse() const {
    CView* view = editControl ? static_cast<CView*>(editControl) : frame->getCurrentView();
    for (CViewContainer* container : blockContainer)
        if (view && view == container) view = container->getCurrentView();
    return view;
}

void uEditor::idle() {
    APlugin* fx = plugin();
    if (!frame || !fx) return;
    const uint32_t now = getTicks();
    if (now - lastIdleTime < kIdleInterval) return;
    lastIdleTime = now;

    fx->saveLearnedControllers();
    reapLaunchedPrograms();
    takePublishedChanges();

    CView* under = viewUnderMouse();
    if (controlsReady && under && under == ctl.modDisplay) {
        frame->getCurrentLocation(dropPoint);
        dropMod();
    } else if (dropReleased) {
        dropTag = -1;
        dropReleased = false;
    }

    const bool edited = getEditChanged();
    if (controlsReady) {
        if (edited != editChangedShown && ctl.editedLamp) {
            editChangedShown = edited;
            ctl.editedLamp->setBackground(bitmaps[edited ? layout::BMP_LAMP_EDITED : layout::BMP_LAMP_CLEAN]);
            ctl.editedLamp->setDirty(true);
        }
        if (blocksChanged) showBlocks();
        if (modChanged && ctl.modDisplay) ctl.modDisplay->setDirty(true);
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            if (fx->getBlockType(b) != TYPE_GATER) continue;
            const int step = fx->getCurrentGaterSteps(b);
            if (step != gaterStepShown[b])
                for (CControl* grid : ctl.gater[b])
                    if (grid) grid->setDirty(true);
            gaterStepShown[b] = step;
        }
        if (ctl.equalFeedPicture) {
            const bool equal = fx->getParameter(DELAY_EQUAL_FEED_PARAM) >= 0.5f;
            ctl.equalFeedPicture->setBackground(
                bitmaps[equal ? layout::BMP_EQUAL_FEED_ON : layout::BMP_EQUAL_FEED_OFF]);
            ctl.equalFeedPicture->setDirty(true);
            for (int i = 0; i < readoutCount; ++i)
                if (readouts[i]->getTag() == DELAY_CROSS_FEEDBACK_PARAM) {
                    readouts[i]->setDimmed(equal);
                    readouts[i]->setDirty(true);
                }
        }
        if (now - lastRefreshTime >= kRefreshInterval) {
            if (ctl.presetMenu) ctl.presetMenu->setDirty(true);
            if (ctl.bankDisplay) ctl.bankDisplay->setDirty(true);
            lastRefreshTime = lastIdleTime;
        }
    }
    editChangedShown = edited;
    blocksChanged = false;
    modChanged = false;
    if (controlsReady) refreshReadouts();
    AEffGUIEditor::idle();
}

void uEditor::refreshReadouts() {
    APlugin* fx = plugin();
    char text[64];
    for (int i = 0; i < readoutCount; ++i) {
        const long tag = readouts[i]->getTag();
        if (tag < 0 || tag >= RELOAD_PRESET_PARAM) continue;
        text[0] = '\0';
        fx->getParameterDisplay(static_cast<int>(tag), text);
        if (std::strcmp(text, readoutText[i]) != 0) {
            readouts[i]->invalid();
            readouts[i]->setString(text);
            readouts[i]->setDirty(true);
        }
        std::snprintf(readoutText[i], sizeof readoutText[i], "%s", text);
    }
}

// ----------------------------------------------------------------------- modulation drop

void uEditor::setDropTag(int tag) {
    APlugin* fx = plugin();
    dropTag = tag;
    dropValue = fx ? fx->getParameter(tag) : 0.0f;
    dropReleased = false;
}

void uEditor::releasedDropDial() {
    dropReleased = true;
}

void uEditor::dropMod() {
    APlugin* fx = plugin();
    if (!dropReleased || !fx) return;
    fx->setParameter(dropTag, dropValue);  // the drag over the knob must not change it
    if (dropTag >= 0 && dropTag < RELOAD_PRESET_PARAM && fx->paramModDestination[dropTag] != -1) {
        for (int slot = 0; slot < MOD_SLOT_COUNT; ++slot) {
            if (fx->getModDestination(slot) != 0) continue;
            fx->setModVariables(slot, false, 0.5f, -1, fx->paramModDestination[dropTag]);
            modChanged = true;
            break;
        }
    }
    dropTag = -1;
    dropReleased = false;
}

// ---------------------------------------------------------------------- wheel, keys, steps

bool uEditor::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    APlugin* fx = plugin();
    if (!frame || !fx) return true;
    CView* target = viewUnderMouse();
    if (target && target == ctl.modDisplay) {
        // The matrix takes the wheel itself, for the row under the pointer.
        frame->getCurrentLocation(dropPoint);
        ctl.modDisplay->onWheel(where, distance, buttons);
        return true;
    }
    for (int i = 0; i < controlCount; ++i) {
        if (controls[i] != target || controls[i]->getTag() >= kNoTextMenu) continue;
        const int tag = static_cast<int>(controls[i]->getTag());
        if (controlIsMenu[i]) {
            if (distance != 0.0f)
                stepMenu(static_cast<TOptionMenu*>(controls[i]), tag, distance > 0.0f ? 1 : -1);
            break;
        }
        // Shift gives the fine step, as in a drag.
        const float step = distance / 20.0f * ((buttons & kShift) ? 0.1f : 1.0f);
        fx->setParameter(tag, std::clamp(fx->getParameter(tag) + step, 0.0f, 1.0f));
        break;
    }
    return true;
}

// A wheel notch over an option menu: one option, as the menu's arrows step. A menu of plain
// entries steps through them by its own scale (the Low-Fi filter has no option stepping in the
// effect); one of groups (the filter modes) leaves it to the effect.
void uEditor::stepMenu(TOptionMenu* menu, int tag, int step) {
    APlugin* fx = plugin();
    const float steps = menuSteps[tag];
    bool grouped = false;
    for (int e = 0; e < menu->getNbEntries(); ++e) grouped = grouped || menu->getSubMenu(e) != nullptr;
    if (grouped || steps <= 0.0f || menu->getNbEntries() == 0)
        return fx->changeDelta(tag, static_cast<float>(step));
    const int current = APlugin::getPlayedChoice(tag, fx->getParameter(tag));
    const int option = std::clamp(current + step, 0, menu->getNbEntries() - 1);
    fx->setParameter(tag, (static_cast<float>(option) + 0.1f) / steps);
}

bool uEditor::presetStepAllowed() {
    const uint32_t now = getTicks();
    stepRequestTime = now;
    // A last step in the future means the tick counter wrapped.
    if (static_cast<int32_t>(lastStepTime - now) > 0) lastStepTime = now - (kPresetStepGuard + 1);
    if (now - lastStepTime < kPresetStepGuard) return false;
    lastStepTime = now;
    return true;
}

void uEditor::changeProgramDelta(int delta) {
    APlugin* fx = plugin();
    if (fx && presetStepAllowed()) fx->changeDemoProgramDelta(delta);
}

void uEditor::changeFolderDelta(int) {}

// ------------------------------------------------------------------- control to effect

void uEditor::valueChanged(CControl* control) {
    APlugin* fx = plugin();
    if (!frame || !fx || !control) return;
    const int tag = static_cast<int>(control->getTag());
    const float value = control->getValue();
    const bool pressed = value > 0.5f;
    char text[256] = {};

    if (control == ctl.presetMenu) {
        ctl.presetMenu->getCurrent(text, true);
        if (std::strcmp(text, "Default Preset") == 0)
            fx->defaultProgram();
        else if (std::strcmp(text, "Revert to Original Preset") == 0)
            fx->origProgram();
        else if (std::strcmp(text, "Revert to Edited Preset") == 0)
            fx->editProgram();
        else if (std::strcmp(text, "Set To 100% Screen") == 0)
            setScreenSize(0);
        else if (std::strcmp(text, "Set To 150% Screen") == 0)
            setScreenSize(1);
        else if (std::strcmp(text, "Set To 200% Screen") == 0)
            setScreenSize(2);
        updatePresetMenu();
        return;
    }
    for (int sub = 0; sub < PRESET_SUB_MENU_COUNT; ++sub) {
        if (control != ctl.presetSubMenu[sub]) continue;
        const long entry = ctl.presetSubMenu[sub]->getCurrent();
        if (entry >= 0) fx->setDemoProgram(static_cast<int>(entry) + 32 * sub);
        return;
    }
    if (control == ctl.presetPrev || control == ctl.presetNext) {
        if (pressed && presetStepAllowed()) fx->changeDemoProgramDelta(control == ctl.presetPrev ? -1 : +1);
        return;
    }
    if (control == ctl.revertButton) {
        if (pressed) fx->origProgram();
        return;
    }
    if (control == ctl.editedLamp) {
        if (pressed) fx->editProgram();
        return;
    }
    if (control == ctl.midiMapMenu) {
        ctl.midiMapMenu->getCurrent(text, true);
        if (std::strcmp(text, "Load ECS") == 0)
            fx->loadECS();
        else if (std::strcmp(text, "Save ECS") == 0)
            fx->saveECS();
        else if (std::strcmp(text, "Clear MIDI") == 0)
            fx->clearMidi();
        return;
    }
    if (control == ctl.manualButton) {
        if (pressed) openManual();
        return;
    }
    if (control == ctl.resetButton) {
        if (pressed) {
            fx->resetEverything();
            fx->resetXYS();
        }
        return;
    }
    if (control == ctl.settingsButton) {
        if (pressed) showBackside();
        return;
    }
    if (control == ctl.backsideButton) {
        if (pressed) hideBackside();
        return;
    }
    if (control == ctl.pathMenu)
        return setMenuVar(tag, static_cast<int>(ctl.pathMenu->getCurrent()), menuSteps[tag]);
    if (handleBlockControl(control, tag)) return;
    if (tag == DELAY_MONO_PARAM) {
        fx->setParameterAutomated(tag, value);
        if (pressed) fx->setParameter(DELAY_RIGHT_PARAM, fx->getParameter(DELAY_LEFT_PARAM));
        return;
    }
    if (tag == DELAY_LEFT_PARAM || tag == DELAY_RIGHT_PARAM) {
        fx->setParameterAutomated(tag, value);
        if (fx->getParameter(DELAY_MONO_PARAM) > 0.5f)
            fx->setParameterAutomated(tag == DELAY_LEFT_PARAM ? DELAY_RIGHT_PARAM : DELAY_LEFT_PARAM, value);
        return;
    }
    if (tag == TRIGGER_PARAM) return fx->setParameterAutomated(TRIGGER_PARAM, 1.0f);
    if (control == ctl.followerMenu)
        return setMenuVar(tag, static_cast<int>(ctl.followerMenu->getCurrent()), menuSteps[tag]);
    for (int i = 0; i < layout::SETTINGS_TOGGLE_COUNT; ++i) {
        if (control != ctl.settingsToggle[i]) continue;
        const char* key = layout::SETTINGS_KEYS[i];
        if (i == 0) useKeys = pressed;
        if (i < 3) {
            setBackRegValue(key, pressed);
        } else if (pressed) {
            for (int j = 3; j < layout::SETTINGS_TOGGLE_COUNT; ++j)
                setBackRegValue(layout::SETTINGS_KEYS[j], j == i);
            showBackside();
        } else {
            // A click on the chosen size keeps it chosen: one of the three always shows on.
            control->setValue(1.0f);
            control->setDirty(true);
        }
        return;
    }
    if (tag < kNoTextMenu) fx->setParameterAutomated(tag, value);
}

// Rows of the per-Block menus and radios; true when the control was one of them.
bool uEditor::handleBlockControl(CControl* control, int tag) {
    APlugin* fx = plugin();
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        TOptionMenu* const panelMenus[] = {ctl.blockTypeMenu[b],  ctl.combMenu[b],       ctl.shaperMenu[b],
                                           ctl.lowfiMenu[b],      ctl.gaterStepsMenu[b], ctl.gaterLoopMenu[b],
                                           ctl.gaterSpeedMenu[b], ctl.grainModeMenu[b]};
        for (TOptionMenu* menu : panelMenus) {
            if (control != menu) continue;
            setMenuVar(tag, static_cast<int>(menu->getCurrent()), menuSteps[tag]);
            blocksChanged = true;
            return true;
        }
        bool filter = control == ctl.filterMenu[b];
        for (TOptionMenu* sub : ctl.filterSubMenu[b]) filter = filter || control == sub;
        if (filter) {
            char text[256] = {};
            static_cast<TOptionMenu*>(control)->getCurrent(text, true);
            for (int i = 0; i < FILTER_MODE_STR_COUNT; ++i) {
                if (std::strcmp(text, FILTER_MODE_STR[i]) != 0) continue;
                fx->setParameter(
                    tag, (static_cast<float>(i) + 0.1f) / CHOICE_SLOTS[static_cast<std::size_t>(tag)].scale);
                blocksChanged = true;
                break;
            }
            return true;
        }
        for (int m = 0; m < 3; ++m) {
            if (control != ctl.xyRecordRadio[b][m]) continue;
            fx->setChoice(XY_RECORD_MODE_TAG[b], m);
            resume();
            return true;
        }
        for (TOptionMenu* menu : ctl.xyMenus(b)) {
            if (control != menu) continue;
            setMenuVar(tag, static_cast<int>(menu->getCurrent()), menuSteps[tag]);
            return true;
        }
    }
    return false;
}

void uEditor::setScreenSize(int size) {
    static const char* const KEYS[3] = {"Big100", "Big150", "Big200"};
    static const char* const NAMES[3] = {"100%", "150%", "200%"};
    for (int i = 0; i < 3; ++i) setBackRegValue(KEYS[i], i == size);
    char message[128];
    std::snprintf(message, sizeof message, "When you next open Tarnwell, it'll open in %s Screen Mode",
                  NAMES[size]);
    messageBox(message, 2);
}

// The manual lives in the application's data folder, where the effect's helpPath points; the
// bundle carries the copy installed there.
void uEditor::openManual() {
    if (APlugin* fx = plugin()) showManual(fx->helpPath, tarnwell::gui::resourceFolder(), documentOpener);
}
