#pragma once

// The unit's view for hosts. A host reads the Cocoa UI property, loads the bundle it names and
// makes the factory class; the factory's view reads the editor size from the unit, gives
// itself a panel of that size, opens the effect's editor inside itself through the unit's
// editor-view property and idles the editor from a 20 ms timer. When the view goes, the timer
// stops and the editor closes. Views on a display show the effect's dialogs as its windows.

#include "sdk/cocoa/AppKit.h"

class Tarnwell_Zelk_CocoaViewFactory : public NSObject, public AUCocoaUIBase {
public:
    unsigned interfaceVersion() override { return 0; }
    std::string description() const override { return " AU_Cocoa_UI"; }
    // A new view of unit (autoreleased); the size asked for is not used: the editor has its own.
    NSView* uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) override;

protected:
    ~Tarnwell_Zelk_CocoaViewFactory() override = default;
};

class Tarnwell_Zelk_CocoaView : public NSView {
public:
    void setAU(AudioUnit unit) { mAU = unit; }
    // Reads the editor size, puts the view into a panel of that size and opens the editor in it.
    void createWindowController();
    void setupIdleTimer();
    void editorIdle(NSTimer* sender);

protected:
    // Closes the editor and stops the timer.
    ~Tarnwell_Zelk_CocoaView() override;

private:
    AudioUnit mAU = nullptr;
    NSTimer* timer = nullptr;
};

class Tarnwell_Zelk_WindowController : public NSWindowController {
public:
    // A controller holding a new hidden panel "Tarnwell" of that content size, centred; the
    // panel goes when it is closed. Null when no panel can be made (an empty size).
    static Tarnwell_Zelk_WindowController* initWithSize(NSSize size);

protected:
    ~Tarnwell_Zelk_WindowController() override = default;

private:
    static NSPanel* createWindow(NSSize size);
};

// Makes the three classes known by name; the component does it as it is loaded.
void registerCocoaViewClasses();
