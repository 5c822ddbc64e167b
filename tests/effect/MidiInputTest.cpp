// MIDI input: when pooled events fall due, what each message sets, and the controller map with
// learning, unbinding, pick-up and the preferences behind it.

#include "effect/APlugin.h"
#include "framework/platform/Preferences.h"
#include "tests/effect/MidiEvents.h"
#include "tests/effect/PluginFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

using namespace tarnwell::test;

namespace {

class MidiInputTest : public PluginFixture {
protected:
    // n frames of silence, one processing call each, so every frame can be watched.
    static void frames(APlugin& fx, int n) {
        float in[1] = {0.0f}, outL[1], outR[1];
        float* ins[2] = {in, in};
        float* outs[2] = {outL, outR};
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

// Offsets 0 and 1 both fall due before frame 0; offset 5 before frame 4, counting down across
// the processing calls.
TEST_F(MidiInputTest, EventsFallDueOnTheirFrame) {
    auto fx = make();
    sendMidi(*fx, {{5, 0xB0, 1, 127}, {0, 0xB0, 2, 64}, {1, 0xB0, 4, 32}});
    EXPECT_EQ(fx->pendingMidiCount, 3);
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[7], cc(64));  // Breath
    EXPECT_EQ(fx->modSourceValues[8], cc(32));  // Foot
    frames(*fx, 3);
    EXPECT_EQ(fx->modSourceValues[1], 0.0f);
    EXPECT_EQ(fx->pendingMidiCount, 1);
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[1], 1.0f);  // Mod Wheel
    EXPECT_EQ(fx->modSourceValues[2], 1.0f);  // Mod/After
    EXPECT_EQ(fx->pendingMidiCount, 0);
}

TEST_F(MidiInputTest, PoolHolds250EventsAndDropsTheRest) {
    auto fx = make();
    std::vector<MidiMessage> burst(APlugin::MIDI_POOL_SIZE, MidiMessage{3, 0xB0, 16, 10});
    burst.push_back({3, 0xB0, 16, 127});
    sendMidi(*fx, burst);
    EXPECT_EQ(fx->pendingMidiCount, 250);
    frames(*fx, 3);
    EXPECT_EQ(fx->modSourceValues[10], cc(10));  // the 251st never arrived
    EXPECT_EQ(fx->pendingMidiCount, 0);

    // Offsets a broken host sends negative (-99 is the pool's own free mark) fall due at once
    // rather than holding a record for good; other event kinds are not pooled.
    sendMidi(*fx, {{-99, 0xB0, 17, 5}, {-7, 0xB0, 18, 6}});
    sendMidi(*fx, {{0, 0xB0, 19, 7}}, /*type*/ 6);
    EXPECT_EQ(fx->pendingMidiCount, 2);
    frames(*fx, 1);
    EXPECT_EQ(fx->modSourceValues[11], cc(5));
    EXPECT_EQ(fx->modSourceValues[12], cc(6));
    EXPECT_EQ(fx->modSourceValues[13], 0.0f);
    EXPECT_EQ(fx->pendingMidiCount, 0);
}

TEST_F(MidiInputTest, MessagesSetTheirSources) {
    auto fx = make();
    apply(*fx, {{0, 0x93, 69, 127}});  // any channel
    EXPECT_EQ(fx->noteOnFlag, 1);
    EXPECT_EQ(fx->modSourceValues[23], cc(69));
    EXPECT_EQ(fx->modSourceValues[24], 1.0f);  // Center Note: key 57 is 0, an octave up 1
    EXPECT_EQ(fx->modSourceValues[5], 1.0f);
    for (int s : {25, 26}) {
        EXPECT_GE(fx->modSourceValues[s], -1.0f);
        EXPECT_LE(fx->modSourceValues[s], 1.0f);
    }
    EXPECT_NE(fx->modSourceValues[25], fx->modSourceValues[26]);  // two fresh draws
    apply(*fx, {{0, 0x90, 57, 64}});
    EXPECT_EQ(fx->modSourceValues[24], 0.0f);

    fx->noteOnFlag = 0;
    const std::vector<float> before(std::begin(fx->modSourceValues), std::end(fx->modSourceValues));
    apply(*fx, {{0, 0x90, 30, 0}, {0, 0xE0, 0, 100}, {0, 0xC0, 5, 0}, {0, 0xF8, 0, 0}});
    EXPECT_EQ(fx->noteOnFlag, 0);  // velocity 0 is a note-off; bend, program and clock do nothing
    EXPECT_EQ(fx->noteOffFlag, 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(fx->modSourceValues)));

    apply(*fx, {{0, 0xA0, 60, 100}});
    EXPECT_EQ(fx->modSourceValues[4], cc(100));
    EXPECT_EQ(fx->modSourceValues[2], cc(100));
    apply(*fx, {{0, 0xD5, 50, 0}});
    EXPECT_EQ(fx->modSourceValues[3], cc(50));
    EXPECT_EQ(fx->modSourceValues[2], cc(50));
    apply(*fx, {{0, 0xB0, 11, 20}, {0, 0xB0, 21, 30}, {0, 0xB0, 85, 40}, {0, 0xB0, 3, 50}});
    EXPECT_EQ(fx->modSourceValues[9], cc(20));
    EXPECT_EQ(fx->modSourceValues[15], cc(30));
    EXPECT_EQ(fx->modSourceValues[17], cc(40));
    EXPECT_EQ(fx->modSourceValues[2], cc(50)) << "controller 3 feeds no source";
}

TEST_F(MidiInputTest, LearningBindsTheNextControllerAndUnbindingClearsEveryBinding) {
    auto fx = make();
    const int p = FILTER_FREQ_TAG[1];
    fx->setMidiLatch(p, true);
    apply(*fx, {{0, 0xB0, 123, 100}});  // all notes off is never learned
    EXPECT_TRUE(fx->midiMap.learnArmed);
    apply(*fx, {{0, 0xB0, 7, 100}});
    EXPECT_FALSE(fx->midiMap.learnArmed);
    EXPECT_EQ(fx->midiMap.ccToParam[7], p);
    EXPECT_EQ(getMidiCC(7), p);
    EXPECT_EQ(fx->getParameter(p), cc(100));  // the learning message applies too
    apply(*fx, {{0, 0xB0, 7, 20}, {0, 0xB0, 8, 90}});
    EXPECT_EQ(fx->getParameter(p), cc(20));

    // A second controller learned to the same parameter; unlatching another one meanwhile leaves
    // the armed learn alone.
    fx->setMidiLatch(p, true);
    fx->setMidiLatch(FILTER_Q_TAG[0], false);
    apply(*fx, {{0, 0xB0, 8, 90}});
    EXPECT_EQ(fx->midiMap.ccToParam[7], p);
    EXPECT_EQ(fx->midiMap.ccToParam[8], p);

    EXPECT_EQ(make()->midiMap.ccToParam[8], p) << "a new instance reads the map from the preferences";

    fx->setMidiLatch(p, false);
    for (int c : {7, 8}) {
        EXPECT_EQ(fx->midiMap.ccToParam[c], 0);
        EXPECT_EQ(getMidiCC(c), 0);
    }
    apply(*fx, {{0, 0xB0, 7, 127}});
    EXPECT_EQ(fx->getParameter(p), cc(90));

    // Parameter 0 and indices past the store cannot be bound: no learn is armed for them.
    fx->setMidiLatch(0, true);
    fx->setMidiLatch(PARAMETER_COUNT, true);
    EXPECT_FALSE(fx->midiMap.learnArmed);
    setMidiCC(9, 5000);  // a stray stored number
    fx->setAllMidiControls();
    EXPECT_EQ(fx->midiMap.ccToParam[9], 0);

    fx->setMidiLatch(p, true);
    apply(*fx, {{0, 0xB0, 9, 1}});
    fx->clearMidi();
    for (int c = 0; c < 128; ++c) ASSERT_EQ(getMidiCC(c), 0) << c;
}

// With pick-up on, a bound controller acts only once it has come within 0.025 of the value the
// parameter had when it was bound; from then on every value applies.
TEST_F(MidiInputTest, PickUpWaitsUntilTheControllerComesNear) {
    saveStringToPrefs("Capture", "Y");
    const int q = SHAPER_AMOUNT_TAG[2];
    setMidiCC(10, q);  // bound in an earlier run: the value at the first message is the reference
    auto fx = make();
    EXPECT_TRUE(fx->midiCapture);
    const int p = COMB_FEED_TAG[0];
    fx->setParameter(p, 0.5f);
    fx->setMidiLatch(p, true);
    apply(*fx, {{0, 0xB0, 9, 100}});
    EXPECT_EQ(fx->midiMap.ccToParam[9], p);
    EXPECT_EQ(fx->getParameter(p), 0.5f);
    apply(*fx, {{0, 0xB0, 9, 63}});  // 0.496
    EXPECT_EQ(fx->getParameter(p), cc(63));
    apply(*fx, {{0, 0xB0, 9, 0}});
    EXPECT_EQ(fx->getParameter(p), 0.0f);

    fx->setParameter(q, 0.25f);
    apply(*fx, {{0, 0xB0, 10, 127}});
    EXPECT_EQ(fx->getParameter(q), 0.25f);
    apply(*fx, {{0, 0xB0, 10, 33}});  // 0.26
    EXPECT_EQ(fx->getParameter(q), cc(33));

    // Binding again starts waiting again; resetCapture makes every parameter wait.
    fx->setMidiLatch(p, true);
    apply(*fx, {{0, 0xB0, 9, 127}});
    EXPECT_EQ(fx->getParameter(p), 0.0f);
    fx->resetCapture();
    apply(*fx, {{0, 0xB0, 10, 127}});
    EXPECT_EQ(fx->getParameter(q), cc(33));

    saveStringToPrefs("Capture", "N");
    EXPECT_FALSE(fx->getMidiCapture());
    apply(*fx, {{0, 0xB0, 10, 127}});
    EXPECT_EQ(fx->getParameter(q), 1.0f);
}
