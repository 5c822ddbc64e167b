#pragma once

// Measurements on rendered signals for the DSP tests: levels, arrival times, frequency,
// spectrum magnitudes and decay times.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace tarnwell::test {

using Signal = std::vector<float>;

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

// Magnitude of the DFT of x[begin, end) at freq, scaled so that an impulse gives 1 at any
// frequency (the magnitude of the segment's frequency response).
inline double responseAt(const Signal& x, std::size_t begin, std::size_t end, double freq, double rate) {
    const double w = 2.0 * std::numbers::pi * freq / rate;
    double re = 0.0, im = 0.0;
    for (std::size_t i = begin; i < end; ++i) {
        const double phase = w * static_cast<double>(i - begin);
        re += static_cast<double>(x[i]) * std::cos(phase);
        im -= static_cast<double>(x[i]) * std::sin(phase);
    }
    return std::hypot(re, im);
}

// Share of the energy in [begin, end) that lies above roughly rate / 6: the energy of the first
// difference over the energy of the signal (0 for DC, 4 for a signal at the Nyquist frequency).
inline double brightness(const Signal& x, std::size_t begin, std::size_t end) {
    double diff = 0.0, total = 0.0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const double d = static_cast<double>(x[i]) - static_cast<double>(x[i - 1]);
        diff += d * d;
        total += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    }
    return total > 0.0 ? diff / total : 0.0;
}

// Time in samples, counted from begin, until the energy still to come (backward integration)
// has fallen by dB below the total from begin on.
inline double decayTime(const Signal& x, std::size_t begin, double dB) {
    std::vector<double> remaining(x.size() - begin + 1, 0.0);
    for (std::size_t i = x.size(); i-- > begin;)
        remaining[i - begin] = remaining[i - begin + 1] + static_cast<double>(x[i]) * static_cast<double>(x[i]);
    const double target = remaining[0] * std::pow(10.0, -dB / 10.0);
    for (std::size_t i = 0; i < remaining.size(); ++i)
        if (remaining[i] <= target) return static_cast<double>(i);
    return static_cast<double>(remaining.size());
}

inline Signal sine(double freq, double rate, std::size_t length, double amplitude = 1.0) {
    Signal s(length);
    for (std::size_t i = 0; i < length; ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * freq * static_cast<double>(i) / rate));
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

}  // namespace tarnwell::test
