// The Blocks, the six signal paths and the output stage: what each Block type hands its module,
// Block Bypass, Mix, Pan, Spread and Volume, where the Delay sits, the XY routing onto each
// Block's three targets and the level modulation sources.

#include "effect/APlugin.h"
#include "effect/EngineMath.h"
#include "effect/OptionStrings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

using engine::clamp01;

namespace {

constexpr int PATH_DELAY_FIRST = 0;
constexpr int PATH_LAST_SERIAL = 3;
constexpr int PATH_DELAY_PARALLEL = 4;
constexpr int PATH_PARALLEL_DELAY = 5;

// Room LFO rates in cycles per 16 frames, whatever the sample rate.
constexpr float ROOM_MOD_RATE[4] = {0.00106823607f, 0.00210676412f, 0.00114570837f, 0.000508571742f};
// Room widen taps: phase steps per 8 frames and the depth of each triangle.
constexpr float ROOM_WIDEN_RATE[4] = {1.85342251e-05f, 2.13200656e-05f, 1.13533806e-05f, 1.72809432e-05f};
constexpr float ROOM_WIDEN_DEPTH[4] = {0.272727013f, 0.292928994f, 0.262625992f, 0.252525002f};

// Tempo-synced grain lengths in bars.
constexpr float GRAIN_SYNCED_LENGTHS[21] = {1.0f / 96, 1.0f / 64, 3.0f / 128, 1.0f / 48, 1.0f / 32, 3.0f / 64,
                                            1.0f / 24, 1.0f / 16, 3.0f / 32,  1.0f / 12, 1.0f / 8,  3.0f / 16,
                                            1.0f / 6,  1.0f / 4,  3.0f / 8,   1.0f / 3,  1.0f / 2,  3.0f / 4,
                                            2.0f / 3,  1.0f,      1.5f};

inline BlockLanes lanesOf(float L, float R) {
    return BlockLanes{L, L, R, R};
}

// A lane by name (inside a template the vector takes no enumerator as its index).
inline float laneOf(BlockLanes x, int lane) {
    return x[lane];
}

inline BlockLanes splat(float v) {
    return BlockLanes{v, v, v, v};
}

// v held to 0..1, NaN to 0, lane by lane: what clamp01 gives for each lane.
inline PerBlock clamp01v(PerBlock v) {
    const PerBlock zero = {0.0f, 0.0f, 0.0f, 0.0f}, one = {1.0f, 1.0f, 1.0f, 1.0f};
    const PerBlock below = one < v ? one : v;  // std::min(v, 1)
    return v > zero ? below : zero;
}

// Mix m as the wet gain's doubled law: 0 below 0, else 2 min(m, 1).
inline float mixTimesTwo(float m) {
    return m < 0.0f ? 0.0f : 2.0f * std::min(m, 1.0f);
}

inline PerBlock mixTimesTwo(PerBlock m) {
    const PerBlock zero = {0.0f, 0.0f, 0.0f, 0.0f}, one = {1.0f, 1.0f, 1.0f, 1.0f};
    return m < zero ? zero : 2.0f * (one < m ? one : m);
}

// The channel pairs of a lane set, both at once: (La + Lb) / 2 in lane LA, (Ra + Rb) / 2 in RA.
inline BlockLanes channelPairs(BlockLanes x) {
    static_assert(LANE_LB == LANE_LA + 1 && LANE_RB == LANE_RA + 1 && LANE_LA % 2 == 0 && LANE_RA % 2 == 0);
    return (x + __builtin_shufflevector(x, x, 1, 0, 3, 2)) * 0.5f;
}

using controlmath::clampLanes;

inline BlockLanes clampLanes(BlockLanes v, float lo, float hi) {
    return clampLanes(v, splat(lo), splat(hi));
}

// engine::silenceResidue lane by lane, below the threshold's lanes.
inline BlockLanes silenceResidue(BlockLanes v, BlockLanes threshold = splat(0x1p-24f)) {
    typedef int32_t Bits __attribute__((vector_size(16)));
    const Bits bits = std::bit_cast<Bits>(v);
    const Bits residue = std::bit_cast<BlockLanes>(bits & 0x7fffffff) < threshold;
    return std::bit_cast<BlockLanes>(bits & ~residue);
}

// The output stage's constants: its lanes 2 and 3 carry nothing, and constants with zeros there
// load as they are, where four equal lanes would be built from one.
constexpr BlockLanes pairConstant(float c) {
    return BlockLanes{c, c, 0.0f, 0.0f};
}

// A Block's mix of its processed and its input lanes, through its gain and pan.
inline BlockLanes wetDryMix(const EngineState::BlockMix& m, BlockLanes in, BlockLanes processed) {
    return m.gain * (m.wet * processed + m.dry * in) * m.pan;
}

// An Off Block's mix: its input dry, through its gain and pan.
inline BlockLanes offMix(BlockLanes x, BlockLanes gain, BlockLanes pan) {
    return gain * (splat(0.0f) * x + splat(1.0f) * x) * pan;
}

// Every lane of a comparison true: two halves of its mask, not four lanes taken out one by one.
template <class Mask>
inline bool allLanes(Mask m) {
    static_assert(sizeof m == 16);
    typedef int64_t Halves __attribute__((vector_size(16)));
    const Halves set = reinterpret_cast<Halves>(m);
    return (set[0] & set[1]) == -1;
}

// All lanes equal (lane 3 is 0 in both); a NaN never is.
inline bool allEqual(PerBlock a, PerBlock b) {
    return allLanes(a == b);
}

}  // namespace

// The smoothed Mix, Volume and Pan of the three Blocks and the gains they give.
void APlugin::mixBlockLevels(const LevelInputs& in) {
    const PerBlock mix = in.mix, volume = in.volume, pan = in.pan;
    auto stored = [](const float(&v)[BLOCK_COUNT]) { return PerBlock{v[0], v[1], v[2], 0.0f}; };
    PerBlock sMix = mix, sVolume = volume, sPan = pan;
    if (!firstFrame) {
        sMix = 0.1f * mix + 0.9f * stored(smoothedMix);
        sVolume = 0.1f * volume + 0.9f * stored(smoothedVolume);
        sPan = 0.1f * pan + 0.9f * stored(smoothedPan);
    }
    // In a chain only the last Block's Pan knob pans; the earlier ones stay centred.
    // (Rebuilt whole: lanes written one by one would go through memory and stall the read.)
    if (currentPath <= PATH_LAST_SERIAL) sPan = PerBlock{0.5f, 0.5f, sPan[2], sPan[3]};
    const PerBlock oldMix = stored(smoothedMix), oldVolume = stored(smoothedVolume),
                   oldPan = stored(smoothedPan);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        smoothedMix[b] = sMix[b];
        smoothedVolume[b] = sVolume[b];
        smoothedPan[b] = sPan[b];
        blockGain[b] = memo[b].gain(sVolume[b]) * in.volumeMod[b];
    }
    // Settled once the smoothing stands still: the same inputs then give the same levels.
    levelsSettled =
        !firstFrame && allEqual(sMix, oldMix) && allEqual(sVolume, oldVolume) && allEqual(sPan, oldPan);

    // The Block mix of this frame: Pan and Mix with their modulation (the Gater's pad term is
    // added in the Block itself).
    const PerBlock p = clamp01v(sPan + in.panMod);
    const PerBlock panL = clamp01v(2.0f - 2.0f * p);
    const PerBlock panR = clamp01v(2.0f * p);
    const PerBlock m2 = mixTimesTwo(sMix + in.mixMod);
    const PerBlock dry = clamp01v(2.0f - m2);
    const PerBlock wet = clamp01v(m2);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        BlockMix& m = blockMix[b];
        m.wet = splat(wet[b]);
        m.dry = splat(dry[b]);
        m.gain = splat(blockGain[b]);
        m.pan = lanesOf(panL[b], panR[b]);
    }
}

// Compared bit for bit: the same bits always give the same levels, and six vector
// differences are far cheaper than comparing lane by lane.
inline bool APlugin::LevelInputs::operator==(const LevelInputs& other) const {
    typedef int32_t Bits __attribute__((vector_size(16)));
    typedef int64_t Halves __attribute__((vector_size(16)));
    auto differ = [](PerBlock a, PerBlock b) { return std::bit_cast<Bits>(a) ^ std::bit_cast<Bits>(b); };
    const Bits any = differ(mix, other.mix) | differ(volume, other.volume) | differ(pan, other.pan) |
                     differ(panMod, other.panMod) | differ(mixMod, other.mixMod) |
                     differ(volumeMod, other.volumeMod);
    const Halves halves = std::bit_cast<Halves>(any);
    return path == other.path && (halves[0] | halves[1]) == 0;
}

void APlugin::readFrameSettings() {
    // The three Blocks side by side in lanes 0..2 of a vector: each lane rounds exactly as the
    // same operation on one float.
    auto perBlock = [this](int offset) {
        return PerBlock{param(blockParam(0, offset)), param(blockParam(1, offset)),
                        param(blockParam(2, offset)), 0.0f};
    };
    FrameSettings& f = frameSettings;
    f.mix = perBlock(BLOCK_MIX_OFFSET);
    f.volume = perBlock(BLOCK_VOLUME_OFFSET);
    f.pan = perBlock(BLOCK_PAN_OFFSET);
    for (int b = 0; b < BLOCK_COUNT; ++b) f.blockBypass[b] = getOnOff(param(BLOCK_BYPASS_TAG[b]));
    f.bypass = getOnOff(param(BYPASS_PARAM));
    f.delayOn = getOnOff(param(DELAY_ON_PARAM));
    // Read once with the settings: the path and the Blocks act on the same answer.
    delayActive = f.delayOn;
    f.delayMono = getOnOff(param(DELAY_MONO_PARAM));
    f.delayMix = param(DELAY_MIX_PARAM);
    f.delayLeft = param(DELAY_LEFT_PARAM);
    f.delayRight = param(DELAY_RIGHT_PARAM);
    f.delaySync = param(DELAY_TEMPO_SYNC_PARAM);
}

void APlugin::updateBlockLevels() {
    const FrameSettings& f = frameSettings;
    // Settled, and nothing the levels follow can have moved: they stay as they are.
    if (levelsDirty || levelsModulated || !levelsSettled || firstFrame) {
        levelsDirty = false;
        auto modulation = [this](int k) {
            return PerBlock{modValues[destinationBase(0) + k], modValues[destinationBase(1) + k],
                            modValues[destinationBase(2) + k], 0.0f};
        };
        const LevelInputs inputs{f.mix,
                                 f.volume,
                                 f.pan,
                                 modulation(DESTINATION_PAN_OFFSET),
                                 modulation(DESTINATION_MIX_OFFSET),
                                 modulation(DESTINATION_VOLUME_OFFSET),
                                 currentPath};
        // Smoothing settled and nothing it follows moved: this frame's levels are the last frame's.
        if (!(levelsSettled && !firstFrame && inputs == levelInputs)) {
            levelInputs = inputs;
            mixBlockLevels(levelInputs);  // the member: the local then never goes through the stack
        }
    }
    if (outputDirty || outputModulated) {
        outputDirty = false;
        const float vol = modValues[DESTINATION_GLOBAL_VOLUME];
        const float dry = clamp01(modValues[DESTINATION_GLOBAL_DRY]);
        const float pan = modValues[DESTINATION_GLOBAL_PAN] + 0.5f;
        const float panL = clamp01(2.0f - 2.0f * pan), panR = clamp01(2.0f * pan);
        outputGains = f.bypass ? OutputGains{splat(0.0f), splat(1.0f), splat(1.0f)}
                               : OutputGains{splat(clamp01(1.0f - dry) * vol), splat(dry * vol),
                                             BlockLanes{panL, panR, panL, panR}};
    }
    if (delayActive && (delayDirty || delayMixModulated || delayLengthsModulated)) {
        const bool dirty = delayDirty;
        delayDirty = false;
        if (dirty || delayMixModulated) {
            const float m = clamp01(f.delayMix + modValues[DESTINATION_DELAY_MIX]);
            delayDry = splat(clamp01(2.0f - 2.0f * m));
            delayWet = splat(clamp01(2.0f * m));
        }
        if (!(dirty || delayLengthsModulated)) return;
        const float left = clamp01(f.delayLeft + modValues[DESTINATION_DELAY_LEFT]);
        const float right = f.delayMono ? left : clamp01(f.delayRight + modValues[DESTINATION_DELAY_RIGHT]);
        const float fine = std::fabs(modValues[DESTINATION_DELAY_FINE] * 0.1f * storedRate);
        delay.setDelayLen(left, right, fine, fine, modValues[DESTINATION_DELAY_SPEED], f.delaySync);
    }
}

void APlugin::doDelay(float& La, float& Ra, float& Lb, float& Rb) {
    if (!getOnOff(DELAY_ON_PARAM)) return;
    const BlockLanes lanes = delayLanes(BlockLanes{La, Lb, Ra, Rb});
    La = lanes[LANE_LA];
    Lb = lanes[LANE_LB];
    Ra = lanes[LANE_RA];
    Rb = lanes[LANE_RB];
}

[[gnu::always_inline]] inline BlockLanes APlugin::delayLanes(BlockLanes x) {
    // (La + Lb) / 2 and (Ra + Rb) / 2 side by side, and the Delay's pair back onto the lanes.
    const TDelay::Pair in =
        (__builtin_shufflevector(x, x, LANE_LA, LANE_RA) + __builtin_shufflevector(x, x, LANE_LB, LANE_RB)) *
        0.5f;
    const TDelay::Pair out = delay.process(in);
    return x * delayDry + delayWet * __builtin_shufflevector(out, out, 0, 0, 1, 1);
}

// The pad's third target moves a Gater's mix; it is known only once the pad has moved.
[[gnu::always_inline]] inline APlugin::BlockMix APlugin::gaterMix(int b) const {
    BlockMix m = blockMix[b];
    const float m2 = mixTimesTwo(smoothedMix[b] + modValues[destinationBase(b) + DESTINATION_MIX_OFFSET] +
                                 xyTargets[b][2]);
    m.wet = splat(clamp01(m2));
    m.dry = splat(clamp01(2.0f - m2));
    return m;
}

[[gnu::always_inline]] inline BlockLanes APlugin::mixBlock(int b, BlockLanes in, BlockLanes processed) const {
    if (blockType[b] == TYPE_GATER) return wetDryMix(gaterMix(b), in, processed);
    return wetDryMix(blockMix[b], in, processed);
}

// Inlined into the path: the lanes then stay in registers from Block to Block.
[[gnu::always_inline]] inline BlockLanes APlugin::runBlock(int b, bool parallel, BlockLanes input) {
    if (frameSettings.blockBypass[b]) {
        // A bypassed Block passes its input along a chain and adds nothing to a parallel sum.
        return parallel ? BlockLanes{0.0f, 0.0f, 0.0f, 0.0f} : input;
    }
    const int type = blockType[b];
    if (type == TYPE_OFF) {
        // An Off Block mixes its input dry.
        const BlockMix& m = blockMix[b];
        return offMix(input, m.gain, m.pan);
    }

    const BlockLanes targets = padTargets(b);
    std::memcpy(xyTargets[b], &targets, sizeof targets);

    // The modules take and give the lanes by value, so they travel in registers, not through
    // memory written one way and read another.
    BlockLanes in = input;
    BlockLanes processed = in;
    switch (type) {
        case TYPE_FILTER:
            processed = processFilter(b, in);
            break;
        case TYPE_COMB:
            processed = processComb(b, in);
            break;
        case TYPE_SHAPER:
            processed = processShaper(b, in);
            break;
        case TYPE_ROOM:
            processed = processRoom(b, in);
            break;
        case TYPE_GATER: {
            const float gL = modSourceValues[SOURCE_GATER_LEFT[b]];
            const float gR = modSourceValues[SOURCE_GATER_RIGHT[b]];
            processed = in * lanesOf(gL, gR);
            break;
        }
        case TYPE_GRAIN:
            processed = processGrain(b, in);
            // With Dry on the Block's dry part is the unpitched grain signal.
            if (getOnOff(param(GRAIN_DRY_TAG[b]))) in = lanesOf(grainPlain[b][0], grainPlain[b][1]);
            break;
        default:
            break;
    }
    return mixBlock(b, in, processed);
}

// One path per instance: where the Delay sits and how the Blocks join are settled when it is
// compiled, so a frame runs only the steps of its path.
FramePair APlugin::runSignalPath(FramePair in) {
    switch (currentPath) {
        case 0:
            return runPath<0>(in);
        case 1:
            return runPath<1>(in);
        case 2:
            return runPath<2>(in);
        case 3:
            return runPath<3>(in);
        case 4:
            return runPath<4>(in);
        default:
            return runPath<5>(in);
    }
}

// Output stage: the processed pair is held to [-1, 1] before the wet gain and the result to
// +-0.999, so no runaway Block can leave the range. Both channels side by side, for one frame
// (lanes 2 and 3 repeat them) or two: each lane rounds as the same steps on one channel.
template <int frames>
[[gnu::always_inline]] inline BlockLanes outputMix(BlockLanes processed, BlockLanes dry,
                                                   const EngineState::OutputGains& g) {
    // One frame's constants have zeros in lanes 2 and 3: they load as they are, where four
    // equal lanes would be built from one.
    auto constant = [](float c) { return frames == 1 ? pairConstant(c) : BlockLanes{c, c, c, c}; };
    const BlockLanes mixed =
        (g.wet * clampLanes(processed, constant(-1.0f), constant(1.0f)) + g.dry * dry) * g.pan;
    return silenceResidue(clampLanes(mixed, constant(-0.999f), constant(0.999f)), constant(0x1p-24f));
}

[[gnu::always_inline]] inline FramePair APlugin::outputStage(BlockLanes lanes, FramePair dry,
                                                             const OutputGains& g, FramePair& processedPair) {
    const BlockLanes processed = (__builtin_shufflevector(lanes, lanes, LANE_LA, LANE_RA, LANE_LA, LANE_RA) +
                                  __builtin_shufflevector(lanes, lanes, LANE_LB, LANE_RB, LANE_LB, LANE_RB)) *
                                 pairConstant(0.5f);
    processedPair = __builtin_shufflevector(processed, processed, 0, 1);
    const BlockLanes held = outputMix<1>(processed, __builtin_shufflevector(dry, dry, 0, 1, 0, 1), g);
    return __builtin_shufflevector(held, held, 0, 1);
}

template <int path>
FramePair APlugin::runPath(FramePair in) {
    constexpr bool parallel = path >= PATH_DELAY_PARALLEL;

    // The path input is also the dry pair of the output stage.
    FramePair dry = in;
    if ((path == PATH_DELAY_FIRST || path == PATH_DELAY_PARALLEL) && delayActive)
        dry = in * delayDry[0] + delayWet[0] * delay.process(in);
    const BlockLanes pathInput = __builtin_shufflevector(dry, dry, 0, 0, 1, 1);

    // Lanes stay in locals from Block to Block: the chain never reads them back from memory.
    BlockLanes lanes = pathInput;
    BlockLanes sum{0.0f, 0.0f, 0.0f, 0.0f};
#pragma GCC unroll 3
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        BlockLanes out = runBlock(b, parallel, parallel ? pathInput : lanes);
        if (!parallel && path == b + 1 && delayActive) out = delayLanes(out);
        if (followerSource == b + 1) {
            followerInput[0] = laneOf(out, LANE_LA);
            followerInput[1] = laneOf(out, LANE_RA);
        }
        levelBlockOut[b] = out;
        if (parallel) {
            // Summed in Block order, as the lanes of the three outputs are added one after another.
            if (b == 0) {
                sum = out;
            } else {
                sum += out;
            }
        } else {
            lanes = out;
        }
    }

    if (parallel) {
        lanes = sum;
        if (path == PATH_PARALLEL_DELAY && delayActive) lanes = delayLanes(lanes);
    }

    FramePair processed;
    const FramePair result = outputStage(lanes, dry, outputGains, processed);
    if (followerSource == 4) std::memcpy(followerInput, &processed, sizeof followerInput);
    std::memcpy(levelOutput, &result, sizeof levelOutput);
    if (slotsReadLevels || padsReadLevels) publishLevelSources();
    return result;
}

// The quiet runs call each path directly.
template FramePair APlugin::runPath<0>(FramePair);
template FramePair APlugin::runPath<1>(FramePair);
template FramePair APlugin::runPath<2>(FramePair);
template FramePair APlugin::runPath<3>(FramePair);
template FramePair APlugin::runPath<4>(FramePair);
template FramePair APlugin::runPath<5>(FramePair);

// Within a quiet run the Blocks and the Delay hand each other nothing but their lanes, and what
// the controls give them comes out the same whether worked out before the run's signal or
// between its frames, unless a pad's speed follows the follower or a level (both come from the
// signal) or a Grain Block draws from the noise the controls draw from. Combs and Shapers share
// a generator of their own.
bool APlugin::quietRunStaged(RunControls& controls) const {
    int rooms = 0, firstRoom = BLOCK_COUNT, lastRoom = -1, drawing = 0, off = 0;
    bool drawsRead = false;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int type = blockType[b];
        const int source = xy[b].replaySettings.modSource;
        if (type == TYPE_GRAIN ||
            (xy[b].recordMode == XY_REPLAY &&
             (source == SOURCE_FOLLOWER || (source >= SOURCE_INPUT && source <= SOURCE_OUT + 1))))
            return false;
        if (frameSettings.blockBypass[b]) continue;
        // Combs and Shapers draw from one generator of their own, Block after Block in a frame:
        // taken stage by stage each would read another's draws, unless none reads them (a Comb
        // without Random only moves the generator on, a Shaper reads them in Low-Fi only).
        switch (type) {
            case TYPE_OFF:
                ++off;
                break;
            case TYPE_ROOM:
                ++rooms;
                firstRoom = std::min(firstRoom, b);
                lastRoom = b;
                break;
            case TYPE_COMB:
                ++drawing;
                // Before a leading control frame's signal its knob is not yet kept: read as the
                // signal will.
                drawsRead =
                    drawsRead ||
                    (controls.lead ? clamp01(param(COMB_RANDOM_TAG[b]) + modValues[destinationBase(b) + 5])
                                   : memo[b].combKnobs.random) > 0.0f;
                break;
            case TYPE_SHAPER:
                ++drawing;
                drawsRead = drawsRead || getShaperMode(b) == SHAPER_MODE_LOWFI;
                break;
            default:
                break;
        }
    }
    // Two Rooms or more take the run together (see runRoomsTogether): in a chain only side by side.
    const bool roomsApart = currentPath <= PATH_LAST_SERIAL && lastRoom - firstRoom + 1 > rooms;
    controls.offBlocks = off;
    controls.firstRoom = rooms > 1 ? firstRoom : -1;
    return !(rooms > 1 && roomsApart) && (drawing <= 1 || !drawsRead);
}

// Rooms step their LFOs by the frame counter, which a Room's stage advances frame by frame: two
// Rooms or more take the run's frames together, each frame through all of them in Block order
// (in a chain with the Delay where it sits between them), so that the counter another thread
// reads never goes back.
void APlugin::runRoomsTogether(bool parallel, const BlockLanes* in, BlockLanes (*out)[QUIET_RUN_FRAMES],
                               int n, const RunControls& controls, int64_t frame) {
    for (int q = 0; q < n; ++q) {
        sampleCounter.store(frame + 1 + q, std::memory_order_relaxed);
        if (controls.lead) quietFrame = q != 0;
        BlockLanes x = in[q];
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            if (frameSettings.blockBypass[b] || blockType[b] != TYPE_ROOM) continue;
            std::memcpy(xyTargets[b], &controls.targets[q * controls.targetStride[b]][b],
                        sizeof xyTargets[b]);
            const BlockLanes input = parallel ? in[q] : x;
            x = wetDryMix(blockMix[b], input, processRoom(b, input));
            // In a chain the Rooms sit side by side: a Delay after one but the last sits between two.
            if (!parallel && currentPath == b + 1 && delayActive && b + 1 < BLOCK_COUNT &&
                !frameSettings.blockBypass[b + 1] && blockType[b + 1] == TYPE_ROOM)
                x = delayLanes(x);
            out[b][q] = x;
        }
    }
}

// The Delay over the run's lanes, frame after frame, as delayLanes takes them one frame at a time.
void APlugin::delayStage(BlockLanes* lanes, int n) {
    TDelay::Pair pairs[QUIET_RUN_FRAMES];
    for (int q = 0; q < n; ++q) {
        const BlockLanes x = lanes[q];
        pairs[q] = (__builtin_shufflevector(x, x, LANE_LA, LANE_RA) +
                    __builtin_shufflevector(x, x, LANE_LB, LANE_RB)) *
                   0.5f;
    }
    delay.processRun(pairs, n);
    for (int q = 0; q < n; ++q)
        lanes[q] = lanes[q] * delayDry + delayWet * __builtin_shufflevector(pairs[q], pairs[q], 0, 0, 1, 1);
}

// One Block over the run's frames: its bypass and type are looked at once.
void APlugin::runBlockStage(int b, bool parallel, const BlockLanes* in, BlockLanes* out, int n,
                            const RunControls& controls, int64_t frame) {
    if (frameSettings.blockBypass[b]) {
        for (int q = 0; q < n; ++q) out[q] = parallel ? BlockLanes{0.0f, 0.0f, 0.0f, 0.0f} : in[q];
        return;
    }
    const int type = blockType[b];
    if (type == TYPE_OFF) {
        // runBlock's dry mix, its gains held in registers for the run.
        const BlockLanes gain = blockMix[b].gain, pan = blockMix[b].pan;
#pragma GCC unroll 4
        for (int q = 0; q < n; ++q) out[q] = offMix(in[q], gain, pan);
        return;
    }
    // Only a replaying pad moves the targets from frame to frame.
    const int stride = controls.targetStride[b];
    std::memcpy(xyTargets[b], &controls.targets[0][b], sizeof xyTargets[b]);
    // A leading control frame's module takes its settings first, as in a frame that is not quiet.
    auto each = [&](auto process) __attribute__((always_inline)) {
        int q = 0;
        if (controls.lead) {
            quietFrame = false;
            out[0] = wetDryMix(blockMix[b], in[0], process(0, in[0]));
            quietFrame = true;
            q = 1;
        }
        for (; q < n; ++q) {
            if (stride) std::memcpy(xyTargets[b], &controls.targets[q][b], sizeof xyTargets[b]);
            out[q] = wetDryMix(blockMix[b], in[q], process(q, in[q]));
        }
    };
    switch (type) {
        case TYPE_FILTER: {
            if (controls.lead) {
                quietFrame = false;
                out[0] = wetDryMix(blockMix[b], in[0], processFilter(b, in[0]));
                quietFrame = true;
            }
            // Held targets (targetsHold) or a replay's: two loops, so that neither tests for the other.
            FilterRun run = filterRunOf(b);
            run.hold = !stride;
            const int from = controls.lead;
            if (!stride) {
                for (int q = from; q < n; ++q)
                    out[q] = wetDryMix(blockMix[b], in[q], filterFrame(run, in[q]));
                break;
            }
            for (int q = from; q < n; ++q) {
                std::memcpy(xyTargets[b], &controls.targets[q][b], sizeof xyTargets[b]);
                out[q] = wetDryMix(blockMix[b], in[q], filterFrame(run, in[q]));
            }
            break;
        }
        case TYPE_COMB:
            each([&](int, BlockLanes x) { return processComb(b, x); });
            break;
        case TYPE_SHAPER:
            each([&](int, BlockLanes x) { return processShaper(b, x); });
            break;
        case TYPE_ROOM:
            // Held targets: the whole run in one call (see roomRun).
            if (!stride) {
                roomRun(b, in, out, n, controls.lead, frame);
                break;
            }
            // The Room steps its LFOs by the frame counter: advanced here, frame by frame.
            each([&](int q, BlockLanes x) {
                sampleCounter.store(frame + 1 + q, std::memory_order_relaxed);
                return processRoom(b, x);
            });
            break;
        case TYPE_GATER: {
            // The mix is worked out once while the pad rests.
            const int gaterStride = controls.gaterStride[b];
            const BlockMix resting = gaterMix(b);
            for (int q = 0; q < n; ++q) {
                if (stride) std::memcpy(xyTargets[b], &controls.targets[q][b], sizeof xyTargets[b]);
                const float(&g)[2] = controls.gater[q * gaterStride][b];
                out[q] = wetDryMix(stride ? gaterMix(b) : resting, in[q], in[q] * lanesOf(g[0], g[1]));
            }
            break;
        }
        default:
            each([](int, BlockLanes x) { return x; });
            break;
    }
}

const FramePair* APlugin::runStages(const FramePair* in, FramePair* out, FramePair* follow, int n,
                                    const RunControls& controls, int64_t frame) {
    switch (currentPath) {
        case 0:
            return runPathStages<0>(in, out, follow, n, controls, frame);
        case 1:
            return runPathStages<1>(in, out, follow, n, controls, frame);
        case 2:
            return runPathStages<2>(in, out, follow, n, controls, frame);
        case 3:
            return runPathStages<3>(in, out, follow, n, controls, frame);
        case 4:
            return runPathStages<4>(in, out, follow, n, controls, frame);
        default:
            return runPathStages<5>(in, out, follow, n, controls, frame);
    }
}

// runPath, stage by stage: each step of a frame in the same order on the same values.
template <int path>
const FramePair* APlugin::runPathStages(const FramePair* in, FramePair* out, FramePair* follow, int n,
                                        const RunControls& controls, int64_t frame) {
    constexpr bool parallel = path >= PATH_DELAY_PARALLEL;
    if (n < 1 || n > QUIET_RUN_FRAMES) __builtin_unreachable();
    const int source = followerSource;

    // The path's input, which is also the dry pair of the output stage.
    FramePair delayed[QUIET_RUN_FRAMES];
    const FramePair* dry = in;
    if ((path == PATH_DELAY_FIRST || path == PATH_DELAY_PARALLEL) && delayActive) {
        TDelay::Pair wet[QUIET_RUN_FRAMES];
        std::memcpy(wet, in, n * sizeof wet[0]);
        delay.processRun(wet, n);
        for (int q = 0; q < n; ++q) delayed[q] = in[q] * delayDry[0] + delayWet[0] * wet[q];
        dry = delayed;
    }
    // A chain hands each Block's lanes to the next; parallel Blocks add theirs up in Block order.
    BlockLanes pathInput[QUIET_RUN_FRAMES], blockOut[BLOCK_COUNT][QUIET_RUN_FRAMES], sum[QUIET_RUN_FRAMES];
    const BlockLanes* lanes = blockOut[2];
    const bool offChain = !parallel &&
                          (path == PATH_DELAY_FIRST || path == PATH_LAST_SERIAL || !delayActive) &&
                          (source == 0 || source == 4) && controls.offBlocks == 3;
    if (offChain) {
        // Three Off Blocks in a chain, nothing between them: their dry mixes one after another,
        // frame by frame in registers, and the last frame's again for the level sources.
        const BlockMix& m0 = blockMix[0];
        const BlockMix& m1 = blockMix[1];
        const BlockMix& m2 = blockMix[2];
        const BlockLanes g0 = m0.gain, p0 = m0.pan, g1 = m1.gain, p1 = m1.pan, g2 = m2.gain, p2 = m2.pan;
        for (int q = 0; q < n; ++q) {
            const BlockLanes x = __builtin_shufflevector(dry[q], dry[q], 0, 0, 1, 1);
            blockOut[2][q] = offMix(offMix(offMix(x, g0, p0), g1, p1), g2, p2);
        }
        const FramePair last = dry[n - 1];
        levelBlockOut[0] = offMix(__builtin_shufflevector(last, last, 0, 0, 1, 1), g0, p0);
        levelBlockOut[1] = offMix(levelBlockOut[0], g1, p1);
        if (path == PATH_LAST_SERIAL && delayActive) delayStage(blockOut[2], n);
        levelBlockOut[2] = blockOut[2][n - 1];
    } else {
        for (int q = 0; q < n; ++q) pathInput[q] = __builtin_shufflevector(dry[q], dry[q], 0, 0, 1, 1);
        const int firstRoom = controls.firstRoom;
#pragma GCC unroll 3
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            const BlockLanes* blockIn = parallel || b == 0 ? pathInput : blockOut[b - 1];
            const bool room = firstRoom >= 0 && !frameSettings.blockBypass[b] && blockType[b] == TYPE_ROOM;
            if (room) {
                // The Rooms side by side: all of them with the first.
                if (b == firstRoom) runRoomsTogether(parallel, blockIn, blockOut, n, controls, frame);
            } else {
                runBlockStage(b, parallel, blockIn, blockOut[b], n, controls, frame);
            }
            // A Delay between two Rooms taking the run together was taken with them.
            const bool delayTaken = room && b + 1 < BLOCK_COUNT && !frameSettings.blockBypass[b + 1] &&
                                    blockType[b + 1] == TYPE_ROOM;
            if (!parallel && path == b + 1 && delayActive && !delayTaken) delayStage(blockOut[b], n);
            const BlockLanes* lanesOut = blockOut[b];
            if (source == b + 1)
                for (int q = 0; q < n; ++q)
                    follow[q] = FramePair{laneOf(lanesOut[q], LANE_LA), laneOf(lanesOut[q], LANE_RA)};
            levelBlockOut[b] = lanesOut[n - 1];
            if (!parallel) {
                lanes = lanesOut;
            } else if (b == 0) {
                for (int q = 0; q < n; ++q) sum[q] = lanesOut[q];
            } else {
                for (int q = 0; q < n; ++q) sum[q] += lanesOut[q];
            }
        }
        if (parallel) {
            lanes = sum;
            if (path == PATH_PARALLEL_DELAY && delayActive) delayStage(sum, n);
        }
    }

    // Two frames at a time, the last one of an odd run alone.
    const OutputGains g = outputGains;
    int q = 0;
    for (; q + 1 < n; q += 2) {
        const BlockLanes a = lanes[q], b = lanes[q + 1];
        const BlockLanes processed =
            (__builtin_shufflevector(a, b, LANE_LA, LANE_RA, 4 + LANE_LA, 4 + LANE_RA) +
             __builtin_shufflevector(a, b, LANE_LB, LANE_RB, 4 + LANE_LB, 4 + LANE_RB)) *
            BlockLanes{0.5f, 0.5f, 0.5f, 0.5f};
        if (source == 4) std::memcpy(&follow[q], &processed, sizeof processed);
        BlockLanes dryPairs;
        std::memcpy(&dryPairs, &dry[q], sizeof dryPairs);
        const BlockLanes held = outputMix<2>(processed, dryPairs, g);
        std::memcpy(&out[q], &held, sizeof held);
    }
    if (q < n) {
        FramePair processed;
        out[q] = outputStage(lanes[q], dry[q], g, processed);
        if (source == 4) follow[q] = processed;
    }
    std::memcpy(levelOutput, &out[n - 1], sizeof levelOutput);
    // Nothing reads the level sources within the run: the last frame's are published once.
    if (slotsReadLevels || padsReadLevels) publishLevelSources();
    return source == 0 ? in : follow;
}

void APlugin::publishLevelSources() {
    // Input and the three Blocks' outputs side by side, left in one vector and right in the
    // other; each lane picks and averages as largerOf and meanMagnitude do for one pair.
    typedef int32_t Bits __attribute__((vector_size(16)));
    const BlockLanes l = {levelInput[0], levelBlockOut[0][LANE_LA], levelBlockOut[1][LANE_LA],
                          levelBlockOut[2][LANE_LA]};
    const BlockLanes r = {levelInput[1], levelBlockOut[0][LANE_RA], levelBlockOut[1][LANE_RA],
                          levelBlockOut[2][LANE_RA]};
    const Bits magnitude = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    const BlockLanes absL = std::bit_cast<BlockLanes>(std::bit_cast<Bits>(l) & magnitude);
    const BlockLanes absR = std::bit_cast<BlockLanes>(std::bit_cast<Bits>(r) & magnitude);
    const BlockLanes larger = absL > absR ? l : r;
    const BlockLanes mean = (absL + absR) * 0.5f;
    // Each pair's two sources are neighbours: larger and mean interleaved.
    const BlockLanes low = __builtin_shufflevector(larger, mean, 0, 4, 1, 5);
    const BlockLanes high = __builtin_shufflevector(larger, mean, 2, 6, 3, 7);
    std::memcpy(&modSourceValues[SOURCE_INPUT], &low, sizeof low);
    std::memcpy(&modSourceValues[SOURCE_BLOCK_OUT[1]], &high, sizeof high);
    modSourceValues[SOURCE_OUT] = engine::largerOf(levelOutput[0], levelOutput[1]);
    modSourceValues[SOURCE_OUT + 1] = engine::meanMagnitude(levelOutput[0], levelOutput[1]);
}

void APlugin::noteQuietSpan() {
    // What holds sound (the Delay, combs, rooms, grains), and the motion that may let it out again
    // after a quiet stretch (gaters, replays): motion alone brings back nothing.
    double span = 0.0, motion = 0.0;
    if (delayActive)
        span += delayLengthsModulated ? TDelay::kMaxLength + 1.0
                                      : static_cast<double>(delay.longestLength()) + 1.0;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        switch (blockType[b]) {
            case TYPE_COMB:  // two sub-samples per frame, in 1/256 of one
                span += std::max(comb[b].delayL, comb[b].delayR) / 512.0 + 1.0;
                break;
            case TYPE_ROOM:
                span += reverb[b].longestPath();
                break;
            case TYPE_GRAIN: {
                int longest = 0;
                for (int k = 0; k < GRAINS_PER_BLOCK; ++k)
                    longest = std::max(longest, grainSlots[b].framesToEnd(k));
                span += longest;
                break;
            }
            default:
                break;
        }
        if (gaterActive[b]) motion += stepSequencer[b].periodFrames();
        // A replaying pad comes round in its period at the speed it moves now (there and back in
        // ping-pong), and its glide takes about 1 / c frames more to arrive.
        const XYState& s = xy[b];
        if (s.recordMode == XY_REPLAY && s.playing && !s.timing.still) {
            const double step = s.timing.pointsPerFrameAtSpeed * s.speedFactor *
                                static_cast<double>(modValues[DESTINATION_BLOCK_XY_SPEED[b]]);
            const double lap = s.loopMode == XY_PING_PONG ? 2.0 * XY_SPAN : XY_SPAN;
            motion += step > 0.0 ? lap / step : 0.0;
            if (s.timing.holdIncrement > 0.0) motion += 1.0 / s.timing.holdIncrement;
            motion += 1.0 / static_cast<double>(s.glideNew[0]);
        }
    }
    if (span > 0.0) span += motion;
    quietSpan = static_cast<uint32_t>(span < 4e9 ? span : 4e9);  // NaN as the longest
}

// Each type's three targets take the pad's X/Y routing t1..t3 on top of their modulation.
BlockLanes APlugin::processFilter(int b, BlockLanes in) {
    // The parameters first: an atomic read between the setters' stores and update's reads would
    // make the compiler read those fields back from memory.
    if (!quietFrame) {
        TFilter& f = *engine::pinned(&filter[b]);
        const int P = blockParam(b, 0);
        const float* V = &modValues[destinationBase(b)];
        const float distort = param(P + FILTER_DISTORT_OFFSET), freq = param(P + FILTER_FREQ_OFFSET);
        const float spread = param(P + BLOCK_SPREAD_OFFSET), q = param(P + FILTER_Q_OFFSET);
        const float vowel = param(P + FILTER_VOWEL_OFFSET), gain = param(P + FILTER_GAIN_OFFSET);
        memo[b].filterSettings = BlockLanes{distort, q, vowel, gain} + BlockLanes{V[0], V[4], V[5], V[5]};
        f.setFrequency(freq, spread + V[11], V[2], V[3]);
    }
    return filterFrame(filterRunOf(b), in);
}

// In a quiet frame a replaying pad moves only its targets: the rest stands as the frame before the
// run left it.
inline APlugin::FilterRun APlugin::filterRunOf(int b) {
    return {engine::pinned(&filter[b]),
            modValues[destinationBase(b) + 1],
            xyTargets[b],
            memo[b].filterSettings,
            targetsHold(b),
            !firstFrame};
}

[[gnu::always_inline]] inline BlockLanes APlugin::filterFrame(const FilterRun& run, BlockLanes in) {
    TFilter& f = *run.filter;
    const float* t = run.targets;
    // The setters hold their values to 0..1; they run only when a value moved.
    if (!run.hold) f.setControls(run.settings + BlockLanes{t[0], t[2], t[2], t[2]});
    const float mod = run.freqMod + t[1];
    // In a quiet frame whose pad does not replay nothing but the smoothing moves the filter: once
    // its update changed nothing, the same update is not run again.
    if (run.hold) return f.updateAndProcess<true>(mod, run.smooth, in);
    return f.updateAndProcess(mod, run.smooth, in);  // jumps in the first frame after a reset
}

BlockLanes APlugin::processComb(int b, BlockLanes in) {
    TCombFilter& c = comb[b];
    const int P = blockParam(b, 0);
    const float* V = &modValues[destinationBase(b)];
    const float* t = xyTargets[b];
    // In a quiet frame the knobs with their modulation stand from the frame before the run.
    BlockMemos::CombKnobs& k = memo[b].combKnobs;
    if (!quietFrame)
        k = {param(P + COMB_FREQ_OFFSET),
             V[1] + V[0],
             param(P + BLOCK_SPREAD_OFFSET) + V[11],
             param(P + COMB_FEED_OFFSET) + V[3],
             param(P + COMB_DAMP_OFFSET) + V[4],
             clamp01(param(COMB_RANDOM_TAG[b]) + V[5])};
    c.setComb(k.freq, k.modL + t[0], V[0] + t[0] + V[2], k.spread, clamp01(k.feed + t[1]),
              clamp01(k.damp + t[2]), k.random, firstFrame != 0);
    return c.process(in);
}

BlockLanes APlugin::processShaper(int b, BlockLanes in) {
    TShaper& s = shaper[b];
    const int P = blockParam(b, 0);
    const float* V = &modValues[destinationBase(b)];
    const float* t = xyTargets[b];
    // In a quiet frame the knobs stand from the frame before the run.
    BlockMemos::ShaperKnobs& k = memo[b].shaperKnobs;
    if (!quietFrame) {
        const int mode = getShaperMode(b);
        // Ring Mod uses the Symmetry knob, the modulation modes the Envelope knob; Low-Fi has its
        // own four and its filter choice.
        k.lowFiFilter = 0.0f;
        if (mode == SHAPER_MODE_LOWFI) {
            for (int n = 0; n < 4; ++n) k.a[n] = param(P + SHAPER_BP_FREQ_OFFSET + n);
            k.lowFiFilter = param(SHAPER_LOWFI_FILTER_TAG[b]);
        } else {
            for (int n = 0; n < 3; ++n) k.a[n] = param(P + SHAPER_WAVE_OFFSET + n);
            k.a[3] = param(P + (mode == SHAPER_MODE_RING ? SHAPER_SYM_OFFSET : SHAPER_ENV_OFFSET));
        }
        k.spread = param(P + BLOCK_SPREAD_OFFSET) + V[11];
    }
    s.setDistort(k.a[0], k.a[1], k.a[2], k.a[3], k.spread, V[0] + t[0], V[1] + t[1], V[2] + t[2], V[3], V[4],
                 k.lowFiFilter, firstFrame != 0);
    return s.process(in);
}

namespace {

// (o1 + o3) and (o2 + o4) side by side, then spread to both sub-samples of their side (lanes 2 and
// 3 of the sums are not used).
inline BlockLanes roomOutput(TBasicReverb& room, BlockLanes in) {
    typedef int32_t Pick __attribute__((vector_size(16)));
    const BlockLanes pairs = channelPairs(in);
    const BlockLanes o = room.process(pairs[LANE_LA], pairs[LANE_RA]);
    const BlockLanes sums =
        (o + __builtin_shuffle(o, Pick{2, 3, 0, 1})) * pairConstant(0.707f) * pairConstant(0.9f);
    return __builtin_shuffle(sums, Pick{0, 0, 1, 1});
}

}  // namespace

BlockLanes APlugin::processRoom(int b, BlockLanes in) {
    TBasicReverb& room = *engine::pinned(&reverb[b]);
    BlockMemos& memos = *engine::pinned(&memo[b]);
    const int64_t frame = sampleCounter.load(std::memory_order_relaxed);
    // Held targets in a quiet frame: the last frame's settings stand, and rest as below.
    if (targetsHold(b)) {
        const bool rest = memos.roomSettingsMatch && memos.roomHighPass == memos.roomHighPass;
        if ((frame & 7) != 0 && rest && room.lengthsFollow()) return roomOutput(room, in);
        return controlRoom(b, in, memos.roomSettings, rest);
    }

    // Length, damping, high-pass and spread with their modulation. While all four rest so does
    // all that follows from them, but for new length factors; a reset or a new rate forgets the
    // high-pass. The room size is a constant that resetEverything sets.
    const int P = blockParam(b, 0);
    const float* V = &modValues[destinationBase(b)];
    const float* t = xyTargets[b];
    // In a quiet frame under a replaying pad the knobs with their modulation stand.
    if (!quietFrame)
        memos.roomKnobs = BlockLanes{param(P + ROOM_LENGTH_OFFSET), param(P + ROOM_DAMP_OFFSET),
                                     param(P + ROOM_HP_OFFSET), param(P + BLOCK_SPREAD_OFFSET)} +
                          BlockLanes{V[0], V[1], V[2], V[11]};
    const BlockLanes settings = memos.roomKnobs + BlockLanes{t[0], t[1], t[2], -0.0f};
    const bool rest = allEqual(settings, memos.roomSettings) && memos.roomHighPass == memos.roomHighPass;
    // Most frames have nothing to set: those call nothing but the room, and so keep no registers.
    if ((frame & 7) != 0 && rest && room.lengthsFollow()) return roomOutput(room, in);
    return controlRoom(b, in, settings, rest);
}

// processRoom over a run's frames while the pad's targets hold: the frame counter advanced frame by
// frame as runBlockStage does, the held settings looked at once and again only after a frame that
// set the room. A leading control frame's Room takes its settings first.
void APlugin::roomRun(int b, const BlockLanes* in, BlockLanes* out, int n, int lead, int64_t frame) {
    int q = 0;
    if (lead) {
        sampleCounter.store(frame + 1, std::memory_order_relaxed);
        quietFrame = false;
        out[0] = wetDryMix(blockMix[b], in[0], processRoom(b, in[0]));
        quietFrame = true;
        q = 1;
    }
    TBasicReverb& room = *engine::pinned(&reverb[b]);
    const BlockMemos& memos = *engine::pinned(&memo[b]);
    const BlockMix mix = blockMix[b];
    bool steady = false;
    auto look = [&] {
        const bool rest = memos.roomSettingsMatch && memos.roomHighPass == memos.roomHighPass;
        steady = rest && room.lengthsFollow();
        return rest;
    };
    bool rest = look();
    for (; q < n; ++q) {
        const int64_t f = frame + 1 + q;
        sampleCounter.store(f, std::memory_order_relaxed);
        BlockLanes wet;
        if ((f & 7) != 0 && steady) {
            wet = roomOutput(room, in[q]);
        } else {
            wet = controlRoom(b, in[q], memos.roomSettings, rest);
            rest = look();
        }
        out[q] = wetDryMix(mix, in[q], wet);
    }
}

// processRoom where the LFOs step, settings move or the lengths have new factors to take.
BlockLanes APlugin::controlRoom(int b, BlockLanes in, BlockLanes settings, bool rest) {
    TBasicReverb& room = reverb[b];
    BlockMemos& memos = memo[b];
    const int64_t frame = sampleCounter.load(std::memory_order_relaxed);
    if ((frame & 7) == 0) stepRoomLfos(b, frame);
    if (rest) {
        room.refreshLength();
    } else {
        memos.roomSettings = settings;
        room.setDamp(clamp01(settings[1]));
        const float highPass = clamp01(settings[2]);
        if (!(highPass == memos.roomHighPass)) {
            room.setFilter(0.0f, highPass);
            memos.roomHighPass = highPass;
        }
        const float l = std::max(0.0f, settings[0]);
        const float a = memos.roomLength((0.5f * l + 0.4f) * 6.0f - 6.0f);
        room.setLength(a, 0.9f * a * memos.roomSpread(0.4f * settings[3]));
        memos.roomSettingsMatch = allEqual(settings, settings);
    }
    return roomOutput(room, in);
}

// The room's length factors every 16 frames and its widening taps every 8, four LFOs each.
void APlugin::stepRoomLfos(int b, int64_t frame) {
    TBasicReverb& room = reverb[b];
    const float* V = &modValues[destinationBase(b)];
    typedef int32_t Whole __attribute__((vector_size(16)));
    auto lanes = [](const float(&v)[4]) { return BlockLanes{v[0], v[1], v[2], v[3]}; };
    // Wrapped, so hours of running lose no phase resolution; the phases stay above 0.
    auto wrap = [&lanes](float(&phase)[4], BlockLanes step) {
        BlockLanes p = lanes(phase) + step;
        if (allLanes((p > 0.0f) & (p < 2147483648.0f))) {
            p -= __builtin_convertvector(__builtin_convertvector(p, Whole), BlockLanes);
        } else {
            for (int k = 0; k < 4; ++k) p[k] -= engine::floorOf(p[k]);
        }
        std::memcpy(phase, &p, sizeof p);
        return p;
    };
    if ((frame & 15) == 0) {
        const float speed = memo[b].roomModSpeed(4.0f * V[4]);
        const float depth = std::max(0.0f, param(blockParam(b, 0) + ROOM_MOD_OFFSET) + V[3]);
        const BlockLanes phase = wrap(roomModPhase[b], splat(speed) * lanes(ROOM_MOD_RATE));
        float m[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        // Without depth every factor is 1 whatever the sine.
        if (depth != 0.0f)
            for (int k = 0; k < 4; ++k) m[k] = 1.0f + 0.1f * depth * std::sin(6.28318f * phase[k]);
        room.setMod(m[0], m[1], m[2], m[3]);
    }
    const BlockLanes phase = wrap(roomWidenPhase[b], lanes(ROOM_WIDEN_RATE));
    const BlockLanes depth = lanes(ROOM_WIDEN_DEPTH), one = splat(1.0f);
    const Whole noSign = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    const BlockLanes bent =
        reinterpret_cast<BlockLanes>(reinterpret_cast<Whole>(2.0f * phase - one) & noSign);
    const BlockLanes tri = (one - bent) * depth + (one - depth);
    room.setWiden(tri * lanes(fixedLengths) + one);
}

inline float APlugin::grainLength(int mode, float v, float pow2EightV) const {
    if (mode & 1) return GRAIN_SYNCED_LENGTHS[grainSyncedRow(v)] * samplesPerBar;
    return pow2EightV * storedRate / 1000.0f;  // 1 .. 256 ms
}

float APlugin::getGrainSize(int block, float v, float factor) const {
    if (!isBlock(block)) return 0.0f;
    return grainLength(getGrainMode(block), v, std::exp2(8.0f * v)) * factor;
}

// The Block's sizes, interval and speed from its knobs, modulation and pad, and a grain started
// when the interval is up; kept in the memos for the quiet frames that follow. Inline: out of line
// it costs the frame more than the call.
__attribute__((always_inline)) inline float APlugin::stepGrainSettings(int b) {
    const int G = GRAIN_WRITE_SIZE_TAG[b];
    const float* V = &modValues[destinationBase(b)];
    const float* t = xyTargets[b];
    const int mode = getBlockChoice<GRAIN_MODE_TAG>(b);  // getGrainMode, inline

    const float ws = clamp01(param(G) + V[2] + t[1]);
    const float rs = clamp01(param(G + 3) + V[3] + t[2]);
    BlockMemos& m = memo[b];
    const float rate = param(G + 1);
    const bool linked = getOnOff(GRAIN_UNLINK_TAG[b]);
    // Linked, the write size matters only when a grain starts: a pad moving it costs no
    // exponential in the frames between.
    const auto writeLength = [&] {
        return grainLength(mode, ws, m.grainWrite(8.0f * ws)) * grainWriteFactor[b];
    };
    const float interval = linked ? grainLength(mode, rate, m.grainInterval(8.0f * rate))
                                  : m.grainInterval(8.0f * rate - 4.0f) * writeLength() * grainReadFactor[b];

    const int frames = engine::truncToInt(interval);
    // A grain that starts moves the jitter, and so the next frame's interval.
    bool kept = true;
    if (grainCounter[b] < frames) {
        ++grainCounter[b];
    } else {
        const float write = writeLength();
        // The next grain's sizes jitter by up to +-10 % with Random; this one keeps the old factors.
        const float read = linked ? grainReadFactor[b] * grainLength(mode, rs, m.grainRead(8.0f * rs))
                                  : m.grainReadRatio(8.0f * rs - 4.0f) * write;
        const float r = clamp01(param(G + 6) + V[5]);
        grainWriteFactor[b] = 1.0f + (0.2f * nextRandom() - 0.1f) * r;
        grainReadFactor[b] = 1.0f + (0.2f * nextRandom() - 0.1f) * r;
        const int s = grainSlot[b];
        const int writeSize = engine::truncToInt(write);
        TGrainTape& tape = grainTape[b];
        const float shape = param(G + 2) + V[4];
        const float power = shape < 0.0f ? 0.125f : std::exp2(6.0f * std::min(shape, 1.0f) - 3.0f);
        grainSlots[b].trigger(s, writeSize, engine::truncToInt(read), tape.next(), mode, power);
        const uint32_t now = tape.written(), end = now + TGrain::framesToRecord(writeSize) - 1;
        grainRecordEnd[b][s] = end;
        if (grainRecording[b] == 0 || end - now < grainNextEnd[b] - now) grainNextEnd[b] = end;
        grainRecording[b] |= 1u << s;
        grainCounter[b] = 0;
        grainSlot[b] = (s + 1) % GRAINS_PER_BLOCK;
        kept = false;
    }

    const int semitones = static_cast<int>(param(G + 4) * 24.99f) - 12;
    const float speed = m.grainSpeed((static_cast<float>(semitones) + 12.0f * (t[0] + V[0])) / 12.0f +
                                     (2.0f * param(G + 5) - 1.0f + V[1]) / 12.0f);
    m.grainSettings = BlockMemos::GrainSettings{speed, frames, kept};
    return speed;
}

BlockLanes APlugin::processGrain(int b, BlockLanes in) {
    static_assert(GRAINS_PER_BLOCK == TGrainSlots::kSlots);
    TGrainSlots& slots = grainSlots[b];
    // In a quiet frame under a pad that holds, the interval and the speed are the last frame's
    // (unless a grain started in it), and only a grain to start needs the settings.
    const BlockMemos::GrainSettings& kept = memo[b].grainSettings;
    float speed;
    if (kept.valid && targetsHold(b) && grainCounter[b] < kept.interval) {
        ++grainCounter[b];
        speed = kept.speed;
    } else {
        speed = stepGrainSettings(b);
    }

    // Only the playing slots: idle ones give silence and recording ones silence with weights 0.
    // One that ends its recording below plays from the next frame.
    uint32_t recordingSlots = grainRecording[b];
    const TGrain::Quad sums = slots.anyPlaying() ? slots.play(speed) : TGrain::Quad{};
    // The recording slots share one tape: a frame writes it once and visits the slots only when
    // the nearest recording ends.
    if (recordingSlots != 0) {
        TGrainTape& tape = grainTape[b];
        const uint32_t frame = tape.written();
        tape.write(in[LANE_LA], in[LANE_RA]);
        if (frame == grainNextEnd[b]) {
            uint32_t nearest = UINT32_MAX;  // frames from this one to the next end
            for (uint32_t busy = recordingSlots; busy != 0; busy &= busy - 1) {
                const int k = __builtin_ctz(busy);
                const uint32_t left = grainRecordEnd[b][k] - frame;
                if (left == 0) {
                    slots.recorded(k);
                    recordingSlots &= ~(1u << k);
                } else {
                    nearest = std::min(nearest, left);
                }
            }
            grainNextEnd[b] = frame + nearest;
        }
    }
    grainRecording[b] = recordingSlots;
    grainPlain[b][0] = sums[2];
    grainPlain[b][1] = sums[3];
    return lanesOf(sums[0], sums[1]);
}
