#pragma once

// An effect with its editor open in an offscreen parent, drawn from the bundle's real artwork,
// with private preferences, scripted dialogs and a clock the test steps.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/controls/TButtons.h"
#include "editor/controls/TKnob.h"
#include "editor/controls/TOptionMenu.h"
#include "editor/controls/TReadout.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "framework/platform/DialogBackends.h"
#include "framework/platform/Preferences.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"
#include "gui/Offscreen.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/RecordingHost.h"

namespace tarnwell::test {

// A menu's entries as it shows them: "-" a separator, "-G" before a heading, ">" before the
// title of a sub-menu.
inline std::vector<std::string> entriesOf(const COptionMenu& menu) {
    std::vector<std::string> shown;
    char title[256];
    for (int i = 0; i < menu.getNbEntries(); ++i) {
        menu.getEntry(i, title);
        if (menu.isSeparator(i))
            shown.emplace_back("-");
        else if (menu.getSubMenu(i))
            shown.push_back(std::string(">") + title);
        else
            shown.push_back((menu.isEnabled(i) ? "" : "-G") + std::string(title));
    }
    return shown;
}

// The parameter value choosing option of a menu parameter with the given steps.
inline float choice(int option, float steps) {
    return (static_cast<float>(option) + 0.1f) / steps;
}

inline uint32_t& testTicks() {
    static uint32_t ticks = 1000;
    return ticks;
}

class EditorHarness {
public:
    // size: 0, 1, 2 for 100, 150, 200 %, stored in the preferences before the effect is made.
    explicit EditorHarness(int size = 0) {
        tarnwell::gui::setResourceFolder(TARNWELL_RESOURCES_DIR);
        tarnwell::gui::setTickSource([] { return testTicks(); });
        previousDialogs = setScriptedDialogBackend(&dialogs);
        setEditorFactory(&createTarnwellEditor);
        if (size == 1) saveStringToPrefs("Big150", "Y");
        if (size == 2) saveStringToPrefs("Big200", "Y");
        fx = std::make_unique<APlugin>(RecordingHost::callback());
        editor = dynamic_cast<uEditor*>(fx->getEditor());
    }
    ~EditorHarness() {
        if (fx && editor->getFrame()) editor->close();
        fx.reset();
        setEditorFactory(nullptr);
        setScriptedDialogBackend(previousDialogs);
        tarnwell::gui::setTickSource(nullptr);
        tarnwell::gui::setResourceFolder("");
    }
    EditorHarness(const EditorHarness&) = delete;
    EditorHarness& operator=(const EditorHarness&) = delete;

    bool open() { return editor->open(static_cast<tarnwell::gui::ParentView*>(&parent)); }
    // One idle pass, far enough after the last one to do its work.
    void idle(uint32_t ms = 50) {
        testTicks() += ms;
        editor->idle();
    }
    // Opens on the main page.
    void openMain() {
        ASSERT_TRUE(open());
        parent.click(CPoint(5, 5));  // the settings page's full-size button
        idle();
    }
    const uEditor::Controls& ctl() const { return editor->getControls(); }
    // The centre of a control in frame coordinates.
    static CPoint centre(const CView* view) {
        const CRect& r = view->getViewSize();
        CPoint p((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return view->localToFrame(p);
    }
    void click(const CView* view, long buttons = kLButton) { parent.click(centre(view), buttons); }
    // Runs `open`, which opens a pop-up, answers it with the entry titled choice (none: dismissed)
    // and returns what it showed.
    std::vector<std::string> menuShown(const std::function<void()>& open, const std::string& choice = "") {
        std::vector<std::string> shown;
        parent.answerMenu([&](COptionMenu& m, const CPoint&) {
            shown = entriesOf(m);
            return choice.empty() ? tarnwell::gui::MenuChoice{} : tarnwell::gui::findMenuEntry(m, choice);
        });
        open();
        return shown;
    }

    PreferencesSandbox prefs;
    RecordingHost host;
    ScriptedDialogs dialogs;
    DialogBackend* previousDialogs = nullptr;
    std::unique_ptr<APlugin> fx;
    uEditor* editor = nullptr;
    tarnwell::gui::OffscreenView parent;
};

}  // namespace tarnwell::test
