#pragma once

// Records exchanged with the host side: events, transport, pins, keys and speaker layouts.

#include <cstddef>
#include <cstdint>

// Any event record: the type comes first, the size of what follows the first two fields next.
struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

inline constexpr int32_t kVstMidiType = 1;

struct VstMidiEvent {
    int32_t type;         // kVstMidiType
    int32_t byteSize;     // 24
    int32_t deltaFrames;  // offset inside the current processing block
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];  // status, data 1, data 2, 0
    int8_t detune;
    uint8_t noteOffVelocity;
    uint8_t reserved1;
    uint8_t reserved2;
};
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(sizeof(VstEvent) == sizeof(VstMidiEvent));

// The sender sizes `events`: the declared two entries are only the smallest list.
struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

// VstTimeInfo::flags bits; the same values filter a time request.
enum VstTimeInfoFlags : int32_t {
    timeTransportChanged = 1,
    timeTransportPlaying = 2,
    timeNanosValid = 256,
    timePpqPosValid = 512,
    timeTempoValid = 1024,
    timeBarsValid = 2048,
    timeSigValid = 8192,
    timeSmpteValid = 16384,
};

inline constexpr int32_t kPinIsActive = 1;
inline constexpr int32_t kPinIsStereo = 2;

struct VstPinProperties {
    char label[64];
    int32_t flags;
    char unused[60];  // never written here
};

struct VstKeyCode {
    int32_t character;
    uint8_t virt;
    uint8_t modifier;
};

struct VstSpeakerProperties {
    float position[4];
    char name[64];
    int32_t type;
    char reserved[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112);

// A header followed in the same block by numChannels speaker records.
struct VstSpeakerArrangement {
    int32_t type;
    int32_t numChannels;

    VstSpeakerProperties* speakers() { return reinterpret_cast<VstSpeakerProperties*>(this + 1); }
    const VstSpeakerProperties* speakers() const {
        return reinterpret_cast<const VstSpeakerProperties*>(this + 1);
    }
    static constexpr std::size_t byteSize(int channels) {
        return sizeof(VstSpeakerArrangement) +
               static_cast<std::size_t>(channels) * sizeof(VstSpeakerProperties);
    }
};
static_assert(sizeof(VstSpeakerArrangement) == 8);

// Records the effect only passes along; nothing here reads their contents.
struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;
struct VstOfflineTask;
struct VstAudioFile;
struct __VstWindowDeprecated;
using VstOfflineOption = int32_t;
