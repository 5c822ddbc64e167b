// The host's own path through the built component: the tarnwell command and its component
// driver against the effect run in-process, saved-state files and the factory bank.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>

#include "dsp/TBasicReverb.h"
#include "effect/FactoryBank.h"
#include "effect/ParameterLayout.h"
#include "framework/effectbase/AEffect.h"
#include "framework/effectbase/AudioEffect.h"
#include "framework/effectbase/VstRecords.h"
#include "host/AudioFile.h"
#include "host/AudioUnitComponent.h"
#include "host/CommandLine.h"
#include "host/DemoMaterial.h"
#include "host/Renderer.h"
#include "host/TarnwellCommand.h"
#include "tests/effect/MidiEvents.h"
#include "tests/host/HostileFiles.h"
#include "tests/support/PreferencesSandbox.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempFolder.h"

namespace {

using tarnwell::test::PreferencesSandbox;
using tarnwell::test::RecordingHost;
using tarnwell::test::TempFolder;

constexpr double RATE = 44100.0;

// The effect itself, driven the way the adapter drives it and answered the way the adapter
// answers, so its output must match what the component gives the host bit for bit.
class DirectEffect {
public:
    explicit DirectEffect(std::uint32_t maxFrames) {
        host.vendor = "Zelk";
        host.product = "Default";
        host.version = 65536;
        host.sampleRate = static_cast<intptr_t>(RATE);
        effect.reset(createEffectInstance(RecordingHost::callback()));
        // The adapter's construction (44.1 kHz, 1024 frames, program 0), then the host's initialisation.
        for (const int frames : {1024, static_cast<int>(maxFrames)}) {
            effect->suspend();
            effect->setSampleRate(static_cast<float>(RATE));
            effect->setBlockSize(frames);
            if (frames == 1024) effect->setProgram(0);
        }
        effect->resume();
    }

    void setParameter(std::uint32_t id, float value) { effect->setParameter(static_cast<int>(id), value); }
    std::string valueText(std::uint32_t id) {
        char text[64] = {};
        effect->getParameterDisplay(static_cast<int>(id), text);
        return text;
    }

    // One render: the adapter hands over the MIDI of the block (offsets into it), then processes a
    // copy of the input.
    void process(const float* const* input, double sampleTime, std::uint32_t frames,
                 const std::vector<tarnwell::test::MidiMessage>& midi, const TransportState& song,
                 float** output) {
        VstTimeInfo& info = host.timeInfo;
        info = VstTimeInfo{};
        info.samplePos = sampleTime;
        info.sampleRate = RATE;
        info.tempo = song.tempo;
        info.ppqPos = song.beat;
        info.barStartPos = song.barStartBeat;
        info.samplesToNextClock = static_cast<int32_t>(song.samplesToNextBeat);
        info.timeSigNumerator = song.numerator;
        info.timeSigDenominator = song.denominator;
        info.flags = timeTempoValid | timePpqPosValid | timeBarsValid | timeSigValid |
                     (song.changed ? timeTransportChanged : 0) | (song.playing ? timeTransportPlaying : 0);
        tarnwell::test::MidiEventList events(midi);
        effect->dispatcher(EffectOpcode::ProcessEvents, 0, 0, events.get(), 0.0f);
        std::vector<float> left(input[0], input[0] + frames), right(input[1], input[1] + frames);
        float* ins[2] = {left.data(), right.data()};
        effect->processReplacing(ins, output, static_cast<int>(frames));
    }

private:
    RecordingHost host;  // made before the effect, which asks for the host's names
    std::unique_ptr<AudioEffect> effect;
};

class LoadedComponent : public ::testing::Test {
protected:
    static std::unique_ptr<ComponentHost> open() {
        return std::make_unique<AudioUnitComponent>(TARNWELL_COMPONENT_PATH);
    }

    // The command's exit status; its messages go to err, or must be none.
    int run(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
        std::ostringstream o, e;
        const int status = runTarnwell(args, o, e, HostEnvironment{&open, false});
        if (out != nullptr) *out = o.str();
        if (err != nullptr)
            *err = e.str();
        else
            EXPECT_EQ(e.str(), "");
        return status;
    }

    StateSummary summaryOf(const std::string& file) {
        const CFRef<CFTypeRef> state = readPresetFile(file);
        const auto component = open();
        return inspectSavedState(static_cast<CFDictionaryRef>(state.get()), file, component->identity(),
                                 component->stateLayout());
    }

    PreferencesSandbox sandbox;  // the effect reads and writes preferences
    TempFolder folder;
};

// Block 2 of the first preset is a Room, whose start phases come from a noise generator that each
// copy of the effect code keeps for its process: it is turned off wherever outputs are compared.
constexpr std::uint32_t BLOCK_2_TYPE = 134;

TEST_F(LoadedComponent, RenderingAFileMatchesTheEffectRunInProcess) {
    AudioData input = makeDemoMaterial();
    for (auto& c : input.channels) c.resize(static_cast<std::size_t>(1.5 * RATE));
    writeAudioFile(folder.path("in.wav"), input);

    // Notes and a controller at 100 beats per minute: beat b falls on frame b * 0.6 s.
    const std::vector<MidiMessage> midi = {
        {static_cast<std::uint64_t>(0.3 * RATE), 0x90, 60, 100},
        {static_cast<std::uint64_t>(0.6 * RATE), 0xB0, 1, 64},
        {static_cast<std::uint64_t>(1.2 * RATE), 0x80, 60, 0},
    };
    // Those events in a MIDI file at 96 pulses per beat, 600000 us per beat.
    folder.write("song.mid",
                 tarnwell::test::midiFile({std::string("\0\xFF\x51\x03\x09\x27\xC0\x30\x90\x3C\x64\x30\xB0"
                                                       "\x01\x40\x60\x80\x3C\0\0\xFF\x2F\0",
                                                       23)}));
    ASSERT_EQ(run({"render",
                   folder.path("in.wav"),
                   folder.path("out.wav"),
                   "--midi",
                   folder.path("song.mid"),
                   "--set",
                   "Block 1 Comb Feed=0.4",
                   "--set",
                   "9=0.7",
                   "--set",
                   "134=0",
                   "--set",
                   "211=0.051",
                   "--set",
                   "215=0.011",
                   "--set",
                   "125=1",
                   "--set",
                   "207=0",
                   "--block",
                   "300",
                   "--tail",
                   "0.25",
                   "-q"}),
              0);
    const AudioData output = readAudioFile(folder.path("out.wav"));
    const std::size_t frames = input.frames() + static_cast<std::size_t>(0.25 * RATE);
    ASSERT_EQ(output.frames(), frames);

    DirectEffect direct(300);
    direct.setParameter(11, 0.4f);
    direct.setParameter(9, 0.7f);
    direct.setParameter(BLOCK_2_TYPE, 0.0f);
    // Slot 4: Velocity scales Global Volume, so the output is silent until the note's very frame.
    for (const auto& [id, value] : {std::pair{211u, 0.051f}, {215u, 0.011f}, {125u, 1.0f}, {207u, 0.0f}})
        direct.setParameter(id, value);
    TempoMap tempo(100.0);
    std::vector<std::vector<float>> expected(2, std::vector<float>(frames));
    for (std::size_t pos = 0; pos < frames; pos += 300) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(300, frames - pos));
        std::vector<std::vector<float>> in(2, std::vector<float>(n, 0.0f));
        for (std::size_t c = 0; c < 2; ++c)
            for (std::size_t i = 0; i < n && pos + i < input.frames(); ++i)
                in[c][i] = input.channels[c][pos + i];
        const float* ins[2] = {in[0].data(), in[1].data()};
        std::vector<tarnwell::test::MidiMessage> due;
        for (const MidiMessage& m : midi)
            if (m.frame >= pos && m.frame < pos + n)
                due.push_back({static_cast<int32_t>(m.frame - pos), m.status, m.data1, m.data2});
        TransportState song = transportAt(tempo, RATE, pos);
        song.changed = pos == 0;
        float* outs[2] = {expected[0].data() + pos, expected[1].data() + pos};
        direct.process(ins, static_cast<double>(pos), n, due, song, outs);
    }
    EXPECT_EQ(output.channels, expected);
}

// The automatic tail waits for silence only as long as the patch can still sound again, and cuts
// nothing: it ends where a minute's tail, its quiet end cut, ends.
TEST_F(LoadedComponent, TheAutomaticTailWaitsOnlyAsLongAsThePatchCanSoundAgain) {
    AudioData burst;  // 20 ms of 440 Hz at -6 dBFS, then silence
    burst.sampleRate = RATE;
    burst.channels.assign(2, std::vector<float>(static_cast<std::size_t>(0.2 * RATE), 0.0f));
    for (auto& c : burst.channels)
        for (std::size_t i = 0; i < static_cast<std::size_t>(0.02 * RATE); ++i)
            c[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * static_cast<double>(i) / RATE));
    const auto quarterSecond = static_cast<std::uint64_t>(0.25 * RATE);
    auto preset = [](ComponentHost& c, const char* name) {
        const auto* const found =
            std::find_if(FACTORY_PRESET_NAMES, FACTORY_PRESET_NAMES + FACTORY_PRESET_COUNT,
                         [&](const char* n) { return std::strcmp(n, name) == 0; });
        loadFactoryPreset(c, static_cast<std::int32_t>(found - FACTORY_PRESET_NAMES));
    };
    auto blocksOff = [](ComponentHost& c) {
        for (const std::int32_t tag : BLOCK_TYPE_TAG) c.setParameter(static_cast<std::uint32_t>(tag), 0.0f);
    };
    struct Case {
        const char* name;
        std::function<void(ComponentHost&)> set;
        std::uint64_t leastSpan, mostSpan;
        // False where the rooms' phases come from the process's noise generator: each render's
        // differ, and with them where a tail of many seconds falls under the level (by 0.35 s).
        bool sameSamples;
    };
    const Case cases[] = {
        {"all Blocks Off, no Delay",
         [&](ComponentHost& c) {
             blocksOff(c);
             c.setParameter(DELAY_ON_PARAM, 0.0f);
         },
         0, 0, true},
        // 2^(12 * 0.95) ms = 2,702 ms left, 2,103 ms right; echoes 2.7 s apart, each 6 dB down.
        {"a long Delay",
         [&](ComponentHost& c) {
             blocksOff(c);
             for (const auto& [id, value] : {std::pair{DELAY_ON_PARAM, 1.0f},
                                             {DELAY_TEMPO_SYNC_PARAM, 0.0f},
                                             {DELAY_LEFT_PARAM, 0.95f},
                                             {DELAY_RIGHT_PARAM, 0.92f},
                                             {DELAY_FEEDBACK_PARAM, 0.5f},
                                             {DELAY_CROSS_FEEDBACK_PARAM, 0.0f},
                                             {DELAY_MIX_PARAM, 1.0f}})
                 c.setParameter(static_cast<std::uint32_t>(id), value);
         },
         static_cast<std::uint64_t>(2.7 * RATE), static_cast<std::uint64_t>(2.8 * RATE), true},
        {"Ten Second Frozen Hall", [&](ComponentHost& c) { preset(c, "Ten Second Frozen Hall"); },
         TComb::kMaxLength, 3 * TBasicReverb::kPreDelayFrames, false},
        // A pad replayed over eight bars (16 s) sweeps the Delay's Mix: with the Delay's loop it may
        // bring the echoes back after as long. Its Room (Block 3) off, so each render is the same.
        {"Eight Bar Riser",
         [&](ComponentHost& c) {
             preset(c, "Eight Bar Riser");
             c.setParameter(static_cast<std::uint32_t>(BLOCK_TYPE_TAG[2]), 0.0f);
         },
         static_cast<std::uint64_t>(16.0 * RATE), static_cast<std::uint64_t>(17.0 * RATE), true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::optional<std::uint64_t> span;
        std::uint64_t rendered = 0;
        auto render = [&](std::optional<std::uint64_t> tail) {
            const auto component = open();
            component->initialize(RATE, 2, 512);
            test.set(*component);
            RenderJob job;
            job.tailFrames = tail;
            AudioData out = renderAudio(*component, job, burst,
                                        [&](std::uint64_t done, std::uint64_t) { rendered = done; });
            span = component->quietSpan();
            return out;
        };
        AudioData whole = render(static_cast<std::uint64_t>(AUTOMATIC_TAIL_SECONDS * RATE));
        std::size_t end = whole.frames();
        auto quiet = [&](std::size_t i) {
            return std::fabs(whole.channels[0][i]) < QUIET_LEVEL &&
                   std::fabs(whole.channels[1][i]) < QUIET_LEVEL;
        };
        while (end > burst.frames() && quiet(end - 1)) --end;
        for (auto& c : whole.channels) c.resize(end);

        const AudioData automatic = render(std::nullopt);
        ASSERT_TRUE(span.has_value());
        EXPECT_GE(*span, test.leastSpan);
        EXPECT_LE(*span, test.mostSpan);
        // The quiet frames rendered past the end: the span, the quarter second and one block at most
        // where the patch rests; for the rooms, whose lengths drift, fewer than a component that
        // does not say gets.
        if (test.sameSamples) {
            EXPECT_LE(rendered - automatic.frames(), *span + quarterSecond + 512);
            EXPECT_EQ(automatic.channels, whole.channels);
        } else {
            EXPECT_LT(rendered - automatic.frames(), quietFramesToEnd(RATE));
            EXPECT_NEAR(static_cast<double>(automatic.frames()), static_cast<double>(end), RATE);
        }
    }
}

TEST_F(LoadedComponent, ASavedStateFileRestoresEveryValue) {
    std::vector<float> expected(1024);
    {
        const auto component = open();
        component->initialize(RATE, 2, 256);
        for (std::uint32_t id = 0; id < 1023; ++id)  // 1023 reloads the factory preset
            component->setParameter(id, static_cast<float>((id * 53) % 97) / 96.0f);
        // Switches snap once a program is applied: let the effect settle the values first.
        CFRef<CFTypeRef> settled = component->saveState();
        component->restoreState(settled.get());
        for (std::uint32_t id = 0; id < 1024; ++id) expected[id] = component->parameter(id);
        CFRef<CFTypeRef> state = component->saveState();
        completePresetKeys(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(state.get())),
                           component->identity(), "pattern");
        writePresetFile(folder.path("pattern.aupreset"), state.get());
    }
    const auto fresh = open();
    fresh->initialize(RATE, 2, 256);
    ASSERT_NE(fresh->parameter(5), expected[5]);
    fresh->restoreState(readPresetFile(folder.path("pattern.aupreset")).get());
    for (std::uint32_t id = 0; id < 1024; ++id)
        ASSERT_EQ(fresh->parameter(id), expected[id]) << "parameter " << id;
}

// What params lists beside each value is the effect's own value text; typed text reaches the
// effect as its type-in reads it, leaves nothing changed by the reading itself, and text the
// type-in refuses stops the command.
TEST_F(LoadedComponent, ValueTextsAndTypedValues) {
    std::string params;
    ASSERT_EQ(run({"params"}, &params), 0);
    DirectEffect direct(DEFAULT_BLOCK_FRAMES);
    std::istringstream lines(params);
    int named = 0, withText = 0;
    for (std::string line; std::getline(lines, line); ++named) {
        const std::string text = direct.valueText(static_cast<std::uint32_t>(std::stoul(line)));
        if (text.empty()) {
            EXPECT_NE(line.back(), ' ') << line;  // the value ends the line
            continue;
        }
        EXPECT_EQ(line.substr(line.size() - text.size() - 2), "  " + text) << line;
        ++withText;
    }
    EXPECT_EQ(named, 356);
    EXPECT_EQ(withText, 356 - 9);  // the XY record modes and path lengths have none

    const auto component = open();
    component->initialize(RATE, 2, 256);
    const float before = component->parameter(6);
    EXPECT_NEAR(component->valueFromText(6, "1000").value_or(-1.0f), std::log2(50.0f) / 10.0f, 1e-5f);
    EXPECT_EQ(component->parameter(6), before);
    EXPECT_EQ(component->valueFromText(6, "loud"), std::nullopt);
    EXPECT_EQ(component->valueFromText(110, "100"), std::nullopt);  // Delay Left takes no typed value

    const std::string file = folder.path("typed.aupreset");
    std::string said;
    ASSERT_EQ(run({"state", "save", file, "--type", "Block 1 Filter Freq=1000", "--type", "block 2 type=comb",
                   "--type", "3=Parallel > Delay", "--type", "Block 1 Volume=-6"},
                  nullptr, &said),
              0);
    // Each setting says what it did: the parameter's name and value text.
    EXPECT_EQ(
        said,
        "Block 1 Filter Freq: 1.0Khz\nBlock 2 Type: Comb\nPath: Parallel > Delay\nBlock 1 Volume: -6dB\n");
    const std::vector<float> values = summaryOf(file).programs.at(0).values;
    EXPECT_NEAR(values[6], std::log2(50.0f) / 10.0f, 1e-5f);
    EXPECT_EQ(values[BLOCK_2_TYPE], 2.0f / 6.99f);
    EXPECT_EQ(values[3], 5.0f / 5.99f);
    EXPECT_NEAR(values[30], 0.68f, 1e-6f);

    std::string err;
    EXPECT_EQ(run({"state", "save", file, "--type", "Block 1 Filter Freq=loud"}, nullptr, &err), 1);
    EXPECT_EQ(
        err,
        "tarnwell: --type Block 1 Filter Freq=loud: parameter 6 (Block 1 Filter Freq) does not take "
        "\"loud\"; it takes a number as the editor's Set to Value dialog reads it (-100 reads 20hz, 100 "
        "reads 100hz) or a text as tarnwell params shows the value (such as 20hz)\n");
}

// A state shows the sound it holds: the name of the program its values make (a record beside
// them may keep an older one, as after stepping presets in the editor) and every value with its
// text, as params lists the same sound; params, state save and the settings start from it alike.
TEST_F(LoadedComponent, AStateShowsItsOwnSoundInItsUnits) {
    const std::string file = folder.path("stepped.aupreset");
    {
        const auto component = open();
        const std::vector<float> warped(std::begin(DEMOVAR[54]), std::end(DEMOVAR[54]));
        CFRef<CFTypeRef> state =
            programState(component->identity(), component->stateLayout(), FACTORY_PRESET_NAMES[53], warped);
        completePresetKeys(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(state.get())),
                           component->identity(), "stepped");
        writePresetFile(file, state.get());
    }
    std::string shown, listed;
    ASSERT_EQ(run({"state", "show", file}, &shown), 0);
    EXPECT_NE(shown.find(std::string("\nprogram 0: ") + FACTORY_PRESET_NAMES[54] + "\n"), std::string::npos)
        << shown;
    ASSERT_EQ(run({"params", "--state", file}, &listed), 0);
    EXPECT_NE(listed.find(" B1 > B2 > B3 > Delay\n"),
              std::string::npos);  // the path of that preset, as a text
    EXPECT_EQ(shown.substr(shown.find("\n", shown.find("program 0")) + 1), listed);

    // params with settings on top; state save from the state with settings on top.
    std::string said;
    ASSERT_EQ(run({"params", "--preset", "54", "--type", "Block 3 Pan=30L", "-q"}, &listed), 0);
    EXPECT_NE(listed.find("  97  Block 3 Pan                     0.350000  30L\n"), std::string::npos)
        << listed;
    const std::string changed = folder.path("changed.aupreset");
    ASSERT_EQ(run({"state", "save", changed, "--state", file, "--set", "Block 3 Pan=0.35"}, nullptr, &said),
              0);
    const std::vector<float> values = summaryOf(changed).programs.at(0).values;
    std::vector<float> expected(std::begin(DEMOVAR[54]), std::end(DEMOVAR[54]));
    expected[97] = 0.35f;
    for (std::size_t id = 1; id < 800; ++id) EXPECT_EQ(values[id], expected[id]) << id;
}

// Names as the editor's captions say them reach their parameter where they name one.
TEST_F(LoadedComponent, EditorCaptionsNameParameters) {
    const std::string file = folder.path("captions.aupreset");
    std::string said;
    ASSERT_EQ(run({"state", "save", file, "--set", "Low Pass=0.25", "--set", "block 2 low cut=0.5", "--set",
                   "Block 3 Points=0.75", "--set", "Block 1 Grid=1", "--set", "Block 1 Distort=0.125",
                   "--set", "Hold=0.375"},
                  nullptr, &said),
              0);
    const std::vector<float> values = summaryOf(file).programs.at(0).values;
    EXPECT_EQ(values[DELAY_LP_PARAM], 0.25f);
    EXPECT_EQ(values[ROOM_HP_TAG[1]], 0.5f);
    EXPECT_EQ(values[XY_POINT_QUANT_TAG[2]], 0.75f);
    EXPECT_EQ(values[XY_SPACE_QUANT_TAG[0]], 1.0f);
    EXPECT_EQ(values[FILTER_DISTORT_TAG[0]], 0.125f);
    EXPECT_EQ(values[FOLLOWER_HOLD_PARAM], 0.375f);
    EXPECT_EQ(said.rfind("Delay LP Filter: ", 0), 0u) << said;
    std::string err;
    EXPECT_EQ(run({"state", "save", file, "--set", "Low Cut=0.5"}, nullptr, &err), 1);
    EXPECT_NE(
        err.find("\"Low Cut\" names 3 parameters (Block 1 Room HP, Block 2 Room HP and Block 3 Room HP)"),
        std::string::npos)
        << err;
}

// On the command line typed text never sets what it does not say: the value texts the type-in
// would misread are read as the parameter shows them, numbers in the unit shown count, and
// anything else is refused with what the parameter takes.
TEST_F(LoadedComponent, TypedTextIsNeverMisread) {
    const std::string file = folder.path("typed.aupreset");
    const struct {
        const char* setting;
        const char* said;
    } taken[] = {
        {"Block 3 Pan=30L", "Block 3 Pan: 30L"},
        {"Block 3 Pan=-30", "Block 3 Pan: 30L"},
        {"Block 1 Mix=56D", "Block 1 Mix: 56D"},
        {"Delay Mix=equal", "Delay Mix: Equal"},
        {"Follower Hold=100ms", "Follower Hold: 100ms"},
        {"Follower Hold=1234 ms", "Follower Hold: 1234ms"},
        {"Block 1 Shaper LowFI Bits=8Bits", "Block 1 Shaper LowFI Bits: 8Bits"},
        {"Block 1 Filter Freq=1200hz", "Block 1 Filter Freq: 1.2Khz"},
        {"Block 1 Filter Freq=1.2k", "Block 1 Filter Freq: 1.2Khz"},
        {"Block 1 Shaper LowFI Rate=11k", "Block 1 Shaper LowFI Rate: 11.0Khz"},
        {"Block 1 Filter Q=37.5%", "Block 1 Filter Q: 37%"},
        {"Block 1 Filter Mode=hp 6db", "Block 1 Filter Mode: HP 6dB"},
    };
    for (const auto& t : taken) {
        std::string said;
        ASSERT_EQ(run({"state", "save", file, "--type", t.setting}, nullptr, &said), 0) << said;
        EXPECT_EQ(said, std::string(t.said) + "\n");
    }
    // 30L is exactly what the editor's dialog sets for -30; a text the range's end shows is that end.
    ASSERT_EQ(run({"state", "save", file, "-q", "--type", "Block 3 Pan=30L", "--type", "Block 1 Volume=off"}),
              0);
    EXPECT_EQ(summaryOf(file).programs.at(0).values[blockParam(2, BLOCK_PAN_OFFSET)], 0.35f);
    EXPECT_EQ(summaryOf(file).programs.at(0).values[blockParam(0, BLOCK_VOLUME_OFFSET)], 0.0f);

    const struct {
        const char* setting;
        const char* message;
    } refused[] = {
        {"Block 1 Filter Freq=1,2k",
         "does not take \"1,2k\"; it takes a number as the editor's Set to Value dialog "
         "reads it (-100 reads 20hz, 100 reads 100hz)"},
        {"Block 1 Filter Mode=3x", "3 reads LP1 12dB"},
        {"Block 1 Filter Q=1 2", "does not take \"1 2\""},
        {"Block 3 Pan=30x", "did you mean \"30L\" or \"30R\"?"},
        {"Block 2 Type=cmb", "did you mean \"Comb\"?"},
        {"Block 1 Volume=-60dB", "-100 reads Off, 0 reads 0dB"},
        {"Delay Left=64ms",
         "Delay Left takes no typed value; set it with --set \"Delay Left=VALUE\", VALUE from 0 "
         "(1ms) to 1 (4096ms), such as 0.5 (64ms)"},
        {"Block 1 Gater Left Step 01=on", "takes no typed value; set it with --set"},
    };
    for (const auto& r : refused) {
        std::string err;
        EXPECT_EQ(run({"state", "save", file, "--type", r.setting}, nullptr, &err), 1);
        EXPECT_NE(err.find(r.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
}

// Every preset of the bank, by number or by name, reaches the effect exactly as the bank holds it.
TEST_F(LoadedComponent, EveryFactoryPresetCanBeChosen) {
    std::string listing;
    ASSERT_EQ(run({"presets"}, &listing), 0);
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), FACTORY_PRESET_COUNT);
    const std::pair<int, std::string> choices[] = {{1, "1"}, {30, "octave cathedral"}, {62, "62"}};
    for (const auto& [n, choice] : choices) {
        char line[64];
        std::snprintf(line, sizeof line, "%2d  %s\n", n, FACTORY_PRESET_NAMES[n]);
        EXPECT_NE(listing.find(line), std::string::npos) << line;
        const std::vector<float> bank(std::begin(DEMOVAR[n]), std::end(DEMOVAR[n]));
        const std::string file = folder.path("p.aupreset");
        ASSERT_EQ(run({"state", "save", file, "--preset", choice}), 0);
        const StateSummary plain = summaryOf(file);
        EXPECT_EQ(plain.programs.at(0).values, bank) << choice;
        EXPECT_EQ(plain.programs[0].name, FACTORY_PRESET_NAMES[n]) << choice;
    }
}

// One-sample jumps in a render of a steady sine: a second difference above 0.02 that stands ten
// times over the RMS of the 25 ms around it and has fewer than four like it there (a low saw's
// own edges are not clicks), with a jump of 0.05 of full scale or more.
int clicksIn(const std::vector<float>& x) {
    const std::size_t n = x.size(), half = static_cast<std::size_t>(0.025 * RATE);
    std::vector<double> d2(n, 0.0), energy(n + 1, 0.0);
    for (std::size_t i = 2; i < n; ++i)
        d2[i] =
            static_cast<double>(x[i]) - 2.0 * static_cast<double>(x[i - 1]) + static_cast<double>(x[i - 2]);
    for (std::size_t i = 0; i < n; ++i) energy[i + 1] = energy[i] + d2[i] * d2[i];
    int clicks = 0;
    for (std::size_t i = 2; i < n; ++i) {
        const double v = std::fabs(d2[i]);
        const std::size_t lo = i > half ? i - half : 0, hi = std::min(n, i + half + 1);
        if (v < 0.02 || v * v <= 100.0 * (energy[hi] - energy[lo]) / static_cast<double>(hi - lo)) continue;
        if (std::max(std::fabs(x[i] - x[i - 1]), std::fabs(x[i - 1] - x[i - 2])) < 0.05f) continue;
        if (std::count_if(d2.begin() + static_cast<std::ptrdiff_t>(lo),
                          d2.begin() + static_cast<std::ptrdiff_t>(hi),
                          [&](double d) { return std::fabs(d) > 0.5 * v; }) < 4)
            ++clicks;
    }
    return clicks;
}

// DC a render adds to its input's over frames [from, to): the larger of the two channels'
// |output mean| - |input mean|, the means weighted by a Hann window so that low notes do not leak
// into them. What the input brings (the demo's kicks carry some) is not the preset's doing; a
// preset that lifts it, as a comb with strong positive feedback does, is.
double addedDc(const AudioData& output, const AudioData& input, std::size_t from, std::size_t to) {
    const double span = static_cast<double>(to - from + 1);
    double worst = 0.0;
    for (std::size_t c = 0; c < 2; ++c) {
        double out = 0.0, in = 0.0, weights = 0.0;
        for (std::size_t i = from; i < to; ++i) {
            const double w = 1.0 - std::cos(2.0 * M_PI * static_cast<double>(i - from + 1) / span);
            out += w * static_cast<double>(output.channels[c][i]);
            in += w * static_cast<double>(input.channels[c][i]);
            weights += w;
        }
        worst = std::max(worst, (std::fabs(out) - std::fabs(in)) / weights);
    }
    return worst;
}

// Test material for the bank, both channels alike, with a 10 ms fade in: a sine at -6 dBFS, and the
// A-minor chord (110, 130.81, 164.81 and 220 Hz saws, band-limited below 18 kHz) peaking at
// -6 dBFS. Each saw is read from one period worked out in advance, so that twenty seconds of the
// chord cost no more than a sine.
AudioData heldMaterial(double seconds, const std::function<double(double)>& wave) {
    AudioData a;
    a.channels.assign(2, std::vector<float>(static_cast<std::size_t>(seconds * RATE)));
    for (std::size_t i = 0; i < a.channels[0].size(); ++i) {
        const double t = static_cast<double>(i) / RATE;
        a.channels[0][i] = a.channels[1][i] = static_cast<float>(std::min(1.0, t / 0.01) * wave(t));
    }
    return a;
}

AudioData heldSine(double seconds, double hz) {
    return heldMaterial(seconds, [hz](double t) { return 0.5 * std::sin(2.0 * M_PI * hz * t); });
}

AudioData heldChord(double seconds) {
    constexpr std::size_t PERIOD = 8192;
    const double notes[] = {110.0, 130.81, 164.81, 220.0};
    std::vector<std::vector<double>> saws;
    for (double f : notes) {
        std::vector<double> saw(PERIOD + 1, 0.0);
        for (std::size_t j = 0; j <= PERIOD; ++j)
            for (int k = 1; k * f < 18000.0; ++k)
                saw[j] += std::sin(2.0 * M_PI * k * static_cast<double>(j) / PERIOD) / k;
        saws.push_back(std::move(saw));
    }
    AudioData chord = heldMaterial(seconds, [&](double t) {
        double v = 0.0;
        for (std::size_t n = 0; n < saws.size(); ++n) {
            const double phase = (notes[n] * t - std::floor(notes[n] * t)) * PERIOD;
            const std::size_t j = static_cast<std::size_t>(phase);
            v += saws[n][j] + (phase - static_cast<double>(j)) * (saws[n][j + 1] - saws[n][j]);
        }
        return v;
    });
    float peak = 0.0f;
    for (float v : chord.channels[0]) peak = std::max(peak, std::fabs(v));
    for (auto& c : chord.channels)
        for (float& v : c) v *= 0.5f / peak;
    return chord;
}

// Factory preset n on the input, rendered as the command renders, without a tail.
AudioData renderFactoryPreset(const std::unique_ptr<ComponentHost>& component, std::int32_t n,
                              const AudioData& input) {
    component->initialize(RATE, 2, 512);
    loadFactoryPreset(*component, n);
    RenderJob job;
    job.tailFrames = 0;
    job.tempo = TempoMap(DEMO_TEMPO);
    return renderAudio(*component, job, input);
}

// Samples of a channel at the output limit.
int atOutputLimit(const std::vector<float>& channel) {
    return static_cast<int>(
        std::count_if(channel.begin(), channel.end(), [](float s) { return std::fabs(s) >= 0.9989f; }));
}

// The bank's hard limits, for every preset: a 220 Hz sine at -6 dBFS for 1.75 s, a sustained
// A-minor saw chord for 0.75 s and the first 1.5 s of the demo loop. No sample reaches the output
// limit, the sine comes out without clicks, the demo stays audible, and no preset adds DC of 1e-3
// or more: on the sine over its last second, once grains and gates have run (that mean holds what
// lies within about 2 Hz of DC, so slower motion counts as DC), and on the whole demo, whose kicks
// bring DC of their own for a low-end build-up to lift.
TEST_F(LoadedComponent, EveryFactoryPresetKeepsTheBanksHardLimits) {
    const auto at = [](double seconds) { return static_cast<std::size_t>(seconds * RATE); };
    const AudioData sine = heldSine(1.75, 220.0);
    const AudioData chord = heldChord(0.75);
    AudioData demo = makeDemoMaterial();
    for (auto& c : demo.channels) c.resize(at(1.5));

    const std::pair<const char*, const AudioData*> signals[] = {
        {"sine", &sine}, {"chord", &chord}, {"demo", &demo}};
    for (std::int32_t n = 0; n < FACTORY_PRESET_COUNT; ++n) {
        for (const auto& [name, input] : signals) {
            SCOPED_TRACE(testing::Message() << FACTORY_PRESET_NAMES[n] << ", " << name);
            const AudioData output = renderFactoryPreset(open(), n, *input);
            const std::size_t frames = input->frames();
            double energy = 0.0;
            for (const auto& channel : output.channels) {
                for (std::size_t i = 0; i < frames; ++i) {
                    const float s = channel[i];
                    ASSERT_TRUE(std::isfinite(s));
                    energy += static_cast<double>(s) * static_cast<double>(s);
                }
                EXPECT_EQ(atOutputLimit(channel), 0);
                if (input == &sine) {
                    EXPECT_EQ(clicksIn(channel), 0);
                }
            }
            if (input == &sine) {
                EXPECT_LT(addedDc(output, *input, at(0.75), frames), 1e-3);
            }
            if (input == &demo) {
                EXPECT_LT(addedDc(output, *input, 0, frames), 1e-3);
                EXPECT_GT(std::sqrt(energy / (2.0 * static_cast<double>(frames))), 0.01);  // above -40 dBFS
            }
        }
    }
}

// The same limit on long, loud material: 20 s of the held chord, 10 s each of a 220 Hz and a
// 3 kHz sine at -6 dBFS, and the whole demo loop. Rooms, feeding delays and resonances build up over seconds
// (a shaper once reached the limit only 14 s into the chord, rooms within a second of a high sine). One test
// per preset, so that they run side by side; the address-sanitizer build skips them (they run ten times
// slower there) and leaves the code to the short material above.
class LongMaterial : public LoadedComponent, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(LongMaterial, NoSampleReachesTheOutputLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "long material: release build only";
#endif
    const std::int32_t n = GetParam();
    const std::pair<const char*, AudioData> signals[] = {{"chord, 20 s", heldChord(20.0)},
                                                         {"220 Hz, 10 s", heldSine(10.0, 220.0)},
                                                         {"3 kHz, 10 s", heldSine(10.0, 3000.0)},
                                                         {"demo loop", makeDemoMaterial()}};
    for (const auto& [name, input] : signals) {
        const AudioData output = renderFactoryPreset(open(), n, input);
        for (const auto& channel : output.channels)
            EXPECT_EQ(atOutputLimit(channel), 0) << FACTORY_PRESET_NAMES[n] << ", " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(FactoryPresets, LongMaterial, ::testing::Range(0, FACTORY_PRESET_COUNT));

}  // namespace
