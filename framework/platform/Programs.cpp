#include "framework/platform/Programs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "framework/platform/Dialogs.h"

extern char** environ;

namespace {

constexpr std::size_t OUTPUT_MAX_BYTES = 1 << 20;
constexpr int OPENER_VERDICT_MS = 1500;  // how long the opener's answer is waited for
constexpr int VERDICT_POLL_MS = 10;

// The launched programs not yet reaped. Only ever a few: a manual opened now and then.
std::mutex launchedLock;
std::vector<pid_t> launched;

std::vector<char*> argumentList(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    return args;
}

// The exit status of a finished child; 128 when it was killed.
int exitStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace

int runProgram(const std::vector<std::string>& argv, std::string& output) {
    if (argv.empty()) return -1;
    std::vector<char*> args = argumentList(argv);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // The toolkit's chatter is of no use to our user.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (output.size() < OUTPUT_MAX_BYTES) output.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return exitStatus(status);  // killed: no answer
}

Launch launchProgram(const std::vector<std::string>& argv, int waitMs) {
    reapLaunchedPrograms();
    Launch result;
    if (argv.empty()) return result;
    std::vector<char*> args = argumentList(argv);
    if (posix_spawnp(&result.pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        result.pid = -1;
        return result;
    }
    for (int waited = 0;; waited += VERDICT_POLL_MS) {
        int status = 0;
        const pid_t done = waitpid(result.pid, &status, WNOHANG);
        if (done == result.pid) {
            result.outcome =
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Launch::SUCCEEDED : Launch::FAILED;
            return result;
        }
        if (done < 0 && errno != EINTR) {  // reaped by someone else: its verdict is lost
            result.outcome = Launch::RUNNING;
            return result;
        }
        if (waited >= waitMs) break;
        usleep(VERDICT_POLL_MS * 1000);
    }
    result.outcome = Launch::RUNNING;
    const std::lock_guard<std::mutex> hold(launchedLock);
    launched.push_back(result.pid);
    return result;
}

int reapLaunchedPrograms() {
    const std::lock_guard<std::mutex> hold(launchedLock);
    std::erase_if(launched, [](pid_t pid) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        // Ended, or already collected by the host's own reaping.
        return done == pid || (done < 0 && errno == ECHILD);
    });
    return static_cast<int>(launched.size());
}

bool openWithDesktop(const char* path) {
    const Launch launch = launchProgram({"xdg-open", path}, OPENER_VERDICT_MS);
    return launch.outcome == Launch::SUCCEEDED || launch.outcome == Launch::RUNNING;
}

void showManual(const char* installed, const std::string& bundleFolder, DocumentOpener opener) {
    if (installed == nullptr || installed[0] == '\0') return;
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(installed);
    const fs::path bundled = fs::path(bundleFolder) / target.filename();
    const auto bundledTime = fs::last_write_time(bundled, error);
    if (!error) {
        const auto installedTime = fs::last_write_time(target, error);
        if (error || installedTime < bundledTime) {
            fs::create_directories(target.parent_path(), error);
            fs::copy_file(bundled, target, fs::copy_options::overwrite_existing, error);
        }
    }
    std::string message;
    if (FILE* file = std::fopen(installed, "rb")) {
        std::fclose(file);
        if ((opener != nullptr ? opener : &openWithDesktop)(installed)) return;
        message = std::string(
                      "The manual could not be shown: no program to open it was found (xdg-open). "
                      "Open it in a web browser: ") +
                  installed;
    } else {
        message = std::string("The manual is missing: ") + installed;
    }
    messageBox(message.c_str(), 0);
}
