// Programs: the name carried in parameters 800-827, applying the program record, browsing the
// factory bank, the three compare operations, and the chunk under each kind of host.

#include "effect/FactoryBank.h"
#include "effect/ProgramName.h"
#include "tests/effect/PluginFixture.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using tarnwell::test::PluginFixture;

namespace {

class Programs : public PluginFixture {};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

bool isXYMidi(int i) {
    return i >= XY_MIDI_X_TAG[0] && i <= XY_MIDI_Y_TAG[BLOCK_COUNT - 1];
}

std::string programName(APlugin& plugin) {
    char name[64];
    std::memset(name, '#', sizeof(name));
    plugin.getProgramName(name);
    return name;
}

// Writes a whole program into the record the way a restored host state does, then applies it.
void restoreState(APlugin& plugin, const std::vector<float>& values) {
    for (int i = 0; i < PARAMETER_COUNT; ++i) plugin.programs[0].values[i] = values[static_cast<size_t>(i)];
    plugin.setProgram(plugin.getProgram());
}

std::vector<float> preset(int k) {
    return {DEMOVAR[k], DEMOVAR[k] + PARAMETER_COUNT};
}

// A user's own sound that still carries factory preset k's name.
std::vector<float> editedPreset(int k) {
    std::vector<float> values = preset(k);
    values[FILTER_FREQ_TAG[0]] = values[FILTER_FREQ_TAG[0]] > 0.5f ? 0.125f : 0.875f;
    values[DELAY_MIX_PARAM] = 0.3125f;
    values[GATER_TAG[1][0] + 4] = 0.0f;
    values[RELOAD_PRESET_PARAM] = 0.75f;
    return values;
}

}  // namespace

TEST(ProgramName, EveryCharacterSurvivesTheRoundTrip) {
    for (int position = 0; position < PROGRAM_NAME_LENGTH; ++position) {
        for (int c = 0; c < 256; ++c) {
            const float v = encodeNameCharacter(static_cast<unsigned char>(c));
            ASSERT_GE(v, 0.0f);
            ASSERT_LE(v, 1.0f);
            ASSERT_EQ(static_cast<unsigned char>(decodeNameCharacter(position, v)), c) << position;
        }
        // 1.0 reads as code 256: the first 16 positions make it 127, the rest end the name.
        EXPECT_EQ(decodeNameCharacter(position, 1.0f), position < 16 ? 127 : 0) << position;
        EXPECT_EQ(decodeNameCharacter(position, 0.0f), 0);
    }

    float values[PARAMETER_COUNT] = {};
    encodeProgramName("Twenty-eight characters long and then some", values);
    char name[PROGRAM_NAME_LENGTH + 1];
    decodeProgramName(values, name);
    EXPECT_STREQ(name, "Twenty-eight characters long");
    encodeProgramName("Short", values);  // what followed the old name is cleared
    decodeProgramName(values, name);
    EXPECT_STREQ(name, "Short");
    for (int k = 0; k < PROGRAM_NAME_LENGTH; ++k) values[PROGRAM_NAME_START + k] = 1.0f;
    decodeProgramName(values, name);
    EXPECT_EQ(std::string(name), std::string(16, '\x7f'));
}

TEST_F(Programs, ANewInstanceStartsWithFactoryPresetZero) {
    auto plugin = make();
    for (int k = 0; k < FACTORY_PRESET_COUNT; ++k)
        EXPECT_STREQ(plugin->factoryPresetNames[k], FACTORY_PRESET_NAMES[k]);
    EXPECT_EQ(plugin->currentFactoryPreset, 0);
    EXPECT_EQ(programName(*plugin), FACTORY_PRESET_NAMES[0]);
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        EXPECT_EQ(plugin->programs[0].values[i], DEMOVAR[0][i]) << i;
        EXPECT_EQ(plugin->currentValues[i], isXYMidi(i) ? 0.0f : DEMOVAR[0][i]) << i;
        EXPECT_EQ(plugin->referenceValues[i], DEMOVAR[0][i]) << i;
    }
    EXPECT_EQ(plugin->getEditChanged(), 0);
    EXPECT_EQ(plugin->refreshCounter, 1u);
}

TEST_F(Programs, OnlyProgramZeroIsAppliedAndNotWhileTheEditorOpens) {
    auto plugin = make();
    plugin->programs[0].values[FILTER_Q_TAG[0]] = 0.625f;
    plugin->displayRefreshPending = 0;
    plugin->setProgram(1);
    plugin->setProgram(-1);
    plugin->editorOpening = 1;
    plugin->setProgram(0);
    EXPECT_NE(plugin->getParameter(FILTER_Q_TAG[0]), 0.625f);
    EXPECT_EQ(plugin->displayRefreshPending, 0);
    EXPECT_EQ(plugin->getProgram(), 0);

    plugin->editorOpening = 0;
    plugin->setProgram(0);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[0]), 0.625f);
    EXPECT_EQ(plugin->displayRefreshPending, 1);
}

TEST_F(Programs, ASavedStateWithAFactoryPresetsNameKeepsItsOwnValues) {
    auto plugin = make();
    const std::vector<float> mine = editedPreset(20);
    restoreState(*plugin, mine);
    EXPECT_EQ(plugin->currentFactoryPreset, 20);  // shown under the preset's name
    EXPECT_EQ(programName(*plugin), FACTORY_PRESET_NAMES[20]);
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        if (isXYMidi(i)) continue;
        EXPECT_EQ(plugin->currentValues[i], mine[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(plugin->programs[0].values[i], mine[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(plugin->getEditChanged(), 0);
}

TEST_F(Programs, ApplyingFindsTheLastPresetOfThatNameOrFallsBackToZero) {
    auto plugin = make();
    std::vector<float> values = preset(7);
    std::snprintf(plugin->factoryPresetNames[40], 64, "%s", FACTORY_PRESET_NAMES[7]);
    restoreState(*plugin, values);
    EXPECT_EQ(plugin->currentFactoryPreset, 40);

    encodeProgramName("Nobody's Preset", values);
    restoreState(*plugin, values);
    EXPECT_EQ(plugin->currentFactoryPreset, 0);
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[0]),
              DEMOVAR[7][FILTER_FREQ_TAG[0]]);  // still its own sound
}

TEST_F(Programs, ApplyingCleansTheRecordAndResetsTheTrackingCopies) {
    auto plugin = make();
    std::vector<float> values = preset(3);
    values[FILTER_FREQ_TAG[1]] = NaN;                                   // default 1.0
    values[DELAY_LEFT_PARAM] = std::numeric_limits<float>::infinity();  // default 0.5
    values[FILTER_Q_TAG[1]] = 1.7f;
    values[DELAY_ON_PARAM] = 0.7f;  // a switch
    values[XY_MIDI_X_TAG[2]] = 0.4f;
    restoreState(*plugin, values);

    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[1]), 1.0f);
    EXPECT_EQ(plugin->getParameter(DELAY_LEFT_PARAM), 0.5f);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[1]), 1.0f);
    EXPECT_EQ(plugin->getParameter(DELAY_ON_PARAM), 1.0f);
    EXPECT_EQ(plugin->getParameter(XY_MIDI_X_TAG[2]), 0.0f);  // the pads start from rest
    EXPECT_EQ(plugin->programs[0].values[XY_MIDI_X_TAG[2]], 0.4f);
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        const float applied = plugin->programs[0].values[i];
        ASSERT_TRUE(applied >= 0.0f && applied <= 1.0f) << i;
        EXPECT_EQ(plugin->referenceValues[i], applied) << i;
        EXPECT_EQ(plugin->editValues[i], applied) << i;
        EXPECT_EQ(plugin->lastSetValues[i], applied) << i;
    }
    EXPECT_EQ(plugin->getEditChanged(), 0);  // nothing applied counts as an edit
    EXPECT_EQ(plugin->refreshCounter, 1u);
}

TEST_F(Programs, BrowsingTheFactoryBank) {
    auto plugin = make();
    plugin->setDemoProgram(17);
    EXPECT_EQ(plugin->currentFactoryPreset, 17);
    EXPECT_EQ(programName(*plugin), FACTORY_PRESET_NAMES[17]);
    for (int i = 0; i < PARAMETER_COUNT; ++i)
        EXPECT_EQ(plugin->currentValues[i], isXYMidi(i) ? 0.0f : DEMOVAR[17][i]) << i;

    plugin->setParameter(FILTER_Q_TAG[0], 0.01f);
    plugin->setDemoProgram(17);  // choosing it again throws the edit away
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[0]), DEMOVAR[17][FILTER_Q_TAG[0]]);
    EXPECT_EQ(plugin->getEditChanged(), 0);

    for (int bad : {63, -1, INT_MAX}) {
        plugin->setDemoProgram(bad);
        EXPECT_EQ(plugin->currentFactoryPreset, 17) << bad;
    }

    plugin->setDemoProgram(62);
    plugin->changeDemoProgramDelta(+1);
    EXPECT_EQ(plugin->currentFactoryPreset, 62);
    plugin->setDemoProgram(2);
    plugin->changeDemoProgramDelta(-5);
    EXPECT_EQ(plugin->currentFactoryPreset, 0);
    plugin->changeDemoProgramDelta(+1);
    EXPECT_EQ(plugin->currentFactoryPreset, 1);
    EXPECT_EQ(plugin->getParameter(5), DEMOVAR[1][5]);
    plugin->changeDemoProgramDelta(INT_MAX);
    EXPECT_EQ(plugin->currentFactoryPreset, 62);
    plugin->changeDemoProgramDelta(INT_MIN);
    EXPECT_EQ(plugin->currentFactoryPreset, 0);
}

TEST_F(Programs, NamesShownToTheHost) {
    auto plugin = make();
    plugin->setDemoProgram(9);
    char text[64];
    EXPECT_TRUE(plugin->getProgramNameIndexed(0, 0, text));
    EXPECT_STREQ(text, FACTORY_PRESET_NAMES[9]);
    std::strcpy(text, "untouched");
    EXPECT_FALSE(plugin->getProgramNameIndexed(0, 1, text));
    EXPECT_STREQ(text, "untouched");

    char renamed[] = "Renamed";
    plugin->setProgramName(renamed);
    EXPECT_EQ(programName(*plugin), FACTORY_PRESET_NAMES[9]);

    EXPECT_STREQ(plugin->getPresetName(62), FACTORY_PRESET_NAMES[62]);
    EXPECT_STREQ(plugin->getPresetName(63), "None");
    EXPECT_STREQ(plugin->getPresetName(-1), "None");
    plugin->currentFactoryPreset = 99;
    EXPECT_EQ(programName(*plugin), "None");
}

TEST_F(Programs, CompareOperationsRoundTrip) {
    auto plugin = make();
    plugin->setDemoProgram(30);
    plugin->setParameter(FILTER_FREQ_TAG[2], 0.123f);
    plugin->setParameter(DELAY_MIX_PARAM, 0.9f);
    ASSERT_EQ(plugin->getEditChanged(), 1);

    host.clear();
    plugin->origProgram();  // as loaded
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[2]), DEMOVAR[30][FILTER_FREQ_TAG[2]]);
    EXPECT_EQ(plugin->programs[0].values[DELAY_MIX_PARAM], DEMOVAR[30][DELAY_MIX_PARAM]);
    EXPECT_EQ(plugin->getEditChanged(), 0);
    EXPECT_EQ(host.count(HostRequest::UpdateDisplay), 0);

    plugin->editProgram();  // and back to the edit
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[2]), 0.123f);
    EXPECT_EQ(plugin->programs[0].values[DELAY_MIX_PARAM], 0.9f);
    EXPECT_EQ(plugin->getEditChanged(), 1);
    EXPECT_EQ(host.count(HostRequest::UpdateDisplay), 1);

    plugin->setParameter(RELOAD_PRESET_PARAM, 0.4f);
    plugin->defaultProgram();
    for (int i = 0; i < PROGRAM_NAME_START; ++i) {
        EXPECT_EQ(plugin->currentValues[i], plugin->defaultValues[i]) << i;
        EXPECT_EQ(plugin->programs[0].values[i], plugin->defaultValues[i]) << i;
    }
    for (int i = PROGRAM_NAME_START; i < PARAMETER_COUNT - 1; ++i)  // the name stays
        EXPECT_EQ(plugin->currentValues[i], DEMOVAR[30][i]) << i;
    EXPECT_EQ(plugin->getParameter(RELOAD_PRESET_PARAM), 0.4f);
    EXPECT_EQ(plugin->getEditChanged(), 1);
    EXPECT_EQ(host.count(HostRequest::UpdateDisplay), 2);

    // The defaults become the edit: leaving and returning lands on them, not on the old edit.
    plugin->origProgram();
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[2]), DEMOVAR[30][FILTER_FREQ_TAG[2]]);
    plugin->editProgram();
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[2]), plugin->defaultValues[FILTER_FREQ_TAG[2]]);
    EXPECT_EQ(plugin->getParameter(DELAY_MIX_PARAM), plugin->defaultValues[DELAY_MIX_PARAM]);
}

TEST_F(Programs, ChunkFormsFollowTheHost) {
    struct Host {
        const char* product;
        const char* vendor;
        int bankSize;
        int presetSize;
    };
    const Host hosts[] = {
        {"REAPER", "Someone", 4128, 0},
        {"Host", "Propeller", 4128, 4128},
        {"Maschine Host", "Someone", 4128, 0},
        {"Maschine Host", "PROP", 4128, 0},
        {"Quenda", "Someone", 4128, 0},
        {"Kore Player", "Someone", 0, 0},
        {"Kore Player", "PROP", 4128, 4128},
        {"Ordinary", "Someone", 0, 0},
        {"Live", "Someone", 0, 0},
    };
    for (const Host& h : hosts) {
        SCOPED_TRACE(std::string(h.product) + " / " + h.vendor);
        auto source = makeUnder(h.product, h.vendor);
        for (bool isPreset : {false, true}) {
            const int expected = isPreset ? h.presetSize : h.bankSize;
            source->setDemoProgram(44);
            source->setParameter(FILTER_Q_TAG[1], 0.3125f);
            std::snprintf(source->programs[0].name, APluginProgram::NAME_SIZE, "%s", "Take Two");
            void* data = nullptr;
            const int size = source->getChunk(&data, isPreset);
            ASSERT_EQ(size, expected) << "preset form " << isPreset;

            auto target = makeUnder(h.product, h.vendor);
            if (size == 0) {
                // Nothing offered and nothing taken, yet the host is told it went well.
                std::vector<unsigned char> stranger(4128, 0);
                EXPECT_EQ(target->setChunk(stranger.data(), 4128, isPreset), 1);
                EXPECT_EQ(target->currentFactoryPreset, 0);
                EXPECT_EQ(target->getParameter(FILTER_Q_TAG[1]), DEMOVAR[0][FILTER_Q_TAG[1]]);
                continue;
            }
            const std::vector<unsigned char> bytes(static_cast<unsigned char*>(data),
                                                   static_cast<unsigned char*>(data) + size);
            float q;
            std::memcpy(&q, bytes.data() + 4 * FILTER_Q_TAG[1], 4);  // little-endian floats
            EXPECT_EQ(q, 0.3125f);
            EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 4096), "Take Two");

            EXPECT_EQ(target->setChunk(const_cast<unsigned char*>(bytes.data()), size, isPreset), 1);
            EXPECT_EQ(target->currentFactoryPreset, 44);
            EXPECT_STREQ(target->programs[0].name, "Take Two");
            EXPECT_EQ(target->getEditChanged(), 0);
            for (int i = 0; i < PARAMETER_COUNT; ++i) {
                EXPECT_EQ(target->programs[0].values[i], source->programs[0].values[i]) << i;
                EXPECT_EQ(target->currentValues[i], isXYMidi(i) ? 0.0f : source->programs[0].values[i].load())
                    << i;
            }
        }
    }
}

TEST_F(Programs, ChunkSizesNeverLeadPastTheData) {
    auto plugin = makeUnder("REAPER");
    void* data = nullptr;
    EXPECT_EQ(plugin->getChunk(nullptr, false), 0);
    ASSERT_EQ(plugin->getChunk(&data, false), 4128);

    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data),
                                     static_cast<unsigned char*>(data) + 4128);
    const float q = 0.8125f;
    std::memcpy(chunk.data() + 4 * FILTER_Q_TAG[2], &q, 4);
    const float before = plugin->getParameter(FILTER_Q_TAG[2]);

    // A null or short chunk changes nothing and is still answered with 1. The short copy lives
    // in a buffer of exactly its own size, so a read past it would show under the sanitizers.
    EXPECT_EQ(plugin->setChunk(nullptr, 4128, false), 1);
    std::vector<unsigned char> shortChunk(chunk.begin(), chunk.begin() + 4127);
    EXPECT_EQ(plugin->setChunk(shortChunk.data(), 4127, false), 1);
    EXPECT_EQ(plugin->setChunk(chunk.data(), -1, false), 1);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[2]), before);

    // A longer chunk is read for its first 4128 bytes.
    std::vector<unsigned char> longChunk = chunk;
    longChunk.resize(6000, 0xFF);
    EXPECT_EQ(plugin->setChunk(longChunk.data(), 6000, false), 1);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[2]), q);

    // A name that fills all 32 bytes keeps 31; values that are no number become defaults.
    std::memset(chunk.data() + 4096, 'x', 32);
    const float nan = NaN;
    std::memcpy(chunk.data() + 4 * FILTER_FREQ_TAG[0], &nan, 4);
    plugin->setChunk(chunk.data(), 4128, false);
    EXPECT_EQ(std::string(plugin->programs[0].name), std::string(31, 'x'));
    EXPECT_EQ(plugin->getParameter(FILTER_FREQ_TAG[0]), 1.0f);
    EXPECT_EQ(plugin->programs[0].values[FILTER_FREQ_TAG[0]], 1.0f);

    // Handing the effect's own buffer straight back is a no-op round trip.
    plugin->setParameter(FILTER_Q_TAG[2], 0.25f);
    ASSERT_EQ(plugin->getChunk(&data, false), 4128);
    plugin->setParameter(FILTER_Q_TAG[2], 0.75f);
    EXPECT_EQ(plugin->setChunk(data, 4128, false), 1);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[2]), 0.25f);
}
