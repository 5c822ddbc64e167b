#pragma once

// Drives the four-lane DSP modules and measures their frequency response.

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "tests/support/SignalMeasure.h"

namespace tarnwell::test {

// Feeds a doubled-rate signal to both channels (even samples first sub-sample); beforeEach() runs
// before every call. Returns the left output.
template <class Module, class BeforeEach>
Signal runInternal(Module& module, const Signal& in, BeforeEach&& beforeEach) {
    Signal out(in.size() & ~std::size_t{1});
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        beforeEach();
        float oRa, oRb;
        module.process(in[i], in[i], in[i + 1], in[i + 1], out[i], oRa, out[i + 1], oRb);
    }
    return out;
}

// Frequency response at small levels, averaged over impulses at both sub-sample positions (some
// modules read only the first).
class ResponseProbe {
public:
    // run(input): the output of a freshly prepared module.
    template <class Run>
    ResponseProbe(Run&& run, std::size_t length, double sampleRate, float level = 0.5f) : rate(sampleRate) {
        Signal impulse(length, 0.0f);
        impulse[0] = level;
        response = run(impulse);
        impulse[0] = 0.0f;
        impulse[1] = level;
        const Signal second = run(impulse);
        for (std::size_t i = 0; i + 1 < response.size(); ++i)
            response[i] = (response[i] + second[i + 1]) / (2 * level);
    }

    double gain(double hz) const { return std::abs(dft(response.data(), response.size() - 1, hz, rate)); }
    double gainDb(double hz) const { return 20.0 * std::log10(std::max(gain(hz), 1e-30)); }

    // Frequency of the largest (sign 1) or smallest (sign -1) gain between lo and hi.
    double extremeHz(double lo, double hi, double sign = 1.0, double step = 1.005) const {
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

private:
    double rate;
    Signal response;  // the averaged impulse response
};

}  // namespace tarnwell::test
