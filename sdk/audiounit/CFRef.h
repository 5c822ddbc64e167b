#pragma once

// Holds one CoreFoundation reference and releases it when it goes out of scope.

#include <utility>

#include "sdk/corefoundation/CoreFoundation.h"

template <typename Ref>
class CFRef {
public:
    explicit CFRef(Ref ref = nullptr) : mRef(ref) {}
    ~CFRef() { reset(); }
    CFRef(const CFRef&) = delete;
    CFRef& operator=(const CFRef&) = delete;
    CFRef(CFRef&& other) noexcept : mRef(std::exchange(other.mRef, nullptr)) {}
    CFRef& operator=(CFRef&& other) noexcept {
        if (this != &other) reset(std::exchange(other.mRef, nullptr));
        return *this;
    }

    Ref get() const { return mRef; }
    explicit operator bool() const { return mRef != nullptr; }
    // Hands the reference over; the caller releases it.
    Ref release() {
        Ref ref = mRef;
        mRef = nullptr;
        return ref;
    }
    void reset(Ref ref = nullptr) {
        if (mRef != nullptr) CFRelease(mRef);
        mRef = ref;
    }

private:
    Ref mRef;
};

inline CFRef<CFStringRef> makeCFString(const char* text, CFStringEncoding encoding = kCFStringEncodingUTF8) {
    return CFRef<CFStringRef>(CFStringCreateWithCString(kCFAllocatorDefault, text, encoding));
}
