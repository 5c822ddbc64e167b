#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "sdk/audiounit/CFRef.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace {

CFMutableDictionaryRef newDict() {
    return CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                     &kCFTypeDictionaryValueCallBacks);
}

// Stores value under key and gives up the caller's reference.
void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value) {
    CFDictionarySetValue(dict, makeCFString(key).get(), CFRef<CFTypeRef>(value).get());
}

CFTypeRef get(CFTypeRef dict, const char* key) {
    return CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), makeCFString(key).get());
}

std::string asXml(CFPropertyListRef list) {
    CFDataRef data =
        CFPropertyListCreateData(kCFAllocatorDefault, list, kCFPropertyListXMLFormat_v1_0, 0, nullptr);
    if (data == nullptr) return {};
    std::string xml(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), CFDataGetLength(data));
    CFRelease(data);
    return xml;
}

CFPropertyListRef readXml(const std::string& xml) {
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(xml.data()),
                                  static_cast<CFIndex>(xml.size()));
    CFPropertyListRef list = CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, nullptr, nullptr);
    CFRelease(data);
    return list;
}

std::string limitProblem(const std::string& xml) {
    return tarnwell::cf::xmlLimitProblem(xml.data(), xml.size());
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// A saved-state shaped tree: a name with characters XML must escape, a chunk of every byte
// value, numbers of each kind and a nested preset list.
CFMutableDictionaryRef sampleState() {
    CFMutableDictionaryRef state = newDict();
    put(state, "name", makeCFString("Caf\xC3\xA9 \xE2\x82\xAC <&> \"q\"").release());
    UInt8 bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<UInt8>(i);
    put(state, "mCompleteData", CFDataCreate(kCFAllocatorDefault, bytes, 256));
    const SInt64 lowest = std::numeric_limits<SInt64>::min();
    put(state, "lowest", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &lowest));
    const Float64 third = 1.0 / 3.0;
    put(state, "third", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &third));
    CFMutableArrayRef list = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef preset = newDict();
    put(preset, "k", makeCFString("v").release());
    CFArrayAppendValue(list, preset);
    CFRelease(preset);
    put(state, "presets", list);
    return state;
}

TEST(PropertyList, NestedTreeSurvivesTheXmlRoundTrip) {
    CFMutableDictionaryRef state = sampleState();
    const std::string xml = asXml(state);
    CFRelease(state);
    ASSERT_EQ(xml.rfind("<?xml", 0), 0u) << xml;
    CFPropertyListRef back = readXml(xml);
    ASSERT_EQ(CFGetTypeID(back), CFDictionaryGetTypeID());
    char name[64] = "";
    CFStringGetCString(static_cast<CFStringRef>(get(back, "name")), name, sizeof name, kCFStringEncodingUTF8);
    EXPECT_STREQ(name, "Caf\xC3\xA9 \xE2\x82\xAC <&> \"q\"");
    const auto chunk = static_cast<CFDataRef>(get(back, "mCompleteData"));
    ASSERT_EQ(CFDataGetLength(chunk), 256);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(CFDataGetBytePtr(chunk)[i], i);
    SInt64 lowest = 0;
    Float64 third = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(get(back, "lowest")), kCFNumberSInt64Type, &lowest);
    CFNumberGetValue(static_cast<CFNumberRef>(get(back, "third")), kCFNumberFloat64Type, &third);
    EXPECT_EQ(lowest, std::numeric_limits<SInt64>::min());
    EXPECT_EQ(third, 1.0 / 3.0);
    const auto list = static_cast<CFArrayRef>(get(back, "presets"));
    ASSERT_EQ(CFArrayGetCount(list), 1);
    EXPECT_NE(get(CFArrayGetValueAtIndex(list, 0), "k"), nullptr);
    EXPECT_EQ(asXml(back), xml) << "writing what was read gives the same text again";
    CFRelease(back);
}

TEST(PropertyList, DamagedXmlReadsAsNothingAndForeignKindsAreSkipped) {
    // (Cut files are the preferences store's damaged-file test.)
    EXPECT_EQ(readXml("not a property list"), nullptr);
    EXPECT_EQ(CFPropertyListCreateWithData(kCFAllocatorDefault, nullptr, 0, nullptr, nullptr), nullptr);
    // Kinds we do not model are left out of their container; the rest is read.
    CFPropertyListRef list = readXml(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>flag</key><true/>"
        "<key>when</key><date>2020-01-01T00:00:00Z</date><key>n</key><integer>5</integer></dict></plist>");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 1);
    EXPECT_NE(get(list, "n"), nullptr);
    CFRelease(list);
}

TEST(PropertyList, OnlyXmlOfPropertyListValuesIsWritten) {
    CFMutableDictionaryRef state = sampleState();
    EXPECT_EQ(
        CFPropertyListCreateData(kCFAllocatorDefault, state, kCFPropertyListBinaryFormat_v1_0, 0, nullptr),
        nullptr);
    // A list of plain pointers is not a property list, wherever it sits in the tree.
    int record = 0;
    CFMutableArrayRef plain = CFArrayCreateMutable(kCFAllocatorDefault, 0, nullptr);
    CFArrayAppendValue(plain, &record);
    put(state, "plain", plain);
    EXPECT_EQ(asXml(state), "");
    CFRelease(state);
    // Absurd nesting is refused rather than recursed into without bound: 257 arrays one in the
    // other are written (and read back), 258 are not.
    const auto nested = [](int count) {
        CFMutableArrayRef deep = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (int level = 1; level < count; ++level) {
            CFMutableArrayRef outer = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
            CFArrayAppendValue(outer, deep);
            CFRelease(deep);
            deep = outer;
        }
        return deep;
    };
    for (int count : {257, 258, 1000}) {
        CFMutableArrayRef deep = nested(count);
        const std::string xml = asXml(deep);
        CFRelease(deep);
        EXPECT_EQ(xml.empty(), count > 257) << count;
        if (xml.empty()) continue;
        CFPropertyListRef back = readXml(xml);
        ASSERT_NE(back, nullptr);
        int depth = 1;
        for (CFTypeRef at = back; CFArrayGetCount(static_cast<CFArrayRef>(at)) == 1; ++depth)
            at = CFArrayGetValueAtIndex(static_cast<CFArrayRef>(at), 0);
        EXPECT_EQ(depth, 257);
        CFRelease(back);
    }
}

// Text the XML library would recurse through without bound, or spend quadratic time on (keys of
// one dictionary, references in one text), is refused before it reads it, however the nesting
// hides; what stays inside the limits reads.
TEST(PropertyList, WhatTheXmlLibraryCannotBearIsRefusedUnread) {
    // The refusals themselves are in the host's hostile-file corpus; here, closing tags inside
    // comments, processing instructions and declarations must not count.
    for (const char* hiding : {"<!--</dict>-->", "<?x </dict>?>", "<!X </dict>>", "<!X [</dict>]>"})
        EXPECT_NE(limitProblem("<plist>" + repeat(std::string("<dict>") + hiding, 300) + "</plist>"), "")
            << hiding;

    std::string within = "<plist>" + repeat("<dict><key>a</key>", 256) + "<string>" + repeat("&lt;", 1000) +
                         "</string>" + repeat("</dict>", 256) + "</plist>";
    CFPropertyListRef list = readXml(within);
    ASSERT_NE(list, nullptr);
    CFRelease(list);
    // 257 containers one in the other are read (none of them written empty); one more is refused.
    CFPropertyListRef deepest =
        readXml("<plist>" + repeat("<array>", 257) + repeat("</array>", 257) + "</plist>");
    ASSERT_NE(deepest, nullptr);
    CFRelease(deepest);
    EXPECT_EQ(readXml("<plist>" + repeat("<array>", 258) + repeat("</array>", 258) + "</plist>"), nullptr);
    std::string keys;
    for (int k = 0; k < 10000; ++k) keys += "<key>k" + std::to_string(k) + "</key><integer>1</integer>";
    list = readXml("<plist><dict>" + keys + "</dict></plist>");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 10000);
    CFRelease(list);
}

}  // namespace
