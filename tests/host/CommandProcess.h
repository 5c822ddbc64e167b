#pragma once

// The built tarnwell command run as a user runs it, in a process of its own.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tarnwell::test {

// Starts the command (or a copy of it elsewhere) with its output (none for an empty name) and
// messages going to files; limited runs get at most a minute of CPU and, outside
// address-sanitizer builds, 2 GiB of address space.
inline pid_t startCommand(const std::vector<std::string>& args, const std::string& out = "/dev/null",
                          const std::string& err = "/dev/null", bool limited = false,
                          const std::string& program = TARNWELL_COMMAND) {
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child != 0) return child;
    if (limited) {
        const rlimit cpu{60, 60};
        setrlimit(RLIMIT_CPU, &cpu);
#ifndef __SANITIZE_ADDRESS__
        const rlimit space{2ul << 30, 2ul << 30};
        setrlimit(RLIMIT_AS, &space);
#endif
    }
    for (int s : {SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    if (out.empty())
        close(STDOUT_FILENO);  // as a command run with its output closed (>&-)
    else
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
}

// The exit status, or -1 when a signal ended it (then in *signal).
inline int waitForCommand(pid_t child, int* signal = nullptr) {
    int status = 0;
    waitpid(child, &status, 0);
    if (signal != nullptr) *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tarnwell::test
