#pragma once

// What the engine keeps from one frame to the next: the settings it decoded and the writes it
// decoded them after, memos of costly results, dirty flags, the modulation matrix's frame values,
// the smoothed levels and the Blocks' running counters. APlugin inherits it privately: the
// effect's interface lives in APlugin.h, the engine's bookkeeping here.
//
// The render thread owns all of it and reads and writes it without locks or ordering. Other
// threads touch only the atomics named for them: any thread raises resetPending (resetEverything)
// and displayRefreshPending (a program change); the editor thread reads gaterStepShown, the main
// thread quietSpan. The calls that run while no render does (construction, init,
// setSampleRate) may set the rest. A new cache, memo or dirty flag of the engine belongs here.

#include "dsp/TDelay.h"
#include "dsp/TGrain.h"
#include "effect/EngineMath.h"
#include "effect/ParameterLayout.h"
#include "effect/Relaxed.h"
#include "framework/effectbase/VstRecords.h"

#include <atomic>
#include <cstdint>
#include <limits>

// A Block's signal: two sub-samples per channel, so that the filter, comb and shaper run at
// twice the host rate. A pair (L, R) enters as {L, L, R, R} and leaves as the lane averages.
// The four lanes La, Lb, Ra, Rb are one vector: it travels between the Blocks in one register,
// and each lane-wise operation rounds exactly as the same operation on a single float.
typedef float BlockLanes __attribute__((vector_size(16)));
enum BlockLane { LANE_LA = 0, LANE_LB = 1, LANE_RA = 2, LANE_RB = 3 };
// One value per Block in lanes 0..2, worked out for the three Blocks at once.
typedef float PerBlock __attribute__((vector_size(16)));
// A frame's left and right side by side.
typedef float FramePair __attribute__((vector_size(8)));

struct EngineState {
    static constexpr int GRAINS_PER_BLOCK = 16;  // grain slots of each Block

    // One reader's view of valuesVersion (render thread): moved() answers whether any value was
    // written since its last call. The first call always answers yes: the version starts at 0,
    // the view at a version it cannot have yet.
    struct ValuesSeen {
        uint32_t version = ~0u;
        bool moved(const std::atomic<uint32_t>& current) {
            const uint32_t now = current.load(std::memory_order_acquire);
            if (now == version) return false;
            version = now;
            return true;
        }
    };

    std::atomic<bool> resetPending{false};  // raised by resetEverything, served by resetEngineNow
    Relaxed<uint32_t> refreshCounter = 0;  // frames; the editor refresh check runs when the low 12 bits are 0
    Relaxed<unsigned char> displayRefreshPending;  // set by program changes, served by the engine

    double lastXYDisplayClock = 0.0;               // clock() at the last XY display refresh
    unsigned char firstFrame = 0;                  // set by resetEverything until the end of the next frame
    float modSourceValues[MOD_SOURCE_COUNT] = {};  // this frame's value of every modulation source
    float modValues[MOD_DESTINATION_COUNT] = {};   // this frame's destination values after the slots
    // The destinations the slots wrote in the last frame; -1 until the first frame has set them all.
    int modTouched[MOD_SLOT_COUNT] = {};
    int modTouchedCount = -1;
    // Each slot's settings as last decoded: worked out again only when a value was written.
    struct ModSlotSettings {
        int source = 0, destination = 0;
        float amount = 0.0f;  // the slot's own amount, -1..1
        bool bypass = false;
    };
    ModSlotSettings modSlots[MOD_SLOT_COUNT];
    // The slots with a source, in order, with what the matrix looks up for each worked out once.
    struct ActiveModSlot {
        int source = 0, destination = 0, amountDestination = 0;
        int kind = 0;       // modCombineKind of the destination
        int scaleForm = 0;  // how the scale kind reads the source: 0 as it is, 1 bipolar, 2 clamped note
        float amount = 0.0f;
        bool bypass = false;
    };
    ActiveModSlot activeModSlots[MOD_SLOT_COUNT];
    int activeModSlotCount = 0;
    // What the decoded slots reach: any of them at all (a slot with a source), the Block levels
    // (Pan, Mix, Vol) and the Delay's per-frame settings. What no slot reaches rests at its base.
    bool modSlotsActive = true, levelsModulated = true, outputModulated = true;
    bool modSlotsHold = false;         // no slot's source moves between MIDI events
    bool midiSinceControlStep = true;  // processMidi ran since the last 16-frame control step
    // Set while the engine runs quiet frames: the settings, the modulation and the targets of a
    // pad that does not replay hold, so a Block's setters would find what they set already.
    bool quietFrame = false;
    bool delayMixModulated = true, delayLengthsModulated = true;  // the Delay's Mix; its Speed and lengths
    int currentPath = 0;                                          // signal path 0..5
    int blockType[BLOCK_COUNT] = {};                              // 0 Off .. 6 Grain
    int followerSource = 0;            // 0 input, 1..3 a Block's output, 4 the output
    float followerInput[2] = {};       // the pair the follower measures
    float followerThreshold = 0.0f;    // linear level, for the Follower play mode
    float followerHoldSamples = 0.0f;  // frames below the threshold before a restart
    unsigned char gaterActive[BLOCK_COUNT] = {};
    bool anyGaterActive = false;
    // What each gater's step levels were last set from: off, on modulation and the pad's two on
    // levels, the values' version and whether the pad set the on levels.
    struct GaterLevelsKey {
        BlockLanes levels{};
        uint32_t version = 0;
        bool padLevels = false, valid = false;
    };
    GaterLevelsKey gaterLevelsKey[BLOCK_COUNT];
    Relaxed<int32_t> gaterStepShown[BLOCK_COUNT];   // each gater's playing step, for the editor thread
    unsigned char noteOnFlag = 0, noteOffFlag = 0;  // a note arrived in this frame
    uint32_t playing[2] = {};                       // host playing bit at the last check, at the one before
    VstTimeInfo* hostTimeInfo = nullptr;            // this call's time record, or none

    float smoothedVolume[BLOCK_COUNT] = {1.0f, 1.0f, 1.0f};
    float smoothedPan[BLOCK_COUNT] = {0.5f, 0.5f, 0.5f};
    float smoothedMix[BLOCK_COUNT] = {0.5f, 0.5f, 0.5f};
    float blockGain[BLOCK_COUNT] = {1.0f, 1.0f, 1.0f};
    // This frame's Block mix, each factor spread over the four lanes: the wet and dry gains, the
    // Block gain and the pan pair {L, L, R, R}.
    struct BlockMix {
        BlockLanes wet{1.0f, 1.0f, 1.0f, 1.0f}, dry{1.0f, 1.0f, 1.0f, 1.0f};
        BlockLanes gain{1.0f, 1.0f, 1.0f, 1.0f}, pan{1.0f, 1.0f, 1.0f, 1.0f};
    };
    BlockMix blockMix[BLOCK_COUNT];
    // The output stage's gains and pan as the global modulation and Bypass last gave them.
    // Each spread over four lanes as the stage uses them: wet, dry and the pan {L, R, L, R}.
    struct OutputGains {
        BlockLanes wet{1.0f, 1.0f, 1.0f, 1.0f}, dry{}, pan{1.0f, 1.0f, 1.0f, 1.0f};
    };
    OutputGains outputGains;
    // What the level sources (Input, the Blocks' Out and Out, with their unipolar twins) follow
    // from, as the last frame left it: kept every frame, turned into the sources only while a
    // slot or a pad reads one, and at the end of every call.
    float levelInput[2] = {};
    BlockLanes levelBlockOut[BLOCK_COUNT] = {};
    float levelOutput[2] = {};
    bool slotsReadLevels = true, padsReadLevels = true;
    // The X and the Y amounts onto targets 1..3 in lanes 0..2, each -1..1, and what the pad adds
    // to the type's three targets (X times the first plus Y times the second, lane by lane).
    BlockLanes xyAmounts[BLOCK_COUNT][2] = {};
    alignas(16) float xyTargets[BLOCK_COUNT][4] = {};
    float roomModPhase[BLOCK_COUNT][4] = {};
    float roomWidenPhase[BLOCK_COUNT][4] = {};
    int grainCounter[BLOCK_COUNT] = {};  // frames since the last grain trigger
    int grainSlot[BLOCK_COUNT] = {};     // slot the next trigger takes
    // Per Block, a bit for each slot that records, so a frame visits them only when one ends.
    uint32_t grainRecording[BLOCK_COUNT] = {};
    // Per Block, the input its slots record, and the tape frame each recording ends with (the
    // nearest of them in grainNextEnd).
    TGrainTape grainTape[BLOCK_COUNT];
    uint32_t grainRecordEnd[BLOCK_COUNT][GRAINS_PER_BLOCK] = {}, grainNextEnd[BLOCK_COUNT] = {};
    float grainWriteFactor[BLOCK_COUNT] = {1.0f, 1.0f, 1.0f};
    float grainReadFactor[BLOCK_COUNT] = {1.0f, 1.0f, 1.0f};
    float grainPlain[BLOCK_COUNT][2] = {};  // this frame's unpitched grain sum, left and right
    BlockLanes delayDry = {1.0f, 1.0f, 1.0f, 1.0f}, delayWet = {};  // the same gain in every lane
    bool delayActive = false;                                       // Delay On as this frame read it
    // What the Block levels last followed from: Mix, Volume and Pan of the three Blocks, their
    // modulation and the path. While none of it moves and the smoothing has settled, the levels
    // stay as they are.
    struct LevelInputs {
        PerBlock mix, volume, pan, panMod, mixMod, volumeMod;
        int path;
        bool operator==(const LevelInputs& other) const;  // inline, in the Blocks' source
    };
    LevelInputs levelInputs{};
    bool levelsSettled = false;
    // The settings every frame reads, as last read: read again only after a value was written.
    struct FrameSettings {
        PerBlock mix, volume, pan;  // the three Blocks' knobs
        bool blockBypass[BLOCK_COUNT];
        bool bypass, delayOn, delayMono;
        float delayMix, delayLeft, delayRight, delaySync;
    };
    FrameSettings frameSettings{};
    // Which writes of the live values the frame settings and the slots were last read after.
    ValuesSeen settingsSeen;
    // The Block levels, or the Delay's gains and lengths, follow from something that moved.
    bool levelsDirty = true, delayDirty = true, outputDirty = true;
    // The 16-frame control step's settings follow from something that moved (a value, the
    // tempo, a Block type, the rate, a restart); while they rest it leaves them as they are.
    bool controlDirty = true;
    float engineRate = 0.0f;  // the rate the engine's kept settings were worked out for

    // Per Block, the exponentials of values that mostly rest, kept from frame to frame.
    struct BlockMemos {
        engine::Memo<engine::volumeGain> gain;
        engine::Memo<engine::exp2Of> roomLength, roomSpread, roomModSpeed;
        engine::Memo<engine::exp2Of> grainWrite, grainRead, grainReadRatio, grainInterval, grainSpeed;
        engine::Memo<engine::exp2Of> gaterRamp;
        // A Grain Block's speed and interval in frames as the last frame worked them out, for the
        // quiet frames after it; a trigger or a reset sets them aside.
        struct GrainSettings {
            float speed;
            int interval;
            bool valid;
        };
        GrainSettings grainSettings = {};
        float roomHighPass = std::numeric_limits<float>::quiet_NaN();  // the reverb's last setting
        BlockLanes roomSettings = {};    // length, damping, high-pass and spread, modulation added
        bool roomSettingsMatch = false;  // roomSettings holds no NaN, so held settings match them
        // The room's and the filter's knobs with their modulation, before the pad's targets: in
        // quiet frames only the targets can move.
        BlockLanes roomKnobs = {};
        BlockLanes filterSettings = {};  // drive, resonance, vowel and gain
        struct CombKnobs {
            float freq, modL, spread, feed, damp, random;
        };
        CombKnobs combKnobs = {};
        struct ShaperKnobs {
            float a[4], spread, lowFiFilter;
        };
        ShaperKnobs shaperKnobs = {};
    };
    BlockMemos memo[BLOCK_COUNT];
    // The same for the follower's settings.
    struct ControlMemos {
        engine::Memo<engine::boostGain> followerBoost;
        engine::Memo<engine::thresholdLevel> followerThreshold;
        engine::Memo<engine::exp2Of> followerHold;
    };
    ControlMemos controlMemo;

    // Whether updateBlockLevels has anything to do in this frame: read by every frame, inline.
    bool blockLevelsMayMove() const {
        return levelsDirty || levelsModulated || !levelsSettled || firstFrame || outputDirty ||
               outputModulated || (delayActive && (delayDirty || delayMixModulated || delayLengthsModulated));
    }
    // With the slots' sources holding, modulated levels, output gains and Delay mix come out as
    // in the frame before: only a write, a smoothing under way or Delay lengths to set move them.
    bool levelsRest() const {
        return !levelsDirty && levelsSettled && !firstFrame && !outputDirty &&
               !(delayActive && (delayDirty || delayLengthsModulated));
    }
    // The longest stretch the output may stay quiet and still sound again without new input, in
    // frames, as the patch stands after the last render: the Delay's longer line (its longest
    // while a slot moves its lengths), each Block's comb, room or grains, and where any of them
    // holds sound each running gater's and replaying pad's period, added up since one may follow
    // another. Kept after every render for the host's automatic tail (vendorSpecific).
    Relaxed<uint32_t> quietSpan{TDelay::kMaxLength + 1u};

    // Which writes of the live values the XY settings were last read after.
    ValuesSeen xySeen;
    // Every pad runs free and none records: modes change only in a frame that reads them. The
    // first such frame starts every pad; until a restart stops one the next ones have no more to.
    enum class XYSteady : uint8_t { NO, STARTING, RUNNING };
    XYSteady xySteady = XYSteady::NO;
    // An open editor's MIDI pad moves were followed in a frame after which nothing was written:
    // until the next write there is nothing to follow.
    bool xyMidiFollowed = false;
    // Frames taken in quiet runs since construction.
    int64_t quietFramesTaken = 0;
};
