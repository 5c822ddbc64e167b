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

TEST_F(ComponentTest, FindsItsBundleFromWhereItWasLoaded) {
    AudioUnitCocoaViewInfo info{};
    ASSERT_EQ(getProperty(kAudioUnitProperty_CocoaUI, info), 0);
    const std::string location = text(info.mCocoaAUViewBundleLocation);
    EXPECT_EQ(location.substr(location.size() - std::strlen("/Tarnwell.component")), "/Tarnwell.component");
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
}

TEST_F(ComponentTest, OffersTheEffectsParameters) {
    UInt32 size = 0;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                                       nullptr),
              0);
    EXPECT_EQ(size, 1024u * sizeof(AudioUnitParameterID));

    AudioEffect* local = createEffectInstance([](AEffect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t {
        return 0;
    });
    for (AudioUnitParameterID id : {1u, 3u, 218u, 791u}) {
        AudioUnitParameterInfo info{};
        ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, id), 0);
        char name[64] = {};
        local->getParameterName(static_cast<int>(id), name);
        EXPECT_EQ(text(info.cfNameString), name[0] == '~' || name[0] == '-' ? "" : name) << id;
    }
    delete local;
}

TEST_F(ComponentTest, RendersLikeTheEffectDrivenDirectly) {
    start(2, 512);
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

TEST_F(ComponentTest, SavesProgramRecordsUnderAnOrdinaryHost) {
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size), 0);
    CFRef<CFPropertyListRef> owned(state);
    auto dict = static_cast<CFDictionaryRef>(state);
    auto complete = static_cast<CFDataRef>(CFDictionaryGetValue(dict, makeCFString("mCompleteData").get()));
    ASSERT_NE(complete, nullptr);
    EXPECT_EQ(CFDataGetLength(complete), 4124);
    EXPECT_EQ(CFDictionaryGetValue(dict, makeCFString("mChunkData").get()), nullptr);
    SInt32 program = -1;
    auto current = static_cast<CFNumberRef>(CFDictionaryGetValue(dict, makeCFString("mCurPreset").get()));
    ASSERT_NE(current, nullptr);
    ASSERT_TRUE(CFNumberGetValue(current, kCFNumberSInt32Type, &program));
    EXPECT_EQ(program, 0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, sizeof state),
              0);
}

CFPropertyListRef saveState(AudioUnit unit) {
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size), 0);
    return state;
}

std::vector<float> allValues(AudioUnit unit) {
    std::vector<float> values(1024);
    for (UInt32 id = 0; id < 1024; ++id) AudioUnitGetParameter(unit, id, kAudioUnitScope_Global, 0, &values[id]);
    return values;
}

// Through XML, as the host writes it: every one of the 1024 values comes back exactly.
TEST_F(ComponentTest, StateRestoresEveryValue) {
    start(2, 256);
    for (UInt32 id = 0; id < 1023; ++id)  // 1023 would reload the factory preset
        AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, static_cast<float>((id * 37) % 101) / 100.0f, 0);
    {
        // The effect keeps values as it would apply them (switches snapped): settle them first.
        CFRef<CFPropertyListRef> first(saveState(unit));
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &first,
                                       sizeof(CFPropertyListRef)),
                  0);
    }
    const std::vector<float> expected = allValues(unit);
    CFRef<CFPropertyListRef> state(saveState(unit));
    CFRef<CFDataRef> xml(CFPropertyListCreateData(nullptr, state.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    CFRef<CFPropertyListRef> reread(CFPropertyListCreateWithData(nullptr, xml.get(), 0, nullptr, nullptr));
    ASSERT_TRUE(reread);

    for (UInt32 id = 0; id < 1023; ++id) AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, 0.999f, 0);
    ASSERT_NE(allValues(unit), expected);
    CFPropertyListRef restored = reread.get();
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &restored,
                                   sizeof restored),
              0);
    const std::vector<float> values = allValues(unit);
    for (UInt32 id = 0; id < 1024; ++id) ASSERT_EQ(values[id], expected[id]) << "parameter " << id;
}

TEST_F(ComponentTest, TheSingleEntryServesAWholeSession) {
    void* library = dlopen(TARNWELL_COMPONENT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto entry = reinterpret_cast<ComponentEntryFunction>(dlsym(library, "AUPLUGINEntry"));
    ASSERT_NE(entry, nullptr);

    void* storage = nullptr;
    ComponentParameters open{kComponentOpenSelect, 2, {0, reinterpret_cast<intptr_t>(&storage)}};
    ASSERT_EQ(entry(&open, nullptr), 0);
    ASSERT_NE(storage, nullptr);

    UInt32 bypass = 1;
    ComponentParameters set{kAudioUnitSetPropertySelect, 5,
                            {kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                             reinterpret_cast<intptr_t>(&bypass), sizeof bypass}};
    EXPECT_EQ(entry(&set, storage), 0);
    UInt32 read = 0;
    UInt32 readSize = sizeof read;
    ComponentParameters get{kAudioUnitGetPropertySelect, 5,
                            {kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                             reinterpret_cast<intptr_t>(&read), reinterpret_cast<intptr_t>(&readSize)}};
    EXPECT_EQ(entry(&get, storage), 0);
    EXPECT_EQ(read, 1u);
    ComponentParameters midi{kMusicDeviceMIDIEventSelect, 4, {0x90, 60, 100, 0}};
    EXPECT_EQ(entry(&midi, storage), 0);
    EXPECT_EQ(entry(&get, nullptr), kAudio_ParamError);

    ComponentParameters close{kComponentCloseSelect, 0, {}};
    EXPECT_EQ(entry(&close, storage), 0);
    dlclose(library);
}

}  // namespace
