#include "sdk/audiounit/AUMIDIBase.h"

OSStatus AUMIDIBase::MIDIEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offsetSampleFrame) {
    return HandleMidiEvent(static_cast<UInt8>(status & 0xF0), static_cast<UInt8>(status & 0x0F),
                           static_cast<UInt8>(data1), static_cast<UInt8>(data2), offsetSampleFrame);
}

OSStatus AUMIDIBase::SysEx(const UInt8*, UInt32) {
    return 0;
}

OSStatus AUMIDIBase::HandleMidiEvent(UInt8, UInt8, UInt8, UInt8, UInt32) {
    return 0;
}

OSStatus AUMIDIBase::DelegateGetPropertyInfo(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, UInt32&,
                                             Boolean&) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUMIDIBase::DelegateGetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, void*) {
    return kAudioUnitErr_InvalidProperty;
}

OSStatus AUMIDIBase::DelegateSetProperty(AudioUnitPropertyID, AudioUnitScope, AudioUnitElement, const void*,
                                         UInt32) {
    return kAudioUnitErr_InvalidProperty;
}
