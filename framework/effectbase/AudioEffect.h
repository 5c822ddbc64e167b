#pragma once

// The base of every effect: owns the AEffect record, turns its entry points into virtual
// calls, answers opcodes 0 to 24 and sends the basic host requests. Virtual operations are
// declared in vtable slot order; keep it when adding or moving any.

#include "framework/effectbase/AEffEditor.h"
#include "framework/effectbase/AEffect.h"

class AudioEffect {
public:
    AudioEffect(HostCallback audioMaster, int numPrograms, int numParams);
    virtual ~AudioEffect();  // deletes the editor
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual long long dispatcher(int opcode, int index, long long value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int size) { blockSize = size; }
    virtual void processReplacing(float** inputs, float** outputs, int sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, int /*sampleFrames*/) {}

    virtual void setParameter(int /*index*/, float /*value*/) {}
    virtual float getParameter(int /*index*/) { return 0.0f; }
    // Sets the value and tells the host, which records it as automation.
    virtual void setParameterAutomated(int index, float value);

    virtual int getProgram() { return curProgram; }
    virtual void setProgram(int program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(int index, char* label);
    virtual void getParameterDisplay(int index, char* text);
    virtual void getParameterName(int index, char* text);
    virtual int getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual int setChunk(void* /*data*/, int /*byteSize*/, bool /*isPreset*/) { return 0; }

    virtual void setUniqueID(int id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(int inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state) { setFlag(effectCanReplacing, state); }
    virtual void canDoubleReplacing(bool state) { setFlag(effectCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state) { setFlag(effectProgramChunks, state); }
    virtual void setInitialDelay(int delay) { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual int getBlockSize() { return blockSize; }

    virtual int getMasterVersion();
    virtual int getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(int input);
    virtual bool isOutputConnected(int output);

    // Value-to-text: at most maxLen characters and a terminating zero (maxLen + 1 bytes).
    virtual void dB2string(float value, char* text, int maxLen);
    virtual void Hz2string(float samples, char* text, int maxLen);
    virtual void ms2string(float samples, char* text, int maxLen);
    virtual void float2string(float value, char* text, int maxLen);
    virtual void int2string(int value, char* text, int maxLen);

    virtual void __processDeprecated(float** /*inputs*/, float** /*outputs*/, int /*sampleFrames*/) {}
    virtual float __getVuDeprecated() { return 0.0f; }
    virtual void __hasVuDeprecated(bool state) { setFlag(effectHasVu, state); }
    virtual void __hasClipDeprecated(bool state) { setFlag(effectHasClip, state); }
    virtual void __canMonoDeprecated(bool state) { setFlag(effectCanMono, state); }
    virtual void __setRealtimeQualitiesDeprecated(int qualities) { cEffect.realQualities = qualities; }
    virtual void __setOfflineQualitiesDeprecated(int qualities) { cEffect.offQualities = qualities; }

    // Attaches (or with null detaches) the editor and keeps the has-editor flag in step.
    void setEditor(AEffEditor* newEditor);

    // The record's entry points: each follows the record's object to the effect.
    static intptr_t dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt);
    static float getParameterClass(AEffect* e, int32_t index);
    static void setParameterClass(AEffect* e, int32_t index, float value);
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs, int32_t sampleFrames);
    static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                            int32_t sampleFrames);
    static void __processClassDeprecated(AEffect* e, float** inputs, float** outputs, int32_t sampleFrames);

protected:
    void setFlag(int32_t bit, bool state) {
        cEffect.flags &= ~bit;
        if (state) cEffect.flags |= bit;
    }
    // Sends a request when a host callback is set; 0 otherwise.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    HostCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    AEffect cEffect;
};

// Writes at most maxLen characters of source and a terminating zero; nothing for a null text
// or a negative maxLen.
void copyLimited(const char* source, char* text, int maxLen);

// Made by the effect: the one effect of the system, created with the host's callback.
AudioEffect* createEffectInstance(HostCallback audioMaster);

// Entry for a host that loads the effect directly. Not exported and not called by the system.
extern "C" __attribute__((visibility("hidden"))) AEffect* main_macho(HostCallback audioMaster);
