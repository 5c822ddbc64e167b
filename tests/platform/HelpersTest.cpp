#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/platform/StringHelpers.h"

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

}  // namespace
