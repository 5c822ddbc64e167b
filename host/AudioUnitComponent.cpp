#include "host/AudioUnitComponent.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "component/TarnwellComponent.h"
#include "host/HostError.h"

namespace {

// The unit's answer as part of a message: what failed and its status code.
void check(OSStatus status, const std::string& what) {
    if (status != 0)
        throw HostError("the effect component " + what + " (error " + std::to_string(status) + ")");
}

AudioComponent findOrLoad(const std::string& library) {
    if (AudioComponent found = AudioComponentFindNext(nullptr, &kTarnwellComponentDescription)) return found;
    std::string error;
    AudioComponent loaded = tarnwell::au::loadComponent(library, kTarnwellComponentDescription, error);
    if (loaded == nullptr)
        throw fileError(library, "cannot be loaded as the effect component (" + error + ")");
    return loaded;
}

AudioStreamBasicDescription floatFormat(double sampleRate, UInt32 channels) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagsCanonicalNonInterleaved;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    return f;
}

std::string text(CFStringRef string) {
    if (string == nullptr) return {};
    std::vector<char> buffer(1024);
    if (!CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()),
                            kCFStringEncodingUTF8))
        return {};
    return buffer.data();
}

template <typename T>
void setProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, const T& value,
                 const std::string& what) {
    check(AudioUnitSetProperty(unit, id, scope, 0, &value, sizeof value), what);
}

}  // namespace

std::string AudioUnitComponent::besideProgram() {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    const std::filesystem::path program(
        length > 0 ? std::string(self.data(), static_cast<std::size_t>(length)) : "");
    return (program.parent_path() / kTarnwellComponentLibrary).string();
}

AudioUnitComponent::AudioUnitComponent(const std::string& libraryPath)
    : library(libraryPath), outputList(AudioBufferList::byteSize(2)) {
    const AudioComponent component = findOrLoad(library);
    check(AudioComponentInstanceNew(component, &unit), "cannot be opened");
    const HostCallbackInfo callbacks{this, &beatAndTempo, &musicalTimeLocation, &transportState};
    const OSStatus status = AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks,
                                                 kAudioUnitScope_Global, 0, &callbacks, sizeof callbacks);
    if (status != 0) {
        AudioComponentInstanceDispose(unit);
        check(status, "refused the host callbacks");
    }
}

AudioUnitComponent::~AudioUnitComponent() {
    if (initialized) AudioUnitUninitialize(unit);
    AudioComponentInstanceDispose(unit);
}

ComponentIdentity AudioUnitComponent::identity() const {
    return {kTarnwellComponentDescription.componentType, kTarnwellComponentDescription.componentSubType,
            kTarnwellComponentDescription.componentManufacturer};
}

// The adapter offers one factory preset per program it stores.
StateLayout AudioUnitComponent::stateLayout() {
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof presets;
    check(AudioUnitGetProperty(unit, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets,
                               &size),
          "gave no factory presets");
    const CFRef<CFTypeRef> owner(presets);
    return {static_cast<std::uint32_t>(CFArrayGetCount(presets)),
            static_cast<std::uint32_t>(parameters().size())};
}

void AudioUnitComponent::initialize(double sampleRate, std::uint32_t inputChannels, std::uint32_t maxFrames) {
    inputCount = inputChannels;
    inputScratch.assign(inputChannels, std::vector<float>(maxFrames));
    setProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input,
                floatFormat(sampleRate, inputChannels), "refused the input format");
    setProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, floatFormat(sampleRate, 2),
                "refused the output format");
    setProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, UInt32{maxFrames},
                "refused the block size");
    const AURenderCallbackStruct pull{&pullInput, this};
    setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, pull,
                "refused the input callback");
    check(AudioUnitInitialize(unit),
          "cannot be initialised for " + std::to_string(inputChannels) + " input channels");
    initialized = true;
}

std::vector<ParameterInfo> AudioUnitComponent::parameters() {
    UInt32 size = 0;
    Boolean writable = 0;
    check(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                                   &writable),
          "gave no parameter list");
    std::vector<AudioUnitParameterID> ids(size / sizeof(AudioUnitParameterID));
    if (!ids.empty())
        check(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                   ids.data(), &size),
              "gave no parameter list");
    std::vector<ParameterInfo> result;
    result.reserve(ids.size());
    for (AudioUnitParameterID id : ids) {
        AudioUnitParameterInfo info{};
        UInt32 infoSize = sizeof info;
        check(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info,
                                   &infoSize),
              "gave no information on parameter " + std::to_string(id));
        std::string name;
        if ((info.flags & kAudioUnitParameterFlag_HasCFNameString) != 0 && info.cfNameString != nullptr) {
            name = text(info.cfNameString);
            if ((info.flags & kAudioUnitParameterFlag_CFNameRelease) != 0) CFRelease(info.cfNameString);
        } else {
            name.assign(info.name, strnlen(info.name, sizeof info.name));
        }
        result.push_back({id, name});
    }
    return result;
}

float AudioUnitComponent::parameter(std::uint32_t id) {
    AudioUnitParameterValue value = 0.0f;
    check(AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &value),
          "cannot read parameter " + std::to_string(id));
    return value;
}

void AudioUnitComponent::setParameter(std::uint32_t id, float value) {
    check(AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0),
          "refused a value for parameter " + std::to_string(id));
}

std::string AudioUnitComponent::valueText(std::uint32_t id) {
    return shownText(id, nullptr);
}

std::string AudioUnitComponent::valueText(std::uint32_t id, float value) {
    return shownText(id, &value);
}

std::string AudioUnitComponent::shownText(std::uint32_t id, const float* value) {
    AudioUnitParameterStringFromValue request{id, value, nullptr};
    UInt32 size = sizeof request;
    check(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0,
                               &request, &size),
          "gave no value text for parameter " + std::to_string(id));
    std::string result = text(request.outString);
    if (request.outString != nullptr) CFRelease(request.outString);
    result.erase(result.find_last_not_of(' ') + 1);  // the unit label is a blank
    return result;
}

std::optional<float> AudioUnitComponent::valueFromText(std::uint32_t id, const std::string& typed) {
    CFRef<CFStringRef> string(
        CFStringCreateWithCString(kCFAllocatorDefault, typed.c_str(), kCFStringEncodingUTF8));
    AudioUnitParameterValueFromString request{id, string.get(), 0.0f};
    UInt32 size = sizeof request;
    if (string.get() == nullptr || AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString,
                                                        kAudioUnitScope_Global, 0, &request, &size) != 0)
        return std::nullopt;
    return request.outValue;
}

void AudioUnitComponent::scheduleParameter(std::uint32_t id, float value, std::uint32_t frameOffset) {
    AudioUnitParameterEvent event{};
    event.scope = kAudioUnitScope_Global;
    event.element = 0;
    event.parameter = id;
    event.eventType = kParameterEvent_Immediate;
    event.eventValues.immediate.bufferOffset = frameOffset;
    event.eventValues.immediate.value = value;
    check(AudioUnitScheduleParameters(unit, &event, 1),
          "refused a scheduled change of parameter " + std::to_string(id));
}

void AudioUnitComponent::queueMidi(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                   std::uint32_t frameOffset) {
    check(MusicDeviceMIDIEvent(unit, status, data1, data2, frameOffset), "refused a MIDI event");
}

void AudioUnitComponent::setTransport(const TransportState& state) {
    transport = state;
}

void AudioUnitComponent::render(const float* const* input, double sampleTime, std::uint32_t frames,
                                float* const* output) {
    currentInput = input;
    auto* list = reinterpret_cast<AudioBufferList*>(outputList.data());
    list->mNumberBuffers = 2;
    for (UInt32 c = 0; c < 2; ++c)
        list->mBuffers[c] = {1, frames * static_cast<UInt32>(sizeof(float)), output[c]};
    AudioTimeStamp timeStamp{};
    timeStamp.mSampleTime = sampleTime;
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus status = AudioUnitRender(unit, &flags, &timeStamp, 0, frames, list);
    currentInput = nullptr;
    check(status, "failed to render");
}

std::optional<std::uint64_t> AudioUnitComponent::quietSpan() {
    UInt64 frames = 0;
    UInt32 size = sizeof frames;
    if (AudioUnitGetProperty(unit, kTarnwellQuietSpanProperty, kAudioUnitScope_Global, 0, &frames, &size) !=
            0 ||
        size != sizeof frames)
        return std::nullopt;
    return frames;
}

CFRef<CFTypeRef> AudioUnitComponent::saveState() {
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    check(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
          "cannot save its state");
    return CFRef<CFTypeRef>(state);
}

void AudioUnitComponent::restoreState(CFPropertyListRef state) {
    setProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, state, "refused the saved state");
}

OSStatus AudioUnitComponent::pullInput(void* self, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                                       UInt32 frames, AudioBufferList* data) {
    auto* host = static_cast<AudioUnitComponent*>(self);
    if (host->currentInput == nullptr || host->inputCount == 0) return 0;
    for (UInt32 i = 0; i < data->mNumberBuffers; ++i) {
        const float* source = host->currentInput[std::min<UInt32>(i, host->inputCount - 1)];
        AudioBuffer& buffer = data->mBuffers[i];
        // The unit may process in place, so it always gets a copy, never the caller's samples.
        if (buffer.mData == nullptr)
            buffer.mData = host->inputScratch[std::min<UInt32>(i, host->inputCount - 1)].data();
        std::memcpy(buffer.mData, source, frames * sizeof(float));
        buffer.mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    }
    return 0;
}

OSStatus AudioUnitComponent::beatAndTempo(void* self, Float64* beat, Float64* tempo) {
    const TransportState& t = static_cast<AudioUnitComponent*>(self)->transport;
    if (beat != nullptr) *beat = t.beat;
    if (tempo != nullptr) *tempo = t.tempo;
    return 0;
}

OSStatus AudioUnitComponent::musicalTimeLocation(void* self, UInt32* samplesToNextBeat, Float32* numerator,
                                                 UInt32* denominator, Float64* measureDownBeat) {
    const TransportState& t = static_cast<AudioUnitComponent*>(self)->transport;
    if (samplesToNextBeat != nullptr) *samplesToNextBeat = t.samplesToNextBeat;
    if (numerator != nullptr) *numerator = static_cast<Float32>(t.numerator);
    if (denominator != nullptr) *denominator = static_cast<UInt32>(t.denominator);
    if (measureDownBeat != nullptr) *measureDownBeat = t.barStartBeat;
    return 0;
}

OSStatus AudioUnitComponent::transportState(void* self, Boolean* playing, Boolean* changed,
                                            Float64* sampleInTimeline, Boolean* cycling, Float64* cycleStart,
                                            Float64* cycleEnd) {
    const TransportState& t = static_cast<AudioUnitComponent*>(self)->transport;
    if (playing != nullptr) *playing = t.playing;
    if (changed != nullptr) *changed = t.changed;
    if (sampleInTimeline != nullptr) *sampleInTimeline = t.sampleInTimeline;
    if (cycling != nullptr) *cycling = 0;
    if (cycleStart != nullptr) *cycleStart = 0.0;
    if (cycleEnd != nullptr) *cycleEnd = 0.0;
    return 0;
}
