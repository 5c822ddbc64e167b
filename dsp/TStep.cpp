#include "dsp/TStep.h"

#include <algorithm>
#include <iterator>

TStep::TStep() {
    init();
}

void TStep::init() {
    on = false;
    outputMoved = true;
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
    outputMoved = true;
    phase = 0.0;
    step = 0;
    swingPhase = 0;
    direction = 1;
    targetL = currentL = heldL = 0.0f;
    targetR = currentR = heldR = 0.0f;
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
