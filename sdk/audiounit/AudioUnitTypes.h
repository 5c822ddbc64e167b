#pragma once

// Identifiers, records and call signatures shared by Audio Unit hosts and units: component
// descriptions, scopes, properties, parameters, render callbacks, host callbacks, presets,
// listener events and the status codes.

#include <cstdint>

#include "sdk/audiounit/CoreAudioTypes.h"
#include "sdk/corefoundation/CFBase.h"

// ---------------------------------------------------------------- components and instances
struct AudioComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

constexpr OSType fourCharOSType(const char (&code)[5]) {
    return (static_cast<OSType>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<OSType>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<OSType>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<OSType>(static_cast<unsigned char>(code[3]));
}

inline constexpr OSType kAudioUnitType_Effect = fourCharOSType("aufx");
inline constexpr OSType kAudioUnitType_MusicEffect = fourCharOSType("aumf");

typedef struct OpaqueAudioComponent* AudioComponent;
typedef struct OpaqueAudioComponentInstance* AudioComponentInstance;
typedef AudioComponentInstance AudioUnit;

// Every method a unit hands out through Lookup is cast to this type and back to its own.
typedef void (*AudioComponentMethod)();

// The record a component's factory returns: the host calls Open once with the new instance,
// looks methods up by selector and calls them with the record itself as first argument.
struct AudioComponentPlugInInterface {
    OSStatus (*Open)(void* self, AudioComponentInstance instance);
    OSStatus (*Close)(void* self);
    AudioComponentMethod (*Lookup)(SInt16 selector);
    void* reserved;
};

typedef AudioComponentPlugInInterface* (*AudioComponentFactoryFunction)(
    const AudioComponentDescription* desc);

// Selectors of the unit's methods.
enum : SInt16 {
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kAudioUnitInitializeSelect = 0x0001,
    kAudioUnitUninitializeSelect = 0x0002,
    kAudioUnitGetPropertyInfoSelect = 0x0003,
    kAudioUnitGetPropertySelect = 0x0004,
    kAudioUnitSetPropertySelect = 0x0005,
    kAudioUnitGetParameterSelect = 0x0006,
    kAudioUnitSetParameterSelect = 0x0007,
    kAudioUnitResetSelect = 0x0009,
    kAudioUnitAddPropertyListenerSelect = 0x000A,
    kAudioUnitRemovePropertyListenerSelect = 0x000B,
    kAudioUnitRenderSelect = 0x000E,
    kAudioUnitScheduleParametersSelect = 0x0011,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 0x0012,
    kMusicDeviceMIDIEventSelect = 0x0101,
    kMusicDeviceSysExSelect = 0x0102,
};

// The older single-entry calling form: `what` is a selector above, `params` the call's
// arguments in order. Open takes (AudioComponentInstance, void** storage out), Close nothing.
struct ComponentParameters {
    SInt16 what;
    UInt16 count;
    intptr_t params[8];
};
typedef OSStatus (*ComponentEntryFunction)(ComponentParameters* params, void* storage);

// ---------------------------------------------------------------- scopes, properties, status
typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;
typedef UInt32 AudioUnitRenderActionFlags;

enum : AudioUnitScope { kAudioUnitScope_Global = 0, kAudioUnitScope_Input = 1, kAudioUnitScope_Output = 2 };

enum : AudioUnitPropertyID {
    kAudioUnitProperty_ClassInfo = 0,  // CFPropertyListRef (the saved state)
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,  // Float64
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,  // element = parameter id
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,                // Float64 seconds
    kAudioUnitProperty_SupportedNumChannels = 13,   // AUChannelInfo[]
    kAudioUnitProperty_MaximumFramesPerSlice = 14,  // UInt32
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_TailTime = 20,           // Float64 seconds
    kAudioUnitProperty_BypassEffect = 21,       // UInt32
    kAudioUnitProperty_SetRenderCallback = 23,  // AURenderCallbackStruct, input scope
    kAudioUnitProperty_FactoryPresets = 24,     // CFArrayRef of AUPreset*, released by the caller
    kAudioUnitProperty_HostCallbacks = 27,      // HostCallbackInfo
    kAudioUnitProperty_CurrentPreset = 28,      // AUPreset; a name handed out is retained
    kAudioUnitProperty_InPlaceProcessing = 29,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_ParameterValueFromString = 38,
    kMusicDeviceProperty_InstrumentCount = 1000,
};

// Fast-dispatch element for the MIDI call; the function has the AUMIDIEventProc form.
inline constexpr AudioUnitElement kMusicDeviceMIDIEventFastDispatch = 0x0101;
typedef OSStatus (*AUMIDIEventProc)(void* unitStorage, UInt32 status, UInt32 data1, UInt32 data2,
                                    UInt32 offsetSampleFrame);

enum : OSStatus {
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
    kAudio_FileNotFoundError = -43,
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_NoConnection = -10876,
    kAudioUnitErr_FailedInitialization = -10875,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_InvalidFile = -10871,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_PropertyNotWritable = -10865,
    kAudioUnitErr_InvalidPropertyValue = -10851,
    kAudioUnitErr_Initialized = -10849,
    kAudioComponentErr_InstanceInvalidated = -66749,
};

// ---------------------------------------------------------------- rendering
enum : AudioUnitRenderActionFlags {
    kAudioUnitRenderAction_PreRender = 1u << 2,
    kAudioUnitRenderAction_PostRender = 1u << 3,
    kAudioUnitRenderAction_OutputIsSilence = 1u << 4,
};

typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                     UInt32 inNumberFrames, AudioBufferList* ioData);

struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void* inputProcRefCon;
};

struct AudioUnitConnection {
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
};

struct AUChannelInfo {
    SInt16 inChannels;
    SInt16 outChannels;
};

// ---------------------------------------------------------------- parameters
typedef UInt32 AudioUnitParameterUnit;
inline constexpr AudioUnitParameterUnit kAudioUnitParameterUnit_Generic = 0;

enum : UInt32 {
    kAudioUnitParameterFlag_CFNameRelease = 1u << 4,  // the caller releases cfNameString
    kAudioUnitParameterFlag_IsGlobalMeta = 1u << 18,
    kAudioUnitParameterFlag_ValuesHaveStrings = 1u << 21,
    kAudioUnitParameterFlag_HasCFNameString = 1u << 27,
    kAudioUnitParameterFlag_IsReadable = 1u << 30,
    kAudioUnitParameterFlag_IsWritable = 1u << 31,
};

struct AudioUnitParameterInfo {
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    UInt32 flags;
};

typedef UInt32 AUParameterEventType;
enum : AUParameterEventType { kParameterEvent_Immediate = 1, kParameterEvent_Ramped = 2 };

// A parameter change at a frame of the next render (immediate), or a linear ramp over frames.
struct AudioUnitParameterEvent {
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;
    union {
        struct {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;
        struct {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues;
};

// Property 33: the unit writes outString (retained; the caller releases it).
struct AudioUnitParameterStringFromValue {
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
};

// Property 38: the unit reads inString (the caller keeps it) and writes outValue.
struct AudioUnitParameterValueFromString {
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
};

// ---------------------------------------------------------------- presets and view
struct AUPreset {
    SInt32 presetNumber;
    CFStringRef presetName;
};

// Property 31. Without a URL type the bundle's location is its folder path as a string.
struct AudioUnitCocoaViewInfo {
    CFStringRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
};

// ---------------------------------------------------------------- host callbacks (property 27)
typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData,
                                                        UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator,
                                                        UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);

// Any callback may be null; a non-zero result means the host cannot answer now.
struct HostCallbackInfo {
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
};

// ---------------------------------------------------------------- property listeners
typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement);

// ---------------------------------------------------------------- parameter and property events
typedef UInt32 AudioUnitEventType;
enum : AudioUnitEventType {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
};

// A listener interested in every parameter of a unit registers this id.
inline constexpr AudioUnitParameterID kAUParameterListener_AnyParameter = 0xFFFFFFFFu;

struct AudioUnitParameter {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitProperty {
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitEvent {
    AudioUnitEventType mEventType;
    union {
        AudioUnitParameter mParameter;
        AudioUnitProperty mProperty;
    } mArgument;
};

typedef struct OpaqueAUEventListener* AUEventListenerRef;
// inParameterValue is the parameter's value when the event was sent (value changes only).
typedef void (*AUEventListenerProc)(void* inUserData, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);
