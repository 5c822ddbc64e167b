#include "dsp/TNoiseGate.h"

#include <cmath>

namespace {

// A smoothed value this small is silence; dropping it to zero keeps the state out of the
// subnormal range, where every update would cost a hundred times more.
constexpr float kFlushBelow = 1e-30f;

}  // namespace

TNoiseGate::TNoiseGate() { init(44100.0f); }

void TNoiseGate::init(float rate) {
    sampleRate = rate;
    value = 0.0f;
    c = 0.5f;
    attack = 1.0f;
    decay = 1.0f;
    boost = 1.0f;
    spare = 0.0f;
}

void TNoiseGate::setSmooth(float s) {
    c = static_cast<float>(1.0 - std::pow(2.0, -8.0 * static_cast<double>(s) - 8.0));
}

void TNoiseGate::setBoost(float b) { boost = b; }

void TNoiseGate::update(float x, bool instant) {
    if (instant) {
        value = x;
        return;
    }
    value = (1.0f - c) * x + c * value;
    if (std::fabs(value) < kFlushBelow) value = 0.0f;
}

float TNoiseGate::getValue() const { return boost * value; }

float TNoiseGate::timeCoefficient(float v) const {
    return 1.0f / ((std::exp2(14.0f * v) - 0.99f) * sampleRate / 1000.0f);
}

void TNoiseGate::setAttack(float a) { attack = timeCoefficient(a); }

void TNoiseGate::setDecay(float d) { decay = timeCoefficient(d); }

bool TNoiseGate::hasSubnormalState() const { return std::fpclassify(value) == FP_SUBNORMAL; }
