#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "component/TarnwellComponent.h"
#include "sdk/audiounit/AudioUnit.h"

// A render through the loaded component, as the host program drives it: pull input, slices
// for one scheduled change per block, a MIDI event per block, stereo out at 44.1 kHz.
namespace {

struct Session {
    std::string prefs;
    AudioUnit unit = nullptr;
    std::vector<float> in[2], out[2];
    double sampleTime = 0.0;

    explicit Session(UInt32 block) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) prefs = pattern;
        setenv("XDG_CONFIG_HOME", prefs.c_str(), 1);
        setenv("TARNWELL_SYSTEM_PREFS_DIR", prefs.c_str(), 1);
        std::string error;
        AudioComponent component =
            tarnwell::au::loadComponent(TARNWELL_COMPONENT_PATH, kTarnwellComponentDescription, error);
        if (component == nullptr || AudioComponentInstanceNew(component, &unit) != 0) return;
        AudioStreamBasicDescription format{
            44100.0, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4, 2, 32, 0};
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &format,
                             sizeof format);
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format,
                             sizeof format);
        AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                             &block, sizeof block);
        AURenderCallbackStruct callback{&Session::pull, this};
        AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                             sizeof callback);
        AudioUnitInitialize(unit);
        for (int c = 0; c < 2; ++c) {
            in[c].resize(block);
            out[c].resize(block);
            for (UInt32 i = 0; i < block; ++i) in[c][i] = 0.5f * std::sin(0.01f * static_cast<float>(i));
        }
    }
    ~Session() {
        if (unit != nullptr) AudioComponentInstanceDispose(unit);
        std::error_code ignored;
        if (!prefs.empty()) std::filesystem::remove_all(prefs, ignored);
    }

    static OSStatus pull(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32,
                         UInt32 frames, AudioBufferList* data) {
        auto* self = static_cast<Session*>(refCon);
        AudioBuffer* buffers = data->mBuffers;
        for (UInt32 c = 0; c < data->mNumberBuffers; ++c) buffers[c].mData = self->in[c].data();
        (void)frames;
        return 0;
    }

    OSStatus render(UInt32 frames) {
        AudioUnitParameterEvent event{};
        event.eventType = kParameterEvent_Immediate;
        event.parameter = 9;
        event.eventValues.immediate = {frames / 2, 0.5f};
        AudioUnitScheduleParameters(unit, &event, 1);
        MusicDeviceMIDIEvent(unit, 0x90, 60, 100, frames / 4);
        struct {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{2, {{1, frames * 4, out[0].data()}, {1, frames * 4, out[1].data()}}};
        AudioTimeStamp stamp{};
        stamp.mSampleTime = sampleTime;
        sampleTime += frames;
        AudioUnitRenderActionFlags flags = 0;
        return AudioUnitRender(unit, &flags, &stamp, 0, frames, reinterpret_cast<AudioBufferList*>(&list));
    }
};

void BM_ComponentRender(benchmark::State& state) {
    const auto block = static_cast<UInt32>(state.range(0));
    Session session(block);
    if (session.unit == nullptr) {
        state.SkipWithError("the component did not load");
        return;
    }
    for (auto _ : state) {
        if (session.render(block) != 0) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(session.out[0].data());
    }
    tarnwell::bench::reportAudio(state, block);
}
BENCHMARK(BM_ComponentRender)->Arg(64)->Arg(512);

}  // namespace
