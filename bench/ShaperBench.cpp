#include <map>
#include <memory>
#include <vector>

#include "bench/FourLaneBench.h"
#include "dsp/TShaper.h"

// ns per host sample of the shaper in each mode as the engine drives it (setDistort then
// process), 44.1 kHz.

namespace {

const char* const MODE_NAMES[TShaper::MODE_COUNT] = {"Ring Mod", "Freq Mod", "Phase Mod",
                                                     "Amp Mod",  "Sym Mod",  "Low-Fi"};

void step(TShaper& s, float La, float Ra, float Lb, float Rb) {
    s.setDistort(0.6f, 0.55f, 0.7f, 0.4f, 0.1f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f, 0.3f, false);
    float o[4];
    s.process(La, Ra, Lb, Rb, o[0], o[1], o[2], o[3]);
    benchmark::DoNotOptimize(o);
}

std::unique_ptr<TShaper> makeShaper(int mode) {
    auto shaper = std::make_unique<TShaper>();
    shaper->init(44100.0f);
    shaper->setType(mode);
    return shaper;
}

void BM_Shaper(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    auto shaper = makeShaper(mode);
    tarnwell::bench::timeBlocks(
        state, tarnwell::bench::noiseBlock(0.5f),
        [&](std::size_t, float a, float b, float c, float d) { step(*shaper, a, b, c, d); });
    state.SetLabel(MODE_NAMES[mode]);
}
BENCHMARK(BM_Shaper)->DenseRange(0, TShaper::MODE_COUNT - 1);

// Silence after a loud burst and a minute of silence; compare with BM_Shaper.
void BM_ShaperSilenceAfterBurst(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    static std::map<int, std::unique_ptr<TShaper>> prepared;
    if (!prepared.count(mode)) {
        auto p = makeShaper(mode);
        tarnwell::bench::burstThenSilence([&](float a, float b, float c, float d) { step(*p, a, b, c, d); },
                                          60.0);
        prepared[mode] = std::move(p);
    }
    auto shaper = std::make_unique<TShaper>(*prepared[mode]);
    tarnwell::bench::timeBlocks(
        state, tarnwell::bench::silentBlock(),
        [&](std::size_t, float a, float b, float c, float d) { step(*shaper, a, b, c, d); });
    state.SetLabel(MODE_NAMES[mode]);
}
BENCHMARK(BM_ShaperSilenceAfterBurst)->DenseRange(0, TShaper::MODE_COUNT - 1);

}  // namespace
