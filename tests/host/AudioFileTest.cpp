#include <gtest/gtest.h>

#include <cmath>

#include "host/AudioFile.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::TempFolder;

AudioData sweep(std::size_t channels, std::size_t frames) {
    AudioData audio;
    audio.sampleRate = 48000.0;
    audio.channels.assign(channels, std::vector<float>(frames));
    for (std::size_t c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < frames; ++i)
            audio.channels[c][i] = static_cast<float>(0.9 * std::sin(0.001 * static_cast<double>(i * i) + c));
    return audio;
}

// WAV and AIFF keep floats exactly; FLAC keeps 24 bits and clips what lies beyond full scale.
// (The command's table has the files that cannot be read or written.)
TEST(AudioFile, RoundTripsKeepTheSamples) {
    TempFolder folder;
    for (const char* name : {"a.wav", "b.aiff", "c.AIF"})
        for (std::size_t channels : {1u, 2u}) {
            const AudioData original = sweep(channels, 20000);
            writeAudioFile(folder.path(name), original);
            const AudioData back = readAudioFile(folder.path(name));
            EXPECT_EQ(back.sampleRate, 48000.0) << name;
            EXPECT_EQ(back.channels, original.channels) << name << " " << channels;
        }

    AudioData loud = sweep(2, 5000);
    loud.channels[0][10] = 1.7f;
    writeAudioFile(folder.path("x.flac"), loud);
    const AudioData back = readAudioFile(folder.path("x.flac"));
    ASSERT_EQ(back.frames(), loud.frames());
    for (std::size_t i = 0; i < back.frames(); ++i) {
        ASSERT_NEAR(back.channels[1][i], loud.channels[1][i], 1.0 / (1 << 23)) << i;
    }
    EXPECT_NEAR(back.channels[0][10], 1.0f, 1e-6f);
}

}  // namespace
