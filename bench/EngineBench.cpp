#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSignals.h"
#include "bench/BenchUtil.h"
#include "effect/APlugin.h"
#include "tests/effect/EnginePatches.h"

// The whole engine per host frame: the all-Off patch, three Blocks of one type in each path
// (Delay on), and the heaviest patch: three Grain Blocks, the Delay and four modulation slots.
namespace {

using namespace tarnwell::test::patch;

constexpr int kBlock = 512;

VstTimeInfo hostTime{};

// A host that is playing at 120 bpm and answers nothing else.
intptr_t playingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostRequest::GetTime ? reinterpret_cast<intptr_t>(&hostTime) : 0;
}

// An effect at its default values (all Blocks Off), with preference writes kept out of the
// user's settings.
std::unique_ptr<APlugin> makeEffect() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-engine-XXXXXX").string();
        return mkdtemp(pattern.data()) ? pattern : std::string();
    }();
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("TARNWELL_SYSTEM_PREFS_DIR", folder.c_str(), 1);
    hostTime.tempo = 120.0;
    hostTime.sampleRate = 44100.0;
    hostTime.flags = timeTempoValid | timeTransportPlaying;
    auto fx = std::make_unique<APlugin>(&playingHost);
    fx->setSampleRate(44100.0f);
    fx->defaultProgram();
    return fx;
}

void run(benchmark::State& state, APlugin& fx) {
    fx.resetEverything();
    const std::vector<float> noise = tarnwell::bench::noiseBlock(kBlock, 11);
    std::vector<float> inL(noise), inR(noise), outL(kBlock), outR(kBlock);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    // A second of audio first, so grains, the Delay and the rooms are in their running state.
    for (int i = 0; i < 44100 / kBlock; ++i) fx.processReplacing(in, out, kBlock);
    for (auto _ : state) {
        fx.processReplacing(in, out, kBlock);
        benchmark::DoNotOptimize(outL.data());
    }
    tarnwell::bench::reportAudio(state, kBlock);
}

void BM_EngineAllOff(benchmark::State& state) {
    auto fx = makeEffect();
    run(state, *fx);
}
BENCHMARK(BM_EngineAllOff);

// Argument 0: Block type 0..6 (Off, Filter, Comb, Shaper, Room, Gater, Grain); argument 1: path.
void BM_EngineBlocks(benchmark::State& state) {
    auto fx = makeEffect();
    const int type = static_cast<int>(state.range(0));
    setBlocks(*fx, static_cast<int>(state.range(1)), {type, type, type});
    setFeedbackDelay(*fx);
    run(state, *fx);
}
BENCHMARK(BM_EngineBlocks)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5}})->ArgNames({"type", "path"});

void BM_EngineHeaviest(benchmark::State& state) {
    auto fx = makeEffect();
    setBlocks(*fx, 5, {6, 6, 6});
    setFeedbackDelay(*fx);
    setFourSlots(*fx);
    run(state, *fx);
}
BENCHMARK(BM_EngineHeaviest);

}  // namespace
