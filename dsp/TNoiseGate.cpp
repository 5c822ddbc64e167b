#include "dsp/TNoiseGate.h"

#include <cmath>

TNoiseGate::TNoiseGate() {
    init(44100.0f);
}

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
    // Set every 16 frames with a setting that mostly rests: the power only when it moves.
    if (!(s == smoothArgument)) {
        smoothArgument = s;
        smoothCoefficient = static_cast<float>(1.0 - std::pow(2.0, -8.0 * static_cast<double>(s) - 8.0));
    }
    c = smoothCoefficient;
}

void TNoiseGate::setBoost(float b) {
    boost = b;
}

float TNoiseGate::timeCoefficient(float v) const {
    return 1.0f / ((std::exp2(14.0f * v) - 0.99f) * sampleRate / 1000.0f);
}

void TNoiseGate::setAttack(float a) {
    attack = timeCoefficient(a);
}

void TNoiseGate::setDecay(float d) {
    decay = timeCoefficient(d);
}

bool TNoiseGate::hasSubnormalState() const {
    return std::fpclassify(value) == FP_SUBNORMAL;
}
