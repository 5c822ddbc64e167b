#include "host/SavedState.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/AtomicOutput.h"
#include "host/HostError.h"
#include "host/InputFile.h"
#include "sdk/corefoundation/PropertyListCodec.h"

namespace {

constexpr std::size_t NAME_BYTES = 28;
constexpr std::size_t CHUNK_NAME_BYTES = 32;
// Far above any state of ours; bounds what a file may make the command hold.
constexpr std::size_t LARGEST_FILE = 16u << 20;
// The only format of the class-info dictionary the component reads.
constexpr SInt64 STATE_VERSION = 0;

CFRef<CFTypeRef> text(const char* utf8) {
    return CFRef<CFTypeRef>(CFStringCreateWithCString(kCFAllocatorDefault, utf8, kCFStringEncodingUTF8));
}

CFTypeRef lookup(CFDictionaryRef dict, const char* key) {
    const CFRef<CFTypeRef> k = text(key);
    return CFDictionaryGetValue(dict, k.get());
}

void store(CFMutableDictionaryRef dict, const char* key, const CFRef<CFTypeRef>& value) {
    const CFRef<CFTypeRef> k = text(key);
    CFDictionarySetValue(dict, k.get(), value.get());
}

CFRef<CFTypeRef> integer(SInt64 value) {
    return CFRef<CFTypeRef>(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
}

std::optional<SInt64> integerValue(CFTypeRef value) {
    SInt64 result = 0;
    if (CFGetTypeID(value) != CFNumberGetTypeID() ||
        !CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &result))
        return std::nullopt;
    return result;
}

std::string stringValue(CFTypeRef value) {
    if (CFGetTypeID(value) != CFStringGetTypeID()) return {};
    std::vector<char> buffer(1024);
    if (!CFStringGetCString(static_cast<CFStringRef>(value), buffer.data(),
                            static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8))
        return {};
    return buffer.data();
}

std::string nameFromBytes(const UInt8* bytes, std::size_t size) {
    std::string name(reinterpret_cast<const char*>(bytes), size - 1);  // the last byte is always the end
    return name.substr(0, name.find('\0'));
}

float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t bigEndian(const UInt8* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void putBigEndian(std::vector<UInt8>& out, std::uint32_t bits) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<UInt8>(bits >> shift));
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

CFRef<CFTypeRef> dataOf(const std::vector<UInt8>& bytes) {
    return CFRef<CFTypeRef>(
        CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
}

std::uint32_t littleEndian(const UInt8* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

// A stored component code for messages: four characters when it is one, else the number.
std::string codeText(SInt64 code) {
    return code >= 0 && code <= 0xFFFFFFFF ? fourCharText(static_cast<OSType>(code)) : std::to_string(code);
}

}  // namespace

std::string fourCharText(OSType code) {
    std::string result;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(code >> shift);
        if (!std::isprint(c)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
            return hex;
        }
        result += static_cast<char>(c);
    }
    return result;
}

CFRef<CFTypeRef> readPresetFile(const std::string& path, double pipeWaitSeconds) {
    InputFile file(path, pipeWaitSeconds);
    return parsePresetFile(file.readAll(LARGEST_FILE, "a saved state"), path);
}

CFRef<CFTypeRef> parsePresetFile(const std::vector<unsigned char>& bytes, const std::string& path) {
    const CFRef<CFTypeRef> data(
        CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
    CFRef<CFTypeRef> list(CFPropertyListCreateWithData(
        kCFAllocatorDefault, static_cast<CFDataRef>(data.get()), kCFPropertyListImmutable, nullptr, nullptr));
    if (!list) {
        const std::string limit =
            tarnwell::cf::xmlLimitProblem(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        throw fileError(
            path, "is not a saved state (" + (limit.empty() ? "not an XML property list" : limit) + ")");
    }
    if (CFGetTypeID(list.get()) != CFDictionaryGetTypeID())
        throw fileError(path, "is not a saved state (the property list holds no dictionary)");
    return list;
}

void writePresetFile(const std::string& path, CFPropertyListRef state) {
    const CFRef<CFTypeRef> data(
        CFPropertyListCreateData(kCFAllocatorDefault, state, kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    if (!data) throw fileError(path, "cannot be written: the state is not a property list");
    AtomicOutput out(path);
    const auto* bytes = static_cast<CFDataRef>(data.get());
    out.write(CFDataGetBytePtr(bytes), static_cast<std::size_t>(CFDataGetLength(bytes)));
    out.commit();
}

void completePresetKeys(CFMutableDictionaryRef state, const ComponentIdentity& identity,
                        const std::string& name) {
    const std::pair<const char*, SInt64> keys[] = {{"type", identity.type},
                                                   {"subtype", identity.subtype},
                                                   {"manufacturer", identity.manufacturer},
                                                   {"version", 0}};
    for (const auto& [key, value] : keys)
        if (lookup(state, key) == nullptr) store(state, key, integer(value));
    store(state, "name", text(name.c_str()));
}

CFRef<CFTypeRef> programState(const ComponentIdentity& identity, const StateLayout& layout,
                              const std::string& name, const std::vector<float>& values) {
    if (layout.programs != 1 || layout.parameters != values.size())
        throw HostError("the effect component's state (" + std::to_string(layout.programs) + " x " +
                        std::to_string(layout.parameters) + " values) cannot hold a program of " +
                        std::to_string(values.size()) + " values");
    std::vector<UInt8> globals, record(NAME_BYTES, 0);
    putBigEndian(globals, 0);  // the global scope
    putBigEndian(globals, static_cast<std::uint32_t>(values.size()));
    // The record's name keeps its last byte for the end, as the component writes it.
    std::memcpy(record.data(), name.data(), std::min(name.size(), NAME_BYTES - 1));
    for (std::size_t i = 0; i < values.size(); ++i) {
        putBigEndian(globals, static_cast<std::uint32_t>(i));
        putBigEndian(globals, bitsOf(values[i]));
        putBigEndian(record, bitsOf(values[i]));
    }
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFRef<CFTypeRef> state(dict);
    completePresetKeys(dict, identity, name);
    store(dict, "data", dataOf(globals));
    store(dict, "mCompleteData", dataOf(record));
    store(dict, "mCurPreset", integer(0));
    return state;
}

StateSummary inspectSavedState(CFDictionaryRef state, const std::string& path,
                               const ComponentIdentity& identity, const StateLayout& layout) {
    StateSummary summary;
    summary.name = stringValue(lookup(state, "name"));

    const auto type = integerValue(lookup(state, "type"));
    const auto subtype = integerValue(lookup(state, "subtype"));
    const auto manufacturer = integerValue(lookup(state, "manufacturer"));
    if (!type || !subtype || !manufacturer)
        throw fileError(path, "is not a saved state (type, subtype or manufacturer missing)");
    // Every bit counts: the component compares the whole numbers, not their low 32 bits.
    if (*type != identity.type || *subtype != identity.subtype || *manufacturer != identity.manufacturer)
        throw fileError(path, "belongs to another component (" + codeText(*type) + " " + codeText(*subtype) +
                                  " " + codeText(*manufacturer) + ")");
    summary.identity = identity;
    if (CFTypeRef version = lookup(state, "version")) {
        const auto number = integerValue(version);
        if (!number) throw fileError(path, "is not a saved state (version is not a number)");
        if (*number != STATE_VERSION)
            throw fileError(path, "is a saved state of format version " + std::to_string(*number) +
                                      ", which the component does not read (it reads version 0)");
    }

    if (CFTypeRef current = lookup(state, "mCurPreset")) {
        const auto number = integerValue(current);
        if (!number || *number < INT32_MIN || *number > INT32_MAX)
            throw fileError(path, "is not a saved state (mCurPreset is not a program number)");
        summary.currentPreset = static_cast<std::int32_t>(*number);
    }

    const std::size_t values = layout.parameters;
    CFTypeRef complete = lookup(state, "mCompleteData");
    CFTypeRef chunk = lookup(state, "mChunkData");
    if (complete != nullptr) {
        if (CFGetTypeID(complete) != CFDataGetTypeID())
            throw fileError(path, "is not a saved state (mCompleteData is not data)");
        const auto* data = static_cast<CFDataRef>(complete);
        const std::size_t record = NAME_BYTES + 4 * values;
        const std::size_t expected = layout.programs * record;
        const auto size = static_cast<std::size_t>(CFDataGetLength(data));
        if (size != expected)
            throw fileError(path, "holds program data of the wrong size (" + std::to_string(size) +
                                      " bytes where " + std::to_string(expected) + " belong)");
        const UInt8* bytes = CFDataGetBytePtr(data);
        for (std::size_t p = 0; p < layout.programs; ++p) {
            const UInt8* r = bytes + p * record;
            StoredProgram program{nameFromBytes(r, NAME_BYTES), std::vector<float>(values)};
            for (std::size_t i = 0; i < values; ++i)
                program.values[i] = floatFromBits(bigEndian(r + NAME_BYTES + 4 * i));
            summary.programs.push_back(std::move(program));
        }
    } else if (chunk != nullptr) {
        if (CFGetTypeID(chunk) != CFDataGetTypeID())
            throw fileError(path, "is not a saved state (mChunkData is not data)");
        const auto* data = static_cast<CFDataRef>(chunk);
        const std::size_t expected = 4 * values + CHUNK_NAME_BYTES;
        const auto size = static_cast<std::size_t>(CFDataGetLength(data));
        if (size != expected)
            throw fileError(path, "holds a chunk of the wrong size (" + std::to_string(size) +
                                      " bytes where " + std::to_string(expected) + " belong)");
        const UInt8* bytes = CFDataGetBytePtr(data);
        StoredProgram program{nameFromBytes(bytes + 4 * values, CHUNK_NAME_BYTES),
                              std::vector<float>(values)};
        for (std::size_t i = 0; i < values; ++i)
            program.values[i] = floatFromBits(littleEndian(bytes + 4 * i));
        summary.chunkForm = true;
        summary.programs.push_back(std::move(program));
    } else {
        throw fileError(path, "is not a saved state (it holds no program data)");
    }
    return summary;
}
