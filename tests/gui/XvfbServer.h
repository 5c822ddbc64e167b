#pragma once

// A private X server for the window tests: Xvfb on a display number it picks itself, started on
// first use and stopped with the test program however that ends. Servers started together can
// race for one number and the loser may still report it, so each gets a screen width of its own
// and a display of another width means trying again. Without Xvfb the tests that need it fail.

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tarnwell::test {

class XvfbServer {
public:
    // Points DISPLAY at the server; false (with the reason in error) when it cannot start.
    static bool start(std::string& error) {
        static XvfbServer server;
        error = server.error;
        return server.pid > 0;
    }

private:
    XvfbServer() {
        for (int attempt = 0; attempt < 8 && pid <= 0; ++attempt) launch();
        if (pid <= 0) error = "Xvfb did not start (is the xvfb package installed?)";
    }
    ~XvfbServer() { stop(); }

    void launch() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const int width = 1280 + static_cast<int>(getpid() % 512);  // room for a 1100-pixel editor
        const std::string screen = std::to_string(width) + "x768x24";
        // -noreset: no restart between the probe below and the test's own connection.
        const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                              screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execvp("Xvfb", const_cast<char**>(argv));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        const std::string name = ":" + number;
        Display* probe = number.empty() ? nullptr : XOpenDisplay(name.c_str());
        const bool ours = probe && DisplayWidth(probe, DefaultScreen(probe)) == width;
        if (probe) XCloseDisplay(probe);
        if (!ours) {
            stop();
            return;
        }
        setenv("DISPLAY", name.c_str(), 1);
    }
    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }

    pid_t pid = 0;
    std::string error;
};

}  // namespace tarnwell::test
