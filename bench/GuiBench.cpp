// The toolkit drawing the editor's kind of window: a frame of 1,000 controls, 50 of them film-strip
// knobs, over the window's background, with the editor's own bitmaps at 100, 150 and 200 %.
// Full redraw, an idle with nothing marked, an idle after a typical refresh (20 readouts and
// three pads), and the memory the editor's 50 bitmaps take at each size.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/Offscreen.h"
#include "gui/StandardControls.h"

namespace {

// The component's Resources folder, where the artwork is built.
std::string artwork() {
    return (std::filesystem::path(TARNWELL_COMPONENT_PATH).parent_path().parent_path() / "Resources")
        .string();
}

long bitmapId(int size, int k) {
    return 10000 + 1000 * size + k;
}

// The editor loads these 50 at each size.
const std::vector<int>& editorBitmaps() {
    static const std::vector<int> ks = [] {
        std::vector<int> list{0, 1, 2, 3, 6, 5, 11, 14, 10, 13};
        for (int k = 30; k <= 35; ++k) list.push_back(k);
        for (int k : {20, 21, 46}) list.push_back(k);
        for (int k = 50; k <= 60; ++k) list.push_back(k);
        for (int k = 70; k <= 75; ++k) list.push_back(k);
        for (int k = 80; k <= 83; ++k) list.push_back(k);
        for (int k : {90, 97, 91, 92, 93, 94, 95, 96, 98, 84}) list.push_back(k);
        return list;
    }();
    return ks;
}

struct Window {
    explicit Window(int size) {
        tarnwell::gui::setResourceFolder(artwork());
        const double scale = 1.0 + 0.5 * size;
        const auto scaled = [scale](int v) { return static_cast<CCoord>(v * scale); };
        background = new CBitmap(bitmapId(size, 0));
        strip = new CBitmap(bitmapId(size, 30));
        onOff = new CBitmap(bitmapId(size, 11));
        frame = new CFrame(CRect(0, 0, scaled(1100), scaled(730)),
                           static_cast<tarnwell::gui::ParentView*>(&parent), nullptr);
        frame->setBackground(background);
        // 50 knobs, 300 on/off buttons, 200 option menus, 450 readouts.
        const CCoord knobW = strip->getWidth(), knobH = strip->getHeight() / 137;
        for (int i = 0; i < 50; ++i) {
            const CCoord x = scaled(40 + (i % 10) * 100), y = scaled(150 + (i / 10) * 110);
            auto* knob = new CAnimKnob(CRect(x, y, x + knobW, y + knobH), nullptr, i, strip);
            knob->setValue(static_cast<float>(i) / 49.0f);
            frame->addView(knob);
            knobs.push_back(knob);
        }
        const CCoord buttonW = onOff->getWidth(), buttonH = onOff->getHeight() / 2;
        for (int i = 0; i < 300; ++i) {
            const CCoord x = scaled(10 + (i % 30) * 36), y = scaled(20 + (i / 30) * 70);
            auto* button = new COnOffButton(CRect(x, y, x + buttonW, y + buttonH), nullptr, i, onOff);
            button->setValue(static_cast<float>(i % 2));
            frame->addView(button);
        }
        for (int i = 0; i < 200; ++i) {
            const CCoord x = scaled(20 + (i % 12) * 88), y = scaled(60 + (i / 12) * 40);
            auto* menu = new COptionMenu(CRect(x, y, x + scaled(80), y + scaled(16)), nullptr, i);
            for (const char* entry : {"Filter", "Comb", "Shaper", "Room"}) menu->addEntry(entry);
            menu->setValue(static_cast<float>(i % 4));
            frame->addView(menu);
        }
        for (int i = 0; i < 450; ++i) {
            const CCoord x = scaled(10 + (i % 25) * 43), y = scaled(40 + (i / 25) * 38);
            auto* readout = new CParamDisplay(CRect(x, y, x + scaled(40), y + scaled(11)));
            readout->setFont(size == 0 ? kNormalFontSmall : size == 1 ? kNormalFontVeryBig : &biggest);
            readout->setValue(static_cast<float>(i) / 450.0f);
            frame->addView(readout);
            readouts.push_back(readout);
        }
        frame->redrawAll();
    }
    ~Window() {
        frame->forget();
        for (CBitmap* b : {background, strip, onOff}) b->forget();
        tarnwell::gui::setResourceFolder("");
    }

    tarnwell::gui::OffscreenView parent;
    CFontDesc biggest{"Verdanaial", 15};
    CBitmap *background, *strip, *onOff;
    CFrame* frame;
    std::vector<CAnimKnob*> knobs;
    std::vector<CParamDisplay*> readouts;
};

void FullRedraw(benchmark::State& state) {
    Window window(static_cast<int>(state.range(0)));
    for (auto _ : state) window.frame->redrawAll();
    state.counters["controls"] = static_cast<double>(window.frame->getNbViews());
}
BENCHMARK(FullRedraw)->DenseRange(0, 2)->ArgName("size")->Unit(benchmark::kMillisecond);

void IdleNothingMarked(benchmark::State& state) {
    Window window(static_cast<int>(state.range(0)));
    window.frame->doIdleStuff();
    for (auto _ : state) window.frame->doIdleStuff();
}
BENCHMARK(IdleNothingMarked)->Arg(0)->ArgName("size")->Unit(benchmark::kNanosecond);

// What an editor idle typically redraws: 20 readouts with new text and the three XY pads.
void IdleTypicalRefresh(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    Window window(size);
    const double scale = 1.0 + 0.5 * size;
    std::vector<CView*> pads;
    for (int b = 0; b < 3; ++b) {
        const auto at = [scale](int v) { return static_cast<CCoord>(v * scale); };
        auto* pad = new CView(CRect(at(83 + 266 * b), at(300), at(83 + 266 * b + 188), at(300 + 188)));
        window.frame->addView(pad);
        pads.push_back(pad);
    }
    window.frame->doIdleStuff();
    float v = 0.0f;
    for (auto _ : state) {
        v = v > 0.5f ? 0.0f : 1.0f;
        for (int i = 0; i < 20; ++i) window.readouts[static_cast<size_t>(i * 17)]->setValue(v);
        for (CView* pad : pads) pad->invalid();
        window.frame->doIdleStuff();
    }
}
BENCHMARK(IdleTypicalRefresh)->DenseRange(0, 2)->ArgName("size")->Unit(benchmark::kMicrosecond);

// The editor's 50 bitmaps at one size: load time, and the decoded memory they hold.
void EditorBitmapSet(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    tarnwell::gui::setResourceFolder(artwork());
    long long bytes = 0;
    for (auto _ : state) {
        std::vector<CBitmap*> set;
        for (int k : editorBitmaps()) set.push_back(new CBitmap(bitmapId(size, k)));
        for (CBitmap* b : set) benchmark::DoNotOptimize(b->isLoaded());  // waits for the decode
        bytes = tarnwell::gui::bitmapMemory();
        for (CBitmap* b : set) b->forget();
    }
    tarnwell::gui::setResourceFolder("");
    state.counters["MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
BENCHMARK(EditorBitmapSet)->DenseRange(0, 2)->ArgName("size")->Unit(benchmark::kMillisecond);

}  // namespace
