#pragma once

#include "sdk/corefoundation/CFBase.h"

// With the CF-type callbacks the array retains its values; with null callbacks it holds plain
// pointers it never touches.
struct CFArrayCallBacks {
    CFIndex version;
};
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);
CFIndex CFArrayGetCount(CFArrayRef array);
// Borrowed; null outside 0..count-1.
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
