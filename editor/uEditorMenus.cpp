// The context menus: built on the spot, shown at the pointer, and read by the text of the entry
// chosen, which runs the effect's command behind it.

#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "editor/controls/ContextMenu.h"
#include "editor/controls/TXYDisplay.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "effect/MenuCommands.h"
#include "effect/OptionStrings.h"
#include "framework/platform/Preferences.h"
#include "gui/CFrame.h"

namespace {

constexpr int kMenuMargin = 8;    // the menu's rectangle around the pointer
constexpr int kLatchPrefix = 10;  // "Latch XY X" and "Latch XY Y" are known by this much

const char* const XY_SHAPE_STR[] = {"Set to Circle",        "Set to Square",        "Set to Horizontal Line",
                                    "Set to Vertical Line", "Set to Diagonal Line", "Set to Spiral In",
                                    "Set to Spiral Out",    "Set to Sine Wave",     "Set to Square Wave",
                                    "Set to Saw Wave Up",   "Set to Saw Wave Down", "Set to Triangle Wave"};
const char* const XY_TRANSFORM_STR[] = {
    "Reverse", "Flip Horizontally", "Flip Vertically", "Rotate", "Snap to grid", "Smooth", "Scale X & Y"};
static_assert(std::size(XY_SHAPE_STR) == XY_TRIANGLE - XY_CIRCLE + 1 &&
                  std::size(XY_TRANSFORM_STR) == XY_SCALE - XY_REVERSE + 1,
              "an entry for every XY shape and transform command");
const char* const XY_GROUPING_STR[] = {"Edit Grouping Single", "Edit Grouping Narrow", "Edit Grouping Wide"};
const char* const GATER_SIDE_STR[] = {"Left", "Right"};
// Gater commands 50..56 in order, then 59..62.
const char* const GATER_STR[] = {"Set To Default",         "Set Gater On",          "Set Gater Off",
                                 "Set Gater Channel On",   "Set Gater Channel Off", "Copy To Other Channel",
                                 "Swap with Other Channel"};
const char* const GATER_PATTERN_STR[] = {"Invert", "Reverse", "Move Forward", "Move Backwards"};
// Modulation commands 1..6, then the slot entries with their commands.
const char* const MOD_MATRIX_STR[] = {"Copy",       "Paste",       "Clear", "Reset Mod Amount",
                                      "Bypass All", "UnBypass All"};
struct SlotEntry {
    const char* text;
    int command;
};
constexpr SlotEntry MOD_SLOT_ENTRIES[] = {{"Copy Slot", SLOT_COPY},
                                          {"Paste Slot", SLOT_PASTE},
                                          {"Clear Slot", SLOT_CLEAR},
                                          {"Swap Slot With Next", SLOT_SWAP_NEXT},
                                          {"Reset Slot Amount", SLOT_RESET_AMOUNT}};

// before + number + after, the way the menus name Blocks, slots and controllers.
std::string numbered(const char* before, int number, const std::string& after = "") {
    return before + std::to_string(number) + after;
}

// A menu as a list of entries, each with the action its text stands for (none for headings,
// separators and entries that only show a state).
class MenuList {
public:
    void heading(const std::string& text) { entries.push_back({"-G" + text, nullptr, 0}); }
    void separator() { entries.push_back({"-", nullptr, 0}); }
    // An entry; with prefixLength a chosen text matches when its first prefixLength characters do.
    void item(const std::string& text, std::function<void()> action = nullptr, size_t prefixLength = 0) {
        entries.push_back({text, std::move(action), prefixLength});
    }
    // A sub-menu of entries; pick gets the chosen entry's index.
    void subMenu(const char* text, const char* const* names, int count, std::function<void(int)> pick) {
        sub = {text, names, count, std::move(pick)};
        entries.push_back({text, nullptr, 0, true});
    }

    // Shows the menu at the frame's pointer (where takes it) and runs the chosen entry's action.
    void run(CFrame* frame, CPoint& where) {
        frame->getCurrentLocation(where);
        ContextMenu menu(frame, where, kMenuMargin);
        COptionMenu* subMenu = nullptr;
        for (const Entry& e : entries) {
            if (!e.holdsSubMenu) {
                menu.add(e.text);
                continue;
            }
            subMenu = menu.addSubMenu(e.text.c_str());
            for (int i = 0; i < sub.count; ++i) subMenu->addEntry(sub.names[i]);
        }
        COptionMenu* chosenIn = nullptr;
        const std::string chosen = menu.open(&chosenIn);
        if (chosenIn && chosenIn == subMenu) {
            for (int i = 0; i < sub.count; ++i)
                if (chosen == sub.names[i]) return sub.pick(i);
            return;
        }
        if (chosen.empty()) return;
        for (const Entry& e : entries) {
            if (!e.action) continue;
            const bool match = e.prefixLength
                                   ? chosen.compare(0, e.prefixLength, e.text, 0, e.prefixLength) == 0
                                   : chosen == e.text;
            if (match) return e.action();
        }
    }

private:
    struct Entry {
        std::string text;
        std::function<void()> action;
        size_t prefixLength;
        bool holdsSubMenu = false;
    };
    struct Sub {
        const char* title = nullptr;
        const char* const* names = nullptr;
        int count = 0;
        std::function<void(int)> pick;
    };
    std::vector<Entry> entries;
    Sub sub;
};

// The other two Blocks, in order.
std::vector<int> otherBlocks(int block) {
    std::vector<int> others;
    for (int b = 0; b < BLOCK_COUNT; ++b)
        if (b != block) others.push_back(b);
    return others;
}

// The last controller the stored controller map binds to param, or -1.
int storedControllerOf(int param) {
    int found = -1;
    for (int cc = 0; cc < 128; ++cc)
        if (getMidiCC(cc) == param) found = cc;
    return found;
}

// Block command id as a menu action; target and side -1 where the command takes none.
std::function<void()> blockCommand(APlugin* fx, int id, int block, int target = -1, int side = -1) {
    return [=] { fx->doBlockCommand(id, block, target, side); };
}

// The copy entries naming the other two Blocks, then their swap entries.
void addCopyAndSwap(MenuList& menu, APlugin* fx, int block, int side, const char* copyText, int copyId,
                    const char* swapText, int swapId, const std::string& suffix = "") {
    for (int target : otherBlocks(block))
        menu.item(numbered(copyText, target + 1, suffix), blockCommand(fx, copyId, block, target, side));
    for (int target : otherBlocks(block))
        menu.item(numbered(swapText, target + 1, suffix), blockCommand(fx, swapId, block, target, side));
}

}  // namespace

// The redraw that ends every menu; the modulation menu's changes reach the view without resume.
static void finishMenu(uEditor& editor, bool withResume) {
    if (CFrame* frame = editor.getFrame()) frame->setDirty(true);
    if (withResume) editor.resume();
    editor.doIdleStuff();
}

void uEditor::showXYMenu(CDrawContext*, CControl*, CPoint& where, int block) {
    APlugin* fx = plugin();
    if (!frame || !fx || !isBlock(block)) return;
    const auto command = [fx, block](int id) { return blockCommand(fx, id, block); };
    MenuList menu;
    menu.heading(numbered("Block ", block + 1, " XY Menu"));
    menu.separator();
    if (fx->getOnOff(XY_EDIT_TAG[block]))
        menu.item("Set Edit Off", command(XY_EDIT_OFF));
    else
        menu.item("Set Edit On", command(XY_EDIT_ON));
    for (int g = 0; g < 3; ++g) {
        if (g == xyGrouping)
            menu.item(std::string(XY_GROUPING_STR[g]) + " <<<");
        else
            menu.item(XY_GROUPING_STR[g], [this, g, block] {
                xyGrouping = g;
                if (auto* pad = static_cast<TXYDisplay*>(ctl.xyDisplay[block])) pad->setGrouping(g);
            });
    }
    menu.separator();
    menu.item("Reset All", command(XY_RESET_ALL));
    menu.item("Reset XY", command(XY_RESET));
    addCopyAndSwap(menu, fx, block, -1, "Copy to Block ", XY_COPY, "Swap with Block ", XY_SWAP, " XY");
    menu.separator();
    for (int i = 0; i <= XY_TRIANGLE - XY_CIRCLE; ++i) menu.item(XY_SHAPE_STR[i], command(XY_CIRCLE + i));
    menu.separator();
    for (int i = 0; i <= XY_SCALE - XY_REVERSE; ++i) menu.item(XY_TRANSFORM_STR[i], command(XY_REVERSE + i));
    menu.item("Center Scale X & Y", command(XY_CENTRAL_SCALE));
    menu.separator();
    menu.item("Undo", command(BLOCK_UNDO));
    menu.separator();
    const char* const axes[2] = {"X", "Y"};
    const int midiTags[2] = {XY_MIDI_X_TAG[block], XY_MIDI_Y_TAG[block]};
    for (int axis = 0; axis < 2; ++axis) {
        const int cc = storedControllerOf(midiTags[axis]);
        std::string text = std::string("Latch XY ") + axes[axis];
        if (cc >= 0) text += numbered(" - Currently Latched to CC ", cc);
        menu.item(text, command(axis == 0 ? XY_LEARN_X : XY_LEARN_Y), kLatchPrefix);
    }
    menu.item("Set XY X MIDI CC", command(XY_CC_X));
    menu.item("Set XY Y MIDI CC", command(XY_CC_Y));
    menu.item("Unlatch XY", command(XY_UNBIND));
    menu.separator();
    menu.item("Load XY Preset", command(XY_LOAD));
    menu.item("Save XY Preset", command(XY_SAVE));
    menu.run(frame, where);
    finishMenu(*this, true);
}

void uEditor::showBlockMenu(CDrawContext*, CControl*, CPoint& where, int block) {
    APlugin* fx = plugin();
    if (!frame || !fx || !isBlock(block)) return;
    const auto command = [fx, block](int id) { return blockCommand(fx, id, block); };
    MenuList menu;
    menu.heading(numbered("Block ", block + 1, " Menu"));
    menu.separator();
    menu.item("Reset", command(BLOCK_RESET));
    addCopyAndSwap(menu, fx, block, -1, "Copy to Block ", BLOCK_COPY, "Swap with Block ", BLOCK_SWAP);
    menu.item("Undo", command(BLOCK_UNDO));
    menu.separator();
    menu.item("Load Block Preset", command(BLOCK_LOAD));
    menu.item("Save Block Preset", command(BLOCK_SAVE));
    menu.run(frame, where);
    finishMenu(*this, true);
}

void uEditor::showGaterMenu(CDrawContext*, CControl*, CPoint& where, int block, int side) {
    APlugin* fx = plugin();
    if (!frame || !fx || !isBlock(block) || side < 0 || side > 1) return;
    const auto command = [fx, block, side](int id) { return blockCommand(fx, id, block, 0, side); };
    MenuList menu;
    menu.heading(numbered("Block ", block + 1, std::string(" ") + GATER_SIDE_STR[side] + " Gater Menu"));
    menu.separator();
    for (int i = 0; i < 7; ++i) menu.item(GATER_STR[i], command(GATER_RESET + i));
    addCopyAndSwap(menu, fx, block, side, "Copy To Block ", GATER_COPY, "Swap with Block ", GATER_SWAP);
    menu.separator();
    for (int i = 0; i < 4; ++i) menu.item(GATER_PATTERN_STR[i], command(GATER_INVERT + i));
    menu.separator();
    menu.item("Undo", command(BLOCK_UNDO));
    menu.run(frame, where);
    finishMenu(*this, true);
}

void uEditor::showModMenu(CDrawContext*, CControl*, CPoint& where, int slot) {
    APlugin* fx = plugin();
    if (!frame || !fx) return;
    const auto command = [fx, slot](int id) { return [fx, id, slot] { fx->doModCommand(id, slot); }; };
    MenuList menu;
    menu.heading("Mod Matrix Menu");
    menu.separator();
    for (int i = 0; i < 6; ++i) menu.item(MOD_MATRIX_STR[i], command(MOD_COPY + i));
    menu.separator();
    for (const SlotEntry& e : MOD_SLOT_ENTRIES) menu.item(e.text, command(e.command));
    menu.item("Enter Amount", [fx, slot] {
        fx->doModCommand(MOD_SNAPSHOT, -1);
        fx->setModValue(slot);
    });
    menu.item("Bypass Slot", command(SLOT_BYPASS));
    menu.item("UnBypass Slot", command(SLOT_UNBYPASS));
    menu.separator();
    menu.item("Undo", command(MOD_UNDO));
    menu.separator();
    menu.item("Load Mod Preset", command(MOD_LOAD));
    menu.item("Save Mod Preset", command(MOD_SAVE));
    menu.run(frame, where);
    finishMenu(*this, false);
}

void uEditor::showMidiLearnMenu(CDrawContext*, CControl* control, CPoint& where) {
    APlugin* fx = plugin();
    if (!frame || !fx || !control) return;
    const int t = static_cast<int>(control->getTag());
    if (t < 0 || t >= PARAMETER_COUNT) return;  // a control that edits no parameter
    const auto set = [fx, t](float value) { return [fx, t, value] { fx->setParameterAutomated(t, value); }; };

    MenuList menu;
    char text[256] = {};
    fx->getParameterName(t, text);
    menu.heading(text);
    text[0] = '\0';
    fx->getParameterDisplay(t, text);
    menu.heading(text);
    menu.separator();
    int cc = -1;
    for (int c = 0; c < APlugin::MidiCCMap::CONTROLLERS; ++c)
        if (fx->midiMap.ccToParam[c] == t) cc = c;
    menu.heading(cc >= 0 ? numbered("MIDI CC :", cc) : "Not Latched");
    menu.separator();
    menu.item("Set to Default", set(fx->getDefaultValue(t)));
    menu.item("Set to Zero", set(fx->zeroValues[t]));
    menu.item("Set to Minimum", set(0.0f));
    menu.item("Set to Maximum", set(1.0f));
    menu.item("Set to Mid", set(0.5f));
    menu.item("Set to Value", [fx, t] { fx->setNumValue(t); });
    menu.item("Set to Random",
              [fx, t] { fx->setParameterAutomated(t, static_cast<float>(std::rand() & 0x7FFF) / 32767.0f); });
    menu.item("Increase", [fx, t] { fx->changeDelta(t, 1.0f); });
    menu.item("Decrease", [fx, t] { fx->changeDelta(t, -1.0f); });
    menu.separator();
    menu.item("Latch to MIDI", [fx, t] { fx->setMidiLatch(t, true); });
    menu.item("Unlatch MIDI", [fx, t] { fx->setMidiLatch(t, false); });
    menu.item("Set MIDI CC", [fx, t] { fx->setMidiCCNum(t); });
    menu.item("Clear MIDI", [fx] { fx->clearMidi(); });

    const int d = fx->paramModDestination[t];
    if (d != -1) {
        // Every slot driving d, for the entries that act on all of them.
        const auto eachSlot = [fx, d](auto action) {
            return [fx, d, action] {
                for (int n = 0; n < MOD_SLOT_COUNT; ++n)
                    if (fx->getModDestination(n) == d) action(n);
            };
        };
        menu.separator();
        menu.heading("Modulated By :");
        menu.separator();
        bool any = false;
        for (int n = 0; n < MOD_SLOT_COUNT; ++n) {
            if (fx->getModDestination(n) != d) continue;
            menu.heading(numbered("Slot ", n + 1, std::string(" - ") + MOD_SOURCE_STR[fx->getModSource(n)]));
            any = true;
        }
        if (any) menu.separator();
        menu.subMenu("Set Modulation To", MOD_SOURCE_STR, MOD_SOURCE_STR_COUNT, [fx, d](int source) {
            for (int n = 0; n < MOD_SLOT_COUNT; ++n) {
                if (fx->getModDestination(n) != 0) continue;
                fx->setModVariables(n, false, 0.5f, source, d);
                return;
            }
        });
        menu.separator();
        menu.item("Default Modulations Slot Amount", eachSlot([fx](int n) {
                      fx->setParameter(MOD_AMOUNT_TAG[n], 0.5f);
                      fx->setParameter(MOD_BYPASS_TAG[n], 0.0f);
                  }));
        menu.item("Bypass Modulations Slot",
                  eachSlot([fx](int n) { fx->setParameter(MOD_BYPASS_TAG[n], 1.0f); }));
        menu.item("UnBypass Modulations Slot",
                  eachSlot([fx](int n) { fx->setParameter(MOD_BYPASS_TAG[n], 0.0f); }));
        menu.item("Clear Modulation Slot",
                  eachSlot([fx](int n) { fx->setModVariables(n, false, 0.5f, 0, 0); }));
    }
    menu.run(frame, where);
    finishMenu(*this, true);
}
