#pragma once

// Counters every audio benchmark reports: time per host sample ("per_sample=55.9ns") and the
// real-time factor at a given sample rate, shown as seconds of audio made per second of
// processing ("audio=405/s" is 405 times real time).

#include <benchmark/benchmark.h>

#include <cstdint>

namespace tarnwell::bench {

inline void reportAudio(benchmark::State& state, std::int64_t samplesPerIteration,
                        double sampleRate = 44100.0) {
    const double samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.counters["per_sample"] =
        benchmark::Counter(samples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["audio"] = benchmark::Counter(samples / sampleRate, benchmark::Counter::kIsRate);
}

}  // namespace tarnwell::bench
