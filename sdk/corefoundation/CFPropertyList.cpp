#include "sdk/corefoundation/CFPropertyList.h"

#include <plist/plist.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace tarnwell::cf {
namespace {

// Deeper trees are refused: they only come from cycles or hostile files.
constexpr int MAX_DEPTH = 256;
// The XML library checks each key of a dictionary against those before it, and moves the rest
// of a text for each character reference it decodes; more than these only come from hostile files.
constexpr std::size_t MAX_KEYS = 10000;
constexpr std::ptrdiff_t MAX_REFERENCES = 1000;

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

plist_t toNode(CFTypeRef value, int depth) {
    if (value == nullptr || depth > MAX_DEPTH) return nullptr;
    switch (object(value)->typeId) {
        case kStringType:
            return plist_new_string(static_cast<CFStringRef>(value)->text.c_str());
        case kDataType: {
            const auto& bytes = static_cast<CFDataRef>(value)->bytes;
            if (bytes.empty()) return plist_new_data("", 0);
            return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        case kNumberType: {
            const auto* n = static_cast<CFNumberRef>(value);
            // The integer node holds 64 bits; negative values travel as their two's complement.
            return n->isFloat ? plist_new_real(n->real) : plist_new_uint(static_cast<uint64_t>(n->integer));
        }
        case kDictionaryType: {
            const auto* dict = static_cast<CFDictionaryRef>(value);
            if (!dict->retainsValues) return nullptr;
            PlistNode node(plist_new_dict());
            for (const auto& [key, entry] : dict->entries()) {
                plist_t child = toNode(entry.value, depth + 1);
                if (child == nullptr) return nullptr;
                plist_dict_set_item(node.get(), key.c_str(), child);
            }
            return node.release();
        }
        case kArrayType: {
            const auto* array = static_cast<CFArrayRef>(value);
            if (!array->retainsValues) return nullptr;
            PlistNode node(plist_new_array());
            for (const void* item : array->values()) {
                plist_t child = toNode(item, depth + 1);
                if (child == nullptr) return nullptr;
                plist_array_append_item(node.get(), child);
            }
            return node.release();
        }
        default:
            return nullptr;
    }
}

// Null for kinds we do not model and for texts that are not UTF-8.
CFTypeRef fromNode(plist_t node, int depth) {
    if (node == nullptr || depth > MAX_DEPTH) return nullptr;
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            std::string utf8(text != nullptr ? text : "", text != nullptr ? length : 0);
            return isWellFormedUtf8(utf8) ? new String(std::move(utf8)) : nullptr;
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            const auto* begin = reinterpret_cast<const UInt8*>(bytes);
            return new Data(std::vector<UInt8>(begin, begin + (bytes != nullptr ? length : 0)));
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            return new Number(static_cast<SInt64>(v));
        }
        case PLIST_REAL: {
            double v = 0.0;
            plist_get_real_val(node, &v);
            return new Number(v);
        }
        case PLIST_DICT: {
            Owned dict(new Dictionary(true));
            auto* target = const_cast<Dictionary*>(static_cast<CFDictionaryRef>(dict.get()));
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t child = nullptr;
                plist_dict_next_item(node, it, &key, &child);
                if (key == nullptr) break;
                Owned keyString(isWellFormedUtf8(key) ? new String(key) : nullptr);
                std::free(key);
                Owned value(fromNode(child, depth + 1));
                if (keyString.get() != nullptr && value.get() != nullptr) {
                    target->set(static_cast<CFStringRef>(keyString.get()), value.get());
                }
            }
            std::free(it);
            return dict.take();
        }
        case PLIST_ARRAY: {
            Owned array(new Array(true));
            auto* target = const_cast<Array*>(static_cast<CFArrayRef>(array.get()));
            const uint32_t count = plist_array_get_size(node);
            for (uint32_t i = 0; i < count; ++i) {
                Owned value(fromNode(plist_array_get_item(node, i), depth + 1));
                if (value.get() != nullptr) target->append(value.get());
            }
            return array.take();
        }
        default:
            return nullptr;
    }
}

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.substr(at, prefix.size()) == prefix;
}

// "<name" at at, followed by something that cannot continue the name.
bool tagIs(std::string_view text, std::size_t at, std::string_view name) {
    if (!startsWith(text, at, name)) return false;
    const std::size_t after = at + name.size();
    if (after >= text.size()) return true;
    const char c = text[after];
    return !(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ':');
}

// Where the region starting with "<!" or "<?" at at ends: a comment, a processing instruction,
// a declaration with or without an internal subset.
std::size_t regionEnd(std::string_view text, std::size_t at) {
    const auto after = [&](std::string_view end, std::size_t from) {
        const std::size_t found = text.find(end, from);
        return found == std::string_view::npos ? text.size() : found + end.size();
    };
    if (startsWith(text, at, "<!--")) return after("-->", at + 4);
    if (startsWith(text, at, "<?")) return after("?>", at + 2);
    const std::size_t close = text.find('>', at);
    const std::size_t bracket = text.find('[', at);
    return bracket < close ? after("]>", bracket) : after(">", at);
}

}  // namespace

// The library frees its trees recursively, compares keys pairwise and decodes character
// references in place, so all three are bounded before it parses anything. The count errs towards too deep:
// every opening tag counts, closing tags only outside comments, processing instructions and declarations,
// which the library may skip.
std::string xmlLimitProblem(const char* bytes, std::size_t length) {
    const std::string_view text(bytes, length);
    std::vector<std::size_t> keys;  // per open container
    std::size_t skippedUntil = 0;
    std::size_t last = 0;
    for (std::size_t at = text.find('<');; at = text.find('<', at + 1)) {
        const std::size_t end = at == std::string_view::npos ? text.size() : at;
        if (std::count(text.begin() + static_cast<std::ptrdiff_t>(last),
                       text.begin() + static_cast<std::ptrdiff_t>(end), '&') > MAX_REFERENCES)
            return "a text with more than " + std::to_string(MAX_REFERENCES) + " character references";
        if (at == std::string_view::npos) break;
        last = at;
        const bool skipped = at < skippedUntil;
        if (!skipped && (startsWith(text, at, "<!") || startsWith(text, at, "<?"))) {
            skippedUntil = regionEnd(text, at);
            continue;
        }
        if (tagIs(text, at + 1, "dict") || tagIs(text, at + 1, "array")) {
            if (startsWith(text, at, "<dict/>") || startsWith(text, at, "<array/>")) continue;
            keys.push_back(0);
            if (keys.size() > MAX_DEPTH + 1)
                return "containers nested more than " + std::to_string(MAX_DEPTH) + " deep";
        } else if (tagIs(text, at + 1, "key")) {
            if (!keys.empty() && ++keys.back() > MAX_KEYS)
                return "a dictionary of more than " + std::to_string(MAX_KEYS) + " keys";
        } else if (!skipped && (tagIs(text, at + 1, "/dict") || tagIs(text, at + 1, "/array"))) {
            if (!keys.empty()) keys.pop_back();
        }
    }
    return {};
}

std::string toXml(CFPropertyListRef list) {
    PlistNode node(toNode(list, 0));
    if (!node) return {};
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    std::string text(xml != nullptr ? xml : "", xml != nullptr ? length : 0);
    plist_to_xml_free(xml);
    return text;
}

CFPropertyListRef fromXml(const char* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0 || length > std::numeric_limits<uint32_t>::max()) return nullptr;
    if (!xmlLimitProblem(bytes, length).empty()) return nullptr;
    plist_t root = nullptr;
    plist_from_xml(bytes, static_cast<uint32_t>(length), &root);
    PlistNode node(root);
    return node ? fromNode(node.get(), 0) : nullptr;
}

}  // namespace tarnwell::cf

using namespace tarnwell::cf;

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef list, CFPropertyListFormat format,
                                   CFOptionFlags, CFErrorRef* error) {
    if (error != nullptr) *error = nullptr;
    if (format != kCFPropertyListXMLFormat_v1_0) return nullptr;
    const std::string xml = toXml(list);
    if (xml.empty()) return nullptr;
    return new Data(std::vector<UInt8>(xml.begin(), xml.end()));
}

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags,
                                               CFPropertyListFormat* format, CFErrorRef* error) {
    if (error != nullptr) *error = nullptr;
    if (data == nullptr) return nullptr;
    CFPropertyListRef list = fromXml(reinterpret_cast<const char*>(data->bytes.data()), data->bytes.size());
    if (list != nullptr && format != nullptr) *format = kCFPropertyListXMLFormat_v1_0;
    return list;
}
