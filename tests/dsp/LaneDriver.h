#pragma once

// Drives the four-lane DSP modules (process(La, Ra, Lb, Rb, oLa, oRa, oLb, oRb)) in tests and
// benchmarks.

#include <cstddef>
#include <vector>

namespace tarnwell::test {

// Feeds a signal at the module's internal (doubled) rate to both channels: even samples are
// the first sub-sample of a call, odd ones the second. `beforeEach()` runs before every call
// (the per-host-sample setters). Returns the left output at the internal rate.
template <class Module, class BeforeEach>
std::vector<float> runInternal(Module& module, const std::vector<float>& in, BeforeEach&& beforeEach) {
    std::vector<float> out(in.size() & ~std::size_t{1});
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
        beforeEach();
        float oRa, oRb;
        module.process(in[i], in[i], in[i + 1], in[i + 1], out[i], oRa, out[i + 1], oRb);
    }
    return out;
}

template <class Module>
std::vector<float> runInternal(Module& module, const std::vector<float>& in) {
    return runInternal(module, in, [] {});
}

// Feeds host-rate samples the way the engine does, each into both sub-samples, and returns
// the left first-sub-sample output per host sample.
template <class Module, class BeforeEach>
std::vector<float> runHost(Module& module, const std::vector<float>& in, BeforeEach&& beforeEach) {
    std::vector<float> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        beforeEach();
        float oRa, oLb, oRb;
        module.process(in[i], in[i], in[i], in[i], out[i], oRa, oLb, oRb);
    }
    return out;
}

}  // namespace tarnwell::test
