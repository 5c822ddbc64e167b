#pragma once

// Stereo multimode filter with 37 types: one-pole, state-variable, biquad, zero-delay
// state-variable, four-stage ladder, formant banks and shelving equalisers. It runs two
// sub-samples per channel per host sample at twice the host rate. Every cutoff-dependent
// coefficient comes from process-wide lookup tables, so update() needs no transcendental
// function for the common types and process() is plain multiplies and adds.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "dsp/ControlMath.h"

#include "dsp/DspTables.h"

// The cutoff tables, built with the program, read only by update().
inline constexpr const auto& FilterFreqPow2 = FILTER_TABLES.freqPow2;
inline constexpr const auto& FilterSine = FILTER_TABLES.sine;
inline constexpr const auto& Filter2Sine = FILTER_TABLES.twoSine;
inline constexpr const auto& Filter2Cos = FILTER_TABLES.twoCos;
inline constexpr const auto& Filter_12LO_2 = FILTER_TABLES.lowPass12;
inline constexpr const auto& Filter_12HI_2 = FILTER_TABLES.highPass12;
inline constexpr const auto& FilterMFF = FILTER_TABLES.mff;
inline constexpr const auto& FilterMFQ = FILTER_TABLES.mfq;
inline constexpr const auto& FilterMFP = FILTER_TABLES.mfp;
inline constexpr const auto& FilterZTan = FILTER_TABLES.zTan;
inline constexpr const auto& FilterVoxC = FILTER_TABLES.voxC;
inline constexpr const auto& FilterVoxD = FILTER_TABLES.voxD;

// Coefficients and states of one channel (left or right) of the formant types.
struct TFilterChannel {
    // formant bank: four band-pass sections fed by the input difference u[n] - u[n-2]
    controlmath::FourLanes formantB0{}, formantA1{}, formantA2{};  // the four sections side by side
    float formantIn[3] = {};
    controlmath::FourLanes formantOut[3] = {};  // per history slot, the four sections' outputs

    void clearStates();
};

class TFilter {
public:
    static constexpr int NUM_TYPES = 37;
    enum Type : std::int32_t {
        Bypass,
        LP6,
        HP6,
        LP1_12,
        HP1_12,
        BP1_12,
        Notch1_12,
        LP2_12,
        HP2_12,
        BP2_12,
        Notch2_12,
        LPZ_12,
        HPZ_12,
        BPZ_12,
        NotchZ_12,
        LP18,
        HP18,
        LP1_24,
        HP1_24,
        BP1_24,
        Notch1_24,
        LP2_24,
        HP2_24,
        BP2_24,
        Notch2_24,
        LPZ_24,
        HPZ_24,
        BPZ_24,
        NotchZ_24,
        LP36,
        HP36,
        Vowel,
        Formant1,
        Formant2,
        LowShelf,
        HighShelf,
        PeakShelf
    };

    // Table index of a value in 0..1 (clamped; NaN reads entry 0); 1 reads the last entry.
    static int tableIndex(float value) {
        return static_cast<int>(controlmath::clamp01(value) * 262143.984375f);
    }

    // Prepares the filter for a host rate (it runs at twice that rate); silent, type 0.
    void init(float sampleRate);
    // Clears every history and forces a recomputation; coefficients and controls stay.
    void reset();
    void setType(int newType, bool resetIfChanged);
    void setFrequency(float freq, float spread, float modL, float modR);
    void setRes(float r);
    void setVowel(float v);
    void setDistort(float d);
    void setGain(float g);
    // Moves the cutoffs (gliding when smooth) and recomputes coefficients when an input moved.
    void update(float mod, bool smooth);
    // One host sample: La, Lb are the left channel's two sub-samples in time order.
    void process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb, float& oRb);
    // The same on the four lanes {La, Lb, Ra, Rb} of one vector; each lane rounds as the same
    // steps on one float.
    typedef float Lanes __attribute__((vector_size(16)));
    Lanes process(Lanes in) { return kernel(*this, in); }
    // Lanes {drive, resonance, vowel, gain} for the four setters, the gain held to 0..1, run by the
    // next update only when a lane moved (after any setter called in between).
    void setControls(Lanes controls);
    // update, then process: what the engine runs every host sample. With skipRest, an update
    // that would repeat the last one, which found the positions where they were and changed
    // nothing, is left out: on the same fields it changes nothing either. Every setter,
    // setType, reset, init and update without skipRest make the next one run; a field written
    // directly is seen only by such a run.
    template <bool skipRest = false>
    Lanes updateAndProcess(float mod, bool smooth, Lanes in);

    // selection
    std::int32_t type = 0;
    std::int32_t lastType = -1;
    // rotating history of the formant sections: its position and the slots holding the newest,
    // the one-step-old and the two-step-old values there
    struct History {
        std::int32_t position, newest, previous, oldest;
    };
    History history{2, 0, 1, 2};
    // rates
    float rate = 88200.0f;
    float invRate = 1.0f / 88200.0f;
    // cutoff
    float targetPosL = 0.0f, targetPosR = 0.0f;
    float posL = 0.0f, posR = 0.0f;
    float cutoffL = 0.0f, cutoffR = 0.0f;
    // limits
    float minNorm = 0.0f;
    float maxHz = 0.0f;
    // controls
    float res = 0.0f, lastRes = 0.0f;
    float vowel = 0.0f, lastVowel = 0.0f;
    float spreadDown = 1.0f, spreadUp = 1.0f;
    float drive = 0.0f;
    float gain = 0.5f, lastGain = 0.5f;
    float formantHz[5][4] = {};
    TFilterChannel ch[2];
    // The biquad of both channels, direct form I, lanes {left, right, left, right}: coefficients,
    // then the last two inputs and outputs.
    struct Biquad {
        Lanes b0, b1, b2, a1, a2;
        Lanes x1, x2, y1, y2;
    };
    Biquad biquad{};
    // The zero-delay state-variable sections of both channels, lanes {left, right, left, right}:
    // g, the damping term 2 R + g and the input scale h, then each stage's two integrator states.
    struct ZeroDelay {
        Lanes g, damping, h;
        Lanes s1[2], s2[2];
    };
    ZeroDelay zeroDelay{{}, {}, {1.0f, 1.0f, 1.0f, 1.0f}, {}, {}};
    // The one-pole, state-variable and four-stage ladder sections of both channels, lanes the same:
    // coefficients, then states.
    struct OnePole {
        Lanes coef, keep, state;
    };
    OnePole onePoleLanes{{}, {1.0f, 1.0f, 1.0f, 1.0f}, {}};
    struct StateVariable {
        Lanes f, damp, low, band, high;
    };
    StateVariable svfLanes{};
    struct Ladder {
        Lanes p, k, feedback, xOld, y1, y2, y3, y4;
    };
    Ladder ladderLanes{};
    // process's constants in every lane and the type's output gain: kept here, each costs one load
    // (or none, folded into its operation), where four equal lanes are built from one float per call.
    struct LaneConstants {
        Lanes guard, one, minusOne, tenth, gain, two, minusTwo;
    };
    static LaneConstants laneConstantsOf(int type);
    LaneConstants laneConstants = laneConstantsOf(0);

private:
    void updateCoefficients();  // update's recomputation, when an input moved and no coefficient held
    // The last arguments of the spread and drive exponentials and their results.
    float spreadArgument = 0.0f, spreadUpOf = 1.0f, spreadDownOf = 1.0f;
    float driveArgument = 0.0f, driveOf = 0.0f;
    // What the next update works out before it moves the cutoffs: a spread that moved (the last
    // one asked for) and setControls' last lanes (NaN, which never compares equal, until its first
    // call).
    enum : std::int32_t { PENDING_SPREAD = 1, PENDING_CONTROLS = 2 };
    std::int32_t pending = 0;
    float spreadWanted = 0.0f;
    Lanes controlsArgument = notANumber();
    static Lanes notANumber() {
        const float n = std::numeric_limits<float>::quiet_NaN();
        return Lanes{n, n, n, n};
    }
    [[gnu::noinline]] void applyPending();
    // The cutoffs' move; true when the coefficients must be worked out again.
    template <bool noteRest>
    bool moveCutoffs(float mod, bool smooth);
    // Whether the last update changed nothing, and its modulation and smoothing.
    struct Rest {
        bool rests = false, smooth = false;
        float mod = 0.0f;
    };
    Rest rest;
    [[gnu::noinline]] Lanes updateAndProcessPending(float mod, bool smooth, Lanes in);
    [[gnu::noinline]] Lanes updateCoefficientsAndProcess(Lanes in);
    // The resonance's exponentials, worked out again only when it moves: the cutoff is
    // recomputed every frame while it glides, the resonance mostly rests.
    struct ResonanceTerms {
        float res = std::numeric_limits<float>::quiet_NaN();
        float gain = 0.0f, sqrtGainPlusOne = 0.0f;  // of the band-pass and formant sections
        Lanes gainLanes{}, sqrtGainPlusOneLanes{};  // the same in every lane, for the biquad
        float dampingRes = std::numeric_limits<float>::quiet_NaN(), dampingOctaves = 0.0f, damping = 0.0f;
        void follow(float r) {
            if (!(r == res)) recompute(r);  // out of line: the recomputation stays a leaf
        }
        [[gnu::noinline]] void recompute(float r) {
            res = r;
            gain = std::exp2(1.0f + 3.98f * r);
            sqrtGainPlusOne = std::sqrt(gain + 1.0f);
            gainLanes = Lanes{gain, gain, gain, gain};
            sqrtGainPlusOneLanes = Lanes{sqrtGainPlusOne, sqrtGainPlusOne, sqrtGainPlusOne, sqrtGainPlusOne};
        }
        // The zero-delay sections' damping for resonance r over the given octaves.
        float zeroDelayDamping(float r, float octaves) {
            if (!(r == dampingRes && octaves == dampingOctaves)) {
                dampingRes = r;
                dampingOctaves = octaves;
                damping = 0.5f * std::exp2(-octaves * controlmath::clamp01(r));
            }
            return damping;
        }
    };
    ResonanceTerms resonance;
    // The shelves' terms that follow from the gain and the resonance alone, worked out again only
    // when either moves (or the shelf becomes the peak or leaves it), not for every cutoff.
    struct ShelfTerms {
        float gain = std::numeric_limits<float>::quiet_NaN(), res = 0.0f;
        bool peak = false;
        float A = 0.0f, twoSqrtA = 0.0f, twoS = 0.0f;
        const ShelfTerms& follow(bool isPeak, float g, float r) {
            if (!(g == gain && r == res && isPeak == peak)) recompute(isPeak, g, r);
            return *this;
        }
        [[gnu::noinline]] void recompute(bool isPeak, float g, float r) {
            gain = g;
            res = r;
            peak = isPeak;
            A = std::pow(10.0f, (40.0f * g - 20.0f) / 40.0f);
            twoSqrtA = 2.0f * std::sqrt(A);
            twoS = 2.0f * (isPeak ? std::exp2(4.0f - 10.0f * r) : 0.9f * r + 0.1f);
        }
    };
    ShelfTerms shelfTerms;
    // What the last recomputation worked from. Most types read the cutoffs only through their
    // table entries, and a gliding cutoff stays on one entry for several frames: while the entries,
    // the type, the resonance and the gain stand, so do their coefficients.
    struct HeldCoefficients {
        std::int32_t left = 0, right = 0;
        std::int32_t type = -1;  // -1: none held (after init, or for a type that reads the cutoff)
        float res = 0.0f, gain = 0.0f;
    };
    HeldCoefficients held;
    // maxHz, invRate and minNorm in every lane, for both channels' cutoffs at once.
    Lanes maxHzLanes{}, invRateLanes{}, minNormLanes{};
    typedef std::int32_t Entries __attribute__((vector_size(16)));
    // The normalised cutoffs {left, right, left, right} and their table entries, each lane rounding
    // as the same steps on one float.
    Lanes normalisedCutoffs(float left, float right) const;
    Entries entriesOf(Lanes normalised) const;
    bool coefficientsHeld(float left, float right) const;

    void advanceHistory();
    void setSvf(float fLeft, float fRight, float damp);
    [[gnu::noinline]] void stackedCoefficients(float fLeft, float fRight);
    [[gnu::noinline]] void vowelSections();
    [[gnu::noinline]] void formantSections();
    [[gnu::noinline]] void shelfSections(float fLeft, float fRight);
    Lanes biquadBoth(Lanes u);
    template <int kind, bool twoStages>
    Lanes zeroDelayBoth(Lanes u);
    template <int t>
    Lanes sectionsBoth(Lanes u);
    Lanes formantBoth(Lanes u);
    template <int t>
    Lanes sectionsOf(Lanes u);
    // process for the type and whether there is drive, picked from a table whenever either moves.
    typedef Lanes (*Kernel)(TFilter&, Lanes);
    typedef std::array<std::array<Kernel, NUM_TYPES>, 2> Kernels;
    template <int t, bool driven>
    static Lanes kernelOf(TFilter& f, Lanes in);
    template <std::size_t... t>
    static constexpr Kernels kernelsOf(std::index_sequence<t...>);
    void chooseKernel();
    Kernel kernel = &kernelOf<Bypass, false>;
};

// The setters and update run every host sample, just before process: inline, so the values they
// store reach update in registers instead of through memory.
inline void TFilter::setFrequency(float freq, float spread, float modL, float modR) {
    // The spread mostly rests: its exponential only when it moves, worked out by the next update.
    rest.rests = false;
    spreadWanted = spread;
    if (spread == spreadArgument) {
        spreadUp = spreadUpOf;
        spreadDown = spreadDownOf;
    } else {
        pending |= PENDING_SPREAD;
    }
    targetPosL = controlmath::clamp01(freq + modL);
    targetPosR = controlmath::clamp01(freq + modR);
}

inline void TFilter::setRes(float r) {
    rest.rests = false;
    res = controlmath::clamp01(r) * 0.95f;
}

inline void TFilter::setVowel(float v) {
    rest.rests = false;
    vowel = controlmath::clamp01(v);
}

inline void TFilter::setDistort(float d) {
    rest.rests = false;
    const float amount = controlmath::clamp01(d);
    if (!(amount == driveArgument)) {
        driveArgument = amount;
        driveOf = std::exp2(6.0f * amount) - 1.0f;
    }
    const bool kernelMoves = (driveOf > 0.0f) != (drive > 0.0f);
    drive = driveOf;
    if (kernelMoves) chooseKernel();
}

inline void TFilter::setGain(float g) {
    rest.rests = false;
    gain = g;
}

inline void TFilter::setControls(Lanes controls) {
    // Equal lanes give equal settings: a zero of either sign sets each control to +0.
    typedef std::int64_t Halves __attribute__((vector_size(16)));
    const Halves same = reinterpret_cast<Halves>(controls == controlsArgument);
    if ((same[0] & same[1]) == -1) return;
    controlsArgument = controls;
    pending |= PENDING_CONTROLS;
    rest.rests = false;
}

inline void TFilter::update(float mod, bool smooth) {
    if (pending != 0) applyPending();
    if (moveCutoffs<false>(mod, smooth)) updateCoefficients();
}

template <bool skipRest>
inline TFilter::Lanes TFilter::updateAndProcess(float mod, bool smooth, Lanes in) {
    // Every path ends in one call: a caller keeps nothing across a call.
    if (pending != 0) return updateAndProcessPending(mod, smooth, in);
    if constexpr (skipRest) {
        if (rest.rests && mod == rest.mod && smooth == rest.smooth) return process(in);
        rest.mod = mod;
        rest.smooth = smooth;
    }
    if (moveCutoffs<skipRest>(mod, smooth)) return updateCoefficientsAndProcess(in);
    return process(in);
}

template <bool noteRest>
inline bool TFilter::moveCutoffs(float mod, bool smooth) {
    const float fromL = posL, fromR = posR;
    if constexpr (!noteRest) rest.rests = false;
    if (smooth) {
        posL = 0.1f * targetPosL + 0.9f * posL;
        posR = 0.1f * targetPosR + 0.9f * posR;
    } else {
        posL = targetPosL;
        posR = targetPosR;
    }
    const float newL = spreadDown * FilterFreqPow2[tableIndex(posL + mod)];
    const float newR = spreadUp * FilterFreqPow2[tableIndex(posR + mod)];
    const bool cutoffMoved = std::fabs(cutoffL - newL) > 1e-5f || std::fabs(cutoffR - newR) > 1e-5f;
    cutoffL = newL;
    cutoffR = newR;
    if (type == Bypass ||
        (!cutoffMoved && std::fabs(res - lastRes) <= 1e-5f && std::fabs(vowel - lastVowel) <= 1e-5f &&
         std::fabs(gain - lastGain) <= 1e-5f && type == lastType)) {
        // The positions where they were and no recomputation: the same call again finds the same
        // cutoffs, as this one left them, and does nothing.
        if constexpr (noteRest) rest.rests = posL == fromL && posR == fromR;
        return false;
    }
    if constexpr (noteRest) rest.rests = false;
    lastType = type;
    lastRes = res;
    lastVowel = vowel;
    lastGain = gain;
    return !coefficientsHeld(newL, newR);
}

inline TFilter::Lanes TFilter::normalisedCutoffs(float left, float right) const {
    const Lanes cutoffs{left, right, left, right};
    const Lanes below = cutoffs < maxHzLanes ? cutoffs : maxHzLanes;  // std::min(maxHz, cutoff)
    const Lanes scaled = (below + 0.001f) * invRateLanes + laneConstants.guard;
    return minNormLanes < scaled ? scaled : minNormLanes;  // std::max(minNorm, scaled)
}

inline TFilter::Entries TFilter::entriesOf(Lanes normalised) const {
    return __builtin_convertvector(
        controlmath::clampLanes(normalised, Lanes{}, laneConstants.one) * 262143.984375f, Entries);
}

// Equal resonance and gain (a zero of either sign works out as +0; NaN never compares equal) and
// the same entries. The type held is -1 for the types that read the cutoff itself.
inline bool TFilter::coefficientsHeld(float left, float right) const {
    if (type != held.type) return false;
    const Entries entries = entriesOf(normalisedCutoffs(left, right));
    return entries[0] == held.left && entries[1] == held.right && res == held.res && gain == held.gain;
}
