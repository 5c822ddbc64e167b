// The tarnwell command: the component is the one built beside this program.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <streambuf>

#include "host/AtomicOutput.h"
#include "host/AudioUnitComponent.h"
#include "host/TarnwellCommand.h"

namespace {

// Standard output that remembers why a write failed (a full disk, a closed output), so that the
// command does not report success for what never arrived.
class StandardOutput : public std::streambuf {
public:
    int error = 0;

    // A closed standard output is held by /dev/null, so no file the command opens takes its place
    // and receives what was meant for it; writing to it fails as it would.
    StandardOutput() {
        setp(buffer, buffer + sizeof buffer);
        if (fcntl(STDOUT_FILENO, F_GETFD) < 0 && errno == EBADF) {
            closed = true;
            const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (null >= 0 && null != STDOUT_FILENO) close(null);
        }
    }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        const char* p = pbase();
        if (closed && p < pptr()) error = EBADF;
        while (p < pptr() && error == 0) {
            const ssize_t n = ::write(STDOUT_FILENO, p, static_cast<std::size_t>(pptr() - p));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                error = n < 0 ? errno : EIO;
            else
                p += n;
        }
        setp(buffer, buffer + sizeof buffer);
        return error == 0 ? 0 : -1;
    }

private:
    char buffer[8192];
    bool closed = false;
};

}  // namespace

int main(int argc, char** argv) {
    removeTemporaryOutputOnSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    HostEnvironment environment{
        [] { return std::make_unique<AudioUnitComponent>(AudioUnitComponent::besideProgram()); },
        isatty(STDERR_FILENO) != 0};
    StandardOutput buffer;
    std::ostream out(&buffer);
    int status = runTarnwell(args, out, std::cerr, environment);
    if (!out.flush() && status == 0) {
        std::cerr << "tarnwell: cannot write to standard output (" << plainFileProblem(buffer.error) << ")\n";
        status = 1;
    }
    return status;
}
