#pragma once

// Audio files in and out through libsndfile: WAV, AIFF and FLAC.

#include <string>

#include "host/AudioData.h"

// Mono or stereo at 1000 Hz or more; anything else throws HostError naming the file.
AudioData readAudioFile(const std::string& path);

// Checks that the name ends in a type we write (.wav, .aif, .aiff, .flac), so a bad name fails
// before any work is done. Throws HostError naming the file.
void checkOutputName(const std::string& path);

// WAV and AIFF as 32-bit float, FLAC as 24-bit integer (clipped). The file appears only when
// complete; on failure nothing is left behind and HostError names the file.
void writeAudioFile(const std::string& path, const AudioData& audio);
