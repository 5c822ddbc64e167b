// MIDI through the whole chain: a file's notes, rendered by the tarnwell command through the
// built component, start a Block whose pad replays on notes.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "host/AudioFile.h"
#include "host/AudioUnitComponent.h"
#include "host/TarnwellCommand.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

constexpr double RATE = 44100.0;

std::unique_ptr<ComponentHost> openComponent() {
    return std::make_unique<AudioUnitComponent>(TARNWELL_COMPONENT_PATH);
}

// The first frame of each burst: where the level climbs past a tenth of the loudest 2 ms after
// at least 50 ms of silence.
std::vector<std::size_t> onsets(const std::vector<float>& signal) {
    constexpr std::size_t WINDOW = 88;
    std::vector<float> level(signal.size() / WINDOW);
    for (std::size_t w = 0; w < level.size(); ++w)
        for (std::size_t i = 0; i < WINDOW; ++i) level[w] = std::max(level[w], std::fabs(signal[w * WINDOW + i]));
    const float loudest = *std::max_element(level.begin(), level.end());
    std::vector<std::size_t> found;
    std::size_t quiet = 25;
    for (std::size_t w = 0; w < level.size(); ++w) {
        if (level[w] > 0.1f * loudest && quiet >= 25) {
            std::size_t i = w * WINDOW;
            while (std::fabs(signal[i]) < 1e-4f) ++i;
            found.push_back(i);
        }
        quiet = level[w] < 1e-4f ? quiet + 1 : 0;
    }
    return found;
}

TEST(MidiRender, NotesStartTheNoteTriggeredPadAtTheirFrames) {
    tarnwell::test::PreferencesSandbox prefs;
    tarnwell::test::TempFolder folder;
    AudioData tone;
    tone.sampleRate = RATE;
    tone.channels.assign(2, std::vector<float>(static_cast<std::size_t>(2.5 * RATE)));
    for (std::size_t i = 0; i < tone.frames(); ++i)
        tone.channels[0][i] = tone.channels[1][i] = 0.5f * static_cast<float>(std::sin(0.0314 * static_cast<double>(i)));
    writeAudioFile(folder.path("tone.wav"), tone);

    // 120 beats per minute at 96 pulses per beat: notes at beats 1, 2 and 4 (0.5, 1 and 2 s),
    // each a quarter of a second long.
    const unsigned char track[] = {0x60, 0x90, 60,   100,  0x30, 0x80, 60, 0,    0x30, 0x90, 62, 100,
                                   0x30, 0x80, 62,   0,    0x81, 0x10, 0x90, 64, 100, 0x30, 0x80, 64,
                                   0,    0,    0xFF, 0x2F, 0};
    std::string file("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0", 21);
    file += static_cast<char>(sizeof track);
    file.append(reinterpret_cast<const char*>(track), sizeof track);
    folder.write("notes.mid", file);

    std::vector<std::string> args = {"render", folder.path("tone.wav"), folder.path("out.wav"), "--midi",
                                     folder.path("notes.mid"), "--tail", "0"};
    // Path B1 > B2 > B3 > Delay; Block 1 a wet-only Gater of 16 steps, run once, a step per
    // sixteenth, only the first step on, the pad (play mode Note) leaving its levels alone;
    // Blocks 2 and 3, the Delay and the slot sources off.
    std::vector<std::pair<int, double>> patch = {{3, 3.1 / 5.99}, {126, 5.1 / 6.99}, {4, 0}, {31, 1},   {131, 1},
                                                 {132, 0},        {133, 8.1 / 16},   {26, 0}, {27, 0},  {168, 3.1 / 9.99}};
    for (int index : {134, 142, 106, 208, 209, 210, 211}) patch.emplace_back(index, 0.0);
    for (int index = 32; index < 38; ++index) patch.emplace_back(index, 0.5);
    for (int k = 0; k < 16; ++k) patch.insert(patch.end(), {{220 + k, k == 0}, {236 + k, k == 0}});
    for (const auto& [index, value] : patch) args.insert(args.end(), {"--set", std::to_string(index) + "=" + std::to_string(value)});

    std::ostringstream out, err;
    ASSERT_EQ(runTarnwell(args, out, err, HostEnvironment{&openComponent, false}), 0) << err.str();
    const AudioData output = readAudioFile(folder.path("out.wav"));
    const std::vector<std::size_t> found = onsets(output.channels[0]);
    const double notes[] = {0.5, 1.0, 2.0};
    ASSERT_EQ(found.size(), 3u);
    for (std::size_t n = 0; n < 3; ++n) {
        const double at = static_cast<double>(found[n]) / RATE;
        EXPECT_NEAR(at, notes[n], 0.002) << "note " << n;
    }
}

}  // namespace
