// The dialogs that need no window: prompts on a terminal, and the answers given when there is
// no way to ask at all.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "framework/platform/DialogBackends.h"

namespace {

constexpr std::size_t LINE_MAX_BYTES = 65536;  // a longer line is read to its end, the rest dropped

std::string lowered(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// "~/x" is the home folder's x; a relative path lies in the chooser's start folder.
std::string resolve(const std::string& typed, const std::string& folder) {
    if (typed == "~" || typed.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] != '\0') return home + typed.substr(1);
    }
    if (typed[0] == '/' || folder.empty()) return typed;
    return folder + (folder.back() == '/' ? "" : "/") + typed;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string patterns(const ChooserRequest& request) {
    std::string text;
    for (const std::string& extension : request.extensions)
        text += (text.empty() ? "*." : ", *.") + extension;
    return text;
}

}  // namespace

std::string cutAtCharacter(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t n = maxBytes;
    // Back off while the first byte left out continues a character that began inside.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

// ------------------------------------------------------------------ terminal

bool TerminalDialogs::available() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1;
}

void TerminalDialogs::write(const std::string& text) const {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(out, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

bool TerminalDialogs::readLine(std::string& line) const {
    line.clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(in, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // end of input (or a broken terminal): the user cannot answer
        if (c == '\n') break;
        if (line.size() < LINE_MAX_BYTES) line += c;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Asks until the answer is a yes or a no: 1 for a yes, 0 for a no, -1 at the end of input.
int TerminalDialogs::yes(const std::string& question) const {
    for (;;) {
        write(question + " [y/n] ");
        std::string line;
        if (!readLine(line)) {
            write("\n");
            return -1;
        }
        const std::string answer = lowered(line);
        if (answer == "y" || answer == "yes" || answer == "o" || answer == "ok") return 1;
        if (answer == "n" || answer == "no" || answer == "c" || answer == "cancel") return 0;
    }
}

DialogReply TerminalDialogs::message(const std::string& title, const std::string& text, bool withCancel) {
    write("\n" + title + ": " + text + "\n");
    if (withCancel) return yes("OK?") == 1 ? DialogReply::Ok : DialogReply::Cancel;
    write("(Enter to continue) ");
    std::string line;
    if (!readLine(line)) write("\n");
    return DialogReply::Ok;
}

DialogReply TerminalDialogs::input(const std::string& title, const std::string& prompt, std::string& text) {
    write("\n" + title + ": " + prompt + "\n(Enter keeps \"" + text + "\", Ctrl-D cancels) > ");
    std::string line;
    if (!readLine(line)) {
        write("\n");
        return DialogReply::Cancel;
    }
    if (!line.empty()) text = line;
    return DialogReply::Ok;
}

DialogReply TerminalDialogs::choose(const ChooserRequest& request, std::string& path) {
    const char* what = request.kind == ChooserKind::Folder ? "a folder" : "a file";
    std::string intro = "\n" + request.title + ": type " + what;
    if (!request.extensions.empty()) intro += " (" + patterns(request) + ")";
    if (!request.folder.empty()) intro += ", relative to " + request.folder;
    write(intro + "; an empty line or Ctrl-D cancels\n");
    for (;;) {
        write("> ");
        std::string line;
        if (!readLine(line)) {
            write("\n");
            return DialogReply::Cancel;
        }
        if (line.empty()) return DialogReply::Cancel;
        const std::string chosen = resolve(line, request.folder);
        std::string problem;
        switch (request.kind) {
            case ChooserKind::OpenFile:
                if (!isFile(chosen)) problem = "No such file: " + chosen;
                break;
            case ChooserKind::Folder:
                if (!isFolder(chosen)) problem = "No such folder: " + chosen;
                break;
            case ChooserKind::SaveFile:
                if (!isFolder(folderOf(chosen))) {
                    problem = "No such folder: " + folderOf(chosen);
                } else if (isFolder(chosen)) {
                    problem = "That is a folder: " + chosen;
                } else if (exists(chosen)) {
                    const int replace = yes("Replace " + chosen + "?");
                    if (replace < 0) return DialogReply::Cancel;
                    if (replace == 0) continue;
                }
                break;
        }
        if (problem.empty()) {
            path = chosen;
            return DialogReply::Ok;
        }
        write(problem + "\n");
    }
}

// ------------------------------------------------------------------ no way to ask

DialogReply NoDialogs::message(const std::string& title, const std::string& text, bool withCancel) {
    if (withCancel) {
        std::fprintf(stderr, "%s: %s\n(no dialog can be shown: answered Cancel)\n", title.c_str(),
                     text.c_str());
        return DialogReply::Cancel;
    }
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return DialogReply::Ok;
}

DialogReply NoDialogs::input(const std::string& title, const std::string& prompt, std::string&) {
    std::fprintf(stderr, "%s: %s\n(no dialog can be shown: answered Cancel)\n", title.c_str(),
                 prompt.c_str());
    return DialogReply::Cancel;
}

DialogReply NoDialogs::choose(const ChooserRequest& request, std::string&) {
    std::fprintf(stderr, "%s: no file chooser can be shown: no file chosen\n", request.title.c_str());
    return DialogReply::Cancel;
}
