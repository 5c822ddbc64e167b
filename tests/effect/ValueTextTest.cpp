// Value text: every family at its ends and inner points, the texts that follow other settings,
// and which indices have none.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/effect/PluginFixture.h"

namespace {

class ParameterValueText : public tarnwell::test::PluginFixture {
protected:
    std::string shown(int index, float value) {
        fx->setParameter(index, value);
        char text[64];
        std::memset(text, '#', sizeof text);
        fx->getParameterDisplay(index, text);
        return text;
    }
    std::unique_ptr<APlugin> fx = make();
};

TEST_F(ParameterValueText, EachFamilyReadsInItsUnit) {
    const int pan3 = blockParam(2, BLOCK_PAN_OFFSET), volume1 = blockParam(0, BLOCK_VOLUME_OFFSET);
    const struct {
        int index;
        float value;
        const char* text;
    } cases[] = {
        // clang-format off
        {BYPASS_PARAM, 0.49f, "Off"}, {GATER_TAG[2][1] + 15, 1.0f, "On"}, {FILTER_Q_TAG[0], 0.999f, "99%"},
        {COMB_RANDOM_TAG[2], 1.0f, "100%"}, {XY_SPEED_MOD_AMOUNT_TAG[0], 0.0f, "-100%"}, {MOD_AMOUNT_TAG[3], 0.75f, "50%"},
        // Frequencies: 20 Hz to 20480 Hz; below 1000 Hz with no decimals.
        {FILTER_FREQ_TAG[0], 0.0f, "20hz"}, {FILTER_FREQ_TAG[0], 1.0f, "20.5Khz"}, {FILTER_FREQ_TAG[0], 0.5f, "640hz"},
        {DELAY_HP_PARAM, std::log2(999.6f / 20.0f) / 10.0f, "1000hz"}, {COMB_FREQ_TAG[1], 0.75f, "3.6Khz"},
        {FILTER_GAIN_TAG[0], 0.0f, "-20dB"}, {FOLLOWER_BOOST_PARAM, 1.0f, "20dB"}, {SHAPER_WAVE_TAG[0], 1.0f, "Saw"},
        {SHAPER_WAVE_TAG[0], 0.3f, "Tri"}, {SHAPER_BP_RATE_TAG[0], 0.0f, "44.1Khz"}, {SHAPER_BP_RATE_TAG[0], 1.0f, "1.4Khz"},
        {SHAPER_BP_BITS_TAG[0], 1.0f, "2Bits"}, {SHAPER_BP_BITS_TAG[2], 0.0f, "16Bits"},
        {pan3, 0.25f, "50L"}, {pan3, 0.5f, "Center"}, {pan3, 1.0f, "100R"},
        {volume1, 0.0f, "Off"}, {volume1, 0.00005f, "Off"}, {volume1, 0.8f, "0dB"}, {volume1, 1.0f, "10dB"},
        {blockParam(2, BLOCK_MIX_OFFSET), 0.5f, "Equal"}, {blockParam(2, BLOCK_MIX_OFFSET), 0.0f, "100D"},
        {DELAY_MIX_PARAM, 1.0f, "100W"}, {DELAY_MIX_PARAM, 0.6f, "20W"},
        {FOLLOWER_THRESHOLD_PARAM, 0.0f, "-40dB"}, {FOLLOWER_HOLD_PARAM, 1.0f, "16384ms"}, {FOLLOWER_HOLD_PARAM, 0.0f, "1ms"},
        {GRAIN_SEMI_TAG[0], 0.0f, "-12sm"}, {GRAIN_SEMI_TAG[0], 1.0f, "12sm"}, {GRAIN_SEMI_TAG[0], 0.5f, "0sm"},
        {GRAIN_FINE_TAG[0], 0.5f, "0c"}, {GRAIN_FINE_TAG[2], 0.0f, "-100c"},
        {GRAIN_UPDATE_RATE_TAG[0], 0.5f, "100%"}, {GRAIN_UPDATE_RATE_TAG[0], 0.0f, "6%"}, {GRAIN_READ_SIZE_TAG[2], 1.0f, "1600%"},
        {NONE_1_TAG[0], 0.3f, "-"}, {NONE_4_TAG[2], 1.0f, "-"},
        // Choices read as their option texts, as the tables hold them.
        {GATER_SPEED_TAG[0], 1.0f, "x16"}, {XY_POINT_QUANT_TAG[0], 1.0f, "2"},
        {MOD_DESTINATION_TAG[1], 25.1f / 99.9f, "Block 1 XY Speed"}, {PATH_PARAM, 1.0f, "Parallel > Delay"},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(shown(c.index, c.value), c.text) << "index " << c.index << " at " << c.value;
}

// Texts that follow another setting: the path, the filter mode, tempo sync, equal feed, the
// grain mode and link.
TEST_F(ParameterValueText, TextsFollowTheSettingsTheyDependOn) {
    const int pan1 = blockParam(0, BLOCK_PAN_OFFSET);
    fx->setParameter(PATH_PARAM, choice(3, 5.99f));  // B1 > B2 > B3 > Delay
    EXPECT_EQ(shown(pan1, 1.0f), "Center");
    fx->setParameter(PATH_PARAM, choice(4, 5.99f));  // Delay > Parallel
    EXPECT_EQ(shown(pan1, 1.0f), "100R");

    fx->setParameter(FILTER_MODE_TAG[0], choice(30, 40.0f));  // HP 36dB
    EXPECT_EQ(shown(FILTER_VOWEL_TAG[0], 1.0f), "-");
    fx->setParameter(FILTER_MODE_TAG[0], choice(31, 40.0f));  // Vowel
    EXPECT_EQ(shown(FILTER_VOWEL_TAG[0], 1.0f), "U");
    EXPECT_EQ(shown(FILTER_VOWEL_TAG[0], 0.5f), "I");
    EXPECT_EQ(shown(FILTER_VOWEL_TAG[1], 1.0f), "-");  // Block 2 keeps its own mode

    EXPECT_EQ(shown(DELAY_LEFT_PARAM, 1.0f), "4096ms");
    EXPECT_EQ(shown(DELAY_RIGHT_PARAM, 0.0f), "1ms");
    fx->setParameter(DELAY_TEMPO_SYNC_PARAM, 1.0f);
    EXPECT_EQ(shown(DELAY_LEFT_PARAM, 1.0f), "1/2*");
    EXPECT_EQ(shown(DELAY_RIGHT_PARAM, 0.0f), "1/32T");
    fx->setParameter(DELAY_EQUAL_FEED_PARAM, 0.0f);
    EXPECT_EQ(shown(DELAY_CROSS_FEEDBACK_PARAM, 0.25f), "-50%");
    fx->setParameter(DELAY_EQUAL_FEED_PARAM, 1.0f);
    EXPECT_EQ(shown(DELAY_CROSS_FEEDBACK_PARAM, 0.25f), "Off");

    fx->setParameter(GRAIN_MODE_TAG[1], choice(0, 5.99f));  // Ping
    EXPECT_EQ(shown(GRAIN_WRITE_SIZE_TAG[1], 1.0f), "256ms");
    EXPECT_EQ(shown(GRAIN_WRITE_SIZE_TAG[1], 0.0f), "1ms");
    fx->setParameter(GRAIN_MODE_TAG[1], choice(1, 5.99f));  // Ping Sync
    EXPECT_EQ(shown(GRAIN_WRITE_SIZE_TAG[1], 1.0f), "1/1*");
    EXPECT_EQ(shown(GRAIN_WRITE_SIZE_TAG[1], 0.0f), "1/64T");
    EXPECT_EQ(shown(GRAIN_UPDATE_RATE_TAG[1], 0.5f), "100%");
    fx->setParameter(GRAIN_UNLINK_TAG[1], 1.0f);
    EXPECT_EQ(shown(GRAIN_UPDATE_RATE_TAG[1], 0.5f), "1/8");
    EXPECT_EQ(shown(GRAIN_READ_SIZE_TAG[1], 0.4f), "1/16*");

    EXPECT_EQ(fx->getFilterFrequencyText(0.0f, 20.0f, 10.0f, false, 0.45f), "9.00hz");
    EXPECT_EQ(fx->getFilterFrequencyText(0.6f, 20.0f, 10.0f, true, 1.0f), "1280hz");
    fx->setParameter(FILTER_FREQ_TAG[0], 0.0f);
    EXPECT_EQ(fx->ToFreqStr(FILTER_FREQ_TAG[0], 1.0f, 10.0f, true), "Off");
    EXPECT_EQ(fx->ToFreqStr(FILTER_FREQ_TAG[0], 2.0f, 10.0f, false), "27.50hz");
    fx->setParameter(FILTER_FREQ_TAG[0], 0.5f);
    EXPECT_EQ(fx->ToFreqStr(FILTER_FREQ_TAG[0], 1.0f, 10.0f, true), "1.8Khz");
}

// Unnamed indices and the program name give "", and a text always fits 20 characters (which
// named indices have one, the host's parameter listing counts).
TEST_F(ParameterValueText, TextsFitTheirDisplayAndUnnamedIndicesHaveNone) {
    for (float v : {0.0f, 0.37f, 1.0f}) {
        for (int i = 0; i < PARAMETER_COUNT - 1; ++i) {
            const std::string text = shown(i, v);
            EXPECT_LE(text.size(), 20u) << i;
            const bool unnamed = i == 0 || (i >= 316 && i <= 599) || i >= 792;
            EXPECT_TRUE(!unnamed || text.empty()) << i;
        }
    }
    char text[8] = "kept";
    fx->getParameterDisplay(PARAMETER_COUNT, text);
    EXPECT_STREQ(text, "kept");
}

}  // namespace
