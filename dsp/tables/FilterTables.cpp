#include "dsp/DspTables.h"

#include <cmath>
#include <numbers>

void buildFilterTables(FilterTableSet& t) {
    constexpr float kGuard = 1e-15f;  // keeps recursive states away from denormal numbers
    constexpr float pi = std::numbers::pi_v<float>;
    for (int i = 0; i < FILTER_TABLE_SIZE; ++i) {
        const float x = static_cast<float>(i) * 3.814697265625e-6f;  // i * 2^-18
        const float s1 = std::sin(pi * x);
        const float c1 = std::cos(pi * x);
        const float s2 = std::sin(2.0f * pi * x);
        const float c2 = std::cos(2.0f * pi * x);
        const float tw = 2.0f * x;
        const float q = 1.0f - tw;
        const float p = tw * q + tw;
        t.freqPow2[i] = 20.0f * static_cast<float>(std::exp2(10.0 * static_cast<double>(x)));
        t.sine[i] = 2.0f * s1 + kGuard;
        t.twoSine[i] = s2;
        t.twoCos[i] = c2;
        t.lowPass12[i] = c1 / (s1 + 0.0015f);
        t.highPass12[i] = s1 / (c1 + 0.0015f);
        t.mff[i] = 2.0f * p - 1.0f + kGuard;
        t.mfq[i] = 1.0f + 0.5f * q * ((1.0f - q) + 5.6f * q * q);
        t.mfp[i] = p + kGuard;
        t.zTan[i] = static_cast<float>(std::tan(std::numbers::pi * static_cast<double>(x)));
        t.voxC[i] = 1.0f / (s1 / c1 + 0.001f);
        t.voxD[i] = static_cast<float>(2.0 * std::cos(static_cast<double>(x) * 6.2831854820251465));
    }
}
