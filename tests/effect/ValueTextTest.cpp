// What hosts show: parameter, Block slot and destination names, the value text of every family, and
// typed values (through the dialog and as text from the host).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dsp/TDelay.h"
#include "effect/IndexFamilies.h"
#include "effect/MenuCommands.h"
#include "effect/OptionStrings.h"
#include "effect/ParameterNames.h"
#include "tests/effect/PluginFixture.h"

namespace {

BlockNaming allBlocks(int type, int filterMode = 0, int shaperMode = 0) {
    BlockNaming naming;
    for (BlockModes& m : naming.block) m = {type, filterMode, shaperMode};
    return naming;
}

std::string name(int index, const BlockNaming& blocks = allBlocks(1)) {
    char text[128];
    parameterName(index, blocks, text);
    return text;
}

std::string slotName(int block, int slot, bool shortForm, const BlockNaming& blocks) {
    char text[NAME_BUFFER_SIZE];
    blockSlotName(block, slot, shortForm, blocks, text);
    return text;
}

std::string destination(int d, bool shortForm, const BlockNaming& blocks = allBlocks(1)) {
    char text[NAME_BUFFER_SIZE];
    destinationName(d, shortForm, blocks, text);
    return text;
}

// Every combination of type and the modes that names depend on, for all three Blocks at once.
std::vector<BlockNaming> everyNaming() {
    std::vector<BlockNaming> all;
    for (int type = 0; type < BLOCK_TYPE_STR_COUNT; ++type)
        for (int filter = 0; filter < FILTER_MODE_STR_COUNT; ++filter)
            for (int shaper = 0; shaper < SHAPER_MODE_STR_COUNT; ++shaper)
                all.push_back(allBlocks(type, filter, shaper));
    return all;
}

class ValueText : public tarnwell::test::CommandFixture {
protected:
    std::string shown(int index, float value) {
        fx->setParameter(index, value);
        char text[64];
        std::memset(text, '#', sizeof text);
        fx->getParameterDisplay(index, text);
        return text;
    }
    // What the value text reads after text was typed for index; "refused" when it was not taken.
    std::string typed(int index, const std::string& text) {
        std::string buffer = text;
        if (!fx->string2parameter(index, buffer.data())) return "refused";
        return fx->valueText(index);
    }
    const ScriptedDialogs::Asked& asked() const { return script.asked.back(); }

    std::unique_ptr<APlugin> fx = make();
};

TEST_F(ValueText, EachFamilyReadsInItsUnit) {
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

// Texts that follow another setting: the path, the filter mode, sync, equal feed, grain mode and link.
TEST_F(ValueText, TextsFollowTheSettingsTheyDependOn) {
    const int pan1 = blockParam(0, BLOCK_PAN_OFFSET), vowel = FILTER_VOWEL_TAG[0];
    const int write = GRAIN_WRITE_SIZE_TAG[1], update = GRAIN_UPDATE_RATE_TAG[1];
    const struct {
        int setting;  // set first to the value below; -1: none
        float to;
        int index;
        float value;
        const char* text;
    } cases[] = {
        // clang-format off
        {PATH_PARAM, choice(3, 5.99f), pan1, 1.0f, "Center"}, {PATH_PARAM, choice(4, 5.99f), pan1, 1.0f, "100R"},
        {FILTER_MODE_TAG[0], choice(30, 40.0f), vowel, 1.0f, "-"},  // HP 36dB
        {FILTER_MODE_TAG[0], choice(31, 40.0f), vowel, 1.0f, "U"},  // Vowel
        {-1, 0, vowel, 0.5f, "I"}, {-1, 0, FILTER_VOWEL_TAG[1], 1.0f, "-"},  // Block 2 keeps its own mode
        {-1, 0, DELAY_LEFT_PARAM, 1.0f, "4096ms"}, {-1, 0, DELAY_RIGHT_PARAM, 0.0f, "1ms"},
        {DELAY_TEMPO_SYNC_PARAM, 1.0f, DELAY_LEFT_PARAM, 1.0f, "1/2*"}, {-1, 0, DELAY_RIGHT_PARAM, 0.0f, "1/32T"},
        {DELAY_EQUAL_FEED_PARAM, 0.0f, DELAY_CROSS_FEEDBACK_PARAM, 0.25f, "-50%"},
        {DELAY_EQUAL_FEED_PARAM, 1.0f, DELAY_CROSS_FEEDBACK_PARAM, 0.25f, "Off"},
        {GRAIN_MODE_TAG[1], choice(0, 5.99f), write, 1.0f, "256ms"}, {-1, 0, write, 0.0f, "1ms"},  // Ping
        {GRAIN_MODE_TAG[1], choice(1, 5.99f), write, 1.0f, "1/1*"}, {-1, 0, write, 0.0f, "1/64T"},  // Ping Sync
        {-1, 0, update, 0.5f, "100%"}, {GRAIN_UNLINK_TAG[1], 1.0f, update, 0.5f, "1/8"},
        {-1, 0, GRAIN_READ_SIZE_TAG[1], 0.4f, "1/16*"},
        // clang-format on
    };
    for (const auto& c : cases) {
        if (c.setting >= 0) fx->setParameter(c.setting, c.to);
        EXPECT_EQ(shown(c.index, c.value), c.text) << "index " << c.index << " at " << c.value;
    }
}

// Near its row boundaries the synced Delay length names the row whose length the Delay plays
// (0.2 plays row 2, 2.998, not 3), and the values the bank writes, (k + 0.1) / 14.99, name row k.
TEST_F(ValueText, SyncedDelayLengthNamesTheRowTheDelayPlays) {
    const float bpm = 480.0f, samplesPerBar = 44100.0f * 240.0f / bpm;
    TDelay delay;
    // The row whose length the Delay's echo of an impulse comes after.
    auto playedRow = [&](float v) {
        delay.init(44100.0f);
        delay.setTempo(bpm);
        delay.setDelayLen(v, v, 0.0f, 0.0f, 1.0f, 1.0f);
        float weight = 0.0f, centre = 0.0f;
        for (int i = 0; i < 20000; ++i) {
            float l = 0.0f, r = 0.0f;
            delay.process(i == 0 ? 1.0f : 0.0f, 0.0f, l, r);
            weight += std::fabs(l);
            centre += static_cast<float>(i) * std::fabs(l);
        }
        for (int k = 0; k < TDelay::kSyncedLengths; ++k)
            if (std::fabs(centre / weight - (TDelay::TAPE_DELAY_LEN_ARRAY[k] * samplesPerBar + 1.0f)) < 0.5f)
                return k;
        return -1;
    };
    fx->setParameter(DELAY_TEMPO_SYNC_PARAM, 1.0f);
    for (int k = 0; k < TDelay::kSyncedLengths; ++k) {
        const float written = (static_cast<float>(k) + 0.1f) / 14.99f;
        EXPECT_EQ(shown(DELAY_LEFT_PARAM, written), DELAY_LEN_STR[k]) << k;
        const float k14 = static_cast<float>(k) / 14.99f;
        for (float v : {written, k14 - 0.05f / 14.99f, k14 - 0.001f / 14.99f, std::nextafter(k14, 1.0f)}) {
            if (v < 0.0f) continue;
            const int row = playedRow(v);
            ASSERT_GE(row, 0) << v;
            EXPECT_EQ(shown(DELAY_LEFT_PARAM, v), DELAY_LEN_STR[row]) << "at " << v;
            EXPECT_EQ(shown(DELAY_RIGHT_PARAM, v), DELAY_LEN_STR[row]) << "at " << v;
        }
    }
    EXPECT_EQ(playedRow(0.2f), 2);
    EXPECT_EQ(shown(DELAY_LEFT_PARAM, 0.2f), "1/32*");
}

// In a synced grain mode the size texts name the length the grains take, also just below each
// row, where 21 v + 0.1 has reached it and 21 v + 0.01 has not.
TEST_F(ValueText, SyncedGrainLengthNamesTheLengthThatPlays) {
    const int b = 1, count = GRAIN_SYNCED_LENGTH_STRING_COUNT;
    fx->setParameter(GRAIN_MODE_TAG[b], choice(1, 5.99f));  // Ping Sync
    fx->setParameter(GRAIN_UNLINK_TAG[b], 1.0f);            // the update rate reads as a length too
    auto playedRow = [&](float v) {
        for (int k = 0; k < count; ++k)
            if (fx->getGrainSize(b, v, 1.0f) ==
                fx->getGrainSize(b, (static_cast<float>(k) + 0.5f) / 21.0f, 1.0f))
                return k;
        return -1;
    };
    for (int k = 0; k < count; ++k) {
        const float k21 = static_cast<float>(k) / 21.0f;
        for (float v : {(static_cast<float>(k) + 0.3f) / 21.0f, k21 - 0.05f / 21.0f, k21 - 0.1f / 21.0f,
                        std::nextafter(k21 - 0.1f / 21.0f, 0.0f), k21 - 0.009f / 21.0f}) {
            if (v < 0.0f) continue;
            const int row = playedRow(v);
            ASSERT_GE(row, 0) << v;
            EXPECT_EQ(shown(GRAIN_WRITE_SIZE_TAG[b], v), GRAIN_SYNCED_LENGTH_STRING[row]) << "at " << v;
            EXPECT_EQ(shown(GRAIN_UPDATE_RATE_TAG[b], v), GRAIN_SYNCED_LENGTH_STRING[row]) << "at " << v;
        }
        EXPECT_EQ(shown(GRAIN_READ_SIZE_TAG[b], (static_cast<float>(k) + 0.3f) / 21.0f),
                  GRAIN_SYNCED_LENGTH_STRING[k]);
    }
}

// Point Quant reads without the + 0.1 of the other choices: just below each option's value its
// text, its stepping and the pad's reading name the points a path command draws with.
TEST_F(ValueText, PointQuantNamesThePointsThePathCommandsUse) {
    const int quant = XY_POINT_QUANT_TAG[0];
    // The option whose points a vertical line reaches: points 0..32 - step, step 32 / points used.
    auto playedRow = [&](float v) {
        fx->setParameter(quant, v);
        fx->doBlockCommand(XY_VERTICAL, 0, -1, -1);
        float x = 0.0f, y = 0.0f;
        fx->getXYValues(0, 1, x, y);
        for (int k = 0; k < XY_POINT_QUANT_STR_COUNT; ++k)
            if (std::lround(1.0f / y) == 32 - 32 / APlugin::XY_QUANT[k]) return k;
        return -1;
    };
    for (int k = 0; k < XY_POINT_QUANT_STR_COUNT; ++k) {
        const float k5 = static_cast<float>(k) / 4.99f;
        EXPECT_EQ(shown(quant, choice(k, 4.99f)), XY_POINT_QUANT_STR[k]);
        for (float v : {choice(k, 4.99f), k5 - 0.05f / 4.99f, std::nextafter(k5, 0.0f), k5}) {
            if (v < 0.0f) continue;
            const int row = playedRow(v);
            ASSERT_GE(row, 0) << v;
            EXPECT_EQ(shown(quant, v), XY_POINT_QUANT_STR[row]) << "at " << v;
            EXPECT_EQ(fx->getXYPointQuantization(0), row) << "at " << v;
            fx->changeDelta(quant, 1.0f);
            EXPECT_EQ(fx->getParameter(quant), choice(std::min(row + 1, 4), 4.99f)) << "at " << v;
        }
    }
}

// The Low-Fi filter's text names the filter type the shaper takes, also in the windows where
// 4 v + 0.1 has reached an option and the shaper's 3.99 v + 0.1 has not; at the top, where the
// shaper keeps its type, the type a new shaper has.
TEST_F(ValueText, LowFiFilterNamesTheTypeTheShaperTakes) {
    const int lowFi = SHAPER_LOWFI_FILTER_TAG[0];
    auto playedRow = [](float v) {
        TShaper shaper;
        shaper.setType(TShaper::LowFi);
        shaper.setDistort(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, v, true);
        const int types[] = {TFilter::Bypass, TFilter::LPZ_12, TFilter::HPZ_12, TFilter::BPZ_12};
        return static_cast<int>(std::find(std::begin(types), std::end(types), shaper.filter.type) - types);
    };
    for (int k = 0; k < SHAPER_LOWFI_FILTER_STR_COUNT; ++k) {
        const float between =
            ((k - 0.1f) / 4.0f + (k - 0.1f) / 3.99f) / 2.0f;  // 4 v + 0.1 >= k > 3.99 v + 0.1
        for (float v : {choice(k, 4.0f), between, std::nextafter((k - 0.1f) / 3.99f, 1.0f)}) {
            if (v < 0.0f) continue;
            const int row = playedRow(v);
            ASSERT_LT(row, SHAPER_LOWFI_FILTER_STR_COUNT) << v;
            EXPECT_EQ(shown(lowFi, v), SHAPER_LOWFI_FILTER_STR[row]) << "at " << v;
        }
    }
    EXPECT_EQ(shown(lowFi, 1.0f), SHAPER_LOWFI_FILTER_STR[playedRow(1.0f)]);
}

// Unnamed indices and the program name give "", and a text always fits 20 characters (which
// named indices have one, the host's parameter listing counts).
TEST_F(ValueText, TextsFitTheirDisplayAndUnnamedIndicesHaveNone) {
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

TEST_F(ValueText, TypedNumbersTakeTheUnitShown) {
    const int freq = FILTER_FREQ_TAG[0], volume = blockParam(1, BLOCK_VOLUME_OFFSET);
    const std::string huge(400, '9');
    const struct {
        int index;
        const char* text;
        const char* shown;  // "refused": not taken, nothing changes
    } cases[] = {
        // clang-format off
        {freq, "20000", "20.0Khz"}, {freq, "30000", "20.5Khz"}, {freq, "-5", "20hz"}, {freq, "640hz", "640hz"},
        {freq, " 1.2 Khz", "1.2Khz"},  // the value text read back
        {volume, "-60", "Off"}, {volume, "10dB", "10dB"}, {DELAY_ON_PARAM, "0.5", "On"}, {DELAY_ON_PARAM, "0.4", "Off"},
        {DELAY_ON_PARAM, "on", "On"}, {FILTER_Q_TAG[2], "37", "37%"}, {FILTER_GAIN_TAG[1], "7", "7dB"},
        {FOLLOWER_THRESHOLD_PARAM, "-12.5", "-12dB"}, {blockParam(2, BLOCK_PAN_OFFSET), "-40", "40L"},
        {DELAY_MIX_PARAM, "100", "100W"}, {GRAIN_SEMI_TAG[1], "5.7", "5sm"}, {GRAIN_SEMI_TAG[1], "-20", "-12sm"},
        {freq, "", "refused"}, {freq, "  ", "refused"}, {freq, "abc", "refused"}, {freq, "Khz", "refused"},
        {freq, "nan", "refused"}, {freq, "inf", "refused"},
        // A number too large for a double lands on an end.
        {freq, "1e999", "20.5Khz"}, {volume, "-1e999", "Off"}, {FILTER_Q_TAG[2], huge.c_str(), "100%"},
        // No typed value for these.
        {DELAY_LEFT_PARAM, "100", "refused"}, {XY_RECORD_MODE_TAG[0], "1", "refused"}, {GATER_TAG[0][0], "1", "refused"},
        {RELOAD_PRESET_PARAM, "1", "refused"},
        // clang-format on
    };
    for (const auto& c : cases) {
        const float before = fx->getParameter(c.index);
        EXPECT_EQ(typed(c.index, c.text), c.shown) << c.index << " " << c.text;
        if (std::string(c.shown) == "refused") {
            EXPECT_EQ(fx->getParameter(c.index), before);
        }
    }
    // (The host's tests hold 1000 Hz and -6 dB to their exact values.)
    EXPECT_NE(typed(FILTER_VOWEL_TAG[0], "50"), "refused");  // a share of the range, whatever it shows
    EXPECT_NEAR(fx->getParameter(FILTER_VOWEL_TAG[0]), 0.5f, 1e-6f);
    // Semitones are whole numbers worked out in double precision.
    for (int t = -12; t <= 12; ++t) {
        ASSERT_NE(typed(GRAIN_SEMI_TAG[2], std::to_string(t) + ".9"), "refused");
        EXPECT_EQ(fx->getParameter(GRAIN_SEMI_TAG[2]), static_cast<float>(t / 24.0 + 0.5)) << t;
    }
}

// A choice takes its option number, as the dialog asks, or the option's text.
TEST_F(ValueText, ChoicesTakeAnOptionNumberOrName) {
    EXPECT_EQ(typed(GATER_LOOP_TAG[0], "2"), "<>");
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "2.7"), "HP 6dB");  // a fraction is cut
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "99"), "Peak Shelf");
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "#12"), "HPZ 12dB");
    EXPECT_EQ(typed(XY_POINT_QUANT_TAG[0], "1"), "16");  // a number is the option's number
    // Other text counts by its digits, signs and points alone; text without a digit is refused.
    const SlotInfo modes = slotInfo(FILTER_MODE_TAG[1]);
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "3x"), modes.options[3]);
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "1e1"), modes.options[11]);
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "HP 37dB"), "Peak Shelf");  // 37 is past the last
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], std::string(400, '9')), "Peak Shelf");
    EXPECT_EQ(typed(FILTER_MODE_TAG[1], "Peak"), "refused");
    EXPECT_EQ(fx->valueText(FILTER_MODE_TAG[1]), "Peak Shelf");
    // Every option text of every choice fits a value text and selects its option (numbers
    // excepted: they count).
    for (int index = 1; index < NAMED_PARAMETER_END; ++index) {
        const SlotInfo slot = slotInfo(index);
        if (!readsAsOption(slot)) continue;
        for (int k = 0; k < slot.count; ++k) {
            ASSERT_NE(slot.options[k], nullptr) << index;
            const std::string option = slot.options[k];
            EXPECT_TRUE(!option.empty() && option.size() <= OPTION_TEXT_MAX_LENGTH) << index << " " << option;
            if (option.find_first_not_of("0123456789") == std::string::npos) continue;
            EXPECT_EQ(typed(index, option), option) << "index " << index;
        }
    }
}

TEST_F(ValueText, TheDialogShowsTheRangeAndCurrentValue) {
    const int freq = FILTER_FREQ_TAG[2];
    fx->setParameter(freq, 0.5f);
    answer("1000");
    fx->setNumValue(freq);
    EXPECT_EQ(asked().title, "Block 3 Filter Freq");
    EXPECT_EQ(asked().text, "20hz to 20000 Hz");
    EXPECT_EQ(asked().startText, "640");
    EXPECT_EQ(fx->valueText(freq), "1.0Khz");

    const struct {
        int index;
        float value;
        const char* start;
        const char* message;
    } prompts[] = {
        // clang-format off
        {DELAY_ON_PARAM, 1.0f, "1.0", "0 for Off, 1 for On"},
        {FOLLOWER_BOOST_PARAM, 0.25f, "-10.0", "-20 to 20 dB"},
        {blockParam(0, BLOCK_PAN_OFFSET), 0.25f, "-50", "-100% to 100%"},
        {blockParam(0, BLOCK_VOLUME_OFFSET), 0.8f, "0.0", "-50 to 10 dB"},
        {GRAIN_SEMI_TAG[0], 0.0f, "-12", "-12 to 12 Semi"},
        {FILTER_MODE_TAG[0], (36 + 0.1f) / 40.0f, "36", "0 to 36"},
        {MOD_DESTINATION_TAG[0], 7.0f / 99.9f, "7", "0 to 89"},  // as typed; 6.9999995 plays 7
        // clang-format on
    };
    for (const auto& p : prompts) {
        fx->setParameter(p.index, p.value);
        cancel();
        fx->setNumValue(p.index);
        EXPECT_EQ(asked().startText, p.start) << p.index;
        EXPECT_EQ(asked().text, p.message) << p.index;
        EXPECT_EQ(fx->getParameter(p.index), p.value) << "a cancelled dialog changes nothing";
    }
    answer("");  // an emptied answer is a cancel
    answer("loud");
    fx->setNumValue(freq);
    fx->setNumValue(freq);
    EXPECT_EQ(fx->valueText(freq), "1.0Khz");
    const std::size_t dialogs = script.asked.size();
    fx->setNumValue(DELAY_LEFT_PARAM);  // no typed value: no dialog
    fx->setNumValue(GATER_TAG[1][0]);
    EXPECT_EQ(script.asked.size(), dialogs);
}

// A modulation amount is typed as a factor for an exponential destination, else in percent.
TEST_F(ValueText, ModulationAmounts) {
    const int amount = MOD_AMOUNT_TAG[1];
    fx->setParameter(MOD_DESTINATION_TAG[1], choice(10, 99.9f));  // B1 Gater Speed: exponential
    fx->setParameter(amount, 1.0f);
    answer("1000");
    fx->setModValue(1);
    EXPECT_EQ(asked().title, "Mod 2 Amount");
    EXPECT_EQ(asked().text, "125% to 800%");
    EXPECT_EQ(asked().startText, "800");
    EXPECT_NEAR(fx->getParameter(amount), 5.0f / 6.0f, 1e-6f);  // above 800%: 400%
    answer("5");
    fx->setModValue(1);
    EXPECT_NEAR(fx->getParameter(amount), 1.0f / 6.0f, 1e-6f);  // below 12.5%: 25%
    answer("200");
    fx->setModValue(1);
    EXPECT_NEAR(fx->getParameter(amount), (std::log2(2.005f) + 3.0f) / 6.0f, 1e-6f);

    fx->setParameter(MOD_DESTINATION_TAG[1], choice(16, 99.9f));  // B1 Pan: added
    answer("50");
    fx->setModValue(1);
    EXPECT_EQ(asked().text, "-100 to 100%");
    EXPECT_EQ(fx->getParameter(amount), 0.75f);
    answer("x");
    fx->setModValue(1);
    EXPECT_EQ(fx->getParameter(amount), 0.75f);
    fx->setModValue(4);  // no such slot: no dialog
    EXPECT_EQ(script.remaining(), 0u);
}

TEST_F(ValueText, StepsMoveByAnOptionASwitchOrAHundredth) {
    const int pan = blockParam(1, BLOCK_PAN_OFFSET);
    const struct {
        int index;
        float start, delta, end;
    } steps[] = {
        // clang-format off
        {FILTER_MODE_TAG[0], choice(36, 40.0f), 1.0f, choice(36, 40.0f)},  // Peak Shelf is the last
        {FILTER_MODE_TAG[0], choice(36, 40.0f), -1.0f, choice(35, 40.0f)},
        {BLOCK_TYPE_TAG[0], 0.0f, -1.0f, choice(0, 6.99f)},
        {MOD_SOURCE_TAG[3], choice(27, 99.99f), 0.0f, choice(28, 99.99f)},  // zero steps up too
        {pan, 0.995f, 1.0f, 1.0f}, {pan, 0.004f, -1.0f, 0.0f}, {pan, 0.5f, -3.0f, 0.47f},
        {SHAPER_LOWFI_FILTER_TAG[0], 0.5f, 1.0f, 0.51f},  // steps like a knob
        {DELAY_ON_PARAM, 0.0f, 0.1f, 1.0f}, {DELAY_ON_PARAM, 1.0f, -0.1f, 0.0f},
        {PROGRAM_NAME_START, 0.25f, 1.0f, 0.25f},  // no control steps the program name
        // clang-format on
    };
    for (const auto& s : steps) {
        fx->setParameter(s.index, s.start);
        fx->changeDelta(s.index, s.delta);
        EXPECT_NEAR(fx->getParameter(s.index), s.end, 1e-6f) << s.index << " from " << s.start;
    }
}

// Hosts find parameters by name: the 356 named slots (the host's listing counts them) never
// share one, whatever the Blocks' types and modes.
TEST(ParameterNames, NamedSlotsCarryDistinctNames) {
    for (const BlockNaming& naming : {allBlocks(0), allBlocks(1, 35), allBlocks(3, 0, 5), allBlocks(6)}) {
        std::set<std::string> names;
        int named = 0;
        for (int i = -1; i <= PARAMETER_COUNT; ++i) {
            const std::string n = name(i, naming);
            named += !n.empty();
            if (!n.empty()) names.insert(n);
        }
        EXPECT_EQ(named, 356);
        EXPECT_EQ(names.size(), 356u) << "two slots share a name";
    }
}

// Hosts show 30 characters and a matrix cell 15; nothing may be written past the terminator.
TEST(ParameterNames, NeverLongerThanTheirDisplaysAndNeverWritePastTheName) {
    size_t longest = 0;
    for (const BlockNaming& naming : everyNaming()) {
        for (int i = 0; i < NAMED_PARAMETER_END; ++i) {
            char text[128];
            std::memset(text, 'Z', sizeof text);
            parameterName(i, naming, text);
            const size_t length = std::strlen(text);
            longest = std::max(longest, length);
            ASSERT_LE(length, size_t(NAME_MAX_LENGTH)) << text;
            for (size_t j = length + 1; j < sizeof text; ++j) ASSERT_EQ(text[j], 'Z') << i;
        }
        for (int b = 0; b < BLOCK_COUNT; ++b)
            for (int slot = 0; slot < BLOCK_SLOT_COUNT; ++slot)
                ASSERT_LE(slotName(b, slot, true, naming).size(), 15u) << slotName(b, slot, true, naming);
    }
    EXPECT_EQ(longest, size_t(NAME_MAX_LENGTH));
    EXPECT_EQ(name(SHAPER_BP_FREQ_TAG[0]), "Block 1 Shaper LowFI Frequency");
}

TEST(ParameterNames, NamesFollowTheBlockTypeAndMode) {
    BlockNaming mixed = allBlocks(1);
    mixed.block[0].type = 4;
    const std::pair<std::string, const char*> cases[] = {
        {name(32, mixed), "Block 1 X > Room Length"},
        {name(66, mixed), "Block 2 X > Filter Pre-Distort"},  // only Block 1 changed
        {name(32, allBlocks(0)), "Block 1 X > None 1"},
        {slotName(0, 5, false, allBlocks(1, 30)), "Block 1 -"},  // up to HP 36dB nothing
        {slotName(0, 5, false, allBlocks(1, 31)), "Block 1 Filter Vowel"},
        {slotName(1, 3, false, allBlocks(3, 0, 5)), "Block 2 Shaper Bits"},
        {slotName(0, 5, false, allBlocks(2, 34, 5)),
         "Block 1 Comb Random"},  // modes matter for their type only
        {slotName(0, 23, false, allBlocks(1)), "-"},
        {destination(13, false), "Block 1 Gater Off"},  // destinations swap the gater and mix slots
        {destination(21, true, allBlocks(1, 34)), "B1 X > Gain"},
        {destination(50, false, allBlocks(6)), "Block 3 Grain Semi"},
        {destination(90, true), "-"},
    };
    for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

}  // namespace
