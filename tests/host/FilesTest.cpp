// The readers and writers of the command's files: audio in and out, MIDI files and their tempo.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <fstream>

#include "host/AudioFile.h"
#include "host/HostError.h"
#include "host/MidiFile.h"
#include "tests/host/HostileFiles.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::midiFile;
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
            const AudioData original = sweep(channels, 20003);  // a chunk that ends off the four-frame stride
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

// Whether the float formats' PEAK chunk, where there is one, carries no time stamp.
bool peakUnstamped(const std::string& bytes) {
    const std::size_t peak = bytes.find("PEAK");
    return peak == std::string::npos || bytes.compare(peak + 12, 4, std::string(4, '\0')) == 0;
}

// The float formats' PEAK chunk is written without the time of writing, so the same audio makes
// the same file.
TEST(AudioFile, TheSameAudioMakesTheSameFile) {
    TempFolder folder;
    for (const char* name : {"a.wav", "b.aiff"}) {
        writeAudioFile(folder.path(name), sweep(2, 1000));
        const std::string bytes = folder.read(name);
        EXPECT_NE(bytes.find("PEAK"), std::string::npos) << name;
        EXPECT_TRUE(peakUnstamped(bytes)) << name;
    }
}

// Past 4 GiB of data a WAV is RF64, read back whole; an AIFF that cannot hold what is written
// fails as it grows past its limit. Silence past the end takes no disk, so neither needs 4 GiB of
// it.
TEST(AudioFile, FilesOf4GiBAndMore) {
    TempFolder folder;
    constexpr std::size_t BLOCK = 1 << 20;
    const std::vector<float> silence(BLOCK), tone(BLOCK, 0.5f);
    const float* silent[2] = {silence.data(), silence.data()};
    const float* loud[2] = {tone.data(), tone.data()};
    const std::uint64_t frames = (std::uint64_t{1} << 29) + 3 * BLOCK;  // 4 GiB of stereo floats and more
    {
        AudioWriter writer(folder.path("long.wav"), 8000.0, 2);  // of a length not known before
        writer.write(loud, 1000);
        for (std::uint64_t done = 1000; done < frames;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(BLOCK, frames - done));
            writer.write(done + n == frames ? loud : silent, n);
            done += n;
        }
        writer.commit();
    }
    char head[4] = {};
    std::ifstream(folder.path("long.wav"), std::ios::binary).read(head, 4);
    EXPECT_EQ(std::string(head, 4), "RF64");
    AudioReader reader(folder.path("long.wav"));
    EXPECT_EQ(reader.expectedFrames(), frames);
    struct stat info {};
    ASSERT_EQ(stat(folder.path("long.wav").c_str(), &info), 0);
    EXPECT_GT(static_cast<std::uint64_t>(info.st_size), std::uint64_t{1} << 32);
    EXPECT_LT(info.st_blocks * 512, 64 << 20);

    AudioWriter aiff(folder.path("long.aiff"), 8000.0, 2);
    std::string failure;
    try {
        for (std::uint64_t done = 0; done < frames; done += BLOCK) aiff.write(silent, BLOCK);
    } catch (const HostError& e) {
        failure = e.what();
    }
    EXPECT_EQ(
        failure.rfind(
            folder.path("long.aiff") + ": is an AIFF file, which holds at most 67108.8 s at 8000 Hz", 0),
        0u)
        << failure;
}

const std::string END("\0\xFF\x2F\0", 4);

std::vector<std::uint64_t> frames(const MidiSong& song) {
    std::vector<std::uint64_t> f;
    for (const MidiMessage& m : song.messages) f.push_back(m.frame);
    return f;
}

TEST(MidiFile, EventsLandOnTheFramesOfTheTempoMap) {
    TempFolder folder;
    // Tempo on the first track: 120, then 60 from beat 2 (1 s). Messages on the second at beats
    // 0, 1, 1.5, 3 (a program change: one data byte) and 3.25.
    const std::string tempos =
        std::string("\0\xFF\x51\x03\x07\xA1\x20\x81\x40\xFF\x51\x03\x0F\x42\x40", 15) + END;
    const std::string notes =
        std::string("\0\x90\x3C\x64\x60\x80\x3C\0\x30\xB3\x4A\x7F\x81\x10\xC0\x05\x18\xE0\0\x40", 20) + END;
    folder.write("song.mid", midiFile({tempos, notes}));
    const MidiSong song = readMidiFile(folder.path("song.mid"), 48000.0, std::nullopt);
    EXPECT_EQ(frames(song), (std::vector<std::uint64_t>{0, 24000, 36000, 96000, 108000}));
    ASSERT_EQ(song.messages.size(), 5u);
    EXPECT_EQ(song.messages[2].status, 0xB3);
    EXPECT_EQ(song.messages[2].data1, 74);
    EXPECT_EQ(song.messages[2].data2, 127);
    EXPECT_EQ(song.messages[3].data1, 5);
    EXPECT_EQ(song.messages[3].data2, 0);
    EXPECT_DOUBLE_EQ(song.tempo.tempoAt(1.5), 60.0);

    // A tempo given on the command line replaces the file's map: 3 beats at 90 = 2 s.
    EXPECT_EQ(frames(readMidiFile(folder.path("song.mid"), 44100.0, 90.0))[3], 88200u);
    // Without tempo events beats run at 120; the second note comes in running status.
    folder.write("plain.mid", midiFile({std::string("\x83\0\x91\x30\x46\x10\x32\x46", 8) + END}));
    EXPECT_EQ(frames(readMidiFile(folder.path("plain.mid"), 44100.0, std::nullopt)),
              (std::vector<std::uint64_t>{88200, 88200 + 3675}));
    // Channel pressure has one data byte, in running status too: the note after it keeps its time.
    folder.write("pressure.mid", midiFile({std::string("\0\xD2\x40\x30\x50\x60\x92\x3C\x64", 9) + END}));
    const MidiSong pressed = readMidiFile(folder.path("pressure.mid"), 48000.0, std::nullopt);
    EXPECT_EQ(frames(pressed), (std::vector<std::uint64_t>{0, 12000, 36000}));
    ASSERT_EQ(pressed.messages.size(), 3u);
    EXPECT_EQ(pressed.messages[1].data1, 0x50);
    EXPECT_EQ(pressed.messages[2].status, 0x92);
}

// Valid files of unusual make: system exclusive packets (F0, F7), long text, and many tracks
// side by side, merged by time with ties in file order.
TEST(MidiFile, UnusualValidFilesAreRead) {
    TempFolder folder;
    const std::string text = std::string("\0\xFF\x01\x82\x2C", 5) + std::string(300, 't');
    const std::string sysex("\0\xF0\x03\x7E\x01\xF7\0\xF7\x02\x01\xF7", 11);
    std::vector<std::string> tracks{text + sysex + std::string("\x60\x90\x3C\x40", 4) + END};
    for (int t = 1; t < 3000; ++t)
        tracks.push_back(std::string(1, static_cast<char>(0x60 - t % 2)) + "\x91\x3D\x40" + END);
    folder.write("odd.mid", midiFile(tracks));
    const MidiSong song = readMidiFile(folder.path("odd.mid"), 1000.0, 60.0);  // a beat a second
    ASSERT_EQ(song.messages.size(), 3000u);
    EXPECT_EQ(song.messages[0].frame, 990u);  // tracks 2, 4, ... a pulse early
    EXPECT_EQ(song.messages[1499].frame, 990u);
    EXPECT_EQ(song.messages[1500].status, 0x90);  // ties keep the order of the tracks
    EXPECT_EQ(song.messages[1500].frame, 1000u);
    EXPECT_EQ(song.messages[1501].status, 0x91);
}

TEST(TempoMap, SecondsAndBeatsConvertBothWaysAcrossChanges) {
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);
    map.addChange(6.0, 240.0);
    map.addChange(5.0, 30.0);  // earlier than the last change: ignored
    EXPECT_DOUBLE_EQ(map.secondsAt(6.0), 4.0);
    EXPECT_DOUBLE_EQ(map.secondsAt(10.0), 5.0);
    for (double beat : {0.0, 1.5, 4.0, 5.25, 6.0, 9.0})
        EXPECT_NEAR(map.beatAt(map.secondsAt(beat)), beat, 1e-12);
    map.setTimeSignature(3, 4);
    EXPECT_DOUBLE_EQ(map.barStartBeat(7.5), 6.0);
    map.setTimeSignature(6, 8);  // bars of three beats
    EXPECT_DOUBLE_EQ(map.barStartBeat(10.0), 9.0);
    EXPECT_DOUBLE_EQ(map.barStartBeat(2.9), 0.0);
}

}  // namespace
