#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

#include "host/AudioFile.h"
#include "host/HostError.h"
#include "tests/host/ErrorMessage.h"
#include "tests/host/TempFolder.h"

namespace {

using tarnwell::test::errorMessage;
using tarnwell::test::TempFolder;

AudioData sweep(std::size_t channels, std::size_t frames, double rate) {
    AudioData audio;
    audio.sampleRate = rate;
    audio.channels.assign(channels, std::vector<float>(frames));
    for (std::size_t c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < frames; ++i)
            audio.channels[c][i] = static_cast<float>(0.9 * std::sin(0.001 * static_cast<double>(i * i) + c));
    return audio;
}

TEST(AudioFile, FloatFormatsRoundTripExactly) {
    TempFolder folder;
    for (const char* name : {"a.wav", "b.aiff", "c.AIF"}) {
        for (std::size_t channels : {1u, 2u}) {
            const AudioData original = sweep(channels, 20000, 48000.0);
            writeAudioFile(folder.path(name), original);
            const AudioData back = readAudioFile(folder.path(name));
            EXPECT_EQ(back.sampleRate, 48000.0) << name;
            EXPECT_EQ(back.channels, original.channels) << name << " " << channels;
        }
    }
}

TEST(AudioFile, FlacKeepsTwentyFourBitsAndClips) {
    TempFolder folder;
    AudioData original = sweep(2, 5000, 44100.0);
    original.channels[0][10] = 1.7f;
    original.channels[1][11] = -3.0f;
    writeAudioFile(folder.path("x.flac"), original);
    const AudioData back = readAudioFile(folder.path("x.flac"));
    ASSERT_EQ(back.frames(), original.frames());
    double worst = 0.0;
    for (std::size_t c = 0; c < 2; ++c)
        for (std::size_t i = 0; i < back.frames(); ++i)
            if (i != 10 && i != 11)
                worst = std::max(
                    worst, std::abs(static_cast<double>(back.channels[c][i] - original.channels[c][i])));
    EXPECT_LE(worst, 1.0 / (1 << 23));
    EXPECT_NEAR(back.channels[0][10], 1.0f, 1e-6f);
    EXPECT_NEAR(back.channels[1][11], -1.0f, 1e-6f);
}

TEST(AudioFile, BadInputsNameTheFileAndTheProblem) {
    TempFolder folder;
    EXPECT_NE(
        errorMessage([&] { readAudioFile(folder.path("missing.wav")); }).find("missing.wav: cannot be read"),
        std::string::npos);

    folder.write("notes.wav", "these are words, not samples");
    EXPECT_NE(errorMessage([&] {
                  readAudioFile(folder.path("notes.wav"));
              }).find("notes.wav: is not an audio file"),
              std::string::npos);

    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 3;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* three = sf_open(folder.path("three.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(three, nullptr);
    const short frame[3] = {1, 2, 3};
    sf_writef_short(three, frame, 1);
    sf_close(three);
    EXPECT_NE(
        errorMessage([&] { readAudioFile(folder.path("three.wav")); }).find("three.wav: has 3 channels"),
        std::string::npos);
}

TEST(AudioFile, FailedWritesLeaveNothingBehind) {
    TempFolder folder;
    EXPECT_NE(errorMessage([&] {
                  checkOutputName(folder.path("out.mp3"));
              }).find("out.mp3: has an unknown audio type"),
              std::string::npos);
    EXPECT_NE(errorMessage([&] {
                  writeAudioFile(folder.path("no/such/out.wav"), sweep(2, 10, 44100.0));
              }).find("out.wav: cannot write in its folder"),
              std::string::npos);
    AudioData empty;
    EXPECT_NE(errorMessage([&] {
                  writeAudioFile(folder.path("out.wav"), empty);
              }).find("out.wav: cannot hold 0 channels"),
              std::string::npos);
    EXPECT_TRUE(folder.entries().empty());

    // A failed write over an existing file keeps the old one whole.
    folder.write("keep.wav", "old");
    EXPECT_FALSE(errorMessage([&] { writeAudioFile(folder.path("keep.wav"), empty); }).empty());
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"keep.wav"});
}

}  // namespace
