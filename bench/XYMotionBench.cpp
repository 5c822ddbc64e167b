#include <benchmark/benchmark.h>

#include <memory>

#include "bench/BenchPlugin.h"
#include "bench/BenchUtil.h"
#include "effect/APlugin.h"

// What the XY motion engine costs the engine per frame: the trigger update and the XY step of
// all three Blocks, with the pads live (the common case) or every Block replaying its path with
// every quantiser, smoothing and speed modulation on.
namespace {

constexpr int FRAMES = 1024;

void setChoice(APlugin& p, int index, int option, float scale) {
    p.setParameter(index, (static_cast<float>(option) + 0.1f) / scale);
}

void runFrames(benchmark::State& state, APlugin& p) {
    for (int b = 0; b < BLOCK_COUNT; ++b) p.modValues[DESTINATION_BLOCK_XY_SPEED[b]] = 1.0f;
    for (auto _ : state) {
        for (int n = 0; n < FRAMES; ++n) {
            for (int b = 0; b < BLOCK_COUNT; ++b) p.updateTriggers(b);
            for (int b = 0; b < BLOCK_COUNT; ++b) p.updateXYStuff(b);
            p.sampleCounter.store(p.sampleCounter.load(std::memory_order_relaxed) + 1,
                                  std::memory_order_relaxed);
        }
        benchmark::DoNotOptimize(p.modSourceValues);
    }
    tarnwell::bench::reportAudio(state, FRAMES);
}

void BM_XYLive(benchmark::State& state) {
    auto p = tarnwell::bench::sandboxedPlugin();
    runFrames(state, *p);
}
BENCHMARK(BM_XYLive);

void BM_XYReplayAllQuantisers(benchmark::State& state) {
    auto p = tarnwell::bench::sandboxedPlugin();
    p->setSampleRate(44100.0f);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        for (int i = 0; i < XY_PATH_POINTS; ++i) p->setXY(b, i, static_cast<float>(i) / 31.0f, 0.5f);
        setChoice(*p, XY_RECORD_MODE_TAG[b], APlugin::XY_REPLAY, 2.99f);
        setChoice(*p, XY_LOOP_MODE_TAG[b], APlugin::XY_PING_PONG, 2.99f);
        setChoice(*p, XY_SYNC_TAG[b], 11, 30.99f);
        setChoice(*p, XY_TIME_QUANT_TAG[b], 5, 30.99f);
        setChoice(*p, XY_POINT_QUANT_TAG[b], 1, 4.99f);
        setChoice(*p, XY_SPACE_QUANT_TAG[b], 2, 4.99f);
        setChoice(*p, XY_SPEED_MOD_SOURCE_TAG[b], 57, 99.99f);  // white noise
        p->setParameter(XY_SPEED_MOD_AMOUNT_TAG[b], 0.7f);
        p->setParameter(XY_SMOOTH_TAG[b], 0.4f);
    }
    setChoice(*p, XY_PLAY_MODE_TAG[2], APlugin::XY_FOLLOWER, 9.99f);
    p->modSourceValues[57] = 0.3f;
    runFrames(state, *p);
}
BENCHMARK(BM_XYReplayAllQuantisers);

}  // namespace
