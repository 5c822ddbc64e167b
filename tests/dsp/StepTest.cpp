#include <gtest/gtest.h>

#include <vector>

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
    // One step per sixteenth note: at 120 bpm and 44.1 kHz a step lasts 5512.5 frames. Swing s
    // splits each pair of steps 1/(1 + s/2) : (1 + s)/(1 + s/2).
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
    // Eight calls per step: rise by the attack per call, land exactly on the level, then fall
    // by the decay; a stop holds the gain read last.
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
