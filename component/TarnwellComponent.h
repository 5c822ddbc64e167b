#pragma once

// The identity of the Tarnwell component, as a host looks it up.

#include "sdk/audiounit/AudioUnitTypes.h"

// A music effect (an effect that takes MIDI): type 'aumf', subtype 'Nwel', manufacturer 'Zelk'.
inline constexpr AudioComponentDescription kTarnwellComponentDescription{
    kAudioUnitType_MusicEffect, fourCharOSType("Nwel"), fourCharOSType("Zelk"), 0, 0};

// UInt64, read only: the longest stretch, in frames, the output may stay quiet and still sound
// again without new input, as the patch stands after the last render.
inline constexpr AudioUnitPropertyID kTarnwellQuietSpanProperty = 65539;

inline constexpr const char* kTarnwellBundleIdentifier = "com.Zelk.Tarnwell.component";
// Relative to the build folder.
inline constexpr const char* kTarnwellComponentLibrary = "Tarnwell.component/Contents/MacOS/Tarnwell.so";
