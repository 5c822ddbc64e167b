#include <memory>
#include <vector>

#include "bench/FourLaneBench.h"
#include "dsp/TCombFilter.h"

// ns per host sample of the comb as the engine drives it (setComb then process), 44.1 kHz.

namespace {

void step(TCombFilter& comb, float La, float Ra, float Lb, float Rb) {
    comb.setComb(0.45f, 0.0f, 0.01f, 0.2f, 0.95f, 0.3f, 0.5f, false);
    float o[4];
    comb.process(La, Ra, Lb, Rb, o[0], o[1], o[2], o[3]);
    benchmark::DoNotOptimize(o);
}

std::unique_ptr<TCombFilter> makeComb() {
    auto comb = std::make_unique<TCombFilter>();
    comb->init(44100.0f);
    return comb;
}

void BM_Comb(benchmark::State& state) {
    auto comb = makeComb();
    tarnwell::bench::timeBlocks(
        state, tarnwell::bench::noiseBlock(0.5f),
        [&](std::size_t, float a, float b, float c, float d) { step(*comb, a, b, c, d); });
}
BENCHMARK(BM_Comb);

// Silence after a loud burst and a minute of silence; compare with BM_Comb.
void BM_CombSilenceAfterBurst(benchmark::State& state) {
    static const std::unique_ptr<TCombFilter> prepared = [] {
        auto p = makeComb();
        tarnwell::bench::burstThenSilence([&](float a, float b, float c, float d) { step(*p, a, b, c, d); },
                                          60.0);
        return p;
    }();
    auto comb = std::make_unique<TCombFilter>(*prepared);
    tarnwell::bench::timeBlocks(
        state, tarnwell::bench::silentBlock(),
        [&](std::size_t, float a, float b, float c, float d) { step(*comb, a, b, c, d); });
}
BENCHMARK(BM_CombSilenceAfterBurst);

}  // namespace
