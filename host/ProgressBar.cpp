#include "host/ProgressBar.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr double QUIET_SECONDS = 1.0;
constexpr double REDRAW_SECONDS = 0.1;
constexpr int WIDTH = 40;

}  // namespace

ProgressBar::ProgressBar(std::ostream& stream, bool isTerminal, Clock now)
    : out(stream), enabled(isTerminal), clock(std::move(now)), started(clock()) {}

double ProgressBar::steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ProgressBar::update(std::uint64_t done, std::uint64_t total) {
    if (!enabled || total == 0) return;
    const double now = clock();
    if (now - started < QUIET_SECONDS || (drawn && now - lastDrawn < REDRAW_SECONDS)) return;
    const double fraction = done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(fraction * WIDTH);
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100.0));
    out << '\r' << "rendering [" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(WIDTH - filled), '.') << "] " << percent << std::flush;
    drawn = true;
    lastDrawn = now;
}

void ProgressBar::finish() {
    if (!drawn) return;
    out << '\r' << std::string(WIDTH + 17, ' ') << '\r' << std::flush;
    drawn = false;
}
