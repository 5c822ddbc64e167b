#include <cmath>
#include <map>
#include <vector>

#include "bench/FourLaneBench.h"
#include "dsp/TFilter.h"

// ns per host sample of the filter as the engine drives it: the five setters, update and
// process every host sample, at 44.1 kHz, for one type of each family.

using tarnwell::bench::BLOCK;

namespace {

const char* familyName(int type) {
    switch (type) {
        case TFilter::LP6:
            return "one-pole LP 6dB";
        case TFilter::LP1_12:
            return "state-variable LP1 12dB";
        case TFilter::LP2_12:
            return "biquad LP2 12dB";
        case TFilter::LPZ_12:
            return "zero-delay LPZ 12dB";
        case TFilter::LP18:
            return "one-pole+SVF LP 18dB";
        case TFilter::LP1_24:
            return "biquad+SVF LP1 24dB";
        case TFilter::LP2_24:
            return "ladder LP2 24dB";
        case TFilter::LPZ_24:
            return "zero-delay x2 LPZ 24dB";
        case TFilter::LP36:
            return "biquad+ladder LP 36dB";
        case TFilter::Vowel:
            return "formant bank Vowel";
        case TFilter::Formant2:
            return "formant bank Formant 2";
        case TFilter::PeakShelf:
            return "equaliser Peak Shelf";
        default:
            return "?";
    }
}

constexpr float kHeldKnob = 0.55f;

// One host sample as the engine runs it.
void step(TFilter& f, float knob, float La, float Ra, float Lb, float Rb) {
    f.setDistort(0.2f);
    f.setFrequency(knob, 0.1f, 0.0f, 0.0f);
    f.setRes(0.7f);
    f.setVowel(0.4f);
    f.setGain(0.7f);
    f.update(0.0f, true);
    float o[4];
    f.process(La, Ra, Lb, Rb, o[0], o[1], o[2], o[3]);
    benchmark::DoNotOptimize(o);
}

TFilter makeFilter(int type) {
    TFilter f;
    f.init(44100.0f);
    f.setType(type, true);
    return f;
}

// Held controls: the coefficients are computed once and then only looked up.
void BM_FilterHeld(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    TFilter f = makeFilter(type);
    const std::vector<float> in = tarnwell::bench::noiseBlock(0.5f);
    tarnwell::bench::timeBlocks(
        state, in, [&](std::size_t, float a, float b, float c, float d) { step(f, kHeldKnob, a, b, c, d); });
    state.SetLabel(familyName(type));
}

// Cutoff swept every sample: the coefficients are recomputed on every update.
void BM_FilterSwept(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    TFilter f = makeFilter(type);
    const std::vector<float> in = tarnwell::bench::noiseBlock(0.5f);
    std::vector<float> sweep(BLOCK);
    for (std::size_t i = 0; i < BLOCK; ++i)
        sweep[i] = 0.5f + 0.3f * std::sin(6.2831853f * static_cast<float>(i) / static_cast<float>(BLOCK));
    tarnwell::bench::timeBlocks(
        state, in, [&](std::size_t i, float a, float b, float c, float d) { step(f, sweep[i], a, b, c, d); });
    state.SetLabel(familyName(type));
}

// Silence after a loud burst and a minute of silence; compare with BM_FilterHeld.
void BM_FilterSilenceAfterBurst(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    static std::map<int, TFilter> prepared;
    if (!prepared.count(type)) {
        TFilter& p = prepared[type] = makeFilter(type);
        tarnwell::bench::burstThenSilence(
            [&](float a, float b, float c, float d) { step(p, kHeldKnob, a, b, c, d); }, 60.0);
    }
    TFilter f = prepared[type];
    tarnwell::bench::timeBlocks(
        state, tarnwell::bench::silentBlock(),
        [&](std::size_t, float a, float b, float c, float d) { step(f, kHeldKnob, a, b, c, d); });
    state.SetLabel(familyName(type));
}

void families(benchmark::internal::Benchmark* b) {
    for (int type : {TFilter::LP6, TFilter::LP1_12, TFilter::LP2_12, TFilter::LPZ_12, TFilter::LP18,
                     TFilter::LP1_24, TFilter::LP2_24, TFilter::LPZ_24, TFilter::LP36, TFilter::Vowel,
                     TFilter::Formant2, TFilter::PeakShelf})
        b->Arg(type);
}

}  // namespace

BENCHMARK(BM_FilterHeld)->Apply(families);
BENCHMARK(BM_FilterSwept)->Apply(families);
BENCHMARK(BM_FilterSilenceAfterBurst)->Apply(families);
