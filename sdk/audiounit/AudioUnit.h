#pragma once

// Everything a host needs to drive an Audio Unit component. Typical use:
//
//   std::string error;
//   AudioComponent comp = tarnwell::au::loadComponent(
//       "build/Tarnwell.component/Contents/MacOS/Tarnwell.so", kTarnwellComponentDescription, error);
//   AudioUnit unit = nullptr;
//   AudioComponentInstanceNew(comp, &unit);
//
//   // Formats: Float32, non-interleaved, one buffer per channel (kAudioFormatFlagsCanonical-
//   // NonInterleaved, 4 bytes per frame). Input 1 or 2 channels (or 0 for no input), output 2.
//   AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &fmt, sizeof fmt);
//   AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &fmt2, sizeof
//   fmt2); AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
//   &max, 4); AURenderCallbackStruct input{pullInput, myState};          // the unit pulls its input here,
//   AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,  // also with 0 input channels
//                        kAudioUnitScope_Input, 0, &input, sizeof input);
//   HostCallbackInfo host{myState, beatAndTempo, musicalTime, transportState};  // any may be null
//   AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &host, sizeof
//   host); AudioUnitInitialize(unit);                                 // -10868: unsupported channel pair
//
//   per block (frames <= max):
//     AudioUnitScheduleParameters(unit, events, n);            // changes at frames of this block
//     MusicDeviceMIDIEvent(unit, 0x90, 60, 100, frameOffset);  // MIDI for this block
//     AudioUnitRender(unit, &flags, &timeStamp, 0, frames, outputList);  // output: 2 buffers;
//                              // null mData lets the unit lend its own buffers
//   AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0);  // immediate change
//
//   State: AudioUnitGetProperty(kAudioUnitProperty_ClassInfo) gives a CFPropertyListRef (release
//   it; write it with CFPropertyListCreateData); AudioUnitSetProperty(kAudioUnitProperty_ClassInfo,
//   &plist, sizeof plist) restores it. Presets: kAudioUnitProperty_FactoryPresets (a CFArrayRef of
//   AUPreset*, release the array), kAudioUnitProperty_PresentPreset to choose one. Parameters:
//   kAudioUnitProperty_ParameterList, kAudioUnitProperty_ParameterInfo (element = id; release
//   cfNameString only when kAudioUnitParameterFlag_CFNameRelease is set) and
//   kAudioUnitProperty_ParameterStringFromValue for value texts and
//   kAudioUnitProperty_ParameterValueFromString for the value a text stands for.
//   Automation and gestures: AUEventListenerCreate + AUEventListenerAddEventType with the unit
//   and kAUParameterListener_AnyParameter; listeners run on the sending thread.
//   AudioUnitUninitialize(unit); AudioComponentInstanceDispose(unit);

#include "sdk/audiounit/AudioToolbox.h"
#include "sdk/audiounit/AudioUnitTypes.h"
#include "sdk/audiounit/CoreAudioTypes.h"
