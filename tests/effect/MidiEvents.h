#pragma once

// MIDI handed to an effect the way a host does: one event list per call, records at offsets.

#include "effect/APlugin.h"

#include <algorithm>
#include <cstddef>
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
        : records(std::min<std::size_t>(messages.size(), 512)) {
        for (std::size_t i = 0; i < records.size(); ++i) {
            const MidiMessage& m = messages[i];
            records[i] = {type, 24, m.offset, 0, 0, 0, {char(m.status), char(m.data1), char(m.data2), 0},
                          0,    0,  0,        0};
            list.events[i] = reinterpret_cast<VstEvent*>(&records[i]);
        }
        list.numEvents = static_cast<int32_t>(records.size());
    }
    VstEvents* get() { return reinterpret_cast<VstEvents*>(&list); }

private:
    std::vector<VstMidiEvent> records;
    struct {  // the list's header, then as many pointers as it needs
        int32_t numEvents = 0;
        intptr_t reserved = 0;
        VstEvent* events[512] = {};
    } list;
};

inline void sendMidi(APlugin& fx, const std::vector<MidiMessage>& messages, int32_t type = kVstMidiType) {
    MidiEventList list(messages, type);
    fx.processEvents(list.get());
}

}  // namespace tarnwell::test
