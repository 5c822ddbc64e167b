#include <cmath>
#include <vector>

#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "dsp/TNoiseGate.h"

namespace {

std::vector<float> levels(float scale) {
    std::vector<float> s = tarnwell::bench::noiseBlock(1024, 8);
    for (float& v : s) v = scale * std::fabs(v);
    return s;
}

void runFollower(benchmark::State& state, float scale, bool afterBurst) {
    TNoiseGate follower;
    follower.setSmooth(1.0f);
    follower.setBoost(2.0f);
    if (afterBurst) {
        follower.update(1.0f, true);
        for (int i = 0; i < 60 * 44100; ++i) follower.update(0.0f, false);
    }
    const std::vector<float> in = levels(scale);
    for (auto _ : state) {
        for (float x : in) {
            follower.update(x, false);
            benchmark::DoNotOptimize(follower.getValue());
        }
    }
    tarnwell::bench::reportAudio(state, static_cast<std::int64_t>(in.size()));
}

}  // namespace

// One level update and one read per frame, as the engine uses the follower.
static void BM_NoiseGate(benchmark::State& state) {
    runFollower(state, 1.0f, false);
}
BENCHMARK(BM_NoiseGate);

// A slow follower fading through a minute of silence after a loud level.
static void BM_NoiseGateSilenceAfterBurst(benchmark::State& state) {
    runFollower(state, 0.0f, true);
}
BENCHMARK(BM_NoiseGateSilenceAfterBurst);
