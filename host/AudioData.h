#pragma once

#include <cstddef>
#include <vector>

// Audio held in memory: one float vector per channel.
struct AudioData {
    double sampleRate = 44100.0;
    std::vector<std::vector<float>> channels;  // all of one length

    std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};
