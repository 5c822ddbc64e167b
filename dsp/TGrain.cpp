#include "dsp/TGrain.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The recording starts silent and init leaves it, since a grain only ever reads frames it has
// just recorded, and clearing 48 slots' recordings would cost milliseconds on every reset.
TGrain::TGrain() { init(44100.0f); }

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
    writeSize = std::clamp(newWriteSize, 0, kCapacity - 1);
    readSize = std::clamp(newReadSize, 0, kCapacity - 1);
    readLength = readSize > 0 ? static_cast<float>(readSize) : std::numeric_limits<float>::infinity();
    readEnd = writeSize > 0 ? static_cast<float>(writeSize) : -1.0f;
}

bool TGrain::floorElsewhere(float& whole) {
    if (!((readPosition < readEnd && readPosition > -1.0f) || turn())) return false;
    whole = std::floor(readPosition);
    return true;
}

bool TGrain::turn() {
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

#if defined(__x86_64__)
namespace {

// The C library's powf where the processor has fused multiply-adds (the path it takes then): a
// base-2 logarithm from a 16-entry table and a polynomial, times the exponent, and a power of two
// from a 32-entry table and a polynomial, all in double precision with the same steps, so each
// lane comes out as the same float. Its tables and coefficients, as it holds them:
constexpr double LOG2_INVC[16] = {
    0x1.661ec79f8f3bep+0, 0x1.571ed4aaf883dp+0, 0x1.49539f0f010b0p+0, 0x1.3c995b0b80385p+0,
    0x1.30d190c8864a5p+0, 0x1.25e227b0b8ea0p+0, 0x1.1bb4a4a1a343fp+0, 0x1.12358f08ae5bap+0,
    0x1.0953f419900a7p+0, 0x1.0000000000000p+0, 0x1.e608cfd9a47acp-1, 0x1.ca4b31f026aa0p-1,
    0x1.b2036576afce6p-1, 0x1.9c2d163a1aa2dp-1, 0x1.886e6037841edp-1, 0x1.767dcf5534862p-1};
constexpr double LOG2_LOGC[16] = {
    -0x1.efec65b963019p-2, -0x1.b0b6832d4fca4p-2, -0x1.7418b0a1fb77bp-2, -0x1.39de91a6dcf7bp-2,
    -0x1.01d9bf3f2b631p-2, -0x1.97c1d1b3b7af0p-3, -0x1.2f9e393af3c9fp-3, -0x1.960cbbf788d5cp-4,
    -0x1.a6f9db6475fcep-5, 0.0, 0x1.338ca9f24f53dp-4, 0x1.476a9543891bap-3,
    0x1.e840b4ac4e4d2p-3, 0x1.40645f0c6651cp-2, 0x1.88e9c2c1b9ff8p-2, 0x1.ce0a44eb17bccp-2};
constexpr double LOG2_POLY[5] = {0x1.27616c9496e0bp-2, -0x1.71969a075c67ap-2, 0x1.ec70a6ca7baddp-2,
                                 -0x1.7154748bef6c8p-1, 0x1.71547652ab82bp+0};
// 2^(i / 32) with i << 47 taken from its bits, so that adding the scaled exponent gives the power.
constexpr long long EXP2_TABLE[32] = {
    0x3ff0000000000000, 0x3fefd9b0d3158574, 0x3fefb5586cf9890f, 0x3fef9301d0125b51, 0x3fef72b83c7d517b,
    0x3fef54873168b9aa, 0x3fef387a6e756238, 0x3fef1e9df51fdee1, 0x3fef06fe0a31b715, 0x3feef1a7373aa9cb,
    0x3feedea64c123422, 0x3feece086061892d, 0x3feebfdad5362a27, 0x3feeb42b569d4f82, 0x3feeab07dd485429,
    0x3feea47eb03a5585, 0x3feea09e667f3bcd, 0x3fee9f75e8ec5f74, 0x3feea11473eb0187, 0x3feea589994cce13,
    0x3feeace5422aa0db, 0x3feeb737b0cdc5e5, 0x3feec49182a3f090, 0x3feed503b23e255d, 0x3feee89f995ad3ad,
    0x3feeff76f2fb5e47, 0x3fef199bdd85529c, 0x3fef3720dcef9069, 0x3fef5818dcfba487, 0x3fef7c97337b9b5f,
    0x3fefa4afa2a490da, 0x3fefd0765b6e4540};
constexpr double EXP2_SHIFT = 0x1.8p+47;  // 1.5 * 2^52 / 32: adding it rounds to 1/32
constexpr double EXP2_POLY[3] = {0x1.c6af84b912394p-5, 0x1.ebfce50fac4f3p-3, 0x1.62e42ff0c52d6p-1};

// Four slots' shapedEnvelope at once: x^y for the envelope x and the power y (at least 0), and x
// itself where the power is 1. A lane whose x is not a positive normal float (the silent ends),
// whose y is 0 or not finite, or whose x^y leaves the float range is worked out alone, as the
// library's other paths do.
__attribute__((target("avx2,fma"))) void shapedEnvelopes4(const float* envelope, const float* power, float* weight) {
    const __m128 x = _mm_loadu_ps(envelope), shape = _mm_loadu_ps(power);
    const __m128 y = _mm_max_ps(_mm_setzero_ps(), shape);  // std::max(shape, 0): NaN stays
    const __m128i ix = _mm_castps_si128(x);
    const __m128i tmp = _mm_sub_epi32(ix, _mm_set1_epi32(0x3f330000));
    const __m128i i = _mm_and_si128(_mm_srli_epi32(tmp, 19), _mm_set1_epi32(15));
    const __m128i top = _mm_and_si128(tmp, _mm_set1_epi32(static_cast<int>(0xff800000u)));
    const __m256d z = _mm256_cvtps_pd(_mm_castsi128_ps(_mm_sub_epi32(ix, top)));
    // The masked gathers, all lanes on: the plain ones start from an undefined vector, which the
    // compiler takes for an uninitialised read.
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    const __m256d invc = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), LOG2_INVC, i, all, 8);
    const __m256d logc = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), LOG2_LOGC, i, all, 8);
    const __m256d r = _mm256_fmadd_pd(z, invc, _mm256_set1_pd(-1.0));
    const __m256d y0 = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_srai_epi32(top, 23)), logc);
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d a = _mm256_fmadd_pd(r, _mm256_set1_pd(LOG2_POLY[0]), _mm256_set1_pd(LOG2_POLY[1]));
    const __m256d p = _mm256_fmadd_pd(r, _mm256_set1_pd(LOG2_POLY[2]), _mm256_set1_pd(LOG2_POLY[3]));
    const __m256d r4 = _mm256_mul_pd(r2, r2);
    __m256d q = _mm256_fmadd_pd(r, _mm256_set1_pd(LOG2_POLY[4]), y0);
    q = _mm256_fmadd_pd(r2, p, q);
    const __m256d logx = _mm256_fmadd_pd(a, r4, q);
    const __m256d ylogx = _mm256_mul_pd(_mm256_cvtps_pd(y), logx);

    const __m256d shift = _mm256_set1_pd(EXP2_SHIFT);
    const __m256d kd = _mm256_add_pd(ylogx, shift);
    const __m256i ki = _mm256_castpd_si256(kd);
    const __m256d rest = _mm256_sub_pd(ylogx, _mm256_sub_pd(kd, shift));
    const __m256i t = _mm256_add_epi64(
        _mm256_mask_i64gather_epi64(_mm256_setzero_si256(), EXP2_TABLE, _mm256_and_si256(ki, _mm256_set1_epi64x(31)),
                                    _mm256_castpd_si256(all), 8),
        _mm256_slli_epi64(ki, 47));
    const __m256d c = _mm256_fmadd_pd(rest, _mm256_set1_pd(EXP2_POLY[0]), _mm256_set1_pd(EXP2_POLY[1]));
    const __m256d one = _mm256_fmadd_pd(rest, _mm256_set1_pd(EXP2_POLY[2]), _mm256_set1_pd(1.0));
    const __m128 raised =
        _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_fmadd_pd(c, _mm256_mul_pd(rest, rest), one), _mm256_castsi256_pd(t)));
    const __m128 firstPower = _mm_cmpeq_ps(shape, _mm_set1_ps(1.0f));
    _mm_storeu_ps(weight, _mm_blendv_ps(raised, x, firstPower));

    // The library's other paths: x - 2^-126 as bits past 0x7effffff, 2y - 1 past 0xfefffffe (in
    // signed compares, both moved by 2^31), or the exponent bits of y log2(x) at 126 or more.
    const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i xOff = _mm_cmpgt_epi32(_mm_xor_si128(_mm_sub_epi32(ix, _mm_set1_epi32(0x00800000)), bias),
                                         _mm_set1_epi32(0x7effffff ^ static_cast<int>(0x80000000u)));
    const __m128i iy = _mm_castps_si128(y);
    const __m128i yOff = _mm_cmpgt_epi32(_mm_xor_si128(_mm_sub_epi32(_mm_add_epi32(iy, iy), _mm_set1_epi32(1)), bias),
                                         _mm_set1_epi32(static_cast<int>(0xfefffffeu ^ 0x80000000u)));
    const __m256i magnitude = _mm256_and_si256(_mm256_srli_epi64(_mm256_castpd_si256(ylogx), 47),
                                               _mm256_set1_epi64x(0xffff));
    int others = _mm_movemask_ps(_mm_andnot_ps(firstPower, _mm_castsi128_ps(_mm_or_si128(xOff, yOff)))) |
                 _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpgt_epi64(magnitude, _mm256_set1_epi64x(0x80be))));
    for (; others != 0; others &= others - 1) {
        const int k = __builtin_ctz(others);
        weight[k] = std::pow(envelope[k], std::max(power[k], 0.0f));
    }
}

const bool LIBRARY_POW_FUSED = [] {
    __builtin_cpu_init();  // this may run before the compiler's own start-up code
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}();

}  // namespace
#endif

void TGrain::shapedEnvelopes(const float* envelope, const float* power, float* weight, int n) {
#if defined(__x86_64__)
    if (LIBRARY_POW_FUSED) {
        for (int at = 0; at < n; at += 4) shapedEnvelopes4(envelope + at, power + at, weight + at);
        return;
    }
#endif
    for (int k = 0; k < n; ++k) weight[k] = raised(envelope[k], power[k]);
}
