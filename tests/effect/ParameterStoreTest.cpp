// The parameter store: the tables init fills, setParameter's clamping, snapping, sanitising and
// change tracking, the value operations and typed reads, the reload trigger, and values read
// on one thread while others write them.

#include "effect/FactoryBank.h"
#include "effect/ParameterDefaults.h"
#include "tests/effect/PluginFixture.h"

#include <atomic>
#include <cmath>
#include <limits>
#include <set>
#include <thread>
#include <vector>

using tarnwell::test::PluginFixture;

namespace {

class ParameterStore : public PluginFixture {
protected:
    void SetUp() override { plugin = make(); }
    std::unique_ptr<APlugin> plugin;
};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

}  // namespace

TEST_F(ParameterStore, InitFillsDefaultsZerosAndAttributes) {
    float expected[1024];
    fillDefaultParameterValues(expected);
    int nonZero = 0;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        EXPECT_EQ(plugin->defaultValues[i], expected[i]) << i;
        nonZero += plugin->defaultValues[i] != 0.0f;
    }
    EXPECT_EQ(nonZero, 196);

    // The zero value differs from the default only where a knob has a natural "off" below it.
    std::set<int> zeroed = {110, 111, 114};
    for (int b = 0; b < 3; ++b)
        for (int offset : {2, 6, 7, 10, 11, 14, 21, 26}) zeroed.insert(4 + 34 * b + offset);
    for (int i = 0; i < PARAMETER_COUNT; ++i)
        EXPECT_EQ(plugin->zeroValues[i], zeroed.count(i) ? 0.0f : plugin->defaultValues[i]) << i;

    const std::set<int> switches = {1,   2,   4,   38,  72,  106, 107, 108, 109, 153, 154,
                                    155, 204, 205, 206, 207, 608, 617, 626, 627, 628, 629};
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        EXPECT_EQ(plugin->isOnOff[i], switches.count(i) ? 1 : 0) << i;
        const bool exempt = (i >= 186 && i <= 197) || i >= 780;
        EXPECT_EQ(plugin->countsForEditChanged[i], exempt ? 0 : 1) << i;
    }
}

TEST_F(ParameterStore, ModulationDestinationsOfTheParameters) {
    int fed = 0;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        const int d = plugin->paramModDestination[i];
        EXPECT_TRUE(d == -1 || (d >= 1 && d < MOD_DESTINATION_COUNT)) << i;
        fed += d != -1;
    }
    EXPECT_EQ(fed, 139);
    // Filter Pre Distort and Gain, Block 1 and 2 LowFI Bits (none) and Block 3's, Volume and the
    // last XY amount, XY Speed and Smooth, Comb Random, the grain section, Delay, follower, amounts.
    const int index[] = {5, 9, 21, 55, 89, 30, 37, 105, 157, 167, 218, 601, 602, 622, 110, 116, 118, 125};
    const int expected[] = {4, 7, -1, -1, 53, 18, 24, 70, 48, 72, 53, -1, 8, 50, 74, 81, 82, 89};
    for (size_t k = 0; k < std::size(index); ++k)
        EXPECT_EQ(plugin->paramModDestination[index[k]], expected[k]) << index[k];

    int scale = 0, exponential = 0;
    for (int d = 0; d < MOD_DESTINATION_COUNT; ++d) {
        const int kind = plugin->modCombineKind[d];
        EXPECT_EQ(plugin->modBaseValues[d], kind == 0 ? 0.0f : 1.0f) << d;
        scale += kind == 3;
        exponential += kind == 1;
    }
    EXPECT_EQ(scale, 5);
    EXPECT_EQ(exponential, 7);
    EXPECT_EQ(plugin->modCombineKind[82], 3);  // Follower Boost
    EXPECT_EQ(plugin->modCombineKind[73], 1);  // Delay Speed
}

TEST_F(ParameterStore, SetParameterClampsSnapsAndSanitises) {
    auto stored = [&](int index, float value) {
        plugin->setParameter(index, value);
        return plugin->getParameter(index);
    };
    EXPECT_EQ(stored(5, 1.7f), 1.0f);
    EXPECT_EQ(stored(5, -3.0f), 0.0f);
    EXPECT_EQ(stored(5, 0.37f), 0.37f);
    EXPECT_EQ(stored(1, 0.49f), 0.0f);  // Bypass is a switch
    EXPECT_EQ(stored(1, 0.5f), 1.0f);
    EXPECT_EQ(stored(627, 0.8f), 1.0f);
    EXPECT_EQ(stored(GATER_TAG[1][1] + 3, 0.3f), 0.3f);  // gater steps keep what is written

    // Values that are no number at all fall back to the parameter's default.
    EXPECT_EQ(stored(6, NaN), 1.0f);
    EXPECT_EQ(stored(110, INF), 0.5f);
    EXPECT_EQ(stored(3, -INF), plugin->defaultValues[3]);
    EXPECT_EQ(stored(4, NaN), 0.0f);

    // Every copy follows: the live value, the program record and the edit copy.
    plugin->setParameter(700, 0.25f);
    EXPECT_EQ(plugin->currentValues[700], 0.25f);
    EXPECT_EQ(plugin->programs[0].values[700], 0.25f);
    EXPECT_EQ(plugin->editValues[700], 0.25f);
    EXPECT_EQ(plugin->lastSetValues[700], 0.25f);

    EXPECT_EQ(plugin->getParameter(1024), 0.0f);
    EXPECT_EQ(plugin->getParameter(-1), 0.0f);
    plugin->setParameter(1024, 0.5f);  // must not spill into anything
    plugin->setParameter(-1, 0.5f);
    EXPECT_EQ(plugin->getEditChanged(), 1);  // from the changes above, not the ignored ones
}

TEST_F(ParameterStore, EditChangedFollowsRealChangesOfTheSound) {
    ASSERT_EQ(plugin->getEditChanged(), 0);  // a freshly applied program is not edited
    const float same = plugin->getParameter(6);
    plugin->setParameter(6, same);
    plugin->setParameter(6, same + 0.000005f);  // below the change threshold
    EXPECT_EQ(plugin->getEditChanged(), 0);

    plugin->setParameter(190, plugin->getParameter(190) > 0.5f ? 0.1f : 0.9f);  // XY Last Y
    plugin->setParameter(900, 0.7f);                                            // a spare slot
    EXPECT_EQ(plugin->getEditChanged(), 0);

    plugin->referenceValues[7] = -1.0f;  // no reference: never an edit
    plugin->setParameter(7, plugin->getParameter(7) > 0.5f ? 0.0f : 1.0f);
    EXPECT_EQ(plugin->getEditChanged(), 0);

    plugin->setParameter(6, same > 0.5f ? 0.2f : 0.8f);
    EXPECT_EQ(plugin->getEditChanged(), 1);

    // Returning to the reference is still a change: the flag stays until a program is applied.
    plugin->setParameter(6, same);
    EXPECT_EQ(plugin->getEditChanged(), 1);
}

TEST_F(ParameterStore, ValueOperations) {
    plugin->setParameter(6, 0.3f);
    plugin->setDefaultValue(6);
    EXPECT_EQ(plugin->getParameter(6), 1.0f);
    plugin->setZeroValue(6);
    EXPECT_EQ(plugin->getParameter(6), 0.0f);
    plugin->setParameter(9, 0.9f);
    plugin->setZeroValue(9);  // Filter Gain's zero is its centre
    EXPECT_EQ(plugin->getParameter(9), 0.5f);
    EXPECT_EQ(plugin->getDefaultValue(120), 0.75f);
    EXPECT_EQ(plugin->getDefaultValue(1024), 0.0f);

    plugin->setParameter(10, 0.2f);
    plugin->setParameter(44, 0.7f);
    plugin->copyParameter(10, 78);
    EXPECT_EQ(plugin->getParameter(78), 0.2f);
    plugin->swapParameter(10, 44);
    EXPECT_EQ(plugin->getParameter(10), 0.7f);
    EXPECT_EQ(plugin->getParameter(44), 0.2f);
    plugin->swapParameter(1, 10);  // a switch takes the other's value snapped
    EXPECT_EQ(plugin->getParameter(1), 1.0f);

    plugin->setParameter(12, 0.3f);
    plugin->toggleParameter(12);
    EXPECT_FLOAT_EQ(plugin->getParameter(12), 0.7f);
    plugin->setParameter(106, 0.0f);
    plugin->toggleParameter(106);
    EXPECT_EQ(plugin->getParameter(106), 1.0f);

    // Indices out of range are left alone, and nothing else moves.
    const float before = plugin->getParameter(10);
    plugin->copyParameter(-1, 10);
    plugin->copyParameter(10, 1024);
    plugin->swapParameter(10, 2000);
    plugin->toggleParameter(1024);
    plugin->setDefaultValue(-5);
    plugin->setZeroValue(1024);
    EXPECT_EQ(plugin->getParameter(10), before);
}

TEST_F(ParameterStore, SteppedValuesAndSwitches) {
    EXPECT_EQ(APlugin::getSteppedValue(0.99f, 6.99f, 7), 6);  // 7 clamps to the last choice
    EXPECT_EQ(APlugin::getSteppedValue(0.0f, 40.0f, 37), 0);
    EXPECT_EQ(APlugin::getSteppedValue(0.9f, 40.0f, 37), 36);
    EXPECT_EQ(APlugin::getSteppedValue(-0.5f, 40.0f, 37), 0);
    EXPECT_EQ(APlugin::getSteppedValue(NaN, 40.0f, 37), 0);
    EXPECT_EQ(APlugin::getSteppedValue(choice(3, 6.99f), 6.99f, 7), 3);

    host.clear();
    plugin->setSteppedValue(126, 3, 6.99f, 7);
    EXPECT_FLOAT_EQ(plugin->getParameter(126), 3.1f / 6.99f);
    EXPECT_EQ(plugin->getBlockType(0), 3);
    ASSERT_EQ(host.count(HostRequest::Automate), 1);  // the host records the choice
    EXPECT_EQ(host.last(HostRequest::Automate).index, 126);
    EXPECT_FLOAT_EQ(host.last(HostRequest::Automate).opt, 3.1f / 6.99f);
    plugin->setSteppedValue(126, 9, 6.99f, 7);
    EXPECT_EQ(plugin->getBlockType(0), 6);
    plugin->setSteppedValue(126, -2, 6.99f, 7);
    EXPECT_EQ(plugin->getBlockType(0), 0);

    EXPECT_TRUE(APlugin::getOnOff(0.5f));
    EXPECT_FALSE(APlugin::getOnOff(0.49999f));
    plugin->setParameter(GATER_TAG[0][0], 0.5f);
    EXPECT_TRUE(plugin->getOnOff(GATER_TAG[0][0]));
    plugin->setParameter(GATER_TAG[0][0], 0.4f);
    EXPECT_FALSE(plugin->getOnOff(GATER_TAG[0][0]));
    EXPECT_FALSE(plugin->getOnOff(1024));
}

TEST_F(ParameterStore, TypedReadsUseTheirScales) {
    struct Getter {
        const int32_t* tags;
        int tagCount;
        float scale;
        int count;
        int (APlugin::*read)(int) const;
    };
    const Getter getters[] = {
        {BLOCK_TYPE_TAG, 3, 6.99f, 7, &APlugin::getBlockType},
        {FILTER_MODE_TAG, 3, 40.0f, 37, &APlugin::getFilterMode},
        {COMB_MODE_TAG, 3, 9.99f, 2, &APlugin::getCombMode},
        {SHAPER_MODE_TAG, 3, 9.0f, 6, &APlugin::getShaperMode},
        {GATER_STEPS_TAG, 3, 15.0f, 16, &APlugin::getGaterSteps},
        {GATER_SPEED_TAG, 3, 16.0f, 17, &APlugin::getGaterSpeed},
        {GRAIN_MODE_TAG, 3, 5.99f, 6, &APlugin::getGrainMode},
        {MOD_DESTINATION_TAG, 4, 99.9f, 90, &APlugin::getModDestination},
        {MOD_SOURCE_TAG, 4, 99.99f, 59, &APlugin::getModSource},
        {XY_PLAY_MODE_TAG, 3, 9.99f, 4, &APlugin::getXYPlayMode},
    };
    for (const Getter& g : getters) {
        for (int n = 0; n < g.tagCount; ++n) {
            for (int k = 0; k < g.count; ++k) {
                plugin->setParameter(g.tags[n], choice(k, g.scale));
                EXPECT_EQ((plugin.get()->*g.read)(n), k) << "parameter " << g.tags[n] << " option " << k;
            }
            plugin->setParameter(g.tags[n], 1.0f);
            EXPECT_EQ((plugin.get()->*g.read)(n), g.count - 1) << g.tags[n];
        }
        EXPECT_EQ((plugin.get()->*g.read)(-1), 0);
        EXPECT_EQ((plugin.get()->*g.read)(g.tagCount), 0);
    }
    for (int k = 0; k < 5; ++k) {
        plugin->setParameter(FOLLOWER_SOURCE_PARAM, choice(k, 4.9f));
        EXPECT_EQ(plugin->getFollowerSource(), k);
    }
    for (int k = 0; k < 6; ++k) {
        plugin->setParameter(PATH_PARAM, choice(k, 5.99f));
        EXPECT_EQ(plugin->getPath(), k);
    }

    plugin->setParameter(MOD_AMOUNT_TAG[2], 0.75f);
    EXPECT_FLOAT_EQ(plugin->getModAmount(2), 0.5f);
    plugin->setParameter(MOD_AMOUNT_TAG[2], 0.0f);
    EXPECT_FLOAT_EQ(plugin->getModAmount(2), -1.0f);
    plugin->setParameter(MOD_BYPASS_TAG[3], 1.0f);
    EXPECT_TRUE(plugin->getModBypass(3));
    EXPECT_FALSE(plugin->getModBypass(4));

    const std::pair<int, int> kinds[] = {{0, 0},  {1, 3},  {10, 1}, {18, 3},
                                         {25, 1}, {73, 1}, {74, 0}, {89, 0}};
    for (const auto& [destination, kind] : kinds) {
        plugin->setParameter(MOD_DESTINATION_TAG[1], choice(destination, 99.9f));
        EXPECT_EQ(plugin->getModDestinationType(1), kind) << destination;
    }
}

TEST_F(ParameterStore, GaterStepsAndEnvelopeTimes) {
    const int p = GATER_TAG[2][1] + 15;  // Block 3 right side, last step
    plugin->setParameter(p, 0.25f);
    EXPECT_EQ(plugin->getGaterValue(2, 1, 15), 0.25f);
    plugin->toggleGaterValue(2, 1, 15);
    EXPECT_EQ(plugin->getParameter(p), 0.75f);
    EXPECT_EQ(plugin->getGaterValue(2, 2, 0), 0.0f);
    EXPECT_EQ(plugin->getGaterValue(0, 0, 16), 0.0f);
    plugin->toggleGaterValue(3, 0, 0);  // out of range: nothing
    plugin->toggleGaterValue(0, -1, 0);
    EXPECT_EQ(plugin->getParameter(GATER_TAG[2][1] + 16), 0.0f);

    const float rate = plugin->storedRate;
    EXPECT_FLOAT_EQ(plugin->getEnvelopeValue(0.0f), 1000.0f / rate);
    EXPECT_FLOAT_EQ(plugin->getEnvelopeValue(0.5f), 1000.0f / (64.0f * rate));
    EXPECT_FLOAT_EQ(plugin->getEnvelopeValue(1.0f), 1000.0f / (4096.0f * rate));
    EXPECT_EQ(plugin->getEnvelopeValue(2.0f), plugin->getEnvelopeValue(1.0f));
    EXPECT_EQ(plugin->getEnvelopeValue(-1.0f), plugin->getEnvelopeValue(0.0f));
    EXPECT_EQ(plugin->getEnvelopeValue(NaN), plugin->getEnvelopeValue(0.0f));
}

TEST_F(ParameterStore, GaterLoopIsNeverOffUnderAFreeRunningPad) {
    plugin->setParameter(XY_PLAY_MODE_TAG[1], choice(1, 9.99f));  // Trigger
    plugin->setParameter(GATER_LOOP_TAG[1], 0.0f);
    EXPECT_EQ(plugin->getGaterLoopMode(1), 0);
    EXPECT_EQ(plugin->getParameter(GATER_LOOP_TAG[1]), 0.0f);

    plugin->setParameter(XY_PLAY_MODE_TAG[1], 0.0f);  // Free
    EXPECT_EQ(plugin->getGaterLoopMode(1), 1);
    EXPECT_EQ(plugin->getParameter(GATER_LOOP_TAG[1]), 0.6f);
    plugin->setParameter(GATER_LOOP_TAG[1], choice(2, 2.0f));
    EXPECT_EQ(plugin->getGaterLoopMode(1), 2);
    EXPECT_EQ(plugin->getGaterLoopMode(3), 0);
}

TEST_F(ParameterStore, ReloadParameterRestoresTheCurrentFactoryPreset) {
    plugin->setDemoProgram(5);
    plugin->setParameter(6, DEMOVAR[5][6] > 0.5f ? 0.1f : 0.9f);
    plugin->setParameter(PROGRAM_NAME_START, 0.9f);
    plugin->displayRefreshPending = 0;

    plugin->setParameter(RELOAD_PRESET_PARAM, 0.3f);
    for (int i = 0; i < RELOAD_PRESET_PARAM; ++i) {
        EXPECT_EQ(plugin->currentValues[i], DEMOVAR[5][i]) << i;
        EXPECT_EQ(plugin->programs[0].values[i], DEMOVAR[5][i]) << i;
    }
    EXPECT_EQ(plugin->getParameter(RELOAD_PRESET_PARAM), 0.3f);  // then stored like any value
    EXPECT_EQ(plugin->displayRefreshPending, 1);

    // An index that names no preset reloads nothing rather than reading outside the bank.
    plugin->currentFactoryPreset = FACTORY_PRESET_COUNT;
    plugin->setParameter(6, 0.123f);
    plugin->setParameter(RELOAD_PRESET_PARAM, 0.0f);
    EXPECT_EQ(plugin->getParameter(6), 0.123f);
}

TEST_F(ParameterStore, ConcurrentWritersNeverLeaveAValueNobodyWrote) {
    // The host and MIDI write while the render thread reads: every read must be one of the
    // values written, whole. Run under ThreadSanitizer too.
    constexpr float written[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    constexpr int first = 5, last = 121;  // continuous and switch parameters alike
    for (int i = first; i <= last; ++i) plugin->setParameter(i, 0.0f);

    std::atomic<bool> stop{false};
    auto writer = [&](int seed) {
        unsigned state = static_cast<unsigned>(seed);
        while (!stop.load()) {
            for (int i = first; i <= last; ++i) {
                state = state * 1664525u + 1013904223u;
                const float v = written[(state >> 16) % 5];
                if (i % 3 == 0)
                    plugin->toggleParameter(i);
                else
                    plugin->setParameter(i, v);
            }
        }
    };
    std::thread host1(writer, 1), host2(writer, 2);
    long reads = 0, strays = 0;
    for (int round = 0; round < 2000; ++round) {
        for (int i = first; i <= last; ++i) {
            const float v = plugin->currentValues[i];
            const float r = plugin->programs[0].values[i];
            ++reads;
            for (float x : {v, r})
                if (x != 0.0f && x != 0.25f && x != 0.5f && x != 0.75f && x != 1.0f) ++strays;
        }
        (void)plugin->getEditChanged();
        (void)plugin->getPath();
    }
    stop = true;
    host1.join();
    host2.join();
    EXPECT_EQ(reads, 2000L * (last - first + 1));
    EXPECT_EQ(strays, 0);
}
