#include "sdk/audiounit/AUBase.h"

#include <algorithm>
#include <cstring>

#include "sdk/audiounit/CFRef.h"

namespace {

constexpr UInt32 kStateVersion = 0;

void putBigEndian32(std::vector<UInt8>& out, UInt32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<UInt8>(value >> shift));
}

UInt32 readBigEndian32(const UInt8* bytes) {
    return (static_cast<UInt32>(bytes[0]) << 24) | (static_cast<UInt32>(bytes[1]) << 16) |
           (static_cast<UInt32>(bytes[2]) << 8) | static_cast<UInt32>(bytes[3]);
}

void setNumber(CFMutableDictionaryRef dict, const char* key, SInt32 value) {
    CFRef<CFStringRef> name = makeCFString(key);
    CFRef<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value));
    CFDictionarySetValue(dict, name.get(), number.get());
}

const void* lookUp(CFDictionaryRef dict, const char* key) {
    CFRef<CFStringRef> name = makeCFString(key);
    return CFDictionaryGetValue(dict, name.get());
}

// A number under key that must equal expected when present.
bool numberMatches(CFDictionaryRef dict, const char* key, SInt32 expected) {
    const void* value = lookUp(dict, key);
    if (value == nullptr) return true;
    SInt32 number = 0;
    return CFGetTypeID(value) == CFNumberGetTypeID() &&
           CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number) &&
           number == expected;
}

}  // namespace

AUBase::AUBase(AudioComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements)
    : ComponentBase(instance), mInitialInputs(numInputElements), mInitialOutputs(numOutputElements) {
    mParamEvents.resize(kMaxParamEvents);
}

AUBase::~AUBase() {
    if (mCurrentPreset.presetName != nullptr) CFRelease(mCurrentPreset.presetName);
}

void AUBase::CreateElements() {
    mGlobal.Initialize(*this, kAudioUnitScope_Global, 1);
    mInputs.Initialize(*this, kAudioUnitScope_Input, mInitialInputs);
    mOutputs.Initialize(*this, kAudioUnitScope_Output, mInitialOutputs);
}

AUScope& AUBase::GetScope(AudioUnitScope scope) {
    switch (scope) {
        case kAudioUnitScope_Global:
            return mGlobal;
        case kAudioUnitScope_Input:
            return mInputs;
        case kAudioUnitScope_Output:
            return mOutputs;
        default:
            throw static_cast<OSStatus>(kAudioUnitErr_InvalidScope);
    }
}

AUInputElement& AUBase::Input(AudioUnitElement element) {
    return static_cast<AUInputElement&>(mInputs.SafeGetElement(element));
}

AUOutputElement& AUBase::Output(AudioUnitElement element) {
    return static_cast<AUOutputElement&>(mOutputs.SafeGetElement(element));
}

// ---------------------------------------------------------------- life cycle
OSStatus AUBase::DoInitialize() {
    if (IsInitialized()) return 0;
    const OSStatus status = Initialize();
    if (status != 0) return status;
    ReallocateBuffers();
    SetInitialized(true);
    return 0;
}

void AUBase::DoCleanup() {
    if (!IsInitialized()) return;
    Cleanup();
    SetInitialized(false);
}

OSStatus AUBase::Reset(AudioUnitScope /*scope*/, AudioUnitElement /*element*/) {
    return 0;
}

void AUBase::SetMaxFramesPerSlice(UInt32 frames) {
    mMaxFramesPerSlice.store(frames, std::memory_order_relaxed);
    if (IsInitialized()) ReallocateBuffers();
    PropertyChanged(kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0);
}

void AUBase::ReallocateBuffers() {
    for (AUScope* scope : {&mInputs, &mOutputs})
        for (UInt32 i = 0; i < scope->GetNumberOfElements(); ++i)
            scope->GetIOElement(i)->AllocateBuffer(GetMaxFramesPerSlice());
}

// ---------------------------------------------------------------- properties
OSStatus AUBase::GetPropertyInfo(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32&, Boolean&) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::SetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*, UInt32) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, UInt32& outDataSize,
                                         Boolean& outWritable) {
    outDataSize = 0;
    outWritable = false;
    const OSStatus own = GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    if (own != kAudioUnitErr_InvalidProperty) return own;

    const bool global = scope == kAudioUnitScope_Global;
    const bool io = scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output;
    auto answer = [&](bool scopeOk, UInt32 size, bool writable) -> OSStatus {
        if (!scopeOk) return kAudioUnitErr_InvalidScope;
        outDataSize = size;
        outWritable = writable;
        return 0;
    };
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
            return answer(global, sizeof(CFPropertyListRef), true);
        case kAudioUnitProperty_MakeConnection:
            return answer(scope == kAudioUnitScope_Input, sizeof(AudioUnitConnection), true);
        case kAudioUnitProperty_SampleRate:
            return answer(io, sizeof(Float64), true);
        case kAudioUnitProperty_ParameterList: {
            UInt32 count = 0;
            const OSStatus status = GetParameterList(scope, nullptr, count);
            if (status != 0) return status;
            return answer(true, count * static_cast<UInt32>(sizeof(AudioUnitParameterID)), false);
        }
        case kAudioUnitProperty_ParameterInfo:
            return answer(true, sizeof(AudioUnitParameterInfo), false);
        case kAudioUnitProperty_FastDispatch:
            return answer(global, sizeof(void*), false);
        case kAudioUnitProperty_StreamFormat:
            GetScope(scope).SafeGetElement(element);
            return answer(io, sizeof(AudioStreamBasicDescription), StreamFormatWritable(scope, element));
        case kAudioUnitProperty_ElementCount:
            return answer(true, sizeof(UInt32), BusCountWritable(scope));
        case kAudioUnitProperty_Latency:
            return answer(global, sizeof(Float64), false);
        case kAudioUnitProperty_SupportedNumChannels: {
            const UInt32 rows = SupportedNumChannels(nullptr);
            if (rows == 0) return kAudioUnitErr_InvalidProperty;
            return answer(global, rows * static_cast<UInt32>(sizeof(AUChannelInfo)), false);
        }
        case kAudioUnitProperty_MaximumFramesPerSlice:
            return answer(global, sizeof(UInt32), true);
        case kAudioUnitProperty_ParameterValueStrings: {
            const OSStatus status = GetParameterValueStrings(scope, element, nullptr);
            if (status != 0) return status;
            return answer(true, sizeof(CFArrayRef), false);
        }
        case kAudioUnitProperty_TailTime:
            if (!SupportsTail()) return kAudioUnitErr_InvalidProperty;
            return answer(global, sizeof(Float64), false);
        case kAudioUnitProperty_SetRenderCallback:
            return answer(scope == kAudioUnitScope_Input, sizeof(AURenderCallbackStruct), true);
        case kAudioUnitProperty_FactoryPresets: {
            const OSStatus status = GetPresets(nullptr);
            if (status != 0) return status;
            return answer(global, sizeof(CFArrayRef), false);
        }
        case kAudioUnitProperty_HostCallbacks:
            return answer(global, sizeof(HostCallbackInfo), true);
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset:
            return answer(global, sizeof(AUPreset), true);
        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AUBase::DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                     void* outData, UInt32& ioDataSize) {
    UInt32 size = 0;
    Boolean writable = false;
    OSStatus status = DispatchGetPropertyInfo(id, scope, element, size, writable);
    if (status != 0) return status;
    if (outData == nullptr) {
        ioDataSize = size;
        return 0;
    }
    if (ioDataSize < size) return kAudio_ParamError;

    status = GetProperty(id, scope, element, outData);
    if (status != kAudioUnitErr_InvalidProperty) {
        if (status == 0) ioDataSize = size;
        return status;
    }
    status = 0;
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
            status = SaveState(static_cast<CFPropertyListRef*>(outData));
            break;
        case kAudioUnitProperty_SampleRate:
            *static_cast<Float64*>(outData) =
                GetScope(scope).GetIOElement(element)->GetStreamFormat().mSampleRate;
            break;
        case kAudioUnitProperty_ParameterList: {
            UInt32 count = size / static_cast<UInt32>(sizeof(AudioUnitParameterID));
            status = GetParameterList(scope, static_cast<AudioUnitParameterID*>(outData), count);
            break;
        }
        case kAudioUnitProperty_ParameterInfo:
            std::memset(outData, 0, sizeof(AudioUnitParameterInfo));
            status = GetParameterInfo(scope, element, *static_cast<AudioUnitParameterInfo*>(outData));
            break;
        case kAudioUnitProperty_StreamFormat: {
            AUIOElement* io = GetScope(scope).GetIOElement(element);
            if (io == nullptr) return kAudioUnitErr_InvalidElement;
            *static_cast<AudioStreamBasicDescription*>(outData) = io->GetStreamFormat();
            break;
        }
        case kAudioUnitProperty_ElementCount:
            *static_cast<UInt32*>(outData) = GetScope(scope).GetNumberOfElements();
            break;
        case kAudioUnitProperty_Latency:
            *static_cast<Float64*>(outData) = GetLatency();
            break;
        case kAudioUnitProperty_SupportedNumChannels: {
            const AUChannelInfo* rows = nullptr;
            const UInt32 count = SupportedNumChannels(&rows);
            std::memcpy(outData, rows, count * sizeof(AUChannelInfo));
            break;
        }
        case kAudioUnitProperty_MaximumFramesPerSlice:
            *static_cast<UInt32*>(outData) = GetMaxFramesPerSlice();
            break;
        case kAudioUnitProperty_ParameterValueStrings:
            status = GetParameterValueStrings(scope, element, static_cast<CFArrayRef*>(outData));
            break;
        case kAudioUnitProperty_TailTime:
            *static_cast<Float64*>(outData) = GetTailTime();
            break;
        case kAudioUnitProperty_FactoryPresets:
            status = GetPresets(static_cast<CFArrayRef*>(outData));
            break;
        case kAudioUnitProperty_HostCallbacks: {
            HostCallbackInfo info{mHostUserData.load(), mHostUserBeatAndTempo.load(), mHostMusicalTime.load(),
                                  mHostTransportState.load()};
            std::memcpy(outData, &info, sizeof info);
            break;
        }
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: {
            AUPreset preset = mCurrentPreset;
            if (preset.presetName != nullptr) CFRetain(preset.presetName);  // the caller releases it
            std::memcpy(outData, &preset, sizeof preset);
            break;
        }
        default:
            return kAudioUnitErr_InvalidProperty;
    }
    if (status == 0) ioDataSize = size;
    return status;
}

OSStatus AUBase::DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                     const void* inData, UInt32 inDataSize) {
    OSStatus status = SetProperty(id, scope, element, inData, inDataSize);
    if (status != kAudioUnitErr_InvalidProperty) return status;
    if (inData == nullptr) return kAudio_ParamError;
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
            if (inDataSize < sizeof(CFPropertyListRef)) return kAudioUnitErr_InvalidPropertyValue;
            return RestoreState(*static_cast<const CFPropertyListRef*>(inData));
        case kAudioUnitProperty_MakeConnection:
            if (scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
            if (inDataSize < sizeof(AudioUnitConnection)) return kAudioUnitErr_InvalidPropertyValue;
            return SetConnection(*static_cast<const AudioUnitConnection*>(inData));
        case kAudioUnitProperty_SampleRate:
        case kAudioUnitProperty_StreamFormat: {
            AUIOElement* io = GetScope(scope).GetIOElement(element);
            if (io == nullptr) return kAudioUnitErr_InvalidElement;
            AudioStreamBasicDescription format = io->GetStreamFormat();
            if (id == kAudioUnitProperty_SampleRate) {
                if (inDataSize < sizeof(Float64)) return kAudioUnitErr_InvalidPropertyValue;
                format.mSampleRate = *static_cast<const Float64*>(inData);
            } else {
                if (inDataSize < sizeof(AudioStreamBasicDescription))
                    return kAudioUnitErr_InvalidPropertyValue;
                format = *static_cast<const AudioStreamBasicDescription*>(inData);
            }
            if (!StreamFormatWritable(scope, element)) return kAudioUnitErr_PropertyNotWritable;
            if (!ValidFormat(scope, element, format)) return kAudioUnitErr_FormatNotSupported;
            const AudioStreamBasicDescription old = io->GetStreamFormat();
            status = ChangeStreamFormat(scope, element, old, format);
            if (status == 0) PropertyChanged(id, scope, element);
            return status;
        }
        case kAudioUnitProperty_MaximumFramesPerSlice:
            if (inDataSize < sizeof(UInt32)) return kAudioUnitErr_InvalidPropertyValue;
            if (*static_cast<const UInt32*>(inData) == 0) return kAudioUnitErr_InvalidPropertyValue;
            SetMaxFramesPerSlice(*static_cast<const UInt32*>(inData));
            return 0;
        case kAudioUnitProperty_ElementCount:
            return kAudioUnitErr_PropertyNotWritable;
        case kAudioUnitProperty_SetRenderCallback: {
            if (scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
            if (inDataSize < sizeof(AURenderCallbackStruct)) return kAudioUnitErr_InvalidPropertyValue;
            const auto& callback = *static_cast<const AURenderCallbackStruct*>(inData);
            Input(element).SetInputCallback(callback.inputProc, callback.inputProcRefCon);
            return 0;
        }
        case kAudioUnitProperty_HostCallbacks: {
            HostCallbackInfo info{};
            std::memcpy(&info, inData, std::min<size_t>(inDataSize, sizeof info));
            SetHostCallbacks(info);
            return 0;
        }
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: {
            if (inDataSize < sizeof(AUPreset)) return kAudioUnitErr_InvalidPropertyValue;
            const auto& preset = *static_cast<const AUPreset*>(inData);
            if (preset.presetNumber >= 0) {
                status = NewFactoryPresetSet(preset);
            } else {
                if (preset.presetName == nullptr) return kAudioUnitErr_InvalidPropertyValue;
                SetAFactoryPresetAsCurrent(preset);
            }
            if (status == 0) PropertyChanged(id, kAudioUnitScope_Global, 0);
            return status;
        }
        default:
            return kAudioUnitErr_InvalidProperty;
    }
}

void AUBase::PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element) {
    for (PropertyListener& listener : mPropertyListeners) {
        AudioUnitPropertyListenerProc proc = listener.proc.load(std::memory_order_acquire);
        if (proc != nullptr && listener.id.load(std::memory_order_relaxed) == id)
            proc(listener.refCon.load(std::memory_order_relaxed), GetComponentInstance(), id, scope, element);
    }
}

OSStatus AUBase::AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                     void* refCon) {
    if (proc == nullptr) return kAudio_ParamError;
    for (PropertyListener& listener : mPropertyListeners) {
        if (listener.proc.load(std::memory_order_acquire) != nullptr) continue;
        listener.id.store(id, std::memory_order_relaxed);
        listener.refCon.store(refCon, std::memory_order_relaxed);
        listener.proc.store(proc, std::memory_order_release);
        return 0;
    }
    return kAudio_MemFullError;
}

OSStatus AUBase::RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                        void* refCon) {
    for (PropertyListener& listener : mPropertyListeners) {
        if (listener.proc.load(std::memory_order_acquire) == proc && listener.id.load() == id &&
            listener.refCon.load() == refCon)
            listener.proc.store(nullptr, std::memory_order_release);
    }
    return 0;
}

// ---------------------------------------------------------------- stream formats
bool AUBase::ValidFormat(AudioUnitScope, AudioUnitElement, const AudioStreamBasicDescription& format) {
    return format.mFormatID == kAudioFormatLinearPCM &&
           (format.mFormatFlags & kAudioFormatFlagsCanonicalNonInterleaved) ==
               kAudioFormatFlagsCanonicalNonInterleaved &&
           format.mBitsPerChannel == 32 && format.mChannelsPerFrame >= 1 &&
           format.mChannelsPerFrame <= AUIOElement::kMaxChannels && format.mSampleRate > 0.0;
}

bool AUBase::StreamFormatWritable(AudioUnitScope, AudioUnitElement) {
    return !IsInitialized();
}

OSStatus AUBase::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                    const AudioStreamBasicDescription& /*oldFormat*/,
                                    const AudioStreamBasicDescription& newFormat) {
    AUIOElement* io = GetScope(scope).GetIOElement(element);
    if (io == nullptr) return kAudioUnitErr_InvalidElement;
    io->SetStreamFormat(newFormat);
    return 0;
}

UInt32 AUBase::SupportedNumChannels(const AUChannelInfo** outInfo) {
    if (outInfo != nullptr) *outInfo = nullptr;
    return 0;
}

OSStatus AUBase::SetConnection(const AudioUnitConnection& connection) {
    Input(connection.destInputNumber).SetConnection(connection);
    PropertyChanged(kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, connection.destInputNumber);
    return 0;
}

// ---------------------------------------------------------------- parameters
OSStatus AUBase::GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList, UInt32& outCount) {
    AUElement* element = GetScope(scope).GetElement(0);
    const UInt32 count = element == nullptr ? 0 : element->GetNumberOfParameters();
    if (outList != nullptr)
        for (UInt32 i = 0; i < count && i < outCount; ++i) outList[i] = i;
    outCount = count;
    return 0;
}

OSStatus AUBase::GetParameterInfo(AudioUnitScope, AudioUnitParameterID, AudioUnitParameterInfo&) {
    return kAudioUnitErr_InvalidParameter;
}

OSStatus AUBase::GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, CFArrayRef*) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue& outValue) {
    outValue = GetScope(scope).SafeGetElement(element).GetParameter(id);
    return 0;
}

OSStatus AUBase::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                              AudioUnitParameterValue value, UInt32 /*bufferOffset*/) {
    GetScope(scope).SafeGetElement(element).SetParameter(id, value);
    return 0;
}

OSStatus AUBase::ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 count) {
    if (events == nullptr && count > 0) return kAudio_ParamError;
    for (UInt32 i = 0; i < count && mParamEventCount < kMaxParamEvents; ++i)
        mParamEvents[mParamEventCount++] = events[i];
    return 0;
}

// ---------------------------------------------------------------- rendering
OSStatus AUBase::DoRender(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                          UInt32 outputBus, UInt32 frames, AudioBufferList& ioData) {
    struct ClearEvents {
        UInt32& count;
        ~ClearEvents() { count = 0; }
    } clearEvents{mParamEventCount};

    if (!IsInitialized()) return kAudioUnitErr_Uninitialized;
    if (frames > GetMaxFramesPerSlice()) return kAudioUnitErr_TooManyFramesToProcess;
    AUOutputElement& output = Output(outputBus);
    if (ioData.mNumberBuffers != output.NumberChannels()) return kAudio_ParamError;
    if (ioData.mBuffers[0].mData != nullptr)
        output.SetBufferList(ioData);
    else
        output.PrepareBuffer(frames);

    const OSStatus status = Render(flags, timeStamp, frames);
    if (status != 0) return status;

    // Hand the rendered samples to the caller's buffers unless they were rendered there.
    AudioBufferList& rendered = output.GetBufferList();
    for (UInt32 i = 0; i < ioData.mNumberBuffers; ++i) {
        void* source = rendered.mBuffers[std::min(i, rendered.mNumberBuffers - 1)].mData;
        if (ioData.mBuffers[i].mData == nullptr)
            ioData.mBuffers[i].mData = source;
        else if (ioData.mBuffers[i].mData != source)
            std::memcpy(ioData.mBuffers[i].mData, source, frames * sizeof(float));
        ioData.mBuffers[i].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    }
    return 0;
}

OSStatus AUBase::Render(AudioUnitRenderActionFlags&, const AudioTimeStamp&, UInt32) {
    return 0;
}

OSStatus AUBase::ProcessScheduledSlice(void*, UInt32, UInt32, UInt32) {
    return 0;
}

// Where an event starts inside a render of totalFrames (a later start counts as the last frame).
static UInt32 eventStart(const AudioUnitParameterEvent& event, UInt32 totalFrames) {
    const SInt64 start = event.eventType == kParameterEvent_Ramped ? event.eventValues.ramp.startBufferOffset
                                                                   : event.eventValues.immediate.bufferOffset;
    return static_cast<UInt32>(std::clamp<SInt64>(start, 0, static_cast<SInt64>(totalFrames) - 1));
}

UInt32 AUBase::NextParamBoundary(UInt32 frame, UInt32 totalFrames) const {
    UInt32 next = totalFrames;
    for (UInt32 i = 0; i < mParamEventCount; ++i) {
        const AudioUnitParameterEvent& event = mParamEvents[i];
        const UInt32 start = eventStart(event, totalFrames);
        if (start > frame) next = std::min(next, start);
        if (event.eventType == kParameterEvent_Ramped) {
            const SInt64 end = static_cast<SInt64>(event.eventValues.ramp.startBufferOffset) +
                               event.eventValues.ramp.durationInFrames;
            if (end > frame && end < next) next = static_cast<UInt32>(end);
        }
    }
    return next;
}

void AUBase::ApplyParamEventsAt(UInt32 frame, UInt32 totalFrames) {
    for (UInt32 i = 0; i < mParamEventCount; ++i) {
        const AudioUnitParameterEvent& event = mParamEvents[i];
        if (event.eventType == kParameterEvent_Ramped) {
            const auto& ramp = event.eventValues.ramp;
            const SInt64 offset = static_cast<SInt64>(frame) - ramp.startBufferOffset;
            const SInt64 duration = ramp.durationInFrames;
            // A ramp applies at every slice start it covers and once more where it ends.
            if (offset < 0 || offset > duration) continue;
            const double share =
                duration == 0 ? 1.0 : static_cast<double>(offset) / static_cast<double>(duration);
            const auto value = static_cast<AudioUnitParameterValue>(
                static_cast<double>(ramp.startValue) +
                static_cast<double>(ramp.endValue - ramp.startValue) * share);
            SetParameter(event.parameter, event.scope, event.element, value, frame);
        } else if (eventStart(event, totalFrames) == frame) {
            SetParameter(event.parameter, event.scope, event.element, event.eventValues.immediate.value,
                         frame);
        }
    }
}

OSStatus AUBase::ProcessForScheduledParams(UInt32 frames, void* userData) {
    // Insertion sort: stable, so events on one frame keep their order, and it needs no memory.
    for (UInt32 i = 1; i < mParamEventCount; ++i) {
        const AudioUnitParameterEvent event = mParamEvents[i];
        UInt32 j = i;
        for (; j > 0 && eventStart(mParamEvents[j - 1], frames) > eventStart(event, frames); --j)
            mParamEvents[j] = mParamEvents[j - 1];
        mParamEvents[j] = event;
    }
    UInt32 start = 0;
    while (start < frames) {
        ApplyParamEventsAt(start, frames);
        const UInt32 end = NextParamBoundary(start, frames);
        const OSStatus status = ProcessScheduledSlice(userData, start, end - start, frames);
        if (status != 0) return status;
        start = end;
    }
    // A ramp that ends exactly at the end of this render reaches its final value now.
    ApplyParamEventsAt(frames, frames);
    return 0;
}

bool AUBase::IsInputSilent(AudioUnitRenderActionFlags flags, UInt32 /*frames*/) {
    return (flags & kAudioUnitRenderAction_OutputIsSilence) != 0;
}

void AUBase::ApplyInputSilence(AudioUnitRenderActionFlags& flags, UInt32 frames) {
    if (!IsInputSilent(flags, frames))
        flags &= ~static_cast<AudioUnitRenderActionFlags>(kAudioUnitRenderAction_OutputIsSilence);
}

// ---------------------------------------------------------------- state and presets
OSStatus AUBase::SaveState(CFPropertyListRef* outData) {
    if (outData == nullptr) return kAudio_ParamError;
    const AudioComponentDescription desc = GetComponentDescription();
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    setNumber(dict, "version", static_cast<SInt32>(kStateVersion));
    setNumber(dict, "type", static_cast<SInt32>(desc.componentType));
    setNumber(dict, "subtype", static_cast<SInt32>(desc.componentSubType));
    setNumber(dict, "manufacturer", static_cast<SInt32>(desc.componentManufacturer));

    // Global parameters: scope, count, then (id, value) pairs, all big-endian.
    AUElement& globals = Globals();
    std::vector<UInt8> bytes;
    putBigEndian32(bytes, kAudioUnitScope_Global);
    putBigEndian32(bytes, globals.GetNumberOfParameters());
    for (UInt32 id = 0; id < globals.GetNumberOfParameters(); ++id) {
        const Float32 value = globals.GetParameter(id);
        UInt32 bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        putBigEndian32(bytes, id);
        putBigEndian32(bytes, bits);
    }
    CFRef<CFDataRef> data(
        CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
    CFRef<CFStringRef> dataKey = makeCFString("data");
    CFDictionarySetValue(dict, dataKey.get(), data.get());

    CFRef<CFStringRef> untitled = makeCFString("Untitled");
    CFRef<CFStringRef> nameKey = makeCFString("name");
    CFDictionarySetValue(dict, nameKey.get(),
                         mCurrentPreset.presetName != nullptr ? mCurrentPreset.presetName : untitled.get());
    *outData = dict;
    return 0;
}

OSStatus AUBase::CheckStateHeader(CFPropertyListRef plist) const {
    if (plist == nullptr || CFGetTypeID(plist) != CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    auto dict = static_cast<CFDictionaryRef>(plist);
    const AudioComponentDescription desc = GetComponentDescription();
    if (!numberMatches(dict, "version", static_cast<SInt32>(kStateVersion)) ||
        !numberMatches(dict, "type", static_cast<SInt32>(desc.componentType)) ||
        !numberMatches(dict, "subtype", static_cast<SInt32>(desc.componentSubType)) ||
        !numberMatches(dict, "manufacturer", static_cast<SInt32>(desc.componentManufacturer)))
        return kAudioUnitErr_InvalidPropertyValue;
    return 0;
}

OSStatus AUBase::RestoreState(CFPropertyListRef plist) {
    const OSStatus header = CheckStateHeader(plist);
    if (header != 0) return header;
    auto dict = static_cast<CFDictionaryRef>(plist);
    const void* data = lookUp(dict, "data");
    if (data != nullptr && CFGetTypeID(data) == CFDataGetTypeID()) {
        const auto length = static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(data)));
        const UInt8* bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
        AUElement& globals = Globals();
        size_t pos = 0;
        while (pos + 8 <= length) {
            const UInt32 scope = readBigEndian32(bytes + pos);
            const UInt32 count = readBigEndian32(bytes + pos + 4);
            pos += 8;
            for (UInt32 i = 0; i < count && pos + 8 <= length; ++i, pos += 8) {
                const UInt32 id = readBigEndian32(bytes + pos);
                const UInt32 bits = readBigEndian32(bytes + pos + 4);
                Float32 value = 0.0f;
                std::memcpy(&value, &bits, sizeof value);
                if (scope == kAudioUnitScope_Global && id < globals.GetNumberOfParameters())
                    globals.SetParameter(id, value);
            }
        }
    }
    const void* name = lookUp(dict, "name");
    if (name != nullptr && CFGetTypeID(name) == CFStringGetTypeID())
        SetAFactoryPresetAsCurrent(AUPreset{-1, static_cast<CFStringRef>(name)});
    return 0;
}

OSStatus AUBase::GetPresets(CFArrayRef*) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUBase::NewFactoryPresetSet(const AUPreset&) {
    return kAudioUnitErr_InvalidPropertyValue;
}

void AUBase::SetAFactoryPresetAsCurrent(const AUPreset& preset) {
    if (preset.presetName != nullptr) CFRetain(preset.presetName);
    if (mCurrentPreset.presetName != nullptr) CFRelease(mCurrentPreset.presetName);
    mCurrentPreset = preset;
}

// ---------------------------------------------------------------- host callbacks
void AUBase::SetHostCallbacks(const HostCallbackInfo& info) {
    mHostUserData.store(info.hostUserData, std::memory_order_relaxed);
    mHostUserBeatAndTempo.store(info.beatAndTempoProc, std::memory_order_release);
    mHostMusicalTime.store(info.musicalTimeLocationProc, std::memory_order_release);
    mHostTransportState.store(info.transportStateProc, std::memory_order_release);
}

OSStatus AUBase::CallHostBeatAndTempo(Float64* outBeat, Float64* outTempo) {
    HostCallback_GetBeatAndTempo proc = mHostUserBeatAndTempo.load(std::memory_order_acquire);
    if (proc == nullptr) return kAudioUnitErr_NoConnection;
    return proc(mHostUserData.load(std::memory_order_relaxed), outBeat, outTempo);
}

OSStatus AUBase::CallHostMusicalTimeLocation(UInt32* outDeltaSampleOffsetToNextBeat, Float32* outNumerator,
                                             UInt32* outDenominator, Float64* outCurrentMeasureDownBeat) {
    HostCallback_GetMusicalTimeLocation proc = mHostMusicalTime.load(std::memory_order_acquire);
    if (proc == nullptr) return kAudioUnitErr_NoConnection;
    return proc(mHostUserData.load(std::memory_order_relaxed), outDeltaSampleOffsetToNextBeat, outNumerator,
                outDenominator, outCurrentMeasureDownBeat);
}

OSStatus AUBase::CallHostTransportState(Boolean* outIsPlaying, Boolean* outTransportStateChanged,
                                        Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                        Float64* outCycleStartBeat, Float64* outCycleEndBeat) {
    HostCallback_GetTransportState proc = mHostTransportState.load(std::memory_order_acquire);
    if (proc == nullptr) return kAudioUnitErr_NoConnection;
    return proc(mHostUserData.load(std::memory_order_relaxed), outIsPlaying, outTransportStateChanged,
                outCurrentSampleInTimeLine, outIsCycling, outCycleStartBeat, outCycleEndBeat);
}
