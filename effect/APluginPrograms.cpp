// The program record, the factory bank, the compare operations and the effect chunk.

#include "effect/APlugin.h"

#include "effect/ProgramName.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

static_assert(sizeof(Relaxed<float>) == sizeof(float), "the program record is the chunk byte for byte");
static_assert(sizeof(APluginProgram) == APlugin::CHUNK_SIZE, "the program record is the chunk byte for byte");

namespace {

constexpr char NO_PRESET_NAME[] = "None";
constexpr int NAME_OFFSET = PARAMETER_COUNT * 4;

bool isFactoryPreset(int index) {
    return index >= 0 && index < FACTORY_PRESET_COUNT;
}

// Chunk floats are little-endian whatever the machine.
void putFloat(unsigned char* out, float value) {
    const auto bits = std::bit_cast<uint32_t>(value);
    for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(bits >> (8 * k));
}

float getFloat(const unsigned char* in) {
    uint32_t bits = 0;
    for (int k = 0; k < 4; ++k) bits |= static_cast<uint32_t>(in[k]) << (8 * k);
    return std::bit_cast<float>(bits);
}

}  // namespace

void APlugin::copyFactoryPreset(int preset) {
    if (!isFactoryPreset(preset)) return;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        currentValues[i] = DEMOVAR[preset][i];
        programs[0].values[i] = DEMOVAR[preset][i];
    }
    noteValuesWritten();
}

void APlugin::setProgram(int program) {
    if (program != 0 || editorOpening) return;
    APluginProgram& record = programs[0];

    // A chunk, a restored host state or a preset file may have written anything: NaN and
    // infinity become defaults, the rest is clamped and the switches snapped before anything
    // reads the record, so the copies below hold exactly what is applied and a freshly
    // applied program never counts as edited.
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        float v = sanitized(i, record.values[i]);
        if (isOnOff[i]) v = v < 0.5f ? 0.0f : 1.0f;
        record.values[i] = v;
    }

    // The program keeps its own values even when its name is a factory preset's; the name
    // only says which preset the editor and the host show.
    char name[PROGRAM_NAME_LENGTH + 1];
    decodeProgramName(record.values, name);
    int preset = 0;
    for (int k = 0; k < FACTORY_PRESET_COUNT; ++k)
        if (std::strcmp(name, factoryPresetNames[k]) == 0) preset = k;
    currentFactoryPreset = preset;

    editChanged = 0;
    curProgram = 0;
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        editValues[i] = record.values[i];
        lastSetValues[i] = record.values[i];
        referenceValues[i] = record.values[i];
    }
    // Not setParameter: its reload trigger at 1023 would replace the program with the preset.
    for (int i = 0; i < PARAMETER_COUNT; ++i) storeParameter(i, record.values[i]);

    for (int b = 0; b < BLOCK_COUNT; ++b) {
        currentValues[XY_MIDI_X_TAG[b]] = 0.0f;
        currentValues[XY_MIDI_Y_TAG[b]] = 0.0f;
        resetXY(b);
    }
    noteValuesWritten();
    refreshCounter = 1;  // the next refresh check comes 4095 frames later
    resetEverything();
    displayRefreshPending = 1;
}

void APlugin::setProgramName(char*) {}

void APlugin::getProgramName(char* name) {
    if (name) std::strcpy(name, getPresetName(currentFactoryPreset));
}

bool APlugin::getProgramNameIndexed(int, int index, char* text) {
    if (index != 0) return false;
    getProgramName(text);
    return true;
}

const char* APlugin::getPresetName(int index) const {
    return isFactoryPreset(index) ? factoryPresetNames[index] : NO_PRESET_NAME;
}

void APlugin::setDemoProgram(int index) {
    if (!isFactoryPreset(index)) return;
    currentFactoryPreset = index;
    copyFactoryPreset(index);
    setProgram(0);
}

void APlugin::changeDemoProgramDelta(int step) {
    const long long target = static_cast<long long>(currentFactoryPreset) + step;
    setDemoProgram(static_cast<int>(std::clamp<long long>(target, 0, FACTORY_PRESET_COUNT - 1)));
}

void APlugin::defaultProgram() {
    for (int i = 0; i < PROGRAM_NAME_START; ++i) {
        editValues[i] = defaultValues[i];
        currentValues[i] = defaultValues[i];
        programs[0].values[i] = defaultValues[i];
    }
    noteValuesWritten();
    editChanged = 1;
    editorResume();
}

void APlugin::restoreValues(const Relaxed<float> (&values)[PARAMETER_COUNT]) {
    for (int i = 0; i < PARAMETER_COUNT; ++i) {
        currentValues[i] = values[i];
        programs[0].values[i] = values[i];
    }
    noteValuesWritten();
}

void APlugin::editProgram() {
    restoreValues(editValues);
    editChanged = 1;
    editorResume();
}

void APlugin::origProgram() {
    restoreValues(referenceValues);
    editChanged = 0;
    if (editorLink && isEditorOpen()) editorLink->resume();
}

unsigned char* APlugin::chunkBuffer(bool isPreset) {
    const bool chunkHost = hostQuirks[QUIRK_REAPER] || hostQuirks[QUIRK_PROP] || hostQuirks[QUIRK_MASCHINE] ||
                           hostQuirks[QUIRK_QUENDA];
    if (!chunkHost) return nullptr;
    // That host takes the bank form only, and keeps it in the preset buffer.
    if (hostQuirks[QUIRK_MASCHINE]) return isPreset ? nullptr : presetChunk;
    if (isPreset) return hostQuirks[QUIRK_PROP] ? presetChunk : nullptr;
    return bankChunk;
}

int APlugin::getChunk(void** data, bool isPreset) {
    unsigned char* buffer = chunkBuffer(isPreset);
    if (!buffer || !data) return 0;
    const APluginProgram& record = programs[0];
    for (int i = 0; i < PARAMETER_COUNT; ++i) putFloat(buffer + 4 * i, record.values[i]);
    std::memcpy(buffer + NAME_OFFSET, record.name, APluginProgram::NAME_SIZE);
    *data = buffer;
    return CHUNK_SIZE;
}

int APlugin::setChunk(void* data, int byteSize, bool isPreset) {
    unsigned char* buffer = chunkBuffer(isPreset);
    // Nothing is read beyond the data given: a short chunk cannot be a program.
    if (!buffer || !data || byteSize < CHUNK_SIZE) return 1;
    std::memmove(buffer, data, CHUNK_SIZE);  // the host may hand back our own buffer

    APluginProgram& record = programs[0];
    for (int i = 0; i < PARAMETER_COUNT; ++i) record.values[i] = sanitized(i, getFloat(buffer + 4 * i));
    // A name without its NUL is cut to the 31 characters the record holds.
    const char* name = reinterpret_cast<const char*>(buffer + NAME_OFFSET);
    const auto length =
        static_cast<size_t>(std::find(name, name + APluginProgram::NAME_SIZE - 1, '\0') - name);
    std::memcpy(record.name, name, length);
    std::memset(record.name + length, 0, APluginProgram::NAME_SIZE - length);

    setProgram(isPreset ? curProgram : 0);
    return 1;
}
