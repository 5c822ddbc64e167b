#pragma once

// The root of every unit object, the conversion of thrown status codes into results, and the
// factory record that creates a unit class for a host.

#include <new>
#include <type_traits>

#include "sdk/audiounit/AudioUnitTypes.h"

class ComponentBase {
public:
    explicit ComponentBase(AudioComponentInstance instance) : mComponentInstance(instance) {}
    virtual ~ComponentBase() = default;
    ComponentBase(const ComponentBase&) = delete;
    ComponentBase& operator=(const ComponentBase&) = delete;

    // Runs after construction and before destruction, when virtual calls reach the full object.
    virtual void PostConstructor() {}
    virtual void PreDestructor() {}

    AudioComponentInstance GetComponentInstance() const { return mComponentInstance; }
    // The description the unit was registered under; zero when it was made without a host.
    AudioComponentDescription GetComponentDescription() const;

    // Runs body and turns what it throws into a status: an OSStatus or short as thrown, -108
    // for an allocation failure, -1 for anything else.
    template <typename Body>
    static OSStatus Guard(Body&& body) noexcept {
        try {
            return body();
        } catch (OSStatus status) {
            return status;
        } catch (short status) {
            return status;
        } catch (const std::bad_alloc&) {
            return kAudio_MemFullError;
        } catch (...) {
            return -1;
        }
    }

private:
    AudioComponentInstance mComponentInstance;
};

// The record a factory hands out: the plug-in interface first (the host's `self`), then the
// instance constructor and destructor and the object they made.
struct ComponentPlugInRecord {
    AudioComponentPlugInInterface mPlugInInterface;
    ComponentBase* (*mConstruct)(AudioComponentInstance instance);
    void (*mDestruct)(ComponentBase* object);
    ComponentBase* mObject;
};

// Finds the method for selector: the AudioUnit calls, plus the MIDI calls when withMIDI.
AudioComponentMethod AUMethodLookup(SInt16 selector, bool withMIDI);
OSStatus ComponentRecordOpen(void* self, AudioComponentInstance instance);
OSStatus ComponentRecordClose(void* self);

// AUMIDIEffectFactory<Unit>::Factory is the function a component exports for a unit that
// takes MIDI; Unit is built with its AudioComponentInstance.
template <class Unit>
struct AUMIDIEffectFactory {
    static AudioComponentMethod Lookup(SInt16 selector) { return AUMethodLookup(selector, true); }
    static ComponentBase* Construct(AudioComponentInstance instance) { return new Unit(instance); }
    static void Destruct(ComponentBase* object) { delete object; }

    static AudioComponentPlugInInterface* Factory(const AudioComponentDescription* /*desc*/) {
        auto* record = new (std::nothrow) ComponentPlugInRecord{
            {&ComponentRecordOpen, &ComponentRecordClose, &Lookup, nullptr}, &Construct, &Destruct, nullptr};
        return record == nullptr ? nullptr : &record->mPlugInInterface;
    }
};
