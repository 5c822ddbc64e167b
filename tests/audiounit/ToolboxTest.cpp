#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/audiounit/TestUnit.h"

namespace {

struct Heard {
    AudioUnitEventType type;
    AudioUnitParameterID id;
    void* object;
    float value;
};

void record(void* userData, void* object, const AudioUnitEvent* event, UInt64,
            AudioUnitParameterValue value) {
    static_cast<std::vector<Heard>*>(userData)->push_back(
        {event->mEventType, event->mArgument.mParameter.mParameterID, object, value});
}

AudioUnitEvent parameterEvent(AudioUnitEventType type, AudioUnit unit, AudioUnitParameterID id) {
    AudioUnitEvent event{};
    event.mEventType = type;
    event.mArgument.mParameter = {unit, id, kAudioUnitScope_Global, 0};
    return event;
}

// Units to send events about; value-change listeners read the value from the unit.
class Units {
public:
    Units() {
        for (AudioUnit& unit : units) AudioComponentInstanceNew(TestUnit::component(), &unit);
    }
    ~Units() {
        for (AudioUnit unit : units) AudioComponentInstanceDispose(unit);
    }
    AudioUnit operator[](int i) const { return units[i]; }

private:
    AudioUnit units[2] = {};
};

TEST(Listeners, HearOnlyTheEventsTheyAskedFor) {
    Units units;
    AudioUnitSetParameter(units[0], 3, kAudioUnitScope_Global, 0, 0.75f, 0);
    std::vector<Heard> heard;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(&record, &heard, &listener), 0);
    int tag = 0;
    const AudioUnitEvent anyValue =
        parameterEvent(kAudioUnitEvent_ParameterValueChange, units[0], kAUParameterListener_AnyParameter);
    const AudioUnitEvent beginOf5 = parameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, units[0], 5);
    ASSERT_EQ(AUEventListenerAddEventType(listener, &tag, &anyValue), 0);
    ASSERT_EQ(AUEventListenerAddEventType(listener, &tag, &beginOf5), 0);
    auto notify = [](AudioUnitEventType type, AudioUnit unit, AudioUnitParameterID id,
                     AUEventListenerRef from = nullptr) {
        const AudioUnitEvent event = parameterEvent(type, unit, id);
        AUEventListenerNotify(from, nullptr, &event);
    };

    notify(kAudioUnitEvent_ParameterValueChange, units[0], 3);
    notify(kAudioUnitEvent_ParameterValueChange, units[1], 3);         // another unit
    notify(kAudioUnitEvent_BeginParameterChangeGesture, units[0], 6);  // another parameter
    notify(kAudioUnitEvent_BeginParameterChangeGesture, units[0], 5);
    notify(kAudioUnitEvent_BeginParameterChangeGesture, units[0], 5, listener);  // not its own events
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(heard[0].id, 3u);
    EXPECT_EQ(heard[0].object, &tag);
    EXPECT_FLOAT_EQ(heard[0].value, 0.75f);
    EXPECT_EQ(heard[1].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(heard[1].id, 5u);

    ASSERT_EQ(AUEventListenerRemoveEventType(listener, &tag, &beginOf5), 0);
    notify(kAudioUnitEvent_BeginParameterChangeGesture, units[0], 5);
    ASSERT_EQ(AUListenerDispose(listener), 0);
    notify(kAudioUnitEvent_ParameterValueChange, units[0], 3);
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_EQ(AUListenerDispose(listener), kAudio_ParamError);
}

// Disposal waits for a notifier that is inside the listener, so a proc never runs afterwards.
TEST(Listeners, DisposeWhileAnotherThreadNotifies) {
    Units units;
    struct Shared {
        std::atomic<int> calls{0}, late{0};
        std::atomic<bool> disposed{false};
    } shared;
    auto proc = [](void* userData, void*, const AudioUnitEvent*, UInt64, AudioUnitParameterValue) {
        auto* s = static_cast<Shared*>(userData);
        if (s->disposed.load()) s->late.fetch_add(1);
        s->calls.fetch_add(1);
    };
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(proc, &shared, &listener), 0);
    const AudioUnitEvent interest = parameterEvent(kAudioUnitEvent_EndParameterChangeGesture, units[1], 1);
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &interest), 0);

    std::atomic<bool> stop{false};
    std::thread notifier([&] {
        while (!stop.load()) AUEventListenerNotify(nullptr, nullptr, &interest);
    });
    while (shared.calls.load() < 100) std::this_thread::yield();
    ASSERT_EQ(AUListenerDispose(listener), 0);
    shared.disposed.store(true);
    const int afterDispose = shared.calls.load();
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    stop.store(true);
    notifier.join();
    EXPECT_EQ(shared.calls.load(), afterDispose);
    EXPECT_EQ(shared.late.load(), 0);
}

TEST(Components, LoadingAMissingLibraryNamesIt) {
    std::string error;
    EXPECT_EQ(tarnwell::au::loadComponent("/nonexistent/Thing.so", AudioComponentDescription{}, error),
              nullptr);
    EXPECT_NE(error.find("/nonexistent/Thing.so"), std::string::npos);
}

}  // namespace
