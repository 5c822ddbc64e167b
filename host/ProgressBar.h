#pragma once

// A one-line progress bar for renders that take a while. It stays quiet for the first second,
// so quick renders print nothing, and redraws at most ten times a second.

#include <cstdint>
#include <functional>
#include <ostream>

class ProgressBar {
public:
    using Clock = std::function<double()>;  // seconds, monotonic

    // enabled is false when the stream is not a terminal: then nothing is ever drawn.
    ProgressBar(std::ostream& out, bool enabled, Clock clock = steadySeconds);

    void update(std::uint64_t done, std::uint64_t total);
    // Clears the bar, if one was drawn, so the next line starts clean.
    void finish();

    static double steadySeconds();

private:
    std::ostream& out;
    bool enabled;
    Clock clock;
    double started;
    double lastDrawn = -1.0;
    bool drawn = false;
};
