#pragma once

// Owns one reference to a CoreFoundation value and releases it when it goes.

#include <utility>

#include "sdk/corefoundation/CFBase.h"

class CFRef {
public:
    CFRef() = default;
    explicit CFRef(CFTypeRef owned) : ref(owned) {}
    ~CFRef() { reset(); }
    CFRef(CFRef&& other) noexcept : ref(std::exchange(other.ref, nullptr)) {}
    CFRef& operator=(CFRef&& other) noexcept {
        if (this != &other) {
            reset();
            ref = std::exchange(other.ref, nullptr);
        }
        return *this;
    }
    CFRef(const CFRef&) = delete;
    CFRef& operator=(const CFRef&) = delete;

    static CFRef retained(CFTypeRef borrowed) { return CFRef(CFRetain(borrowed)); }

    CFTypeRef get() const { return ref; }
    explicit operator bool() const { return ref != nullptr; }
    void reset() {
        if (ref != nullptr) CFRelease(ref);
        ref = nullptr;
    }

private:
    CFTypeRef ref = nullptr;
};
