#pragma once

// Reference-counted objects behind the CoreFoundation-style handles. Every Create/Copy call
// hands out one reference the caller releases; Get calls hand out borrowed references.

#include "sdk/corefoundation/MacTypes.h"

namespace tarnwell::cf {
class Object;
class String;
class Data;
class Number;
class Dictionary;
class Array;
class Bundle;
class Error;
}  // namespace tarnwell::cf

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef const void* CFTypeRef;
typedef const void* CFAllocatorRef;  // allocators are not modelled; pass kCFAllocatorDefault
typedef const tarnwell::cf::String* CFStringRef;
typedef const tarnwell::cf::Data* CFDataRef;
typedef const tarnwell::cf::Number* CFNumberRef;
typedef const tarnwell::cf::Dictionary* CFDictionaryRef;
typedef tarnwell::cf::Dictionary* CFMutableDictionaryRef;
typedef const tarnwell::cf::Array* CFArrayRef;
typedef tarnwell::cf::Array* CFMutableArrayRef;
typedef tarnwell::cf::Bundle* CFBundleRef;
typedef tarnwell::cf::Error* CFErrorRef;  // never produced: failures are reported as null results
typedef CFTypeRef CFPropertyListRef;

inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

// Null handles are ignored by CFRetain/CFRelease (CFRetain returns null).
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
// 0 for a null handle.
CFTypeID CFGetTypeID(CFTypeRef object);

CFTypeID CFStringGetTypeID();
CFTypeID CFDataGetTypeID();
CFTypeID CFNumberGetTypeID();
CFTypeID CFDictionaryGetTypeID();
CFTypeID CFArrayGetTypeID();
CFTypeID CFBundleGetTypeID();
