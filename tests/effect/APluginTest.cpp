// The effect object: which host it believes it runs under, and the sample-rate rules.

#include "effect/APlugin.h"

#include "framework/platform/Preferences.h"
#include "tests/effect/PluginFixture.h"
#include "tests/support/ScopedEnvironment.h"

#include <cmath>
#include <cstring>
#include <string>

using tarnwell::test::RecordingHost;

namespace {

class APluginTest : public tarnwell::test::PluginFixture {};

}  // namespace

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
        for (int q = 0; q < APlugin::QUIRK_COUNT; ++q) EXPECT_EQ(plugin->hostQuirks[q], q == c.quirk ? 1 : 0) << q;
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
