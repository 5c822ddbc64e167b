#pragma once

// The objects behind the handles. Internal to this layer.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sdk/corefoundation/CFBase.h"

namespace tarnwell::cf {

enum TypeId : CFTypeID { kStringType = 1, kDataType, kNumberType, kDictionaryType, kArrayType, kBundleType };

class Object {
public:
    explicit Object(CFTypeID id, bool permanent = false) : typeId(id), immortal(permanent) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void retain() const;
    void release() const;

    const CFTypeID typeId;

private:
    const bool immortal;  // statics and registry entries: reference counting does not apply
    mutable std::atomic<long> references{1};
};

inline const Object* object(CFTypeRef ref) {
    return static_cast<const Object*>(ref);
}
inline bool isType(CFTypeRef ref, CFTypeID id) {
    return ref != nullptr && object(ref)->typeId == id;
}

// Drops one reference when it goes out of scope.
class Owned {
public:
    explicit Owned(CFTypeRef owned = nullptr) : ref(owned) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    CFTypeRef get() const { return ref; }
    CFTypeRef take() {
        CFTypeRef r = ref;
        ref = nullptr;
        return r;
    }
    void reset(CFTypeRef other = nullptr);

private:
    CFTypeRef ref;
};

class String : public Object {
public:
    explicit String(std::string utf8, bool permanent = false)
        : Object(kStringType, permanent), text(std::move(utf8)) {}
    const std::string text;  // well-formed UTF-8
};

class Data : public Object {
public:
    explicit Data(std::vector<UInt8> content) : Object(kDataType), bytes(std::move(content)) {}
    const std::vector<UInt8> bytes;
};

class Number : public Object {
public:
    explicit Number(SInt64 value) : Object(kNumberType), isFloat(false), integer(value), real(0.0) {}
    explicit Number(double value) : Object(kNumberType), isFloat(true), integer(0), real(value) {}
    const bool isFloat;
    const SInt64 integer;
    const double real;
};

// Holds either retained CF values or plain pointers, chosen at creation.
class Container : public Object {
protected:
    Container(CFTypeID id, bool retains) : Object(id), retainsValues(retains) {}

public:
    const bool retainsValues;

protected:
    const void* hold(const void* value) const {
        if (retainsValues) object(value)->retain();
        return value;
    }
    void drop(const void* value) const {
        if (retainsValues) object(value)->release();
    }
};

class Dictionary : public Container {
public:
    explicit Dictionary(bool retains) : Container(kDictionaryType, retains) {}
    ~Dictionary() override;

    struct Entry {
        CFStringRef key;  // retained
        const void* value;
    };
    void set(CFStringRef key, const void* value);
    void remove(const std::string& key);
    const void* get(const std::string& key) const;
    const std::map<std::string, Entry>& entries() const { return items; }

private:
    std::map<std::string, Entry> items;
};

class Array : public Container {
public:
    explicit Array(bool retains) : Container(kArrayType, retains) {}
    ~Array() override;

    void append(const void* value) { items.push_back(hold(value)); }
    const std::vector<const void*>& values() const { return items; }

private:
    std::vector<const void*> items;
};

// Text conversions shared by strings and the property-list reader.
bool isWellFormedUtf8(const std::string& text);

}  // namespace tarnwell::cf
