#include "dsp/TDelay.h"

#include <algorithm>
#include <bit>
#include <cmath>

const float TDelay::TAPE_DELAY_LEN_ARRAY[kSyncedLengths] = {
    1.0f / 48.0f, 1.0f / 32.0f, 3.0f / 64.0f, 1.0f / 24.0f, 1.0f / 16.0f,
    3.0f / 32.0f, 1.0f / 12.0f, 1.0f / 8.0f,  3.0f / 16.0f, 1.0f / 6.0f,
    1.0f / 4.0f,  3.0f / 8.0f,  1.0f / 3.0f,  1.0f / 2.0f,  3.0f / 4.0f};

// Untouched pages cost nothing until the line has been that long.
TDelay::Line::Line()
    : ring(std::make_unique_for_overwrite<Entry[]>(kCapacity)),
      end(ring.get() + kCapacity),
      front(ring.get()),
      back(ring.get()) {}

inline const TDelay::Entry& TDelay::Line::at(std::size_t k) const {
    std::size_t i = static_cast<std::size_t>(front - ring.get()) + k;
    if (i >= kCapacity) i -= kCapacity;
    return ring[i];
}

TDelay::TDelay()
    : rightFromLeft(reinterpret_cast<std::uintptr_t>(lines[1].ring.get()) -
                    reinterpret_cast<std::uintptr_t>(lines[0].ring.get())) {
    init(44100.0f);
}

void TDelay::init(float rate) {
    if (!(rate >= 1000.0f)) rate = 1000.0f;
    notReady = true;
    equal = false;
    feedFilterOn = false;
    sampleRate = rate;
    twentyOverRate = 20.0f / rate;
    ratePerMs = rate / 1000.0f;
    invRate = 1.0f / rate;
    needsZero = true;
    zero();
    clear();
    notReady = false;
}

void TDelay::zero() {
    if (!needsZero) return;
    lengthSettingsValid = false;
    for (int c = 0; c < 2; ++c) {
        increment[c] = 0.0;
        clock[c] = 0.0;
        // The line keeps a single entry, restarted at the new clock's origin: an entry that kept
        // its old stamp would sit ahead of the read point when reading begins, and the read would
        // divide by a zero span or extrapolate far beyond both samples.
        Line& line = lines[c];
        // Both at the start of their storage: lines that go on in lockstep sit at the same places.
        line.front = line.back = line.ring.get();
        line.count = 0;
        line.pushBack(0.0, 0.0);
    }
    lockstep = true;
    needsZero = false;
}

void TDelay::clear() {
    zero();
    flags = 0;
    lengthSettingsValid = false;
    unclampedLen[0] = unclampedLen[1] = 100.0f;
    clampedLen[0] = clampedLen[1] = 0.0f;
    ownFeed = crossFeed = lowPassState = highPassState = Pair{};
    limit = 1.0f;
    samplesPerBar = sampleRate * 240.0f / 120.0f;
    setFeedFilterCoefficients(0.0f, 0.0f);
}

void TDelay::setTempo(float bpm) {
    if (!(bpm >= 0.0001f)) bpm = 120.0f;
    samplesPerBar = sampleRate * 240.0f / bpm;
}

namespace {

// Limits a length to 1..262143 frames; anything that is not a number becomes the shortest.
float clampLength(float length) {
    if (!(length >= 1.0f)) return 1.0f;
    return length < static_cast<float>(TDelay::kMaxLength) ? length : static_cast<float>(TDelay::kMaxLength);
}

}  // namespace

void TDelay::setDelayLen(float lenL, float lenR, float addL, float addR, float scale, float sync) {
    // Set every frame with settings that mostly rest: worked out again only when one moves, and
    // the base lengths only when what they follow from moved (modulation mostly moves add and
    // scale). Compared bit for bit, eight at once: the same bits always give the same lengths.
    typedef std::int32_t Bits __attribute__((vector_size(16)));
    typedef std::int64_t Halves __attribute__((vector_size(16)));
    const Settings lengths = {lenL, lenR, addL, addR}, others = {scale, sync, samplesPerBar, sampleRate};
    const Bits movedLengths = std::bit_cast<Bits>(lengths) ^ std::bit_cast<Bits>(lengthSettings[0]);
    const Bits movedOthers = std::bit_cast<Bits>(others) ^ std::bit_cast<Bits>(lengthSettings[1]);
    auto none = [](Bits b) {
        const Halves h = std::bit_cast<Halves>(b);
        return (h[0] | h[1]) == 0;
    };
    if (lengthSettingsValid && none(movedLengths | movedOthers)) return;
    const bool baseRests = lengthSettingsValid &&
                           none((movedLengths & Bits{-1, -1, 0, 0}) | (movedOthers & Bits{0, -1, -1, -1}));
    lengthSettings[0] = lengths;
    lengthSettings[1] = others;
    lengthSettingsValid = true;
    const float len[2] = {lenL, lenR};
    const float add[2] = {addL, addR};
    for (int c = 0; c < 2; ++c) {
        if (!baseRests) {
            float base;
            if (sync > 0.5f) {
                base = TAPE_DELAY_LEN_ARRAY[syncedRow(len[c])] * samplesPerBar;
            } else {
                // The exponential only when the length moves.
                if (!(len[c] == freeLength[c].argument)) {
                    freeLength[c].argument = len[c];
                    freeLength[c].power = std::exp2(12.0f * len[c]);
                }
                base = sampleRate * freeLength[c].power / 1000.0f;
            }
            unclampedLen[c] = base + 1.0f;
        }
        clampedLen[c] = clampLength(scale * (add[c] + unclampedLen[c]));
    }
    setIncrements(kReadBehind / static_cast<double>(clampedLen[0]),
                  kReadBehind / static_cast<double>(clampedLen[1]));
}

// A stretch of frames with the lines' ends, counts and clocks held in registers. Frame by frame
// while a frame may still be in the fill phase, fill a line or reach a ring's end.
void TDelay::processRun(Pair* io, int n) {
    bool steady = !notReady;
    const PairD first = clock + increment;  // the first frame's clocks, as process adds them
    for (int c = 0; c < 2; ++c) {
        const Line& line = lines[c];
        steady = steady && first[c] >= kReadBehind && line.count >= 3 &&
                 line.count + static_cast<std::size_t>(n) < Line::kCapacity && line.front < line.back &&
                 line.back + n < line.end;
    }
    if (!steady) {
        for (int q = 0; q < n; ++q) io[q] = process(io[q]);
    } else if (lockstep) {
        processSteady<true>(io, n);
    } else {
        processSteady<false>(io, n);
    }
}

// process, frame after frame, where every frame reads (a line holds three entries or more
// after each write) and the entries a run walks and writes lie in a row. The clocks only grow,
// so a stretch that starts past the fill phase stays past it.
template <bool both>
void TDelay::processSteady(Pair* io, int n) {
    Entry* front[2] = {lines[0].front, lines[1].front};
    Entry* back[2] = {lines[0].back, lines[1].back};
    std::size_t count[2] = {lines[0].count, lines[1].count};
    PairD now = clock;
    const PairD step = increment;
    const std::uintptr_t rightOffset = rightFromLeft;
    LoopCopy loop{ownFeed,      crossFeed,    lowPassCoeff,  lowPassRest, highPassCoeff,
                  highPassRest, lowPassState, highPassState, feedFilterOn};
    auto next = [](Entry* e) { return e + 1; };
    for (int q = 0; q < n; ++q) {
        now += step;
        Pair out;
        if constexpr (both) {
            // readBoth: the right line's span is the left one's moved to its storage.
            const double t = now[0] - kReadBehind;
            const Span s = walk(front[0], count[0], t, next);
            auto toRight = [rightOffset](const Entry* e) {
                return reinterpret_cast<const Entry*>(reinterpret_cast<std::uintptr_t>(e) + rightOffset);
            };
            const PairD newer = {s.e1->sample, toRight(s.e1)->sample};
            if (s.atNewest) {
                out = __builtin_convertvector(newer, Pair);
            } else {
                const PairD older = {s.e0->sample, toRight(s.e0)->sample};
                out = __builtin_convertvector(older + fraction(s, t) * (newer - older), Pair);
            }
        } else {
            // Each line walks to its own read point; the two reads then interpolate side by
            // side, each lane as readChannel's steps on its line.
            const PairD t = now - kReadBehind;
            const Span left = walk(front[0], count[0], t[0], next);
            const Span right = walk(front[1], count[1], t[1], next);
            const PairD before = {left.e0->stamp, right.e0->stamp}, after = {left.e1->stamp, right.e1->stamp};
            const PairD older = {left.e0->sample, right.e0->sample},
                        newer = {left.e1->sample, right.e1->sample};
            const PairD f = t >= before ? (t - before) / (after - before) : PairD{};
            typedef std::int64_t Mask __attribute__((vector_size(16)));
            const Mask atNewest = {left.atNewest ? -1 : 0, right.atNewest ? -1 : 0};
            out = __builtin_convertvector(atNewest ? newer : older + f * (newer - older), Pair);
        }
        const Pair w = loopInput(loop, io[q], out);
#if defined(__SSE2__)
        const PairD written = _mm_cvtps_pd(__builtin_shufflevector(w, w, 0, 1, 0, 1));
#else
        const PairD written = __builtin_convertvector(w, PairD);
#endif
        for (int c = 0; c < 2; ++c) {
            *back[c]++ = {now[c], written[c]};
            ++count[c];
        }
        io[q] = out;
    }
    if constexpr (both) {
        front[1] = reinterpret_cast<Entry*>(reinterpret_cast<std::uintptr_t>(front[0]) + rightOffset);
        count[1] = count[0];
    }
    for (int c = 0; c < 2; ++c) {
        lines[c].front = front[c];
        lines[c].back = back[c];
        lines[c].count = count[c];
    }
    clock = now;
    lowPassState = loop.lowPassState;
    highPassState = loop.highPassState;
}

void TDelay::setDelayLenDirect(float samples) {
    lengthSettingsValid = false;
    for (int c = 0; c < 2; ++c) {
        unclampedLen[c] = samples;
        clampedLen[c] = clampLength(samples);
    }
    setIncrements(kReadBehind / static_cast<double>(clampedLen[0]),
                  kReadBehind / static_cast<double>(clampedLen[1]));
}

bool TDelay::setEqual(float v) {
    const bool now = v > 0.5f;
    const bool changed = now != equal;
    equal = now;
    return changed;
}

void TDelay::setFeed(float fb, float cross) {
    ownFeed[0] = ownFeed[1] = fb;
    crossFeed[0] = crossFeed[1] = cross;
    if (!equal) {
        const float s = std::max(1.0f, std::fabs(fb) + std::fabs(cross) + 0.0001f);
        ownFeed[0] = ownFeed[1] = fb / s + kGuard;
        crossFeed[0] = crossFeed[1] = cross / s + kGuard;
        return;
    }
    // The longer line keeps fb; the shorter one gets the gain that decays as fast per second.
    crossFeed[0] = crossFeed[1] = 0.0f;
    const float x = std::fabs(fb) + 0.0001f;
    const float ul = unclampedLen[0];
    const float ur = unclampedLen[1];
    if (ul > ur)
        ownFeed[1] = sign(fb) * std::pow(x, ur / (ul + 1.0f));
    else
        ownFeed[0] = sign(fb) * std::pow(x, ul / (ur + 1.0f));
}

void TDelay::setFeed(float fb) {
    ownFeed[0] = ownFeed[1] = fb;
    crossFeed[0] = crossFeed[1] = 0.0f;
}

void TDelay::setFeedFilter(float lp, float hp) {
    if (lp > 0.999f && hp < 0.0001f) {
        feedFilterOn = false;
        return;
    }
    // Set every 16 frames with settings that mostly rest: the exponentials only when they move.
    if (!(lp == feedFilterArgument[0] && hp == feedFilterArgument[1] && sampleRate == feedFilterRate)) {
        feedFilterArgument[0] = lp;
        feedFilterArgument[1] = hp;
        feedFilterRate = sampleRate;
        feedFilterCoefficient[0] = getFeedFilterFreq(lp);
        feedFilterCoefficient[1] = getFeedFilterFreq(hp);
    }
    setFeedFilterCoefficients(feedFilterCoefficient[0], feedFilterCoefficient[1]);
    feedFilterOn = true;
}

void TDelay::setFeedFilterCoefficients(float lowPass, float highPass) {
    lowPassCoeff = Pair{lowPass, lowPass};
    lowPassRest = 1.0f - lowPassCoeff;
    highPassCoeff = Pair{highPass, highPass};
    highPassRest = 1.0f - highPassCoeff;
}

bool TDelay::getStateAndChanged(float v, bool old, bool& changed) {
    const bool now = v > 0.5f;
    changed = old != now;
    return now;
}

float TDelay::sign(float v) {
    if (v < 0.0f) return -1.0f;
    return v > 1e-15f ? 1.0f : 0.0f;
}

float TDelay::getFeedFilterFreq(float v) const {
    return 2.0f * clamp(20.0f * std::exp2(10.0f * v) / sampleRate, twentyOverRate, 0.2f);
}

bool TDelay::hasSubnormalState() const {
    auto subnormal = [](double v) { return std::fpclassify(v) == FP_SUBNORMAL; };
    for (int c = 0; c < 2; ++c) {
        if (subnormal(lowPassState[c]) || subnormal(highPassState[c])) return true;
        const Line& line = lines[c];
        for (std::size_t k = 0; k < line.count; ++k)
            if (subnormal(line.at(k).sample) || subnormal(static_cast<float>(line.at(k).sample))) return true;
    }
    return false;
}
