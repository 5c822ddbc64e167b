// The XY motion engine driven frame by frame as the audio engine drives it.

#include "effect/ParameterLayout.h"
#include "tests/effect/PluginFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int B = 0;  // the Block most cases drive
using Tags = int32_t[BLOCK_COUNT];
using Coordinate = std::function<float(int)>;

class XYMotionTest : public tarnwell::test::PluginFixture {
protected:
    void SetUp() override {
        plugin = make();
        plugin->setSampleRate(48000.0f);  // 96000 frames per bar at 120 bpm
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            set(XY_SPEED_TAG[b], 0.5f);             // x1
            set(XY_SPEED_MOD_AMOUNT_TAG[b], 0.5f);  // no speed modulation
        }
    }

    void set(int index, float value) { plugin->setParameter(index, value); }
    void choose(const Tags& tag, int option, float scale, int b = B) { set(tag[b], choice(option, scale)); }
    void recordMode(int mode, int b = B) { choose(XY_RECORD_MODE_TAG, mode, 2.99f, b); }
    void playMode(int mode, int b = B) { choose(XY_PLAY_MODE_TAG, mode, 9.99f, b); }
    void loop(int mode, int b = B) { choose(XY_LOOP_MODE_TAG, mode, 2.99f, b); }
    void sync(int option, int b = B) { choose(XY_SYNC_TAG, option, 30.99f, b); }
    void length(int milliseconds, int b = B) {
        set(XY_LEN_SEC_TAG[b], static_cast<float>(milliseconds / 1000) / 1000.0f);
        set(XY_LEN_MS_TAG[b], static_cast<float>(milliseconds % 1000) / 1000.0f);
    }
    void path(const Coordinate& fx, const Coordinate& fy, int b = B) {
        for (int i = 0; i < XY_PATH_POINTS; ++i) plugin->setXY(b, i, fx(i), fy(i));
    }
    // A replay of Block b's path (X rising from 0 at point 0 to 1 at point 31), a quarter bar long.
    void replayRamp(int b = B, int loopMode = APlugin::XY_LOOP_ON) {
        path([](int i) { return static_cast<float>(i) / 31.0f; }, [](int) { return 0.5f; }, b);
        sync(11, b);
        loop(loopMode, b);
        recordMode(APlugin::XY_REPLAY, b);
    }

    // One frame of the engine's XY work, its XY destinations left at their start values.
    void frame() {
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            plugin->modValues[DESTINATION_BLOCK_XY_SPEED[b]] = speedDestination;
            plugin->modValues[DESTINATION_BLOCK_XY_SMOOTH[b]] = 0.0f;
        }
        for (int b = 0; b < BLOCK_COUNT; ++b) plugin->updateTriggers(b);
        for (int b = 0; b < BLOCK_COUNT; ++b) plugin->updateXYStuff(b);
        for (TStep& steps : plugin->stepSequencer) steps.process();  // nothing happens while off
        if (plugin->getParameter(TRIGGER_PARAM) > 0.5f) set(TRIGGER_PARAM, 0.0f);
        plugin->noteOnFlag = plugin->noteOffFlag = 0;
        plugin->sampleCounter.store(plugin->sampleCounter.load() + 1);
    }
    void run(int frames) {
        for (int i = 0; i < frames; ++i) frame();
    }

    float source(const Tags& table, int b = B) const { return plugin->modSourceValues[table[b]]; }
    float x() const { return source(SOURCE_X); }
    double position(int b = B) const { return plugin->xy[b].position; }
    // Restarted in this frame: one frame's advance from the start.
    bool restarted(int b = B) const { return position(b) > 0.0 && position(b) <= plugin->xy[b].rate * 1.5; }
    bool gaterOn(int b = B) const { return plugin->stepSequencer[b].getOn(); }
    float point(int i, bool y = false) const {
        float px = 0.0f, py = 0.0f;
        plugin->getXYValues(B, i, px, py);
        return y ? py : px;
    }

    // Frames between the second and third upward crossing of X through 0.5.
    double period(int maxFrames) {
        std::vector<int> crossings;
        float previous = x();
        for (int n = 0; n < maxFrames && crossings.size() < 3; ++n) {
            frame();
            if (previous < 0.5f && x() >= 0.5f) crossings.push_back(n);
            previous = x();
        }
        return crossings.size() < 3 ? -1.0 : crossings[2] - crossings[1];
    }

    float speedDestination = 1.0f;  // the exponential kind starts from 1
    std::unique_ptr<APlugin> plugin;
};

}  // namespace

TEST_F(XYMotionTest, FreeReplayTakesThePathLengthTimesSpeed) {
    replayRamp();
    sync(0);
    length(750);  // 36000 frames
    EXPECT_NEAR(period(200000), 36000.0, 1.0);
    set(XY_SPEED_TAG[B], 0.625f);  // 2^(8s - 4) = 2
    EXPECT_NEAR(period(200000), 18000.0, 1.0);
    // The Offset source at amount 0.625: 2^(0.25 * 4 * 1) = 2 more.
    set(XY_SPEED_MOD_AMOUNT_TAG[B], 0.625f);
    choose(XY_SPEED_MOD_SOURCE_TAG, SOURCE_OFFSET, 99.99f);
    plugin->modSourceValues[SOURCE_OFFSET] = 1.0f;
    EXPECT_NEAR(period(200000), 9000.0, 1.0);
    speedDestination = 0.25f;  // the matrix's XY Speed scales it too
    EXPECT_NEAR(period(200000), 36000.0, 1.0);

    // A free path of length 0 stands still rather than dividing by its length.
    length(0);
    recordMode(APlugin::XY_LIVE);
    frame();
    recordMode(APlugin::XY_REPLAY);
    const double still = position();
    run(1000);
    EXPECT_EQ(position(), still);
    EXPECT_EQ(plugin->xy[B].rate, 0.0);
    EXPECT_FALSE(plugin->getHasPath(B));
}

TEST_F(XYMotionTest, LoopModes) {
    // Ping-pong walks out along the ramp and back, holding the turning point for one point step.
    replayRamp(B, APlugin::XY_PING_PONG);  // 24001 frames each way
    for (int option : {0, 1}) {            // every point, every second point
        choose(XY_POINT_QUANT_TAG, option, 4.99f);
        const double k = option + 1;
        for (int n = 0; n < 2 * 24001; ++n) {
            frame();
            const double q = position();
            const double expected = q < 32 - k ? q / 31
                                    : q < 32   ? (32 - k) / 31
                                               : std::max(0.0, (64 - k - q) / 31);
            ASSERT_NEAR(x(), expected, 1e-4) << "step " << k << " at " << q;
        }
    }
    EXPECT_NEAR(period(200000), 2.0 * 24001.0, 1.0);
    choose(XY_POINT_QUANT_TAG, 0, 4.99f);

    // Loop "Off" holds on the last used point; a free path never stops, so trigger a one-shot.
    playMode(APlugin::XY_TRIGGER);
    loop(APlugin::XY_LOOP_OFF);
    frame();
    for (int option : {0, 3}) {  // 32 points, then 4 (the last used is 24)
        choose(XY_POINT_QUANT_TAG, option, 4.99f);
        set(TRIGGER_PARAM, 1.0f);
        run(36000);
        EXPECT_DOUBLE_EQ(position(), APlugin::XY_SPAN - 32 / APlugin::XY_QUANT[option]);
        EXPECT_NEAR(x(), option == 0 ? 1.0f : 24.0f / 31.0f, 1e-4f);
    }
}

TEST_F(XYMotionTest, PointQuantUsesOnlyEveryKthPoint) {
    replayRamp();
    // Points between the used ones are spikes that must never show.
    path([](int i) { return i % 8 == 0 ? static_cast<float>(i) / 32.0f : 1.0f; }, [](int) { return 0.0f; });
    choose(XY_POINT_QUANT_TAG, 3, 4.99f);  // 4 points: 0, 8, 16, 24
    for (int n = 0; n < 24001; ++n) {
        frame();
        // 0 to 0.75 in a straight line, then back to point 0.
        const double q = position();
        ASSERT_NEAR(x(), q < 24.0 ? q / 32.0 : 0.75 * (32.0 - q) / 8.0, 1e-4) << q;
    }
}

TEST_F(XYMotionTest, SpaceQuantSnapsSourcesAndPolarNeverGoesBelowZero) {
    choose(XY_SPACE_QUANT_TAG, 4, 4.99f);  // 4 levels
    plugin->setXY(B, 0.6f, 0.1f);
    frame();
    EXPECT_FLOAT_EQ(x(), 0.5f);
    EXPECT_FLOAT_EQ(source(SOURCE_POLAR_X), 0.25f);
    EXPECT_FLOAT_EQ(source(SOURCE_Y), 0.0f);
    EXPECT_FLOAT_EQ(source(SOURCE_POLAR_Y), 0.0f);         // -0.8 snaps and clamps
    EXPECT_FLOAT_EQ(plugin->snapValue(B, 0.625f), 0.75f);  // halves away from zero
}

TEST_F(XYMotionTest, TimeQuantHoldsTheSourcesForEachPeriod) {
    replayRamp();
    sync(17);                              // one bar
    choose(XY_TIME_QUANT_TAG, 5, 30.99f);  // 1/16 bar: 6001 frames
    std::vector<int> changes;
    float previous = x();
    for (int n = 0; n < 50000; ++n) {
        frame();
        if (x() != previous) changes.push_back(n);
        previous = x();
    }
    ASSERT_GE(changes.size(), 6u);
    // Averaged, so the one frame a period adds shows.
    EXPECT_NEAR(static_cast<double>(changes.back() - changes[1]) / static_cast<double>(changes.size() - 2),
                6001.0, 0.3);
}

TEST_F(XYMotionTest, RecordingIsResampledIntoThePath) {
    recordMode(APlugin::XY_RECORDING);
    frame();
    plugin->startXYRecord(B);
    for (int n = 0; n < 112560; ++n) {  // 2.345 s
        const float t = static_cast<float>(n) / 48000.0f;
        plugin->setXYRecord(B, t / 2.5f, 1.0f - t / 2.5f);
        frame();
    }
    plugin->endXYRecord(B);
    EXPECT_FLOAT_EQ(plugin->getParameter(XY_LEN_SEC_TAG[B]), 0.002f);
    EXPECT_FLOAT_EQ(plugin->getParameter(XY_LEN_MS_TAG[B]), 0.345f);
    const int last = plugin->xy[B].recordLength.load();
    EXPECT_EQ(last, 2344);
    for (int i = 0; i < XY_PATH_POINTS; ++i) {
        // Slot m holds the pen of the last frame inside millisecond m.
        const double ms = i * (last / APlugin::XY_SPAN) + 47.0 / 48.0;
        EXPECT_NEAR(point(i), ms / 2500.0, 2e-4) << i;
        EXPECT_NEAR(point(i, true), 1.0 - ms / 2500.0, 2e-4) << i;
    }
    // The recorded path replays at the recorded length.
    recordMode(APlugin::XY_REPLAY);
    frame();
    EXPECT_NEAR(plugin->xy[B].rate, APlugin::XY_SPAN / (2.345 * 48000.0), 1e-9);
}

TEST_F(XYMotionTest, ShortUnstartedAndOverlongRecordings) {
    recordMode(APlugin::XY_RECORDING);
    frame();
    plugin->startXYRecord(B);
    for (int n = 0; n < 4800; ++n) {  // a longer one first, so stale slots would show
        plugin->setXYRecord(B, 1.0f, 1.0f);
        frame();
    }
    plugin->endXYRecord(B);
    // Under two captured milliseconds every point takes the first position, even when the pen
    // moved in the second millisecond.
    for (int captured : {0, 1, 60}) {  // frames rendered: none, one, 1.25 ms
        plugin->startXYRecord(B);
        plugin->setXYRecord(B, 0.3f, 0.7f);
        run(std::min(captured, 48));
        plugin->setXYRecord(B, 0.9f, 0.1f);
        run(captured - std::min(captured, 48));
        plugin->endXYRecord(B);
        for (int i = 0; i < XY_PATH_POINTS; ++i) {
            ASSERT_FLOAT_EQ(point(i), 0.3f) << captured << " frames, point " << i;
            ASSERT_FLOAT_EQ(point(i, true), 0.7f) << captured << " frames, point " << i;
        }
        EXPECT_LT(plugin->getXYPathTime(B), 0.002f);
    }
    // Ending when no recording runs keeps the path.
    length(3000);
    plugin->startXYRecord(B);
    run(100);
    plugin->endXYRecord(B);
    EXPECT_FLOAT_EQ(plugin->getXYPathTime(B), 3.0f);
    EXPECT_FLOAT_EQ(point(31), 0.3f);

    // Past its buffer a recording keeps writing the last slot.
    plugin->setXYRecord(B, 0.25f, 0.5f);
    plugin->sampleCounter.store(plugin->sampleCounter.load() + 600LL * 48000);  // ten minutes on
    frame();
    EXPECT_EQ(plugin->xy[B].recordLength.load(), APlugin::XY_RECORD_SLOTS - 1);
    EXPECT_EQ(plugin->xyRecordX[B][APlugin::XY_RECORD_SLOTS - 1].load(), 0.25f);
}

TEST_F(XYMotionTest, TriggerStartsAndRestartsEveryTriggerBlock) {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        replayRamp(b);
        playMode(b == 2 ? APlugin::XY_FREE : APlugin::XY_TRIGGER, b);
        plugin->stepSequencer[b].setInc(0.001);  // a step every 1000 frames
    }
    run(1000);
    EXPECT_EQ(position(0) + position(1), 0.0);  // waiting for the trigger
    EXPECT_FALSE(gaterOn(0));
    EXPECT_GT(position(2), 1.0);

    set(TRIGGER_PARAM, 1.0f);
    frame();
    EXPECT_TRUE(restarted(0) && restarted(1));
    EXPECT_FALSE(restarted(2));
    EXPECT_TRUE(gaterOn(0));
    EXPECT_EQ(plugin->stepSequencer[0].getStep(), 0);

    run(6000);
    EXPECT_NEAR(position(0), 6001 * plugin->xy[0].rate, 1e-6);  // started once, runs on
    EXPECT_EQ(plugin->stepSequencer[0].getStep(), 6);
    set(TRIGGER_PARAM, 1.0f);
    frame();
    EXPECT_TRUE(restarted(0) && restarted(1));
    EXPECT_EQ(plugin->stepSequencer[0].getStep(), 0);  // the gater restarts with the path
}

TEST_F(XYMotionTest, FollowerStartsOnceAndRestartsAfterTheHoldTime) {
    replayRamp();
    playMode(APlugin::XY_FOLLOWER);
    plugin->followerThreshold = 0.5f;
    plugin->followerHoldSamples = 100.0f;
    auto level = [&](float v, int frames) {
        plugin->follower.update(v, true);
        run(frames);
    };
    level(0.2f, 500);
    EXPECT_EQ(position(), 0.0);
    EXPECT_FALSE(gaterOn());
    level(0.8f, 1);
    EXPECT_TRUE(restarted() && gaterOn());
    level(0.8f, 3000);  // staying above does not restart
    level(0.2f, 100);   // nor does a dip no longer than the hold time
    level(0.8f, 1);
    EXPECT_NEAR(position(), 3102 * plugin->xy[B].rate, 1e-6);
    level(0.2f, 101);  // below it never stops by itself
    EXPECT_NEAR(position(), 3203 * plugin->xy[B].rate, 1e-6);
    level(0.8f, 1);
    EXPECT_TRUE(restarted() && gaterOn());
}

TEST_F(XYMotionTest, NoteOnStartsAndNoteOffFreezes) {
    replayRamp();
    playMode(APlugin::XY_NOTE);
    run(100);
    EXPECT_EQ(position(), 0.0);
    plugin->noteOnFlag = 1;
    frame();
    EXPECT_TRUE(restarted() && gaterOn());
    run(5000);

    plugin->noteOffFlag = 1;
    frame();
    const double frozen = position();
    run(1000);
    EXPECT_EQ(position(), frozen);
    EXPECT_EQ(plugin->stepSequencer[B].getStep(), -1);  // stopped

    plugin->noteOnFlag = 1;
    frame();
    EXPECT_TRUE(restarted() && gaterOn());

    plugin->noteOnFlag = plugin->noteOffFlag = 1;  // in one frame: stopped
    run(100);
    EXPECT_EQ(position(), 0.0);
    EXPECT_FALSE(gaterOn());
}

TEST_F(XYMotionTest, ExtremeSpeedModulationKeepsThePositionOnThePath) {
    replayRamp();
    set(XY_SPEED_MOD_AMOUNT_TAG[B], 1.0f);
    choose(XY_SPEED_MOD_SOURCE_TAG, SOURCE_INPUT, 99.99f);
    for (int mode : {APlugin::XY_LOOP_ON, APlugin::XY_PING_PONG}) {
        loop(mode);
        for (float input : {40.0f, 1e6f, INFINITY, NAN}) {
            plugin->modSourceValues[SOURCE_INPUT] = input;
            run(3);
            EXPECT_TRUE(position() >= 0.0 && position() < 2.0 * APlugin::XY_SPAN) << input;
            EXPECT_TRUE(x() >= 0.0f && x() <= 1.0f) << input;
        }
    }
}

// The editor thread draws, records and resets while the render thread replays. Its real check is
// the ThreadSanitizer build: every value the two threads share must be published safely.
TEST_F(XYMotionTest, EditorThreadAndRenderThreadShareTheStateSafely) {
    replayRamp(0);
    recordMode(APlugin::XY_RECORDING, 1);
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int n = 0; !done.load(); ++n) {
            const float v = static_cast<float>(n % 101) / 100.0f;
            plugin->setXY(2, v, 1.0f - v);
            if (n % 50 == 0) plugin->startXYRecord(1);
            plugin->setXYRecord(1, v, v);
            if (n % 50 == 49) plugin->endXYRecord(1);
            float hx = 0.0f, hy = 0.0f;
            plugin->getXYEditor(0, hx, hy);
            ASSERT_TRUE(hx >= 0.0f && hx <= 1.0f);
            (void)plugin->getUpdateXY(1);
            if (n % 200 == 0) plugin->resetXYS();
        }
    });
    run(30000);
    done = true;
    editor.join();
    for (int i = 0; i < XY_PATH_POINTS; ++i) {
        float px = -1.0f, py = -1.0f;
        plugin->getXYValues(1, i, px, py);
        EXPECT_TRUE(px >= 0.0f && px <= 1.0f && py >= 0.0f && py <= 1.0f) << i;
    }
    for (float v : plugin->modSourceValues) EXPECT_TRUE(v >= -1.0f && v <= 1.0f);
}
