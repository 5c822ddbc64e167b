// The shaper's band-limited waves: each level of the triangle, square and saw is the sum of its
// harmonics below that level's band edge, made by an inverse transform of one period and read
// out at the table's length.

#include "dsp/DspTables.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

constexpr int kHarmonics = 2048;
constexpr int kHighestHarmonic = 255;
constexpr int FFT_SIZE = 4096;

// The harmonic data was written to five decimals; keep it that way.
constexpr float fiveDecimals(double x) {
    const double scaled = x * 100000.0 + (x >= 0.0 ? 0.5 : -0.5);
    return static_cast<float>(static_cast<double>(static_cast<long long>(scaled)) / 100000.0);
}

struct HarmonicTable {
    float v[WAVE_COUNT][kHarmonics];
};

// Amplitudes by wave and harmonic: sine 1; triangle odd 1/h^2; square odd 1/h; saw 1/h.
constexpr HarmonicTable makeAmplitudes() {
    HarmonicTable t{};
    t.v[0][1] = 1.0f;
    for (int h = 1; h <= kHighestHarmonic; ++h) {
        const bool odd = h % 2 == 1;
        const double inv = 1.0 / h;
        t.v[1][h] = odd ? fiveDecimals(inv * inv) : 0.0f;
        t.v[2][h] = odd ? fiveDecimals(inv) : 0.0f;
        t.v[3][h] = fiveDecimals(inv);
    }
    return t;
}

// Phases in cycles; the -h/8192 of the square and saw is half a period sample of delay.
constexpr HarmonicTable makePhases() {
    HarmonicTable t{};
    t.v[0][1] = 0.75f;
    for (int h = 1; h <= kHighestHarmonic; ++h) {
        const bool odd = h % 2 == 1;
        const float shifted = fiveDecimals(0.25 - h / 8192.0);
        t.v[1][h] = odd ? 0.0f : 0.5f;
        t.v[2][h] = odd ? shifted : 0.5f;
        t.v[3][h] = shifted;
    }
    return t;
}

constexpr HarmonicTable adda_wave = makeAmplitudes();
constexpr HarmonicTable addp_wave = makePhases();

// The transform and its scratch: one period in, one period out.
struct WaveBuilder {
    float period[FFT_SIZE] = {};
    float reIn[FFT_SIZE] = {};
    float reOut[FFT_SIZE] = {};
    float imIn[FFT_SIZE] = {};
    float imOut[FFT_SIZE] = {};

    static int numberOfBitsNeeded(int n) {
        int bits = 0;
        while ((1 << bits) < n) ++bits;
        return bits;
    }

    static int reverseBits(int index, int bits) {
        int reversed = 0;
        for (int i = 0; i < bits; ++i) {
            reversed = (reversed << 1) | (index & 1);
            index >>= 1;
        }
        return reversed;
    }

    // Radix-2 transform of (reIn, imIn) into (reOut, imOut) with kernel e^(i*angle*k*m/n).
    void fourierTransform(double angle, int n) {
        const int bits = numberOfBitsNeeded(n);
        for (int i = 0; i < n; ++i) {
            const int j = reverseBits(i, bits);
            reOut[j] = reIn[i];
            imOut[j] = imIn[i];
        }
        for (int blockSize = 2; blockSize <= n; blockSize <<= 1) {
            const int half = blockSize / 2;
            const double delta = angle / blockSize;
            const double sinHalf = std::sin(0.5 * delta);
            const double alpha = 2.0 * sinHalf * sinHalf;
            const double beta = std::sin(delta);
            for (int start = 0; start < n; start += blockSize) {
                // Twiddle by recurrence: w <- w - (alpha * w - beta * i * w), i.e. w * e^(i*delta).
                double wr = 1.0;
                double wi = 0.0;
                for (int j = start; j < start + half; ++j) {
                    const int k = j + half;
                    const double kr = reOut[k];
                    const double ki = imOut[k];
                    const double jr = reOut[j];
                    const double ji = imOut[j];
                    const double tr = wr * kr - wi * ki;
                    const double ti = wr * ki + wi * kr;
                    reOut[k] = static_cast<float>(jr - tr);
                    imOut[k] = static_cast<float>(ji - ti);
                    reOut[j] = static_cast<float>(jr + tr);
                    imOut[j] = static_cast<float>(ji + ti);
                    const double nr = wr - (alpha * wr + beta * wi);
                    const double ni = wi - (alpha * wi - beta * wr);
                    wr = nr;
                    wi = ni;
                }
            }
        }
    }

    // fourierTransform(-2*pi, n) scaled by 1/n.
    void ifft(int n) {
        fourierTransform(-2.0 * std::numbers::pi, n);
        const float size = static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
            reOut[i] /= size;
            imOut[i] /= size;
        }
    }

    void build(WaveTableSet& tables) {
        auto& waves = tables.waves;
        constexpr double halfPi = std::numbers::pi / 2.0;
        for (int i = 0; i < WAVE_LENGTH; ++i) {
            const float t = static_cast<float>(i) / 65535.99f;
            waves[0][0][i] = static_cast<float>(std::sin(static_cast<double>(2.0f * 3.14159f * t) - halfPi));
            waves[1][0][i] = 1.0f - std::fabs(2.0f - 4.0f * t);
            const float centred = 2.0f * t - 1.0f;
            waves[2][0][i] = centred < 0.0f ? -1.0f : (centred > 0.0f ? 1.0f : 0.0f);
            waves[3][0][i] = centred;
        }
        // A sine has nothing to band-limit.
        for (int k = 1; k < WAVE_LEVELS; ++k) std::copy_n(waves[0][0], WAVE_LENGTH, waves[0][k]);

        for (int w = 1; w < WAVE_COUNT; ++w) {
            for (int k = 1; k < WAVE_LEVELS; ++k) {
                const int n = std::min(static_cast<int>(44100.0f / waveBandEdge(k)), kHarmonics - 1);
                if (n < 1) continue;
                std::fill(std::begin(reIn), std::end(reIn), 0.0f);
                std::fill(std::begin(imIn), std::end(imIn), 0.0f);
                for (int h = 1; h <= n; ++h) {
                    const double a = adda_wave.v[w][h];
                    const double angle =
                        2.0 * std::numbers::pi * (static_cast<double>(addp_wave.v[w][h]) - 0.5);
                    reIn[h] = static_cast<float>(a * std::cos(angle));
                    imIn[h] = static_cast<float>(a * std::sin(angle));
                }
                ifft(FFT_SIZE);

                const auto [mnIt, mxIt] = std::minmax_element(std::begin(reOut), std::end(reOut));
                const float mn = *mnIt;
                const float span = std::fabs(mn) + std::fabs(*mxIt);
                for (int j = 0; j < FFT_SIZE; ++j) period[j] = 2.0f * (reOut[j] - mn) / span - 1.0f;

                float* out = waves[w][k];
                for (int i = 0; i < WAVE_LENGTH; ++i) {
                    const float x = static_cast<float>(i) / 65535.99f * 4095.99f;
                    const int j = static_cast<int>(x);
                    int j1 = static_cast<int>(x + 1.0f);
                    if (j1 >= FFT_SIZE) j1 = 0;
                    out[i] = period[j] + (period[j1] - period[j]) * (x - std::floor(x));
                }
            }
        }
    }
};

}  // namespace

float waveBandEdge(int level) {
    return level < 1 ? 0.0f : static_cast<float>(349.72803 * std::exp2(5.0 * (level - 1) / 12.0));
}

void buildWaveTables(WaveTableSet& tables) {
    std::make_unique<WaveBuilder>()->build(tables);
}
