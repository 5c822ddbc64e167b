#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/platform/FileHelpers.h"
#include "sdk/corefoundation/CFBundle.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

using tarnwell::test::PreferencesSandbox;
namespace fs = std::filesystem;

class FileHelpers : public ::testing::Test {
protected:
    FileHelpers() { fs::create_directories(sandbox.userFolder()); }
    std::string path(const std::string& name) const { return sandbox.userFolder() + "/" + name; }
    PreferencesSandbox sandbox;  // only its scratch folder is used
};

TEST_F(FileHelpers, DeletingRenamesInsteadOfRemoving) {
    PreferencesSandbox::write(path("a.blp"), "block");
    deleteFile(path("a.blp").c_str());
    EXPECT_FALSE(fs::exists(path("a.blp")));
    EXPECT_EQ(PreferencesSandbox::read(path("a.~fx")), "block");

    PreferencesSandbox::write(path("b.mod"), "mod");
    deleteFile(path("b.mod").c_str(), ".old");
    EXPECT_EQ(PreferencesSandbox::read(path("b.old")), "mod");
}

TEST_F(FileHelpers, CopyReplacesTheTargetWithTheWholeSource) {
    std::string big(200000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    PreferencesSandbox::write(path("src"), big);
    PreferencesSandbox::write(path("dst"), std::string(300000, 'x'));
    CopyFileFromTo(path("src").c_str(), path("dst").c_str());
    EXPECT_EQ(PreferencesSandbox::read(path("dst")), big);
    fileCopy(path("src").c_str(), path("new").c_str());
    EXPECT_EQ(PreferencesSandbox::read(path("new")), big);
}

TEST_F(FileHelpers, CopyNeverDestroysTheTargetWithoutASource) {
    PreferencesSandbox::write(path("keep"), "precious");
    CopyFileFromTo(path("missing").c_str(), path("keep").c_str());
    EXPECT_EQ(PreferencesSandbox::read(path("keep")), "precious");
    CopyFileFromTo(path("keep").c_str(), path("keep").c_str());
    EXPECT_EQ(PreferencesSandbox::read(path("keep")), "precious");
}

TEST_F(FileHelpers, ResourcePathComesFromTheRegisteredComponentBundle) {
    tarnwell::cf::registerBundle("com.Zelk.Tarnwell.component", "/opt/Tarnwell.component");
    char buffer[64] = "stale";
    getResourcePath(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "/opt/Tarnwell.component/Contents/Resources");
    const int exact = static_cast<int>(std::string("/opt/Tarnwell.component/Contents/Resources").size()) + 1;
    getResourcePath(buffer, exact);
    EXPECT_STREQ(buffer, "/opt/Tarnwell.component/Contents/Resources");
    getResourcePath(buffer, exact - 1);
    EXPECT_STREQ(buffer, "");
}

}  // namespace
