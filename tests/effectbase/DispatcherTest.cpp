// Dispatcher answers for every opcode family, with and without an editor.

#include "tests/effectbase/TestEffect.h"

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
