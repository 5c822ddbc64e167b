// Preferences in the user and system scopes, the string, path and folder helpers the program calls,
// and the launching of outside programs.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/platform/FileHelpers.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/Programs.h"
#include "framework/platform/StringHelpers.h"
#include "framework/platform/apFile.h"
#include "sdk/corefoundation/CFBundle.h"
#include "sdk/corefoundation/CoreFoundation.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::PreferencesSandbox;

std::string load(const char* key, int size = 256) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    loadStringFromPrefs(key, buffer, size);
    return buffer;
}

// The user's stored text as UTF-8, read through the store rather than the functions under test.
std::string storedUtf8(const char* key) {
    CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    CFStringRef d = CFStringCreateWithCString(kCFAllocatorDefault, prefsPath, kCFStringEncodingUTF8);
    CFPropertyListRef v = CFPreferencesCopyAppValue(k, d);
    char buffer[512] = "<none>";
    if (CFGetTypeID(v) == CFStringGetTypeID())
        CFStringGetCString(static_cast<CFStringRef>(v), buffer, sizeof buffer, kCFStringEncodingUTF8);
    for (CFTypeRef r : {v, CFTypeRef(k), CFTypeRef(d)})
        if (r != nullptr) CFRelease(r);
    return buffer;
}

class Preferences : public ::testing::Test {
protected:
    void userHas(const std::string& body) {
        PreferencesSandbox::write(sandbox.userFile(prefsPath), PreferencesSandbox::plist(body));
    }
    void systemHas(const std::string& body) {
        PreferencesSandbox::write(sandbox.systemFile(prefsPath), PreferencesSandbox::plist(body));
    }
    PreferencesSandbox sandbox;
};

TEST_F(Preferences, TextsRoundTripAndAreStoredAsUnicodeAtOnce) {
    saveStringToPrefs("BlockPresetDir", "/Users/Ren\x8E/Block Presets/");  // é in Mac Roman
    EXPECT_EQ(load("BlockPresetDir"), "/Users/Ren\x8E/Block Presets/");
    EXPECT_EQ(storedUtf8("BlockPresetDir"), "/Users/Ren\xC3\xA9/Block Presets/");
    EXPECT_NE(PreferencesSandbox::read(sandbox.userFile(prefsPath)).find("Ren\xC3\xA9"), std::string::npos);
}

TEST_F(Preferences, AMissingTextComesFromTheSystemScopeWithoutOverwritingTheUsersOwn) {
    // Missing or empty in the user scope: the system text is delivered and copied over.
    userHas(
        "<key>ECSDir</key><string></string>\n<key>XYPresetDir</key><string>/a/long/folder/</string>\n"
        "<key>ModPresetDir</key><string>/home/\xE6\x97\xA5\xE6\x9C\xAC/</string>\n");
    systemHas(
        "<key>HelpDir</key><string>/usr/share/doc/manual.pdf</string>\n"
        "<key>ECSDir</key><string>/ECS/</string>\n<key>XYPresetDir</key><string>/x/</string>\n"
        "<key>ModPresetDir</key><string>/mod/</string>\n");
    EXPECT_EQ(load("HelpDir", 127), "/usr/share/doc/manual.pdf");
    EXPECT_EQ(storedUtf8("HelpDir"), "/usr/share/doc/manual.pdf");
    EXPECT_EQ(load("ECSDir", 127), "/ECS/");
    EXPECT_EQ(storedUtf8("ECSDir"), "/ECS/");
    // A user text that does not fit, or has no Mac Roman form, is not delivered; the read goes
    // on to the system scope, but the user's own text stays stored.
    EXPECT_EQ(load("XYPresetDir", 16), "/a/long/folder/");
    EXPECT_EQ(load("XYPresetDir", 15), "/x/");
    EXPECT_EQ(storedUtf8("XYPresetDir"), "/a/long/folder/");
    EXPECT_EQ(load("ModPresetDir"), "/mod/");
    EXPECT_EQ(storedUtf8("ModPresetDir"), "/home/\xE6\x97\xA5\xE6\x9C\xAC/");
    EXPECT_EQ(load("Missing", 1), "");
}

TEST_F(Preferences, YesNoSettingsHonourOnlyExactYAndN) {
    userHas(
        "<key>Y</key><string>Y</string>\n<key>N</key><string>N</string>\n"
        "<key>Yes</key><string>Yes</string>\n<key>y</key><string>y</string>\n"
        "<key>Num</key><integer>1</integer>\n");
    EXPECT_TRUE(getRegistryIsOn("Y", false));
    EXPECT_FALSE(getRegistryIsOn("N", true));
    for (const char* key : {"Yes", "y", "Num", "Missing"}) {
        EXPECT_TRUE(getRegistryIsOn(key, true)) << key;
        EXPECT_FALSE(getRegistryIsOn(key, false)) << key;
    }
    systemHas("<key>MidiPreset</key><string>N</string>\n");
    EXPECT_FALSE(getRegistryIsOn("MidiPreset", true)) << "yes/no settings use the system fallback too";
}

TEST_F(Preferences, IntegersAndControllerBindingsLiveInTheUserScopeOfTheirDomain) {
    saveIntToPrefs("Count", -42);
    EXPECT_EQ(loadIntFromPrefs("Count"), -42);
    systemHas("<key>Other</key><integer>9</integer>\n");
    EXPECT_EQ(loadIntFromPrefs("Other"), 0);
    // Bindings sit under the controller number in decimal; 0 unbinds; a text is no binding.
    setMidiCC(127, 1023);
    EXPECT_EQ(getMidiCC(127), 1023);
    EXPECT_EQ(loadIntFromPrefs("127"), 1023);
    setMidiCC(127, 0);
    EXPECT_EQ(getMidiCC(127), 0);
    userHas("<key>6</key><string>12</string>\n<key>R</key><real>3.75</real>\n");
    EXPECT_EQ(getMidiCC(6), 0);
    EXPECT_EQ(loadIntFromPrefs("R"), 3);
}

// The helpers the effect calls: host names upper-cased (bytes >= 128 kept), typed numbers
// stripped of their units, and paths never written past the caller's buffer.
TEST(StringHelpers, EditsKeepWhatTheySayAndPathsStayInTheirBuffer) {
    const struct {
        void (*edit)(char*);
        const char* in;
        const char* out;
    } cases[] = {{upperCase, "Reaper v6.2 caf\x8E", "REAPER V6.2 CAF\x8E"},
                 {stripAllButNum, "-3.5dB", "-3.5"},
                 {stripAllButNum, "+1e3 Hz", "+13"},
                 {stripAllButNum, "none", ""}};
    for (const auto& c : cases) {
        char text[64];
        std::strcpy(text, c.in);
        c.edit(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
    char buffer[PATH_BUFFER_SIZE + 8];
    replaceExtension("/a/b/c.ecs", buffer, ".~fx");
    EXPECT_STREQ(buffer, "/a/b/c.~fx");
    std::memset(buffer, '#', sizeof buffer);
    replaceExtension(("/" + std::string(600, 'd') + "/file.txt").c_str(), buffer, ".blp");
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[PATH_BUFFER_SIZE], '#');
}

TEST(FileHelpers, ResourceAndDataFoldersFitTheirBufferOrAreEmpty) {
    tarnwell::cf::registerBundle("com.Zelk.Tarnwell.component", "/opt/Tarnwell.component");
    const std::string expected = "/opt/Tarnwell.component/Contents/Resources";
    char buffer[64] = "stale";
    getResourcePath(buffer, static_cast<int>(expected.size()) + 1);
    EXPECT_EQ(buffer, expected);
    getResourcePath(buffer, static_cast<int>(expected.size()));  // no room for the terminator
    EXPECT_STREQ(buffer, "");

    tarnwell::test::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", "/srv/data/");
    getApplicationDataFolder(buffer, 27);
    EXPECT_STREQ(buffer, "/srv/data/Orvane/Tarnwell/");
    getApplicationDataFolder(buffer, 26);  // one byte short
    EXPECT_STREQ(buffer, "");
    environment.set("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    environment.set("HOME", "/home/tester");
    getApplicationDataFolder(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/home/tester/.local/share/Orvane/Tarnwell/");
}

// A launched program answers within the wait, or runs on and is reaped once it ends: no zombie
// stays behind and nothing waited for it.
TEST(Programs, ALaunchGivesTheVerdictInTimeAndAProgramThatRunsOnIsReapedOnceItEnds) {
    tarnwell::test::TempFolder bin;
    const auto script = [&](const std::string& name, const std::string& body) {
        const std::string path = bin.path(name);
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    };
    EXPECT_EQ(launchProgram({"true"}, 1500).outcome, Launch::SUCCEEDED);  // found on PATH
    EXPECT_EQ(launchProgram({script("fails", "exit 4")}, 1500).outcome, Launch::FAILED);
    EXPECT_EQ(launchProgram({bin.path("missing")}, 1500).outcome, Launch::NOT_STARTED);

    const Launch lingering = launchProgram({script("lingers", "sleep 1")}, 0);
    ASSERT_EQ(lingering.outcome, Launch::RUNNING);
    EXPECT_EQ(reapLaunchedPrograms(), 1);
    int running = 1;
    for (int waited = 0; waited < 1000 && running > 0; ++waited) {
        usleep(10000);
        running = reapLaunchedPrograms();
    }
    EXPECT_EQ(running, 0);
    EXPECT_EQ(waitpid(lingering.pid, nullptr, WNOHANG), -1);  // collected already
    EXPECT_EQ(errno, ECHILD);
}

TEST(BinaryReader, ReadsInFileOrderOrReversedAndSaysHowMuch) {
    tarnwell::test::TempFolder folder;
    folder.write("data.bin", std::string("\x01\x02\x03\x04\x05\x06", 6));
    const std::string file = folder.path("data.bin");
    EXPECT_EQ(apFile::getSize(file.c_str()), 6);
    EXPECT_EQ(apFile::getSize(folder.path("missing").c_str()), -1);

    apFile reader;
    EXPECT_EQ(reader.open(folder.path("").c_str()), 0);  // a folder is not a file
    ASSERT_EQ(reader.open(file.c_str()), 1);
    EXPECT_EQ(reader.open(file.c_str()), 0);  // already open
    unsigned char bytes[4] = {};
    EXPECT_EQ(reader.readHE(bytes, 2), 2);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(reader.readLE(bytes, 2), 2);  // byte order reversed
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(reader.readLE(bytes, 4), 2);  // runs out: the bytes read land at the end
    EXPECT_EQ(bytes[3], 5);
    EXPECT_EQ(bytes[2], 6);
    reader.close();
    EXPECT_EQ(reader.readHE(bytes, 1), 0);
}

}  // namespace
