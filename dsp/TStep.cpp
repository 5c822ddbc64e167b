#include "dsp/TStep.h"

#include <algorithm>
#include <iterator>

namespace {

float clamp01(float v) { return v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f); }

}  // namespace

TStep::TStep() { init(); }

void TStep::init() {
    on = false;
    loopStart = 0;
    step = 0;
    numberOfSteps = kMaxSteps;
    loopMode = kRunOnce;
    swingPhase = 0;
    direction = 1;
    phase = 0.0;
    increment = 0.0;
    swingFactor[0] = swingFactor[1] = 1.0;
    targetL = currentL = heldL = 0.0f;
    targetR = currentR = heldR = 0.0f;
    attack = 1.0f;
    decay = 1.0f;
    std::fill(std::begin(levelL), std::end(levelL), 0.0f);
    std::fill(std::begin(levelR), std::end(levelR), 0.0f);
}

void TStep::reset() {
    phase = 0.0;
    step = 0;
    swingPhase = 0;
    direction = 1;
    targetL = currentL = heldL = 0.0f;
    targetR = currentR = heldR = 0.0f;
}

void TStep::setStep(int i, float l, float r) {
    if (i < 0 || i >= kMaxSteps) return;
    levelL[i] = clamp01(l);
    levelR[i] = clamp01(r);
}

void TStep::setNumberOfSteps(int n) {
    // The step index addresses the level arrays, so the count stays within them.
    n = std::clamp(n, 1, kMaxSteps);
    if (n != numberOfSteps) reset();
    numberOfSteps = n;
}

void TStep::setLoopStart(int s) {
    s = std::clamp(s, 0, kMaxSteps - 1);
    if (s != loopStart) reset();
    loopStart = s;
}

void TStep::setLoopMode(int m) {
    // A loop that starts past the last active step cannot run; play through once instead.
    const int mode = loopStart < numberOfSteps ? std::clamp(m, 0, 2) : kRunOnce;
    if (mode != loopMode) reset();
    loopMode = mode;
}

void TStep::setSwing(float s) {
    const float first = 1.0f + s / 2.0f;
    swingFactor[0] = first;
    swingFactor[1] = first / (1.0f + s);
}

void TStep::rampToward(float target, float& current) const {
    if (target > current)
        current = std::min(current + attack, target);
    else
        current = std::max(current - decay, target);
}

void TStep::process() {
    if (!on) return;
    const int i = step;
    targetL = levelL[i];
    rampToward(targetL, currentL);
    targetR = levelR[i];
    rampToward(targetR, currentR);

    phase += increment * swingFactor[swingPhase];
    if (phase < 1.0) return;
    phase -= 1.0;
    swingPhase = 1 - swingPhase;
    step = i + direction;
    const int last = numberOfSteps - 1;
    switch (loopMode) {
    case kRunOnce:
        if (step > last) step = last;
        break;
    case kWrap:
        if (step > last) step = loopStart;
        break;
    default:
        if (step >= last) {
            step = last;
            direction = -1;
        }
        if (step <= loopStart) {
            step = loopStart;
            direction = 1;
        }
        break;
    }
}
