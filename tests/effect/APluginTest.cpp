// The effect object: the host it believes it runs under, the sample-rate rules, its folders, the
// parameter store, programs (the name in parameters 800-827, the bank, the reload trigger), chunks.

#include "effect/FactoryBank.h"
#include "effect/OptionStrings.h"
#include "effect/ParameterLayout.h"
#include "effect/ProgramName.h"
#include "framework/platform/Preferences.h"
#include "tests/effect/PluginFixture.h"
#include "tests/support/ScopedEnvironment.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using tarnwell::test::PluginFixture;
using tarnwell::test::RecordingHost;

namespace {

class APluginTest : public PluginFixture {};

class Programs : public PluginFixture {
protected:
    std::unique_ptr<APlugin> fx = make();
};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

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
    std::vector<float> mine = preset(20);
    mine[FILTER_FREQ_TAG[0]] = mine[FILTER_FREQ_TAG[0]] > 0.5f ? 0.125f : 0.875f;
    mine[DELAY_MIX_PARAM] = 0.3125f;
    mine[GATER_TAG[1][0] + 4] = 0.0f;
    mine[RELOAD_PRESET_PARAM] = 0.75f;
    mine[XY_MIDI_X_TAG[2]] = 0.4f;
    restoreState(*fx, mine);
    EXPECT_EQ(fx->currentFactoryPreset, 20);
    EXPECT_EQ(programName(*fx), FACTORY_PRESET_NAMES[20]);
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        EXPECT_EQ(fx->currentValues[i], isXYMidi(i) ? 0.0f : mine[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(fx->programs[0].values[i], mine[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(fx->getEditChanged(), 0);

    // The last preset of that name wins; a name no preset has shows preset 0, values untouched.
    std::snprintf(fx->factoryPresetNames[40], 64, "%s", FACTORY_PRESET_NAMES[20]);
    restoreState(*fx, mine);
    EXPECT_EQ(fx->currentFactoryPreset, 40);
    encodeProgramName("Nobody's Preset", mine);
    restoreState(*fx, mine);
    EXPECT_EQ(fx->currentFactoryPreset, 0);
    EXPECT_EQ(fx->getParameter(DELAY_MIX_PARAM), 0.3125f);
}

TEST_F(Programs, BrowsingStaysInsideTheBank) {
    fx->setDemoProgram(17);
    for (int bad : {FACTORY_PRESET_COUNT, -1, INT_MAX}) fx->setDemoProgram(bad);
    EXPECT_EQ(fx->currentFactoryPreset, 17);
    const std::pair<int, int> steps[] = {
        {-20, 0}, {+1, 1}, {INT_MAX, FACTORY_PRESET_COUNT - 1}, {INT_MIN, 0}};
    for (const auto& [step, preset] : steps) {
        fx->changeDemoProgramDelta(step);
        EXPECT_EQ(fx->currentFactoryPreset, preset) << step;
        EXPECT_EQ(fx->getParameter(FILTER_Q_TAG[0]), DEMOVAR[preset][FILTER_Q_TAG[0]]) << step;
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

TEST_F(Programs, SetParameterClampsSnapsAndSanitises) {
    const struct {
        int index;
        float value, stored;
    } cases[] = {
        {5, 1.7f, 1.0f},
        {5, -3.0f, 0.0f},
        {5, 0.37f, 0.37f},
        {1, 0.49f, 0.0f},
        {1, 0.5f, 1.0f},
        {627, 0.8f, 1.0f},                  // switches snap
        {GATER_TAG[1][1] + 3, 0.3f, 0.3f},  // gater steps keep what is written
        {6, NaN, 1.0f},
        {110, INF, 0.5f},
        {4, -INF, 0.0f},  // no number: the default
    };
    for (const auto& c : cases) {
        fx->setParameter(c.index, c.value);
        EXPECT_EQ(fx->getParameter(c.index), c.stored) << c.index << " <- " << c.value;
        EXPECT_EQ(fx->programs[0].values[c.index], c.stored) << c.index;
    }
    fx->setParameter(PARAMETER_COUNT, 0.5f);  // must not spill into anything
    fx->setParameter(-1, 0.5f);
    EXPECT_EQ(fx->getParameter(PARAMETER_COUNT), 0.0f);
}

TEST_F(Programs, EditChangedFollowsRealChangesOfTheSound) {
    auto flipped = [](float v) { return v > 0.5f ? v - 0.4f : v + 0.4f; };
    const struct {
        int index;
        float delta;  // 0: flip to the far side
        bool noReference;
        int edited;
    } cases[] = {
        {6, 0.000005f, false, 0},  // below the change threshold
        {190, 0.0f, false, 0},     // XY Last Y is not part of the sound
        {900, 0.0f, false, 0},     // a spare slot
        {7, 0.0f, true, 0},        // no reference: never an edit
        {6, 0.0f, false, 1},
    };
    for (const auto& c : cases) {
        auto fresh = make();
        ASSERT_EQ(fresh->getEditChanged(), 0);  // a freshly applied program is not edited
        if (c.noReference) fresh->referenceValues[c.index] = -1.0f;
        const float before = fresh->getParameter(c.index);
        fresh->setParameter(c.index, c.delta != 0.0f ? before + c.delta : flipped(before));
        EXPECT_EQ(fresh->getEditChanged(), c.edited) << c.index;
        // Returning to the reference is still a change: the flag stays until a program is applied.
        fresh->setParameter(c.index, before);
        EXPECT_EQ(fresh->getEditChanged(), c.edited) << c.index;
    }
}

// The typed reads and the layout's encodings are written apart: every option written the way
// the layout encodes it must read back as itself.
TEST_F(Programs, TypedReadsAgreeWithTheLayout) {
    const struct {
        const int32_t* tags;
        int tagCount;
        int (APlugin::*read)(int) const;
    } getters[] = {
        {BLOCK_TYPE_TAG, 3, &APlugin::getBlockType},
        {FILTER_MODE_TAG, 3, &APlugin::getFilterMode},
        {COMB_MODE_TAG, 3, &APlugin::getCombMode},
        {SHAPER_MODE_TAG, 3, &APlugin::getShaperMode},
        {GATER_STEPS_TAG, 3, &APlugin::getGaterSteps},
        {GATER_SPEED_TAG, 3, &APlugin::getGaterSpeed},
        {GRAIN_MODE_TAG, 3, &APlugin::getGrainMode},
        {MOD_DESTINATION_TAG, 4, &APlugin::getModDestination},
        {MOD_SOURCE_TAG, 4, &APlugin::getModSource},
        {XY_PLAY_MODE_TAG, 3, &APlugin::getXYPlayMode},
        {XY_RECORD_MODE_TAG, 3, &APlugin::getXYRecordMode},
        {XY_SYNC_TAG, 3, &APlugin::getXYSync},
        {XY_POINT_QUANT_TAG, 3, &APlugin::getXYPointQuantization},
        {XY_SPACE_QUANT_TAG, 3, &APlugin::getXYSpaceQuantization},
        {XY_TIME_QUANT_TAG, 3, &APlugin::getXYTimeQuantization},
    };
    for (const auto& g : getters)
        for (int n = 0; n < g.tagCount; ++n) {
            const SlotInfo info = slotInfo(g.tags[n]);
            ASSERT_EQ(info.kind, SlotKind::Choice) << g.tags[n];
            for (int k = 0; k < info.count; ++k) {
                fx->setParameter(g.tags[n], std::min(1.0f, (static_cast<float>(k) + 0.1f) / info.scale));
                EXPECT_EQ((fx.get()->*g.read)(n), k) << "parameter " << g.tags[n] << " option " << k;
            }
        }

    host.clear();
    fx->setSteppedValue(BLOCK_TYPE_TAG[0], 9, 6.99f, 7);  // past the last type: the last
    EXPECT_EQ(fx->getBlockType(0), 6);
    EXPECT_EQ(host.count(HostRequest::Automate), 1);
    fx->setSteppedValue(PARAMETER_COUNT, 1, 6.99f, 7);  // no such slot: the host is not told
    EXPECT_EQ(host.count(HostRequest::Automate), 1);
}

// The engine reads sources, destinations and Block types by their names; each name must be the
// row the menus show under it.
TEST(ModulationIds, NameTheRowsTheMenusShow) {
    const std::pair<int, std::string> sources[] = {{SOURCE_MOD_WHEEL, "Mod Wheel"},
                                                   {SOURCE_MOD_AFTER, "Mod/After"},
                                                   {SOURCE_CHANNEL_AFTER, "Channel After"},
                                                   {SOURCE_POLY_AFTER, "Poly After"},
                                                   {SOURCE_VELOCITY, "Velocity"},
                                                   {SOURCE_PITCHBEND, "Pitchbend"},
                                                   {SOURCE_BREATH, "Breath"},
                                                   {SOURCE_FOOT, "Foot"},
                                                   {SOURCE_EXPRESSION, "Expression"},
                                                   {SOURCE_CC16, "CC16"},
                                                   {SOURCE_CC84, "CC84"},
                                                   {SOURCE_NOTE, "Note"},
                                                   {SOURCE_CENTER_NOTE, "Center Note"},
                                                   {SOURCE_NOTE_RANDOM, "Note Random 1"},
                                                   {SOURCE_FOLLOWER, "Follower"},
                                                   {SOURCE_GATER_LEFT[2], "Block 3 Gater Left"},
                                                   {SOURCE_GATER_RIGHT[1], "Block 2 Gater Right"},
                                                   {SOURCE_X[2], "Block 3 X"},
                                                   {SOURCE_POLAR_Y[1], "Block 2 Polar Y"},
                                                   {SOURCE_INPUT, "Input"},
                                                   {SOURCE_BLOCK_OUT[2], "Block 3 Out"},
                                                   {SOURCE_OUT, "Out"},
                                                   {SOURCE_OFFSET, "Offset"},
                                                   {SOURCE_WHITE_NOISE, "White Noise"},
                                                   {SOURCE_UNIPOLAR_NOISE, "Unipolar White Noise"}};
    for (const auto& [id, name] : sources) EXPECT_EQ(MOD_SOURCE_STR[id], name) << id;
    int bipolar = 0;
    for (int s = 0; s < MOD_SOURCE_COUNT; ++s) {
        const std::string name = MOD_SOURCE_STR[s];
        const bool swings = name.find("Polar") != std::string::npos ||
                            name.find("Random") != std::string::npos ||
                            ((name.ends_with("Input") || name.ends_with("Out") || name.ends_with("Noise")) &&
                             name.find("Unipolar") == std::string::npos);
        EXPECT_EQ(isBipolarSource(s), swings) << name;
        bipolar += swings;
    }
    EXPECT_EQ(bipolar, 14);

    const std::pair<int, std::string> destinations[] = {
        {DESTINATION_GLOBAL_VOLUME, "Global Volume"},
        {DESTINATION_GLOBAL_DRY, "Global Dry"},
        {DESTINATION_GLOBAL_PAN, "Global Pan"},
        {destinationBase(2) + DESTINATION_GATER_SPEED_OFFSET, "B3 Gater Speed"},
        {destinationBase(1) + DESTINATION_GATER_SWING_OFFSET, "B2 Gater Swing"},
        {destinationBase(0) + DESTINATION_GATER_SMOOTH_OFFSET, "B1 Gater Smooth"},
        {destinationBase(2) + DESTINATION_GATER_OFF_OFFSET, "B3 Gater Off"},
        {destinationBase(2) + DESTINATION_GATER_ON_OFFSET, "B3 Gater On"},
        {destinationBase(1) + DESTINATION_SPREAD_OFFSET, "B2 Spread"},
        {destinationBase(2) + DESTINATION_PAN_OFFSET, "B3 Pan"},
        {destinationBase(2) + DESTINATION_MIX_OFFSET, "B3 Mix"},
        {destinationBase(2) + DESTINATION_VOLUME_OFFSET, "B3 Vol"},
        {destinationBase(2) + DESTINATION_X_ASSIGN_OFFSET, "X > B3 Freq"},
        {destinationBase(2) + DESTINATION_Y_ASSIGN_OFFSET, "Y > B3 Freq"},
        {DESTINATION_BLOCK_XY_SPEED[2], "Block 3 XY Speed"},
        {DESTINATION_BLOCK_XY_SMOOTH[2], "Block 3 XY Smooth"},
        {DESTINATION_DELAY_SPEED, "Delay Speed"},
        {DESTINATION_DELAY_LEFT, "Delay Left"},
        {DESTINATION_DELAY_RIGHT, "Delay Right"},
        {DESTINATION_DELAY_FINE, "Delay Fine"},
        {DESTINATION_DELAY_FEEDBACK, "Delay Feed"},
        {DESTINATION_DELAY_CROSS_FEEDBACK, "Delay Cross"},
        {DESTINATION_DELAY_LP, "Delay LP"},
        {DESTINATION_DELAY_HP, "Delay HP"},
        {DESTINATION_DELAY_MIX, "Delay Mix"},
        {DESTINATION_FOLLOWER_BOOST, "Follower Boost"},
        {DESTINATION_FOLLOWER_SMOOTH, "Follower Smooth"},
        {DESTINATION_FOLLOWER_THRESHOLD, "Follower Thresh"},
        {DESTINATION_FOLLOWER_HOLD, "Follower Hold"},
        {DESTINATION_MOD_AMOUT[3], "Mod 4 Amount"}};
    for (const auto& [id, name] : destinations) EXPECT_EQ(MOD_DESTINATION_STR[id], name) << id;

    const std::pair<int, std::string> types[] = {
        {TYPE_OFF, "Off"},   {TYPE_FILTER, "Filter"}, {TYPE_COMB, "Comb"},  {TYPE_SHAPER, "Shaper"},
        {TYPE_ROOM, "Room"}, {TYPE_GATER, "Gater"},   {TYPE_GRAIN, "Grain"}};
    for (const auto& [id, name] : types) EXPECT_EQ(BLOCK_TYPE_STR[id], name) << id;
}

TEST_F(Programs, ReloadTriggerRestoresTheCurrentFactoryPreset) {
    fx->setDemoProgram(5);
    fx->setParameter(6, DEMOVAR[5][6] > 0.5f ? 0.1f : 0.9f);
    fx->displayRefreshPending = 0;
    fx->setParameter(RELOAD_PRESET_PARAM, 0.3f);
    for (int i = 0; i < RELOAD_PRESET_PARAM; ++i)
        ASSERT_TRUE(fx->currentValues[i] == DEMOVAR[5][i] && fx->programs[0].values[i] == DEMOVAR[5][i]) << i;
    EXPECT_EQ(fx->getParameter(RELOAD_PRESET_PARAM), 0.3f);  // then stored like any value
    EXPECT_EQ(fx->displayRefreshPending, 1);

    // An index that names no preset reloads nothing rather than reading outside the bank.
    fx->currentFactoryPreset = FACTORY_PRESET_COUNT;
    fx->setParameter(6, 0.123f);
    fx->setParameter(RELOAD_PRESET_PARAM, 0.0f);
    EXPECT_EQ(fx->getParameter(6), 0.123f);
}

// Upper-cased names, some whole, some by their start; the quirk decides the chunks the host is
// offered and whether a resumed editor asks for a redraw.
TEST_F(APluginTest, HostQuirksFollowTheUpperCasedHostNames) {
    struct Case {
        const char* product;
        const char* vendor;
        int quirk;  // -1: none
        int updates, bank, preset;
    };
    const Case cases[] = {
        {"ReApEr", "Someone", APlugin::QUIRK_REAPER, 1, 4128, 0},
        {"REAPER 6.2", "Someone", -1, 1, 0, 0},  // a whole-name match
        {"Host", "propwash audio", APlugin::QUIRK_PROP, 1, 4128, 4128},
        {"PROP", "Someone", -1, 1, 0, 0},  // the vendor name, not the product
        {"Maschine Host", "Someone", APlugin::QUIRK_MASCHINE, 1, 4128, 0},
        {"KORE 2 Player", "Someone", APlugin::QUIRK_KORE, 1, 0, 0},
        {"Quenda", "Someone", APlugin::QUIRK_QUENDA, 1, 4128, 0},
        {"Fruity Wrapper", "Someone", APlugin::QUIRK_FRUITY, 0, 0, 0},
        {"cubase vst", "Someone", APlugin::QUIRK_CUBASE, 0, 0, 0},
        {"Live", "Someone", APlugin::QUIRK_LIVE, 0, 0, 0},  // only with the editor usable
        {"LIVE 11", "Someone", -1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " / " + c.vendor);
        auto plugin = makeUnder(c.product, c.vendor);
        for (int q = 0; q < APlugin::QUIRK_COUNT; ++q)
            EXPECT_EQ(plugin->hostQuirks[q], q == c.quirk ? 1 : 0) << q;
        const bool chunks = c.quirk >= APlugin::QUIRK_REAPER && c.quirk <= APlugin::QUIRK_QUENDA;
        EXPECT_EQ((plugin->getAeffect()->flags & effectProgramChunks) != 0, chunks);
        void* data = nullptr;
        EXPECT_EQ(plugin->getChunk(&data, false), c.bank);
        EXPECT_EQ(plugin->getChunk(&data, true), c.preset);
        host.clear();
        plugin->editorResume();
        EXPECT_EQ(host.count(HostRequest::UpdateDisplay), c.updates);
    }
}

TEST_F(APluginTest, HostNamesThatFillTheWholeBufferStayInside) {
    // A host that writes 256 characters with no terminator: the effect must cut, not overrun.
    static std::string longName(300, 'k');
    longName.replace(0, 4, "KORE");
    host.answers[HostRequest::GetProductString] = 1;
    struct Filler {
        static intptr_t call(AEffect* e, int32_t op, int32_t i, intptr_t v, void* p, float o) {
            if (op == HostRequest::GetProductString && p) std::memcpy(p, longName.data(), 256);
            return RecordingHost::callback()(e, op, i, v, p, o);
        }
    };
    auto plugin = std::make_unique<APlugin>(&Filler::call);
    EXPECT_EQ(plugin->hostQuirks[APlugin::QUIRK_KORE], 1);

    auto alone = std::make_unique<APlugin>(nullptr);  // no host at all
    for (unsigned char quirk : alone->hostQuirks) EXPECT_EQ(quirk, 0);
    EXPECT_FALSE(alone->beginEdit(4));
}

TEST_F(APluginTest, SampleRateRules) {
    auto plugin = make();
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 240.0f * 44199.0f / 120.0f);  // built for 44199 Hz
    plugin->setSampleRate(48000.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 96000.0f);

    plugin->setSampleRate(500.0f);  // held at 1000 Hz
    EXPECT_EQ(plugin->storedRate, 1000.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 2000.0f);
    plugin->setSampleRate(96000.0f);
    plugin->setSampleRate(INFINITY);  // ignored: no module can be built for it
    EXPECT_EQ(plugin->storedRate, 96000.0f);
    plugin->setSampleRate(std::nanf(""));  // falls to the lowest rate
    EXPECT_EQ(plugin->storedRate, 1000.0f);
    EXPECT_TRUE(std::isfinite(plugin->invSampleRate));
}

// The preset folders and the manual default to the application's data folder; a folder the
// user chose stays, and a default that would not fit its buffer is left empty rather than cut.
TEST_F(APluginTest, PresetFoldersDefaultToTheDataFolder) {
    tarnwell::test::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", "/data");
    saveStringToPrefs("XYPresetDir", "/mine/xy/");
    auto plugin = make();
    EXPECT_STREQ(plugin->xyPresetDir, "/mine/xy/");
    EXPECT_STREQ(plugin->modPresetDir, "/data/Orvane/Tarnwell/Mod Presets/");
    EXPECT_STREQ(plugin->blockPresetDir, "/data/Orvane/Tarnwell/Mod Presets/");
    EXPECT_STREQ(plugin->ecsDir, "/data/Orvane/Tarnwell/ECS/");
    EXPECT_STREQ(plugin->helpPath, "/data/Orvane/Tarnwell/Help/Tarnwell_Manual.html");
    char stored[256];
    loadStringFromPrefs("ECSDir", stored, sizeof stored);
    EXPECT_STREQ(stored, "/data/Orvane/Tarnwell/ECS/");

    saveStringToPrefs("ECSDir", "");
    environment.set("XDG_DATA_HOME", ("/" + std::string(120, 'd')).c_str());
    EXPECT_STREQ(make()->ecsDir, "");
}
