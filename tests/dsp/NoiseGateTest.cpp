#include <gtest/gtest.h>

#include <cmath>

#include "dsp/TNoiseGate.h"

namespace {

// Updates until the value has covered 1 - 1/e of a unit step; returns the count.
int updatesToReachTimeConstant(TNoiseGate& gate) {
    const float target = 1.0f - std::exp(-1.0f);
    int n = 0;
    while (gate.getValue() < target && n < 1'000'000) {
        gate.update(1.0f, false);
        ++n;
    }
    return n;
}

}  // namespace

TEST(NoiseGateTest, SmoothingSetsTheTimeConstant) {
    // 1 - 2^(-8s-8) per update: 256 updates at s = 0, 4096 at s = 0.5, 65536 at s = 1.
    const struct {
        float smooth;
        double expected;
    } cases[] = {{0.0f, 256.0}, {0.5f, 4096.0}, {1.0f, 65536.0}};
    for (const auto& c : cases) {
        TNoiseGate gate;
        gate.init(44100.0f);
        gate.setSmooth(c.smooth);
        EXPECT_NEAR(updatesToReachTimeConstant(gate), c.expected, c.expected * 0.01) << "smooth " << c.smooth;
    }
}

TEST(NoiseGateTest, FallsAsFastAsItRises) {
    TNoiseGate gate;
    gate.init(48000.0f);
    gate.setSmooth(0.25f);
    gate.update(1.0f, true);
    int fall = 0;
    while (gate.getValue() > std::exp(-1.0f)) {
        gate.update(0.0f, false);
        ++fall;
    }
    gate.update(0.0f, true);
    EXPECT_EQ(updatesToReachTimeConstant(gate), fall);
    EXPECT_NEAR(fall, 1024, 11);
}

TEST(NoiseGateTest, InstantUpdateSetsTheValueExactly) {
    TNoiseGate gate;
    gate.init(44100.0f);
    gate.setSmooth(1.0f);
    gate.update(0.3f, false);
    gate.update(0.123456f, true);
    EXPECT_EQ(gate.getValue(), 0.123456f);
}

TEST(NoiseGateTest, BoostScalesEveryReadButNotTheState) {
    TNoiseGate gate;
    gate.init(44100.0f);
    gate.update(0.25f, true);
    gate.setBoost(4.0f);
    EXPECT_FLOAT_EQ(gate.getValue(), 1.0f);
    EXPECT_FLOAT_EQ(gate.getValue(), 1.0f);
    // The smoothing runs on the unscaled value: half way from 0.25 to 0.75 is 0.5, boosted 2.0.
    gate.update(0.75f, false);
    EXPECT_FLOAT_EQ(gate.getValue(), 2.0f);
    gate.setBoost(1.0f);
    EXPECT_FLOAT_EQ(gate.getValue(), 0.5f);
}

TEST(NoiseGateTest, SilenceSettlesToExactlyZero) {
    // A threshold of zero must see silence as silence, not as a level that never quite dies out.
    TNoiseGate gate;
    gate.init(44100.0f);
    gate.setSmooth(1.0f);
    gate.update(1.0f, true);
    for (int i = 0; i < 44100 * 120 && gate.getValue() != 0.0f; ++i) gate.update(0.0f, false);
    EXPECT_EQ(gate.getValue(), 0.0f);
    EXPECT_FALSE(gate.hasSubnormalState());
}
