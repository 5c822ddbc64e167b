#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/platform/apFile.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

using tarnwell::test::PreferencesSandbox;

class BinaryReader : public ::testing::Test {
protected:
    BinaryReader() {
        PreferencesSandbox::write(path("big.bin"), std::string("\x00\x00\x01\x02\x03\x04", 6));
        PreferencesSandbox::write(path("little.bin"), std::string("\x04\x03\x02\x01\xAA", 5));
    }
    std::string path(const std::string& name) const { return scratch.userFolder() + "/" + name; }
    PreferencesSandbox scratch;
};

TEST_F(BinaryReader, ReadsInFileOrderOrReversed) {
    apFile file;
    ASSERT_EQ(file.open(path("big.bin").c_str()), 1);
    EXPECT_EQ(file.open(path("little.bin").c_str()), 0);  // one file at a time: the first stays
    unsigned char pair[2] = {9, 9};
    EXPECT_EQ(file.readHE(pair, 2), 2);
    EXPECT_EQ(pair[0], 0);
    uint32_t value = 0;
    EXPECT_EQ(file.readLE(&value, 4), 4);  // bytes 01 02 03 04 stored as 04 03 02 01
    EXPECT_EQ(value, 0x01020304u);
    // At the end: a short read reports what it got and writes nothing more.
    unsigned char rest[4] = {7, 7, 7, 7};
    EXPECT_EQ(file.readLE(rest, 4), 0);
    EXPECT_EQ(rest[3], 7);
    file.close();

    ASSERT_EQ(file.open(path("little.bin").c_str()), 1);
    EXPECT_EQ(file.readSTR(&value, 4), 4);
    EXPECT_EQ(value, 0x01020304u);  // little-endian data read in file order on this processor
    unsigned char tail[3] = {7, 7, 7};
    EXPECT_EQ(file.readLE(tail, 3), 1);  // one byte left: it lands last, the rest untouched
    EXPECT_EQ(tail[2], 0xAA);
    EXPECT_EQ(tail[0], 7);
    EXPECT_EQ(file.readLE(tail, 0), 0);
}

TEST_F(BinaryReader, MissingFilesAndAClosedReaderGiveNothing) {
    apFile file;
    unsigned char buffer[4] = {5, 5, 5, 5};
    EXPECT_EQ(file.readHE(buffer, 4), 0);
    EXPECT_EQ(file.readLE(buffer, 4), 0);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(file.open(path("missing.bin").c_str()), 0);
    EXPECT_EQ(file.open(scratch.userFolder().c_str()), 0);  // a folder
    EXPECT_EQ(file.open(nullptr), 0);
    EXPECT_EQ(file.open(path("big.bin").c_str()), 1);  // the failures left it free

    EXPECT_EQ(apFile::getSize(path("little.bin").c_str()), 5);
    testing::internal::CaptureStdout();
    EXPECT_EQ(apFile::getSize(path("missing.bin").c_str()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "FSGetCatalogInfo failed for " + path("missing.bin") + "\n");
}

}  // namespace
