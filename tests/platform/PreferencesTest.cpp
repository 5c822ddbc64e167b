#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/platform/Preferences.h"
#include "sdk/corefoundation/CoreFoundation.h"
#include "tests/support/PreferencesSandbox.h"

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
    if (CFGetTypeID(v) == CFStringGetTypeID()) {
        CFStringGetCString(static_cast<CFStringRef>(v), buffer, sizeof buffer, kCFStringEncodingUTF8);
    } else if (v != nullptr) {
        std::strcpy(buffer, "<not a text>");
    }
    if (v != nullptr) CFRelease(v);
    CFRelease(k);
    CFRelease(d);
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

TEST_F(Preferences, TextsRoundTripAndAreStoredAsUnicode) {
    saveStringToPrefs("BlockPresetDir", "/Users/Ren\x8E/Block Presets/");  // é in Mac Roman
    EXPECT_EQ(load("BlockPresetDir"), "/Users/Ren\x8E/Block Presets/");
    EXPECT_EQ(storedUtf8("BlockPresetDir"), "/Users/Ren\xC3\xA9/Block Presets/");
    EXPECT_NE(PreferencesSandbox::read(sandbox.userFile(prefsPath)).find("Ren\xC3\xA9"), std::string::npos)
        << "written through to the file at once";
}

TEST_F(Preferences, ATextOnlyInTheSystemScopeIsReturnedAndMigrated) {
    systemHas("<key>HelpDir</key><string>/usr/share/doc/manual.pdf</string>\n");
    EXPECT_EQ(storedUtf8("HelpDir"), "<none>");
    EXPECT_EQ(load("HelpDir", 127), "/usr/share/doc/manual.pdf");
    EXPECT_EQ(storedUtf8("HelpDir"), "/usr/share/doc/manual.pdf");

    // An empty user text counts as missing.
    userHas("<key>ECSDir</key><string></string>\n");
    systemHas("<key>ECSDir</key><string>/shared/ECS/</string>\n");
    EXPECT_EQ(load("ECSDir", 127), "/shared/ECS/");
    EXPECT_EQ(storedUtf8("ECSDir"), "/shared/ECS/");
}

TEST_F(Preferences, ATextThatDoesNotFitIsNotDelivered) {
    userHas("<key>XYPresetDir</key><string>/a/long/folder/</string>\n");
    EXPECT_EQ(load("XYPresetDir", 16), "/a/long/folder/");
    EXPECT_EQ(load("XYPresetDir", 15), "");
    EXPECT_EQ(load("XYPresetDir", 1), "");

    // The read goes on to the system scope, but the user's own text stays stored.
    systemHas("<key>XYPresetDir</key><string>/x/</string>\n");
    EXPECT_EQ(load("XYPresetDir", 15), "/x/");
    EXPECT_EQ(storedUtf8("XYPresetDir"), "/a/long/folder/");
    EXPECT_EQ(load("XYPresetDir", 16), "/a/long/folder/");
}

TEST_F(Preferences, ATextWithoutMacRomanFormIsNotDelivered) {
    userHas("<key>ModPresetDir</key><string>/home/\xE6\x97\xA5\xE6\x9C\xAC/</string>\n");
    EXPECT_EQ(load("ModPresetDir"), "");
    systemHas("<key>ModPresetDir</key><string>/mod/</string>\n");
    EXPECT_EQ(load("ModPresetDir"), "/mod/");
}

TEST_F(Preferences, YesNoSettingsHonourOnlyExactYAndN) {
    userHas("<key>Y</key><string>Y</string>\n<key>N</key><string>N</string>\n"
            "<key>Yes</key><string>Yes</string>\n<key>y</key><string>y</string>\n"
            "<key>E</key><string></string>\n<key>Num</key><integer>1</integer>\n");
    EXPECT_TRUE(getRegistryIsOn("Y", false));
    EXPECT_FALSE(getRegistryIsOn("N", true));
    for (const char* key : {"Yes", "y", "E", "Num", "Missing"}) {
        EXPECT_TRUE(getRegistryIsOn(key, true)) << key;
        EXPECT_FALSE(getRegistryIsOn(key, false)) << key;
    }
    systemHas("<key>MidiPreset</key><string>N</string>\n");
    EXPECT_FALSE(getRegistryIsOn("MidiPreset", true)) << "yes/no settings use the system fallback too";
}

TEST_F(Preferences, IntegersLiveInTheUserScopeOnly) {
    saveIntToPrefs("Count", -42);
    EXPECT_EQ(loadIntFromPrefs("Count"), -42);
    systemHas("<key>Other</key><integer>9</integer>\n");
    EXPECT_EQ(loadIntFromPrefs("Other"), 0);
    EXPECT_EQ(storedUtf8("Other"), "<none>");
    userHas("<key>Text</key><string>12</string>\n<key>Real</key><real>3.75</real>\n");
    EXPECT_EQ(loadIntFromPrefs("Text"), 0);
    EXPECT_EQ(loadIntFromPrefs("Real"), 3);
}

TEST_F(Preferences, ControllerBindingsUseTheDecimalControllerNumber) {
    setMidiCC(5, 77);
    setMidiCC(127, 1023);
    EXPECT_EQ(getMidiCC(5), 77);
    EXPECT_EQ(loadIntFromPrefs("5"), 77);
    EXPECT_EQ(getMidiCC(127), 1023);
    EXPECT_EQ(getMidiCC(0), 0);
    setMidiCC(5, 0);
    EXPECT_EQ(getMidiCC(5), 0);

    userHas("<key>6</key><string>12</string>\n");
    EXPECT_EQ(getMidiCC(6), 0);
}

TEST_F(Preferences, TheSecondDomainIsSeparate) {
    ASSERT_STRNE(kqPath, prefsPath);
    saveIntToKqPrefs("Level", 3);
    saveIntToPrefs("Level", 8);
    EXPECT_EQ(loadIntFromKqPrefs("Level"), 3);
    EXPECT_EQ(loadIntFromPrefs("Level"), 8);
    EXPECT_NE(PreferencesSandbox::read(sandbox.userFile(kqPath)).find("<integer>3</integer>"), std::string::npos);
}

}  // namespace
