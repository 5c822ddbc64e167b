#pragma once

// The whole effect as the engine benchmarks and the instruction counter run it: a host playing at
// 120 bpm, the effect at its default values (all Blocks Off), and the heaviest patch.

#include "bench/BenchPlugin.h"
#include "effect/APlugin.h"
#include "tests/effect/EnginePatches.h"

#include <memory>

namespace tarnwell::bench {

inline VstTimeInfo& benchHostTime() {
    static VstTimeInfo time{};
    return time;
}

// A host that is playing at 120 bpm and answers nothing else.
inline intptr_t playingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == HostRequest::GetTime ? reinterpret_cast<intptr_t>(&benchHostTime()) : 0;
}

inline std::unique_ptr<APlugin> makeEngine(float rate = 44100.0f) {
    VstTimeInfo& time = benchHostTime();
    time.tempo = 120.0;
    time.sampleRate = rate;
    time.flags = timeTempoValid | timeTransportPlaying;
    auto fx = sandboxedPlugin(&playingHost);
    fx->setSampleRate(rate);
    fx->defaultProgram();
    return fx;
}

// Three Grain Blocks in parallel, the feedback Delay, four modulation slots and all three pads
// replaying their paths.
inline void setHeaviestPatch(APlugin& fx) {
    using namespace tarnwell::test::patch;
    setBlocks(fx, 5, {6, 6, 6});
    setFeedbackDelay(fx);
    setFourSlots(fx);
    for (int b = 0; b < BLOCK_COUNT; ++b) setXYReplay(fx, b);
}

}  // namespace tarnwell::bench
