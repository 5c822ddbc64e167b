#pragma once

// The extended effect: opcodes 25 to 79, the further virtual operations with their defaults
// and the host requests. Virtual operations continue the slot order of AudioEffect; keep it.

#include "framework/effectbase/AudioEffect.h"
#include "framework/effectbase/CanDos.h"
#include "framework/effectbase/VstRecords.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(HostCallback host, int programs, int params) : AudioEffect(host, programs, params) {}

    long long dispatcher(int opcode, int index, long long value, void* ptr, float opt) override;
    // Asks the host for events when the effect is a synth or can receive MIDI.
    void resume() override;

    // --- parameters and programs
    virtual bool canParameterBeAutomated(int /*index*/) { return true; }
    virtual bool string2parameter(int /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(int /*index*/, VstParameterProperties* /*p*/) { return false; }
    virtual bool beginEdit(int index);  // gesture start, sent to the host
    virtual bool endEdit(int index);
    virtual bool getProgramNameIndexed(int /*category*/, int /*index*/, char* /*text*/) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual int beginLoadBank(VstPatchChunkInfo* /*info*/) { return 0; }
    virtual int beginLoadProgram(VstPatchChunkInfo* /*info*/) { return 0; }

    // --- host configuration
    virtual bool ioChanged();
    virtual double updateSampleRate();
    virtual int updateBlockSize();
    virtual int getInputLatency();
    virtual int getOutputLatency();

    // --- pins and processing setup
    virtual bool getInputProperties(int /*index*/, VstPinProperties* /*properties*/) { return false; }
    virtual bool getOutputProperties(int /*index*/, VstPinProperties* /*properties*/) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*in*/, VstSpeakerArrangement* /*out*/) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out);
    virtual bool setBypass(bool /*onOff*/) { return false; }
    virtual bool setPanLaw(int /*type*/, float /*value*/) { return false; }
    virtual bool setProcessPrecision(int /*precision*/) { return false; }
    virtual int getNumMidiInputChannels() { return 0; }
    virtual int getNumMidiOutputChannels() { return 0; }

    // --- time and events
    virtual VstTimeInfo* getTimeInfo(int filter);  // host-owned, valid until the next request
    virtual int getCurrentProcessLevel();
    virtual int getAutomationState();
    virtual int processEvents(VstEvents* /*events*/) { return 0; }
    virtual int startProcess() { return 0; }
    virtual int stopProcess() { return 0; }
    virtual bool processVariableIo(VstVariableIo* /*io*/) { return false; }
    virtual int setTotalSampleToProcess(int value) { return value; }

    // --- host identity
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int getHostVendorVersion();
    virtual long long hostVendorSpecific(int arg1, long long arg2, void* ptr, float opt);
    virtual int canHostDo(char* text);
    virtual int getHostLanguage();

    // --- effect identity
    virtual void isSynth(bool state) { setFlag(effectIsSynth, state); }
    virtual void noTail(bool state) { setFlag(effectNoSoundInStop, state); }
    virtual int getGetTailSize() { return 0; }
    virtual void* getDirectory();
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int getVendorVersion() { return 0; }
    virtual long long vendorSpecific(int /*index*/, long long /*value*/, void* /*ptr*/, float /*opt*/) {
        return 0;
    }
    virtual int canDo(char* /*text*/) { return 0; }
    virtual int getVstVersion() { return 2400; }
    virtual int getPlugCategory() { return (cEffect.flags & effectIsSynth) ? 2 : 0; }

    // --- MIDI programs
    virtual int getMidiProgramName(int /*channel*/, MidiProgramName* /*name*/) { return 0; }
    virtual int getCurrentMidiProgram(int /*channel*/, MidiProgramName* /*name*/) { return -1; }
    virtual int getMidiProgramCategory(int /*channel*/, MidiProgramCategory* /*category*/) { return 0; }
    virtual bool hasMidiProgramsChanged(int /*channel*/) { return false; }
    virtual bool getMidiKeyName(int /*channel*/, MidiKeyName* /*keyName*/) { return false; }

    // --- host display and windows
    virtual bool updateDisplay();
    virtual bool sizeWindow(int width, int height);
    virtual bool openFileSelector(VstFileSelect* select);
    virtual bool closeFileSelector(VstFileSelect* select);
    virtual int getNextShellPlugin(char* /*name*/) { return 0; }

    // --- speaker arrangements
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, int nbChannels);
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);

    // --- offline processing
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource);
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option);
    virtual bool offlineStart(VstAudioFile* audioFiles, int numAudioFiles, int numNewAudioFiles);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* /*ptr*/, int /*numAudioFiles*/, bool /*start*/) { return false; }
    virtual bool offlinePrepare(VstOfflineTask* /*offline*/, int /*count*/) { return false; }
    virtual bool offlineRun(VstOfflineTask* /*offline*/, int /*count*/) { return false; }
    virtual int offlineGetNumPasses() { return 0; }
    virtual int offlineGetNumMetaPasses() { return 0; }

    // --- old operations, kept for their slots
    virtual void __wantEventsDeprecated(int filter);
    virtual int __tempoAtDeprecated(int pos);
    virtual int __getNumAutomatableParametersDeprecated();
    virtual int __getParameterQuantizationDeprecated();
    virtual int __getNumCategoriesDeprecated() { return 1; }
    virtual bool __copyProgramDeprecated(int /*destination*/) { return false; }
    virtual bool __needIdleDeprecated();
    virtual AEffect* __getPreviousPlugDeprecated(int input);
    virtual AEffect* __getNextPlugDeprecated(int output);
    virtual void __inputConnectedDeprecated(int /*index*/, bool /*state*/) {}
    virtual void __outputConnectedDeprecated(int /*index*/, bool /*state*/) {}
    virtual int __willProcessReplacingDeprecated();
    virtual void __wantAsyncOperationDeprecated(bool state) { setFlag(effectAsyncOperation, state); }
    virtual void __hasExternalBufferDeprecated(bool state) { setFlag(effectExternalBuffer, state); }
    virtual int __reportCurrentPositionDeprecated() { return 0; }
    virtual float* __reportDestinationBufferDeprecated() { return nullptr; }
    virtual void __setOutputSamplerateDeprecated(float rate);
    virtual VstSpeakerArrangement* __getInputSpeakerArrangementDeprecated();
    virtual VstSpeakerArrangement* __getOutputSpeakerArrangementDeprecated();
    virtual void* __openWindowDeprecated(__VstWindowDeprecated* window);
    virtual bool __closeWindowDeprecated(__VstWindowDeprecated* window);
    virtual void __setBlockSizeAndSampleRateDeprecated(int size, float rate) {
        blockSize = size;
        sampleRate = rate;
    }
    virtual bool __getErrorTextDeprecated(char* /*text*/) { return false; }
    virtual void* __getIconDeprecated() { return nullptr; }
    virtual bool __setViewPositionDeprecated(int /*x*/, int /*y*/) { return false; }
    virtual int __fxIdleDeprecated() { return 0; }
    virtual bool __keysRequiredDeprecated() { return false; }
    virtual bool __getChunkFileDeprecated(void* nativePath);

    // Hands events to the host; true only when the host answers exactly 1.
    bool sendVstEventsToHost(VstEvents* events);
};
