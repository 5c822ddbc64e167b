#include <gtest/gtest.h>

#include <cmath>

#include "dsp/TNoiseGate.h"

namespace {

// Updates toward `to` until the value has covered 1 - 1/e of the way from `from`.
int updatesToTimeConstant(TNoiseGate& gate, float from, float to) {
    gate.update(from, true);
    const float mark = to + (from - to) * std::exp(-1.0f);
    int n = 0;
    for (; (to > from ? gate.getValue() < mark : gate.getValue() > mark) && n < 1'000'000; ++n)
        gate.update(to, false);
    return n;
}

}  // namespace

TEST(NoiseGateTest, SmoothingSetsTheTimeConstantBothWays) {
    // 1 - 2^(-8s-8) per update: 256 updates at s = 0, 4096 at s = 0.5, 65536 at s = 1.
    const struct {
        float smooth;
        double expected;
    } cases[] = {{0.0f, 256.0}, {0.5f, 4096.0}, {1.0f, 65536.0}};
    for (const auto& c : cases) {
        TNoiseGate gate;
        gate.init(44100.0f);
        gate.setSmooth(c.smooth);
        EXPECT_NEAR(updatesToTimeConstant(gate, 0.0f, 1.0f), c.expected, c.expected * 0.01) << c.smooth;
        EXPECT_NEAR(updatesToTimeConstant(gate, 1.0f, 0.0f), c.expected, c.expected * 0.01) << c.smooth;
    }
}

TEST(NoiseGateTest, SilenceSettlesToExactlyZero) {
    // A threshold of zero must see silence as silence, not as a level that never quite dies out;
    // on the way the state never turns subnormal.
    for (float smooth : {0.0f, 1.0f}) {
        TNoiseGate gate;
        gate.setSmooth(smooth);
        gate.update(1.0f, true);
        for (int i = 0; i < 44100 * 120 && gate.getValue() != 0.0f; ++i) {
            gate.update(0.0f, false);
            ASSERT_FALSE(gate.hasSubnormalState()) << smooth << " update " << i;
        }
        EXPECT_EQ(gate.getValue(), 0.0f) << smooth;
    }
}
