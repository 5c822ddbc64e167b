#include <gtest/gtest.h>

#include "host/Renderer.h"
#include "tests/host/FakeComponent.h"

namespace {

using tarnwell::test::FakeComponent;
using tarnwell::test::FakeLog;

AudioData ramp(std::size_t channels, std::size_t frames) {
    AudioData audio;
    audio.channels.assign(channels, std::vector<float>(frames));
    for (std::size_t c = 0; c < channels; ++c)
        for (std::size_t i = 0; i < frames; ++i)
            audio.channels[c][i] = static_cast<float>(i + 1) * (c == 0 ? 1 : -1);
    return audio;
}

struct Rendered {
    FakeLog log;
    AudioData output;
};

Rendered run(RenderJob job, std::uint32_t inputs) {
    Rendered r;
    FakeComponent component(r.log);
    component.initialize(job.input->sampleRate, inputs, job.blockFrames);
    component.setParameter(0, 1.0f);
    r.output = renderAudio(component, job);
    return r;
}

std::vector<std::uint32_t> sizes(const FakeLog& log) {
    std::vector<std::uint32_t> s;
    for (const auto& r : log.renders) s.push_back(r.frames);
    return s;
}

TEST(Renderer, BlocksCoverInputAndTailOnce) {
    const AudioData input = ramp(2, 1000);
    RenderJob job;
    job.input = &input;
    job.blockFrames = 256;
    job.tailFrames = 100;
    const Rendered r = run(job, 2);
    EXPECT_EQ(sizes(r.log), (std::vector<std::uint32_t>{256, 256, 256, 256, 76}));
    double expected = 0.0;
    for (const auto& render : r.log.renders) {
        EXPECT_EQ(render.sampleTime, expected);
        expected += render.frames;
    }
    ASSERT_EQ(r.output.frames(), 1100u);
    EXPECT_EQ(r.output.sampleRate, input.sampleRate);
    for (std::size_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(r.output.channels[0][i], input.channels[0][i]) << i;
        ASSERT_EQ(r.output.channels[1][i], input.channels[1][i]) << i;
    }
    for (std::size_t i = 1000; i < 1100; ++i) ASSERT_EQ(r.output.channels[0][i], 0.0f) << "tail is silence";
}

TEST(Renderer, ParameterChangesGoWithTheRenderThatHoldsTheirFrame) {
    const AudioData input = ramp(2, 1000);
    RenderJob job;
    job.input = &input;
    job.blockFrames = 256;
    job.automation = {{0, 0, 0.5f}, {300, 0, 0.25f}, {512, 0, 1.0f}, {512, 1, 0.75f}, {999, 1, 0.0f}};
    const Rendered r = run(job, 2);
    EXPECT_EQ(sizes(r.log), (std::vector<std::uint32_t>{256, 256, 256, 232}));
    EXPECT_EQ(r.log.renders[0].scheduledOffsets, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(r.log.renders[1].scheduledOffsets, (std::vector<std::uint32_t>{44}));
    EXPECT_EQ(r.log.renders[2].scheduledOffsets, (std::vector<std::uint32_t>{0, 0}));
    EXPECT_EQ(r.log.renders[3].scheduledOffsets, (std::vector<std::uint32_t>{231}));
    for (std::size_t i = 0; i < 1000; ++i) {
        const float gain = i < 300 ? 0.5f : i < 512 ? 0.25f : 1.0f;
        ASSERT_EQ(r.output.channels[0][i], input.channels[0][i] * gain) << i;
    }
}

TEST(Renderer, MidiArrivesWithOffsetsIntoItsRender) {
    const AudioData input = ramp(2, 1000);
    RenderJob job;
    job.input = &input;
    job.blockFrames = 256;
    job.midi = {
        {0, 0x90, 60, 100}, {255, 0x80, 60, 0}, {256, 0xB0, 1, 2}, {700, 0x91, 1, 1}, {5000, 0x90, 1, 1}};
    const Rendered r = run(job, 2);
    ASSERT_EQ(r.log.renders.size(), 4u);
    EXPECT_EQ(r.log.renders[0].midiOffsets, (std::vector<std::uint32_t>{0, 255}));
    EXPECT_EQ(r.log.renders[1].midiOffsets, (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(r.log.renders[2].midiOffsets, (std::vector<std::uint32_t>{188}));
    EXPECT_EQ(r.log.renders[2].midiStatus, (std::vector<std::uint8_t>{0x91}));
    EXPECT_TRUE(r.log.renders[3].midiOffsets.empty());  // past the end: never sent
}

TEST(Renderer, NoRenderGetsMoreMidiThanTheComponentQueues) {
    const AudioData input = ramp(2, 2048);
    RenderJob job;
    job.input = &input;
    job.blockFrames = 512;
    for (std::uint64_t i = 0; i < 1500; ++i) job.midi.push_back({i / 4, 0x90, 60, 1});
    const Rendered r = run(job, 2);
    EXPECT_EQ(r.log.renders[0].frames, 256u);
    EXPECT_EQ(r.log.renders[0].midiOffsets.size(), MIDI_EVENTS_PER_RENDER);
    EXPECT_EQ(r.log.renders[1].midiOffsets.size(), 476u);
    EXPECT_EQ(r.log.renders[1].midiOffsets.front(), 0u);
    std::size_t total = 0;
    for (const auto& render : r.log.renders) total += render.midiOffsets.size();
    EXPECT_EQ(total, 1500u);
}

TEST(Renderer, EachRenderKnowsItsSongPosition) {
    const AudioData input = ramp(2, 44100 * 3);
    RenderJob job;
    job.input = &input;
    job.blockFrames = 11025;  // a quarter second, half a beat at 120
    job.tempo = TempoMap(120.0);
    job.tempo.addChange(4.0, 60.0);  // from 2 s on
    const Rendered r = run(job, 2);
    ASSERT_EQ(r.log.renders.size(), 12u);
    EXPECT_TRUE(r.log.renders[0].transport.changed);
    EXPECT_FALSE(r.log.renders[1].transport.changed);
    EXPECT_TRUE(r.log.renders[1].transport.playing);
    EXPECT_DOUBLE_EQ(r.log.renders[1].transport.beat, 0.5);
    EXPECT_EQ(r.log.renders[1].transport.samplesToNextBeat, 11025u);
    EXPECT_EQ(r.log.renders[2].transport.samplesToNextBeat, 0u);
    EXPECT_DOUBLE_EQ(r.log.renders[7].transport.beat, 3.5);
    EXPECT_DOUBLE_EQ(r.log.renders[7].transport.barStartBeat, 0.0);
    EXPECT_DOUBLE_EQ(r.log.renders[8].transport.barStartBeat, 4.0);
    EXPECT_DOUBLE_EQ(r.log.renders[9].transport.tempo, 60.0);
    EXPECT_DOUBLE_EQ(r.log.renders[9].transport.beat, 4.25);
    EXPECT_EQ(r.log.renders[9].transport.samplesToNextBeat, 33075u);
    EXPECT_DOUBLE_EQ(r.log.renders[9].transport.sampleInTimeline, 99225.0);
}

}  // namespace
