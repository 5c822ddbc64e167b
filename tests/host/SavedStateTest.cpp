#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "host/HostError.h"
#include "host/SavedState.h"
#include "tests/host/ErrorMessage.h"
#include "tests/host/TempFolder.h"

namespace {

using tarnwell::test::errorMessage;
using tarnwell::test::TempFolder;

constexpr ComponentIdentity OURS{0x61756D66, 0x4E77656C, 0x5A656C6B};  // aumf Nwel Zelk
constexpr StateLayout LAYOUT{1, 1024};

CFMutableDictionaryRef newDictionary() {
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value) {
    const CFHandle k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    CFDictionarySetValue(dict, k.get(), value);
    CFRelease(value);
}

CFTypeRef bytes(const std::vector<UInt8>& b) {
    return CFDataCreate(kCFAllocatorDefault, b.data(), static_cast<CFIndex>(b.size()));
}

CFTypeRef number(SInt64 n) {
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &n);
}

// One program record as the adapter stores it: 28 name bytes, then big-endian floats.
std::vector<UInt8> record(const char* name, const std::vector<float>& values) {
    std::vector<UInt8> r(28 + 4 * values.size(), 0);
    std::strncpy(reinterpret_cast<char*>(r.data()), name, 27);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int b = 0; b < 4; ++b) r[28 + 4 * i + b] = static_cast<UInt8>(bits >> (24 - 8 * b));
    }
    return r;
}

std::vector<float> ramp(std::size_t n) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<float>(i) / static_cast<float>(n - 1);
    v[3] = 1.0f / 3.0f;  // a value with every mantissa bit in use
    return v;
}

CFHandle stateWith(CFTypeRef programData, const char* key = "mCompleteData") {
    CFMutableDictionaryRef dict = newDictionary();
    put(dict, key, programData);
    put(dict, "mCurPreset", number(0));
    completePresetKeys(dict, OURS, "Bright Room");
    return CFHandle(dict);
}

std::string refusal(const CFHandle& state) {
    return errorMessage(
        [&] { inspectSavedState(static_cast<CFDictionaryRef>(state.get()), "s.aupreset", OURS, LAYOUT); });
}

TEST(SavedState, FileRoundTripKeepsEveryValueAndTheKeys) {
    TempFolder folder;
    const std::vector<float> values = ramp(1024);
    const CFHandle state = stateWith(bytes(record("Bright Room with a long name beyond", values)));
    writePresetFile(folder.path("s.aupreset"), state.get());
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"s.aupreset"});

    const CFHandle back = readPresetFile(folder.path("s.aupreset"));
    const StateSummary summary =
        inspectSavedState(static_cast<CFDictionaryRef>(back.get()), folder.path("s.aupreset"), OURS, LAYOUT);
    EXPECT_EQ(summary.name, "Bright Room");
    EXPECT_EQ(summary.identity.subtype, OURS.subtype);
    EXPECT_EQ(summary.currentPreset, 0);
    ASSERT_EQ(summary.programs.size(), 1u);
    EXPECT_EQ(summary.programs[0].name, "Bright Room with a long nam");  // 27 characters
    EXPECT_EQ(summary.programs[0].values, values);
    EXPECT_FALSE(summary.chunkForm);
}

TEST(SavedState, TheFileIsAPlainXmlPropertyList) {
    TempFolder folder;
    writePresetFile(folder.path("s.aupreset"), stateWith(bytes(record("A", ramp(1024)))).get());
    std::ifstream in(folder.path("s.aupreset"));
    std::ostringstream content;
    content << in.rdbuf();
    const std::string xml = content.str();
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    for (const char* key : {"<key>type</key>", "<key>subtype</key>", "<key>manufacturer</key>",
                            "<key>version</key>", "<key>name</key>", "<key>mCompleteData</key>"})
        EXPECT_NE(xml.find(key), std::string::npos) << key;
    EXPECT_NE(xml.find("<integer>1316447596</integer>"), std::string::npos);  // Nwel
}

TEST(SavedState, ChunkFormHoldsLittleEndianValuesThenTheName) {
    std::vector<UInt8> chunk(4 * 1024 + 32, 0);
    const float half = 0.5f;
    std::memcpy(chunk.data() + 4 * 7, &half, 4);
    std::memcpy(chunk.data() + 4096, "Chunky", 7);
    const CFHandle state = stateWith(bytes(chunk), "mChunkData");
    const StateSummary summary =
        inspectSavedState(static_cast<CFDictionaryRef>(state.get()), "s", OURS, LAYOUT);
    EXPECT_TRUE(summary.chunkForm);
    EXPECT_EQ(summary.programs.at(0).name, "Chunky");
    EXPECT_EQ(summary.programs[0].values[7], 0.5f);
    EXPECT_EQ(summary.programs[0].values[8], 0.0f);
}

TEST(SavedState, WrongSizesAndForeignStatesAreRefused) {
    std::vector<UInt8> shortRecord = record("A", ramp(1024));
    shortRecord.pop_back();
    EXPECT_NE(refusal(stateWith(bytes(shortRecord)))
                  .find("s.aupreset: holds program data of the wrong size (4123 bytes "
                        "where 4124 belong)"),
              std::string::npos);
    EXPECT_NE(
        refusal(stateWith(bytes(std::vector<UInt8>(4127)), "mChunkData")).find("chunk of the wrong size"),
        std::string::npos);
    EXPECT_NE(refusal(stateWith(number(4124))).find("mCompleteData is not data"), std::string::npos);

    const CFHandle foreign = stateWith(bytes(record("A", ramp(1024))));
    put(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(foreign.get())), "subtype",
        number(0x41424344));
    EXPECT_NE(refusal(foreign).find("belongs to another component (aumf ABCD Zelk)"), std::string::npos);

    CFMutableDictionaryRef empty = newDictionary();
    completePresetKeys(empty, OURS, "x");
    EXPECT_NE(refusal(CFHandle(empty)).find("holds no program data"), std::string::npos);

    CFMutableDictionaryRef anonymous = newDictionary();
    put(anonymous, "mCompleteData", bytes(record("A", ramp(1024))));
    EXPECT_NE(refusal(CFHandle(anonymous)).find("type, subtype or manufacturer missing"), std::string::npos);

    const CFHandle badPreset = stateWith(bytes(record("A", ramp(1024))));
    put(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(badPreset.get())), "mCurPreset",
        CFStringCreateWithCString(kCFAllocatorDefault, "zero", kCFStringEncodingUTF8));
    EXPECT_NE(refusal(badPreset).find("mCurPreset is not a program number"), std::string::npos);
}

TEST(SavedState, UnreadableFilesAreRefused) {
    TempFolder folder;
    const auto refused = [&](const std::string& name) {
        return errorMessage([&] { readPresetFile(folder.path(name)); });
    };
    EXPECT_NE(refused("none.aupreset").find("none.aupreset: cannot be read"), std::string::npos);
    folder.write("junk.aupreset", "<plist><dict><key>type</key>");
    EXPECT_NE(refused("junk.aupreset").find("junk.aupreset: is not a saved state (not an XML property list)"),
              std::string::npos);
    folder.write("list.aupreset",
                 "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>");
    EXPECT_NE(refused("list.aupreset").find("holds no dictionary"), std::string::npos);
}

}  // namespace
