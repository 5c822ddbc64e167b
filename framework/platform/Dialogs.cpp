#include "framework/platform/Dialogs.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "framework/platform/DialogBackends.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"

namespace {

constexpr const char* APP_TITLE = "Tarnwell";
constexpr std::size_t ANSWER_MAX = PATH_BUFFER_SIZE - 1;

std::atomic<DialogBackend*> windowBackend{nullptr};
std::atomic<DialogBackend*> scriptedBackend{nullptr};

// TARNWELL_DIALOGS=FILE: a script for the whole run, read at the first dialog. A script that
// cannot be read answers like no back end at all, so nothing falls through to a prompt the run
// did not expect.
DialogBackend* environmentScript() {
    static std::unique_ptr<DialogBackend> script = []() -> std::unique_ptr<DialogBackend> {
        const char* file = std::getenv("TARNWELL_DIALOGS");
        if (file == nullptr || file[0] == '\0') return nullptr;
        auto scripted = std::make_unique<ScriptedDialogs>();
        scripted->echo = true;
        std::string error;
        if (scripted->load(file, error)) return scripted;
        std::fprintf(stderr, "tarnwell: dialog script %s: %s; every dialog answers Cancel\n", file,
                     error.c_str());
        return std::make_unique<NoDialogs>();
    }();
    return script.get();
}

bool displayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

class DialogChain : public DialogBackend {
public:
    DialogReply message(const std::string& title, const std::string& text, bool withCancel) override {
        return ask([&](DialogBackend& b) { return b.message(title, text, withCancel); });
    }
    DialogReply input(const std::string& title, const std::string& prompt, std::string& text) override {
        return ask([&](DialogBackend& b) { return b.input(title, prompt, text); });
    }
    DialogReply choose(const ChooserRequest& request, std::string& path) override {
        return ask([&](DialogBackend& b) { return b.choose(request, path); });
    }

private:
    template <class Question>
    DialogReply ask(Question question) {
        DialogBackend* script = scriptedBackend.load();
        if (script == nullptr) script = environmentScript();
        DialogBackend* window = windowBackend.load();
        DesktopChooser desktop;
        TerminalDialogs terminal(STDIN_FILENO, STDOUT_FILENO);
        DialogBackend* chain[] = {script, window, displayPresent() ? &desktop : nullptr,
                                  TerminalDialogs::available() ? &terminal : nullptr};
        for (DialogBackend* backend : chain) {
            if (backend == nullptr) continue;
            const DialogReply reply = question(*backend);
            if (reply != DialogReply::NotServed) return reply;
        }
        NoDialogs none;
        return question(none);
    }
};

void copyAnswer(const std::string& answer, char* text) {
    const std::string cut = cutAtCharacter(answer, ANSWER_MAX);
    std::memcpy(text, cut.c_str(), cut.size() + 1);
}

// A chosen path that does not fit a path buffer is no file: cutting it would name another one.
bool fitsPathBuffer(const std::string& path) {
    if (path.size() <= ANSWER_MAX) return true;
    const std::string text = "The chosen path is too long (" + std::to_string(path.size()) +
                             " bytes, at most " + std::to_string(ANSWER_MAX) + "):\n" + path;
    runMessageWindow(APP_TITLE, text.c_str());
    return false;
}

std::string str(const char* text) {
    return text != nullptr ? text : "";
}

ChooserRequest chooserRequest(ChooserKind kind, const char* title, const char* folder) {
    ChooserRequest request;
    request.kind = kind;
    request.title = str(title);
    request.folder = str(folder);
    return request;
}

// The chooser's answer, or empty for none.
std::string choose(const ChooserRequest& request) {
    std::string path;
    if (dialogs().choose(request, path) != DialogReply::Ok || path.empty()) return "";
    return path;
}

// A chosen path into the caller's buffers when it fits them: the folder keeps its trailing '/'
// (load side) or loses it (save side); a path without '/' is its own folder.
void deliver(const std::string& path, char* outPath, char* outFolder, bool folderSlash) {
    if (!fitsPathBuffer(path)) return;
    if (outPath != nullptr) std::strcpy(outPath, path.c_str());
    if (outFolder == nullptr) return;
    const std::size_t slash = path.rfind('/');
    const std::size_t end = slash == std::string::npos ? path.size() : slash + (folderSlash ? 1 : 0);
    std::strcpy(outFolder, path.substr(0, end).c_str());
}

// The extensions of a filter: each '.' starts one that runs to the next ';' or the end. The
// last one found is the default, so it goes first.
std::vector<std::string> filterExtensions(const char* filter) {
    std::vector<std::string> found;
    for (const char* p = filter; p != nullptr && *p != '\0'; ++p) {
        if (*p != '.') continue;
        const char* end = std::strchr(p + 1, ';');
        std::string extension = end != nullptr ? std::string(p + 1, end) : std::string(p + 1);
        if (!extension.empty()) found.insert(found.begin(), extension);
        if (end == nullptr) break;
        p = end;
    }
    return found;
}

// The default name's extension when it is a point and three characters (".ecs"), else empty.
std::string forcedExtension(const char* defaultName) {
    const char* point = defaultName != nullptr ? std::strchr(defaultName, '.') : nullptr;
    return point != nullptr && std::strlen(point) == 4 ? point : "";
}

}  // namespace

DialogBackend* setWindowDialogBackend(DialogBackend* backend) {
    return windowBackend.exchange(backend);
}

DialogBackend* setScriptedDialogBackend(DialogBackend* backend) {
    return scriptedBackend.exchange(backend);
}

DialogBackend& dialogs() {
    static DialogChain chain;
    return chain;
}

void runInputWindow(const char* title, const char* prompt, char* text) {
    if (text == nullptr) return;
    std::string answer(text, strnlen(text, ANSWER_MAX));
    if (dialogs().input(str(title), str(prompt), answer) == DialogReply::Ok) {
        copyAnswer(answer, text);
    } else {
        text[0] = '\0';
    }
}

void runMessageWindowCancel(const char* title, const char* text, int* result) {
    const DialogReply reply = dialogs().message(str(title), str(text), true);
    if (result != nullptr) *result = reply == DialogReply::Ok ? 1 : 2;
}

void runMessageWindow(const char* title, const char* text) {
    dialogs().message(str(title), str(text), false);
}

void inputBox(const char* prompt, const char* title, char* text) {
    runInputWindow(title, prompt, text);
}

int messageBoxCancel(const char* text, int) {
    int result = 2;
    runMessageWindowCancel(APP_TITLE, text, &result);
    return result;
}

int messageBox(const char* text, int type) {
    if (type == 1) return messageBoxCancel(text, type);
    runMessageWindow(APP_TITLE, text);
    return 0;
}

void outInt(int value) {
    runMessageWindow(APP_TITLE, std::to_string(value).c_str());
}

void outFloat(float value) {
    outInt(static_cast<int>(value * 10000.0f));
}

void fileSelectLoadDir(const char* title, const char* folder, const char*, char* filter, const char*,
                       char* outFolder, char* outPath) {
    ChooserRequest request = chooserRequest(ChooserKind::OpenFile, title, folder);
    request.extensions = filterExtensions(filter);
    const std::string path = choose(request);
    if (!path.empty()) deliver(path, outPath, outFolder, true);
}

void fileSelectSaveDir(const char* title, const char* folder, const char*, const char* defaultName,
                       char* outFolder, char* outPath) {
    ChooserRequest request = chooserRequest(ChooserKind::SaveFile, title, folder);
    request.defaultName = str(defaultName);
    const std::string extension = forcedExtension(defaultName);
    if (!extension.empty()) request.extensions.push_back(extension.substr(1));
    std::string path = choose(request);
    if (path.empty()) return;
    if (!extension.empty()) {
        const std::size_t slash = path.rfind('/');
        const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
        const std::size_t point = path.find('.', nameStart);
        path = (point == std::string::npos ? path : path.substr(0, point)) + extension;
    }
    deliver(path, outPath, outFolder, false);
}

int BrowseFolder(const char* folder, char* outFolder) {
    if (outFolder == nullptr) return 0;
    outFolder[0] = '\0';
    const std::string path = choose(chooserRequest(ChooserKind::Folder, "Choose Folder", folder));
    if (path.empty() || !fitsPathBuffer(path)) return 0;
    std::strcpy(outFolder, path.c_str());
    return 1;
}

void fileSelectLoad(const char*, char*, char*, char*) {}

void fileSelectSave(const char*, char*, char*, char*) {}

void rememberChosenFolder(const char* key, const char* chosenFolder, char* folder, int size) {
    if (key == nullptr || chosenFolder == nullptr || chosenFolder[0] == '\0' || folder == nullptr) return;
    std::string chosen = chosenFolder;
    if (chosen.back() != '/') chosen += '/';
    if (chosen.size() + 1 > static_cast<std::size_t>(size)) return;
    std::memcpy(folder, chosen.c_str(), chosen.size() + 1);
    saveStringToPrefs(key, folder);
}
