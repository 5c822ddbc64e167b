#include <gtest/gtest.h>

#include <string>

#include "sdk/corefoundation/CoreFoundation.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace {

using tarnwell::cf::fromXml;

CFPropertyListRef parse(const std::string& xml) {
    return fromXml(xml.data(), xml.size());
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string limitProblem(const std::string& xml) {
    return tarnwell::cf::xmlLimitProblem(xml.data(), xml.size());
}

// Text the XML library would recurse through without bound, or spend quadratic time on (keys of
// one dictionary, references in one text), is refused before it reads it, however the nesting
// hides; what stays inside the limits reads.
TEST(PropertyList, WhatTheXmlLibraryCannotBearIsRefusedUnread) {
    const std::string deep = "<plist>" + repeat("<array>", 300000) + repeat("</array>", 300000) + "</plist>";
    EXPECT_EQ(parse(deep), nullptr);
    EXPECT_EQ(limitProblem(deep), "containers nested more than 256 deep");
    // Closing tags inside comments, processing instructions and declarations do not count.
    for (const char* hiding : {"<!--</dict>-->", "<?x </dict>?>", "<!X </dict>>", "<!X [</dict>]>"})
        EXPECT_NE(limitProblem("<plist>" + repeat(std::string("<dict>") + hiding, 300) + "</plist>"), "") << hiding;
    EXPECT_EQ(limitProblem("<plist><dict>" + repeat("<key>k</key><integer>1</integer>", 10001) + "</dict></plist>"),
              "a dictionary of more than 10000 keys");
    EXPECT_EQ(limitProblem("<plist><string>" + repeat("&amp;", 1001) + "</string></plist>"),
              "a text with more than 1000 character references");

    std::string within = "<plist>" + repeat("<dict><key>a</key>", 256) + "<string>" + repeat("&lt;", 1000) +
                         "</string>" + repeat("</dict>", 256) + "</plist>";
    CFPropertyListRef list = parse(within);
    EXPECT_NE(list, nullptr);
    if (list != nullptr) CFRelease(list);
    std::string keys;
    for (int k = 0; k < 10000; ++k) keys += "<key>k" + std::to_string(k) + "</key><integer>1</integer>";
    list = parse("<plist><dict>" + keys + "</dict></plist>");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(list)), 10000);
    CFRelease(list);
}

}  // namespace
