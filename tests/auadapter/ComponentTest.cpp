// The built component, loaded with dlopen and driven only through its entry points and the
// AudioUnit calls, as a host drives it. Under load, the ThreadSanitizer build is what proves its
// threads share nothing unsafely.

#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>

#include "component/TarnwellComponent.h"
#include "tests/auadapter/AdapterFixture.h"
#include "tests/auadapter/ViewFixture.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

class BuiltComponent : public AdapterTest {
protected:
    void SetUp() override {
        static AudioComponent component = [] {
            std::string error;
            AudioComponent loaded =
                tarnwell::au::loadComponent(TARNWELL_COMPONENT_PATH, kTarnwellComponentDescription, error);
            EXPECT_NE(loaded, nullptr) << error;
            return loaded;
        }();
        ASSERT_NE(component, nullptr);
        ASSERT_EQ(AudioComponentInstanceNew(component, &unit), 0);
    }

    void set(AudioUnitParameterID id, float value) {
        ASSERT_EQ(AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, value, 0), 0);
    }

    tarnwell::test::PreferencesSandbox sandbox;
};
using ComponentThreads = BuiltComponent;

TEST_F(BuiltComponent, ExportsOnlyItsEntryPoints) {
    void* library = dlopen(TARNWELL_COMPONENT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(AudioComponentFindNext(nullptr, &kTarnwellComponentDescription), nullptr);
    EXPECT_NE(dlsym(library, "AUPLUGINFactory"), nullptr);
    EXPECT_NE(dlsym(library, "AUPLUGINEntry"), nullptr);
    EXPECT_EQ(dlsym(library, "_Z8CFRetainPKv"), nullptr);  // its own CoreFoundation stays inside
    dlclose(library);
}

// A small generator of our own so each thread draws without sharing state.
struct Lcg {
    uint32_t state;
    uint32_t next() { return state = state * 1664525u + 1013904223u; }
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
};

// The render thread renders and automates while an automation thread moves parameters, saves and
// restores the state, a MIDI thread sends notes and controllers, and the editor is open in the
// unit's view, idled on the main thread: the output stays finite and inside the output stage's bound.
TEST_F(ComponentThreads, RenderAutomationMidiAndTheEditorTogether) {
    constexpr UInt32 kFrames = 256;
    start(2, kFrames);
    // A busy patch to start from: Grain, Room and Comb Blocks with the Delay in feedback.
    set(126, 6.1f / 6.99f);  // Block 1 Grain
    set(134, 4.1f / 6.99f);  // Block 2 Room
    set(142, 2.1f / 6.99f);  // Block 3 Comb
    set(106, 1.0f);          // Delay On
    set(112, 0.95f);         // Delay Feedback

    for (UInt32 c = 0; c < 2; ++c) {
        input[c].resize(kFrames);
        for (UInt32 i = 0; i < kFrames; ++i)
            input[c][i] = 0.8f * std::sin(0.031f * static_cast<float>(i) * static_cast<float>(c + 1));
    }

    NSView* view = tarnwell::test::hostViewOf(unit);
    ASSERT_NE(view, nullptr);  // before any thread starts, which a failed assertion would leave running
    std::atomic<bool> stop{false};
    std::thread automation([&] {
        Lcg random{7};
        int n = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            const auto id = static_cast<AudioUnitParameterID>(1 + random.next() % 791);
            AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, random.unit(), 0);
            if (++n % 500 == 0) {  // a host saving the song while it plays, then loading it back
                CFPropertyListRef state = nullptr;
                UInt32 size = sizeof state;
                if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                         &state, &size) == 0) {
                    AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                         &state, sizeof state);
                    CFRelease(state);
                }
            }
        }
    });
    std::thread midi([&] {
        Lcg random{11};
        while (!stop.load(std::memory_order_relaxed)) {
            const UInt32 key = 36 + random.next() % 48;
            MusicDeviceMIDIEvent(unit, 0x90, key, 1 + random.next() % 127, random.next() % kFrames);
            MusicDeviceMIDIEvent(unit, 0xB0, 1 + random.next() % 100, random.next() % 128, 0);
            MusicDeviceMIDIEvent(unit, 0x80, key, 0, random.next() % kFrames);
            std::this_thread::yield();
        }
    });

    float loudest = 0.0f;
    bool finite = true;
    std::atomic<bool> rendered{false};
    std::thread renderer([&] {
        Lcg random{3};
        for (int block = 0; block < 300 && finite; ++block) {
            // Automation as hosts play it back: due in this render, at a frame within it.
            const AudioUnitParameterID parameter = 1 + random.next() % 230;
            const UInt32 frame = random.next() % kFrames;
            const AudioUnitParameterEvent change = immediate(frame, random.unit(), parameter);
            AudioUnitScheduleParameters(unit, &change, 1);
            if (render(kFrames) != 0) finite = false;
            for (UInt32 c = 0; c < 2; ++c)
                for (UInt32 i = 0; i < kFrames; ++i) {
                    finite = finite && std::isfinite(output[c][i]);
                    loudest = std::max(loudest, std::fabs(output[c][i]));
                }
        }
        rendered.store(true);
    });
    NSRunLoop::mainRunLoop().runUntil([&] { return rendered.load(); });
    renderer.join();
    stop.store(true);
    automation.join();
    midi.join();
    if (NSWindow* panel = view->window()) panel->close();
    view->release();
    EXPECT_TRUE(finite);
    EXPECT_LE(loudest, 0.999f);
}

}  // namespace
