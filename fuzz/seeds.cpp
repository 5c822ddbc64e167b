// Writes the tests' hostile files into FOLDER/midi, FOLDER/state and FOLDER/audio, the first
// corpus of each fuzz target. Usage: seeds FOLDER
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/host/HostileFiles.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::pair<const char*, std::vector<tarnwell::test::HostileFile>> kinds[] = {
        {"midi", tarnwell::test::hostileMidiFiles()},
        {"state", tarnwell::test::hostileStates()},
        {"audio", tarnwell::test::hostileAudioFiles()}};
    mkdir(folder.c_str(), 0755);
    for (const auto& [kind, files] : kinds) {
        const std::string place = folder + "/" + kind;
        mkdir(place.c_str(), 0755);
        // Large files only slow the fuzzer down; the tests run those.
        for (const auto& file : files)
            if (file.bytes.size() <= 65536) std::ofstream(place + "/" + file.name, std::ios::binary) << file.bytes;
    }
    return 0;
}
