#include <cstring>
#include <optional>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/CFString.h"

namespace tarnwell::cf {
namespace {

// Unicode code points of the Mac Roman bytes 0x80..0xFF; the lower half is ASCII.
constexpr char32_t MAC_ROMAN_HIGH[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the code point at pos and advances pos; nothing for a malformed sequence
// (overlong forms, surrogates and values beyond U+10FFFF included).
std::optional<char32_t> nextCodePoint(const std::string& text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    int length;
    char32_t c;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (pos + static_cast<std::size_t>(length) > text.size()) return std::nullopt;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t SMALLEST[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < SMALLEST[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    pos += static_cast<std::size_t>(length);
    return c;
}

std::optional<unsigned char> macRomanByte(char32_t c) {
    if (c < 0x80) return static_cast<unsigned char>(c);
    for (int i = 0; i < 128; ++i) {
        if (MAC_ROMAN_HIGH[i] == c) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::optional<std::string> toMacRoman(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto c = nextCodePoint(utf8, pos);
        const auto b = c ? macRomanByte(*c) : std::nullopt;
        if (!b) return std::nullopt;
        out += static_cast<char>(*b);
    }
    return out;
}

}  // namespace

bool isWellFormedUtf8(const std::string& text) {
    for (std::size_t pos = 0; pos < text.size();) {
        if (!nextCodePoint(text, pos)) return false;
    }
    return true;
}

}  // namespace tarnwell::cf

using namespace tarnwell::cf;

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
    if (text == nullptr) return nullptr;
    if (encoding == kCFStringEncodingUTF8) {
        std::string utf8(text);
        return isWellFormedUtf8(utf8) ? new String(std::move(utf8)) : nullptr;
    }
    if (encoding == kCFStringEncodingMacRoman) {
        std::string utf8;
        for (const char* p = text; *p != '\0'; ++p) {
            const auto b = static_cast<unsigned char>(*p);
            appendUtf8(utf8, b < 0x80 ? b : MAC_ROMAN_HIGH[b - 0x80]);
        }
        return new String(std::move(utf8));
    }
    return nullptr;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    if (string == nullptr || buffer == nullptr || bufferSize <= 0) return false;
    std::optional<std::string> encoded;
    if (encoding == kCFStringEncodingUTF8) {
        encoded = string->text;
    } else if (encoding == kCFStringEncodingMacRoman) {
        encoded = toMacRoman(string->text);
    }
    if (!encoded || static_cast<CFIndex>(encoded->size()) + 1 > bufferSize) return false;
    std::memcpy(buffer, encoded->c_str(), encoded->size() + 1);
    return true;
}
