#include <gtest/gtest.h>

#include <cmath>
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

std::vector<int> playedSteps(TStep& s, int calls) {
    std::vector<int> steps;
    for (int i = 0; i < calls; ++i) {
        steps.push_back(s.getStep());
        s.process();
    }
    return steps;
}

// Calls at which the playing step changed, counted from the first process().
std::vector<int> boundaries(TStep& s, int calls) {
    std::vector<int> at;
    int previous = s.getStep();
    for (int i = 1; i <= calls; ++i) {
        s.process();
        if (s.getStep() != previous) at.push_back(i);
        previous = s.getStep();
    }
    return at;
}

}  // namespace

TEST(StepTest, LoopModesPlayTheirSequences) {
    TStep once = oneStepPerCall(4, TStep::kRunOnce);
    EXPECT_EQ(playedSteps(once, 8), (std::vector<int>{0, 1, 2, 3, 3, 3, 3, 3}));

    TStep ping = oneStepPerCall(4, TStep::kPingPong);
    EXPECT_EQ(playedSteps(ping, 11), (std::vector<int>{0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2}));

    TStep wrap = oneStepPerCall(16, TStep::kWrap);
    const std::vector<int> steps = playedSteps(wrap, 18);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(steps[i], i % 16) << "call " << i;

    for (int mode = 0; mode < 3; ++mode) {
        TStep single = oneStepPerCall(1, mode);
        EXPECT_EQ(playedSteps(single, 5), (std::vector<int>{0, 0, 0, 0, 0})) << "mode " << mode;
    }
}

TEST(StepTest, LoopStartBoundsWrapAndPingPong) {
    TStep wrap = oneStepPerCall(5, TStep::kWrap, 2);
    EXPECT_EQ(playedSteps(wrap, 9), (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 2}));

    TStep ping = oneStepPerCall(5, TStep::kPingPong, 2);
    EXPECT_EQ(playedSteps(ping, 9), (std::vector<int>{0, 2, 3, 4, 3, 2, 3, 4, 3}));

    // A loop start at or past the count leaves nothing to loop: the sequence runs once.
    TStep late = oneStepPerCall(3, TStep::kWrap, 3);
    EXPECT_EQ(playedSteps(late, 5), (std::vector<int>{0, 1, 2, 2, 2}));
}

TEST(StepTest, StepBoundariesFollowTempoAndSpeed) {
    // One step per sixteenth note: at 120 bpm and 44.1 kHz a step lasts 5512.5 frames.
    const double rate = 44100.0, tempo = 120.0;
    for (double speed : {1.0, 2.0, 1.0 / 3.0}) {
        TStep s;
        s.setLoopMode(TStep::kWrap);
        s.setInc(speed * tempo / 15.0 / rate);
        s.start();
        const double frames = 5512.5 / speed;
        const std::vector<int> at = boundaries(s, static_cast<int>(frames * 6.5));
        ASSERT_EQ(at.size(), 6u) << "speed " << speed;
        for (std::size_t k = 0; k < at.size(); ++k)
            EXPECT_NEAR(at[k], frames * static_cast<double>(k + 1), 1.0) << "speed " << speed << " step " << k;
    }
}

TEST(StepTest, SwingShortensTheFirstStepOfEachPair) {
    // With swing s the pair keeps two plain steps, split 1/(1 + s/2) : (1 + s)/(1 + s/2), so the
    // odd steps come early and last longer.
    const double plain = 1000.0;
    for (double swing : {0.0, 0.5, 1.0}) {
        TStep s;
        s.setLoopMode(TStep::kWrap);
        s.setSwing(static_cast<float>(swing));
        s.setInc(1.0 / plain);
        s.start();
        const std::vector<int> at = boundaries(s, 4100);
        ASSERT_GE(at.size(), 4u);
        const double first = plain / (1.0 + swing / 2.0);
        const double second = plain * (1.0 + swing) / (1.0 + swing / 2.0);
        EXPECT_NEAR(at[0], first, 1.0) << "swing " << swing;
        EXPECT_NEAR(at[1] - at[0], second, 1.0) << "swing " << swing;
        EXPECT_NEAR(at[1], 2.0 * plain, 1.0) << "swing " << swing;
        EXPECT_NEAR(at[3], 4.0 * plain, 2.0) << "swing " << swing;
    }
}

TEST(StepTest, GainsRampTowardTheLevelAndStopOnIt) {
    TStep s;
    s.setNumberOfSteps(2);
    s.setLoopMode(TStep::kWrap);
    s.setStep(0, 1.0f, 0.5f);
    s.setStep(1, 0.0f, 0.5f);
    s.setAttack(0.3f);
    s.setDecay(0.25f);
    s.setInc(1.0 / 8.0);
    s.start();

    std::vector<float> left, right;
    for (int i = 0; i < 20; ++i) {
        s.process();
        float l, r;
        s.getValue(l, r);
        left.push_back(l);
        right.push_back(r);
    }
    // Eight calls per step. Rise by the attack per call, land exactly on the level, then fall
    // by the decay.
    const std::vector<float> expectedLeft = {0.3f, 0.6f, 0.9f, 1.0f,  1.0f, 1.0f, 1.0f, 1.0f, 0.75f, 0.5f,
                                             0.25f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f, 0.6f, 0.9f,  1.0f};
    for (int i = 0; i < 20; ++i) EXPECT_NEAR(left[i], expectedLeft[i], 1e-6f) << "call " << i;
    EXPECT_NEAR(right[0], 0.3f, 1e-6f);
    for (int i = 1; i < 20; ++i) EXPECT_EQ(right[i], 0.5f) << "call " << i;
}

TEST(StepTest, StoppedSequencerHoldsItsLastGains) {
    TStep s;
    s.setStep(0, 0.8f, 0.4f);
    s.setAttack(0.1f);
    EXPECT_EQ(s.getStep(), -1);
    s.start();
    for (int i = 0; i < 3; ++i) s.process();
    float l, r;
    s.getValue(l, r);
    EXPECT_NEAR(l, 0.3f, 1e-6f);
    EXPECT_NEAR(r, 0.3f, 1e-6f);

    s.stop();
    EXPECT_EQ(s.getStep(), -1);
    for (int i = 0; i < 10; ++i) s.process();
    s.getValue(l, r);
    EXPECT_NEAR(l, 0.3f, 1e-6f);
    EXPECT_NEAR(r, 0.3f, 1e-6f);

    s.start();
    s.process();
    s.getValue(l, r);
    EXPECT_NEAR(l, 0.4f, 1e-6f);
}

TEST(StepTest, ChangingTheShapeRestartsOnlyOnARealChange) {
    TStep s = oneStepPerCall(8, TStep::kWrap);
    s.setStep(3, 1.0f, 1.0f);
    for (int i = 0; i < 4; ++i) s.process();
    ASSERT_EQ(s.getStep(), 4);
    float l, r;
    s.getValue(l, r);
    ASSERT_GT(l, 0.0f);

    s.setNumberOfSteps(8);
    s.setLoopStart(0);
    s.setLoopMode(TStep::kWrap);
    EXPECT_EQ(s.getStep(), 4);

    s.setNumberOfSteps(6);
    EXPECT_EQ(s.getStep(), 0);
    s.getValue(l, r);
    EXPECT_EQ(l, 0.0f);
    EXPECT_EQ(r, 0.0f);

    for (int i = 0; i < 3; ++i) s.process();
    s.setLoopMode(TStep::kPingPong);
    EXPECT_EQ(s.getStep(), 0);
}

TEST(StepTest, StepLevelsAreClampedAndOutOfRangeStepsIgnored) {
    TStep s;
    s.setStep(0, 2.0f, -1.0f);
    s.setStep(16, 1.0f, 1.0f);
    s.setStep(-1, 1.0f, 1.0f);
    s.setAttack(10.0f);
    s.setDecay(10.0f);
    s.start();
    s.process();
    float l, r;
    s.getValue(l, r);
    EXPECT_EQ(l, 1.0f);
    EXPECT_EQ(r, 0.0f);

    // Counts outside 1..16 are held inside so the playing step always addresses a level.
    TStep wide = oneStepPerCall(40, TStep::kRunOnce);
    const std::vector<int> steps = playedSteps(wide, 20);
    EXPECT_EQ(steps.back(), 15);
    TStep none = oneStepPerCall(0, TStep::kWrap);
    EXPECT_EQ(playedSteps(none, 3), (std::vector<int>{0, 0, 0}));
}
