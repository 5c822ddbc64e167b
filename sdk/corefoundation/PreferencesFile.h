#pragma once

// The files behind the preferences calls: where a domain lives, reading it, and the locked,
// atomic read-modify-write cycle.

#include <functional>
#include <string>

#include "sdk/corefoundation/CFBase.h"

namespace tarnwell::cf {

enum class Scope { CurrentUser, AnyUser };

// A preferences file larger than this, or one that is not a regular file, is neither read nor
// replaced (one line on stderr says so, once per file).
constexpr long MAX_PREFERENCES_BYTES = 4L << 20;

// The domain's file for the scope; empty when the domain name cannot name a file (empty, a
// path separator, a leading dot) or no folder is known.
std::string preferencesFile(const std::string& domain, Scope scope);

// The file's dictionary (a new reference, shared: not to be changed), or null when the file is
// missing, damaged or refused.
CFDictionaryRef readPreferences(const std::string& path);

// Under an exclusive lock: re-reads the file (a damaged one is first moved to <path>.damaged),
// lets change edit the dictionary, and replaces the file atomically. False when any step
// failed; the file is then unchanged.
bool updatePreferences(const std::string& path, const std::function<void(CFMutableDictionaryRef)>& change);

}  // namespace tarnwell::cf
