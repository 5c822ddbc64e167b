#pragma once

// What a unit's view factory class answers to: the host finds the class through the unit's
// Cocoa UI property, makes an instance and asks it for a view of the unit.

#include "sdk/audiounit/AudioUnitTypes.h"
#include "sdk/cocoa/NSObject.h"

class NSView;

class TARNWELL_COCOA_API AUCocoaUIBase {
public:
    virtual ~AUCocoaUIBase();
    virtual unsigned interfaceVersion() = 0;
    // An autoreleased view showing the unit.
    virtual NSView* uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) = 0;
};
