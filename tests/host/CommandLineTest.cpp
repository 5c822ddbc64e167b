#include <gtest/gtest.h>

#include <sstream>

#include "host/CommandLine.h"
#include "host/HostError.h"

namespace {

Command parse(const std::vector<std::string>& args) {
    std::ostringstream help;
    const auto command = parseCommandLine(args, help);
    if (!command) throw std::runtime_error("help shown");
    return *command;
}

// The exit status and message of a command line that must be refused.
std::pair<int, std::string> refusal(const std::vector<std::string>& args) {
    try {
        parse(args);
    } catch (const HostError& e) {
        return {e.exitStatus, e.what()};
    }
    return {0, ""};
}

TEST(CommandLine, RenderTakesAnOptionalInputBeforeTheOutput) {
    const auto both = std::get<RenderCommand>(parse({"render", "in.wav", "out.wav"}));
    EXPECT_EQ(both.input, "in.wav");
    EXPECT_EQ(both.output, "out.wav");

    const auto demo = std::get<RenderCommand>(parse({"render", "demo.wav"}));
    EXPECT_EQ(demo.input, "");
    EXPECT_EQ(demo.output, "demo.wav");
    EXPECT_EQ(demo.blockFrames, DEFAULT_BLOCK_FRAMES);
    EXPECT_DOUBLE_EQ(demo.tailSeconds, DEFAULT_TAIL_SECONDS);
    EXPECT_FALSE(demo.tempo.has_value());

    EXPECT_EQ(refusal({"render"}).first, 2);
    EXPECT_EQ(refusal({"render", "a.wav", "b.wav", "c.wav"}).first, 2);
}

TEST(CommandLine, RenderOptionsAreReadWhereverTheyStand) {
    const auto r = std::get<RenderCommand>(parse(
        {"render", "--set", "Gain=0.25", "in.wav", "--preset", "Warm Room", "--set", "7=1", "out.flac",
         "--state", "s.aupreset", "--midi", "m.mid", "--tempo", "96.5", "--block", "64", "--tail", "0"}));
    EXPECT_EQ(r.input, "in.wav");
    EXPECT_EQ(r.output, "out.flac");
    EXPECT_EQ(r.sound.preset, "Warm Room");
    ASSERT_EQ(r.sound.settings.size(), 2u);
    EXPECT_EQ(r.sound.settings[0].name, "Gain");
    EXPECT_FLOAT_EQ(r.sound.settings[0].value, 0.25f);
    EXPECT_EQ(r.sound.settings[1].name, "7");
    EXPECT_FLOAT_EQ(r.sound.settings[1].value, 1.0f);
    EXPECT_EQ(r.stateFile, "s.aupreset");
    EXPECT_EQ(r.midiFile, "m.mid");
    EXPECT_DOUBLE_EQ(r.tempo.value(), 96.5);
    EXPECT_EQ(r.blockFrames, 64u);
    EXPECT_DOUBLE_EQ(r.tailSeconds, 0.0);
}

TEST(CommandLine, OutOfRangeNumbersAreRefused) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"render", "o.wav", "--tempo", "0"},
             {"render", "o.wav", "--tempo", "fast"},
             {"render", "o.wav", "--block", "0"},
             {"render", "o.wav", "--block", "5000"},
             {"render", "o.wav", "--tail", "-1"},
         }) {
        const auto [status, message] = refusal(args);
        EXPECT_EQ(status, 2) << args[2] << " " << args[3];
        EXPECT_NE(message.find(args[2]), std::string::npos) << message;
    }
}

TEST(CommandLine, SettingsNeedANameAndANumberInZeroToOne) {
    const ParameterSetting s = parseSetting("B1 Filter Freq=0.5");
    EXPECT_EQ(s.name, "B1 Filter Freq");
    EXPECT_FLOAT_EQ(s.value, 0.5f);
    EXPECT_EQ(parseSetting("a=b=1").name, "a=b");  // the last '=' splits

    const std::pair<std::string, std::string> bad[] = {
        {"Gain", "expected NAME=VALUE"},  {"=0.5", "expected NAME=VALUE"},  {"Gain=", "is not a number"},
        {"Gain=loud", "is not a number"}, {"Gain=0.5x", "is not a number"}, {"Gain=nan", "is not a number"},
        {"Gain=1.5", "outside 0..1"},     {"Gain=-0.01", "outside 0..1"},
    };
    for (const auto& [text, problem] : bad) {
        const auto [status, message] = refusal({"render", "o.wav", "--set", text});
        EXPECT_EQ(status, 2) << text;
        EXPECT_NE(message.find(text), std::string::npos) << message;
        EXPECT_NE(message.find(problem), std::string::npos) << message;
    }
}

TEST(CommandLine, OtherSubcommands) {
    EXPECT_TRUE(std::holds_alternative<PresetsCommand>(parse({"presets"})));
    EXPECT_TRUE(std::holds_alternative<ParamsCommand>(parse({"params"})));
    const auto save =
        std::get<StateSaveCommand>(parse({"state", "save", "x.aupreset", "--preset", "2", "--set", "1=0"}));
    EXPECT_EQ(save.file, "x.aupreset");
    EXPECT_EQ(save.sound.preset, "2");
    EXPECT_EQ(save.sound.settings.size(), 1u);
    EXPECT_EQ(std::get<StateShowCommand>(parse({"state", "show", "y.aupreset"})).file, "y.aupreset");

    EXPECT_EQ(refusal({}).first, 2);
    EXPECT_EQ(refusal({"state"}).first, 2);
    EXPECT_EQ(refusal({"state", "show"}).first, 2);
    EXPECT_EQ(refusal({"mix", "a.wav"}).first, 2);
    EXPECT_EQ(refusal({"presets", "--set", "a=1"}).first, 2);
}

TEST(CommandLine, HelpIsShownForTheCommandAndEachSubcommand) {
    std::ostringstream help;
    EXPECT_FALSE(parseCommandLine({"--help"}, help).has_value());
    EXPECT_NE(help.str().find("render"), std::string::npos);
    EXPECT_NE(help.str().find("presets"), std::string::npos);

    std::ostringstream renderHelp;
    EXPECT_FALSE(parseCommandLine({"render", "--help"}, renderHelp).has_value());
    EXPECT_NE(renderHelp.str().find("--tempo"), std::string::npos);
}

}  // namespace
