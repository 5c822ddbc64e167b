// The editor offscreen on the bundle's artwork: opening (bitmaps loaded) at each size, an idle
// pass with nothing changed, a full redraw, the memory the bitmaps hold, an idle while the pads
// replay, and rebuilding the Block panels.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditorLayout.h"
#include "editor/uEditor.h"
#include "effect/APlugin.h"
#include "framework/platform/Preferences.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/Offscreen.h"

namespace {

uint32_t ticks = 0;

// An effect whose editor opens at size (0, 1, 2), with preferences in a throw-away folder.
struct OpenableEditor {
    explicit OpenableEditor(int size) {
        folder = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
        if (!mkdtemp(folder.data())) folder.clear();
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        setenv("TARNWELL_SYSTEM_PREFS_DIR", folder.c_str(), 1);
        saveStringToPrefs("Big150", size == 1 ? "Y" : "N");
        saveStringToPrefs("Big200", size == 2 ? "Y" : "N");
        tarnwell::gui::setResourceFolder(TARNWELL_RESOURCES_DIR);
        tarnwell::gui::setTickSource([] { return ticks; });
        setEditorFactory(&createTarnwellEditor);
        fx = std::make_unique<APlugin>(nullptr);
        editor = dynamic_cast<uEditor*>(fx->getEditor());
    }
    ~OpenableEditor() {
        if (editor->getFrame()) editor->close();
        fx.reset();
        setEditorFactory(nullptr);
        tarnwell::gui::setTickSource(nullptr);
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    void open() { editor->open(static_cast<tarnwell::gui::ParentView*>(&parent)); }
    // Opens on the main page with everything drawn once.
    void openMain() {
        open();
        parent.click(CPoint(5, 5));
        idle();
        editor->getFrame()->doIdleStuff();
    }
    void idle() {
        ticks += 50;
        editor->idle();
    }

    std::string folder;
    std::unique_ptr<APlugin> fx;
    uEditor* editor = nullptr;
    tarnwell::gui::OffscreenView parent;
};

// Until every bitmap is decoded, the hidden ones too (they decode on worker threads).
void BM_EditorOpen(benchmark::State& state) {
    OpenableEditor e(static_cast<int>(state.range(0)));
    long long memory = 0;
    for (auto _ : state) {
        e.open();
        for (int k : layout::BITMAP_LOAD_ORDER) benchmark::DoNotOptimize(e.editor->getBitmap(k)->isLoaded());
        state.PauseTiming();
        memory = tarnwell::gui::bitmapMemory();
        e.editor->close();
        state.ResumeTiming();
    }
    state.counters["bitmap_MiB"] = static_cast<double>(memory) / (1024.0 * 1024.0);
}
BENCHMARK(BM_EditorOpen)->ArgName("size")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A second editor opened while another shows the same size shares its decoded bitmaps.
void BM_EditorOpenBesideAnother(benchmark::State& state) {
    OpenableEditor first(static_cast<int>(state.range(0)));
    first.open();
    OpenableEditor second(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        second.open();
        state.PauseTiming();
        second.editor->close();
        state.ResumeTiming();
    }
    state.counters["bitmap_MiB"] = static_cast<double>(tarnwell::gui::bitmapMemory()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_EditorOpenBesideAnother)->ArgName("size")->Arg(2)->Unit(benchmark::kMillisecond);

void BM_EditorIdleNothingChanged(benchmark::State& state) {
    OpenableEditor e(static_cast<int>(state.range(0)));
    e.openMain();
    for (auto _ : state) e.idle();
}
BENCHMARK(BM_EditorIdleNothingChanged)->ArgName("size")->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_EditorFullRedraw(benchmark::State& state) {
    OpenableEditor e(static_cast<int>(state.range(0)));
    e.openMain();
    for (auto _ : state) e.editor->getFrame()->redrawAll();
}
BENCHMARK(BM_EditorFullRedraw)->ArgName("size")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

// Three Gater Blocks whose pads replay a path shown in point-edit mode, with 40 ms of audio
// rendered (untimed) before each idle: the idle redraws the three pads, the grids whose step
// moved, and the few views every idle marks.
void BM_EditorIdlePadsReplaying(benchmark::State& state) {
    OpenableEditor e(static_cast<int>(state.range(0)));
    APlugin& fx = *e.fx;
    for (int b = 0; b < BLOCK_COUNT; ++b) {
        fx.setParameter(BLOCK_TYPE_TAG[b], 5.1f / 6.99f);
        for (int i = 0; i < XY_PATH_POINTS; ++i)
            fx.setXY(b, i, static_cast<float>(i) / 31.0f,
                     0.5f + 0.4f * std::sin(0.4f * static_cast<float>(i) + b));
        fx.setParameter(XY_LEN_SEC_TAG[b], 0.002f);  // 2 s
        fx.setParameter(XY_EDIT_TAG[b], 1.0f);
        fx.setParameter(XY_RECORD_MODE_TAG[b], 2.1f / 2.99f);
    }
    e.openMain();
    std::vector<float> left(1764), right(1764);
    for (auto _ : state) {
        state.PauseTiming();
        float* io[2] = {left.data(), right.data()};
        fx.processReplacing(io, io, static_cast<int>(left.size()));
        e.editor->updateXYDisplay();
        state.ResumeTiming();
        e.idle();
    }
}
BENCHMARK(BM_EditorIdlePadsReplaying)->ArgName("size")->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

// A Block's type changed: the three panels rebuilt (redraw 0) or rebuilt and drawn (redraw 1).
void BM_EditorShowBlocksTypeChange(benchmark::State& state) {
    OpenableEditor e(2);
    e.openMain();
    int type = 0;
    for (auto _ : state) {
        type = (type + 1) % 7;
        e.fx->setParameter(BLOCK_TYPE_TAG[0], (static_cast<float>(type) + 0.1f) / 6.99f);
        e.editor->showBlocks();
        if (state.range(0)) e.editor->getFrame()->doIdleStuff();
    }
}
BENCHMARK(BM_EditorShowBlocksTypeChange)->ArgName("redraw")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
