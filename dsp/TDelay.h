#pragma once

// Stereo tape delay. Every written sample carries a time stamp of a write clock whose speed is
// set by the delay length; the output is read 100 clock units behind by linear interpolation
// between stamped samples, so a change of length changes the playback speed (the pitch glides)
// instead of jumping. Feedback has an own-channel and a cross-channel part, an "Equal Feed"
// mode and an optional band-pass in the loop.
//
// Each channel's line is a ring of (stamp, sample) pairs allocated at construction: appended at
// the back, dropped at the front, never grown while processing.

#include <cstddef>
#include <cstdint>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class TDelay {
public:
    static constexpr int kMaxLength = 262143;
    static constexpr int kSyncedLengths = 15;
    // A synced length value v picks row v * kSyncedLengthScale of the table, truncated.
    static constexpr float kSyncedLengthScale = 14.99f;
    // That row: the one the Delay plays and its value text names (no + 0.1, unlike the choices).
    static constexpr int syncedRow(float v) {
        const float row = v * kSyncedLengthScale;
        return row > 0.0f ? (row < kSyncedLengths - 1 ? static_cast<int>(row) : kSyncedLengths - 1) : 0;
    }
    // Synced lengths in bars.
    static const float TAPE_DELAY_LEN_ARRAY[kSyncedLengths];

    TDelay();
    TDelay(const TDelay&) = delete;
    TDelay& operator=(const TDelay&) = delete;

    void init(float rate);
    void zero();
    void clear();

    void setTempo(float bpm);
    // len in 0..1: 1 ms .. 4096 ms free, or a row of TAPE_DELAY_LEN_ARRAY when sync > 0.5; add
    // (frames) and scale modulate the length.
    void setDelayLen(float lenL, float lenR, float addL, float addR, float scale, float sync);
    void setDelayLenDirect(float samples);
    // Returns true when the "Equal Feed" state changed.
    bool setEqual(float v);
    void setFeed(float fb, float cross);
    void setFeed(float fb);
    void setLimit(float l) { limit = l; }
    void setFeedFilter(float lp, float hp);

    // Left and right side by side.
    typedef float Pair __attribute__((vector_size(8)));
    Pair process(Pair in);
    // n frames in a row, each pair in io replaced by its output: what n calls of process give.
    void processRun(Pair* io, int n);
    void process(float inL, float inR, float& outL, float& outR) {
        const Pair out = process(Pair{inL, inR});
        outL = out[0];
        outR = out[1];
    }

    static bool getState(float v) { return v >= 0.5f; }
    static bool getStateAndChanged(float v, bool old, bool& changed);
    static float HiLimiter(float v) { return clamp(v, -100.0f, 100.0f); }
    static float limit01(float v) { return clamp(v, 0.0f, 1.0f); }
    static float sign(float v);
    static float clamp(float x, float lo, float hi) {
        if (x > hi) x = hi;
        return x < lo ? lo : x;
    }
    float getFeedFilterFreq(float v) const;

    // The longer channel's length in frames as set now: what is in the lines comes out within it.
    float longestLength() const { return clampedLen[0] > clampedLen[1] ? clampedLen[0] : clampedLen[1]; }

    // Entries a channel's line holds now, and the most it can hold.
    std::size_t lineSize(int channel) const { return lines[channel & 1].count; }
    static std::size_t lineCapacity() { return Line::kCapacity; }

    // Diagnostic for the denormal checks: true when a loop state or a stored sample is subnormal.
    bool hasSubnormalState() const;

private:
    // Added on every loop update so that a decaying loop never reaches the subnormal range.
    static constexpr float kGuard = 1e-15f;
    static constexpr double kReadBehind = 100.0;

    struct Entry {
        double stamp;
        double sample;
    };

    // A fixed-capacity double-ended queue of entries. The bound covers one longest delay written
    // twice per frame (the fill phase) plus a margin; only a line that is never read (increment 0)
    // reaches it, and then the oldest entries give way.
    struct Line {
        static constexpr std::size_t kCapacity = 2 * static_cast<std::size_t>(kMaxLength) + 64;

        std::unique_ptr<Entry[]> ring;
        // Held as pointers so that a frame never turns indices into addresses.
        Entry* end = nullptr;
        Entry* front = nullptr;  // the oldest entry
        Entry* back = nullptr;   // where the next one goes
        std::size_t count = 0;

        Line();
        Entry* after(Entry* e) const { return e + 1 == end ? ring.get() : e + 1; }
        Entry& newest() { return back == ring.get() ? end[-1] : back[-1]; }
        const Entry& at(std::size_t k) const;
        void pushBack(double stamp, double sample);
        void popFront();
    };

    // The two entries around a read point, and whether it lies at or past the newer one.
    struct Span {
        const Entry* e0;
        const Entry* e1;
        bool atNewest;
    };
    static Span passTo(Line& line, double t);
    // passTo on a line's front and count, next() giving the entry after one.
    template <typename Next>
    static Span walk(Entry*& front, std::size_t& count, double t, Next next);
    static double fraction(const Span& s, double t);
    double readChannel(int c, float in);
    Pair readBoth(Pair in);
    // What the loop takes in for input in and output out: feedback, limiter and loop filter,
    // with the gains and states of d (the Delay itself, or a stretch's copy in registers).
    template <typename Loop>
    static Pair loopInput(Loop& d, Pair in, Pair out);
    struct LoopCopy {
        Pair ownFeed, crossFeed, lowPassCoeff, lowPassRest, highPassCoeff, highPassRest, lowPassState,
            highPassState;
        bool feedFilterOn;
    };
    // A stretch past the fill phase in which no line fills up or reaches its ring's end.
    template <bool both>
    void processSteady(Pair* io, int n);
    void setFeedFilterCoefficients(float lowPass, float highPass);

    // 2^(12 len) of the last free length of each channel.
    struct FreeLength {
        float argument = 0.0f;
        float power = 1.0f;
    };
    FreeLength freeLength[2];
    // setDelayLen's arguments, the bar and the rate its lengths last followed from; invalid
    // once anything else set the lengths.
    typedef float Settings __attribute__((vector_size(16)));
    Settings lengthSettings[2] = {};
    bool lengthSettingsValid = false;
    // setFeedFilter's last settings, the rate and the coefficients they gave.
    float feedFilterArgument[2] = {-1.0f, -1.0f};
    float feedFilterRate = 0.0f;
    float feedFilterCoefficient[2] = {};

    bool equal = false;
    bool feedFilterOn = false;
    float sampleRate = 44100.0f;
    float twentyOverRate = 0.0f;
    float ratePerMs = 0.0f;
    float invRate = 0.0f;
    float unclampedLen[2] = {100.0f, 100.0f};
    float clampedLen[2] = {0.0f, 0.0f};
    float samplesPerBar = 0.0f;
    typedef double PairD __attribute__((vector_size(16)));
    Pair ownFeed = {};
    Pair crossFeed = {};
    std::uint8_t flags = 0;
    PairD increment = {};
    Line lines[2];
    PairD clock = {};
    bool needsZero = false;
    float limit = 1.0f;
    // The loop filter's coefficients and their complements, for both channels.
    Pair lowPassCoeff = {}, lowPassRest = {1.0f, 1.0f};
    Pair highPassCoeff = {}, highPassRest = {1.0f, 1.0f};
    Pair lowPassState = {};
    Pair highPassState = {};
    bool notReady = true;
    // Both lines have run at one speed since they were last zeroed, so they hold the same
    // stamps at the same places and one walk finds the read point of both. Lost for good (until
    // the next zero) once the speeds part.
    bool lockstep = false;
    std::uintptr_t rightFromLeft = 0;  // the address distance from an entry to its right twin
    void setIncrements(double left, double right) {
        increment = PairD{left, right};
        lockstep = lockstep && left == right;
    }
};

// The frame is inline: the engine calls it every frame, and inlined its lanes stay in registers.

inline void TDelay::Line::pushBack(double stamp, double sample) {
    if (count == kCapacity) popFront();
    *back = {stamp, sample};
    back = after(back);
    ++count;
}

inline void TDelay::Line::popFront() {
    if (count == 0) return;
    front = after(front);
    --count;
}

// Entries the read point t passed give way, but the newest two stay. Walked in registers; the
// front and the count go back once.
template <typename Next>
[[gnu::always_inline]] inline TDelay::Span TDelay::walk(Entry*& front, std::size_t& count, double t,
                                                        Next next) {
    Entry* e0 = front;
    Entry* e1 = next(e0);
    std::size_t droppable = count - 2;
    while (t >= e1->stamp) {
        e0 = e1;
        e1 = next(e1);
        if (--droppable == 0) break;
    }
    front = e0;
    count = droppable + 2;
    // A line of one or two frames reads at (or just behind) its newest entry: the last two
    // entries still bracket the read point, so it carries the signal instead of staying silent.
    return Span{e0, e1, droppable == 0 && t >= e1->stamp};
}

inline TDelay::Span TDelay::passTo(Line& line, double t) {
    return walk(line.front, line.count, t, [&line](Entry* e) { return line.after(e); });
}

// The front never lies ahead of the read point (the line starts at stamp 0 and entries are
// dropped only once passed), so the span is positive; the test keeps it so regardless.
inline double TDelay::fraction(const Span& s, double t) {
    return t >= s.e0->stamp ? (t - s.e0->stamp) / (s.e1->stamp - s.e0->stamp) : 0.0;
}

inline double TDelay::readChannel(int c, float in) {
    Line& line = lines[c];
    const double now = clock[c];
    if (now < kReadBehind) {
        line.pushBack(now, in);
        return 0.0;
    }
    if (line.count < 3) return 0.0;
    const double t = now - kReadBehind;
    const Span s = passTo(line, t);
    if (s.atNewest) return s.e1->sample;
    const double f = fraction(s, t);
    return s.e0->sample + f * (s.e1->sample - s.e0->sample);
}

// readChannel for both lines at once, while they run in lockstep: the right line's entries
// sit where the left line's do, so its span is the left one moved to its storage.
inline TDelay::Pair TDelay::readBoth(Pair in) {
    const double now = clock[0];
    if (now < kReadBehind) {
        lines[0].pushBack(now, in[0]);
        lines[1].pushBack(now, in[1]);
        return Pair{};
    }
    if (lines[0].count < 3) return Pair{};
    const double t = now - kReadBehind;
    const Span s = passTo(lines[0], t);
    auto toRight = [this](const Entry* e) {
        return reinterpret_cast<Entry*>(reinterpret_cast<std::uintptr_t>(e) + rightFromLeft);
    };
    const Entry* r0 = toRight(s.e0);
    const Entry* r1 = toRight(s.e1);
    lines[1].front = toRight(lines[0].front);
    lines[1].count = lines[0].count;
    const PairD newer = {s.e1->sample, r1->sample};
    if (s.atNewest) return __builtin_convertvector(newer, Pair);
    const PairD older = {s.e0->sample, r0->sample};
    return __builtin_convertvector(older + fraction(s, t) * (newer - older), Pair);
}

template <typename Loop>
[[gnu::always_inline]] inline TDelay::Pair TDelay::loopInput(Loop& d, Pair in, Pair out) {
    typedef int Swap __attribute__((vector_size(8)));
    Pair w = in + d.ownFeed * out + d.crossFeed * __builtin_shuffle(out, Swap{1, 0}) + kGuard;
#if defined(__SSE2__)
    // HiLimiter as one min and one max (a < b ? a : b and a > b ? a : b, NaN included) on the
    // pair widened to four lanes.
    static const __m128 kHigh = {100.0f, 100.0f, 100.0f, 100.0f}, kLow = {-100.0f, -100.0f, -100.0f, -100.0f};
    const __m128 limited = _mm_max_ps(_mm_min_ps(kHigh, __builtin_shufflevector(w, w, 0, 1, 0, 1)), kLow);
    w = __builtin_shufflevector(limited, limited, 0, 1);
#else
    const Pair high = {100.0f, 100.0f}, low = -high;
    w = w > high ? high : w;  // HiLimiter
    w = w < low ? low : w;
#endif
    if (d.feedFilterOn) {
        const Pair lp = d.lowPassCoeff * w + d.lowPassRest * d.lowPassState + kGuard;
        const Pair hp = d.highPassRest * d.highPassState + d.highPassCoeff * lp + kGuard;
        d.lowPassState = lp;
        d.highPassState = hp;
        w = lp - hp;
    }
    return w;
}

[[gnu::always_inline]] inline TDelay::Pair TDelay::process(Pair in) {
    // A line always holds an entry (zero() leaves one, and none is dropped below two).
    if (notReady) return Pair{};
    // The two channels side by side: each lane rounds as the same sum on one channel would.
    clock += increment;
    const Pair out =
        lockstep ? readBoth(in)
                 : __builtin_convertvector((PairD{readChannel(0, in[0]), readChannel(1, in[1])}), Pair);
    const Pair w = loopInput(*this, in, out);
    if (feedFilterOn) {
        // In the fill phase the read step queued the input under this frame's stamp; the loop
        // holds it filtered, and an unfiltered entry would leak into the first echo as a step.
        if (clock[0] < kReadBehind) lines[0].newest().sample = w[0];
        if (clock[1] < kReadBehind) lines[1].newest().sample = w[1];
    }
#if defined(__SSE2__)
    const PairD written = _mm_cvtps_pd(__builtin_shufflevector(w, w, 0, 1, 0, 1));  // one conversion for both
#else
    const PairD written = __builtin_convertvector(w, PairD);
#endif
    lines[0].pushBack(clock[0], written[0]);
    lines[1].pushBack(clock[1], written[1]);
    return out;
}
