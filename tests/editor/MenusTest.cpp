// The context menus, opened the way the user opens them: their entries in a given state, and
// every entry run. An effect driven through a menu must end exactly where a twin effect in the
// same state ends when given the entry's command directly; a cancelled prompt changes nothing.

#include <cmath>
#include <functional>

#include "editor/controls/TXYDisplay.h"
#include "effect/MenuCommands.h"
#include "effect/OptionStrings.h"
#include "tests/editor/EditorHarness.h"

using namespace tarnwell::test;

namespace {

using Action = std::function<void(APlugin&)>;
using Kind = ScriptedDialogs::Answer::Kind;
constexpr Kind kNone = ScriptedDialogs::Answer::Ok, kTyped = ScriptedDialogs::Answer::Text,
               kCancel = ScriptedDialogs::Answer::Cancel;

// An entry as shown, what choosing it must do (nothing: it cannot be chosen) and the answers its
// dialog gets on both sides ("30" when typed), one run each.
struct Row {
    std::string text;
    Action act = nullptr;
    std::vector<Kind> answers = {kNone};
};

Action block(int command, int b, int target = -1, int side = -1) {
    return [=](APlugin& fx) { fx.doBlockCommand(command, b, target, side); };
}

std::vector<float> stateOf(APlugin& fx) {
    std::vector<float> state;
    for (int i = 0; i < PARAMETER_COUNT; ++i) state.push_back(fx.getParameter(i));
    for (int cc = 0; cc < APlugin::MidiCCMap::CONTROLLERS; ++cc)
        state.push_back(static_cast<float>(fx.midiMap.ccToParam[cc]));
    state.push_back(static_cast<float>(fx.midiMap.learnTarget) + (fx.midiMap.learnArmed ? 0.5f : 0.0f));
    return state;
}

struct Twins {
    EditorHarness h;
    APlugin twin{RecordingHost::callback()};
    uint32_t seed = 7;

    Twins() {
        h.openMain();
        // The same arbitrary sound in both: every Block parameter and the matrix.
        for (const auto& row : BLOCK_TAGS)
            for (int index : row) same(index);
        newMatrix();
    }

    // The next arbitrary value, set in both.
    void same(int index) {
        seed = seed * 1664525u + 1013904223u;
        for (APlugin* fx : {h.fx.get(), &twin})
            fx->setParameter(index, static_cast<float>(seed >> 8) / 16777216.0f);
    }
    // A matrix unlike any before it, in both.
    void newMatrix() {
        for (int index : APlugin::MOD_PARAMETERS) same(index);
    }

    // Checks what the menu that `open` opens shows, then runs each of its entries (each after
    // prepare, when given).
    void check(const std::function<void()>& open, const std::vector<Row>& rows,
               const std::function<void()>& prepare = nullptr) {
        std::vector<std::string> expected;
        for (const Row& r : rows) expected.push_back(r.text);
        EXPECT_EQ(h.menuShown(open), expected);
        for (const Row& r : rows)
            for (Kind answer : r.answers) {
                if (!r.act) break;
                SCOPED_TRACE(r.text);
                if (prepare) prepare();
                const size_t asked = h.dialogs.asked.size();
                const std::vector<float> before = stateOf(*h.fx);
                for (int side = 0; answer != kNone && side < 2; ++side) h.dialogs.push({answer, "30"});
                h.parent.chooseMenuEntry(r.text);
                open();
                r.act(twin);
                // Both sides asked the same, or neither did; what a cancelled question guards stays.
                ASSERT_EQ(h.dialogs.asked.size(), asked + (answer == kNone ? 0 : 2));
                const auto question = [&](size_t i) {
                    return h.dialogs.asked[i].title + h.dialogs.asked[i].request.title;
                };
                EXPECT_TRUE(answer == kNone || question(asked) == question(asked + 1));
                EXPECT_TRUE(answer != kCancel || stateOf(*h.fx) == before);
                if (stateOf(*h.fx) != stateOf(twin))
                    return ADD_FAILURE() << "the menu and the command differ";
            }
    }
};

}  // namespace

// The menus' entries stand as tables, several to a line, in the order the menu shows them.
// clang-format off

TEST(EditorMenus, BlockAndGaterMenusOfferTheirEntriesAndRunTheirCommands) {
    Twins t;
    t.check([&] { t.h.click(t.h.ctl().blockMenuButton[1]); },
            {{"-GBlock 2 Menu"}, {"-"}, {"Reset", block(BLOCK_RESET, 1)},
             {"Copy to Block 1", block(BLOCK_COPY, 1, 0)}, {"Copy to Block 3", block(BLOCK_COPY, 1, 2)},
             {"Swap with Block 1", block(BLOCK_SWAP, 1, 0)}, {"Swap with Block 3", block(BLOCK_SWAP, 1, 2)},
             {"Undo", block(BLOCK_UNDO, 1)}, {"-"},
             {"Load Block Preset", block(BLOCK_LOAD, 1), {kCancel}}, {"Save Block Preset", block(BLOCK_SAVE, 1), {kCancel}}});

    // Every gater command carries the side of the grid whose right click opened the menu.
    for (APlugin* fx : {t.h.fx.get(), &t.twin}) fx->setParameter(BLOCK_TYPE_TAG[2], choice(5, 6.99f));
    t.h.idle();
    auto gater = [](int command, int target = 0) { return block(command, 2, target, 1); };
    t.check([&] { t.h.click(t.h.ctl().gater[2][1], kRButton); },
            {{"-GBlock 3 Right Gater Menu"}, {"-"},
             {"Set To Default", gater(GATER_RESET)}, {"Set Gater On", gater(GATER_ALL_ON)}, {"Set Gater Off", gater(GATER_ALL_OFF)},
             {"Set Gater Channel On", gater(GATER_SIDE_ON)}, {"Set Gater Channel Off", gater(GATER_SIDE_OFF)},
             {"Copy To Other Channel", gater(GATER_COPY_SIDE)}, {"Swap with Other Channel", gater(GATER_SWAP_SIDES)},
             {"Copy To Block 1", gater(GATER_COPY, 0)}, {"Copy To Block 2", gater(GATER_COPY, 1)},
             {"Swap with Block 1", gater(GATER_SWAP, 0)}, {"Swap with Block 2", gater(GATER_SWAP, 1)}, {"-"},
             {"Invert", gater(GATER_INVERT)}, {"Reverse", gater(GATER_REVERSE)}, {"Move Forward", gater(GATER_FORWARD)},
             {"Move Backwards", gater(GATER_BACKWARD)}, {"-"}, {"Undo", gater(BLOCK_UNDO)}});
}

TEST(EditorMenus, XYMenuShowsEditStateGroupingAndLatchesAndRunsItsCommands) {
    Twins t;
    setMidiCC(5, XY_MIDI_X_TAG[0]);  // X bound to two controllers in the stored map: the last is named
    setMidiCC(9, XY_MIDI_X_TAG[0]);
    for (APlugin* fx : {t.h.fx.get(), &t.twin}) {
        fx->setAllMidiControls();
        fx->setParameter(XY_EDIT_TAG[0], 0.0f);
    }
    auto xy = [](int command, int target = -1) { return block(command, 0, target); };
    const std::vector<Kind> typed = {kTyped};  // the shapes from the diagonal on ask for a number
    t.check([&] { t.h.click(t.h.ctl().xyMenuButton[0]); },
            {{"-GBlock 1 XY Menu"}, {"-"}, {"Set Edit On", xy(XY_EDIT_ON)},
             {"Edit Grouping Single <<<"}, {"Edit Grouping Narrow"}, {"Edit Grouping Wide"}, {"-"},
             {"Reset All", xy(XY_RESET_ALL)}, {"Reset XY", xy(XY_RESET)},
             {"Copy to Block 2 XY", xy(XY_COPY, 1)}, {"Copy to Block 3 XY", xy(XY_COPY, 2)},
             {"Swap with Block 2 XY", xy(XY_SWAP, 1)}, {"Swap with Block 3 XY", xy(XY_SWAP, 2)}, {"-"},
             {"Set to Circle", xy(XY_CIRCLE)}, {"Set to Square", xy(XY_SQUARE)}, {"Set to Horizontal Line", xy(XY_HORIZONTAL)},
             {"Set to Vertical Line", xy(XY_VERTICAL)}, {"Set to Diagonal Line", xy(XY_DIAGONAL), typed},
             {"Set to Spiral In", xy(XY_SPIRAL_IN), typed}, {"Set to Spiral Out", xy(XY_SPIRAL_OUT), typed},
             {"Set to Sine Wave", xy(XY_SINE), typed}, {"Set to Square Wave", xy(XY_SQUARE_WAVE), typed},
             {"Set to Saw Wave Up", xy(XY_SAW_UP), typed}, {"Set to Saw Wave Down", xy(XY_SAW_DOWN), typed},
             {"Set to Triangle Wave", xy(XY_TRIANGLE), typed}, {"-"},
             {"Reverse", xy(XY_REVERSE)}, {"Flip Horizontally", xy(XY_FLIP_Y)}, {"Flip Vertically", xy(XY_FLIP_X)},
             {"Rotate", xy(XY_ROTATE), typed}, {"Snap to grid", xy(XY_GRID), typed}, {"Smooth", xy(XY_SMOOTH)},
             {"Scale X & Y", xy(XY_SCALE), typed}, {"Center Scale X & Y", xy(XY_CENTRAL_SCALE), typed}, {"-"},
             {"Undo", xy(BLOCK_UNDO)}, {"-"},
             {"Latch XY X - Currently Latched to CC 9", xy(XY_LEARN_X)}, {"Latch XY Y", xy(XY_LEARN_Y)},
             {"Set XY X MIDI CC", xy(XY_CC_X), {kCancel, kTyped}}, {"Set XY Y MIDI CC", xy(XY_CC_Y), typed},
             {"Unlatch XY", xy(XY_UNBIND)}, {"-"},
             {"Load XY Preset", xy(XY_LOAD), {kCancel}}, {"Save XY Preset", xy(XY_SAVE), {kCancel}}});

    // The grouping is the editor's: chosen, it is marked next time and the marked entry does
    // nothing. With the edit switch on, the edit entry offers the way back.
    t.h.fx->setParameter(XY_EDIT_TAG[0], 1.0f);
    std::vector<std::string> shown;
    for (const char* entry : {"Edit Grouping Wide", "Edit Grouping Wide <<<"}) {
        shown = t.h.menuShown([&] { t.h.click(t.h.ctl().xyDisplay[0], kRButton); }, entry);  // the pad's own
        EXPECT_EQ(t.h.editor->xyGrouping, 2);
        EXPECT_EQ(static_cast<TXYDisplay*>(t.h.ctl().xyDisplay[0])->getGrouping(), 2);
    }
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 2, shown.begin() + 6),
              (std::vector<std::string>{"Set Edit Off", "Edit Grouping Single", "Edit Grouping Narrow",
                                        "Edit Grouping Wide <<<"}));
}

TEST(EditorMenus, ModMenuOffersTheMatrixAndSlotCommandsForTheRowClicked) {
    Twins t;
    auto mod = [](int command) { return [=](APlugin& fx) { fx.doModCommand(command, 2); }; };
    const Action enterAmount = [](APlugin& fx) {
        fx.doModCommand(MOD_SNAPSHOT, -1);
        fx.setModValue(2);
    };
    const CRect& view = t.h.ctl().modDisplay->getViewSize();
    t.check([&] { t.h.parent.click(CPoint(view.left + 50, view.top + 2 * 19 + 5), kRButton); },
            {{"-GMod Matrix Menu"}, {"-"},
             {"Copy", mod(MOD_COPY)}, {"Paste", mod(MOD_PASTE)}, {"Clear", mod(MOD_CLEAR)}, {"Reset Mod Amount", mod(MOD_RESET_AMOUNTS)},
             {"Bypass All", mod(MOD_BYPASS_ALL)}, {"UnBypass All", mod(MOD_UNBYPASS_ALL)}, {"-"},
             {"Copy Slot", mod(SLOT_COPY)}, {"Paste Slot", mod(SLOT_PASTE)}, {"Clear Slot", mod(SLOT_CLEAR)},
             {"Swap Slot With Next", mod(SLOT_SWAP_NEXT)}, {"Reset Slot Amount", mod(SLOT_RESET_AMOUNT)},
             {"Enter Amount", enterAmount, {kCancel, kTyped}}, {"Bypass Slot", mod(SLOT_BYPASS)},
             {"UnBypass Slot", mod(SLOT_UNBYPASS)}, {"-"}, {"Undo", mod(MOD_UNDO)}, {"-"},
             {"Load Mod Preset", mod(MOD_LOAD), {kCancel}}, {"Save Mod Preset", mod(MOD_SAVE), {kCancel}}},
            [&] { t.newMatrix(); });  // an entry after "Clear" would otherwise find nothing to act on
}

TEST(EditorMenus, ParameterMenuNamesTheValueAndControllerAndRunsItsEntries) {
    Twins t;
    APlugin& fx = *t.h.fx;
    TKnob* knob = t.h.ctl().knobs[2];  // Delay Feedback
    const int tag = static_cast<int>(knob->getTag());
    for (APlugin* f : {&fx, &t.twin}) {
        f->midiMap.ccToParam[5] = tag;  // latched to two controllers: the highest is named
        f->midiMap.ccToParam[9] = tag;
        for (int n = 0; n < MOD_SLOT_COUNT; ++n) f->setModVariables(n, false, 0.5f, 1, 1);  // none drives it
    }
    char name[64] = {}, value[64] = {};
    fx.getParameterName(tag, name);
    fx.getParameterDisplay(tag, value);
    auto set = [tag](float v) { return [=](APlugin& f) { f.setParameterAutomated(tag, v); }; };
    auto call = [tag](void (APlugin::*op)(int)) { return [=](APlugin& f) { (f.*op)(tag); }; };
    auto step = [tag](float delta) { return [=](APlugin& f) { f.changeDelta(tag, delta); }; };
    auto latch = [tag](bool on) { return [=](APlugin& f) { f.setMidiLatch(tag, on); }; };
    t.check([&] { t.h.click(knob, kRButton); },
            {{std::string("-G") + name}, {std::string("-G") + value}, {"-"}, {"-GMIDI CC :9"}, {"-"},
             {"Set to Default", set(fx.getDefaultValue(tag))}, {"Set to Zero", set(fx.zeroValues[tag])},
             {"Set to Minimum", set(0.0f)}, {"Set to Maximum", set(1.0f)}, {"Set to Mid", set(0.5f)},
             {"Set to Value", call(&APlugin::setNumValue), {kCancel, kTyped}},
             {"Set to Random", [&fx, tag](APlugin& f) { f.setParameterAutomated(tag, fx.getParameter(tag)); }},
             {"Increase", step(1.0f)}, {"Decrease", step(-1.0f)}, {"-"},
             {"Latch to MIDI", latch(true)}, {"Unlatch MIDI", latch(false)},
             {"Set MIDI CC", call(&APlugin::setMidiCCNum), {kCancel, kTyped}},
             {"Clear MIDI", [](APlugin& f) { f.clearMidi(); }}, {"-"}, {"-GModulated By :"}, {"-"},
             {">Set Modulation To"}, {"-"}, {"Default Modulations Slot Amount"}, {"Bypass Modulations Slot"},
             {"UnBypass Modulations Slot"}, {"Clear Modulation Slot"}});
    // A random value comes in steps of 1/32767.
    t.h.parent.chooseMenuEntry("Set to Random");
    t.h.click(knob, kRButton);
    EXPECT_NEAR(fx.getParameter(tag) * 32767.0f, std::round(fx.getParameter(tag) * 32767.0f), 0.01f);

    // A parameter that feeds no destination: the menu ends with "Clear MIDI".
    const std::vector<std::string> shown = t.h.menuShown([&] { t.h.click(t.h.ctl().delayOnButton, kRButton); });
    EXPECT_EQ(shown[3], "-GNot Latched");
    EXPECT_EQ(shown.back(), "Clear MIDI");
}

// clang-format on

TEST(EditorMenus, ParameterMenuShowsAndEditsTheSlotsModulatingIt) {
    EditorHarness h;
    h.openMain();
    APlugin& fx = *h.fx;
    TKnob* knob = h.ctl().knobs[2];
    const int d = fx.paramModDestination[knob->getTag()];
    fx.setModVariables(0, false, 0.8f, 27, d);  // slots 1 and 3 modulate it, 2 something else, 4 is free
    fx.setModVariables(1, false, 0.7f, 1, 2);
    fx.setModVariables(2, true, 0.6f, 5, d);
    fx.setModVariables(3, false, 0.5f, 0, 0);
    std::vector<std::string> shown;
    auto choose = [&](const char* entry) { shown = h.menuShown([&] { h.click(knob, kRButton); }, entry); };
    choose("Note");  // a source, in the sub-menu
    EXPECT_EQ(std::vector<std::string>(shown.end() - 12, shown.end() - 5),
              (std::vector<std::string>{"-", "-GModulated By :", "-", "-GSlot 1 - Follower",
                                        "-GSlot 3 - Velocity", "-", ">Set Modulation To"}));
    // It went to the free slot, with no amount; with no slot free nothing changes.
    EXPECT_EQ(fx.getModDestination(3) * 100 + fx.getModSource(3), d * 100 + 23);
    EXPECT_FLOAT_EQ(fx.getParameter(MOD_AMOUNT_TAG[3]), 0.5f);
    const std::vector<float> before = stateOf(fx);
    choose("Offset");
    EXPECT_EQ(stateOf(fx), before);

    // The slot entries act on every slot driving this parameter, and on no other.
    choose("Bypass Modulations Slot");
    EXPECT_TRUE(fx.getModBypass(0) && fx.getModBypass(2) && fx.getModBypass(3) && !fx.getModBypass(1));
    choose("Default Modulations Slot Amount");
    EXPECT_FALSE(fx.getModBypass(0) || fx.getModBypass(2));
    EXPECT_EQ(fx.getParameter(MOD_AMOUNT_TAG[0]) + fx.getParameter(MOD_AMOUNT_TAG[1]), 0.5f + 0.7f);
    choose("Clear Modulation Slot");
    EXPECT_EQ(fx.getModDestination(0) + fx.getModSource(2), 0);
    EXPECT_EQ(fx.getModDestination(1), 2);
}
