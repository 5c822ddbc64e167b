#include "bench/BenchUtil.h"
#include "dsp/TStep.h"

// The gater step sequencer: one process and one read per frame, a sixteenth at 120 bpm per step.
static void BM_Step(benchmark::State& state) {
    TStep step;
    for (int i = 0; i < 16; ++i) step.setStep(i, (i % 3) / 2.0f, (i % 2) * 1.0f);
    step.setNumberOfSteps(16);
    step.setLoopMode(TStep::kPingPong);
    step.setSwing(0.3f);
    step.setAttack(1000.0f / (16.0f * 44100.0f));
    step.setDecay(1000.0f / (16.0f * 44100.0f));
    step.setInc(8.0 / 44100.0);
    step.start();
    constexpr int kBlock = 1024;
    float l, r;
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            step.process();
            step.getValue(l, r);
            benchmark::DoNotOptimize(l + r);
        }
    }
    tarnwell::bench::reportAudio(state, kBlock);
}
BENCHMARK(BM_Step);
