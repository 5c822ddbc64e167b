#include "framework/auadapter/MidiEventQueue.h"

MidiEventQueue::MidiEventQueue() {
    for (std::size_t i = 0; i < kCapacity; ++i) cells[i].sequence.store(i, std::memory_order_relaxed);
}

bool MidiEventQueue::push(const QueuedMidiEvent& event) {
    std::size_t pos = enqueuePos.load(std::memory_order_relaxed);
    for (;;) {
        Cell& cell = cells[pos % kCapacity];
        const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
        const auto lag = static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(pos);
        if (lag == 0) {
            // The cell is free for this position: claim the position, then fill and publish.
            if (enqueuePos.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                cell.event = event;
                cell.sequence.store(pos + 1, std::memory_order_release);
                return true;
            }
        } else if (lag < 0) {
            return false;  // the consumer has not freed this cell yet: full
        } else {
            pos = enqueuePos.load(std::memory_order_relaxed);  // another producer got there first
        }
    }
}

bool MidiEventQueue::pop(QueuedMidiEvent& event) {
    Cell& cell = cells[dequeuePos % kCapacity];
    if (cell.sequence.load(std::memory_order_acquire) != dequeuePos + 1) return false;
    event = cell.event;
    cell.sequence.store(dequeuePos + kCapacity, std::memory_order_release);
    ++dequeuePos;
    return true;
}
