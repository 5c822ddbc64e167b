#pragma once

// Live MIDI for a running host: an ALSA sequencer input port that the user connects a keyboard
// or controller to. Messages are stamped as they arrive (on the sequencer's own thread) and,
// right before each render, handed to the component at the frame offsets that keep their
// spacing: the render covers the last `frames` of time, so every message lands one render
// late but exactly as far apart as it was played. Nothing locks, waits or allocates on the
// render side.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "host/ComponentHost.h"

class RtMidiIn;

class LiveMidiInput {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t CAPACITY = 1024;  // waiting messages; more are dropped

    // Opens the sequencer port `portName` (client of the same name). Without a sequencer it
    // writes one line saying so to `notes` and stays closed; the host goes on without MIDI.
    explicit LiveMidiInput(std::ostream& notes, const std::string& portName = "Tarnwell");
    ~LiveMidiInput();
    LiveMidiInput(const LiveMidiInput&) = delete;
    LiveMidiInput& operator=(const LiveMidiInput&) = delete;

    bool isOpen() const { return port != nullptr; }

    // One thread only (the sequencer's): a message as it arrives. Channel messages are kept,
    // system messages ignored.
    void receive(const unsigned char* bytes, std::size_t size, Clock::time_point at);

    // The render thread, right before each render of `frames` at `sampleRate`: queues every
    // message received up to `now` on the component, at offsets within that render.
    void deliver(ComponentHost& component, std::uint32_t frames, double sampleRate,
                 Clock::time_point now = Clock::now());

private:
    struct Message {
        std::uint8_t status = 0, data1 = 0, data2 = 0;
        Clock::time_point at;
    };

    static void arrived(double, std::vector<unsigned char>* message, void* self);

    std::unique_ptr<RtMidiIn> port;
    // One writer, one reader: each index is written by its own side only.
    std::array<Message, CAPACITY> ring;
    std::atomic<std::size_t> written{0};
    std::atomic<std::size_t> read{0};
};
