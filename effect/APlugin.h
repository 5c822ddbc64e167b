#pragma once

// The effect object: a stereo effect with 1024 parameters and one program. It owns every DSP
// module, the parameter store, the program record, the MIDI-learn and XY state, and creates the
// editor. This header is laid out by concern; each section holds one concern's operations and
// state, in the order the constructor builds them.

#include "effect/FactoryBank.h"
#include "effect/ParameterLayout.h"
#include "effect/Relaxed.h"
#include "framework/effectbase/AudioEffectX.h"

#include <cstdint>

// The effect's one program: its values and its name. The chunk is this record byte for byte.
struct APluginProgram {
    static constexpr int NAME_SIZE = 32;  // NUL-terminated, at most 31 characters
    Relaxed<float> values[PARAMETER_COUNT];
    char name[NAME_SIZE] = {};
};

class APlugin : public AudioEffectX {
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

    float getDefaultValue(int index) const;
    void setDefaultValue(int index);
    void setZeroValue(int index);
    void copyParameter(int from, int to);
    void swapParameter(int a, int b);
    void toggleParameter(int index);
    // clamp((int)(value * scale + 0.1), 0, count - 1).
    static int getSteppedValue(float value, float scale, int count);
    int getSteppedValue(int index, float scale, int count) const;  // of the live value
    // Writes choice step (clamped) as (step + 0.1) / scale through setParameterAutomated.
    void setSteppedValue(int index, int step, float scale, int count);
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
    Relaxed<float> currentValues[PARAMETER_COUNT];    // the live values; the engine reads them
    unsigned char isOnOff[PARAMETER_COUNT] = {};
    unsigned char countsForEditChanged[PARAMETER_COUNT] = {};
    int32_t paramModDestination[PARAMETER_COUNT] = {};  // modulation destination, -1 for none
    Relaxed<unsigned char> editChanged;                 // the sound differs from the program as applied

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
    void processReplacing(float** inputs, float** outputs, int sampleFrames) override;
    // Re-initialises all engine and DSP state; every applied program ends here.
    void resetEverything() {}  // to be filled by the engine
    // Clears the per-Block engine counters (grain counter and slot) when a program is applied.
    void clearBlockCounters() {}  // to be filled by the engine
    // Readies Block b's XY replay for a newly applied program.
    void resetXY(int /*block*/) {}  // to be filled by the XY engine

    float tempo = 0.0f;           // beats per minute
    float storedRate = 0.0f;      // Hz; the rate the DSP modules were built for
    float samplesPerBar = 0.0f;   // 240 * storedRate / tempo
    float invSampleRate = 0.0f;   // 1 / storedRate
    int64_t sampleCounter = 0;    // advanced by the engine
    float fixedLengths[4] = {};   // samples: storedRate times the four FIXED_LENGTH_SECONDS
    uint32_t refreshCounter = 0;  // frames; the editor refresh check runs when the low 12 bits are 0
    Relaxed<unsigned char> displayRefreshPending;  // set by program changes, served by the engine
    // Per modulation destination: how a slot acts on it (0 add, 1 exponential, 3 scale) and the
    // value it starts from in each frame. Filled by init, constant after.
    int modCombineKind[MOD_DESTINATION_COUNT] = {};
    float modBaseValues[MOD_DESTINATION_COUNT] = {};

    // Seconds behind fixedLengths, as the nearest single-precision values.
    static constexpr float FIXED_LENGTH_SECONDS[4] = {0.015000021f, 0.039317489f, 0.063000001f, 0.036068503f};

    // ===================================================================== MIDI input and learning
    static constexpr int MIDI_POOL_SIZE = 250;
    static constexpr int32_t MIDI_POOL_FREE = -99;  // deltaFrames of an unused record
    // Records allocated one by one at construction; an entry is null only if that failed.
    VstMidiEvent* midiPool[MIDI_POOL_SIZE] = {};
    int32_t pendingMidiCount = 0;

    // ===================================================================== XY motion
    int getXYPlayMode(int block) const;  // 0 free, 1 trigger, 2 follower, 3 note

    // ===================================================================== editor link
    bool beginEdit(int index) override;
    bool endEdit(int index) override;
    // True only while the editor exists, has finished opening and is open.
    bool isEditorOpen();
    // Brings the editor up to date and asks the host to redraw, as each host tolerates.
    void editorResume();

    Relaxed<unsigned char> editorOpening;  // written by the editor's open and close
    Relaxed<unsigned char> editorIsOpen;

private:
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
};
