// The tarnwell command: the component is the one built beside this program.
#include <unistd.h>

#include <iostream>

#include "host/AtomicOutput.h"
#include "host/AudioUnitComponent.h"
#include "host/TarnwellCommand.h"

int main(int argc, char** argv) {
    removeTemporaryOutputOnSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    HostEnvironment environment{
        [] { return std::make_unique<AudioUnitComponent>(AudioUnitComponent::besideProgram()); },
        isatty(STDERR_FILENO) != 0};
    return runTarnwell(args, std::cout, std::cerr, environment);
}
