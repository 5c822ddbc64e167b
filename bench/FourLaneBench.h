#pragma once

// Shared pieces of the DSP module benchmarks: a block of test noise and the
// burst-then-silence preparation that shows whether silence costs more than sound
// (it would if recursive states decayed into denormal numbers).

#include <cstddef>
#include <random>
#include <vector>

#include "bench/BenchUtil.h"

namespace tarnwell::bench {

inline constexpr std::size_t BLOCK = 1024;  // host samples per benchmark iteration

// Four lanes (La, Ra, Lb, Rb) per host sample of uniform noise at the given level.
inline std::vector<float> noiseBlock(float level, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-level, level);
    std::vector<float> lanes(4 * BLOCK);
    for (float& v : lanes) v = dist(rng);
    return lanes;
}

// Runs `setThenProcess(La, Ra, Lb, Rb)` through half a second of full-scale noise, then
// `silentSeconds` of silence at 44.1 kHz. The benchmarks do this once per module setting and
// time copies of the result, since the library calls a benchmark several times.
template <class SetThenProcess>
void burstThenSilence(SetThenProcess&& setThenProcess, double silentSeconds) {
    const std::vector<float> burst = noiseBlock(1.0f, 99);
    for (std::size_t i = 0; i < 22050; ++i) {
        const float* x = &burst[4 * (i % BLOCK)];
        setThenProcess(x[0], x[1], x[2], x[3]);
    }
    const auto silent = static_cast<std::size_t>(silentSeconds * 44100.0);
    for (std::size_t i = 0; i < silent; ++i) setThenProcess(0.0f, 0.0f, 0.0f, 0.0f);
}

// Times `step(i, La, Ra, Lb, Rb)` over blocks of BLOCK host samples of `lanes` (four per
// host sample) and reports ns per host sample and the real-time factor at 44.1 kHz.
template <class Step>
void timeBlocks(benchmark::State& state, const std::vector<float>& lanes, Step&& step) {
    for (auto _ : state) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            const float* x = &lanes[4 * i];
            step(i, x[0], x[1], x[2], x[3]);
        }
        benchmark::ClobberMemory();
    }
    reportAudio(state, BLOCK);
}

inline const std::vector<float>& silentBlock() {
    static const std::vector<float> zeros(4 * BLOCK, 0.0f);
    return zeros;
}

}  // namespace tarnwell::bench
