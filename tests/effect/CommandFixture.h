#pragma once

// Effects whose prompts and choosers answer from a script, and whole sets of values.

#include "effect/APlugin.h"
#include "framework/platform/DialogBackends.h"
#include "tests/effect/PluginFixture.h"

#include <string>
#include <vector>

namespace tarnwell::test {

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
            for (int32_t p : row) fx.setParameter(p, static_cast<float>((p * 7919u + seed * 104729u) % 1000u) / 999.0f);
    }

    ScriptedDialogs script;
};

}  // namespace tarnwell::test
