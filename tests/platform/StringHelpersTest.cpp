#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/platform/StringHelpers.h"

namespace {

// Runs an in-place helper on a copy of text.
template <typename F>
std::string inPlace(F helper, const std::string& text) {
    char buffer[512];
    std::strcpy(buffer, text.c_str());
    helper(buffer);
    return buffer;
}

template <typename F>
std::string out(F helper, const char* input) {
    char buffer[512];
    std::memset(buffer, '#', sizeof buffer);
    helper(input, buffer);
    return buffer;
}

TEST(StringHelpers, CaseConversionTouchesAsciiLettersOnly) {
    EXPECT_EQ(inPlace(upperCase, "Reaper v6.2 caf\x8E"), "REAPER V6.2 CAF\x8E");
    EXPECT_EQ(inPlace(lowerCase, "MASCHINE Host 2"), "maschine host 2");
    const std::string longName(400, 'q');
    EXPECT_EQ(inPlace(upperCase, longName), std::string(400, 'Q'));
}

TEST(StringHelpers, SafenameKeepsAtMost24PlainCharacters) {
    EXPECT_EQ(inPlace(safename, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(inPlace(safename, "Caf\x8E Host"), "Caf");       // Mac Roman é
    EXPECT_EQ(inPlace(safename, "Cafe\xC3\xA9 Host"), "Cafe");  // UTF-8 é at position 5
    EXPECT_EQ(inPlace(safename, "Tab\there"), "Tab");
    EXPECT_EQ(inPlace(safename, "short"), "short");
}

TEST(StringHelpers, StripAllButNumKeepsDigitsSignsAndPoints) {
    EXPECT_EQ(inPlace(stripAllButNum, "12,5 %"), "125");
    EXPECT_EQ(inPlace(stripAllButNum, "-3.5dB"), "-3.5");
    EXPECT_EQ(inPlace(stripAllButNum, "+1e3 Hz"), "+13");
    EXPECT_EQ(inPlace(stripAllButNum, "none"), "");
}

TEST(StringHelpers, ItoaIsCutToTheGivenLength) {
    char buffer[300];
    itoa(-12345, buffer, 3);
    EXPECT_STREQ(buffer, "-12");
    itoa(987, buffer, 0);
    EXPECT_STREQ(buffer, "9");
    itoa(2147483647, buffer, 255);
    EXPECT_STREQ(buffer, "2147483647");
}

TEST(StringHelpers, FileNamePartsFollowTheLastPointAndSeparator) {
    EXPECT_EQ(out(getNameNoExtension, "Tarnwell.v2.ecs"), "Tarnwell.v2");
    EXPECT_EQ(out(getFileNameExtension, "/a/b/c.ecs"), ".ecs");
    EXPECT_EQ(out(getFileNameExtension, "/a/b/c"), "");
    EXPECT_EQ(out(getFileNameNoExtension, "/a/b/my.preset.txt"), "my.preset");
    EXPECT_EQ(out(getFileNameNoExtension, "C:\\x\\y.blp"), "y");
    EXPECT_EQ(out(getFileNameNoExtension, "plain.mod"), "plain");
    EXPECT_EQ(out([](const char* p, char* o) { getFileNameOnly(p, o, false); }, "/a/b/c.xyp"), "c.xyp");
    EXPECT_EQ(out([](const char* p, char* o) { getFileNameOnly(p, o, true); }, "/a/b/c.xyp"), "c");
    EXPECT_EQ(out([](const char* p, char* o) { getFileNameOnly(p, o, false); }, "c.xyp"), "");
    EXPECT_EQ(out(getFileDriveDir, "/a/b/c.ecs"), "/a/b/");
    EXPECT_EQ(out(getFileDriveDir, "c.ecs"), "c");
    EXPECT_EQ(out(GetFilePathNoExtension, "/a/b/c.ecs"), "/a/b/c");
    EXPECT_EQ(out(GetFilePathNoExtension, "c.ecs"), "c");
    EXPECT_EQ(out([](const char* p, char* o) { replaceExtension(p, o, ".~fx"); }, "/a/b/c.ecs"), "/a/b/c.~fx");
}

TEST(StringHelpers, PathResultsNeverOverrunAPathBuffer) {
    const std::string longPath = "/" + std::string(600, 'd') + "/file.txt";
    char buffer[PATH_BUFFER_SIZE + 8];
    std::memset(buffer, '#', sizeof buffer);
    replaceExtension(longPath.c_str(), buffer, ".blp");
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[PATH_BUFFER_SIZE], '#');
    getFileNameExtension(("/a." + std::string(600, 'e')).c_str(), buffer);
    EXPECT_EQ(std::strlen(buffer), 254u);
}

TEST(StringHelpers, SmallTextEdits) {
    char path[32] = "/a/b/";
    EXPECT_EQ(removeEndSlash(path), 5);
    EXPECT_STREQ(path, "/a/b");
    EXPECT_EQ(removeEndSlash(path), 4);
    EXPECT_STREQ(path, "/a/b");

    char rest[64];
    EXPECT_EQ(removeSub("/root/", "/root/presets/x.blp", rest), 13);
    EXPECT_STREQ(rest, "presets/x.blp");
    EXPECT_EQ(removeSub("/longer prefix/", "/short", rest), 0);
    EXPECT_STREQ(rest, "");

    EXPECT_EQ(inPlace(removeDoubleDot, "a:b::c"), "a b  c");
    EXPECT_EQ(inPlace(ltrim, "   left  "), "left  ");
    EXPECT_EQ(inPlace(trim, "\tA\x01 b\x7F\x8E!"), "A b!");

    char name[] = "x";
    char numbered[32];
    setThreeCharName(9, name, numbered);
    EXPECT_STREQ(numbered, "010 x");
    setThreeCharName(99, name, numbered);
    EXPECT_STREQ(numbered, "100 x");
    setThreeCharName(0, name, numbered);
    EXPECT_STREQ(numbered, "001 x");
}

TEST(StringHelpers, SaveNamesAreSafeForFileSystems) {
    // Cut to 24 characters before the leading blanks go.
    EXPECT_EQ(inPlace(safenametosave, "  Lead: a/b?c|d<e>f\\g\"h*i"), "Lead- a b c d e f g h ");
    EXPECT_STREQ(getSaveName("Pad: Warm", ".blp"), "Pad- Warm.blp");

    char path[PATH_BUFFER_SIZE];
    getFullPathForFolder(path, "/presets", "Block");
    EXPECT_STREQ(path, "/presets/Block/");
    getFullPathForFolder(path, "/presets/", "Root Folder");
    EXPECT_STREQ(path, "/presets/");
    getFullPathForFileName(path, "/presets", "Mod", "A/B", ".mod");
    EXPECT_STREQ(path, "/presets/Mod/A B.mod");
    getFullPathForFileName(path, "/presets", "x.ecs");
    EXPECT_STREQ(path, "/presets/x.ecs");
    getFullPathForFileName(path, "/presets/", "x.ecs");
    EXPECT_STREQ(path, "/presets/x.ecs");
}

TEST(StringHelpers, ComparisonsIgnoreCase) {
    EXPECT_TRUE(issubstring("Maschine Host", "HOST"));
    EXPECT_TRUE(issubstring("Live", ""));
    EXPECT_FALSE(issubstring("Live", "lives"));
    EXPECT_EQ(stringCompareIgnoreCase("reaper", "REAPER"), 0);
    EXPECT_LT(stringCompareIgnoreCase("abc", "ABD"), 0);
    EXPECT_GT(stringCompareIgnoreCase("b", "A"), 0);
    char a[] = "Kore", b[] = "KORE 2";
    EXPECT_LT(stringCompareIgnoreCase(a, b), 0);
}

TEST(StringHelpers, CombinedNamesSplitBackIntoTheirParts) {
    std::string joined;
    CombineName(joined, "Block 1", "Filter");
    EXPECT_EQ(joined, "Block 1||Filter");
    CombineName(joined, std::string("a"), std::string("b||c"));
    char a[32], b[32];
    SplitName(joined, a, b);
    EXPECT_STREQ(a, "a");
    EXPECT_STREQ(b, "b||c");
    SplitName("alone", a, b);
    EXPECT_STREQ(a, "alone");
    EXPECT_STREQ(b, "");
}

}  // namespace
