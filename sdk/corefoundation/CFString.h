#pragma once

#include "sdk/corefoundation/CFBase.h"

typedef UInt32 CFStringEncoding;
inline constexpr CFStringEncoding kCFStringEncodingMacRoman = 0;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

// Null for a null text, an unsupported encoding or bytes that are not valid in the encoding
// (every byte is valid Mac Roman; UTF-8 must be well formed).
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text, CFStringEncoding encoding);

// Writes the text and its terminator into buffer. Fails, leaving the buffer untouched, when
// they do not fit in bufferSize bytes or a character has no form in the encoding.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
