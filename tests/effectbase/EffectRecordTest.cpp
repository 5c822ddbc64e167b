// The effect record: initial values, flag bits, the static entry points and the end of life.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

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

TEST(EffectRecord, FreshBaseHasItsStartValues) {
    TestEffect effect(nullptr, 3, 17);
    const AEffect& r = effect.record();
    EXPECT_EQ(r.magic, 1450406992);
    EXPECT_EQ(std::memcmp(&r.magic, "PtsV", 4), 0);  // the bytes as they sit in memory
    EXPECT_EQ(r.numPrograms, 3);
    EXPECT_EQ(r.numParams, 17);
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 16);
    EXPECT_EQ(r.uniqueID, 1315915110);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.object, static_cast<void*>(static_cast<AudioEffect*>(&effect)));
    for (char c : r.future) EXPECT_EQ(c, 0);
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_EQ(effect.getAeffect(), &effect.record());
}

TEST(EffectRecord, EachFlagSetterOwnsOneBit) {
    TestEffect effect(nullptr);
    struct Setter {
        void (*set)(TestEffect&, bool);
        int32_t bit;
    };
    const Setter setters[] = {
        {[](TestEffect& e, bool s) { e.__hasClipDeprecated(s); }, 2},
        {[](TestEffect& e, bool s) { e.__hasVuDeprecated(s); }, 4},
        {[](TestEffect& e, bool s) { e.__canMonoDeprecated(s); }, 8},
        {[](TestEffect& e, bool s) { e.canProcessReplacing(s); }, 16},
        {[](TestEffect& e, bool s) { e.programsAreChunks(s); }, 32},
        {[](TestEffect& e, bool s) { e.isSynth(s); }, 256},
        {[](TestEffect& e, bool s) { e.noTail(s); }, 512},
        {[](TestEffect& e, bool s) { e.__wantAsyncOperationDeprecated(s); }, 1024},
        {[](TestEffect& e, bool s) { e.__hasExternalBufferDeprecated(s); }, 2048},
        {[](TestEffect& e, bool s) { e.canDoubleReplacing(s); }, 4096},
    };
    int32_t expected = effect.record().flags;
    for (const auto& s : setters) {
        s.set(effect, true);
        expected |= s.bit;
        EXPECT_EQ(effect.record().flags, expected) << "setting bit " << s.bit;
    }
    for (const auto& s : setters) {
        s.set(effect, false);
        expected &= ~s.bit;
        EXPECT_EQ(effect.record().flags, expected) << "clearing bit " << s.bit;
    }
    EXPECT_EQ(expected, 0);
}

TEST(EffectRecord, EditorAttachmentSetsAndClearsOnlyBitZero) {
    TestEffect effect(nullptr);
    effect.programsAreChunks(true);
    auto* editor = new TestEditor(&effect);
    effect.setEditor(editor);
    EXPECT_EQ(effect.record().flags, 1 | 16 | 32);
    EXPECT_EQ(effect.getEditor(), editor);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.record().flags, 16 | 32);
    delete editor;
}

TEST(EffectRecord, EntryPointsReachTheEffect) {
    TestEffect effect(nullptr);
    AEffect* r = effect.getAeffect();
    r->setParameter(r, 2, 0.75f);
    EXPECT_EQ(effect.values[2], 0.75f);
    EXPECT_EQ(r->getParameter(r, 2), 0.75f);

    float in[4] = {1, 2, 3, 4}, out[4] = {};
    float* ins[] = {in};
    float* outs[] = {out};
    r->processReplacing(r, ins, outs, 4);
    EXPECT_EQ(out[3], 8.0f);
    r->process(r, ins, outs, 3);
    r->processDoubleReplacing(r, nullptr, nullptr, 5);
    EXPECT_EQ(effect.processedFrames, 4);
    EXPECT_EQ(effect.accumulatedFrames, 3);
    EXPECT_EQ(effect.processedDoubleFrames, 5);
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::GetProgram, 0, 0, nullptr, 0.0f), 0);
}

TEST(EffectRecord, CloseThroughTheRecordDeletesTheEffect) {
    bool effectGone = false, editorGone = false;
    auto* effect = new TestEffect(nullptr, 1, 1, &effectGone);
    effect->setEditor(new TestEditor(effect, &editorGone));
    AEffect* r = effect->getAeffect();
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::Close, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(effectGone);
    EXPECT_TRUE(editorGone);
}

TEST(EffectRecord, CloseThroughTheMethodOnlyCallsClose) {
    bool effectGone = false;
    auto effect = std::make_unique<TestEffect>(nullptr, 1, 1, &effectGone);
    EXPECT_EQ(effect->dispatcher(EffectOpcode::Close, 0, 0, nullptr, 0.0f), 0);
    EXPECT_FALSE(effectGone);
    EXPECT_EQ(effect->calls, std::vector<std::string>{"close"});
}

TEST(EffectRecord, EditorDiesWithItsEffect) {
    bool editorGone = false;
    {
        TestEffect effect(nullptr);
        effect.setEditor(new TestEditor(&effect, &editorGone));
    }
    EXPECT_TRUE(editorGone);
}

TEST(EffectRecord, PlainEntryNeedsAHostThatAnswersTheVersion) {
    RecordingHost host;
    host.version = 0;
    instancesMade = 0;
    EXPECT_EQ(main_macho(RecordingHost::callback()), nullptr);
    EXPECT_EQ(instancesMade, 0);
    ASSERT_EQ(host.count(HostRequest::Version), 1);
    EXPECT_EQ(host.requests[0].effect, nullptr);
    EXPECT_EQ(main_macho(nullptr), nullptr);

    host.version = 2400;
    AEffect* r = main_macho(RecordingHost::callback());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(instancesMade, 1);
    EXPECT_EQ(r->magic, kEffectMagic);
    EXPECT_EQ(r->dispatcher(r, EffectOpcode::Close, 0, 0, nullptr, 0.0f), 1);  // frees it
}

TEST(EffectRecord, PlainEditorRemembersItsWindow) {
    AEffEditor editor;
    int parent = 0;
    ERect* rect = reinterpret_cast<ERect*>(&parent);
    EXPECT_FALSE(editor.getRect(&rect));
    EXPECT_EQ(rect, nullptr);
    EXPECT_FALSE(editor.isOpen());
    EXPECT_FALSE(editor.open(&parent));
    EXPECT_TRUE(editor.isOpen());
    editor.close();
    EXPECT_FALSE(editor.isOpen());
}
