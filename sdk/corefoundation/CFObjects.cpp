#include "sdk/corefoundation/CFObjects.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "sdk/corefoundation/CFArray.h"
#include "sdk/corefoundation/CFData.h"
#include "sdk/corefoundation/CFDictionary.h"
#include "sdk/corefoundation/CFNumber.h"

namespace tarnwell::cf {

void Object::retain() const {
    if (!immortal) references.fetch_add(1, std::memory_order_relaxed);
}

void Object::release() const {
    if (!immortal && references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void Owned::reset(CFTypeRef other) {
    if (ref != nullptr) object(ref)->release();
    ref = other;
}

Dictionary::~Dictionary() {
    for (auto& [text, entry] : items) {
        entry.key->release();
        drop(entry.value);
    }
}

void Dictionary::set(CFStringRef key, const void* value) {
    hold(value);
    auto [it, added] = items.try_emplace(key->text, Entry{key, value});
    if (added) {
        key->retain();
    } else {
        drop(it->second.value);
        it->second.value = value;
    }
}

void Dictionary::remove(const std::string& key) {
    auto it = items.find(key);
    if (it == items.end()) return;
    it->second.key->release();
    drop(it->second.value);
    items.erase(it);
}

const void* Dictionary::get(const std::string& key) const {
    auto it = items.find(key);
    return it == items.end() ? nullptr : it->second.value;
}

Array::~Array() {
    for (const void* value : items) drop(value);
}

}  // namespace tarnwell::cf

using namespace tarnwell::cf;

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{0};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{0};
const CFArrayCallBacks kCFTypeArrayCallBacks{0};

CFTypeRef CFRetain(CFTypeRef ref) {
    if (ref != nullptr) object(ref)->retain();
    return ref;
}

void CFRelease(CFTypeRef ref) {
    if (ref != nullptr) object(ref)->release();
}

CFTypeID CFGetTypeID(CFTypeRef ref) {
    return ref == nullptr ? 0 : object(ref)->typeId;
}

CFTypeID CFStringGetTypeID() {
    return kStringType;
}
CFTypeID CFDataGetTypeID() {
    return kDataType;
}
CFTypeID CFNumberGetTypeID() {
    return kNumberType;
}
CFTypeID CFDictionaryGetTypeID() {
    return kDictionaryType;
}
CFTypeID CFArrayGetTypeID() {
    return kArrayType;
}
CFTypeID CFBundleGetTypeID() {
    return kBundleType;
}

// ---- data

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
    if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
    return new Data(std::vector<UInt8>(bytes, bytes + length));
}

CFIndex CFDataGetLength(CFDataRef data) {
    return data == nullptr ? 0 : static_cast<CFIndex>(data->bytes.size());
}

const UInt8* CFDataGetBytePtr(CFDataRef data) {
    return data == nullptr || data->bytes.empty() ? nullptr : data->bytes.data();
}

// ---- numbers

namespace {

template <typename Int>
bool integerFromInteger(SInt64 v, Int* out) {
    constexpr SInt64 lo = std::numeric_limits<Int>::min(), hi = std::numeric_limits<Int>::max();
    *out = static_cast<Int>(v < lo ? lo : v > hi ? hi : v);
    return v >= lo && v <= hi;
}

template <typename Int>
bool integerFromReal(double v, Int* out) {
    if (std::isnan(v)) {
        *out = 0;
        return false;
    }
    // Compare against powers of two, which doubles hold exactly.
    const double limit = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    const double lo = -limit;
    const double truncated = std::trunc(v);
    if (truncated < lo) {
        *out = std::numeric_limits<Int>::min();
        return false;
    }
    if (truncated >= limit) {
        *out = std::numeric_limits<Int>::max();
        return false;
    }
    *out = static_cast<Int>(truncated);
    return truncated == v;
}

template <typename Real>
bool realFromInteger(SInt64 v, Real* out) {
    *out = static_cast<Real>(v);
    // Values of 2^63 and beyond cannot come from an SInt64, so only the lower bound can be exact.
    if (*out >= static_cast<Real>(std::ldexp(1.0, 63))) return false;
    return static_cast<SInt64>(*out) == v;
}

}  // namespace

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* value) {
    if (value == nullptr) return nullptr;
    switch (type) {
        case kCFNumberSInt32Type: {
            SInt32 v;
            std::memcpy(&v, value, sizeof v);
            return new Number(static_cast<SInt64>(v));
        }
        case kCFNumberSInt64Type: {
            SInt64 v;
            std::memcpy(&v, value, sizeof v);
            return new Number(v);
        }
        case kCFNumberFloat32Type: {
            Float32 v;
            std::memcpy(&v, value, sizeof v);
            return new Number(static_cast<double>(v));
        }
        case kCFNumberFloat64Type: {
            Float64 v;
            std::memcpy(&v, value, sizeof v);
            return new Number(v);
        }
        default:
            return nullptr;
    }
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value) {
    if (number == nullptr || value == nullptr) return false;
    bool exact = false;
    auto store = [&](auto v) { std::memcpy(value, &v, sizeof v); };
    switch (type) {
        case kCFNumberSInt32Type: {
            SInt32 v;
            exact =
                number->isFloat ? integerFromReal(number->real, &v) : integerFromInteger(number->integer, &v);
            store(v);
            break;
        }
        case kCFNumberSInt64Type: {
            SInt64 v;
            exact =
                number->isFloat ? integerFromReal(number->real, &v) : integerFromInteger(number->integer, &v);
            store(v);
            break;
        }
        case kCFNumberFloat32Type: {
            Float32 v;
            if (number->isFloat) {
                v = static_cast<Float32>(number->real);
                exact = static_cast<double>(v) == number->real || std::isnan(number->real);
            } else {
                exact = realFromInteger(number->integer, &v);
            }
            store(v);
            break;
        }
        case kCFNumberFloat64Type: {
            Float64 v;
            if (number->isFloat) {
                v = number->real;
                exact = true;
            } else {
                exact = realFromInteger(number->integer, &v);
            }
            store(v);
            break;
        }
        default:
            return false;
    }
    return exact;
}

// ---- dictionaries

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks*,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
    return new Dictionary(valueCallBacks != nullptr);
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value) {
    if (dictionary == nullptr || value == nullptr || !isType(key, kStringType)) return;
    dictionary->set(static_cast<CFStringRef>(key), value);
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
    if (dictionary == nullptr || !isType(key, kStringType)) return nullptr;
    return dictionary->get(static_cast<CFStringRef>(key)->text);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary) {
    return dictionary == nullptr ? 0 : static_cast<CFIndex>(dictionary->entries().size());
}

// ---- arrays

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks) {
    return new Array(callBacks != nullptr);
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value) {
    if (array == nullptr || (value == nullptr && array->retainsValues)) return;
    array->append(value);
}

CFIndex CFArrayGetCount(CFArrayRef array) {
    return array == nullptr ? 0 : static_cast<CFIndex>(array->values().size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
    if (array == nullptr || index < 0 || index >= CFArrayGetCount(array)) return nullptr;
    return array->values()[static_cast<std::size_t>(index)];
}
