#include "tests/auadapter/AdapterFixture.h"

namespace {

using HostRequests = AdapterTest;

intptr_t ask(AEffect* record, int32_t request, int32_t index = 0, void* ptr = nullptr, float opt = 0.0f) {
    return AUPLUGINAudioMasterCallback(record, request, index, 0, ptr, opt);
}

TEST_F(HostRequests, IdentityAndAbilities) {
    AEffect* record = adapter->GetAEffect();
    EXPECT_STREQ(effect->productSeen, "Default");  // asked while the effect was being made
    EXPECT_STREQ(effect->vendorSeen, "Zelk");
    EXPECT_EQ(ask(record, HostRequest::Version), 65536);
    EXPECT_EQ(ask(nullptr, HostRequest::Version), 65536);
    EXPECT_EQ(ask(record, HostRequest::CurrentId), fourCharCode("Nwel"));
    EXPECT_EQ(ask(record, HostRequest::GetProductString), 0);  // no buffer
    EXPECT_EQ(ask(record, 45), 0);
    EXPECT_EQ(ask(record, HostRequest::GetLanguage), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(ask(record, HostRequest::GetDirectory)), "");

    for (const char* yes : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "supplyIdle"})
        EXPECT_EQ(ask(record, HostRequest::CanDo, 0, const_cast<char*>(yes)), 1) << yes;
    for (const char* no : {"receiveVstEvents", "receiveVstMidiEvent", "offline", "sizeWindow", "supportShell", "fly"})
        EXPECT_EQ(ask(record, HostRequest::CanDo, 0, const_cast<char*>(no)), 0) << no;
}

TEST_F(HostRequests, RateAndBlockSizeComeFromTheAdapter) {
    EXPECT_EQ(ask(nullptr, HostRequest::GetSampleRate), 44100);
    EXPECT_EQ(ask(nullptr, HostRequest::GetBlockSize), 1024);
    const Float64 rate = 48000.7;
    setProperty(kAudioUnitProperty_SampleRate, rate);
    UInt32 frames = 480;
    setProperty(kAudioUnitProperty_MaximumFramesPerSlice, frames);
    EXPECT_EQ(ask(adapter->GetAEffect(), HostRequest::GetSampleRate), 48000);
    EXPECT_EQ(ask(adapter->GetAEffect(), HostRequest::GetBlockSize), 480);
}

TEST_F(HostRequests, OutsideHostsAreKnownByTheirBundleIdentifier) {
    char product[256] = {};
    for (auto [identifier, expected] : {std::pair{"org.example.Sequencer", "Default"},
                                        std::pair{"com.outsidehosts.Kore2", "Kore"},
                                        std::pair{"com.outsidehosts.Maschine", "Maschine Host"},
                                        std::pair{"com.outsidehosts.Other", "Default"}}) {
        tarnwell::cf::registerMainBundle(identifier, "/tmp");
        ASSERT_EQ(ask(adapter->GetAEffect(), HostRequest::GetProductString, 0, product), 1);
        EXPECT_STREQ(product, expected) << identifier;
    }
    tarnwell::cf::registerMainBundle("org.example.Sequencer", "/tmp");
}

struct Heard {
    AudioUnitEventType type;
    AudioUnitParameterID id;
    float value;
};

void hear(void* userData, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value) {
    static_cast<std::vector<Heard>*>(userData)->push_back({event->mEventType, event->mArgument.mParameter.mParameterID,
                                                           value});
}

TEST_F(HostRequests, AutomationAndGesturesReachTheListeners) {
    std::vector<Heard> heard;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(&hear, &heard, &listener), 0);
    for (AudioUnitEventType type : {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
                                    kAudioUnitEvent_EndParameterChangeGesture}) {
        AudioUnitEvent interest{};
        interest.mEventType = type;
        interest.mArgument.mParameter = {unit, kAUParameterListener_AnyParameter, kAudioUnitScope_Global, 0};
        AUEventListenerAddEventType(listener, nullptr, &interest);
    }

    effect->beginEdit(5);
    effect->setParameterAutomated(5, 0.3f);
    effect->endEdit(5);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(heard[1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(heard[1].id, 5u);
    EXPECT_FLOAT_EQ(heard[1].value, 0.3f);
    EXPECT_EQ(heard[2].type, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_FLOAT_EQ(adapter->Globals().GetParameter(5), 0.3f);

    // Out-of-range parameters answer 1 and change nothing.
    EXPECT_EQ(ask(adapter->GetAEffect(), HostRequest::Automate, -1, nullptr, 0.7f), 1);
    EXPECT_EQ(ask(adapter->GetAEffect(), HostRequest::Automate, 1024, nullptr, 0.7f), 1);
    EXPECT_EQ(ask(adapter->GetAEffect(), HostRequest::BeginEdit, 1024), 1);
    EXPECT_EQ(heard.size(), 3u);
    AUListenerDispose(listener);
}

// Host callbacks that answer from a struct the test fills in.
struct Transport {
    OSStatus beatStatus = 0;
    double beat = 6.5, tempo = 133.0;
    UInt32 toNextBeat = 321;
    float numerator = 7.0f;
    UInt32 denominator = 8;
    double downBeat = 4.0;
    Boolean playing = 1, changed = 0;

    static OSStatus beatAndTempo(void* data, Float64* beat, Float64* tempo) {
        auto* t = static_cast<Transport*>(data);
        if (beat != nullptr) *beat = t->beat;
        if (tempo != nullptr) *tempo = t->tempo;
        return t->beatStatus;
    }
    static OSStatus musicalTime(void* data, UInt32* toNext, Float32* num, UInt32* den, Float64* down) {
        auto* t = static_cast<Transport*>(data);
        *toNext = t->toNextBeat;
        *num = t->numerator;
        *den = t->denominator;
        *down = t->downBeat;
        return 0;
    }
    static OSStatus transportState(void* data, Boolean* playing, Boolean* changed, Float64*, Boolean*, Float64*,
                                   Float64*) {
        auto* t = static_cast<Transport*>(data);
        *playing = t->playing;
        *changed = t->changed;
        return 0;
    }
};

TEST_F(HostRequests, TimeInformationWithoutHostCallbacks) {
    start();
    effect->timeRequest = true;
    sampleTime = 4410.0;
    ASSERT_EQ(render(64), 0);
    ASSERT_NE(effect->lastTime, nullptr);
    EXPECT_EQ(effect->lastTime->tempo, 120.0);
    EXPECT_EQ(effect->lastTime->samplePos, 4410.0);
    EXPECT_EQ(effect->lastTime->sampleRate, 44100.0);
    EXPECT_EQ(effect->lastTime->flags, 0);
}

TEST_F(HostRequests, TimeInformationFromTheHostsTransport) {
    Transport transport;
    HostCallbackInfo callbacks{&transport, &Transport::beatAndTempo, &Transport::musicalTime,
                               &Transport::transportState};
    ASSERT_EQ(setProperty(kAudioUnitProperty_HostCallbacks, callbacks), 0);
    start();
    effect->timeRequest = true;
    ASSERT_EQ(render(64), 0);
    const VstTimeInfo* time = effect->lastTime;
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->tempo, 133.0);
    EXPECT_EQ(time->ppqPos, 6.5);
    EXPECT_EQ(time->barStartPos, 4.0);
    EXPECT_EQ(time->timeSigNumerator, 7);
    EXPECT_EQ(time->timeSigDenominator, 8);
    EXPECT_EQ(time->samplesToNextClock, 321);
    EXPECT_EQ(time->flags, timeTempoValid | timeTransportPlaying | timePpqPosValid | timeBarsValid | timeSigValid);

    transport.playing = 0;
    transport.changed = 1;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime->flags & (timeTransportChanged | timeTransportPlaying), timeTransportChanged);

    // A failing tempo callback leaves the default tempo and no musical position.
    transport.beatStatus = -1;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime->tempo, 120.0);
    EXPECT_EQ(effect->lastTime->ppqPos, 0.0);
    EXPECT_FALSE(effect->lastTime->flags & timeTempoValid);

    transport.beatStatus = 0;
    transport.tempo = 0.0;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime, nullptr);
}

TEST_F(HostRequests, SmpteFieldsFromTheTimeStamp) {
    start();
    effect->timeRequest = true;
    AudioTimeStamp stamp{};
    stamp.mFlags = kAudioTimeStampSMPTETimeValid | kAudioTimeStampHostTimeValid;
    stamp.mHostTime = 123456;
    stamp.mSMPTETime.mCounter = 77;
    const int32_t expectedRates[6] = {0, 1, 5, 3, 2, 4};
    for (UInt32 type = 0; type < 6; ++type) {
        stamp.mSMPTETime.mType = type;
        float out0[16], out1[16];
        struct {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{2, {{1, 64, out0}, {1, 64, out1}}};
        setRampInput(16);
        AudioUnitRenderActionFlags flags = 0;
        ASSERT_EQ(AudioUnitRender(unit, &flags, &stamp, 0, 16, reinterpret_cast<AudioBufferList*>(&list)), 0);
        ASSERT_NE(effect->lastTime, nullptr);
        EXPECT_EQ(effect->lastTime->smpteFrameRate, expectedRates[type]);
        EXPECT_EQ(effect->lastTime->smpteOffset, 77);
        EXPECT_EQ(effect->lastTime->nanoSeconds, 123456.0);
        EXPECT_EQ(effect->lastTime->flags, timeNanosValid | timeSmpteValid);
    }
}

}  // namespace
