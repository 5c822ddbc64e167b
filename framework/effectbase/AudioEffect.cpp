#include "framework/effectbase/AudioEffect.h"

#include <cstring>

namespace {

AudioEffect* effectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

}  // namespace

AudioEffect::AudioEffect(HostCallback host, int programs, int params)
    : audioMaster(host), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = __processClassDeprecated;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effectCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kNoEffectId;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    AEffEditor* owned = editor;
    editor = nullptr;  // the editor going away finds itself detached already
    delete owned;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effectHasEditor, newEditor != nullptr);
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

long long AudioEffect::dispatcher(int opcode, int index, long long value, void* ptr, float opt) {
    using namespace EffectOpcode;
    // Text and record opcodes write through ptr: a host that passes none gets 0, not a crash.
    switch (opcode) {
        case SetProgramName:
        case GetProgramName:
        case GetParamLabel:
        case GetParamDisplay:
        case GetParamName:
        case EditGetRect:
        case GetChunk:
        case SetChunk:
            if (!ptr) return 0;
            break;
        default:
            break;
    }
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case Open:
            open();
            return 0;
        case Close:
            close();
            return 0;
        case SetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<int>(value));
            return 0;
        case GetProgram:
            return getProgram();
        case SetProgramName:
            setProgramName(text);
            return 0;
        case GetProgramName:
            getProgramName(text);
            return 0;
        case GetParamLabel:
            getParameterLabel(index, text);
            return 0;
        case GetParamDisplay:
            getParameterDisplay(index, text);
            return 0;
        case GetParamName:
            getParameterName(index, text);
            return 0;
        case SetSampleRate:
            setSampleRate(opt);
            return 0;
        case SetBlockSize:
            setBlockSize(static_cast<int32_t>(value));
            return 0;
        case MainsChanged:
            if (value)
                resume();
            else
                suspend();
            return 0;
        case EditGetRect:
            return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
        case EditOpen:
            return editor ? editor->open(ptr) : 0;
        case EditClose:
            if (editor) editor->close();
            return 0;
        case EditIdle:
            if (editor) editor->idle();
            return 0;
        case Identify:
            return kEffectIdentify;
        case GetChunk:
            return getChunk(static_cast<void**>(ptr), index != 0);
        case SetChunk:
            return setChunk(ptr, static_cast<int32_t>(value), index != 0);
        default:
            return 0;
    }
}

void AudioEffect::setParameterAutomated(int index, float value) {
    setParameter(index, value);
    callHost(HostRequest::Automate, index, 0, nullptr, value);
}

void AudioEffect::getProgramName(char* name) {
    *name = 0;
}
void AudioEffect::getParameterLabel(int, char* label) {
    *label = 0;
}
void AudioEffect::getParameterDisplay(int, char* text) {
    *text = 0;
}
void AudioEffect::getParameterName(int, char* text) {
    *text = 0;
}

int AudioEffect::getMasterVersion() {
    const intptr_t version = callHost(HostRequest::Version);
    return version ? static_cast<int>(version) : 1;  // old hosts answer 0
}

int AudioEffect::getCurrentUniqueId() {
    return static_cast<int>(callHost(HostRequest::CurrentId));
}

void AudioEffect::masterIdle() {
    callHost(HostRequest::Idle);
}

// The host answers 0 for a connected pin; with no host, everything counts as connected.
bool AudioEffect::isInputConnected(int input) {
    return callHost(HostRequest::PinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int output) {
    return callHost(HostRequest::PinConnected, output, 1) == 0;
}

intptr_t AudioEffect::dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                          void* ptr, float opt) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    if (opcode == EffectOpcode::Close) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return static_cast<intptr_t>(effect->dispatcher(opcode, index, value, ptr, opt));
}

float AudioEffect::getParameterClass(AEffect* e, int32_t index) {
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

void AudioEffect::setParameterClass(AEffect* e, int32_t index, float value) {
    if (AudioEffect* effect = effectOf(e)) effect->setParameter(index, value);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs, int32_t sampleFrames) {
    if (AudioEffect* effect = effectOf(e)) effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              int32_t sampleFrames) {
    if (AudioEffect* effect = effectOf(e)) effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::__processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                           int32_t sampleFrames) {
    if (AudioEffect* effect = effectOf(e)) effect->__processDeprecated(inputs, outputs, sampleFrames);
}
