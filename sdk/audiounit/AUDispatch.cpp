// The unit's methods as the host reaches them: plain functions looked up by selector (the
// plug-in record form) and the single-entry form. Both end in the same calls, with every
// thrown status turned into the result.

#include <cstring>

#include "sdk/audiounit/AUMIDIBase.h"

namespace {

OSStatus initialize(AUBase* unit) {
    return ComponentBase::Guard([&] { return unit->DoInitialize(); });
}

OSStatus uninitialize(AUBase* unit) {
    return ComponentBase::Guard([&] {
        unit->DoCleanup();
        return OSStatus{0};
    });
}

OSStatus getPropertyInfo(AUBase* unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         UInt32* outDataSize, Boolean* outWritable) {
    return ComponentBase::Guard([&] {
        UInt32 size = 0;
        Boolean writable = false;
        const OSStatus status = unit->DispatchGetPropertyInfo(id, scope, element, size, writable);
        if (outDataSize != nullptr) *outDataSize = size;
        if (outWritable != nullptr) *outWritable = writable;
        return status;
    });
}

OSStatus getProperty(AUBase* unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     void* outData, UInt32* ioDataSize) {
    if (ioDataSize == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard(
        [&] { return unit->DispatchGetProperty(id, scope, element, outData, *ioDataSize); });
}

OSStatus setProperty(AUBase* unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     const void* inData, UInt32 inDataSize) {
    return ComponentBase::Guard(
        [&] { return unit->DispatchSetProperty(id, scope, element, inData, inDataSize); });
}

OSStatus addPropertyListener(AUBase* unit, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                             void* refCon) {
    return ComponentBase::Guard([&] { return unit->AddPropertyListener(id, proc, refCon); });
}

OSStatus removePropertyListener(AUBase* unit, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                void* refCon) {
    return ComponentBase::Guard([&] { return unit->RemovePropertyListener(id, proc, refCon); });
}

OSStatus getParameter(AUBase* unit, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                      AudioUnitParameterValue* outValue) {
    if (outValue == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&] { return unit->GetParameter(id, scope, element, *outValue); });
}

OSStatus setParameter(AUBase* unit, AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                      AudioUnitParameterValue value, UInt32 bufferOffset) {
    return ComponentBase::Guard([&] { return unit->SetParameter(id, scope, element, value, bufferOffset); });
}

OSStatus scheduleParameters(AUBase* unit, const AudioUnitParameterEvent* events, UInt32 count) {
    return ComponentBase::Guard([&] { return unit->ScheduleParameter(events, count); });
}

OSStatus render(AUBase* unit, AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp,
                UInt32 outputBus, UInt32 frames, AudioBufferList* ioData) {
    if (timeStamp == nullptr || ioData == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&] {
        AudioUnitRenderActionFlags localFlags = 0;
        AudioUnitRenderActionFlags& flags = ioActionFlags != nullptr ? *ioActionFlags : localFlags;
        return unit->DoRender(flags, *timeStamp, outputBus, frames, *ioData);
    });
}

OSStatus reset(AUBase* unit, AudioUnitScope scope, AudioUnitElement element) {
    return ComponentBase::Guard([&] { return unit->Reset(scope, element); });
}

OSStatus midiEvent(AUMIDIBase* unit, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame) {
    if (unit == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&] { return unit->MIDIEvent(status, data1, data2, offsetSampleFrame); });
}

OSStatus sysEx(AUMIDIBase* unit, const UInt8* data, UInt32 length) {
    if (unit == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&] { return unit->SysEx(data, length); });
}

// ---------------------------------------------------------------- plug-in record form
AUBase* unitOf(void* self) {
    auto* record = static_cast<ComponentPlugInRecord*>(self);
    return record == nullptr ? nullptr : static_cast<AUBase*>(record->mObject);
}

AUMIDIBase* midiUnitOf(void* self) {
    return dynamic_cast<AUMIDIBase*>(unitOf(self));
}

// Each method checks for a missing object, then forwards.
template <auto Function, typename... Args>
OSStatus forward(void* self, Args... args) {
    AUBase* unit = unitOf(self);
    if (unit == nullptr) return kAudio_ParamError;
    return Function(unit, args...);
}

OSStatus recordMIDIEvent(void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame) {
    return midiEvent(midiUnitOf(self), status, data1, data2, offsetSampleFrame);
}

OSStatus recordSysEx(void* self, const UInt8* data, UInt32 length) {
    return sysEx(midiUnitOf(self), data, length);
}

template <typename Method>
AudioComponentMethod method(Method function) {
    return reinterpret_cast<AudioComponentMethod>(function);
}

// Reads argument i of the single-entry form as type T.
template <typename T>
T arg(const ComponentParameters* params, int i) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<T>(params->params[i]);
    } else if constexpr (std::is_floating_point_v<T>) {
        // Floats travel as their bit pattern in the low 32 bits.
        UInt32 bits = static_cast<UInt32>(params->params[i]);
        T value{};
        std::memcpy(&value, &bits, sizeof value);
        return value;
    } else {
        return static_cast<T>(params->params[i]);
    }
}

}  // namespace

AudioComponentMethod AUMethodLookup(SInt16 selector, bool withMIDI) {
    switch (selector) {
        case kAudioUnitInitializeSelect:
            return method(&forward<initialize>);
        case kAudioUnitUninitializeSelect:
            return method(&forward<uninitialize>);
        case kAudioUnitGetPropertyInfoSelect:
            return method(&forward<getPropertyInfo, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                   UInt32*, Boolean*>);
        case kAudioUnitGetPropertySelect:
            return method(
                &forward<getProperty, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*, UInt32*>);
        case kAudioUnitSetPropertySelect:
            return method(&forward<setProperty, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement,
                                   const void*, UInt32>);
        case kAudioUnitAddPropertyListenerSelect:
            return method(
                &forward<addPropertyListener, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*>);
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
            return method(
                &forward<removePropertyListener, AudioUnitPropertyID, AudioUnitPropertyListenerProc, void*>);
        case kAudioUnitGetParameterSelect:
            return method(&forward<getParameter, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                                   AudioUnitParameterValue*>);
        case kAudioUnitSetParameterSelect:
            return method(&forward<setParameter, AudioUnitParameterID, AudioUnitScope, AudioUnitElement,
                                   AudioUnitParameterValue, UInt32>);
        case kAudioUnitScheduleParametersSelect:
            return method(&forward<scheduleParameters, const AudioUnitParameterEvent*, UInt32>);
        case kAudioUnitRenderSelect:
            return method(&forward<render, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                                   AudioBufferList*>);
        case kAudioUnitResetSelect:
            return method(&forward<reset, AudioUnitScope, AudioUnitElement>);
        case kMusicDeviceMIDIEventSelect:
            return withMIDI ? method(&recordMIDIEvent) : nullptr;
        case kMusicDeviceSysExSelect:
            return withMIDI ? method(&recordSysEx) : nullptr;
        default:
            return nullptr;
    }
}

OSStatus AUBase::ComponentEntryDispatch(ComponentParameters* params, AUBase* unit) {
    if (params == nullptr) return kAudio_ParamError;
    if (unit == nullptr) return kAudio_ParamError;
    const ComponentParameters* p = params;
    switch (params->what) {
        case kAudioUnitInitializeSelect:
            return initialize(unit);
        case kAudioUnitUninitializeSelect:
            return uninitialize(unit);
        case kAudioUnitGetPropertyInfoSelect:
            return getPropertyInfo(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1), arg<UInt32>(p, 2),
                                   arg<UInt32*>(p, 3), arg<Boolean*>(p, 4));
        case kAudioUnitGetPropertySelect:
            return getProperty(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1), arg<UInt32>(p, 2),
                               arg<void*>(p, 3), arg<UInt32*>(p, 4));
        case kAudioUnitSetPropertySelect:
            return setProperty(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1), arg<UInt32>(p, 2),
                               arg<const void*>(p, 3), arg<UInt32>(p, 4));
        case kAudioUnitAddPropertyListenerSelect:
            return addPropertyListener(unit, arg<UInt32>(p, 0), arg<AudioUnitPropertyListenerProc>(p, 1),
                                       arg<void*>(p, 2));
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
            return removePropertyListener(unit, arg<UInt32>(p, 0), arg<AudioUnitPropertyListenerProc>(p, 1),
                                          arg<void*>(p, 2));
        case kAudioUnitGetParameterSelect:
            return getParameter(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1), arg<UInt32>(p, 2),
                                arg<AudioUnitParameterValue*>(p, 3));
        case kAudioUnitSetParameterSelect:
            return setParameter(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1), arg<UInt32>(p, 2),
                                arg<AudioUnitParameterValue>(p, 3), arg<UInt32>(p, 4));
        case kAudioUnitScheduleParametersSelect:
            return scheduleParameters(unit, arg<const AudioUnitParameterEvent*>(p, 0), arg<UInt32>(p, 1));
        case kAudioUnitRenderSelect:
            return render(unit, arg<AudioUnitRenderActionFlags*>(p, 0), arg<const AudioTimeStamp*>(p, 1),
                          arg<UInt32>(p, 2), arg<UInt32>(p, 3), arg<AudioBufferList*>(p, 4));
        case kAudioUnitResetSelect:
            return reset(unit, arg<UInt32>(p, 0), arg<UInt32>(p, 1));
        default:
            return -4;  // unimplemented selector
    }
}

OSStatus AUMIDIBase::ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* unit) {
    if (params == nullptr || unit == nullptr) return kAudio_ParamError;
    switch (params->what) {
        case kMusicDeviceMIDIEventSelect:
            return midiEvent(unit, arg<UInt32>(params, 0), arg<UInt32>(params, 1), arg<UInt32>(params, 2),
                             arg<UInt32>(params, 3));
        case kMusicDeviceSysExSelect:
            return sysEx(unit, arg<const UInt8*>(params, 0), arg<UInt32>(params, 1));
        default:
            return -4;
    }
}
