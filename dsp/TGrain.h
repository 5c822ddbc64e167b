#pragma once

// One grain voice: when triggered it records a stretch of the stereo input, then plays it for a
// given duration under a triangular envelope, once at a variable speed with a loop mode (the
// pitched output) and once straight through (the plain output). A slot used alone records into
// its own buffer, allocated once, at construction, from pages that start silent (and never
// touched when the slot plays from a shared tape instead).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "dsp/SilentBuffer.h"

class TGrain {
public:
    static constexpr int kCapacity = 131072;

    enum State { kIdle = 0, kRecording = 1, kPlaying = 2 };

    // Loop modes as the Grain Loop Mode choice numbers them; odd modes are the tempo-synced
    // variants and play like the even mode below them.
    enum LoopMode { kPing = 0, kPingSync = 1, kLoop = 2, kLoopSync = 3, kOff = 4, kOffSync = 5 };

    TGrain();
    TGrain(const TGrain&) = delete;
    TGrain& operator=(const TGrain&) = delete;

    void init(float rate);
    // Silences the slot at once.
    void reset() { state = kIdle; }
    void setLoopMode(int mode) { loopMode = static_cast<std::uint8_t>(mode); }
    // The power the envelope is raised to for the pitched output's weight.
    void setShape(float power) { shape = power; }
    // Starts recording writeSize frames, to be played for readSize frames.
    void triggerGrain(int writeSize, int readSize);
    // The same for a recording that a tape shared by several slots takes, starting at frame
    // (interleaved left and right, one run of writeSize frames): its keeper calls recorded after
    // writing the last frame, and the slot never records itself.
    void triggerGrain(int writeSize, int readSize, const float* frame);
    void recorded();
    // The frames a recording started now takes: 0 records one.
    static int framesToRecord(int writeSize) { return std::clamp(writeSize, 1, kCapacity - 1); }

    // Left and right of one frame side by side, each lane rounding as the same steps on one float.
    typedef float Frame __attribute__((vector_size(8)));

    void process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                 float speed);
    // The two halves of process, for a caller that looked at the state already: a recording
    // frame (whose outputs are silent) and a playing one. Each returns whether the slot stays in
    // its state.
    bool record(float inL, float inR);
    bool play(float speed, Frame& pitched, Frame& plain);

    // The envelope raised to shape while playing, else 0.
    float getGrainVol(float power) const { return state == kPlaying ? shapedEnvelope(power) : 0.0f; }
    // The same for a slot known to play, and its weight for the pitched output (to the shape set).
    float shapedEnvelope(float power) const;
    float pitchedWeight() const { return shapedEnvelope(shape); }
    // The envelope and the shape as they stand, for a caller that weights several slots at once.
    float envelopeNow() const { return envelope; }
    float shapePower() const { return shape; }
    // Each lane's envelope (0..1) raised to its power (above 0; a power of 1 gives the envelope
    // itself), two slots at once.
    static Frame shapedPower(Frame envelopes, Frame powers);
    // The same for four lanes, of which only the first `lanes` (2 or 4) are worked out (the others
    // come out 0 unless their power is 1).
    typedef float Quad __attribute__((vector_size(16)));
    static Quad shapedPowers(Quad envelopes, Quad powers, int lanes);

private:
    friend class TGrainSlots;  // whose AVX2 build works the powers out from the same steps
    typedef double Wide __attribute__((vector_size(16)));
    typedef std::int32_t Bits __attribute__((vector_size(16)));
    // Lanes h and h + 1 as doubles, and two doubles as the first two lanes of floats (the others 0).
    static Wide widen(Quad x, int h) {
#if defined(__SSE2__)
        return __builtin_ia32_cvtps2pd(h == 0 ? x : __builtin_shufflevector(x, x, 2, 3, 2, 3));
#else
        return Wide{x[h], x[h + 1]};
#endif
    }
    static Wide widen(Bits x, int h) {
#if defined(__SSE2__)
        return __builtin_ia32_cvtdq2pd(h == 0 ? x : __builtin_shufflevector(x, x, 2, 3, 2, 3));
#else
        return Wide{static_cast<double>(x[h]), static_cast<double>(x[h + 1])};
#endif
    }
    // x = x > floor ? x : floor, lane by lane.
    static void raiseTo(Wide& x, double floor) {
#if defined(__SSE2__)
        x = __builtin_ia32_maxpd(x, Wide{floor, floor});  // in one step
#else
        x = x > floor ? x : Wide{floor, floor};
#endif
    }
    template <typename W>
    static void raiseTo(W& x, double floor) {
        x = x > floor ? x : floor - W{};
    }
    static void split(Quad x, Bits& k, Quad& mantissa);
    template <typename W, typename WideBits>
    static void powerSeries(const W& m, const W& k, const W& p, W& scaled);
    static Quad silentOrEnvelope(Quad x, Quad p, Quad w);
    static Quad narrow(Wide x) {
#if defined(__SSE2__)
        return __builtin_ia32_cvtpd2ps(x);
#else
        return Quad{static_cast<float>(x[0]), static_cast<float>(x[1]), 0.0f, 0.0f};
#endif
    }

public:
    int getState() const {
        return state;
    }
    // Frames from the trigger to the grain's end, recording and playing: 0 for an idle slot.
    int framesToEnd() const {
        return state == kIdle ? 0 : writeSize + readSize;
    }

private:
    // Frame i of the recording is L at 2i and R at 2i + 1: a read of one frame touches one cache
    // line, not one in each of two buffers half a megabyte apart.
    SilentBuffer<float> frames{2 * kCapacity};
    const float* source = frames.get();  // frame 0 of the recording being played
    // Kept to 64 bytes, so that the engine finds a slot by one shift.
    std::uint8_t state = kIdle;
    std::uint8_t loopMode = kPing;
    int writeSize = 1000;
    int readSize = 1000;
    // readSize as a float, exactly; infinite for a read size of 0, whose one frame's envelope
    // then comes out 0 without a test.
    float readLength = 1000.0f;
    int envelopeCounter = 0;  // while recording, the frame written next
    float readPosition = 0.0f;
    float direction = 1.0f;
    float envelope = 1.0f;
    float shape = 1.0f;
    // The write size as a float, or -1 for an empty recording: a position in (-1, readEnd) is
    // one the pitched output reads at without a turn.
    float readEnd = 1000.0f;

    static Frame frameAt(const float* recording, std::ptrdiff_t i) {
        Frame x;
        std::memcpy(&x, recording + 2 * i, sizeof x);
        return x;
    }
    // Turns the position at either end of the recording; false when the pitched output is silent.
    bool turn() {
        return turn(readPosition, direction, writeSize, loopMode);
    }

public:
    // The same for a slot's position and direction, given its write size and loop mode.
    static bool turn(float& position, float& direction, int writeSize, int loopMode);
    // Sizes as a trigger clamps them to the buffer, and the read and write lengths kept as floats:
    // readSize as a float, exactly, infinite for a read size of 0 (whose one frame's envelope then
    // comes out 0 without a test); the write size as a float, or -1 for an empty recording.
    static int clampedSize(int size) {
        return std::clamp(size, 0, kCapacity - 1);
    }
    static float readLengthOf(int readSize) {
        return readSize > 0 ? static_cast<float>(readSize) : std::numeric_limits<float>::infinity();
    }
    static float readEndOf(int writeSize) {
        return writeSize > 0 ? static_cast<float>(writeSize) : -1.0f;
    }

private:
    // The floor of a position not past 0 and below the end, after any turn; false as turn. Cold:
    // the frame keeps its values in registers rather than saving them around this rare call.
    [[gnu::cold]] bool floorElsewhere(float& whole);
};

// A Grain Block runs sixteen slots every frame: the frame's work is inline.
inline void TGrain::process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL,
                            float& plainR, float speed) {
    Frame pitched{}, plain{};
    switch (state) {
        case kRecording:
            record(inL, inR);
            break;
        case kPlaying:
            play(speed, pitched, plain);
            break;
        default:
            envelope = 0.0f;
            break;
    }
    pitchedL = pitched[0];
    pitchedR = pitched[1];
    plainL = plain[0];
    plainR = plain[1];
}

inline bool TGrain::record(float inL, float inR) {
    float* f = frames.get() + 2 * envelopeCounter;
    f[0] = inL;
    f[1] = inR;
    ++envelopeCounter;
    // A write size of 0 still records one frame, so the end test is "reached or passed".
    if (envelopeCounter < writeSize) return true;
    recorded();
    return false;
}

inline void TGrain::recorded() {
    state = kPlaying;
    envelope = 0.0f;
    readPosition = 0.0f;
    direction = 1.0f;
    envelopeCounter = 0;
}

inline bool TGrain::play(float speed, Frame& pitched, Frame& plain) {
    const int n = writeSize;
    const float* const recording = source;  // held across the position's store
    // Compared as floats so that a runaway position never reaches an int conversion. Past 0
    // the truncation is the floor (the position stays below the write size); the rest, the
    // first frame and the turns, is out of line.
    float whole;
    const bool sounding = (readPosition > 0.0f && readPosition < readEnd)
                              ? (whole = static_cast<float>(static_cast<std::ptrdiff_t>(readPosition)), true)
                              : floorElsewhere(whole);
    if (sounding) {
        // Indices as wide as addresses: no sign extension between the conversion and the loads
        // (a sounding slot recorded at least one frame, so its last index is not negative).
        const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(readPosition);
        const float t = readPosition - whole;
        const std::ptrdiff_t last = static_cast<std::uint32_t>(n - 1);
        const std::ptrdiff_t j = i < last ? i + 1 : last;
        const Frame from = frameAt(recording, i), to = frameAt(recording, j);
        pitched = from + (to - from) * t;
    } else {
        pitched = Frame{};
    }
    readPosition += speed * direction;

    // The plain output plays the recording straight through: its index is the envelope's counter.
    const int c = envelopeCounter;
    plain = c < n ? frameAt(recording, static_cast<std::uint32_t>(c)) : Frame{};  // c counts up from 0

    envelope = 1.0f - std::fabs(1.0f - 2.0f * static_cast<float>(c) / readLength);
    ++envelopeCounter;
    // A read size of 0 ends the grain after this frame instead of never.
    if (envelopeCounter < readSize) return true;
    state = kIdle;
    return false;
}

// Read twice per slot and frame by the engine: kept inline.
inline float TGrain::shapedEnvelope(float power) const {
    // The plain output's weight and the default shape are 1, and e^1 is e exactly: no power.
    if (power == 1.0f) return envelope;
    // A negative shape would turn the silent ends of the envelope into infinities: it counts as 0.
    if (power <= 0.0f) return 1.0f;
    return shapedPower(Frame{envelope, envelope}, Frame{power, power})[0];
}

// x^p as 2^(p log2 x), worked out in double precision from the series of log and exp, so that
// the float result is the exact power rounded within 0.64 of its last place (6.5e-8
// relative) for every x in 0..1 and p up to 8, at a fraction of two library calls' cost.
inline TGrain::Frame TGrain::shapedPower(Frame x, Frame p) {
    const Quad w = shapedPowers(Quad{x[0], x[1], 0.0f, 0.0f}, Quad{p[0], p[1], 1.0f, 1.0f}, 2);
    return Frame{w[0], w[1]};
}

// x = 2^k m with m in [sqrt 1/2, sqrt 2), four lanes at once: the exponent's bits, counted from
// sqrt 1/2's (the shifts left on unsigned lanes, where a negative k wraps as intended).
inline void TGrain::split(Quad x, Bits& k, Quad& mantissa) {
    typedef std::uint32_t UnsignedBits __attribute__((vector_size(16)));
    UnsignedBits bits;
    std::memcpy(&bits, &x, sizeof bits);
    k = reinterpret_cast<Bits>(bits - 0x3f3504f3u) >> 23;
    const UnsignedBits mantissaBits = bits - (reinterpret_cast<UnsignedBits>(k) << 23);
    std::memcpy(&mantissa, &mantissaBits, sizeof mantissa);
}

// 2^(p (k + log2 m)) for the lanes of W, doubles (two or four), whose bits are the lanes of WideBits.
// The vectors pass by reference: four doubles would not pass in registers without AVX.
template <typename W, typename WideBits>
inline void TGrain::powerSeries(const W& m, const W& k, const W& p, W& scaled) {
    // ln m = 2 atanh s for s = (m - 1) / (m + 1), |s| < 0.172: the series to s^9 leaves 7e-10.
    const W s = (m - 1.0) / (m + 1.0);
    const W z = s * s;
    const W lnM = 2.0 * s * (1.0 + z * (1.0 / 3 + z * (1.0 / 5 + z * (1.0 / 7 + z * (1.0 / 9)))));
    constexpr double ln2 = 0.6931471805599453094;
    // Far below the smallest float: keeps 2^n a normal double whatever the power.
    W y = p * (k + lnM * (1.0 / ln2));
    raiseTo(y, -1000.0);
    // 2^y = 2^n 2^r for the nearest integer n: adding 1.5 * 2^52 rounds y to n in the low bits.
    constexpr double roundingShift = 6755399441055744.0;
    const W shifted = y + roundingShift;
    const W u = (y - (shifted - roundingShift)) * ln2;
    // e^u for |u| <= ln2 / 2 by its Taylor series to u^7: the rest is below 6e-9.
    const W high = 1.0 / 24 + u * (1.0 / 120 + u * (1.0 / 720 + u * (1.0 / 5040)));
    const W e = 1.0 + u * (1.0 + u * (1.0 / 2 + u * (1.0 / 6 + u * high)));
    WideBits eBits, nBits;
    std::memcpy(&eBits, &e, sizeof eBits);
    std::memcpy(&nBits, &shifted, sizeof nBits);
    eBits += (nBits - 0x4338000000000000u) << 52;  // 1.5 * 2^52's bits
    std::memcpy(&scaled, &eBits, sizeof scaled);
}

// 0 stays silent; a power of 1 leaves the envelope as it is.
inline TGrain::Quad TGrain::silentOrEnvelope(Quad x, Quad p, Quad w) {
    const Quad shapedOrSilent = x > 0.0f ? w : Quad{};
    return p == 1.0f ? x : shapedOrSilent;
}

// The series on two doubles at a time.
inline TGrain::Quad TGrain::shapedPowers(Quad x, Quad p, int lanes) {
    typedef std::uint64_t WideBits __attribute__((vector_size(16)));
    Bits k;
    Quad mantissa;
    split(x, k, mantissa);
    Wide w[2] = {};  // the second stays unread for two lanes; set so no build sees it unset
    powerSeries<Wide, WideBits>(widen(mantissa, 0), widen(k, 0), widen(p, 0), w[0]);
    if (lanes > 2) powerSeries<Wide, WideBits>(widen(mantissa, 2), widen(k, 2), widen(p, 2), w[1]);
    const Quad low = narrow(w[0]), high = lanes > 2 ? narrow(w[1]) : Quad{};
    return silentOrEnvelope(x, p, __builtin_shufflevector(low, high, 0, 1, 4, 5));
}

// The input a Grain Block's slots record, written once for all of them: a ring of the last kLength
// frames whose first kCapacity frames repeat past its end, so that every recording reads as one
// run. A slot reads its recording until its grain ends, at most 2 kCapacity frames after it began,
// so kLength frames keep it whole.
class TGrainTape {
public:
    static constexpr int kLength = 2 * TGrain::kCapacity;

    // Where the frame written next will be read from.
    const float* next() const { return frames.get() + 2 * (count & (kLength - 1)); }
    // The number of frames written, wrapping round (kLength divides 2^32).
    uint32_t written() const { return count; }

    void write(float inL, float inR) {
        const uint32_t i = count & (kLength - 1);
        float* f = frames.get();
        f[2 * i] = inL;
        f[2 * i + 1] = inR;
        if (i < static_cast<uint32_t>(TGrain::kCapacity)) {
            f[2 * (i + kLength)] = inL;
            f[2 * (i + kLength) + 1] = inR;
        }
        ++count;
    }

private:
    SilentBuffer<float> frames{2 * static_cast<std::size_t>(kLength + TGrain::kCapacity)};
    uint32_t count = 0;
};

// A Grain Block's sixteen slots, recording on the tape they share and playing from it. The slots
// that play sit side by side in lanes, in slot order, so that one vector step moves four of them:
// per frame a slot costs its three reads of the tape and its share of the steps.
class TGrainSlots {
public:
    static constexpr int kSlots = 16;  // a multiple of four: a frame reads every lane in fours
    typedef TGrain::Frame Frame;

    TGrainSlots() { reset(); }
    TGrainSlots(const TGrainSlots&) = delete;
    TGrainSlots& operator=(const TGrainSlots&) = delete;

    // Every slot falls silent at once.
    void reset();
    // The slot (playing or not) starts recording the writeSize frames from frame of the tape, to
    // play them for readSize frames in the loop mode, the pitched output weighted by the envelope
    // raised to power.
    void trigger(int slot, int writeSize, int readSize, const float* frame, int loopMode, float power);
    // The slot's recording is written: it plays from the next frame.
    void recorded(int slot);

    int getState(int slot) const { return state[slot]; }
    // Frames from the slot's trigger to its grain's end, recording and playing: 0 for an idle slot.
    int framesToEnd(int slot) const;
    bool anyPlaying() const { return count != 0; }

    // One frame of the playing slots, their pitched and plain outputs each added up in slot order
    // (pitched left and right, then plain left and right), each slot as TGrain::play and its
    // weights as TGrain's: a slot that ends its grain here adds its last outputs weighted 0.
    TGrain::Quad play(float speed);
    // Whether play takes its AVX2 build (by default where the processor has it), for a test of the
    // other build; answers the setting before.
    static bool wideSteps(bool on);

private:
    typedef TGrain::Quad Quad;
    typedef std::int32_t Ints __attribute__((vector_size(16)));

    // What each slot was triggered with, by slot number.
    struct Grain {
        const float* source;
        int writeSize, readSize, loopMode;
        float power;
    };
    Grain grains[kSlots];
    std::uint8_t state[kSlots];

    // The playing slots' lanes; the lanes from count on hold a slot that never sounds nor ends
    // (whose count, moving on with the others', is set back whenever a slot stops: one stops
    // within kCapacity frames).
    alignas(16) float position[kSlots];
    alignas(16) float direction[kSlots];
    alignas(16) float readEnd[kSlots];
    alignas(16) float readLength[kSlots];
    alignas(16) float power[kSlots];
    alignas(16) std::int32_t counter[kSlots];
    alignas(16) std::int32_t lastCount[kSlots];  // the read size less 1: the grain's last frame
    alignas(16) std::int32_t writeSize[kSlots];
    const float* source[kSlots];
    std::uint8_t slotOf[kSlots];
    std::uint8_t loopMode[kSlots];
    int count = 0;
    int shaped = 0;  // playing slots whose pitched weight is not the envelope

    template <bool wide>
    Quad playLanes(float speed);
    [[gnu::noinline]] Quad playPortable(float speed);
    [[gnu::noinline]] Quad playAvx2(float speed);
    // TGrain::shapedPowers for all four lanes, the same bits, four doubles at once: on a processor
    // with AVX2 only (x86; elsewhere two at a time).
#if defined(__x86_64__) || defined(__i386__)
    [[gnu::target("avx2")]]
#endif
    static Quad
    shapedPowersWide(Quad envelopes, Quad powers);
    void clearLane(int lane);
    void copyLane(int to, int from);
    void stopLane(int lane);
    void stopSlot(int slot);
    // Turns the positions of the group's lanes that left their recording, as TGrain::turn.
    [[gnu::cold]] void turnLanes(int group);

    static Quad load(const float* x) {
        Quad v;
        std::memcpy(&v, x, sizeof v);
        return v;
    }
    static Ints load(const std::int32_t* x) {
        Ints v;
        std::memcpy(&v, x, sizeof v);
        return v;
    }
    // A bit for each lane that is set.
    static unsigned mask(Ints lanes) {
#if defined(__SSE__)
        return static_cast<unsigned>(__builtin_ia32_movmskps(reinterpret_cast<Quad>(lanes)));
#else
        return (lanes[0] & 1u) | (lanes[1] & 2u) | (lanes[2] & 4u) | (lanes[3] & 8u);
#endif
    }
    // An index, not negative, as wide as an address without a sign extension.
    static std::size_t index(std::int32_t i) {
        return static_cast<std::uint32_t>(i);
    }
    static Frame frameAt(const float* recording, std::int32_t i) {
        Frame x;
        std::memcpy(&x, recording + 2 * index(i), sizeof x);
        return x;
    }
};
