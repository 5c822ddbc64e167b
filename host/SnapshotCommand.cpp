// tarnwell snapshot: the editor drawn offscreen through the unit's view, written as a PNG.

#include <stdlib.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "framework/platform/Preferences.h"
#include "host/AtomicOutput.h"
#include "host/AudioUnitComponent.h"
#include "host/EditorCommands.h"
#include "host/EditorView.h"
#include "host/HostError.h"
#include "sdk/cocoa/NSRunLoop.h"
#include "sdk/corefoundation/PreferencesFile.h"

namespace {

constexpr double SAMPLE_RATE = 44100.0;
constexpr std::uint32_t INPUTS = 2;
constexpr std::uint32_t BLOCK_FRAMES = 512;
// Long enough for the editor's idle, which works at most every 40 ms, to bring every readout
// and panel up to date after the editor opens or a click changes the page.
constexpr double SETTLE_SECONDS = 0.1;
// A point of the settings page away from its switches: a click there is a click on the page's
// full-size button, which shows the main page.
constexpr double SETTINGS_PAGE_SPOT[2] = {40.0, 40.0};

// The editor reads its size from the preferences when the effect is made. The snapshot points
// this process's preferences at a private copy of the user's with the size it was asked for,
// so what the user chose stays as it was.
class PrivatePreferences {
public:
    explicit PrivatePreferences(int scale) {
        const std::string user = tarnwell::cf::preferencesFile(prefsPath, tarnwell::cf::Scope::CurrentUser);
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-snapshot-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw HostError("cannot make a temporary folder for the snapshot's preferences");
        folder = pattern;
        std::error_code ignored;
        if (!user.empty())
            std::filesystem::copy_file(user, folder / std::filesystem::path(user).filename(), ignored);
        if (const char* before = std::getenv("XDG_CONFIG_HOME")) previous = before;
        hadPrevious = std::getenv("XDG_CONFIG_HOME") != nullptr;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        saveStringToPrefs("Big100", scale == 100 ? "Y" : "N");
        saveStringToPrefs("Big150", scale == 150 ? "Y" : "N");
        saveStringToPrefs("Big200", scale == 200 ? "Y" : "N");
    }
    ~PrivatePreferences() {
        if (hadPrevious)
            setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    PrivatePreferences(const PrivatePreferences&) = delete;
    PrivatePreferences& operator=(const PrivatePreferences&) = delete;

private:
    std::filesystem::path folder;
    std::string previous;
    bool hadPrevious = false;
};

void settle() {
    NSRunLoop& loop = NSRunLoop::mainRunLoop();
    loop.runUntilDate(loop.now() + SETTLE_SECONDS);
}

}  // namespace

AudioUnit unitOf(ComponentHost& component) {
    auto* unit = dynamic_cast<AudioUnitComponent*>(&component);
    if (unit == nullptr) throw HostError("the editor is shown only by the effect component itself");
    return unit->audioUnit();
}

namespace {

// The picture is PNG data, so a file for it is named so; a pipe or a device takes it as it is.
void checkPictureName(const std::string& path) {
    std::string ending = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct stat info {};
    if (ending != ".png" &&
        !(stat(path.c_str(), &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))))
        throw fileError(path, "is not named .png; the picture is written as PNG");
}

}  // namespace

void runSnapshot(const SnapshotCommand& command, std::ostream& out, std::ostream& err,
                 const HostEnvironment& env) {
    checkPictureName(command.output);
    AtomicOutput picture(command.output);
    PrivatePreferences preferences(command.scale);
    const auto component = openInitialized(env, SAMPLE_RATE, INPUTS, BLOCK_FRAMES);
    requireArtwork(unitOf(*component));
    prepareSound(*component, command.sound, command.stateFile, env, &err);

    EditorView editor(unitOf(*component));
    if (editor.window() == nullptr) throw HostError("the effect has no editor to draw");
    settle();
    if (command.page == EditorPage::Main) {
        const double scale = command.scale / 100.0;
        editor.click(SETTINGS_PAGE_SPOT[0] * scale, SETTINGS_PAGE_SPOT[1] * scale);
        settle();
    }
    const NSSize size = editor.size();
    editor.writePicture(picture);
    picture.commit();
    char line[128];
    std::snprintf(line, sizeof line, "the editor at %d %% (%.0f x %.0f)", command.scale, size.width,
                  size.height);
    out << "wrote " << command.output << ": " << line << "\n";
}
