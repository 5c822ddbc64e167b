#pragma once

// The effect object: a stereo effect with 1024 parameters and one program. It owns every DSP
// module, the parameter store, the program record, the MIDI-learn and XY state, and creates the
// editor. This header is laid out by concern; each section holds one concern's operations and
// state, in the order the constructor builds them.

#include "effect/ParameterLayout.h"
#include "framework/effectbase/AudioEffectX.h"

#include <cstdint>

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
    void getParameterName(int index, char* text) override;
    // clamp((int)(value * scale + 0.1), 0, count - 1) of the live value.
    int getSteppedValue(int index, float scale, int count) const;
    int getBlockType(int block) const;
    int getFilterMode(int block) const;
    int getShaperMode(int block) const;
    int getPath() const;  // signal path 0..5

    float currentValues[PARAMETER_COUNT] = {};  // the live values; the engine reads them

    // ===================================================================== programs and presets
    // Preset folders from the preferences (folder texts end in '/').
    char xyPresetDir[256] = {};
    char modPresetDir[256] = {};
    char blockPresetDir[256] = {};
    char ecsDir[128] = {};
    char helpPath[256] = {};

    // ===================================================================== engine
    void processReplacing(float** inputs, float** outputs, int sampleFrames) override;

    float tempo = 0.0f;          // beats per minute
    float storedRate = 0.0f;     // Hz; the rate the DSP modules were built for
    float samplesPerBar = 0.0f;  // 240 * storedRate / tempo
    float invSampleRate = 0.0f;  // 1 / storedRate
    int64_t sampleCounter = 0;   // advanced by the engine
    float fixedLengths[4] = {};  // samples: storedRate times the four FIXED_LENGTH_SECONDS
    unsigned char displayRefreshPending = 0;

    // Seconds behind fixedLengths, as the nearest single-precision values.
    static constexpr float FIXED_LENGTH_SECONDS[4] = {0.015000021f, 0.039317489f, 0.063000001f, 0.036068503f};

    // ===================================================================== MIDI input and learning
    static constexpr int MIDI_POOL_SIZE = 250;
    static constexpr int32_t MIDI_POOL_FREE = -99;  // deltaFrames of an unused record
    // Records allocated one by one at construction; an entry is null only if that failed.
    VstMidiEvent* midiPool[MIDI_POOL_SIZE] = {};
    int32_t pendingMidiCount = 0;

    // ===================================================================== XY motion

    // ===================================================================== editor link
    bool beginEdit(int index) override;
    bool endEdit(int index) override;
    // True only while the editor exists, has finished opening and is open.
    bool isEditorOpen();
    // Brings the editor up to date and asks the host to redraw, as each host tolerates.
    void editorResume();

    unsigned char editorOpening = 0;  // written by the editor's open and close
    unsigned char editorIsOpen = 0;

private:
    void readHostQuirks();
    void loadPresetFolders();
};
