// The effect record: start values, the static entry points and the end of life.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(r->uniqueID, kNoEffectId);
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    EXPECT_EQ(effect->getBlockSize(), 1024);
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
