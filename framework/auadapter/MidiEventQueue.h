#pragma once

// Hands MIDI from the host's threads to the render thread: a bounded queue that any number
// of threads may push to and one thread pops from, without locks, waiting or allocation after
// construction. A push finds the queue full (and the event is dropped) when kCapacity events
// are waiting.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

struct QueuedMidiEvent {
    uint8_t status;  // message type and channel
    uint8_t data1;
    uint8_t data2;
    uint32_t offset;  // frame of the render the event falls on
};

class MidiEventQueue {
public:
    static constexpr std::size_t kCapacity = 1024;

    MidiEventQueue();
    MidiEventQueue(const MidiEventQueue&) = delete;
    MidiEventQueue& operator=(const MidiEventQueue&) = delete;

    // Any thread. False when the queue is full.
    bool push(const QueuedMidiEvent& event);
    // The consumer thread only. False when nothing is waiting.
    bool pop(QueuedMidiEvent& event);

private:
    // Each cell's sequence number says whose turn it is: equal to a position, the cell is free
    // for the producer claiming that position; one more, it holds that position's event.
    struct Cell {
        std::atomic<std::size_t> sequence{0};
        QueuedMidiEvent event{};
    };

    std::array<Cell, kCapacity> cells;
    alignas(64) std::atomic<std::size_t> enqueuePos{0};
    alignas(64) std::size_t dequeuePos = 0;
};
