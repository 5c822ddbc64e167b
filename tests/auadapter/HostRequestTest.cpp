#include "tests/auadapter/AdapterFixture.h"

namespace {

using HostRequests = AdapterTest;

intptr_t ask(AEffect* record, int32_t request, int32_t index = 0, void* ptr = nullptr, float opt = 0.0f) {
    return AUPLUGINAudioMasterCallback(record, request, index, 0, ptr, opt);
}

TEST_F(HostRequests, OutsideHostsAreKnownByTheirBundleIdentifier) {
    char product[256] = {};
    for (auto [identifier, expected] :
         {std::pair{"org.example.Sequencer", "Default"}, std::pair{"com.outsidehosts.Kore2", "Kore"},
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
    static_cast<std::vector<Heard>*>(userData)->push_back(
        {event->mEventType, event->mArgument.mParameter.mParameterID, value});
}

TEST_F(HostRequests, AutomationAndGesturesReachTheListeners) {
    std::vector<Heard> heard;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(&hear, &heard, &listener), 0);
    for (AudioUnitEventType type :
         {kAudioUnitEvent_ParameterValueChange, kAudioUnitEvent_BeginParameterChangeGesture,
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

// The host's transport, answered through its callbacks; the effect uses the tempo, the beat
// position and whether the transport plays (read only with the musical time).
TEST_F(HostRequests, TimeInformationFromTheHostsTransport) {
    struct Transport {
        OSStatus beatStatus = 0;
        double beat = 6.5, tempo = 133.0;
        Boolean playing = 1, changed = 0;
    } transport;
    HostCallbackInfo callbacks{
        &transport,
        [](void* data, Float64* beat, Float64* tempo) {
            const auto* t = static_cast<Transport*>(data);
            *beat = t->beat;
            *tempo = t->tempo;
            return t->beatStatus;
        },
        [](void*, UInt32* toNext, Float32* numerator, UInt32* denominator, Float64* downBeat) {
            *toNext = 321;
            *numerator = 7.0f;
            *denominator = 8;
            *downBeat = 4.0;
            return OSStatus{0};
        },
        [](void* data, Boolean* playing, Boolean* changed, Float64*, Boolean*, Float64*, Float64*) {
            *playing = static_cast<Transport*>(data)->playing;
            *changed = static_cast<Transport*>(data)->changed;
            return OSStatus{0};
        }};
    ASSERT_EQ(setProperty(kAudioUnitProperty_HostCallbacks, callbacks), 0);
    start();
    effect->timeRequest = true;
    ASSERT_EQ(render(64), 0);
    ASSERT_NE(effect->lastTime, nullptr);
    EXPECT_EQ(effect->lastTime->tempo, 133.0);
    EXPECT_EQ(effect->lastTime->ppqPos, 6.5);
    EXPECT_EQ(effect->lastTime->barStartPos, 4.0);
    EXPECT_EQ(effect->lastTime->timeSigNumerator, 7);
    EXPECT_EQ(effect->lastTime->flags,
              timeTempoValid | timeTransportPlaying | timePpqPosValid | timeBarsValid | timeSigValid);

    transport.playing = 0;
    transport.changed = 1;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime->flags & (timeTransportChanged | timeTransportPlaying), timeTransportChanged);

    // A failing tempo callback leaves the default tempo; a tempo of 0 gives no time at all.
    transport.beatStatus = -1;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime->tempo, 120.0);
    EXPECT_FALSE(effect->lastTime->flags & timeTempoValid);
    transport.beatStatus = 0;
    transport.tempo = 0.0;
    ASSERT_EQ(render(64), 0);
    EXPECT_EQ(effect->lastTime, nullptr);
}

}  // namespace
