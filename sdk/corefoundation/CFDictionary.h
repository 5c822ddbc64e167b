#pragma once

#include "sdk/corefoundation/CFBase.h"

// Keys are strings compared by their text. With the CF-type value callbacks the dictionary
// retains its values; with null value callbacks it holds plain pointers it never touches.
struct CFDictionaryKeyCallBacks {
    CFIndex version;
};
struct CFDictionaryValueCallBacks {
    CFIndex version;
};
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// Adds or replaces; a key that is not a string or a null value is ignored.
void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value);
// Borrowed; null when absent.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);
