#include <gtest/gtest.h>

#include <cmath>

#include "host/DemoMaterial.h"

namespace {

double rms(const std::vector<float>& x, std::size_t from, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(x[i]) * static_cast<double>(x[i]);
    return std::sqrt(sum / static_cast<double>(count));
}

TEST(DemoMaterial, FourBarsOfStereoLoudButNeverClipping) {
    const AudioData demo = makeDemoMaterial();
    EXPECT_EQ(demo.sampleRate, 44100.0);
    ASSERT_EQ(demo.channels.size(), 2u);
    const double seconds = DEMO_BARS * 4 * 60.0 / DEMO_TEMPO;
    EXPECT_EQ(demo.frames(), static_cast<std::size_t>(seconds * 44100.0));
    EXPECT_EQ(demo.channels[0].size(), demo.channels[1].size());

    float peak = 0.0f;
    for (const auto& channel : demo.channels)
        for (float s : channel) {
            ASSERT_TRUE(std::isfinite(s));
            peak = std::max(peak, std::abs(s));
        }
    EXPECT_NEAR(peak, DEMO_PEAK, 1e-4f);
    const double level = rms(demo.channels[0], 0, demo.frames());
    EXPECT_GT(level, 0.08);  // about -22 dBFS or louder: a clear signal, not a whisper
    EXPECT_LT(level, 0.4);
    EXPECT_EQ(makeDemoMaterial().channels, demo.channels);  // the same loop every time
}

TEST(DemoMaterial, EveryBeatSoundsAndTheChannelsDiffer) {
    const AudioData demo = makeDemoMaterial();
    const auto beat = static_cast<std::size_t>(44100.0 * 60.0 / DEMO_TEMPO);
    for (std::size_t b = 0; b < demo.frames() / beat; ++b)
        for (const auto& channel : demo.channels)
            EXPECT_GT(rms(channel, b * beat, beat), 0.03) << "beat " << b;

    double difference = 0.0;
    for (std::size_t i = 0; i < demo.frames(); ++i)
        difference += std::abs(static_cast<double>(demo.channels[0][i] - demo.channels[1][i]));
    EXPECT_GT(difference / static_cast<double>(demo.frames()), 0.01);
}

TEST(DemoMaterial, DrumsStandOutOfTheChords) {
    // The kick on the first sixteenth towers over the quiet spot just before the second beat.
    const AudioData demo = makeDemoMaterial();
    const auto sixteenth = static_cast<std::size_t>(44100.0 * 15.0 / DEMO_TEMPO);
    const double kick = rms(demo.channels[0], 0, sixteenth);
    const double between = rms(demo.channels[0], 3 * sixteenth, sixteenth / 2);
    EXPECT_GT(kick, 2.0 * between);
}

}  // namespace
