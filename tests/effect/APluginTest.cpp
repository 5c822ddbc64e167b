// The effect object: what construction sets up, per-host behaviour, the sample-rate rules,
// identity answers, the editor link and the preset folders kept in the preferences.

#include "effect/APlugin.h"

#include "effect/ParameterLayout.h"
#include "framework/platform/Preferences.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/VtableSlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

using tarnwell::test::PreferencesSandbox;
using tarnwell::test::RecordingHost;

namespace {

class APluginTest : public ::testing::Test {
protected:
    std::unique_ptr<APlugin> make() { return std::make_unique<APlugin>(RecordingHost::callback()); }
    std::string pref(const char* key) {
        char value[256] = "";
        loadStringFromPrefs(key, value, sizeof(value));
        return value;
    }

    PreferencesSandbox prefs;  // before the host and every effect
    RecordingHost host;
};

// An editor that is open once given a window, and logs the wheel.
class WheelEditor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    bool onWheel(float distance) override {
        wheel = distance;
        ++wheels;
        return true;
    }
    float wheel = 0.0f;
    int wheels = 0;
};

// The encoded value of option k of a choice read with this scale.
float choice(int k, float scale) { return (static_cast<float>(k) + 0.1f) / scale; }

}  // namespace

TEST_F(APluginTest, ConstructionSetsUpTheRecordAndState) {
    auto plugin = make();
    const AEffect* r = plugin->getAeffect();
    EXPECT_EQ(r->numPrograms, 1);
    EXPECT_EQ(r->numParams, 1024);
    EXPECT_EQ(r->numInputs, 2);
    EXPECT_EQ(r->numOutputs, 2);
    EXPECT_EQ(r->uniqueID, fourCharCode("Nwel"));
    EXPECT_EQ(r->flags, effectCanReplacing);  // no synth, no chunks for an ordinary host, no editor yet
    EXPECT_EQ(r->object, static_cast<void*>(static_cast<AudioEffect*>(plugin.get())));

    EXPECT_EQ(plugin->pendingMidiCount, 0);
    EXPECT_EQ(plugin->editorOpening, 0);
    EXPECT_EQ(plugin->editorIsOpen, 0);
    EXPECT_EQ(plugin->displayRefreshPending, 1);  // the first program asks the engine for a refresh
    EXPECT_EQ(plugin->sampleCounter.load(), 0);
    EXPECT_STREQ(plugin->helpPath, "/Applications/Orvane/Tarnwell/Help/Tarnwell_Manual.pdf");
    for (const VstMidiEvent* record : plugin->midiPool) {
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->type, 1);
        EXPECT_EQ(record->deltaFrames, -99);
        EXPECT_EQ(record->noteLength, 0);
        EXPECT_EQ(record->noteOffset, 0);
        EXPECT_EQ(record->midiData[3], 0);
        EXPECT_EQ(record->reserved1, 99);
    }
    EXPECT_NE(plugin->midiPool[0], plugin->midiPool[249]);

    EXPECT_EQ(host.count(HostRequest::GetProductString), 1);
    EXPECT_EQ(host.count(HostRequest::GetVendorString), 1);
    for (const auto& request : host.requests) EXPECT_EQ(request.effect, r);
}

TEST_F(APluginTest, WorksWithoutAHost) {
    auto plugin = std::make_unique<APlugin>(nullptr);
    for (unsigned char quirk : plugin->hostQuirks) EXPECT_EQ(quirk, 0);
    EXPECT_FALSE(plugin->beginEdit(4));
    plugin->editorResume();
    EXPECT_STREQ(plugin->xyPresetDir, "/Applications/Orvane/Tarnwell/XY Presets/");
}

TEST_F(APluginTest, HostQuirksFollowTheUpperCasedHostNames) {
    struct Case {
        const char* product;
        const char* vendor;
        int quirk;  // -1: none
    };
    const Case cases[] = {
        {"REAPER", "Someone", APlugin::QUIRK_REAPER},
        {"reaper", "Someone", APlugin::QUIRK_REAPER},
        {"ReApEr", "Someone", APlugin::QUIRK_REAPER},
        {"REAPER 6.2", "Someone", -1},  // an equality: the name must end there
        {"REAPERS", "Someone", -1},
        {"Host", "PROP", APlugin::QUIRK_PROP},
        {"Host", "propwash audio", APlugin::QUIRK_PROP},
        {"Host", "PRO", -1},
        {"PROP", "Someone", -1},  // the vendor name, not the product
        {"Maschine Host", "Someone", APlugin::QUIRK_MASCHINE},
        {"MASCHINE", "Someone", -1},
        {"MASCHINE HOST 2", "Someone", -1},
        {"kore", "Someone", APlugin::QUIRK_KORE},
        {"KORE 2 Player", "Someone", APlugin::QUIRK_KORE},
        {"KOR", "Someone", -1},
        {"Quenda", "Someone", APlugin::QUIRK_QUENDA},
        {"QUENDA ", "Someone", -1},
        {"Fruity Wrapper", "Someone", APlugin::QUIRK_FRUITY},
        {"cubase vst", "Someone", APlugin::QUIRK_CUBASE},
        {"CUBAS", "Someone", -1},
        {"Live", "Someone", APlugin::QUIRK_LIVE},
        {"LIVE 11", "Someone", -1},
        {"The Live Host", "Someone", -1},
        {"", "", -1},
    };
    for (const Case& c : cases) {
        host.product = c.product;
        host.vendor = c.vendor;
        auto plugin = make();
        for (int q = 0; q < APlugin::QUIRK_COUNT; ++q)
            EXPECT_EQ(plugin->hostQuirks[q], q == c.quirk ? 1 : 0)
                << "product '" << c.product << "' vendor '" << c.vendor << "' flag " << q;
        const bool chunks = c.quirk >= APlugin::QUIRK_REAPER && c.quirk <= APlugin::QUIRK_QUENDA;
        EXPECT_EQ((plugin->getAeffect()->flags & effectProgramChunks) != 0, chunks) << c.product;
    }
}

TEST_F(APluginTest, HostNamesThatFillTheWholeBufferStayInside) {
    // A host that writes 300 characters with no terminator: the effect must cut, not overrun.
    static std::string longName(300, 'k');
    host.answers[HostRequest::GetProductString] = 1;
    struct Filler {
        static intptr_t call(AEffect* e, int32_t op, int32_t i, intptr_t v, void* p, float o) {
            if (op == HostRequest::GetProductString && p) std::memcpy(p, longName.data(), 256);
            return RecordingHost::callback()(e, op, i, v, p, o);
        }
    };
    longName.replace(0, 4, "KORE");
    auto plugin = std::make_unique<APlugin>(&Filler::call);  // far too large for the stack
    EXPECT_EQ(plugin->hostQuirks[APlugin::QUIRK_KORE], 1);
}

TEST_F(APluginTest, SampleRateRules) {
    auto plugin = make();
    // A new instance is built for 44199 Hz; the base keeps its own rate.
    EXPECT_EQ(plugin->storedRate, 44199.0f);
    EXPECT_EQ(plugin->tempo, 120.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 240.0f * 44199.0f / 120.0f);
    EXPECT_FLOAT_EQ(plugin->invSampleRate, 1.0f / 44199.0f);
    EXPECT_EQ(plugin->getSampleRate(), 44100.0f);

    plugin->setSampleRate(48000.0f);
    EXPECT_EQ(plugin->storedRate, 48000.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 96000.0f);
    EXPECT_FLOAT_EQ(plugin->fixedLengths[0], 720.001f);
    EXPECT_FLOAT_EQ(plugin->fixedLengths[1], 1887.2395f);
    EXPECT_FLOAT_EQ(plugin->fixedLengths[2], 3024.0f);
    EXPECT_FLOAT_EQ(plugin->fixedLengths[3], 1731.2881f);
    EXPECT_EQ(plugin->getSampleRate(), 44100.0f);

    plugin->setSampleRate(500.0f);
    EXPECT_EQ(plugin->storedRate, 1000.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 2000.0f);
    // The same rate again changes nothing: a new tempo is not picked up.
    plugin->tempo = 60.0f;
    plugin->setSampleRate(1000.0f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 2000.0f);
    plugin->setSampleRate(1000.1f);
    EXPECT_FLOAT_EQ(plugin->samplesPerBar, 4000.4f);

    plugin->dispatcher(EffectOpcode::SetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(plugin->storedRate, 96000.0f);
    plugin->setSampleRate(std::nanf(""));
    EXPECT_EQ(plugin->storedRate, 1000.0f);
    plugin->setSampleRate(INFINITY);
    EXPECT_EQ(plugin->storedRate, 1000.0f);
    EXPECT_TRUE(std::isfinite(plugin->invSampleRate));
}

TEST_F(APluginTest, IdentityAnswers) {
    auto plugin = make();
    char text[64] = "";
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetEffectName, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Tarnwell");
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetProductString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Tarnwell");
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetVendorString, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Orvane");
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetVendorVersion, 0, 0, nullptr, 0.0f), 65537);
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetPlugCategory, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(plugin->getVu(), 0.0f);
    plugin->suspend();  // changes nothing
    EXPECT_EQ(plugin->storedRate, 44199.0f);
}

TEST_F(APluginTest, CanDoAnswersOnlyTheReceivingWords) {
    auto plugin = make();
    auto ask = [&](const char* word) {
        std::string copy = word;
        return plugin->dispatcher(EffectOpcode::CanDo, 0, 0, copy.data(), 0.0f);
    };
    EXPECT_EQ(ask("receiveVstEvents"), 1);
    EXPECT_EQ(ask("receiveVstMidiEvent"), 1);
    EXPECT_EQ(ask("receiveVstTimeInfo"), 1);
    for (const char* word : {"sendVstMidiEvent", "sendVstEvents", "bypass", "offline", "midiProgramNames",
                             "receiveVstEvents ", "ReceiveVstEvents", "receive", ""})
        EXPECT_EQ(ask(word), 0) << word;
}

TEST_F(APluginTest, ResumeAsksTheHostForEvents) {
    auto plugin = make();
    host.clear();
    plugin->dispatcher(EffectOpcode::MainsChanged, 0, 1, nullptr, 0.0f);
    ASSERT_EQ(host.count(HostRequest::WantEvents), 1);
    EXPECT_EQ(host.last(HostRequest::WantEvents).value, 1);
}

TEST_F(APluginTest, OutputPinsAreTwoStereoOutputs) {
    auto plugin = make();
    VstPinProperties pin{};
    ASSERT_TRUE(plugin->getOutputProperties(0, &pin));
    EXPECT_STREQ(pin.label, "Tarnwell 1");
    EXPECT_EQ(pin.flags, 3);
    ASSERT_EQ(plugin->dispatcher(EffectOpcode::GetOutputProperties, 1, 0, &pin, 0.0f), 1);
    EXPECT_STREQ(pin.label, "Tarnwell 2");

    VstPinProperties untouched, before;
    std::memset(&untouched, 0xAB, sizeof(untouched));
    before = untouched;
    for (int index : {2, 3, -1}) {
        EXPECT_FALSE(plugin->getOutputProperties(index, &untouched)) << index;
        EXPECT_EQ(std::memcmp(&untouched, &before, sizeof(before)), 0) << index;
    }
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::GetInputProperties, 0, 0, &pin, 0.0f), 0);
}

TEST_F(APluginTest, VendorSpecificPassesOnlyTheWheelToTheEditor) {
    auto plugin = make();
    EXPECT_EQ(plugin->vendorSpecific(0x73744341, 0x57686565, nullptr, 2.0f), 0);  // no editor
    auto* editor = new WheelEditor(plugin.get());
    plugin->setEditor(editor);
    EXPECT_EQ(plugin->dispatcher(EffectOpcode::VendorSpecific, 0x73744341, 0x57686565, nullptr, -1.5f), 1);
    EXPECT_EQ(editor->wheel, -1.5f);
    EXPECT_EQ(plugin->vendorSpecific(0x73744341, 0, nullptr, 3.0f), 0);
    EXPECT_EQ(plugin->vendorSpecific(0, 0x57686565, nullptr, 3.0f), 0);
    EXPECT_EQ(plugin->vendorSpecific(0x57686565, 0x73744341, nullptr, 3.0f), 0);
    EXPECT_EQ(editor->wheels, 1);
}

TEST_F(APluginTest, GesturesReachTheHost) {
    auto plugin = make();
    host.clear();
    EXPECT_TRUE(plugin->beginEdit(40));
    EXPECT_TRUE(plugin->endEdit(40));
    ASSERT_EQ(host.requests.size(), 2u);
    EXPECT_EQ(host.requests[0].opcode, HostRequest::BeginEdit);
    EXPECT_EQ(host.requests[0].index, 40);
    EXPECT_EQ(host.requests[1].opcode, HostRequest::EndEdit);
    EXPECT_EQ(host.requests[1].index, 40);
}

TEST_F(APluginTest, EditorIsUsableOnlyWhenOpenAndDoneOpening) {
    auto plugin = make();
    EXPECT_FALSE(plugin->isEditorOpen());
    auto* editor = new WheelEditor(plugin.get());
    plugin->setEditor(editor);
    int window = 0;
    editor->open(&window);
    EXPECT_FALSE(plugin->isEditorOpen());  // the effect's flag not yet set
    plugin->editorIsOpen = 1;
    EXPECT_TRUE(plugin->isEditorOpen());
    plugin->editorOpening = 1;
    EXPECT_FALSE(plugin->isEditorOpen());
    plugin->editorOpening = 0;
    editor->close();
    EXPECT_FALSE(plugin->isEditorOpen());
}

TEST_F(APluginTest, EditorResumeUpdatesTheDisplayAsEachHostTolerates) {
    struct Case {
        const char* product;
        bool usable;
        int updates;
    };
    const Case cases[] = {
        {"Ordinary", false, 1}, {"Ordinary", true, 1}, {"Live", false, 0},   {"Live", true, 1},
        {"Fruity", true, 0},    {"Fruity", false, 0},  {"Cubase", true, 0},
    };
    for (const Case& c : cases) {
        host.product = c.product;
        auto plugin = make();
        auto* editor = new WheelEditor(plugin.get());
        plugin->setEditor(editor);
        int window = 0;
        if (c.usable) {
            editor->open(&window);
            plugin->editorIsOpen = 1;
        }
        host.clear();
        plugin->editorResume();
        EXPECT_EQ(host.count(HostRequest::UpdateDisplay), c.updates) << c.product << " usable " << c.usable;
    }
}

TEST_F(APluginTest, PresetFoldersDefaultAndAreWrittenBack) {
    {
        auto plugin = make();
        EXPECT_STREQ(plugin->xyPresetDir, "/Applications/Orvane/Tarnwell/XY Presets/");
        EXPECT_STREQ(plugin->modPresetDir, "/Applications/Orvane/Tarnwell/Mod Presets/");
        EXPECT_STREQ(plugin->blockPresetDir, "/Applications/Orvane/Tarnwell/Mod Presets/");
        EXPECT_STREQ(plugin->ecsDir, "/Applications/Orvane/Tarnwell/ECS/");
    }
    EXPECT_EQ(pref("XYPresetDir"), "/Applications/Orvane/Tarnwell/XY Presets/");
    EXPECT_EQ(pref("ModPresetDir"), "/Applications/Orvane/Tarnwell/Mod Presets/");
    EXPECT_EQ(pref("BlockPresetDir"), "/Applications/Orvane/Tarnwell/Mod Presets/");
    EXPECT_EQ(pref("ECSDir"), "/Applications/Orvane/Tarnwell/ECS/");
    EXPECT_EQ(pref("HelpDir"), "");  // the manual's path is fixed, never stored
    const std::string stored = PreferencesSandbox::read(prefs.userFile("com.Zelk.Tarnwell"));
    EXPECT_NE(stored.find("/Applications/Orvane/Tarnwell/ECS/"), std::string::npos);
}

TEST_F(APluginTest, StoredPresetFoldersAreKept) {
    const std::string longest = "/" + std::string(252, 'x') + "/";  // 254 characters: fits 255 bytes
    saveStringToPrefs("XYPresetDir", longest.c_str());
    saveStringToPrefs("BlockPresetDir", "/home/me/blocks/");
    const std::string tooLong = "/" + std::string(130, 'e') + "/";  // more than the 127 bytes read
    saveStringToPrefs("ECSDir", tooLong.c_str());
    auto plugin = make();
    EXPECT_EQ(plugin->xyPresetDir, longest);
    EXPECT_STREQ(plugin->blockPresetDir, "/home/me/blocks/");
    EXPECT_STREQ(plugin->modPresetDir, "/Applications/Orvane/Tarnwell/Mod Presets/");
    // A folder too long to be read counts as unset and gets the default.
    EXPECT_STREQ(plugin->ecsDir, "/Applications/Orvane/Tarnwell/ECS/");
    EXPECT_EQ(pref("ECSDir"), "/Applications/Orvane/Tarnwell/ECS/");
    EXPECT_EQ(pref("XYPresetDir"), longest);
}

TEST_F(APluginTest, ParameterNamesFollowTheBlockTypes) {
    auto plugin = make();
    char name[128];
    auto nameOf = [&](int index) {
        std::memset(name, '#', sizeof(name));
        plugin->dispatcher(EffectOpcode::GetParamName, index, 0, name, 0.0f);
        return std::string(name);
    };
    EXPECT_EQ(nameOf(0), "");
    EXPECT_EQ(nameOf(122), "Mod 1 Amount");
    EXPECT_EQ(nameOf(1023), "");
    for (int b = 0; b < BLOCK_COUNT; ++b) plugin->currentValues[BLOCK_TYPE_TAG[b]] = 0.0f;
    EXPECT_EQ(nameOf(32), "Block 1 X > None 1");
    plugin->currentValues[BLOCK_TYPE_TAG[0]] = choice(1, 6.99f);
    EXPECT_EQ(nameOf(32), "Block 1 X > Filter Pre-Distort");
    plugin->currentValues[BLOCK_TYPE_TAG[0]] = choice(4, 6.99f);
    EXPECT_EQ(nameOf(32), "Block 1 X > Room Length");
    EXPECT_EQ(nameOf(66), "Block 2 X > None 1");  // the other Blocks keep their own type
}

TEST_F(APluginTest, SteppedValuesReadTheChoices) {
    auto plugin = make();
    for (int path = 0; path < 6; ++path) {
        plugin->currentValues[PATH_PARAM] = choice(path, 5.99f);
        EXPECT_EQ(plugin->getPath(), path);
    }
    plugin->currentValues[PATH_PARAM] = 0.51752919f;  // the stored default
    EXPECT_EQ(plugin->getPath(), 3);
    plugin->currentValues[PATH_PARAM] = 1.0f;
    EXPECT_EQ(plugin->getPath(), 5);
    plugin->currentValues[FILTER_MODE_TAG[1]] = 0.9f;
    EXPECT_EQ(plugin->getFilterMode(1), 36);
    plugin->currentValues[FILTER_MODE_TAG[1]] = 1.0f;  // 40 clamps to the last mode
    EXPECT_EQ(plugin->getFilterMode(1), 36);
    plugin->currentValues[SHAPER_MODE_TAG[2]] = -3.0e9f;
    EXPECT_EQ(plugin->getShaperMode(2), 0);
    plugin->currentValues[BLOCK_TYPE_TAG[2]] = 3.0e9f;
    EXPECT_EQ(plugin->getBlockType(2), 6);
}


TEST_F(APluginTest, FactoryMakesTheEffectAndTheRecordEndsIt) {
    EXPECT_EQ(tarnwell::test::vtableSlot(&APlugin::getVu), 153);  // the only slot the effect adds
    AudioEffect* effect = createEffectInstance(RecordingHost::callback());
    ASSERT_NE(dynamic_cast<APlugin*>(effect), nullptr);
    AEffect* r = effect->getAeffect();
    EXPECT_EQ(r->uniqueID, fourCharCode("Nwel"));
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::Close, 0, 0, nullptr, 0.0f), 1);  // deletes it and its pool
}
