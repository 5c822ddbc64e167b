#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "sdk/corefoundation/CoreFoundation.h"

namespace {

CFStringRef make(const char* text, CFStringEncoding encoding = kCFStringEncodingUTF8) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text, encoding);
}

// The text in an encoding, or "<failed>" when it does not convert or fit `size` bytes.
std::string convert(CFStringRef s, CFStringEncoding encoding, CFIndex size = 256) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    if (CFStringGetCString(s, buffer, size, encoding)) return buffer;
    EXPECT_EQ(buffer[0], '#') << "a failed conversion must leave the buffer alone";
    return "<failed>";
}

TEST(CFString, EveryMacRomanByteRoundTripsThroughItsOwnCharacter) {
    std::set<std::string> seen;
    for (int b = 1; b < 256; ++b) {
        const char text[2] = {static_cast<char>(b), '\0'};
        CFStringRef s = make(text, kCFStringEncodingMacRoman);
        EXPECT_EQ(convert(s, kCFStringEncodingMacRoman), text) << b;
        seen.insert(convert(s, kCFStringEncodingUTF8));
        CFRelease(s);
    }
    EXPECT_EQ(seen.size(), 255u);
    const std::pair<const char*, const char*> known[] = {
        {"Caf\x8E", "Caf\xC3\xA9"}, {"\xDB", "\xE2\x82\xAC"}, {"\xDE\xDF", "\xEF\xAC\x81\xEF\xAC\x82"},
        {"\xCA", "\xC2\xA0"},       {"\xF0", "\xEF\xA3\xBF"}, {"\xFF", "\xCB\x87"}};
    for (const auto& [macRoman, utf8] : known) {
        CFStringRef s = make(macRoman, kCFStringEncodingMacRoman);
        EXPECT_EQ(convert(s, kCFStringEncodingUTF8), utf8) << macRoman;
        CFRelease(s);
    }
}

TEST(CFString, ConversionSucceedsOnlyWhenEveryCharacterAndTheTerminatorFit) {
    CFStringRef cafe = make("Caf\xC3\xA9");  // 4 characters, 5 UTF-8 bytes
    EXPECT_EQ(convert(cafe, kCFStringEncodingMacRoman, 4), "<failed>");
    EXPECT_EQ(convert(cafe, kCFStringEncodingMacRoman, 5), "Caf\x8E");
    EXPECT_EQ(convert(cafe, kCFStringEncodingUTF8, 5), "<failed>");
    EXPECT_EQ(convert(cafe, kCFStringEncodingUTF8, 6), "Caf\xC3\xA9");
    EXPECT_EQ(convert(cafe, kCFStringEncodingUTF8, 0), "<failed>");
    CFRelease(cafe);
    for (const char* text : {"\xE6\x97\xA5\xE6\x9C\xAC", "a\xC4\x85", "\xF0\x9F\x8E\xB9"}) {
        CFStringRef s = make(text);
        EXPECT_EQ(convert(s, kCFStringEncodingMacRoman), "<failed>") << "no Mac Roman form: " << text;
        CFRelease(s);
    }
    // Malformed UTF-8 (truncated, overlong, surrogate, beyond U+10FFFF) and unknown encodings.
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80x"})
        EXPECT_EQ(make(bad), nullptr) << bad;
    EXPECT_EQ(make(nullptr), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "x", 0x0600), nullptr);
}

TEST(CFNumber, ConversionsReportWhetherTheyWereExact) {
    const SInt64 big = 5'000'000'000, odd = (SInt64{1} << 53) + 1;
    const Float64 real = -3.7, nan = std::nan("");
    CFNumberRef bigN = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &big);
    CFNumberRef oddN = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &odd);
    CFNumberRef realN = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real);
    CFNumberRef nanN = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &nan);
    SInt32 i32 = 0;
    SInt64 i64 = 1;
    Float32 f32 = 0;
    Float64 f64 = 0;
    EXPECT_FALSE(CFNumberGetValue(bigN, kCFNumberSInt32Type, &i32));
    EXPECT_EQ(i32, std::numeric_limits<SInt32>::max());  // held at the nearest
    EXPECT_TRUE(CFNumberGetValue(bigN, kCFNumberSInt64Type, &i64));
    EXPECT_FALSE(CFNumberGetValue(oddN, kCFNumberFloat64Type, &f64));
    EXPECT_FALSE(CFNumberGetValue(realN, kCFNumberSInt32Type, &i32));
    EXPECT_EQ(i32, -3);
    EXPECT_FALSE(CFNumberGetValue(realN, kCFNumberFloat32Type, &f32));
    EXPECT_EQ(f32, -3.7f);
    EXPECT_FALSE(CFNumberGetValue(nanN, kCFNumberSInt64Type, &i64));
    EXPECT_EQ(i64, 0);
    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, 99, &big), nullptr);
    for (CFNumberRef n : {bigN, oddN, realN, nanN}) CFRelease(n);
}

TEST(CFContainers, DataCopiesTheBytesAndPlainArraysHandOutTheCallersPointers) {
    UInt8 bytes[] = {0, 1, 2, 255};
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes, 4);
    bytes[0] = 9;
    EXPECT_EQ(CFDataGetBytePtr(data)[0], 0);
    EXPECT_EQ(CFDataCreate(kCFAllocatorDefault, bytes, -1), nullptr);
    CFRelease(data);
    // Preset lists hold pointers into the caller's own records; reads outside the list give null.
    int records[3] = {0, 1, 2};
    CFMutableArrayRef plain = CFArrayCreateMutable(kCFAllocatorDefault, 3, nullptr);
    for (int& r : records) CFArrayAppendValue(plain, &r);
    EXPECT_EQ(CFArrayGetValueAtIndex(plain, 2), &records[2]);
    EXPECT_EQ(CFArrayGetValueAtIndex(plain, 3), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(plain, -1), nullptr);
    CFRelease(plain);
}

}  // namespace
