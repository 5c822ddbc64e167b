// The command against a stand-in component: files in and out, settings, saved states and every
// bad input. The real component's path is LoadedComponentTest.

#include <gtest/gtest.h>

#include <sstream>

#include "host/AudioFile.h"
#include "host/SavedState.h"
#include "host/TarnwellCommand.h"
#include "tests/host/FakeComponent.h"
#include "tests/host/HostTestSupport.h"

namespace {

using tarnwell::test::FAKE_IDENTITY;
using tarnwell::test::FakeComponent;
using tarnwell::test::FakeLog;
using tarnwell::test::TempFolder;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class Command : public ::testing::Test {
protected:
    Outcome run(std::vector<std::string> args) {
        for (std::string& a : args)
            if (a.rfind("@", 0) == 0) a = folder.path(a.substr(1));  // @name: a file in the test folder
        std::ostringstream out, err;
        log = FakeLog{};
        const HostEnvironment env{[this] { return std::make_unique<FakeComponent>(log); }, false};
        const int status = runTarnwell(args, out, err, env);
        return {status, out.str(), err.str()};
    }

    void writeAudio(const std::string& name, std::size_t channels, std::size_t frames, double rate = 44100.0) {
        AudioData audio;
        audio.sampleRate = rate;
        audio.channels.assign(channels, std::vector<float>(frames));
        for (std::size_t c = 0; c < channels; ++c)
            for (std::size_t i = 0; i < frames; ++i)
                audio.channels[c][i] = 0.5f * static_cast<float>((i * (c + 3)) % 100) / 100.0f;
        writeAudioFile(folder.path(name), audio);
    }

    TempFolder folder;
    FakeLog log;
};

TEST_F(Command, RendersAMonoFileToStereoAtItsRate) {
    writeAudio("in.wav", 1, 3000, 22050.0);
    const Outcome o = run({"render", "@in.wav", "@out.wav", "--set", "gain=0.5", "--tail", "0.1", "--block", "100"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("out.wav"), std::string::npos);
    EXPECT_EQ(log.inputChannels, 1u);
    EXPECT_EQ(log.sampleRate, 22050.0);
    EXPECT_EQ(log.maxFrames, 100u);

    const AudioData in = readAudioFile(folder.path("in.wav"));
    const AudioData out = readAudioFile(folder.path("out.wav"));
    EXPECT_EQ(out.sampleRate, 22050.0);
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_EQ(out.frames(), 3000u + 2205u);
    for (std::size_t i = 0; i < 3000; ++i)
        for (std::size_t c = 0; c < 2; ++c) ASSERT_EQ(out.channels[c][i], in.channels[0][i] * 0.5f) << i;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));

    // A render that cannot be written leaves nothing behind.
    const Outcome lost = run({"render", "@in.wav", "@no/such/out.wav"});
    EXPECT_EQ(lost.status, 1);
    EXPECT_NE(lost.err.find("out.wav: cannot write in its folder"), std::string::npos) << lost.err;
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST_F(Command, SettingsAndSavedStatesReachTheComponent) {
    writeAudio("in.wav", 2, 100);
    ASSERT_EQ(run({"render", "@in.wav", "@o.wav", "--set", "b1 mix=0.1", "--set", "5=0.2"}).status, 0);
    EXPECT_EQ(log.setValues, (std::map<std::uint32_t, float>{{3, 0.1f}, {5, 0.2f}}));  // the exact name wins
    // Typed text goes through the component's reading; --set and --type apply in the order given.
    ASSERT_EQ(run({"render", "@in.wav", "@o.wav", "--type", "Gain=25%", "--set", "gain=0.9", "--type", "1=7"}).status, 0);
    EXPECT_EQ(log.setValues, (std::map<std::uint32_t, float>{{0, 0.9f}, {1, 0.07f}}));
    const Outcome params = run({"params"});
    EXPECT_NE(params.out.find("   0  Gain                            0.500000  50%\n"), std::string::npos) << params.out;

    ASSERT_EQ(run({"state", "save", "@bright.aupreset", "--set", "Cutoff=0.125"}).status, 0);
    const Outcome show = run({"state", "show", "@bright.aupreset"});
    EXPECT_NE(show.out.find("name: bright"), std::string::npos);
    EXPECT_NE(show.out.find("component: aumf Nwel Zelk"), std::string::npos);
    EXPECT_NE(show.out.find("Cutoff                          0.125000"), std::string::npos) << show.out;
    ASSERT_EQ(run({"render", "@in.wav", "@o.wav", "--state", "@bright.aupreset"}).status, 0);
    EXPECT_EQ(log.restores, 1);

    const Outcome help = run({"render", "--help"});  // help runs nothing
    EXPECT_NE(help.out.find("--tempo"), std::string::npos);
    EXPECT_TRUE(help.status == 0 && log.renders.empty());
}

// Every bad input: exit status, one line naming the problem and the culprit, nothing written
// (the folder holds just what the test put there) and nothing restored or rendered.
TEST_F(Command, BadInputsWriteNothing) {
    writeAudio("in.wav", 2, 100);
    writeAudio("three.wav", 3, 10);
    folder.write("text.wav", "not audio at all");
    folder.write("bad.mid", "MThd\x01");
    folder.write("bad.aupreset", "<?xml version=\"1.0\"?><plist><dict><key>type</key>");
    folder.write("list.aupreset", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>");
    // States of this component with one value too few, and of another component.
    writePresetFile(folder.path("short.aupreset"),
                    programState(FAKE_IDENTITY, {1, 7}, "short", std::vector<float>(7, 0.5f)).get());
    writePresetFile(folder.path("other.aupreset"),
                    programState({FAKE_IDENTITY.type, 0x41424344, FAKE_IDENTITY.manufacturer}, {1, 8}, "other",
                                 std::vector<float>(8, 0.5f))
                        .get());
    const std::vector<std::string> before = folder.entries();

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"render", "@missing.wav", "@out.wav"}, 1, "missing.wav: cannot be read"},
        {{"render", "@text.wav", "@out.wav"}, 1, "text.wav: is not an audio file we can read"},
        {{"render", "@three.wav", "@out.wav"}, 1, "three.wav: has 3 channels"},
        {{"render", "@in.wav", "@out.ogg"}, 1, "out.ogg: has an unknown audio type"},
        {{"render", "@in.wav", "@out.wav", "--preset", "Hot Plate"}, 1, "--preset Hot Plate: no factory preset"},
        {{"render", "@in.wav", "@out.wav", "--preset", "63"}, 1, "--preset 63: there is no factory preset 63"},
        {{"render", "@in.wav", "@out.wav", "--preset", "2"}, 1, "cannot hold a program of 1024 values"},
        {{"render", "@in.wav", "@out.wav", "--set", "Volume=0.5"}, 1, "--set Volume=0.5: no parameter is named"},
        {{"render", "@in.wav", "@out.wav", "--set", "B1 MIX=0.5"}, 1, "names 2 parameters"},
        {{"render", "@in.wav", "@out.wav", "--set", "8=0.5"}, 1, "--set 8=0.5: there is no parameter 8"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=2"}, 2, "--set Gain=2: the value 2 is outside 0..1"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=half"}, 2, "is not a number"},
        {{"render", "@in.wav", "@out.wav", "--midi", "@bad.mid"}, 1, "bad.mid: is not a MIDI file we can read"},
        {{"render", "@in.wav", "@out.wav", "--midi", "@none.mid"}, 1, "none.mid: cannot be read"},
        {{"render", "@in.wav", "@out.wav", "--state", "@bad.aupreset"}, 1, "bad.aupreset: is not a saved state"},
        {{"render", "@in.wav", "@out.wav", "--state", "@none.aupreset"}, 1, "none.aupreset: cannot be read"},
        {{"state", "show", "@short.aupreset"}, 1, "short.aupreset: holds program data of the wrong size (56 bytes"},
        {{"state", "save", "@new.aupreset", "--set", "Nothing=1"}, 1, "no parameter is named \"Nothing\""},
        {{"render", "@in.wav", "@out.wav", "--state", "@list.aupreset"}, 1, "the property list holds no dictionary"},
        {{"render", "@in.wav", "@out.wav", "--state", "@other.aupreset"}, 1, "belongs to another component (aumf ABCD"},
        {{"render", "@in.wav", "@out.wav", "--tempo", "-5"}, 2, "--tempo"},
        {{"render", "@in.wav", "@out.wav", "--block", "5000"}, 2, "--block: Value 5000 not in range"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain"}, 2, "--set Gain: expected NAME=VALUE"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=nan"}, 2, "is not a number"},
        {{"render", "@in.wav", "@out.wav", "--type", "Gain=loud"}, 1,
         "--type Gain=loud: parameter 0 (Gain) does not take \"loud\"; it reads \"50%\" now"},
        {{"state", "save", "@new.aupreset", "--type", "Gain="}, 2, "--type Gain=: expected NAME=TEXT"},
        {{"render", "@in.wav", "@out.wav", "--type", "Loudness=3"}, 1, "--type Loudness=3: no parameter is named"},
        {{"render", "@in.wav", "@out.wav", "@more.wav"}, 2, "At Most 2"},
        {{"mix", "@in.wav"}, 2, "A subcommand is required"},
        {{"presets", "--set", "a=1"}, 2, "not expected"},
    };
    for (const Case& c : cases) {
        const Outcome o = run(c.args);
        EXPECT_EQ(o.status, c.status) << o.err;
        EXPECT_EQ(o.err.rfind("tarnwell: ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(folder.entries(), before) << o.err;
        EXPECT_EQ(log.restores, 0) << o.err;
        EXPECT_TRUE(log.renders.empty()) << o.err;
    }
}

}  // namespace
