// Live MIDI: the port opens or says in one line why not, and messages reach the component in
// the next render at offsets that keep their spacing.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "host/LiveMidiInput.h"
#include "tests/host/FakeComponent.h"

namespace {

using tarnwell::test::FakeComponent;
using tarnwell::test::FakeLog;
using namespace std::chrono_literals;

TEST(LiveMidiInput, OpensThePortOrSaysWhyNotInOneLine) {
    std::ostringstream notes;
    LiveMidiInput input(notes);
    if (input.isOpen()) {
        EXPECT_EQ(notes.str(), "");
    } else {
        const std::string line = notes.str();
        EXPECT_EQ(line.rfind("No MIDI input: ", 0), 0u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    }
}

// 48 kHz, renders of 480 frames (10 ms): a render at time T covers T - 10 ms .. T.
TEST(LiveMidiInput, MessagesKeepTheirSpacingInTheNextRender) {
    std::ostringstream notes;
    LiveMidiInput input(notes, "Tarnwell test");
    FakeLog log;
    FakeComponent component(log);
    component.initialize(48000.0, 2, 480);
    const auto t0 = LiveMidiInput::Clock::time_point{} + 1s;
    auto send = [&](std::initializer_list<unsigned char> bytes, std::chrono::microseconds after) {
        const std::vector<unsigned char> message(bytes);
        input.receive(message.data(), message.size(), t0 + after);
    };
    send({0x90, 60, 100}, 1000us);
    send({0xF8}, 1500us);  // clock: ignored
    send({0xB2, 7, 64}, 2500us);
    send({0xD0, 90}, 9999us);
    send({0x80, 60, 0}, 10500us);  // after the first render's time
    float silence[480] = {}, out[2][480];
    const float* in[2] = {silence, silence};
    float* outs[2] = {out[0], out[1]};

    input.deliver(component, 480, 48000.0, t0 + 10ms);
    component.render(in, 0.0, 480, outs);
    input.deliver(component, 480, 48000.0, t0 + 20ms);
    component.render(in, 480.0, 480, outs);
    // A render loop that stalled: a message from long ago lands on the first frame.
    send({0x90, 62, 1}, 5ms);
    input.deliver(component, 480, 48000.0, t0 + 60ms);
    component.render(in, 960.0, 480, outs);

    ASSERT_EQ(log.renders.size(), 3u);
    EXPECT_EQ(log.renders[0].midiOffsets, (std::vector<std::uint32_t>{48, 120, 479}));
    EXPECT_EQ(log.renders[0].midiStatus, (std::vector<std::uint8_t>{0x90, 0xB2, 0xD0}));
    EXPECT_EQ(log.renders[1].midiOffsets, (std::vector<std::uint32_t>{24}));
    EXPECT_EQ(log.renders[2].midiOffsets, (std::vector<std::uint32_t>{0}));

}

}  // namespace
