#include "dsp/TCombFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/ControlMath.h"
#include "dsp/DspRandom.h"

using controlmath::clamp01;

namespace {

constexpr float kGuard = 1e-15f;

inline std::uint32_t slotOf(std::uint32_t pos) {
    return (pos >> 8) & (TCombFilter::RING_SIZE - 1);
}

// One channel of one sub-sample: read behind the write position, maybe flip, damp, scale,
// write input plus loop back.
inline float combStep(float* ring, std::uint32_t p, std::int32_t delay, float& state, float keep, float coeff,
                      float gain, bool flip, float input) {
    float r = ring[slotOf(p - static_cast<std::uint32_t>(delay))];
    if (flip) r = -r;
    state = keep * state + coeff * r + kGuard;
    const float out = state * gain;
    ring[slotOf(p)] = input + out + kGuard;
    return out;
}

}  // namespace

void TCombFilter::init(float sampleRate) {
    rate = 2.0f * std::max(1000.0f, sampleRate);
    invRate = 1.0f / rate;
    minDamp = 10.0f * invRate;
    maxFreq = 0.2f * rate;
    position = 0.0f;
    type = 0;
    freqL = freqR = 10000.0f;
    feedback = damping = 0.0f;
    dampCoeff = dampKeep = 1.0f;
    stateL = stateR = 0.0f;
    flipChance = 0.0f;
    delayL = delayR = 0;
    writePos = 0;
    gain = 0.0f;
    memo = Memo{};  // the rate's limits moved
    settledValid = false;
    std::fill(std::begin(ringL), std::end(ringL), 0.0f);
    std::fill(std::begin(ringR), std::end(ringR), 0.0f);
}

void TCombFilter::reset() {
    position = 0.0f;
    stateL = stateR = 0.0f;
    std::fill(std::begin(ringL), std::end(ringL), 0.0f);
    std::fill(std::begin(ringR), std::end(ringR), 0.0f);
    dampCoeff = 1.0f;
    dampKeep = 0.0f;
    settledValid = false;  // the damping and the position start over
}

void TCombFilter::setType(int newType) {
    if (newType != type) reset();
    type = newType;
}

inline std::int32_t TCombFilter::delayFor(float hz) const {
    const float d = 256.0f * rate / hz;
    // Written so that an infinite or NaN quotient (a frequency of 0) lands on the longest delay.
    if (!(d < static_cast<float>(MAX_DELAY))) return MAX_DELAY;
    return std::max(MIN_DELAY, static_cast<std::int32_t>(d));
}

void TCombFilter::setComb(float freq, float modL, float modR, float spread, float feedbackAmount,
                          float dampingAmount, float randomAmount, bool firstFrame) {
    position = firstFrame ? freq : 0.1f * freq + 0.9f * position;
    const Settings now{freq, modL, modR, spread, feedbackAmount, dampingAmount, randomAmount, position, type};
    if (settledValid && std::memcmp(&now, &settled, sizeof now) == 0) return;
    settled = now;
    settledValid = true;
    // Called every host sample with settings that mostly rest: each exponential, the fourth
    // root and each delay is worked out again only when its own inputs moved.
    const float posL = clamp01(position + modL);
    const float posR = clamp01(position + modR);
    if (!(posL == memo.posL && posR == memo.posR && spread == memo.spread)) {
        if (!(spread == memo.spread)) {
            memo.spread = spread;
            memo.spreadDown = std::exp2(-spread);
            memo.spreadUp = std::exp2(spread);
        }
        memo.posL = posL;
        memo.posR = posR;
        memo.freqL = std::min(20.0f * std::exp2(10.0f * posL) * memo.spreadDown, maxFreq);
        memo.freqR = std::min(20.0f * std::exp2(10.0f * posR) * memo.spreadUp, maxFreq);
        memo.delayL = delayFor(memo.freqL);
        memo.delayR = delayFor(memo.freqR);
    }
    freqL = memo.freqL;
    freqR = memo.freqR;
    delayL = memo.delayL;
    delayR = memo.delayR;
    // A negative amount would make the fourth root below undefined.
    feedback = std::max(0.0f, std::min(0.99f, feedbackAmount));
    damping = dampingAmount;
    if (!(damping == memo.damping)) {
        memo.damping = damping;
        if (damping < 0.001f) {
            memo.dampCoeff = 1.0f;
        } else {
            const float a = (5.0f * std::exp2(12.0f * (1.0f - damping)) + 0.001f) * invRate + kGuard;
            memo.dampCoeff = 2.0f * std::min(0.2f, std::max(minDamp, a));
        }
    }
    dampCoeff = memo.dampCoeff;
    dampKeep = 1.0f - dampCoeff;
    if (!(feedback == memo.feedback)) {
        memo.feedback = feedback;
        memo.root = static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(feedback))));
    }
    gain = (type != 0 ? -memo.root : memo.root) + kGuard;
    flipChance = randomAmount * randomAmount * randomAmount * 0.13f;
}

void TCombFilter::process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb,
                          float& oRb) {
    controlmath::processScalars(*this, La, Ra, Lb, Rb, oLa, oRa, oLb, oRb);
}

TCombFilter::Lanes TCombFilter::process(Lanes in) {
    const float La = in[0], Lb = in[1], Ra = in[2], Rb = in[3];
    // Each sub-sample moves half a slot, so the ring advances one slot per host sample.
    // The four draws of the call, in lane order. No draw in 0..1 falls below a chance of 0, so
    // then the generator only has to move on as far.
    bool flip[4] = {};
    if (flipChance > 0.0f) {
        float u[4];
        DspRandom::drawUnits(u);
        for (int k = 0; k < 4; ++k) flip[k] = u[k] < flipChance;
    } else {
        DspRandom::skip<4>();
    }
    // Settings and states in locals: a ring write could alias any float member, so the compiler
    // would otherwise read them again after every write.
    const float keep = dampKeep, coeff = dampCoeff, g = gain;
    const std::int32_t dL = delayL, dR = delayR;
    float sL = stateL, sR = stateR;
    std::uint32_t p = writePos + 128u;
    const float oLa = combStep(ringL, p, dL, sL, keep, coeff, g, flip[0], La);
    const float oRa = combStep(ringR, p, dR, sR, keep, coeff, g, flip[1], Ra);
    p = (p & POSITION_MASK) + 128u;
    const float oLb = combStep(ringL, p, dL, sL, keep, coeff, g, flip[2], Lb);
    const float oRb = combStep(ringR, p, dR, sR, keep, coeff, g, flip[3], Rb);
    stateL = sL;
    stateR = sR;
    writePos = p & POSITION_MASK;
    return Lanes{oLa, oLb, oRa, oRb};
}
