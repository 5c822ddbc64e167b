// Requests from the effect to its host: what the wrappers the effect uses send, how they read
// the answer, and what they answer when there is no host at all.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <tuple>

using tarnwell::test::RecordingHost;
using tarnwell::test::TestEffect;

TEST(HostRequests, WrappersSendTheirArgumentsAndReadTheAnswer) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    auto sentOnce = [&](int32_t opcode, int32_t index, intptr_t value, float opt) {
        ASSERT_EQ(host.requests.size(), 1u) << opcode;
        const auto& r = host.requests[0];
        EXPECT_EQ(r.effect, effect.getAeffect());
        EXPECT_EQ(std::make_tuple(r.opcode, r.index, r.value, r.ptr, r.opt),
                  std::make_tuple(opcode, index, value, static_cast<void*>(nullptr), opt));
        host.clear();
    };
    effect.setParameterAutomated(5, 0.25f);
    sentOnce(HostRequest::Automate, 5, 0, 0.25f);
    EXPECT_EQ(effect.getTimeInfo(1536), &host.timeInfo);
    sentOnce(HostRequest::GetTime, 0, 1536, 0.0f);
    EXPECT_TRUE(effect.beginEdit(3));
    sentOnce(HostRequest::BeginEdit, 3, 0, 0.0f);
    host.answers[HostRequest::Version] = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);  // an old host answering 0 counts as version 1

    TestEffect alone(nullptr);
    alone.setParameterAutomated(5, 0.25f);
    EXPECT_EQ(alone.getParameter(5), 0.25f);  // the automated value still reached the effect
    EXPECT_EQ(alone.getMasterVersion(), 1);
    EXPECT_EQ(alone.getTimeInfo(1536), nullptr);
    EXPECT_FALSE(alone.beginEdit(1));
}

TEST(HostRequests, ResumeAsksForEventsOnlyWhenTheEffectTakesMidi) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    effect.resume();
    effect.canDoAnswer = "receiveVstMidiEvent";
    effect.canDoResult = 2;  // only an exact 1 counts
    effect.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 0);
    effect.canDoResult = 1;
    effect.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 1);
    EXPECT_EQ(host.last(HostRequest::WantEvents).value, 1);
    TestEffect synth(RecordingHost::callback());
    synth.isSynth(true);
    synth.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 2);
}
