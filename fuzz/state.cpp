// Any bytes through the saved-state reader and its check against the component: read or
// refused, and nothing else.
#include <cstdint>
#include <vector>

#include "host/HostError.h"
#include "host/SavedState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const CFRef<CFTypeRef> state =
            parsePresetFile(std::vector<unsigned char>(data, data + size), "fuzz.aupreset");
        inspectSavedState(static_cast<CFDictionaryRef>(state.get()), "fuzz.aupreset",
                          {0x61756D66, 0x4E77656C, 0x5A656C6B}, {1, 1024});
    } catch (const HostError&) {
    }
    return 0;
}
