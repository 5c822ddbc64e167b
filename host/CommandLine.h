#pragma once

// The tarnwell command line: subcommands and options, checked as far as they can be without
// the component (names of presets and parameters are checked once it is loaded).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

// --set NAME=VALUE or --type NAME=TEXT, as given and split.
struct ParameterSetting {
    std::string text;                  // as given, for messages
    std::string name;                  // a parameter name or index
    float value;                       // --set: 0..1
    std::optional<std::string> typed;  // --type: the text, for the component to read as the editor's type-in
    std::string option() const { return typed ? "--type " : "--set "; }
};

// What a rendered or saved sound starts from: a factory preset, then single parameters in the
// order given.
struct SoundOptions {
    std::string preset;  // name or number; empty for none
    std::vector<ParameterSetting> settings;
    bool quiet = false;  // the settings made are not said
};

inline constexpr std::uint32_t DEFAULT_BLOCK_FRAMES = 512;
inline constexpr std::uint32_t LARGEST_BLOCK_FRAMES = 4096;

struct RenderCommand {
    std::string input;  // empty: the built-in demo material
    std::string output;
    SoundOptions sound;
    std::string stateFile;
    std::string midiFile;
    std::optional<double> tempo;
    std::uint32_t blockFrames = DEFAULT_BLOCK_FRAMES;
    std::optional<double> tailSeconds;  // unset: until the output falls silent
};
struct PresetsCommand {};
struct ParamsCommand {
    SoundOptions sound;
    std::string stateFile;
};
struct StateSaveCommand {
    std::string file;
    SoundOptions sound;
    std::string stateFile;
};
struct StateShowCommand {
    std::string file;
};
struct EditCommand {
    std::string input;  // empty: the built-in demo material
    SoundOptions sound;
    std::string stateFile;
    std::string saveFile;         // empty: nothing is saved
    std::optional<double> tempo;  // unset: the demo loop's own, else 120
};
enum class EditorPage { Main, Settings };
struct SnapshotCommand {
    std::string output;
    int scale = 100;  // 100, 150 or 200
    EditorPage page = EditorPage::Main;
    SoundOptions sound;
    std::string stateFile;
};

using Command = std::variant<RenderCommand, PresetsCommand, ParamsCommand, StateSaveCommand, StateShowCommand,
                             EditCommand, SnapshotCommand>;

// args without the program name. Help goes to out and gives nullopt; a bad command line
// throws HostError with exit status 2.
std::optional<Command> parseCommandLine(const std::vector<std::string>& args, std::ostream& out);

// Splits and checks "NAME=VALUE"; throws HostError naming the setting.
ParameterSetting parseSetting(const std::string& text);
// Splits "NAME=TEXT" at its first '='; throws HostError naming the setting.
ParameterSetting parseTypedSetting(const std::string& text);
