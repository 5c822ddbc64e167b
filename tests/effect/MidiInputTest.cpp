// MIDI input: when events fall due, what each message sets, and the controller map.

#include "effect/APlugin.h"
#include "framework/platform/Preferences.h"
#include "tests/effect/MidiEvents.h"
#include "tests/effect/PluginFixture.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>
#include <vector>

using namespace tarnwell::test;

namespace {

class MidiInputTest : public PluginFixture {
protected:
    // n frames of silence, one processing call each, so every frame can be watched.
    static void frames(APlugin& fx, int n) {
        float in[1] = {0.0f}, out[2][1];
        float* ins[2] = {in, in};
        float* outs[2] = {out[0], out[1]};
        for (int i = 0; i < n; ++i) fx.processReplacing(ins, outs, 1);
    }
    // Hands the messages over and applies those due now, as the engine does at a frame's start.
    static void apply(APlugin& fx, const std::vector<MidiMessage>& messages) {
        sendMidi(fx, messages);
        fx.processMidi();
    }
    static float cc(int value) { return static_cast<float>(value) / 127.0f; }
};

}  // namespace

// Offsets 0 and 1 fall due before frame 0 and offset 5 before frame 4, counting down across
// processing calls; the pool keeps 250 events and drops the rest.
TEST_F(MidiInputTest, EventsFallDueOnTheirFrameAndThePoolHolds250) {
    auto fx = make();
    sendMidi(*fx, {{5, 0xB0, 1, 127}, {0, 0xB0, 2, 64}, {1, 0xB0, 4, 32}});
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[SOURCE_BREATH], cc(64));  // Breath
    EXPECT_EQ(fx->modSourceValues[SOURCE_FOOT], cc(32));    // Foot
    frames(*fx, 3);
    EXPECT_EQ(fx->modSourceValues[SOURCE_MOD_WHEEL], 0.0f);
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[SOURCE_MOD_WHEEL], 1.0f);  // Mod Wheel, and Mod/After with it
    EXPECT_EQ(fx->modSourceValues[SOURCE_MOD_AFTER], 1.0f);

    std::vector<MidiMessage> burst(APlugin::MIDI_POOL_SIZE, MidiMessage{3, 0xB0, 16, 10});
    burst.push_back({3, 0xB0, 16, 127});
    sendMidi(*fx, burst);
    EXPECT_EQ(fx->pendingMidiCount, 250);
    frames(*fx, 3);
    EXPECT_EQ(fx->modSourceValues[SOURCE_CC16], cc(10));
    // Negative offsets from a broken host (-99 is the pool's free mark) fall due at once instead
    // of holding a record for good; other kinds of event are not pooled.
    sendMidi(*fx, {{-99, 0xB0, 17, 5}, {-7, 0xB0, 18, 6}});
    sendMidi(*fx, {{0, 0xB0, 19, 7}}, 6);
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[SOURCE_CC16 + 1], cc(5));
    EXPECT_EQ(fx->modSourceValues[SOURCE_CC16 + 2], cc(6));
    EXPECT_EQ(fx->modSourceValues[SOURCE_CC16 + 3], 0.0f);
    EXPECT_EQ(fx->pendingMidiCount, 0);
}

TEST_F(MidiInputTest, MessagesSetTheirSources) {
    auto fx = make();
    apply(*fx, {{0, 0x93, 69, 127}});  // any channel
    EXPECT_EQ(fx->noteOnFlag, 1);
    EXPECT_EQ(fx->modSourceValues[SOURCE_NOTE], cc(69));
    EXPECT_EQ(fx->modSourceValues[SOURCE_CENTER_NOTE], 1.0f);  // Center Note: key 57 is 0, an octave up 1
    EXPECT_EQ(fx->modSourceValues[SOURCE_VELOCITY], 1.0f);
    EXPECT_NE(fx->modSourceValues[SOURCE_NOTE_RANDOM],
              fx->modSourceValues[SOURCE_NOTE_RANDOM + 1]);  // two fresh draws
    EXPECT_LE(std::fabs(fx->modSourceValues[SOURCE_NOTE_RANDOM]), 1.0f);

    fx->noteOnFlag = 0;
    const std::vector<float> before(std::begin(fx->modSourceValues), std::end(fx->modSourceValues));
    apply(*fx, {{0, 0x90, 30, 0}, {0, 0xE0, 0, 100}, {0, 0xC0, 5, 0}, {0, 0xF8, 0, 0}});
    EXPECT_EQ(fx->noteOnFlag, 0);  // velocity 0 is a note-off; bend, program and clock do nothing
    EXPECT_EQ(fx->noteOffFlag, 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(fx->modSourceValues)));

    const std::pair<std::vector<MidiMessage>, std::vector<std::pair<int, int>>> cases[] = {
        {{{0, 0xA0, 60, 100}}, {{4, 100}, {2, 100}}},  // poly pressure, and Mod/After
        {{{0, 0xD5, 50, 0}}, {{3, 50}, {2, 50}}},      // channel pressure
        {{{0, 0xB0, 11, 20}, {0, 0xB0, 21, 30}, {0, 0xB0, 85, 40}, {0, 0xB0, 3, 9}},
         {{9, 20}, {15, 30}, {17, 40}, {2, 50}}},
    };
    for (const auto& [messages, sources] : cases) {
        apply(*fx, messages);
        for (const auto& [source, value] : sources)
            EXPECT_EQ(fx->modSourceValues[source], cc(value)) << source;
    }
}

TEST_F(MidiInputTest, LearningBindsTheNextControllerAndUnbindingClearsEveryBinding) {
    auto fx = make();
    const int p = FILTER_FREQ_TAG[1];
    fx->setMidiLatch(p, true);
    apply(*fx, {{0, 0xB0, 123, 100}});  // all notes off is never learned
    EXPECT_TRUE(fx->midiMap.learnArmed);
    apply(*fx, {{0, 0xB0, 7, 100}});
    fx->saveLearnedControllers();  // the main thread writes what was learned
    EXPECT_EQ(getMidiCC(7), p);
    EXPECT_EQ(fx->getParameter(p), cc(100));  // the learning message applies too
    // A second controller for the same parameter; unlatching another one meanwhile leaves the
    // armed learn alone.
    fx->setMidiLatch(p, true);
    fx->setMidiLatch(FILTER_Q_TAG[0], false);
    apply(*fx, {{0, 0xB0, 8, 90}, {0, 0xB0, 7, 20}});
    EXPECT_EQ(fx->midiMap.ccToParam[8], p);
    EXPECT_EQ(fx->getParameter(p), cc(20));
    fx->saveLearnedControllers();
    EXPECT_EQ(make()->midiMap.ccToParam[7], p) << "a new instance reads the map from the preferences";

    fx->setMidiLatch(p, false);
    EXPECT_EQ(getMidiCC(7) + getMidiCC(8) + fx->midiMap.ccToParam[7] + fx->midiMap.ccToParam[8], 0);
    apply(*fx, {{0, 0xB0, 7, 127}});
    EXPECT_EQ(fx->getParameter(p), cc(20));

    // Only 1..800 can be bound (what a map file holds); a stray stored number binds nothing.
    for (int bad : {0, 801}) fx->setMidiLatch(bad, true);
    EXPECT_FALSE(fx->midiMap.learnArmed);
    setMidiCC(9, 5000);
    fx->setAllMidiControls();
    EXPECT_EQ(fx->midiMap.ccToParam[9], 0);
}

// A learn binds on the render thread without touching the preferences (no file access, no
// allocation); the main thread writes the binding when its turn comes: the editor's idle, the
// host suspending the effect, or the effect going away.
TEST_F(MidiInputTest, LearningLeavesThePreferencesWriteToTheMainThread) {
    const int p = FILTER_FREQ_TAG[2], q = COMB_FEED_TAG[1];
    for (int turn = 0; turn < 2; ++turn) {
        const auto a = static_cast<uint8_t>(70 + turn), b = static_cast<uint8_t>(100 + turn);
        auto fx = make();
        fx->setMidiLatch(p, true);
        float buffer[64] = {};
        float* io[2] = {buffer, buffer};
        MidiEventList first({{3, 0xB0, a, 90}});
        fx->processEvents(first.get());
        std::size_t allocations = 0;
        long ioCalls = 0;
        {
            host.requests.reserve(host.requests.size() + 100);  // the recording host logs each request
            AllocationCounter counter;
            FileIoCounter files;
            fx->processReplacing(io, io, 64);
            allocations = counter.count();
            ioCalls = files.count();
        }
        EXPECT_EQ(allocations, 0u);
        EXPECT_EQ(ioCalls, 0);
        EXPECT_EQ(fx->midiMap.ccToParam[a], p);
        EXPECT_EQ(fx->getParameter(p), cc(90));
        EXPECT_EQ(getMidiCC(a), 0) << "not yet in the preferences";
        // A second learn before the main thread's turn is kept as well.
        fx->setMidiLatch(q, true);
        apply(*fx, {{0, 0xB0, b, 10}});
        if (turn == 0)
            fx->suspend();
        else
            fx.reset();
        EXPECT_EQ(getMidiCC(a), p) << turn;
        EXPECT_EQ(getMidiCC(b), q) << turn;
    }
}

// With pick-up on, a bound controller acts only once it comes within 0.025 of the value the
// parameter had when it was bound; from then on every value applies.
TEST_F(MidiInputTest, PickUpWaitsUntilTheControllerComesNear) {
    saveStringToPrefs("Capture", "Y");
    const int q = SHAPER_AMOUNT_TAG[2];
    setMidiCC(10, q);  // bound in an earlier run: the value at its first message is the reference
    auto fx = make();
    const int p = COMB_FEED_TAG[0];
    fx->setParameter(p, 0.5f);
    fx->setMidiLatch(p, true);
    fx->setParameter(q, 0.25f);
    const std::pair<MidiMessage, float> steps[] = {{{0, 0xB0, 9, 100}, 0.5f},
                                                   {{0, 0xB0, 9, 63}, cc(63)},
                                                   {{0, 0xB0, 9, 0}, 0.0f},  // 63 is 0.496
                                                   {{0, 0xB0, 10, 127}, 0.25f},
                                                   {{0, 0xB0, 10, 33}, cc(33)}};
    for (const auto& [message, value] : steps) {
        apply(*fx, {message});
        EXPECT_EQ(fx->getParameter(message.data1 == 9 ? p : q), value) << int(message.data2);
    }
    fx->resetCapture();  // waits again
    apply(*fx, {{0, 0xB0, 10, 127}});
    EXPECT_EQ(fx->getParameter(q), cc(33));
    saveStringToPrefs("Capture", "N");
    EXPECT_FALSE(fx->getMidiCapture());
    apply(*fx, {{0, 0xB0, 10, 127}});
    EXPECT_EQ(fx->getParameter(q), 1.0f);
}

// The editor's thread binds, unbinds and clears while the render thread learns and applies
// controllers: the map only ever holds the parameters bound.
TEST_F(MidiInputTest, ConcurrentLearningAndControllers) {
    auto fx = make();
    std::atomic<bool> done{false};
    std::thread render([&] {
        MidiEventList list({{0, 0xB0, 20, 64}, {5, 0xB0, 21, 3}, {9, 0x90, 60, 100}, {30, 0xB0, 20, 9}});
        float buffer[64] = {};
        float* io[2] = {buffer, buffer};
        for (int call = 0; call < 300; ++call) {
            fx->processEvents(list.get());
            fx->processReplacing(io, io, 64);
        }
        done = true;
    });
    for (int i = 0; !done; ++i) {
        fx->setMidiLatch(FILTER_FREQ_TAG[i % 3], i % 3 != 2);
        if (i % 16 == 15) fx->clearMidi();
    }
    render.join();
    for (int c = 0; c < 128; ++c) {
        const int p = fx->midiMap.ccToParam[c];
        EXPECT_TRUE(p == 0 || ((c == 20 || c == 21) && (p == FILTER_FREQ_TAG[0] || p == FILTER_FREQ_TAG[1])))
            << c;
    }
}
