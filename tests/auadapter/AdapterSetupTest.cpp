#include "tests/auadapter/AdapterFixture.h"

namespace {

using AdapterSetup = AdapterTest;

TEST_F(AdapterSetup, AcceptsOnlyTheChannelTable) {
    const OSStatus refused = kAudioUnitErr_FormatNotSupported;
    for (auto [in, out, expected] : {std::tuple{1u, 1u, refused}, std::tuple{2u, 1u, refused},
                                     std::tuple{1u, 2u, OSStatus{0}}, std::tuple{0u, 2u, OSStatus{0}},
                                     std::tuple{2u, 2u, OSStatus{0}}}) {
        AudioUnitUninitialize(unit);
        ASSERT_EQ(setChannels(in, out), 0);
        EXPECT_EQ(AudioUnitInitialize(unit), expected) << in << " in, " << out << " out";
    }
    AUChannelInfo table[3] = {};
    UInt32 size = sizeof table;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, table,
                                   &size),
              0);
    EXPECT_EQ(size, sizeof table);
    EXPECT_EQ(table[1].inChannels, 0);
    EXPECT_EQ(table[1].outChannels, 2);
}

TEST_F(AdapterSetup, InitialisingHandsTheEffectRateAndBlockSizeAndCopiesItsValues) {
    effect->values[42] = 0.625f;
    const int suspendsBefore = effect->suspends;
    const int resumesBefore = effect->resumes;
    ASSERT_EQ(setChannels(2, 2, 48000.0), 0);
    UInt32 maxFrames = 333;
    setProperty(kAudioUnitProperty_MaximumFramesPerSlice, maxFrames);
    AURenderCallbackStruct callback{&AdapterTest::pull, this};
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &callback,
                         sizeof callback);
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    EXPECT_FLOAT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 333);
    EXPECT_GT(effect->suspends, suspendsBefore);
    EXPECT_EQ(effect->suspends - suspendsBefore, effect->resumes - resumesBefore);  // left running
    EXPECT_FLOAT_EQ(adapter->Globals().GetParameter(42), 0.625f);
}

TEST_F(AdapterSetup, ParameterInfoNamesEveryIdAndGenericBeyond) {
    UInt32 count = 0;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &count,
                                       nullptr),
              0);
    EXPECT_EQ(count, 1024u * 4u);

    AudioUnitParameterInfo info{};
    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 3), 0);
    EXPECT_STREQ(info.name, "Param 3");
    EXPECT_EQ(text(info.cfNameString), "Param 3");
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_ValuesHaveStrings);
    EXPECT_FALSE(info.flags & kAudioUnitParameterFlag_CFNameRelease);
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_IsGlobalMeta);  // not initialised yet
    EXPECT_EQ(info.minValue, 0.0f);
    EXPECT_EQ(info.maxValue, 1.0f);
    EXPECT_EQ(info.defaultValue, 0.5f);

    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 7), 0);
    EXPECT_EQ(text(info.cfNameString), "");  // names beginning with ~ are hidden

    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 5000), 0);
    EXPECT_EQ(text(info.cfNameString), "Generic");
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_CFNameRelease);
    EXPECT_FALSE(info.flags & kAudioUnitParameterFlag_ValuesHaveStrings);
    CFRelease(info.cfNameString);

    EXPECT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 3, kAudioUnitScope_Input),
              kAudioUnitErr_InvalidParameter);
}

TEST_F(AdapterSetup, ParameterChangesReachTheEffectAndTheHostSide) {
    ASSERT_EQ(AudioUnitSetParameter(unit, 12, kAudioUnitScope_Global, 0, 0.4f, 0), 0);
    EXPECT_FLOAT_EQ(effect->values[12], 0.4f);
    EXPECT_FLOAT_EQ(adapter->Globals().GetParameter(12), 0.4f);
    effect->values[13] = 0.9f;  // the effect changed it itself
    AudioUnitParameterValue value = 0.0f;
    ASSERT_EQ(AudioUnitGetParameter(unit, 13, kAudioUnitScope_Global, 0, &value), 0);
    EXPECT_FLOAT_EQ(value, 0.9f);
    EXPECT_EQ(AudioUnitSetParameter(unit, 1024, kAudioUnitScope_Global, 0, 0.4f, 0), kAudioUnitErr_InvalidParameter);
}

TEST_F(AdapterSetup, ValueTextLeavesTheEffectAsItWas) {
    effect->values[9] = 0.25f;
    AudioUnitParameterStringFromValue request{9, nullptr, nullptr};
    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterStringFromValue, request), 0);
    EXPECT_EQ(text(request.outString), "0.25 dB");
    CFRelease(request.outString);

    for (float asked : {0.75f, -0.5f}) {
        request = {9, &asked, nullptr};
        ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterStringFromValue, request), 0);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.2f dB", static_cast<double>(asked));
        EXPECT_EQ(text(request.outString), expected);
        CFRelease(request.outString);
        EXPECT_FLOAT_EQ(effect->values[9], 0.25f) << "asked about " << asked;
    }
    request = {1024, nullptr, nullptr};
    EXPECT_EQ(getProperty(kAudioUnitProperty_ParameterStringFromValue, request), kAudioUnitErr_InvalidParameter);
}

TEST_F(AdapterSetup, SampleRatePropertyNeedsEightBytes) {
    const float shortRate = 96000.0f;
    EXPECT_EQ(setProperty(kAudioUnitProperty_SampleRate, shortRate), 0);
    Float64 rate = 0.0;
    ASSERT_EQ(getProperty(kAudioUnitProperty_SampleRate, rate), 0);
    EXPECT_EQ(rate, 44100.0);
    const Float64 newRate = 96000.0;
    EXPECT_EQ(setProperty(kAudioUnitProperty_SampleRate, newRate, kAudioUnitScope_Output), 0);
    ASSERT_EQ(getProperty(kAudioUnitProperty_SampleRate, rate), 0);
    EXPECT_EQ(rate, 96000.0);
    EXPECT_FLOAT_EQ(effect->getSampleRate(), 96000.0f);
}

TEST_F(AdapterSetup, FixedAnswers) {
    UInt32 value = 99;
    EXPECT_EQ(getProperty(kAudioUnitProperty_InPlaceProcessing, value), 0);
    EXPECT_EQ(value, 0u);
    value = 99;
    EXPECT_EQ(getProperty(kMusicDeviceProperty_InstrumentCount, value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(adapter->Version(), 0x10000u);
    Float64 latency = -1.0;
    EXPECT_EQ(getProperty(kAudioUnitProperty_Latency, latency), 0);
    EXPECT_EQ(latency, 0.0);
    EXPECT_EQ(getProperty(kAudioUnitProperty_TailTime, latency), kAudioUnitErr_InvalidProperty);

    AUMIDIEventProc proc = nullptr;
    EXPECT_EQ(getProperty(kAudioUnitProperty_FastDispatch, proc, 1), kAudioUnitErr_InvalidElement);
    ASSERT_EQ(getProperty(kAudioUnitProperty_FastDispatch, proc, kMusicDeviceMIDIEventFastDispatch), 0);
    EXPECT_EQ(proc, &AUPLUGINMIDIEvent);
    EXPECT_EQ(proc(nullptr, 0x90, 1, 2, 0), kAudio_ParamError);
}

TEST_F(AdapterSetup, EditorPropertiesWithoutAnEditor) {
    double size[2] = {-1.0, -1.0};
    ASSERT_EQ(getProperty(AUPLUGIN::kEditorSizeProperty, size), 0);
    EXPECT_EQ(size[0], 0.0);
    EXPECT_EQ(size[1], 0.0);
    void* view = this;
    EXPECT_EQ(setProperty(AUPLUGIN::kEditorViewProperty, view), 0);
    view = nullptr;
    EXPECT_EQ(setProperty(AUPLUGIN::kEditorViewProperty, view), 0);
    EXPECT_EQ(setProperty(AUPLUGIN::kEditorIdleProperty, view), 0);
}

TEST_F(AdapterSetup, CocoaViewNeedsTheBundle) {
    AudioUnitCocoaViewInfo info{};
    UInt32 size = sizeof info;
    // Nothing registered the component's bundle in this process yet.
    if (CFBundleGetBundleWithIdentifier(makeCFString("com.Zelk.Tarnwell.component").get()) == nullptr) {
        EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size),
                  kAudio_FileNotFoundError);
    }
    tarnwell::cf::registerBundle("com.Zelk.Tarnwell.component", "/tmp/Tarnwell.component");
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size), 0);
    EXPECT_EQ(text(info.mCocoaAUViewBundleLocation), "/tmp/Tarnwell.component");
    EXPECT_EQ(text(info.mCocoaAUViewClass[0]), "Tarnwell_Zelk_CocoaViewFactory");
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
}

TEST_F(AdapterSetup, FactoryPresetsFollowTheEffectsProgramNames) {
    CFArrayRef list = nullptr;
    ASSERT_EQ(getProperty(kAudioUnitProperty_FactoryPresets, list), 0);
    ASSERT_EQ(CFArrayGetCount(list), 1);
    auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(list, 0));
    EXPECT_EQ(preset->presetNumber, 0);
    EXPECT_EQ(text(preset->presetName), "Default");  // names are read at initialisation
    CFRelease(list);

    start();
    ASSERT_EQ(getProperty(kAudioUnitProperty_FactoryPresets, list), 0);
    EXPECT_EQ(text(static_cast<const AUPreset*>(CFArrayGetValueAtIndex(list, 0))->presetName), "Start");
    CFRelease(list);

    const int calls = effect->setProgramCalls;
    AUPreset missing{3, nullptr};
    EXPECT_EQ(setProperty(kAudioUnitProperty_PresentPreset, missing), kAudioUnitErr_InvalidPropertyValue);
    AUPreset first{0, nullptr};
    EXPECT_EQ(setProperty(kAudioUnitProperty_PresentPreset, first), 0);
    EXPECT_EQ(effect->setProgramCalls, calls + 1);
    AUPreset current{};
    ASSERT_EQ(getProperty(kAudioUnitProperty_PresentPreset, current), 0);
    EXPECT_EQ(current.presetNumber, 0);
    EXPECT_EQ(text(current.presetName), "Start");
    CFRelease(current.presetName);
}

// The effect may ask for a display update from the render thread: the names are rebuilt
// when the host next reads them, and the host is told at once.
TEST_F(AdapterSetup, DisplayUpdateRefreshesNamesForTheNextReader) {
    start();
    std::vector<AudioUnitPropertyID> changed;
    auto proc = [](void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement) {
        static_cast<std::vector<AudioUnitPropertyID>*>(refCon)->push_back(id);
    };
    AudioUnitAddPropertyListener(unit, kAudioUnitProperty_CurrentPreset, proc, &changed);
    AudioUnitAddPropertyListener(unit, kAudioUnitProperty_FactoryPresets, proc, &changed);
    std::strcpy(effect->programName, "Renamed");
    effect->values[100] = 0.3f;
    effect->displayRequest = true;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(changed, (std::vector<AudioUnitPropertyID>{kAudioUnitProperty_CurrentPreset,
                                                         kAudioUnitProperty_FactoryPresets}));
    EXPECT_FLOAT_EQ(adapter->Globals().GetParameter(100), 0.3f);
    AUPreset current{};
    ASSERT_EQ(getProperty(kAudioUnitProperty_CurrentPreset, current), 0);
    EXPECT_EQ(text(current.presetName), "Renamed");
    CFRelease(current.presetName);
}

}  // namespace
