#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/platform/StringHelpers.h"

namespace {

TEST(StringHelpers, InPlaceEditsKeepWhatTheySay) {
    const struct {
        void (*edit)(char*);
        const char* in;
        const char* out;
    } cases[] = {
        {upperCase, "Reaper v6.2 caf\x8E", "REAPER V6.2 CAF\x8E"},
        // At most 24 plain characters: the name ends before a control character or byte >= 128.
        {safename, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "ABCDEFGHIJKLMNOPQRSTUVWX"},
        {safename, "Cafe\xC3\xA9 Host", "Cafe"},
        {stripAllButNum, "-3.5dB", "-3.5"}, {stripAllButNum, "+1e3 Hz", "+13"}, {stripAllButNum, "none", ""},
        {trim, "\tA\x01 b\x7F\x8E!", "A b!"},
        // Cut to 24 characters before the leading blanks go; what file systems refuse turns blank.
        {safenametosave, "  Lead: a/b?c|d<e>f\\g\"h*i", "Lead- a b c d e f g h "}};
    for (const auto& c : cases) {
        char text[64];
        std::strcpy(text, c.in);
        c.edit(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

TEST(StringHelpers, PathsFollowTheLastPointAndSeparatorAndNeverOverrunTheirBuffer) {
    const struct {
        void (*part)(const char*, char*);
        const char* path;
        const char* out;
    } cases[] = {
        {getFileNameExtension, "/a/b/c", ""}, {getFileNameNoExtension, "/a/b/my.preset.txt", "my.preset"},
        {getFileNameNoExtension, "C:\\x\\y.blp", "y"}, {getFileDriveDir, "/a/b/c.ecs", "/a/b/"},
        {[](const char* p, char* o) { replaceExtension(p, o, ".~fx"); }, "/a/b/c.ecs", "/a/b/c.~fx"}};
    for (const auto& c : cases) {
        char out[PATH_BUFFER_SIZE];
        c.part(c.path, out);
        EXPECT_STREQ(out, c.out) << c.path;
    }
    const std::string longPath = "/" + std::string(600, 'd') + "/file.txt";
    char buffer[PATH_BUFFER_SIZE + 8];
    std::memset(buffer, '#', sizeof buffer);
    replaceExtension(longPath.c_str(), buffer, ".blp");
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[PATH_BUFFER_SIZE], '#');
    getFileNameExtension(("/a." + std::string(600, 'e')).c_str(), buffer);
    EXPECT_EQ(std::strlen(buffer), 254u);
    char text[300];
    itoa(-12345, text, 3);
    EXPECT_STREQ(text, "-12");
    EXPECT_EQ(removeSub("/longer prefix/", "/short", text), 0);
    getFullPathForFileName(text, "/presets", "Mod", "A/B", ".mod");
    EXPECT_STREQ(text, "/presets/Mod/A B.mod");
}

TEST(StringHelpers, ComparisonsIgnoreCaseAndCombinedNamesSplitBack) {
    EXPECT_TRUE(issubstring("Maschine Host", "HOST"));
    EXPECT_FALSE(issubstring("Live", "lives"));
    EXPECT_LT(stringCompareIgnoreCase("Kore", "KORE 2"), 0);
    std::string joined;
    CombineName(joined, std::string("a"), std::string("b||c"));
    char a[32], b[32];
    SplitName(joined, a, b);
    EXPECT_STREQ(a, "a");
    EXPECT_STREQ(b, "b||c");
}

}  // namespace
