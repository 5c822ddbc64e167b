#pragma once

#include "sdk/corefoundation/CFBase.h"

typedef CFIndex CFNumberType;
inline constexpr CFNumberType kCFNumberSInt32Type = 3;
inline constexpr CFNumberType kCFNumberSInt64Type = 4;
inline constexpr CFNumberType kCFNumberFloat32Type = 5;
inline constexpr CFNumberType kCFNumberFloat64Type = 6;

// Null for an unsupported type or a null value pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* value);
// Stores the number converted to type at value (saturating integers, truncating toward zero);
// true only when the conversion was exact.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value);
