#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "framework/platform/Preferences.h"

// Cost of the preference calls the MIDI handling makes while processing: a yes/no read per
// learned controller message and a binding write when a controller is learned. Runs against a
// throw-away store holding a full controller map.
namespace {

class ScratchStore {
public:
    ScratchStore() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) folder = pattern;
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        setenv("TARNWELL_SYSTEM_PREFS_DIR", folder.c_str(), 1);
        for (int cc = 0; cc < 128; ++cc) setMidiCC(cc, cc * 3);
        saveStringToPrefs("Capture", "Y");
    }
    ~ScratchStore() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }

private:
    std::string folder;
};

ScratchStore& store() {
    static ScratchStore s;
    return s;
}

void BM_PrefsYesNoRead(benchmark::State& state) {
    store();
    for (auto _ : state) benchmark::DoNotOptimize(getRegistryIsOn("Capture", false));
}
BENCHMARK(BM_PrefsYesNoRead);

void BM_PrefsBindingWrite(benchmark::State& state) {
    store();
    int param = 0;
    for (auto _ : state) setMidiCC(64, ++param & 1023);
}
BENCHMARK(BM_PrefsBindingWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
