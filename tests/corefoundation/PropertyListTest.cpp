#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "sdk/corefoundation/CoreFoundation.h"

namespace {

CFStringRef str(const char* text) { return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8); }

CFMutableDictionaryRef newDict() {
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

// Stores value under key and gives up the caller's reference.
void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value) {
    CFStringRef k = str(key);
    CFDictionarySetValue(dict, k, value);
    CFRelease(k);
    CFRelease(value);
}

CFTypeRef get(CFDictionaryRef dict, const char* key) {
    CFStringRef k = str(key);
    CFTypeRef v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    return v;
}

std::string text(CFTypeRef s) {
    char buffer[256];
    if (CFGetTypeID(s) != CFStringGetTypeID()) return "<not a string>";
    return CFStringGetCString(static_cast<CFStringRef>(s), buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer
                                                                                                       : "<failed>";
}

std::string toXml(CFPropertyListRef list) {
    CFDataRef data = CFPropertyListCreateData(kCFAllocatorDefault, list, kCFPropertyListXMLFormat_v1_0, 0, nullptr);
    if (data == nullptr) return {};
    std::string xml(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), CFDataGetLength(data));
    CFRelease(data);
    return xml;
}

CFPropertyListRef fromXml(const std::string& xml) {
    CFDataRef data =
        CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()), static_cast<CFIndex>(xml.size()));
    CFPropertyListFormat format = 0;
    CFPropertyListRef list = CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, &format, nullptr);
    if (list != nullptr) {
        EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
    }
    CFRelease(data);
    return list;
}

// A saved-state shaped tree: identity strings, a chunk of every byte value, numbers of each
// kind and a nested preset list.
CFMutableDictionaryRef sampleState() {
    CFMutableDictionaryRef state = newDict();
    put(state, "name", str("Caf\xC3\xA9 \xE2\x82\xAC <&> \"q\""));
    UInt8 bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<UInt8>(i);
    put(state, "mCompleteData", CFDataCreate(kCFAllocatorDefault, bytes, 256));
    put(state, "empty", CFDataCreate(kCFAllocatorDefault, nullptr, 0));
    const SInt32 preset = -7;
    put(state, "mCurPreset", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &preset));
    const SInt64 lowest = std::numeric_limits<SInt64>::min();
    put(state, "lowest", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &lowest));
    const Float64 third = 1.0 / 3.0;
    put(state, "third", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &third));

    CFMutableDictionaryRef inner = newDict();
    CFMutableArrayRef list = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFStringRef item = str("Default");
    CFArrayAppendValue(list, item);
    CFRelease(item);
    CFMutableDictionaryRef deeper = newDict();
    put(deeper, "k", str("v"));
    CFArrayAppendValue(list, deeper);
    CFRelease(deeper);
    put(inner, "presets", list);
    put(state, "inner", inner);
    return state;
}

TEST(PropertyList, NestedTreeSurvivesTheXmlRoundTrip) {
    CFMutableDictionaryRef state = sampleState();
    const std::string xml = toXml(state);
    CFRelease(state);
    ASSERT_EQ(xml.rfind("<?xml", 0), 0u) << xml;

    CFPropertyListRef back = fromXml(xml);
    ASSERT_EQ(CFGetTypeID(back), CFDictionaryGetTypeID());
    const auto dict = static_cast<CFDictionaryRef>(back);
    EXPECT_EQ(CFDictionaryGetCount(dict), 7);
    EXPECT_EQ(text(get(dict, "name")), "Caf\xC3\xA9 \xE2\x82\xAC <&> \"q\"");

    const auto chunk = static_cast<CFDataRef>(get(dict, "mCompleteData"));
    ASSERT_EQ(CFGetTypeID(chunk), CFDataGetTypeID());
    ASSERT_EQ(CFDataGetLength(chunk), 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(CFDataGetBytePtr(chunk)[i], i);
    EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(get(dict, "empty"))), 0);

    SInt32 preset = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(get(dict, "mCurPreset")), kCFNumberSInt32Type, &preset));
    EXPECT_EQ(preset, -7);
    SInt64 lowest = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(get(dict, "lowest")), kCFNumberSInt64Type, &lowest);
    EXPECT_EQ(lowest, std::numeric_limits<SInt64>::min());
    Float64 third = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(get(dict, "third")), kCFNumberFloat64Type, &third);
    EXPECT_EQ(third, 1.0 / 3.0);

    const auto inner = static_cast<CFDictionaryRef>(get(dict, "inner"));
    const auto list = static_cast<CFArrayRef>(get(inner, "presets"));
    ASSERT_EQ(CFGetTypeID(list), CFArrayGetTypeID());
    ASSERT_EQ(CFArrayGetCount(list), 2);
    EXPECT_EQ(text(CFArrayGetValueAtIndex(list, 0)), "Default");
    EXPECT_EQ(text(get(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(list, 1)), "k")), "v");

    // Writing what was read gives the same text again.
    EXPECT_EQ(toXml(back), xml);
    CFRelease(back);
}

TEST(PropertyList, DamagedOrTruncatedXmlReadsAsNothing) {
    CFMutableDictionaryRef state = sampleState();
    const std::string xml = toXml(state);
    CFRelease(state);
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, xml.size() / 3, xml.size() / 2, xml.size() - 30}) {
        EXPECT_EQ(fromXml(xml.substr(0, cut)), nullptr) << "cut at " << cut;
    }
    EXPECT_EQ(fromXml("not a property list"), nullptr);
    EXPECT_EQ(fromXml(std::string("\0\0\0\0", 4)), nullptr);
    EXPECT_EQ(CFPropertyListCreateWithData(kCFAllocatorDefault, nullptr, 0, nullptr, nullptr), nullptr);
}

TEST(PropertyList, KindsWeDoNotModelAreSkippedInsideContainers) {
    CFPropertyListRef list = fromXml(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>flag</key><true/>"
        "<key>when</key><date>2020-01-01T00:00:00Z</date><key>n</key><integer>5</integer></dict></plist>");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 1);
    EXPECT_NE(get(static_cast<CFDictionaryRef>(list), "n"), nullptr);
    CFRelease(list);
}

TEST(PropertyList, OnlyXmlPropertyListsAreWritten) {
    CFMutableDictionaryRef state = sampleState();
    EXPECT_EQ(CFPropertyListCreateData(kCFAllocatorDefault, state, kCFPropertyListBinaryFormat_v1_0, 0, nullptr),
              nullptr);
    // A list of plain pointers is not a property list, wherever it sits in the tree.
    int record = 0;
    CFMutableArrayRef plain = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    CFArrayAppendValue(plain, &record);
    put(state, "plain", plain);
    EXPECT_EQ(toXml(state), "");
    CFRelease(state);

    // Absurd nesting is refused rather than recursed into without bound.
    CFMutableArrayRef deep = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    for (int level = 0; level < 1000; ++level) {
        CFMutableArrayRef outer = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        CFArrayAppendValue(outer, deep);
        CFRelease(deep);
        deep = outer;
    }
    EXPECT_EQ(toXml(deep), "");
    CFRelease(deep);
}

}  // namespace
