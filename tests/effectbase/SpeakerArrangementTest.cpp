// Speaker-arrangement helpers: blocks sized for their channels, copies that stay terminated.

#include "tests/effectbase/TestEffect.h"

#include <gtest/gtest.h>

#include <cstring>

using tarnwell::test::TestEffect;

TEST(SpeakerArrangement, AllocationIsZeroedSizedForItsChannelsAndRefusesNegativeCounts) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 6));
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->numChannels, 6);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(VstSpeakerArrangement::byteSize(6), 8u + 112u * 6u);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(arrangement->speakers()[c].name[0], 0);
        std::memset(&arrangement->speakers()[c], 0x55, sizeof(VstSpeakerProperties));  // whole block is ours
    }
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 1));  // frees the old block first
    EXPECT_EQ(arrangement->numChannels, 1);
    // A negative count would ask for an absurd block: refused, and the old block is gone.
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, -3));
    EXPECT_EQ(arrangement, nullptr);
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
}

TEST(SpeakerArrangement, CopiedSpeakersKeepTheirNameTerminated) {
    TestEffect effect(nullptr);
    VstSpeakerProperties from{}, to{};
    from.position[2] = 0.5f;
    from.type = 7;
    std::memset(from.name, 'x', sizeof(from.name));  // no terminator at all
    from.reserved[27] = 9;
    std::memset(to.name, 'y', sizeof(to.name));
    ASSERT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(std::strlen(to.name), 63u);
    EXPECT_EQ(to.position[2], 0.5f);
    EXPECT_EQ(to.type, 7);
    EXPECT_EQ(to.reserved[27], 9);
    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

TEST(SpeakerArrangement, MatchingCopiesTypeAndEverySpeaker) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement* from = nullptr;
    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 3));
    ASSERT_TRUE(effect.allocateArrangement(&to, 8));
    from->type = 2;
    for (int c = 0; c < 3; ++c) {
        std::snprintf(from->speakers()[c].name, 64, "Speaker %d", c);
        from->speakers()[c].type = c + 1;
    }
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 2);
    EXPECT_EQ(to->numChannels, 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_STREQ(to->speakers()[c].name, from->speakers()[c].name);
        EXPECT_EQ(to->speakers()[c].type, c + 1);
    }
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    effect.deallocateArrangement(&from);
    effect.deallocateArrangement(&to);
}
