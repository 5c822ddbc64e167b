// Render-thread work must not touch the heap: every module below is built first, then driven
// the way the engine drives it while the allocation counter watches.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/TBasicReverb.h"
#include "dsp/TDelay.h"
#include "dsp/TGrain.h"
#include "dsp/TNoiseGate.h"
#include "dsp/TStep.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/SignalMeasure.h"

using tarnwell::test::AllocationCounter;

namespace {

const tarnwell::test::Signal& input() {
    static const tarnwell::test::Signal s = tarnwell::test::noise(1 << 16, 0.8);
    return s;
}

float in(int i) { return input()[static_cast<std::size_t>(i) & ((1u << 16) - 1)]; }

// The input is built once, before any counter starts.
const bool inputReady = !input().empty();

}  // namespace

TEST(RenderAllocationTest, ReverbProcessesAndRetunesWithoutAllocating) {
    auto reverb = std::make_unique<TBasicReverb>();
    AllocationCounter counter;
    float o1, o2, o3, o4;
    for (int i = 0; i < 100000; ++i) {
        const float lfo = std::sin(static_cast<float>(i) * 0.0003f);
        if (i % 16 == 0) reverb->setMod(1.0f + 0.1f * lfo, 1.0f - 0.1f * lfo, 1.0f, 1.1f);
        if (i % 8 == 0) reverb->setWiden(600.0f + 500.0f * lfo, 1700.0f, 2700.0f, 1600.0f);
        reverb->setRoomSize(0.168f);
        reverb->setDamp(0.5f + 0.5f * lfo);
        reverb->setFilter(0.0f, 0.3f);
        reverb->setLength(0.6f + 0.5f * lfo, 0.5f);
        reverb->process(in(i), in(i + 7), o1, o2, o3, o4);
    }
    reverb->setSampleRate(44100.0f);  // the engine's reset: same rate, nothing rebuilt
    reverb->mute();
    EXPECT_EQ(counter.count(), 0u);
}

TEST(RenderAllocationTest, DelayChangesLengthsAndRestartsWithoutAllocating) {
    auto delay = std::make_unique<TDelay>();
    AllocationCounter counter;
    float l, r;
    // Before any length: every frame only writes, up to the line's bound.
    for (int i = 0; i < 600000; ++i) delay->process(in(i), in(i + 3), l, r);
    delay->setEqual(1.0f);
    delay->setFeed(0.7f, 0.2f);
    delay->setFeedFilter(0.6f, 0.2f);
    // Free lengths swept every frame, then synced lengths at both tempo extremes.
    for (int i = 0; i < 200000; ++i) {
        const float sweep = 0.5f + 0.5f * std::sin(static_cast<float>(i) * 0.0001f);
        delay->setDelayLen(sweep, 1.0f - sweep, 3.0f, 0.0f, 1.0f, 0.0f);
        delay->process(in(i), in(i + 3), l, r);
    }
    for (float tempo : {1.0f, 1200.0f, 120.0f}) {
        delay->setTempo(tempo);
        for (int i = 0; i < 300000; ++i) {
            delay->setDelayLen(static_cast<float>(i % 15) / 14.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f);
            delay->process(in(i), in(i + 3), l, r);
        }
    }
    // The engine restarts the delay on the render thread when playback starts.
    delay->init(48000.0f);
    delay->setDelayLen(0.3f, 0.3f, 0.0f, 0.0f, 1.0f, 0.0f);
    for (int i = 0; i < 10000; ++i) delay->process(in(i), in(i + 3), l, r);
    EXPECT_EQ(counter.count(), 0u);
}

TEST(RenderAllocationTest, GrainsTriggerAndPlayWithoutAllocating) {
    auto grains = std::make_unique<TGrain[]>(16);
    AllocationCounter counter;
    float pl, pr, dl, dr;
    float mix = 0.0f;
    int slot = 0;
    for (int i = 0; i < 200000; ++i) {
        if (i % 700 == 0) {
            grains[slot].setLoopMode(slot % 6);
            grains[slot].triggerGrain(500 + (i % 9000), 300 + (i % 20000));
            slot = (slot + 1) % 16;
        }
        for (int g = 0; g < 16; ++g) {
            grains[g].process(in(i), in(i + 1), pl, pr, dl, dr, 0.5f + 0.1f * static_cast<float>(g));
            mix += pl * grains[g].getGrainVol(2.0f) + dl;
        }
    }
    grains[3].reset();
    grains[4].init(44100.0f);
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_TRUE(std::isfinite(mix));
}

TEST(RenderAllocationTest, StepAndFollowerRunWithoutAllocating) {
    TStep step;
    TNoiseGate follower;
    AllocationCounter counter;
    step.setNumberOfSteps(12);
    step.setLoopMode(TStep::kPingPong);
    step.setSwing(0.3f);
    step.setInc(0.001);
    step.start();
    float l, r;
    for (int i = 0; i < 100000; ++i) {
        if (i % 4 == 0) step.setStep((i / 4) % 16, std::fabs(in(i)), std::fabs(in(i + 1)));
        step.process();
        step.getValue(l, r);
        follower.setSmooth(0.3f);
        follower.update(std::fabs(in(i)), false);
        EXPECT_LE(follower.getValue(), 1.0f);
    }
    follower.init(48000.0f);
    step.reset();
    EXPECT_EQ(counter.count(), 0u);
}
