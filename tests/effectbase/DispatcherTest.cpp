// Dispatcher answers for every opcode family, the editor opcodes with and without an editor,
// the opcodes outside both ranges, and the vtable slots hosts rely on.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/VtableSlot.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <cstring>
#include <memory>

using tarnwell::test::TestEditor;
using tarnwell::test::TestEffect;
using namespace EffectOpcode;
using tarnwell::test::vtableSlot;

namespace {

class Dispatcher : public ::testing::Test {
protected:
    long long send(int opcode, int index = 0, long long value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return effect.dispatcher(opcode, index, value, ptr, opt);
    }
    TestEffect effect{nullptr, 4, 8};
};

}  // namespace

TEST_F(Dispatcher, LifecycleAndConfiguration) {
    EXPECT_EQ(send(Open), 0);
    EXPECT_EQ(send(MainsChanged, 0, 0), 0);
    EXPECT_EQ(send(MainsChanged, 0, 7), 0);
    EXPECT_EQ(send(MainsChanged, 0, -1), 0);
    EXPECT_EQ(send(SetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(effect.calls, (std::vector<std::string>{"open", "suspend", "resume", "resume", "setSampleRate"}));
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);

    EXPECT_EQ(send(SetBlockSize, 0, 256), 0);
    EXPECT_EQ(effect.getBlockSize(), 256);
    send(SetBlockSize, 0, (1LL << 32) + 64);  // only the low 32 bits travel
    EXPECT_EQ(effect.getBlockSize(), 64);
    EXPECT_EQ(send(Identify, 99, -5, &effect, 3.0f), 1316373862);
}

TEST_F(Dispatcher, ProgramsOutsideTheRangeAreIgnored) {
    EXPECT_EQ(send(SetProgram, 0, 3), 0);
    EXPECT_EQ(send(GetProgram), 3);
    send(SetProgram, 0, 4);
    send(SetProgram, 0, -1);
    send(SetProgram, 0, (1LL << 32) + 1);  // would be program 1 if cut to 32 bits first
    EXPECT_EQ(send(GetProgram), 3);
    effect.setProgram(-2);
    EXPECT_EQ(send(GetProgram), -2);  // sign-extended
}

TEST_F(Dispatcher, TextOpcodesFillTheBuffer) {
    char text[64] = "junk";
    char name[] = "Warm Pad";
    EXPECT_EQ(send(SetProgramName, 0, 0, name), 0);
    EXPECT_EQ(send(GetProgramName, 0, 0, text), 0);
    EXPECT_STREQ(text, "Warm Pad");
    EXPECT_EQ(send(GetParamName, 5, 0, text), 0);
    EXPECT_STREQ(text, "Param 5");
    std::strcpy(text, "junk");
    send(GetParamLabel, 5, 0, text);
    EXPECT_STREQ(text, "");
    std::strcpy(text, "junk");
    send(GetParamDisplay, 5, 0, text);
    EXPECT_STREQ(text, "");
}

TEST_F(Dispatcher, MissingBuffersAreRefusedWithoutACall) {
    for (int opcode : {SetProgramName, GetProgramName, GetParamLabel, GetParamDisplay, GetParamName, GetChunk,
                       SetChunk, ProcessEvents, GetEffectName, GetVendorString, GetProductString, CanDo,
                       GetOutputProperties, GetProgramNameIndexed})
        EXPECT_EQ(send(opcode, 1, 8, nullptr), 0) << "opcode " << opcode;
    EXPECT_EQ(effect.programName, "Init");
}

TEST_F(Dispatcher, ChunksTravelThroughPointerAndSize) {
    void* data = nullptr;
    EXPECT_EQ(send(GetChunk, 1, 0, &data), 16);
    EXPECT_EQ(data, effect.chunk);
    EXPECT_TRUE(effect.lastChunkWasPreset);
    char incoming[16] = "other";
    EXPECT_EQ(send(SetChunk, 0, 10, incoming), 5);
    EXPECT_FALSE(effect.lastChunkWasPreset);
    EXPECT_STREQ(effect.chunk, "other");
}

TEST_F(Dispatcher, EditorOpcodesWithoutAnEditorDoNothing) {
    ERect* rect = nullptr;
    EXPECT_EQ(send(EditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    int parent = 0;
    for (int opcode : {EditOpen, EditClose, EditIdle, EditKeyDown, EditKeyUp, SetEditKnobMode})
        EXPECT_EQ(send(opcode, 65, 1, &parent, 2.0f), 0) << "opcode " << opcode;
}

TEST_F(Dispatcher, EditorOpcodesReachTheEditor) {
    auto* editor = new TestEditor(&effect);
    effect.setEditor(editor);
    ERect* rect = nullptr;
    EXPECT_EQ(send(EditGetRect, 0, 0, &rect), 1);
    ASSERT_EQ(rect, &editor->rect);
    int parent = 0;
    EXPECT_EQ(send(EditOpen, 0, 0, &parent), 1);
    EXPECT_TRUE(editor->isOpen());
    send(EditIdle);
    send(EditIdle);
    EXPECT_EQ(editor->idles, 2);
    EXPECT_EQ(send(EditClose), 0);
    EXPECT_FALSE(editor->isOpen());

    EXPECT_EQ(send(EditKeyDown, 'a', 0x1FF, nullptr, 3.9f), 1);
    EXPECT_EQ(editor->lastKey.character, 'a');
    EXPECT_EQ(editor->lastKey.virt, 0xFF);  // low byte only
    EXPECT_EQ(editor->lastKey.modifier, 3);
    EXPECT_EQ(send(EditKeyUp, 'b', 2, nullptr, 260.0f), 1);
    EXPECT_EQ(editor->lastKey.modifier, 4);
    send(EditKeyUp, 'c', 2, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(editor->lastKey.modifier, 0);
    EXPECT_EQ(editor->keyDowns, 1);
    EXPECT_EQ(editor->keyUps, 2);
    EXPECT_EQ(send(SetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
}

TEST_F(Dispatcher, ExtendedOpcodesAnswerTheDefaults) {
    EXPECT_EQ(send(CanBeAutomated, 3), 1);
    EXPECT_EQ(send(GetVstVersion), 2400);
    EXPECT_EQ(send(GetCurrentMidiProgram, 0, 0, reinterpret_cast<void*>(1)), -1);  // sign-extended
    EXPECT_EQ(send(SetTotalSampleToProcess, 0, 4410), 4410);
    EXPECT_EQ(send(GetPlugCategory), 0);
    effect.isSynth(true);
    EXPECT_EQ(send(GetPlugCategory), 2);
    effect.category = -1;
    EXPECT_EQ(send(GetPlugCategory), 4294967295LL);  // the one zero-extended answer

    char text[64] = "junk";
    EXPECT_EQ(send(GetEffectName, 0, 0, text), 0);
    EXPECT_EQ(send(GetProgramNameIndexed, 0, 1, text), 0);
    VstPinProperties pin{};
    EXPECT_EQ(send(GetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(send(GetOutputProperties, 0, 0, &pin), 0);
    for (int opcode : {String2Parameter, OfflineNotify, OfflinePrepare, OfflineRun, ProcessVariableIo,
                       SetSpeakerArrangement, SetBypass, GetVendorVersion, VendorSpecific, GetTailSize,
                       GetParameterProperties, GetMidiProgramName, GetMidiProgramCategory,
                       HasMidiProgramsChanged, GetMidiKeyName, BeginSetProgram, EndSetProgram,
                       ShellGetNextPlugin, StartProcess, StopProcess, SetPanLaw, BeginLoadBank,
                       BeginLoadProgram, SetProcessPrecision, GetNumMidiInputChannels,
                       GetNumMidiOutputChannels})
        EXPECT_EQ(send(opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;

    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* in = &dummy;
    VstSpeakerArrangement* out = &dummy;
    EXPECT_EQ(send(GetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(Dispatcher, OverriddenExtendedOperationsAnswerThroughIt) {
    VstMidiEvent note{};
    VstEvents list{};
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&note);
    EXPECT_EQ(send(ProcessEvents, 0, 0, &list), 1);
    effect.canDoAnswer = "bypass";
    effect.canDoResult = -1;
    char word[] = "bypass";
    EXPECT_EQ(send(CanDo, 0, 0, word), -1);
}

TEST_F(Dispatcher, UnusedOpcodesAndThoseOutsideBothRangesAnswerZero) {
    char text[64] = "";
    for (int opcode : {-1, INT_MIN, 9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57, 80, 81,
                       1000, INT_MAX}) {
        EXPECT_EQ(send(opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_TRUE(effect.calls.empty());
}


TEST(VirtualSlots, OperationsSitInTheirSlots) {
    EXPECT_EQ(vtableSlot(&AudioEffect::dispatcher), 2);
    EXPECT_EQ(vtableSlot(&AudioEffect::resume), 6);
    EXPECT_EQ(vtableSlot(&AudioEffect::processReplacing), 9);
    EXPECT_EQ(vtableSlot(&AudioEffect::setParameterAutomated), 13);
    EXPECT_EQ(vtableSlot(&AudioEffect::getChunk), 21);
    EXPECT_EQ(vtableSlot(&AudioEffect::getAeffect), 31);
    EXPECT_EQ(vtableSlot(&AudioEffect::dB2string), 39);
    EXPECT_EQ(vtableSlot(&AudioEffect::int2string), 43);
    EXPECT_EQ(vtableSlot(&AudioEffect::__setOfflineQualitiesDeprecated), 50);
    EXPECT_EQ(vtableSlot(&AudioEffectX::canParameterBeAutomated), 51);
    EXPECT_EQ(vtableSlot(&AudioEffectX::beginEdit), 54);
    EXPECT_EQ(vtableSlot(&AudioEffectX::getOutputProperties), 67);
    EXPECT_EQ(vtableSlot(&AudioEffectX::getTimeInfo), 75);
    EXPECT_EQ(vtableSlot(&AudioEffectX::processEvents), 78);
    EXPECT_EQ(vtableSlot(&AudioEffectX::getHostVendorString), 83);
    EXPECT_EQ(vtableSlot(&AudioEffectX::canDo), 98);
    EXPECT_EQ(vtableSlot(&AudioEffectX::updateDisplay), 106);
    EXPECT_EQ(vtableSlot(&AudioEffectX::allocateArrangement), 111);
    EXPECT_EQ(vtableSlot(&AudioEffectX::offlineRead), 115);
    EXPECT_EQ(vtableSlot(&AudioEffectX::__wantEventsDeprecated), 125);
    EXPECT_EQ(vtableSlot(&AudioEffectX::__setBlockSizeAndSampleRateDeprecated), 146);
    EXPECT_EQ(vtableSlot(&AudioEffectX::__getChunkFileDeprecated), 152);
    EXPECT_EQ(vtableSlot(&AEffEditor::getEffect), 2);
    EXPECT_EQ(vtableSlot(&AEffEditor::idle), 7);
    EXPECT_EQ(vtableSlot(&AEffEditor::setKnobMode), 16);
}
