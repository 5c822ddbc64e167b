// Value-to-text helpers of the effect base: fixed-width decimals without rounding, so a
// value shows the same digits in every host.

#include "framework/effectbase/AudioEffect.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kHuge[] = "Huge!";
constexpr int kFloatWidth = 8;  // characters, counting the sign and the point

// Appends the decimal digits of magnitude at out; returns the count written.
int writeDigits(uint64_t magnitude, char* out) {
    char reversed[24];
    int count = 0;
    while (magnitude > 0) {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    for (int i = 0; i < count; ++i) out[i] = reversed[count - 1 - i];
    return count;
}

// Formats value into out (at least 32 bytes).
void formatFloat(float value, char* out) {
    const double v = static_cast<double>(value);
    if (std::isnan(v) || v > 99999999.0 || v < -9999999.0) {
        std::memcpy(out, kHuge, sizeof(kHuge));
        return;
    }
    const double n = std::fabs(v);
    int written = 0;
    if (v < 0.0) out[written++] = '-';
    written += writeDigits(static_cast<uint64_t>(std::floor(n)), out + written);
    if (n < 1.0) out[written++] = '0';  // the integer part of a pure fraction is a single 0
    out[written++] = '.';

    const int places = kFloatWidth - written;
    if (places > 0) {
        // The first decimals, truncated place by place from the last one backwards.
        double fraction = std::fmod(n, 1.0);
        for (int i = 0; i < places; ++i) fraction *= 10.0;
        for (int i = places - 1; i >= 0; --i) {
            int digit = 0;
            if (fraction > 0.0) {
                digit = static_cast<int>(std::fmod(fraction, 10.0));
                fraction /= 10.0;
            }
            out[written + i] = static_cast<char>('0' + digit);
        }
        written += places;
    }
    out[written] = 0;
}

}  // namespace

void copyLimited(const char* source, char* text, int maxLen) {
    if (!text || maxLen < 0) return;
    int length = 0;
    if (source) {
        while (length < maxLen && source[length]) {
            text[length] = source[length];
            ++length;
        }
    }
    text[length] = 0;
}

void AudioEffect::float2string(float value, char* text, int maxLen) {
    char out[32];
    formatFloat(value, out);
    copyLimited(out, text, maxLen);
}

void AudioEffect::int2string(int value, char* text, int maxLen) {
    if (value >= 100000000) {
        copyLimited(kHuge, text, maxLen);
        return;
    }
    char out[24];
    int written = 0;
    if (value < 0) out[written++] = '-';
    // Widened first: the magnitude of the most negative int does not fit an int.
    const int64_t wide = value;
    written += writeDigits(static_cast<uint64_t>(wide < 0 ? -wide : wide), out + written);
    out[written] = 0;
    copyLimited(out, text, maxLen);
}

void AudioEffect::dB2string(float value, char* text, int maxLen) {
    if (value <= 0.0f) {
        copyLimited("-oo", text, maxLen);
        return;
    }
    float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, int maxLen) {
    if (samples == 0.0f) {
        float2string(0.0f, text, maxLen);
        return;
    }
    float2string(getSampleRate() / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, int maxLen) {
    const double ms = static_cast<double>(samples) * 1000.0 / static_cast<double>(getSampleRate());
    float2string(static_cast<float>(ms), text, maxLen);
}
