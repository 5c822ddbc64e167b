#include <memory>
#include <vector>

#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "dsp/TGrain.h"

// One grain slot as a Grain Block runs it: retriggered whenever it falls idle, recording 100 ms
// and playing 200 ms a fifth up with the envelope read every frame.
static void BM_GrainSlot(benchmark::State& state) {
    auto grain = std::make_unique<TGrain>();
    grain->setLoopMode(TGrain::kPing);
    const std::vector<float> in = tarnwell::bench::noiseBlock(1024, 6);
    float pl, pr, dl, dr;
    for (auto _ : state) {
        for (float x : in) {
            if (grain->getState() == TGrain::kIdle) grain->triggerGrain(4410, 8820);
            grain->process(x, -x, pl, pr, dl, dr, 1.4983f);
            benchmark::DoNotOptimize(pl * grain->getGrainVol(0.7f) + dl);
        }
    }
    tarnwell::bench::reportAudio(state, static_cast<std::int64_t>(in.size()));
}
BENCHMARK(BM_GrainSlot);
