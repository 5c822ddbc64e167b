// Dispatcher answers for every opcode family, the editor opcodes with and without an editor,
// the opcodes outside both ranges, and the vtable slots hosts rely on.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/VtableSlot.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

using tarnwell::test::TestEditor;
using tarnwell::test::TestEffect;
using namespace EffectOpcode;

namespace {

class Dispatcher : public ::testing::Test {
protected:
    long long send(int opcode, int index = 0, long long value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect.dispatcher(opcode, index, value, ptr, opt);
    }
    TestEffect effect{nullptr, 4, 8};
};

}  // namespace

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
    const long long answers[][3] = {{CanBeAutomated, 0, 1}, {GetVstVersion, 0, 2400},
                                    {GetCurrentMidiProgram, 0, -1} /* sign-extended */,
                                    {SetTotalSampleToProcess, 4410, 4410}, {GetPlugCategory, 0, 0}};
    for (const auto& a : answers) EXPECT_EQ(send(static_cast<int>(a[0]), 3, a[1], text), a[2]) << a[0];
    effect.isSynth(true);
    EXPECT_EQ(send(GetPlugCategory), 2);
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
}

TEST_F(Dispatcher, EveryOtherOpcodeAnswersZeroAndCallsNothing) {
    char text[64] = "";
    const int opcodes[] = {
        GetEffectName, GetProgramNameIndexed, GetInputProperties, GetOutputProperties, String2Parameter,
        OfflineNotify, OfflinePrepare, OfflineRun, ProcessVariableIo, SetSpeakerArrangement, SetBypass,
        GetVendorVersion, VendorSpecific, GetTailSize, GetParameterProperties, GetMidiProgramName,
        GetMidiProgramCategory, HasMidiProgramsChanged, GetMidiKeyName, BeginSetProgram, EndSetProgram,
        ShellGetNextPlugin, StartProcess, StopProcess, SetPanLaw, BeginLoadBank, BeginLoadProgram,
        SetProcessPrecision, GetNumMidiInputChannels, GetNumMidiOutputChannels,
        // unused numbers and those outside both ranges
        -1, INT_MIN, 9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 81, 1000, INT_MAX};
    for (int opcode : opcodes) EXPECT_EQ(send(opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;
    EXPECT_TRUE(effect.calls.empty());
}

TEST(VirtualSlots, OperationsSitInTheirSlots) {
    // The first and last operation of each class, and some between: one operation more or less
    // anywhere moves every slot after it.
    using tarnwell::test::vtableSlot;
    const long slots[][2] = {{vtableSlot(&AudioEffect::dispatcher), 2},
                             {vtableSlot(&AudioEffect::processReplacing), 9},
                             {vtableSlot(&AudioEffect::getChunk), 21},
                             {vtableSlot(&AudioEffect::dB2string), 39},
                             {vtableSlot(&AudioEffect::__setOfflineQualitiesDeprecated), 50},
                             {vtableSlot(&AudioEffectX::canParameterBeAutomated), 51},
                             {vtableSlot(&AudioEffectX::getTimeInfo), 75},
                             {vtableSlot(&AudioEffectX::canDo), 98},
                             {vtableSlot(&AudioEffectX::__getChunkFileDeprecated), 152},
                             {vtableSlot(&AEffEditor::getEffect), 2},
                             {vtableSlot(&AEffEditor::setKnobMode), 16}};
    for (const auto& [slot, expected] : slots) EXPECT_EQ(slot, expected);
}
