#include "dsp/TShaper.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    settledValid = slowCurrent = false;
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
    slowCurrent = false;  // the release starts over above
}

void TShaper::setType(int mode) {
    type = std::clamp(mode, 0, MODE_COUNT - 1);
}

void TShaper::setSym(float s) {
    sym = s;
    slopeLow = 0.5f / sym;
    slopeHigh = 0.5f / (1.0f - sym);
}

// The settings that follow every fourth call: release, wave pair and morph, band level.
void TShaper::setSlowControls(float fHz) {
    if (!(shape == releaseShape)) {
        releaseShape = shape;
        // A release above 1 would make the envelope recursion diverge.
        release = std::min(1.0f, std::exp2(-10.0f * shape));
    }
    envRelease = release;
    wavePos = 3.99f * wave;
    waveA = static_cast<std::int32_t>(wavePos);
    waveB = (waveA + 1) % WAVE_COUNT;  // the saw morphs back towards the sine
    morph = wavePos - controlmath::floorOf(wavePos);
    level = 0;
    for (int k = 0; k < WAVE_LEVELS - 1; ++k)
        if (bandEdge[k] < fHz && fHz < bandEdge[k + 1]) level = k;
    if (fHz > bandEdge[WAVE_LEVELS - 1]) level = WAVE_LEVELS - 1;
    slowCurrent = true;
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
    // Set every host sample with settings that mostly rest: what follows from them alone is
    // worked out again only when one of them moved.
    const Settings now{wave, freq, amount, shape, spread, extra, lowFiFilter, type};
    if (settledValid && std::memcmp(&now, &settled, sizeof now) == 0) {
        if (controlCount == 0 && !slowCurrent) setSlowControls(memo.hz);
        controlCount = (controlCount + 1) & 3;
        if (type == LowFi) filter.update(0.0f, true);
        return;
    }
    settled = now;
    settledValid = true;
    slowCurrent = false;
    // Each exponential only when its own argument moves.
    if (!(freq == memo.freq)) {
        memo.freq = freq;
        memo.hz = 0.3125f * std::exp2(16.0f * freq);
    }
    const float fHz = memo.hz;

    if (controlCount == 0) setSlowControls(fHz);
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

namespace {

typedef TShaper::Lanes Lanes;
typedef std::int32_t LaneInts __attribute__((vector_size(16)));

inline Lanes splat(float v) {
    return Lanes{v, v, v, v};
}

// quantise on four lanes, each taking the scalar steps.
inline Lanes quantiseLanes(Lanes v, float levels) {
    const Lanes mag = __builtin_bit_cast(Lanes, __builtin_bit_cast(LaneInts, v) & 0x7fffffff);
    const Lanes two = splat(2.0f);
    const Lanes scaled = (two < mag ? two : mag) * levels;  // std::min(mag, 2)
    const Lanes whole = __builtin_convertvector(__builtin_convertvector(scaled, LaneInts), Lanes);
    const Lanes steps = scaled < 8388608.0f ? whole : scaled;
    const Lanes sign = v > 0.0f ? splat(1.0f) : (v < 0.0f ? splat(-1.0f) : splat(0.0f));
    return controlmath::clampLanes(steps * sign / levels, splat(-1.0f), splat(1.0f));
}

// blockDc on both channels at once: lanes {L, R} of first, then of second, in time order.
inline void blockDcPairs(float& stateL, float& stateR, float coeff, Lanes& first, Lanes& second) {
    Lanes state{stateL, stateR, 0.0f, 0.0f};
    state = (1.0f - coeff) * state + coeff * first + kGuard;
    first = first - state;
    state = (1.0f - coeff) * state + coeff * second + kGuard;
    second = second - state;
    stateL = state[0];
    stateR = state[1];
}

}  // namespace

// lookup on four phases at once.
Lanes TShaper::lookupLanes(Lanes p) const {
    const Lanes q = p <= sym ? p * slopeLow : (p - sym) * slopeHigh + 0.5f;
    const LaneInts last = {WAVE_LENGTH - 1, WAVE_LENGTH - 1, WAVE_LENGTH - 1, WAVE_LENGTH - 1};
    const LaneInts scaled = __builtin_convertvector(q * 65535.99f, LaneInts);
    const LaneInts i = scaled < last ? scaled : last;
    const float* tableA = Waves[waveA][level];
    const float* tableB = Waves[waveB][level];
    const Lanes a{tableA[i[0]], tableA[i[1]], tableA[i[2]], tableA[i[3]]};
    const Lanes b{tableB[i[0]], tableB[i[1]], tableB[i[2]], tableB[i[3]]};
    return a + (b - a) * morph;
}

TShaper::Lanes TShaper::process(Lanes in) {
    const float La = in[0], Lb = in[1], Ra = in[2], Rb = in[3];
    followEnvelope(envL, La, envRelease);
    followEnvelope(envR, Ra, envRelease);

    // Lanes in the order La, Ra, Lb, Rb.
    const Lanes x = __builtin_shufflevector(in, in, 0, 2, 1, 3);
    Lanes y;

    if (type == LowFi) {
        const Lanes f = filter.process(in);  // {La, Lb, Ra, Rb}
        holdChannel(phaseL, incL, f[0], f[1], heldLa, heldLb);
        holdChannel(phaseR, incR, f[2], f[3], heldRa, heldRb);
        const Lanes held{heldLa, heldRa, heldLb, heldRb};
        float u[4];
        DspRandom::drawUnits(u);  // withNoise's draws, in lane order
        const Lanes draws{u[0], u[1], u[2], u[3]};
        y = quantiseLanes(held, quantLevels) * ((1.0f - noise) + noise * draws);
    } else {
        // Plain phases: the second sub-sample one increment on, the next call two.
        Lanes p{phaseL, phaseR, wrapPhase(phaseL + incL), wrapPhase(phaseR + incR)};
        float nextL = wrapPhase(phaseL + 2.0f * incL);
        float nextR = wrapPhase(phaseR + 2.0f * incR);
        switch (type) {
            case FreqMod:
                p[2] = wrapPhase(phaseL + std::exp2(fmDepth * La) * incL);
                p[3] = wrapPhase(phaseR + std::exp2(fmDepth * Ra) * incR);
                nextL = wrapPhase(p[2] + std::exp2(fmDepth * Lb) * incL);
                nextR = wrapPhase(p[3] + std::exp2(fmDepth * Rb) * incR);
                break;
            case PhaseMod: {
                // The +10 keeps ordinary offsets positive; wrapPhase covers the rest.
                const Lanes moved = p + pmDepth * x + 10.0f;
                for (int i = 0; i < 4; ++i) p[i] = wrapPhase(moved[i]);
                break;
            }
            case SymMod:
                // Held strictly inside the cycle so that loud input cannot leave the table;
                // for |symDepth * La| <= 1 the limit never engages.
                setSym(clampTo(0.5f + 0.49f * symDepth * La, 0.01f, 0.99f));
                break;
            default:
                break;
        }
        const Lanes w = lookupLanes(p);
        phaseL = nextL;
        phaseR = nextR;

        switch (type) {
            case RingMod: {
                const Lanes shaped = x >= 0.0f ? x : x * rectify;
                y = ringAmount * w * shaped + (1.0f - ringAmount) * x;
                break;
            }
            case AmpMod:
                y = x * ((1.0f - ringAmount) + ringAmount * (0.5f * w + 0.5f));
                break;
            default:  // the oscillator, shaped by the input's envelope
                y = w * Lanes{envL, envR, envL, envR};
                break;
        }
    }

    // DC blocker, one state per channel, lanes in time order within each.
    Lanes first = y, second = __builtin_shufflevector(y, y, 2, 3, 2, 3);
    blockDcPairs(dcL, dcR, dcCoeff, first, second);
    return __builtin_shufflevector(first, second, 0, 4, 1, 5);
}

// --- wave levels ---

void TShaper::setTables() {
    for (int k = 0; k < WAVE_LEVELS; ++k) bandEdge[k] = waveBandEdge(k);
    slowCurrent = false;  // the band level follows the edges
}
