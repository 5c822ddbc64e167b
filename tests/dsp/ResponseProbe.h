#pragma once

// Frequency response of a DSP module that is linear at small levels, measured from impulse
// responses. The modules run two sub-samples per call, and some read only the first, so the
// probe takes one impulse response per sub-sample position and averages the two: that is the
// response a smooth signal sees (for modules that treat both positions alike it is simply the
// ordinary frequency response).

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <utility>
#include <vector>

namespace tarnwell::test {

class ResponseProbe {
public:
    // run(input) processes a signal at `rate` through a freshly prepared module and returns
    // its output; it is called twice, with an impulse of `amplitude` at sample 0 and at 1.
    template <class Run>
    ResponseProbe(Run&& run, std::size_t length, double sampleRate, float impulseLevel = 0.5f)
        : rate(sampleRate), amplitude(impulseLevel) {
        std::vector<float> impulse(length, 0.0f);
        impulse[0] = amplitude;
        first = run(impulse);
        impulse[0] = 0.0f;
        impulse[1] = amplitude;
        second = run(impulse);
        second.erase(second.begin());  // time from its own impulse
    }

    std::complex<double> response(double hz) const {
        return 0.5 * (transform(first, hz) + transform(second, hz)) / static_cast<double>(amplitude);
    }
    double gain(double hz) const { return std::abs(response(hz)); }
    double gainDb(double hz) const { return 20.0 * std::log10(std::max(gain(hz), 1e-30)); }

    // Frequency of the largest (or smallest) gain between lo and hi, in steps of ratio `step`.
    double peakHz(double lo, double hi, double step = 1.005) const { return scan(lo, hi, step, 1.0); }
    double lowestGainHz(double lo, double hi, double step = 1.005) const { return scan(lo, hi, step, -1.0); }

private:
    double scan(double lo, double hi, double step, double sign) const {
        double best = lo, bestScore = -1e300;
        for (double hz = lo; hz <= hi; hz *= step) {
            const double score = sign * gain(hz);
            if (score > bestScore) {
                bestScore = score;
                best = hz;
            }
        }
        return best;
    }

    std::complex<double> transform(const std::vector<float>& h, double hz) const {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
        std::complex<double> phasor = 1.0, sum = 0.0;
        for (float v : h) {
            sum += static_cast<double>(v) * phasor;
            phasor *= step;
        }
        return sum;
    }

    double rate;
    float amplitude;
    std::vector<float> first, second;
};

}  // namespace tarnwell::test
