#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "dsp/TDelay.h"

namespace {

constexpr int kBlock = 1024;

enum class Mode { kFree, kSynced, kLoopFilter, kSilenceAfterBurst };

// The engine sets the lengths every frame; the free modes also sweep them slowly, so the read
// point keeps gliding.
void runDelay(benchmark::State& state, Mode mode) {
    auto delay = std::make_unique<TDelay>();
    delay->setTempo(128.0f);
    delay->setFeed(0.6f, 0.2f);
    if (mode == Mode::kLoopFilter || mode == Mode::kSilenceAfterBurst) delay->setFeedFilter(0.6f, 0.2f);
    std::vector<float> in = tarnwell::bench::noiseBlock(kBlock, 4);
    int frame = 0;
    auto step = [&](float x) {
        if (mode == Mode::kSynced) {
            delay->setDelayLen(0.7f, 0.5f, 0.0f, 0.0f, 1.0f, 1.0f);
        } else {
            const float sweep = 0.05f * std::sin(static_cast<float>(frame) * 0.00005f);
            delay->setDelayLen(0.7f + sweep, 0.68f - sweep, 2.0f, 2.0f, 1.0f, 0.0f);
        }
        float l, r;
        delay->process(x, -x, l, r);
        ++frame;
        return l + r;
    };
    if (mode == Mode::kSilenceAfterBurst) {
        // A loud second, then a minute of repeats fading into silence before the timing starts.
        for (int i = 0; i < 44100; ++i) step(in[static_cast<std::size_t>(i) % in.size()]);
        for (int i = 0; i < 60 * 44100; ++i) step(0.0f);
        std::fill(in.begin(), in.end(), 0.0f);
    }
    for (auto _ : state) {
        for (float x : in) benchmark::DoNotOptimize(step(x));
    }
    if (mode == Mode::kSilenceAfterBurst)
        state.counters["subnormal_state"] = delay->hasSubnormalState() ? 1.0 : 0.0;
    tarnwell::bench::reportAudio(state, kBlock);
}

}  // namespace

static void BM_DelayFree(benchmark::State& state) {
    runDelay(state, Mode::kFree);
}
BENCHMARK(BM_DelayFree);

static void BM_DelaySynced(benchmark::State& state) {
    runDelay(state, Mode::kSynced);
}
BENCHMARK(BM_DelaySynced);

static void BM_DelayLoopFilter(benchmark::State& state) {
    runDelay(state, Mode::kLoopFilter);
}
BENCHMARK(BM_DelayLoopFilter);

// The loop-filter case again on silence: should cost what sound costs.
static void BM_DelaySilenceAfterBurst(benchmark::State& state) {
    runDelay(state, Mode::kSilenceAfterBurst);
}
BENCHMARK(BM_DelaySilenceAfterBurst);
