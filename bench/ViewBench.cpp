// The editor's idle as a host drives it: the view's 20 ms timer sets the idle property on the
// loaded component, whose editor is open offscreen in the view, with nothing changed. Back to
// back (argument 0) the editor's own 40 ms throttle answers; spaced 41 ms apart (argument 1)
// every call does the editor's refresh pass.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "component/TarnwellComponent.h"
#include "framework/auadapter/AUPLUGIN.h"
#include "host/EditorView.h"
#include "sdk/audiounit/AudioUnit.h"
#include "sdk/cocoa/NSRunLoop.h"

namespace {

void BM_EditorIdleThroughTheUnit(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
    const std::string prefs = mkdtemp(pattern.data()) ? pattern : "";
    setenv("XDG_CONFIG_HOME", prefs.c_str(), 1);
    std::string error;
    AudioComponent component =
        tarnwell::au::loadComponent(TARNWELL_COMPONENT_PATH, kTarnwellComponentDescription, error);
    AudioUnit unit = nullptr;
    if (component == nullptr || AudioComponentInstanceNew(component, &unit) != 0) {
        state.SkipWithError("no component");
        return;
    }
    {
        EditorView editor(unit);
        NSRunLoop& loop = NSRunLoop::mainRunLoop();
        loop.runUntilDate(loop.now() + 0.1);  // the first refresh passes are done
        void* none = nullptr;
        const bool spaced = state.range(0) != 0;
        for (auto _ : state) {
            if (spaced) {
                state.PauseTiming();
                std::this_thread::sleep_for(std::chrono::milliseconds(41));
                state.ResumeTiming();
            }
            AudioUnitSetProperty(unit, AUPLUGIN::kEditorIdleProperty, kAudioUnitScope_Global, 0, &none,
                                 sizeof none);
        }
        state.counters["window"] = editor.window() != nullptr ? 1 : 0;
    }
    AudioComponentInstanceDispose(unit);
    std::error_code ignored;
    std::filesystem::remove_all(prefs, ignored);
}
BENCHMARK(BM_EditorIdleThroughTheUnit)->Arg(0)->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_EditorIdleThroughTheUnit)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(40);

}  // namespace
