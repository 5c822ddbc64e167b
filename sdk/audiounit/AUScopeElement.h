#pragma once

// Scopes and elements of a unit: parameter values per element, stream formats and buffers
// per input/output element, and the input's source (render callback or connection).

#include <atomic>
#include <memory>
#include <vector>

#include "sdk/audiounit/AudioUnitTypes.h"

class AUBase;

class AUElement {
public:
    explicit AUElement(AUBase& unit) : mAudioUnit(unit) {}
    virtual ~AUElement() = default;
    AUElement(const AUElement&) = delete;
    AUElement& operator=(const AUElement&) = delete;

    // Parameters numbered 0..count-1, all 0. Main thread, before rendering.
    void UseIndexedParameters(UInt32 count);
    UInt32 GetNumberOfParameters() const { return mParameterCount; }
    // Both throw kAudioUnitErr_InvalidParameter for an id outside the element's range. Values
    // are shared by the host's threads and the render thread, so they are atomics.
    AudioUnitParameterValue GetParameter(AudioUnitParameterID id) const;
    void SetParameter(AudioUnitParameterID id, AudioUnitParameterValue value);

protected:
    AUBase& mAudioUnit;

private:
    std::unique_ptr<std::atomic<AudioUnitParameterValue>[]> mParameters;
    UInt32 mParameterCount = 0;
};

// An input or output bus: one float buffer per channel.
class AUIOElement : public AUElement {
public:
    static constexpr UInt32 kMaxChannels = 8;

    explicit AUIOElement(AUBase& unit);

    const AudioStreamBasicDescription& GetStreamFormat() const { return mFormat; }
    void SetStreamFormat(const AudioStreamBasicDescription& format) { mFormat = format; }
    UInt32 NumberChannels() const { return mFormat.mChannelsPerFrame; }

    // Own memory for maxFrames per channel. Main thread only.
    void AllocateBuffer(UInt32 maxFrames);
    // Points the buffer list at the element's own memory, frames long.
    AudioBufferList& PrepareBuffer(UInt32 frames);
    // Takes another list's buffer pointers (no copy of the samples). Throws -1 when the list
    // has more buffers than the element has channels.
    void SetBufferList(const AudioBufferList& list);
    AudioBufferList& GetBufferList() { return *mList; }
    bool HasBuffers() const { return !mMemory.empty(); }

private:
    AudioStreamBasicDescription mFormat;
    std::vector<float> mMemory;
    UInt32 mMaxFrames = 0;
    // A list with room for kMaxChannels buffers, laid out as the hosts expect.
    alignas(AudioBufferList) unsigned char mListBytes[AudioBufferList::byteSize(kMaxChannels)]{};
    AudioBufferList* mList;
};

class AUInputElement : public AUIOElement {
public:
    using AUIOElement::AUIOElement;

    void SetConnection(const AudioUnitConnection& connection);
    void SetInputCallback(AURenderCallback proc, void* refCon);
    bool HasConnection() const;
    // Fills the element's buffer list from the render callback or the connected unit and
    // returns their status; kAudioUnitErr_NoConnection without either.
    OSStatus PullInput(AudioUnitRenderActionFlags& flags, const AudioTimeStamp& timeStamp,
                       AudioUnitElement element, UInt32 frames);

private:
    // Set from the host's thread, read on the render thread.
    std::atomic<AURenderCallback> mCallback{nullptr};
    std::atomic<void*> mCallbackRefCon{nullptr};
    std::atomic<AudioUnit> mSourceUnit{nullptr};
    std::atomic<UInt32> mSourceOutput{0};
};

class AUOutputElement : public AUIOElement {
public:
    using AUIOElement::AUIOElement;
};

class AUScope {
public:
    AUScope() = default;
    void Initialize(AUBase& unit, AudioUnitScope scope, UInt32 elementCount);
    AudioUnitScope GetScope() const { return mScope; }
    UInt32 GetNumberOfElements() const { return static_cast<UInt32>(mElements.size()); }
    // Null for an element that does not exist.
    AUElement* GetElement(AudioUnitElement element) const;
    AUIOElement* GetIOElement(AudioUnitElement element) const;
    // Throws kAudioUnitErr_InvalidElement for an element that does not exist.
    AUElement& SafeGetElement(AudioUnitElement element) const;

private:
    AudioUnitScope mScope = kAudioUnitScope_Global;
    std::vector<std::unique_ptr<AUElement>> mElements;
};
