#pragma once

// MIDI handed to an effect the way a host does: one event list per call, records at offsets.

#include "effect/APlugin.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwell::test {

struct MidiMessage {
    int32_t offset;
    uint8_t status, data1, data2;
};

// Built ahead, so that handing it over allocates nothing.
class MidiEventList {
public:
    explicit MidiEventList(const std::vector<MidiMessage>& messages, int32_t type = kVstMidiType)
        : records(std::min(messages.size(), CAPACITY)) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            VstMidiEvent& r = records[i];
            r.type = type;
            r.byteSize = 24;
            r.deltaFrames = messages[i].offset;
            r.midiData[0] = static_cast<char>(messages[i].status);
            r.midiData[1] = static_cast<char>(messages[i].data1);
            r.midiData[2] = static_cast<char>(messages[i].data2);
            list.events[i] = reinterpret_cast<VstEvent*>(&r);
        }
        list.numEvents = static_cast<int32_t>(records.size());
    }
    VstEvents* get() { return reinterpret_cast<VstEvents*>(&list); }

private:
    static constexpr std::size_t CAPACITY = 512;
    // The list's header followed by as many pointers as it needs.
    struct List {
        int32_t numEvents = 0;
        intptr_t reserved = 0;
        VstEvent* events[CAPACITY] = {};
    };
    static_assert(offsetof(List, events) == offsetof(VstEvents, events));
    std::vector<VstMidiEvent> records;
    List list;
};

inline void sendMidi(APlugin& fx, const std::vector<MidiMessage>& messages, int32_t type = kVstMidiType) {
    MidiEventList list(messages, type);
    fx.processEvents(list.get());
}

}  // namespace tarnwell::test
