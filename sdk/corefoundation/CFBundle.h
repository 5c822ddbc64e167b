#pragma once

// Bundles are looked up in a process-wide registry: a component or host registers its bundle
// folder and identifier once, and the look-ups find it from then on. Bundles live as long as
// the process; the look-ups follow the Get rule (nothing to release).

#include <string>

#include "sdk/corefoundation/CFBase.h"

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier);
// The host program's bundle; without a registration it has no identifier and no folder.
CFBundleRef CFBundleGetMainBundle();
// Null for a bundle without identifier.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);

namespace tarnwell::cf {

// Registers (or moves) the bundle with this identifier to folder path.
CFBundleRef registerBundle(const char* identifier, const char* path);
void registerMainBundle(const char* identifier, const char* path);
// The bundle's folder; empty when unknown.
std::string bundlePath(CFBundleRef bundle);

}  // namespace tarnwell::cf
