// The XY motion engine: live, recorded and replayed pad positions, the play modes that start
// and restart the replay, and the editor's access to the XY state.

#include "effect/APlugin.h"
#include "effect/EngineMath.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__SSE__)
#include <xmmintrin.h>
#endif

using engine::clamp01;

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

constexpr float LOOP_ON_VALUE = 0.36789298f;    // steps to Loop "On"
constexpr float MIDI_MOVE_THRESHOLD = 0.0001f;  // smaller MIDI moves are jitter
constexpr float EMPTY_PATH_SECONDS = 0.0001f;   // a free path this short stands still
constexpr float ZERO_TIME_SECONDS = 0.002f;
constexpr int LAST_RECORD_SLOT = APlugin::XY_RECORD_SLOTS - 1;
constexpr float MAX_RECORD_MS = 1e9f;

// The point index for integer position pos (offset 0) or the next point (1), with point step k.
constexpr int pathIndex(int k, int pos, int offset, int loop) {
    // k is a power of two: masking rounds a non-negative pos down to a multiple of it.
    int j = (std::max(pos, 0) & -k) + offset * k;
    if (loop == APlugin::XY_PING_PONG) {
        // The way back mirrors the way out; at each end the turning point is used twice.
        j = j < XY_PATH_POINTS ? std::min(j, XY_PATH_POINTS - k) : 2 * XY_PATH_POINTS - (j + k);
    } else if (j >= XY_PATH_POINTS) {
        j -= XY_PATH_POINTS;
    }
    return std::clamp(j, 0, XY_PATH_POINTS - 1);
}

}  // namespace

// Per loop mode and Point Quant: the two points of every integer position a replay can reach
// (below twice the path, the ping-pong's way back included), and the bound below which a
// position needs no wrapping (with the loop off, the last point used holds).
struct APlugin::XYReplayRow {
    double limit;
    struct PointPair {
        uint8_t first, next;
    };
    std::array<PointPair, 2 * XY_PATH_POINTS> points;
};

namespace {

constexpr int REPLAY_POSITIONS = 2 * XY_PATH_POINTS;
static_assert(APlugin::XY_SPAN * 2.0 <= REPLAY_POSITIONS);
using ReplayTable = std::array<std::array<APlugin::XYReplayRow, 5>, 3>;
constexpr ReplayTable makeReplayTable() {
    ReplayTable t{};
    for (int loop = 0; loop < 3; ++loop)
        for (int q = 0; q < 5; ++q) {
            const int k = APlugin::XY_POINT_STEP[q];
            APlugin::XYReplayRow& row = t[loop][q];
            row.limit = loop == APlugin::XY_LOOP_OFF  ? APlugin::XY_SPAN - k
                        : loop == APlugin::XY_LOOP_ON ? APlugin::XY_SPAN
                                                      : 2.0 * APlugin::XY_SPAN;
            for (int i = 0; i < REPLAY_POSITIONS; ++i)
                row.points[i] = {static_cast<uint8_t>(pathIndex(k, i, 0, loop)),
                                 static_cast<uint8_t>(pathIndex(k, i, 1, loop))};
        }
    return t;
}
constexpr ReplayTable REPLAY_ROWS = makeReplayTable();

// A position at or past its row's limit, negative or not finite, brought back onto the path. A
// runaway speed modulation could carry it past more than one turn, or to infinity: it is
// wrapped whole so no point index ever leaves the path.
[[gnu::noinline]] double wrapReplayPosition(double position, int loop, int k) {
    if (!std::isfinite(position) || position < 0.0) position = 0.0;
    switch (loop) {
        case APlugin::XY_LOOP_OFF:
            if (position >= APlugin::XY_SPAN - k)
                position = APlugin::XY_SPAN - k;  // hold on the last point used
            break;
        case APlugin::XY_LOOP_ON:
            if (position >= APlugin::XY_SPAN) position = std::fmod(position, APlugin::XY_SPAN);
            break;
        default:
            if (position >= 2.0 * APlugin::XY_SPAN) position = std::fmod(position, 2.0 * APlugin::XY_SPAN);
            break;
    }
    return position;
}

// X and Y glide in lanes 0 and 1; the other two carry nothing. Constants whose unused lanes are
// zero load as they are, where four equal lanes would be built from one.
constexpr BlockLanes XY_OFFSET{1e-15f, 1e-15f, 0.0f, 0.0f};

// a and b in lanes 0 and 1, zeros above.
inline BlockLanes pairLanes(float a, float b) {
#if defined(__SSE__)
    return _mm_unpacklo_ps(_mm_set_ss(a), _mm_set_ss(b));  // the loads clear the upper lanes already
#else
    return BlockLanes{a, b, 0.0f, 0.0f};
#endif
}

// A point's X and Y in lanes 0 and 1, zeros above.
inline BlockLanes pointLanes(const float (&point)[2]) {
#if defined(__SSE2__)
    double both;
    std::memcpy(&both, point, sizeof both);
    return _mm_castpd_ps(_mm_set_sd(both));  // one load, the upper lanes cleared
#else
    return BlockLanes{point[0], point[1], 0.0f, 0.0f};
#endif
}

// Each lane on the nearest of levels steps, as snapValue.
[[gnu::noinline]] BlockLanes snapLanes(BlockLanes v, int levels) {
    const auto l = static_cast<float>(levels);
    for (int k = 0; k < 4; ++k) v[k] = clamp01(std::round(v[k] * l) / l);
    return v;
}

// std::clamp to -1..1 in lanes 0 and 1, NaN passed through as it does.
inline BlockLanes clampLanes(BlockLanes v) {
    const BlockLanes low{-1.0f, -1.0f, 0.0f, 0.0f}, high{1.0f, 1.0f, 0.0f, 0.0f};
#if defined(__SSE__)
    // min(a, b) is a < b ? a : b and max(a, b) is a > b ? a : b: hi < v ? hi : v, then
    // v < lo ? lo : that, one instruction each.
    return _mm_max_ps(low, _mm_min_ps(high, v));
#else
    const BlockLanes below = high < v ? high : v;
    return v < low ? low : below;
#endif
}

}  // namespace

const APlugin::XYReplayRow* const APlugin::XY_FIRST_ROW = &REPLAY_ROWS[0][0];

// ----------------------------------------------------------------------------- render thread

int APlugin::quantPos(int k, int pos, int offset, int loop) {
    return pathIndex(k, pos, offset, loop);
}

inline float APlugin::quantInter(int pointQuant, double pos) {
    // Scaling by the reciprocal of a power of two is exact, and cheaper than dividing.
    const double steps = pos * XY_INV_POINT_STEP[pointQuant];
    return static_cast<float>(steps - engine::truncOf(steps));
}

// The per-frame steps are inlined into the frame's XY work; the named operations run the same code.
[[gnu::always_inline]] inline void APlugin::triggerStep(int b, bool attention) {
    XYState& s = xy[b];
    if (attention && s.requests.load(relaxed) != 0) applyXYRequests(b);
    TStep& steps = stepSequencer[b];
    switch (s.playMode) {
        case XY_FREE:
            if (!s.playing) s.planned = false;  // a pad that starts to play steps anew
            s.playing = true;
            steps.start();
            break;
        case XY_TRIGGER:
            if (xyParam(TRIGGER_PARAM) > 0.5f) startXYReplay(b);
            break;
        case XY_FOLLOWER: {
            const bool above = follower.getValue() > followerThreshold;
            if (above && !s.playing) {
                startXYReplay(b);
            } else if (above && static_cast<float>(s.belowThresholdCount) > followerHoldSamples) {
                // A rise after more than the hold time below restarts; the sequence keeps running.
                restartXYReplay(b);
                steps.reset();
            }
            // Saturates rather than overflowing after hours of silence.
            if (above)
                s.belowThresholdCount = 0;
            else if (s.belowThresholdCount < INT32_MAX)
                ++s.belowThresholdCount;
            break;
        }
        case XY_NOTE:
            if (noteOnFlag) startXYReplay(b);
            if (s.playing && noteOffFlag) {
                s.playing = false;
                s.direction = 0.0;  // the position freezes where it is
                s.planned = false;
                steps.stop();
            }
            break;
        default:
            break;
    }
}

[[gnu::always_inline]] inline void APlugin::xyFrameStep(int b, bool attention, bool settingsMoved,
                                                        bool editorOpen) {
    XYState& s = xy[b];
    // Checked before the exchange: a locked exchange every frame would cost more than the step.
    if (attention && s.sourcesStale.load(relaxed) &&
        s.sourcesStale.exchange(false, std::memory_order_acquire))
        writeXYSources(b, s.currentX.load(relaxed), s.currentY.load(relaxed));

    if (settingsMoved) {
        const int quant = xyPointQuantRow(xyParam(XY_POINT_QUANT_TAG[b]));
        s.pointQuant = quant;
        s.pointScale = XY_INV_POINT_STEP[quant];
        s.pointsUsed = XY_QUANT[quant];
        s.pointStep = XY_POINT_STEP[quant];
        s.replayRow = &REPLAY_ROWS[s.loopMode][quant];
    }
    if (editorOpen) followMidiPosition(b);
    if (settingsMoved) decodeXYModes(b);

    s.previousRecordMode = s.recordMode;
    if (settingsMoved) s.recordMode = getBlockChoice<XY_RECORD_MODE_TAG>(b);
    if (s.recordMode == XY_RECORDING) updateXYRecord(b);
    if (s.recordMode != XY_REPLAY) {
        if (s.recordMode != s.previousRecordMode) restoreLivePosition(b);
        return;
    }
    if (s.previousRecordMode != XY_REPLAY) startReplay(b);
    // Unless the settings were read or the editor thread asked, the step keeps to its plan as in a
    // steady frame: a trigger or a MIDI move that moved the pad has it plan anew.
    if (settingsMoved || attention)
        replayStep(b);
    else
        replayPlanned(b);
}

// Modes: a change of play mode or loop restarts the Block. A loop corrected last frame has a new
// raw value now, so it is decoded again.
void APlugin::decodeXYModes(int b) {
    XYState& s = xy[b];
    const float rawPlay = xyParam(XY_PLAY_MODE_TAG[b]);
    const float rawLoop = xyParam(XY_LOOP_MODE_TAG[b]);
    if (rawPlay == s.rawPlayMode && rawLoop == s.rawLoopMode) return;
    s.rawPlayMode = rawPlay;
    s.rawLoopMode = rawLoop;
    const int playMode = getChoice(XY_PLAY_MODE_TAG[b], rawPlay);
    const int loop = getChoice(XY_LOOP_MODE_TAG[b], rawLoop);
    // Only "off" under a free-running pad needs the correcting write.
    const int loopMode = loop != XY_LOOP_OFF || playMode != XY_FREE ? loop : xyLoopMode(b, playMode);
    if (playMode != s.playMode || loopMode != s.loopMode) {
        s.playMode = playMode;
        s.loopMode = loopMode;
        s.replayRow = &REPLAY_ROWS[loopMode][s.pointQuant];
        restartForModes(b);
    }
}

// The named per-Block operations look at everything, as if each were the frame's only step.
void APlugin::updateTriggers(int b) {
    xySteady = XYSteady::NO;  // what these do, the steady frames would not undo
    triggerStep(b, true);
}

void APlugin::updateXYStuff(int b) {
    xySteady = XYSteady::NO;
    readXYSettings(b);
    xyFrameStep(b, true, true, isEditorOpen());
}

void APlugin::updateXYFrame() {
    // A frame in which nothing was written or asked and no editor is open, or an open one's MIDI
    // moves were followed, passes on at once (it needs no frame of its own): a steady one only
    // replays, another runs the triggers too.
    if (valuesVersion.load(std::memory_order_acquire) == xySeen.version && !xyAttention.load(relaxed) &&
        (xyMidiFollowed || !(editor && editorIsOpen))) {
        if (xySteady == XYSteady::RUNNING) {
            replayPads();
            return;
        }
        if (xySteady == XYSteady::NO) {
            updateXYTriggers();
            return;
        }
    }
    updateXYFrameLooked();
}

[[gnu::noinline]] void APlugin::updateXYFrameLooked() {
    // The settings are read, and the editor thread's requests and moves looked at, once for the
    // three Blocks: a frame in which nothing was written and nothing asked costs no more.
    const bool settingsMoved = xySeen.moved(valuesVersion);
    const bool attention =
        xyAttention.load(relaxed) && xyAttention.exchange(false, std::memory_order_acquire);
    // An open editor's MIDI moves come as written values: once followed, there is nothing to
    // follow until the next write.
    const bool editorOpen = isEditorOpen();
    const bool followMidi = editorOpen && (settingsMoved || attention || !xyMidiFollowed);
    xyMidiFollowed = editorOpen;
    if (settingsMoved || attention || followMidi) {
        updateXYFrameMoved(settingsMoved, attention, followMidi);
        return;
    }
    if (xySteady == XYSteady::NO) {
        updateXYTriggers();
        return;
    }
    if (xySteady == XYSteady::STARTING) {
        // Free-running pads, none recording, and nothing moved: the trigger step only keeps each
        // one playing with its gater going, and the XY step comes down to the replay.
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            XYState& s = xy[b];
            s.previousRecordMode = s.recordMode;
            s.playing = true;
            s.planned = false;  // the step follows from playing
            stepSequencer[b].start();
        }
        xySteady = XYSteady::RUNNING;
    }
    replayPads();
}

[[gnu::noinline]] void APlugin::replayPads() {
    // Each Block's own step, its addresses fixed.
    static_assert(BLOCK_COUNT == 3);
    if (xy[0].recordMode == XY_REPLAY) replayPlanned(0);
    if (xy[1].recordMode == XY_REPLAY) replayPlanned(1);
    if (xy[2].recordMode == XY_REPLAY) replayPlanned(2);
}

[[gnu::noinline]] void APlugin::updateXYFrameMoved(bool settingsMoved, bool attention, bool editorOpen) {
    if (settingsMoved) {
        const bool readLevels = padsReadLevels;
        padsReadLevels = false;
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            readXYSettings(b);
            const int source = xy[b].replaySettings.modSource;
            padsReadLevels = padsReadLevels || (source >= SOURCE_INPUT && source <= SOURCE_OUT + 1);
        }
        // The last frame's levels, for the pad whose speed follows one from this frame on.
        if (padsReadLevels && !readLevels) publishLevelSources();
    }
    xyFrameSteps(settingsMoved, attention, editorOpen);
}

// Nothing was written, asked or opened, but a pad does not run free (or a named operation looked
// at everything): the triggers look, and each replay keeps to its plan where they left it alone.
[[gnu::noinline]] void APlugin::updateXYTriggers() {
    xyFrameSteps(false, false, false);
}

[[gnu::always_inline]] inline void APlugin::xyFrameSteps(bool settingsMoved, bool attention,
                                                         bool editorOpen) {
    for (int b = 0; b < BLOCK_COUNT; ++b) triggerStep(b, attention);
    bool steady = true;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        xyFrameStep(b, attention, settingsMoved, editorOpen);
        steady = steady && xy[b].playMode == XY_FREE && xy[b].recordMode != XY_RECORDING;
    }
    xySteady = steady ? XYSteady::STARTING : XYSteady::NO;
}

void APlugin::followMidiPosition(int b) {
    XYState& s = xy[b];
    if (followMidiAxis(s.midiX, s.previousMidiX, XY_MIDI_X_TAG[b])) {
        s.xChanged.store(true, relaxed);
        const float x = clamp01(s.midiX);
        s.currentX.store(x, relaxed);
        s.planned = false;  // a replay glides on from here
        setParameter(XY_LAST_X_TAG[b], s.midiX);
        setSnapedModSource(b, SOURCE_X[b], x);
        setSnapedModSource(b, SOURCE_POLAR_X[b], 2.0f * x - 1.0f);
    }
    // Y differs from X on purpose: the snapped value becomes the position itself.
    if (followMidiAxis(s.midiY, s.previousMidiY, XY_MIDI_Y_TAG[b])) {
        s.yChanged.store(true, relaxed);
        const float y = clamp01(snapValue(b, s.midiY));
        s.currentY.store(y, relaxed);
        s.planned = false;
        setParameter(XY_LAST_Y_TAG[b], s.midiY);
        setSnapedModSource(b, SOURCE_Y[b], y);
        setSnapedModSource(b, SOURCE_POLAR_Y[b], 2.0f * y - 1.0f);
    }
}

bool APlugin::followMidiAxis(float& midi, float& previous, int tag) const {
    previous = midi;
    midi = xyParam(tag);
    return std::fabs(previous - midi) > MIDI_MOVE_THRESHOLD;
}

void APlugin::restartForModes(int b) {
    XYState& s = xy[b];
    s.position = 0.0;
    s.holdCounter = 1.0;
    s.direction = 1.0;
    s.playing = false;
    s.belowThresholdCount = 0;
    stepSequencer[b].stop();
}

void APlugin::updateXYRecord(int b) {
    XYState& s = xy[b];
    if (!s.recording.load(std::memory_order_acquire)) return;
    const auto elapsed = static_cast<float>(sampleCounter.load(relaxed) - s.recordStart.load(relaxed));
    // Past the last slot a recording keeps writing that slot.
    const float ms = std::clamp(elapsed * 1000.0f / storedRate, 0.0f, static_cast<float>(LAST_RECORD_SLOT));
    const int slot = static_cast<int>(ms);
    xyRecordX[b][slot].store(s.penX.load(relaxed), relaxed);
    xyRecordY[b][slot].store(s.penY.load(relaxed), relaxed);
    s.recordLength.store(slot, std::memory_order_release);
}

void APlugin::restoreLivePosition(int b) {
    XYState& s = xy[b];
    const float x = xyParam(XY_LAST_X_TAG[b]);
    const float y = xyParam(XY_LAST_Y_TAG[b]);
    s.jumpTo(x, y);
    writeXYSources(b, x, y);
    setParameter(XY_MIDI_X_TAG[b], 0.0f);
    setParameter(XY_MIDI_Y_TAG[b], 0.0f);
    s.midiX = s.previousMidiX = s.midiY = s.previousMidiY = 0.0f;
    s.updateXY.store(true, std::memory_order_release);
}

void APlugin::startReplay(int b) {
    XYState& s = xy[b];
    if (!getHasPath(b)) {
        // An empty path stands still at 0; the cursor shows it there too.
        for (auto* v : {&s.currentX, &s.currentY, &s.heldX, &s.heldY}) v->store(0.0f, relaxed);
        return;
    }
    s.position = 0.0;
    s.direction = 1.0;
    const float x = xyParam(XY_X_START[b]);
    const float y = xyParam(XY_Y_START[b]);
    s.jumpTo(x, y);
    s.heldX.store(x, relaxed);
    s.heldY.store(y, relaxed);
    s.playing = false;
}

// Every replaying frame publishes the pad: inline.
inline void APlugin::writeXYSources(int b, float x, float y) {
    publishXYSources(&modSourceValues[SOURCE_X[b]], xy[b].spaceLevels, x, y);
}

// X, polar X, Y and polar Y of a pad, from its first; levels is its Space Quant.
inline void APlugin::publishXYSources(float* sources, int levels, float x, float y) {
    static_assert(SOURCE_POLAR_X[0] == SOURCE_X[0] + 1 && SOURCE_Y[0] == SOURCE_X[0] + 2 &&
                      SOURCE_POLAR_Y[0] == SOURCE_X[0] + 3 && SOURCE_POLAR_X[1] == SOURCE_X[1] + 1 &&
                      SOURCE_Y[1] == SOURCE_X[1] + 2 && SOURCE_POLAR_Y[1] == SOURCE_X[1] + 3 &&
                      SOURCE_POLAR_X[2] == SOURCE_X[2] + 1 && SOURCE_Y[2] == SOURCE_X[2] + 2 &&
                      SOURCE_POLAR_Y[2] == SOURCE_X[2] + 3,
                  "a pad's four sources lie side by side: one store writes them");
    // x * 1 - 0 is x: the pair of lanes rounds as the scalar steps do.
    BlockLanes v =
        BlockLanes{x, x, y, y} * BlockLanes{1.0f, 2.0f, 1.0f, 2.0f} - BlockLanes{0.0f, 1.0f, 0.0f, 1.0f};
    if (levels != 0) v = snapLanes(v, levels);
    std::memcpy(sources, &v, sizeof v);
}

void APlugin::readXYSettings(int b) {
    XYState& s = xy[b];
    XYReplaySettings& settings = s.replaySettings;
    settings.rawSync = xyParam(XY_SYNC_TAG[b]);
    settings.rawSec = xyParam(XY_LEN_SEC_TAG[b]);
    settings.rawMs = xyParam(XY_LEN_MS_TAG[b]);
    settings.rawTimeQuant = xyParam(XY_TIME_QUANT_TAG[b]);
    settings.speed = std::exp2(8.0 * static_cast<double>(xyParam(XY_SPEED_TAG[b])) - 4.0);
    settings.modSource = getBlockChoice<XY_SPEED_MOD_SOURCE_TAG>(b);
    const double modAmount = 2.0 * static_cast<double>(xyParam(XY_SPEED_MOD_AMOUNT_TAG[b])) - 1.0;
    if (!(modAmount == settings.modAmount))
        s.speedSource = std::numeric_limits<float>::quiet_NaN();  // worked out again
    settings.modAmount = modAmount;
    settings.smooth = xyParam(XY_SMOOTH_TAG[b]);
    for (int i = 0; i < XY_PATH_POINTS; ++i) {
        settings.path[i][0] = xyParam(XY_X_START[b] + i);
        settings.path[i][1] = xyParam(XY_Y_START[b] + i);
    }
    s.timingStale = true;
    s.spaceLevels = XY_SNAP_AMOUNT[getBlockChoice<XY_SPACE_QUANT_TAG>(b)];
}

// Rate: the whole path once per free length or per synced period.
void APlugin::updateXYTiming(int b) {
    XYState& s = xy[b];
    const XYReplaySettings& settings = s.replaySettings;
    XYTiming& timing = s.timing;
    s.timingStale = false;
    timing.sync = getChoice(XY_SYNC_TAG[b], settings.rawSync);
    timing.pathTime = 1000.0f * settings.rawSec + settings.rawMs;  // as getXYPathTime
    double period;
    if (timing.sync == 0) {
        period = static_cast<double>(timing.pathTime) * static_cast<double>(storedRate);
    } else {
        period = static_cast<double>(INV_PERIOD_ARRAY[timing.sync] * samplesPerBar) + 1.0;
    }
    timing.still = timing.sync == 0 && period < 1e-6;
    timing.emptyPath = timing.sync == 0 && timing.pathTime < EMPTY_PATH_SECONDS;
    timing.pointsPerFrame = XY_SPAN / period;
    timing.pointsPerFrameAtSpeed = timing.pointsPerFrame * settings.speed;
    const int timeQuant = getChoice(XY_TIME_QUANT_TAG[b], settings.rawTimeQuant);
    timing.holdIncrement =
        timeQuant == 0 ? -1.0
                       : 1.0 / (static_cast<double>(INV_PERIOD_ARRAY[timeQuant] * samplesPerBar) + 1.0);
    timing.quantised = timing.holdIncrement >= 0.0 || s.spaceLevels != 0;
}

void APlugin::updateXYReplay(int b) {
    replayStep(b);
}

namespace {

// The position brought onto the path where it left it.
[[gnu::always_inline]] inline double loopReplay(const APlugin::XYState& s, double position) {
    // The bits of a non-negative double order as its value; a sign bit or NaN's exponent puts
    // them above every bound, so one unsigned compare makes both tests. Only -0.0 goes the long
    // way, and the wrap gives it back as it is.
    const double limit = s.replayRow->limit;
    if (std::bit_cast<uint64_t>(position) < std::bit_cast<uint64_t>(limit)) return position;
    // With the loop off a replay that has arrived rests on its last point, frame after frame.
    if (s.loopMode == APlugin::XY_LOOP_OFF && position >= limit &&
        position <= std::numeric_limits<double>::max())
        return limit;
    return wrapReplayPosition(position, s.loopMode, s.pointStep);
}

}  // namespace

[[gnu::noinline]] void APlugin::replayStep(int b) {
    XYState& s = xy[b];
    const XYTiming& timing = s.timing;
    s.planned = false;
    // Worked out again only after the settings were read, or when the bar or the rate moved
    // (the engine marks it stale then).
    if (s.timingStale) updateXYTiming(b);
    if (timing.still) {
        s.rate = 0.0;
        return;
    }
    // The state goes through locals and is stored once: stores in between would make the
    // compiler read the rest back.
    const XYReplaySettings& settings = s.replaySettings;
    const double rate = timing.pointsPerFrame;
    s.rate = rate;
    const float* destinations = &modValues[DESTINATION_BLOCK_XY_SPEED[b]];
    const float speedMod = destinations[0], smoothMod = destinations[1];

    // Advance. The speed's exponential follows the source's value, which mostly rests.
    const float source = modSourceValues[settings.modSource];
    if (!(source == s.speedSource)) {  // NaN after the settings were read
        s.speedSource = source;
        s.speedFactor = std::exp2(settings.modAmount * 4.0 * static_cast<double>(source));
    }
    const double m = s.playing ? s.speedFactor * static_cast<double>(speedMod) : 0.0;
    // The direction is 1 or 0, so taking the rate times the speed first rounds the same.
    const double step = s.direction * timing.pointsPerFrameAtSpeed * m;
    double position = s.position + step;
    s.position = position = loopReplay(s, position);

    // Smoothing, worked out again only when its setting or modulation moved.
    const float smooth = settings.smooth + smoothMod;
    if (!(smooth == s.smoothKey)) {
        s.smoothKey = smooth;
        const float c =
            smooth >= 0.0f
                ? static_cast<float>(std::exp2(-16.0 * static_cast<double>(std::min(smooth, 1.0f))))
                : 1.0f;
        const float keep = 1.0f - c;
        s.glideNew = BlockLanes{c, c, c, c};
        s.glideOld = BlockLanes{keep, keep, keep, keep};
    }

    BlockLanes glided = glideTo(b, position, pairLanes(s.currentX.load(relaxed), s.currentY.load(relaxed)));
    if (timing.emptyPath) {
        glided = BlockLanes{};
        s.heldX.store(0.0f, relaxed);
        s.heldY.store(0.0f, relaxed);
    } else {
        // The next steady frames add the same step while the source and the modulation rest.
        s.planned = true;
        s.plannedSource = std::bit_cast<uint32_t>(source);
        std::memcpy(&s.plannedModulation, destinations, sizeof s.plannedModulation);
        s.plannedStep = step;
    }
    settleXY(b, glided);
}

[[gnu::always_inline]] inline bool APlugin::keepsToPlan(int b) const {
    const XYState& s = xy[b];
    static_assert(DESTINATION_BLOCK_XY_SMOOTH[0] == DESTINATION_BLOCK_XY_SPEED[0] + 1 &&
                      DESTINATION_BLOCK_XY_SMOOTH[1] == DESTINATION_BLOCK_XY_SPEED[1] + 1 &&
                      DESTINATION_BLOCK_XY_SMOOTH[2] == DESTINATION_BLOCK_XY_SPEED[2] + 1,
                  "speed and smoothing destinations side by side: one load reads both");
    uint64_t modulation;
    std::memcpy(&modulation, &modValues[DESTINATION_BLOCK_XY_SPEED[b]], sizeof modulation);
    const uint32_t source = std::bit_cast<uint32_t>(modSourceValues[s.replaySettings.modSource]);
    // Equal bits give what the full step would work out from them.
    return s.planned && !s.timingStale && source == s.plannedSource && modulation == s.plannedModulation;
}

[[gnu::always_inline]] inline void APlugin::replayPlanned(int b) {
    XYState& s = xy[b];
    if (!keepsToPlan(b)) {
        replayStep(b);
        return;
    }
    const double position = loopReplay(s, s.position + s.plannedStep);
    s.position = position;
    settleXY(b, glideTo(b, position, s.glided));
}

[[gnu::noinline]] void APlugin::replayPadsRun(BlockLanes (*targets)[BLOCK_COUNT], int n) {
    // Which pads replay holds for the run: looked at once. A frame replays them all, then keeps
    // their targets.
    static_assert(BLOCK_COUNT == 3);
    const bool replay0 = xy[0].recordMode == XY_REPLAY, replay1 = xy[1].recordMode == XY_REPLAY,
               replay2 = xy[2].recordMode == XY_REPLAY;
    // While every replaying pad keeps to its plan at a speed that only MIDI sources (or none)
    // move, unquantised in time and space, the pads do not move each other: each takes the run's
    // frames on its own with its position and glide in registers, its targets from the glide
    // (what it would publish as X and Y), and publishes once, after the last frame.
    bool apart = true;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        const XYState& s = xy[b];
        const int source = s.replaySettings.modSource;
        if (s.recordMode == XY_REPLAY)
            apart = apart && (source < SOURCE_FOLLOWER || source == SOURCE_OFFSET) && !s.timing.quantised &&
                    keepsToPlan(b);
    }
    if (apart) {
        for (int b = 0; b < BLOCK_COUNT; ++b) {
            XYState& s = xy[b];
            if (s.recordMode != XY_REPLAY) continue;
            double position = s.position;
            BlockLanes glided = s.glided;
            const BlockLanes xAmounts = xyAmounts[b][0], yAmounts = xyAmounts[b][1];
            for (int q = 0; q < n; ++q) {
                position = loopReplay(s, position + s.plannedStep);
                glided = glideTo(b, position, glided);
                const float x = glided[0], y = glided[1];
                targets[q][b] = BlockLanes{x, x, x, x} * xAmounts + BlockLanes{y, y, y, y} * yAmounts;
            }
            s.position = position;
            settleXY(b, glided);
        }
        return;
    }
    for (int q = 0; q < n; ++q) {
        if (replay0) replayPlanned(0);
        if (replay1) replayPlanned(1);
        if (replay2) replayPlanned(2);
        if (replay0) targets[q][0] = padTargets(0);
        if (replay1) targets[q][1] = padTargets(1);
        if (replay2) targets[q][2] = padTargets(2);
    }
}

// The glided position a step at position leaves, from the one before.
[[gnu::always_inline]] inline BlockLanes APlugin::glideTo(int b, double position, BlockLanes from) const {
    const XYState& s = xy[b];
    // Points and interpolation. The position lies in [0, 2 * span): its whole points index the
    // table. Scaled by 2^-q it is exact, and its whole part is the whole steps of 2^q points.
    const XYReplayRow::PointPair& points = s.replayRow->points[static_cast<int>(position)];
    const double steps = position * s.pointScale;
    const float fraction = static_cast<float>(steps - static_cast<double>(static_cast<int>(steps)));
    // X in lane 0, Y in lane 1: each lane rounds as the scalar steps do.
    const BlockLanes first = pointLanes(s.replaySettings.path[points.first]);
    const BlockLanes next = pointLanes(s.replaySettings.path[points.next]);
    const BlockLanes target = first + (next - first) * fraction;
    // The tiny offset keeps a decaying position out of denormals.
    return clampLanes(target * s.glideNew + from * s.glideOld + XY_OFFSET);
}

[[gnu::always_inline]] inline void APlugin::settleXY(int b, BlockLanes glided) {
    XYState& s = xy[b];
    s.glided = glided;
    const float x = glided[0], y = glided[1];
    s.currentX.store(x, relaxed);
    s.currentY.store(y, relaxed);
    if (s.timing.quantised) {
        settleQuantised(b, x, y);
        return;
    }
    s.heldX.store(x, relaxed);
    s.heldY.store(y, relaxed);
    publishXYSources(&modSourceValues[SOURCE_X[b]], 0, x, y);
}

[[gnu::noinline]] void APlugin::settleQuantised(int b, float x, float y) {
    XYState& s = xy[b];
    // Time quantisation: the sources move only when the hold counter passes 1.
    if (const double holdIncrement = s.timing.holdIncrement; holdIncrement >= 0.0) {
        const double counter = s.holdCounter;
        if (counter < 1.0) {
            s.holdCounter = counter + holdIncrement;
            return;
        }
        s.holdCounter = counter - 1.0 + holdIncrement;
    }
    s.heldX.store(x, relaxed);
    s.heldY.store(y, relaxed);
    publishXYSources(&modSourceValues[SOURCE_X[b]], s.spaceLevels, x, y);
}

void APlugin::startXYReplay(int b) {
    xy[b].playing = true;
    restartXYReplay(b);
    stepSequencer[b].reset();
    stepSequencer[b].start();
}

void APlugin::restartXYReplay(int b) {
    XYState& s = xy[b];
    s.position = 0.0;
    s.holdCounter = 1.0;
    s.direction = 1.0;
    s.planned = false;  // the next step works out its rate, direction and speed again
}

void APlugin::restartFreeXYReplays() {
    if (xySteady == XYSteady::RUNNING) xySteady = XYSteady::STARTING;  // the gaters start again
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        if (xy[b].playMode != XY_FREE) continue;
        restartXYReplay(b);
        xy[b].rate = 0.0;  // until the next step
        stepSequencer[b].stop();
    }
}

// ----------------------------------------------------------------------------- requests

void APlugin::postXYRequest(int b, unsigned request) {
    xy[b].requests.fetch_or(request, std::memory_order_release);
    xyAttention.store(true, std::memory_order_release);
}

void APlugin::resetXYS() {
    for (int b = 0; b < BLOCK_COUNT; ++b) postXYRequest(b, XY_REQUEST_RESET_XYS);
}

void APlugin::stopXYReplay(int b) {
    if (isBlock(b)) postXYRequest(b, XY_REQUEST_RESET_XYS);
}

void APlugin::resetXY(int b) {
    if (isBlock(b)) postXYRequest(b, XY_REQUEST_RESET_XY);
}

void APlugin::clearXYFollowerCounts() {
    for (int b = 0; b < BLOCK_COUNT; ++b) postXYRequest(b, XY_REQUEST_CLEAR_COUNT);
}

void APlugin::applyXYRequests(int b) {
    XYState& s = xy[b];
    const unsigned requests = s.requests.exchange(0, std::memory_order_acquire);
    if (requests & (XY_REQUEST_RESET_XYS | XY_REQUEST_CLEAR_COUNT)) s.belowThresholdCount = 0;
    if (requests & XY_REQUEST_RESET_XYS) {
        s.playing = false;
        restartXYReplay(b);
    }
    if (requests & XY_REQUEST_RESET_XY) {
        s.recordStart.store(0, relaxed);
        s.recordLength.store(0, relaxed);
        s.rate = 0.0;
        restartXYReplay(b);
        if (getXYRecordMode(b) == XY_REPLAY) {
            readXYSettings(b);
            updateXYReplay(b);
        }
    }
}

// ----------------------------------------------------------------------------- quantisers

float APlugin::snapValue(int b, float v) const {
    const int levels = isBlock(b) ? XY_SNAP_AMOUNT[getXYSpaceQuantization(b)] : 0;
    if (levels == 0) return v;
    const auto l = static_cast<float>(levels);
    return clamp01(std::round(v * l) / l);  // halves away from zero
}

void APlugin::setSnapedModSource(int b, int source, float v) {
    if (source >= 0 && source < MOD_SOURCE_COUNT) modSourceValues[source] = snapValue(b, v);
}

int APlugin::getQuantPos(int b, int pos, int offset, int loop) const {
    return quantPos(isBlock(b) ? xy[b].pointStep : 1, pos, offset, loop);
}

float APlugin::getQuantInter(int b, double pos) const {
    return quantInter(isBlock(b) ? xy[b].pointQuant : 0, pos);
}

// ----------------------------------------------------------------------------- editor and commands

int APlugin::getXYRecordMode(int b) const {
    return isBlock(b) ? getBlockChoice<XY_RECORD_MODE_TAG>(b) : 0;
}
int APlugin::getXYPlayMode(int b) const {
    return isBlock(b) ? getBlockChoice<XY_PLAY_MODE_TAG>(b) : 0;
}

int APlugin::getXYLoopMode(int b) {
    return xyLoopMode(b, getXYPlayMode(b));
}

int APlugin::xyLoopMode(int b, int playMode) {
    const int loop = isBlock(b) ? getBlockChoice<XY_LOOP_MODE_TAG>(b) : 0;
    if (loop != XY_LOOP_OFF || playMode != XY_FREE || !isBlock(b)) return loop;
    // Not a user edit: the program stays unchanged in the user's eyes.
    setParameter(XY_LOOP_MODE_TAG[b], LOOP_ON_VALUE);
    editChanged = 0;
    return XY_LOOP_ON;
}

int APlugin::getXYSync(int b) const {
    return isBlock(b) ? getBlockChoice<XY_SYNC_TAG>(b) : 0;
}
int APlugin::getXYPointQuantization(int b) const {
    return isBlock(b) ? xyPointQuantRow(xyParam(XY_POINT_QUANT_TAG[b])) : 0;
}
int APlugin::getXYSpaceQuantization(int b) const {
    return isBlock(b) ? getBlockChoice<XY_SPACE_QUANT_TAG>(b) : 0;
}
int APlugin::getXYTimeQuantization(int b) const {
    return isBlock(b) ? getBlockChoice<XY_TIME_QUANT_TAG>(b) : 0;
}

void APlugin::getXYValues(int b, int i, float& x, float& y) const {
    if (!isBlock(b) || i < 0 || i >= XY_PATH_POINTS) {
        x = y = 0.0f;
        return;
    }
    x = xyParam(XY_X_START[b] + i);
    y = xyParam(XY_Y_START[b] + i);
}

void APlugin::setXY(int b, int i, float x, float y) {
    if (!isBlock(b) || i < 0 || i >= XY_PATH_POINTS) return;
    setParameter(XY_X_START[b] + i, clamp01(x));
    setParameter(XY_Y_START[b] + i, clamp01(y));
}

void APlugin::setXY(int b, float x, float y) {
    if (!isBlock(b)) return;
    XYState& s = xy[b];
    s.currentX.store(clamp01(x), relaxed);
    s.currentY.store(clamp01(y), relaxed);
    setParameter(XY_LAST_X_TAG[b], x);
    setParameter(XY_LAST_Y_TAG[b], y);
    s.changedXY.store(true, relaxed);
    s.sourcesStale.store(true, std::memory_order_release);
    xyAttention.store(true, std::memory_order_release);
}

void APlugin::getXYEditor(int b, float& x, float& y) const {
    if (!isBlock(b)) {
        x = y = 0.0f;
        return;
    }
    x = xy[b].heldX.load(relaxed);
    y = xy[b].heldY.load(relaxed);
}

float APlugin::getMidiX(int b) const {
    return isBlock(b) ? xyParam(XY_MIDI_X_TAG[b]) : 0.0f;
}
float APlugin::getMidiY(int b) const {
    return isBlock(b) ? xyParam(XY_MIDI_Y_TAG[b]) : 0.0f;
}
bool APlugin::getXChanged(int b) {
    return isBlock(b) && xy[b].xChanged.exchange(false, relaxed);
}
bool APlugin::getYChanged(int b) {
    return isBlock(b) && xy[b].yChanged.exchange(false, relaxed);
}

void APlugin::setUpdateXY(int b, bool v) {
    if (isBlock(b)) xy[b].updateXY.store(v, std::memory_order_release);
}

bool APlugin::getUpdateXY(int b) const {
    return isBlock(b) && xy[b].updateXY.load(std::memory_order_acquire);
}

void APlugin::setChangedXY(int b, bool v) {
    if (isBlock(b)) xy[b].changedXY.store(v, relaxed);
}

bool APlugin::getChangedXY(int b) const {
    return isBlock(b) && xy[b].changedXY.load(relaxed);
}

void APlugin::startXYRecord(int b) {
    if (isBlock(b)) xy[b].recording.store(false, std::memory_order_release);
}

void APlugin::setXYRecord(int b, float x, float y) {
    if (!isBlock(b)) return;
    XYState& s = xy[b];
    s.penX.store(x, relaxed);
    s.penY.store(y, relaxed);
    if (!s.recording.load(relaxed)) {
        s.recordStart.store(sampleCounter.load(relaxed), relaxed);
        s.recordLength.store(0, relaxed);
        // A recording that ends before the render thread captured anything still has its start.
        xyRecordX[b][0].store(x, relaxed);
        xyRecordY[b][0].store(y, relaxed);
        s.recording.store(true, std::memory_order_release);
    }
    s.currentX.store(clamp01(x), relaxed);
    s.currentY.store(clamp01(y), relaxed);
    s.sourcesStale.store(true, std::memory_order_release);
    xyAttention.store(true, std::memory_order_release);
}

void APlugin::endXYRecord(int b) {
    if (!isBlock(b)) return;
    XYState& s = xy[b];
    // Without a recording running there is nothing to write: the path stays as it is.
    if (!s.recording.load(std::memory_order_acquire)) return;
    const auto elapsed = static_cast<float>(sampleCounter.load(relaxed) - s.recordStart.load(relaxed));
    // Limited so that a recording left running for weeks still converts to an int.
    const int n = static_cast<int>(std::clamp(elapsed / storedRate * 1000.0f, 0.0f, MAX_RECORD_MS));
    setParameter(XY_LEN_SEC_TAG[b], static_cast<float>(n / 1000) / 1000.0f);
    setParameter(XY_LEN_MS_TAG[b], static_cast<float>(n % 1000) / 1000.0f);
    s.recording.store(false, relaxed);

    // Resample the capture into the 32 points. With fewer than two milliseconds captured there
    // is nothing to interpolate: every point takes the first position.
    const int last = s.recordLength.load(std::memory_order_acquire);
    const float step = static_cast<float>(last) / static_cast<float>(XY_SPAN);
    for (int i = 0; i < XY_PATH_POINTS; ++i) {
        int j0 = 0, j1 = 0;
        float fraction = 0.0f;
        if (last >= 1) {
            const float g = static_cast<float>(i) * step;
            j0 = static_cast<int>(g);
            j1 = static_cast<int>(g + 1.0f);
            if (j1 >= last) j1 = last - 1;
            fraction = g - static_cast<float>(j0);
        }
        const float x0 = xyRecordX[b][j0].load(relaxed);
        const float y0 = xyRecordY[b][j0].load(relaxed);
        setParameter(XY_X_START[b] + i, x0 + (xyRecordX[b][j1].load(relaxed) - x0) * fraction);
        setParameter(XY_Y_START[b] + i, y0 + (xyRecordY[b][j1].load(relaxed) - y0) * fraction);
    }
}

float APlugin::getXYPathTime(int b) const {
    return isBlock(b) ? 1000.0f * xyParam(XY_LEN_SEC_TAG[b]) + xyParam(XY_LEN_MS_TAG[b]) : 0.0f;
}

bool APlugin::getHasPath(int b) const {
    return !(getXYPathTime(b) < EMPTY_PATH_SECONDS && getXYSync(b) == 0);
}

void APlugin::setZeroTime(int b) {
    if (!isBlock(b) || getXYPathTime(b) >= ZERO_TIME_SECONDS) return;
    setParameter(XY_LEN_SEC_TAG[b], 0.004f);  // 4 s
    setParameter(XY_LEN_MS_TAG[b], 0.0f);
}
