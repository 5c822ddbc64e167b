#include <gtest/gtest.h>

#include <fstream>

#include "host/SavedState.h"
#include "tests/support/TempFolder.h"

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

}  // namespace
