#pragma once

// The commands that show the effect's editor: in a window while the effect plays (edit), and
// drawn without a display into a picture (snapshot). Both reach the editor the way an Audio
// Unit host does, through the unit's view (host/EditorView.h).

#include <ostream>

#include "host/CommandLine.h"
#include "host/TarnwellCommand.h"
#include "sdk/audiounit/AudioUnitTypes.h"

// The unit behind a component the command opened; throws HostError for any other component.
AudioUnit unitOf(ComponentHost& component);

void runEdit(const EditCommand& command, std::ostream& out, std::ostream& err, const HostEnvironment& env);
void runSnapshot(const SnapshotCommand& command, std::ostream& out, std::ostream& err,
                 const HostEnvironment& env);
