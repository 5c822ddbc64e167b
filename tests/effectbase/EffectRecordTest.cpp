// The effect record: start values, the entry points and the end of life; requests to the host.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

using tarnwell::test::RecordingHost;
using tarnwell::test::TestEditor;
using tarnwell::test::TestEffect;

namespace {
int instancesMade = 0;
}

AudioEffect* createEffectInstance(HostCallback audioMaster) {
    ++instancesMade;
    return new TestEffect(audioMaster);
}

TEST(EffectRecord, EntryPointsReachTheEffectAndCloseDeletesIt) {
    bool effectGone = false, editorGone = false;
    auto* effect = new TestEffect(nullptr, 3, 17, &effectGone);
    effect->setEditor(new TestEditor(effect, &editorGone));
    AEffect* r = effect->getAeffect();
    EXPECT_EQ(std::memcmp(&r->magic, "PtsV", 4), 0);  // the bytes as they sit in memory
    EXPECT_EQ(r->numPrograms, 3);
    EXPECT_EQ(r->numParams, 17);
    EXPECT_EQ(r->flags, effectCanReplacing | effectHasEditor);
    r->setParameter(r, 2, 0.75f);
    EXPECT_EQ(r->getParameter(r, 2), 0.75f);
    float in[4] = {1, 2, 3, 4}, out[4] = {};
    float *ins[] = {in}, *outs[] = {out};
    r->processReplacing(r, ins, outs, 4);
    EXPECT_EQ(out[3], 8.0f);
    r->process(r, ins, outs, 3);
    r->processDoubleReplacing(r, nullptr, nullptr, 5);
    EXPECT_EQ(effect->accumulatedFrames, 3);
    EXPECT_EQ(effect->doubleFrames, 5);
    // Close through the method is only a call of close(); through the record it ends the effect.
    EXPECT_EQ(effect->dispatcher(EffectOpcode::Close, 0, 0, nullptr, 0.0f), 0);
    EXPECT_FALSE(effectGone);
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::Close, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(effectGone);
    EXPECT_TRUE(editorGone);
}

TEST(EffectRecord, PlainEntryNeedsAHostThatAnswersTheVersion) {
    RecordingHost host;
    host.version = 0;
    instancesMade = 0;
    EXPECT_EQ(main_macho(RecordingHost::callback()), nullptr);
    EXPECT_EQ(main_macho(nullptr), nullptr);
    EXPECT_EQ(instancesMade, 0);
    host.version = 2400;
    AEffect* r = main_macho(RecordingHost::callback());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(instancesMade, 1);
    EXPECT_EQ(r->magic, kEffectMagic);
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::Close, 0, 0, nullptr, 0.0f), 1);  // frees it
}

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
