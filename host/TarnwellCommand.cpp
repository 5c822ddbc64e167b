#include "host/TarnwellCommand.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "effect/FactoryBank.h"
#include "effect/ProgramName.h"
#include "host/AudioFile.h"
#include "host/DemoMaterial.h"
#include "host/EditorCommands.h"
#include "host/HostError.h"
#include "host/MidiFile.h"
#include "host/ProgressBar.h"
#include "host/Renderer.h"
#include "host/SavedState.h"
#include "host/Suggestions.h"
#include "host/TypedSetting.h"

namespace {

// Listing and saving use a fresh instance at the rate and size a host would start with.
constexpr double DEFAULT_SAMPLE_RATE = 44100.0;
constexpr std::uint32_t DEFAULT_INPUTS = 2;

bool isIndex(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// The one entry whose name is text exactly, else the one that matches ignoring case.
template <typename T>
std::vector<const T*> matchesByName(const std::string& text, const std::vector<T>& items) {
    std::vector<const T*> exact, loose;
    for (const T& item : items) {
        if (item.name.empty()) continue;
        if (item.name == text)
            exact.push_back(&item);
        else if (sameIgnoringCase(item.name, text))
            loose.push_back(&item);
    }
    return exact.empty() ? loose : exact;
}

// The editor's captions that differ from the parameter's name: those of the main page, and
// those of a Block panel, said after "Block N ".
constexpr std::pair<const char*, const char*> MAIN_CAPTIONS[] = {
    {"Left", "Delay Left"},          {"Right", "Delay Right"},
    {"Feedback", "Delay Feedback"},  {"Cross", "Delay Cross Feedback"},
    {"Low Pass", "Delay LP Filter"}, {"High Pass", "Delay HP Filter"},
    {"Mono", "Delay Mono"},          {"Tempo Sync", "Delay Tempo Sync"},
    {"Boost", "Follower Boost"},     {"Threshold", "Follower Threshold"},
    {"Hold", "Follower Hold"},
};
constexpr std::pair<const char*, const char*> BLOCK_CAPTIONS[] = {
    {"Distort", "Filter Pre Distort"},
    {"Low Cut", "Room HP"},
    {"Points", "XY Point Quant"},
    {"Grid", "XY Space Quant"},
    {"Time Quant", "XY Time Quant"},
    {"Play", "XY Play Mode"},
    {"Speed Mod Source", "XY Speed Mod Src"},
    {"Sym", "Shaper Symmetry"},
    {"Bits", "Shaper LowFI Bits"},
    {"Low-Fi Filter", "Shaper Low-Fi Filter"},
    {"Write", "Grain Write Size"},
    {"Read", "Grain Read Size"},
    {"Semi", "Grain Semi-tune"},
    {"Fine", "Grain Fine-tune"},
};

std::string lowered(const std::string& text) {
    std::string result = text;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The parameters an editor caption names ("Low Pass", "Block 2 Low Cut"), else those whose name
// ends in the words given ("Hold", "Block 2 Swing"); case does not count.
std::vector<const ParameterInfo*> byCaption(const std::string& text,
                                            const std::vector<ParameterInfo>& parameters) {
    const std::string typed = lowered(text);
    const bool inBlock = typed.size() > 8 && typed.rfind("block ", 0) == 0 &&
                         std::isdigit(static_cast<unsigned char>(typed[6])) && typed[7] == ' ';
    const std::string block = inBlock ? typed.substr(0, 8) : "";
    const std::string caption = typed.substr(block.size());
    std::vector<std::string> meant;  // a Block's caption without its Block names one in each
    for (const auto& [shown, name] : MAIN_CAPTIONS)
        if (!inBlock && caption == lowered(shown)) meant.push_back(lowered(name));
    for (const auto& [shown, name] : BLOCK_CAPTIONS)
        if (caption == lowered(shown))
            for (const char* b : {"block 1 ", "block 2 ", "block 3 "})
                if (!inBlock || block == b) meant.push_back(b + lowered(name));
    std::vector<const ParameterInfo*> found;
    for (const ParameterInfo& p : parameters) {
        const std::string name = lowered(p.name);
        if (name.empty()) continue;
        if (!meant.empty()
                ? std::find(meant.begin(), meant.end(), name) != meant.end()
                : name.rfind(block, 0) == 0 && name.size() > caption.size() + block.size() &&
                      name.compare(name.size() - caption.size() - 1, std::string::npos, " " + caption) == 0)
            found.push_back(&p);
    }
    return found;
}

std::string valueText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
    return text;
}

std::string parameterLine(std::uint32_t id, const std::string& name, float value) {
    char line[128];
    std::snprintf(line, sizeof line, "%4u  %-30s  %s", id, name.c_str(), valueText(value).c_str());
    return line;
}

std::string parameterLine(std::uint32_t id, const std::string& name, float value, const std::string& text) {
    return text.empty() ? parameterLine(id, name, value) : parameterLine(id, name, value) + "  " + text;
}

// Preset first, then the saved state, then single parameters on top, each said on report
// (name and value text) unless the options ask for quiet.
void applySound(ComponentHost& component, const SoundOptions& sound, const CFRef<CFTypeRef>* state,
                const std::string& statePath, std::ostream* report) {
    if (!sound.preset.empty()) loadFactoryPreset(component, resolvePreset(sound.preset, factoryBank()));
    if (state != nullptr) {
        try {
            component.restoreState(state->get());
        } catch (const HostError& e) {
            throw fileError(statePath, std::string("was refused: ") + e.what());
        }
    }
    if (sound.settings.empty()) return;
    const std::vector<ParameterInfo> parameters = component.parameters();
    for (const ParameterSetting& s : sound.settings) {
        const std::uint32_t id = resolveParameter(s, parameters);
        component.setParameter(id,
                               s.typed ? typedSettingValue(component, id, parameters[id].name, s) : s.value);
        if (report == nullptr || sound.quiet) continue;
        const std::string text = component.valueText(id);
        *report << parameters[id].name << ": " << (text.empty() ? valueText(component.parameter(id)) : text)
                << "\n";
    }
}

// A saved state read and checked against the component before it may reach it.
CFRef<CFTypeRef> loadCheckedState(const std::string& path, ComponentHost& component, double pipeWait,
                                  StateSummary* read = nullptr) {
    CFRef<CFTypeRef> state = readPresetFile(path, pipeWait);
    const StateSummary summary = inspectSavedState(static_cast<CFDictionaryRef>(state.get()), path,
                                                   component.identity(), component.stateLayout());
    if (read != nullptr) *read = summary;
    // The component takes its chunk only from the few hosts it makes one for and ignores it
    // anywhere else, so a chunk-only state reaches it as the program record it always reads.
    if (summary.chunkForm)
        return programState(component.identity(), component.stateLayout(), summary.programs.at(0).name,
                            summary.programs[0].values);
    return state;
}

// An output that is one of the inputs would be lost as it is written over.
void refuseOutputOverInput(const std::string& output,
                           const std::vector<std::pair<std::string, FileIdentity>>& inputs) {
    FileIdentity target;
    if (!identityOf(output, target)) return;
    for (const auto& [path, identity] : inputs)
        if (identity == target)
            throw fileError(output, "is the input " + path + "; the output needs a file of its own");
}

std::string speedText(double seconds, double elapsed) {
    if (!(seconds > 0.0 && elapsed > 0.0)) return "";
    const double factor = seconds / elapsed;
    char text[64];
    if (factor >= 1.0)
        std::snprintf(text, sizeof text, ", rendered %.*fx faster than real time", factor < 10.0 ? 1 : 0,
                      factor);
    else
        std::snprintf(text, sizeof text, ", rendered at %.2gx real time (slower than real time)", factor);
    return text;
}

// The effect limits its output to +-0.999: a sample there was limited (or would have been).
constexpr float OUTPUT_LIMIT = 0.999f;

// Passes the output on and counts the samples at the output limit, as sox counts clipped ones.
class LimitCount : public AudioSink {
public:
    explicit LimitCount(AudioSink& to) : next(to) {}
    void write(const float* const* channels, std::size_t frames) override {
        // Four samples at a time, each lane counting down by its compare's all-ones mask.
        typedef float Four __attribute__((vector_size(16)));
        typedef std::int32_t Mask __attribute__((vector_size(16)));
        const Four limit = {OUTPUT_LIMIT, OUTPUT_LIMIT, OUTPUT_LIMIT, OUTPUT_LIMIT};
        const Mask magnitude = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
        for (std::size_t c = 0; c < 2; ++c) {
            const float* x = channels[c];
            std::size_t i = 0;
            Mask lanes = {};
            for (; i + 4 <= frames; i += 4) {
                Mask bits;
                std::memcpy(&bits, x + i, sizeof bits);
                lanes += reinterpret_cast<Four>(bits & magnitude) >= limit;
            }
            for (int k = 0; k < 4; ++k) limited += static_cast<std::uint32_t>(-lanes[k]);
            for (; i < frames; ++i) limited += std::fabs(x[i]) >= OUTPUT_LIMIT;
        }
        samples += 2 * frames;
        next.write(channels, frames);
    }
    std::uint64_t limited = 0, samples = 0;

private:
    AudioSink& next;
};

void runRender(const RenderCommand& command, std::ostream& out, std::ostream& err,
               const HostEnvironment& env) {
    checkOutputName(command.output);
    std::optional<AudioReader> file;
    AudioData demo;
    std::optional<MemorySource> demoSource;
    RenderJob job;
    std::vector<std::pair<std::string, FileIdentity>> inputs;
    if (command.input.empty()) {
        demo = makeDemoMaterial();
        demoSource.emplace(demo);
        job.sampleRate = demo.sampleRate;
        job.inputChannels = static_cast<std::uint32_t>(demo.channels.size());
        job.expectedInputFrames = demo.frames();
    } else {
        file.emplace(command.input, env.pipeWaitSeconds);
        job.sampleRate = file->sampleRate();
        job.inputChannels = file->channels();
        job.expectedInputFrames = file->expectedFrames();
        inputs.emplace_back(command.input, file->identity());
    }
    job.blockFrames = command.blockFrames;
    if (command.tailSeconds)
        job.tailFrames = static_cast<std::uint64_t>(std::llround(*command.tailSeconds * job.sampleRate));
    job.tempo = TempoMap(command.tempo.value_or(command.input.empty() ? DEMO_TEMPO : 120.0));
    for (const std::string* path : {&command.midiFile, &command.stateFile}) {
        FileIdentity identity;
        if (!path->empty() && identityOf(*path, identity)) inputs.emplace_back(*path, identity);
    }
    refuseOutputOverInput(command.output, inputs);
    if (!command.midiFile.empty()) {
        MidiSong song = readMidiFile(command.midiFile, job.sampleRate, command.tempo, env.pipeWaitSeconds);
        job.midi = std::move(song.messages);
        job.tempo = song.tempo;
    }

    const auto component = openInitialized(env, job.sampleRate, job.inputChannels, job.blockFrames);
    prepareSound(*component, command.sound, command.stateFile, env, &err);

    AudioWriter output(command.output, job.sampleRate, 2, longestOutputFrames(job));
    ProgressBar bar(err, env.errorIsTerminal);
    const auto started = std::chrono::steady_clock::now();
    AudioSource& input = file ? static_cast<AudioSource&>(*file) : *demoSource;
    LimitCount counted(output);
    const RenderResult result =
        renderStream(*component, job, input, counted,
                     [&bar](std::uint64_t done, std::uint64_t total) { bar.update(done, total); });
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    bar.finish();
    output.commit();

    if (file && file->missingFrames() > 0) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "the file ends %llu frames (%.3f s) short of what its header promises; rendered the "
                      "%llu it holds",
                      static_cast<unsigned long long>(file->missingFrames()),
                      static_cast<double>(file->missingFrames()) / job.sampleRate,
                      static_cast<unsigned long long>(file->framesRead()));
        err << "tarnwell: " << command.input << ": " << line << "\n";
    }
    if (counted.limited > 0) {
        char line[256];
        std::snprintf(
            line, sizeof line,
            "%llu of %llu samples (%.2g %%) reached the output limit of +-0.999 and were limited; lower "
            "the input or the Block volumes",
            static_cast<unsigned long long>(counted.limited),
            static_cast<unsigned long long>(counted.samples),
            100.0 * static_cast<double>(counted.limited) / static_cast<double>(counted.samples));
        err << "tarnwell: " << command.output << ": " << line << "\n";
    }
    const double seconds = static_cast<double>(result.outputFrames) / job.sampleRate;
    char line[256];
    std::snprintf(line, sizeof line, "%.2f s of stereo audio at %.0f Hz", seconds, job.sampleRate);
    // Audio that went to standard output is followed by nothing else there.
    FileIdentity written, standardOutput;
    const bool intoStandardOutput = identityOf(command.output, written) &&
                                    identityOf("/dev/stdout", standardOutput) && written == standardOutput;
    (intoStandardOutput ? err : out) << "wrote " << command.output << ": " << line
                                     << speedText(seconds, elapsed) << "\n";
}

void runPresets(std::ostream& out) {
    char number[8];
    for (const FactoryPreset& p : factoryBank()) {
        std::snprintf(number, sizeof number, "%2d", static_cast<int>(p.number));
        out << number << "  " << p.name << "\n";
    }
}

void runParams(const ParamsCommand& command, std::ostream& out, std::ostream& err,
               const HostEnvironment& env) {
    const auto component = openInitialized(env, DEFAULT_SAMPLE_RATE, DEFAULT_INPUTS, DEFAULT_BLOCK_FRAMES);
    prepareSound(*component, command.sound, command.stateFile, env, &err);
    for (const ParameterInfo& p : component->parameters())
        if (!p.name.empty())
            out << parameterLine(p.id, p.name, component->parameter(p.id), component->valueText(p.id))
                << "\n";
}

void runStateSave(const StateSaveCommand& command, std::ostream& out, std::ostream& err,
                  const HostEnvironment& env) {
    const auto component = openInitialized(env, DEFAULT_SAMPLE_RATE, DEFAULT_INPUTS, DEFAULT_BLOCK_FRAMES);
    prepareSound(*component, command.sound, command.stateFile, env, &err);
    saveComponentState(*component, command.file);
    out << "saved " << command.file << "\n";
}

// The name a program's values carry (the sound's own, which the effect goes by), else the name
// its record keeps.
std::string soundName(const StoredProgram& program) {
    if (program.values.size() < PROGRAM_NAME_START + PROGRAM_NAME_LENGTH) return program.name;
    char name[PROGRAM_NAME_LENGTH + 1];
    decodeProgramName(program.values, name);
    return name[0] != '\0' ? std::string(name) : program.name;
}

// What a saved state holds: the sound's own name (whatever name an older record beside it
// keeps) and each value with the text the component shows for it in that sound.
void runStateShow(const StateShowCommand& command, std::ostream& out, const HostEnvironment& env) {
    const auto component = openInitialized(env, DEFAULT_SAMPLE_RATE, DEFAULT_INPUTS, DEFAULT_BLOCK_FRAMES);
    StateSummary summary;
    const CFRef<CFTypeRef> state = loadCheckedState(command.file, *component, env.pipeWaitSeconds, &summary);
    applySound(*component, {}, &state, command.file, nullptr);
    out << "name: " << summary.name << "\n";
    out << "component: " << fourCharText(summary.identity.type) << " "
        << fourCharText(summary.identity.subtype) << " " << fourCharText(summary.identity.manufacturer)
        << "\n";
    if (summary.currentPreset) out << "current program: " << *summary.currentPreset << "\n";
    const std::vector<ParameterInfo> parameters = component->parameters();
    for (std::size_t p = 0; p < summary.programs.size(); ++p) {
        const StoredProgram& program = summary.programs[p];
        const std::string name = soundName(program);
        out << "program " << p << (summary.chunkForm ? " (chunk)" : "") << (name.empty() ? "" : ": ") << name
            << "\n";
        for (const ParameterInfo& info : parameters)
            if (!info.name.empty() && info.id < program.values.size())
                out << parameterLine(info.id, info.name, program.values[info.id],
                                     component->valueText(info.id, program.values[info.id]))
                    << "\n";
    }
}

}  // namespace

std::unique_ptr<ComponentHost> openInitialized(const HostEnvironment& env, double rate, std::uint32_t inputs,
                                               std::uint32_t block) {
    std::unique_ptr<ComponentHost> component = env.openComponent();
    component->initialize(rate, inputs, block);
    return component;
}

void prepareSound(ComponentHost& component, const SoundOptions& sound, const std::string& stateFile,
                  const HostEnvironment& env, std::ostream* report) {
    std::optional<CFRef<CFTypeRef>> state;
    if (!stateFile.empty()) state = loadCheckedState(stateFile, component, env.pipeWaitSeconds);
    applySound(component, sound, state ? &*state : nullptr, stateFile, report);
}

void saveComponentState(ComponentHost& component, const std::string& file) {
    CFRef<CFTypeRef> state = component.saveState();
    if (!state || CFGetTypeID(state.get()) != CFDictionaryGetTypeID())
        throw fileError(file, "cannot be written: the component gave no state");
    // The class-info dictionary is ours to extend once handed over.
    auto* dictionary = const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(state.get()));
    completePresetKeys(dictionary, component.identity(), std::filesystem::path(file).stem().string());
    writePresetFile(file, state.get());
}

std::uint32_t resolveParameter(const ParameterSetting& setting,
                               const std::vector<ParameterInfo>& parameters) {
    if (isIndex(setting.name)) {
        // The slots before the first named parameter and after the last do nothing.
        const auto named = [](const ParameterInfo& p) { return !p.name.empty(); };
        const auto first = std::find_if(parameters.begin(), parameters.end(), named);
        const auto last = std::find_if(parameters.rbegin(), parameters.rend(), named);
        const unsigned long index = std::stoul(setting.name);
        if (first == parameters.end() || index < first->id || index > last->id)
            throw HostError(setting.option() + setting.text + ": there is no parameter " + setting.name +
                            (first == parameters.end()
                                 ? std::string()
                                 : " (" + std::to_string(first->id) + ".." + std::to_string(last->id) + ")"));
        return static_cast<std::uint32_t>(index);
    }
    auto found = matchesByName(setting.name, parameters);
    if (found.empty()) found = byCaption(setting.name, parameters);
    if (found.empty()) {
        std::vector<std::string> names;
        for (const ParameterInfo& p : parameters) names.push_back(p.name);
        throw HostError(setting.option() + setting.text + ": no parameter is named \"" + setting.name +
                        "\" (tarnwell params lists them)" + didYouMean(setting.name, names));
    }
    if (found.size() > 1) {
        std::string which;
        for (std::size_t i = 0; i < found.size() && i < 6; ++i)
            which += (i == 0 ? "" : i + 1 == found.size() ? " and " : ", ") + found[i]->name;
        throw HostError(setting.option() + setting.text + ": \"" + setting.name + "\" names " +
                        std::to_string(found.size()) + " parameters (" + which +
                        (found.size() > 6 ? ", ..." : "") + "); use a whole name or the index");
    }
    return found.front()->id;
}

std::vector<FactoryPreset> factoryBank() {
    std::vector<FactoryPreset> presets;
    for (std::int32_t p = 0; p < FACTORY_PRESET_COUNT; ++p) presets.push_back({p, FACTORY_PRESET_NAMES[p]});
    return presets;
}

std::int32_t resolvePreset(const std::string& text, const std::vector<FactoryPreset>& presets) {
    if (isIndex(text)) {
        const long number = std::stol(text);
        for (const FactoryPreset& p : presets)
            if (p.number == number) return p.number;
        throw HostError("--preset " + text + ": there is no factory preset " + text +
                        " (tarnwell presets lists them)");
    }
    const auto found = matchesByName(text, presets);
    if (found.empty()) {
        std::vector<std::string> names;
        for (const FactoryPreset& p : presets) names.push_back(p.name);
        throw HostError("--preset " + text + ": no factory preset is named \"" + text +
                        "\" (tarnwell presets lists them)" + didYouMean(text, names));
    }
    return found.front()->number;
}

void loadFactoryPreset(ComponentHost& component, std::int32_t number) {
    const std::vector<float> values(std::begin(DEMOVAR[number]), std::end(DEMOVAR[number]));
    const CFRef<CFTypeRef> preset =
        programState(component.identity(), component.stateLayout(), FACTORY_PRESET_NAMES[number], values);
    component.restoreState(preset.get());
}

int runTarnwell(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const HostEnvironment& environment) {
    try {
        const std::optional<Command> command = parseCommandLine(args, out);
        if (!command) return 0;
        std::visit(
            [&](const auto& c) {
                using T = std::decay_t<decltype(c)>;
                if constexpr (std::is_same_v<T, RenderCommand>)
                    runRender(c, out, err, environment);
                else if constexpr (std::is_same_v<T, PresetsCommand>)
                    runPresets(out);
                else if constexpr (std::is_same_v<T, ParamsCommand>)
                    runParams(c, out, err, environment);
                else if constexpr (std::is_same_v<T, StateSaveCommand>)
                    runStateSave(c, out, err, environment);
                else if constexpr (std::is_same_v<T, EditCommand>)
                    runEdit(c, out, err, environment);
                else if constexpr (std::is_same_v<T, SnapshotCommand>)
                    runSnapshot(c, out, err, environment);
                else if constexpr (std::is_same_v<T, StateShowCommand>)
                    runStateShow(c, out, environment);
                else
                    static_assert(sizeof(T) == 0, "every command needs its own branch here");
            },
            *command);
        return 0;
    } catch (const HostError& e) {
        err << "tarnwell: " << e.what() << "\n";
        return e.exitStatus;
    } catch (const std::exception& e) {
        err << "tarnwell: " << e.what() << "\n";
        return 1;
    }
}
