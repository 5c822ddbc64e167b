#pragma once

// The second base of a unit that takes MIDI: turns MIDI calls into HandleMidiEvent and answers
// the MIDI-related properties (none beyond the base's for now).

#include "sdk/audiounit/AUBase.h"

class AUMIDIBase {
public:
    explicit AUMIDIBase(AUBase* base) : mAUBaseInstance(base) {}
    virtual ~AUMIDIBase() = default;
    AUMIDIBase(const AUMIDIBase&) = delete;
    AUMIDIBase& operator=(const AUMIDIBase&) = delete;

    // Splits the status byte into message type and channel for HandleMidiEvent.
    virtual OSStatus MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame);
    // System exclusive messages are accepted and dropped.
    virtual OSStatus SysEx(const UInt8* data, UInt32 length);
    virtual OSStatus HandleMidiEvent(UInt8 status, UInt8 channel, UInt8 data1, UInt8 data2,
                                     UInt32 offsetSampleFrame);

    virtual OSStatus DelegateGetPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope,
                                             AudioUnitElement element, UInt32& outDataSize,
                                             Boolean& outWritable);
    virtual OSStatus DelegateGetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, void* outData);
    virtual OSStatus DelegateSetProperty(AudioUnitPropertyID id, AudioUnitScope scope,
                                         AudioUnitElement element, const void* inData, UInt32 inDataSize);

    // Serves the older calling form for the MIDI selectors (0x0101, 0x0102).
    static OSStatus ComponentEntryDispatch(ComponentParameters* params, AUMIDIBase* unit);

protected:
    AUBase* mAUBaseInstance;
};
