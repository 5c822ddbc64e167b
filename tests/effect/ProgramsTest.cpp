// Programs: the name carried in parameters 800-827, applying the program record, browsing the
// factory bank, and the chunk (which hosts are offered it, the plugin test says).

#include "effect/FactoryBank.h"
#include "effect/ProgramName.h"
#include "tests/effect/PluginFixture.h"

#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using tarnwell::test::PluginFixture;

namespace {

class Programs : public PluginFixture {};

bool isXYMidi(int i) {
    return i >= XY_MIDI_X_TAG[0] && i <= XY_MIDI_Y_TAG[BLOCK_COUNT - 1];
}

std::string programName(APlugin& plugin) {
    char name[64];
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

}  // namespace

TEST(ProgramName, EveryCharacterSurvivesTheRoundTrip) {
    for (int position = 0; position < PROGRAM_NAME_LENGTH; ++position) {
        for (int c = 0; c < 256; ++c) {
            const float v = encodeNameCharacter(static_cast<unsigned char>(c));
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
            ASSERT_EQ(static_cast<unsigned char>(decodeNameCharacter(position, v)), c) << position;
        }
        // 1.0 reads as code 256: the first 16 positions make it 127, the rest end the name.
        EXPECT_EQ(decodeNameCharacter(position, 1.0f), position < 16 ? 127 : 0) << position;
    }
    float values[PARAMETER_COUNT] = {};
    char name[PROGRAM_NAME_LENGTH + 1];
    encodeProgramName("Twenty-eight characters long and then some", values);
    decodeProgramName(values, name);
    EXPECT_STREQ(name, "Twenty-eight characters long");
    encodeProgramName("Short", values);  // what followed the old name is cleared
    decodeProgramName(values, name);
    EXPECT_STREQ(name, "Short");
}

// A user's own sound that still carries a factory preset's name is shown under that name but
// keeps its values; its stored reload trigger must not replace it with the preset.
TEST_F(Programs, ASavedStateWithAFactoryPresetsNameKeepsItsOwnValues) {
    auto plugin = make();
    std::vector<float> mine = preset(20);
    mine[FILTER_FREQ_TAG[0]] = mine[FILTER_FREQ_TAG[0]] > 0.5f ? 0.125f : 0.875f;
    mine[DELAY_MIX_PARAM] = 0.3125f;
    mine[GATER_TAG[1][0] + 4] = 0.0f;
    mine[RELOAD_PRESET_PARAM] = 0.75f;
    mine[XY_MIDI_X_TAG[2]] = 0.4f;
    restoreState(*plugin, mine);
    EXPECT_EQ(plugin->currentFactoryPreset, 20);
    EXPECT_EQ(programName(*plugin), FACTORY_PRESET_NAMES[20]);
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        EXPECT_EQ(plugin->currentValues[i], isXYMidi(i) ? 0.0f : mine[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(plugin->programs[0].values[i], mine[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(plugin->getEditChanged(), 0);

    // The last preset of that name wins; a name no preset has shows preset 0, values untouched.
    std::snprintf(plugin->factoryPresetNames[40], 64, "%s", FACTORY_PRESET_NAMES[20]);
    restoreState(*plugin, mine);
    EXPECT_EQ(plugin->currentFactoryPreset, 40);
    encodeProgramName("Nobody's Preset", mine);
    restoreState(*plugin, mine);
    EXPECT_EQ(plugin->currentFactoryPreset, 0);
    EXPECT_EQ(plugin->getParameter(DELAY_MIX_PARAM), 0.3125f);
}

TEST_F(Programs, BrowsingStaysInsideTheBank) {
    auto plugin = make();
    plugin->setDemoProgram(17);
    for (int bad : {FACTORY_PRESET_COUNT, -1, INT_MAX}) plugin->setDemoProgram(bad);
    EXPECT_EQ(plugin->currentFactoryPreset, 17);
    const std::pair<int, int> steps[] = {{-20, 0}, {+1, 1}, {INT_MAX, FACTORY_PRESET_COUNT - 1}, {INT_MIN, 0}};
    for (const auto& [step, preset] : steps) {
        plugin->changeDemoProgramDelta(step);
        EXPECT_EQ(plugin->currentFactoryPreset, preset) << step;
        EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[0]), DEMOVAR[preset][FILTER_Q_TAG[0]]) << step;
    }
}

// Little-endian values, then the name; applied as the program, with the factory preset of its name.
TEST_F(Programs, ChunkRoundTripsThroughAnotherInstance) {
    auto source = makeUnder("Host", "Propeller");
    source->setDemoProgram(44);
    source->setParameter(FILTER_Q_TAG[1], 0.3125f);
    std::snprintf(source->programs[0].name, APluginProgram::NAME_SIZE, "%s", "Take Two");
    void* data = nullptr;
    ASSERT_EQ(source->getChunk(&data, true), 4128);
    const auto* chunk = static_cast<unsigned char*>(data);
    const std::vector<unsigned char> bytes(chunk, chunk + 4128);
    float q;
    std::memcpy(&q, bytes.data() + 4 * FILTER_Q_TAG[1], 4);
    EXPECT_EQ(q, 0.3125f);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 4096), "Take Two");
    auto target = makeUnder("Host", "Propeller");
    EXPECT_EQ(target->setChunk(const_cast<unsigned char*>(bytes.data()), 4128, true), 1);
    EXPECT_EQ(target->currentFactoryPreset, 44);
    EXPECT_STREQ(target->programs[0].name, "Take Two");
    for (int i = 0; i < PARAMETER_COUNT; ++i)
        ASSERT_EQ(target->currentValues[i], isXYMidi(i) ? 0.0f : source->programs[0].values[i].load()) << i;
    // A host that is offered no chunk takes none either, yet is told it went well.
    auto ordinary = makeUnder("Ordinary", "Someone");
    EXPECT_EQ(ordinary->setChunk(const_cast<unsigned char*>(bytes.data()), 4128, true), 1);
    EXPECT_EQ(ordinary->currentFactoryPreset, 0);
}

TEST_F(Programs, ChunkSizesNeverLeadPastTheData) {
    auto plugin = makeUnder("REAPER");
    void* data = nullptr;
    EXPECT_EQ(plugin->getChunk(nullptr, false), 0);
    ASSERT_EQ(plugin->getChunk(&data, false), 4128);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 4128);
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
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(chunk.data() + 4 * FILTER_FREQ_TAG[0], &nan, 4);
    plugin->setChunk(chunk.data(), 4128, false);
    EXPECT_EQ(std::string(plugin->programs[0].name), std::string(31, 'x'));
    EXPECT_EQ(plugin->programs[0].values[FILTER_FREQ_TAG[0]], 1.0f);

    // Handing the effect's own buffer straight back is a no-op round trip.
    plugin->setParameter(FILTER_Q_TAG[2], 0.25f);
    ASSERT_EQ(plugin->getChunk(&data, false), 4128);
    plugin->setParameter(FILTER_Q_TAG[2], 0.75f);
    EXPECT_EQ(plugin->setChunk(data, 4128, false), 1);
    EXPECT_EQ(plugin->getParameter(FILTER_Q_TAG[2]), 0.25f);
}
