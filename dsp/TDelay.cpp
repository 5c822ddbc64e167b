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
                const float row = len[c] * kSyncedLengthScale;
                const int index =
                    row > 0.0f ? (row < kSyncedLengths - 1 ? static_cast<int>(row) : kSyncedLengths - 1) : 0;
                base = TAPE_DELAY_LEN_ARRAY[index] * samplesPerBar;
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
