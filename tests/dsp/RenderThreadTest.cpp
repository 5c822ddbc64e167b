// Every module driven as the engine drives it: bounded, finite output, no heap use, and no
// subnormal state through long silence (each operation on one costs many times a normal one).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dsp/TBasicReverb.h"
#include "dsp/TCombFilter.h"
#include "dsp/TDelay.h"
#include "dsp/TFilter.h"
#include "dsp/TGrain.h"
#include "dsp/TNoiseGate.h"
#include "dsp/TShaper.h"
#include "dsp/TStep.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/SignalMeasure.h"

namespace {

bool subnormal(float v) {
    return std::fpclassify(v) == FP_SUBNORMAL;
}

// Any subnormal among the floats a block of state holds (filter channels and sections, a ring).
template <class Block>
bool anySubnormal(const Block& block) {
    constexpr std::size_t floatBytes = sizeof(float);
    std::vector<float> values(sizeof(Block) / floatBytes);
    std::memcpy(values.data(), &block, sizeof(Block));
    return std::any_of(values.begin(), values.end(), subnormal);
}

// One host sample through a four-lane module; the first output.
template <class Module>
float lanes(Module& m, float x) {
    float o[4];
    m.process(x, -x, -x, x, o[0], o[1], o[2], o[3]);
    return o[0];
}

// Sweeps a control over its whole range three times in ten seconds.
float sweep(int i) {
    return 0.5f + 0.5f * std::sin(static_cast<float>(i) * 4.27e-5f);
}

// step(x, i) runs host sample x; restart() is the engine's render-thread reset.
template <class Step, class Restart, class Subnormal>
void checkRenderThread(const std::string& name, float bound, int silentSeconds, Step step, Restart restart,
                       Subnormal subnormalState) {
    static const tarnwell::test::Signal noise = tarnwell::test::noise(441000);  // ten seconds
    float peak = 0.0f;
    std::size_t allocations = 0;
    {
        tarnwell::test::AllocationCounter counter;
        for (int i = 0; i < 441000; ++i) {
            const float y = step(noise[static_cast<std::size_t>(i)], i);
            peak = std::isfinite(y) ? std::max(peak, std::fabs(y)) : INFINITY;
        }
        restart();
        allocations = counter.count();
    }
    EXPECT_EQ(allocations, 0u) << name;
    EXPECT_LT(peak, bound) << name;
    EXPECT_GT(peak, 0.01f) << name << " is silent";
    int subnormalOutputs = 0, i = 0;
    for (; i < 4410; ++i) step(noise[static_cast<std::size_t>(i)], i);
    for (; i < 4410 + silentSeconds * 44100; ++i) subnormalOutputs += subnormal(step(0.0f, i));
    EXPECT_FALSE(subnormalState()) << name;
    EXPECT_EQ(subnormalOutputs, 0) << name;
}

}  // namespace

TEST(RenderThread, FilterInEveryType) {
    for (int type = 0; type < TFilter::NUM_TYPES; ++type) {
        auto f = std::make_unique<TFilter>();
        f->init(44100.0f);
        f->setType(type, true);
        const auto step = [&](float x, int i) {
            f->setDistort(1.0f);
            f->setFrequency(sweep(i), 0.0f, 0.0f, 0.0f);
            f->setRes(1.0f);
            f->setVowel(sweep(i));
            f->setGain(1.0f);
            f->update(0.0f, true);
            return lanes(*f, x);
        };
        checkRenderThread(
            "type " + std::to_string(type), 1000.0f, 5, step, [&] { f->reset(); },
            [&] {
                return anySubnormal(f->ch) || anySubnormal(f->biquad) || anySubnormal(f->zeroDelay) ||
                       anySubnormal(f->onePoleLanes) || anySubnormal(f->svfLanes) ||
                       anySubnormal(f->ladderLanes);
            });
    }
}

TEST(RenderThread, Comb) {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(44100.0f);
    const auto step = [&](float x, int i) {
        comb->setComb(sweep(i), 0.0f, 0.0f, 0.3f, 1.0f, 0.3f, 0.5f, i == 0);
        return lanes(*comb, x);
    };
    checkRenderThread(
        "comb", 400.0f, 5, step, [&] { comb->reset(); },
        [&] {
            return anySubnormal(comb->ringL) || anySubnormal(comb->ringR) || subnormal(comb->stateL) ||
                   subnormal(comb->stateR);
        });
}

TEST(RenderThread, ShaperInEveryMode) {
    for (int mode = 0; mode < TShaper::MODE_COUNT; ++mode) {
        auto s = std::make_unique<TShaper>();
        s->setType(mode);
        // Shape 0.9: a slow envelope release, and enough steps for the Low-Fi quantiser to pass noise.
        const auto step = [&](float x, int i) {
            s->setDistort(0.6f, sweep(i), 0.7f, 0.9f, 0.1f, 0, 0, 0, 0, 0.4f, 0.3f, i == 0);
            return lanes(*s, x);
        };
        checkRenderThread(
            "mode " + std::to_string(mode), 4.0f, 5, step, [&] { s->reset(); },
            [&] {
                return anySubnormal(s->filter.ch) || anySubnormal(s->filter.zeroDelay) ||
                       subnormal(s->envL) || subnormal(s->envR) || subnormal(s->dcL) || subnormal(s->dcR);
            });
    }
}

TEST(RenderThread, Reverb) {
    // A room past its range is held at 1; a small room with damping and the high-pass on.
    for (const float room : {5.0f, 0.168f}) {
        auto r = std::make_unique<TBasicReverb>();
        r->setRoomSize(room);
        r->setDamp(room > 1.0f ? -1.0f : 1.0f);
        r->setFilter(0.0f, room > 1.0f ? 0.0f : 0.5f);
        const auto step = [&](float x, int i) {
            if (i % 16 == 0) r->setMod(0.9f + 0.2f * sweep(i), 1.1f, 1.0f, 0.9f);
            if (i % 8 == 0) r->setWiden(1000.0f * sweep(i), 1700.0f, 2700.0f, 1600.0f);
            r->setLength(room > 1.0f ? 4.0f : 0.6f, 0.5f + sweep(i));
            float o[4];
            r->process(x, -x, o[0], o[1], o[2], o[3]);
            return o[0];
        };
        // The engine's reset: the same rate rebuilds nothing.
        checkRenderThread(
            "room " + std::to_string(room), 20.0f, 60, step, [&] { r->setSampleRate(44100.0f), r->mute(); },
            [&] { return r->hasSubnormalState(); });
    }
}

TEST(RenderThread, Delay) {
    for (const bool equalAndFiltered : {false, true}) {
        auto d = std::make_unique<TDelay>();
        d->setEqual(equalAndFiltered ? 1.0f : 0.0f);
        if (equalAndFiltered) d->setFeedFilter(0.5f, 0.3f);
        const auto step = [&](float x, int i) {
            d->setDelayLen(0.45f + 0.1f * sweep(i), 0.45f, 3.0f, 0.0f, 1.0f, 0.0f);
            d->setFeed(0.6f, 0.3f);
            float l, r;
            d->process(x, x, l, r);
            return l;
        };
        // The engine restarts the delay on the render thread when playback starts.
        checkRenderThread(
            equalAndFiltered ? "equal, filtered" : "plain", 20.0f, 60, step, [&] { d->init(48000.0f); },
            [&] { return d->hasSubnormalState(); });
    }
}

TEST(RenderThread, GrainsStepAndFollower) {
    auto grains = std::make_unique<TGrain[]>(16);
    TStep gater;
    TNoiseGate follower;
    gater.setNumberOfSteps(12);
    gater.setLoopMode(TStep::kPingPong);
    gater.setSwing(0.3f);
    gater.setInc(0.001);
    gater.start();
    const auto step = [&](float x, int i) {
        TGrain& next = grains[static_cast<std::size_t>(i / 700 % 16)];
        if (i % 700 == 0)
            next.setLoopMode(i / 700 % 6), next.triggerGrain(500 + (i % 9000), 300 + (i % 20000));
        float sum = 0.0f, pl, pr, dl, dr, l, r;
        for (int g = 0; g < 16; ++g) {
            grains[g].process(x, -x, pl, pr, dl, dr, 0.5f + 0.1f * static_cast<float>(g));
            sum += (pl * grains[g].getGrainVol(2.0f) + dl) / 16.0f;
        }
        if (i % 4 == 0) gater.setStep(i / 4 % 16, std::fabs(x), 1.0f - std::fabs(x));
        gater.process();
        gater.getValue(l, r);
        follower.setSmooth(0.3f);
        follower.update(std::fabs(x), false);
        return sum + l * follower.getValue();
    };
    const auto restart = [&] {
        grains[3].reset(), grains[4].init(44100.0f), gater.reset(), follower.init(48000.0f);
    };
    checkRenderThread("grains, step and follower", 4.0f, 5, step, restart,
                      [&] { return follower.hasSubnormalState(); });
}
