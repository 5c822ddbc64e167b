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
    folder.write("cut.mid", std::string("MThd\0\0\0\x06\0\x01\0\x01\0\x60MTrk\0\0\0\x40\0\x90\x3C", 25));
    message = errorMessage([&] { readMidiFile(folder.path("cut.mid"), 44100.0, std::nullopt); });
    EXPECT_NE(message.find("cut.mid: is not a MIDI file we can read (a chunk runs past the end of the file)"),
              std::string::npos)
        << message;
}

// A one-track file around the given track bytes.
std::string withTrack(const std::string& track, int declaredTracks = 1) {
    std::string file("MThd\0\0\0\x06\0\0\0", 11);
    file += static_cast<char>(declaredTracks);
    file += std::string("\0\x60MTrk\0\0\0", 9);
    file += static_cast<char>(track.size());
    return file + track;
}

// Files libsmf would load in part, misread or stop the program on are refused up front.
TEST(MidiFile, StructuralFaultsAreRefusedBeforeLoading) {
    TempFolder folder;
    const std::string end("\0\xFF\x2F\0", 4);
    folder.write("fine.mid", withTrack(std::string("\0\x90\x3C\x40\x10\x3E\x40", 7) + end));
    const MidiSong fine = readMidiFile(folder.path("fine.mid"), 48000.0, std::nullopt);
    ASSERT_EQ(fine.messages.size(), 2u);  // the second note in running status
    EXPECT_EQ(fine.messages[1].frame, 4000u);
    EXPECT_EQ(fine.messages[1].status, 0x90);
    EXPECT_EQ(fine.messages[1].data1, 0x3E);

    const std::pair<std::string, std::string> faults[] = {
        {withTrack(std::string("\0\x90\x3C\x40", 4)), "no end-of-track marker"},
        {withTrack(std::string("\0\x3C\x40", 3) + end), "a data byte without a status"},
        {withTrack(std::string("\0\x90\x3C\x90", 4) + end), "a message is cut short"},
        {withTrack(std::string("\0\xFF\x51\x02\x07\xA1", 6) + end), "wrong length"},
        {withTrack(std::string("\0\xFF\x01\x09"
                               "ab",
                               6) +
                   end),
         "a meta event runs past the end of the track"},
        {withTrack(std::string("\0\xF0\x7F\x01", 4) + end), "system exclusive message runs past the end"},
        {withTrack(std::string("\0\xF8", 2) + end), "does not belong in a file"},
        {withTrack(std::string("\xFF\xFF\xFF\xFF\x7F\x90\x3C\x40", 8) + end), "an event time runs past"},
        {withTrack(end + std::string("\0\x90\x3C\x40", 4)), "events follow the end of the track"},
        {withTrack(end, 2), "the header promises 2 tracks, the file holds 1"},
        {std::string("MThd\0\0\0\x06\0\x03\0\x01\0\x60", 14), "MIDI file format 3"},
    };
    for (const auto& [bytes, problem] : faults) {
        folder.write("bad.mid", bytes);
        const std::string message =
            errorMessage([&] { readMidiFile(folder.path("bad.mid"), 44100.0, std::nullopt); });
        EXPECT_NE(message.find("bad.mid: is not a MIDI file we can read ("), std::string::npos) << message;
        EXPECT_NE(message.find(problem), std::string::npos) << message;
    }
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
