// The built component, loaded with dlopen and driven only through its entry points and the
// AudioUnit calls, as the host program drives it.

#include <dlfcn.h>

#include <cmath>

#include "component/TarnwellComponent.h"
#include "framework/effectbase/AudioEffect.h"
#include "tests/auadapter/AdapterFixture.h"
#include "tests/support/PreferencesSandbox.h"

namespace {

AudioComponent loadedComponent() {
    static AudioComponent component = [] {
        std::string error;
        AudioComponent loaded = tarnwell::au::loadComponent(TARNWELL_COMPONENT_PATH, kTarnwellComponentDescription, error);
        EXPECT_NE(loaded, nullptr) << error;
        return loaded;
    }();
    return component;
}

class ComponentTest : public AdapterTest {
protected:
    void SetUp() override {
        ASSERT_NE(loadedComponent(), nullptr);
        ASSERT_EQ(AudioComponentFindNext(nullptr, &kTarnwellComponentDescription) != nullptr, true);
        ASSERT_EQ(AudioComponentInstanceNew(loadedComponent(), &unit), 0);
    }

    tarnwell::test::PreferencesSandbox sandbox;
};

TEST_F(ComponentTest, ExportsOnlyItsEntryPoints) {
    void* library = dlopen(TARNWELL_COMPONENT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(dlsym(library, "AUPLUGINFactory"), nullptr);
    EXPECT_NE(dlsym(library, "AUPLUGINEntry"), nullptr);
    EXPECT_EQ(dlsym(library, "_Z8CFRetainPKv"), nullptr);  // its own CoreFoundation stays inside
    dlclose(library);
}

TEST_F(ComponentTest, RendersLikeTheEffectDrivenDirectly) {
    start(2, 512);
    // Program 0's Room (Block 2) starts its modulation from the process-wide noise generator,
    // which stands elsewhere in each instance; with it Off both render bit for bit alike.
    constexpr AudioUnitParameterID kBlock2Type = 134;
    ASSERT_EQ(AudioUnitSetParameter(unit, kBlock2Type, kAudioUnitScope_Global, 0, 0.0f, 0), 0);
    constexpr UInt32 kFrames = 512;
    for (UInt32 c = 0; c < 2; ++c) {
        input[c].resize(kFrames);
        for (UInt32 i = 0; i < kFrames; ++i)
            input[c][i] = 0.5f * std::sin(0.05f * static_cast<float>(i) + static_cast<float>(c));
    }
    ASSERT_EQ(render(kFrames), 0);

    AudioEffect* local = createEffectInstance([](AEffect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t {
        return 0;
    });
    local->setSampleRate(44100.0f);
    local->setBlockSize(512);
    local->resume();
    local->setParameter(kBlock2Type, 0.0f);
    std::vector<float> expected[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
    float* ins[2] = {input[0].data(), input[1].data()};
    float* outs[2] = {expected[0].data(), expected[1].data()};
    local->processReplacing(ins, outs, static_cast<int>(kFrames));
    delete local;

    for (UInt32 c = 0; c < 2; ++c)
        for (UInt32 i = 0; i < kFrames; ++i) {
            ASSERT_TRUE(std::isfinite(output[c][i]));
            ASSERT_EQ(output[c][i], expected[c][i]) << "channel " << c << " frame " << i;
        }
}

}  // namespace
