// The command against a stand-in component: files in and out, settings, saved states and every
// bad input. The real component's path is LoadedComponentTest.

#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/AudioFile.h"
#include "host/SavedState.h"
#include "host/TarnwellCommand.h"
#include "tests/host/FakeComponent.h"
#include "tests/support/TempFolder.h"

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
        const HostEnvironment env{[this] { return std::make_unique<FakeComponent>(log); }, false, 0.2};
        const int status = runTarnwell(args, out, err, env);
        return {status, out.str(), err.str()};
    }

    void writeAudio(const std::string& name, std::size_t channels, std::size_t frames,
                    double rate = 44100.0) {
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
    const Outcome o =
        run({"render", "@in.wav", "@out.wav", "--set", "gain=0.5", "--tail", "0.1", "--block", "100"});
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
}

// Samples at the output limit are counted and said once the render is done; the output keeps
// them as they are.
TEST_F(Command, LimitedSamplesAreReported) {
    AudioData loud;
    loud.sampleRate = 44100.0;
    loud.channels.assign(1, std::vector<float>(1000, 0.25f));
    for (std::size_t i = 0; i < 1000; i += 100) loud.channels[0][i] = i % 200 == 0 ? 1.0f : -0.9995f;
    writeAudioFile(folder.path("loud.wav"), loud);
    Outcome o = run({"render", "@loud.wav", "@out.wav", "--set", "Gain=1", "-q", "--tail", "0"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(
        o.err,
        "tarnwell: " + folder.path("out.wav") +
            ": 20 of 2000 samples (1 %) reached the output limit of +-0.999 and were limited; lower the "
            "input or the Block volumes\n");
    EXPECT_EQ(readAudioFile(folder.path("out.wav")).channels[1], loud.channels[0]);
    o = run({"render", "@loud.wav", "@out.wav", "--set", "Gain=0.9", "-q", "--tail", "0"});
    EXPECT_EQ(o.err, "");
}

// Outputs replace what they name where it is: through a symlink onto its target, keeping an
// existing file's permissions, under any name the folder takes; nothing else is left beside them.
TEST_F(Command, OutputsReplaceWhatTheyNameInPlace) {
    writeAudio("in.wav", 1, 100);
    ASSERT_EQ(mkdir(folder.path("real").c_str(), 0700), 0);
    ASSERT_EQ(symlink("real/target.wav", folder.path("link.wav").c_str()), 0);
    folder.write("private.wav", "old");
    ASSERT_EQ(chmod(folder.path("private.wav").c_str(), 0600), 0);
    const std::string longest = std::string(251, 'n') + ".wav";
    for (const std::string& out : {std::string("@link.wav"), std::string("@private.wav"), "@" + longest})
        ASSERT_EQ(run({"render", "@in.wav", out, "--tail", "0"}).status, 0) << out;

    struct stat info {};
    ASSERT_EQ(lstat(folder.path("link.wav").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readAudioFile(folder.path("real/target.wav")).frames(), 100u);
    ASSERT_EQ(stat(folder.path("private.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readAudioFile(folder.path(longest)).frames(), 100u);
    EXPECT_EQ(folder.entries(),
              (std::vector<std::string>{"in.wav", "link.wav", longest, "private.wav", "real"}));
}

// Feeds bytes into a named pipe once a reader opens it (or none came when it goes).
struct PipeWriter {
    PipeWriter(const std::string& pipe, const std::string& bytes)
        : path(pipe), writer([pipe, bytes] {
              signal(SIGPIPE, SIG_IGN);  // a command that stops reading early fails its test, not the program
              std::ofstream(pipe, std::ios::binary) << bytes;
          }) {}
    ~PipeWriter() {
        const int unblock = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        if (unblock >= 0) {  // takes what the command left, so the writer gets to its end
            fcntl(unblock, F_SETFL, 0);
            char rest[4096];
            while (read(unblock, rest, sizeof rest) > 0) {
            }
        }
        writer.join();
        if (unblock >= 0) close(unblock);
    }
    std::string path;
    std::thread writer;
};

// A chunk-only state sounds as it says, and MIDI files and states arrive through pipes.
TEST_F(Command, UnusualInputsRenderAsTheySay) {
    writeAudio("in.wav", 1, 100);
    const AudioData in = readAudioFile(folder.path("in.wav"));
    {
        CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        const CFRef<CFTypeRef> state(dict);
        completePresetKeys(dict, FAKE_IDENTITY, "chunky");
        std::vector<UInt8> chunk(4 * 8 + 32, 0);  // little-endian values, then the name
        const float gain = 0.25f;
        std::memcpy(chunk.data(), &gain, 4);
        const CFRef<CFTypeRef> key(
            CFStringCreateWithCString(kCFAllocatorDefault, "mChunkData", kCFStringEncodingUTF8));
        const CFRef<CFTypeRef> data(
            CFDataCreate(kCFAllocatorDefault, chunk.data(), static_cast<CFIndex>(chunk.size())));
        CFDictionarySetValue(dict, key.get(), data.get());
        writePresetFile(folder.path("chunk.aupreset"), dict);
    }
    Outcome o = run({"render", "@in.wav", "@chunk.wav", "--state", "@chunk.aupreset", "--tail", "0"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readAudioFile(folder.path("chunk.wav")).channels[1][42], in.channels[0][42] * 0.25f);

    ASSERT_EQ(mkfifo(folder.path("midi.pipe").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(folder.path("state.pipe").c_str(), 0600), 0);
    const char song[] = "MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0C\0\x90\x3C\x40\0\x80\x3C\0\0\xFF\x2F\0";
    {
        PipeWriter midi(folder.path("midi.pipe"), std::string(song, sizeof song - 1));
        PipeWriter states(folder.path("state.pipe"), folder.read("chunk.aupreset"));
        o = run({"render", "@in.wav", "@piped.wav", "--midi", "@midi.pipe", "--state", "@state.pipe",
                 "--tail", "0"});
    }
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(log.restores, 1);
    EXPECT_EQ(log.renders.at(0).midiStatus, (std::vector<std::uint8_t>{0x90, 0x80}));
}

// Every input type the command reads comes through a pipe as it does from the file.
TEST_F(Command, EveryInputTypeComesThroughAPipe) {
    writeAudio("in.wav", 2, 30000);  // more than a reader keeps to go back to
    const AudioData audio = readAudioFile(folder.path("in.wav"));
    writeAudioFile(folder.path("in.aiff"), audio);
    writeAudioFile(folder.path("in.flac"), audio);
    {
        SF_INFO info{0, 44100, 2, SF_FORMAT_RF64 | SF_FORMAT_FLOAT, 0, 0};
        SNDFILE* rf64 = sf_open(folder.path("in.rf64").c_str(), SFM_WRITE, &info);
        ASSERT_NE(rf64, nullptr);
        std::vector<float> frames(60000);
        for (std::size_t i = 0; i < 30000; ++i)
            frames[2 * i] = audio.channels[0][i], frames[2 * i + 1] = audio.channels[1][i];
        sf_writef_float(rf64, frames.data(), 30000);
        sf_close(rf64);
        ASSERT_EQ(folder.read("in.rf64").substr(0, 4), "RF64");
    }
    ASSERT_EQ(mkfifo(folder.path("in.pipe").c_str(), 0600), 0);
    for (const char* name : {"in.wav", "in.aiff", "in.flac", "in.rf64"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(run({"render", std::string("@") + name, "@from-file.wav", "--tail", "0"}).status, 0);
        Outcome o;
        {
            PipeWriter feed(folder.path("in.pipe"), folder.read(name));
            o = run({"render", "@in.pipe", "@from-pipe.wav", "--tail", "0"});
        }
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(readAudioFile(folder.path("from-pipe.wav")).channels,
                  readAudioFile(folder.path("from-file.wav")).channels);
    }
}

// A named pipe or a device named as the output, or led to by a symlink, is written into and stays
// what it is; a full disk, a read-only file, another special file and an AIFF file too small for
// the render are refused with one plain line, before anything is rendered where that can be known.
// The same render made twice, in different seconds, is the same file.
TEST_F(Command, OutputsIntoPipesAndDevicesAndWhatIsRefused) {
    writeAudio("in.wav", 1, 100);
    ASSERT_EQ(mkfifo(folder.path("pipe.wav").c_str(), 0600), 0);
    ASSERT_EQ(symlink("pipe.wav", folder.path("to-pipe.wav").c_str()), 0);
    // What a command sends into the pipe, both ends held open here so that nothing waits for the
    // other end; read once this end for writing goes, whatever became of the pipe meanwhile.
    auto intoPipe = [this](const std::vector<std::string>& args, std::string& received) {
        const int held = open(folder.path("pipe.wav").c_str(), O_RDWR);
        const int from = open(folder.path("pipe.wav").c_str(), O_RDONLY | O_NONBLOCK);
        const Outcome outcome = run(args);
        close(held);
        char bytes[4096];
        for (ssize_t n; (n = read(from, bytes, sizeof bytes)) > 0;)
            received.append(bytes, static_cast<std::size_t>(n));
        close(from);
        return outcome;
    };
    std::string piped;
    Outcome o = intoPipe({"render", "@in.wav", "@to-pipe.wav", "--tail", "0"}, piped);
    ASSERT_EQ(o.status, 0) << o.err;
    folder.write("piped.wav", piped);
    EXPECT_EQ(readAudioFile(folder.path("piped.wav")).frames(), 100u);
    piped.clear();
    o = intoPipe({"state", "save", "@pipe.wav"}, piped);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(piped.find("<plist"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(stat(folder.path("pipe.wav").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(symlink("/dev/null", folder.path("null.wav").c_str()), 0);
    ASSERT_EQ(run({"render", "@in.wav", "@null.wav", "--tail", "0"}).status, 0);
    ASSERT_EQ(lstat(folder.path("null.wav").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));

    ASSERT_EQ(symlink("/dev/full", folder.path("full.wav").c_str()), 0);
    folder.write("locked.wav", "old");
    ASSERT_EQ(chmod(folder.path("locked.wav").c_str(), 0444), 0);
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(folder.path("socket.wav").size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, folder.path("socket.wav").c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    {
        // 600 million frames at 768 kHz, stored as a hole: RF64 with its sizes in a ds64 chunk.
        const std::uint64_t frames = 600000000, bytes = frames * 8;
        std::string header = std::string("RF64\xFF\xFF\xFF\xFFWAVEds64\x1C\0\0\0", 20);
        auto put = [&header](std::uint64_t value, int size) {
            for (int i = 0; i < size; ++i) header += static_cast<char>(value >> (8 * i));
        };
        put(bytes + 80 - 8, 8), put(bytes, 8), put(frames, 8), put(0, 4);
        header += std::string("fmt \x10\0\0\0\x03\0\x02\0", 12);
        put(768000, 4), put(768000 * 8, 4), put(8, 2), put(32, 2);
        header += std::string("data\xFF\xFF\xFF\xFF", 8);
        ASSERT_EQ(header.size(), 80u);
        folder.write("long.wav", header);
        ASSERT_EQ(truncate(folder.path("long.wav").c_str(), static_cast<off_t>(80 + bytes)), 0);
    }
    const std::vector<std::string> before = folder.entries();
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"render", "@in.wav", "@full.wav"}, "full.wav: cannot be written (the disk is full)"},
        {{"render", "@in.wav", "@locked.wav"},
         "locked.wav: is read-only; make it writable or choose another name"},
        {{"state", "save", "@locked.wav"},
         "locked.wav: is read-only; make it writable or choose another name"},
        {{"render", "@in.wav", "@socket.wav"},
         "socket.wav: is a socket; outputs are files, pipes or character devices"},
        {{"render", "@long.wav", "@long.aiff", "--tail", "0"},
         "long.aiff: is an AIFF file, which holds at most 699.0 s at 768000 Hz, less than the 781.2 s this "
         "render "
         "may make; name it .wav or .flac"},
        {{"snapshot", "@picture.jpg"}, "picture.jpg: is not named .png; the picture is written as PNG"},
    };
    for (const auto& [args, message] : refused) {
        o = run(args);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "tarnwell: " + folder.path("") + message + "\n");
        EXPECT_TRUE(log.renders.empty()) << message;
        EXPECT_EQ(folder.entries(), before);
    }
    close(listener);
    EXPECT_EQ(folder.read("locked.wav"), "old");

    ASSERT_EQ(run({"render", "@in.wav", "@first.wav", "--tail", "0"}).status, 0);
    const std::time_t second = std::time(nullptr);
    while (std::time(nullptr) == second) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(run({"render", "@in.wav", "@second.wav", "--tail", "0"}).status, 0);
    EXPECT_EQ(folder.read("first.wav"), folder.read("second.wav"));
}

// An output that fills the disk partway, whether the writes gathered for it go out during the render
// or only as it ends, fails with the reason and leaves the file that was there as it was. The file
// size limit stands in for the disk.
TEST_F(Command, AnOutputThatFillsTheDiskPartwayFails) {
    writeAudio("short.wav", 2, 20000);  // 160 kB of output, written out as it ends
    writeAudio("long.wav", 2, 400000);  // 3.2 MB, the first megabyte written out during the render
    folder.write("out.wav", "old");
    const std::vector<std::string> before = folder.entries();
    for (const char* input : {"@short.wav", "@long.wav"}) {
        SCOPED_TRACE(input);
        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit kept = limit;
        limit.rlim_cur = 100000;
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const Outcome o = run({"render", input, "@out.wav", "--tail", "0"});
        setrlimit(RLIMIT_FSIZE, &kept);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "tarnwell: " + folder.path("out.wav") +
                             ": cannot be written (the file is larger than its file system allows)\n");
        EXPECT_EQ(folder.entries(), before);
        EXPECT_EQ(folder.read("out.wav"), "old");
    }
}

TEST_F(Command, SettingsAndSavedStatesReachTheComponent) {
    writeAudio("in.wav", 2, 100);
    ASSERT_EQ(run({"render", "@in.wav", "@o.wav", "--set", "b1 mix=0.1", "--set", "5=0.2"}).status, 0);
    EXPECT_EQ(log.setValues, (std::map<std::uint32_t, float>{{3, 0.1f}, {5, 0.2f}}));  // the exact name wins
    // Typed text goes through the component's reading; --set and --type apply in the order given.
    Outcome typed =
        run({"render", "@in.wav", "@o.wav", "--type", "Gain=25%", "--set", "gain=0.9", "--type", "1=7"});
    ASSERT_EQ(typed.status, 0);
    EXPECT_EQ(log.setValues, (std::map<std::uint32_t, float>{{0, 0.9f}, {1, 0.07f}}));
    EXPECT_EQ(typed.err, "Gain: 25%\nGain: 90%\nCutoff: 7%\n");  // each says what it did, unless quiet
    typed = run({"state", "save", "@q.aupreset", "--type", "Gain=25%", "-q"});
    EXPECT_EQ(typed.err, "");
    EXPECT_EQ(log.setValues.at(0), 0.25f);
    const Outcome params = run({"params"});
    EXPECT_NE(params.out.find("   0  Gain                            0.500000  50%\n"), std::string::npos)
        << params.out;

    // The state's name is the file's; its program's keeps 27 characters.
    ASSERT_EQ(
        run({"state", "save", "@A bright room with a long name.aupreset", "--set", "Cutoff=0.125"}).status,
        0);
    const Outcome show = run({"state", "show", "@A bright room with a long name.aupreset"});
    EXPECT_NE(show.out.find("name: A bright room with a long name\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("program 0: Fake gain with a name too l\n"), std::string::npos);
    EXPECT_NE(show.out.find("component: aumf Nwel Zelk"), std::string::npos);
    EXPECT_NE(show.out.find("Cutoff                          0.125000  13%\n"), std::string::npos)
        << show.out;
    ASSERT_EQ(
        run({"render", "@in.wav", "@o.wav", "--state", "@A bright room with a long name.aupreset"}).status,
        0);
    EXPECT_EQ(log.restores, 1);

    const Outcome help = run({"render", "--help"});  // help runs nothing
    EXPECT_NE(help.out.find("--tempo"), std::string::npos);
    EXPECT_TRUE(help.status == 0 && log.renders.empty());
    EXPECT_EQ(run({"help", "render"}).out, help.out);  // help COMMAND is COMMAND --help
    EXPECT_EQ(run({"help", "state", "save"}).out, run({"state", "save", "--help"}).out);
    EXPECT_EQ(run({"help"}).out, run({"--help"}).out);
    std::ostringstream ignored;  // the editor plays at the tempo asked for
    const auto edit = parseCommandLine({"edit", "--tempo", "90"}, ignored);
    ASSERT_TRUE(edit && std::holds_alternative<EditCommand>(*edit));
    EXPECT_EQ(std::get<EditCommand>(*edit).tempo, 90.0);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tarnwell 1.", 0), 0u) << version.out;
}

// Every bad command line, name or setting, and the files that are not what they should be (the
// hostile files test has those that are broken inside): exit status, one line naming the problem
// and the culprit, nothing written (the folder holds just what the test put there) and nothing
// restored or rendered.
TEST_F(Command, BadInputsWriteNothing) {
    writeAudio("in.wav", 2, 100);
    folder.write("bad.aupreset", "<?xml version=\"1.0\"?><plist><dict><key>type</key>");
    ASSERT_EQ(link(folder.path("in.wav").c_str(), folder.path("linked.wav").c_str()), 0);
    ASSERT_EQ(mkdir(folder.path("sub.wav").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(folder.path("fifo").c_str(), 0600), 0);
    const std::string longName = "@" + std::string(256, 'n') + ".wav";
    const std::vector<std::string> before = folder.entries();

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"render", "@missing.wav", "@out.wav"}, 1, "missing.wav: cannot be read"},
        {{"render", "@in.wav", "@in.wav"}, 1, "in.wav: is the input"},
        {{"render", "@in.wav", "@linked.wav"}, 1, "linked.wav: is the input"},
        {{"render", "@in.wav", "@sub.wav"}, 1, "sub.wav: is a folder"},
        {{"render", "@in.wav", "@no/such/out.wav"}, 1, "out.wav: cannot write in its folder"},
        {{"render", "@in.wav", longName},
         1,
         "nnn.wav: cannot be written (its name is longer than 255 bytes)"},
        {{"render", "@in.wav", "@out.wav", "--midi", "@sub.wav"}, 1, "sub.wav: is a folder"},
        {{"render", "@in.wav", "@out.wav", "--state", "@fifo"},
         1,
         "fifo: is a pipe that nothing was written to in 0.2 s"},
        {{"render", "@in.wav", "@out.ogg"}, 1, "out.ogg: has an unknown audio type"},
        {{"render", "@in.wav", "@out.wav", "--preset", "Hot Plate"},
         1,
         "--preset Hot Plate: no factory preset"},
        {{"render", "@in.wav", "@out.wav", "--preset", "63"},
         1,
         "--preset 63: there is no factory preset 63"},
        {{"render", "@in.wav", "@out.wav", "--preset", "2"}, 1, "cannot hold a program of 1024 values"},
        {{"render", "@in.wav", "@out.wav", "--set", "Volume=0.5"},
         1,
         "--set Volume=0.5: no parameter is named"},
        {{"render", "@in.wav", "@out.wav", "--set", "B1 MIX=0.5"},
         1,
         "names 2 parameters (B1 Mix and b1 mix)"},
        {{"render", "@in.wav", "@out.wav", "--set", "6=0.5"},
         1,
         "--set 6=0.5: there is no parameter 6 (0..5)"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=2"},
         2,
         "--set Gain=2: the value 2 is outside 0..1"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=half"}, 2, "is not a number"},
        {{"render", "@in.wav", "@out.wav", "--midi", "@none.mid"}, 1, "none.mid: cannot be read"},
        {{"render", "@in.wav", "@out.wav", "--state", "@bad.aupreset"},
         1,
         "bad.aupreset: is not a saved state"},
        {{"render", "@in.wav", "@out.wav", "--state", "@none.aupreset"}, 1, "none.aupreset: cannot be read"},
        {{"state", "save", "@new.aupreset", "--set", "Nothing=1"}, 1, "no parameter is named \"Nothing\""},
        {{"render", "@in.wav", "@out.wav", "--tempo", "-5"}, 2, "--tempo"},
        {{"render", "@in.wav", "@out.wav", "--block", "5000"},
         2,
         "--block: 5000 is outside 1 to 4096 frames; see tarnwell render --help"},
        {{"render", "@in.wav", "@out.wav", "--block", "1.5"},
         2,
         "--block: 1.5 is not a whole number of frames (1 to 4096)"},
        {{"render", "@in.wav", "@out.wav", "--tail", "2s"},
         2,
         "--tail: 2s is not a number of seconds (0 to 600)"},
        {{"snapshot", "@o.png", "--scale", "125"},
         2,
         "--scale: 125 is not one of the choices: 100, 150 or 200; see tarnwell snapshot --help"},
        {{"snapshot", "@o.png", "--page", "setings"}, 2, "main or settings; did you mean \"settings\"?"},
        {{"render", "@in.wav", "@out.wav", "--tial", "3"},
         2,
         "\"--tial\" is not an option of tarnwell render; did you mean \"--tail\"? (see tarnwell render "
         "--help)"},
        {{"rendr", "@in.wav"},
         2,
         "\"rendr\" is not a command of tarnwell; did you mean \"render\"? (see tarnwell --help)"},
        {{"help", "state", "shw"}, 2, "\"shw\" is not a command of tarnwell state; did you mean \"show\"?"},
        {{"state"}, 2, "state needs a command: save or show; see tarnwell state --help"},
        {{"render"}, 2, "render needs a file name: [INPUT] OUTPUT; see tarnwell render --help"},
        {{"render", "@in.wav", "@out.wav", "--preset"}, 2, "--preset needs a value (NAME|NUMBER)"},
        {{"render", "@in.wav", "@out.wav", "--tail="},
         2,
         "--tail needs a value (SECONDS); see tarnwell render --help"},
        {{"render", "@in.wav", "@out.wav", "-q=yes"}, 2, "-q takes no value"},
        {{"render", "-q", "--tial", "3", "@in.wav", "@out.wav"},
         2,
         "\"--tial\" is not an option of tarnwell render"},
        {{"render", "@in.wav", "@out.wav", "--preset", "dub siren chambr"},
         1,
         "did you mean \"Dub Siren Chamber\"?"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gian=0.5"},
         1,
         "no parameter is named \"Gian\" (tarnwell params lists them); did you mean \"Gain\"?"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain"}, 2, "--set Gain: expected NAME=VALUE"},
        {{"render", "@in.wav", "@out.wav", "--set", "Gain=nan"}, 2, "is not a number"},
        {{"render", "@in.wav", "@out.wav", "--tail", "nan"}, 2, "--tail: nan is not a number"},
        {{"render", "@in.wav", "@out.wav", "--tempo", "nan"}, 2, "--tempo: nan is not a number"},
        {{"edit", "--tempo", "0"},
         2,
         "--tempo: 0 is outside 1 to 999 beats per minute; see tarnwell edit --help"},
        {{"render", "@in.wav", "@out.wav", "--presett", "3"},
         2,
         "\"--presett\" is not an option of tarnwell render"},
        {{"state", "frob"}, 2, "\"frob\" is not a command of tarnwell state"},
        {{"render", "@in.wav", "@out.wav", "--type", "Gain=loud"},
         1,
         "--type Gain=loud: parameter 0 (Gain) does not take \"loud\"; it takes a number as the editor's Set "
         "to "
         "Value dialog reads it (-100 reads 0%, 1 reads 1%, 100 reads 100%)"},
        {{"state", "save", "@new.aupreset", "--type", "Gain="}, 2, "--type Gain=: expected NAME=TEXT"},
        {{"render", "@in.wav", "@out.wav", "--type", "Loudness=3"},
         1,
         "--type Loudness=3: no parameter is named"},
        {{"render", "@in.wav", "@out.wav", "@more.wav"}, 2, "render takes [INPUT] OUTPUT, but was given "},
        {{"mix", "@in.wav"}, 2, "\"mix\" is not a command of tarnwell"},
        {{"presets", "--set", "a=1"}, 2, "\"--set\" is not an option of tarnwell presets"},
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
