#include "sdk/audiounit/AudioToolbox.h"

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct OpaqueAudioComponent {
    AudioComponentDescription desc;
    AudioComponentFactoryFunction factory;
};

struct OpaqueAudioComponentInstance {
    AudioComponentPlugInInterface* plugIn;
    AudioComponent component;
};

namespace {

// ---------------------------------------------------------------- component registry
struct ComponentRegistry {
    std::mutex lock;
    std::vector<std::unique_ptr<OpaqueAudioComponent>> components;
};

ComponentRegistry& componentRegistry() {
    static ComponentRegistry registry;
    return registry;
}

bool matches(const AudioComponentDescription& have, const AudioComponentDescription& want) {
    return (want.componentType == 0 || want.componentType == have.componentType) &&
           (want.componentSubType == 0 || want.componentSubType == have.componentSubType) &&
           (want.componentManufacturer == 0 || want.componentManufacturer == have.componentManufacturer);
}

template <typename Method>
Method lookup(AudioUnit unit, SInt16 selector) {
    if (unit == nullptr || unit->plugIn == nullptr) return nullptr;
    return reinterpret_cast<Method>(unit->plugIn->Lookup(selector));
}

// Calls the unit's method for selector, or answers -50 for a null unit and -4 (unimplemented)
// for a method the unit does not have.
template <typename Method, typename... Args>
OSStatus call(AudioUnit unit, SInt16 selector, Args... args) {
    if (unit == nullptr) return kAudio_ParamError;
    Method method = lookup<Method>(unit, selector);
    if (method == nullptr) return -4;
    return method(unit->plugIn, args...);
}

// ---------------------------------------------------------------- listener registry
constexpr int kMaxListeners = 64;
constexpr int kMaxInterests = 64;

struct Interest {
    std::atomic<bool> live{false};
    void* object = nullptr;
    AudioUnitEventType type = 0;
    AudioUnit unit = nullptr;
    UInt32 id = 0;  // parameter or property id
};

// Slots are never freed, so a notifier on another thread can always read one; `busy` counts
// notifiers inside the slot so that disposal can wait for them.
struct ListenerSlot {
    std::atomic<bool> enabled{false};
    std::atomic<int> busy{0};
    AUEventListenerProc proc = nullptr;
    void* userData = nullptr;
    std::atomic<int> interestCount{0};
    std::array<Interest, kMaxInterests> interests;
};

struct ListenerRegistry {
    std::mutex lock;  // changes only; notification reads without it
    std::array<ListenerSlot, kMaxListeners> slots;
    std::array<bool, kMaxListeners> taken{};
};

ListenerRegistry& listeners() {
    static ListenerRegistry registry;
    return registry;
}

ListenerSlot* slotOf(AUEventListenerRef listener) {
    return reinterpret_cast<ListenerSlot*>(listener);
}

bool slotIsValid(AUEventListenerRef listener) {
    ListenerRegistry& registry = listeners();
    for (int i = 0; i < kMaxListeners; ++i)
        if (&registry.slots[static_cast<size_t>(i)] == slotOf(listener))
            return registry.taken[static_cast<size_t>(i)];
    return false;
}

AudioUnit eventUnit(const AudioUnitEvent& event) {
    return event.mEventType == kAudioUnitEvent_PropertyChange ? event.mArgument.mProperty.mAudioUnit
                                                              : event.mArgument.mParameter.mAudioUnit;
}

UInt32 eventId(const AudioUnitEvent& event) {
    return event.mEventType == kAudioUnitEvent_PropertyChange ? event.mArgument.mProperty.mPropertyID
                                                              : event.mArgument.mParameter.mParameterID;
}

bool interested(const Interest& interest, const AudioUnitEvent& event) {
    if (!interest.live.load(std::memory_order_acquire)) return false;
    if (interest.type != event.mEventType || interest.unit != eventUnit(event)) return false;
    const bool anyParameter = event.mEventType != kAudioUnitEvent_PropertyChange &&
                              interest.id == kAUParameterListener_AnyParameter;
    return anyParameter || interest.id == eventId(event);
}

}  // namespace

// ---------------------------------------------------------------- components
AudioComponent AudioComponentRegister(const AudioComponentDescription* desc,
                                      AudioComponentFactoryFunction factory) {
    if (desc == nullptr || factory == nullptr) return nullptr;
    ComponentRegistry& registry = componentRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.components.push_back(
        std::make_unique<OpaqueAudioComponent>(OpaqueAudioComponent{*desc, factory}));
    return registry.components.back().get();
}

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* desc) {
    if (desc == nullptr) return nullptr;
    ComponentRegistry& registry = componentRegistry();
    std::lock_guard<std::mutex> guard(registry.lock);
    bool passed = inComponent == nullptr;
    for (const auto& component : registry.components) {
        if (passed && matches(component->desc, *desc)) return component.get();
        if (component.get() == inComponent) passed = true;
    }
    return nullptr;
}

OSStatus AudioComponentGetDescription(AudioComponent component, AudioComponentDescription* outDesc) {
    if (component == nullptr || outDesc == nullptr) return kAudio_ParamError;
    *outDesc = component->desc;
    return 0;
}

OSStatus AudioComponentInstanceNew(AudioComponent component, AudioComponentInstance* outInstance) {
    if (component == nullptr || outInstance == nullptr) return kAudio_ParamError;
    *outInstance = nullptr;
    AudioComponentPlugInInterface* plugIn = component->factory(&component->desc);
    if (plugIn == nullptr) return kAudio_MemFullError;
    auto instance =
        std::make_unique<OpaqueAudioComponentInstance>(OpaqueAudioComponentInstance{plugIn, component});
    const OSStatus status = plugIn->Open(plugIn, instance.get());
    if (status != 0) {
        plugIn->Close(plugIn);
        return status;
    }
    *outInstance = instance.release();
    return 0;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance instance) {
    if (instance == nullptr) return kAudio_ParamError;
    const OSStatus status = instance->plugIn->Close(instance->plugIn);
    delete instance;
    return status;
}

AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance instance) {
    return instance == nullptr ? nullptr : instance->component;
}

AudioComponent tarnwell::au::loadComponent(const std::string& libraryPath,
                                           const AudioComponentDescription& desc, std::string& error,
                                           const char* factorySymbol) {
    void* library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        error = "cannot load the component " + libraryPath + ": " + (why != nullptr ? why : "unknown error");
        return nullptr;
    }
    void* symbol = dlsym(library, factorySymbol);
    if (symbol == nullptr) {
        error = "the component " + libraryPath + " has no entry " + factorySymbol;
        return nullptr;
    }
    return AudioComponentRegister(&desc, reinterpret_cast<AudioComponentFactoryFunction>(symbol));
}

// ---------------------------------------------------------------- AudioUnit calls
OSStatus AudioUnitInitialize(AudioUnit unit) {
    return call<OSStatus (*)(void*)>(unit, kAudioUnitInitializeSelect);
}

OSStatus AudioUnitUninitialize(AudioUnit unit) {
    return call<OSStatus (*)(void*)>(unit, kAudioUnitUninitializeSelect);
}

OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize, Boolean* outWritable) {
    return call<OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32*,
                             Boolean*)>(unit, kAudioUnitGetPropertyInfoSelect, id, scope, element,
                                        outDataSize, outWritable);
}

OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize) {
    return call<OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*, UInt32*)>(
        unit, kAudioUnitGetPropertySelect, id, scope, element, outData, ioDataSize);
}

OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize) {
    return call<OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*,
                             UInt32)>(unit, kAudioUnitSetPropertySelect, id, scope, element, inData,
                                      inDataSize);
}

OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                      AudioUnitPropertyListenerProc proc, void* refCon) {
    return call<OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*)>(
        unit, kAudioUnitAddPropertyListenerSelect, id, proc, refCon);
}

OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                     AudioUnitPropertyListenerProc proc, void* refCon) {
    return call<OSStatus (*)(void*, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*)>(
        unit, kAudioUnitRemovePropertyListenerWithUserDataSelect, id, proc, refCon);
}

OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue) {
    return call<OSStatus (*)(void*, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                             AudioUnitParameterValue*)>(unit, kAudioUnitGetParameterSelect, id, scope,
                                                        element, outValue);
}

OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffset) {
    return call<OSStatus (*)(void*, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                             AudioUnitParameterValue, UInt32)>(unit, kAudioUnitSetParameterSelect, id, scope,
                                                               element, value, bufferOffset);
}

OSStatus AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* events, UInt32 count) {
    return call<OSStatus (*)(void*, const AudioUnitParameterEvent*, UInt32)>(
        unit, kAudioUnitScheduleParametersSelect, events, count);
}

OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 frames,
                         AudioBufferList* ioData) {
    return call<OSStatus (*)(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                             AudioBufferList*)>(unit, kAudioUnitRenderSelect, ioActionFlags, timeStamp,
                                                outputBus, frames, ioData);
}

OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element) {
    return call<OSStatus (*)(void*, AudioUnitScope, AudioUnitElement)>(unit, kAudioUnitResetSelect, scope,
                                                                       element);
}

OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame) {
    return call<OSStatus (*)(void*, UInt32, UInt32, UInt32, UInt32)>(unit, kMusicDeviceMIDIEventSelect,
                                                                     status, data1, data2, offsetSampleFrame);
}

OSStatus MusicDeviceSysEx(AudioUnit unit, const UInt8* data, UInt32 length) {
    return call<OSStatus (*)(void*, const UInt8*, UInt32)>(unit, kMusicDeviceSysExSelect, data, length);
}

// ---------------------------------------------------------------- listeners
OSStatus AUEventListenerCreate(AUEventListenerProc proc, void* userData, AUEventListenerRef* outListener) {
    if (proc == nullptr || outListener == nullptr) return kAudio_ParamError;
    ListenerRegistry& registry = listeners();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (size_t i = 0; i < registry.slots.size(); ++i) {
        if (registry.taken[i]) continue;
        ListenerSlot& slot = registry.slots[i];
        registry.taken[i] = true;
        slot.proc = proc;
        slot.userData = userData;
        for (Interest& interest : slot.interests) interest.live.store(false, std::memory_order_relaxed);
        slot.interestCount.store(0, std::memory_order_relaxed);
        slot.enabled.store(true, std::memory_order_release);
        *outListener = reinterpret_cast<AUEventListenerRef>(&slot);
        return 0;
    }
    return kAudio_MemFullError;
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef listener, void* object,
                                     const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr) return kAudio_ParamError;
    ListenerRegistry& registry = listeners();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (!slotIsValid(listener)) return kAudio_ParamError;
    ListenerSlot& slot = *slotOf(listener);
    // Entries are only appended, so a notifier never sees one change under it.
    const int used = slot.interestCount.load(std::memory_order_relaxed);
    if (used >= kMaxInterests) return kAudio_MemFullError;
    Interest& interest = slot.interests[static_cast<size_t>(used)];
    interest.object = object;
    interest.type = inEvent->mEventType;
    interest.unit = eventUnit(*inEvent);
    interest.id = eventId(*inEvent);
    interest.live.store(true, std::memory_order_release);
    slot.interestCount.store(used + 1, std::memory_order_release);
    return 0;
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef listener, void* object,
                                        const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr) return kAudio_ParamError;
    ListenerRegistry& registry = listeners();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (!slotIsValid(listener)) return kAudio_ParamError;
    ListenerSlot& slot = *slotOf(listener);
    const int used = slot.interestCount.load(std::memory_order_relaxed);
    for (int i = 0; i < used; ++i) {
        Interest& interest = slot.interests[static_cast<size_t>(i)];
        if (interest.live.load(std::memory_order_relaxed) && interest.object == object &&
            interest.type == inEvent->mEventType && interest.unit == eventUnit(*inEvent) &&
            interest.id == eventId(*inEvent)) {
            interest.live.store(false, std::memory_order_release);
            return 0;
        }
    }
    return kAudio_ParamError;
}

OSStatus AUListenerDispose(AUEventListenerRef listener) {
    ListenerRegistry& registry = listeners();
    std::lock_guard<std::mutex> guard(registry.lock);
    if (!slotIsValid(listener)) return kAudio_ParamError;
    ListenerSlot& slot = *slotOf(listener);
    slot.enabled.store(false, std::memory_order_seq_cst);
    while (slot.busy.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    registry.taken[static_cast<size_t>(&slot - registry.slots.data())] = false;
    return 0;
}

OSStatus AUEventListenerNotify(AUEventListenerRef sendingListener, void* /*sendingObject*/,
                               const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr) return kAudio_ParamError;
    AudioUnitParameterValue value = 0.0f;
    if (inEvent->mEventType == kAudioUnitEvent_ParameterValueChange) {
        const AudioUnitParameter& p = inEvent->mArgument.mParameter;
        if (AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value) != 0)
            value = 0.0f;
    }
    ListenerRegistry& registry = listeners();
    for (ListenerSlot& slot : registry.slots) {
        if (reinterpret_cast<AUEventListenerRef>(&slot) == sendingListener) continue;
        if (!slot.enabled.load(std::memory_order_acquire)) continue;
        slot.busy.fetch_add(1, std::memory_order_seq_cst);
        if (slot.enabled.load(std::memory_order_seq_cst)) {
            const int used = slot.interestCount.load(std::memory_order_acquire);
            for (int i = 0; i < used; ++i) {
                const Interest& interest = slot.interests[static_cast<size_t>(i)];
                if (!interested(interest, *inEvent)) continue;
                slot.proc(slot.userData, interest.object, inEvent, 0, value);
                break;
            }
        }
        slot.busy.fetch_sub(1, std::memory_order_seq_cst);
    }
    return 0;
}
