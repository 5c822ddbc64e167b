#pragma once

// Test signals and measurements on rendered signals: levels, times, frequency, spectra, decay.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <vector>

namespace tarnwell::test {

using Signal = std::vector<float>;

inline Signal sine(double hz, double rate, std::size_t length, double amplitude = 1.0) {
    Signal s(length);
    for (std::size_t i = 0; i < length; ++i)
        s[i] = static_cast<float>(amplitude *
                                  std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    return s;
}

// Reproducible white noise in -amplitude..amplitude.
inline Signal noise(std::size_t length, double amplitude = 1.0, unsigned seed = 12345u) {
    Signal s(length);
    unsigned state = seed;
    for (float& v : s) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(amplitude * (static_cast<double>(state >> 8) / 8388608.0 - 1.0));
    }
    return s;
}

inline double rms(const Signal& x, std::size_t begin, std::size_t end) {
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i) sum += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

inline double peak(const Signal& x, std::size_t begin, std::size_t end) {
    double m = 0.0;
    for (std::size_t i = begin; i < end; ++i) m = std::max(m, std::fabs(static_cast<double>(x[i])));
    return m;
}

// Index of the largest magnitude in [begin, end).
inline std::size_t peakIndex(const Signal& x, std::size_t begin, std::size_t end) {
    std::size_t best = begin;
    for (std::size_t i = begin; i < end; ++i)
        if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
    return best;
}

// First index whose magnitude exceeds threshold, or x.size() when none does.
inline std::size_t firstAbove(const Signal& x, double threshold, std::size_t begin = 0) {
    for (std::size_t i = begin; i < x.size(); ++i)
        if (std::fabs(static_cast<double>(x[i])) > threshold) return i;
    return x.size();
}

// Frequency in Hz from the rising zero crossings in [begin, end), each placed by linear
// interpolation between the samples around it.
inline double zeroCrossingFrequency(const Signal& x, std::size_t begin, std::size_t end, double rate) {
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const double a = x[i - 1], b = x[i];
        if (a < 0.0 && b >= 0.0) {
            const double t = static_cast<double>(i - 1) + a / (a - b);
            if (crossings == 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * rate / (last - first);
}

// Fourier sum of x[0, n) at hz, optionally under a Hann window.
inline std::complex<double> dft(const float* x, std::size_t n, double hz, double rate, bool hann = false) {
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
    std::complex<double> phasor = 1.0, sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double turn = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
        const double w = hann ? 0.5 - 0.5 * std::cos(turn) : 1.0;
        sum += w * static_cast<double>(x[i]) * phasor;
        phasor *= step;
    }
    return sum;
}

// Magnitude of the frequency response of the segment x[begin, end) (an impulse gives 1).
inline double responseAt(const Signal& x, std::size_t begin, std::size_t end, double hz, double rate) {
    return std::abs(dft(x.data() + begin, end - begin, hz, rate));
}

// Amplitude of the sine component at hz in x[begin, end), from a Hann-windowed sum; accurate for
// components several bins away from any other.
inline double toneAmplitude(const Signal& x, std::size_t begin, std::size_t end, double hz, double rate) {
    const std::size_t n = end - begin;
    return 4.0 * std::abs(dft(x.data() + begin, n, hz, rate, true)) / static_cast<double>(n);
}

// Amplitude spectrum of n samples (a power of two) holding whole cycles: bin k is harmonic k,
// a full-scale sine reads 1.
inline std::vector<double> amplitudeSpectrum(const float* x, std::size_t n) {
    std::vector<std::complex<double>> a(x, x + n);
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(len));
        for (std::size_t start = 0; start < n; start += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
                const auto t = w * a[start + k + len / 2];
                a[start + k + len / 2] = a[start + k] - t;
                a[start + k] += t;
            }
        }
    }
    std::vector<double> out(n / 2 + 1);
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = 2.0 * std::abs(a[k]) / static_cast<double>(n);
    return out;
}

// Energy of the first difference over the energy of x[begin, end): 0 for DC, 4 at Nyquist.
inline double brightness(const Signal& x, std::size_t begin, std::size_t end) {
    double diff = 0.0, total = 0.0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const double d = static_cast<double>(x[i]) - static_cast<double>(x[i - 1]);
        diff += d * d;
        total += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    }
    return total > 0.0 ? diff / total : 0.0;
}

// Samples until the energy still to come (backward integration) has fallen by dB.
inline double decayTime(const Signal& x, double dB) {
    std::vector<double> remaining(x.size() + 1, 0.0);
    for (std::size_t i = x.size(); i-- > 0;)
        remaining[i] = remaining[i + 1] + static_cast<double>(x[i]) * static_cast<double>(x[i]);
    const double target = remaining[0] * std::pow(10.0, -dB / 10.0);
    for (std::size_t i = 0; i < remaining.size(); ++i)
        if (remaining[i] <= target) return static_cast<double>(i);
    return static_cast<double>(remaining.size());
}

}  // namespace tarnwell::test
