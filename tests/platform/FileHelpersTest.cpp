#include <gtest/gtest.h>

#include <string>

#include "framework/platform/FileHelpers.h"
#include "sdk/corefoundation/CFBundle.h"
#include "tests/support/ScopedEnvironment.h"

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
