#pragma once

// Whole effects under private preferences and a recording host (whose names choose the quirks).

#include "effect/APlugin.h"
#include "framework/platform/DialogBackends.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tarnwell::test {

class PluginFixture : public ::testing::Test {
protected:
    std::unique_ptr<APlugin> make() { return std::make_unique<APlugin>(RecordingHost::callback()); }
    std::unique_ptr<APlugin> makeUnder(const char* product, const char* vendor = "Test Vendor") {
        host.product = product;
        host.vendor = vendor;
        return make();
    }

    // The value that selects option k of a choice read with this scale.
    static float choice(int k, float scale) { return (static_cast<float>(k) + 0.1f) / scale; }

    PreferencesSandbox prefs;  // before the host and every effect
    RecordingHost host;
};

// Effects whose prompts and choosers answer from a script, and whole sets of values.
class CommandFixture : public PluginFixture {
protected:
    using Answer = ScriptedDialogs::Answer;

    CommandFixture() { setScriptedDialogBackend(&script); }
    ~CommandFixture() override { setScriptedDialogBackend(nullptr); }

    void answer(const std::string& text) { script.push({Answer::Text, text}); }
    void cancel() { script.push({Answer::Cancel, ""}); }
    void choose(const std::string& path) { script.push({Answer::File, path}); }

    // The messages shown so far, in order.
    std::vector<std::string> messages() const {
        std::vector<std::string> shown;
        for (const auto& asked : script.asked)
            if (asked.kind == ScriptedDialogs::Asked::Message) shown.push_back(asked.text);
        return shown;
    }

    static std::vector<float> values(APlugin& fx) {
        std::vector<float> v(PARAMETER_COUNT);
        for (int i = 0; i < PARAMETER_COUNT; ++i) v[static_cast<std::size_t>(i)] = fx.getParameter(i);
        return v;
    }

    // Every parameter of the three Blocks' rows to a value of its own kind.
    static void scramble(APlugin& fx, unsigned seed) {
        for (const auto& row : BLOCK_TAGS)
            for (int32_t p : row)
                fx.setParameter(p, static_cast<float>((p * 7919u + seed * 104729u) % 1000u) / 999.0f);
    }

    ScriptedDialogs script;
};

}  // namespace tarnwell::test
