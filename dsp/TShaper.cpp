#include "dsp/TShaper.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dsp/ControlMath.h"
#include "dsp/DspRandom.h"

using controlmath::clamp01;
using controlmath::clampTo;
using controlmath::wrapPhase;

namespace {

constexpr float kGuard = 1e-15f;

// Integer part of a non-negative value without an integer overflow for huge values.
inline float truncNonNegative(float x) {
    return x < 8388608.0f ? static_cast<float>(static_cast<std::int32_t>(x)) : x;
}

inline float quantise(float v, float levels) {
    const float mag = std::fabs(v);
    // Anything from 2 up lands on the +-1 limit below either way; 2 keeps the product small.
    const float steps = truncNonNegative(std::min(mag, 2.0f) * levels);
    const float sign = v > 0.0f ? 1.0f : (v < 0.0f ? -1.0f : 0.0f);
    return clampTo(steps * sign / levels, -1.0f, 1.0f);
}

inline float withNoise(float v, float noise) {
    return v * ((1.0f - noise) + noise * DspRandom::drawUnit());
}

inline void followEnvelope(float& env, float in, float release) {
    const float e = std::fabs(in);
    // The guard keeps a decaying envelope out of denormals during long silence.
    env = e > env ? e : release * e + (1.0f - release) * env + kGuard;
}

inline float blockDc(float& state, float y, float coeff) {
    state = (1.0f - coeff) * state + coeff * y + kGuard;
    return y - state;
}

// Sample-and-hold of one channel over its two sub-samples. The channel holds one value: each
// sub-sample puts out what is held after its own step. Separate registers per sub-sample would
// leave one of them at its old value for good whenever the hold steps always land on the other
// sub-sample (every hold rate of 88.2 kHz / 2^k), halving the level.
inline void holdChannel(float& phase, float inc, float a, float b, float& heldA, float& heldB) {
    float held = heldB;  // what the channel holds since its last step
    phase += inc;
    if (phase >= 1.0f) held = a;
    heldA = held;
    phase = inc + wrapPhase(phase);
    if (phase >= 1.0f) held = b;
    heldB = held;
    phase = wrapPhase(phase);
}

}  // namespace

TShaper::TShaper() {
    init(44100.0f);
}

void TShaper::init(float sampleRate) {
    const float hostRate = std::max(1000.0f, sampleRate);
    rate = 2.0f * hostRate;
    invHostRate = 1.0f / hostRate;
    dcCoeff = 30.0f / rate;
    type = RingMod;
    level = waveA = waveB = 0;
    wavePos = morph = 0.0f;
    std::fill(std::begin(smoothed), std::end(smoothed), 0.0f);
    wave = freq = amount = shape = 0.0f;
    envL = envR = 0.0f;
    phaseL = phaseR = 0.0f;
    incL = incR = 0.0f;
    ringAmount = noise = 0.0f;
    fmDepth = pmDepth = 0.0f;
    dcL = dcR = 0.0f;
    heldLa = heldLb = heldRa = heldRb = 0.0f;
    rectify = 1.0f;
    sym = 0.5f;
    slopeLow = slopeHigh = 1.0f;
    symDepth = 0.5f;
    envRelease = 0.1f;
    quantLevels = 1.0f;
    controlCount = 0;
    filter.init(hostRate);
    filter.setType(TFilter::BPZ_12, true);
    // Every shaper needs its own band edges and the shared waves, not only the first one.
    setTables();
}

void TShaper::reset() {
    envL = envR = 0.0f;
    envRelease = 0.1f;
    phaseL = phaseR = 0.0f;
    dcL = dcR = 0.0f;
    controlCount = 0;
    heldLa = heldLb = heldRa = heldRb = 0.0f;
}

void TShaper::setType(int mode) {
    type = std::clamp(mode, 0, MODE_COUNT - 1);
}

void TShaper::setSym(float s) {
    sym = s;
    slopeLow = 0.5f / sym;
    slopeHigh = 0.5f / (1.0f - sym);
}

void TShaper::setDistort(float waveIn, float freqIn, float amountIn, float shapeIn, float spread,
                         float waveMod, float freqMod, float amountMod, float shapeMod, float extra,
                         float lowFiFilter, bool firstFrame) {
    const float in[4] = {waveIn, freqIn, amountIn, shapeIn};
    for (int k = 0; k < 4; ++k) smoothed[k] = firstFrame ? in[k] : 0.1f * in[k] + 0.9f * smoothed[k];
    wave = clamp01(smoothed[0] + waveMod);
    freq = std::min(clamp01(smoothed[1] + freqMod), 0.97f);
    amount = smoothed[2] + amountMod;
    shape = smoothed[3] + shapeMod;
    // Set every host sample with settings that mostly rest: each exponential only when its
    // argument moves.
    if (!(freq == memo.freq)) {
        memo.freq = freq;
        memo.hz = 0.3125f * std::exp2(16.0f * freq);
    }
    const float fHz = memo.hz;

    if (controlCount == 0) {
        // A release above 1 would make the envelope recursion diverge.
        envRelease = std::min(1.0f, std::exp2(-10.0f * shape));
        wavePos = 3.99f * wave;
        waveA = static_cast<std::int32_t>(wavePos);
        waveB = (waveA + 1) % WAVE_COUNT;  // the saw morphs back towards the sine
        morph = wavePos - controlmath::floorOf(wavePos);
        level = 0;
        for (int k = 0; k < WAVE_LEVELS - 1; ++k)
            if (bandEdge[k] < fHz && fHz < bandEdge[k + 1]) level = k;
        if (fHz > bandEdge[WAVE_LEVELS - 1]) level = WAVE_LEVELS - 1;
    }
    controlCount = (controlCount + 1) & 3;  // only "a multiple of 4" matters; never overflows

    if (!(spread == memo.spread)) {
        memo.spread = spread;
        memo.spreadUp = std::exp2(spread);
        memo.spreadDown = std::exp2(-spread);
    }
    const float spreadUp = memo.spreadUp;
    const float spreadDown = memo.spreadDown;
    incL = fHz * invHostRate * spreadUp;
    incR = fHz * invHostRate * spreadDown;

    switch (type) {
        case RingMod:
        case AmpMod:
            ringAmount = clamp01(amount);
            setSym(0.05f + 0.9f * clamp01(shape));
            rectify = 1.0f - 2.0f * clamp01(extra);
            break;
        case FreqMod:
        case PhaseMod:
            fmDepth = 9.0f * amount;
            pmDepth = 5.0f * amount;
            setSym(0.05f + 0.9f * clamp01(0.5f * extra + 0.5f));
            break;
        case SymMod:
            symDepth = amount;
            break;
        case LowFi: {
            static constexpr int LOWFI_TYPES[4] = {TFilter::Bypass, TFilter::LPZ_12, TFilter::HPZ_12,
                                                   TFilter::BPZ_12};
            const int row = lowFiFilterRow(lowFiFilter);
            if (row >= 0) filter.setType(LOWFI_TYPES[row], true);
            filter.targetPosL = filter.targetPosR = wave;
            filter.spreadDown = filter.spreadUp = 1.0f;
            filter.res = 0.95f * freq;
            filter.update(0.0f, true);
            const float hold = 44100.0f * invHostRate / std::exp2(5.0f * amount);
            incL = spreadUp * hold;
            incR = spreadDown * hold;
            quantLevels = std::exp2((1.0f - shape) * 14.0f + 2.0f);
            noise = extra * extra * extra;
            break;
        }
        default:
            break;
    }
}

float TShaper::lookup(float p) const {
    const float q = p <= sym ? p * slopeLow : (p - sym) * slopeHigh + 0.5f;
    // Rounding can put q a hair above 1 for a phase just below 1; stay inside the cycle.
    const int i = std::min(static_cast<int>(q * 65535.99f), WAVE_LENGTH - 1);
    const float a = Waves[waveA][level][i];
    const float b = Waves[waveB][level][i];
    return a + (b - a) * morph;
}

void TShaper::getWave(float p1, float p2, float p3, float p4, float& w1, float& w2, float& w3,
                      float& w4) const {
    w1 = lookup(p1);
    w2 = lookup(p2);
    w3 = lookup(p3);
    w4 = lookup(p4);
}

void TShaper::process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb,
                      float& oRb) {
    controlmath::processScalars(*this, La, Ra, Lb, Rb, oLa, oRa, oLb, oRb);
}

TShaper::Lanes TShaper::process(Lanes in) {
    const float La = in[0], Lb = in[1], Ra = in[2], Rb = in[3];
    followEnvelope(envL, La, envRelease);
    followEnvelope(envR, Ra, envRelease);

    // Lanes in the order La, Ra, Lb, Rb.
    const float x[4] = {La, Ra, Lb, Rb};
    float y[4];

    if (type == LowFi) {
        const Lanes f = filter.process(in);  // {La, Lb, Ra, Rb}
        holdChannel(phaseL, incL, f[0], f[1], heldLa, heldLb);
        holdChannel(phaseR, incR, f[2], f[3], heldRa, heldRb);
        const float held[4] = {heldLa, heldRa, heldLb, heldRb};
        for (int i = 0; i < 4; ++i) y[i] = withNoise(quantise(held[i], quantLevels), noise);
    } else {
        // Plain phases: the second sub-sample one increment on, the next call two.
        float p[4] = {phaseL, phaseR, wrapPhase(phaseL + incL), wrapPhase(phaseR + incR)};
        float nextL = wrapPhase(phaseL + 2.0f * incL);
        float nextR = wrapPhase(phaseR + 2.0f * incR);
        switch (type) {
            case FreqMod:
                p[2] = wrapPhase(phaseL + std::exp2(fmDepth * La) * incL);
                p[3] = wrapPhase(phaseR + std::exp2(fmDepth * Ra) * incR);
                nextL = wrapPhase(p[2] + std::exp2(fmDepth * Lb) * incL);
                nextR = wrapPhase(p[3] + std::exp2(fmDepth * Rb) * incR);
                break;
            case PhaseMod:
                // The +10 keeps ordinary offsets positive; wrapPhase covers the rest.
                for (int i = 0; i < 4; ++i) p[i] = wrapPhase(p[i] + pmDepth * x[i] + 10.0f);
                break;
            case SymMod:
                // Held strictly inside the cycle so that loud input cannot leave the table;
                // for |symDepth * La| <= 1 the limit never engages.
                setSym(clampTo(0.5f + 0.49f * symDepth * La, 0.01f, 0.99f));
                break;
            default:
                break;
        }
        float w[4];
        getWave(p[0], p[1], p[2], p[3], w[0], w[1], w[2], w[3]);
        phaseL = nextL;
        phaseR = nextR;

        const float env[4] = {envL, envR, envL, envR};
        for (int i = 0; i < 4; ++i) {
            switch (type) {
                case RingMod: {
                    const float shaped = x[i] >= 0.0f ? x[i] : x[i] * rectify;
                    y[i] = ringAmount * w[i] * shaped + (1.0f - ringAmount) * x[i];
                    break;
                }
                case AmpMod:
                    y[i] = x[i] * ((1.0f - ringAmount) + ringAmount * (0.5f * w[i] + 0.5f));
                    break;
                default:  // the oscillator, shaped by the input's envelope
                    y[i] = w[i] * env[i];
                    break;
            }
        }
    }

    // DC blocker, one state per channel, lanes in time order within each.
    const float oLa = blockDc(dcL, y[0], dcCoeff);
    const float oRa = blockDc(dcR, y[1], dcCoeff);
    const float oLb = blockDc(dcL, y[2], dcCoeff);
    const float oRb = blockDc(dcR, y[3], dcCoeff);
    return Lanes{oLa, oLb, oRa, oRb};
}

// --- wave levels ---

void TShaper::setTables() {
    for (int k = 0; k < WAVE_LEVELS; ++k) bandEdge[k] = waveBandEdge(k);
}
