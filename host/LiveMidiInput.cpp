#include "host/LiveMidiInput.h"

#include <RtMidi.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ostream>
#include <vector>

namespace {

constexpr char SEQUENCER_DEVICE[] = "/dev/snd/seq";

// RtMidi's texts may run over several lines; the note stays on one.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

LiveMidiInput::LiveMidiInput(std::ostream& notes, const std::string& portName) {
    // Checked first: the sound library would print its own complaint for a missing device.
    if (access(SEQUENCER_DEVICE, R_OK | W_OK) != 0) {
        notes << "No MIDI input: no ALSA sequencer (" << SEQUENCER_DEVICE << ": " << std::strerror(errno)
              << ")\n";
        return;
    }
    try {
        auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, portName);
        in->ignoreTypes(true, true, true);  // system exclusive, clock and active sensing
        in->setCallback(&LiveMidiInput::arrived, this);
        in->openVirtualPort(portName);
        port = std::move(in);
    } catch (const RtMidiError& e) {
        notes << "No MIDI input: " << oneLine(e.getMessage()) << "\n";
    }
}

LiveMidiInput::~LiveMidiInput() {
    // Closing stops the sequencer's thread before the ring goes away.
    if (port) port->closePort();
}

void LiveMidiInput::arrived(double, std::vector<unsigned char>* message, void* self) {
    if (message != nullptr)
        static_cast<LiveMidiInput*>(self)->receive(message->data(), message->size(), Clock::now());
}

void LiveMidiInput::receive(const unsigned char* bytes, std::size_t size, Clock::time_point at) {
    if (bytes == nullptr || size == 0 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
    const std::size_t w = written.load(std::memory_order_relaxed);
    if (w - read.load(std::memory_order_acquire) >= CAPACITY) return;  // full: dropped
    Message& m = ring[w % CAPACITY];
    m.status = bytes[0];
    m.data1 = size > 1 ? bytes[1] & 0x7F : 0;
    m.data2 = size > 2 ? bytes[2] & 0x7F : 0;
    m.at = at;
    written.store(w + 1, std::memory_order_release);
}

void LiveMidiInput::deliver(ComponentHost& component, std::uint32_t frames, double sampleRate,
                            Clock::time_point now) {
    if (frames == 0) return;
    const auto span = std::chrono::duration<double>(static_cast<double>(frames) / sampleRate);
    const auto start = now - std::chrono::duration_cast<Clock::duration>(span);
    const std::size_t w = written.load(std::memory_order_acquire);
    std::size_t r = read.load(std::memory_order_relaxed);
    for (; r != w; ++r) {
        const Message& m = ring[r % CAPACITY];
        if (m.at > now) break;  // arrived after this render's time: the next one takes it
        // Late messages (the render loop stalled) all fall on the render's first frame.
        const double at = std::chrono::duration<double>(m.at - start).count() * sampleRate;
        const auto offset =
            static_cast<std::uint32_t>(std::clamp(std::floor(at), 0.0, static_cast<double>(frames - 1)));
        component.queueMidi(m.status, m.data1, m.data2, offset);
    }
    read.store(r, std::memory_order_release);
}
