#pragma once

// The tarnwell command as a function, so tests can run it the way a shell would.

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/CommandLine.h"
#include "host/ComponentHost.h"
#include "host/InputFile.h"

struct HostEnvironment {
    // Loads the component and makes a new instance; throws HostError when it cannot.
    std::function<std::unique_ptr<ComponentHost>()> openComponent;
    // Whether the error stream is a terminal that can show a progress bar.
    bool errorIsTerminal = false;
    // How long an input that is a named pipe may stay without a writer.
    double pipeWaitSeconds = PIPE_WAIT_SECONDS;
};

// args without the program name; returns the exit status. Results go to out, messages to err.
int runTarnwell(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const HostEnvironment& environment);

// The sound the options name, given to an initialised component: the factory preset, then the
// saved state (read and checked), then the single settings, each said on report when given.
void prepareSound(ComponentHost& component, const SoundOptions& sound, const std::string& stateFile,
                  const HostEnvironment& env, std::ostream* report = nullptr);
// The component's state as an .aupreset named after the file, written atomically.
void saveComponentState(ComponentHost& component, const std::string& file);
// An initialised new instance.
std::unique_ptr<ComponentHost> openInitialized(const HostEnvironment& env, double rate, std::uint32_t inputs,
                                               std::uint32_t block);

// The parameter a --set names: a name (exact, else ignoring case when that is unambiguous)
// or an index from the first named parameter to the last. Throws HostError naming the setting.
std::uint32_t resolveParameter(const ParameterSetting& setting, const std::vector<ParameterInfo>& parameters);
// The factory bank. The component offers a host only the preset it is playing, so the command
// lists the bank from the bank data and loads preset N as a host loads any sound: it restores
// a saved state holding N's values and name, and the effect recognises the preset by its name.
struct FactoryPreset {
    std::int32_t number;
    std::string name;
};
std::vector<FactoryPreset> factoryBank();

// The factory preset --preset names: a number, else a name as for parameters.
std::int32_t resolvePreset(const std::string& text, const std::vector<FactoryPreset>& presets);
// Restores the bank's preset number (0..62) into the component.
void loadFactoryPreset(ComponentHost& component, std::int32_t number);
