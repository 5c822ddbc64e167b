// The command itself, run as a user runs it, on every hostile file: each ends as promised (one
// line naming the file and the problem, exit 1, nothing written, nothing left behind) or renders,
// within bounds a runaway breaks: CPU seconds and, where the build allows, address space.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "host/AudioFile.h"
#include "tests/host/CommandProcess.h"
#include "tests/host/HostileFiles.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::HostileFile;
using tarnwell::test::PreferencesSandbox;
using tarnwell::test::startCommand;
using tarnwell::test::TempFolder;

struct Finished {
    int status = -1, signal = 0;
    std::string out, err;
};

Finished finish(pid_t child, const TempFolder& logs) {
    Finished f;
    f.status = tarnwell::test::waitForCommand(child, &f.signal);
    f.out = logs.read("out");
    f.err = logs.read("err");
    return f;
}

class HostileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        AudioData input;
        input.channels.assign(2, std::vector<float>(4410, 0.25f));
        writeAudioFile(folder.path("short.wav"), input);
    }

    // Runs the command on file, given as its extension says, and checks how it ended.
    void expectEndsAsPromised(const HostileFile& file) {
        SCOPED_TRACE(file.name);
        folder.write(file.name, file.bytes);
        const std::string path = folder.path(file.name);
        const std::string ext = file.name.substr(file.name.rfind('.'));
        std::vector<std::string> args{"render", folder.path("short.wav"), folder.path("out.wav"), "--tail",
                                      "0"};
        if (ext == ".mid" || ext == ".aupreset")
            args.insert(args.end(), {ext == ".mid" ? "--midi" : "--state", path});
        else
            args[1] = path;
        const std::vector<std::string> before = folder.entries();
        const Finished run = finish(startCommand(args, logs.path("out"), logs.path("err"), true), logs);

        ASSERT_EQ(run.signal, 0) << run.err;
        if (file.renders) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.out.rfind("wrote " + folder.path("out.wav"), 0), 0u) << run.out;
            if (file.message.empty())
                EXPECT_EQ(run.err, "");
            else
                EXPECT_EQ(run.err.rfind("tarnwell: " + path + ": " + file.message, 0), 0u) << run.err;
            std::vector<std::string> after = before;
            after.push_back("out.wav");
            std::sort(after.begin(), after.end());
            EXPECT_EQ(folder.entries(), after);
        } else {
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err.rfind("tarnwell: " + path + ": ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(file.message), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(folder.entries(), before);
        }
        // Beside the one line about the file, a loud file's render may say how much was limited.
        const long limitLine = run.err.find("reached the output limit of") != std::string::npos ? 1 : 0;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n') - limitLine, run.err.empty() ? 0 : 1)
            << run.err;
        std::remove(folder.path("out.wav").c_str());
        std::remove(path.c_str());
    }

    PreferencesSandbox sandbox;  // the child inherits it
    TempFolder folder;
    TempFolder logs;
};

TEST_F(HostileFiles, AudioInputs) {
    for (const HostileFile& file : tarnwell::test::hostileAudioFiles()) expectEndsAsPromised(file);
}

TEST_F(HostileFiles, MidiFiles) {
    for (const HostileFile& file : tarnwell::test::hostileMidiFiles()) expectEndsAsPromised(file);
}

TEST_F(HostileFiles, SavedStates) {
    for (const HostileFile& file : tarnwell::test::hostileStates()) expectEndsAsPromised(file);
}

// Through a pipe too, WAV files whose LIST chunk libsndfile would read for ever are refused.
TEST_F(HostileFiles, AnEndlessListThroughAPipeIsRefused) {
    int piped = 0;
    for (const HostileFile& file : tarnwell::test::hostileAudioFiles()) {
        if (file.name.rfind("list-", 0) != 0) continue;
        folder.write(file.name, file.bytes);
        const std::string line = "cat '" + folder.path(file.name) +
                                 "' | '" TARNWELL_COMMAND "' render /dev/stdin '" + folder.path("out.wav") +
                                 "'";
        const Finished run =
            finish(startCommand({"-c", line}, logs.path("out"), logs.path("err"), true, "/bin/sh"), logs);
        EXPECT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "tarnwell: /dev/stdin: " + file.message + "\n") << file.name;
        ++piped;
    }
    EXPECT_EQ(piped, 2);
}

// Whatever a command writes to standard output must arrive: on a full disk or a closed output
// it fails with one line, whether the output was cut off on the way or at its last flush.
TEST_F(HostileFiles, AFullOrClosedStandardOutputFails) {
    const std::vector<std::string> commands[] = {
        {"presets"},
        {"params"},
        {"render", "--help"},
        {"state", "save", folder.path("saved.aupreset")},
        {"render", folder.path("short.wav"), folder.path("out.wav"), "--tail", "0"}};
    for (const std::string out : {"/dev/full", ""})
        for (const auto& args : commands) {
            SCOPED_TRACE(args[0] + " > " + out);
            const Finished run = finish(startCommand(args, out, logs.path("err")), logs);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, std::string("tarnwell: cannot write to standard output (") +
                                   (out.empty() ? "it is closed" : "the disk is full") + ")\n");
        }
}

// Whether the command has a file open in the folder (ending in '/'): its output, named or not.
bool writesInto(pid_t child, const std::string& folder) {
    std::error_code ignored;
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/fd", ignored)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), ignored).string();
        if (target.rfind(folder, 0) == 0 && target.find("short.wav") == std::string::npos) return true;
    }
    return false;
}

// Stopped by a signal while it writes its output, the command leaves no temporary file behind
// and ends as the signal ends it; killed outright as well, since the output has no name until
// it is complete.
TEST_F(HostileFiles, SignalsLeaveNothingBehind) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(signal);
        const pid_t child = startCommand({"render", folder.path("long.wav"), "--tail", "600"},
                                         logs.path("out"), logs.path("err"));
        for (int wait = 0; wait < 6000 && !writesInto(child, folder.path("")); ++wait) usleep(10000);
        ASSERT_EQ(logs.read("err"), "");
        kill(child, signal);
        const Finished run = finish(child, logs);
        EXPECT_EQ(run.signal, signal) << run.err;
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"short.wav"});
    }
}

}  // namespace
