#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "framework/platform/DialogBackends.h"
#include "framework/platform/Dialogs.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using tarnwell::test::PreferencesSandbox;
using Answer = ScriptedDialogs::Answer;

// Every dialog of a test answered from a script.
class Dialogs : public ::testing::Test {
protected:
    Dialogs() { setScriptedDialogBackend(&script); }
    ~Dialogs() override { setScriptedDialogBackend(nullptr); }
    const ScriptedDialogs::Asked& last() const { return script.asked.back(); }
    ScriptedDialogs script;
};

// (The effect's prompts show what reaches inputBox and what OK and Cancel give.)
TEST_F(Dialogs, InputAndMessageWindowsReportTheButtonAndTheText) {
    char text[PATH_BUFFER_SIZE];
    // Answers are cut to 255 bytes, never inside a character.
    script.push({Answer::Text, std::string(300, 'x')});
    inputBox("p", "t", text);
    EXPECT_EQ(std::string(text), std::string(255, 'x'));
    script.push({Answer::Text, std::string(254, 'a') + "\xC3\xA9"});
    inputBox("p", "t", text);
    EXPECT_EQ(std::string(text), std::string(254, 'a'));

    script.push({Answer::Cancel, ""});
    script.push({Answer::Ok, ""});
    EXPECT_EQ(messageBoxCancel("Replace?", 0), 2);
    EXPECT_EQ(last().title, "Tarnwell");
    EXPECT_EQ(messageBox("Replace?", 1), 1);
    // OK-only messages take no answer.
    EXPECT_EQ(messageBox("Problem with ECS File", 2), 0);
    EXPECT_EQ(script.remaining(), 0u);
}

TEST_F(Dialogs, ScriptFaultsNeverAnswerYes) {
    script.push({Answer::File, "/tmp/x"});
    int result = 0;
    runMessageWindowCancel("Tarnwell", "Overwrite?", &result);
    EXPECT_EQ(result, 2);
    runMessageWindowCancel("Tarnwell", "Overwrite?", &result);  // nothing left
    EXPECT_EQ(result, 2);
    char text[PATH_BUFFER_SIZE] = "start";
    inputBox("p", "t", text);
    EXPECT_STREQ(text, "");

    PreferencesSandbox scratch;
    const std::string file = scratch.userFolder() + "/answers";
    PreferencesSandbox::write(file, "# a run\nyes\n\ntext  -6 dB\nfile /a b/c.ecs\r\n");
    std::string error;
    ScriptedDialogs loaded;
    ASSERT_TRUE(loaded.load(file, error)) << error;
    setScriptedDialogBackend(&loaded);
    char answer[PATH_BUFFER_SIZE] = "";
    EXPECT_EQ(messageBoxCancel("Replace?", 0), 1);
    inputBox("p", "t", answer);
    EXPECT_STREQ(answer, " -6 dB");  // the rest of the line, blanks included
    PreferencesSandbox::write(file, "yes\nok then\n");
    EXPECT_FALSE(loaded.load(file, error));
    EXPECT_EQ(error, "line 2 is no answer: ok then");
    EXPECT_EQ(loaded.remaining(), 1u);
}

TEST_F(Dialogs, ChoosersWritePathAndFolderOnlyForAChosenFileThatFits) {
    char folder[PATH_BUFFER_SIZE] = "old folder";
    char path[PATH_BUFFER_SIZE] = "old path";
    char filter[] = "*.ecs;*.mod";
    script.push({Answer::Cancel, ""});
    fileSelectLoadDir("ECS Loader", "/presets/", "Load", filter, nullptr, folder, path);
    EXPECT_STREQ(path, "old path");
    EXPECT_STREQ(folder, "old folder");
    EXPECT_EQ(last().request.kind, ChooserKind::OpenFile);
    EXPECT_EQ(last().request.folder, "/presets/");
    EXPECT_EQ(last().request.extensions,
              (std::vector<std::string>{"mod", "ecs"}));  // the last is the default

    script.push({Answer::File, "/a/b/c.ecs"});
    fileSelectLoadDir("ECS Loader", "/presets/", "Load", filter, nullptr, folder, path);
    EXPECT_STREQ(path, "/a/b/c.ecs");
    EXPECT_STREQ(folder, "/a/b/");

    const struct {
        const char* chosen;
        const char* defaultName;
        const char* path;
        const char* folder;
    } saves[] = {{"/a/b/c", "Mod.mod", "/a/b/c.mod", "/a/b"},
                 {"/a/b/my.preset.txt", "Path.xyp", "/a/b/my.xyp", "/a/b"},
                 {"/a.d/b", "Long.name", "/a.d/b", "/a.d"}};
    for (const auto& s : saves) {
        script.push({Answer::File, s.chosen});
        fileSelectSaveDir("Mod Preset Save", "/presets", "Save", s.defaultName, folder, path);
        EXPECT_STREQ(path, s.path) << s.chosen;
        EXPECT_STREQ(folder, s.folder) << s.chosen;
    }

    // A path that does not fit the caller's buffer is no file, and the user is told.
    const std::string fits = "/" + std::string(250, 'd') + "/x.ecs";
    script.push({Answer::File, fits.substr(0, 255)});
    fileSelectLoadDir("ECS Loader", nullptr, nullptr, filter, nullptr, folder, path);
    EXPECT_EQ(std::strlen(path), 255u);
    std::strcpy(path, "kept");
    script.push({Answer::File, fits.substr(0, 256)});
    fileSelectLoadDir("ECS Loader", nullptr, nullptr, filter, nullptr, folder, path);
    EXPECT_STREQ(path, "kept");
    EXPECT_EQ(last().kind, ScriptedDialogs::Asked::Message);
    EXPECT_NE(last().text.find("too long"), std::string::npos);
    script.push({Answer::File, fits.substr(0, 253)});  // the forced extension makes it 257 bytes
    fileSelectSaveDir("ECS Save", nullptr, nullptr, "Tarnwell.ecs", folder, path);
    EXPECT_STREQ(path, "kept");

    script.push({Answer::File, "/music/presets"});
    script.push({Answer::Cancel, ""});
    EXPECT_EQ(BrowseFolder("/music", folder), 1);
    EXPECT_STREQ(folder, "/music/presets");
    EXPECT_EQ(last().request.title, "Choose Folder");
    EXPECT_EQ(BrowseFolder("/music", folder), 0);
    EXPECT_STREQ(folder, "");

    // The last folder used is kept per kind of file, unless it does not fit.
    PreferencesSandbox sandbox;
    char small[16] = "/old/", stored[256];
    rememberChosenFolder("ModPresetDir", "/a/b", small, sizeof small);
    loadStringFromPrefs("ModPresetDir", stored, sizeof stored);
    EXPECT_STREQ(stored, "/a/b/");
    rememberChosenFolder("ModPresetDir", "/a/much/longer/folder/", small, sizeof small);
    EXPECT_STREQ(small, "/a/b/");
}

// ------------------------------------------------------------------ terminal

// A pseudo-terminal: the back end talks to its slave side, the test types on its master side.
class Terminal : public ::testing::Test {
protected:
    Terminal() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("no pty");
        termios settings{};
        tcgetattr(slave, &settings);
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO);  // only what the back end writes comes back
        tcsetattr(slave, TCSANOW, &settings);
        fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~Terminal() override {
        close(master);
        close(slave);
    }
    void type(const std::string& keys) const {
        ASSERT_EQ(write(master, keys.data(), keys.size()), ssize_t(keys.size()));
    }
    // All the back end wrote so far (the master side reads without waiting).
    std::string shown() const {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    int master = -1, slave = -1;
};

TEST_F(Terminal, PromptsTextAndButtonsAndReadsTheAnswer) {
    TerminalDialogs terminal(slave, slave);
    std::string text = "640";
    type("1000\n");
    EXPECT_EQ(terminal.input("Filter Freq", "20hz to 20000 Hz", text), DialogReply::Ok);
    EXPECT_EQ(text, "1000");
    EXPECT_NE(shown().find("Filter Freq: 20hz to 20000 Hz"), std::string::npos);
    type("\n");
    EXPECT_EQ(terminal.input("t", "p", text), DialogReply::Ok);  // Enter keeps the text
    EXPECT_EQ(text, "1000");
    type("\x04");
    EXPECT_EQ(terminal.input("t", "p", text), DialogReply::Cancel);

    // OK/Cancel asks again until it gets a yes or a no; the end of input is a no.
    type("maybe\n\nyes\n");
    EXPECT_EQ(terminal.message("Tarnwell", "Scale to 200%?", true), DialogReply::Ok);
    EXPECT_NE(shown().find("Tarnwell: Scale to 200%?"), std::string::npos);
    type("n\n");
    EXPECT_EQ(terminal.message("Tarnwell", "Scale?", true), DialogReply::Cancel);
    type("\n");
    EXPECT_EQ(terminal.message("Tarnwell", "Problem with Mod file", false), DialogReply::Ok);
}

TEST_F(Terminal, ChoosersTakeATypedPathAndConfirmAReplacement) {
    PreferencesSandbox scratch;
    const std::string folder = scratch.userFolder();
    std::filesystem::create_directories(folder);
    PreferencesSandbox::write(folder + "/a.ecs", "0\n");
    TerminalDialogs terminal(slave, slave);
    ChooserRequest request{ChooserKind::OpenFile, "ECS Loader", folder, {"ecs"}, ""};
    std::string path;
    type("missing.ecs\na.ecs\n");  // relative to the start folder; asked again after a wrong one
    EXPECT_EQ(terminal.choose(request, path), DialogReply::Ok);
    EXPECT_EQ(path, folder + "/a.ecs");
    const std::string text = shown();
    EXPECT_NE(text.find("*.ecs"), std::string::npos);
    EXPECT_NE(text.find("No such file: " + folder + "/missing.ecs"), std::string::npos);
    request.kind = ChooserKind::SaveFile;
    type("a.ecs\nno\nnew.ecs\n");
    EXPECT_EQ(terminal.choose(request, path), DialogReply::Ok);
    EXPECT_EQ(path, folder + "/new.ecs");
    EXPECT_NE(shown().find("Replace " + folder + "/a.ecs?"), std::string::npos);
    type("a.ecs\n\x04");
    EXPECT_EQ(terminal.choose(request, path), DialogReply::Cancel);

    request.kind = ChooserKind::Folder;
    type("a.ecs\n" + folder + "\n");
    EXPECT_EQ(terminal.choose(request, path), DialogReply::Ok);
    EXPECT_EQ(path, folder);
}

// ------------------------------------------------------------------ desktop chooser and the chain

// Stand-ins for the desktop's chooser programs on PATH, with a display. They record their
// arguments (NUL-separated) and answer with $CHOOSER_ANSWER and $CHOOSER_STATUS.
class Desktop : public ::testing::Test {
protected:
    Desktop() {
        bin = scratch.userFolder() + "/bin";
        std::filesystem::create_directories(bin);
        for (const char* name : {"zenity", "kdialog"}) {
            const std::string file = bin + "/" + name;
            PreferencesSandbox::write(file,
                                      "#!/bin/sh\n"
                                      "printf '%s\\0' \"$@\" > \"$CHOOSER_RECORD\"\n"
                                      "[ -n \"$CHOOSER_ANSWER\" ] && printf '%s\\n' \"$CHOOSER_ANSWER\"\n"
                                      "exit ${CHOOSER_STATUS:-0}\n");
            std::filesystem::permissions(file, std::filesystem::perms::owner_all);
        }
        save("PATH", bin.c_str());
        save("DISPLAY", ":99");
        save("XDG_CURRENT_DESKTOP", "GNOME");
        save("CHOOSER_RECORD", record().c_str());
        save("CHOOSER_ANSWER", "");
        save("CHOOSER_STATUS", "0");
    }
    void save(const std::string& name, const char* value) { environment.set(name, value); }
    std::string record() const { return scratch.userFolder() + "/args"; }
    std::vector<std::string> recorded() const {
        std::vector<std::string> args;
        std::string all = PreferencesSandbox::read(record());
        for (std::size_t start = 0, end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(all.substr(start, end - start));
        return args;
    }
    PreferencesSandbox scratch;
    std::string bin;
    tarnwell::test::ScopedEnvironment environment;
};

TEST_F(Desktop, ZenityGetsEveryValueAsOneArgumentNeverThroughAShell) {
    const std::string trap = scratch.userFolder() + "/pwned";
    const std::string title = "It's \"mine\" $(touch " + trap + ") `touch " + trap + "`; x";
    const std::string folder = scratch.userFolder() + "/My $HOME 'presets'";
    const std::string chosen = folder + "/a b$(x).ecs";
    save("CHOOSER_ANSWER", chosen.c_str());
    char outFolder[PATH_BUFFER_SIZE] = "", outPath[PATH_BUFFER_SIZE] = "";
    char filter[] = "*.ecs";
    fileSelectLoadDir(title.c_str(), folder.c_str(), "Load", filter, nullptr, outFolder, outPath);
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{"--file-selection", "--title=" + title, "--filename=" + folder + "/",
                                        "--file-filter=ecs | *.ecs"}));
    EXPECT_EQ(outPath, chosen);
    EXPECT_EQ(outFolder, folder + "/");
    EXPECT_FALSE(std::filesystem::exists(trap));

    // Cancelled: nothing written.
    save("CHOOSER_STATUS", "1");
    std::strcpy(outPath, "kept");
    fileSelectSaveDir("Mod Preset Save", "/m", "Save", "Mod.mod", outFolder, outPath);
    EXPECT_EQ(recorded(), (std::vector<std::string>{"--file-selection", "--title=Mod Preset Save", "--save",
                                                    "--confirm-overwrite", "--filename=/m/Mod.mod",
                                                    "--file-filter=mod | *.mod"}));
    EXPECT_STREQ(outPath, "kept");

    // A KDE desktop asks kdialog; a folder that could pass for an option is made a path.
    save("XDG_CURRENT_DESKTOP", "KDE");
    save("CHOOSER_STATUS", "0");
    save("CHOOSER_ANSWER", "/music");
    EXPECT_EQ(BrowseFolder("-x", outFolder), 1);
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{"--title=Choose Folder", "--getexistingdirectory", "./-x/"}));
    EXPECT_STREQ(outFolder, "/music");
}

// Records what reaches it and serves messages only, as the toolkit's windows will.
class MessageWindows : public DialogBackend {
public:
    DialogReply message(const std::string& title, const std::string&, bool) override {
        titles.push_back(title);
        return DialogReply::Ok;
    }
    DialogReply input(const std::string&, const std::string&, std::string&) override {
        return DialogReply::NotServed;
    }
    DialogReply choose(const ChooserRequest&, std::string&) override { return DialogReply::NotServed; }
    std::vector<std::string> titles;
};

TEST_F(Desktop, TheFirstBackEndThatServesAnswers) {
    MessageWindows windows;
    setWindowDialogBackend(&windows);
    save("CHOOSER_ANSWER", "/x/y.blp");
    char outFolder[PATH_BUFFER_SIZE] = "", outPath[PATH_BUFFER_SIZE] = "";
    char filter[] = "*.blp";
    EXPECT_EQ(messageBoxCancel("Replace?", 0), 1);  // the window
    fileSelectLoadDir("Block Preset Loader", "/b/", "Load", filter, nullptr, outFolder, outPath);
    EXPECT_STREQ(outPath, "/x/y.blp");  // the desktop chooser

    ScriptedDialogs script;  // a script comes before everything
    script.push({Answer::Cancel, ""});
    setScriptedDialogBackend(&script);
    EXPECT_EQ(messageBoxCancel("Replace?", 0), 2);
    setScriptedDialogBackend(nullptr);
    setWindowDialogBackend(nullptr);
    EXPECT_EQ(windows.titles, std::vector<std::string>{"Tarnwell"});

    // With no way to ask, nothing that needs a yes goes ahead and no file is chosen.
    NoDialogs none;
    std::string text = "start", path;
    EXPECT_EQ(none.message("Tarnwell", "Overwrite?", true), DialogReply::Cancel);
    EXPECT_EQ(none.input("Tarnwell", "Value", text), DialogReply::Cancel);
    EXPECT_EQ(none.choose({ChooserKind::SaveFile, "Save", "", {}, ""}, path), DialogReply::Cancel);
    EXPECT_EQ(none.message("Tarnwell", "Problem with ECS File", false), DialogReply::Ok);
}

}  // namespace
