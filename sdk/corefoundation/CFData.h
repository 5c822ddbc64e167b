#pragma once

#include "sdk/corefoundation/CFBase.h"

// Copies length bytes; null for a negative length or null bytes with a positive length.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);
CFIndex CFDataGetLength(CFDataRef data);
// Valid while the data lives; null for empty data.
const UInt8* CFDataGetBytePtr(CFDataRef data);
