#include "sdk/audiounit/ComponentBase.h"

#include "sdk/audiounit/AudioToolbox.h"

AudioComponentDescription ComponentBase::GetComponentDescription() const {
    AudioComponentDescription desc{};
    AudioComponentGetDescription(AudioComponentInstanceGetComponent(mComponentInstance), &desc);
    return desc;
}

OSStatus ComponentRecordOpen(void* self, AudioComponentInstance instance) {
    auto* record = static_cast<ComponentPlugInRecord*>(self);
    if (record == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&]() -> OSStatus {
        record->mObject = record->mConstruct(instance);
        record->mObject->PostConstructor();
        return 0;
    });
}

OSStatus ComponentRecordClose(void* self) {
    auto* record = static_cast<ComponentPlugInRecord*>(self);
    if (record == nullptr) return kAudio_ParamError;
    const OSStatus status = ComponentBase::Guard([&]() -> OSStatus {
        if (record->mObject != nullptr) {
            record->mObject->PreDestructor();
            record->mDestruct(record->mObject);
        }
        return 0;
    });
    delete record;
    return status;
}
