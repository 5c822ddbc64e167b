#pragma once

// Envelope follower: a one-pole smoother over a level value, read back scaled by a boost gain.
// The engine feeds it one level per frame and reads the result as a modulation source, so
// both are inline.

#include <cmath>
#include <limits>

class TNoiseGate {
public:
    TNoiseGate();

    void init(float rate);

    // s in 0..1: smoothing from 1 - 2^-8 (fast) to 1 - 2^-16 (slow) per update.
    void setSmooth(float s);
    void setBoost(float b);
    // With instant set the value jumps to x; otherwise it glides toward x.
    void update(float x, bool instant) {
        if (instant) {
            value = x;
            return;
        }
        value = (1.0f - c) * x + c * value;
        // A smoothed value this small is silence; dropping it to zero keeps the state out of the
        // subnormal range, where every update would cost a hundred times more.
        if (std::fabs(value) < 1e-30f) value = 0.0f;
    }
    // update(x[k], false) for k = 0 .. n - 1.
    void updateRun(const float* x, int n) {
        const float take = 1.0f - c, keep = c;
        float v = value;
        for (int k = 0; k < n; ++k) {
            v = take * x[k] + keep * v;
            if (std::fabs(v) < 1e-30f) v = 0.0f;
        }
        value = v;
    }
    float getValue() const { return boost * value; }

    // Kept for the attack/release knobs of older programs; nothing reads them.
    void setAttack(float a);
    void setDecay(float d);

    // Diagnostic for the denormal checks: true when the follower state is subnormal.
    bool hasSubnormalState() const;

private:
    float timeCoefficient(float v) const;

    float value = 0.0f;
    float c = 0.5f;
    float attack = 1.0f;
    float decay = 1.0f;
    float boost = 1.0f;
    float sampleRate = 44100.0f;
    float spare = 0.0f;
    float smoothArgument = std::numeric_limits<float>::quiet_NaN(),
          smoothCoefficient = 0.5f;  // setSmooth's last
};
