#pragma once

// The noise generator shared by every comb filter and shaper of the process (the engine keeps
// a separate one). Render threads of several instances may draw at once; the seed is a relaxed
// atomic so concurrent draws are well defined, and any interleaving of their updates is fine
// because the values only decide sign flips and noise.

#include <atomic>
#include <cstdint>

class DspRandom {
public:
    // One step: v = seed * 16807 (mod 2^32), seed = v + 1; v read as a signed 32-bit integer.
    static std::int32_t draw() {
        const std::uint32_t v = RandSeed.load(std::memory_order_relaxed) * 16807u;
        RandSeed.store(v + 1u, std::memory_order_relaxed);
        return static_cast<std::int32_t>(v);
    }

    // A draw mapped to 0..1 in single precision.
    static float drawUnit() { return toUnit(draw()); }

    // N successive draws with one load and one store of the seed: the values and the seed left
    // behind are those of N single draws.
    template <int N>
    static void drawUnits(float (&u)[N]) {
        std::uint32_t seed = RandSeed.load(std::memory_order_relaxed);
        for (int k = 0; k < N; ++k) {
            const std::uint32_t v = seed * 16807u;
            seed = v + 1u;
            u[k] = toUnit(static_cast<std::int32_t>(v));
        }
        RandSeed.store(seed, std::memory_order_relaxed);
    }

    // Four successive draws mapped to 0..1 side by side, lane k the k-th, each rounding as
    // drawUnit does; the seed left behind is that of four single draws.
    typedef float Units __attribute__((vector_size(16)));
    static Units drawUnitLanes() {
        typedef std::int32_t Draws __attribute__((vector_size(16)));
        std::uint32_t seed = RandSeed.load(std::memory_order_relaxed);
        Draws v;
        for (int k = 0; k < 4; ++k) {
            const std::uint32_t d = seed * 16807u;
            seed = d + 1u;
            v[k] = static_cast<std::int32_t>(d);
        }
        RandSeed.store(seed, std::memory_order_relaxed);
        return (__builtin_convertvector(v, Units) * 4.656612873077392578125e-10f + 1.0f) * 0.5f;
    }

    // Advances the seed as N draws would, without producing them.
    template <int N>
    static void skip() {
        RandSeed.store(advanced(RandSeed.load(std::memory_order_relaxed), N), std::memory_order_relaxed);
    }

    static float toUnit(std::int32_t v) {
        return (static_cast<float>(v) * 4.656612873077392578125e-10f + 1.0f) * 0.5f;
    }

    static void setSeed(std::uint32_t seed) { RandSeed.store(seed, std::memory_order_relaxed); }
    static std::uint32_t seed() { return RandSeed.load(std::memory_order_relaxed); }

    // The seed after n draws: x -> 16807 x + 1 applied n times, folded into one affine step.
    // The engine's own generator takes the same steps.
    static constexpr std::uint32_t advanced(std::uint32_t seed, int n) {
        std::uint32_t multiplier = 1u, offset = 0u;
        for (int k = 0; k < n; ++k) {
            multiplier *= 16807u;
            offset = offset * 16807u + 1u;
        }
        return seed * multiplier + offset;
    }

private:
    static std::atomic<std::uint32_t> RandSeed;
};
