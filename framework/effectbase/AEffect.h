#pragma once

// The plain record through which the host side reaches an effect, the host callback through
// which the effect answers, and the numbers that travel between them.

#include <cstddef>
#include <cstdint>

struct AEffect;

// Host callback: (effect record, request, index, value, pointer, float) -> answer.
using HostCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt);

using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                           void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

// Four characters read as one big-endian number ("VstP" -> 0x56737450).
constexpr int32_t fourCharCode(const char (&code)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

inline constexpr int32_t kEffectMagic = fourCharCode("VstP");     // 1450406992
inline constexpr int32_t kNoEffectId = fourCharCode("NoEf");      // 1315915110
inline constexpr int32_t kEffectIdentify = fourCharCode("NvEf");  // 1316373862

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;  // the host side's own pointer
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;  // the owning AudioEffect
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

#if INTPTR_MAX == INT64_MAX
// Hosts built elsewhere read this record by offset: keep the 64-bit layout fixed.
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, resvd2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, realQualities) == 84);
static_assert(offsetof(AEffect, offQualities) == 88);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
static_assert(sizeof(AEffect) == 192);
#endif

// Bits of AEffect::flags.
enum EffectFlags : int32_t {
    effectHasEditor = 1 << 0,
    effectHasClip = 1 << 1,
    effectHasVu = 1 << 2,
    effectCanMono = 1 << 3,
    effectCanReplacing = 1 << 4,
    effectProgramChunks = 1 << 5,
    effectIsSynth = 1 << 8,
    effectNoSoundInStop = 1 << 9,
    effectAsyncOperation = 1 << 10,
    effectExternalBuffer = 1 << 11,
    effectCanDoubleReplacing = 1 << 12,
};

// Opcodes the host side sends to AEffect::dispatcher.
namespace EffectOpcode {
enum : int32_t {
    Open = 0,
    Close = 1,
    SetProgram = 2,
    GetProgram = 3,
    SetProgramName = 4,
    GetProgramName = 5,
    GetParamLabel = 6,
    GetParamDisplay = 7,
    GetParamName = 8,
    SetSampleRate = 10,
    SetBlockSize = 11,
    MainsChanged = 12,
    EditGetRect = 13,
    EditOpen = 14,
    EditClose = 15,
    EditIdle = 19,
    Identify = 22,
    GetChunk = 23,
    SetChunk = 24,
    ProcessEvents = 25,
    CanBeAutomated = 26,
    String2Parameter = 27,
    GetProgramNameIndexed = 29,
    GetInputProperties = 33,
    GetOutputProperties = 34,
    GetPlugCategory = 35,
    OfflineNotify = 38,
    OfflinePrepare = 39,
    OfflineRun = 40,
    ProcessVariableIo = 41,
    SetSpeakerArrangement = 42,
    SetBypass = 44,
    GetEffectName = 45,
    GetVendorString = 47,
    GetProductString = 48,
    GetVendorVersion = 49,
    VendorSpecific = 50,
    CanDo = 51,
    GetTailSize = 52,
    GetParameterProperties = 56,
    GetVstVersion = 58,
    EditKeyDown = 59,
    EditKeyUp = 60,
    SetEditKnobMode = 61,
    GetMidiProgramName = 62,
    GetCurrentMidiProgram = 63,
    GetMidiProgramCategory = 64,
    HasMidiProgramsChanged = 65,
    GetMidiKeyName = 66,
    BeginSetProgram = 67,
    EndSetProgram = 68,
    GetSpeakerArrangement = 69,
    ShellGetNextPlugin = 70,
    StartProcess = 71,
    StopProcess = 72,
    SetTotalSampleToProcess = 73,
    SetPanLaw = 74,
    BeginLoadBank = 75,
    BeginLoadProgram = 76,
    SetProcessPrecision = 77,
    GetNumMidiInputChannels = 78,
    GetNumMidiOutputChannels = 79,
};
}  // namespace EffectOpcode

// Requests the effect sends through its host callback.
namespace HostRequest {
enum : int32_t {
    Automate = 0,
    Version = 1,
    CurrentId = 2,
    Idle = 3,
    PinConnected = 4,
    WantEvents = 6,
    GetTime = 7,
    ProcessEvents = 8,
    TempoAt = 10,
    GetNumAutomatableParameters = 11,
    GetParameterQuantization = 12,
    IoChanged = 13,
    NeedIdle = 14,
    SizeWindow = 15,
    GetSampleRate = 16,
    GetBlockSize = 17,
    GetInputLatency = 18,
    GetOutputLatency = 19,
    GetPreviousPlug = 20,
    GetNextPlug = 21,
    WillReplaceOrAccumulate = 22,
    GetCurrentProcessLevel = 23,
    GetAutomationState = 24,
    OfflineStart = 25,
    OfflineRead = 26,
    OfflineWrite = 27,
    OfflineGetCurrentPass = 28,
    OfflineGetCurrentMetaPass = 29,
    SetOutputSampleRate = 30,
    GetOutputSpeakerArrangement = 31,
    GetVendorString = 32,
    GetProductString = 33,
    GetVendorVersion = 34,
    VendorSpecific = 35,
    CanDo = 37,
    GetLanguage = 38,
    OpenWindow = 39,
    CloseWindow = 40,
    GetDirectory = 41,
    UpdateDisplay = 42,
    BeginEdit = 43,
    EndEdit = 44,
    OpenFileSelector = 45,
    CloseFileSelector = 46,
    GetChunkFile = 48,
    GetInputSpeakerArrangement = 49,
};
}  // namespace HostRequest

// A vendorSpecific request of the adapter (index, value): the effect writes into the long long
// at ptr the longest stretch, in frames, its output may stay quiet and still sound again without
// new input, and answers 1. An effect that does not know answers 0.
namespace QuietSpanRequest {
inline constexpr int kIndex = 0x4E77656C;        // 'Nwel'
inline constexpr long long kValue = 0x51756965;  // 'Quie'
}  // namespace QuietSpanRequest
