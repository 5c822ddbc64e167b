#include "dsp/TFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "dsp/ControlMath.h"

using controlmath::clamp01;
using controlmath::clampTo;

namespace {

// Keeps recursive states away from denormal numbers; cheaper than flushing them.
constexpr float kGuard = 1e-15f;
constexpr float kCubic = 0.001f;       // soft clip of the state-variable band state
constexpr float kSixth = 1.0f / 6.0f;  // ladder saturation t - t^3/6
constexpr float kFixedQ = 2.8284271f;  // biquad damping of the 24 and 36 dB types

// Gain after each topology; the input enters at a tenth of its level.
constexpr float OUTPUT_GAIN[TFilter::NUM_TYPES] = {
    1.0f,  10.0f, 10.0f, 10.0f, 10.0f, 20.0f, 10.0f,      10.0f, 10.0f, 10.0f, 10.0f, 10.0f,      10.0f,
    10.0f, 10.0f, 10.0f, 10.0f, 10.0f, 10.0f, 28.284271f, 10.0f, 10.0f, 10.0f, 10.0f, 14.142135f, 10.0f,
    10.0f, 10.0f, 10.0f, 20.0f, 10.0f, 28.3f, 1.5f,       1.5f,  10.0f, 10.0f, 10.0f};

constexpr float FORMANT_HZ[5][4] = {
    {650.0f, 1080.0f, 2650.0f, 2900.0f},  // A
    {400.0f, 1700.0f, 2600.0f, 3200.0f},  // E
    {290.0f, 1870.0f, 2800.0f, 3250.0f},  // I
    {400.0f, 800.0f, 2800.0f, 3000.0f},   // O
    {350.0f, 600.0f, 2700.0f, 2900.0f},   // U
};

// The types whose coefficients depend on the cutoffs only through table entries; the one-pole,
// vowel and formant coefficients take the cutoff itself.
constexpr bool entriesOnly(int type) {
    return !(type == TFilter::Bypass || type == TFilter::LP6 || type == TFilter::HP6 ||
             type == TFilter::LP18 || type == TFilter::HP18 || type == TFilter::Vowel ||
             type == TFilter::Formant1 || type == TFilter::Formant2);
}
constexpr auto READS_ENTRIES_ONLY = [] {
    std::array<bool, TFilter::NUM_TYPES> only{};
    for (int t = 0; t < TFilter::NUM_TYPES; ++t) only[static_cast<std::size_t>(t)] = entriesOnly(t);
    return only;
}();

// Rotation of the three-slot history: next position, then the slot written at a position and
// the slots holding the one- and two-step-old values. Nothing is ever moved.
constexpr std::int32_t NEXT_POSITION[3] = {1, 2, 0};
constexpr std::int32_t NEWEST_SLOT[3] = {2, 1, 0};
constexpr std::int32_t PREVIOUS_SLOT[3] = {0, 2, 1};
constexpr std::int32_t OLDEST_SLOT[3] = {1, 0, 2};

// The whole history after one step from each position: one copy per call.
constexpr TFilter::History historyAt(std::int32_t p) {
    return {p, NEWEST_SLOT[p], PREVIOUS_SLOT[p], OLDEST_SLOT[p]};
}
constexpr TFilter::History HISTORY_AFTER_ONE[3] = {historyAt(NEXT_POSITION[0]), historyAt(NEXT_POSITION[1]),
                                                   historyAt(NEXT_POSITION[2])};

// --- coefficient helpers (update only) ---

typedef TFilter::Lanes Lanes;
typedef TFilter::Biquad Biquad;

inline Lanes splat(float v) {
    return Lanes{v, v, v, v};
}

inline Lanes pair(float left, float right) {
    return Lanes{left, right, left, right};
}

// The biquad helpers work out both channels at once, lanes {left, right, left, right}, each
// lane rounding as the same steps on one float: one division of each kind for both.

// Entries of a table at both channels' cutoffs.
inline Lanes tablePair(const float* table, float fLeft, float fRight) {
    return pair(table[TFilter::tableIndex(fLeft)], table[TFilter::tableIndex(fRight)]);
}

void lowPass2(Biquad& s, float fLeft, float fRight, float q) {
    const Lanes k = tablePair(Filter_12LO_2, fLeft, fRight);
    const Lanes d = 1.0f / (1.001f + q * k + k * k);
    s.b0 = d + kGuard;
    s.b1 = 2.0f * d + kGuard;
    s.b2 = d + kGuard;
    s.a1 = 2.0f * (1.0f - k * k) * d + kGuard;
    s.a2 = (1.0f - q * k + k * k) * d + kGuard;
}

void highPass2(Biquad& s, float fLeft, float fRight, float q) {
    const Lanes k = tablePair(Filter_12HI_2, fLeft, fRight);
    const Lanes d = 1.0f / (1.0f + q * k + k * k);
    s.b0 = d + kGuard;
    s.b1 = kGuard - 2.0f * d;
    s.b2 = d + kGuard;
    s.a1 = 2.0f * (k * k - 1.0f) * d + kGuard;
    s.a2 = (1.0f - q * k + k * k) * d + kGuard;
}

void bandPass2(Biquad& s, float fLeft, float fRight, Lanes g, Lanes sqrtG1, const TFilter::LaneConstants& k) {
    const int left = TFilter::tableIndex(fLeft), right = TFilter::tableIndex(fRight);
    const Lanes alpha = pair(Filter2Sine[left], Filter2Sine[right]) / g;
    const Lanes norm = k.one + alpha;
    s.b0 = k.two * alpha * sqrtG1 / norm;
    s.b1 = Lanes{};
    s.b2 = -s.b0;
    s.a1 = k.minusTwo * pair(Filter2Cos[left], Filter2Cos[right]) / norm;
    s.a2 = (k.one - alpha) / norm;
}

void notch2(Biquad& s, float fLeft, float fRight, float r) {
    const int left = TFilter::tableIndex(fLeft), right = TFilter::tableIndex(fRight);
    const Lanes alpha = pair(Filter2Sine[left], Filter2Sine[right]) / (1.96f * (1.0f - 0.98f * r));
    const Lanes norm = 1.0f + alpha;
    s.b0 = 1.0f / norm;
    s.b2 = s.b0;
    s.b1 = -2.0f * pair(Filter2Cos[left], Filter2Cos[right]) / norm;
    s.a1 = s.b1;
    s.a2 = (1.0f - alpha) / norm;
}

void zeroDelaySections(TFilter::ZeroDelay& z, float fLeft, float fRight, float damping) {
    const Lanes g = tablePair(FilterZTan, fLeft, fRight);
    const Lanes r = splat(damping);
    z.g = g;
    z.damping = 2.0f * r + g;
    z.h = 1.0f / (1.0f + 2.0f * r * g + g * g);
}

void ladderSections(TFilter::Ladder& l, float fLeft, float fRight, float r, float limit) {
    const int left = TFilter::tableIndex(fLeft), right = TFilter::tableIndex(fRight);
    l.p = pair(FilterMFP[left], FilterMFP[right]);
    l.k = pair(FilterMFF[left], FilterMFF[right]);
    l.feedback = pair(FilterMFQ[left], FilterMFQ[right]) * std::min(limit, r) + kGuard;
}

void onePoleSections(TFilter::OnePole& o, float fLeft, float fRight) {
    const Lanes f = pair(fLeft, fRight);
    o.coef = 2.0f * f;
    o.keep = 1.0f - 2.0f * f;
}

// Band-pass section of the Formant types at cutoff * factor.
void formantSection(TFilterChannel& c, int slot, float cutoff, float factor, float g, float sqrtG1,
                    float invRate, float minNorm) {
    const float fn = clampTo((cutoff + 0.001f) * factor * invRate + kGuard, minNorm, 0.2f);
    const int i = TFilter::tableIndex(fn);
    const float alpha = Filter2Sine[i] / g;
    const float norm = 1.0f + alpha;
    c.formantB0[slot] = 2.0f * alpha * sqrtG1 / norm + kGuard;
    c.formantA1[slot] = -2.0f * Filter2Cos[i] / norm + kGuard;
    c.formantA2[slot] = (1.0f - alpha) / norm + kGuard;
}

// --- per-sample steps (process only: multiplies and adds) ---

// Below these magnitudes a saturating cubic term is under half an ulp of the value it would
// change, so skipping it gives the same result and avoids denormal intermediates in silence.
constexpr float kCubicFloor = 1e-3f;
constexpr float kSaturationFloor = 1e-4f;

// The steps' constants in every lane: a vector constant is one load, or none when folded into its
// operation, where a float is spread over the four lanes at each use.
typedef std::int32_t Bits __attribute__((vector_size(16)));
constexpr Lanes everyLane(float v) {
    return Lanes{v, v, v, v};
}
constexpr Lanes CUBIC = everyLane(kCubic), SIXTH = everyLane(kSixth), CUBIC_FLOOR = everyLane(kCubicFloor),
                SATURATION_FLOOR = everyLane(kSaturationFloor), THREE = everyLane(3.0f),
                FOUR = everyLane(4.0f);
constexpr Bits NO_SIGN{0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};

// |v| by clearing the sign.
inline Lanes magnitudeOf(Lanes v) {
    return reinterpret_cast<Lanes>(reinterpret_cast<Bits>(v) & NO_SIGN);
}

inline Lanes cubeAbove(Lanes v, Lanes floor) {
    const Lanes x = magnitudeOf(v) > floor ? v : Lanes{};  // NaN fails the test too
    return x * x * x;
}

inline void svfStep(TFilter::StateVariable& v, Lanes w, Lanes guard) {
    v.band = v.band - CUBIC * cubeAbove(v.band, CUBIC_FLOOR);
    v.high = w - v.low - v.damp * v.band;
    v.band = v.f * v.high + v.band;
    // The guard on the low state gives the band state a small non-zero rest value; without it
    // band and high decay into denormals once the input is silent.
    v.low = v.low + v.f * v.band + guard;
}

inline void ladderStep(TFilter::Ladder& l, Lanes w) {
    const Lanes p = l.p;
    const Lanes k = l.k;
    const Lanes x = w - l.feedback * l.y4;
    const Lanes t1 = (x + l.xOld) * p - k * l.y1;
    const Lanes t2 = (t1 + l.y1) * p - k * l.y2;
    const Lanes t3 = (t2 + l.y2) * p - k * l.y3;
    Lanes t4 = (t3 + l.y3) * p - k * l.y4;
    t4 = t4 - cubeAbove(t4, SATURATION_FLOOR) * SIXTH;
    l.xOld = x;
    l.y1 = t1;
    l.y2 = t2;
    l.y3 = t3;
    l.y4 = t4;
}

// One zero-delay stage on both channels' lanes; kind picks the output (0 low, 1 high, 2 band,
// 3 notch) and bandScale is the band-pass factor.
template <int kind>
inline Lanes zeroDelayStage(TFilter::ZeroDelay& z, int stage, Lanes w, Lanes bandScale, Lanes guard) {
    Lanes& s1 = z.s1[stage];
    Lanes& s2 = z.s2[stage];
    const Lanes hp = (w - z.damping * s1 - s2) * z.h;
    const Lanes gh = z.g * hp;
    const Lanes bp = gh + s1;
    s1 = bp + gh;
    const Lanes gb = z.g * bp;
    const Lanes lp = gb + s2;
    s2 = lp + gb + guard;  // keeps both integrators normal when the stage input is silent
    if constexpr (kind == 0) return lp;
    if constexpr (kind == 1) return hp;
    if constexpr (kind == 2) return bandScale * bp;
    return hp + lp;
}

}  // namespace

void TFilterChannel::clearStates() {
    std::fill(std::begin(formantIn), std::end(formantIn), 0.0f);
    std::fill(std::begin(formantOut), std::end(formantOut), Lanes{});
}

void TFilter::init(float sampleRate) {
    rate = std::max(1.0f, 2.0f * sampleRate);
    invRate = 1.0f / rate;
    minNorm = 10.0f * invRate;
    maxHz = 0.2f * rate;
    maxHzLanes = splat(maxHz);
    invRateLanes = splat(invRate);
    minNormLanes = splat(minNorm);
    targetPosL = targetPosR = posL = posR = minNorm;
    cutoffL = cutoffR = 0.0f;
    type = Bypass;
    laneConstants = laneConstantsOf(type);
    lastType = -1;
    res = lastRes = 0.0f;
    vowel = lastVowel = 0.0f;
    spreadDown = spreadUp = 1.0f;
    drive = 0.0f;
    gain = lastGain = 0.5f;
    std::copy(&FORMANT_HZ[0][0], &FORMANT_HZ[0][0] + 20, &formantHz[0][0]);
    ch[0] = TFilterChannel{};
    ch[1] = TFilterChannel{};
    biquad = Biquad{};
    zeroDelay = ZeroDelay{{}, {}, splat(1.0f), {}, {}};
    onePoleLanes = OnePole{{}, splat(1.0f), {}};
    svfLanes = StateVariable{};
    ladderLanes = Ladder{};
    held = HeldCoefficients{};
    controlsArgument = notANumber();
    pending = 0;
    rest = Rest{};
    history = History{2, 0, 1, 2};
    chooseKernel();
}

void TFilter::applyPending() {
    if ((pending & PENDING_SPREAD) != 0 && !(spreadWanted == spreadArgument)) {
        spreadArgument = spreadWanted;
        spreadUpOf = static_cast<float>(std::exp2(static_cast<double>(spreadWanted)));
        spreadDownOf = 1.0f / spreadUpOf;
        spreadUp = spreadUpOf;
        spreadDown = spreadDownOf;
    }
    if ((pending & PENDING_CONTROLS) != 0) {
        setDistort(controlsArgument[0]);
        setRes(controlsArgument[1]);
        setVowel(controlsArgument[2]);
        setGain(clamp01(controlsArgument[3]));
    }
    pending = 0;
}

TFilter::Lanes TFilter::updateAndProcessPending(float mod, bool smooth, Lanes in) {
    update(mod, smooth);
    return process(in);
}

TFilter::Lanes TFilter::updateCoefficientsAndProcess(Lanes in) {
    updateCoefficients();
    return process(in);
}

void TFilter::reset() {
    history = History{2, 0, 1, 2};
    lastType = -1;
    rest.rests = false;
    vowel = lastVowel = 0.0f;
    ch[0].clearStates();
    ch[1].clearStates();
    biquad.x1 = biquad.x2 = biquad.y1 = biquad.y2 = Lanes{};
    zeroDelay.s1[0] = zeroDelay.s1[1] = zeroDelay.s2[0] = zeroDelay.s2[1] = Lanes{};
    onePoleLanes.state = Lanes{};
    svfLanes.low = svfLanes.band = svfLanes.high = Lanes{};
    Ladder& l = ladderLanes;
    l.xOld = l.y1 = l.y2 = l.y3 = l.y4 = Lanes{};
}

void TFilter::setType(int newType, bool resetIfChanged) {
    newType = std::clamp(newType, 0, NUM_TYPES - 1);
    if (newType == type) return;  // the shaper's filter hears its type every host sample
    if (resetIfChanged) {
        reset();
        cutoffL = cutoffR = -1.0f;
    }
    rest.rests = false;
    type = newType;
    laneConstants.gain = splat(OUTPUT_GAIN[type]);
    chooseKernel();
}

TFilter::LaneConstants TFilter::laneConstantsOf(int type) {
    return LaneConstants{splat(kGuard), splat(1.0f), splat(-1.0f), splat(0.1f), splat(OUTPUT_GAIN[type]),
                         splat(2.0f),   splat(-2.0f)};
}

void TFilter::updateCoefficients() {
    const Lanes normalised = normalisedCutoffs(cutoffL, cutoffR);
    const float fLeft = normalised[0], fRight = normalised[1];
    const float r = res;
    if (READS_ENTRIES_ONLY[type]) {
        const Entries entries = entriesOf(normalised);
        held = HeldCoefficients{entries[0], entries[1], type, r, gain};
    } else {
        held = HeldCoefficients{};
    }
    resonance.follow(r);
    // The single-stage types here, the rest apart: this stays a short leaf for the types that
    // sweep most.
    switch (type) {
        case LP6:
        case HP6:
            onePoleSections(onePoleLanes, fLeft, fRight);
            break;
        case LP1_12:
        case HP1_12:
        case BP1_12:
        case Notch1_12:
            setSvf(fLeft, fRight, 1.0f - r + kGuard);
            break;
        case LP2_12:
            lowPass2(biquad, fLeft, fRight, kFixedQ * (1.0f - r));
            break;
        case HP2_12:
            highPass2(biquad, fLeft, fRight, kFixedQ * (1.0f - r));
            break;
        case BP2_12:
            bandPass2(biquad, fLeft, fRight, resonance.gainLanes, resonance.sqrtGainPlusOneLanes,
                      laneConstants);
            break;
        case Notch2_12:
            notch2(biquad, fLeft, fRight, r);
            break;
        case LPZ_12:
        case HPZ_12:
        case BPZ_12:
        case NotchZ_12: {
            zeroDelaySections(zeroDelay, fLeft, fRight, resonance.zeroDelayDamping(r, 5.0f));
            break;
        }
        default:
            stackedCoefficients(fLeft, fRight);
            break;
    }
}

void TFilter::setSvf(float fLeft, float fRight, float damp) {
    svfLanes.f = tablePair(FilterSine, fLeft, fRight);
    svfLanes.damp = splat(damp);
}

void TFilter::stackedCoefficients(float fLeft, float fRight) {
    const float r = res;
    switch (type) {
        case LP18:
        case HP18:
            onePoleSections(onePoleLanes, fLeft, fRight);
            setSvf(fLeft, fRight, 1.0f - r + kGuard);
            break;
        case LP1_24:
            lowPass2(biquad, fLeft, fRight, kFixedQ);
            setSvf(fLeft, fRight, 1.0f - r);
            break;
        case HP1_24:
            highPass2(biquad, fLeft, fRight, kFixedQ);
            setSvf(fLeft, fRight, 1.0f - r);
            break;
        case BP1_24:
        case Notch1_24:
        case LP2_24:
        case HP2_24:
            ladderSections(ladderLanes, fLeft, fRight, r, 0.83f);
            break;
        case BP2_24:
            bandPass2(biquad, fLeft, fRight, resonance.gainLanes, resonance.sqrtGainPlusOneLanes,
                      laneConstants);
            setSvf(fLeft, fRight, 1.0f - r);
            break;
        case Notch2_24: {
            // One notch from the left cutoff serves both channels.
            notch2(biquad, fLeft, fLeft, r);
            setSvf(fLeft, fRight, 1.0f - r);
            break;
        }
        case LPZ_24:
        case HPZ_24:
        case BPZ_24:
        case NotchZ_24:
            zeroDelaySections(zeroDelay, fLeft, fRight, resonance.zeroDelayDamping(r, 3.0f));
            break;
        case LP36:
            ladderSections(ladderLanes, fLeft, fRight, r, 0.8f);
            lowPass2(biquad, fLeft, fRight, kFixedQ);
            break;
        case HP36:
            ladderSections(ladderLanes, fLeft, fRight, r, 0.8f);
            highPass2(biquad, fLeft, fRight, kFixedQ);
            break;
        case Vowel:
            vowelSections();
            break;
        case Formant1:
        case Formant2:
            formantSections();
            break;
        case LowShelf:
        case HighShelf:
        case PeakShelf:
            shelfSections(fLeft, fRight);
            break;
        default:
            break;
    }
}

// The formant banks and the shelves, worked out apart from the switch so the common types'
// recomputation stays a short leaf.
void TFilter::vowelSections() {
    const float r = res;
    const float cutoff[2] = {cutoffL, cutoffR};
    // Blend two neighbouring vowels; the last one fades back towards A.
    const float s = 4.99f * vowel;
    const int i = static_cast<int>(s);
    const int j = i < 4 ? i + 1 : 0;
    const float t = s - static_cast<float>(i);
    // The four sections side by side, each lane rounding as the same steps on one float.
    const auto row = [](const float(&hz)[4]) { return Lanes{hz[0], hz[1], hz[2], hz[3]}; };
    const Lanes hz = row(formantHz[i]) * (1.0f - t) + row(formantHz[j]) * t;
    const float q = 0.2f + 0.399f * r;
    for (int c = 0; c < 2; ++c) {
        const float transpose = std::min(maxHz, cutoff[c]) / 440.0f;
        const Lanes fn = controlmath::clampLanes(hz * transpose * invRate, minNormLanes, splat(0.2f));
        const Entries at = entriesOf(q * fn), of = entriesOf(fn);
        const Lanes vc{FilterVoxC[at[0]], FilterVoxC[at[1]], FilterVoxC[at[2]], FilterVoxC[at[3]]};
        const Lanes vd{FilterVoxD[of[0]], FilterVoxD[of[1]], FilterVoxD[of[2]], FilterVoxD[of[3]]};
        const Lanes e = 1.0f / (vc + 1.0f);
        ch[c].formantB0 = e + kGuard;
        ch[c].formantA1 = kGuard - vd * vc * e;
        ch[c].formantA2 = (vc - 1.0f) * e + kGuard;
    }
}

// Both channels' shelving sections, lanes {left, right, left, right}.
void TFilter::shelfSections(float fLeft, float fRight) {
    const ShelfTerms& terms = shelfTerms.follow(type == PeakShelf, gain, res);
    const float A = terms.A;
    const int left = tableIndex(fLeft), right = tableIndex(fRight);
    const Lanes cs = pair(Filter2Cos[left], Filter2Cos[right]);
    const Lanes alpha = pair(Filter2Sine[left], Filter2Sine[right]) / terms.twoS;
    const Lanes m = terms.twoSqrtA * alpha;
    Lanes b0, b1, b2, a0, a1, a2;
    switch (type) {
        case LowShelf:
            b0 = A * ((A + 1.0f) - (A - 1.0f) * cs + m);
            b1 = 2.0f * A * ((A - 1.0f) - (A + 1.0f) * cs);
            b2 = A * ((A + 1.0f) - (A - 1.0f) * cs - m);
            a0 = (A + 1.0f) + (A - 1.0f) * cs + m;
            a1 = -2.0f * ((A - 1.0f) + (A + 1.0f) * cs);
            a2 = (A + 1.0f) + (A - 1.0f) * cs - m;
            break;
        case HighShelf:
            b0 = A * ((A + 1.0f) + (A - 1.0f) * cs + m);
            b1 = -2.0f * A * ((A - 1.0f) + (A + 1.0f) * cs);
            b2 = A * ((A + 1.0f) + (A - 1.0f) * cs - m);
            a0 = (A + 1.0f) - (A - 1.0f) * cs + m;
            a1 = 2.0f * ((A - 1.0f) - (A + 1.0f) * cs);
            a2 = (A + 1.0f) - (A - 1.0f) * cs - m;
            break;
        default:  // peak
            b0 = 1.0f + alpha * A;
            b1 = -2.0f * cs;
            b2 = 1.0f - alpha * A;
            a0 = 1.0f + alpha / A;
            a1 = -2.0f * cs;
            a2 = 1.0f - alpha / A;
            break;
    }
    biquad.b0 = b0 / a0;
    biquad.b1 = b1 / a0;
    biquad.b2 = b2 / a0;
    biquad.a1 = a1 / a0;
    biquad.a2 = a2 / a0;
}

void TFilter::formantSections() {
    const float cutoff[2] = {cutoffL, cutoffR};
    const float g = resonance.gain;
    const float sqrtG1 = resonance.sqrtGainPlusOne;
    const float down = std::exp2(-2.0f * vowel);
    const float up = std::exp2(2.0f * vowel);
    // Formant 1 puts each of its two sections in two slots, so each counts twice.
    const float factors[4] = {down, type == Formant1 ? up : std::exp2(-2.0f * vowel / 3.0f),
                              type == Formant1 ? down : std::exp2(2.0f * vowel / 3.0f), up};
    for (int c = 0; c < 2; ++c)
        for (int n = 0; n < 4; ++n)
            formantSection(ch[c], n, cutoff[c], factors[n], g, sqrtG1, invRate, minNorm);
}

inline void TFilter::advanceHistory() {
    history = HISTORY_AFTER_ONE[history.position];
}

void TFilter::process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb,
                      float& oRb) {
    controlmath::processScalars(*this, La, Ra, Lb, Rb, oLa, oRa, oLb, oRb);
}

using controlmath::clampLanes;

// Both sub-samples of both channels through their biquads, the history held in registers between
// them. u holds {La, Lb, Ra, Rb}; so does the result. The guard keeps the output history normal
// for high- and band-pass sections, whose response to the constant guard at the input is zero.
inline TFilter::Lanes TFilter::biquadBoth(Lanes u) {
    typedef std::int32_t Pick __attribute__((vector_size(16)));
    Biquad& q = biquad;
    const Lanes ua = __builtin_shuffle(u, Pick{0, 2, 0, 2}), ub = __builtin_shuffle(u, Pick{1, 3, 1, 3});
    const Lanes x1 = q.x1, x2 = q.x2, y1 = q.y1, y2 = q.y2;
    const Lanes guard = laneConstants.guard;
    const Lanes ya = q.b0 * ua + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2 + guard;
    const Lanes yb = q.b0 * ub + q.b1 * ua + q.b2 * x1 - q.a1 * ya - q.a2 * y1 + guard;
    q.x1 = ub;
    q.x2 = ua;
    q.y1 = yb;
    q.y2 = ya;
    return __builtin_shuffle(ya, yb, Pick{0, 4, 1, 5});
}

// Both sub-samples of both channels through the zero-delay sections: one stage, its band-pass
// doubled, or two, the second one's quadrupled. u and the result hold {La, Lb, Ra, Rb}.
template <int kind, bool twoStages>
inline TFilter::Lanes TFilter::zeroDelayBoth(Lanes u) {
    typedef std::int32_t Pick __attribute__((vector_size(16)));
    const Lanes guard = laneConstants.guard;
    const auto run = [&](Lanes w) {
        if constexpr (twoStages) {
            const Lanes first = zeroDelayStage<kind>(zeroDelay, 0, w, laneConstants.one, guard);
            return zeroDelayStage<kind>(zeroDelay, 1, first, FOUR, guard);
        }
        return zeroDelayStage<kind>(zeroDelay, 0, w, laneConstants.two, guard);
    };
    const Lanes ya = run(__builtin_shuffle(u, Pick{0, 2, 0, 2}));
    const Lanes yb = run(__builtin_shuffle(u, Pick{1, 3, 1, 3}));
    return __builtin_shuffle(ya, yb, Pick{0, 4, 1, 5});
}

// Both sub-samples of both channels through the one-pole, state-variable and ladder sections of
// type t, and the biquad before them where t stacks one: {left, right} lanes, the sub-samples one
// after the other. u and the result hold {La, Lb, Ra, Rb}.
template <int t>
inline TFilter::Lanes TFilter::sectionsBoth(Lanes u) {
    typedef std::int32_t Pick __attribute__((vector_size(16)));
    const Lanes guard = laneConstants.guard;
    constexpr bool stacked =
        t == LP1_24 || t == HP1_24 || t == BP2_24 || t == Notch2_24 || t == LP36 || t == HP36;
    Lanes in = u;
    if constexpr (stacked) in = biquadBoth(u);
    const Lanes wa = __builtin_shuffle(in, Pick{0, 2, 0, 2}), wb = __builtin_shuffle(in, Pick{1, 3, 1, 3});
    OnePole& o = onePoleLanes;
    StateVariable& v = svfLanes;
    Ladder& l = ladderLanes;
    // One sub-sample w through the sections; its output.
    const auto step = [&](Lanes w) {
        if constexpr (t == LP6 || t == HP6) {
            o.state = o.keep * o.state + o.coef * w + guard;
            return t == LP6 ? o.state : w - o.state;
        } else if constexpr (t == BP1_24 || t == Notch1_24 || t == LP2_24 || t == HP2_24 || t == LP36 ||
                             t == HP36) {
            ladderStep(l, w);
            if constexpr (t == BP1_24) return l.y3 - l.y4;
            if constexpr (t == Notch1_24) return w - THREE * (l.y3 - l.y4);
            if constexpr (t == LP2_24 || t == LP36) return l.y4;
            if constexpr (t == HP2_24) return l.xOld - l.feedback * l.y4 - l.y4;
            return w - l.y4;
        } else {
            svfStep(v, w, guard);
            if constexpr (t == LP1_12 || t == LP1_24 || t == LP18) return v.low;
            if constexpr (t == HP1_12 || t == HP1_24 || t == HP18) return v.high;
            if constexpr (t == BP1_12 || t == BP2_24) return v.band;
            return v.high + v.low;
        }
    };
    Lanes ya, yb;
    if constexpr (t == LP18 || t == HP18) {
        // The one-pole runs once per call, on the first sub-sample only.
        o.state = o.keep * o.state + o.coef * wa + guard;
        const Lanes w = (t == LP18 ? o.state : wa - o.state) + guard;
        ya = step(w);
        yb = step(w);
    } else {
        ya = step(wa);
        yb = step(wb);
    }
    return __builtin_shuffle(ya, yb, Pick{0, 4, 1, 5});
}

// The formant banks of both channels, per channel; u holds {La, Lb, Ra, Rb}.
TFilter::Lanes TFilter::formantBoth(Lanes uv) {
    // [channel][sub-sample]
    const float u[2][2] = {{uv[0], uv[1]}, {uv[2], uv[3]}};
    float out[2][2] = {};
    // Runs once per call on the first sub-sample; both outputs carry the result.
    for (int c = 0; c < 2; ++c) {
        TFilterChannel& k = ch[c];
        const float d = u[c][0] - k.formantIn[history.oldest];
        k.formantIn[history.newest] = u[c][0];
        // The four sections side by side. The input difference is exactly 0 in silence, so the
        // sections need their own guard to stay clear of denormals as they ring out.
        const Lanes ys = k.formantB0 * d - k.formantA1 * k.formantOut[history.previous] -
                         k.formantA2 * k.formantOut[history.oldest] + laneConstants.guard;
        k.formantOut[history.newest] = ys;
        const float sum = 0.0f + ys[0] + ys[1] + ys[2] + ys[3];  // summed in the sections' order
        out[c][0] = out[c][1] = sum + kGuard;
    }
    advanceHistory();
    return Lanes{out[0][0], out[0][1], out[1][0], out[1][1]};
}

// Lanes in, lanes out, after the saturation: type t's sections, without the output gain.
template <int t>
inline TFilter::Lanes TFilter::sectionsOf(Lanes uv) {
    if constexpr (t == LP2_12 || t == HP2_12 || t == BP2_12 || t == Notch2_12 || t == LowShelf ||
                  t == HighShelf || t == PeakShelf)
        return biquadBoth(uv);
    else if constexpr (t >= LPZ_12 && t <= NotchZ_12)
        return zeroDelayBoth<t - LPZ_12, false>(uv);
    else if constexpr (t >= LPZ_24 && t <= NotchZ_24)
        return zeroDelayBoth<t - LPZ_24, true>(uv);
    else if constexpr (t == Vowel || t == Formant1 || t == Formant2)
        return formantBoth(uv);
    else
        return sectionsBoth<t>(uv);
}

// process for type t, with or without drive: chosen whenever either moves.
template <int t, bool driven>
TFilter::Lanes TFilter::kernelOf(TFilter& f, Lanes x) {
    const LaneConstants& k = f.laneConstants;
    // Soft saturation (x + kx) / (1 + |kx|), kx = drive * x, then a hard limit at +-1, on the
    // four lanes at once.
    Lanes distorted;
    if constexpr (driven) {
        const Lanes kx = f.drive * x + k.guard;
        // |kx| by clearing the sign: where that differs from kx < 0 ? -kx : kx (a NaN's sign) the
        // quotient is NaN either way and the limit makes it -1.
        distorted = clampLanes((x + kx) / (k.one + magnitudeOf(kx)), k.minusOne, k.one) + k.guard;
    } else {
        // With no drive the curve is the identity (1 + |kx| rounds to 1): skip its division.
        distorted = clampLanes(x + k.guard, k.minusOne, k.one) + k.guard;
    }
    if constexpr (t == Bypass) {
        return distorted;
    } else {
        const Lanes uv = clampLanes(k.tenth * distorted, k.minusOne, k.one);
        return f.sectionsOf<t>(uv) * f.laneConstants.gain;
    }
}

template <std::size_t... t>
constexpr TFilter::Kernels TFilter::kernelsOf(std::index_sequence<t...>) {
    return {{{&kernelOf<static_cast<int>(t), false>...}, {&kernelOf<static_cast<int>(t), true>...}}};
}

// The kernel a filter starts with, before its first init.
template TFilter::Lanes TFilter::kernelOf<TFilter::Bypass, false>(TFilter&, Lanes);

void TFilter::chooseKernel() {
    static constexpr Kernels KERNELS = kernelsOf(std::make_index_sequence<NUM_TYPES>{});
    kernel = KERNELS[drive > 0.0f ? 1 : 0][static_cast<std::size_t>(type)];
}
