#pragma once

// Room reverb: 40 damped feedback combs in four lanes of ten, each lane followed by four allpass
// diffusers, with a 4-tap pre-delay (the widening taps), a high-pass on each lane's comb sum and
// per-comb length factors for modulation. It gives four outputs, two stereo pairs whose comb
// lengths can differ. All working memory is allocated at construction and by init().

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/SilentBuffer.h"

// Where AVX may be chosen at run time, the comb bank also has a path that loads its reads straight
// into their lanes and works two comb vectors at a time; it computes the same lanes with the same
// operations, so the output is the same.
#if defined(__x86_64__) && defined(__GNUC__)
#define TARNWELL_WIDE_COMBS 1
#else
#define TARNWELL_WIDE_COMBS 0
#endif

// Four lanes of the reverb, one per output; a lane-wise operation rounds as the same operation on
// one float does.
typedef float ReverbLanes __attribute__((vector_size(16)));
typedef std::int32_t ReverbIndices __attribute__((vector_size(16)));

// The comb bank: ten 4-wide comb vectors (one lane per reverb output) over one interleaved ring
// that holds the current value of all 40 combs per frame. Comb j of lane k sits at j * 4 + k.
class TComb {
public:
    static constexpr int kCombs = 40;
    static constexpr int kLanes = 4;
    static constexpr std::uint32_t kRingFrames = 16384;
    static constexpr int kMaxLength = static_cast<int>(kRingFrames) - 1;

    TComb() = default;
    TComb(const TComb&) = delete;
    TComb& operator=(const TComb&) = delete;

    static constexpr int kVectors = kCombs / kLanes;

    // Lengths in frames of all combs, vector j holding combs 4j .. 4j + 3, each 1..16383; the
    // fraction is dropped.
    void setLengths(const ReverbLanes (&frames)[kVectors]);
    // The four lanes' high-passed comb sums for this frame.
    ReverbLanes update(float inL, float tap0, float tap2, float inR, float tap1, float tap3);
#if TARNWELL_WIDE_COMBS
    // The same, two comb vectors at a time, given the even vectors' inputs {inL, tap1, inL, tap3}
    // and the odd ones' {tap0, inR, tap2, inR}; only where the processor has AVX.
    __attribute__((target("avx"))) ReverbLanes updateWide(ReverbLanes evenInput, ReverbLanes oddInput);
#endif

private:
    friend class TBasicReverb;

    ReverbLanes highPass(ReverbLanes total);
    void mirror(float* frame);
    void setRawLengths(const int (&lengths)[kCombs]);
    void placeComb(int c, std::int32_t length);
    void setVectors(float damping, float room);
    void setHighPass(float c);
    void clearFilterState();
    void clearLowPass();
    void clearRing();
    bool hasSubnormalState() const;

    std::uint32_t position = 0;
    // The ring keeps its frames in blocks of four: in a block, comb vector j holds its lanes for
    // the four frames side by side, so that one comb's reads in four frames running fall on one
    // cache line (one frame of all combs per line section put every read on a line of its own).
    static constexpr int kBlockFrames = 4;
    static constexpr std::int32_t kBlockFloats = kBlockFrames * kCombs;
    static constexpr std::int32_t kVectorFloats = kBlockFrames * kLanes;  // a vector's part of a block
    // Where frame q's vector 0 sits in the ring, in floats.
    static std::int32_t frameStart(std::uint32_t q) {
        // (q / 4) * kBlockFloats + (q % 4) * kLanes, in fewer steps.
        return static_cast<std::int32_t>(q) * kCombs -
               static_cast<std::int32_t>(q % kBlockFrames) * (kCombs - kLanes);
    }
    // Where comb c reads, in floats from frameStart of the frame: length frames back, so always
    // negative and at most one ring back. It depends on the frame's place in its block:
    // offset[place][c]. longestLength is the longest comb's length.
    alignas(16) std::int32_t offset[kBlockFrames][kCombs] = {};
    std::int32_t longestLength = 0;
    float damp[kLanes] = {};
    float oneMinusDamp[kLanes] = {};
    float roomGain[kLanes] = {};
    float lowPass[kCombs] = {};
    float low1[kLanes] = {};
    float low2[kLanes] = {};
    float a0[kLanes] = {};
    float b0[kLanes] = {1.0f, 1.0f, 1.0f, 1.0f};
    float a1[kLanes] = {1.0f, 1.0f, 1.0f, 1.0f};
    float b1[kLanes] = {};
    // The guard in every lane, set once: loaded from here it is one load, where a constant with
    // four equal lanes is built from one float every frame.
    float guardLanes[kLanes] = {};
    // kRingFrames x kCombs, written and read from its second copy: a read one ring back at most
    // lands in the first, which is the same memory, so no read wraps.
    SilentRing<float> ring{static_cast<std::size_t>(kRingFrames) * kCombs};
    float* const ringFrames = ring.at();  // held, as the ring's second copy takes two loads
};

class TBasicReverb {
public:
    static constexpr std::uint32_t kPreDelayFrames = 16384;

    TBasicReverb();
    TBasicReverb(const TBasicReverb&) = delete;
    TBasicReverb& operator=(const TBasicReverb&) = delete;

    void create();
    void init();
    void setSampleRate(float sr);
    void mute();

    void setRoomSize(float r);
    // Set every frame, mostly unchanged: inline, and nothing to do when it rests.
    void setDamp(float d) {
        const float next = 0.55f * std::clamp(d, 0.0f, 1.0f);
        if (next == damping) return;
        damping = next;
        update();
    }
    void update();
    // The first argument is unused; hp in 0..1 sets the high-pass from 20 Hz up.
    void setFilter(float unusedLow, float hp);
    // Length factors for the combs of outputs 1/2 (a even, b odd) and 3/4 (c even, d odd); they
    // act from the next setLength.
    void setMod(float a, float b, float c, float d);
    // Comb lengths relative to the room's tuning: l for outputs 1 and 2, r for outputs 3 and 4.
    // Set every frame, mostly unchanged: the comb lengths would come out the same.
    void setLength(float l, float r) {
        if (!lengthsStale && l == lastLength[0] && r == lastLength[1]) return;
        applyLength(l, r);
    }
    // setLength with its last arguments: what new factors need while the lengths rest.
    void refreshLength() {
        if (lengthsStale) applyLength(lastLength[0], lastLength[1]);
    }
    // Whether refreshLength has nothing to do.
    bool lengthsFollow() const { return !lengthsStale; }
    // Tap i reads the input wi + 1 frames back.
    void setWiden(float w0, float w1, float w2, float w3) { setWiden(ReverbLanes{w0, w1, w2, w3}); }
    void setWiden(ReverbLanes w);

    // Whether process takes the comb bank's AVX path; by default wherever the processor has it.
    // Both give the same output: the choice is open so that tests can hold one against the other.
    void useWideCombs(bool on);
    bool usesWideCombs() const { return wideCombs; }

    void process(float inL, float inR, float& out1, float& out2, float& out3, float& out4);
    // The same, the four outputs as the lanes of one vector.
    ReverbLanes process(float inL, float inR);

    float getSampleRate() const { return sampleRate; }
    // The longest way from the input to the output as set now, in frames (the widest tap, the
    // longest comb and the allpass chain): a room may stay quiet no longer and still sound again.
    std::uint32_t longestPath() const;

    // Diagnostic for the denormal checks: true when any comb, filter or allpass state is subnormal.
    bool hasSubnormalState() const;

private:
    // The four allpass chains side by side: one vector step serves the i-th allpass of all four
    // outputs. The lanes are the outputs 1..4; outputs 1 and 3 use the first tuning set, 2 and 4
    // the spread one. One ring holds every stage: a frame is four stages of four lanes.
    static constexpr int kAllpassStages = 4;
    static constexpr std::uint32_t kAllpassFrameFloats = kAllpassStages * 4;

    struct Taps {
        float t0, t1, t2, t3;
    };
    Taps preDelay(float inL, float inR);
    // Writes the frame's input and gives where it went; tap i reads at tapBack[i] from there.
    const float* writePreDelay(float inL, float inR);
    void placeTaps();
    ReverbLanes passChains(ReverbLanes x);
    std::size_t allpassFloats() const { return allpassMask + kAllpassFrameFloats; }
#if TARNWELL_WIDE_COMBS
    __attribute__((target("avx"))) ReverbLanes processWide(float inL, float inR);
    __attribute__((target("avx"))) void placeCombsWide(const ReverbLanes (&scale)[2]);
#endif
    void applyLength(float l, float r);

    std::uint32_t preDelayPosition = 0;
    std::int32_t tapOffset[4] = {};
    std::int32_t tapBack[4] = {};  // the taps from the frame written, in floats, one ring back at most
    float room = 0.0f;
    float damping = 0.0f;
    float sampleRate = 44100.0f;
    // Left and right side by side, frame after frame, written in the second copy so that no tap
    // wraps (as the combs' ring).
    SilentRing<float> preDelayFrames{2 * kPreDelayFrames};
    const bool preDelayMirrored = preDelayFrames.mirrored();  // one test a frame
    bool written = false;  // whether process ran since the last mute: a silent room needs no clearing
    // setMod's factors: even and odd combs of outputs 1/2, then of outputs 3/4.
    float factor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    TComb comb;
    // In floats: a stage's delays (lanes 0 and 2, lanes 1 and 3), the ring's length less one
    // frame and the frame written last; so a position needs no scaling.
    std::uint32_t allpassDelay[kAllpassStages][2] = {};
    std::uint32_t allpassMask = 0;
    std::uint32_t allpassPosition = 0;
    // The delays negated: where a stage reads, from where it writes. The ring is written in its
    // second copy, so that no read wraps (as the combs'); allpassFrames is that copy.
    std::int32_t allpassBack[kAllpassStages][2] = {};
    std::unique_ptr<SilentRing<float>> allpassRing;
    float* allpassFrames = nullptr;
    bool allpassMirrored = false;
    // The allpasses' guard and feedback and the output gain in every lane, set once (see the comb's guard).
    float allpassGuard[4] = {};
    float allpassFeedback[4] = {};
    float outputGain[4] = {};
    // The arguments of the last setLength, while the comb lengths still follow from them.
    float lastLength[2] = {};
    bool lengthsStale = true;
    bool wideCombs = false;
};
