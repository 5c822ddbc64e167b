// The gater's step sequencer and the follower's smoothing.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/TNoiseGate.h"
#include "dsp/TStep.h"

namespace {

// A running sequencer that moves one step per call, so the step list is the sequence itself.
TStep oneStepPerCall(int steps, int mode, int loopStart = 0) {
    TStep s;
    s.setNumberOfSteps(steps);
    s.setLoopStart(loopStart);
    s.setLoopMode(mode);
    s.setInc(1.0);
    s.start();
    return s;
}

float leftGain(TStep& s) {
    float l, r;
    s.getValue(l, r);
    return l;
}

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

TEST(StepTest, LoopModesAndLoopStartPlayTheirSequences) {
    const struct {
        int steps, mode, loopStart;
        std::vector<int> expected;
    } cases[] = {
        {4, TStep::kRunOnce, 0, {0, 1, 2, 3, 3, 3}},
        {4, TStep::kPingPong, 0, {0, 1, 2, 3, 2, 1, 0, 1}},
        {5, TStep::kWrap, 2, {0, 1, 2, 3, 4, 2, 3, 4, 2}},
        {5, TStep::kPingPong, 2, {0, 2, 3, 4, 3, 2, 3, 4, 3}},
        // A loop start at or past the count leaves nothing to loop: the sequence runs once.
        {3, TStep::kWrap, 3, {0, 1, 2, 2, 2}},
        // Counts are held within 1..16 so the playing step always addresses a level.
        {40, TStep::kRunOnce, 0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15}},
        {0, TStep::kWrap, 0, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        TStep s = oneStepPerCall(c.steps, c.mode, c.loopStart);
        std::vector<int> played;
        for (std::size_t i = 0; i < c.expected.size(); ++i, s.process()) played.push_back(s.getStep());
        EXPECT_EQ(played, c.expected) << c.steps << " steps, mode " << c.mode << ", start " << c.loopStart;
    }
}

TEST(StepTest, StepBoundariesFollowTempoSpeedAndSwing) {
    // A sixteenth at 120 bpm is 5512.5 frames; swing s splits a pair 1/(1 + s/2) : (1 + s)/(1 + s/2).
    const struct { double speed, swing; } cases[] = {{1.0, 0.0}, {1.0 / 3.0, 0.0}, {1.0, 0.5}, {2.0, 1.0}};
    for (const auto& c : cases) {
        TStep s;
        s.setLoopMode(TStep::kWrap);
        s.setSwing(static_cast<float>(c.swing));
        s.setInc(c.speed * 120.0 / 15.0 / 44100.0);
        s.start();
        const double step = 5512.5 / c.speed;
        std::vector<int> at;
        for (int i = 1, last = 0; i < static_cast<int>(step * 4.5); ++i, last = s.getStep()) {
            s.process();
            if (s.getStep() != last) at.push_back(i);
        }
        ASSERT_EQ(at.size(), 4u) << c.speed << " " << c.swing;
        EXPECT_NEAR(at[0], step / (1.0 + c.swing / 2.0), 1.0) << c.speed << " " << c.swing;
        EXPECT_NEAR(at[1], 2.0 * step, 1.0) << c.speed << " " << c.swing;
        EXPECT_NEAR(at[3], 4.0 * step, 2.0) << c.speed << " " << c.swing;
    }
}

TEST(StepTest, GainsRampToTheirClampedLevelsAndHoldWhenStopped) {
    TStep s;
    s.setNumberOfSteps(2);
    s.setLoopMode(TStep::kWrap);
    s.setStep(0, 2.0f, 0.5f);  // held at 1
    s.setStep(1, 0.0f, 0.5f);
    s.setStep(16, 0.5f, 0.5f);  // no such steps: ignored
    s.setStep(-1, 0.5f, 0.5f);
    s.setAttack(0.3f);
    s.setDecay(0.25f);
    s.setInc(1.0 / 8.0);
    s.start();
    // Rise by the attack, land on the level, fall by the decay; a stop holds the gain.
    const float expected[] = {0.3f, 0.6f,  0.9f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.75f,
                              0.5f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f, 0.6f};
    for (float e : expected) {
        s.process();
        EXPECT_NEAR(leftGain(s), e, 1e-6f);
    }
    s.stop();
    EXPECT_EQ(s.getStep(), -1);
    for (int i = 0; i < 10; ++i) s.process();
    EXPECT_NEAR(leftGain(s), 0.6f, 1e-6f);
}

TEST(StepTest, SettingTheSameShapeAgainDoesNotRestart) {
    // The engine sets the shape every block; only a real change may restart the sequence.
    TStep s = oneStepPerCall(8, TStep::kWrap);
    for (int i = 0; i < 4; ++i) s.process();
    s.setNumberOfSteps(8);
    s.setLoopStart(0);
    s.setLoopMode(TStep::kWrap);
    EXPECT_EQ(s.getStep(), 4);
    s.setNumberOfSteps(6);
    EXPECT_EQ(s.getStep(), 0);
}

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
