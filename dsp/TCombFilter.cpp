#include "dsp/TCombFilter.h"

#include <algorithm>
#include <cmath>

#include "dsp/ControlMath.h"
#include "dsp/DspRandom.h"

using controlmath::clamp01;

namespace {

constexpr float kGuard = 1e-15f;

inline std::uint32_t slotOf(std::uint32_t pos) {
    return (pos >> 8) & (TCombFilter::RING_SIZE - 1);
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
    settled.forget();
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
    settled.forget();  // the damping and the position start over
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

void TCombFilter::applyComb(float modL, float modR, float spread, float feedbackAmount, float dampingAmount,
                            float randomAmount) {
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
    typedef std::int32_t Ints __attribute__((vector_size(16)));
    // Each sub-sample moves half a slot, so the ring advances one slot per host sample.
    // The four draws of the call, in lane order {La, Ra, Lb, Rb}, as sign flips of the reads. No
    // draw in 0..1 falls below a chance of 0, so then the generator only has to move on as far.
    Ints flips{};
    if (flipChance > 0.0f) {
        flips = (DspRandom::drawUnitLanes() < flipChance) & static_cast<std::int32_t>(0x80000000u);
    } else {
        DspRandom::skip<4>();
    }
    // Both channels side by side in lanes {L, R} (the upper two lanes are not used), one
    // sub-sample after the other; settings and states in locals, as a ring write could alias any
    // float member.
    const float keep = dampKeep, coeff = dampCoeff, g = gain;
    const std::uint32_t dL = static_cast<std::uint32_t>(delayL), dR = static_cast<std::uint32_t>(delayR);
    Lanes state{stateL, stateR, 0.0f, 0.0f};
    auto step = [&](std::uint32_t p, Ints flip, Lanes input) __attribute__((always_inline)) {
        const Lanes read{ringL[slotOf(p - dL)], ringR[slotOf(p - dR)], 0.0f, 0.0f};
        state =
            keep * state + coeff * __builtin_bit_cast(Lanes, __builtin_bit_cast(Ints, read) ^ flip) + kGuard;
        const Lanes out = state * g;
        const Lanes written = input + out + kGuard;
        ringL[slotOf(p)] = written[0];
        ringR[slotOf(p)] = written[1];
        return out;
    };
    std::uint32_t p = writePos + 128u;
    const Lanes a = step(p, flips, __builtin_shufflevector(in, in, 0, 2, 0, 2));
    p = (p & POSITION_MASK) + 128u;
    const Lanes b = step(p, __builtin_shufflevector(flips, flips, 2, 3, 2, 3),
                         __builtin_shufflevector(in, in, 1, 3, 1, 3));
    stateL = state[0];
    stateR = state[1];
    writePos = p & POSITION_MASK;
    return __builtin_shufflevector(a, b, 0, 4, 1, 5);
}
