// The string, path and folder helpers the program calls.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/platform/FileHelpers.h"
#include "framework/platform/StringHelpers.h"
#include "sdk/corefoundation/CFBundle.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

// The helpers the effect calls: host names upper-cased (bytes >= 128 kept), typed numbers
// stripped of their units, and paths never written past the caller's buffer.
TEST(StringHelpers, EditsKeepWhatTheySayAndPathsStayInTheirBuffer) {
    const struct {
        void (*edit)(char*);
        const char* in;
        const char* out;
    } cases[] = {{upperCase, "Reaper v6.2 caf\x8E", "REAPER V6.2 CAF\x8E"},
                 {stripAllButNum, "-3.5dB", "-3.5"}, {stripAllButNum, "+1e3 Hz", "+13"}, {stripAllButNum, "none", ""}};
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

}  // namespace
