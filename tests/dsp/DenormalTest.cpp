// A loud burst and then a minute of silence: every recursive state must stay out of the
// subnormal range, where each operation costs many times a normal one.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "dsp/TBasicReverb.h"
#include "dsp/TDelay.h"
#include "dsp/TNoiseGate.h"
#include "tests/support/SignalMeasure.h"

namespace {

constexpr int kRate = 44100;
constexpr int kMinute = 60 * kRate;

bool subnormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

}  // namespace

TEST(DenormalTest, ReverbTailNeverTurnsSubnormal) {
    const tarnwell::test::Signal burst = tarnwell::test::noise(kRate, 1.0);
    for (float hp : {0.0f, 0.5f}) {
        for (float damp : {0.0f, 1.0f}) {
            auto reverb = std::make_unique<TBasicReverb>();
            reverb->setRoomSize(0.168f);
            reverb->setDamp(damp);
            reverb->setFilter(0.0f, hp);
            reverb->setLength(0.66f, 0.6f);
            float o[4];
            for (float x : burst) reverb->process(x, -x, o[0], o[1], o[2], o[3]);
            int subnormalOutputs = 0;
            for (int i = 0; i < kMinute; ++i) {
                reverb->process(0.0f, 0.0f, o[0], o[1], o[2], o[3]);
                for (float v : o) subnormalOutputs += subnormal(v);
            }
            EXPECT_FALSE(reverb->hasSubnormalState()) << "hp " << hp << " damp " << damp;
            EXPECT_EQ(subnormalOutputs, 0) << "hp " << hp << " damp " << damp;
        }
    }
}

TEST(DenormalTest, DelayLoopNeverTurnsSubnormal) {
    const tarnwell::test::Signal burst = tarnwell::test::noise(kRate, 1.0);
    for (bool filtered : {false, true}) {
        auto delay = std::make_unique<TDelay>();
        delay->setDelayLen(0.5f, 0.45f, 0.0f, 0.0f, 1.0f, 0.0f);
        delay->setFeed(0.6f, 0.3f);
        if (filtered) delay->setFeedFilter(0.5f, 0.3f);
        float l, r;
        for (float x : burst) delay->process(x, x, l, r);
        int subnormalOutputs = 0;
        for (int i = 0; i < kMinute; ++i) {
            delay->process(0.0f, 0.0f, l, r);
            subnormalOutputs += subnormal(l) + subnormal(r);
        }
        EXPECT_FALSE(delay->hasSubnormalState()) << "filtered " << filtered;
        EXPECT_EQ(subnormalOutputs, 0) << "filtered " << filtered;
    }
}

TEST(DenormalTest, FollowerNeverTurnsSubnormal) {
    for (float smooth : {0.0f, 0.5f, 1.0f}) {
        TNoiseGate follower;
        follower.setSmooth(smooth);
        for (int i = 0; i < kRate; ++i) follower.update(1.0f, false);
        for (int i = 0; i < kMinute; ++i) {
            follower.update(0.0f, false);
            ASSERT_FALSE(follower.hasSubnormalState()) << "smooth " << smooth << " update " << i;
        }
    }
}
