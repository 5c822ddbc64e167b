#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "host/SavedState.h"
#include "tests/host/HostTestSupport.h"

namespace {

using tarnwell::test::TempFolder;

constexpr ComponentIdentity OURS{0x61756D66, 0x4E77656C, 0x5A656C6B};  // aumf Nwel Zelk
constexpr StateLayout LAYOUT{1, 1024};

std::vector<float> ramp() {
    std::vector<float> v(1024);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<float>(i) / 1023.0f;
    v[3] = 1.0f / 3.0f;  // a value with every mantissa bit in use
    return v;
}

// Sets key of state to value, which it takes over.
void put(const CFRef<CFTypeRef>& state, const char* key, CFTypeRef value) {
    const CFRef<CFTypeRef> k(CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8));
    CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(state.get())), k.get(),
                         value);
    CFRelease(value);
}

TEST(SavedState, AProgramStateRoundTripsThroughAnXmlFile) {
    TempFolder folder;
    writePresetFile(folder.path("s.aupreset"), programState(OURS, LAYOUT, "Bright Room with a long name", ramp()).get());
    std::string first;
    std::getline(std::ifstream(folder.path("s.aupreset")) >> std::ws, first);
    EXPECT_EQ(first.rfind("<?xml", 0), 0u);

    const CFRef<CFTypeRef> back = readPresetFile(folder.path("s.aupreset"));
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(back.get()), "s", OURS, LAYOUT);
    EXPECT_EQ(summary.name, "Bright Room with a long name");
    EXPECT_EQ(summary.currentPreset, 0);
    ASSERT_EQ(summary.programs.size(), 1u);
    EXPECT_EQ(summary.programs[0].name, "Bright Room with a long nam");  // 27 characters and the end
    EXPECT_EQ(summary.programs[0].values, ramp());
    EXPECT_FALSE(summary.chunkForm);
}

// The effect's own chunk: little-endian values, then a 32-byte name.
TEST(SavedState, ChunkFormIsReadToo) {
    const CFRef<CFTypeRef> chunkOnly(CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks));
    completePresetKeys(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(chunkOnly.get())), OURS, "x");
    std::vector<UInt8> chunk(4 * 1024 + 32, 0);
    const float half = 0.5f;
    std::memcpy(chunk.data() + 4 * 7, &half, 4);
    std::memcpy(chunk.data() + 4096, "Chunky", 7);
    put(chunkOnly, "mChunkData", CFDataCreate(kCFAllocatorDefault, chunk.data(), static_cast<CFIndex>(chunk.size())));
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(chunkOnly.get()), "s", OURS, LAYOUT);
    EXPECT_TRUE(summary.chunkForm);
    EXPECT_EQ(summary.programs.at(0).name, "Chunky");
    EXPECT_EQ(summary.programs[0].values[7], 0.5f);
    EXPECT_EQ(summary.programs[0].values[8], 0.0f);
}

}  // namespace
