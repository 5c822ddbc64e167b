#pragma once

// The host-side calls: finding and opening components, the AudioUnit calls that reach a unit
// through its plug-in record, and parameter/gesture listeners. They live in one shared library
// (tarnwell_audiotoolbox) so that a host and every component it loads share one listener
// registry, as they would share the system's toolbox.

#include <string>

#include "sdk/audiounit/AudioUnitTypes.h"

// ---------------------------------------------------------------- components
// Makes a component known to AudioComponentFindNext. Never fails for a non-null factory.
AudioComponent AudioComponentRegister(const AudioComponentDescription* desc,
                                      AudioComponentFactoryFunction factory);
// The next registered component after inComponent (null: from the start) whose description
// matches; zero fields of desc match anything. Null when there is none.
AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* desc);
OSStatus AudioComponentGetDescription(AudioComponent component, AudioComponentDescription* outDesc);
OSStatus AudioComponentInstanceNew(AudioComponent component, AudioComponentInstance* outInstance);
OSStatus AudioComponentInstanceDispose(AudioComponentInstance instance);
AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance instance);

namespace tarnwell::au {
// dlopens a component library, looks up its factory symbol and registers it under desc. The
// library stays loaded. On failure returns null and sets error to one line naming the cause.
AudioComponent loadComponent(const std::string& libraryPath, const AudioComponentDescription& desc,
                             std::string& error, const char* factorySymbol = "AUPLUGINFactory");
}  // namespace tarnwell::au

// ---------------------------------------------------------------- AudioUnit calls
OSStatus AudioUnitInitialize(AudioUnit unit);
OSStatus AudioUnitUninitialize(AudioUnit unit);
OSStatus AudioUnitGetPropertyInfo(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                                  AudioUnitElement element, UInt32* outDataSize, Boolean* outWritable);
// ioDataSize: in, the room at outData; out, the size written.
OSStatus AudioUnitGetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, void* outData, UInt32* ioDataSize);
OSStatus AudioUnitSetProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope,
                              AudioUnitElement element, const void* inData, UInt32 inDataSize);
OSStatus AudioUnitAddPropertyListener(AudioUnit unit, AudioUnitPropertyID id,
                                      AudioUnitPropertyListenerProc proc, void* refCon);
OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit unit, AudioUnitPropertyID id,
                                                     AudioUnitPropertyListenerProc proc, void* refCon);
OSStatus AudioUnitGetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue* outValue);
OSStatus AudioUnitSetParameter(AudioUnit unit, AudioUnitParameterID id, AudioUnitScope scope,
                               AudioUnitElement element, AudioUnitParameterValue value, UInt32 bufferOffset);
// On the render thread, before the AudioUnitRender call the events belong to.
OSStatus AudioUnitScheduleParameters(AudioUnit unit, const AudioUnitParameterEvent* events, UInt32 count);
OSStatus AudioUnitRender(AudioUnit unit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* timeStamp, UInt32 outputBus, UInt32 frames,
                         AudioBufferList* ioData);
OSStatus AudioUnitReset(AudioUnit unit, AudioUnitScope scope, AudioUnitElement element);
// MIDI to a unit that takes it: status byte with channel, two data bytes, the frame of the next
// render the event falls on.
OSStatus MusicDeviceMIDIEvent(AudioUnit unit, UInt32 status, UInt32 data1, UInt32 data2,
                              UInt32 offsetSampleFrame);
OSStatus MusicDeviceSysEx(AudioUnit unit, const UInt8* data, UInt32 length);

// ---------------------------------------------------------------- listeners
// Listeners are called on the thread that sends the event (for a unit's own parameter changes
// that may be the render thread), so a listener's proc must be quick and must not block.
OSStatus AUEventListenerCreate(AUEventListenerProc proc, void* userData, AUEventListenerRef* outListener);
// Interest in one kind of event: for parameter events the unit and parameter id (or
// kAUParameterListener_AnyParameter) of inEvent; for property events the unit and property id.
OSStatus AUEventListenerAddEventType(AUEventListenerRef listener, void* object,
                                     const AudioUnitEvent* inEvent);
OSStatus AUEventListenerRemoveEventType(AUEventListenerRef listener, void* object,
                                        const AudioUnitEvent* inEvent);
// Waits for calls in progress on other threads to return, then frees the listener.
OSStatus AUListenerDispose(AUEventListenerRef listener);
// Delivers the event to every interested listener except sendingListener. Takes no lock and
// allocates nothing.
OSStatus AUEventListenerNotify(AUEventListenerRef sendingListener, void* sendingObject,
                               const AudioUnitEvent* inEvent);
