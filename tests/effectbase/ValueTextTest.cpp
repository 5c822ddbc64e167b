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

// Formats into a buffer fenced with guard bytes and checks that nothing past maxLen + 1 moved.
class ValueText : public ::testing::Test {
protected:
    template <class Format>
    std::string run(Format format, int maxLen = 24) {
        char buffer[64];
        std::memset(buffer, '#', sizeof(buffer));
        format(buffer + 8, maxLen);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(buffer[i], '#') << "wrote before the text";
        const int end = 8 + (maxLen < 0 ? 0 : maxLen + 1);
        for (int i = end; i < 64; ++i) EXPECT_EQ(buffer[i], '#') << "wrote past maxLen + 1";
        if (maxLen < 0) return "<untouched>";
        EXPECT_NE(std::memchr(buffer + 8, 0, static_cast<size_t>(maxLen) + 1), nullptr) << "unterminated";
        return buffer + 8;
    }
    std::string f(float v, int maxLen = 24) {
        return run([&](char* t, int n) { effect.float2string(v, t, n); }, maxLen);
    }
    std::string i(int v, int maxLen = 24) {
        return run([&](char* t, int n) { effect.int2string(v, t, n); }, maxLen);
    }
    TestEffect effect{nullptr};
};

}  // namespace

TEST_F(ValueText, FloatsHaveEightCharactersAndNoRounding) {
    EXPECT_EQ(f(0.0f), "0.000000");
    EXPECT_EQ(f(0.5f), "0.500000");
    EXPECT_EQ(f(1234.5f), "1234.500");
    EXPECT_EQ(f(-3.25f), "-3.25000");
    EXPECT_EQ(f(1234567.5f), "1234567.");
    EXPECT_EQ(f(-0.5f), "-0.50000");
    EXPECT_EQ(f(0.7f), "0.699999");  // truncated, not rounded to 0.700000
    EXPECT_EQ(f(99.99999f), "99.99999");  // 99.9999923...: the 2 is cut, not rounded
    EXPECT_EQ(f(-999999.5f), "-999999.");
    EXPECT_EQ(f(-0.0f), "0.000000");
}

TEST_F(ValueText, FloatsBeyondTheBoundsAreHuge) {
    EXPECT_EQ(f(-9999999.5f), "Huge!");
    EXPECT_EQ(f(-9999999.0f), "-9999999.");  // the bound itself still fits
    EXPECT_EQ(f(99999999.0f), "Huge!");      // no float lies between 99999999 and 1e8
    EXPECT_EQ(f(99999992.0f), "99999992.");  // wider than eight: the value is kept whole
    EXPECT_EQ(f(1e30f), "Huge!");
    EXPECT_EQ(f(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f(std::numeric_limits<float>::quiet_NaN()), "Huge!");
}

TEST_F(ValueText, TextsStopAtMaxLen) {
    EXPECT_EQ(f(1234.5f, 4), "1234");
    EXPECT_EQ(f(1234.5f, 8), "1234.500");
    EXPECT_EQ(f(1e30f, 3), "Hug");
    EXPECT_EQ(f(1.0f, 0), "");
    EXPECT_EQ(f(1.0f, -1), "<untouched>");
    EXPECT_EQ(i(-123456, 3), "-12");
    EXPECT_EQ(run([&](char* t, int n) { effect.dB2string(0.0f, t, n); }, 2), "-o");
    effect.float2string(1.0f, nullptr, 8);  // no buffer, no write
}

TEST_F(ValueText, Integers) {
    EXPECT_EQ(i(0), "");
    EXPECT_EQ(i(7), "7");
    EXPECT_EQ(i(-42), "-42");
    EXPECT_EQ(i(99999999), "99999999");
    EXPECT_EQ(i(100000000), "Huge!");
    EXPECT_EQ(i(std::numeric_limits<int>::max()), "Huge!");
    EXPECT_EQ(i(-100000000), "-100000000");
    EXPECT_EQ(i(std::numeric_limits<int>::min()), "-2147483648");
}

TEST_F(ValueText, DecibelsHertzAndMilliseconds) {
    auto dB = [&](float v) { return run([&](char* t, int n) { effect.dB2string(v, t, n); }); };
    auto hz = [&](float v) { return run([&](char* t, int n) { effect.Hz2string(v, t, n); }); };
    auto ms = [&](float v) { return run([&](char* t, int n) { effect.ms2string(v, t, n); }); };
    EXPECT_EQ(dB(0.0f), "-oo");
    EXPECT_EQ(dB(-1.0f), "-oo");
    EXPECT_EQ(dB(1.0f), "0.000000");
    EXPECT_EQ(dB(10.0f), "20.00000");
    EXPECT_EQ(dB(0.5f), "-6.02059");
    EXPECT_EQ(hz(0.0f), "0.000000");
    EXPECT_EQ(hz(100.0f), "441.0000");
    EXPECT_EQ(ms(44100.0f), "1000.000");
    EXPECT_EQ(ms(441.0f), "10.00000");
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(hz(48.0f), "1000.000");
    EXPECT_EQ(ms(24.0f), "0.500000");
}
