#include "tests/auadapter/AdapterFixture.h"

namespace {

using AdapterSetup = AdapterTest;

TEST_F(AdapterSetup, AcceptsOnlyTheChannelTable) {
    const OSStatus refused = kAudioUnitErr_FormatNotSupported;
    for (auto [in, out, expected] :
         {std::tuple{1u, 1u, refused}, std::tuple{2u, 1u, refused}, std::tuple{1u, 2u, OSStatus{0}},
          std::tuple{0u, 2u, OSStatus{0}}, std::tuple{2u, 2u, OSStatus{0}}}) {
        AudioUnitUninitialize(unit);
        ASSERT_EQ(setChannels(in, out), 0);
        EXPECT_EQ(AudioUnitInitialize(unit), expected) << in << " in, " << out << " out";
    }
}

// When the host ends processing, the effect is suspended on the host's thread, where it finishes
// what its render thread left to that thread.
TEST_F(AdapterSetup, UninitialisingSuspendsTheEffect) {
    ASSERT_EQ(AudioUnitInitialize(unit), 0);
    const int suspends = effect->suspends;
    ASSERT_EQ(AudioUnitUninitialize(unit), 0);
    EXPECT_EQ(effect->suspends, suspends + 1);
}

TEST_F(AdapterSetup, ParametersAreNamedSetAndReadThroughTheHost) {
    UInt32 size = 0;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                       &size, nullptr),
              0);
    EXPECT_EQ(size, 1024u * sizeof(AudioUnitParameterID));

    AudioUnitParameterInfo info{};
    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 3), 0);
    EXPECT_EQ(text(info.cfNameString), "Param 3");
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_ValuesHaveStrings);
    EXPECT_FALSE(info.flags & kAudioUnitParameterFlag_CFNameRelease);
    EXPECT_TRUE(info.minValue == 0.0f && info.maxValue == 1.0f);

    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 7), 0);
    EXPECT_EQ(text(info.cfNameString), "");  // names beginning with ~ are hidden

    // Beyond the effect's parameters a generic name the host must release.
    ASSERT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 5000), 0);
    EXPECT_EQ(text(info.cfNameString), "Generic");
    EXPECT_TRUE(info.flags & kAudioUnitParameterFlag_CFNameRelease);
    CFRelease(info.cfNameString);

    EXPECT_EQ(getProperty(kAudioUnitProperty_ParameterInfo, info, 3, kAudioUnitScope_Input),
              kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitSetParameter(unit, 1024, kAudioUnitScope_Global, 0, 0.4f, 0),
              kAudioUnitErr_InvalidParameter);

    // Changes reach the effect, and the host reads what the effect holds.
    ASSERT_EQ(AudioUnitSetParameter(unit, 12, kAudioUnitScope_Global, 0, 0.4f, 0), 0);
    EXPECT_FLOAT_EQ(effect->values[12], 0.4f);
    effect->values[13] = 0.9f;  // the effect changed it itself
    AudioUnitParameterValue value = 0.0f;
    ASSERT_EQ(AudioUnitGetParameter(unit, 13, kAudioUnitScope_Global, 0, &value), 0);
    EXPECT_FLOAT_EQ(value, 0.9f);
}

// A rate property of the wrong size must not be read as eight bytes.
TEST_F(AdapterSetup, SampleRatePropertyNeedsEightBytes) {
    const float shortRate = 96000.0f;
    EXPECT_EQ(setProperty(kAudioUnitProperty_SampleRate, shortRate), 0);
    Float64 rate = 0.0;
    ASSERT_EQ(getProperty(kAudioUnitProperty_SampleRate, rate), 0);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(setProperty(kAudioUnitProperty_SampleRate, Float64{96000.0}, kAudioUnitScope_Output), 0);
    EXPECT_FLOAT_EQ(effect->getSampleRate(), 96000.0f);
}

// The effect may ask for a display update from the render thread: the names are rebuilt
// when the host next reads them, and the host's listeners are told at once.
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
