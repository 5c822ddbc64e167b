#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/BenchUtil.h"
#include "host/AudioUnitComponent.h"
#include "host/DemoMaterial.h"
#include "host/HostError.h"
#include "host/Renderer.h"

// What `tarnwell render` spends on the render itself: the demo loop through the loaded
// component in blocks of 512, with the song position reported for every block.
namespace {

void BM_HostRenderDemo(benchmark::State& state) {
    std::string prefs = (std::filesystem::temp_directory_path() / "tarnwell-host-bench-XXXXXX").string();
    if (mkdtemp(prefs.data()) == nullptr) {
        state.SkipWithError("no folder for the preferences");
        return;
    }
    setenv("XDG_CONFIG_HOME", prefs.c_str(), 1);
    setenv("TARNWELL_SYSTEM_PREFS_DIR", prefs.c_str(), 1);
    const AudioData demo = makeDemoMaterial();
    RenderJob job;
    job.tailFrames = 0;
    job.blockFrames = static_cast<std::uint32_t>(state.range(0));
    try {
        AudioUnitComponent component(TARNWELL_COMPONENT_PATH);
        component.initialize(demo.sampleRate, 2, job.blockFrames);
        for (auto _ : state) benchmark::DoNotOptimize(renderAudio(component, job, demo).channels.data());
    } catch (const HostError& e) {
        state.SkipWithError(e.what());
    }
    std::error_code ignored;
    std::filesystem::remove_all(prefs, ignored);
    tarnwell::bench::reportAudio(state, static_cast<std::int64_t>(demo.frames()), demo.sampleRate);
}
BENCHMARK(BM_HostRenderDemo)->Arg(512)->Unit(benchmark::kMillisecond);

}  // namespace
