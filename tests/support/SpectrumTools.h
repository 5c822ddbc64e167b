#pragma once

// Measuring helpers for the DSP tests: test tones, windowed single-frequency amplitudes and
// amplitude spectra.

#include <cstddef>
#include <vector>

namespace tarnwell::test::spectrumtools {

// amplitude * sin(2 pi hz t + phase), n samples at rate.
std::vector<float> sine(double hz, double rate, std::size_t n, double amplitude = 1.0,
                        double phase = 0.0);

// Amplitude of the component at hz, from a Hann-windowed correlation over the whole span.
// Accurate for components several window bins away from any other component.
double toneAmplitude(const float* x, std::size_t n, double hz, double rate);
inline double toneAmplitude(const std::vector<float>& x, double hz, double rate) {
    return toneAmplitude(x.data(), x.size(), hz, rate);
}

// Amplitude spectrum of the first fftSize samples (fftSize a power of two); bin k is
// k * rate / fftSize Hz and a full-scale sine reads about 1. Hann-windowed by default; a span
// holding whole cycles (one period of a wave table) is exact without the window.
std::vector<double> amplitudeSpectrum(const float* x, std::size_t fftSize, bool hannWindow = true);

// Frequency of the largest bin between lo and hi Hz, refined by parabolic interpolation.
double peakFrequency(const std::vector<double>& spectrum, double rate, double lo, double hi);

}  // namespace tarnwell::test::spectrumtools
