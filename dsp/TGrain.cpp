#include "dsp/TGrain.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The recording starts silent and init leaves it, since a grain only ever reads frames it has
// just recorded, and clearing 48 slots' recordings would cost milliseconds on every reset.
TGrain::TGrain() {
    init(44100.0f);
}

void TGrain::init(float) {
    readPosition = 0.0f;
    direction = 1.0f;
    envelope = 1.0f;
    state = kIdle;
    writeSize = 1000;
    readSize = 1000;
    envelopeCounter = 0;
    readLength = 1000.0f;
    readEnd = 1000.0f;
    loopMode = kPing;
}

void TGrain::triggerGrain(int newWriteSize, int newReadSize) {
    triggerGrain(newWriteSize, newReadSize, frames.get());
}

void TGrain::triggerGrain(int newWriteSize, int newReadSize, const float* frame) {
    source = frame;
    state = kRecording;
    readPosition = 0.0f;
    envelopeCounter = 0;
    writeSize = clampedSize(newWriteSize);
    readSize = clampedSize(newReadSize);
    readLength = readLengthOf(readSize);
    readEnd = readEndOf(writeSize);
}

bool TGrain::floorElsewhere(float& whole) {
    if (!((readPosition < readEnd && readPosition > -1.0f) || turn())) return false;
    whole = std::floor(readPosition);
    return true;
}

bool TGrain::turn(float& readPosition, float& direction, int writeSize, int loopMode) {
    if (writeSize == 0) return false;
    const float end = static_cast<float>(writeSize);
    if (!(readPosition < end)) {
        switch (loopMode & ~1) {
            case kPing:
                readPosition = end - 1.0f;
                direction = -1.0f;
                break;
            case kLoop:
                readPosition = 0.0f;
                break;
            default:
                return false;
        }
    }
    // The integer part truncates toward zero, so the turn comes at -1, not at -0.5.
    if (readPosition <= -1.0f) {
        readPosition = 0.0f;
        direction = 1.0f;
    }
    return true;
}

template <bool wide>
[[gnu::always_inline]] inline TGrain::Quad TGrainSlots::playLanes(float speed) {
    // A group of four lanes' steps, and what its reads and sums take from them.
    struct Group {
        Quad t, envelope, weight;
        Ints i, j, k, sounding, plainSounds;
        int lanes;
        bool neighbours;
    };
    unsigned ended = 0;
    const int playing = count;  // held in a register across the stores
    const auto step = [&](int g) __attribute__((always_inline)) {
        Group q;
        Quad pos = load(position + g);
        const Quad end = load(readEnd + g);
        // Within the recording past 0 the truncation is the floor; any lane elsewhere turns first,
        // and then the floor is worked out for a position in (-1, 0) and silence for one outside.
        Ints sounding = (pos > 0.0f) & (pos < end);
        Ints i = __builtin_convertvector(pos, Ints);
        Quad whole = __builtin_convertvector(i, Quad);
        if (mask(sounding) != 15) {
            turnLanes(g);
            pos = load(position + g);
            sounding = (pos > -1.0f) & (pos < end);
            i = __builtin_convertvector(pos, Ints);
            whole = __builtin_convertvector(i, Quad);
            whole -=
                reinterpret_cast<Quad>(reinterpret_cast<Ints>(Quad{1.0f, 1.0f, 1.0f, 1.0f}) & (pos < whole));
            i &= sounding;
        }
        q.t = pos - whole;
        q.i = i;
        q.sounding = sounding;
        const Ints n = load(writeSize + g);
        const Ints last = n - 1;
        const Ints adjacent = i < last;
        q.j = (adjacent ? i + 1 : last) & sounding;
        pos += speed * load(direction + g);
        std::memcpy(position + g, &pos, sizeof pos);

        // The plain output plays the recording straight through: its index is the envelope's
        // counter. Lanes whose plain output ran out read frame 0 and their plain outputs are
        // masked to 0 (not weighted by 0: the frames may hold anything); so are silent pitched
        // outputs.
        const Ints c = load(counter + g);
        q.plainSounds = c < n;
        q.k = c & q.plainSounds;
        const Quad twice = 2.0f * __builtin_convertvector(c, Quad);
        const Ints magnitude = reinterpret_cast<Ints>(1.0f - twice / load(readLength + g)) & 0x7fffffff;
        q.envelope = 1.0f - reinterpret_cast<Quad>(magnitude);
        const Ints next = c + 1;
        std::memcpy(counter + g, &next, sizeof next);
        // A read size of 0 ends the grain after this frame instead of never. An ending slot's
        // weights are 0.
        const Ints ending = next > load(lastCount + g);
        const unsigned endingLanes = mask(ending);
        if (endingLanes != 0) {
            ended |= endingLanes << g;
            q.envelope = reinterpret_cast<Quad>(reinterpret_cast<Ints>(q.envelope) & ~ending);
        }
        q.lanes = std::min(playing - g, 4);
        const unsigned valid = (1u << q.lanes) - 1;
        q.neighbours = (mask(sounding & adjacent) & valid) == valid;
        q.weight = q.envelope;
        return q;
    };
    const auto weigh = [&](Group & q, int g) __attribute__((always_inline)) {
        q.weight = wide ? shapedPowersWide(q.envelope, load(power + g))
                        : TGrain::shapedPowers(q.envelope, load(power + g), q.lanes);
    };
    Quad sums{};  // pitched left and right, plain left and right
    const auto add = [&](const Group& q, int g) __attribute__((always_inline)) {
        // Each lane's pitched weight twice and its plain weight twice, and which outputs sound.
        const Quad low = __builtin_shufflevector(q.weight, q.envelope, 0, 4, 1, 5);
        const Quad high = __builtin_shufflevector(q.weight, q.envelope, 2, 6, 3, 7);
        const Quad weights[4] = {
            __builtin_shufflevector(low, low, 0, 0, 1, 1), __builtin_shufflevector(low, low, 2, 2, 3, 3),
            __builtin_shufflevector(high, high, 0, 0, 1, 1), __builtin_shufflevector(high, high, 2, 2, 3, 3)};
        const Ints onLow = __builtin_shufflevector(q.sounding, q.plainSounds, 0, 4, 1, 5);
        const Ints onHigh = __builtin_shufflevector(q.sounding, q.plainSounds, 2, 6, 3, 7);
        const Ints on[4] = {__builtin_shufflevector(onLow, onLow, 0, 0, 1, 1),
                            __builtin_shufflevector(onLow, onLow, 2, 2, 3, 3),
                            __builtin_shufflevector(onHigh, onHigh, 0, 0, 1, 1),
                            __builtin_shufflevector(onHigh, onHigh, 2, 2, 3, 3)};
        if (q.neighbours) {
            // Every lane reads two neighbouring frames at once.
            for (int l = 0; l < q.lanes; ++l) {
                const float* recording = source[g + l];
                Quad ab;
                std::memcpy(&ab, recording + 2 * index(q.i[l]), sizeof ab);
                const Quad pitched = ab + (__builtin_shufflevector(ab, ab, 2, 3, 0, 1) - ab) * q.t[l];
                const Quad both = __builtin_shufflevector(pitched, frameAt(recording, q.k[l]), 0, 1, 4, 5);
                sums += reinterpret_cast<Quad>(reinterpret_cast<Ints>(both) & on[l]) * weights[l];
            }
        } else {
            for (int l = 0; l < q.lanes; ++l) {
                const float* recording = source[g + l];
                const Frame a = frameAt(recording, q.i[l]), b = frameAt(recording, q.j[l]);
                const Frame pitched = a + (b - a) * q.t[l];
                const Quad both = __builtin_shufflevector(pitched, frameAt(recording, q.k[l]), 0, 1, 2, 3);
                sums += reinterpret_cast<Quad>(reinterpret_cast<Ints>(both) & on[l]) * weights[l];
            }
        }
    };
    // Two groups at a time, their weights' long chains of steps side by side.
    for (int g = 0; g < playing; g += 8) {
        Group first = step(g);
        if (g + 4 < playing) {
            Group second = step(g + 4);
            if (shaped != 0) {
                weigh(first, g);
                weigh(second, g + 4);
            }
            add(first, g);
            add(second, g + 4);
        } else {
            if (shaped != 0) weigh(first, g);
            add(first, g);
        }
    }
    // The ended slots leave their lanes, the highest first.
    while (ended != 0) {
        const int lane = 31 - __builtin_clz(ended);
        stopLane(lane);
        ended &= ~(1u << lane);
    }
    return sums;
}

#if defined(__x86_64__) || defined(__i386__)
// Built for AVX2 as well, where the processor has it: the steps take three operands and the shaped
// weights four doubles at once. Every step rounds as in the other build.
namespace {
bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}
bool avx2Steps = hasAvx2();
}  // namespace

bool TGrainSlots::wideSteps(bool on) {
    const bool was = avx2Steps;
    avx2Steps = on && hasAvx2();
    return was;
}

[[gnu::target("avx2")]] inline TGrain::Quad TGrainSlots::shapedPowersWide(Quad x, Quad p) {
    typedef double Wide4 __attribute__((vector_size(32)));
    typedef std::uint64_t WideBits4 __attribute__((vector_size(32)));
    TGrain::Bits k;
    Quad mantissa;
    TGrain::split(x, k, mantissa);
    Wide4 w;
    TGrain::powerSeries<Wide4, WideBits4>(__builtin_ia32_cvtps2pd256(mantissa), __builtin_ia32_cvtdq2pd256(k),
                                          __builtin_ia32_cvtps2pd256(p), w);
    return TGrain::silentOrEnvelope(x, p, __builtin_ia32_cvtpd2ps256(w));
}

[[gnu::target("avx2")]] TGrain::Quad TGrainSlots::playAvx2(float speed) {
    return playLanes<true>(speed);
}

TGrain::Quad TGrainSlots::play(float speed) {
    return avx2Steps ? playAvx2(speed) : playPortable(speed);
}
#else
TGrain::Quad TGrainSlots::shapedPowersWide(Quad x, Quad p) {
    return TGrain::shapedPowers(x, p, 4);
}

bool TGrainSlots::wideSteps(bool) {
    return false;
}

TGrain::Quad TGrainSlots::play(float speed) {
    return playPortable(speed);
}
#endif

TGrain::Quad TGrainSlots::playPortable(float speed) {
    return playLanes<false>(speed);
}

void TGrainSlots::reset() {
    for (int s = 0; s < kSlots; ++s) {
        grains[s] = Grain{nullptr, 0, 0, TGrain::kPing, 1.0f};
        state[s] = TGrain::kIdle;
        clearLane(s);
    }
    count = 0;
    shaped = 0;
}

// A lane that never sounds (inside a recording of one frame, not moving) nor ends, reading frame
// 0 of nothing, with an envelope of 0.
void TGrainSlots::clearLane(int lane) {
    static const float silence[2] = {0.0f, 0.0f};
    position[lane] = 0.5f;
    direction[lane] = 0.0f;
    readEnd[lane] = 1.0f;
    readLength[lane] = std::numeric_limits<float>::infinity();
    power[lane] = 1.0f;
    counter[lane] = 0;
    lastCount[lane] = std::numeric_limits<std::int32_t>::max();
    writeSize[lane] = 0;
    source[lane] = silence;
    slotOf[lane] = 0;
    loopMode[lane] = TGrain::kPing;
}

void TGrainSlots::copyLane(int to, int from) {
    position[to] = position[from];
    direction[to] = direction[from];
    readEnd[to] = readEnd[from];
    readLength[to] = readLength[from];
    power[to] = power[from];
    counter[to] = counter[from];
    lastCount[to] = lastCount[from];
    writeSize[to] = writeSize[from];
    source[to] = source[from];
    slotOf[to] = slotOf[from];
    loopMode[to] = loopMode[from];
}

void TGrainSlots::stopLane(int lane) {
    state[slotOf[lane]] = TGrain::kIdle;
    if (power[lane] != 1.0f) --shaped;
    --count;
    for (int l = lane; l < count; ++l) copyLane(l, l + 1);
    for (int l = count; l < kSlots; ++l) clearLane(l);
}

void TGrainSlots::stopSlot(int slot) {
    if (state[slot] == TGrain::kPlaying)
        for (int l = 0; l < count; ++l)
            if (slotOf[l] == slot) {
                stopLane(l);
                break;
            }
}

void TGrainSlots::trigger(int slot, int newWriteSize, int newReadSize, const float* frame, int mode,
                          float shapePower) {
    stopSlot(slot);
    grains[slot] =
        Grain{frame, TGrain::clampedSize(newWriteSize), TGrain::clampedSize(newReadSize), mode, shapePower};
    state[slot] = TGrain::kRecording;
}

void TGrainSlots::recorded(int slot) {
    stopSlot(slot);  // a grain that plays starts again
    int lane = 0;
    while (lane < count && slotOf[lane] < slot) ++lane;
    for (int l = count; l > lane; --l) copyLane(l, l - 1);
    ++count;
    const Grain& g = grains[slot];
    position[lane] = 0.0f;
    direction[lane] = 1.0f;
    readEnd[lane] = TGrain::readEndOf(g.writeSize);
    readLength[lane] = TGrain::readLengthOf(g.readSize);
    power[lane] = g.power;
    counter[lane] = 0;
    lastCount[lane] = g.readSize - 1;
    writeSize[lane] = g.writeSize;
    source[lane] = g.source;
    slotOf[lane] = static_cast<std::uint8_t>(slot);
    loopMode[lane] = static_cast<std::uint8_t>(g.loopMode);
    if (g.power != 1.0f) ++shaped;
    state[slot] = TGrain::kPlaying;
}

int TGrainSlots::framesToEnd(int slot) const {
    return state[slot] == TGrain::kIdle ? 0 : grains[slot].writeSize + grains[slot].readSize;
}

void TGrainSlots::turnLanes(int group) {
    for (int l = group; l < group + 4 && l < count; ++l) {
        float& pos = position[l];
        if ((pos > 0.0f && pos < readEnd[l]) || (pos < readEnd[l] && pos > -1.0f)) continue;
        TGrain::turn(pos, direction[l], writeSize[l], loopMode[l]);
    }
}
