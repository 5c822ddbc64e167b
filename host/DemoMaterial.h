#pragma once

// The built-in material rendered when no input file is given: four bars of drums, bass and a
// chord pad at 120 beats per minute, 44.1 kHz stereo, generated here so a first render needs
// no files. Transients make delays and gates audible, the bright sustained chords filters.

#include "host/AudioData.h"

inline constexpr double DEMO_SAMPLE_RATE = 44100.0;
inline constexpr double DEMO_TEMPO = 120.0;
inline constexpr int DEMO_BARS = 4;
// The loudest sample of the loop.
inline constexpr float DEMO_PEAK = 0.8f;

AudioData makeDemoMaterial();
