#include "sdk/audiounit/AUScopeElement.h"

#include <new>

#include "sdk/audiounit/AudioToolbox.h"

void AUElement::UseIndexedParameters(UInt32 count) {
    mParameters = std::make_unique<std::atomic<AudioUnitParameterValue>[]>(count);
    for (UInt32 i = 0; i < count; ++i) mParameters[i].store(0.0f, std::memory_order_relaxed);
    mParameterCount = count;
}

AudioUnitParameterValue AUElement::GetParameter(AudioUnitParameterID id) const {
    if (id >= mParameterCount) throw static_cast<OSStatus>(kAudioUnitErr_InvalidParameter);
    return mParameters[id].load(std::memory_order_relaxed);
}

void AUElement::SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value) {
    if (id >= mParameterCount) throw static_cast<OSStatus>(kAudioUnitErr_InvalidParameter);
    mParameters[id].store(value, std::memory_order_relaxed);
}

AUIOElement::AUIOElement(AUBase& unit) : AUElement(unit), mList(new (mListBytes) AudioBufferList{0, {}}) {
    mFormat = AudioStreamBasicDescription{
        44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4, 2, 32, 0};
}

void AUIOElement::AllocateBuffer(UInt32 maxFrames) {
    const UInt32 channels = NumberChannels() < kMaxChannels ? NumberChannels() : kMaxChannels;
    mMemory.assign(static_cast<size_t>(channels) * maxFrames + 1, 0.0f);
    mMaxFrames = maxFrames;
    PrepareBuffer(0);
}

AudioBufferList& AUIOElement::PrepareBuffer(UInt32 frames) {
    const UInt32 channels = NumberChannels() < kMaxChannels ? NumberChannels() : kMaxChannels;
    if (frames > mMaxFrames || mMemory.empty())
        throw static_cast<OSStatus>(kAudioUnitErr_TooManyFramesToProcess);
    mList->mNumberBuffers = channels;
    AudioBuffer* buffers = mList->mBuffers;
    for (UInt32 c = 0; c < channels; ++c)
        buffers[c] = AudioBuffer{1, frames * 4u, mMemory.data() + static_cast<size_t>(c) * mMaxFrames};
    return GetBufferList();
}

void AUIOElement::SetBufferList(const AudioBufferList& list) {
    if (list.mNumberBuffers > NumberChannels() || list.mNumberBuffers > kMaxChannels)
        throw static_cast<OSStatus>(-1);
    mList->mNumberBuffers = list.mNumberBuffers;
    AudioBuffer* buffers = mList->mBuffers;
    const AudioBuffer* source = list.mBuffers;
    for (UInt32 c = 0; c < list.mNumberBuffers; ++c) buffers[c] = source[c];
}

void AUInputElement::SetConnection(const AudioUnitConnection& connection) {
    mSourceOutput.store(connection.sourceOutputNumber, std::memory_order_relaxed);
    mSourceUnit.store(connection.sourceAudioUnit, std::memory_order_release);
    if (connection.sourceAudioUnit != nullptr) mCallback.store(nullptr, std::memory_order_release);
}

void AUInputElement::SetInputCallback(AURenderCallback proc, void* refCon) {
    mCallbackRefCon.store(refCon, std::memory_order_relaxed);
    mCallback.store(proc, std::memory_order_release);
    if (proc != nullptr) mSourceUnit.store(nullptr, std::memory_order_release);
}

bool AUInputElement::HasConnection() const {
    return mCallback.load(std::memory_order_acquire) != nullptr ||
           mSourceUnit.load(std::memory_order_acquire) != nullptr;
}

OSStatus AUInputElement::PullInput(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                                   AudioUnitElement element, UInt32 frames) {
    AudioBufferList& list = PrepareBuffer(frames);
    if (AURenderCallback callback = mCallback.load(std::memory_order_acquire))
        return callback(mCallbackRefCon.load(std::memory_order_relaxed), &flags, &timeStamp, element, frames,
                        &list);
    if (AudioUnit source = mSourceUnit.load(std::memory_order_acquire))
        return AudioUnitRender(source, &flags, &timeStamp, mSourceOutput.load(std::memory_order_relaxed),
                               frames, &list);
    return kAudioUnitErr_NoConnection;
}

void AUScope::Initialize(AUBase& unit, AudioUnitScope scope, UInt32 elementCount) {
    mScope = scope;
    mElements.clear();
    for (UInt32 i = 0; i < elementCount; ++i) {
        if (scope == kAudioUnitScope_Input)
            mElements.push_back(std::make_unique<AUInputElement>(unit));
        else if (scope == kAudioUnitScope_Output)
            mElements.push_back(std::make_unique<AUOutputElement>(unit));
        else
            mElements.push_back(std::make_unique<AUElement>(unit));
    }
}

AUElement* AUScope::GetElement(AudioUnitElement element) const {
    return element < mElements.size() ? mElements[element].get() : nullptr;
}

AUIOElement* AUScope::GetIOElement(AudioUnitElement element) const {
    return dynamic_cast<AUIOElement*>(GetElement(element));
}

AUElement& AUScope::SafeGetElement(AudioUnitElement element) const {
    AUElement* found = GetElement(element);
    if (found == nullptr) throw static_cast<OSStatus>(kAudioUnitErr_InvalidElement);
    return *found;
}
