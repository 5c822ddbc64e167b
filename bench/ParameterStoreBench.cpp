#include <benchmark/benchmark.h>

#include <memory>

#include "bench/BenchPlugin.h"
#include "effect/APlugin.h"

// What the parameter store costs the engine and the host: reading live values (shared,
// relaxed-atomic floats, against plain floats), one setParameter, and applying a whole program.
namespace {

APlugin& plugin() {
    static std::unique_ptr<APlugin> effect = tarnwell::bench::sandboxedPlugin();
    return *effect;
}

void BM_ReadLiveValues(benchmark::State& state) {
    APlugin& p = plugin();
    for (auto _ : state) {
        float sum = 0.0f;
        for (int i = 0; i < PARAMETER_COUNT; ++i) sum += p.currentValues[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * PARAMETER_COUNT);
}
BENCHMARK(BM_ReadLiveValues);

// The same loop over plain floats: the baseline the shared values must match.
void BM_ReadPlainValues(benchmark::State& state) {
    static float values[PARAMETER_COUNT];
    for (int i = 0; i < PARAMETER_COUNT; ++i) values[i] = plugin().currentValues[i];
    for (auto _ : state) {
        benchmark::ClobberMemory();
        float sum = 0.0f;
        for (int i = 0; i < PARAMETER_COUNT; ++i) sum += values[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * PARAMETER_COUNT);
}
BENCHMARK(BM_ReadPlainValues);

void BM_SetParameter(benchmark::State& state) {
    APlugin& p = plugin();
    float v = 0.0f;
    for (auto _ : state) {
        v = v > 0.9f ? 0.0f : v + 0.01f;
        p.setParameter(FILTER_FREQ_TAG[0], v);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetParameter);

void BM_ApplyFactoryPreset(benchmark::State& state) {
    APlugin& p = plugin();
    int preset = 0;
    for (auto _ : state) {
        p.setDemoProgram(preset);
        preset = (preset + 1) % FACTORY_PRESET_COUNT;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ApplyFactoryPreset);

}  // namespace
