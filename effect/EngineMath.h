#pragma once

// Small value helpers shared by the engine's frame, control schedule and Blocks.

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

#include "dsp/ControlMath.h"

namespace engine {

// NaN reads as the lower end: a mapped value never passes an undefined number on to a module.
using controlmath::clamp01;
using controlmath::clampTo;
using controlmath::floorOf;
using controlmath::truncOf;

// Truncation toward zero that saturates instead of overflowing; NaN gives 0.
inline int truncToInt(float v) {
    if (!(v > static_cast<float>(INT_MIN))) return v < 0.0f ? INT_MIN : 0;
    if (v >= static_cast<float>(INT_MAX)) return INT_MAX;
    return static_cast<int>(v);
}

// The same pointer, its origin hidden from the compiler. An element of a member array reached
// by a Block index is otherwise worked out again from the index for nearly every access; this
// way it stays in one register.
template <class T>
inline T* pinned(T* p) {
    asm("" : "+r"(p));
    return p;
}

// The sample of larger magnitude with its sign (the right one when equal).
inline float largerOf(float l, float r) {
    return std::fabs(l) > std::fabs(r) ? l : r;
}

inline float meanMagnitude(float l, float r) {
    return (std::fabs(l) + std::fabs(r)) * 0.5f;
}

// The last argument and result of a costly pure function. Control values rest most of the
// time, so most frames get the same result back without recomputing it.
template <float (*F)(float)>
class Memo {
public:
    float operator()(float x) {
        if (!(x == argument)) {  // the first call, and a NaN, always compute
            argument = x;
            result = F(x);
        }
        return result;
    }

private:
    float argument = std::numeric_limits<float>::quiet_NaN();
    float result = 0.0f;
};

// Below half a step of 24-bit audio a sample is what the loops' denormal guards leave behind, not
// sound: it becomes exact silence, so a host can tell where a tail ends.
inline float silenceResidue(float v) {
    return std::fabs(v) < 0x1p-24f ? 0.0f : v;
}

// Block Volume: -40 dB .. +10 dB over the knob; the bottom of its travel is silence.
inline float volumeGain(float v) {
    return v < 0.001f ? 0.0f : std::pow(10.0f, (50.0f * v - 40.0f) / 20.0f);
}

inline float exp2Of(float x) {
    return std::exp2(x);
}

// Follower Boost: -20 dB .. +20 dB over the knob; the bottom of its travel is silence.
inline float boostGain(float v) {
    return v < 0.001f ? 0.0f : std::pow(10.0f, (40.0f * v - 20.0f) / 20.0f);
}

// Follower threshold: -40 dB .. 0 dB as a linear level; the bottom of its travel is 0.
inline float thresholdLevel(float t) {
    return t < 0.001f ? 0.0f : std::pow(10.0f, (40.0f * t - 40.0f) / 20.0f);
}

}  // namespace engine
