// The editor opened offscreen on the real artwork: layout at every size, routing through
// clicks, drags and wheel steps, the pages and the open/close lifecycle.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "effect/OptionStrings.h"
#include "tests/editor/EditorHarness.h"
#include "tests/effect/MidiEvents.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempFolder.h"

using namespace tarnwell::test;
using namespace layout;

namespace {

TReadout& readoutFor(const uEditor& editor, long tag) {
    for (int i = 0; i < editor.getReadoutCount(); ++i)
        if (editor.getReadout(i)->getTag() == tag) return *editor.getReadout(i);
    ADD_FAILURE() << "no readout for " << tag;
    return *editor.getReadout(0);
}

std::vector<std::string> recordedPaths;
bool recordOpen(const char* path) {
    recordedPaths.emplace_back(path);
    return true;
}

}  // namespace

TEST(EditorLayout, ControlsAtTheirScaledPlacesWithTheSizesBitmapsAndTheMenusFilled) {
    for (int size = 0; size < SIZE_COUNT; ++size) {
        SCOPED_TRACE(size);
        EditorHarness h(size);
        const float s = GUI_SCALES[size];
        ERect* r = nullptr;
        h.editor->getRect(&r);
        EXPECT_EQ(CRect(r->left, r->top, r->right, r->bottom),
                  CRect(0, 0, scaled(WINDOW_W, s), scaled(WINDOW_H, s)));
        ASSERT_TRUE(h.open());
        EXPECT_FLOAT_EQ(h.editor->getFrame()->getContentScale(), s);  // pop-up menus scale with it
        // Each knob on its well with the size's strip, its readout right under it.
        for (int i = 0; i < KNOB_COUNT; ++i) {
            const KnobRow& row = KNOBS[i];
            const CRect& knob = h.ctl().knobs[i]->getViewSize();
            const CBitmap* strip = h.ctl().knobs[i]->getBackground();
            EXPECT_EQ(strip->getResourceId(), bitmapId(BMP_KNOB_FIRST + row.type, size));
            EXPECT_EQ(CPoint(knob.left, knob.top),
                      CPoint(scaled(row.x + OFF_X[row.type], s), scaled(row.y + OFF_Y[row.type], s)));
            const CRect& readout = h.editor->getReadout(i)->getViewSize();
            EXPECT_EQ(CPoint(readout.left, readout.top),
                      CPoint(knob.left,
                             knob.getHeight() + scaled(row.y + OFF_Y[row.type] + LABEL_OFF_Y[row.type], s)));
        }
        // Positions truncate: the second Block sits at 287 units, 430 pixels at 150 %.
        const int blockLeft[SIZE_COUNT] = {287, 430, 574};
        EXPECT_EQ(h.editor->getBlockContainer(1)->getViewSize().left, blockLeft[size]);
        // Mode menus sit 0 / 2 / 3 pixels lower; the low-fi menu does not move.
        const int down[SIZE_COUNT] = {0, 2, 3};
        EXPECT_EQ(h.ctl().filterMenu[1]->getViewSize().top, scaled(67, s) + down[size]);
        EXPECT_EQ(h.ctl().combMenu[1]->getViewSize().top, scaled(67, s) + down[size]);
        EXPECT_EQ(h.ctl().lowfiMenu[1]->getViewSize().top, scaled(112, s));
        EXPECT_EQ(h.ctl().grainLinkButton[2]->getBackground()->getResourceId(),
                  bitmapId(BMP_ROUND_BUTTON, size));
        EXPECT_EQ(h.ctl().grainDryButton[2]->getBackground()->getResourceId(), bitmapId(BMP_TOGGLE, size));
        EXPECT_EQ(h.ctl().bypassButton->getBackground()->getResourceId(), bitmapId(BMP_BYPASS, size));
    }

    // The bank in sub-menus of 32, then the commands; the filter group covers all its modes.
    EditorHarness h;
    ASSERT_TRUE(h.open());
    EXPECT_EQ(entriesOf(*h.ctl().presetMenu).back(), "Set To 200% Screen");
    const int presets[] = {32, FACTORY_PRESET_COUNT - 32, 0, 0};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.ctl().presetSubMenu[i]->getNbEntries(), presets[i]);
    EXPECT_EQ(entriesOf(*h.ctl().presetSubMenu[1])[0], h.fx->getPresetName(32));
    int modes = 1;  // one plain entry, the rest in sub-menus
    for (const TOptionMenu* sub : h.ctl().filterSubMenu[0]) modes += sub->getNbEntries();
    EXPECT_EQ(modes, FILTER_MODE_STR_COUNT);
}

TEST(EditorRouting, KnobDragsShiftDoubleClickAndWheelReachTheEffect) {
    EditorHarness h;
    h.openMain();
    TKnob* knob = h.ctl().knobs[2];  // Delay Feedback
    const int tag = static_cast<int>(knob->getTag());
    h.fx->setParameter(tag, 0.2f);
    h.idle();
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);

    // Shift pressed: no jump where it was pressed, then 1/50 of the speed; released: full speed
    // again from where the value is; limited at the top.
    const CPoint at = EditorHarness::centre(knob);
    h.parent.mouseDown(at);
    for (auto [dy, buttons, expected] : {std::tuple{100, long{kLButton}, 0.7f},
                                         {110, kLButton | kShift, 0.75f},
                                         {160, kLButton | kShift, 0.755f},
                                         {170, kLButton, 0.756f},
                                         {200, kLButton, 0.906f},
                                         {400, kLButton, 1.0f}}) {
        h.parent.mouseMoved(CPoint(at.x, at.y - dy), buttons);
        EXPECT_NEAR(h.fx->getParameter(tag), expected, 1e-5) << dy;
    }
    h.parent.mouseUp(CPoint(at.x, at.y - 400));
    EXPECT_FALSE(knob->isEditing());

    h.parent.click(at, kLButton | kDoubleClick);
    EXPECT_FLOAT_EQ(h.fx->getParameter(tag), h.fx->getDefaultValue(tag));

    h.fx->setParameter(tag, 0.5f);
    h.parent.wheel(at, 2.0f);
    EXPECT_FLOAT_EQ(h.fx->getParameter(tag), 0.6f);  // distance / 20, straight to the effect

    // The readout follows at the next idle, and only a changed text repaints it.
    h.idle();
    char text[64];
    h.fx->getParameterDisplay(tag, text);
    TReadout& readout = readoutFor(*h.editor, tag);
    EXPECT_EQ(readout.getString(), text);
    h.editor->getFrame()->doIdleStuff();
    h.idle();
    EXPECT_FALSE(readout.isDirty());
}

TEST(EditorRouting, AWheelNotchStepsAMenuOneOptionAndShiftStepsAKnobFinely) {
    EditorHarness h;
    h.openMain();
    auto& fx = *h.fx;
    const CPoint knob = EditorHarness::centre(h.ctl().knobs[2]);  // Delay Feedback
    const int feedback = static_cast<int>(h.ctl().knobs[2]->getTag());
    fx.setParameter(feedback, 0.5f);
    h.parent.wheel(knob, 1.0f, kShift);
    EXPECT_FLOAT_EQ(fx.getParameter(feedback), 0.505f);
    h.parent.wheel(knob, -1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(feedback), 0.455f);

    // One option a notch, whatever the menu's range, and no further than its ends.
    fx.setParameter(XY_SPEED_MOD_SOURCE_TAG[0], choice(0, 99.99f));
    fx.setParameter(BLOCK_TYPE_TAG[1], choice(1, 6.99f));
    h.idle();
    const CPoint source = EditorHarness::centre(h.ctl().xySpeedSourceMenu[0]);
    h.parent.wheel(source, 1.0f);
    EXPECT_EQ(fx.getSteppedValue(XY_SPEED_MOD_SOURCE_TAG[0], 99.99f, MOD_SOURCE_STR_COUNT), 1);
    h.parent.wheel(source, -1.0f);
    h.parent.wheel(source, -1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(XY_SPEED_MOD_SOURCE_TAG[0]), choice(0, 99.99f));
    h.parent.wheel(EditorHarness::centre(h.ctl().blockTypeMenu[1]), 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(BLOCK_TYPE_TAG[1]), choice(2, 6.99f));
    EXPECT_EQ(fx.getBlockType(1), 2);

    // Point Quant plays option 1 just below option 2's value: the menu shows and steps from it.
    fx.setParameter(XY_POINT_QUANT_TAG[0], 1.95f / 4.99f);
    h.idle();
    EXPECT_EQ(h.ctl().xyPointMenu[0]->getValue(), 1.0f);
    h.parent.wheel(EditorHarness::centre(h.ctl().xyPointMenu[0]), 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(XY_POINT_QUANT_TAG[0]), choice(2, 4.99f));

    // The Low-Fi filter (plain entries the effect does not step) and the grouped filter modes.
    fx.setParameter(BLOCK_TYPE_TAG[0], choice(3, 6.99f));
    fx.setParameter(SHAPER_MODE_TAG[0], choice(5, 9.0f));
    fx.setParameter(SHAPER_LOWFI_FILTER_TAG[0], choice(0, 4.0f));
    h.idle();
    h.parent.wheel(EditorHarness::centre(h.ctl().lowfiMenu[0]), 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(SHAPER_LOWFI_FILTER_TAG[0]), choice(1, 4.0f));
    fx.setParameter(BLOCK_TYPE_TAG[0], choice(1, 6.99f));
    fx.setParameter(FILTER_MODE_TAG[0], choice(3, 40.0f));
    h.idle();
    h.parent.wheel(EditorHarness::centre(h.ctl().filterMenu[0]), -1.0f);
    EXPECT_EQ(fx.getFilterMode(0), 2);
}

TEST(EditorRouting, ButtonsAndMenusFollowTheirRows) {
    EditorHarness h;
    h.openMain();
    auto& fx = *h.fx;

    // Delay Mono on copies Left into Right; with Mono on, Left drags Right along.
    fx.setParameter(DELAY_MONO_PARAM, 0.0f);
    fx.setParameter(DELAY_LEFT_PARAM, 0.3f);
    fx.setParameter(DELAY_RIGHT_PARAM, 0.8f);
    h.idle();
    h.click(h.ctl().delayMonoButton);
    EXPECT_FLOAT_EQ(fx.getParameter(DELAY_MONO_PARAM), 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(DELAY_RIGHT_PARAM), 0.3f);
    CPoint left = EditorHarness::centre(h.ctl().knobs[0]);
    h.parent.mouseDown(left);
    h.parent.mouseMoved(CPoint(left.x, left.y - 20));
    h.parent.mouseUp(CPoint(left.x, left.y - 20));
    EXPECT_NEAR(fx.getParameter(DELAY_RIGHT_PARAM), 0.4f, 1e-5);

    // Trigger sends 1 on every click, whether the button turned on or off.
    for (int i = 0; i < 2; ++i) {
        fx.setParameter(TRIGGER_PARAM, 0.0f);
        h.click(h.ctl().triggerButton);
        EXPECT_FLOAT_EQ(fx.getParameter(TRIGGER_PARAM), 1.0f);
    }

    // Record-mode radios: the clicked one selects the mode; the others go off.
    h.click(h.ctl().xyRecordRadio[1][2]);
    EXPECT_EQ(fx.getXYRecordMode(1), 2);
    EXPECT_FLOAT_EQ(h.ctl().xyRecordRadio[1][0]->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(h.ctl().xyRecordRadio[1][2]->getValue(), 1.0f);

    // Arrows step the Path choice and stop at its ends; the middle opens the pop-up.
    fx.setParameter(PATH_PARAM, choice(0, 5.99f));
    const CRect path = h.ctl().pathMenu->getViewSize();
    const int y = (path.top + path.bottom) / 2;
    h.parent.click(CPoint(path.right - 19, y));
    EXPECT_EQ(fx.getPath(), 1);
    h.parent.click(CPoint(path.left + 19, y));
    h.parent.click(CPoint(path.left + 19, y));
    EXPECT_EQ(fx.getPath(), 0);
    h.parent.chooseMenuEntry(PATH_STR[4]);
    h.parent.click(CPoint(path.left + 20, y));
    EXPECT_EQ(fx.getPath(), 4);

    // A filter mode chosen in a sub-menu reaches the effect (through the editor as listener).
    fx.setParameter(BLOCK_TYPE_TAG[0], choice(1, 6.99f));
    h.idle();
    h.parent.chooseMenuEntry(FILTER_MODE_STR[34]);
    h.click(h.ctl().filterMenu[0]);
    EXPECT_EQ(fx.getFilterMode(0), 34);

    // A bank sub-menu loads the preset by its place in the bank.
    h.parent.chooseMenuEntry(fx.getPresetName(40));
    h.click(h.ctl().presetMenu);
    EXPECT_EQ(fx.currentFactoryPreset.load(), 40);

    // The MIDI map menu saves the controller map where the chooser says.
    const std::string ecs = h.prefs.userFolder() + "/map.ecs";
    h.dialogs.push({ScriptedDialogs::Answer::File, ecs});
    h.parent.chooseMenuEntry("Save ECS");
    h.click(h.ctl().midiMapMenu);
    EXPECT_TRUE(std::filesystem::exists(ecs));

    // The edited lamp follows the effect's edited state.
    fx.setParameter(DELAY_MIX_PARAM, fx.getParameter(DELAY_MIX_PARAM) < 0.5f ? 0.9f : 0.1f);
    ASSERT_TRUE(fx.getEditChanged());
    h.idle();
    EXPECT_EQ(h.ctl().editedLamp->getBackground(), h.editor->getBitmap(BMP_LAMP_EDITED));
    h.click(h.ctl().revertButton);
    h.idle();
    EXPECT_FALSE(fx.getEditChanged());
    EXPECT_EQ(h.ctl().editedLamp->getBackground(), h.editor->getBitmap(BMP_LAMP_CLEAN));
}

TEST(EditorRouting, PresetStepsKeepThe333msGuardAcrossATickWrap) {
    EditorHarness h;
    h.openMain();
    h.fx->setDemoProgram(10);
    testTicks() += 1000;
    h.click(h.ctl().presetNext);
    testTicks() += 300;
    h.click(h.ctl().presetNext);  // too soon
    EXPECT_EQ(h.fx->currentFactoryPreset.load(), 11);
    testTicks() += 40;
    h.parent.keyDown(VstKeyCode{0, VKEY_UP, 0});
    EXPECT_EQ(h.fx->currentFactoryPreset.load(), 10);
    testTicks() = 5;  // wrapped: the last step lies in the future
    h.click(h.ctl().presetPrev);
    EXPECT_EQ(h.fx->currentFactoryPreset.load(), 9);
}

TEST(EditorRouting, EffectChangesFromAnotherThreadArriveAtIdle) {
    EditorHarness h;
    h.openMain();
    std::thread render([&] {
        for (int i = 0; i < 200; ++i) {
            h.fx->setParameter(DELAY_FEEDBACK_PARAM, static_cast<float>(i % 10) / 10.0f);
            h.fx->setParameter(BLOCK_TYPE_TAG[2], choice(i % 7, 6.99f));
            h.editor->updateXYDisplay();
            h.editor->resume();
        }
        h.fx->setParameter(DELAY_FEEDBACK_PARAM, 0.25f);
        h.fx->setParameter(BLOCK_TYPE_TAG[2], choice(4, 6.99f));
    });
    for (int i = 0; i < 50; ++i) h.idle();
    render.join();
    h.idle();
    EXPECT_FLOAT_EQ(h.ctl().knobs[2]->getValue(), 0.25f);
    EXPECT_EQ(h.editor->getBlockContainer(2)->getBackground(), h.editor->getBitmap(BMP_PANEL_ROOM));
}

// A controller learned on the render thread reaches the preferences at the editor's next idle,
// and one learned after that when the window closes.
TEST(EditorRouting, LearnedControllersAreSavedAtIdleAndAtClose) {
    EditorHarness h;
    h.openMain();
    float buffer[32] = {};
    float* io[2] = {buffer, buffer};
    for (const uint8_t cc : {40, 41}) {
        h.fx->setMidiLatch(FILTER_FREQ_TAG[0], true);
        MidiEventList learn({{0, 0xB0, cc, 64}});
        h.fx->processEvents(learn.get());
        h.fx->processReplacing(io, io, 32);
        EXPECT_EQ(getMidiCC(cc), 0);
        if (cc == 40)
            h.idle();
        else
            h.editor->close();
        EXPECT_EQ(getMidiCC(cc), FILTER_FREQ_TAG[0]) << int(cc);
    }
}

TEST(EditorPages, SettingsTogglesPersistTheManualOpensAndTheSizeTakesEffectAtTheNextOpen) {
    EditorHarness h;
    ASSERT_TRUE(h.open());
    EXPECT_TRUE(h.editor->isBacksideShown());

    h.click(h.ctl().settingsToggle[0]);  // Key off
    EXPECT_FALSE(h.editor->getUseKeys());
    h.click(h.ctl().settingsToggle[2]);  // MidiBank off
    h.click(h.ctl().settingsToggle[5]);  // Big200 on: the others off
    EXPECT_FLOAT_EQ(h.ctl().settingsToggle[3]->getValue(), 0.0f);
    h.idle();
    const CPoint big = EditorHarness::centre(h.ctl().settingsToggle[5]);
    const CColor chosen = h.parent.pixel(big.x, big.y);
    h.click(h.ctl().settingsToggle[5]);  // a click on the chosen size keeps it chosen, and drawn so
    h.idle();
    EXPECT_FLOAT_EQ(h.ctl().settingsToggle[5]->getValue(), 1.0f);
    EXPECT_EQ(h.parent.pixel(big.x, big.y), chosen);
    char text[8];
    for (auto [key, expected] :
         {std::pair{"Key", "N"}, {"MidiBank", "N"}, {"Big100", "N"}, {"Big200", "Y"}}) {
        loadStringFromPrefs(key, text, sizeof text);
        EXPECT_STREQ(text, expected) << key;
    }
    h.parent.click(CPoint(5, 5));
    EXPECT_FALSE(h.editor->isBacksideShown());
    h.click(h.ctl().settingsButton);
    EXPECT_TRUE(h.editor->isBacksideShown());
    h.parent.click(CPoint(5, 5));

    // The manual is installed on first use and opened.
    recordedPaths.clear();
    uEditor::setDocumentOpener(&recordOpen);
    std::filesystem::remove(h.fx->helpPath);
    h.click(h.ctl().manualButton);
    uEditor::setDocumentOpener(nullptr);
    EXPECT_EQ(recordedPaths, std::vector<std::string>{h.fx->helpPath});
    std::ifstream manual(h.fx->helpPath);
    std::string first;
    std::getline(manual, first);
    EXPECT_EQ(first, "<!doctype html>");

    // The preset menu's size entries store the size and say so.
    h.parent.chooseMenuEntry("Set To 150% Screen");
    h.click(h.ctl().presetMenu);
    ASSERT_EQ(h.dialogs.asked.size(), 1u);
    EXPECT_EQ(h.dialogs.asked[0].text, "When you next open Tarnwell, it'll open in 150% Screen Mode");
    h.editor->close();
    h.fx.reset();
    h.fx = std::make_unique<APlugin>(RecordingHost::callback());
    h.editor = dynamic_cast<uEditor*>(h.fx->getEditor());
    EXPECT_EQ(h.editor->getGuiSize(), 1);
    EXPECT_FALSE(h.editor->getUseKeys());
}

TEST(EditorPages, TheManualIsRefreshedFromANewerBundleAndAMessageNamesItWhenNothingShowsIt) {
    EditorHarness h;
    h.openMain();
    namespace fs = std::filesystem;
    const fs::path manual = h.fx->helpPath;
    const fs::path bundled = fs::path(TARNWELL_RESOURCES_DIR) / manual.filename();
    const auto firstLine = [](const fs::path& file) {
        std::ifstream in(file);
        std::string line;
        std::getline(in, line);
        return line;
    };
    // An older copy in the data folder is replaced by the bundle's; a newer one is kept.
    fs::create_directories(manual.parent_path());
    std::ofstream(manual) << "old manual\n";
    fs::last_write_time(manual, fs::last_write_time(bundled) - std::chrono::hours(1));
    recordedPaths.clear();
    uEditor::setDocumentOpener(&recordOpen);
    h.click(h.ctl().manualButton);
    EXPECT_EQ(firstLine(manual), "<!doctype html>");
    std::ofstream(manual) << "my own notes\n";
    fs::last_write_time(manual, fs::last_write_time(bundled) + std::chrono::hours(1));
    h.click(h.ctl().manualButton);
    uEditor::setDocumentOpener(nullptr);
    EXPECT_EQ(firstLine(manual), "my own notes");
    EXPECT_EQ(recordedPaths.size(), 2u);
    EXPECT_TRUE(h.dialogs.asked.empty());

    // The desktop's opener: missing, failing, then there.
    TempFolder bin;
    ScopedEnvironment environment;
    environment.set("PATH", bin.path("").c_str());
    h.click(h.ctl().manualButton);
    const fs::path opener = bin.path("xdg-open");
    std::ofstream(opener) << "#!/bin/sh\nexit 4\n";
    fs::permissions(opener, fs::perms::owner_all);
    h.click(h.ctl().manualButton);
    ASSERT_EQ(h.dialogs.asked.size(), 2u);
    for (const auto& asked : h.dialogs.asked) EXPECT_NE(asked.text.find(manual.string()), std::string::npos);
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > \"${0%/*}/shown\"\n";
    h.click(h.ctl().manualButton);
    EXPECT_EQ(h.dialogs.asked.size(), 2u);
    EXPECT_EQ(firstLine(bin.path("shown")), manual.string());
}

TEST(EditorPages, AChosenSizeTooLargeForTheScreenOpensAtTheLargestThatFitsAndSaysSo) {
    EditorHarness h(2);  // 200 % chosen: 2200 x 1460
    struct RoomReset {
        ~RoomReset() { tarnwell::gui::setWindowRoom(0, 0); }
    } reset;
    ERect* r = nullptr;
    for (auto [roomW, roomH, size] :
         {std::tuple{1920, 1053, 0}, {1920, 1200, 1}, {2560, 1440, 1}, {0, 0, 2}}) {
        tarnwell::gui::setWindowRoom(roomW, roomH);
        h.editor->getRect(&r);
        EXPECT_EQ(r->right, scaled(WINDOW_W, GUI_SCALES[size])) << roomW << " x " << roomH;
        EXPECT_EQ(r->bottom, scaled(WINDOW_H, GUI_SCALES[size])) << roomW << " x " << roomH;
    }

    // Opened on a 1920 x 1053 work area: 100 %, said on the settings page and on standard error;
    // the choice stays 200 %, and shows so.
    tarnwell::gui::setWindowRoom(1920, 1053);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(h.open());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(
        said,
        "Tarnwell: the 200 % window (2200 x 1460) does not fit this screen (1920 x 1053 free); it opens at "
        "100 % (1100 x 730). The chosen size stays 200 %.\n");
    EXPECT_EQ(h.editor->getGuiSize(), 0);
    EXPECT_EQ(h.editor->getChosenSize(), 2);
    EXPECT_EQ(h.editor->getFrame()->getViewSize().getWidth(), 1100);
    ASSERT_NE(h.ctl().sizeNote, nullptr);
    EXPECT_EQ(h.ctl().sizeNote->getString(),
              "Window 200 % does not fit this screen (1920 x 1053 free): shown at 100 %");
    EXPECT_EQ(h.ctl().sizeNote->getParentView(), h.editor->getFrame());
    for (int i = 0; i < 3; ++i)  // also where only "Big200" is stored and 100 % is the default
        EXPECT_FLOAT_EQ(h.ctl().settingsToggle[3 + i]->getValue(), i == 2 ? 1.0f : 0.0f) << i;
    char text[8];
    loadStringFromPrefs("Big200", text, sizeof text);
    EXPECT_STREQ(text, "Y");
    // A click on the note shows the controls, as anywhere on the page.
    h.click(h.ctl().sizeNote);
    EXPECT_FALSE(h.editor->isBacksideShown());
    h.editor->close();

    // With room enough nothing is said.
    tarnwell::gui::setWindowRoom(2560, 1600);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(h.open());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(h.editor->getGuiSize(), 2);
    EXPECT_EQ(h.ctl().sizeNote, nullptr);
}

TEST(EditorLifecycle, OpenCloseCyclesReleaseEverything) {
    EditorHarness h;
    for (int cycle = 0; cycle < 3; ++cycle) {
        h.openMain();
        EXPECT_EQ(h.fx->editorIsOpen, 1);
        EXPECT_TRUE(h.fx->isEditorOpen());
        EXPECT_GT(h.editor->getControlCount(), 390);
        h.editor->close();
        EXPECT_FALSE(h.fx->isEditorOpen());
        EXPECT_EQ(h.editor->getControlCount(), 0);
        EXPECT_EQ(h.ctl().presetMenu, nullptr);
        EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
        // Notices while closed are harmless.
        h.fx->setParameter(BYPASS_PARAM, 1.0f);
        h.editor->idle();
    }
    EXPECT_FLOAT_EQ(h.editor->getMenuSteps(PATH_PARAM), 5.99f);  // kept between opens

    // An effect deleted with its window open takes the window down with it.
    h.openMain();
    h.fx.reset();
    EXPECT_EQ(tarnwell::gui::bitmapMemory(), 0);
    EXPECT_EQ(h.parent.frame(), nullptr);
}
