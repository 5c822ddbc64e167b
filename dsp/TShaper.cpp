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

inline void followEnvelope(float& env, float in, float release) {
    const float e = std::fabs(in);
    // The guard keeps a decaying envelope out of denormals during long silence.
    env = e > env ? e : release * e + (1.0f - release) * env + kGuard;
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
    settled.forget();
    slowCurrent = false;
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

void TShaper::applyDistort(float spread, float extra, float lowFiFilter) {
    slowCurrent = false;
    filterDue = false;  // the Low-Fi case below updates the filter itself
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

// wrapPhase on four lanes: the usual phases side by side, any other lane as wrapPhase takes it.
inline Lanes wrapLanes(Lanes x) {
    typedef std::int64_t Halves __attribute__((vector_size(16)));
    const LaneInts usual = (x >= 0.0f) & (x < 8388608.0f);
    Lanes r = x - __builtin_convertvector(__builtin_convertvector(x, LaneInts), Lanes);
    const Halves both = __builtin_bit_cast(Halves, usual);
    if ((both[0] & both[1]) != -1)
        for (int i = 0; i < 4; ++i) r[i] = wrapPhase(x[i]);
    return r;
}

// Sample-and-hold of both channels over their two sub-samples, lanes {L, R, L, R}; a and b the
// sub-samples' inputs. A channel holds one value: each sub-sample puts out what is held after its
// own step. Separate registers per sub-sample would leave one of them at its old value for good
// whenever the hold steps always land on the other sub-sample (every hold rate of 88.2 kHz / 2^k),
// halving the level. Gives what the channel holds after each: {La, Ra, Lb, Rb}.
inline Lanes holdChannels(Lanes& phase, Lanes inc, Lanes a, Lanes b, Lanes held) {
    phase = phase + inc;
    const Lanes first = phase >= 1.0f ? a : held;
    phase = inc + wrapLanes(phase);
    const Lanes second = phase >= 1.0f ? b : first;
    phase = wrapLanes(phase);
    return __builtin_shufflevector(first, second, 0, 1, 4, 5);
}

// The quantiser on four lanes: |v| (at most 2) times levels, its integer part (values past 2^23
// and NaN stay as they are), with v's sign over levels, held to -1..1. Anything from 2 up lands
// on the limit either way; 2 keeps the product small.
inline Lanes quantiseLanes(Lanes v, float levels) {
    const Lanes mag = __builtin_bit_cast(Lanes, __builtin_bit_cast(LaneInts, v) & 0x7fffffff);
    const Lanes two = splat(2.0f);
    const Lanes scaled = (two < mag ? two : mag) * levels;  // std::min(mag, 2)
    const Lanes whole = __builtin_convertvector(__builtin_convertvector(scaled, LaneInts), Lanes);
    const Lanes steps = scaled < 8388608.0f ? whole : scaled;
    const Lanes sign = v > 0.0f ? splat(1.0f) : (v < 0.0f ? splat(-1.0f) : splat(0.0f));
    return controlmath::clampLanes(steps * sign / levels, splat(-1.0f), splat(1.0f));
}

// The DC blocker, one state per channel, on both channels at once: lanes {L, R} of first, then of
// second, in time order.
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
[[gnu::always_inline]] inline Lanes TShaper::lookupLanes(Lanes p) const {
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
        // {La, Lb, Ra, Rb}
        const Lanes f = filterDue ? filter.updateAndProcess<true>(0.0f, true, in) : filter.process(in);
        filterDue = false;
        Lanes phases{phaseL, phaseR, phaseL, phaseR};
        const Lanes held =
            holdChannels(phases, Lanes{incL, incR, incL, incR}, __builtin_shufflevector(f, f, 0, 2, 0, 2),
                         __builtin_shufflevector(f, f, 1, 3, 1, 3), Lanes{heldLb, heldRb, heldLb, heldRb});
        phaseL = phases[0];
        phaseR = phases[1];
        heldLa = held[0];
        heldRa = held[1];
        heldLb = held[2];
        heldRb = held[3];
        // withNoise's draws, in lane order.
        y = quantiseLanes(held, quantLevels) * ((1.0f - noise) + noise * DspRandom::drawUnitLanes());
    } else {
        // Plain phases: the second sub-sample one increment on, the next call two.
        const Lanes ahead =
            wrapLanes(Lanes{phaseL, phaseR, phaseL, phaseR} + Lanes{incL, incR, 2.0f * incL, 2.0f * incR});
        Lanes p{phaseL, phaseR, ahead[0], ahead[1]};
        float nextL = ahead[2];
        float nextR = ahead[3];
        switch (type) {
            case FreqMod:
                p[2] = wrapPhase(phaseL + std::exp2(fmDepth * La) * incL);
                p[3] = wrapPhase(phaseR + std::exp2(fmDepth * Ra) * incR);
                nextL = wrapPhase(p[2] + std::exp2(fmDepth * Lb) * incL);
                nextR = wrapPhase(p[3] + std::exp2(fmDepth * Rb) * incR);
                break;
            case PhaseMod:
                // The +10 keeps ordinary offsets positive; wrapPhase covers the rest.
                p = wrapLanes(p + pmDepth * x + 10.0f);
                break;
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
