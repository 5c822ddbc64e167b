// Any bytes as the preferences file: read, and updated as a setting is saved. The file is
// read or refused; a dictionary read writes back as text that reads as the same dictionary.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sdk/corefoundation/CFObjects.h"
#include "sdk/corefoundation/PreferencesFile.h"
#include "sdk/corefoundation/PropertyListCodec.h"

using namespace tarnwell::cf;

namespace {

// A private folder, as the preferences live in one: the file is replaced and set aside there.
// In memory where there is a file system for it, so each save's sync costs little.
char folder[64];

void removeFolder() {
    unlink((std::string(folder) + "/fuzz.plist.lock").c_str());
    rmdir(folder);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (folder[0] == '\0') {
        for (const char* place : {"/dev/shm", "/tmp"}) {
            std::snprintf(folder, sizeof folder, "%s/fuzz-preferences-XXXXXX", place);
            if (mkdtemp(folder) != nullptr) break;
            folder[0] = '\0';
        }
        if (folder[0] == '\0') std::abort();
        std::atexit(removeFolder);
    }
    const std::string path = std::string(folder) + "/fuzz.plist";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
    Owned read(readPreferences(path));
    if (read.get() != nullptr) {
        const std::string xml = toXml(read.get());
        Owned again(fromXml(xml.data(), xml.size()));
        if (again.get() == nullptr || toXml(again.get()) != xml) std::abort();  // lost in a round trip
    }
    const bool saved = updatePreferences(path, [](CFMutableDictionaryRef dictionary) {
        Owned key(new String("Big150"));
        Owned value(new String("Y"));
        dictionary->set(static_cast<CFStringRef>(key.get()), value.get());
    });
    if (saved) {
        Owned written(readPreferences(path));
        if (written.get() == nullptr || static_cast<CFDictionaryRef>(written.get())->get("Big150") == nullptr)
            std::abort();  // a save reported that did not land
    }
    unlink(path.c_str());
    unlink((path + ".damaged").c_str());
    return 0;
}
