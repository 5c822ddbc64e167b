#pragma once

// Audio files in and out through libsndfile, a block at a time: WAV (also RF64), AIFF and
// FLAC.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/AtomicOutput.h"
#include "host/AudioData.h"
#include "host/InputFile.h"
#include "host/Renderer.h"

// The sample rates the effect runs at.
inline constexpr int LOWEST_RATE = 1000;
inline constexpr int HIGHEST_RATE = 768000;

struct SndfileClose {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileClose>;

// Mono or stereo at a rate the effect runs at; anything else throws HostError naming the file.
class AudioReader : public AudioSource {
public:
    explicit AudioReader(const std::string& path, double pipeWaitSeconds = PIPE_WAIT_SECONDS);

    double sampleRate() const { return rate; }
    std::uint32_t channels() const { return channelCount; }
    FileIdentity identity() const { return file.identity(); }
    // The frames the file holds, as far as can be known before reading it; 0 when not known.
    std::uint64_t expectedFrames() const { return expected; }

    // Throws HostError naming the file when it cannot be read on.
    std::size_t read(float* const* out, std::size_t frames) override;
    std::uint64_t framesRead() const { return done; }
    // Once read to the end: the frames the header promised that the file did not hold.
    std::uint64_t missingFrames() const { return promised && *promised > done ? *promised - done : 0; }

private:
    InputFile file;
    Sndfile sound;
    double rate = 0.0;
    std::uint32_t channelCount = 0;
    std::uint64_t expected = 0;
    std::optional<std::uint64_t> promised;
    std::uint64_t done = 0;
    std::vector<float> interleaved;
};

// WAV and AIFF as 32-bit float, FLAC as 24-bit integer (clipped). The file appears only on
// commit; without it nothing is left behind. Every failure throws HostError naming the file.
class AudioWriter : public AudioSink {
public:
    AudioWriter(const std::string& path, double sampleRate, std::uint32_t channels);
    void write(const float* const* channels, std::size_t frames) override;
    void commit();

private:
    AtomicOutput output;  // outlives the sound file, which writes its header into it on closing
    Sndfile sound;
    std::uint32_t channelCount;
    std::vector<float> interleaved;
};

// Checks that the name ends in a type we write (.wav, .aif, .aiff, .flac), so a bad name fails
// before any work is done. Throws HostError naming the file.
void checkOutputName(const std::string& path);

// Whole files at once, for short material.
AudioData readAudioFile(const std::string& path);
void writeAudioFile(const std::string& path, const AudioData& audio);
