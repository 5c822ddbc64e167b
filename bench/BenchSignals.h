#pragma once

// Test signals for the DSP benchmarks.

#include <cstddef>
#include <vector>

namespace tarnwell::bench {

// Reproducible white noise in -1..1.
inline std::vector<float> noiseBlock(std::size_t length, unsigned seed) {
    std::vector<float> s(length);
    for (float& v : s) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    }
    return s;
}

}  // namespace tarnwell::bench
