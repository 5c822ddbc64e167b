#pragma once

// Saved states as .aupreset files: the component's class-info dictionary written as an XML
// property list, with the keys that say which component it belongs to (type, subtype,
// manufacturer), the format version and a name. Reading checks a file against the component
// before anything reaches it, so a bad file never changes the sound.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/InputFile.h"
#include "sdk/audiounit/CFRef.h"
#include "sdk/corefoundation/CoreFoundation.h"

struct ComponentIdentity {
    OSType type = 0;
    OSType subtype = 0;
    OSType manufacturer = 0;
};

// What the component stores per program: a 28-byte name and one float per parameter.
struct StateLayout {
    std::uint32_t programs = 1;
    std::uint32_t parameters = 1024;
};

struct StoredProgram {
    std::string name;
    std::vector<float> values;
};

struct StateSummary {
    std::string name;
    ComponentIdentity identity;
    std::optional<std::int32_t> currentPreset;
    bool chunkForm = false;  // the effect's own chunk rather than the program records
    std::vector<StoredProgram> programs;
};

// "aumf"; codes with bytes outside printable ASCII come out as a hexadecimal number.
std::string fourCharText(OSType code);

// The dictionary of a preset file. Throws HostError naming path when it cannot be read or is not
// a property list holding a dictionary.
CFRef<CFTypeRef> readPresetFile(const std::string& path, double pipeWaitSeconds = PIPE_WAIT_SECONDS);
// The same for the bytes of a file.
CFRef<CFTypeRef> parsePresetFile(const std::vector<unsigned char>& bytes, const std::string& path);
// Writes state as an XML property list; the file appears only when complete.
void writePresetFile(const std::string& path, CFPropertyListRef state);

// Sets name and fills in the identity and version keys the component left out.
void completePresetKeys(CFMutableDictionaryRef state, const ComponentIdentity& identity,
                        const std::string& name);

// The class-info dictionary the component writes while it plays one program: the identity and
// version keys, name, the global parameter values ("data"), the program record
// ("mCompleteData": a 28-byte name, then the values as big-endian floats) and "mCurPreset" 0.
// A host restores it to load a sound of its own. Throws HostError when the component keeps
// more than one program or another number of values.
CFRef<CFTypeRef> programState(const ComponentIdentity& identity, const StateLayout& layout,
                              const std::string& name, const std::vector<float>& values);

// Reads the keys and the stored programs. Throws HostError naming path when the state belongs to
// another component or another format version, holds no program data, or holds program data of
// the wrong size.
StateSummary inspectSavedState(CFDictionaryRef state, const std::string& path,
                               const ComponentIdentity& identity, const StateLayout& layout);
