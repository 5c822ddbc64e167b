#include "effect/APlugin.h"

#include "effect/ParameterNames.h"
#include "framework/platform/FileHelpers.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

namespace {

constexpr char kEffectName[] = "Tarnwell";
constexpr char kVendorName[] = "Orvane";
constexpr int kVendorVersion = 0x10001;

// vendorSpecific words a host uses to pass the mouse wheel on to the editor.
constexpr long long kWheelIndex = 0x73744341;
constexpr long long kWheelValue = 0x57686565;

struct PresetFolder {
    const char* key;
    int limit;             // bytes read, terminator included
    const char* fallback;  // in the application's data folder
};

// A file or folder in the application's data folder, or empty when the whole does not fit size:
// a cut path would name another place.
void dataPath(const char* name, char* out, int size) {
    char root[256];
    getApplicationDataFolder(root, sizeof root);
    out[0] = '\0';
    if (root[0] != '\0' && std::strlen(root) + std::strlen(name) + 1 <= static_cast<std::size_t>(size))
        std::snprintf(out, static_cast<std::size_t>(size), "%s%s", root, name);
}

}  // namespace

APlugin::APlugin(HostCallback host) : AudioEffectX(host, 1, PARAMETER_COUNT) {
    // DSP members for 44100 Hz, in declaration order: filters and combs here; shapers, step
    // sequencers, grains, reverbs, delay and follower by their own constructors.
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        filter[b].init(44100.0f);
        comb[b].init(44100.0f);
    }
    // Program record: values and name cleared.
    isSynth(false);
    editorOpening = 0;
    editorIsOpen = 0;
    if (EditorFactory make = editorFactory()) editorLink = make(this);
    std::srand(static_cast<unsigned>(std::clock()));
    setNumInputs(2);
    setNumOutputs(2);
    pendingMidiCount = 0;
    canProcessReplacing(true);
    readHostQuirks();
    // Hosts that keep state their own way get the chunk form.
    programsAreChunks(hostQuirks[QUIRK_REAPER] || hostQuirks[QUIRK_PROP] || hostQuirks[QUIRK_MASCHINE] ||
                      hostQuirks[QUIRK_KORE] || hostQuirks[QUIRK_QUENDA]);
    setUniqueID(fourCharCode("Nwel"));
    for (VstMidiEvent*& record : midiPool) {
        record = new (std::nothrow) VstMidiEvent{};
        if (!record) continue;
        record->type = kVstMidiType;
        record->deltaFrames = MIDI_POOL_FREE;
        record->reserved1 = 99;
    }
    init();
    // A new instance starts with factory preset 0.
    editChanged = 0;
    setDemoProgram(0);
}

APlugin::~APlugin() {
    saveLearnedControllers();
    for (VstMidiEvent*& record : midiPool) {
        delete record;
        record = nullptr;
    }
    // The DSP members, the delay and reverbs among them, go before the base deletes the editor.
}

void APlugin::readHostQuirks() {
    std::fill(std::begin(hostQuirks), std::end(hostQuirks), 0);
    char product[256] = {};
    char vendor[256] = {};
    getHostProductString(product);
    getHostVendorString(vendor);
    // Whatever the host wrote, the texts end inside their buffers.
    product[255] = 0;
    vendor[255] = 0;
    upperCase(product);
    upperCase(vendor);
    auto is = [](const char* text, const char* name) { return std::strcmp(text, name) == 0; };
    auto begins = [](const char* text, const char* start) {
        return std::strncmp(text, start, std::strlen(start)) == 0;
    };
    hostQuirks[QUIRK_REAPER] = is(product, "REAPER");
    hostQuirks[QUIRK_PROP] = begins(vendor, "PROP");
    hostQuirks[QUIRK_MASCHINE] = is(product, "MASCHINE HOST");
    hostQuirks[QUIRK_KORE] = begins(product, "KORE");
    hostQuirks[QUIRK_QUENDA] = is(product, "QUENDA");
    hostQuirks[QUIRK_FRUITY] = begins(product, "FRUITY");
    hostQuirks[QUIRK_CUBASE] = begins(product, "CUBASE");
    hostQuirks[QUIRK_LIVE] = is(product, "LIVE");
}

void APlugin::init() {
    for (int k = 0; k < FACTORY_PRESET_COUNT; ++k)
        std::snprintf(factoryPresetNames[k], sizeof(factoryPresetNames[k]), "%s", FACTORY_PRESET_NAMES[k]);
    loadPresetFolders();
    dataPath("Help/Tarnwell_Manual.html", helpPath, sizeof(helpPath));
    initParameterStore();
    initMidiMap();
    editChanged = 0;
    sampleCounter = 0;
    tempo = 120.0f;
    storedRate = 44198.0f;
    setSampleRate(44199.0f);  // always differs from storedRate, so every module is built once
    displayRefreshPending = 0;
    pendingMidiCount = 0;
    for (TGrainSlots& slots : grainSlots) slots.reset();
    initModDestinationTables();
    // Block and modulation undo stores cleared.
}

void APlugin::loadPresetFolders() {
    static constexpr PresetFolder folders[] = {
        {"XYPresetDir", 255, "XY Presets/"},
        {"ModPresetDir", 255, "Mod Presets/"},
        // Block presets share the Mod Presets folder by default; stored settings rely on it.
        {"BlockPresetDir", 255, "Mod Presets/"},
        {"ECSDir", 127, "ECS/"},
    };
    char* buffers[] = {xyPresetDir, modPresetDir, blockPresetDir, ecsDir};
    for (int i = 0; i < 4; ++i) {
        char* folder = buffers[i];
        loadStringFromPrefs(folders[i].key, folder, folders[i].limit);
        if (folder[0] == 0) {
            dataPath(folders[i].fallback, folder, folders[i].limit);
            if (folder[0] != 0) saveStringToPrefs(folders[i].key, folder);
        }
    }
}

void APlugin::suspend() {
    saveLearnedControllers();  // processing has stopped; the host calls this on its main thread
}

void APlugin::setSampleRate(float rate) {
    if (std::isinf(rate)) return;             // no module can be built for it
    const float r = std::max(1000.0f, rate);  // a NaN rate falls to 1000 here too
    if (std::fabs(storedRate - r) < 0.00001f) return;
    storedRate = r;
    samplesPerBar = 240.0f * r / tempo;
    invSampleRate = 1.0f / r;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        filter[b].init(r);
        comb[b].init(r);
        shaper[b].init(r);
        grainSlots[b].reset();
        grainRecording[b] = 0;
    }
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        reverb[b].setSampleRate(r);
        memo[b].roomHighPass = std::numeric_limits<float>::quiet_NaN();  // its coefficient follows the rate
    }
    for (int i = 0; i < 4; ++i) fixedLengths[i] = r * FIXED_LENGTH_SECONDS[i];
    delay.init(r);
    follower.init(r);
}

bool APlugin::getEffectName(char* name) {
    std::strcpy(name, kEffectName);
    return true;
}

bool APlugin::getVendorString(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

bool APlugin::getProductString(char* text) {
    std::strcpy(text, kEffectName);
    return true;
}

int APlugin::getVendorVersion() {
    return kVendorVersion;
}

int APlugin::canDo(char* text) {
    if (!text) return 0;
    for (const char* word : {PlugCanDos::canDoReceiveVstEvents, PlugCanDos::canDoReceiveVstMidiEvent,
                             PlugCanDos::canDoReceiveVstTimeInfo}) {
        if (std::strcmp(text, word) == 0) return 1;
    }
    return 0;
}

bool APlugin::getOutputProperties(int index, VstPinProperties* properties) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof(properties->label), "%s %d", kEffectName, index + 1);
    properties->flags = kPinIsActive | kPinIsStereo;
    return true;
}

long long APlugin::vendorSpecific(int index, long long value, void* ptr, float opt) {
    if (index == kWheelIndex && value == kWheelValue && editor) return editor->onWheel(opt);
    if (index == QuietSpanRequest::kIndex && value == QuietSpanRequest::kValue && ptr) {
        *static_cast<long long*>(ptr) = quietSpan.load();
        return 1;
    }
    return 0;
}

float APlugin::getVu() {
    return 0.0f;
}

BlockNaming APlugin::blockNaming() const {
    BlockNaming naming;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        naming.block[b].type = getBlockType(b);
        naming.block[b].filterMode = getFilterMode(b);
        naming.block[b].shaperMode = getShaperMode(b);
    }
    return naming;
}

void APlugin::getParameterName(int index, char* text) {
    parameterName(index, blockNaming(), text);
}

void APlugin::getDestinationString(int destination, bool shortForm, char* text) const {
    destinationName(destination, shortForm, blockNaming(), text);
}

bool APlugin::beginEdit(int index) {
    if (editorLink) editorLink->setEditTag(index);
    return AudioEffectX::beginEdit(index);
}

bool APlugin::endEdit(int index) {
    if (editorLink) editorLink->setEditTag(-1);
    return AudioEffectX::endEdit(index);
}

void APlugin::editorResume() {
    if (isEditorOpen() && editorLink) editorLink->resume();
    if (hostQuirks[QUIRK_FRUITY] || hostQuirks[QUIRK_CUBASE]) return;
    if (!hostQuirks[QUIRK_LIVE] || isEditorOpen()) updateDisplay();
}

AudioEffect* createEffectInstance(HostCallback audioMaster) {
    return new (std::nothrow) APlugin(audioMaster);
}
