#pragma once

// Small helpers the filter, comb and shaper share for control values, phases and their lanes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace controlmath {

// Limits to lo..hi; NaN gives lo, so a bad control can never reach a table index.
inline float clampTo(float v, float lo, float hi) {
    return v > lo ? std::min(v, hi) : lo;
}

inline float clamp01(float v) {
#if defined(__SSE__) && defined(__GNUC__)
    // minss gives a < b ? a : b and maxss a > b ? a : b, NaN included: clampTo's choices for
    // 0..1 (a zero of either sign gives +0 in both), without a compare and a branch. Written as
    // instructions on the low lane alone: the intrinsics would first clear the upper lanes.
    float r = 1.0f;
    asm("minss %1, %0" : "+x"(r) : "x"(v));
    asm("maxss %1, %0" : "+x"(r) : "x"(0.0f));
    return r;
#elif defined(__SSE__)
    return _mm_cvtss_f32(_mm_max_ss(_mm_min_ss(_mm_set_ss(1.0f), _mm_set_ss(v)), _mm_setzero_ps()));
#else
    return clampTo(v, 0.0f, 1.0f);
#endif
}

// Four floats side by side, as the modules and the engine pass their lanes.
typedef float FourLanes __attribute__((vector_size(16)));

// clampTo lane by lane: NaN gives lo.
inline FourLanes clampLanes(FourLanes v, FourLanes lo, FourLanes hi) {
#if defined(__SSE__)
    // min(a, b) is a < b ? a : b and max(a, b) is a > b ? a : b, NaN included: clampTo's choices,
    // one instruction each instead of two compares and selects.
    return _mm_max_ps(_mm_min_ps(hi, v), lo);
#else
    const FourLanes below = hi < v ? hi : v;
    return v > lo ? below : lo;
#endif
}

// Fractional part in 0..1 for any finite input (wraps negative values upwards); infinities
// and NaN give 0, so a wild modulation can never index outside a one-cycle table.
inline float wrapPhase(float x) {
    if (x >= 0.0f && x < 8388608.0f) return x - static_cast<float>(static_cast<int>(x));
    const float r = x - std::floor(x);
    return (r >= 0.0f && r < 1.0f) ? r : 0.0f;
}

// floor and trunc without a library call (the baseline x86-64 target has no rounding
// instruction): for a positive value below 2^31 (2^63) the integer conversion truncates, which
// is the floor, and converting back is exact. Zero, negative, huge and NaN values take the
// library call, so every result is the library's to the bit.
inline float floorOf(float x) {
    if (x > 0.0f && x < 2147483648.0f) return static_cast<float>(static_cast<int32_t>(x));
    return std::floor(x);
}

inline double truncOf(double x) {
    if (x > 0.0 && x < 9223372036854775808.0) return static_cast<double>(static_cast<int64_t>(x));
    return std::trunc(x);
}

// A four-lane process run on four scalars: the lanes are {La, Lb, Ra, Rb}.
template <class Module>
inline void processScalars(Module& m, float La, float Ra, float Lb, float Rb, float& oLa, float& oRa,
                           float& oLb, float& oRb) {
    const auto out = m.process(typename Module::Lanes{La, Lb, Ra, Rb});
    oLa = out[0];
    oLb = out[1];
    oRa = out[2];
    oRb = out[3];
}

// Whether a setter's settings stand, bit for bit, since its call before: then all it sets from
// them alone stands too. Settings that moved mostly go on moving (a replaying pad, a glide), so
// after a move the next few calls are not compared and answer no, and moving settings pay little
// for the comparison. forget() makes the next answer no (after a reset or a new rate).
template <class Settings>
class SettingsRest {
public:
    template <class Make>
    bool rests(Make make) {
        if (skipped > 0) {
            --skipped;
            return false;
        }
        const Settings now = make();
        if (!valid) {
            settled = now;
            valid = true;
            return false;
        }
        if (std::memcmp(&now, &settled, sizeof now) == 0) return true;
        valid = false;
        skipped = 7;
        return false;
    }
    void forget() { valid = false; }

private:
    Settings settled{};
    bool valid = false;
    std::int32_t skipped = 0;
};

}  // namespace controlmath
