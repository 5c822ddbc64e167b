// Value-to-text helpers: the fixed-width decimal form, its bounds, the length limit, and the
// unit conversions that feed it.

#include "tests/effectbase/TestEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using tarnwell::test::TestEffect;

namespace {

enum Kind { Float, Int, Decibel, Hertz, Milliseconds };

// Formats into a buffer fenced with guard bytes and checks that nothing past maxLen + 1 moved.
std::string format(TestEffect& effect, Kind kind, double value, int maxLen = 24) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    char* text = buffer + 8;
    const auto v = static_cast<float>(value);
    if (kind == Float) effect.float2string(v, text, maxLen);
    if (kind == Int) effect.int2string(static_cast<int>(value), text, maxLen);
    if (kind == Decibel) effect.dB2string(v, text, maxLen);
    if (kind == Hertz) effect.Hz2string(v, text, maxLen);
    if (kind == Milliseconds) effect.ms2string(v, text, maxLen);
    for (int i = 0; i < 64; ++i) {
        if (i < 8 || i > 8 + std::max(maxLen, -1)) {
            EXPECT_EQ(buffer[i], '#') << "wrote outside at " << i;
        }
    }
    return maxLen < 0 ? "<untouched>" : text;
}

}  // namespace

TEST(ValueText, FormsBoundsAndLimits) {
    TestEffect effect(nullptr);
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        Kind kind;
        double value;
        int maxLen;
        const char* text;
    } cases[] = {
        // Eight characters, truncated rather than rounded; past the bounds, or no number, "Huge!".
        {Float, 1234567.5, 24, "1234567."}, {Float, 0.7, 24, "0.699999"}, {Float, -0.0, 24, "0.000000"},
        {Float, -9999999.5, 24, "Huge!"}, {Float, -9999999.0, 24, "-9999999."}, {Float, inf, 24, "Huge!"},
        {Float, 99999999.0, 24, "Huge!"}, {Float, 99999992.0, 24, "99999992."}, {Float, NAN, 24, "Huge!"},
        // At most maxLen characters and the terminator; a negative limit writes nothing.
        {Float, 1234.5, 4, "1234"}, {Float, 1e30, 3, "Hug"}, {Float, 1.0, 0, ""}, {Int, -123456.0, 3, "-12"},
        {Float, 1.0, -1, "<untouched>"}, {Decibel, 0.0, 2, "-o"},
        // Integers: 0 is an empty text; from 10^8 up "Huge!", but not below -10^8.
        {Int, 0.0, 24, ""}, {Int, 99999999.0, 24, "99999999"}, {Int, 100000000.0, 24, "Huge!"},
        {Int, -100000000.0, 24, "-100000000"}, {Int, -2147483648.0, 24, "-2147483648"},
        // Units at 44.1 kHz.
        {Decibel, -1.0, 24, "-oo"}, {Decibel, 0.5, 24, "-6.02059"}, {Hertz, 100.0, 24, "441.0000"},
        {Milliseconds, 441.0, 24, "10.00000"}};
    for (const auto& c : cases) EXPECT_EQ(format(effect, c.kind, c.value, c.maxLen), c.text) << c.value;
    effect.float2string(1.0f, nullptr, 8);  // no buffer, no write
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(format(effect, Hertz, 48.0), "1000.000");
    EXPECT_EQ(format(effect, Milliseconds, 24.0), "0.500000");
}
