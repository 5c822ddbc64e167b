#include "host/AudioFile.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>

#include "host/AtomicOutput.h"
#include "host/HostError.h"

namespace {

constexpr sf_count_t CHUNK_FRAMES = 8192;
constexpr int LOWEST_RATE = 1000;

struct SndfileClose {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileClose>;

std::string lowerExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int outputFormat(const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (ext == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (ext == "aif" || ext == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    if (ext == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    return 0;
}

}  // namespace

AudioData readAudioFile(const std::string& path) {
    if (access(path.c_str(), R_OK) != 0)
        throw fileError(path, std::string("cannot be read (") + std::strerror(errno) + ")");
    SF_INFO info{};
    Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file)
        throw fileError(path, std::string("is not an audio file we can read (") + sf_strerror(nullptr) + ")");
    if (info.channels < 1 || info.channels > 2)
        throw fileError(path, "has " + std::to_string(info.channels) +
                                  " channels; only mono and stereo files can be rendered");
    if (info.samplerate < LOWEST_RATE)
        throw fileError(path, "has a sample rate of " + std::to_string(info.samplerate) + " Hz, below " +
                                  std::to_string(LOWEST_RATE) + " Hz");

    AudioData audio;
    audio.sampleRate = info.samplerate;
    audio.channels.assign(static_cast<std::size_t>(info.channels), {});
    const auto channels = static_cast<std::size_t>(info.channels);
    for (auto& c : audio.channels) c.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
    std::vector<float> interleaved(static_cast<std::size_t>(CHUNK_FRAMES) * channels);
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), CHUNK_FRAMES);
        if (got <= 0) break;
        for (sf_count_t f = 0; f < got; ++f)
            for (std::size_t c = 0; c < channels; ++c)
                audio.channels[c].push_back(interleaved[static_cast<std::size_t>(f) * channels + c]);
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR)
        throw fileError(path, std::string("cannot be read to the end (") + sf_strerror(file.get()) + ")");
    return audio;
}

void checkOutputName(const std::string& path) {
    if (outputFormat(path) == 0)
        throw fileError(path, "has an unknown audio type; name it .wav, .aiff or .flac");
}

void writeAudioFile(const std::string& path, const AudioData& audio) {
    checkOutputName(path);
    AtomicOutput output(path);
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.sampleRate);
    info.channels = static_cast<int>(audio.channels.size());
    info.format = outputFormat(path);
    if (info.channels == 0 || sf_format_check(&info) == 0)
        throw fileError(path, "cannot hold " + std::to_string(info.channels) + " channels at " +
                                  std::to_string(info.samplerate) + " Hz");
    Sndfile file(sf_open_fd(output.descriptor(), SFM_WRITE, &info, SF_FALSE));
    if (!file) throw fileError(path, std::string("cannot be written (") + sf_strerror(nullptr) + ")");
    sf_command(file.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    const std::size_t channels = audio.channels.size();
    const std::size_t frames = audio.frames();
    std::vector<float> interleaved(static_cast<std::size_t>(CHUNK_FRAMES) * channels);
    for (std::size_t pos = 0; pos < frames;) {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(CHUNK_FRAMES), frames - pos);
        for (std::size_t f = 0; f < n; ++f)
            for (std::size_t c = 0; c < channels; ++c)
                interleaved[f * channels + c] = audio.channels[c][pos + f];
        if (sf_writef_float(file.get(), interleaved.data(), static_cast<sf_count_t>(n)) !=
            static_cast<sf_count_t>(n))
            throw fileError(path, std::string("cannot be written (") + sf_strerror(file.get()) + ")");
        pos += n;
    }
    if (sf_close(file.release()) != 0) throw fileError(path, "cannot be written (closing failed)");
    output.commit();
}
