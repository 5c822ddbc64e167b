#pragma once

// Owns one reference to a CoreFoundation value and releases it when it goes.

#include <utility>

#include "sdk/corefoundation/CFBase.h"

class CFHandle {
public:
    CFHandle() = default;
    explicit CFHandle(CFTypeRef owned) : ref(owned) {}
    ~CFHandle() { reset(); }
    CFHandle(CFHandle&& other) noexcept : ref(std::exchange(other.ref, nullptr)) {}
    CFHandle& operator=(CFHandle&& other) noexcept {
        if (this != &other) {
            reset();
            ref = std::exchange(other.ref, nullptr);
        }
        return *this;
    }
    CFHandle(const CFHandle&) = delete;
    CFHandle& operator=(const CFHandle&) = delete;

    CFTypeRef get() const { return ref; }
    explicit operator bool() const { return ref != nullptr; }
    void reset() {
        if (ref != nullptr) CFRelease(ref);
        ref = nullptr;
    }

private:
    CFTypeRef ref = nullptr;
};
