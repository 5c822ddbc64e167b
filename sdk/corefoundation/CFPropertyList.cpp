#include "sdk/corefoundation/CFPropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace tarnwell::cf {
namespace {

// Deeper trees are refused: they only come from cycles or hostile files.
constexpr int MAX_DEPTH = 256;

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

}  // namespace

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
    plist_t root = nullptr;
    plist_from_xml(bytes, static_cast<uint32_t>(length), &root);
    PlistNode node(root);
    return node ? fromNode(node.get(), 0) : nullptr;
}

}  // namespace tarnwell::cf

using namespace tarnwell::cf;

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef list, CFPropertyListFormat format, CFOptionFlags,
                                   CFErrorRef* error) {
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
