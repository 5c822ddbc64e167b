#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/platform/FileHelpers.h"
#include "sdk/corefoundation/CFBundle.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/ScopedEnvironment.h"

namespace {

using tarnwell::test::PreferencesSandbox;

class FileHelpers : public ::testing::Test {
protected:
    FileHelpers() { std::filesystem::create_directories(sandbox.userFolder()); }
    std::string path(const std::string& name) const { return sandbox.userFolder() + "/" + name; }
    static std::string read(const std::string& file) { return PreferencesSandbox::read(file); }
    PreferencesSandbox sandbox;  // only its scratch folder is used
};

TEST_F(FileHelpers, DeletingRenamesInsteadOfRemoving) {
    PreferencesSandbox::write(path("a.blp"), "block");
    deleteFile(path("a.blp").c_str());
    EXPECT_FALSE(std::filesystem::exists(path("a.blp")));
    EXPECT_EQ(read(path("a.~fx")), "block");
    PreferencesSandbox::write(path("b.mod"), "mod");
    deleteFile(path("b.mod").c_str(), ".old");
    EXPECT_EQ(read(path("b.old")), "mod");
}

TEST_F(FileHelpers, CopyReplacesTheTargetOnlyWithAWholeSource) {
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    PreferencesSandbox::write(path("src"), big);
    PreferencesSandbox::write(path("dst"), std::string(300000, 'x'));
    CopyFileFromTo(path("src").c_str(), path("dst").c_str());
    EXPECT_EQ(read(path("dst")), big);
    // A missing source, or the target itself as source, leaves the target as it was.
    CopyFileFromTo(path("missing").c_str(), path("dst").c_str());
    CopyFileFromTo(path("dst").c_str(), path("dst").c_str());
    EXPECT_EQ(read(path("dst")), big);
}

TEST_F(FileHelpers, ResourcePathComesFromTheRegisteredComponentBundle) {
    tarnwell::cf::registerBundle("com.Zelk.Tarnwell.component", "/opt/Tarnwell.component");
    const std::string expected = "/opt/Tarnwell.component/Contents/Resources";
    char buffer[64] = "stale";
    getResourcePath(buffer, static_cast<int>(expected.size()) + 1);
    EXPECT_EQ(buffer, expected);
    getResourcePath(buffer, static_cast<int>(expected.size()));  // no room for the terminator
    EXPECT_STREQ(buffer, "");
}

}  // namespace

TEST(DataFolder, FollowsXdgDataHomeElseTheHomeFolder) {
    tarnwell::test::ScopedEnvironment environment;
    char folder[64];
    environment.set("XDG_DATA_HOME", "/srv/data/");
    getApplicationDataFolder(folder, sizeof folder);
    EXPECT_STREQ(folder, "/srv/data/Orvane/Tarnwell/");
    getApplicationDataFolder(folder, 26);  // one byte short
    EXPECT_STREQ(folder, "");
    environment.set("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
    environment.set("HOME", "/home/tester");
    getApplicationDataFolder(folder, sizeof folder);
    EXPECT_STREQ(folder, "/home/tester/.local/share/Orvane/Tarnwell/");
}
