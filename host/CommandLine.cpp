#include "host/CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/HostError.h"
#include "host/Suggestions.h"

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
    sound.setOption = command
                          .add_option("--set", sound.settings,
                                      "set a parameter, by name or index, to a value in 0..1 (repeatable)")
                          ->type_name("NAME=VALUE")
                          ->allow_extra_args(false);
    sound.typeOption =
        command
            .add_option("--type", sound.typed,
                        "set a parameter, by name or index, from text: a number as the editor's "
                        "Set to Value dialog reads it (\"1200\", \"-6\"), or a value text as params "
                        "shows it (\"30L\", \"1.2Khz\", an option's name) (repeatable)")
            ->type_name("NAME=TEXT")
            ->allow_extra_args(false);
    command.add_flag(
        "-q,--quiet", sound.quiet,
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

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A number from low to high (a whole one when whole), said plainly when it is not: "--tail: 2s
// is not a number of seconds (0 to 600)". NaN is no number.
CLI::Validator numberFrom(double low, double high, const std::string& unit, bool whole = false) {
    const std::string range = shortNumber(low) + " to " + shortNumber(high);
    return CLI::Validator(
        [=](std::string& text) {
            double value = 0.0;
            if (!CLI::detail::lexical_cast(text, value) || std::isnan(value) ||
                (whole && value != std::floor(value)))
                return text + " is not a " + (whole ? "whole " : "") + "number of " + unit + " (" + range +
                       ")";
            if (value < low || value > high) return text + " is outside " + range + " " + unit;
            return std::string();
        },
        range + " " + unit);
}

// "a, b and c".
std::string listed(const std::vector<std::string>& words, const std::string& last) {
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i)
        list += (i == 0 ? "" : i + 1 == words.size() ? " " + last + " " : ", ") + words[i];
    return list;
}

// One of a few words, said plainly when it is not, with the closest.
CLI::Validator oneOf(const std::vector<std::string>& choices) {
    const std::string list = listed(choices, "or");
    return CLI::Validator(
        [=](std::string& text) {
            if (std::find(choices.begin(), choices.end(), text) != choices.end()) return std::string();
            return text + " is not one of the choices: " + list + didYouMean(text, choices);
        },
        list);
}

bool looksLikeOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1])) &&
           word[1] != '.';
}

// The command as the user says it ("render", "state save"), or "tarnwell" for the program.
std::string subject(const CLI::App& app) {
    std::string name;
    for (const CLI::App* a = &app; a->get_parent() != nullptr; a = a->get_parent())
        name = a->get_name() + (name.empty() ? "" : " " + name);
    return name.empty() ? "tarnwell" : name;
}

std::string commandName(const CLI::App& app) {
    std::string name;
    for (const CLI::App* a = &app; a != nullptr; a = a->get_parent())
        name = (a->get_parent() == nullptr ? std::string("tarnwell") : a->get_name()) +
               (name.empty() ? "" : " " + name);
    return name;
}

// What a command line says, read the way the parser reads it: the deepest command it names,
// and the first thing wrong with it that the parser would word as its own (an unknown word, an
// option without its value, too many or too few files, no command); empty when none is.
struct Reading {
    CLI::App* command;
    std::string problem;
};

Reading readCommandLine(CLI::App& app, const std::vector<std::string>& args) {
    CLI::App* at = &app;
    std::vector<std::string> positionals;
    CLI::Option* valueFor = nullptr;
    bool onlyFiles = false;
    for (const std::string& word : args) {
        if (valueFor != nullptr) {
            valueFor = nullptr;
            continue;
        }
        if (!onlyFiles && word == "--") {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && looksLikeOption(word)) {
            const std::string name = word.substr(0, word.find('='));
            CLI::Option* option = at->get_option_no_throw(name);
            if (option == nullptr) {
                std::vector<std::string> names;
                for (const CLI::Option* o : at->get_options()) {
                    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
                    for (const std::string& n : o->get_snames()) names.push_back("-" + n);
                }
                return {at,
                        "\"" + word + "\" is not an option of " + commandName(*at) + didYouMean(name, names)};
            }
            const std::size_t equals = word.find('=');
            const std::string wanted = option->get_type_name().substr(0, option->get_type_name().find(':'));
            if (option->get_expected_max() == 0 && equals != std::string::npos && word[1] != '-')
                return {at, name + " takes no value"};
            if (option->get_expected_max() != 0 && equals + 1 == word.size())
                return {at, name + " needs a value (" + wanted + ")"};
            if (option->get_expected_max() != 0 && equals == std::string::npos) valueFor = option;
            continue;
        }
        const auto named = at->get_subcommands([&](CLI::App* sub) { return sub->check_name(word); });
        if (!named.empty() && positionals.empty()) {
            at = named.front();
            continue;
        }
        if (at->get_require_subcommand_min() > 0) {
            std::vector<std::string> names;
            for (const CLI::App* sub : at->get_subcommands({})) names.push_back(sub->get_name());
            return {at, "\"" + word + "\" is not a command of " + commandName(*at) + didYouMean(word, names)};
        }
        positionals.push_back(word);
    }
    if (valueFor != nullptr)
        return {at, valueFor->get_name() + " needs a value (" +
                        valueFor->get_type_name().substr(0, valueFor->get_type_name().find(':')) + ")"};
    if (at->get_require_subcommand_min() > 0) {
        std::vector<std::string> names;
        for (const CLI::App* sub : at->get_subcommands({})) names.push_back(sub->get_name());
        return {at, subject(*at) + " needs a command: " + listed(names, "or")};
    }
    std::size_t most = 0, least = 0;
    std::string files;
    for (const CLI::Option* o : at->get_options([](const CLI::Option* o) { return o->get_positional(); })) {
        most += static_cast<std::size_t>(o->get_items_expected_max());
        if (o->get_required()) least += static_cast<std::size_t>(o->get_items_expected_min());
        files += (files.empty() ? "" : " ") +
                 (o->get_type_name().empty() ? o->get_description() : o->get_type_name());
    }
    if (positionals.size() > most)
        return {at, subject(*at) + (most == 0 ? " takes no file name" : " takes " + files) +
                        ", but was given " + listed(positionals, "and")};
    if (positionals.size() < least) return {at, subject(*at) + " needs a file name: " + files};
    return {at, {}};
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
    app.set_version_flag("--version", std::string("tarnwell ") + TARNWELL_VERSION,
                         "print the version and exit");

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
            ->check(numberFrom(1.0, 999.0, "beats per minute"));
    renderApp->add_option("--block", render.blockFrames, "frames per render call")
        ->type_name("FRAMES")
        ->capture_default_str()
        ->check(numberFrom(1.0, LARGEST_BLOCK_FRAMES, "frames", true));
    double tail = 0.0;
    CLI::Option* tailOption =
        renderApp
            ->add_option(
                "--tail", tail,
                "seconds rendered after the input ends (default: until the output falls silent, at most 60)")
            ->type_name("SECONDS")
            ->check(numberFrom(0.0, 600.0, "seconds"));

    app.add_subcommand("presets", "list the factory presets");
    ParamsCommand params;
    SoundArguments paramsSound;
    CLI::App* paramsApp =
        app.add_subcommand("params",
                           "list index, name, value and value text of every named parameter (of a new "
                           "instance, or of the sound the options make)");
    addSoundOptions(*paramsApp, paramsSound);
    paramsApp->add_option("--state", params.stateFile, "start from a saved state")
        ->type_name("FILE.aupreset");

    CLI::App* stateApp = app.add_subcommand("state", "save or show a saved state (.aupreset)");
    stateApp->require_subcommand(1);
    StateSaveCommand save;
    SoundArguments saveSound;
    CLI::App* saveApp = stateApp->add_subcommand("save", "save the state of a new instance");
    saveApp->add_option("file", save.file, "where to save")->required()->type_name("FILE.aupreset");
    addSoundOptions(*saveApp, saveSound);
    saveApp->add_option("--state", save.stateFile, "start from a saved state")->type_name("FILE.aupreset");
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
    double editTempo = 0.0;
    CLI::Option* editTempoOption =
        editApp
            ->add_option("--tempo", editTempo, "song tempo, for synced delays, pads and gaters (default 120)")
            ->type_name("BPM")
            ->check(numberFrom(1.0, 999.0, "beats per minute"));

    SnapshotCommand snapshot;
    SoundArguments snapshotSound;
    std::string page = "main";
    CLI::App* snapshotApp =
        app.add_subcommand("snapshot", "draw the editor without a display and write its picture");
    snapshotApp->add_option("output", snapshot.output, "the picture")->required()->type_name("OUT.png");
    snapshotApp->add_option("--scale", snapshot.scale, "the editor's size in percent")
        ->type_name("100|150|200")
        ->capture_default_str()
        ->check(oneOf({"100", "150", "200"}));
    snapshotApp
        ->add_option("--page", page,
                     "the page shown: the main page, or the settings page the editor opens on")
        ->type_name("main|settings")
        ->capture_default_str()
        ->check(oneOf({"main", "settings"}));
    addSoundOptions(*snapshotApp, snapshotSound);
    snapshotApp->add_option("--state", snapshot.stateFile, "start from a saved state")
        ->type_name("FILE.aupreset");

    std::vector<std::string> topic;
    CLI::App* helpApp =
        app.add_subcommand("help", "show the help of tarnwell, or of a command (help state save)");
    helpApp->add_option("command", topic, "[COMMAND]")->expected(0, 2)->type_name("");

    // CLI11 takes its arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        // Help and the version, for the whole command or a subcommand, come as parse "errors"
        // that succeed.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            if (dynamic_cast<const CLI::CallForVersion*>(&e) != nullptr)
                out << e.what() << "\n";
            else
                out << app.help();
            return std::nullopt;
        }
        const Reading reading = readCommandLine(app, args);
        const std::string problem = reading.problem.empty() ? std::string(e.what()) : reading.problem;
        const std::string help = commandName(*reading.command) + " --help";
        throw HostError(problem + (problem.back() == '?' ? " (see " + help + ")" : "; see " + help), 2);
    }

    if (helpApp->parsed()) {
        CLI::App* about = &app;
        for (const std::string& word : topic) {
            const auto named = about->get_subcommands([&](CLI::App* sub) { return sub->check_name(word); });
            if (named.empty()) {
                std::vector<std::string> names;
                for (const CLI::App* sub : about->get_subcommands({})) names.push_back(sub->get_name());
                const std::string suggestion = didYouMean(word, names);
                throw HostError("\"" + word + "\" is not a command of " + commandName(*about) +
                                    (suggestion.empty() ? "; see " : suggestion + " (see ") +
                                    commandName(*about) + " --help" + (suggestion.empty() ? "" : ")"),
                                2);
            }
            about = named.front();
        }
        // Straight from the formatter: the program's own help would show the help command's.
        out << about->get_formatter()->make_help(about, commandName(*about), CLI::AppFormatMode::Normal);
        return std::nullopt;
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
        if (*editTempoOption) edit.tempo = editTempo;
        return edit;
    }
    if (snapshotApp->parsed()) {
        snapshot.page = page == "settings" ? EditorPage::Settings : EditorPage::Main;
        snapshot.sound = soundOptions(*snapshotApp, snapshotSound);
        return snapshot;
    }
    if (app.got_subcommand("presets")) return PresetsCommand{};
    params.sound = soundOptions(*paramsApp, paramsSound);
    return params;
}
