#pragma once

// Audio files in and out through libsndfile: WAV (also RF64), AIFF and FLAC, read and written in
// large pieces however small the blocks asked for or given.

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

    // A pipe read from its start, with its first bytes kept, so that a decoder that goes back to
    // the start after looking at them (FLAC's does) reads them again.
    struct PipeStream {
        int fd = -1;
        std::vector<unsigned char> head;  // the first bytes read
        std::int64_t position = 0;
        std::int64_t taken = 0;  // how far the pipe has been read
    };
    // A file that can be read anywhere, read in large pieces however little libsndfile asks for.
    struct FileStream {
        int fd = -1;
        std::int64_t position = 0;
        std::vector<unsigned char> buffer;  // the file's bytes from bufferAt on
        std::int64_t bufferAt = 0;
        int error = 0;  // the system's reason for the last failure
    };

private:
    InputFile file;
    std::unique_ptr<PipeStream> pipe;    // outlives the sound file that reads through it
    std::unique_ptr<FileStream> stream;  // likewise
    Sndfile sound;
    double rate = 0.0;
    std::uint32_t channelCount = 0;
    std::uint64_t expected = 0;
    std::optional<std::uint64_t> promised;
    std::uint64_t done = 0;
    std::vector<float> interleaved;  // frames read ahead, from aheadAt to aheadFrames not yet given
    std::size_t aheadAt = 0;
    std::size_t aheadFrames = 0;
    bool ended = false;
};

// WAV and AIFF as 32-bit float, FLAC as 24-bit integer (clipped). A WAV whose data may pass 4 GiB
// is written as RF64 (and as a plain WAV after all should it end shorter); an AIFF or FLAC file
// that cannot hold mostFrames is refused before anything is written, and one that would grow past
// its limit fails as it does. Silence after the end of what was written takes no disk. The file
// appears only on commit; without it nothing is left behind; into a pipe, it goes on commit.
// Identical audio gives identical files. Every failure throws HostError naming the file.
class AudioWriter : public AudioSink {
public:
    AudioWriter(const std::string& path, double sampleRate, std::uint32_t channels,
                std::optional<std::uint64_t> mostFrames = std::nullopt);
    void write(const float* const* channels, std::size_t frames) override;
    void commit();

    // The bytes libsndfile reads and writes, at any position of the file; -1 on failure.
    struct Bytes {
        int fd = -1;
        bool holes = false;  // whether silence past the end may be left unwritten
        std::int64_t position = 0;
        std::int64_t length = 0;    // as written, holes included
        std::int64_t stored = 0;    // how far the file on disk reaches, once pending is written
        int error = 0;              // the system's reason for the last failure
        std::vector<char> pending;  // writes gathered to go out together, from pendingAt on
        std::int64_t pendingAt = 0;
    };

private:
    [[noreturn]] void fail(const std::string& what) const;
    std::string tooLong(std::optional<std::uint64_t> frames) const;

    struct Spool {
        int fd = -1;
        Spool() = default;
        Spool(const Spool&) = delete;
        Spool& operator=(const Spool&) = delete;
        ~Spool();
    };

    // Both outlive the sound file, which writes its header on closing.
    AtomicOutput output;
    Spool spool;  // for a pipe, which cannot take a header afterwards: the file is made here first
    Bytes bytes;
    Sndfile sound;
    std::uint32_t channelCount;
    double rate;
    std::uint64_t frameLimit = 0;  // the most frames the chosen format holds
    std::uint64_t written = 0;
    std::vector<float> interleaved;
};
// Checks that the name ends in a type we write (.wav, .aif, .aiff, .flac), so a bad name fails
// before any work is done. Throws HostError naming the file.
void checkOutputName(const std::string& path);

// Whole files at once, for short material.
AudioData readAudioFile(const std::string& path);
void writeAudioFile(const std::string& path, const AudioData& audio);
