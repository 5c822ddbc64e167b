#pragma once

// Gater step sequencer: 16 steps with a left and a right level each, a phase clock with swing,
// three loop modes and a linear ramp that moves each channel's gain toward the playing step's
// level. The engine calls process() once per frame and reads the gains with getValue().

#include <algorithm>

#include "dsp/ControlMath.h"

class TStep {
public:
    static constexpr int kMaxSteps = 16;

    enum LoopMode { kRunOnce = 0, kWrap = 1, kPingPong = 2 };

    TStep();

    void init();
    // Back to step 0 with zero gains; the pattern and settings stay.
    void reset();

    void start() {
        if (!on) on = outputMoved = true;
    }
    void stop() {
        if (on) {
            on = false;
            outputMoved = true;
        }
    }
    bool getOn() const { return on; }

    void setStep(int i, float l, float r);
    void setNumberOfSteps(int n);
    void setLoopStart(int s);
    void setLoopMode(int m);
    void setAttack(float a) { attack = a; }
    void setDecay(float d) { decay = d; }
    void setSwing(float s);
    void setInc(double inc) { increment = inc; }

    void process();

    // Read by the engine every frame: inline.
    void getValue(float& l, float& r) {
        if (on) {
            heldL = currentL;
            heldR = currentR;
        }
        l = heldL;
        r = heldR;
    }
    int getStep() const { return on ? step : -1; }
    // Frames the pattern takes at most to come round (there and back), 0 while it stands.
    double periodFrames() const {
        const double slowest = increment * std::min(swingFactor[0], swingFactor[1]);
        return on && slowest > 0.0 ? 2.0 * numberOfSteps / slowest : 0.0;
    }
    // Whether getValue or getStep can give something new since the last takeShownMoved: true
    // after process, a reset, a start or a stop.
    bool shownMoved() const { return outputMoved; }
    bool takeShownMoved() {
        const bool moved = outputMoved;
        outputMoved = false;
        return moved;
    }

private:
    void rampToward(float target, float& current) const;

    bool on = false;
    bool outputMoved = true;
    int loopStart = 0;
    int step = 0;
    int numberOfSteps = kMaxSteps;
    int loopMode = kRunOnce;
    int swingPhase = 0;
    int direction = 1;
    double phase = 0.0;
    double increment = 0.0;
    double swingFactor[2] = {1.0, 1.0};
    float targetL = 0.0f, currentL = 0.0f, heldL = 0.0f;
    float targetR = 0.0f, currentR = 0.0f, heldR = 0.0f;
    float attack = 1.0f;
    float decay = 1.0f;
    float levelL[kMaxSteps] = {};
    float levelR[kMaxSteps] = {};
};

// Every frame of a running gater, and every fourth for the sixteen steps: inline.
inline void TStep::setStep(int i, float l, float r) {
    if (i < 0 || i >= kMaxSteps) return;
    levelL[i] = controlmath::clamp01(l);
    levelR[i] = controlmath::clamp01(r);
}

inline void TStep::rampToward(float target, float& current) const {
    if (target > current)
        current = std::min(current + attack, target);
    else
        current = std::max(current - decay, target);
}

inline void TStep::process() {
    if (!on) return;
    outputMoved = true;
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
