#pragma once

// Counters every audio benchmark reports: time per host sample and the real-time factor at a
// given sample rate (how many seconds of audio one second of processing handles).

#include <benchmark/benchmark.h>

#include <cstdint>

namespace tarnwell::bench {

inline void reportAudio(benchmark::State& state, std::int64_t samplesPerIteration,
                        double sampleRate = 44100.0) {
    const double samples = static_cast<double>(state.iterations()) * static_cast<double>(samplesPerIteration);
    state.counters["ns_per_sample"] =
        benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(samples / sampleRate, benchmark::Counter::kIsRate);
}

}  // namespace tarnwell::bench
