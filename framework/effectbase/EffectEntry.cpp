// The plain entry for a host that loads the effect itself rather than through the adapter.

#include "framework/effectbase/AudioEffect.h"

extern "C" AEffect* main_macho(HostCallback audioMaster) {
    // A host that does not answer the version request cannot talk to the effect.
    if (!audioMaster || audioMaster(nullptr, HostRequest::Version, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    AudioEffect* effect = createEffectInstance(audioMaster);
    return effect ? effect->getAeffect() : nullptr;
}
