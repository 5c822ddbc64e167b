// The frame of the audio engine: the work once per call, the steps of every frame in their
// order, the 128-, 16- and 4-frame control schedule, host tempo and transport, the modulation
// matrix, the engine's noise generator and the resets.

#include "dsp/DspRandom.h"
#include "effect/APlugin.h"
#include "effect/EngineMath.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

using engine::clamp01;

Relaxed<uint32_t> APlugin::RandSeed{1u};

namespace {

// Gater speed factors, in steps per sixteenth note.
constexpr double GATER_SPEED_ARRAY[17] = {1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3,
                                          1.0 / 2,  2.0 / 3,  1.0,     1.5,     2.0,     3.0,
                                          4.0,      6.0,      8.0,     12.0,    16.0};

// A host sample that is NaN or infinite would poison every recursive state downstream. Lane
// by lane, for one frame's pair or two frames' side by side.
template <typename Lanes>
inline Lanes finiteOrZero(Lanes x) {
    typedef int32_t Bits __attribute__((vector_size(sizeof(Lanes))));
    const Bits finite = x - x == Lanes{};  // NaN for infinity and NaN alike
    return std::bit_cast<Lanes>(std::bit_cast<Bits>(x) & finite);
}

const float SILENT_INPUT = 0.0f;

// The noise seed after the 2k draws of k frames (k up to a quiet run's 14 frames before its
// last), each as one affine step.
struct SeedJump {
    uint32_t multiplier, offset;
};
constexpr std::array<SeedJump, 15> NOISE_SEED_JUMPS = [] {
    std::array<SeedJump, 15> jumps{};
    for (int k = 0; k < 15; ++k) {
        const uint32_t offset = DspRandom::advanced(0u, 2 * k);
        jumps[k] = {DspRandom::advanced(1u, 2 * k) - offset, offset};
    }
    return jumps;
}();

}  // namespace

void APlugin::processReplacing(float** inputs, float** outputs, int sampleFrames) {
    hostTimeInfo = getTimeInfo(timePpqPosValid | timeTempoValid);
    if (resetPending.exchange(false, std::memory_order_acquire)) resetEngineNow();
    // A new rate rebuilt the modules between calls: what they were set to is set again.
    if (!(storedRate == engineRate)) {
        engineRate = storedRate;
        delayDirty = controlDirty = true;
        for (XYState& s : xy) s.timingStale = true;  // the rate and the bar moved
    }
    if (isEditorOpen()) {
        const double now = static_cast<double>(std::clock());
        if (now - lastXYDisplayClock > 40.0) {
            if (editorLink) editorLink->updateXYDisplay();
            lastXYDisplayClock = now;
        }
    }

    // The channel pointers hold for the whole call; a missing channel reads as silence, one
    // silent sample read again and again.
    const float* inL = inputs && inputs[0] ? inputs[0] : &SILENT_INPUT;
    const float* inR = inputs && inputs[1] ? inputs[1] : &SILENT_INPUT;
    const std::ptrdiff_t stepL = inL == &SILENT_INPUT ? 0 : 1, stepR = inR == &SILENT_INPUT ? 0 : 1;
    float* outLeft = outputs ? outputs[0] : nullptr;
    float* outRight = outputs ? outputs[1] : nullptr;

    // The steps every frame takes, quiet or not, in their order within the frame.
    auto countRefresh = [this]() __attribute__((always_inline)) {
        // Only this thread counts; setProgram may restart the count from another.
        const uint32_t refresh = refreshCounter;
        if ((refresh & 0xFFFu) == 0 && displayRefreshPending) {
            displayRefreshPending = 0;
            editorResume();
        }
        refreshCounter = refresh + 1;
    };
    auto drawNoise = [this]() __attribute__((always_inline)) {
        modSourceValues[SOURCE_OFFSET] = 1.0f;
        // Two successive draws, taken with one read and one write of the seed.
        uint32_t seed = RandSeed.load();
        const float u = randomUnit(seed), u2 = randomUnit(seed);
        RandSeed.store(seed);
        modSourceValues[SOURCE_WHITE_NOISE] = 2.0f * u - 1.0f;
        modSourceValues[SOURCE_UNIPOLAR_NOISE] = u2;
    };
    auto followInput = [this]() __attribute__((always_inline)) {
        follower.update((std::fabs(followerInput[0]) + std::fabs(followerInput[1])) * 0.5f, firstFrame != 0);
        modSourceValues[SOURCE_FOLLOWER] = follower.getValue();
    };
    auto runSignal = [&](int i, auto path) __attribute__((always_inline)) {
        // Read here, not live across the steps before.
        const FramePair in = finiteOrZero(FramePair{*inL, *inR});
        inL += stepL;
        inR += stepR;
        if (followerSource == 0) std::memcpy(followerInput, &in, sizeof followerInput);
        std::memcpy(levelInput, &in, sizeof levelInput);

        const FramePair out = path(in);
        if (outLeft) outLeft[i] = out[0];
        if (outRight) outRight[i] = out[1];
    };

    auto runGaters = [this]() __attribute__((always_inline)) {
        // A gater that neither gates its Block nor feeds a slot does not run: its sources and
        // shown step are written again only after a restart, a start or a stop moved them.
        const bool gatersRun = anyGaterActive || stepSequencer[0].shownMoved() ||
                               stepSequencer[1].shownMoved() || stepSequencer[2].shownMoved();
        // Written out per Block: each one's addresses are then fixed.
        auto runGater = [this](int b) __attribute__((always_inline)) {
            TStep& steps = stepSequencer[b];
            if (!gaterActive[b] && !steps.takeShownMoved()) return;
            steps.getValue(modSourceValues[SOURCE_GATER_LEFT[b]], modSourceValues[SOURCE_GATER_RIGHT[b]]);
            if (gaterActive[b]) steps.process();
            gaterStepShown[b] = steps.getStep();
        };
        static_assert(BLOCK_COUNT == 3);
        if (gatersRun) {
            runGater(0);
            runGater(1);
            runGater(2);
        }
    };

    for (int i = 0; i < sampleFrames; ++i) {
        // Only this thread advances the counter; the editor reads it to time XY recordings.
        const int64_t frame = sampleCounter.load(std::memory_order_relaxed);
        if (pendingMidiCount > 0) processMidi();
        if (settingsSeen.moved(valuesVersion)) readEngineSettings();

        countRefresh();

        // With no slot in use every destination rests at its base.
        if (modSlotsActive || modTouchedCount != 0) runModulationMatrix();

        drawNoise();

        if ((frame & 127) == 0) controlStep128();
        if ((frame & 15) == 0) controlStep16();
        // The step levels matter only to a gater that runs.
        if ((frame & 3) == 0 && anyGaterActive) gaterStep4();

        if (blockLevelsMayMove()) updateBlockLevels();

        followInput();

        updateXYFrame();

        runGaters();

        // A control frame after which a run would go stage by stage leads the run: its signal
        // takes the run's first stage. Nothing in its signal moves what decides the run (Trigger
        // is not set; a Comb's Random is read as its signal will read it).
        RunControls controls;
        bool ahead = false;
        int lead = 0;
        if (modSlotsHold && (frame & 15) == 0 && i + 1 < sampleFrames && quietFrameAhead()) {
            ahead = true;
            controls.lead = 1;
            lead = quietRunStaged(controls) ? 1 : 0;
            controls.lead = lead;
        }
        // A leading frame's counter moves with its run's signal, which never takes it back.
        if (!lead) {
            runSignal(i, [this](FramePair in) { return runSignalPath(in); });

            // Trigger is a one-shot: the XY triggers saw it in this frame.
            if (param(TRIGGER_PARAM) > 0.5f) setParameter(TRIGGER_PARAM, 0.0f);
            sampleCounter.store(frame + 1, std::memory_order_relaxed);
        }

        noteOnFlag = 0;
        noteOffFlag = 0;
        firstFrame = 0;

        // Up to the next control step, a frame after which nothing but the signal moves takes
        // only the signal's steps: no MIDI waits, no value was written, no slot's source moves,
        // the levels stand settled and the pads are steady (a replay still steps, and so do the
        // gaters). What another thread writes meanwhile is read at the next control step, at
        // most 15 frames on.
        if (!modSlotsHold || !(ahead || quietFrameAhead())) continue;  // a leading frame is ahead
        const int quiet = std::min(static_cast<int>(15 - (frame & 15)), sampleFrames - 1 - i);
        quietFrame = true;
        quietFramesTaken += quiet;
        // The path, and whether a pad replays or a gater runs, hold for the whole run: each is
        // looked at once.
        const bool replaying =
            xy[0].recordMode == XY_REPLAY || xy[1].recordMode == XY_REPLAY || xy[2].recordMode == XY_REPLAY;
        // Only a running gater moves its shown step in the run.
        const bool gatersStep = anyGaterActive;
        const bool gatersRun = gatersStep || stepSequencer[0].shownMoved() || stepSequencer[1].shownMoved() ||
                               stepSequencer[2].shownMoved();
        // Unless a Grain Block draws from the same generator or a replaying pad reads the noise,
        // the noise is read first in the frame after the run: the seed skips the run's draws
        // but the last frame's, and that frame draws as every frame does.
        const bool noiseRead = [this] {
            for (int b = 0; b < BLOCK_COUNT; ++b) {
                const int source = xy[b].replaySettings.modSource;
                if (blockType[b] == TYPE_GRAIN ||
                    (xy[b].recordMode == XY_REPLAY &&
                     (source == SOURCE_WHITE_NOISE || source == SOURCE_UNIPOLAR_NOISE)))
                    return true;
            }
            return false;
        }();
        const int drawFrom = noiseRead ? 0 : quiet - 1;
        if (drawFrom > 0) {
            const SeedJump& jump = NOISE_SEED_JUMPS[drawFrom];
            RandSeed.store(RandSeed.load() * jump.multiplier + jump.offset);
        }
        auto quietRun = [&](auto path) __attribute__((always_inline)) {
            for (int q = 0; q < quiet; ++q) {
                ++i;
                countRefresh();
                if (q >= drawFrom) drawNoise();
                if (gatersStep && ((frame + 1 + q) & 3) == 0) gaterStep4();
                followInput();
                if (replaying) replayPads();
                if (gatersRun) runGaters();
                runSignal(i, path);
                sampleCounter.store(frame + 2 + q, std::memory_order_relaxed);
            }
        };
        // A control frame that could not lead found the run not staged: its signal moved nothing
        // that decides it.
        if (lead || (quiet > 0 && !ahead && quietRunStaged(controls))) {
            // The controls first, frame by frame in their order, keeping what each Block takes
            // from them; then the signal stage by stage, and the follower over what it measured.
            // Only a replaying pad moves its Block's targets, and only a running gater its levels:
            // the first frame keeps every Block's, the frames after only what moves.
            int movingTargets[BLOCK_COUNT], movingGaters[BLOCK_COUNT], targetsMove = 0, gatersMove = 0;
            for (int b = 0; b < BLOCK_COUNT; ++b) {
                const bool reads = !frameSettings.blockBypass[b] && blockType[b] != TYPE_OFF;
                controls.targetStride[b] = reads && xy[b].recordMode == XY_REPLAY ? 1 : 0;
                controls.gaterStride[b] = reads && blockType[b] == TYPE_GATER && gatersRun ? 1 : 0;
                if (controls.targetStride[b]) movingTargets[targetsMove++] = b;
                if (controls.gaterStride[b]) movingGaters[gatersMove++] = b;
            }
            auto keepGater = [&](int q, int b) __attribute__((always_inline)) {
                controls.gater[q][b][0] = modSourceValues[SOURCE_GATER_LEFT[b]];
                controls.gater[q][b][1] = modSourceValues[SOURCE_GATER_RIGHT[b]];
            };
            // Index k is the run's frame k: the leading frame's first.
            auto keepControls = [&](int k) __attribute__((always_inline)) {
                if (k == 0) {
                    for (int b = 0; b < BLOCK_COUNT; ++b) {
                        controls.targets[0][b] = padTargets(b);
                        keepGater(0, b);
                    }
                    return;
                }
                for (int m = 0; m < targetsMove; ++m)
                    controls.targets[k][movingTargets[m]] = padTargets(movingTargets[m]);
                for (int m = 0; m < gatersMove; ++m) keepGater(k, movingGaters[m]);
            };
            if (lead) keepControls(0);
            // The run's refresh counts at once: the check falls due at most once in it.
            auto countRefreshRun = [&]() __attribute__((always_inline)) {
                const uint32_t refresh = refreshCounter;
                if (((0u - refresh) & 0xFFFu) < static_cast<uint32_t>(quiet) && displayRefreshPending) {
                    displayRefreshPending = 0;
                    editorResume();
                }
                refreshCounter = refresh + static_cast<uint32_t>(quiet);
            };
            if (!replaying && !gatersRun) {
                // Only the counter and the noise move.
                countRefreshRun();
                for (int q = drawFrom; q < quiet; ++q) drawNoise();
                keepControls(lead);
            } else if (!gatersRun) {
                // Only the replaying pads move. Unless one reads the noise, the one draw of the
                // run's last frame reads nothing before the run ends.
                countRefreshRun();
                if (drawFrom == 0) {
                    for (int q = 0; q < quiet; ++q) {
                        drawNoise();
                        replayPads();
                        keepControls(q + lead);
                    }
                } else {
                    // The first frame keeps every Block's targets, the frames after only the
                    // replaying pads'.
                    replayPads();
                    keepControls(lead);
                    replayPadsRun(&controls.targets[1 + lead], quiet - 1);
                    drawNoise();
                }
            } else {
                for (int q = 0; q < quiet; ++q) {
                    countRefresh();
                    if (q >= drawFrom) drawNoise();
                    if (gatersStep && ((frame + 1 + q) & 3) == 0) gaterStep4();
                    if (replaying) replayPads();
                    if (gatersRun) runGaters();
                    keepControls(q + lead);
                }
            }
            // Both channels' frames side by side, two frames at a time where both are there.
            // The run's n frames, the leading frame's first: its input not yet read.
            const int n = quiet + lead;
            FramePair in[QUIET_RUN_FRAMES + 1], out[QUIET_RUN_FRAMES + 1], follow[QUIET_RUN_FRAMES];
            int q = 0;
            if (stepL == 1 && stepR == 1) {
                for (; q + 1 < n; q += 2) {
                    FramePair left, right;
                    std::memcpy(&left, inL + q, sizeof left);
                    std::memcpy(&right, inR + q, sizeof right);
                    const BlockLanes two = finiteOrZero(__builtin_shufflevector(left, right, 0, 2, 1, 3));
                    std::memcpy(&in[q], &two, sizeof two);
                }
                inL += q;
                inR += q;
            }
            for (; q < n; ++q) {
                in[q] = finiteOrZero(FramePair{*inL, *inR});
                inL += stepL;
                inR += stepR;
            }
            std::memcpy(levelInput, &in[n - 1], sizeof levelInput);
            const FramePair* measured = runStages(in, out, follow, n, controls, frame - lead);
            // followInput, frame by frame: each frame measures what the frame before left.
            float levels[QUIET_RUN_FRAMES];
            // The leading frame measured what the frame before it left before its controls.
            const FramePair first = lead ? measured[0] : FramePair{followerInput[0], followerInput[1]};
            levels[0] = (std::fabs(first[0]) + std::fabs(first[1])) * 0.5f;
            for (q = 1; q < quiet; ++q)
                levels[q] =
                    (std::fabs(measured[q - 1 + lead][0]) + std::fabs(measured[q - 1 + lead][1])) * 0.5f;
            follower.updateRun(levels, quiet);
            modSourceValues[SOURCE_FOLLOWER] = follower.getValue();
            std::memcpy(followerInput, &measured[n - 1], sizeof followerInput);
            if (outLeft && outRight) {
                float* const toLeft = outLeft + i + 1 - lead;
                float* const toRight = outRight + i + 1 - lead;
                for (q = 0; q + 1 < n; q += 2) {
                    BlockLanes two;
                    std::memcpy(&two, &out[q], sizeof two);
                    const FramePair left = __builtin_shufflevector(two, two, 0, 2);
                    const FramePair right = __builtin_shufflevector(two, two, 1, 3);
                    std::memcpy(toLeft + q, &left, sizeof left);
                    std::memcpy(toRight + q, &right, sizeof right);
                }
                if (q < n) {
                    toLeft[q] = out[q][0];
                    toRight[q] = out[q][1];
                }
            } else {
                for (q = 0; q < n; ++q) {
                    if (outLeft) outLeft[i + 1 - lead + q] = out[q][0];
                    if (outRight) outRight[i + 1 - lead + q] = out[q][1];
                }
            }
            i += quiet;
            sampleCounter.store(frame + 1 + quiet, std::memory_order_relaxed);
            quietFrame = false;
            continue;
        }
        switch (currentPath) {
            case 0:
                quietRun([this](FramePair in) { return runPath<0>(in); });
                break;
            case 1:
                quietRun([this](FramePair in) { return runPath<1>(in); });
                break;
            case 2:
                quietRun([this](FramePair in) { return runPath<2>(in); });
                break;
            case 3:
                quietRun([this](FramePair in) { return runPath<3>(in); });
                break;
            case 4:
                quietRun([this](FramePair in) { return runPath<4>(in); });
                break;
            default:
                quietRun([this](FramePair in) { return runPath<5>(in); });
                break;
        }
        quietFrame = false;
    }
    // Whoever looks between calls finds the level sources of the last frame.
    publishLevelSources();
    noteQuietSpan();
}

bool APlugin::quietFrameAhead() {
    const uint32_t version = valuesVersion.load(std::memory_order_relaxed);
    // Slots whose sources hold worked out this frame what they would work out in the next.
    return pendingMidiCount == 0 && modSlotsHold && (modSlotsActive || modTouchedCount == 0) &&
           levelsRest() && xySteady == XYSteady::RUNNING && version == settingsSeen.version &&
           version == xySeen.version && !xyAttention.load(std::memory_order_relaxed) &&
           (xyMidiFollowed || !isEditorOpen()) && !(param(TRIGGER_PARAM) > 0.5f);
}

void APlugin::__processDeprecated(float** inputs, float** outputs, int sampleFrames) {
    hostTimeInfo = getTimeInfo(timePpqPosValid | timeTempoValid);
    for (int i = 0; i < sampleFrames; ++i) {
        if (pendingMidiCount > 0) processMidi();
        for (int channel = 0; channel < 2; ++channel) {
            if (outputs && outputs[channel])
                outputs[channel][i] = inputs && inputs[channel] ? inputs[channel][i] : 0.0f;
        }
    }
}

void APlugin::readEngineSettings() {
    readFrameSettings();
    levelsDirty = delayDirty = outputDirty = controlDirty = true;
    const bool readLevels = slotsReadLevels;
    modSlotsActive = levelsModulated = outputModulated = slotsReadLevels = false;
    delayMixModulated = delayLengthsModulated = false;
    activeModSlotCount = 0;
    modSlotsHold = true;
    for (int n = 0; n < MOD_SLOT_COUNT; ++n) {
        ModSlotSettings& slot = modSlots[n];
        slot = {getChoice(MOD_SOURCE_TAG[n], param(MOD_SOURCE_TAG[n])),
                getChoice(MOD_DESTINATION_TAG[n], param(MOD_DESTINATION_TAG[n])),
                2.0f * param(MOD_AMOUNT_TAG[n]) - 1.0f, getOnOff(param(MOD_BYPASS_TAG[n]))};
        if (slot.source == SOURCE_NONE) continue;
        const int d = slot.destination;
        modSlotsActive = true;
        // Between MIDI events only the frame-rate sources move: the MIDI ones and Offset hold.
        modSlotsHold =
            modSlotsHold && (slot.source <= SOURCE_NOTE_RANDOM + 1 || slot.source == SOURCE_OFFSET);
        const int scaleForm = isBipolarSource(slot.source) ? 1 : slot.source == SOURCE_CENTER_NOTE ? 2 : 0;
        activeModSlots[activeModSlotCount++] = {
            slot.source, d, DESTINATION_MOD_AMOUT[n], modCombineKind[d], scaleForm, slot.amount, slot.bypass};
        const int k = d >= BLOCK_DESTINATION_START ? (d - BLOCK_DESTINATION_START) % BLOCK_SLOT_COUNT : -1;
        if (d < destinationBase(BLOCK_COUNT) && k >= DESTINATION_PAN_OFFSET && k <= DESTINATION_VOLUME_OFFSET)
            levelsModulated = true;
        if (d >= DESTINATION_DELAY_SPEED && d <= DESTINATION_DELAY_FINE) delayLengthsModulated = true;
        if (d == DESTINATION_DELAY_MIX) delayMixModulated = true;
        if (d >= DESTINATION_GLOBAL_VOLUME && d <= DESTINATION_GLOBAL_PAN) outputModulated = true;
        if (slot.source >= SOURCE_INPUT && slot.source <= SOURCE_OUT + 1) slotsReadLevels = true;
    }
    // The last frame's levels, for the slot that reads them from this frame on.
    if (slotsReadLevels && !readLevels) publishLevelSources();
}

// Slot n's amount is its own parameter plus what the slots before it sent to "Mod n Amount".
void APlugin::runModulationMatrix() {
    // Only the destinations the slots wrote in the last frame can differ from their base.
    if (modTouchedCount < 0) {
        std::copy(std::begin(modBaseValues), std::end(modBaseValues), std::begin(modValues));
    } else {
        for (int k = 0; k < modTouchedCount; ++k) modValues[modTouched[k]] = modBaseValues[modTouched[k]];
    }
    const int count = activeModSlotCount;
    modTouchedCount = count;
    for (int k = 0; k < count; ++k) {
        const ActiveModSlot& slot = activeModSlots[k];
        const int d = slot.destination;
        modTouched[k] = d;
        const float raw = slot.amount + modValues[slot.amountDestination];
        const float a = slot.bypass ? 0.0f : engine::clampTo(raw, -1.0f, 1.0f);
        float x = modSourceValues[slot.source];
        switch (slot.kind) {
            case COMBINE_ADD:
                modValues[d] += x * a;
                break;
            case COMBINE_EXPONENTIAL:
                modValues[d] *= std::exp2(3.0f * x * a);
                break;
            case COMBINE_SCALE:
                if (slot.scaleForm == 1)
                    x = 0.5f * x + 0.5f;
                else if (slot.scaleForm == 2)
                    x = clamp01(x);
                // A positive amount scales by the source; a negative one by its complement.
                if (a > 0.00001f) {
                    modValues[d] *= x * a + (1.0f - a);
                } else {
                    const float A = std::fabs(a);
                    modValues[d] *= (1.0f - std::fabs(x)) * A + (1.0f - A);
                }
                break;
            default:
                break;
        }
    }
}

void APlugin::controlStep128() {
    const int path = getPath();
    if (path != currentPath) levelsDirty = true;
    currentPath = path;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int t = getBlockType(b);
        // A Block that becomes a Grain Block starts with silent slots; one that stays keeps them.
        if (t != blockType[b]) controlDirty = true;
        if (t == TYPE_GRAIN && blockType[b] != TYPE_GRAIN) silenceGrains(b);
        blockType[b] = t;
    }
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        filter[b].setType(getFilterMode(b), true);
        comb[b].setType(getCombMode(b));
        shaper[b].setType(getShaperMode(b));
        stepSequencer[b].setNumberOfSteps(getGaterSteps(b) + 1);
        stepSequencer[b].setLoopStart(0);
        stepSequencer[b].setLoopMode(getGaterLoopMode(b));  // corrects "off" under a free-running pad
    }
    followerSource = getFollowerSource();
}

void APlugin::controlStep16() {
    // Worked out from the same settings, modulation and tempo, everything here comes out the same:
    // slots whose sources hold move nothing until a MIDI event falls due.
    if (controlDirty || (modSlotsActive && (!modSlotsHold || midiSinceControlStep))) {
        controlDirty = false;
        updateControls16();
        delayDirty = true;  // the Delay's tempo may have moved what its lengths follow from
    }
    midiSinceControlStep = false;
    followHostTransport();
}

void APlugin::updateControls16() {
    const double stepsPerFrame = static_cast<double>(tempo) / 15.0 * static_cast<double>(invSampleRate);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int P = blockParam(b, 0);
        const int D = destinationBase(b);
        stepSequencer[b].setInc(static_cast<double>(modValues[D + DESTINATION_GATER_SPEED_OFFSET]) *
                                GATER_SPEED_ARRAY[getGaterSpeed(b)] * stepsPerFrame);
        stepSequencer[b].setSwing(
            clamp01(param(P + GATER_SWING_OFFSET) + modValues[D + DESTINATION_GATER_SWING_OFFSET]));
        // getEnvelopeValue, its exponential kept while the setting rests.
        const float smooth =
            clamp01(param(P + GATER_SMOOTH_OFFSET) + modValues[D + DESTINATION_GATER_SMOOTH_OFFSET]);
        const float ramp = 1000.0f / (memo[b].gaterRamp(12.0f * smooth) * storedRate);
        stepSequencer[b].setAttack(ramp);
        stepSequencer[b].setDecay(ramp);
    }

    // The slots' sources as this frame's settings read decoded them.
    anyGaterActive = false;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        bool active = blockType[b] == TYPE_GATER;
        for (const ModSlotSettings& slot : modSlots)
            active = active || slot.source == SOURCE_GATER_LEFT[b] || slot.source == SOURCE_GATER_RIGHT[b];
        gaterActive[b] = active ? 1 : 0;
        anyGaterActive = anyGaterActive || active;
    }

    if (getOnOff(DELAY_ON_PARAM)) {
        delay.setTempo(tempo);
        updateDelayLoop();
    }

    follower.setSmooth(clamp01(param(FOLLOWER_SMOOTH_PARAM) + modValues[DESTINATION_FOLLOWER_SMOOTH]));
    follower.setBoost(controlMemo.followerBoost(param(FOLLOWER_BOOST_PARAM)) *
                      modValues[DESTINATION_FOLLOWER_BOOST]);
    followerThreshold = controlMemo.followerThreshold(
        clamp01(param(FOLLOWER_THRESHOLD_PARAM) + modValues[DESTINATION_FOLLOWER_THRESHOLD]));
    const float hold = clamp01(param(FOLLOWER_HOLD_PARAM) + modValues[DESTINATION_FOLLOWER_HOLD]);
    followerHoldSamples = controlMemo.followerHold(14.0f * hold) * storedRate / 1000.0f;

    // Target k of the pad is X * (X amount k) + Y * (Y amount k).
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const int P = blockParam(b, 0);
        const int D = destinationBase(b);
        for (int k = 0; k < 3; ++k) {
            xyAmounts[b][0][k] = engine::clampTo(2.0f * param(P + XY_ASSIGN_OFFSET + k) - 1.0f +
                                                     modValues[D + DESTINATION_X_ASSIGN_OFFSET + k],
                                                 -1.0f, 1.0f);
            xyAmounts[b][1][k] = engine::clampTo(2.0f * param(P + XY_ASSIGN_OFFSET + 3 + k) - 1.0f +
                                                     modValues[D + DESTINATION_Y_ASSIGN_OFFSET + k],
                                                 -1.0f, 1.0f);
        }
    }
}

// The Delay's feedback and loop filter. A restarted Delay has forgotten its loop filter: set
// again at once, not at the next control step, or the frames between write the loop unfiltered
// and the first echo starts with a step.
void APlugin::updateDelayLoop() {
    const bool equalFeed = getOnOff(DELAY_EQUAL_FEED_PARAM);
    delay.setEqual(equalFeed ? 1.0f : 0.0f);
    auto feedOf = [](float v) { return v < 0.0f ? -0.995f : std::min(v, 1.0f) * 1.99f - 0.995f; };
    const float fb = feedOf(param(DELAY_FEEDBACK_PARAM) + modValues[DESTINATION_DELAY_FEEDBACK]);
    const float cross =
        equalFeed ? 0.0f
                  : feedOf(param(DELAY_CROSS_FEEDBACK_PARAM) + modValues[DESTINATION_DELAY_CROSS_FEEDBACK]);
    delay.setFeed(fb, cross);
    delay.setFeedFilter(clamp01(param(DELAY_LP_PARAM) + modValues[DESTINATION_DELAY_LP]),
                        clamp01(param(DELAY_HP_PARAM) + modValues[DESTINATION_DELAY_HP]));
}

void APlugin::followHostTransport() {
    if (!hostTimeInfo) return;
    const VstTimeInfo& info = *hostTimeInfo;
    // A host tempo that is not a number keeps the last one.
    if ((info.flags & timeTempoValid) && std::isfinite(info.tempo)) {
        const float now = static_cast<float>(std::clamp(info.tempo, 1.0, 1200.0));
        if (!(now == tempo)) controlDirty = true;
        tempo = now;
        const float bar = storedRate * 240.0f / tempo;
        // The replay timings follow the bar: told here, they need not compare it every frame.
        if (std::bit_cast<uint32_t>(bar) != std::bit_cast<uint32_t>(samplesPerBar))
            for (XYState& s : xy) s.timingStale = true;
        samplesPerBar = bar;
    }
    const uint32_t now = static_cast<uint32_t>(info.flags) & timeTransportPlaying;
    const uint32_t before = playing[0];
    playing[1] = before;
    playing[0] = now;
    if (now && now != before) restartForPlayback();
}

// Playback starts: every time-based state begins again with the song.
void APlugin::restartForPlayback() {
    controlDirty = delayDirty = true;  // the follower and the Delay start from their defaults
    follower.init(storedRate);
    delay.init(storedRate);
    if (getOnOff(DELAY_ON_PARAM)) updateDelayLoop();
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        filter[b].reset();
        comb[b].reset();
        shaper[b].reset();
        stepSequencer[b].reset();
        silenceGrains(b);
    }
    // Free-running paths start over; their trigger update starts the gaters again this frame.
    restartFreeXYReplays();
}

void APlugin::gaterStep4() {
    typedef int32_t Bits __attribute__((vector_size(16)));
    const uint32_t version = valuesVersion.load(std::memory_order_acquire);
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (!gaterActive[b]) continue;
        const int D = destinationBase(b);
        const float off = clamp01(modValues[D + DESTINATION_GATER_OFF_OFFSET]);
        const float onMod = modValues[D + DESTINATION_GATER_ON_OFFSET];
        const bool padLevels = blockType[b] == TYPE_GATER;
        // In a Gater Block the pad sets the "on" level of every step: first amount pair left,
        // second right.
        float on[2] = {0.0f, 0.0f};
        if (padLevels) {
            const float X = modSourceValues[SOURCE_X[b]];
            const float Y = modSourceValues[SOURCE_Y[b]];
            for (int pair = 0; pair < 2; ++pair) {
                const float ax = xyAmounts[b][0][pair];
                const float ay = xyAmounts[b][1][pair];
                on[pair] = clamp01(clamp01(ax * X + ay * Y + 1.0f - ax - ay) + onMod);
            }
        }
        // The levels come out as last time while no value was written (a step's switch among
        // them) and what they follow from rests, bit for bit.
        GaterLevelsKey& last = gaterLevelsKey[b];
        const BlockLanes levels{off, onMod, on[0], on[1]};
        const Bits moved = std::bit_cast<Bits>(levels) ^ std::bit_cast<Bits>(last.levels);
        if (last.valid && last.version == version && last.padLevels == padLevels &&
            (moved[0] | moved[1] | moved[2] | moved[3]) == 0)
            continue;
        last = GaterLevelsKey{levels, version, padLevels, true};
        for (int i = 0; i < GATER_STEPS_PER_SIDE; ++i) {
            const float l = param(GATER_TAG[b][0] + i);
            const float r = param(GATER_TAG[b][1] + i);
            stepSequencer[b].setStep(i,
                                     l < 0.5f    ? off
                                     : padLevels ? on[0]
                                                 : clamp01(l + onMod),
                                     r < 0.5f    ? off
                                     : padLevels ? on[1]
                                                 : clamp01(r + onMod));
        }
    }
}

void APlugin::resetEverything() {
    resetPending.store(true, std::memory_order_release);
}

void APlugin::resetEngineNow() {
    playing[0] = playing[1] = ~0u;  // no valid state: a running transport restarts the engine
    firstFrame = 1;
    delayDirty = controlDirty = true;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        filter[b].init(storedRate);
        comb[b].init(storedRate);
        shaper[b].init(storedRate);
        stepSequencer[b].reset();
    }
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        reverb[b].setSampleRate(storedRate);
        reverb[b].setRoomSize(0.168f);  // fixed; nothing else sets it
        memo[b].roomHighPass = std::numeric_limits<float>::quiet_NaN();
    }
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (float& phase : roomModPhase[b]) phase = nextRandom();
    for (int b = 0; b < BLOCK_COUNT; ++b)
        for (float& phase : roomWidenPhase[b]) phase = nextRandom();
    delay.init(storedRate);
    if (getOnOff(DELAY_ON_PARAM)) updateDelayLoop();
    follower.init(storedRate);
    clearXYFollowerCounts();
    for (TGrainSlots& slots : grainSlots) slots.reset();
    clearBlockCounters();
}

void APlugin::clearBlockCounters() {
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        grainCounter[b] = 0;
        grainSlot[b] = 0;
        grainRecording[b] = 0;
        memo[b].grainSettings.valid = false;
    }
}

void APlugin::silenceGrains(int b) {
    grainSlots[b].reset();
    grainCounter[b] = 0;
    grainSlot[b] = 0;
    grainRecording[b] = 0;
}

int APlugin::getCurrentGaterSteps(int block) const {
    return isBlock(block) ? gaterStepShown[block].load() : -1;
}
