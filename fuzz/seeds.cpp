// Writes the tests' hostile files into FOLDER/midi, FOLDER/state and FOLDER/audio, and a few
// well-formed preferences, presets and controller maps into FOLDER/preferences and
// FOLDER/presets: the first corpus of each fuzz target. Usage: seeds FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "effect/PresetFiles.h"
#include "tests/host/HostileFiles.h"

namespace {

std::vector<tarnwell::test::HostileFile> preferencesFiles() {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    return {
        {"settings.plist",
         head + "<key>Big150</key><string>Y</string>\n<key>Capture</key><string>N</string>\n"
                "<key>20</key><integer>40</integer>\n<key>XYPresetDir</key><string>/home/me/XY/</string>\n"
                "<key>Kq</key><real>0.5</real>\n<key>list</key><array><true/><data>AAEC</data></array>\n"
                "</dict>\n</plist>\n",
         "", false},
        {"empty.plist", head + "</dict>\n</plist>\n", "", false}};
}

std::vector<tarnwell::test::HostileFile> presetFiles() {
    using namespace presetfile;
    std::vector<tarnwell::test::HostileFile> files;
    const std::pair<const char*, Kind> kinds[] = {
        {"block.blp", Kind::Block}, {"path.xyp", Kind::XYPath}, {"matrix.mod", Kind::Modulation}};
    for (const auto& [name, kind] : kinds) {
        std::vector<float> values(static_cast<std::size_t>(valueCount(kind)));
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i % 11) / 10.0f;
        files.push_back({name, valuesText(kind, values.data()), "", false});
    }
    int32_t map[CONTROLLERS] = {};
    for (int cc = 0; cc < CONTROLLERS; ++cc) map[cc] = cc % 3 == 0 ? cc * 6 : 0;
    files.push_back({"map.ecs", controllerMapText(map), "", false});
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::pair<const char*, std::vector<tarnwell::test::HostileFile>> kinds[] = {
        {"midi", tarnwell::test::hostileMidiFiles()},
        {"state", tarnwell::test::hostileStates()},
        {"audio", tarnwell::test::hostileAudioFiles()},
        {"preferences", preferencesFiles()},
        {"presets", presetFiles()}};
    mkdir(folder.c_str(), 0755);
    for (const auto& [kind, files] : kinds) {
        const std::string place = folder + "/" + kind;
        mkdir(place.c_str(), 0755);
        // Large files only slow the fuzzer down; the tests run those.
        for (const auto& file : files)
            if (file.bytes.size() <= 65536)
                std::ofstream(place + "/" + file.name, std::ios::binary) << file.bytes;
    }
    return 0;
}
