#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "sdk/corefoundation/CoreFoundation.h"

namespace {

CFStringRef make(const char* text, CFStringEncoding encoding = kCFStringEncodingUTF8) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text, encoding);
}

std::string utf8(CFStringRef s) {
    char buffer[256];
    return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "<failed>";
}

std::string macRoman(CFStringRef s) {
    char buffer[256];
    return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingMacRoman) ? buffer : "<failed>";
}

TEST(CFString, MacRomanBytesMapToTheirUnicodeCharacters) {
    const struct {
        const char* macRoman;
        const char* utf8;
    } cases[] = {
        {"Caf\x8E", "Caf\xC3\xA9"},          // é
        {"\x80", "\xC3\x84"},                // Ä
        {"\xA5", "\xE2\x80\xA2"},            // bullet
        {"\xCA", "\xC2\xA0"},                // no-break space
        {"\xDB", "\xE2\x82\xAC"},            // euro sign
        {"\xDE\xDF", "\xEF\xAC\x81\xEF\xAC\x82"},  // fi, fl ligatures
        {"\xF0", "\xEF\xA3\xBF"},            // private-use logo character
        {"\xFF", "\xCB\x87"},                // caron
    };
    for (const auto& c : cases) {
        CFStringRef s = make(c.macRoman, kCFStringEncodingMacRoman);
        EXPECT_EQ(utf8(s), c.utf8) << c.macRoman;
        EXPECT_EQ(macRoman(s), c.macRoman);
        CFRelease(s);
    }
}

TEST(CFString, EveryMacRomanByteSurvivesTheRoundTripAndMapsToItsOwnCharacter) {
    std::set<std::string> seen;
    for (int b = 1; b < 256; ++b) {
        const char text[2] = {static_cast<char>(b), '\0'};
        CFStringRef s = make(text, kCFStringEncodingMacRoman);
        EXPECT_EQ(macRoman(s), text) << b;
        seen.insert(utf8(s));
        CFRelease(s);
    }
    EXPECT_EQ(seen.size(), 255u);
}

TEST(CFString, ConversionSucceedsOnlyWhenTextAndTerminatorFit) {
    CFStringRef s = make("Caf\xC3\xA9");  // 4 characters, 5 UTF-8 bytes
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(CFStringGetCString(s, buffer, 4, kCFStringEncodingMacRoman));
    EXPECT_EQ(buffer[0], '#') << "a failed conversion must leave the buffer alone";
    EXPECT_TRUE(CFStringGetCString(s, buffer, 5, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buffer, "Caf\x8E");
    EXPECT_FALSE(CFStringGetCString(s, buffer, 5, kCFStringEncodingUTF8));
    EXPECT_TRUE(CFStringGetCString(s, buffer, 6, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(s, buffer, 0, kCFStringEncodingUTF8));
    CFRelease(s);
}

TEST(CFString, CharactersWithoutMacRomanFormFailTheConversion) {
    for (const char* text : {"\xE6\x97\xA5\xE6\x9C\xAC", "a\xC4\x85", "\xF0\x9F\x8E\xB9"}) {
        CFStringRef s = make(text);
        ASSERT_NE(s, nullptr);
        char buffer[64] = "untouched";
        EXPECT_FALSE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingMacRoman)) << text;
        EXPECT_STREQ(buffer, "untouched");
        CFRelease(s);
    }
}

TEST(CFString, MalformedUtf8AndUnknownEncodingsAreRefused) {
    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80x"}) {
        EXPECT_EQ(make(bad), nullptr) << bad;
    }
    EXPECT_EQ(make(nullptr), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "x", 0x0600), nullptr);
}

TEST(CFNumber, ConversionsReportWhetherTheyWereExact) {
    const SInt64 big = 5'000'000'000;
    CFNumberRef n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &big);
    SInt32 i32 = 0;
    SInt64 i64 = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i32));
    EXPECT_EQ(i32, std::numeric_limits<SInt32>::max());
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &i64));
    EXPECT_EQ(i64, big);
    CFRelease(n);

    const Float64 real = -3.7;
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real);
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i32));
    EXPECT_EQ(i32, -3);
    Float32 f32 = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberFloat32Type, &f32));
    EXPECT_FLOAT_EQ(f32, -3.7f);
    CFRelease(n);

    const Float32 tenth = 0.1f;
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat32Type, &tenth);
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat32Type, &f32));
    EXPECT_EQ(f32, 0.1f);
    CFRelease(n);

    const SInt64 odd = (SInt64{1} << 53) + 1;
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &odd);
    Float64 f64 = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberFloat64Type, &f64));
    CFRelease(n);

    const SInt64 lowest = std::numeric_limits<SInt64>::min();
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &lowest);
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat64Type, &f64));
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt32Type, &i32));
    EXPECT_EQ(i32, std::numeric_limits<SInt32>::min());
    CFRelease(n);

    const Float64 nan = std::nan("");
    n = CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &nan);
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt64Type, &i64));
    EXPECT_EQ(i64, 0);
    CFRelease(n);

    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, 99, &big), nullptr);
}

TEST(CFData, CopiesTheBytes) {
    UInt8 bytes[] = {0, 1, 2, 255};
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, bytes, 4);
    bytes[0] = 9;
    ASSERT_EQ(CFDataGetLength(data), 4);
    EXPECT_EQ(CFDataGetBytePtr(data)[0], 0);
    EXPECT_EQ(CFDataGetBytePtr(data)[3], 255);
    CFRelease(data);
    EXPECT_EQ(CFDataCreate(kCFAllocatorDefault, bytes, -1), nullptr);
    CFDataRef empty = CFDataCreate(kCFAllocatorDefault, nullptr, 0);
    EXPECT_EQ(CFDataGetLength(empty), 0);
    CFRelease(empty);
}

TEST(CFDictionary, KeysAreMatchedByTextAndValuesOutliveTheCaller) {
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    CFStringRef key = make("mCurPreset");
    const SInt32 three = 3, four = 4;
    CFNumberRef first = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &three);
    CFDictionarySetValue(dict, key, first);
    CFRelease(first);
    CFRelease(key);

    CFStringRef sameText = make("mCurPreset");
    SInt32 got = 0;
    ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dict, sameText)),
                                 kCFNumberSInt32Type, &got));
    EXPECT_EQ(got, 3);

    CFNumberRef second = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &four);
    CFDictionarySetValue(dict, sameText, second);
    CFRelease(second);
    EXPECT_EQ(CFDictionaryGetCount(dict), 1);
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dict, sameText)), kCFNumberSInt32Type, &got);
    EXPECT_EQ(got, 4);

    CFDataRef notAKey = CFDataCreate(kCFAllocatorDefault, nullptr, 0);
    CFDictionarySetValue(dict, notAKey, sameText);
    EXPECT_EQ(CFDictionaryGetCount(dict), 1);
    EXPECT_EQ(CFDictionaryGetValue(dict, notAKey), nullptr);
    CFStringRef missing = make("mChunkData");
    EXPECT_EQ(CFDictionaryGetValue(dict, missing), nullptr);
    EXPECT_EQ(CFGetTypeID(dict), CFDictionaryGetTypeID());

    CFRelease(missing);
    CFRelease(notAKey);
    CFRelease(sameText);
    CFRelease(dict);
}

TEST(CFArray, HoldsRetainedValuesOrPlainPointers) {
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFStringRef s = make("Default");
    CFArrayAppendValue(array, s);
    CFRelease(s);
    ASSERT_EQ(CFArrayGetCount(array), 1);
    EXPECT_EQ(utf8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, 0))), "Default");
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, -1), nullptr);
    CFRelease(array);

    // Preset lists hand out pointers into the caller's own records.
    struct Record {
        int number;
    } records[3] = {{0}, {1}, {2}};
    CFMutableArrayRef plain = CFArrayCreateMutable(kCFAllocatorDefault, 3, nullptr);
    for (auto& r : records) CFArrayAppendValue(plain, &r);
    ASSERT_EQ(CFArrayGetCount(plain), 3);
    EXPECT_EQ(static_cast<const Record*>(CFArrayGetValueAtIndex(plain, 2))->number, 2);
    CFRelease(plain);
}

TEST(CFBundle, RegisteredBundlesAreFoundByIdentifier) {
    CFBundleRef registered = tarnwell::cf::registerBundle("org.example.component", "/opt/a.component");
    CFStringRef id = make("org.example.component");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(id), registered);
    EXPECT_EQ(utf8(CFBundleGetIdentifier(registered)), "org.example.component");
    EXPECT_EQ(CFGetTypeID(registered), CFBundleGetTypeID());
    EXPECT_EQ(tarnwell::cf::registerBundle("org.example.component", "/opt/b.component"), registered);
    EXPECT_EQ(tarnwell::cf::bundlePath(registered), "/opt/b.component");
    CFRelease(id);

    CFStringRef unknown = make("org.example.none");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(unknown), nullptr);
    CFRelease(unknown);

    tarnwell::cf::registerMainBundle("org.example.host", "/opt/host");
    CFBundleRef main = CFBundleGetMainBundle();
    EXPECT_EQ(utf8(CFBundleGetIdentifier(main)), "org.example.host");
    EXPECT_EQ(tarnwell::cf::bundlePath(main), "/opt/host");
}

}  // namespace
