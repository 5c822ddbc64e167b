// Speaker-arrangement helpers: blocks sized for their channels, copies that stay terminated.

#include "tests/effectbase/TestEffect.h"

#include <gtest/gtest.h>

#include <cstring>

using tarnwell::test::TestEffect;

TEST(SpeakerArrangement, BlocksFitTheirChannelsCopiesEndEachNameAndNegativeCountsAreRefused) {
    TestEffect effect(nullptr);
    VstSpeakerArrangement *from = nullptr, *to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 3));
    ASSERT_TRUE(effect.allocateArrangement(&to, 8));
    ASSERT_TRUE(effect.allocateArrangement(&to, 1));  // frees the old block first
    EXPECT_EQ(from->speakers()[2].name[0], 0);
    from->type = 2;
    for (int c = 0; c < 3; ++c) from->speakers()[c].type = c + 1;
    std::memset(from->speakers()[1].name, 'x', sizeof(from->speakers()[1].name));  // no terminator at all
    ASSERT_TRUE(effect.matchArrangement(&to, from));  // the block grows to three speakers
    EXPECT_EQ(to->type, 2);
    EXPECT_EQ(to->numChannels, 3);
    EXPECT_EQ(to->speakers()[2].type, 3);
    EXPECT_EQ(std::strlen(to->speakers()[1].name), 63u);
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeaker(nullptr, from->speakers()));
    // A negative count would ask for an absurd block: refused, and the old block is gone.
    EXPECT_FALSE(effect.allocateArrangement(&from, -3));
    EXPECT_EQ(from, nullptr);
    effect.deallocateArrangement(&to);
}
