// The factory bank: valid presets that match their sources; malformed sources refused.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>

#include "effect/FactoryBank.h"
#include "effect/ParameterDefaults.h"
#include "effect/ParameterLayout.h"
#include "effect/ProgramName.h"
#include "tools/bankgen/BankSource.h"
#include "tools/bankgen/Catalogue.h"

namespace {

int stepped(float value, const SlotInfo& info) {
    return std::clamp(static_cast<int>(value * info.scale + 0.1f), 0, info.count - 1);
}

const Catalogue& catalogue() {
    static const Catalogue instance;
    return instance;
}

PresetSource parse(const std::string& text) {
    std::istringstream in(text);
    return parsePreset(catalogue(), "test.txt", in);
}

// The message a malformed preset or bank is rejected with.
std::string rejection(const std::function<void()>& load) {
    try {
        load();
    } catch (const BankError& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(FactoryBank, EveryPresetIsNamedOnceAndHoldsValidEncodings) {
    float defaults[PARAMETER_COUNT];
    fillDefaultParameterValues(defaults);
    std::set<std::string> names;
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        const std::string name = FACTORY_PRESET_NAMES[p];
        EXPECT_TRUE(!name.empty() && name.size() <= static_cast<size_t>(FACTORY_PRESET_NAME_LENGTH)) << name;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        char spelled[PROGRAM_NAME_LENGTH + 1];
        decodeProgramName(DEMOVAR[p], spelled);
        EXPECT_EQ(spelled, name) << "preset " << p;
        for (int i = 0; i < PARAMETER_COUNT; ++i) {
            const float v = DEMOVAR[p][i];
            ASSERT_TRUE(std::isfinite(v) && v >= 0.0f && v <= 1.0f) << "preset " << p << " parameter " << i;
            const SlotInfo info = slotInfo(i);
            EXPECT_TRUE(!isOnOffSlot(i) || v == 0.0f || v == 1.0f) << "preset " << p << " switch " << i;
            EXPECT_TRUE(info.kind != SlotKind::Choice || static_cast<int>(v * info.scale + 0.1f) < info.count)
                << "preset " << p << " choice " << i;
            EXPECT_TRUE(info.kind != SlotKind::None || v == defaults[i]) << "preset " << p << " slot " << i;
        }
    }
    // Preset 0, the sound of a new instance: nothing bypassed, no echo running away.
    EXPECT_EQ(DEMOVAR[0][BYPASS_PARAM], 0.0f);
    EXPECT_EQ(DEMOVAR[0][DELAY_ON_PARAM], 0.0f);
}

// A Room's high-pass is a one-pole low cut that switches on only where its coefficient,
// 2 x 20 x 2^(10 hp) / rate, reaches 0.01 (hp 0.347 at 44.1 kHz); a setting under that is silently
// nothing, so a Room in the bank has its high-pass off (0) or on.
TEST(FactoryBank, RoomHighPassesAreOffOrOn) {
    constexpr int ROOM = 4;
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p)
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            if (stepped(DEMOVAR[p][BLOCK_TYPE_TAG[b]], slotInfo(BLOCK_TYPE_TAG[b])) != ROOM) continue;
            const double hp = DEMOVAR[p][ROOM_HP_TAG[b]];
            EXPECT_TRUE(hp == 0.0 || 40.0 * std::exp2(10.0 * hp) / 44100.0 >= 0.01)
                << FACTORY_PRESET_NAMES[p] << ", Block " << b + 1 << ": " << hp;
        }
}

TEST(FactoryBank, TableMatchesItsSources) {
    const std::vector<PresetSource> sources = loadBank(catalogue(), TARNWELL_PRESETS_DIR);
    ASSERT_EQ(sources.size(), static_cast<size_t>(FACTORY_PRESET_COUNT));
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p) {
        EXPECT_EQ(sources[p].name, FACTORY_PRESET_NAMES[p]);
        EXPECT_EQ(std::memcmp(sources[p].values.data(), DEMOVAR[p], sizeof DEMOVAR[p]), 0) << sources[p].file;
        for (const ChoiceUse& use : sources[p].choices)
            EXPECT_EQ(stepped(DEMOVAR[p][use.index], slotInfo(use.index)), use.option)
                << sources[p].file << " " << use.text;
    }
}

TEST(PresetSource, MalformedSourcesAreRejectedWithFileAndLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"Name = N\nBlock 4 Type = Filter\n", "test.txt:2: unknown parameter 'Block 4 Type'"},
        {"Name = N\nBlock 1 Type = Comb\nBlock 1 X > Filter Freq = 0.9\n",
         "test.txt:3: unknown parameter 'Block 1 X > Filter Freq'"},  // names follow the type
        {"Name = N\nBlock 1 Mix = 1.2\n", "test.txt:2: value 1.2 for 'Block 1 Mix' is outside [0, 1]"},
        {"Name = N\nBlock 1 Mix = 0.5\nBlock 1 Mix = 0.6\n",
         "test.txt:3: 'Block 1 Mix' is set twice (first on line 2)"},
        {"Name = N\nBlock 1 Type = Flanger\n", "test.txt:2: unknown option 'Flanger'"},
        {"Name = A Name That Is Far Too Long To Fit\n",
         "test.txt:1: preset name 'A Name That Is Far Too Long To Fit' is longer than 28"},
        {"Block 1 Mix = 0.5\n", "test.txt: no 'Name = ...' line"},
    };
    for (const auto& c : cases) {
        const std::string message = rejection([&] { parse(c.text); });
        EXPECT_NE(message.find(c.message), std::string::npos) << c.text << "\n-> " << message;
    }
}
