#include "dsp/TBasicReverb.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include <unistd.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif
#if TARNWELL_WIDE_COMBS
#include <immintrin.h>
#endif

namespace {

constexpr float kTuningRate = 44100.0f;
constexpr int kCombTuning[10] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617, 1680, 1046};
// The second tuning set (lanes 2 and 4) and the second allpass group are spread by this much.
constexpr int kStereoSpread = 23;
constexpr int kAllpassTuning[4] = {556, 441, 341, 225};
constexpr float kAllpassGuard = 1e-8f;
// The comb loops decay toward silence without end; in the subnormal range every frame of a quiet
// tail would cost many times a loud one, so each comb write carries this offset. The lane
// high-pass removes the DC it leaves; with the high-pass off that DC sits near 1e-13.
constexpr float kCombGuard = 1e-15f;
constexpr float kOutputGain = 0.025f;
constexpr std::uint32_t kCombMask = TComb::kRingFrames - 1;
constexpr std::int32_t kRingFloats = static_cast<std::int32_t>(TComb::kRingFrames) * TComb::kCombs;
constexpr std::uint32_t kPreDelayMask = TBasicReverb::kPreDelayFrames - 1;
// Keeps the allpass sizes of absurd sample rates within memory and int range.
constexpr double kMaxAllpassSize = 1 << 20;

bool isSubnormal(float v) {
    return std::fpclassify(v) == FP_SUBNORMAL;
}

// Tuning of comb c (comb j of lane k at j * 4 + k): lanes 2 and 4 take the spread set.
constexpr int tuningOf(int comb) {
    return kCombTuning[comb / TComb::kLanes] + (comb % 2 == 1 ? kStereoSpread : 0);
}

constexpr auto kCombTuningF = [] {
    std::array<float, TComb::kCombs> t{};
    for (int c = 0; c < TComb::kCombs; ++c) t[static_cast<std::size_t>(c)] = static_cast<float>(tuningOf(c));
    return t;
}();

// Lane by lane a < b ? a : b and a > b ? a : b, NaN included.
inline ReverbLanes laneMin(ReverbLanes a, ReverbLanes b) {
#if defined(__SSE__)
    return _mm_min_ps(a, b);
#else
    return a < b ? a : b;
#endif
}

// a[0], a[1], b[0], b[1]: two 8-byte loads.
inline ReverbLanes loadPairs(const float* a, const float* b) {
#if defined(__SSE__)
    return _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(a)),
                        reinterpret_cast<const __m64*>(b));
#else
    return ReverbLanes{a[0], a[1], b[0], b[1]};
#endif
}

inline ReverbLanes laneMax(ReverbLanes a, ReverbLanes b) {
#if defined(__SSE__)
    return _mm_max_ps(a, b);
#else
    return a > b ? a : b;
#endif
}

}  // namespace

// ---- TComb ----

// A frame at place p of its block reads length = 4 * blocks + rest frames back: blocks whole blocks
// and rest places back, and one block less but a vector part more when the rest reaches back past
// the block's start (p < rest).
void TComb::placeComb(int c, std::int32_t length) {
    const std::int32_t blocks = length / kBlockFrames, rest = length % kBlockFrames;
    const std::int32_t at = (c / kLanes) * kVectorFloats + c % kLanes - blocks * kBlockFloats - rest * kLanes;
    for (int place = 0; place < kBlockFrames; ++place)
        offset[place][c] = at - (place < rest ? kBlockFloats - kVectorFloats : 0);
}

void TComb::setRawLengths(const int (&lengths)[kCombs]) {
    // Unsigned arithmetic wraps a length past the ring back into it: 1 .. kRingFrames frames.
    longestLength = 0;
    for (int c = 0; c < kCombs; ++c) {
        const std::uint32_t ahead = (kRingFrames - static_cast<std::uint32_t>(lengths[c])) & kCombMask;
        const auto length = static_cast<std::int32_t>(kRingFrames - ahead);
        placeComb(c, length);
        longestLength = std::max(longestLength, length);
    }
}

void TComb::setLengths(const ReverbLanes (&frames)[kVectors]) {
    ReverbLanes longest = frames[0];
    for (int j = 0; j < kVectors; ++j) {
        const ReverbIndices length = __builtin_convertvector(frames[j], ReverbIndices);
        for (int k = 0; k < kLanes; ++k) placeComb(j * kLanes + k, length[k]);
        longest = laneMax(longest, frames[j]);
    }
    const float most = std::max(std::max(longest[0], longest[1]), std::max(longest[2], longest[3]));
    longestLength = static_cast<std::int32_t>(most);
}

void TComb::setVectors(float damping, float room) {
    for (int k = 0; k < kLanes; ++k) {
        damp[k] = damping;
        oneMinusDamp[k] = 1.0f - damping;
        roomGain[k] = room;
    }
}

void TComb::setHighPass(float c) {
    for (int k = 0; k < kLanes; ++k) {
        a0[k] = 0.0f;
        a1[k] = 1.0f;
        b0[k] = 1.0f - c;
        b1[k] = c;
    }
}

void TComb::clearFilterState() {
    clearLowPass();
    std::fill(std::begin(low1), std::end(low1), 0.0f);
    std::fill(std::begin(low2), std::end(low2), 0.0f);
}

void TComb::clearLowPass() {
    std::fill(std::begin(lowPass), std::end(lowPass), 0.0f);
}

void TComb::clearRing() {
    std::fill_n(ring.get(), static_cast<std::size_t>(kRingFrames) * kCombs * (ring.mirrored() ? 2 : 1), 0.0f);
}

namespace {

typedef ReverbLanes Lanes;

inline Lanes load4(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store4(float* p, Lanes v) {
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

[[gnu::always_inline]] inline ReverbLanes TComb::update(float inL, float tap0, float tap2, float inR,
                                                        float tap1, float tap3) {
    const std::uint32_t q = position = (position + 1) & kCombMask;
    const std::int32_t start = frameStart(q);
    const std::int32_t* offsets = offset[q % kBlockFrames];

    // Even combs of a lane take the dry input of their side, odd combs a pre-delay tap (lanes 1
    // and 3); lanes 2 and 4 the other way round.
    const Lanes evenInput = {inL, tap1, inL, tap3}, oddInput = {tap0, inR, tap2, inR};
    const Lanes dampV = load4(damp), keepV = load4(oneMinusDamp), roomV = load4(roomGain);
    const Lanes guard = load4(guardLanes);
    // The frame's values go straight into the ring's frame, ten 4-wide stores. A comb reads its
    // own slot of this frame at most (a length of a whole ring), before its vector writes it; every
    // comb reads behind the frame's start in the second copy, one load each.
    float* frame = ringFrames + start;
    Lanes total = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int j = 0; j < kCombs / kLanes; ++j) {
        const std::int32_t* o = &offsets[j * kLanes];
        const Lanes d = {frame[o[0]], frame[o[1]], frame[o[2]], frame[o[3]]};
        total += d;
        // Kept as it goes: otherwise every delayed vector stays live to the end, and spills.
        asm("" : "+x"(total));
        const Lanes low = load4(&lowPass[j * kLanes]) * dampV + d * keepV;
        store4(&lowPass[j * kLanes], low);
        store4(&frame[j * kVectorFloats], low * roomV + (j % 2 == 0 ? evenInput : oddInput) + guard);
    }
    mirror(frame);
    return highPass(total);
}

inline void TComb::mirror(float* frame) {
    if (ring.mirrored())
        for (int j = 0; j < kVectors; ++j)
            store4(&frame[j * kVectorFloats - kRingFloats], load4(&frame[j * kVectorFloats]));
}

[[gnu::always_inline]] inline ReverbLanes TComb::highPass(ReverbLanes total) {
    const Lanes l1 = load4(low1) * load4(a0) + total * load4(a1);
    const Lanes l2 = load4(low2) * load4(b0) + l1 * load4(b1);
    store4(low1, l1);
    store4(low2, l2);
    return l1 - l2;
}

#if TARNWELL_WIDE_COMBS
namespace {

// Four loads, each straight into its lane. (A gather instruction would take fewer instructions,
// but more time.)
__attribute__((target("avx"), always_inline)) inline __m128 delayedLanes(const float* frame,
                                                                         const std::int32_t* o) {
    ReverbLanes v = {frame[o[0]], 0.0f, 0.0f, 0.0f};
    v[1] = frame[o[1]];
    v[2] = frame[o[2]];
    v[3] = frame[o[3]];
    return v;
}

__attribute__((target("avx"), always_inline)) inline __m256 splat8(std::int32_t v) {
    return _mm256_set1_ps(static_cast<float>(v));
}

}  // namespace

// As update, comb vectors j and j + 1 side by side in eight lanes: every lane takes the same
// operations in the same order (the lane sum still adds vector after vector).
[[gnu::always_inline]] inline ReverbLanes TComb::updateWide(ReverbLanes evenInput, ReverbLanes oddInput) {
    const std::uint32_t q = position = (position + 1) & kCombMask;
    const std::int32_t start = frameStart(q);
    const std::int32_t* offsets = offset[q % kBlockFrames];

    const __m256 input = _mm256_insertf128_ps(_mm256_castps128_ps256(evenInput), oddInput, 1);
    const __m256 dampV = _mm256_broadcast_ss(damp), keepV = _mm256_broadcast_ss(oneMinusDamp);
    const __m256 roomV = _mm256_broadcast_ss(roomGain), guard = _mm256_broadcast_ss(guardLanes);
    float* frame = ringFrames + start;
    __m128 total = _mm_setzero_ps();
#pragma GCC unroll 5
    for (int j = 0; j < kCombs; j += 2 * kLanes) {
        const __m128 even = delayedLanes(frame, &offsets[j]), odd = delayedLanes(frame, &offsets[j + kLanes]);
        total = _mm_add_ps(total, even);
        total = _mm_add_ps(total, odd);
        asm("" : "+x"(total));  // as in update
        const __m256 d = _mm256_insertf128_ps(_mm256_castps128_ps256(even), odd, 1);
        const __m256 low =
            _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(&lowPass[j]), dampV), _mm256_mul_ps(d, keepV));
        _mm256_storeu_ps(&lowPass[j], low);
        const __m256 out = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(low, roomV), input), guard);
        float* at = &frame[j / kLanes * kVectorFloats];
        _mm_storeu_ps(at, _mm256_castps256_ps128(out));
        _mm_storeu_ps(at + kVectorFloats, _mm256_extractf128_ps(out, 1));
    }
    mirror(frame);
    return highPass(total);
}
#endif

bool TComb::hasSubnormalState() const {
    auto anySubnormal = [](const float* v, std::size_t n) { return std::any_of(v, v + n, isSubnormal); };
    return anySubnormal(lowPass, kCombs) || anySubnormal(low1, kLanes) || anySubnormal(low2, kLanes) ||
           anySubnormal(ring.get(), static_cast<std::size_t>(kRingFrames) * kCombs);
}

// ---- TBasicReverb ----

namespace {

bool haveAvx() {
#if TARNWELL_WIDE_COMBS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

}  // namespace

TBasicReverb::TBasicReverb() {
    useWideCombs(true);
    comb.setHighPass(0.0f);
    std::fill(std::begin(comb.guardLanes), std::end(comb.guardLanes), kCombGuard);
    std::fill(std::begin(allpassGuard), std::end(allpassGuard), kAllpassGuard);
    std::fill(std::begin(allpassFeedback), std::end(allpassFeedback), 0.5f);
    std::fill(std::begin(outputGain), std::end(outputGain), kOutputGain);
    create();
}

void TBasicReverb::create() {
    sampleRate = 44100.0f;
    setRoomSize(0.5f);
    damping = 0.275f;
    update();
    init();
    preDelayPosition = 0;
    std::fill(std::begin(tapOffset), std::end(tapOffset), 0);
    placeTaps();
}

void TBasicReverb::init() {
    std::fill(std::begin(factor), std::end(factor), 1.0f);

    const double scale = static_cast<double>(sampleRate / kTuningRate);
    int lengths[TComb::kCombs];
    for (int c = 0; c < TComb::kCombs; ++c)
        lengths[c] = static_cast<int>(std::min(tuningOf(c) * scale + 0.5, 1e9));
    comb.setRawLengths(lengths);
    lengthsStale = true;
    comb.clearFilterState();

    // Lanes 0 and 2 take the first tuning set, lanes 1 and 3 the spread one. At least one
    // frame, so that every read lies behind the frame written.
    int longest = 1;
    int size[kAllpassStages][2];
    for (int i = 0; i < kAllpassStages; ++i) {
        for (int set = 0; set < 2; ++set) {
            const int tuning = kAllpassTuning[i] + (set == 1 ? kStereoSpread : 0);
            size[i][set] =
                static_cast<int>(std::clamp(std::trunc(tuning * scale + 0.5), 1.0, kMaxAllpassSize));
            longest = std::max(longest, size[i][set]);
            allpassDelay[i][set] = static_cast<std::uint32_t>(size[i][set]) * kAllpassFrameFloats;
            allpassBack[i][set] = -static_cast<std::int32_t>(allpassDelay[i][set]);
        }
    }
    // Whole pages, as the ring's two copies are mapped.
    const auto page = static_cast<std::uint32_t>(std::max(sysconf(_SC_PAGESIZE), 1L));
    std::uint32_t frames = 1;
    while (frames <= static_cast<std::uint32_t>(longest) ||
           frames * kAllpassFrameFloats * sizeof(float) % page != 0)
        frames *= 2;
    allpassMask = (frames - 1) * kAllpassFrameFloats;
    allpassPosition = 0;
    allpassRing.reset();
    allpassRing = std::make_unique<SilentRing<float>>(allpassFloats());
    allpassFrames = allpassRing->at();
    allpassMirrored = allpassRing->mirrored();
    mute();
}

void TBasicReverb::setSampleRate(float sr) {
    if (!(sr >= 1.0f) || std::fabs(sr - sampleRate) < 0.0001f) return;
    sampleRate = sr;
    init();
}

void TBasicReverb::mute() {
    comb.clearLowPass();
    std::fill_n(allpassRing->get(), allpassFloats() * (allpassMirrored ? 2 : 1), 0.0f);
    preDelayPosition = 0;
    if (!written) return;
    comb.clearRing();
    std::fill_n(preDelayFrames.get(), 2 * kPreDelayFrames * (preDelayMirrored ? 2 : 1), 0.0f);
    written = false;
}

void TBasicReverb::setRoomSize(float r) {
    // Beyond 0..1 the logarithm fails below and the comb loops stop decaying above.
    r = std::clamp(r, 0.0f, 1.0f);
    room = std::log10(23.5f * r + 1.0f) * 0.25f + 0.65f;
    update();
}

void TBasicReverb::update() {
    comb.setVectors(damping, room);
}

void TBasicReverb::setFilter(float /*unusedLow*/, float hp) {
    const float fc = 20.0f * std::exp2(10.0f * hp);
    float c = 2.0f * std::min(0.3f, fc / sampleRate);
    if (!(c >= 0.01f)) c = 0.0f;
    comb.setHighPass(c);
}

void TBasicReverb::setMod(float a, float b, float c, float d) {
    // Factors that did not move (a room without modulation depth) leave the lengths as they are.
    if (a == factor[0] && b == factor[1] && c == factor[2] && d == factor[3]) return;
    lengthsStale = true;
    factor[0] = a;
    factor[1] = b;
    factor[2] = c;
    factor[3] = d;
}

void TBasicReverb::applyLength(float l, float r) {
    lengthsStale = false;
    lastLength[0] = l;
    lastLength[1] = r;
    // Lanes 1 and 2 follow l and the first factor pair, lanes 3 and 4 r and the second; even
    // comb vectors take the first factor of a pair, odd ones the second. Four combs at a time,
    // each lane rounding as the same steps on one float.
    const float x[2] = {l * sampleRate / kTuningRate, r * sampleRate / kTuningRate};
    const Lanes scale[2] = {{x[0] * factor[0], x[0] * factor[0], x[1] * factor[2], x[1] * factor[2]},
                            {x[0] * factor[1], x[0] * factor[1], x[1] * factor[3], x[1] * factor[3]}};
#if TARNWELL_WIDE_COMBS
    if (wideCombs) {
        placeCombsWide(scale);
        return;
    }
#endif
    constexpr float kLongest = static_cast<float>(TComb::kMaxLength);
    const Lanes longest = {kLongest, kLongest, kLongest, kLongest}, oneFrame = {1.0f, 1.0f, 1.0f, 1.0f};
    Lanes frames[TComb::kVectors];
    for (int j = 0; j < TComb::kVectors; ++j) {
        const Lanes v =
            scale[j % 2] * load4(&kCombTuningF[static_cast<std::size_t>(j * TComb::kLanes)]) + 0.5f;
        // Limited before the conversion so that any product, even not a number (the longest),
        // stays defined; under one frame is one frame.
        frames[j] = laneMax(oneFrame, laneMin(v, longest));
    }
    comb.setLengths(frames);
}

void TBasicReverb::setWiden(ReverbLanes w) {
    // Only the tap position modulo the ring matters; the limit keeps the conversion defined.
    const Lanes lowest = {-1e9f, -1e9f, -1e9f, -1e9f}, highest = {1e9f, 1e9f, 1e9f, 1e9f};
    Lanes bounded = w < lowest ? lowest : w;
    bounded = highest < bounded ? highest : bounded;
    bounded = w == w ? bounded : Lanes{0.0f, 0.0f, 0.0f, 0.0f};
    constexpr std::int32_t kMask = static_cast<std::int32_t>(kPreDelayMask);
    const ReverbIndices at =
        ReverbIndices{kMask, kMask, kMask, kMask} - __builtin_convertvector(bounded, ReverbIndices);
    std::memcpy(tapOffset, &at, sizeof at);
    placeTaps();
}

[[gnu::always_inline]] inline void TBasicReverb::placeTaps() {
    constexpr auto kMask = static_cast<std::int32_t>(kPreDelayMask);
    constexpr auto kRing = static_cast<std::int32_t>(kPreDelayFrames);
    ReverbIndices at;
    std::memcpy(&at, tapOffset, sizeof at);
    // Taps 1 and 3 read the right side of a frame.
    const ReverbIndices back = ((at & kMask) - kRing) * 2 + ReverbIndices{0, 1, 0, 1};
    std::memcpy(tapBack, &back, sizeof back);
}

// Each stage reads what it wrote size frames ago in each lane and writes feedback * that + its
// input; the difference goes on to the next stage.
[[gnu::always_inline]] inline ReverbLanes TBasicReverb::passChains(ReverbLanes x) {
    const std::uint32_t w = allpassPosition = (allpassPosition + kAllpassFrameFloats) & allpassMask;
    // Held locally: the ring stores could otherwise be taken to change it.
    float* const frame = allpassFrames + w;
    const bool mirrored = allpassMirrored;
    typedef int LaneIndex __attribute__((vector_size(16)));
    const Lanes guard = load4(allpassGuard), feedback = load4(allpassFeedback);
    // Within the chains the lanes go 0, 2, 1, 3: each tuning set's two lanes side by side, so that
    // a stage reads one pair where the first set says and one where the second does.
    x = __builtin_shuffle(x, LaneIndex{0, 2, 1, 3});
    for (int i = 0; i < kAllpassStages; ++i) {
        float* stage = frame + i * 4;
        const Lanes y = loadPairs(&stage[allpassBack[i][0]], &stage[allpassBack[i][1]] + 2);
        const Lanes kept = feedback * y + x + guard;
        store4(stage, kept);
        if (mirrored) store4(stage - allpassFloats(), kept);
        x = y - x;
    }
    return __builtin_shuffle(x, LaneIndex{0, 2, 1, 3});
}

void TBasicReverb::process(float inL, float inR, float& out1, float& out2, float& out3, float& out4) {
    const Lanes out = process(inL, inR);
    out1 = out[0];
    out2 = out[1];
    out3 = out[2];
    out4 = out[3];
}

void TBasicReverb::useWideCombs(bool on) {
    static const bool available = haveAvx();
    wideCombs = on && available;
}

[[gnu::always_inline]] inline const float* TBasicReverb::writePreDelay(float inL, float inR) {
    const std::uint32_t p = preDelayPosition = (preDelayPosition + 1) & kPreDelayMask;
    float* frame = preDelayFrames.at() + 2 * p;
    frame[0] = inL;
    frame[1] = inR;
    if (preDelayMirrored) {
        frame[-2 * static_cast<std::int32_t>(kPreDelayFrames)] = inL;
        frame[1 - 2 * static_cast<std::int32_t>(kPreDelayFrames)] = inR;
    }
    written = true;
    return frame;
}

[[gnu::always_inline]] inline TBasicReverb::Taps TBasicReverb::preDelay(float inL, float inR) {
    const float* frame = writePreDelay(inL, inR);
    return Taps{frame[tapBack[0]], frame[tapBack[1]], frame[tapBack[2]], frame[tapBack[3]]};
}

ReverbLanes TBasicReverb::process(float inL, float inR) {
#if TARNWELL_WIDE_COMBS
    if (wideCombs) return processWide(inL, inR);
#endif
    const Taps t = preDelay(inL, inR);
    return passChains(comb.update(inL, t.t0, t.t2, inR, t.t1, t.t3)) * load4(outputGain);
}

#if TARNWELL_WIDE_COMBS
// applyLength's loop and TComb::setLengths as one, eight combs at a time: the same steps to the
// lengths, then the offsets in float, where every value on the way is a whole number far inside
// its exact range.
void TBasicReverb::placeCombsWide(const ReverbLanes (&scale)[2]) {
    // Comb c's place in a block: its vector's part and its lane.
    static constexpr auto kCombPlaceF = [] {
        std::array<float, TComb::kCombs> at{};
        for (int c = 0; c < TComb::kCombs; ++c)
            at[static_cast<std::size_t>(c)] =
                static_cast<float>(c / TComb::kLanes * TComb::kVectorFloats + c % TComb::kLanes);
        return at;
    }();
    const __m256 pairScale = _mm256_insertf128_ps(_mm256_castps128_ps256(scale[0]), scale[1], 1);
    const __m256 longest = splat8(TComb::kMaxLength), one = splat8(1);
    __m256 most = one;
    for (std::size_t j = 0; j < TComb::kCombs; j += 2 * TComb::kLanes) {
        const __m256 v =
            _mm256_add_ps(_mm256_mul_ps(pairScale, _mm256_loadu_ps(&kCombTuningF[j])), _mm256_set1_ps(0.5f));
        const __m256 frames = _mm256_max_ps(one, _mm256_min_ps(v, longest));
        most = _mm256_max_ps(most, frames);
        // As TComb::placeComb.
        const __m256 length = _mm256_round_ps(frames, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __m256 blocks =
            _mm256_round_ps(_mm256_mul_ps(length, _mm256_set1_ps(1.0f / TComb::kBlockFrames)),
                            _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256 rest = _mm256_sub_ps(length, _mm256_mul_ps(blocks, splat8(TComb::kBlockFrames)));
        const __m256 at = _mm256_sub_ps(_mm256_sub_ps(_mm256_loadu_ps(&kCombPlaceF[j]),
                                                      _mm256_mul_ps(blocks, splat8(TComb::kBlockFloats))),
                                        _mm256_mul_ps(rest, splat8(TComb::kLanes)));
        // The last place's frame never reaches back past its block's start.
        for (int place = 0; place < TComb::kBlockFrames - 1; ++place) {
            const __m256 past = _mm256_and_ps(_mm256_cmp_ps(splat8(place), rest, _CMP_LT_OQ),
                                              splat8(TComb::kBlockFloats - TComb::kVectorFloats));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(&comb.offset[place][j]),
                                _mm256_cvttps_epi32(_mm256_sub_ps(at, past)));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(&comb.offset[TComb::kBlockFrames - 1][j]),
                            _mm256_cvttps_epi32(at));
    }
    const __m128 half = _mm_max_ps(_mm256_castps256_ps128(most), _mm256_extractf128_ps(most, 1));
    comb.longestLength =
        static_cast<std::int32_t>(std::max(std::max(half[0], half[1]), std::max(half[2], half[3])));
}

ReverbLanes TBasicReverb::processWide(float inL, float inR) {
    const float* frame = writePreDelay(inL, inR);
    // Each tap loaded straight into its lane.
    Lanes even = {inL, inL, inL, inL}, odd = {inR, inR, inR, inR};
    even[1] = frame[tapBack[1]];
    even[3] = frame[tapBack[3]];
    odd[0] = frame[tapBack[0]];
    odd[2] = frame[tapBack[2]];
    return passChains(comb.updateWide(even, odd)) * load4(outputGain);
}
#endif

std::uint32_t TBasicReverb::longestPath() const {
    std::uint32_t tap = 0;  // tap i reads (kPreDelayMask - tapOffset[i]) + 1 frames back, as wrapped
    for (const std::int32_t at : tapOffset)
        tap = std::max(tap, ((kPreDelayMask - static_cast<std::uint32_t>(at)) & kPreDelayMask) + 1);
    const auto longestComb = static_cast<std::uint32_t>(comb.longestLength);
    std::uint32_t allpasses = 0;
    for (const auto& stage : allpassDelay) allpasses += std::max(stage[0], stage[1]) / kAllpassFrameFloats;
    return tap + longestComb + allpasses;
}

bool TBasicReverb::hasSubnormalState() const {
    if (comb.hasSubnormalState()) return true;
    return std::any_of(allpassRing->get(), allpassRing->get() + allpassFloats(), isSubnormal);
}
