// The Block, XY path, modulation and controller-map files, reached through the file choosers.

#include "effect/APlugin.h"

#include "framework/platform/Dialogs.h"
#include "framework/platform/Preferences.h"
#include "framework/platform/StringHelpers.h"

#include <cstdio>

using presetfile::Kind;

namespace {

struct FileKind {
    const char* loadTitle;
    const char* filter;
    const char* loadError;
    const char* saveTitle;
    const char* defaultName;
    const char* saveError;
    const char* folderKey;
};

const FileKind& fileKind(Kind kind) {
    static constexpr FileKind BLOCK = {"Block Preset Loader", "*.blp",     "Problem with Block Preset file",
                                       "Block Preset Save",   "Block.blp", "Problem with Block Preset File",
                                       "BlockPresetDir"};
    static constexpr FileKind XY = {"XY Path Loader", "*.xyp",    "Problem with XY Path file",
                                    "XY Path Save",   "Path.xyp", "Problem with XY Path File",
                                    "XYPresetDir"};
    static constexpr FileKind MOD = {"Mod Preset Load", "*.mod",   "Problem with Mod file",
                                     "Mod Preset Save", "Mod.mod", "Problem with Mod File",
                                     "ModPresetDir"};
    return kind == Kind::Block ? BLOCK : kind == Kind::XYPath ? XY : MOD;
}

constexpr char ECS_ERROR[] = "Problem with ECS File";

}  // namespace

bool APlugin::chooseFileToLoad(const char* title, const char* pattern, const char* key, char* folder,
                               int size) {
    filePath[0] = '\0';
    char chosenFolder[PATH_BUFFER_SIZE] = {};
    char patterns[PATH_BUFFER_SIZE];
    std::snprintf(patterns, sizeof patterns, "%s", pattern);
    fileSelectLoadDir(title, folder, "Load", patterns, nullptr, chosenFolder, filePath);
    if (filePath[0] == '\0') return false;
    rememberChosenFolder(key, chosenFolder, folder, size);
    return true;
}

bool APlugin::chooseFileToSave(const char* title, const char* defaultName, const char* key, char* folder,
                               int size) {
    filePath[0] = '\0';
    char chosenFolder[PATH_BUFFER_SIZE] = {};
    fileSelectSaveDir(title, folder, "Save", defaultName, chosenFolder, filePath);
    if (filePath[0] == '\0') return false;
    rememberChosenFolder(key, chosenFolder, folder, size);
    return true;
}

char* APlugin::presetFolder(Kind kind) {
    return kind == Kind::Block ? blockPresetDir : kind == Kind::XYPath ? xyPresetDir : modPresetDir;
}

bool APlugin::loadValues(Kind kind, const int32_t* params) {
    const FileKind& k = fileKind(kind);
    if (!chooseFileToLoad(k.loadTitle, k.filter, k.folderKey, presetFolder(kind), PATH_BUFFER_SIZE))
        return false;
    float values[BLOCK_TAG_COUNT];
    const bool read = presetfile::readValues(filePath, kind, values);
    filePath[0] = '\0';
    if (!read) {
        messageBox(k.loadError, 2);
        return false;
    }
    for (int i = 0; i < presetfile::valueCount(kind); ++i) setParameter(params[i], values[i]);
    // A Block or a path is part of the program: applied as a program, the engine starts it afresh.
    if (kind != Kind::Modulation) setProgram(curProgram);
    return true;
}

void APlugin::saveValues(Kind kind, const int32_t* params) {
    const FileKind& k = fileKind(kind);
    if (!chooseFileToSave(k.saveTitle, k.defaultName, k.folderKey, presetFolder(kind), PATH_BUFFER_SIZE))
        return;
    float values[BLOCK_TAG_COUNT];
    for (int i = 0; i < presetfile::valueCount(kind); ++i) values[i] = getParameter(params[i]);
    const bool written = presetfile::writeAtomically(filePath, presetfile::valuesText(kind, values));
    filePath[0] = '\0';
    if (!written) messageBox(k.saveError, 2);
}

bool APlugin::loadBlock(int block) {
    return isBlock(block) && loadValues(Kind::Block, BLOCK_TAGS[block].data());
}

void APlugin::saveBlock(int block) {
    if (isBlock(block)) saveValues(Kind::Block, BLOCK_TAGS[block].data());
}

bool APlugin::loadXY(int block) {
    return isBlock(block) && loadValues(Kind::XYPath, BLOCK_TAGS[block].data() + BLOCK_XY_FIRST);
}

void APlugin::saveXY(int block) {
    if (isBlock(block)) saveValues(Kind::XYPath, BLOCK_TAGS[block].data() + BLOCK_XY_FIRST);
}

bool APlugin::loadMod() {
    return loadValues(Kind::Modulation, MOD_PARAMETERS);
}

void APlugin::saveMod() {
    saveValues(Kind::Modulation, MOD_PARAMETERS);
}

void APlugin::loadECS() {
    if (!chooseFileToLoad("ECS Loader", "*.ecs", "ECSDir", ecsDir, sizeof ecsDir)) return;
    int32_t map[MidiCCMap::CONTROLLERS];
    const bool read = presetfile::readControllerMap(filePath, map);
    filePath[0] = '\0';
    if (!read) {
        messageBox(ECS_ERROR, 2);
        return;
    }
    for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) {
        midiMap.ccToParam[cc] = map[cc];
        setMidiCC(cc, map[cc]);
    }
}

void APlugin::saveECS() {
    if (!chooseFileToSave("ECS Save", "Tarnwell.ecs", "ECSDir", ecsDir, sizeof ecsDir)) return;
    int32_t map[MidiCCMap::CONTROLLERS];
    for (int cc = 0; cc < MidiCCMap::CONTROLLERS; ++cc) map[cc] = midiMap.ccToParam[cc];
    const bool written = presetfile::writeAtomically(filePath, presetfile::controllerMapText(map));
    filePath[0] = '\0';
    if (!written) messageBox(ECS_ERROR, 2);
}
