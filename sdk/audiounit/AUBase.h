#pragma once

// The base of a unit: scopes and elements, initialisation, property dispatch with the standard
// properties, parameters, render-time parameter events with sliced processing, state, presets,
// property listeners and the host's time callbacks. A unit overrides the virtual operations it
// needs; what a unit does not handle answers kAudioUnitErr_InvalidProperty (properties) or the
// defaults noted here.

#include <atomic>
#include <vector>

#include "sdk/audiounit/AUScopeElement.h"
#include "sdk/audiounit/ComponentBase.h"

class AUBase : public ComponentBase {
public:
    static constexpr UInt32 kDefaultMaxFramesPerSlice = 1024;
    static constexpr UInt32 kMaxParamEvents = 1024;  // per render; later ones are dropped
    static constexpr int kMaxPropertyListeners = 32;

    AUBase(AudioComponentInstance instance, UInt32 numInputElements, UInt32 numOutputElements);
    ~AUBase() override;

    // ------------------------------------------------------------ elements
    virtual void CreateElements();
    AUScope& GlobalScope() { return mGlobal; }
    AUScope& Inputs() { return mInputs; }
    AUScope& Outputs() { return mOutputs; }
    // Throws kAudioUnitErr_InvalidScope for another scope.
    AUScope& GetScope(AudioUnitScope scope);
    AUElement& Globals() { return mGlobal.SafeGetElement(0); }
    // Throw kAudioUnitErr_InvalidElement when the element does not exist.
    AUInputElement& Input(AudioUnitElement element);
    AUOutputElement& Output(AudioUnitElement element);

    // ------------------------------------------------------------ life cycle
    OSStatus DoInitialize();
    void DoCleanup();
    virtual OSStatus Initialize() { return 0; }
    virtual void Cleanup() {}
    virtual OSStatus Reset(AudioUnitScope scope, AudioUnitElement element);
    bool IsInitialized() const { return mInitialized.load(std::memory_order_acquire); }
    void SetInitialized(bool state) { mInitialized.store(state, std::memory_order_release); }

    UInt32 GetMaxFramesPerSlice() const { return mMaxFramesPerSlice.load(std::memory_order_relaxed); }
    virtual void SetMaxFramesPerSlice(UInt32 frames);

    // ------------------------------------------------------------ properties
    OSStatus DispatchGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32& outDataSize, Boolean& outWritable);
    OSStatus DispatchGetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 void* outData, UInt32& ioDataSize);
    OSStatus DispatchSetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 const void* inData, UInt32 inDataSize);
    // The unit's own properties, asked before the standard ones.
    virtual OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                     UInt32& outDataSize, Boolean& outWritable);
    virtual OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 void* outData);
    virtual OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 const void* inData, UInt32 inDataSize);
    // Tells the property listeners. Allocates nothing and takes no lock.
    void PropertyChanged(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element);
    OSStatus AddPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon);
    OSStatus RemovePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* refCon);

    // ------------------------------------------------------------ stream formats
    virtual bool ValidFormat(AudioUnitScope scope, AudioUnitElement element,
                             const AudioStreamBasicDescription& format);
    virtual bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element);
    virtual OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                        const AudioStreamBasicDescription& oldFormat,
                                        const AudioStreamBasicDescription& newFormat);
    // Rows of (inputs, outputs); 0 rows means any.
    virtual UInt32 SupportedNumChannels(const AUChannelInfo** outInfo);
    virtual bool BusCountWritable(AudioUnitScope /*scope*/) { return false; }
    virtual OSStatus SetConnection(const AudioUnitConnection& connection);

    virtual Float64 GetLatency() { return 0.0; }
    virtual Float64 GetTailTime() { return 0.0; }
    virtual bool SupportsTail() { return false; }
    virtual UInt32 Version() { return 0; }

    // ------------------------------------------------------------ parameters
    virtual OSStatus GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList, UInt32& outCount);
    virtual OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                      AudioUnitParameterInfo& outInfo);
    virtual OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                              CFArrayRef* outStrings);
    virtual OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                  AudioUnitParameterValue& outValue);
    virtual OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                  AudioUnitParameterValue value, UInt32 bufferOffset);
    // Render thread: queues the events for the next render (up to kMaxParamEvents).
    virtual OSStatus ScheduleParameter(const AudioUnitParameterEvent* events, UInt32 count);
    bool HasPendingParamEvents() const { return mParamEventCount > 0; }

    // ------------------------------------------------------------ rendering
    OSStatus DoRender(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp, UInt32 outputBus,
                      UInt32 frames, AudioBufferList& ioData);
    virtual OSStatus Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                            UInt32 frames);
    // Splits frames at every pending event's frame, applies each event through SetParameter
    // at the start of its slice (ramps at every slice start they cover) and calls
    // ProcessScheduledSlice for each slice in order.
    OSStatus ProcessForScheduledParams(UInt32 frames, void* userData);
    virtual OSStatus ProcessScheduledSlice(void* userData, UInt32 startFrame, UInt32 sliceFrames,
                                           UInt32 totalFrames);
    // Whether a render whose pulled input carried the output-is-silence flag may stay silent.
    virtual bool IsInputSilent(AudioUnitRenderActionFlags flags, UInt32 frames);
    // Clears the output-is-silence flag unless IsInputSilent allows it.
    void ApplyInputSilence(AudioUnitRenderActionFlags& flags, UInt32 frames);

    // ------------------------------------------------------------ state and presets
    // A dictionary with version, type, subtype, manufacturer, data (the global parameter
    // values) and name; the caller releases it.
    virtual OSStatus SaveState(CFPropertyListRef* outData);
    virtual OSStatus RestoreState(CFPropertyListRef data);
    // 0 when data is a state dictionary made by this kind of unit (version, type, subtype and
    // manufacturer, where present, match); kAudioUnitErr_InvalidPropertyValue otherwise.
    OSStatus CheckStateHeader(CFPropertyListRef data) const;
    virtual OSStatus GetPresets(CFArrayRef* outData);
    virtual OSStatus NewFactoryPresetSet(const AUPreset& preset);
    // Keeps the preset (retaining its name) as the one the host shows.
    void SetAFactoryPresetAsCurrent(const AUPreset& preset);
    AUPreset GetCurrentPreset() const { return mCurrentPreset; }

    // ------------------------------------------------------------ host callbacks
    OSStatus CallHostBeatAndTempo(Float64* outBeat, Float64* outTempo);
    OSStatus CallHostMusicalTimeLocation(UInt32* outDeltaSampleOffsetToNextBeat, Float32* outNumerator,
                                         UInt32* outDenominator, Float64* outCurrentMeasureDownBeat);
    OSStatus CallHostTransportState(Boolean* outIsPlaying, Boolean* outTransportStateChanged,
                                    Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                    Float64* outCycleStartBeat, Float64* outCycleEndBeat);
    bool HasBeatAndTempoCallback() const {
        return mHostUserBeatAndTempo.load(std::memory_order_acquire) != nullptr;
    }
    bool HasMusicalTimeCallback() const {
        return mHostMusicalTime.load(std::memory_order_acquire) != nullptr;
    }
    bool HasTransportStateCallback() const {
        return mHostTransportState.load(std::memory_order_acquire) != nullptr;
    }

    // ------------------------------------------------------------ single-entry dispatch
    // Serves the older calling form for every selector but the MIDI ones.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUBase* unit);

private:
    void ReallocateBuffers();
    void SetHostCallbacks(const HostCallbackInfo& info);
    void ApplyParamEventsAt(UInt32 frame, UInt32 totalFrames);
    UInt32 NextParamBoundary(UInt32 frame, UInt32 totalFrames) const;

    const UInt32 mInitialInputs;
    const UInt32 mInitialOutputs;
    AUScope mGlobal;
    AUScope mInputs;
    AUScope mOutputs;
    std::atomic<bool> mInitialized{false};
    std::atomic<UInt32> mMaxFramesPerSlice{kDefaultMaxFramesPerSlice};

    std::vector<AudioUnitParameterEvent> mParamEvents;  // capacity fixed at construction
    UInt32 mParamEventCount = 0;

    AUPreset mCurrentPreset{-1, nullptr};

    std::atomic<void*> mHostUserData{nullptr};
    std::atomic<HostCallback_GetBeatAndTempo> mHostUserBeatAndTempo{nullptr};
    std::atomic<HostCallback_GetMusicalTimeLocation> mHostMusicalTime{nullptr};
    std::atomic<HostCallback_GetTransportState> mHostTransportState{nullptr};

    struct PropertyListener {
        std::atomic<AudioUnitPropertyListenerProc> proc{nullptr};
        std::atomic<AudioUnitPropertyID> id{0};
        std::atomic<void*> refCon{nullptr};
    };
    PropertyListener mPropertyListeners[kMaxPropertyListeners];
};
