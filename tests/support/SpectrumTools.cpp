#include "tests/support/SpectrumTools.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tarnwell::test::spectrumtools {

namespace {

constexpr double twoPi = 2.0 * std::numbers::pi;

double hann(std::size_t i, std::size_t n) {
    return 0.5 - 0.5 * std::cos(twoPi * static_cast<double>(i) / static_cast<double>(n));
}

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -twoPi / static_cast<double>(len));
        for (std::size_t start = 0; start < n; start += len) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto t = w * a[start + k + len / 2];
                a[start + k + len / 2] = a[start + k] - t;
                a[start + k] += t;
                w *= step;
            }
        }
    }
}

}  // namespace

std::vector<float> sine(double hz, double rate, std::size_t n, double amplitude, double phase) {
    std::vector<float> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<float>(amplitude *
                                    std::sin(twoPi * hz * static_cast<double>(i) / rate + phase));
    return out;
}

double toneAmplitude(const float* x, std::size_t n, double hz, double rate) {
    double re = 0.0, im = 0.0, windowSum = 0.0;
    const double w = twoPi * hz / rate;
    for (std::size_t i = 0; i < n; ++i) {
        const double h = hann(i, n);
        windowSum += h;
        re += h * static_cast<double>(x[i]) * std::cos(w * static_cast<double>(i));
        im += h * static_cast<double>(x[i]) * std::sin(w * static_cast<double>(i));
    }
    return 2.0 * std::hypot(re, im) / windowSum;
}

std::vector<double> amplitudeSpectrum(const float* x, std::size_t fftSize, bool hannWindow) {
    std::vector<std::complex<double>> a(fftSize);
    double windowSum = 0.0;
    for (std::size_t i = 0; i < fftSize; ++i) {
        const double h = hannWindow ? hann(i, fftSize) : 1.0;
        windowSum += h;
        a[i] = h * static_cast<double>(x[i]);
    }
    fft(a);
    std::vector<double> out(fftSize / 2 + 1);
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = 2.0 * std::abs(a[k]) / windowSum;
    return out;
}

double peakFrequency(const std::vector<double>& spectrum, double rate, double lo, double hi) {
    const double binHz = rate / (2.0 * static_cast<double>(spectrum.size() - 1));
    const auto first = static_cast<std::size_t>(std::max(1.0, std::ceil(lo / binHz)));
    const auto last = std::min(spectrum.size() - 2, static_cast<std::size_t>(hi / binHz));
    std::size_t best = first;
    for (std::size_t k = first; k <= last; ++k)
        if (spectrum[k] > spectrum[best]) best = k;
    const double l = std::log(spectrum[best - 1] + 1e-30);
    const double c = std::log(spectrum[best] + 1e-30);
    const double r = std::log(spectrum[best + 1] + 1e-30);
    const double denom = l - 2.0 * c + r;
    const double offset = denom != 0.0 ? 0.5 * (l - r) / denom : 0.0;
    return (static_cast<double>(best) + offset) * binHz;
}

}  // namespace tarnwell::test::spectrumtools
