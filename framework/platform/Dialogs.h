#pragma once

// Modal dialogs and file choosers.
//
// Every call blocks its caller (main thread) until the user answers. Behind the calls sits one
// interface, DialogBackend, with several back ends asked in this order, the first that serves
// answering:
//
//   1. a script (setScriptedDialogBackend, or TARNWELL_DIALOGS=FILE read at the first dialog):
//      answers every dialog from a queue, for tests and automated runs;
//   2. a window back end installed at run time by a higher layer (setWindowDialogBackend): the
//      GUI toolkit draws message and input windows with it when a display is there;
//   3. the desktop's file chooser (zenity or kdialog, when a display is there and one of them is
//      installed): file choosers only;
//   4. the terminal, when standard input and output both are one;
//   5. none: OK/Cancel and input dialogs answer Cancel, OK-only messages go to standard error,
//      choosers answer "no file". Nothing that needs a yes ever gets one here.
//
// Texts are UTF-8. Answers are cut to the caller's buffer at a character boundary; a chosen path
// that does not fit the caller's 256-byte buffer is refused as "no file" with a message.

#include <string>
#include <vector>

// ------------------------------------------------------------------ the back-end interface

enum class DialogReply {
    Ok,
    Cancel,
    NotServed,  // this back end cannot show this dialog now: the next one is asked
};

enum class ChooserKind { OpenFile, SaveFile, Folder };

struct ChooserRequest {
    ChooserKind kind = ChooserKind::OpenFile;
    std::string title;
    std::string folder;                   // start folder; empty for the chooser's own choice
    std::vector<std::string> extensions;  // without the point ("ecs"); the first is the default
    std::string defaultName;              // save chooser: the proposed file name
};

// A way to put dialogs in front of the user. Implementations answer on the calling thread and
// return only when the user has answered (or with NotServed, having shown nothing).
//
// To add a back end (the GUI toolkit's windows, say): derive from DialogBackend, implement the
// three operations, answering NotServed for what it does not draw (choosers, or everything
// while no display is open), and install it with setWindowDialogBackend at start-up. The
// caller keeps ownership; install nullptr before destroying it.
class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // A message with OK only (withCancel false: answer Ok once the user dismissed it) or with
    // OK and Cancel. Closing the window any other way than with OK is Cancel.
    virtual DialogReply message(const std::string& title, const std::string& text, bool withCancel) = 0;
    // A label (prompt) above one editable line that starts as text. On Ok, text holds the line
    // as the user left it (any length: the caller cuts); on Cancel text is not looked at.
    virtual DialogReply input(const std::string& title, const std::string& prompt, std::string& text) = 0;
    // One file (or folder) chosen, its full path in path, on Ok. A save chooser confirms with
    // the user before it answers with a file that exists already.
    virtual DialogReply choose(const ChooserRequest& request, std::string& path) = 0;
};

// Both return the back end installed before. Main thread.
DialogBackend* setWindowDialogBackend(DialogBackend* backend);
DialogBackend* setScriptedDialogBackend(DialogBackend* backend);

// The chain above as one back end (never NotServed).
DialogBackend& dialogs();

// ------------------------------------------------------------------ modal dialogs

// After OK text (256 bytes) holds the edited text, at most 255 bytes; after Cancel it is empty.
void runInputWindow(const char* title, const char* prompt, char* text);
// Stores 1 (OK) or 2 (Cancel) in *result.
void runMessageWindowCancel(const char* title, const char* text, int* result);
void runMessageWindow(const char* title, const char* text);

// The same, titled "Tarnwell"; note that inputBox takes the prompt first.
void inputBox(const char* prompt, const char* title, char* text);
int messageBoxCancel(const char* text, int type);  // 1 OK, 2 Cancel; type is not looked at
int messageBox(const char* text, int type);        // type 1: OK/Cancel, its answer; else OK only, 0
void outInt(int value);                            // "%d"
void outFloat(float value);                        // value * 10000, truncated

// ------------------------------------------------------------------ file choosers

// Open-file chooser. filter lists patterns ("*.ecs", or several joined by ';'). On one chosen
// file: outPath = its path, outFolder = its folder ending in '/'. Otherwise nothing is written.
// button and extra are not looked at.
void fileSelectLoadDir(const char* title, const char* folder, const char* button, char* filter,
                       const char* extra, char* outFolder, char* outPath);
// Save-file chooser. A default name with a 4-character extension (".ecs") forces it on the
// chosen name, in place of the name's first extension. On one chosen file: outPath = its path,
// outFolder = its folder without a trailing '/'. Otherwise nothing is written.
void fileSelectSaveDir(const char* title, const char* folder, const char* button, const char* defaultName,
                       char* outFolder, char* outPath);
// Folder chooser titled "Choose Folder": 1 and the folder in outFolder, else 0 and outFolder
// empty (0 at once for a null outFolder).
int BrowseFolder(const char* folder, char* outFolder);
// Do nothing.
void fileSelectLoad(const char* title, char* folder, char* outFolder, char* outPath);
void fileSelectSave(const char* title, char* folder, char* outFolder, char* outPath);

// A chooser opens in the folder last used for its kind of file. After a chooser answered with
// chosenFolder (either form, with or without the trailing '/'), this makes that folder the start
// folder of the next chooser of the kind: folder (size bytes) receives it ending in '/', and the
// preferences keep it under key. A folder that does not fit size changes nothing.
void rememberChosenFolder(const char* key, const char* chosenFolder, char* folder, int size);
