#include <cmath>
#include <memory>
#include <vector>

#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "dsp/TBasicReverb.h"

namespace {

constexpr int kBlock = 1024;

void configure(TBasicReverb& r) {
    r.setRoomSize(0.168f);
    r.setDamp(0.4f);
    r.setFilter(0.0f, 0.3f);
    r.setWiden(662.0f, 1734.0f, 2778.0f, 1591.0f);
    r.setLength(0.66f, 0.6f);
}

}  // namespace

// The reverb on noise, settings fixed.
static void BM_ReverbSound(benchmark::State& state) {
    auto reverb = std::make_unique<TBasicReverb>();
    configure(*reverb);
    const std::vector<float> in = tarnwell::bench::noiseBlock(kBlock, 1);
    float o1, o2, o3, o4;
    for (auto _ : state) {
        for (float x : in) {
            reverb->process(x, -x, o1, o2, o3, o4);
            benchmark::DoNotOptimize(o1 + o2 + o3 + o4);
        }
    }
    tarnwell::bench::reportAudio(state, kBlock);
}
BENCHMARK(BM_ReverbSound);

// As the engine drives a Room Block: room, damping, high-pass and lengths every frame, the
// length factors every 16 frames and the taps every 8.
static void BM_ReverbEngineFrame(benchmark::State& state) {
    auto reverb = std::make_unique<TBasicReverb>();
    configure(*reverb);
    const std::vector<float> in = tarnwell::bench::noiseBlock(kBlock, 2);
    float o1, o2, o3, o4;
    int frame = 0;
    for (auto _ : state) {
        for (float x : in) {
            const float lfo = std::sin(static_cast<float>(frame) * 0.0001f);
            if (frame % 16 == 0) reverb->setMod(1.0f + 0.05f * lfo, 1.0f - 0.05f * lfo, 1.0f, 1.0f);
            if (frame % 8 == 0) reverb->setWiden(662.0f + 100.0f * lfo, 1734.0f, 2778.0f, 1591.0f);
            reverb->setRoomSize(0.168f);
            reverb->setDamp(0.4f);
            reverb->setFilter(0.0f, 0.3f);
            reverb->setLength(0.66f, 0.6f);
            reverb->process(x, -x, o1, o2, o3, o4);
            benchmark::DoNotOptimize(o1 + o2 + o3 + o4);
            ++frame;
        }
    }
    tarnwell::bench::reportAudio(state, kBlock);
}
BENCHMARK(BM_ReverbEngineFrame);

// Silence after a loud second and a minute of fading tail: should cost what sound costs.
static void BM_ReverbSilenceAfterBurst(benchmark::State& state) {
    static const std::unique_ptr<TBasicReverb> reverb = [] {
        auto r = std::make_unique<TBasicReverb>();
        configure(*r);
        const std::vector<float> burst = tarnwell::bench::noiseBlock(kBlock, 3);
        float o1, o2, o3, o4;
        for (int b = 0; b < 44100 / kBlock; ++b)
            for (float x : burst) r->process(x, x, o1, o2, o3, o4);
        for (int i = 0; i < 60 * 44100; ++i) r->process(0.0f, 0.0f, o1, o2, o3, o4);
        return r;
    }();
    float o1, o2, o3, o4;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            reverb->process(0.0f, 0.0f, o1, o2, o3, o4);
            benchmark::DoNotOptimize(o1 + o2 + o3 + o4);
        }
    }
    state.counters["subnormal_state"] = reverb->hasSubnormalState() ? 1.0 : 0.0;
    tarnwell::bench::reportAudio(state, kBlock);
}
BENCHMARK(BM_ReverbSilenceAfterBurst);
