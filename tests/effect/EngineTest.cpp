// The engine frame: the matrix, the control schedule, host tempo and transport, kept values, the
// six signal paths with the output stage, and the engine under load (finite, bounded output, no
// trace of bad input, no allocation).

#include "framework/platform/Preferences.h"
#include "tests/effect/EngineHarness.h"
#include "tests/effect/MidiEvents.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace tarnwell::test;

namespace {

constexpr int DESTINATION_BLOCK1_ROOM_DAMP = destinationBase(0) + 1;  // a Room's damp rides the second

struct Slot {
    int source, destination;
    float amount;
    bool bypass = false;
};

struct MatrixCase {
    const char* what;
    std::vector<Slot> slots;
    int destination;
    float expected;
};

class EngineTest : public EngineFixture {
protected:
    static bool finiteAndBounded(const Signal& s) {
        for (float x : s)
            if (!std::isfinite(x) || std::fabs(x) > 0.999f) return false;
        return true;
    }
    static constexpr double DELAY_FRAMES = 44.1 * 8.0;  // the plain delay at length 0.25: 8 ms

    // Blocks Off at the given gains, a DC input; the settled output pair.
    std::pair<float, float> settledOutput(int path, const std::function<void(APlugin&)>& setup) {
        auto fx = makeNeutral(path, setup);
        const Stereo out = render(*fx, constant(2000, 0.1f));
        return {out.left.back(), out.right.back()};
    }
    // Block 1's pad replays a ramp (X from 0 to 1 over the path, Y at 0.5) on a loop, synced to
    // the given row.
    static void setRampReplay(APlugin& e, int syncRow) {
        for (int i = 0; i < XY_PATH_POINTS; ++i) e.setXY(0, i, static_cast<float>(i) / 31.0f, 0.5f);
        e.setParameter(XY_SYNC_TAG[0], choice(syncRow, 30.99f));
        e.setParameter(XY_LOOP_MODE_TAG[0], choice(1, 2.99f));
        e.setParameter(XY_RECORD_MODE_TAG[0], choice(2, 2.99f));
    }
    // Sources written after the matrix (Offset among them) reach it in the next frame: run a few.
    float destinationAfter(const std::vector<Slot>& slots, int destination) {
        auto fx = makeNeutral(3, [&](APlugin& e) {
            for (std::size_t n = 0; n < slots.size(); ++n) {
                setSlot(e, static_cast<int>(n), slots[n].source, slots[n].destination, slots[n].amount);
                e.setParameter(MOD_BYPASS_TAG[n], slots[n].bypass ? 1.0f : 0.0f);
            }
        });
        render(*fx, constant(4, 0.0f));
        return fx->modValues[destination];
    }
};

}  // namespace

TEST_F(EngineTest, MatrixCombinesByDestinationKind) {
    const std::vector<MatrixCase> cases = {
        {"scale, full source, +1",
         {{SOURCE_OFFSET, DESTINATION_GLOBAL_VOLUME, 1.0f}},
         DESTINATION_GLOBAL_VOLUME,
         1.0f},
        {"scale, full source, -1",
         {{SOURCE_OFFSET, DESTINATION_GLOBAL_VOLUME, -1.0f}},
         DESTINATION_GLOBAL_VOLUME,
         0.0f},
        {"scale, source at 0, -1",
         {{SOURCE_VELOCITY, DESTINATION_GLOBAL_VOLUME, -1.0f}},
         DESTINATION_GLOBAL_VOLUME,
         1.0f},
        {"scale, source at 0, +0.5",
         {{SOURCE_VELOCITY, DESTINATION_GLOBAL_VOLUME, 0.5f}},
         DESTINATION_GLOBAL_VOLUME,
         0.5f},
        // A bipolar source at rest is read as the middle of its range.
        {"scale, bipolar source at 0",
         {{SOURCE_BLOCK_OUT[0], DESTINATION_GLOBAL_VOLUME, 1.0f}},
         DESTINATION_GLOBAL_VOLUME,
         0.5f},
        {"exponential +1", {{SOURCE_OFFSET, DESTINATION_DELAY_SPEED, 1.0f}}, DESTINATION_DELAY_SPEED, 8.0f},
        {"exponential -1",
         {{SOURCE_OFFSET, DESTINATION_DELAY_SPEED, -1.0f}},
         DESTINATION_DELAY_SPEED,
         0.125f},
        {"add -1", {{SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, -1.0f}}, DESTINATION_GLOBAL_PAN, -1.0f},
        {"bypassed slot",
         {{SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, 1.0f, true}},
         DESTINATION_GLOBAL_PAN,
         0.0f},
        {"source None", {{SOURCE_NONE, DESTINATION_GLOBAL_VOLUME, -1.0f}}, DESTINATION_GLOBAL_VOLUME, 1.0f},
        // Slot 1's amount -0.5 plus 1 from slot 0, then clamped to 1.
        {"amount of amount",
         {{SOURCE_OFFSET, DESTINATION_MOD_AMOUT[1], 1.0f}, {SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, -0.5f}},
         DESTINATION_GLOBAL_PAN,
         0.5f},
        {"amount of amount clamps",
         {{SOURCE_OFFSET, DESTINATION_MOD_AMOUT[1], 1.0f}, {SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, 1.0f}},
         DESTINATION_GLOBAL_PAN,
         1.0f},
        // A later slot cannot reach back to an earlier one.
        {"later slot on an earlier amount",
         {{SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, 0.25f}, {SOURCE_OFFSET, DESTINATION_MOD_AMOUT[0], 1.0f}},
         DESTINATION_GLOBAL_PAN,
         0.25f},
    };
    for (const MatrixCase& c : cases)
        EXPECT_NEAR(destinationAfter(c.slots, c.destination), c.expected, 1e-5f) << c.what;
    // Velocity (0 without notes) scaling Global Volume at +1 silences the output.
    auto silenced =
        makeNeutral(3, [](APlugin& e) { setSlot(e, 0, SOURCE_VELOCITY, DESTINATION_GLOBAL_VOLUME, 1.0f); });
    EXPECT_EQ(peak(render(*silenced, constant(500, 0.5f)).left, 0, 500), 0.0);
}

// A knob's modulation destination (its "Set Modulation To", "Modulated By" and a drop onto the
// matrix) is named after the knob and moves what the knob moves: with the knob where it is and a
// slot driven at full amount, the sound is the one of the knob moved by the slot's amount; it is
// not the sound the knob makes on its own.
TEST_F(EngineTest, EveryKnobsDestinationIsNamedAfterItAndMovesWhatItMoves) {
    struct Knob {
        int offset;           // Block-section offset, or -1 with tags
        const int32_t* tags;  // one parameter per Block outside the section
        int type, mode;       // where the knob acts: Block type, filter or shaper mode (-1: default)
        const char* name;     // the destination's long name, after the Block's prefix
        float from = 0.25f, to = 0.75f, amount = 0.5f;  // knob moved from..to is the slot's amount
    };
    constexpr int LP2 = 7, VOWEL = 31, PEAK = 36, RING = 0, FM = 1, LOWFI = 5;
    const std::vector<Knob> knobs = {
        {FILTER_DISTORT_OFFSET, nullptr, TYPE_FILTER, LP2, "Filter Pre-Distort"},
        {FILTER_FREQ_OFFSET, nullptr, TYPE_FILTER, LP2, "Filter Freq"},
        {FILTER_Q_OFFSET, nullptr, TYPE_FILTER, LP2, "Filter Q"},
        {FILTER_VOWEL_OFFSET, nullptr, TYPE_FILTER, VOWEL, "Filter Vowel"},
        {FILTER_GAIN_OFFSET, nullptr, TYPE_FILTER, PEAK, "Filter Gain"},
        {COMB_FREQ_OFFSET, nullptr, TYPE_COMB, -1, "Comb Freq"},
        {COMB_FEED_OFFSET, nullptr, TYPE_COMB, -1, "Comb Feed"},
        {COMB_DAMP_OFFSET, nullptr, TYPE_COMB, -1, "Comb Damp"},
        {-1, COMB_RANDOM_TAG, TYPE_COMB, -1, "Comb Random"},
        {SHAPER_WAVE_OFFSET, nullptr, TYPE_SHAPER, RING, "Shaper Wave"},
        {SHAPER_FREQ_OFFSET, nullptr, TYPE_SHAPER, RING, "Shaper Freq"},
        {SHAPER_AMOUNT_OFFSET, nullptr, TYPE_SHAPER, RING, "Shaper Amount"},
        {SHAPER_SYM_OFFSET, nullptr, TYPE_SHAPER, RING, "Shaper Sym"},
        {SHAPER_ENV_OFFSET, nullptr, TYPE_SHAPER, FM, "Shaper Envelope"},
        {SHAPER_BP_FREQ_OFFSET, nullptr, TYPE_SHAPER, LOWFI, "Shaper Low-Fi Freq"},
        {SHAPER_BP_Q_OFFSET, nullptr, TYPE_SHAPER, LOWFI, "Shaper Low-Fi Q"},
        {SHAPER_BP_RATE_OFFSET, nullptr, TYPE_SHAPER, LOWFI, "Shaper Low-Fi Rate"},
        {SHAPER_BP_BITS_OFFSET, nullptr, TYPE_SHAPER, LOWFI, "Shaper Bits"},
        {ROOM_LENGTH_OFFSET, nullptr, TYPE_ROOM, -1, "Room Length"},
        {ROOM_DAMP_OFFSET, nullptr, TYPE_ROOM, -1, "Room Damp"},
        {ROOM_HP_OFFSET, nullptr, TYPE_ROOM, -1, "Room HP"},
        {ROOM_MOD_OFFSET, nullptr, TYPE_ROOM, -1, "Room Mod Amount"},
        {GATER_SWING_OFFSET, nullptr, TYPE_GATER, -1, "Gater Swing"},
        {GATER_SMOOTH_OFFSET, nullptr, TYPE_GATER, -1, "Gater Smooth"},
        {BLOCK_SPREAD_OFFSET, nullptr, TYPE_FILTER, LP2, "Spread"},
        {BLOCK_PAN_OFFSET, nullptr, TYPE_FILTER, LP2, "Pan"},
        {BLOCK_VOLUME_OFFSET, nullptr, TYPE_FILTER, LP2, "Volume", 0.8f, 0.0f, -1.0f},  // scales: -1 silences
        {BLOCK_MIX_OFFSET, nullptr, TYPE_FILTER, LP2, "Mix"},
        // The pad's amounts are bipolar (2v - 1): the knob moves half the slot's amount.
        {XY_ASSIGN_OFFSET, nullptr, TYPE_COMB, -1, "X > Comb Freq", 0.25f, 0.5f},
        {XY_ASSIGN_OFFSET + 1, nullptr, TYPE_COMB, -1, "X > Comb Feed", 0.25f, 0.5f},
        {XY_ASSIGN_OFFSET + 2, nullptr, TYPE_COMB, -1, "X > Comb Damp", 0.25f, 0.5f},
        {XY_ASSIGN_OFFSET + 3, nullptr, TYPE_COMB, -1, "Y > Comb Freq", 0.25f, 0.5f},
        {XY_ASSIGN_OFFSET + 4, nullptr, TYPE_COMB, -1, "Y > Comb Feed", 0.25f, 0.5f},
        {XY_ASSIGN_OFFSET + 5, nullptr, TYPE_COMB, -1, "Y > Comb Damp", 0.25f, 0.5f},
        // Speed is 2^(8v - 4) and its destination multiplies by 2^(3a).
        {-1, XY_SPEED_TAG, TYPE_COMB, -1, "XY Speed", 0.25f, 0.4375f},
        {-1, XY_SMOOTH_TAG, TYPE_COMB, -1, "XY Smooth"},
        {-1, GRAIN_WRITE_SIZE_TAG, TYPE_GRAIN, -1, "Grain Size"},
        {-1, GRAIN_SHAPE_TAG, TYPE_GRAIN, -1, "Grain Shape"},
        {-1, GRAIN_READ_SIZE_TAG, TYPE_GRAIN, -1, "Grain Len"},
        // Semi-tune in 25 steps, its destination 12 semitones per unit: +6 semitones.
        {-1, GRAIN_SEMI_TAG, TYPE_GRAIN, -1, "Grain Semi", 0.5f, 18.5f / 24.99f},
        {-1, GRAIN_FINE_TAG, TYPE_GRAIN, -1, "Grain Fine", 0.25f, 0.5f},  // bipolar
        {-1, GRAIN_RANDOM_TAG, TYPE_GRAIN, -1, "Grain Random"},
    };
    const std::vector<std::pair<int, Knob>> outside = {
        {DELAY_LEFT_PARAM, {-1, nullptr, 0, -1, "Delay Left"}},
        {DELAY_RIGHT_PARAM, {-1, nullptr, 0, -1, "Delay Right"}},
        {DELAY_FEEDBACK_PARAM, {-1, nullptr, 0, -1, "Delay Feed"}},
        {DELAY_CROSS_FEEDBACK_PARAM, {-1, nullptr, 0, -1, "Delay Cross"}},
        {DELAY_LP_PARAM, {-1, nullptr, 0, -1, "Delay LP"}},
        {DELAY_HP_PARAM, {-1, nullptr, 0, -1, "Delay HP"}},
        {DELAY_MIX_PARAM, {-1, nullptr, 0, -1, "Delay Mix"}},
        {FOLLOWER_BOOST_PARAM, {-1, nullptr, 0, -1, "Follower Boost", 0.5f, 0.0f, -1.0f}},
        {FOLLOWER_SMOOTH_PARAM, {-1, nullptr, 0, -1, "Follower Smooth"}},
        {FOLLOWER_THRESHOLD_PARAM, {-1, nullptr, 0, -1, "Follower Thresh"}},
        {FOLLOWER_HOLD_PARAM, {-1, nullptr, 0, -1, "Follower Hold"}},
        // Slot n's amount is moved by the slots before it; slot 1 drives the others. (Slot 1's
        // own amount has none before it: its destination is named but cannot act.)
        {MOD_AMOUNT_TAG[1], {-1, nullptr, 0, -1, "Mod 2 Amount", 0.25f, 0.5f}},
        {MOD_AMOUNT_TAG[2], {-1, nullptr, 0, -1, "Mod 3 Amount", 0.25f, 0.5f}},
        {MOD_AMOUNT_TAG[3], {-1, nullptr, 0, -1, "Mod 4 Amount", 0.25f, 0.5f}},
    };

    const auto placeIn = [](APlugin& e, const Knob& k, int block) {
        if (k.type > 0) setBlockType(e, block, k.type);
        if (k.type == TYPE_FILTER) e.setParameter(FILTER_MODE_TAG[block], choice(k.mode, 40.0f));
        if (k.type == TYPE_SHAPER) e.setParameter(SHAPER_MODE_TAG[block], choice(k.mode, 9.0f));
    };
    const Signal left = noise(4096, 0.3, 1u), right = noise(4096, 0.3, 2u);
    // The sound, and the follower's output and timing for its own knobs.
    const auto observe = [&](int p, const Knob& k, int block, float value, bool driven) {
        auto fx = makeNeutral(4, [&](APlugin& e) {
            placeIn(e, k, block);
            if (block >= 0) e.setParameter(blockParam(block, BLOCK_MIX_OFFSET), 0.75f);  // mostly wet
            if (k.type == TYPE_SHAPER)
                e.setParameter(SHAPER_LOWFI_FILTER_TAG[block], 0.3f);  // Low-Fi through LP
            if (k.type == TYPE_GATER) {
                e.setParameter(GATER_SPEED_TAG[block], choice(16, 16.0f));  // a step every 344 frames
                for (int step = 1; step < 16; step += 2)
                    for (int side = 0; side < 2; ++side) e.setParameter(GATER_TAG[block][side] + step, 0.0f);
            }
            if (k.type == TYPE_GRAIN) e.setParameter(GRAIN_WRITE_SIZE_TAG[block], 0.3f);  // 5-ms grains
            if (k.type == TYPE_COMB) {
                e.setParameter(blockParam(block, COMB_FEED_OFFSET), 0.6f);
                e.setParameter(blockParam(block, COMB_DAMP_OFFSET), 0.5f);
                // The pad circles four times a second, X and Y through their whole range.
                setXYReplay(e, block);
                e.setParameter(XY_SPEED_TAG[block], 0.875f);
                for (int i = 0; i < XY_PATH_POINTS; ++i) {
                    const float angle =
                        6.2831853f * static_cast<float>(i) / static_cast<float>(XY_PATH_POINTS);
                    e.setXY(block, i, 0.5f + 0.5f * std::cos(angle), 0.5f + 0.5f * std::sin(angle));
                }
            }
            if (p >= DELAY_LEFT_PARAM && p <= DELAY_MIX_PARAM) setFeedbackDelay(e);
            for (int n = 1; n < MOD_SLOT_COUNT; ++n)
                if (p == MOD_AMOUNT_TAG[n]) setSlot(e, n, SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, 0.0f);
            e.setParameter(p, value);
            if (driven) setSlot(e, 0, SOURCE_OFFSET, e.paramModDestination[p], k.amount);
        });
        fx->modSourceValues[SOURCE_OFFSET] = 1.0f;  // as from the second frame on: driven from the start
        std::vector<float> seen;
        const Stereo out = render(*fx, left, right, 64, [&](std::size_t) {
            seen.insert(seen.end(), {fx->modSourceValues[SOURCE_FOLLOWER], 100.0f * fx->followerThreshold,
                                     fx->followerHoldSamples / 100.0f});
        });
        seen.insert(seen.end(), out.left.begin(), out.left.end());
        seen.insert(seen.end(), out.right.begin(), out.right.end());
        return seen;
    };
    const auto distance = [](const std::vector<float>& a, const std::vector<float>& b) {
        double sum = 0.0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const double step = static_cast<double>(a[i]) - static_cast<double>(b[i]);
            sum += step * step;
        }
        return std::sqrt(sum / static_cast<double>(a.size()));
    };

    std::vector<int> checked;
    const auto check = [&](int p, const Knob& k, int block) {
        checked.push_back(p);
        auto fx = make();
        const int d = fx->paramModDestination[p];
        ASSERT_GE(d, 0) << "parameter " << p << " has no destination";
        placeIn(*fx, k, block);
        char name[256];
        fx->getDestinationString(d, false, name);
        const std::string prefix = block < 0 ? "" : "Block " + std::to_string(block + 1) + " ";
        EXPECT_EQ(name, prefix + k.name) << "parameter " << p;
        const std::vector<float> still = observe(p, k, block, k.from, false);
        const std::vector<float> moved = observe(p, k, block, k.to, false);
        const std::vector<float> driven = observe(p, k, block, k.from, true);
        const double knob = distance(still, moved);
        EXPECT_GT(knob, 1e-4) << "parameter " << p << " (" << k.name << ") does nothing here";
        EXPECT_LT(distance(driven, moved), 0.05 * knob) << "parameter " << p << " (" << k.name << ")";
    };
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (const Knob& k : knobs) check(k.tags ? k.tags[b] : blockParam(b, k.offset), k, b);
    for (const auto& [p, k] : outside) check(p, k, -1);

    // No other parameter offers a destination, but slot 1's amount, whose destination is named
    // after it.
    auto fx = make();
    char name[256];
    fx->getDestinationString(fx->paramModDestination[MOD_AMOUNT_TAG[0]], false, name);
    EXPECT_STREQ(name, "Mod 1 Amount");
    checked.push_back(MOD_AMOUNT_TAG[0]);
    for (int p = 0; p < PARAMETER_COUNT; ++p)
        if (std::find(checked.begin(), checked.end(), p) == checked.end()) {
            EXPECT_EQ(fx->paramModDestination[p], -1) << "parameter " << p;
        }
}

// Choices are re-read every 128 frames: a Block type set at frame 50 acts from frame 128. The
// one-shot Trigger is back at 0 after a frame.
TEST_F(EngineTest, TypeChangeActsAtTheNext128FrameBoundary) {
    auto fx = makeNeutral(3, [](APlugin& e) { e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f); });
    fx->setParameter(TRIGGER_PARAM, 1.0f);
    Signal out = render(*fx, constant(50, 0.5f)).left;
    EXPECT_EQ(fx->getParameter(TRIGGER_PARAM), 0.0f);
    setBlockType(*fx, 0, 4);  // Room, wet only: silent until its shortest comb has filled
    const Signal after = render(*fx, constant(150, 0.5f), 7).left;
    out.insert(out.end(), after.begin(), after.end());
    for (std::size_t i = 0; i < 128; ++i) ASSERT_NEAR(out[i], 0.5f, 1e-5f) << i;
    EXPECT_LT(peak(out, 128, 200), 1e-9);
}

// Rates and gains are re-read every 16 frames: a new Follower Boost shows at the next boundary.
TEST_F(EngineTest, GainChangeActsAtTheNext16FrameBoundary) {
    auto fx = makeNeutral(3, [](APlugin& e) { e.setParameter(FOLLOWER_SMOOTH_PARAM, 0.0f); });
    render(*fx, constant(5003, 0.5f));
    fx->setParameter(FOLLOWER_BOOST_PARAM, 1.0f);  // boost x1 -> x10
    std::vector<float> follower;
    render(*fx, constant(10, 0.5f), constant(10, 0.5f), 1,
           [&](std::size_t) { follower.push_back(fx->modSourceValues[SOURCE_FOLLOWER]); });
    for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(follower[i], 0.5f, 0.01f) << "frame " << 5003 + i;
    EXPECT_NEAR(follower[5], 5.0f, 0.1f) << "frame 5008";
}

// A controller due inside a call acts on its own frame, as when the host splits the call there:
// also amid frames that run quiet (only a slot on the Mod Wheel, here on the filter's cutoff).
TEST_F(EngineTest, AControllerInsideACallActsOnItsFrame) {
    Signal tone(1000);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * static_cast<float>(std::sin(0.7 * static_cast<double>(i)));
    const Signal before(tone.begin(), tone.begin() + 40), after(tone.begin() + 40, tone.end());
    auto run = [&](bool split, bool wheel) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlockType(e, 0, TYPE_FILTER);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            setSlot(e, 0, SOURCE_MOD_WHEEL, DESTINATION_BLOCK1_ROOM_DAMP - 1,
                    1.0f);  // the Mod Wheel drives Block 1's filter
        });
        render(*fx, constant(3003, 0.0f));  // levels settled; the call below starts off the 16-frame grid
        if (!split) {
            if (wheel) sendMidi(*fx, {{41, 0xB0, 1, 127}});  // due before frame 40
            return render(*fx, tone, tone.size()).left;
        }
        Signal out = render(*fx, before, before.size()).left;
        if (wheel) sendMidi(*fx, {{0, 0xB0, 1, 127}});
        const Signal rest = render(*fx, after, after.size()).left;
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    };
    const Signal whole = run(false, true);
    EXPECT_EQ(whole, run(true, true));
    EXPECT_NE(whole, run(false, false));
}

// A slot on the Mod Wheel reaches the 16-frame settings at the boundary after the controller,
// though no setting moved: here it scales Follower Boost from 0 back to 1.
TEST_F(EngineTest, AControllerReachesThe16FrameSettingsAtTheNextBoundary) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        e.setParameter(FOLLOWER_SMOOTH_PARAM, 0.0f);
        setSlot(e, 0, SOURCE_MOD_WHEEL, DESTINATION_FOLLOWER_BOOST, 1.0f);
    });
    render(*fx, constant(5003, 0.5f));
    EXPECT_EQ(fx->modSourceValues[SOURCE_FOLLOWER], 0.0f);
    sendMidi(*fx, {{0, 0xB0, 1, 127}});
    std::vector<float> follower;
    render(*fx, constant(10, 0.5f), constant(10, 0.5f), 1,
           [&](std::size_t) { follower.push_back(fx->modSourceValues[SOURCE_FOLLOWER]); });
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(follower[i], 0.0f) << "frame " << 5003 + i;
    EXPECT_NEAR(follower[5], 0.5f, 0.01f) << "frame 5008";
}

// The engine's noise takes its two draws in every frame, also in frames that run quiet: after
// any run of calls the noise sources and the seed are those of two draws per frame.
TEST_F(EngineTest, NoiseDrawsTwicePerFrameAlsoInQuietFrames) {
    auto fx = makeNeutral();
    render(*fx, constant(1, 0.25f));  // the first call's reset draws the Rooms' phases
    uint32_t seed = APlugin::RandSeed.load();
    float white = 0.0f, unipolar = 0.0f;
    std::size_t drawn = 0;
    render(*fx, constant(3003, 0.25f), constant(3003, 0.25f), 37, [&](std::size_t last) {
        for (; drawn <= last; ++drawn) {
            white = 2.0f * APlugin::randomUnit(seed) - 1.0f;
            unipolar = APlugin::randomUnit(seed);
        }
        ASSERT_EQ(fx->modSourceValues[SOURCE_WHITE_NOISE], white) << "frame " << last;
        ASSERT_EQ(fx->modSourceValues[SOURCE_UNIPOLAR_NOISE], unipolar) << "frame " << last;
        ASSERT_EQ(APlugin::RandSeed.load(), seed) << "frame " << last;
    });
}

// A replaying pad whose speed follows the noise reads a new draw in every frame: rendered in
// calls of 37 frames (which run quiet) it travels as in calls of one frame (which never do).
TEST_F(EngineTest, APadOnTheNoiseReadsANewDrawInEveryFrame) {
    auto travelled = [&](std::size_t blockSize) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlockType(e, 0, TYPE_FILTER);
            for (int i = 0; i < XY_PATH_POINTS; ++i) e.setXY(0, i, static_cast<float>(i) / 31.0f, 0.5f);
            e.setParameter(XY_SYNC_TAG[0], choice(11, 30.99f));
            e.setParameter(XY_SPEED_MOD_SOURCE_TAG[0], choice(SOURCE_WHITE_NOISE, 99.99f));
            e.setParameter(XY_SPEED_MOD_AMOUNT_TAG[0], 1.0f);
            e.setParameter(XY_RECORD_MODE_TAG[0], choice(APlugin::XY_REPLAY, 2.99f));
        });
        render(*fx, constant(3003, 0.25f), constant(3003, 0.25f), blockSize);
        return fx->xy[0].position;
    };
    const double quiet = travelled(37);
    EXPECT_GT(quiet, 0.0);
    EXPECT_EQ(quiet, travelled(1));
}

// A Gater Block whose replaying pad sets its steps' level gates alike in calls of 37 frames
// (which run quiet, the gater stepping on) and in calls of one frame (which never do).
TEST_F(EngineTest, AGaterUnderItsReplayingPadGatesAlikeInQuietFrames) {
    const Signal tone = sine(350.0, RATE, 6000, 0.5);
    auto gated = [&](std::size_t blockSize) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlockType(e, 0, TYPE_GATER);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            for (int i = 0; i < GATER_STEPS_PER_SIDE; i += 2) {
                e.setParameter(GATER_TAG[0][0] + i, 1.0f);
                e.setParameter(GATER_TAG[0][1] + i, 1.0f);
            }
            e.setParameter(blockParam(0, XY_ASSIGN_OFFSET), 1.0f);      // X is the left "on" level
            e.setParameter(blockParam(0, XY_ASSIGN_OFFSET + 1), 1.0f);  // and the right one
            for (int i = 0; i < XY_PATH_POINTS; ++i) e.setXY(0, i, static_cast<float>(i) / 31.0f, 0.0f);
            e.setParameter(XY_SYNC_TAG[0], choice(11, 30.99f));
            e.setParameter(XY_RECORD_MODE_TAG[0], choice(APlugin::XY_REPLAY, 2.99f));
        });
        return render(*fx, tone, tone, blockSize).left;
    };
    const Signal quiet = gated(37);
    EXPECT_GT(rms(quiet, 3000, 6000), 0.01);
    EXPECT_EQ(quiet, gated(1));
}

// Pads step on from what their last full step worked out while the sources and the modulation
// that step followed rest and no trigger moved them. Three patches publish in calls of 37 frames,
// which run steady (and quiet where they can), what they publish in calls of one frame after a
// write each, where every step is the full one, across a tempo change: free pads on every kind of
// step (ping-pong with point, time and space quantisation; a speed that follows the first pad's
// X; a free path whose speed follows the noise); the same with a slot moving the first pad's
// smoothing; pads on notes and on the follower beside a free one, whose triggers start, stop
// and restart them; and free pads in quiet runs, the second one's speed following the first one's
// X, or the first one quantised in time and space.
TEST_F(EngineTest, PadsReplayAsTheFullStepDoes) {
    enum Patch { FREE, SLOT, TRIGGERED, FOLLOWING, QUANTISED };
    int64_t quietFrames = 0;
    auto published = [&](Patch patch, bool steady) {
        auto fx = makeNeutral(3, [patch](APlugin& e) {
            for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(e, b);
            if (patch == FOLLOWING) {
                e.setParameter(XY_SPEED_MOD_SOURCE_TAG[1], choice(SOURCE_X[0], 99.99f));
                e.setParameter(XY_SPEED_MOD_AMOUNT_TAG[1], 0.9f);
                e.setParameter(XY_SMOOTH_TAG[1], 0.5f);
                return;
            }
            if (patch == QUANTISED) {
                e.setParameter(XY_TIME_QUANT_TAG[0], choice(5, 30.99f));
                e.setParameter(XY_SPACE_QUANT_TAG[0], choice(3, 4.99f));
                return;
            }
            if (patch == TRIGGERED) {
                e.setParameter(XY_PLAY_MODE_TAG[0], choice(APlugin::XY_NOTE, 9.99f));
                e.setParameter(XY_SMOOTH_TAG[0], 0.4f);
                e.setParameter(XY_PLAY_MODE_TAG[1], choice(APlugin::XY_FOLLOWER, 9.99f));
                e.setParameter(XY_LOOP_MODE_TAG[1], choice(APlugin::XY_LOOP_OFF, 2.99f));
                e.setParameter(XY_SYNC_TAG[1], choice(5, 30.99f));  // a sixteenth, then it rests
                e.setParameter(FOLLOWER_THRESHOLD_PARAM, 0.075f);
                e.setParameter(FOLLOWER_HOLD_PARAM, 0.3f);
                return;
            }
            e.setParameter(XY_LOOP_MODE_TAG[0], choice(2, 2.99f));
            e.setParameter(XY_POINT_QUANT_TAG[0], choice(2, 4.99f));
            e.setParameter(XY_TIME_QUANT_TAG[0], choice(5, 30.99f));
            e.setParameter(XY_SPACE_QUANT_TAG[0], choice(3, 4.99f));
            e.setParameter(XY_SMOOTH_TAG[0], 0.3f);
            e.setParameter(XY_SPEED_MOD_SOURCE_TAG[1], choice(SOURCE_X[0], 99.99f));
            e.setParameter(XY_SPEED_MOD_AMOUNT_TAG[1], 0.9f);
            e.setParameter(XY_SMOOTH_TAG[1], 0.5f);
            e.setParameter(XY_SYNC_TAG[2], 0.0f);
            e.setParameter(XY_LEN_MS_TAG[2], 0.3f);
            e.setParameter(XY_SPEED_MOD_SOURCE_TAG[2], choice(SOURCE_WHITE_NOISE, 99.99f));
            e.setParameter(XY_SPEED_MOD_AMOUNT_TAG[2], 0.8f);
            if (patch == SLOT) setSlot(e, 0, SOURCE_UNIPOLAR_NOISE, DESTINATION_BLOCK_XY_SMOOTH[0], 0.4f);
        });
        setTransport(false, 120.0);
        // Bursts for the follower: 400 frames loud every 9000.
        Signal in(40000, 0.0f);
        for (std::size_t i = 0; i < in.size(); ++i) in[i] = i % 9000 < 400 ? 0.8f : 0.0f;
        std::vector<double> seen;
        render(*fx, in, in, steady ? 37 : 1, [&](std::size_t last) {
            // The same value written again: the next frame reads every setting again.
            if (!steady) fx->setParameter(XY_SMOOTH_TAG[2], fx->getParameter(XY_SMOOTH_TAG[2]));
            // Between calls in both: the next frame sees them.
            const std::size_t next = last + 1;
            if (next == 37 * 270) setTransport(false, 100.0);
            if (next == 37 * 40 || next == 37 * 500) fx->noteOnFlag = 1;
            if (next == 37 * 300 || next == 37 * 700) fx->noteOffFlag = 1;
            if (next % 37 != 0) return;
            for (int b = 0; b < BLOCK_COUNT; ++b) {
                seen.push_back(fx->xy[b].position);
                seen.push_back(fx->xy[b].currentX.load());  // glided, before the quantisers
                for (int k = 0; k < 4; ++k) seen.push_back(fx->modSourceValues[SOURCE_X[b] + k]);
            }
        });
        quietFrames = fx->quietFramesTaken;
        return seen;
    };
    for (const Patch patch : {FREE, SLOT, TRIGGERED, FOLLOWING, QUANTISED}) {
        const std::vector<double> steady = published(patch, true);
        EXPECT_GT(steady[steady.size() - 6 * 2], 0.0) << "the third pad moves";
        EXPECT_GT(steady[steady.size() - 6 * 3], 0.0) << "the first pad moves";
        if (patch >= FOLLOWING) {
            EXPECT_GT(quietFrames, 20000);
        }
        EXPECT_EQ(steady, published(patch, false)) << "patch " << patch;
    }
}

// The editor thread moves, records and resets pads while the engine replays them in steady and
// quiet frames. Its real check is the ThreadSanitizer build: what the two threads share must be
// published safely.
TEST_F(EngineTest, TheEditorThreadSharesThePadsSafelyWithReplayingFrames) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(e, b);
        e.setParameter(XY_RECORD_MODE_TAG[1], choice(APlugin::XY_RECORDING, 2.99f));
    });
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int n = 0; !done.load(); ++n) {
            const float v = static_cast<float>(n % 101) / 100.0f;
            if (n % 4 == 0) fx->setXY(2, v, 1.0f - v);  // a replaying pad's live position
            fx->setXYRecord(1, v, v);
            if (n % 50 == 49) fx->endXYRecord(1);
            float hx = 0.0f, hy = 0.0f;
            fx->getXYEditor(0, hx, hy);
            ASSERT_TRUE(hx >= 0.0f && hx <= 1.0f);
            if (n % 200 == 0) fx->resetXYS();
            std::this_thread::sleep_for(std::chrono::microseconds(20));  // steady frames between
        }
    });
    render(*fx, constant(200000, 0.1f), 37);
    done = true;
    editor.join();
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (int k = 0; k < 4; ++k) EXPECT_LE(std::fabs(fx->modSourceValues[SOURCE_X[b] + k]), 1.0f) << b;
}

// Under levels the Mod Wheel moves (a Block's Volume, the output Pan) a turned Volume knob
// glides to its new value and then rests: rendered in calls of 37 frames (which run quiet once
// it rests) the output is that of calls of one frame (which never do).
TEST_F(EngineTest, LevelsOnTheModWheelGlideAndRestAlikeInQuietFrames) {
    const Signal tone = sine(350.0, RATE, 6000, 0.5);
    auto played = [&](std::size_t blockSize) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlockType(e, 0, TYPE_FILTER);
            setSlot(e, 0, SOURCE_MOD_WHEEL, destinationBase(0) + DESTINATION_VOLUME_OFFSET,
                    -0.5f);                                                 // Block 1's Volume
            setSlot(e, 1, SOURCE_MOD_WHEEL, DESTINATION_GLOBAL_PAN, 0.3f);  // the output's Pan
        });
        Stereo out = render(*fx, constant(1000, 0.0f), constant(1000, 0.0f), blockSize);
        sendMidi(*fx, {{0, 0xB0, 1, 127}});
        fx->setParameter(blockParam(0, BLOCK_VOLUME_OFFSET), 0.7f);
        out = render(*fx, tone, tone, blockSize);
        return out.left;
    };
    const Signal quiet = played(37);
    EXPECT_GT(rms(quiet, 3000, 6000), 0.01);
    EXPECT_EQ(quiet, played(1));
}

// Quiet runs go stage by stage (the Delay, each Block, the output stage over the run's frames):
// on every path, with the Delay between the Blocks or around them, Blocks Off, bypassed, one
// Room or two (apart or side by side), Combs and a Low-Fi Shaper drawing from one noise
// generator, and the follower on each of its sources, calls of 37 frames (which run quiet) give
// the output and the follower of calls of one frame (which never do).
TEST_F(EngineTest, QuietRunsTakenStageByStageRenderAsSingleFrames) {
    const Signal left = sine(350.0, RATE, 5000, 0.5), right = sine(520.0, RATE, 5000, 0.4);
    const int blocks[][3] = {{TYPE_OFF, TYPE_OFF, TYPE_OFF},
                             {TYPE_FILTER, TYPE_OFF, TYPE_ROOM},
                             {TYPE_ROOM, TYPE_COMB, TYPE_ROOM},
                             {TYPE_COMB, TYPE_SHAPER, TYPE_COMB},
                             {TYPE_ROOM, TYPE_ROOM, TYPE_FILTER}};
    for (int path = 0; path < 6; ++path) {
        for (int t = 0; t < 5; ++t) {
            const int(&types)[3] = blocks[t];
            auto played = [&](std::size_t blockSize) {
                auto fx = makeNeutral(path, [&](APlugin& e) {
                    setBlocks(e, path, types);
                    for (int b = 0; b < BLOCK_COUNT; ++b) {
                        e.setParameter(COMB_RANDOM_TAG[b], 0.3f * static_cast<float>(path % 3));
                        e.setParameter(SHAPER_MODE_TAG[b], choice(path < 3 ? SHAPER_MODE_LOWFI : 0, 9.0f));
                    }
                    setFeedbackDelay(e);
                    e.setParameter(FOLLOWER_SOURCE_PARAM, choice((3 * path + t) % 5, 4.9f));
                    if (path % 4 == 1) e.setParameter(BLOCK_BYPASS_TAG[2], 1.0f);
                });
                Stereo out = render(*fx, left, right, blockSize);
                out.left.push_back(fx->modSourceValues[SOURCE_FOLLOWER]);
                return out;
            };
            const Stereo quiet = played(37), single = played(1);
            ASSERT_GT(rms(quiet.left, 4000, 5000), 0.01) << path;
            ASSERT_EQ(quiet.left, single.left) << "path " << path << ", Block 1 type " << types[0];
            ASSERT_EQ(quiet.right, single.right) << "path " << path << ", Block 1 type " << types[0];
        }
    }
}

// A control frame that starts a quiet run takes its signal as the run's first frame. A note on
// every 32nd frame moves each Block's Spread through a Velocity slot, and the frame stays quiet:
// in calls of 32 frames (each note on a control frame) the modules take it there as in calls of one.
TEST_F(EngineTest, ControlFramesLeadingQuietRunsTakeTheirModulation) {
    const Signal left = sine(350.0, RATE, 4096, 0.5), right = sine(520.0, RATE, 4096, 0.4);
    // The last two Rooms take the run together.
    const int blocks[][3] = {{TYPE_FILTER, TYPE_COMB, TYPE_ROOM},
                             {TYPE_SHAPER, TYPE_FILTER, TYPE_COMB},
                             {TYPE_ROOM, TYPE_ROOM, TYPE_COMB}};
    for (int t = 0; t < 3; ++t) {
        const int path = t == 0 ? 2 : 4;
        auto played = [&](std::size_t blockSize) {
            auto fx = makeNeutral(path, [&](APlugin& e) {
                setBlocks(e, path, blocks[t]);
                for (int b = 0; b < BLOCK_COUNT; ++b)
                    setSlot(e, b, SOURCE_VELOCITY, destinationBase(b) + DESTINATION_SPREAD_OFFSET, 0.8f);
            });
            APlugin& e = *fx;
            return render(e, left, right, blockSize, [&e](std::size_t last) {
                if ((last + 1) % 32 == 0) sendMidi(e, {{0, 0x90, 60, static_cast<uint8_t>(last % 127)}});
            });
        };
        const Stereo quiet = played(32), single = played(1);
        ASSERT_GT(rms(quiet.left, 2000, 4096), 0.01) << t;
        EXPECT_EQ(quiet.left, single.left) << t;
        EXPECT_EQ(quiet.right, single.right) << t;
    }
}

// Grain Blocks keep their interval and speed through quiet frames but for a grain that starts:
// with sizes jittered by Random, Unlink off (an interval of a few frames that follows the jitter)
// and on, shaped and not, calls of 37 frames (which run quiet) play as calls of one frame (which
// never do).
TEST_F(EngineTest, GrainBlocksInQuietFramesPlayAsSingleFrames) {
    const Signal left = sine(350.0, RATE, 9000, 0.5), right = sine(520.0, RATE, 9000, 0.4);
    auto played = [&](std::size_t blockSize) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlocks(e, 3, {TYPE_GRAIN, TYPE_GRAIN, TYPE_OFF});
            for (int b = 0; b < 2; ++b) {
                e.setParameter(blockParam(b, BLOCK_MIX_OFFSET), 1.0f);
                e.setParameter(GRAIN_WRITE_SIZE_TAG[b], b == 0 ? 0.1f : 0.6f);  // 1.7 ms and 28 ms
                e.setParameter(GRAIN_READ_SIZE_TAG[b], 0.55f);
                e.setParameter(GRAIN_UPDATE_RATE_TAG[b], b == 0 ? 0.0f : 0.3f);
                e.setParameter(GRAIN_RANDOM_TAG[b], 1.0f);
                e.setParameter(GRAIN_SEMI_TAG[b], 0.7f);
                e.setParameter(GRAIN_UNLINK_TAG[b], static_cast<float>(b));
            }
            e.setParameter(GRAIN_SHAPE_TAG[1], 0.8f);
        });
        return render(*fx, left, right, blockSize);
    };
    const Stereo quiet = played(37), single = played(1);
    ASSERT_GT(rms(quiet.left, 4000, 9000), 0.01);
    EXPECT_EQ(quiet.left, single.left);
    EXPECT_EQ(quiet.right, single.right);
}

// A synced quarter-bar delay: its echo arrives a quarter bar at the host's tempo later, or at
// 120 bpm while the host gives no tempo.
TEST_F(EngineTest, SyncedDelayFollowsTheHostTempo) {
    auto echoAt = [&](double bpm, bool tempoValid) {
        setTransport(false, bpm, tempoValid);
        auto fx = makeNeutral(3, [](APlugin& e) {
            setPlainDelay(e, (10.0f + 0.5f) / 14.99f);  // synced row 10: 1/4 bar
            e.setParameter(DELAY_TEMPO_SYNC_PARAM, 1.0f);
        });
        // The impulse comes after the first tempo check has reached the Delay.
        const Signal out = render(*fx, impulse(40000, 100, 0.5f), 4096).left;
        return static_cast<double>(firstAbove(out, 0.01)) - 100.0;
    };
    EXPECT_NEAR(echoAt(90.0, true), 44100.0 * 60.0 / 90.0, 10.0);
    EXPECT_NEAR(echoAt(90.0, false), 44100.0 * 60.0 / 120.0, 10.0);
    EXPECT_NEAR(echoAt(5000.0, true), 44100.0 * 60.0 / 1200.0, 10.0);  // held at 1200 bpm
}

// Playback start clears the Delay's repeats and the follower at the next 16-frame check; while
// playback runs on nothing restarts again.
TEST_F(EngineTest, PlaybackStartRestartsTheDelayAndTheFollower) {
    setTransport(false, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) {
        setPlainDelay(e, 0.25f);
        e.setParameter(DELAY_FEEDBACK_PARAM, 0.95f);
    });
    const Signal before = render(*fx, impulse(3000, 0, 0.5f)).left;
    EXPECT_GT(peak(before, 2000, 3000), 0.05);
    EXPECT_GT(fx->modSourceValues[SOURCE_FOLLOWER], 0.0f);

    setTransport(true, 120.0);
    float followerAtRestart = -1.0f;
    const Signal after =
        render(*fx, impulse(2000, 100, 0.5f), impulse(2000, 100, 0.5f), 16, [&](std::size_t i) {
            if (i == 15) followerAtRestart = fx->modSourceValues[SOURCE_FOLLOWER];
        }).left;
    EXPECT_EQ(followerAtRestart, 0.0f);
    EXPECT_LT(peak(after, 16, 400), 1e-9);  // repeats gone; the new impulse not yet back
    EXPECT_NEAR(static_cast<double>(firstAbove(after, 0.01)), 100.0 + 352.8, 3.0);
}

// The restart forgets the Delay's loop filter; it must be set again at once, not at the next
// 16-frame check: a tone that starts with playback comes back through the filter from its first
// frame, with no unfiltered frames stepping down into it at the echo's onset.
TEST_F(EngineTest, PlaybackStartKeepsTheDelaysLoopFilter) {
    setTransport(true, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) {
        setPlainDelay(e, 0.25f);
        e.setParameter(DELAY_LP_PARAM, 0.3f);  // about 50 Hz: a 220 Hz tone returns 13 dB down
    });
    const Signal out = render(*fx, sine(220.0, 44100.0, 4000, 0.5)).left;
    const auto at = static_cast<std::size_t>(DELAY_FRAMES);
    auto largestStep = [&](std::size_t from, std::size_t to) {
        double step = 0.0;
        for (std::size_t i = from; i < to; ++i)
            step = std::max(step, std::fabs(static_cast<double>(out[i + 1]) - static_cast<double>(out[i])));
        return step;
    };
    const double steady = largestStep(at + 2000, at + 3000);
    EXPECT_GT(steady, 1e-3);
    EXPECT_LT(largestStep(at - 20, at + 200), 1.5 * steady);
}

// A Gater Block whose steps alternate on and off: each step lasts a sixteenth note at the host's
// tempo, so the gate opens every eighth note.
TEST_F(EngineTest, GaterStepsLandOnSixteenthNotesAtTheHostTempo) {
    for (double bpm : {100.0, 150.0}) {
        SCOPED_TRACE(bpm);
        setTransport(true, bpm);
        auto fx = makeNeutral(3, [](APlugin& e) {
            setBlockType(e, 0, 5);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            for (int i = 1; i < 16; i += 2) {
                e.setParameter(GATER_TAG[0][0] + i, 0.0f);
                e.setParameter(GATER_TAG[0][1] + i, 0.0f);
            }
        });
        const Signal out = render(*fx, constant(60000, 0.5f), 4096).left;
        std::vector<double> opens;
        for (std::size_t i = 1; i < out.size(); ++i)
            if (out[i - 1] < 0.25f && out[i] >= 0.25f) opens.push_back(static_cast<double>(i));
        const double sixteenth = 44100.0 * 60.0 / bpm / 4.0;
        ASSERT_GE(opens.size(), 4u);
        EXPECT_NEAR(opens[0], 23.0, 2.0);  // half way up the 1 ms ramp of Gater Smooth 0
        // Later ramps start a frame after their step (the first starts with the sequence).
        for (std::size_t k = 2; k < opens.size(); ++k)
            EXPECT_NEAR(opens[k] - opens[k - 1], 2.0 * sixteenth, 2.0);

        // Steps switched while it runs act from the next step on: all off, the gate stays shut.
        for (int i = 0; i < 16; ++i) {
            fx->setParameter(GATER_TAG[0][0] + i, 0.0f);
            fx->setParameter(GATER_TAG[0][1] + i, 0.0f);
        }
        EXPECT_LT(peak(render(*fx, constant(20000, 0.5f), 4096).left, 5000, 20000), 0.01);
    }
}

// A free-running replay of a rising path: playback start sends it back to its first point, with
// its gater.
TEST_F(EngineTest, PlaybackStartRestartsFreeXYPaths) {
    setTransport(false, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) { setRampReplay(e, 17); });  // one bar: 88200 frames
    const double step = 31.9999 / 88201.0;                               // points per frame
    render(*fx, constant(44100, 0.0f));
    EXPECT_NEAR(fx->modSourceValues[SOURCE_X[0]], 44100.0 * step / 31.0, 1e-4);
    setTransport(true, 120.0);
    render(*fx, constant(20, 0.0f), 1);  // the check at frame 44112 restarts; 8 frames since
    EXPECT_NEAR(fx->modSourceValues[SOURCE_X[0]], 8.0 * step / 31.0, 1e-6);
    EXPECT_TRUE(fx->stepSequencer[0].getOn())
        << "the restart stops the gater; the path's next frame starts it";
}

// A loop mode changed on its own mid-replay replays the new way from then on: Loop On turned
// ping-pong walks the ramp up and back down, with no jump back to its start.
TEST_F(EngineTest, ALoopModeChangedMidReplayActs) {
    setTransport(false, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) { setRampReplay(e, 11); });  // a quarter bar: 22050 frames a way
    render(*fx, constant(5000, 0.0f));
    fx->setParameter(XY_LOOP_MODE_TAG[0], choice(2, 2.99f));  // ping-pong
    std::vector<float> x;
    render(*fx, constant(44000, 0.0f), constant(44000, 0.0f), 64,
           [&](std::size_t) { x.push_back(fx->modSourceValues[SOURCE_X[0]]); });
    float biggestStep = 0.0f;
    for (std::size_t i = 1; i < x.size(); ++i)
        biggestStep = std::max(biggestStep, std::fabs(x[i] - x[i - 1]));
    EXPECT_LT(biggestStep, 0.01f);  // 64 frames move X by 0.003
    EXPECT_GT(*std::max_element(x.begin(), x.end()), 0.99f);
    EXPECT_LT(x.back(), 0.02f);  // back down at the start
}

// A slot from Velocity onto Delay Speed retimes the Delay from the very frame the note lands on,
// though no setting moved: a note one frame later brings an echo already on its way one frame
// sooner. Settled, velocity 127 at amount 1/3 doubles the delay time.
TEST_F(EngineTest, ASlotOnDelaySpeedRetimesTheEchoFrameByFrame) {
    auto echo = [&](int noteAt, std::size_t impulseAt) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setPlainDelay(e, 0.25f);
            setSlot(e, 0, SOURCE_VELOCITY, DESTINATION_DELAY_SPEED, 1.0f / 3.0f);
        });
        render(*fx, constant(1001, 0.0f));
        sendMidi(*fx, {{noteAt, 0x90, 60, 127}});
        const Signal out = render(*fx, impulse(20000, impulseAt, 0.5f)).left;
        return static_cast<double>(firstAbove(out, 0.01, impulseAt)) - static_cast<double>(impulseAt);
    };
    const double first = echo(3, 0);  // measured 705 frames
    for (int at = 4; at <= 7; ++at) EXPECT_EQ(echo(at, 0), first - (at - 3)) << "note at frame " << at;
    EXPECT_NEAR(echo(0, 10000), 2.0 * DELAY_FRAMES, 3.0);
}

// Follower Hold at "100ms": a pad in Follower mode restarts when the follower comes back above
// the threshold after more than 4,410 frames below it, not sooner.
TEST_F(EngineTest, FollowerHoldCountsItsMillisecondsInFrames) {
    // The frames the follower spent below the threshold in a dip of the input, and whether the
    // rise after it restarted the path.
    auto dip = [&](std::size_t silence) {
        auto fx = makeNeutral(3, [](APlugin& e) {
            setRampReplay(e, 17);
            e.setParameter(XY_PLAY_MODE_TAG[0], choice(APlugin::XY_FOLLOWER, 9.99f));
            e.setParameter(FOLLOWER_SMOOTH_PARAM, 0.0f);
            e.setParameter(FOLLOWER_THRESHOLD_PARAM, 0.5f);  // -20 dB: 0.1
            // The knob position that reads "100ms": 2^(14 v) ms.
            e.setParameter(FOLLOWER_HOLD_PARAM, std::nextafter(std::log2(100.0f) / 14.0f, 1.0f));
        });
        EXPECT_EQ(fx->valueText(FOLLOWER_HOLD_PARAM), "100ms");
        Signal in = constant(2000 + silence + 1000, 0.5f);
        std::fill(in.begin() + 2000, in.begin() + 2000 + static_cast<std::ptrdiff_t>(silence), 0.0f);
        int below = 0;
        double lastPosition = 0.0;
        bool restarted = false;
        render(*fx, in, in, 1, [&](std::size_t i) {
            if (i >= 2000 && fx->modSourceValues[SOURCE_FOLLOWER] <= 0.1f) ++below;
            if (i >= 2000 && fx->xy[0].position < lastPosition) restarted = true;
            lastPosition = fx->xy[0].position;
        });
        return std::pair{below, restarted};
    };
    const auto [shortBelow, shortRestarts] = dip(4745);
    const auto [longBelow, longRestarts] = dip(4785);
    ASSERT_LE(shortBelow, 4410);
    ASSERT_GT(longBelow, 4410);
    EXPECT_FALSE(shortRestarts);
    EXPECT_TRUE(longRestarts);
}

// Grain Semi plays the semitone its text shows, at both ends of every step's span of the knob
// (swept in steps of 0.0001): with long grains, the strongest of the 25 pitches a 441 Hz tone can
// be shifted to is the one the text names.
TEST_F(EngineTest, GrainSemiPlaysWhatItsTextSays) {
    std::map<int, std::pair<float, float>> span;  // semitones shown -> first and last knob value
    auto knob = make();
    for (int i = 0; i <= 10000; ++i) {
        const float v = static_cast<float>(i) / 10000.0f;
        knob->setParameter(GRAIN_SEMI_TAG[0], v);
        const int shown = std::stoi(knob->valueText(GRAIN_SEMI_TAG[0]));
        if (!span.count(shown)) span[shown].first = v;
        span[shown].second = v;
    }
    ASSERT_EQ(span.size(), 25u);
    auto played = [&](float v) {
        auto fx = makeNeutral(3, [&](APlugin& e) {
            setBlockType(e, 0, TYPE_GRAIN);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            e.setParameter(GRAIN_RANDOM_TAG[0], 0.0f);
            e.setParameter(GRAIN_FINE_TAG[0], 0.5f);
            e.setParameter(GRAIN_SEMI_TAG[0], v);
            e.setParameter(GRAIN_WRITE_SIZE_TAG[0], 1.0f);
            e.setParameter(GRAIN_READ_SIZE_TAG[0], 1.0f);
        });
        const Signal out = render(*fx, sine(441.0, RATE, 22050, 0.5)).left;
        int strongest = 0;
        double most = 0.0;
        for (int k = -12; k <= 12; ++k) {
            const double a = toneAmplitude(out, 4410, 22050, 441.0 * std::exp2(k / 12.0), RATE);
            if (a > most) {
                most = a;
                strongest = k;
            }
        }
        return strongest;
    };
    for (const auto& [shown, values] : span) {
        EXPECT_EQ(played(values.first), shown) << "at " << values.first;
        EXPECT_EQ(played(values.second), shown) << "at " << values.second;
    }
}

// Only the destinations a slot wrote go back to their base each frame: a slot that moves on, or
// falls silent, must leave its old destination at the base, not at its last value.
TEST_F(EngineTest, AMovedSlotLeavesItsOldDestinationAtItsBase) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        setSlot(e, 0, SOURCE_OFFSET, DESTINATION_GLOBAL_PAN, 0.5f);
        setSlot(e, 1, SOURCE_OFFSET, DESTINATION_DELAY_SPEED, 1.0f);
    });
    Stereo out = render(*fx, constant(4, 0.5f));
    EXPECT_EQ(fx->modValues[DESTINATION_GLOBAL_PAN], 0.5f);
    EXPECT_EQ(fx->modValues[DESTINATION_DELAY_SPEED], 8.0f);
    EXPECT_EQ(out.left[3], 0.0f);  // Global Pan fully right

    setSlot(*fx, 0, SOURCE_OFFSET, DESTINATION_FOLLOWER_SMOOTH, 0.5f);
    fx->setParameter(MOD_SOURCE_TAG[1], choice(SOURCE_NONE, 99.99f));
    out = render(*fx, constant(2, 0.5f));
    EXPECT_EQ(fx->modValues[DESTINATION_GLOBAL_PAN], 0.0f);
    EXPECT_EQ(fx->modValues[DESTINATION_DELAY_SPEED], 1.0f);
    EXPECT_EQ(fx->modValues[DESTINATION_FOLLOWER_SMOOTH], 0.5f);
    EXPECT_NEAR(out.left[1], 0.5f, 1e-6f);  // the output is centred again
}

// A synced replay walks its path once per synced length plus one frame; the rate is kept between
// frames, and a new host tempo, sample rate or sync row retimes it.
TEST_F(EngineTest, SyncedReplayFollowsTempoRateAndSyncChanges) {
    setTransport(true, 120.0);
    auto fx = makeNeutral(3, [](APlugin& e) {
        setXYReplay(e, 0);
        e.setParameter(XY_SYNC_TAG[0], choice(10, 30.99f));  // "1/4T": a sixth of a bar
    });
    auto expectRate = [&](double bars, double bpm, double rate) {
        EXPECT_NEAR(fx->xy[0].rate * (bars * 240.0 * rate / bpm + 1.0) / APlugin::XY_SPAN, 1.0, 1e-6)
            << bars << " bar at " << bpm << " bpm, " << rate << " Hz";
    };
    render(*fx, constant(64, 0.0f));
    expectRate(1.0 / 6.0, 120.0, 44100.0);
    setTransport(true, 174.0);
    render(*fx, constant(32, 0.0f));  // the host tempo is read every 16 frames
    expectRate(1.0 / 6.0, 174.0, 44100.0);
    fx->setSampleRate(192000.0f);
    render(*fx, constant(1, 0.0f));
    expectRate(1.0 / 6.0, 174.0, 192000.0);
    fx->setParameter(XY_SYNC_TAG[0], choice(3, 30.99f));  // "1/32*"
    render(*fx, constant(128, 0.0f));
    expectRate(3.0 / 64.0, 174.0, 192000.0);
}

// Gains 2, 0.5, 2 with Block 1 panned hard left, which only a parallel path hears; a bypassed
// Block 2 passes its input along a chain and adds nothing in parallel.
TEST_F(EngineTest, SerialPathsMultiplyBlockGainsParallelPathsAddThem) {
    for (int path = 0; path < 6; ++path)
        for (bool bypassSecond : {false, true}) {
            SCOPED_TRACE(testing::Message() << "path " << path << (bypassSecond ? ", Block 2 bypassed" : ""));
            const auto [l, r] = settledOutput(path, [&](APlugin& fx) {
                fx.setParameter(blockParam(0, BLOCK_VOLUME_OFFSET), volumeFor(2.0f));
                fx.setParameter(blockParam(1, BLOCK_VOLUME_OFFSET), volumeFor(0.5f));
                fx.setParameter(blockParam(2, BLOCK_VOLUME_OFFSET), volumeFor(2.0f));
                fx.setParameter(blockParam(0, BLOCK_PAN_OFFSET), 0.0f);
                fx.setParameter(BLOCK_BYPASS_TAG[1], bypassSecond ? 1.0f : 0.0f);
            });
            const float serial = bypassSecond ? 0.4f : 0.2f;
            EXPECT_NEAR(l, path <= 3 ? serial : bypassSecond ? 0.4f : 0.45f, 1e-4f);
            EXPECT_NEAR(r, path <= 3 ? serial : bypassSecond ? 0.2f : 0.25f, 1e-4f);
        }
}

// An impulse through a wet-only Delay: the Block level sources show which Blocks hear it delayed;
// with Bypass on the output is the path input, delayed only where the Delay comes first.
TEST_F(EngineTest, TheDelaySitsWhereEachPathPutsIt) {
    constexpr std::size_t N = 1000;
    constexpr double D = DELAY_FRAMES;
    // Per path: the dry pair, then Blocks 1..3, delayed or not.
    const std::array<std::array<bool, 4>, 6> delayed = {{{true, true, true, true},
                                                         {false, true, true, true},
                                                         {false, false, true, true},
                                                         {false, false, false, true},
                                                         {true, true, true, true},
                                                         {false, false, false, false}}};
    auto arrival = [](const Signal& s) { return static_cast<double>(firstAbove(s, 0.01)); };
    auto check = [&](int path, bool bypassFirst) {
        SCOPED_TRACE(testing::Message() << "path " << path << (bypassFirst ? ", Block 1 bypassed" : ""));
        auto setup = [&](APlugin& e) {
            setPlainDelay(e, 0.25f);
            if (bypassFirst) e.setParameter(BLOCK_BYPASS_TAG[0], 1.0f);
        };
        auto fx = makeNeutral(path, setup);
        std::array<Signal, 3> level;
        for (Signal& s : level) s.resize(N);
        const Stereo out = render(*fx, impulse(N, 0, 0.5f), impulse(N, 0, 0.5f), 1, [&](std::size_t i) {
            for (int b = 0; b < 3; ++b) level[b][i] = fx->modSourceValues[SOURCE_BLOCK_OUT[b]];
        });
        EXPECT_NEAR(arrival(out.left), D, 3.0);
        EXPECT_NEAR(arrival(out.right), D, 3.0);
        for (int b = 0; b < 3; ++b)
            EXPECT_NEAR(arrival(level[b]), delayed[path][b + 1] ? D : 0.0, 3.0) << "Block " << b + 1;

        auto bypassed = makeNeutral(path, [&](APlugin& e) {
            setup(e);
            e.setParameter(BYPASS_PARAM, 1.0f);
        });
        EXPECT_NEAR(arrival(render(*bypassed, impulse(N, 0, 0.5f)).left), delayed[path][0] ? D : 0.0, 3.0)
            << "dry pair";
    };
    for (int path = 0; path < 6; ++path) check(path, false);
    check(1, true);  // the Delay still follows a bypassed Block 1
}

TEST_F(EngineTest, GlobalBypassPassesThePathInputUnpannedAndClamped) {
    constexpr double D = DELAY_FRAMES;
    auto fx = makeNeutral(0, [](APlugin& e) {
        setPlainDelay(e, 0.25f);
        e.setParameter(blockParam(2, BLOCK_VOLUME_OFFSET), volumeFor(0.25f));
        e.setParameter(blockParam(2, BLOCK_PAN_OFFSET), 0.0f);
        e.setParameter(BYPASS_PARAM, 1.0f);
    });
    const Stereo out = render(*fx, impulse(1000, 0, 3.0f));
    // Path 0 puts the Delay before the Blocks, so the bypassed output is the delayed input.
    const std::size_t arrival = peakIndex(out.right, 0, 1000);
    EXPECT_NEAR(static_cast<double>(arrival), D, 3.0);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(out.right, 0, 1000)), 0.999f);
    EXPECT_FLOAT_EQ(static_cast<float>(peak(out.left, 0, 1000)), 0.999f);
}

// The pad's X, routed by "X > 2" onto a low-pass Filter Block's cutoff, opens the filter as far
// as the Freq knob does.
TEST_F(EngineTest, XYPadMovesItsBlocksTargets) {
    auto level = [&](float x, float freq) {
        auto fx = makeNeutral(3, [&](APlugin& e) {
            setBlockType(e, 0, 1);
            e.setParameter(FILTER_MODE_TAG[0], choice(7, 40.0f));  // "LP2 12dB"
            e.setParameter(blockParam(0, FILTER_FREQ_OFFSET), freq);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            e.setParameter(blockParam(0, XY_ASSIGN_OFFSET + 1), 1.0f);  // X > 2 at +1
        });
        fx->setXY(0, x, 0.5f);  // the live pad position
        const Signal out = render(*fx, sine(5000.0, RATE, 8000, 0.5)).left;
        return rms(out, 4000, 8000);
    };
    const double open = level(0.0f, 1.0f);
    EXPECT_GT(open, 0.2);
    EXPECT_LT(level(0.0f, 0.2f), 0.001);  // 80 Hz
    EXPECT_NEAR(level(1.0f, 0.2f), open, 1e-6);
}

// Room Mod sways the comb lengths whether the room's other settings rest or a slot moves Room
// Damp every frame: a slot that moves the damping by a hair leaves the swaying tail as it was.
TEST_F(EngineTest, RoomModActsWhileASlotMovesRoomDamp) {
    const Signal in = noise(20000, 0.5);
    auto wet = [&](float mod, float dampSlot) {
        auto fx = makeNeutral(3, [&](APlugin& e) {
            setBlockType(e, 0, TYPE_ROOM);
            e.setParameter(blockParam(0, BLOCK_MIX_OFFSET), 1.0f);
            e.setParameter(blockParam(0, ROOM_MOD_OFFSET), mod);
            setSlot(e, 0, SOURCE_WHITE_NOISE, DESTINATION_BLOCK1_ROOM_DAMP, dampSlot);
        });
        return render(*fx, in).left;
    };
    auto rmsDifference = [](const Signal& a, const Signal& b) {
        Signal d(a.size());
        for (std::size_t i = 0; i < a.size(); ++i) d[i] = a[i] - b[i];
        return rms(d, 10000, 20000);
    };
    const Signal swayed = wet(1.0f, 0.0f);
    const double level = rms(swayed, 10000, 20000);
    EXPECT_GT(rmsDifference(swayed, wet(0.0f, 0.0f)), 0.5 * level);    // measured 1.31
    EXPECT_LT(rmsDifference(swayed, wet(1.0f, 0.01f)), 0.05 * level);  // 0.007; 1.41 with the sway lost
}

// Full-scale noise, then silence, into a chain at +10 dB per Block: a comb at full feedback, the
// Delay's feedback and cross feedback at their limits, and half the path input added dry.
TEST_F(EngineTest, OutputStaysFiniteAndBoundedAtEverySampleRate) {
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        auto fx = makeNeutral(
            3,
            [](APlugin& e) {
                setBusyPatch(e, 1, {TYPE_COMB, TYPE_SHAPER, TYPE_ROOM});
                for (int b = 0; b < 3; ++b) e.setParameter(blockParam(b, BLOCK_VOLUME_OFFSET), 1.0f);
                e.setParameter(blockParam(0, COMB_FEED_OFFSET), 1.0f);
                e.setParameter(blockParam(0, COMB_DAMP_OFFSET), 0.0f);
                e.setParameter(DELAY_FEEDBACK_PARAM, 1.0f);
                e.setParameter(DELAY_CROSS_FEEDBACK_PARAM, 1.0f);
                e.setParameter(DELAY_LP_PARAM, 1.0f);
                e.setParameter(DELAY_HP_PARAM, 0.0f);
                setSlot(e, 2, SOURCE_OFFSET, DESTINATION_GLOBAL_DRY, 0.5f);
            },
            7, rate);
        const auto n = static_cast<std::size_t>(rate);
        Signal in = noise(n, 1.0);
        in.resize(n + n / 2, 0.0f);
        const Stereo out = render(*fx, in, in, 512);
        EXPECT_TRUE(finiteAndBounded(out.left));
        EXPECT_TRUE(finiteAndBounded(out.right));
        EXPECT_GT(rms(out.left, n, n + n / 2), 0.01);  // the feedback still rings in the silence
    }
}

// The loops' denormal guards leave a constant residue far under any converter's resolution; once
// a tail has died away the output is exact silence, so a host can detect where it ends.
TEST_F(EngineTest, SilenceAfterTheTailIsExactZero) {
    auto fx = makeNeutral(3, [](APlugin& e) {
        setBlockType(e, 0, TYPE_FILTER);
        e.setParameter(FILTER_MODE_TAG[0], choice(1, 40.0f));  // LP 6dB
        e.setParameter(blockParam(0, FILTER_FREQ_OFFSET), 0.5f);
        setBlockType(e, 1, TYPE_COMB);
        e.setParameter(blockParam(1, COMB_FEED_OFFSET), 0.7f);
        setBlockType(e, 2, TYPE_ROOM);
        e.setParameter(blockParam(2, ROOM_LENGTH_OFFSET), 0.0f);
        setPlainDelay(e, 0.3f);
        e.setParameter(DELAY_FEEDBACK_PARAM, 0.7f);
        e.setParameter(DELAY_MIX_PARAM, 0.5f);
    });
    const auto n = static_cast<std::size_t>(RATE);
    Signal in = noise(n / 4, 0.5);
    in.resize(3 * n, 0.0f);
    const Stereo out = render(*fx, in, in, 512);
    EXPECT_GT(rms(out.left, n / 4, n / 4 + 2000), 0.001);  // the tail rings on after the input
    EXPECT_EQ(peak(out.left, 2 * n, 3 * n), 0.0);
    EXPECT_EQ(peak(out.right, 2 * n, 3 * n), 0.0);
}

// One bad host buffer must not poison the recursive states: the output is what the same input
// with silence in place of the burst gives.
TEST_F(EngineTest, NonFiniteInputActsAsSilence) {
    constexpr std::size_t N = 30000;
    const Signal clean = noise(N, 0.5);
    Signal broken = clean;
    const float bad[3] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()};
    Signal silenced = clean;
    for (std::size_t i = 5000; i < 5064; ++i) {
        broken[i] = bad[i % 3];
        silenced[i] = 0.0f;
    }
    auto renderWith = [&](const Signal& in) {
        auto fx = makeNeutral(
            3,
            [](APlugin& e) {
                setBusyPatch(e, 0, {TYPE_FILTER, TYPE_COMB, TYPE_GRAIN});
            },
            5);
        return render(*fx, in, in, 256);
    };
    const Stereo expected = renderWith(silenced);
    const Stereo out = renderWith(broken);
    EXPECT_TRUE(finiteAndBounded(out.left));
    for (std::size_t i = 0; i < N; ++i) ASSERT_EQ(out.left[i], expected.left[i]) << i;
    EXPECT_GT(rms(out.left, N - 5000, N), 0.01);
}

// A host that hands no buffer for a channel gets what a silent channel gives.
TEST_F(EngineTest, AMissingInputChannelActsAsSilence) {
    const Signal in = noise(3000, 0.5), silence(3000, 0.0f);
    auto fx = makeNeutral(4, [](APlugin& e) { setBusyPatch(e, 4, {TYPE_FILTER, TYPE_ROOM, TYPE_COMB}); });
    const Stereo expected = render(*fx, in, silence, 1000);
    fx = makeNeutral(4, [](APlugin& e) { setBusyPatch(e, 4, {TYPE_FILTER, TYPE_ROOM, TYPE_COMB}); });
    Stereo out{Signal(3000), Signal(3000)};
    for (std::size_t pos = 0; pos < 3000; pos += 1000) {
        float* ins[2] = {const_cast<float*>(in.data()) + pos, nullptr};
        float* outs[2] = {out.left.data() + pos, out.right.data() + pos};
        fx->processReplacing(ins, outs, 1000);
    }
    EXPECT_EQ(out.left, expected.left);
    EXPECT_EQ(out.right, expected.right);
    EXPECT_GT(rms(out.right, 2000, 3000), 0.01);
}

// Every Block type in every path, with automation, tempo changes, transport starts and MIDI
// (notes, pressure, a controller bound with pick-up on) between the host's calls: no allocation
// and no file access.
TEST_F(EngineTest, RenderingAllocatesNothing) {
    host.requests.reserve(100000);  // the recording host logs every request it gets
    const Signal in = noise(512, 0.8);
    saveStringToPrefs("Capture", "Y");
    setMidiCC(20, FILTER_FREQ_TAG[1]);
    MidiEventList midi({{3, 0x90, 60, 100},
                        {100, 0xB0, 20, 64},
                        {200, 0xD0, 40, 0},
                        {300, 0x80, 60, 0},
                        {400, 0xB0, 20, 66},
                        {700, 0xA0, 60, 9}});
    for (int type = 0; type < 7; ++type) {
        for (int path = 0; path < 6; ++path) {
            SCOPED_TRACE(testing::Message() << "type " << type << ", path " << path);
            auto fx = makeNeutral(path, [&](APlugin& e) { setBusyPatch(e, path, {type, type, type}); });
            std::size_t allocations = 0;
            long ioCalls = 0;
            for (int call = 0; call < 24; ++call) {
                setTransport(call % 8 >= 4, 90.0 + 5.0 * call);
                Signal buffer = in;  // processed in place, as hosts may
                float* io[2] = {buffer.data(), buffer.data()};
                AllocationCounter counter;
                FileIoCounter files;
                fx->setParameter(blockParam(call % 3, BLOCK_VOLUME_OFFSET),
                                 0.5f + 0.01f * static_cast<float>(call));
                fx->setParameter(GRAIN_WRITE_SIZE_TAG[call % 3], 0.3f + 0.02f * static_cast<float>(call));
                fx->setParameter(BLOCK_TYPE_TAG[call % 3], choice(call % 2 ? type : TYPE_GRAIN, 6.99f));
                fx->setParameter(TRIGGER_PARAM, 1.0f);
                if (call % 6 == 5) fx->resetEverything();  // carried out inside the next block
                fx->processEvents(midi.get());
                fx->processReplacing(io, io, 512);
                allocations += counter.count();
                ioCalls += files.count();
            }
            EXPECT_EQ(allocations, 0u);
            EXPECT_EQ(ioCalls, 0);
        }
    }
}
