// The parameter store: what setParameter keeps, when the sound counts as edited, typed reads
// against the layout's encodings, and the factory-preset reload trigger.

#include "effect/FactoryBank.h"
#include "effect/ParameterLayout.h"
#include "tests/effect/PluginFixture.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

TEST_F(ParameterStore, SetParameterClampsSnapsAndSanitises) {
    const struct {
        int index;
        float value, stored;
    } cases[] = {
        {5, 1.7f, 1.0f},   {5, -3.0f, 0.0f},  {5, 0.37f, 0.37f},
        {1, 0.49f, 0.0f},  {1, 0.5f, 1.0f},   {627, 0.8f, 1.0f},  // switches snap
        {GATER_TAG[1][1] + 3, 0.3f, 0.3f},                          // gater steps keep what is written
        {6, NaN, 1.0f},    {110, INF, 0.5f},  {4, -INF, 0.0f},    // no number: the default
    };
    for (const auto& c : cases) {
        plugin->setParameter(c.index, c.value);
        EXPECT_EQ(plugin->getParameter(c.index), c.stored) << c.index << " <- " << c.value;
        EXPECT_EQ(plugin->programs[0].values[c.index], c.stored) << c.index;
    }
    plugin->setParameter(PARAMETER_COUNT, 0.5f);  // must not spill into anything
    plugin->setParameter(-1, 0.5f);
    EXPECT_EQ(plugin->getParameter(PARAMETER_COUNT), 0.0f);
}

TEST_F(ParameterStore, EditChangedFollowsRealChangesOfTheSound) {
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
TEST_F(ParameterStore, TypedReadsAgreeWithTheLayout) {
    const struct {
        const int32_t* tags;
        int tagCount;
        int (APlugin::*read)(int) const;
    } getters[] = {
        {BLOCK_TYPE_TAG, 3, &APlugin::getBlockType},          {FILTER_MODE_TAG, 3, &APlugin::getFilterMode},
        {COMB_MODE_TAG, 3, &APlugin::getCombMode},            {SHAPER_MODE_TAG, 3, &APlugin::getShaperMode},
        {GATER_STEPS_TAG, 3, &APlugin::getGaterSteps},        {GATER_SPEED_TAG, 3, &APlugin::getGaterSpeed},
        {GRAIN_MODE_TAG, 3, &APlugin::getGrainMode},          {MOD_DESTINATION_TAG, 4, &APlugin::getModDestination},
        {MOD_SOURCE_TAG, 4, &APlugin::getModSource},          {XY_PLAY_MODE_TAG, 3, &APlugin::getXYPlayMode},
        {XY_RECORD_MODE_TAG, 3, &APlugin::getXYRecordMode},   {XY_SYNC_TAG, 3, &APlugin::getXYSync},
        {XY_POINT_QUANT_TAG, 3, &APlugin::getXYPointQuantization},
        {XY_SPACE_QUANT_TAG, 3, &APlugin::getXYSpaceQuantization},
        {XY_TIME_QUANT_TAG, 3, &APlugin::getXYTimeQuantization},
    };
    for (const auto& g : getters)
        for (int n = 0; n < g.tagCount; ++n) {
            const SlotInfo info = slotInfo(g.tags[n]);
            ASSERT_EQ(info.kind, SlotKind::Choice) << g.tags[n];
            for (int k = 0; k < info.count; ++k) {
                plugin->setParameter(g.tags[n], std::min(1.0f, (static_cast<float>(k) + 0.1f) / info.scale));
                EXPECT_EQ((plugin.get()->*g.read)(n), k) << "parameter " << g.tags[n] << " option " << k;
            }
        }

    host.clear();
    plugin->setSteppedValue(BLOCK_TYPE_TAG[0], 9, 6.99f, 7);  // past the last type: the last
    EXPECT_EQ(plugin->getBlockType(0), 6);
    EXPECT_EQ(host.count(HostRequest::Automate), 1);
    plugin->setSteppedValue(PARAMETER_COUNT, 1, 6.99f, 7);  // no such slot: the host is not told
    EXPECT_EQ(host.count(HostRequest::Automate), 1);
}

TEST_F(ParameterStore, ReloadTriggerRestoresTheCurrentFactoryPreset) {
    plugin->setDemoProgram(5);
    plugin->setParameter(6, DEMOVAR[5][6] > 0.5f ? 0.1f : 0.9f);
    plugin->displayRefreshPending = 0;
    plugin->setParameter(RELOAD_PRESET_PARAM, 0.3f);
    for (int i = 0; i < RELOAD_PRESET_PARAM; ++i)
        ASSERT_TRUE(plugin->currentValues[i] == DEMOVAR[5][i] && plugin->programs[0].values[i] == DEMOVAR[5][i]) << i;
    EXPECT_EQ(plugin->getParameter(RELOAD_PRESET_PARAM), 0.3f);  // then stored like any value
    EXPECT_EQ(plugin->displayRefreshPending, 1);

    // An index that names no preset reloads nothing rather than reading outside the bank.
    plugin->currentFactoryPreset = FACTORY_PRESET_COUNT;
    plugin->setParameter(6, 0.123f);
    plugin->setParameter(RELOAD_PRESET_PARAM, 0.0f);
    EXPECT_EQ(plugin->getParameter(6), 0.123f);
}
