#include "framework/effectbase/AudioEffectX.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// The low byte of a float sent as a key modifier; anything not a number counts as 0.
uint8_t lowByteOf(float value) {
    if (!std::isfinite(value) || std::fabs(value) >= 2147483648.0f) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(value) & 0xff);
}

// Opcodes whose ptr is a buffer or record the effect reads or fills.
bool needsPointer(int opcode) {
    using namespace EffectOpcode;
    switch (opcode) {
        case ProcessEvents:
        case String2Parameter:
        case GetProgramNameIndexed:
        case GetInputProperties:
        case GetOutputProperties:
        case GetEffectName:
        case GetVendorString:
        case GetProductString:
        case CanDo:
        case GetParameterProperties:
        case GetMidiProgramName:
        case GetCurrentMidiProgram:
        case GetMidiProgramCategory:
        case GetMidiKeyName:
        case ShellGetNextPlugin:
            return true;
        default:
            return false;
    }
}

}  // namespace

long long AudioEffectX::dispatcher(int opcode, int index, long long value, void* ptr, float opt) {
    using namespace EffectOpcode;
    if (needsPointer(opcode) && !ptr) return 0;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case ProcessEvents:
            return processEvents(static_cast<VstEvents*>(ptr));
        case CanBeAutomated:
            return canParameterBeAutomated(index);
        case String2Parameter:
            return string2parameter(index, text);
        case GetProgramNameIndexed:
            return getProgramNameIndexed(static_cast<int>(value), index, text);
        case GetInputProperties:
            return getInputProperties(index, static_cast<VstPinProperties*>(ptr));
        case GetOutputProperties:
            return getOutputProperties(index, static_cast<VstPinProperties*>(ptr));
        case GetPlugCategory:
            return static_cast<uint32_t>(getPlugCategory());
        case OfflineNotify:
            return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int>(value), index != 0);
        case OfflinePrepare:
            return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int>(value));
        case OfflineRun:
            return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int>(value));
        case ProcessVariableIo:
            return processVariableIo(static_cast<VstVariableIo*>(ptr));
        case SetSpeakerArrangement:
            return setSpeakerArrangement(
                reinterpret_cast<VstSpeakerArrangement*>(static_cast<intptr_t>(value)),
                static_cast<VstSpeakerArrangement*>(ptr));
        case SetBypass:
            return setBypass(value != 0);
        case GetEffectName:
            return getEffectName(text);
        case GetVendorString:
            return getVendorString(text);
        case GetProductString:
            return getProductString(text);
        case GetVendorVersion:
            return getVendorVersion();
        case VendorSpecific:
            return vendorSpecific(index, value, ptr, opt);
        case CanDo:
            return canDo(text);
        case GetTailSize:
            return getGetTailSize();
        case GetParameterProperties:
            return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr));
        case GetVstVersion:
            return getVstVersion();
        case EditKeyDown:
        case EditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key{};
            key.character = index;
            key.virt = static_cast<uint8_t>(value & 0xff);
            key.modifier = lowByteOf(opt);
            return opcode == EditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        }
        case SetEditKnobMode:
            return editor ? editor->setKnobMode(static_cast<int>(value)) : 0;
        case GetMidiProgramName:
            return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        case GetCurrentMidiProgram:
            return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
        case GetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        case HasMidiProgramsChanged:
            return hasMidiProgramsChanged(index);
        case GetMidiKeyName:
            return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr));
        case BeginSetProgram:
            return beginSetProgram();
        case EndSetProgram:
            return endSetProgram();
        case GetSpeakerArrangement:
            return getSpeakerArrangement(
                reinterpret_cast<VstSpeakerArrangement**>(static_cast<intptr_t>(value)),
                static_cast<VstSpeakerArrangement**>(ptr));
        case ShellGetNextPlugin:
            return getNextShellPlugin(text);
        case StartProcess:
            return startProcess();
        case StopProcess:
            return stopProcess();
        case SetTotalSampleToProcess:
            return setTotalSampleToProcess(static_cast<int>(value));
        case SetPanLaw:
            return setPanLaw(static_cast<int>(value), opt);
        case BeginLoadBank:
            return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case BeginLoadProgram:
            return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        case SetProcessPrecision:
            return setProcessPrecision(static_cast<int>(value));
        case GetNumMidiInputChannels:
            return getNumMidiInputChannels();
        case GetNumMidiOutputChannels:
            return getNumMidiOutputChannels();
        default:
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    char word[] = "receiveVstMidiEvent";
    if ((cEffect.flags & effectIsSynth) || canDo(word) == 1) __wantEventsDeprecated(1);
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
    if (in) *in = nullptr;
    if (out) *out = nullptr;
    return false;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, int nbChannels) {
    if (!arrangement) return false;
    deallocateArrangement(arrangement);
    // A negative count would ask for an absurd block: refuse it and leave nothing behind.
    if (nbChannels < 0) return false;
    void* block = std::calloc(1, VstSpeakerArrangement::byteSize(nbChannels));
    if (!block) return false;
    auto* made = static_cast<VstSpeakerArrangement*>(block);
    made->numChannels = nbChannels;
    *arrangement = made;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement && *arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (!to || !from) return false;
    std::memcpy(to->position, from->position, sizeof(to->position));
    // The source name may lack its terminator: copy at most 63 characters and end it here.
    const void* end = std::memchr(from->name, 0, sizeof(from->name) - 1);
    const size_t length =
        end ? static_cast<size_t>(static_cast<const char*>(end) - from->name) : sizeof(from->name) - 1;
    std::memcpy(to->name, from->name, length);
    to->name[length] = 0;
    to->type = from->type;
    std::memcpy(to->reserved, from->reserved, sizeof(to->reserved));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (!from || !to) return false;
    if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    (*to)->numChannels = from->numChannels;
    for (int i = 0; i < from->numChannels; ++i) {
        if (!copySpeaker(&(*to)->speakers()[i], &from->speakers()[i])) return false;
    }
    return true;
}
