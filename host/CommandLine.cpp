#include "host/CommandLine.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "host/HostError.h"

namespace {

constexpr const char* DESCRIPTION =
    "Renders audio through the Tarnwell effect component and manages its presets and saved states.";

// The options that make a sound, and what they received.
struct SoundArguments {
    std::string preset;
    std::vector<std::string> settings, typed;
    CLI::Option* setOption = nullptr;
    CLI::Option* typeOption = nullptr;
    bool quiet = false;
};

void addSoundOptions(CLI::App& command, SoundArguments& sound) {
    command.add_option("--preset", sound.preset, "start from this factory preset (name or number)")
        ->type_name("NAME|NUMBER");
    sound.setOption =
        command
            .add_option("--set", sound.settings, "set a parameter, by name or index, to a value in 0..1 (repeatable)")
            ->type_name("NAME=VALUE")
            ->allow_extra_args(false);
    sound.typeOption = command
                           .add_option("--type", sound.typed,
                                       "set a parameter, by name or index, from text as typed in the editor: "
                                       "\"1200\", \"-6\", an option name (repeatable)")
                           ->type_name("NAME=TEXT")
                           ->allow_extra_args(false);
    command.add_flag("-q,--quiet", sound.quiet,
                     "say nothing about the settings made (else each --set and --type prints the parameter's name "
                     "and value text)");
}

// The settings in the order the command line gives them, --set and --type mixed.
SoundOptions soundOptions(const CLI::App& command, const SoundArguments& arguments) {
    SoundOptions sound{arguments.preset, {}, arguments.quiet};
    std::size_t nextSet = 0, nextTyped = 0;
    for (const CLI::Option* option : command.parse_order()) {
        if (option == arguments.setOption && nextSet < arguments.settings.size())
            sound.settings.push_back(parseSetting(arguments.settings[nextSet++]));
        else if (option == arguments.typeOption && nextTyped < arguments.typed.size())
            sound.settings.push_back(parseTypedSetting(arguments.typed[nextTyped++]));
    }
    return sound;
}

// CLI11's ranges let NaN through, since every comparison with it is false.
const CLI::Validator IS_A_NUMBER(
    [](std::string& text) {
        double value = 0.0;
        return CLI::detail::lexical_cast(text, value) && std::isnan(value) ? text + " is not a number" : std::string();
    },
    "");

bool looksLikeOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1])) && word[1] != '.';
}

// The first word that names no option or command where it stands, said as a message; empty
// when every word was understood and CLI11's own message says best what is wrong.
std::string notUnderstood(CLI::App& app, const std::vector<std::string>& args) {
    CLI::App* at = &app;
    const auto command = [&] { return at == &app ? std::string("tarnwell") : "tarnwell " + at->get_name(); };
    bool valueNext = false;
    for (const std::string& word : args) {
        if (word == "--") break;
        if (valueNext) {
            valueNext = false;
            continue;
        }
        if (looksLikeOption(word)) {
            const std::size_t equals = word.find('=');
            const CLI::Option* option = at->get_option_no_throw(word.substr(0, equals));
            if (option == nullptr) return "\"" + word + "\" is not an option of " + command();
            valueNext = option->get_type_size() != 0 && equals == std::string::npos;
            continue;
        }
        const auto named = at->get_subcommands([&](CLI::App* sub) { return sub->check_name(word); });
        if (!named.empty()) {
            at = named.front();
        } else if (at->get_require_subcommand_min() > 0) {
            return "\"" + word + "\" is not a command of " + command();
        }
    }
    return {};
}

}  // namespace

ParameterSetting parseSetting(const std::string& text) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        throw HostError("--set " + text + ": expected NAME=VALUE", 2);
    ParameterSetting setting{text, text.substr(0, equals), 0.0f, std::nullopt};
    const std::string value = text.substr(equals + 1);
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(value.c_str(), &end);
    if (value.empty() || end != value.c_str() + value.size() || errno != 0 || !std::isfinite(number))
        throw HostError("--set " + text + ": the value \"" + value + "\" is not a number", 2);
    if (number < 0.0 || number > 1.0)
        throw HostError("--set " + text + ": the value " + value + " is outside 0..1", 2);
    setting.value = static_cast<float>(number);
    return setting;
}

ParameterSetting parseTypedSetting(const std::string& text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == text.size())
        throw HostError("--type " + text + ": expected NAME=TEXT", 2);
    return {text, text.substr(0, equals), 0.0f, text.substr(equals + 1)};
}

std::optional<Command> parseCommandLine(const std::vector<std::string>& args, std::ostream& out) {
    CLI::App app{DESCRIPTION, "tarnwell"};
    app.require_subcommand(1);

    RenderCommand render;
    std::vector<std::string> files;
    SoundArguments renderSound;
    double tempo = 0.0;
    CLI::App* renderApp = app.add_subcommand(
        "render",
        "render an audio file (or, with no INPUT, the built-in demo loop) to OUTPUT (.wav, .aiff, .flac)");
    renderApp->add_option("files", files, "[INPUT] OUTPUT")->expected(1, 2)->required()->type_name("");
    addSoundOptions(*renderApp, renderSound);
    renderApp->add_option("--state", render.stateFile, "start from a saved state")
        ->type_name("FILE.aupreset");
    renderApp->add_option("--midi", render.midiFile, "play this MIDI file into the effect")
        ->type_name("FILE.mid");
    CLI::Option* tempoOption =
        renderApp->add_option("--tempo", tempo, "song tempo (default: the MIDI file's, else 120)")
            ->type_name("BPM")
            ->check(IS_A_NUMBER)
            ->check(CLI::Range(1.0, 999.0));
    renderApp->add_option("--block", render.blockFrames, "frames per render call")
        ->type_name("FRAMES")
        ->capture_default_str()
        ->check(CLI::Range(1u, LARGEST_BLOCK_FRAMES));
    double tail = 0.0;
    CLI::Option* tailOption =
        renderApp
            ->add_option("--tail", tail,
                         "seconds rendered after the input ends (default: until the output falls silent, at most 60)")
            ->type_name("SECONDS")
            ->check(IS_A_NUMBER)
            ->check(CLI::Range(0.0, 600.0));

    app.add_subcommand("presets", "list the factory presets");
    app.add_subcommand("params", "list index, name, value and value text of every named parameter");

    CLI::App* stateApp = app.add_subcommand("state", "save or show a saved state (.aupreset)");
    stateApp->require_subcommand(1);
    StateSaveCommand save;
    SoundArguments saveSound;
    CLI::App* saveApp = stateApp->add_subcommand("save", "save the state of a new instance");
    saveApp->add_option("file", save.file, "where to save")->required()->type_name("FILE.aupreset");
    addSoundOptions(*saveApp, saveSound);
    StateShowCommand show;
    CLI::App* showApp = stateApp->add_subcommand("show", "show what a saved state holds");
    showApp->add_option("file", show.file, "the saved state")->required()->type_name("FILE.aupreset");

    EditCommand edit;
    std::vector<std::string> editInput;
    SoundArguments editSound;
    CLI::App* editApp = app.add_subcommand(
        "edit", "show the editor while the effect plays INPUT (or the built-in demo loop) round and round");
    editApp->add_option("input", editInput, "[INPUT]")->expected(0, 1)->type_name("");
    addSoundOptions(*editApp, editSound);
    editApp->add_option("--state", edit.stateFile, "start from a saved state")->type_name("FILE.aupreset");
    editApp->add_option("--save", edit.saveFile, "save the state here when the window closes")
        ->type_name("FILE.aupreset");

    SnapshotCommand snapshot;
    SoundArguments snapshotSound;
    std::string page = "main";
    CLI::App* snapshotApp = app.add_subcommand("snapshot", "draw the editor without a display and write its picture");
    snapshotApp->add_option("output", snapshot.output, "the picture")->required()->type_name("OUT.png");
    snapshotApp->add_option("--scale", snapshot.scale, "the editor's size in percent")
        ->type_name("100|150|200")
        ->capture_default_str()
        ->check(CLI::IsMember({100, 150, 200}));
    snapshotApp->add_option("--page", page, "the page shown: the main page, or the settings page the editor opens on")
        ->type_name("main|settings")
        ->capture_default_str()
        ->check(CLI::IsMember({"main", "settings"}));
    addSoundOptions(*snapshotApp, snapshotSound);
    snapshotApp->add_option("--state", snapshot.stateFile, "start from a saved state")->type_name("FILE.aupreset");

    // CLI11 takes its arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        // Help, for the whole command or a subcommand, comes as a parse "error" that succeeds.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            out << app.help();
            return std::nullopt;
        }
        const std::string unknown = notUnderstood(app, args);
        throw HostError((unknown.empty() ? std::string(e.what()) : unknown) + "; see tarnwell --help", 2);
    }

    if (renderApp->parsed()) {
        render.input = files.size() == 2 ? files[0] : std::string();
        render.output = files.back();
        render.sound = soundOptions(*renderApp, renderSound);
        if (*tempoOption) render.tempo = tempo;
        if (*tailOption) render.tailSeconds = tail;
        return render;
    }
    if (saveApp->parsed()) {
        save.sound = soundOptions(*saveApp, saveSound);
        return save;
    }
    if (showApp->parsed()) return show;
    if (editApp->parsed()) {
        edit.input = editInput.empty() ? std::string() : editInput.front();
        edit.sound = soundOptions(*editApp, editSound);
        return edit;
    }
    if (snapshotApp->parsed()) {
        snapshot.page = page == "settings" ? EditorPage::Settings : EditorPage::Main;
        snapshot.sound = soundOptions(*snapshotApp, snapshotSound);
        return snapshot;
    }
    if (app.got_subcommand("presets")) return PresetsCommand{};
    return ParamsCommand{};
}
