#pragma once

// Property lists are trees of dictionaries, arrays, strings, data and numbers, read and
// written as XML. Other XML node kinds (booleans, dates) inside containers are skipped on read.

#include "sdk/corefoundation/CFBase.h"

typedef CFIndex CFPropertyListFormat;
inline constexpr CFPropertyListFormat kCFPropertyListXMLFormat_v1_0 = 100;
inline constexpr CFPropertyListFormat kCFPropertyListBinaryFormat_v1_0 = 200;

inline constexpr CFOptionFlags kCFPropertyListImmutable = 0;
inline constexpr CFOptionFlags kCFPropertyListMutableContainers = 1;
inline constexpr CFOptionFlags kCFPropertyListMutableContainersAndLeaves = 2;

// XML only; null for another format, a value that is not a property list (including
// containers of plain pointers and cycles). error, when given, is set to null.
CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator, CFPropertyListRef list,
                                   CFPropertyListFormat format, CFOptionFlags options, CFErrorRef* error);
// Null for data that is not a well-formed XML property list. Containers always come back
// mutable. format, when given, receives the XML format.
CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data,
                                               CFOptionFlags options, CFPropertyListFormat* format,
                                               CFErrorRef* error);
