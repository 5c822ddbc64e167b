#pragma once

// Everything the command refuses or fails at ends in one of these: a single line for the user
// and the exit status. Bad input exits 1, a bad command line 2.

#include <stdexcept>
#include <string>

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& message, int status = 1)
        : std::runtime_error(message), exitStatus(status) {}
    int exitStatus;
};

// "PATH: problem", the form every message about a file takes.
inline HostError fileError(const std::string& path, const std::string& problem) {
    return HostError(path + ": " + problem);
}
