#pragma once

// Whole effects under private preferences and a recording host (whose names choose the quirks).

#include "effect/APlugin.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <memory>

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

}  // namespace tarnwell::test
