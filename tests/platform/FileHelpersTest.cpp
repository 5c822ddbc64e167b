#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "framework/platform/FileHelpers.h"
#include "framework/platform/apFile.h"
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

TEST(BinaryReader, ReadsInFileOrderOrReversedAndNeverPastTheEnd) {
    PreferencesSandbox scratch;
    const std::string big = scratch.userFolder() + "/big.bin", little = scratch.userFolder() + "/little.bin";
    PreferencesSandbox::write(big, std::string("\x00\x00\x01\x02\x03\x04", 6));
    PreferencesSandbox::write(little, std::string("\x04\x03\x02\x01\xAA", 5));
    apFile file;
    unsigned char buffer[4] = {5, 5, 5, 5};
    EXPECT_EQ(file.readLE(buffer, 4), 0);  // nothing open
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(file.open((big + "-missing").c_str()), 0);
    EXPECT_EQ(file.open(scratch.userFolder().c_str()), 0);  // a folder
    ASSERT_EQ(file.open(big.c_str()), 1);                   // the failures left it free
    EXPECT_EQ(file.open(little.c_str()), 0);                // one file at a time: the first stays
    EXPECT_EQ(file.readHE(buffer, 2), 2);
    EXPECT_EQ(buffer[0], 0);
    uint32_t value = 0;
    EXPECT_EQ(file.readLE(&value, 4), 4);  // bytes 01 02 03 04 stored as 04 03 02 01
    EXPECT_EQ(value, 0x01020304u);
    file.close();

    ASSERT_EQ(file.open(little.c_str()), 1);
    EXPECT_EQ(file.readSTR(&value, 4), 4);
    EXPECT_EQ(value, 0x01020304u);  // little-endian data read in file order on this processor
    unsigned char tail[3] = {7, 7, 7};
    EXPECT_EQ(file.readLE(tail, 3), 1);  // one byte left: it lands last, the rest untouched
    EXPECT_EQ(tail[2], 0xAA);
    EXPECT_EQ(tail[0], 7);

    EXPECT_EQ(apFile::getSize(little.c_str()), 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(apFile::getSize((big + "-missing").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "FSGetCatalogInfo failed for " + big + "-missing\n");
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
