#include "framework/auadapter/AUPLUGIN.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sdk/audiounit/AudioToolbox.h"
#include "sdk/audiounit/CFRef.h"

namespace {

constexpr AUChannelInfo kChannelTable[] = {{1, 2}, {0, 2}, {2, 2}};
constexpr const char* kBundleIdentifier = "com.Zelk.Tarnwell.component";
constexpr const char* kViewFactoryClass = "Tarnwell_Zelk_CocoaViewFactory";
constexpr std::size_t kProgramNameBytes = 28;

CFStringRef macRomanString(const char* text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
}

void releaseIfSet(CFStringRef& string) {
    if (string != nullptr) CFRelease(string);
    string = nullptr;
}

void putBigEndianFloat(UInt8* out, float value) {
    UInt32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<UInt8>(bits >> (24 - 8 * i));
}

float readBigEndianFloat(const UInt8* in) {
    UInt32 bits = 0;
    for (int i = 0; i < 4; ++i) bits = (bits << 8) | in[i];
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

const void* dictionaryValue(CFDictionaryRef dict, const char* key) {
    CFRef<CFStringRef> name = makeCFString(key);
    return CFDictionaryGetValue(dict, name.get());
}

void dictionarySet(CFMutableDictionaryRef dict, const char* key, CFTypeRef value) {
    CFRef<CFStringRef> name = makeCFString(key);
    CFDictionarySetValue(dict, name.get(), value);
}

}  // namespace

// ---------------------------------------------------------------- construction
AUPLUGIN::AUPLUGIN(AudioComponentInstance instance, EffectFactory makeEffect)
    : AUBase(instance, 1, 1), AUMIDIBase(this) {
    CreateElements();

    AudioEffect* made = makeEffect != nullptr ? makeEffect(&AUPLUGINAudioMasterCallback) : nullptr;
    effect = dynamic_cast<AudioEffectX*>(made);
    if (effect == nullptr) delete made;  // only the extended interface can be hosted
    if (effect != nullptr) {
        aeffect = effect->getAeffect();
        aeffect->resvd1 = reinterpret_cast<intptr_t>(this);
        numParams = static_cast<UInt32>(std::max(0, aeffect->numParams));
        numPrograms = static_cast<UInt32>(std::clamp(aeffect->numPrograms, 0, kMaxPresets));
        effect->suspend();
        effect->setSampleRate(44100.0f);
    }

    eventsStorage = std::make_unique<std::byte[]>(sizeof(VstEvents) + kMaxMidiEvents * sizeof(VstEvent*));
    events = new (eventsStorage.get()) VstEvents{};
    midiEvents = std::make_unique<VstMidiEvent[]>(kMaxMidiEvents);

    Globals().UseIndexedParameters(numParams);
    paramNames.assign(numParams, nullptr);
    for (UInt32 i = 0; i < numParams; ++i) paramNames[i] = MakeParamName(static_cast<int>(i));

    ResizeScratch(static_cast<UInt32>(kScratchFrames));
    if (effect != nullptr) {
        effect->setBlockSize(1024);
        effect->setProgram(0);
    }
    for (UInt32 i = 0; i < numPrograms; ++i)
        presets[i] = AUPreset{static_cast<SInt32>(i), macRomanString("Default")};
}

AUPLUGIN::~AUPLUGIN() {
    CloseEditor();  // a host that disposes of the unit before its view
    for (CFStringRef& name : paramNames) releaseIfSet(name);
    for (AUPreset& preset : presets) releaseIfSet(preset.presetName);
    delete effect;
}

void AUPLUGIN::CloseEditor() {
    if (editorView == nullptr) return;
    editorView = nullptr;
    if (aeffect != nullptr && aeffect->dispatcher != nullptr)
        aeffect->dispatcher(aeffect, EffectOpcode::EditClose, 0, 0, nullptr, 0.0f);
}

CFStringRef AUPLUGIN::MakeParamName(int index) {
    char text[256] = {};
    if (effect != nullptr) effect->getParameterName(index, text);
    text[254] = '\0';
    if (text[0] == '~' || text[0] == '-') text[0] = '\0';  // hidden parameters
    return macRomanString(text);
}

void AUPLUGIN::RebuildParamNames() {
    for (UInt32 i = 0; i < numParams; ++i) {
        releaseIfSet(paramNames[i]);
        paramNames[i] = MakeParamName(static_cast<int>(i));
    }
}

void AUPLUGIN::ResizeScratch(UInt32 frames) {
    const std::size_t size = std::max<std::size_t>(kScratchFrames, frames);
    if (scratch.size() < size) {
        scratch.assign(size, 0.0f);
        scratchOut.assign(size, 0.0f);
    }
}

void AUPLUGIN::PassSampleRate() {
    if (effect == nullptr) return;
    effect->suspend();
    effect->setSampleRate(static_cast<float>(GetSampleRate()));
    effect->resume();
}

void AUPLUGIN::PassBlockSize(UInt32 frames) {
    if (effect == nullptr) return;
    effect->suspend();
    effect->setBlockSize(static_cast<int>(frames));
    effect->resume();
}

bool AUPLUGIN::ReadProgramRecord(int, char*, std::size_t, float*) {
    return false;
}

bool AUPLUGIN::WriteProgramRecord(int, const char*, const float*) {
    return false;
}

// ---------------------------------------------------------------- life cycle and formats
OSStatus AUPLUGIN::Initialize() {
    if (effect == nullptr) return kAudioUnitErr_Uninitialized;
    const auto inputs = static_cast<SInt16>(Input(0).NumberChannels());
    const auto outputs = static_cast<SInt16>(Output(0).NumberChannels());
    const bool supported = std::any_of(
        std::begin(kChannelTable), std::end(kChannelTable),
        [&](const AUChannelInfo& row) { return row.inChannels == inputs && row.outChannels == outputs; });
    if (!supported) return kAudioUnitErr_FormatNotSupported;

    ResizeScratch(GetMaxFramesPerSlice());
    effect->suspend();
    effect->setSampleRate(static_cast<float>(GetSampleRate()));
    effect->setBlockSize(static_cast<int>(GetMaxFramesPerSlice()));
    GetProgramNames();
    effect->resume();
    for (UInt32 i = 0; i < numParams; ++i)
        Globals().SetParameter(i, effect->getParameter(static_cast<int>(i)));
    SetInitialized(true);
    return 0;
}

void AUPLUGIN::Cleanup() {
    // On the host's main thread, where the effect may finish what the render thread left it.
    if (effect != nullptr) effect->suspend();
}

OSStatus AUPLUGIN::Reset(AudioUnitScope scope, AudioUnitElement element) {
    if (effect != nullptr) {
        effect->suspend();
        effect->resume();
    }
    return AUBase::Reset(scope, element);
}

void AUPLUGIN::SetMaxFramesPerSlice(UInt32 frames) {
    AUBase::SetMaxFramesPerSlice(frames);
    ResizeScratch(frames);
    PassBlockSize(frames);
}

// An input of no channels is how a host says the unit has no input (the 0-in/2-out row).
bool AUPLUGIN::ValidFormat(AudioUnitScope scope, AudioUnitElement,
                           const AudioStreamBasicDescription& format) {
    if (scope == kAudioUnitScope_Input && format.mChannelsPerFrame == 0)
        return format.mFormatID == kAudioFormatLinearPCM;
    return format.mFormatID == kAudioFormatLinearPCM &&
           format.mFormatFlags == kAudioFormatFlagsCanonicalNonInterleaved && format.mBytesPerPacket == 4 &&
           format.mFramesPerPacket == 1 && format.mBytesPerFrame == 4 && format.mBitsPerChannel == 32 &&
           (format.mChannelsPerFrame == 1 || format.mChannelsPerFrame == 2);
}

bool AUPLUGIN::StreamFormatWritable(AudioUnitScope, AudioUnitElement) {
    return !IsInitialized();
}

OSStatus AUPLUGIN::ChangeStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                      const AudioStreamBasicDescription& oldFormat,
                                      const AudioStreamBasicDescription& newFormat) {
    sampleRate.store(newFormat.mSampleRate, std::memory_order_relaxed);
    PassSampleRate();
    return AUBase::ChangeStreamFormat(scope, element, oldFormat, newFormat);
}

UInt32 AUPLUGIN::SupportedNumChannels(const AUChannelInfo** outInfo) {
    if (outInfo != nullptr) *outInfo = kChannelTable;
    return static_cast<UInt32>(std::size(kChannelTable));
}

UInt32 AUPLUGIN::GetNumberOfChannels() {
    return Output(0).NumberChannels();
}

Float64 AUPLUGIN::GetLatency() {
    if (aeffect == nullptr) return 0.0;
    return aeffect->initialDelay / GetSampleRate();
}

Float64 AUPLUGIN::GetTailTime() {
    if (effect == nullptr) return 0.0;
    return effect->getGetTailSize() / static_cast<Float64>(effect->getSampleRate());
}

// ---------------------------------------------------------------- parameters
OSStatus AUPLUGIN::GetParameterList(AudioUnitScope scope, AudioUnitParameterID* outList, UInt32& outCount) {
    if (scope != kAudioUnitScope_Global || aeffect == nullptr)
        return AUBase::GetParameterList(scope, outList, outCount);
    if (outList != nullptr)
        for (UInt32 i = 0; i < numParams && i < outCount; ++i) outList[i] = i;
    outCount = numParams;
    return 0;
}

bool AUPLUGIN::IsParamValid(AudioUnitParameterID id) const {
    return aeffect != nullptr && id < numParams;
}

OSStatus AUPLUGIN::GetParameterValueStrings(AudioUnitScope, AudioUnitParameterID, CFArrayRef*) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUPLUGIN::GetParameterInfo(AudioUnitScope scope, AudioUnitParameterID id,
                                    AudioUnitParameterInfo& outInfo) {
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidParameter;
    outInfo.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;
    if (!IsInitialized()) outInfo.flags |= kAudioUnitParameterFlag_IsGlobalMeta;
    outInfo.unit = kAudioUnitParameterUnit_Generic;
    outInfo.minValue = 0.0f;
    outInfo.maxValue = 1.0f;
    outInfo.defaultValue = 0.5f;
    if (id < numParams) {
        if (paramNames[id] == nullptr) paramNames[id] = MakeParamName(static_cast<int>(id));
        outInfo.cfNameString = paramNames[id];
        outInfo.flags |= kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_ValuesHaveStrings;
    } else {
        outInfo.cfNameString =
            CFStringCreateWithCString(kCFAllocatorDefault, "Generic", kCFStringEncodingUTF8);
        outInfo.flags |= kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;
    }
    // The name field gets as much of the text as fits, as UTF-8.
    char text[512] = {};
    CFStringGetCString(outInfo.cfNameString, text, sizeof text, kCFStringEncodingUTF8);
    std::snprintf(outInfo.name, sizeof outInfo.name, "%s", text);
    return 0;
}

OSStatus AUPLUGIN::GetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                AudioUnitParameterValue& outValue) {
    if (scope != kAudioUnitScope_Global || !IsParamValid(id))
        return AUBase::GetParameter(id, scope, element, outValue);
    outValue = effect->getParameter(static_cast<int>(id));
    return 0;
}

OSStatus AUPLUGIN::SetParameter(AudioUnitParameterID id, AudioUnitScope scope, AudioUnitElement element,
                                AudioUnitParameterValue value, UInt32 bufferOffset) {
    const OSStatus status = AUBase::SetParameter(id, scope, element, value, bufferOffset);
    if (status == 0 && scope == kAudioUnitScope_Global && IsParamValid(id))
        effect->setParameter(static_cast<int>(id), value);
    return status;
}

// Events take effect at their frames as the render slices reach them, not before.
OSStatus AUPLUGIN::ScheduleParameter(const AudioUnitParameterEvent* list, UInt32 count) {
    return AUBase::ScheduleParameter(list, count);
}

void AUPLUGIN::SynchronizeParams() {
    if (effect == nullptr) return;
    for (UInt32 i = 0; i < numParams; ++i)
        Globals().SetParameter(i, effect->getParameter(static_cast<int>(i)));
}

// ---------------------------------------------------------------- properties
OSStatus AUPLUGIN::GetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                   UInt32& outDataSize, Boolean& outWritable) {
    if (scope == kAudioUnitScope_Global) {
        auto answer = [&](UInt32 size, bool writable) {
            outDataSize = size;
            outWritable = writable;
            return OSStatus{0};
        };
        switch (id) {
            case kAudioUnitProperty_SampleRate:
                return answer(sizeof(Float64), true);
            case kAudioUnitProperty_BypassEffect:
                return answer(sizeof(UInt32), true);
            case kAudioUnitProperty_InPlaceProcessing:
                return answer(sizeof(UInt32), false);
            case kAudioUnitProperty_CocoaUI:
                return answer(sizeof(AudioUnitCocoaViewInfo), false);
            case kAudioUnitProperty_ParameterStringFromValue:
                return answer(sizeof(AudioUnitParameterStringFromValue), false);
            case kAudioUnitProperty_ParameterValueFromString:
                return answer(sizeof(AudioUnitParameterValueFromString), false);
            case kMusicDeviceProperty_InstrumentCount:
                return answer(sizeof(UInt32), false);
            case kEditorViewProperty:
                return answer(sizeof(void*), true);
            case kEditorSizeProperty:
                return answer(2 * sizeof(double), false);
            case kEditorIdleProperty:
                return answer(sizeof(void*), true);
            case kQuietSpanProperty:
                return answer(sizeof(UInt64), false);
            default:
                break;
        }
    }
    const OSStatus status = AUBase::GetPropertyInfo(id, scope, element, outDataSize, outWritable);
    if (status != kAudioUnitErr_InvalidProperty) return status;
    return DelegateGetPropertyInfo(id, scope, element, outDataSize, outWritable);
}

OSStatus AUPLUGIN::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                               void* outData) {
    if (scope == kAudioUnitScope_Global) {
        switch (id) {
            case kAudioUnitProperty_SampleRate:
                *static_cast<Float64*>(outData) = GetSampleRate();
                return 0;
            case kAudioUnitProperty_FastDispatch: {
                if (element != kMusicDeviceMIDIEventFastDispatch) return kAudioUnitErr_InvalidElement;
                const AUMIDIEventProc proc = &AUPLUGINMIDIEvent;
                std::memcpy(outData, &proc, sizeof proc);
                return 0;
            }
            case kAudioUnitProperty_BypassEffect:
                *static_cast<UInt32*>(outData) = IsBypassed() ? 1 : 0;
                return 0;
            case kAudioUnitProperty_InPlaceProcessing:
                *static_cast<UInt32*>(outData) = 0;
                return 0;
            case kAudioUnitProperty_CocoaUI: {
                CFRef<CFStringRef> identifier = makeCFString(kBundleIdentifier);
                CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier.get());
                if (bundle == nullptr) return kAudio_FileNotFoundError;
                auto* info = static_cast<AudioUnitCocoaViewInfo*>(outData);
                info->mCocoaAUViewBundleLocation =
                    makeCFString(tarnwell::cf::bundlePath(bundle).c_str()).release();
                info->mCocoaAUViewClass[0] = makeCFString(kViewFactoryClass).release();
                return 0;
            }
            case kAudioUnitProperty_ParameterStringFromValue:
                return ParameterStringFromValue(*static_cast<AudioUnitParameterStringFromValue*>(outData));
            case kAudioUnitProperty_ParameterValueFromString:
                return ParameterValueFromString(*static_cast<AudioUnitParameterValueFromString*>(outData));
            case kMusicDeviceProperty_InstrumentCount:
                *static_cast<UInt32*>(outData) = 0;
                return 0;
            case kEditorSizeProperty: {
                if (aeffect == nullptr) return -1;
                ERect* rect = nullptr;
                aeffect->dispatcher(aeffect, EffectOpcode::EditGetRect, 0, 0, &rect, 0.0f);
                // Without an editor there is no rectangle: report an empty one.
                const double size[2] = {
                    rect != nullptr ? static_cast<double>(rect->right - rect->left) : 0.0,
                    rect != nullptr ? static_cast<double>(rect->bottom - rect->top) : 0.0};
                std::memcpy(outData, size, sizeof size);
                return 0;
            }
            case kQuietSpanProperty: {
                long long frames = 0;
                if (aeffect == nullptr ||
                    aeffect->dispatcher(aeffect, EffectOpcode::VendorSpecific, QuietSpanRequest::kIndex,
                                        static_cast<intptr_t>(QuietSpanRequest::kValue), &frames, 0.0f) != 1)
                    return kAudioUnitErr_InvalidProperty;
                const auto span = static_cast<UInt64>(frames);
                std::memcpy(outData, &span, sizeof span);
                return 0;
            }
            case kAudioUnitProperty_ClassInfo:
            case kAudioUnitProperty_FactoryPresets:
            case kAudioUnitProperty_CurrentPreset:
            case kAudioUnitProperty_PresentPreset:
                RefreshPresetNamesIfStale();
                break;
            default:
                break;
        }
    }
    const OSStatus status = AUBase::GetProperty(id, scope, element, outData);
    if (status != kAudioUnitErr_InvalidProperty) return status;
    return DelegateGetProperty(id, scope, element, outData);
}

OSStatus AUPLUGIN::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                               const void* inData, UInt32 inDataSize) {
    if (id == kAudioUnitProperty_SampleRate) {  // any scope
        if (inDataSize != sizeof(Float64) || inData == nullptr) return 0;
        sampleRate.store(*static_cast<const Float64*>(inData), std::memory_order_relaxed);
        PassSampleRate();
        return 0;
    }
    if (scope == kAudioUnitScope_Global) {
        switch (id) {
            case kAudioUnitProperty_BypassEffect: {
                if (inDataSize < sizeof(UInt32) || inData == nullptr)
                    return kAudioUnitErr_InvalidPropertyValue;
                const bool wanted = *static_cast<const UInt32*>(inData) != 0;
                if (wanted == IsBypassed()) return 0;
                if (!wanted && IsInitialized()) Reset(kAudioUnitScope_Global, 0);  // start clean after bypass
                bypass.store(wanted, std::memory_order_relaxed);
                return 0;
            }
            case kEditorViewProperty: {
                // A view hands itself over to show the editor; a view going away hands over no
                // view (no data, too few bytes or a null pointer) and the editor closes. An
                // editor still open in another view closes first.
                void* view = nullptr;
                if (inData != nullptr && inDataSize >= sizeof view) std::memcpy(&view, inData, sizeof view);
                CloseEditor();
                if (view != nullptr && aeffect != nullptr && aeffect->dispatcher != nullptr &&
                    aeffect->dispatcher(aeffect, EffectOpcode::EditOpen, 0, 0, view, 0.0f) != 0)
                    editorView = view;
                return 0;
            }
            case kEditorIdleProperty:
                if (aeffect != nullptr && aeffect->dispatcher != nullptr)
                    aeffect->dispatcher(aeffect, EffectOpcode::EditIdle, 0, 0, nullptr, 0.0f);
                return 0;
            default:
                break;
        }
    }
    const OSStatus status = AUBase::SetProperty(id, scope, element, inData, inDataSize);
    if (status != kAudioUnitErr_InvalidProperty) return status;
    return DelegateSetProperty(id, scope, element, inData, inDataSize);
}

OSStatus AUPLUGIN::ParameterStringFromValue(AudioUnitParameterStringFromValue& request) {
    if (aeffect == nullptr) return 0;
    if (request.inParamID >= numParams) return kAudioUnitErr_InvalidParameter;
    const int id = static_cast<int>(request.inParamID);
    const bool valueGiven = request.inValue != nullptr;
    const float remembered = effect->getParameter(id);
    if (valueGiven) effect->setParameter(id, *request.inValue);

    char text[512] = {};
    effect->getParameterDisplay(id, text);
    text[32] = '\0';
    std::size_t length = std::strlen(text);
    text[length++] = ' ';
    effect->getParameterLabel(id, text + length);
    text[sizeof text - 1] = '\0';

    // Asking for a text never changes the effect, whatever value was asked about.
    if (valueGiven) effect->setParameter(id, remembered);
    request.outString = macRomanString(text);
    return 0;
}

// The effect reads the text as its type-in does (string2parameter); the value it came to is
// the answer, and the parameter is set back as it was.
OSStatus AUPLUGIN::ParameterValueFromString(AudioUnitParameterValueFromString& request) {
    if (aeffect == nullptr || request.inParamID >= numParams) return kAudioUnitErr_InvalidParameter;
    char text[256] = {};
    if (request.inString == nullptr ||
        !CFStringGetCString(request.inString, text, sizeof text, kCFStringEncodingUTF8))
        return kAudioUnitErr_InvalidPropertyValue;
    const int id = static_cast<int>(request.inParamID);
    const float remembered = effect->getParameter(id);
    if (!effect->string2parameter(id, text)) return kAudioUnitErr_InvalidPropertyValue;
    request.outValue = effect->getParameter(id);
    effect->setParameter(id, remembered);
    return 0;
}

// ---------------------------------------------------------------- presets
OSStatus AUPLUGIN::GetPresets(CFArrayRef* outData) {
    if (numPrograms == 0) return kAudioUnitErr_InvalidProperty;
    if (outData == nullptr) return 0;
    RefreshPresetNamesIfStale();
    CFMutableArrayRef list =
        CFArrayCreateMutable(kCFAllocatorDefault, static_cast<CFIndex>(numPrograms), nullptr);
    for (UInt32 i = 0; i < numPrograms; ++i) CFArrayAppendValue(list, &presets[i]);
    *outData = list;
    return 0;
}

OSStatus AUPLUGIN::NewFactoryPresetSet(const AUPreset& preset) {
    for (UInt32 i = 0; i < numPrograms; ++i) {
        if (presets[i].presetNumber != preset.presetNumber) continue;
        effect->setProgram(static_cast<int>(i));
        RefreshPresetNamesIfStale();
        SetAFactoryPresetAsCurrent(presets[i]);
        return 0;
    }
    return kAudioUnitErr_InvalidPropertyValue;
}

void AUPLUGIN::GetProgramNames() {
    presetNamesStale.store(false, std::memory_order_relaxed);
    if (effect == nullptr) return;
    for (UInt32 i = 0; i < numPrograms; ++i) {
        char text[256] = "Default";
        effect->getProgramNameIndexed(0, static_cast<int>(i), text);
        text[sizeof text - 1] = '\0';
        CFStringRef name = macRomanString(text);
        releaseIfSet(presets[i].presetName);
        presets[i].presetName = name;
    }
}

void AUPLUGIN::RefreshPresetNamesIfStale() {
    if (!presetNamesStale.exchange(false, std::memory_order_acq_rel)) return;
    GetProgramNames();
    const int current = effect != nullptr ? effect->getProgram() : -1;
    if (current >= 0 && static_cast<UInt32>(current) < numPrograms)
        SetAFactoryPresetAsCurrent(presets[current]);
}

// Host request 42. It may come from the render thread, where no names may be built: the
// names are marked stale and rebuilt when the host next reads the presets.
void AUPLUGIN::AnnounceDisplayUpdate() {
    if (effect == nullptr) return;
    SynchronizeParams();
    if (IsInitialized()) {
        presetNamesStale.store(true, std::memory_order_release);
        PropertyChanged(kAudioUnitProperty_CurrentPreset, kAudioUnitScope_Global, 0);
    }
    PropertyChanged(kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0);
}

// ---------------------------------------------------------------- rendering
namespace {

// The input and output lists of one render, shared by its slices.
struct SliceContext {
    AudioUnitRenderActionFlags* flags;
    const AudioBufferList* in;
    AudioBufferList* out;
};

// A copy of a buffer list starting frames later, on the stack.
class OffsetBufferList {
public:
    OffsetBufferList(const AudioBufferList& source, UInt32 startFrame)
        : list(new (bytes)
                   AudioBufferList{std::min<UInt32>(source.mNumberBuffers, AUIOElement::kMaxChannels), {}}) {
        AudioBuffer* to = list->mBuffers;
        const AudioBuffer* from = source.mBuffers;
        for (UInt32 i = 0; i < list->mNumberBuffers; ++i) {
            to[i] = from[i];
            if (to[i].mData != nullptr) to[i].mData = static_cast<float*>(from[i].mData) + startFrame;
        }
    }
    AudioBufferList& get() { return *list; }

private:
    alignas(AudioBufferList) unsigned char bytes[AudioBufferList::byteSize(AUIOElement::kMaxChannels)];
    AudioBufferList* list;
};

}  // namespace

OSStatus AUPLUGIN::Render(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp, UInt32 frames) {
    renderTime = timeStamp;
    AUInputElement* input = static_cast<AUInputElement*>(Inputs().GetElement(0));
    if (input == nullptr || !input->HasConnection()) return kAudioUnitErr_NoConnection;
    const OSStatus pulled = input->PullInput(flags, timeStamp, 0, frames);
    if (pulled != 0) return pulled;
    ApplyInputSilence(flags, frames);

    AudioBufferList& in = input->GetBufferList();
    AUOutputElement& output = Output(0);
    if (!output.HasBuffers()) throw static_cast<OSStatus>(-1);
    // In place only when every output channel has an input channel to write over.
    if (inPlaceAllowed && processInputs == processOutputs && in.mNumberBuffers == output.NumberChannels())
        output.SetBufferList(in);
    AudioBufferList& out = output.GetBufferList();

    renderFrames = frames;
    sliceStart = 0;
    SliceContext context{&flags, &in, &out};
    const OSStatus status = HasPendingParamEvents() ? ProcessForScheduledParams(frames, &context)
                                                    : ProcessBufferLists(flags, in, out, frames);
    sliceStart = 0;
    renderFrames = 0;  // a later direct call is a whole render of its own
    return status;
}

OSStatus AUPLUGIN::ProcessScheduledSlice(void* userData, UInt32 startFrame, UInt32 sliceFrames,
                                         UInt32 totalFrames) {
    auto& context = *static_cast<SliceContext*>(userData);
    OffsetBufferList in(*context.in, startFrame);
    OffsetBufferList out(*context.out, startFrame);
    sliceStart = startFrame;
    renderFrames = totalFrames;
    return ProcessBufferLists(*context.flags, in.get(), out.get(), sliceFrames);
}

OSStatus AUPLUGIN::ProcessBufferLists(AudioUnitRenderActionFlags& flags, const AudioBufferList& in,
                                      AudioBufferList& out, UInt32 frames) {
    if (frames == 0) return 0;
    const AudioBuffer* inBuffers = in.mBuffers;
    AudioBuffer* outBuffers = out.mBuffers;

    if ((flags & kAudioUnitRenderAction_OutputIsSilence) != 0 && processInputs != 0) {
        // Silent input stays silent; only output buffers that are not the input need clearing.
        for (UInt32 i = 0; i < out.mNumberBuffers; ++i)
            if (i >= in.mNumberBuffers || outBuffers[i].mData != inBuffers[i].mData)
                std::memset(outBuffers[i].mData, 0, frames * sizeof(float));
        return 0;
    }

    if (!IsBypassed()) {
        if (sliceStart == 0) StageQueuedMidi();
        DeliverMidiForSlice(frames);
        if (aeffect != nullptr && aeffect->dispatcher != nullptr)
            aeffect->dispatcher(aeffect, EffectOpcode::ProcessEvents, 0, 0, events, 0.0f);

        float* inputs[2] = {nullptr, nullptr};
        float* outputs[2] = {nullptr, nullptr};
        for (UInt32 i = 0; i < std::min<UInt32>(in.mNumberBuffers, processInputs) && i < 2; ++i)
            inputs[i] = static_cast<float*>(inBuffers[i].mData);
        for (UInt32 i = 0; i < std::min<UInt32>(out.mNumberBuffers, processOutputs) && i < 2; ++i)
            outputs[i] = static_cast<float*>(outBuffers[i].mData);
        if (inputs[0] == nullptr) {  // no input: the effect hears silence
            std::fill_n(scratch.begin(), frames, 0.0f);
            inputs[0] = scratch.data();
        }
        if (outputs[0] == nullptr) outputs[0] = scratchOut.data();
        // A mono bus feeds or takes both effect channels.
        if (inputs[1] == nullptr) inputs[1] = inputs[0];
        if (outputs[1] == nullptr) outputs[1] = outputs[0];

        if (effect != nullptr) effect->processReplacing(inputs, outputs, static_cast<int>(frames));
        events->numEvents = 0;
    } else if (in.mNumberBuffers == 0) {
        for (UInt32 i = 0; i < out.mNumberBuffers; ++i)
            std::memset(outBuffers[i].mData, 0, frames * sizeof(float));
    } else {
        for (UInt32 i = 0; i < out.mNumberBuffers; ++i) {
            const void* source = inBuffers[std::min(i, in.mNumberBuffers - 1)].mData;
            if (outBuffers[i].mData != source)
                std::memmove(outBuffers[i].mData, source, frames * sizeof(float));
        }
    }
    return 0;
}

bool AUPLUGIN::IsInputSilent(AudioUnitRenderActionFlags flags, UInt32 frames) {
    if ((flags & kAudioUnitRenderAction_OutputIsSilence) == 0) {
        tailReset = true;
        return false;
    }
    if (tailReset) {
        tailCountdown = static_cast<int>(GetSampleRate() * (GetLatency() + GetTailTime()));
        tailReset = false;
    }
    if (tailCountdown < 1) return true;
    tailCountdown -= static_cast<int>(frames);
    return false;
}

// ---------------------------------------------------------------- MIDI
OSStatus AUPLUGIN::HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                   UInt32 offsetSampleFrame) {
    // A full queue (1024 waiting) drops the event.
    midiQueue.push(QueuedMidiEvent{static_cast<uint8_t>(status | channel), data1, data2, offsetSampleFrame});
    return 0;
}

void AUPLUGIN::StageQueuedMidi() {
    QueuedMidiEvent event{};
    while (stagedCount < kMaxMidiEvents && midiQueue.pop(event))
        staged[static_cast<std::size_t>(stagedCount++)] = event;
}

// Moves the staged events that fall inside this slice (all that are left, in the last slice)
// into the list for the effect, offsets relative to the slice and clamped into it.
void AUPLUGIN::DeliverMidiForSlice(UInt32 frames) {
    const UInt64 sliceEnd = static_cast<UInt64>(sliceStart) + frames;
    const bool lastSlice = renderFrames == 0 || sliceEnd >= renderFrames;
    VstEvent** list = events->events;
    int delivered = 0;
    int kept = 0;
    for (int i = 0; i < stagedCount; ++i) {
        const QueuedMidiEvent& event = staged[static_cast<std::size_t>(i)];
        if (!lastSlice && event.offset >= sliceEnd) {
            staged[static_cast<std::size_t>(kept++)] = event;
            continue;
        }
        const SInt64 offset = static_cast<SInt64>(event.offset) - sliceStart;
        VstMidiEvent& record = midiEvents[static_cast<std::size_t>(delivered)];
        record = VstMidiEvent{};
        record.type = kVstMidiType;
        record.byteSize = 24;
        record.deltaFrames =
            static_cast<int32_t>(std::clamp<SInt64>(offset, 0, static_cast<SInt64>(frames) - 1));
        record.midiData[0] = static_cast<char>(event.status);
        record.midiData[1] = static_cast<char>(event.data1);
        record.midiData[2] = static_cast<char>(event.data2);
        list[delivered++] = reinterpret_cast<VstEvent*>(&record);
    }
    stagedCount = kept;
    events->numEvents = delivered;
}

OSStatus AUPLUGINMIDIEvent(void* unitStorage, UInt32 status, UInt32 data1, UInt32 data2,
                           UInt32 offsetSampleFrame) {
    if (unitStorage == nullptr) return kAudio_ParamError;
    return ComponentBase::Guard([&] {
        return static_cast<AUPLUGIN*>(unitStorage)->MIDIEvent(status, data1, data2, offsetSampleFrame);
    });
}

// ---------------------------------------------------------------- time information
VstTimeInfo* AUPLUGIN::GetTimeInfo() {
    static constexpr int32_t kSmpteRates[6] = {0, 1, 5, 3, 2, 4};
    timeInfo = VstTimeInfo{};
    timeInfo.tempo = 120.0;
    timeInfo.samplePos = renderTime.mSampleTime;
    timeInfo.sampleRate = GetSampleRate();
    timeInfo.nanoSeconds = static_cast<double>(renderTime.mHostTime);
    timeInfo.smpteOffset = static_cast<int32_t>(renderTime.mSMPTETime.mCounter);
    if (renderTime.mSMPTETime.mType < 6) timeInfo.smpteFrameRate = kSmpteRates[renderTime.mSMPTETime.mType];
    int32_t flags = 0;
    if ((renderTime.mFlags & kAudioTimeStampHostTimeValid) != 0) flags |= timeNanosValid;
    if ((renderTime.mFlags & kAudioTimeStampSMPTETimeValid) != 0) flags |= timeSmpteValid;

    Float64 beat = 0.0;
    if (HasBeatAndTempoCallback()) {
        Float64 tempo = 0.0;
        if (CallHostBeatAndTempo(&beat, &tempo) == 0) {
            timeInfo.tempo = tempo;
            flags |= timeTempoValid;
            if (tempo == 0.0) return nullptr;
        } else {
            beat = 0.0;
        }
    }

    UInt32 samplesToNextBeat = 0;
    Float32 numerator = 0.0f;
    UInt32 denominator = 0;
    Float64 downBeat = 0.0;
    if (HasMusicalTimeCallback() &&
        CallHostMusicalTimeLocation(&samplesToNextBeat, &numerator, &denominator, &downBeat) == 0) {
        timeInfo.samplesToNextClock = static_cast<int32_t>(samplesToNextBeat);
        timeInfo.timeSigNumerator = static_cast<int32_t>(numerator);
        timeInfo.timeSigDenominator = static_cast<int32_t>(denominator);
        Boolean playing = 0;
        Boolean changed = 0;
        Boolean cycling = 0;
        Float64 samplePosition = 0.0;
        Float64 cycleStart = 0.0;
        Float64 cycleEnd = 0.0;
        const bool transportKnown =
            HasTransportStateCallback() && CallHostTransportState(&playing, &changed, &samplePosition,
                                                                  &cycling, &cycleStart, &cycleEnd) == 0;
        if (!HasTransportStateCallback() || (transportKnown && changed)) flags |= timeTransportChanged;
        if (transportKnown && playing) flags |= timeTransportPlaying;
        timeInfo.ppqPos = beat;
        timeInfo.barStartPos = downBeat;
        flags |= timePpqPosValid | timeBarsValid | timeSigValid;
    }
    timeInfo.flags = flags;
    return &timeInfo;
}

// ---------------------------------------------------------------- state
OSStatus AUPLUGIN::SaveState(CFPropertyListRef* outData) {
    if (effect == nullptr) return AUBase::SaveState(outData);
    const int current = effect->getProgram();
    SynchronizeParams();
    const OSStatus status = AUBase::SaveState(outData);
    if (status != 0) return status;
    auto dict = static_cast<CFMutableDictionaryRef>(const_cast<void*>(*outData));

    void* chunk = nullptr;
    const int size = effect->getChunk(&chunk, false);
    if (size != 0 && size != -1 && chunk != nullptr && size > 0) {
        CFRef<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, static_cast<const UInt8*>(chunk), size));
        dictionarySet(dict, "mChunkData", data.get());
    } else {
        const std::size_t recordSize = kProgramNameBytes + 4 * static_cast<std::size_t>(numParams);
        std::vector<UInt8> bytes(recordSize * numPrograms, 0);
        std::vector<float> values(numParams);
        for (UInt32 p = 0; p < numPrograms; ++p) {
            UInt8* record = bytes.data() + recordSize * p;
            char name[256] = {};
            if (ReadProgramRecord(static_cast<int>(p), name, sizeof name, values.data())) {
                name[sizeof name - 1] = '\0';
            } else if (static_cast<int>(p) == current) {
                effect->getProgramName(name);
                for (UInt32 i = 0; i < numParams; ++i) values[i] = effect->getParameter(static_cast<int>(i));
            } else {
                std::fill(values.begin(), values.end(), 0.0f);
            }
            std::memcpy(record, name, kProgramNameBytes - 1);  // first 27 bytes, then the 0
            record[kProgramNameBytes - 1] = 0;
            for (UInt32 i = 0; i < numParams; ++i)
                putBigEndianFloat(record + kProgramNameBytes + 4 * i, values[i]);
        }
        CFRef<CFDataRef> data(
            CFDataCreate(kCFAllocatorDefault, bytes.data(), static_cast<CFIndex>(bytes.size())));
        dictionarySet(dict, "mCompleteData", data.get());
    }
    const SInt32 program = current;
    CFRef<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &program));
    dictionarySet(dict, "mCurPreset", number.get());
    return 0;
}

OSStatus AUPLUGIN::RestoreState(CFPropertyListRef plist) {
    // A state that is not this unit's is refused before anything of the effect changes.
    if (effect == nullptr || CheckStateHeader(plist) != 0) return AUBase::RestoreState(plist);
    auto dict = static_cast<CFDictionaryRef>(plist);

    const void* chunk = dictionaryValue(dict, "mChunkData");
    if (chunk != nullptr && CFGetTypeID(chunk) == CFDataGetTypeID()) {
        auto data = static_cast<CFDataRef>(chunk);
        std::vector<UInt8> bytes(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
        effect->setChunk(bytes.data(), static_cast<int>(bytes.size()), false);
    }

    const void* complete = dictionaryValue(dict, "mCompleteData");
    if (complete != nullptr && CFGetTypeID(complete) == CFDataGetTypeID()) {
        auto data = static_cast<CFDataRef>(complete);
        const std::size_t recordSize = kProgramNameBytes + 4 * static_cast<std::size_t>(numParams);
        if (static_cast<std::size_t>(CFDataGetLength(data)) != recordSize * numPrograms) {
            std::fputs("Fatal error, preset Size wrong!\n", stderr);
        } else {
            const UInt8* bytes = CFDataGetBytePtr(data);
            const int current = effect->getProgram();
            std::vector<float> values(numParams);
            for (UInt32 p = 0; p < numPrograms; ++p) {
                const UInt8* record = bytes + recordSize * p;
                char name[kProgramNameBytes];
                std::memcpy(name, record, kProgramNameBytes);
                name[kProgramNameBytes - 1] = '\0';
                for (UInt32 i = 0; i < numParams; ++i)
                    values[i] = readBigEndianFloat(record + kProgramNameBytes + 4 * i);
                if (WriteProgramRecord(static_cast<int>(p), name, values.data())) continue;
                if (static_cast<int>(p) != current) continue;
                effect->setProgramName(name);
                for (UInt32 i = 0; i < numParams; ++i) effect->setParameter(static_cast<int>(i), values[i]);
            }
        }
    }

    const void* preset = dictionaryValue(dict, "mCurPreset");
    SInt32 program = 0;
    if (preset != nullptr && CFGetTypeID(preset) == CFNumberGetTypeID() &&
        CFNumberGetValue(static_cast<CFNumberRef>(preset), kCFNumberSInt32Type, &program))
        effect->setProgram(program);
    return AUBase::RestoreState(plist);
}

OSStatus AUPLUGIN::ComponentEntryDispatch(ComponentParameters* params, AUPLUGIN* unit) {
    if (unit == nullptr || params == nullptr) return kAudio_ParamError;
    if (params->what == kMusicDeviceMIDIEventSelect || params->what == kMusicDeviceSysExSelect)
        return AUMIDIBase::ComponentEntryDispatch(params, unit);
    return AUBase::ComponentEntryDispatch(params, unit);
}
