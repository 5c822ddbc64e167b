#pragma once

// The effect object: a stereo effect with 1024 parameters and one program. It owns every DSP
// module, the parameter store, the program record, the MIDI-learn and XY state, and creates the
// editor. This header is laid out by concern; each section holds one concern's operations and
// state, in the order the constructor builds them.

#include "dsp/SilentBuffer.h"
#include "dsp/TBasicReverb.h"
#include "dsp/TCombFilter.h"
#include "dsp/TDelay.h"
#include "dsp/TFilter.h"
#include "dsp/TGrain.h"
#include "dsp/TNoiseGate.h"
#include "dsp/TShaper.h"
#include "dsp/TStep.h"
#include "effect/BlockTags.h"
#include "effect/EditorLink.h"
#include "effect/EngineMath.h"
#include "effect/EngineState.h"
#include "effect/FactoryBank.h"
#include "effect/ParameterLayout.h"
#include "effect/ParameterNames.h"
#include "effect/PresetFiles.h"
#include "effect/Relaxed.h"
#include "framework/effectbase/AudioEffectX.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

// The effect's one program: its values and its name. The chunk is this record byte for byte.
struct APluginProgram {
    static constexpr int NAME_SIZE = 32;  // NUL-terminated, at most 31 characters
    Relaxed<float> values[PARAMETER_COUNT];
    char name[NAME_SIZE] = {};
};

// The engine's frame-to-frame bookkeeping (caches, memos, dirty flags) and the lane vectors
// BlockLanes, PerBlock and FramePair are in effect/EngineState.h.
class APlugin : public AudioEffectX, private EngineState {
public:
    explicit APlugin(HostCallback audioMaster);
    ~APlugin() override;
    APlugin(const APlugin&) = delete;
    APlugin& operator=(const APlugin&) = delete;

    // ===================================================================== lifecycle
    void init();  // defaults and tables; run once, last in construction
    void suspend() override;
    // Rebuilds every DSP module for the new rate (at least 1000 Hz). The base's own rate is
    // left as it is: the effect keeps its working rate in storedRate.
    void setSampleRate(float rate) override;

    // ===================================================================== host identity
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int getVendorVersion() override;
    int canDo(char* text) override;
    bool getOutputProperties(int index, VstPinProperties* properties) override;
    long long vendorSpecific(int index, long long value, void* ptr, float opt) override;
    // The one virtual operation APlugin adds (slot 153): the effect reports no meter.
    virtual float getVu();

    // ===================================================================== host quirks
    // One flag per outside host, set once from its upper-cased product and vendor names.
    enum HostQuirk {
        QUIRK_REAPER = 0,    // product "REAPER"
        QUIRK_PROP = 1,      // vendor beginning "PROP"
        QUIRK_MASCHINE = 2,  // product "MASCHINE HOST"
        QUIRK_KORE = 3,      // product beginning "KORE"
        QUIRK_QUENDA = 4,    // product "QUENDA"
        QUIRK_FRUITY = 5,    // product beginning "FRUITY"
        QUIRK_CUBASE = 6,    // product beginning "CUBASE"
        QUIRK_LIVE = 7,      // product "LIVE"
        QUIRK_COUNT = 8
    };
    unsigned char hostQuirks[QUIRK_COUNT] = {};

    // ===================================================================== parameter store
    // The host, the editor and MIDI write values while the render thread reads them: every value
    // that crosses threads is a relaxed atomic (Relaxed), untorn and as cheap to read as a float.
    // Values arriving as NaN or infinity become the parameter's default; others are clamped to
    // [0, 1] and switches snap to 0 or 1.
    void setParameter(int index, float value) override;  // 1023 first reloads the factory preset
    float getParameter(int index) override;              // 0 outside 0..1023
    void getParameterName(int index, char* text) override;
    // Modulation destination 0..89 by the Blocks' current types, long or short (the matrix
    // view's cells); at most NAME_MAX_LENGTH characters.
    void getDestinationString(int destination, bool shortForm, char* text) const;
    BlockNaming blockNaming() const;  // what the names of the Blocks' slots depend on now

    float getDefaultValue(int index) const;
    void setDefaultValue(int index);
    void setZeroValue(int index);
    void copyParameter(int from, int to);
    void swapParameter(int a, int b);
    void toggleParameter(int index);
    // clamp((int)(value * scale + 0.1), 0, count - 1).
    // Inline: the engine reads choices every frame.
    static int getSteppedValue(float value, float scale, int count) {
        return steppedOption(value, scale, count);
    }
    int getSteppedValue(int index, float scale, int count) const;  // of the live value
    // Writes choice step (clamped) as (step + 0.1) / scale through setParameterAutomated.
    void setSteppedValue(int index, int step, float scale, int count);
    // The same for a choice slot by its own scale and count (CHOICE_SLOTS): the option a stored
    // value stands for, the live option, and the write.
    static int getChoice(int index, float value);
    int getChoice(int index) const;
    // The option that plays for a stored value of choice slot index, which its value text and
    // menu show: getChoice, but Point Quant and the Low-Fi filter by the engine's own readings.
    static int getPlayedChoice(int index, float value);
    void setChoice(int index, int option);
    // A choice of valid Block b, for the reads of every frame: the three Blocks encode it alike, so
    // its scale and count are known when this compiles, and b is not checked.
    template <const int32_t (&tags)[BLOCK_COUNT]>
    int getBlockChoice(int b) const {
        constexpr SlotInfo choice = CHOICE_SLOTS[static_cast<std::size_t>(tags[0])];
        static_assert(CHOICE_SLOTS[static_cast<std::size_t>(tags[1])].scale == choice.scale &&
                      CHOICE_SLOTS[static_cast<std::size_t>(tags[2])].scale == choice.scale &&
                      CHOICE_SLOTS[static_cast<std::size_t>(tags[1])].count == choice.count &&
                      CHOICE_SLOTS[static_cast<std::size_t>(tags[2])].count == choice.count);
        return getSteppedValue(currentValues[tags[b]].load(), choice.scale, choice.count);
    }
    static bool getOnOff(float value);  // value >= 0.5
    bool getOnOff(int index) const;
    unsigned char getEditChanged() const;

    // Typed reads of the live values; 0 for a Block, slot, side or step out of range.
    int getBlockType(int block) const;
    int getFilterMode(int block) const;
    int getCombMode(int block) const;
    int getShaperMode(int block) const;
    int getGaterSteps(int block) const;  // steps - 1, 0..15
    // Loop mode 0..2; "off" under a free-running XY pad is first switched to 1.
    int getGaterLoopMode(int block);
    int getGaterSpeed(int block) const;
    int getGrainMode(int block) const;
    int getFollowerSource() const;
    int getPath() const;  // signal path 0..5
    int getModDestination(int slot) const;
    int getModSource(int slot) const;
    float getModAmount(int slot) const;  // -1..1
    bool getModBypass(int slot) const;
    int getModDestinationType(int slot) const;  // modCombineKind of the slot's destination
    float getGaterValue(int block, int side, int step) const;
    void toggleGaterValue(int block, int side, int step);
    // Per-sample smoothing coefficient: 1000 / (2^(12 v) * storedRate), v clamped to [0, 1].
    float getEnvelopeValue(float v) const;

    float defaultValues[PARAMETER_COUNT] = {};
    float zeroValues[PARAMETER_COUNT] = {};           // what setZeroValue sets
    Relaxed<float> editValues[PARAMETER_COUNT];       // follows every change; editProgram returns here
    Relaxed<float> referenceValues[PARAMETER_COUNT];  // as last applied; origProgram returns here
    Relaxed<float> lastSetValues[PARAMETER_COUNT];    // last accepted, for change detection
    // The live values; the engine reads them. Every writer calls noteValuesWritten after its
    // writes, or the engine keeps decoding the settings it saw before.
    Relaxed<float> currentValues[PARAMETER_COUNT];
    unsigned char isOnOff[PARAMETER_COUNT] = {};
    unsigned char countsForEditChanged[PARAMETER_COUNT] = {};
    int32_t paramModDestination[PARAMETER_COUNT] = {};  // modulation destination, -1 for none
    Relaxed<unsigned char> editChanged;                 // the sound differs from the program as applied
    // Advanced after every write of the live values (release, after the value): the engine
    // decodes a setting again only when this moved since it last looked.
    std::atomic<uint32_t> valuesVersion{0};
    void noteValuesWritten() { valuesVersion.fetch_add(1, std::memory_order_release); }

    // ===================================================================== value text and type-in
    // Main thread (editor, host queries); they read the live values and the option tables.
    static constexpr int VALUE_TEXT_MAX_LENGTH = 20;
    // The value text with its unit ("640hz", "-6dB", "Peak Shelf"); at most 20 characters and
    // the terminator. Index 0 and 792..1023 give ""; an index outside 0..1023 leaves text as it is.
    void getParameterDisplay(int index, char* text) override;
    void getParameterLabel(int index, char* text) override;  // " ": the unit is in the value text
    std::string valueText(int index) const;
    // f = min(2^(value * octaves) * lowest * factor, 20480): "9.50hz", "640hz", "1.2Khz".
    std::string getFilterFrequencyText(float value, float lowest, float octaves, bool whole,
                                       float factor) const;
    // A grain length under Block b's grain mode: "1ms".."256ms" free, a note length synced.
    std::string getGrainLen(int block, float value) const;
    // 2^(octaves * v) * 55 / divisor of parameter index's value v; "Off" at 0 when offAtZero.
    std::string ToFreqStr(int index, float divisor, float octaves, bool offAtZero) const;

    // Type-in: a number in the unit the user sees ("1200" Hz, "-6" dB, "50" %), for a choice its
    // option number or name. Text that does not read as one changes nothing. These set the value
    // through setParameter alone: the host records no automation from here.
    // The typed text's value for index; false when index takes no typed value or text is refused.
    bool string2parameter(int index, char* text) override;
    void setNumValue(int index);                              // asks with inputBox, then sets
    void getLimitedValue(int index, float scale, int count);  // the same for a choice
    void setModValue(int slot);                               // asks for a modulation slot's amount
    // One step up (delta >= 0) or down: a choice by one option, a switch on or off, anything
    // else by 0.01 * delta.
    void changeDelta(int index, float delta);

    // ===================================================================== programs and presets
    // Applies the program record (only program 0 exists); ignored while the editor is opening.
    void setProgram(int program) override;
    void setProgramName(char* name) override;  // the name follows the factory preset: ignored
    void getProgramName(char* name) override;  // current factory preset's name, or "None"
    bool getProgramNameIndexed(int category, int index, char* text) override;
    const char* getPresetName(int index) const;  // "None" outside 0..62
    void setDemoProgram(int index);              // loads factory preset 0..62
    void changeDemoProgramDelta(int step);       // moves through the bank, stopping at its ends
    // The record as a 4128-byte chunk, for the hosts that keep chunks; 0 for the others.
    int getChunk(void** data, bool isPreset) override;
    // Takes the first 4128 bytes of a chunk; a null or shorter one changes nothing. Answers 1.
    int setChunk(void* data, int byteSize, bool isPreset) override;
    void defaultProgram();  // parameters 0-799 to their defaults; the name stays
    void editProgram();     // back to the edited sound
    void origProgram();     // back to the sound as applied

    static constexpr int CHUNK_SIZE = PARAMETER_COUNT * 4 + APluginProgram::NAME_SIZE;

    APluginProgram programs[1];  // the program record; the base's current program is always 0
    char factoryPresetNames[FACTORY_PRESET_COUNT][64] = {};
    Relaxed<int32_t> currentFactoryPreset;  // 0..62, the preset shown as the program name
    unsigned char bankChunk[CHUNK_SIZE] = {};
    unsigned char presetChunk[CHUNK_SIZE] = {};

    // Preset folders from the preferences (folder texts end in '/').
    char xyPresetDir[256] = {};
    char modPresetDir[256] = {};
    char blockPresetDir[256] = {};
    char ecsDir[128] = {};
    char helpPath[256] = {};

    // ===================================================================== engine
    // The per-frame engine: control schedule, modulation matrix, Blocks, paths and output.
    void processReplacing(float** inputs, float** outputs, int sampleFrames) override;
    // The legacy accumulating entry: passes the input through untouched, MIDI still delivered.
    void __processDeprecated(float** inputs, float** outputs, int sampleFrames) override;
    // Re-initialises all engine and DSP state; every applied program ends here. Callable from
    // any thread: the render thread carries it out before the next block it processes, so a
    // program applied while audio runs never re-initialises a module in the middle of its work.
    void resetEverything();
    // Clears the per-Block engine counters (grain counter and slot); part of every engine reset.
    void clearBlockCounters();
    // Block b's grain slots fall silent at once and its next grain starts in slot 0.
    void silenceGrains(int b);
    // The Delay inserted on one Block's lanes (serial paths), mixed by delayDry and delayWet.
    void doDelay(float& La, float& Ra, float& Lb, float& Rb);
    // Grain length in frames for value v under Block b's grain loop mode, times factor.
    float getGrainSize(int block, float v, float factor) const;
    // The playing step of Block b's gater as the last frame left it, -1 while it is stopped;
    // safe to read from the editor thread.
    int getCurrentGaterSteps(int block) const;

    // DSP modules, in the order they are built.
    TFilter filter[BLOCK_COUNT];
    TCombFilter comb[BLOCK_COUNT];
    TShaper shaper[BLOCK_COUNT];
    TStep stepSequencer[BLOCK_COUNT];     // the Gater of each Block
    TGrainSlots grainSlots[BLOCK_COUNT];  // each Block's sixteen grain slots
    TBasicReverb reverb[BLOCK_COUNT];
    TDelay delay;
    TNoiseGate follower;  // the envelope follower

    float tempo = 0.0f;          // beats per minute
    float storedRate = 0.0f;     // Hz; the rate the DSP modules were built for
    float samplesPerBar = 0.0f;  // 240 * storedRate / tempo
    float invSampleRate = 0.0f;  // 1 / storedRate
    // Frames processed; advanced by the engine alone. Atomic because the editor thread stamps
    // the start and end of an XY recording with it.
    std::atomic<int64_t> sampleCounter{0};
    float fixedLengths[4] = {};  // samples: storedRate times the four FIXED_LENGTH_SECONDS
    // Per modulation destination: how a slot acts on it (0 add, 1 exponential, 3 scale) and the
    // value it starts from in each frame. Filled by init, constant after.
    int modCombineKind[MOD_DESTINATION_COUNT] = {};
    float modBaseValues[MOD_DESTINATION_COUNT] = {};
    // The engine state the tests set and read, and LevelInputs, whose comparison the Blocks'
    // source defines outside the class.
    using EngineState::displayRefreshPending;
    using EngineState::followerHoldSamples;
    using EngineState::followerThreshold;
    using EngineState::LevelInputs;
    using EngineState::modSourceValues;
    using EngineState::modValues;
    using EngineState::noteOffFlag;
    using EngineState::noteOnFlag;
    using EngineState::quietFramesTaken;
    // In a quiet frame the targets of a pad that does not replay hold as they were.
    bool targetsHold(int b) const { return quietFrame && xy[b].recordMode != XY_REPLAY; }

    // The engine's noise generator, one per process: Room phases, grain jitter, note and white
    // noise. Separate from the comb and shaper generator. Draws are a load and a store: instances
    // rendering on different threads may repeat a value, but never race.
    static Relaxed<uint32_t> RandSeed;
    static float nextRandom() {  // u in [0, 1]
        uint32_t seed = RandSeed.load();
        const float u = randomUnit(seed);
        RandSeed.store(seed);
        return u;
    }
    // One draw from a seed held by the caller: v = seed * 16807, seed = v + 1, u from v.
    static float randomUnit(uint32_t& seed) {
        const uint32_t v = seed * 16807u;
        seed = v + 1u;
        return (static_cast<float>(static_cast<int32_t>(v)) * 4.656612873077393e-10f + 1.0f) * 0.5f;
    }

    // Seconds behind fixedLengths, as the nearest single-precision values.
    static constexpr float FIXED_LENGTH_SECONDS[4] = {0.015000021f, 0.039317489f, 0.063000001f, 0.036068503f};

    // ===================================================================== MIDI input and learning
    // The host hands events over on the render thread before the processing call of the same
    // slice; each waits in the pool until its frame comes. Only the render thread touches the
    // pool, so it needs no lock. Notes, pressure and a fixed set of controllers become
    // modulation sources; any other controller may be learned to drive a parameter.
    static constexpr int MIDI_POOL_SIZE = 250;
    static constexpr int32_t MIDI_POOL_FREE = -99;  // deltaFrames of an unused record
    // Records allocated one by one at construction; an entry is null only if that failed.
    VstMidiEvent* midiPool[MIDI_POOL_SIZE] = {};
    int32_t pendingMidiCount = 0;
    int32_t midiPoolEnd = 0;  // every record from here on is free
    // Pools the list's MIDI events; when the pool is full further events are dropped. Answers 1.
    int processEvents(VstEvents* events) override;
    // Applies the pooled events that fall due in this frame; the engine calls it while any wait.
    void processMidi();

    // The controller map. The editor's thread binds and unbinds while the render thread learns
    // and applies: every field is a relaxed atomic, and learnArmed publishes learnTarget.
    struct MidiCCMap {
        static constexpr int CONTROLLERS = 128;
        Relaxed<int32_t> ccToParam[CONTROLLERS];  // the parameter each controller drives, 0 none
        Relaxed<int32_t> learnTarget{-1};         // what the next controller binds to
        std::atomic<bool> learnArmed{false};
        // Controllers the render thread bound by learning whose binding is not yet in the
        // preferences: one bit each, written out on the main thread (saveLearnedControllers).
        std::atomic<uint64_t> unsaved[CONTROLLERS / 64] = {};
        Relaxed<float> pickUpValue[PARAMETER_COUNT];  // where a controller takes over; -1 none yet
        Relaxed<unsigned char> pickedUp[PARAMETER_COUNT];
    };
    MidiCCMap midiMap;
    // The "Capture" preference (pick-up mode) as last read: at start-up, at every binding and by
    // getMidiCapture, never per controller message.
    Relaxed<unsigned char> midiCapture;

    // Learn (latch) or unbind a parameter from every controller. Only parameters 1..800, what
    // a map file holds, can be bound; learning any other is refused.
    void setMidiLatch(int param, bool latch);
    void clearMidi();           // unbinds all 128 controllers
    void setAllMidiControls();  // the map from the preferences
    bool getMidiCapture();      // reads "Capture" afresh (the settings page calls it after writing it)
    // Main thread: writes the bindings learned on the render thread to the preferences, which
    // the render thread never touches. The editor's idle, suspend and the destructor call it.
    void saveLearnedControllers();
    void resetCapture();  // every parameter waits for its controller again
    void midiLoadBank() {}
    // Through a prompt: binds the parameter to the typed controller number (clamped to 0..127)
    // in place of its other controllers. An empty or cancelled answer changes nothing.
    void setMidiCCNum(int param);
    // The map to and from an .ecs file through the choosers.
    void loadECS();
    void saveECS();

    // ===================================================================== commands, undo and preset files
    // The editor's menu commands on the Blocks, their gaters and XY paths, and on the modulation
    // slots. Main thread; every change goes through setParameter, so the engine and the editor
    // see ordinary parameter changes. Every command but undo first takes a one-level snapshot.
    void doBlockCommand(int command, int block, int target, int side);
    void doModCommand(int command, int slot);
    void setBlockUndo();  // all three Blocks' rows
    void doUndoBlock();   // all three; nothing before the first snapshot
    void setModUndo();
    void doModUndo();  // nothing before the first snapshot
    // Sets a whole slot: bypass on or off, amount as a parameter value, source unless -1, and
    // destination, the last two as choices. Slots outside 0..3 are ignored.
    void setModVariables(int slot, bool bypass, float amount, int source, int destination);

    // Preset files through the choosers, in the folders below (each opens where the last file
    // of its kind was chosen). A cancelled chooser does nothing; a file that cannot be read or
    // written shows a message and changes nothing. A load answers whether it loaded.
    bool loadBlock(int block);
    void saveBlock(int block);
    bool loadXY(int block);
    void saveXY(int block);
    bool loadMod();
    void saveMod();

    // The modulation matrix in the order of its undo, clipboard and file: bypass, amount, source
    // and destination of slots 1-4.
    static constexpr int MOD_PARAMETER_COUNT = 16;
    static constexpr int32_t MOD_PARAMETERS[MOD_PARAMETER_COUNT] = {204, 205, 206, 207, 122, 123, 124, 125,
                                                                    208, 209, 210, 211, 212, 213, 214, 215};
    float blockUndo[PARAMETER_COUNT] = {};  // by parameter index; only the Blocks' rows are used
    bool blockUndoTaken = false;
    float modUndo[MOD_PARAMETER_COUNT] = {};
    bool modUndoTaken = false;
    float modClipboard[MOD_PARAMETER_COUNT] = {};
    bool modClipboardFilled = false;
    float slotClipboard[4] = {};  // bypass, source, destination, amount
    char filePath[256] = {};      // the chosen file, emptied once it is open

    // ===================================================================== XY motion
    // Each Block's pad position comes from live input (editor or MIDI), a recording captured per
    // millisecond, or the replay of its 32-point path, and is published as the sources X, Polar X,
    // Y and Polar Y. The render thread owns the replay state. The editor thread writes only the
    // pad position, the pen and the recording flag, and asks for resets through requests that
    // the render thread carries out at its next step; everything both threads touch is a relaxed
    // atomic (release/acquire where one value guards others), so nothing locks and nothing tears.

    enum XYRecordMode { XY_LIVE = 0, XY_RECORDING = 1, XY_REPLAY = 2 };
    enum XYPlayMode { XY_FREE = 0, XY_TRIGGER = 1, XY_FOLLOWER = 2, XY_NOTE = 3 };
    enum XYLoopMode { XY_LOOP_OFF = 0, XY_LOOP_ON = 1, XY_PING_PONG = 2 };

    static constexpr int XY_RECORD_SLOTS = 500000;  // one per millisecond
    // Positions run in [0, span): the single-precision 31.9999, held as a double.
    static constexpr double XY_SPAN = static_cast<double>(31.9999f);
    // Bars per period of each Sync / Time Quant option (0 = off).
    static constexpr float INV_PERIOD_ARRAY[31] = {
        0.0f,         1.0f / 48.0f, 1.0f / 32.0f, 3.0f / 64.0f, 1.0f / 24.0f, 1.0f / 16.0f, 3.0f / 32.0f,
        1.0f / 12.0f, 1.0f / 8.0f,  3.0f / 16.0f, 1.0f / 6.0f,  1.0f / 4.0f,  3.0f / 8.0f,  1.0f / 3.0f,
        1.0f / 2.0f,  3.0f / 4.0f,  2.0f / 3.0f,  1.0f,         1.5f,         4.0f / 3.0f,  2.0f,
        3.0f,         8.0f / 3.0f,  4.0f,         6.0f,         16.0f / 3.0f, 8.0f,         12.0f,
        32.0f / 3.0f, 16.0f,        18.0f};
    static constexpr int XY_QUANT[5] = {32, 16, 8, 4, 2};      // points used per Point Quant option
    static constexpr int XY_POINT_STEP[5] = {1, 2, 4, 8, 16};  // 32 / points used
    static constexpr double XY_INV_POINT_STEP[5] = {1.0, 0.5, 0.25, 0.125, 0.0625};
    static constexpr int XY_SNAP_AMOUNT[5] = {0, 32, 16, 8, 4};  // levels per Space Quant option

    // What the replay rate follows from, and what it came to (render thread).
    struct XYTiming {
        int32_t sync = 0;
        float pathTime = 0.0f;
        bool still = true;                   // a free path too short to move
        bool emptyPath = true;               // a free path so short that the pad stands at 0
        double pointsPerFrame = 0.0;         // the rate
        double pointsPerFrameAtSpeed = 0.0;  // the rate times the speed setting
        double holdIncrement = -1.0;
        bool quantised = false;  // in time or space: the sources move in steps
    };

    // The replay's own settings as last read (render thread).
    struct XYReplaySettings {
        float rawSync = 0.0f, rawSec = 0.0f, rawMs = 0.0f, rawTimeQuant = 0.0f;
        double speed = 1.0;      // the replay speed factor, 2^(8 s - 4)
        int32_t modSource = 0;   // the speed's modulation source
        double modAmount = 0.0;  // -1..1
        float smooth = 0.0f;
        // The path's points as read, X and Y of each side by side: one load fetches a point.
        alignas(16) float path[XY_PATH_POINTS][2] = {};
    };

    // The replay's table row for a loop mode and Point Quant (its points and its wrap bound), and
    // the one of the first of each.
    struct XYReplayRow;
    static const XYReplayRow* const XY_FIRST_ROW;

    struct XYState {
        // Render thread only.
        int32_t pointQuant = 0;   // Point Quant option
        double pointScale = 1.0;  // 2^-pointQuant: positions to steps of the points used
        int32_t pointsUsed = 32;
        int32_t pointStep = 1;
        double position = 0.0;   // in points
        double direction = 1.0;  // 0 while a note-off holds the position
        double rate = 0.0;       // points per frame
        double holdCounter = 1.0;
        bool playing = false;
        int32_t playMode = XY_FREE, loopMode = XY_LOOP_OFF;
        const XYReplayRow* replayRow = XY_FIRST_ROW;  // of loopMode and pointQuant
        int32_t recordMode = XY_LIVE, previousRecordMode = XY_LIVE;
        float midiX = 0.0f, previousMidiX = 0.0f, midiY = 0.0f, previousMidiY = 0.0f;
        int32_t belowThresholdCount = 0;  // Follower play mode
        // The speed factor and the smoothing as last worked out, and what they came from: the
        // speed source's value (NaN after the settings were read), the smoothing and its
        // modulation.
        float speedSource = std::numeric_limits<float>::quiet_NaN();
        double speedFactor = 1.0;
        float smoothKey = std::numeric_limits<float>::quiet_NaN();
        BlockLanes glideNew{1.0f, 1.0f, 1.0f, 1.0f}, glideOld{};  // the target's share and the position's
        XYTiming timing;
        bool timingStale = true;  // the settings the timing follows from were read again
        XYReplaySettings replaySettings;
        int32_t spaceLevels = 0;
        // What a steady frame's step takes from the last full step: the points it adds per frame,
        // the bits of the speed source and of the speed and smoothing modulation that came from,
        // and the glided position it left. Every full step plans anew; a frame that starts the
        // pads, a moved timing or another key drops back to the full step.
        bool planned = false;
        uint32_t plannedSource = 0;
        uint64_t plannedModulation = 0;
        double plannedStep = 0.0;
        BlockLanes glided{};
        // The raw parameter values the modes above were decoded from.
        float rawPlayMode = std::numeric_limits<float>::quiet_NaN();
        float rawLoopMode = std::numeric_limits<float>::quiet_NaN();

        // Shared with the editor thread.
        std::atomic<float> currentX{0.0f}, currentY{0.0f};   // smoothed position; the live pad position
        std::atomic<float> heldX{0.0f}, heldY{0.0f};         // time-quantised position, for the cursor
        std::atomic<bool> xChanged{false}, yChanged{false};  // moved by MIDI
        std::atomic<bool> updateXY{false}, changedXY{false};
        std::atomic<bool> recording{false};
        std::atomic<int64_t> recordStart{0};        // sampleCounter when the recording began
        std::atomic<int32_t> recordLength{0};       // last millisecond slot written
        std::atomic<float> penX{0.0f}, penY{0.0f};  // the editor's last raw pen position
        // Each of these also raises xyAttention, which the render thread looks at once per frame.
        std::atomic<unsigned> requests{0};      // XY_REQUEST_* bits left for the render thread
        std::atomic<bool> sourcesStale{false};  // the pad moved: publish its sources next frame

        // The smoothed position at (x, y): no glide.
        void jumpTo(float x, float y) {
            currentX.store(x, std::memory_order_relaxed);
            currentY.store(y, std::memory_order_relaxed);
        }
    };
    XYState xy[BLOCK_COUNT];
    // Raised by the editor thread after it left a request or moved a pad.
    std::atomic<bool> xyAttention{false};
    // Recording buffers, one slot per millisecond and Block; slot i of Block b is
    // xyRecordX[b][i], an atomic reference (the editor thread records, the render thread
    // replays). Their pages start silent, so a pad never recorded costs no memory.
    class XYRecording {
    public:
        struct Row {
            float* slots;
            std::atomic_ref<float> operator[](int i) const { return std::atomic_ref<float>(slots[i]); }
        };
        Row operator[](int b) const {
            return Row{buffer.get() + static_cast<std::size_t>(b) * XY_RECORD_SLOTS};
        }

    private:
        SilentBuffer<float> buffer{static_cast<std::size_t>(BLOCK_COUNT) * XY_RECORD_SLOTS};
    };
    XYRecording xyRecordX, xyRecordY;

    // Render thread, once per frame and Block: updateTriggers for the three Blocks, then
    // updateXYStuff for the three.
    void updateTriggers(int b);
    void updateXYStuff(int b);
    void updateXYFrame();        // both, for the three Blocks in that order
    void replayPads();           // a steady frame's XY step: the replaying pads only
    void updateXYReplay(int b);  // the replay step alone
    void updateXYRecord(int b);  // the capture of one millisecond slot alone
    // replayPads for n frames running, keeping after each frame q what each replaying pad adds
    // to its Block's targets in targets[q].
    void replayPadsRun(BlockLanes (*targets)[BLOCK_COUNT], int n);
    void startReplay(int b);
    // Position 0, hold counter 1, direction 1: what every trigger does.
    void restartXYReplay(int b);
    // Playing, restarted, and the Block's step sequence started from its first step.
    void startXYReplay(int b);
    // Playback start: free-running paths restart with rate 0 and their step sequencers stop;
    // the next updateTriggers starts them again.
    void restartFreeXYReplays();

    // Any thread; carried out by the render thread at the Block's next trigger update.
    void resetXYS();               // replay and trigger state of the three Blocks
    void stopXYReplay(int b);      // the same for one Block
    void resetXY(int b);           // replay and recording state; one replay step in replay mode
    void clearXYFollowerCounts();  // the Follower play mode's below-threshold counts

    // Space quantisation of Block b: v itself when off, else v on the nearest of its levels.
    float snapValue(int b, float v) const;
    // Render thread, like the point mapping below (it reads the step of the current frame).
    void setSnapedModSource(int b, int source, float v);
    // Index of the path point used at integer position pos (offset 0) or the next one (1).
    int getQuantPos(int b, int pos, int offset, int loop) const;
    // Fraction of the way from that point to the next one.
    float getQuantInter(int b, double pos) const;
    // The same for a point step k and a Point Quant option.
    static int quantPos(int k, int pos, int offset, int loop);
    static float quantInter(int pointQuant, double pos);

    // Editor and commands.
    int getXYRecordMode(int b) const;
    int getXYPlayMode(int b) const;
    int getXYLoopMode(int b);  // a free path never stops: Loop "Off" becomes "On" here
    int getXYSync(int b) const;
    int getXYPointQuantization(int b) const;
    int getXYSpaceQuantization(int b) const;
    int getXYTimeQuantization(int b) const;
    void getXYValues(int b, int i, float& x, float& y) const;
    void setXY(int b, int i, float x, float y);  // path point i
    void setXY(int b, float x, float y);         // live pad position
    void getXYEditor(int b, float& x, float& y) const;
    float getMidiX(int b) const;
    float getMidiY(int b) const;
    bool getXChanged(int b);  // reading clears
    bool getYChanged(int b);
    void setUpdateXY(int b, bool v);
    bool getUpdateXY(int b) const;
    void setChangedXY(int b, bool v);
    bool getChangedXY(int b) const;
    void startXYRecord(int b);
    void setXYRecord(int b, float x, float y);
    void endXYRecord(int b);
    float getXYPathTime(int b) const;  // seconds
    bool getHasPath(int b) const;
    void setZeroTime(int b);  // a path under 2 ms becomes 4 s long

    // ===================================================================== editor link
    bool beginEdit(int index) override;
    bool endEdit(int index) override;
    // True only while the editor exists, has finished opening and is open.
    bool isEditorOpen();
    // Brings the editor up to date and asks the host to redraw, as each host tolerates.
    void editorResume();

    Relaxed<unsigned char> editorOpening;  // written by the editor's open and close
    Relaxed<unsigned char> editorIsOpen;
    // The editor made by the installed factory (the base owns and deletes it), or none.
    EditorLink* editorLink = nullptr;

private:
    // Engine frame and control schedule (APluginEngine.cpp).
    float param(int index) const { return currentValues[index].load(); }
    void runModulationMatrix();
    void readEngineSettings();  // the frame settings and the slots, after a write
    void controlStep128();
    void controlStep16();
    void updateControls16();  // the step's settings of the gaters, the Delay, the follower and the pads
    void gaterStep4();
    void followHostTransport();
    void restartForPlayback();
    void updateDelayLoop();
    void resetEngineNow();  // the work resetEverything asks of the render thread
    // Blocks, paths and output (APluginBlocks.cpp).
    void readFrameSettings();
    void updateBlockLevels();
    // After a frame: whether every check of the frames up to the next control step would find
    // nothing to do, so that only the signal's steps run.
    bool quietFrameAhead();
    void mixBlockLevels(const LevelInputs& in);
    FramePair runSignalPath(FramePair in);
    template <int path>
    FramePair runPath(FramePair in);
    // A quiet run taken stage by stage (the Delay, each Block, the output stage over all of the
    // run's frames in turn), with what the controls gave the Blocks frame by frame worked out
    // first. Only while nothing the controls follow comes from the signal within the run. A
    // control frame that would start a run leads it: up to 16 frames.
    static constexpr int QUIET_RUN_FRAMES = 16;
    struct RunControls {
        BlockLanes targets[QUIET_RUN_FRAMES][BLOCK_COUNT];  // what each pad adds to its targets
        float gater[QUIET_RUN_FRAMES][BLOCK_COUNT][2];      // each gater's left and right
        // Per Block, 1 while they move from frame to frame, 0 while the first frame's hold.
        int targetStride[BLOCK_COUNT], gaterStride[BLOCK_COUNT];
        int offBlocks;  // the Blocks that are Off and not bypassed
        int firstRoom;  // the first of two Rooms or more, which take the run together; or -1
        // 1 when the control frame leads the run: its Blocks take their settings as in a frame
        // that is not quiet, the frames after as quiet ones.
        int lead = 0;
    };
    // Whether the run goes stage by stage; if so, what its Blocks are in controls.
    bool quietRunStaged(RunControls& controls) const;
    // The output stage of one frame for the path's lanes and the dry pair; processed: the pair
    // before the gains, which the follower may measure.
    static FramePair outputStage(BlockLanes lanes, FramePair dry, const OutputGains& g, FramePair& processed);
    // What the pad adds to Block b's three targets now.
    BlockLanes padTargets(int b) const {
        const float x = modSourceValues[SOURCE_X[b]], y = modSourceValues[SOURCE_Y[b]];
        return BlockLanes{x, x, x, x} * xyAmounts[b][0] + BlockLanes{y, y, y, y} * xyAmounts[b][1];
    }
    // The run's n output pairs for its n input pairs; gives the n pairs the follower measures
    // after each frame (the input itself, or what follow now holds). frame: the sample counter
    // before the run's first frame.
    const FramePair* runStages(const FramePair* in, FramePair* out, FramePair* follow, int n,
                               const RunControls& controls, int64_t frame);
    template <int path>
    const FramePair* runPathStages(const FramePair* in, FramePair* out, FramePair* follow, int n,
                                   const RunControls& controls, int64_t frame);
    void runBlockStage(int b, bool parallel, const BlockLanes* in, BlockLanes* out, int n,
                       const RunControls& controls, int64_t frame);
    void delayStage(BlockLanes* lanes, int n);
    void runRoomsTogether(bool parallel, const BlockLanes* in, BlockLanes (*out)[QUIET_RUN_FRAMES], int n,
                          const RunControls& controls, int64_t frame);
    void publishLevelSources();  // the level sources from what the last frame kept
    void noteQuietSpan();
    // The Block's output lanes for its input lanes.
    BlockLanes runBlock(int block, bool parallel, BlockLanes input);
    BlockLanes mixBlock(int block, BlockLanes in, BlockLanes processed) const;
    BlockMix gaterMix(int block) const;       // a Gater Block's mix, under its pad's third target
    BlockLanes delayLanes(BlockLanes lanes);  // doDelay with Delay On already known
    // Each type's processed lanes for the Block's input lanes.
    BlockLanes processFilter(int block, BlockLanes in);
    // What processFilter looks up that stands through a quiet run, looked up once for the run, and
    // one frame of the run.
    struct FilterRun {
        TFilter* filter;
        float freqMod;         // the Block's modulation of the cutoff
        const float* targets;  // its pad's targets, moved from frame to frame only by a replay
        BlockLanes settings;   // drive, resonance, vowel and gain, their modulation added
        bool hold;             // targetsHold: the setters do not run
        bool smooth;           // not the first frame after a reset: the cutoffs glide
    };
    FilterRun filterRunOf(int block);
    BlockLanes filterFrame(const FilterRun& run, BlockLanes in);
    BlockLanes processComb(int block, BlockLanes in);
    BlockLanes processShaper(int block, BlockLanes in);
    BlockLanes processRoom(int block, BlockLanes in);
    void roomRun(int block, const BlockLanes* in, BlockLanes* out, int n, int lead, int64_t frame);
    [[gnu::noinline]] BlockLanes controlRoom(int block, BlockLanes in, BlockLanes settings, bool rest);
    void stepRoomLfos(int block, int64_t frame);        // every eighth frame
    BlockLanes processGrain(int block, BlockLanes in);  // leaves the plain grain sums in grainPlain
    float stepGrainSettings(int block);  // processGrain's settings and triggers; answers the speed
    // Grain length in frames for value v, given 2^(8 v) for the free modes.
    float grainLength(int mode, float v, float pow2EightV) const;

    // Preset files (APluginPresetFiles.cpp). The chooser's answer goes to filePath; false when
    // none was chosen. The folder a file was chosen in becomes the kind's folder.
    bool chooseFileToLoad(const char* title, const char* pattern, const char* key, char* folder, int size);
    bool chooseFileToSave(const char* title, const char* defaultName, const char* key, char* folder,
                          int size);
    char* presetFolder(presetfile::Kind kind);
    bool loadValues(presetfile::Kind kind, const int32_t* params);
    void saveValues(presetfile::Kind kind, const int32_t* params);

    // MIDI (APluginMidi.cpp).
    void initMidiMap();
    void applyController(int cc, float v);  // a controller message falling due
    void unbindParam(int param);            // from every controller, with its pick-up state

    void readHostQuirks();
    void loadPresetFolders();
    void initParameterStore();
    void initModDestinationTables();
    // setParameter without the reload trigger: what applying a program uses for every index.
    void storeParameter(int index, float value);
    float sanitized(int index, float value) const;
    void copyFactoryPreset(int preset);
    // The compare operations write the live values and the record directly; the engine reads
    // them on its next block.
    void restoreValues(const Relaxed<float> (&values)[PARAMETER_COUNT]);
    unsigned char* chunkBuffer(bool isPreset);  // null when this host takes no chunk of that form

    // XY motion helpers.
    enum : unsigned { XY_REQUEST_RESET_XYS = 1, XY_REQUEST_RESET_XY = 2, XY_REQUEST_CLEAR_COUNT = 4 };
    void postXYRequest(int b, unsigned request);
    void applyXYRequests(int b);
    void followMidiPosition(int b);
    // Reads one axis of the MIDI position; true when it moved more than jitter.
    bool followMidiAxis(float& midi, float& previous, int tag) const;
    // The frame's trigger and XY steps of one Block, and restarting it on a mode change. With
    // attention the editor thread's requests and pad moves are looked at; with settingsMoved the
    // Block's choices are decoded again.
    void triggerStep(int b, bool attention);
    void xyFrameStep(int b, bool attention, bool settingsMoved, bool editorOpen);
    void updateXYFrameMoved(bool settingsMoved, bool attention, bool editorOpen);  // not steady
    void updateXYTriggers();     // not steady, but nothing moved: updateXYFrameMoved(false, false, false)
    void updateXYFrameLooked();  // updateXYFrame where a setting, a request or the editor may have moved
    void xyFrameSteps(bool settingsMoved, bool attention, bool editorOpen);  // both steps of the three
    void replayStep(int b);                                                  // updateXYReplay's body
    void replayPlanned(int b);  // a steady frame's replay step, from the plan where its keys hold
    bool keepsToPlan(int b) const;
    BlockLanes glideTo(int b, double position, BlockLanes from) const;
    void settleXY(int b, BlockLanes glided);  // stores, holds and publishes the glided position
    void settleQuantised(int b, float x, float y);
    void decodeXYModes(int b);
    void readXYSettings(int b);  // the replay settings and Space Quant, after a write
    void updateXYTiming(int b);
    void restartForModes(int b);
    void restoreLivePosition(int b);
    static void publishXYSources(float* sources, int levels, float x, float y);
    void writeXYSources(int b, float x, float y);
    float xyParam(int index) const { return currentValues[index]; }
    int xyLoopMode(int b, int playMode);  // getXYLoopMode with the play mode already read
};

// The engine reads choices and switches many times per frame: these stay inline.
inline int APlugin::getSteppedValue(int index, float scale, int count) const {
    return index >= 0 && index < PARAMETER_COUNT ? getSteppedValue(currentValues[index].load(), scale, count)
                                                 : 0;
}

inline int APlugin::getChoice(int index, float value) {
    if (index < 0 || index >= PARAMETER_COUNT) return 0;
    const SlotInfo& choice = CHOICE_SLOTS[static_cast<std::size_t>(index)];
    return getSteppedValue(value, choice.scale, choice.count);
}

inline int APlugin::getChoice(int index) const {
    return index >= 0 && index < PARAMETER_COUNT ? getChoice(index, currentValues[index].load()) : 0;
}

// Asked by the render thread for every Block and frame: inline, and cheap while there is no editor.
inline bool APlugin::isEditorOpen() {
    return editor && editorIsOpen && !editorOpening && editor->isOpen();
}

inline bool APlugin::getOnOff(float value) {
    return value >= 0.5f;
}

inline bool APlugin::getOnOff(int index) const {
    return index >= 0 && index < PARAMETER_COUNT && getOnOff(currentValues[index].load());
}
