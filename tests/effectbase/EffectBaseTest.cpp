// The effect base: the record and its entry points, dispatcher answers for every opcode family (with
// and without an editor), and requests to the host.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <limits>
#include <tuple>

using tarnwell::test::RecordingHost;
using tarnwell::test::TestEditor;
using tarnwell::test::TestEffect;

using namespace EffectOpcode;

namespace {

int instancesMade = 0;

class Dispatcher : public ::testing::Test {
protected:
    long long send(int opcode, int index = 0, long long value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect.dispatcher(opcode, index, value, ptr, opt);
    }
    TestEffect effect{nullptr, 4, 8};
};

}  // namespace

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

TEST_F(Dispatcher, LifecycleProgramsAndConfiguration) {
    EXPECT_EQ(send(Open), 0);
    send(MainsChanged, 0, 0);
    send(MainsChanged, 0, 7);
    send(SetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effect.calls, (std::vector<std::string>{"open", "suspend", "resume"}));
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    send(SetBlockSize, 0, (1LL << 32) + 64);  // only the low 32 bits travel
    EXPECT_EQ(effect.getBlockSize(), 64);
    EXPECT_EQ(send(Identify, 99, -5, &effect, 3.0f), kEffectIdentify);
    // Programs outside the range are ignored, also one that would fit once cut to 32 bits.
    send(SetProgram, 0, 3);
    for (long long program : {4LL, -1LL, (1LL << 32) + 1}) send(SetProgram, 0, program);
    EXPECT_EQ(send(GetProgram), 3);
    effect.setProgram(-2);
    EXPECT_EQ(send(GetProgram), -2);  // sign-extended
}

TEST_F(Dispatcher, TextAndChunkOpcodesUseTheirBuffer) {
    char text[64] = "junk";
    char name[] = "Warm Pad";
    send(SetProgramName, 0, 0, name);
    send(GetProgramName, 0, 0, text);
    EXPECT_STREQ(text, "Warm Pad");
    send(GetParamName, 5, 0, text);
    EXPECT_STREQ(text, "Param 5");
    void* data = nullptr;
    EXPECT_EQ(send(GetChunk, 1, 0, &data), 16);
    EXPECT_EQ(data, effect.chunk);
    EXPECT_TRUE(effect.lastChunkWasPreset);
    char incoming[16] = "other";
    EXPECT_EQ(send(SetChunk, 0, 10, incoming), 5);
    EXPECT_FALSE(effect.lastChunkWasPreset);
    EXPECT_STREQ(effect.chunk, "other");
    // A host that passes no buffer gets 0, and the effect is not asked to write through it.
    for (int opcode : {SetProgramName, GetProgramName, GetParamLabel, GetParamDisplay, GetParamName, GetChunk,
                       SetChunk, ProcessEvents, GetEffectName, GetVendorString, GetProductString, CanDo,
                       GetOutputProperties, GetProgramNameIndexed, EditGetRect})
        EXPECT_EQ(send(opcode, 1, 8, nullptr), 0) << "opcode " << opcode;
}

TEST_F(Dispatcher, EditorOpcodesReachTheEditorOnlyWhenThereIsOne) {
    ERect* rect = nullptr;
    for (int opcode : {EditGetRect, EditOpen, EditClose, EditIdle, EditKeyDown, EditKeyUp, SetEditKnobMode})
        EXPECT_EQ(send(opcode, 65, 1, &rect, 2.0f), 0) << "opcode " << opcode;
    EXPECT_EQ(rect, nullptr);

    auto* editor = new TestEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(send(EditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect);
    EXPECT_EQ(send(EditOpen, 0, 0, &rect), 1);
    EXPECT_TRUE(editor->isOpen());
    send(EditIdle);
    EXPECT_EQ(editor->idles, 1);
    send(EditClose);
    EXPECT_FALSE(editor->isOpen());
    // Keys: the character in index, the virtual key in the low byte of value, the modifiers in
    // the low byte of opt (not a number counts as none).
    EXPECT_EQ(send(EditKeyDown, 'a', 0x1FF, nullptr, 3.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 'a');
    EXPECT_EQ(editor->lastKey.virt, 0xFF);
    EXPECT_EQ(editor->lastKey.modifier, 3);
    EXPECT_EQ(send(EditKeyUp, 'b', 2, nullptr, 260.0f), 1);
    EXPECT_EQ(editor->lastKey.modifier, 4);
    send(EditKeyUp, 'c', 2, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(editor->lastKey.modifier, 0);
    EXPECT_EQ(send(SetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
}

TEST_F(Dispatcher, ExtendedOpcodesAnswerTheirDefaultsOrTheOverride) {
    char text[64] = "bypass";
    EXPECT_EQ(send(GetCurrentMidiProgram, 3, 0, text), -1);  // sign-extended
    effect.category = -1;
    EXPECT_EQ(send(GetPlugCategory), 4294967295LL);  // the one zero-extended answer
    effect.canDoAnswer = "bypass";
    effect.canDoResult = -1;
    EXPECT_EQ(send(CanDo, 0, 0, text), -1);
    VstEvents list{};
    list.numEvents = 3;
    EXPECT_EQ(send(ProcessEvents, 0, 0, &list), 3);
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement *in = &dummy, *out = &dummy;
    EXPECT_EQ(send(GetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    // Unused numbers and those outside both ranges answer 0 and call nothing.
    for (int opcode : {-1, INT_MIN, 9, 57, 80, 1000, INT_MAX, int{SetBypass}, int{String2Parameter}})
        EXPECT_EQ(send(opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;
    EXPECT_TRUE(effect.calls.empty());
}
