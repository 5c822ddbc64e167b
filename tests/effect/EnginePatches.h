#pragma once

// Patches the engine tests and benchmarks share, set straight through setParameter (no test
// framework needed, so the benchmarks use them too).

#include "effect/APlugin.h"

namespace tarnwell::test::patch {

// The encoded value of option k of a choice read with this scale.
inline float choice(int k, float scale) {
    return (static_cast<float>(k) + 0.1f) / scale;
}

inline void setBlockType(APlugin& fx, int block, int type) {
    fx.setParameter(BLOCK_TYPE_TAG[block], choice(type, 6.99f));
}

// Slot n: source to destination with amount in -1..1.
inline void setSlot(APlugin& fx, int n, int source, int destination, float amount) {
    fx.setParameter(MOD_SOURCE_TAG[n], choice(source, 99.99f));
    fx.setParameter(MOD_DESTINATION_TAG[n], choice(destination, 99.9f));
    fx.setParameter(MOD_AMOUNT_TAG[n], (amount + 1.0f) * 0.5f);
}

// The Delay on with feedback, cross feedback and its loop filter.
inline void setFeedbackDelay(APlugin& fx) {
    fx.setParameter(DELAY_ON_PARAM, 1.0f);
    fx.setParameter(DELAY_EQUAL_FEED_PARAM, 0.0f);
    fx.setParameter(DELAY_FEEDBACK_PARAM, 0.9f);
    fx.setParameter(DELAY_CROSS_FEEDBACK_PARAM, 0.7f);
    fx.setParameter(DELAY_LP_PARAM, 0.8f);
    fx.setParameter(DELAY_HP_PARAM, 0.1f);
    fx.setParameter(DELAY_LEFT_PARAM, 0.3f);
    fx.setParameter(DELAY_RIGHT_PARAM, 0.35f);
}

// Three Blocks of the given types with settings of their own, in the given path.
inline void setBlocks(APlugin& fx, int path, const int (&types)[3]) {
    fx.setParameter(PATH_PARAM, choice(path, 5.99f));
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        setBlockType(fx, b, types[b]);
        fx.setParameter(blockParam(b, BLOCK_MIX_OFFSET), 0.7f);
        fx.setParameter(blockParam(b, BLOCK_SPREAD_OFFSET), 0.6f);
        fx.setParameter(blockParam(b, ROOM_LENGTH_OFFSET), 0.6f);
        fx.setParameter(GRAIN_RANDOM_TAG[b], 0.5f);
        fx.setParameter(GRAIN_SEMI_TAG[b], 0.8f);
    }
}

// Four active slots fed by noise, the follower, a Block level and a gater.
inline void setFourSlots(APlugin& fx) {
    setSlot(fx, 0, 57, 4, 0.3f);    // white noise -> Block 1 first Var slot
    setSlot(fx, 1, 27, 73, 0.4f);   // follower -> Delay Speed
    setSlot(fx, 2, 48, 3, 0.3f);    // Block 1 Out -> Global Pan
    setSlot(fx, 3, 34, 41, -0.5f);  // Block 2 Gater Left -> Block 2 Vol
}

// Block b's pad replays a closed 32-point path once a bar, free running, its X and Y routed onto
// the Block's first and second targets.
inline void setXYReplay(APlugin& fx, int b) {
    for (int i = 0; i < XY_PATH_POINTS; ++i) {
        const float phase = static_cast<float>(i) / static_cast<float>(XY_PATH_POINTS);
        fx.setXY(b, i, phase < 0.5f ? 2.0f * phase : 2.0f - 2.0f * phase, phase * phase);
    }
    fx.setParameter(XY_SYNC_TAG[b], choice(17, 30.99f));  // 1/1
    fx.setParameter(XY_LOOP_MODE_TAG[b], choice(1, 2.99f));
    fx.setParameter(XY_RECORD_MODE_TAG[b], choice(2, 2.99f));
    fx.setParameter(blockParam(b, XY_ASSIGN_OFFSET), 0.7f);      // X > 1
    fx.setParameter(blockParam(b, XY_ASSIGN_OFFSET + 4), 0.3f);  // Y > 2
}

// Every part of the engine busy: the Blocks, a Grain Block with Dry and one with Link, the
// feedback Delay, the follower on the output, four slots and a replaying pad.
inline void setBusyPatch(APlugin& fx, int path, const int (&types)[3]) {
    setBlocks(fx, path, types);
    fx.setParameter(GRAIN_DRY_TAG[1], 1.0f);
    fx.setParameter(GRAIN_UNLINK_TAG[2], 1.0f);
    setFeedbackDelay(fx);
    fx.setParameter(FOLLOWER_SOURCE_PARAM, choice(4, 4.9f));
    setFourSlots(fx);
    setXYReplay(fx, 1);
}

}  // namespace tarnwell::test::patch
