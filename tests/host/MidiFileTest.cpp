#include <gtest/gtest.h>
// libsmf's header needs glib's declarations ahead of it in C++.
#include <glib.h>
#include <smf.h>

#include "host/HostError.h"
#include "host/MidiFile.h"
#include "tests/host/ErrorMessage.h"
#include "tests/host/TempFolder.h"

namespace {

using tarnwell::test::errorMessage;
using tarnwell::test::TempFolder;

constexpr int PPQN = 96;

// A two-track file: tempo changes on the first track, notes on the second.
class MidiWriter {
public:
    MidiWriter() : smf(smf_new()), tempoTrack(smf_track_new()), noteTrack(smf_track_new()) {
        EXPECT_EQ(smf_set_ppqn(smf, PPQN), 0);
        smf_add_track(smf, tempoTrack);
        smf_add_track(smf, noteTrack);
    }
    ~MidiWriter() { smf_delete(smf); }

    void tempo(double beat, double bpm) {
        const int usPerQuarter = static_cast<int>(60e6 / bpm);
        unsigned char meta[6] = {0xFF,
                                 0x51,
                                 0x03,
                                 static_cast<unsigned char>(usPerQuarter >> 16),
                                 static_cast<unsigned char>(usPerQuarter >> 8),
                                 static_cast<unsigned char>(usPerQuarter)};
        smf_track_add_event_pulses(tempoTrack, smf_event_new_from_pointer(meta, 6), pulses(beat));
    }
    void message(double beat, int status, int data1, int data2 = -1) {
        smf_track_add_event_pulses(noteTrack, smf_event_new_from_bytes(status, data1, data2), pulses(beat));
    }
    void save(const std::string& path) { ASSERT_EQ(smf_save(smf, path.c_str()), 0); }

private:
    static int pulses(double beat) { return static_cast<int>(beat * PPQN); }
    smf_t* smf;
    smf_track_t* tempoTrack;
    smf_track_t* noteTrack;
};

TEST(MidiFile, EventsLandOnTheFramesOfTheFilesTempoMap) {
    TempFolder folder;
    MidiWriter writer;
    writer.tempo(0, 120);
    writer.tempo(2, 60);  // beat 2 falls at 1 s; each beat after it lasts a second
    writer.message(0, 0x90, 60, 100);
    writer.message(1, 0x80, 60, 0);
    writer.message(1.5, 0xB3, 74, 127);
    writer.message(3, 0xC0, 5);  // one data byte
    writer.message(3.25, 0xE0, 0, 64);
    writer.save(folder.path("song.mid"));

    const MidiSong song = readMidiFile(folder.path("song.mid"), 48000.0, std::nullopt);
    ASSERT_EQ(song.messages.size(), 5u);
    const std::uint64_t frames[] = {0, 24000, 36000, 96000, 108000};
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(song.messages[i].frame, frames[i]) << i;
    EXPECT_EQ(song.messages[2].status, 0xB3);
    EXPECT_EQ(song.messages[2].data1, 74);
    EXPECT_EQ(song.messages[2].data2, 127);
    EXPECT_EQ(song.messages[3].status, 0xC0);
    EXPECT_EQ(song.messages[3].data1, 5);
    EXPECT_EQ(song.messages[3].data2, 0);
    EXPECT_DOUBLE_EQ(song.tempo.tempoAt(0.5), 120.0);
    EXPECT_DOUBLE_EQ(song.tempo.tempoAt(1.5), 60.0);
}

TEST(MidiFile, AGivenTempoReplacesTheFiles) {
    TempFolder folder;
    MidiWriter writer;
    writer.tempo(0, 120);
    writer.tempo(2, 60);
    writer.message(3, 0x90, 64, 90);
    writer.save(folder.path("song.mid"));

    const MidiSong song = readMidiFile(folder.path("song.mid"), 44100.0, 90.0);
    ASSERT_EQ(song.messages.size(), 1u);
    EXPECT_EQ(song.messages[0].frame, 88200u);  // 3 beats at 90 per minute = 2 s
    EXPECT_DOUBLE_EQ(song.tempo.tempoAt(1.9), 90.0);
}

TEST(MidiFile, WithoutTempoEventsBeatsRunAt120) {
    TempFolder folder;
    MidiWriter writer;
    writer.message(4, 0x91, 48, 70);
    writer.save(folder.path("plain.mid"));
    const MidiSong song = readMidiFile(folder.path("plain.mid"), 44100.0, std::nullopt);
    ASSERT_EQ(song.messages.size(), 1u);
    EXPECT_EQ(song.messages[0].frame, 88200u);
}

TEST(MidiFile, BadFilesAreNamedInOneLine) {
    TempFolder folder;
    EXPECT_NE(errorMessage([&] {
                  readMidiFile(folder.path("gone.mid"), 44100.0, std::nullopt);
              }).find("gone.mid: cannot be read"),
              std::string::npos);

    folder.write("text.mid", "MThd? no, a shopping list");
    std::string message = errorMessage([&] { readMidiFile(folder.path("text.mid"), 44100.0, std::nullopt); });
    EXPECT_NE(message.find("text.mid: is not a MIDI file we can read"), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);

    // A header that promises a track the file does not hold.
    folder.write("cut.mid", std::string("MThd\0\0\0\x06\0\x01\0\x01\0\x60MTrk\0\0\0\x40\0\x90\x3C", 30));
    message = errorMessage([&] { readMidiFile(folder.path("cut.mid"), 44100.0, std::nullopt); });
    EXPECT_NE(message.find("cut.mid: is not a MIDI file we can read"), std::string::npos) << message;
}

TEST(TempoMap, SecondsAndBeatsConvertBothWaysAcrossChanges) {
    TempoMap map(120.0);
    map.addChange(4.0, 60.0);
    map.addChange(6.0, 240.0);
    map.addChange(5.0, 30.0);  // earlier than the last change: ignored
    EXPECT_DOUBLE_EQ(map.secondsAt(4.0), 2.0);
    EXPECT_DOUBLE_EQ(map.secondsAt(6.0), 4.0);
    EXPECT_DOUBLE_EQ(map.secondsAt(10.0), 5.0);
    for (double beat : {0.0, 1.5, 4.0, 5.25, 6.0, 9.0})
        EXPECT_NEAR(map.beatAt(map.secondsAt(beat)), beat, 1e-12);
    map.setTimeSignature(3, 4);
    EXPECT_DOUBLE_EQ(map.barStartBeat(7.5), 6.0);
    map.setTimeSignature(6, 8);
    EXPECT_DOUBLE_EQ(map.barStartBeat(7.5), 6.0);
    EXPECT_DOUBLE_EQ(map.barStartBeat(2.9), 0.0);
}

}  // namespace
