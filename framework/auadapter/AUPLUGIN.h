#pragma once

// The Audio Unit adapter: hosts the effect as a music-effect unit. It creates the effect,
// translates the unit's calls (parameters, rendering, MIDI, state, presets, the editor's
// properties) into the effect interface, and answers the effect's host requests.
//
// Threads: properties, state and presets come from the host's main thread; Render,
// ScheduleParameter and the effect's time requests from the render thread; MIDI from any
// thread. MIDI reaches the render thread through a lock-free queue; events queued during a
// render are delivered with the next one.

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "framework/auadapter/MidiEventQueue.h"
#include "framework/effectbase/AudioEffectX.h"
#include "sdk/audiounit/AUMIDIBase.h"

class AUPLUGIN : public AUBase, public AUMIDIBase {
public:
    using EffectFactory = AudioEffect* (*)(HostCallback audioMaster);

    static constexpr int kMaxPresets = 256;
    static constexpr int kMaxMidiEvents = 1024;
    static constexpr std::size_t kScratchFrames = 8192;  // default channel memory: 32768 bytes
    static constexpr AudioUnitPropertyID kEditorViewProperty = 65536;
    static constexpr AudioUnitPropertyID kEditorSizeProperty = 65537;
    static constexpr AudioUnitPropertyID kEditorIdleProperty = 65538;
    // UInt64, read only: the longest stretch, in frames, the output may stay quiet and still sound
    // again without new input, as the effect answers it; refused when the effect does not know.
    static constexpr AudioUnitPropertyID kQuietSpanProperty = 65539;

    // Creates the effect with makeEffect, which receives AUPLUGINAudioMasterCallback.
    AUPLUGIN(AudioComponentInstance instance, EffectFactory makeEffect);
    ~AUPLUGIN() override;

    AudioEffectX* GetEffect() const { return effect; }
    AEffect* GetAEffect() const { return aeffect; }
    Float64 GetSampleRate() const { return sampleRate.load(std::memory_order_relaxed); }
    bool IsBypassed() const { return bypass.load(std::memory_order_relaxed); }

    // The effect's program records, which SaveState/RestoreState read and write in place. The
    // unit that knows the effect's class supplies them; without them the current program is
    // read and written through the effect's parameter operations. name has nameSize bytes
    // of room (the record's name is NUL-terminated); values has numParams entries.
    virtual bool ReadProgramRecord(int program, char* name, std::size_t nameSize, float* values);
    virtual bool WriteProgramRecord(int program, const char* name, const float* values);

    // ------------------------------------------------------------ life cycle and formats
    OSStatus Initialize() override;
    void Cleanup() override;  // processing has ended: the effect is suspended
    OSStatus Reset(AudioUnitScope scope, AudioUnitElement element) override;
    void SetMaxFramesPerSlice(UInt32 frames) override;
    bool ValidFormat(AudioUnitScope scope, AudioUnitElement element,
                     const AudioStreamBasicDescription& format) override;
    bool StreamFormatWritable(AudioUnitScope scope, AudioUnitElement element) override;
    OSStatus ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                const AudioStreamBasicDescription& oldFormat,
                                const AudioStreamBasicDescription& newFormat) override;
    UInt32 SupportedNumChannels(const AUChannelInfo** outInfo) override;
    bool BusCountWritable(AudioUnitScope) override { return false; }
    UInt32 GetNumberOfChannels();
    Float64 GetLatency() override;
    Float64 GetTailTime() override;
    bool SupportsTail() override { return false; }
    UInt32 Version() override { return 0x10000; }

    // ------------------------------------------------------------ parameters
    OSStatus GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList, UInt32& outCount) override;
    bool IsParamValid(AudioUnitParameterID id) const;
    OSStatus GetParameterValueStrings(AudioUnitScope scope, AudioUnitParameterID id,
                                      CFArrayRef* outStrings) override;
    OSStatus GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                              AudioUnitParameterInfo& outInfo) override;
    OSStatus GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue& outValue) override;
    OSStatus SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                          AudioUnitParameterValue value, UInt32 bufferOffset) override;
    OSStatus ScheduleParameter(const AudioUnitParameterEvent* list, UInt32 count) override;
    // Copies every effect value into the global element.
    void SynchronizeParams();
    void RebuildParamNames();

    // ------------------------------------------------------------ properties
    OSStatus GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32& outDataSize, Boolean& outWritable) override;
    OSStatus GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         void* outData) override;
    OSStatus SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) override;

    // ------------------------------------------------------------ presets
    OSStatus GetPresets(CFArrayRef* outData) override;
    OSStatus NewFactoryPresetSet(const AUPreset& preset) override;
    void GetProgramNames();

    // ------------------------------------------------------------ rendering and MIDI
    OSStatus Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                    UInt32 frames) override;
    OSStatus ProcessBufferLists(AudioUnitRenderActionFlags& flags, const AudioBufferList& in,
                                AudioBufferList& out, UInt32 frames);
    OSStatus ProcessScheduledSlice(void* userData, UInt32 startFrame, UInt32 sliceFrames,
                                   UInt32 totalFrames) override;
    bool IsInputSilent(AudioUnitRenderActionFlags flags, UInt32 frames) override;
    OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                             UInt32 offsetSampleFrame) override;
    // The transport record for the effect's time request; null when the host's tempo is 0.
    VstTimeInfo* GetTimeInfo();

    // ------------------------------------------------------------ state
    OSStatus SaveState(CFPropertyListRef* outData) override;
    OSStatus RestoreState(CFPropertyListRef data) override;

    // Single-entry dispatch: MIDI selectors to AUMIDIBase, the rest to AUBase; null unit -50.
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUPLUGIN* unit);

private:
    friend intptr_t AUPLUGINAudioMasterCallback(AEffect*, int32_t, int32_t, intptr_t, void*, float);

    CFStringRef MakeParamName(int index);
    void CloseEditor();
    void RefreshPresetNamesIfStale();
    void AnnounceDisplayUpdate();
    OSStatus ParameterStringFromValue(AudioUnitParameterStringFromValue& request);
    OSStatus ParameterValueFromString(AudioUnitParameterValueFromString& request);
    void StageQueuedMidi();
    void DeliverMidiForSlice(UInt32 frames);
    void ResizeScratch(UInt32 frames);
    // The effect hears a new rate or block size only while suspended.
    void PassSampleRate();
    void PassBlockSize(UInt32 frames);

    std::array<AUPreset, kMaxPresets> presets{};
    std::atomic<bool> bypass{false};
    bool inPlaceAllowed = true;
    int tailCountdown = 0;
    bool tailReset = true;
    AudioEffectX* effect = nullptr;
    AEffect* aeffect = nullptr;
    UInt32 numPrograms = 0;
    UInt32 numParams = 0;
    AudioTimeStamp renderTime{};
    std::atomic<Float64> sampleRate{44100.0};
    UInt32 processInputs = 2;
    UInt32 processOutputs = 2;
    std::vector<float> scratch;     // silence for a missing input
    std::vector<float> scratchOut;  // somewhere to write a missing output
    std::vector<CFStringRef> paramNames;
    VstTimeInfo timeInfo{};
    std::unique_ptr<std::byte[]> eventsStorage;  // VstEvents with room for kMaxMidiEvents pointers
    VstEvents* events = nullptr;
    std::unique_ptr<VstMidiEvent[]> midiEvents;
    void* editorView = nullptr;  // the parent the editor is open in, null while it is closed
    std::atomic<bool> presetNamesStale{false};

    // MIDI: queued by any thread, staged by the render thread at the start of a render, handed
    // to the effect slice by slice.
    MidiEventQueue midiQueue;
    std::array<QueuedMidiEvent, kMaxMidiEvents> staged{};
    int stagedCount = 0;
    UInt32 sliceStart = 0;  // frame of the current slice within its render
    UInt32 renderFrames = 0;
};

// The host callback the effect is created with; finds the adapter through the record's resvd1.
intptr_t AUPLUGINAudioMasterCallback(AEffect* effect, int32_t request, int32_t index, intptr_t value,
                                     void* ptr, float opt);
// The MIDI fast-dispatch function (property 5, element 0x0101); unitStorage is the AUPLUGIN.
OSStatus AUPLUGINMIDIEvent(void* unitStorage, UInt32 status, UInt32 data1, UInt32 data2,
                           UInt32 offsetSampleFrame);

// The bundle-identifier prefix of the two outside hosts that get their own product strings.
inline constexpr const char* kOutsideHostMakerPrefix = "com.outsidehosts";
