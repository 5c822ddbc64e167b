#pragma once

// The effect's editor, shown the way an Audio Unit host shows it: the unit's Cocoa UI property
// names a bundle and a view factory class; the class, found by name in the loaded bundle, makes
// the view; the view comes in its own panel with the editor open in it and idles the editor
// from the main run loop. Letting go of the view closes its panel and the editor.

#include <string>

#include "sdk/audiounit/AudioUnitTypes.h"

#include "sdk/cocoa/NSObject.h"

class AtomicOutput;
class NSView;
class NSWindow;

// Throws HostError with one line when the bundle of the unit's view lacks any of the editor's
// bitmaps: without them the editor would open black.
void requireArtwork(AudioUnit unit);

class EditorView {
public:
    // Throws HostError when the unit offers no view or its bundle or class cannot be had.
    explicit EditorView(AudioUnit unit);
    ~EditorView();
    EditorView(const EditorView&) = delete;
    EditorView& operator=(const EditorView&) = delete;

    NSView* view() const { return held; }
    // The panel the view came in; null once it is gone (closed).
    NSWindow* window() const;

    // The editor's size, as the view took it from the unit.
    NSSize size() const;
    // The picture the panel shows now, as a PNG; throws HostError naming the file when there
    // is none or it cannot be written.
    void writePicture(AtomicOutput& file) const;
    // A left click at a point of the editor, as the panel would receive it.
    void click(double x, double y) const;

private:
    NSView* held = nullptr;
};
