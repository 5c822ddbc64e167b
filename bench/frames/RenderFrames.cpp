// Renders a number of frames of noise through one engine patch and nothing else, for instruction
// counts: run it under callgrind at two lengths and the difference is the cost of the frames alone
// (bench/instructions does that).
//
// Usage: tarnwell_frames PATCH FRAMES   PATCH: off, heaviest, or a factory preset's name or number

#include "bench/BenchEngine.h"
#include "bench/BenchSignals.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int presetNamed(const char* name) {
    for (int p = 0; p < FACTORY_PRESET_COUNT; ++p)
        if (std::strcmp(FACTORY_PRESET_NAMES[p], name) == 0) return p;
    char* end = nullptr;
    const long number = std::strtol(name, &end, 10);
    return *name && !*end && number >= 0 && number < FACTORY_PRESET_COUNT ? static_cast<int>(number) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s off|heaviest|PRESET FRAMES\n", argv[0]);
        return 2;
    }
    const std::string patch = argv[1];
    const long frames = std::strtol(argv[2], nullptr, 10);
    auto fx = tarnwell::bench::makeEngine();
    if (patch == "heaviest") {
        tarnwell::bench::setHeaviestPatch(*fx);
    } else if (patch != "off") {
        const int preset = presetNamed(argv[1]);
        if (preset < 0) {
            std::fprintf(stderr, "%s: no such patch or preset\n", argv[1]);
            return 2;
        }
        fx->setDemoProgram(preset);
    }
    fx->resetEverything();

    constexpr int kBlock = 512;
    std::vector<float> inL = tarnwell::bench::noiseBlock(kBlock, 11),
                       inR = tarnwell::bench::noiseBlock(kBlock, 12);
    std::vector<float> outL(kBlock), outR(kBlock);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    double sum = 0.0;
    for (long done = 0; done < frames; done += kBlock) {
        const int n = static_cast<int>(std::min<long>(kBlock, frames - done));
        fx->processReplacing(in, out, n);
        sum += static_cast<double>(outL[0]);
    }
    std::printf("%ld frames, first-sample sum %g\n", frames, sum);
    return 0;
}
