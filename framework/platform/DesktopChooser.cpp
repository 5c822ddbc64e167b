#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "framework/platform/DialogBackends.h"
#include "framework/platform/Programs.h"

namespace {

std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream list(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(list, folder, ':')) {
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A positional argument must not read as an option.
std::string positional(const std::string& path) {
    if (path.empty()) return ".";
    return path[0] == '-' ? "./" + path : path;
}

// The start: the folder (ending in '/', so the chooser shows its content), and for a save
// chooser the proposed name in it.
std::string startPath(const ChooserRequest& request) {
    std::string start = request.folder;
    if (!start.empty() && start.back() != '/') start += '/';
    if (request.kind == ChooserKind::SaveFile) start += request.defaultName;
    return start;
}

// The chooser program to run: its full path from PATH, or empty when none is usable.
std::string chooserProgram() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const bool kde = desktop != nullptr && std::strstr(desktop, "KDE") != nullptr;
    const std::string first = onPath(kde ? "kdialog" : "zenity");
    return !first.empty() ? first : onPath(kde ? "zenity" : "kdialog");
}

// The arguments (after the program name) for request, for the program named by tool.
std::vector<std::string> chooserArguments(const std::string& tool, const ChooserRequest& request) {
    std::vector<std::string> args;
    const std::string start = startPath(request);
    if (tool == "kdialog") {
        args.push_back("--title=" + request.title);
        switch (request.kind) {
            case ChooserKind::OpenFile:
                args.push_back("--getopenfilename");
                break;
            case ChooserKind::SaveFile:
                args.push_back("--getsavefilename");
                break;
            case ChooserKind::Folder:
                args.push_back("--getexistingdirectory");
                break;
        }
        args.push_back(positional(start));
        std::string filter;
        for (const std::string& extension : request.extensions)
            filter += (filter.empty() ? "*." : " *.") + extension;
        if (request.kind != ChooserKind::Folder && !filter.empty()) args.push_back(filter);
        return args;
    }
    // Every value travels inside its own "--option=value" word, so none can pass for an option.
    args = {"--file-selection", "--title=" + request.title};
    if (request.kind == ChooserKind::SaveFile) {
        args.push_back("--save");
        args.push_back("--confirm-overwrite");
    }
    if (request.kind == ChooserKind::Folder) args.push_back("--directory");
    if (!start.empty()) args.push_back("--filename=" + start);
    if (request.kind != ChooserKind::Folder) {
        for (const std::string& extension : request.extensions)
            args.push_back("--file-filter=" + extension + " | *." + extension);
    }
    return args;
}

}  // namespace

DialogReply DesktopChooser::choose(const ChooserRequest& request, std::string& path) {
    const std::string tool = chooserProgram();
    if (tool.empty()) return DialogReply::NotServed;
    std::vector<std::string> argv = chooserArguments(baseName(tool), request);
    argv.insert(argv.begin(), tool);
    std::string output;
    const int status = runProgram(argv, output);
    if (status < 0) return DialogReply::NotServed;
    if (!output.empty() && output.back() == '\n') output.pop_back();
    if (status != 0 || output.empty()) return DialogReply::Cancel;
    path = output;
    return DialogReply::Ok;
}
