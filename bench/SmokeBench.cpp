#include <vector>

#include "bench/BenchUtil.h"

// Reference point for the module figures: a plain gain over a block, the cheapest processing.
static void BM_ReferenceGain(benchmark::State& state) {
    std::vector<float> buffer(1024, 0.25f);
    for (auto _ : state) {
        for (float& s : buffer) s *= 0.999f;
        benchmark::DoNotOptimize(buffer.data());
    }
    tarnwell::bench::reportAudio(state, static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(BM_ReferenceGain);
