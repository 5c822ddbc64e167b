#pragma once

// XML encoding of property lists, shared by the public calls and the preferences files.

#include <cstddef>
#include <string>

#include "sdk/corefoundation/CFBase.h"

namespace tarnwell::cf {

// Empty when the value is not a property list.
std::string toXml(CFPropertyListRef list);
// A new reference, or null for text that is not a well-formed XML property list or that passes
// the limits below.
CFPropertyListRef fromXml(const char* bytes, std::size_t length);
// Why the text is refused before it is parsed (containers nested too deep, a dictionary with too
// many keys), or empty.
std::string xmlLimitProblem(const char* bytes, std::size_t length);

}  // namespace tarnwell::cf
