#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/BenchEngine.h"
#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "effect/APlugin.h"
#include "tests/effect/EnginePatches.h"

// The whole engine per host frame: the all-Off patch, three Blocks of one type in each path
// (Delay on), a typical two-Block sound, and the heaviest patch: three Grain Blocks, the Delay,
// four modulation slots and all three pads replaying their paths.
namespace {

using namespace tarnwell::test::patch;

constexpr int kBlock = 512;

using tarnwell::bench::makeEngine;

void run(benchmark::State& state, APlugin& fx) {
    fx.resetEverything();
    const std::vector<float> noise = tarnwell::bench::noiseBlock(kBlock, 11);
    std::vector<float> inL(noise), inR(noise), outL(kBlock), outR(kBlock);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    // A second of audio first, so grains, the Delay and the rooms are in their running state.
    for (int i = 0; i < 44100 / kBlock; ++i) fx.processReplacing(in, out, kBlock);
    for (auto _ : state) {
        fx.processReplacing(in, out, kBlock);
        benchmark::DoNotOptimize(outL.data());
    }
    tarnwell::bench::reportAudio(state, kBlock);
}

void BM_EngineAllOff(benchmark::State& state) {
    auto fx = makeEngine();
    run(state, *fx);
}
BENCHMARK(BM_EngineAllOff);

// Argument 0: Block type 0..6 (Off, Filter, Comb, Shaper, Room, Gater, Grain); argument 1: path.
void BM_EngineBlocks(benchmark::State& state) {
    auto fx = makeEngine();
    const int type = static_cast<int>(state.range(0));
    setBlocks(*fx, static_cast<int>(state.range(1)), {type, type, type});
    setFeedbackDelay(*fx);
    run(state, *fx);
}
BENCHMARK(BM_EngineBlocks)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5}})
    ->ArgNames({"type", "path"});

// A typical sound: a swept Filter into a Comb, the third Block and the Delay off, the pads at rest.
void BM_EngineTypical(benchmark::State& state) {
    auto fx = makeEngine();
    setBlocks(*fx, 3, {1, 2, 0});
    fx->setParameter(FILTER_MODE_TAG[0], choice(7, 40.0f));  // "LP2 12dB"
    setSlot(*fx, 0, 27, 5, 0.5f);                            // follower -> Block 1 Filter Freq
    run(state, *fx);
}
BENCHMARK(BM_EngineTypical);

void BM_EngineHeaviest(benchmark::State& state) {
    auto fx = makeEngine();
    tarnwell::bench::setHeaviestPatch(*fx);
    run(state, *fx);
}
BENCHMARK(BM_EngineHeaviest);

}  // namespace
