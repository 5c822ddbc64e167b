#include <gtest/gtest.h>

#include "host/Renderer.h"
#include "tests/host/FakeComponent.h"

namespace {

using tarnwell::test::FakeComponent;
using tarnwell::test::FakeLog;

struct Rendered {
    AudioData input;
    FakeLog log;
    AudioData output;
};

// Renders a ramp (left up, right down) through the gain stand-in at gain 1.
Rendered run(std::size_t frames, std::uint32_t block, RenderJob job) {
    Rendered r;
    r.input.channels.assign(2, std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        r.input.channels[0][i] = static_cast<float>(i + 1);
        r.input.channels[1][i] = -static_cast<float>(i + 1);
    }
    job.blockFrames = block;
    if (!job.tailFrames) job.tailFrames = 0;
    FakeComponent component(r.log);
    component.initialize(r.input.sampleRate, 2, block);
    component.setParameter(0, 1.0f);
    r.output = renderAudio(component, job, r.input);
    return r;
}

std::vector<std::uint32_t> sizes(const FakeLog& log) {
    std::vector<std::uint32_t> s;
    for (const auto& r : log.renders) s.push_back(r.frames);
    return s;
}

// Blocks cover input and tail once; changes and MIDI go with the render that holds their frame,
// at the offset within it.
TEST(Renderer, BlocksAndEventsLandOnTheirFrames) {
    RenderJob job;
    job.tailFrames = 100;
    job.automation = {{0, 0, 0.5f}, {300, 0, 0.25f}, {512, 0, 1.0f}, {512, 1, 0.75f}, {999, 1, 0.0f}};
    job.midi = {
        {0, 0x90, 60, 100}, {255, 0x80, 60, 0}, {256, 0xB0, 1, 2}, {700, 0x91, 1, 1}, {5000, 0x90, 1, 1}};
    const Rendered r = run(1000, 256, job);
    EXPECT_EQ(sizes(r.log), (std::vector<std::uint32_t>{256, 256, 256, 256, 76}));
    const std::vector<std::vector<std::uint32_t>> changes = {{0}, {44}, {0, 0}, {231}, {}};
    const std::vector<std::vector<std::uint32_t>> notes = {
        {0, 255}, {0}, {188}, {}, {}};  // 5000 is never sent
    double start = 0.0;
    for (std::size_t k = 0; k < r.log.renders.size(); ++k) {
        EXPECT_EQ(r.log.renders[k].sampleTime, start);
        start += r.log.renders[k].frames;
        EXPECT_EQ(r.log.renders[k].scheduledOffsets, changes[k]) << k;
        EXPECT_EQ(r.log.renders[k].midiOffsets, notes[k]) << k;
    }
    ASSERT_EQ(r.output.frames(), 1100u);
    for (std::size_t i = 0; i < 1100; ++i) {
        const float gain = i < 300 ? 0.5f : i < 512 ? 0.25f : 1.0f;
        ASSERT_EQ(r.output.channels[0][i], i < 1000 ? r.input.channels[0][i] * gain : 0.0f) << i;
    }
}

TEST(Renderer, NoRenderGetsMoreMidiThanTheComponentQueues) {
    RenderJob job;
    for (std::uint64_t i = 0; i < 1500; ++i) job.midi.push_back({i / 4, 0x90, 60, 1});
    const Rendered r = run(2048, 512, job);
    EXPECT_EQ(r.log.renders[0].frames, 256u);  // cut short where the queue is full
    EXPECT_EQ(r.log.renders[0].midiOffsets.size(), MIDI_EVENTS_PER_RENDER);
    EXPECT_EQ(r.log.renders[1].midiOffsets.size(), 476u);
    EXPECT_EQ(r.log.renders[1].midiOffsets.front(), 0u);
    std::size_t total = 0;
    for (const auto& render : r.log.renders) total += render.midiOffsets.size();
    EXPECT_EQ(total, 1500u);
}

TEST(Renderer, EachRenderKnowsItsSongPosition) {
    RenderJob job;
    job.tempo = TempoMap(120.0);
    job.tempo.addChange(4.0, 60.0);                 // from 2 s on
    const Rendered r = run(44100 * 3, 11025, job);  // renders of half a beat at 120
    ASSERT_EQ(r.log.renders.size(), 12u);
    const TransportState& first = r.log.renders[0].transport;
    EXPECT_TRUE(first.changed && first.playing);
    EXPECT_FALSE(r.log.renders[1].transport.changed);
    EXPECT_DOUBLE_EQ(r.log.renders[1].transport.beat, 0.5);
    EXPECT_EQ(r.log.renders[1].transport.samplesToNextBeat, 11025u);
    EXPECT_EQ(r.log.renders[2].transport.samplesToNextBeat, 0u);
    EXPECT_DOUBLE_EQ(r.log.renders[7].transport.barStartBeat, 0.0);
    EXPECT_DOUBLE_EQ(r.log.renders[8].transport.barStartBeat, 4.0);
    const TransportState& slow = r.log.renders[9].transport;
    EXPECT_DOUBLE_EQ(slow.tempo, 60.0);
    EXPECT_DOUBLE_EQ(slow.beat, 4.25);
    EXPECT_EQ(slow.samplesToNextBeat, 33075u);
    EXPECT_DOUBLE_EQ(slow.sampleInTimeline, 99225.0);
}

// y[n] = x[n] + feedback * y[n - gap]: the input returns every gap frames, on both sides or on
// the right alone.
class Echo : public FakeComponent {
public:
    Echo(FakeLog& record, std::size_t gap, float feedback, bool rightOnly = false,
         std::optional<std::uint64_t> says = std::nullopt)
        : FakeComponent(record),
          line(gap, 0.0f),
          gain(feedback),
          leftGain(rightOnly ? 0.0f : 1.0f),
          span(says) {}
    std::optional<std::uint64_t> quietSpan() override { return span; }
    void render(const float* const* input, double, std::uint32_t frames, float* const* output) override {
        for (std::uint32_t i = 0; i < frames; ++i, at = (at + 1) % line.size()) {
            line[at] = input[0][i] + gain * line[at];
            output[0][i] = leftGain * line[at];
            output[1][i] = line[at];
        }
    }

private:
    std::vector<float> line;
    float gain;
    float leftGain;
    std::optional<std::uint64_t> span;
    std::size_t at = 0;
};

// Left to itself the tail runs on across echoes that come back within its wait and ends with
// the last frame above -90 dBFS on either side; a sound that never dies stops at the longest tail.
TEST(Renderer, AnAutomaticTailEndsWithTheSound) {
    constexpr double RATE = 100000.0;
    constexpr std::size_t GAP = 200000;  // under the quiet stretch that ends a tail
    ASSERT_GT(quietFramesToEnd(RATE), GAP);
    AudioData click;
    click.sampleRate = RATE;
    click.channels.assign(1, std::vector<float>(1000, 0.0f));
    click.channels[0][10] = 1.0f;
    RenderJob job;
    FakeLog log;
    Echo halving(log, GAP, 0.5f);  // echo k at 2^-k: k = 14 is the last one above the level
    EXPECT_EQ(renderAudio(halving, job, click).frames(), 10 + 14 * GAP + 1);
    Echo rightAlone(log, GAP, 0.5f, true);  // the left silent throughout
    EXPECT_EQ(renderAudio(rightAlone, job, click).frames(), 10 + 14 * GAP + 1);
    Echo endless(log, GAP, 1.0f);  // the last echo inside the longest tail
    const auto longest = static_cast<std::size_t>(AUTOMATIC_TAIL_SECONDS * RATE) + 1000;
    EXPECT_EQ(renderAudio(endless, job, click).frames(), 10 + (longest - 11) / GAP * GAP + 1);
    job.tailFrames = 123;
    Echo fixed(log, GAP, 1.0f);
    EXPECT_EQ(renderAudio(fixed, job, click).frames(), 1000u + 123u);
}

// A component that says how long it may stay quiet and still sound again is waited for that
// long and a quarter of a second more, instead of the longest echo line: trusted, so a span
// shorter than its echoes ends the tail before the first comes back.
TEST(Renderer, AnAutomaticTailWaitsAsLongAsTheComponentSays) {
    constexpr double RATE = 100000.0;
    constexpr std::size_t GAP = 100000, QUARTER_SECOND = 25000;
    AudioData click;
    click.sampleRate = RATE;
    click.channels.assign(1, std::vector<float>(1000, 0.0f));
    click.channels[0][10] = 1.0f;
    RenderJob job;
    job.blockFrames = 100;
    FakeLog log;
    std::uint64_t rendered = 0;
    const RenderProgress count = [&](std::uint64_t done, std::uint64_t) { rendered = done; };
    Echo says(log, GAP, 0.5f, false, GAP);
    // Rendered on past the last loud frame: the span and a quarter second, to the block's end.
    auto quietRendered = [](std::size_t written, std::size_t span) {
        return (written + span + QUARTER_SECOND + 99) / 100 * 100;
    };
    EXPECT_EQ(renderAudio(says, job, click, count).frames(), 10 + 14 * GAP + 1);
    EXPECT_EQ(rendered, quietRendered(10 + 14 * GAP + 1, GAP));
    Echo tooShort(log, GAP, 0.5f, false, GAP / 2);
    EXPECT_EQ(renderAudio(tooShort, job, click, count).frames(), 1000u);  // the input, whole
    EXPECT_EQ(rendered, quietRendered(1000, GAP / 2));
}

}  // namespace
