#pragma once

// The toolkit's message and input windows as the platform's window dialog back end: a title,
// the text (or the prompt above one editable line), OK, and Cancel where asked for. Enter
// answers OK and Escape Cancel; closing the window is Cancel (OK for an OK-only message). The
// call blocks in a modal loop: other windows keep painting but take no input. File choosers
// are not served here (the desktop's choosers are). Without a display nothing is served.
// The label is the prompt or message; the title goes to the window's title.

#include <functional>

#include "framework/platform/Dialogs.h"
#include "gui/GuiTypes.h"

namespace tarnwell::gui {

class WindowDialogs : public DialogBackend {
public:
    DialogReply message(const std::string& title, const std::string& text, bool withCancel) override;
    DialogReply input(const std::string& title, const std::string& prompt, std::string& text) override;
    DialogReply choose(const ChooserRequest&, std::string&) override { return DialogReply::NotServed; }
};

// Installs one WindowDialogs for the rest of the process (main thread; again is harmless).
void installWindowDialogs();

// Tests see each dialog once it is up and has the keyboard: its window and the screen
// rectangles of its OK and Cancel buttons (Cancel empty when there is none). Null to stop.
struct DialogShown {
    unsigned long window;
    CRect ok;
    CRect cancel;
};
void observeDialogs(std::function<void(const DialogShown&)> observer);

}  // namespace tarnwell::gui
