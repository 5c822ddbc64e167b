// Speaker-arrangement helpers: blocks sized for their channels, copies that stay terminated.

#include "tests/effectbase/TestEffect.h"

#include <gtest/gtest.h>

#include <cstring>

using tarnwell::test::TestEffect;

TEST(SpeakerArrangement, BlocksAreZeroedSizedForTheirChannelsAndRefuseNegativeCounts) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 6));
    EXPECT_EQ(arrangement->numChannels, 6);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(arrangement->speakers()[c].name[0], 0);
        std::memset(&arrangement->speakers()[c], 0x55, sizeof(VstSpeakerProperties));  // whole block is ours
    }
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 1));  // frees the old block first
    // A negative count would ask for an absurd block: refused, and the old block is gone.
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, -3));
    EXPECT_EQ(arrangement, nullptr);
}

TEST(SpeakerArrangement, MatchingCopiesEverySpeakerAndEndsEachName) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement *from = nullptr, *to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 3));
    ASSERT_TRUE(effect.allocateArrangement(&to, 8));
    from->type = 2;
    for (int c = 0; c < 3; ++c) from->speakers()[c].type = c + 1;
    std::memset(from->speakers()[1].name, 'x', sizeof(from->speakers()[1].name));  // no terminator at all
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 2);
    EXPECT_EQ(to->numChannels, 3);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(to->speakers()[c].type, c + 1);
    EXPECT_EQ(std::strlen(to->speakers()[1].name), 63u);
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeaker(nullptr, from->speakers()));
    effect.deallocateArrangement(&from);
    effect.deallocateArrangement(&to);
}
