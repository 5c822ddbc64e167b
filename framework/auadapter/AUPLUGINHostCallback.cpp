// The adapter's answers to the effect's host requests.

#include <cstring>

#include "framework/auadapter/AUPLUGIN.h"
#include "sdk/audiounit/AudioToolbox.h"
#include "sdk/audiounit/CFRef.h"

namespace {

constexpr intptr_t kHostVersion = 65536;

// Ability words the adapter answers yes to; every other word gets 0.
constexpr const char* kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "supplyIdle"};

// "Default", unless the host application is one of the two outside hosts that the effect
// treats specially.
const char* productString() {
    CFStringRef identifier = CFBundleGetIdentifier(CFBundleGetMainBundle());
    char text[256] = {};
    if (identifier == nullptr || !CFStringGetCString(identifier, text, sizeof text, kCFStringEncodingUTF8))
        return "Default";
    const std::size_t prefix = std::strlen(kOutsideHostMakerPrefix);
    if (std::strncmp(text, kOutsideHostMakerPrefix, prefix) != 0) return "Default";
    if (std::strncmp(text + prefix, ".Kore", 5) == 0) return "Kore";
    if (std::strncmp(text + prefix, ".Maschine", 9) == 0) return "Maschine Host";
    return "Default";
}

void notify(AUPLUGIN& adapter, AudioUnitEventType type, int32_t index) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = AudioUnitParameter{
        adapter.GetComponentInstance(), static_cast<AudioUnitParameterID>(index), kAudioUnitScope_Global, 0};
    AUEventListenerNotify(nullptr, nullptr, &event);
}

}  // namespace

intptr_t AUPLUGINAudioMasterCallback(AEffect* effect, int32_t request, int32_t index, intptr_t /*value*/,
                                     void* ptr, float opt) {
    AUPLUGIN* adapter = effect != nullptr ? reinterpret_cast<AUPLUGIN*>(effect->resvd1) : nullptr;
    auto parameterInRange = [&] {
        return adapter != nullptr && adapter->aeffect != nullptr && index >= 0 &&
               static_cast<UInt32>(index) < adapter->numParams;
    };

    switch (request) {
        case HostRequest::Automate:
            if (parameterInRange()) {
                adapter->Globals().SetParameter(static_cast<AudioUnitParameterID>(index), opt);
                notify(*adapter, kAudioUnitEvent_ParameterValueChange, index);
            }
            return 1;
        case HostRequest::Version:
            return kHostVersion;
        case HostRequest::CurrentId:
            return fourCharCode("Nwel");
        case HostRequest::GetTime:
            return adapter != nullptr ? reinterpret_cast<intptr_t>(adapter->GetTimeInfo()) : 0;
        case HostRequest::GetSampleRate:
            return adapter != nullptr ? static_cast<intptr_t>(adapter->GetSampleRate()) : 44100;
        case HostRequest::GetBlockSize:
            return adapter != nullptr ? adapter->GetMaxFramesPerSlice() : 1024;
        case HostRequest::GetVendorString:
            if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), "Zelk");
            return 1;
        case HostRequest::GetProductString:
            if (ptr == nullptr) return 0;
            std::strcpy(static_cast<char*>(ptr), productString());
            return 1;
        case HostRequest::CanDo:
            if (ptr == nullptr) return 0;
            for (const char* word : kHostCanDo)
                if (std::strcmp(static_cast<const char*>(ptr), word) == 0) return 1;
            return 0;
        case HostRequest::GetDirectory: {
            static const char empty[1] = {0};
            return reinterpret_cast<intptr_t>(empty);
        }
        case HostRequest::UpdateDisplay:
            if (adapter != nullptr) adapter->AnnounceDisplayUpdate();
            return 1;
        case HostRequest::BeginEdit:
            if (parameterInRange()) notify(*adapter, kAudioUnitEvent_BeginParameterChangeGesture, index);
            return 1;
        case HostRequest::EndEdit:
            if (parameterInRange()) notify(*adapter, kAudioUnitEvent_EndParameterChangeGesture, index);
            return 1;
        default:
            return 0;
    }
}
