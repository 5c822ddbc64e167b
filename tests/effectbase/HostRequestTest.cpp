// Requests from the effect to its host: what each wrapper sends, how it reads the answer, and
// what it answers when there is no host at all.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <functional>

using tarnwell::test::RecordingHost;
using tarnwell::test::TestEffect;

namespace {

struct Sent {
    const char* name;
    std::function<void(TestEffect&)> call;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

char buffer[256];
int token;
void* const P = &token;

std::vector<Sent> everyRequest() {
    auto* task = static_cast<VstOfflineTask*>(P);
    auto* file = static_cast<VstAudioFile*>(P);
    auto* select = static_cast<VstFileSelect*>(P);
    auto* window = static_cast<__VstWindowDeprecated*>(P);
    return {
        {"setParameterAutomated", [](TestEffect& e) { e.setParameterAutomated(5, 0.25f); }, 0, 5, 0, nullptr, 0.25f},
        {"getMasterVersion", [](TestEffect& e) { e.getMasterVersion(); }, 1, 0, 0, nullptr, 0},
        {"getCurrentUniqueId", [](TestEffect& e) { e.getCurrentUniqueId(); }, 2, 0, 0, nullptr, 0},
        {"masterIdle", [](TestEffect& e) { e.masterIdle(); }, 3, 0, 0, nullptr, 0},
        {"isInputConnected", [](TestEffect& e) { e.isInputConnected(1); }, 4, 1, 0, nullptr, 0},
        {"isOutputConnected", [](TestEffect& e) { e.isOutputConnected(1); }, 4, 1, 1, nullptr, 0},
        {"wantEvents", [](TestEffect& e) { e.__wantEventsDeprecated(1); }, 6, 0, 1, nullptr, 0},
        {"getTimeInfo", [](TestEffect& e) { e.getTimeInfo(1536); }, 7, 0, 1536, nullptr, 0},
        {"sendVstEventsToHost", [](TestEffect& e) { e.sendVstEventsToHost(static_cast<VstEvents*>(P)); }, 8, 0, 0, P, 0},
        {"tempoAt", [](TestEffect& e) { e.__tempoAtDeprecated(77); }, 10, 0, 77, nullptr, 0},
        {"numAutomatable", [](TestEffect& e) { e.__getNumAutomatableParametersDeprecated(); }, 11, 0, 0, nullptr, 0},
        {"quantization", [](TestEffect& e) { e.__getParameterQuantizationDeprecated(); }, 12, 0, 0, nullptr, 0},
        {"ioChanged", [](TestEffect& e) { e.ioChanged(); }, 13, 0, 0, nullptr, 0},
        {"needIdle", [](TestEffect& e) { e.__needIdleDeprecated(); }, 14, 0, 0, nullptr, 0},
        {"sizeWindow", [](TestEffect& e) { e.sizeWindow(1100, 730); }, 15, 1100, 730, nullptr, 0},
        {"updateSampleRate", [](TestEffect& e) { e.updateSampleRate(); }, 16, 0, 0, nullptr, 0},
        {"updateBlockSize", [](TestEffect& e) { e.updateBlockSize(); }, 17, 0, 0, nullptr, 0},
        {"inputLatency", [](TestEffect& e) { e.getInputLatency(); }, 18, 0, 0, nullptr, 0},
        {"outputLatency", [](TestEffect& e) { e.getOutputLatency(); }, 19, 0, 0, nullptr, 0},
        {"previousPlug", [](TestEffect& e) { e.__getPreviousPlugDeprecated(3); }, 20, 0, 0, nullptr, 0},
        {"nextPlug", [](TestEffect& e) { e.__getNextPlugDeprecated(3); }, 21, 0, 0, nullptr, 0},
        {"willReplace", [](TestEffect& e) { e.__willProcessReplacingDeprecated(); }, 22, 0, 0, nullptr, 0},
        {"processLevel", [](TestEffect& e) { e.getCurrentProcessLevel(); }, 23, 0, 0, nullptr, 0},
        {"automationState", [](TestEffect& e) { e.getAutomationState(); }, 24, 0, 0, nullptr, 0},
        {"offlineStart", [file](TestEffect& e) { e.offlineStart(file, 3, 2); }, 25, 2, 3, P, 0},
        {"offlineRead", [task](TestEffect& e) { e.offlineRead(task, 4, true); }, 26, 1, 4, P, 0},
        {"offlineWrite", [task](TestEffect& e) { e.offlineWrite(task, 5); }, 27, 0, 5, P, 0},
        {"currentPass", [](TestEffect& e) { e.offlineGetCurrentPass(); }, 28, 0, 0, nullptr, 0},
        {"currentMetaPass", [](TestEffect& e) { e.offlineGetCurrentMetaPass(); }, 29, 0, 0, nullptr, 0},
        {"outputRate", [](TestEffect& e) { e.__setOutputSamplerateDeprecated(48000.0f); }, 30, 0, 0, nullptr, 48000.0f},
        {"outputSpeakers", [](TestEffect& e) { e.__getOutputSpeakerArrangementDeprecated(); }, 31, 0, 0, nullptr, 0},
        {"hostVendor", [](TestEffect& e) { e.getHostVendorString(buffer); }, 32, 0, 0, buffer, 0},
        {"hostProduct", [](TestEffect& e) { e.getHostProductString(buffer); }, 33, 0, 0, buffer, 0},
        {"hostVendorVersion", [](TestEffect& e) { e.getHostVendorVersion(); }, 34, 0, 0, nullptr, 0},
        {"hostVendorSpecific", [](TestEffect& e) { e.hostVendorSpecific(9, 10, P, 1.5f); }, 35, 9, 10, P, 1.5f},
        {"canHostDo", [](TestEffect& e) { e.canHostDo(buffer); }, 37, 0, 0, buffer, 0},
        {"language", [](TestEffect& e) { e.getHostLanguage(); }, 38, 0, 0, nullptr, 0},
        {"openWindow", [window](TestEffect& e) { e.__openWindowDeprecated(window); }, 39, 0, 0, P, 0},
        {"closeWindow", [window](TestEffect& e) { e.__closeWindowDeprecated(window); }, 40, 0, 0, P, 0},
        {"directory", [](TestEffect& e) { e.getDirectory(); }, 41, 0, 0, nullptr, 0},
        {"updateDisplay", [](TestEffect& e) { e.updateDisplay(); }, 42, 0, 0, nullptr, 0},
        {"beginEdit", [](TestEffect& e) { e.beginEdit(12); }, 43, 12, 0, nullptr, 0},
        {"endEdit", [](TestEffect& e) { e.endEdit(12); }, 44, 12, 0, nullptr, 0},
        {"openFileSelector", [select](TestEffect& e) { e.openFileSelector(select); }, 45, 0, 0, P, 0},
        {"closeFileSelector", [select](TestEffect& e) { e.closeFileSelector(select); }, 46, 0, 0, P, 0},
        {"chunkFile", [](TestEffect& e) { e.__getChunkFileDeprecated(P); }, 48, 0, 0, P, 0},
        {"inputSpeakers", [](TestEffect& e) { e.__getInputSpeakerArrangementDeprecated(); }, 49, 0, 0, nullptr, 0},
    };
}

}  // namespace

TEST(HostRequests, EachWrapperSendsItsRequestOnce) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    for (const Sent& s : everyRequest()) {
        host.clear();
        s.call(effect);
        ASSERT_EQ(host.requests.size(), 1u) << s.name;
        const auto& r = host.requests[0];
        EXPECT_EQ(r.effect, effect.getAeffect()) << s.name;
        EXPECT_EQ(r.opcode, s.opcode) << s.name;
        EXPECT_EQ(r.index, s.index) << s.name;
        EXPECT_EQ(r.value, s.value) << s.name;
        EXPECT_EQ(r.ptr, s.ptr) << s.name;
        EXPECT_EQ(r.opt, s.opt) << s.name;
    }
}

TEST(HostRequests, WithoutAHostNothingIsSentAndDefaultsHold) {
    TestEffect effect(nullptr);
    for (const Sent& s : everyRequest()) s.call(effect);  // must not crash
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(1));
    EXPECT_EQ(effect.getTimeInfo(1536), nullptr);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_FALSE(effect.getHostProductString(buffer));
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_FALSE(effect.beginEdit(1));
    EXPECT_EQ(effect.canHostDo(buffer), 0);
    EXPECT_EQ(effect.getDirectory(), nullptr);
    effect.resume();
    effect.isSynth(true);
    effect.resume();
    EXPECT_EQ(effect.getParameter(5), 0.25f);  // the automated value still reached the effect
}

TEST(HostRequests, AnswersAreReadByTheirRules) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());

    host.answers[HostRequest::Version] = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);  // an old host answering 0 counts as version 1
    host.answers[HostRequest::Version] = 2300;
    EXPECT_EQ(effect.getMasterVersion(), 2300);

    host.answers[HostRequest::PinConnected] = 1;
    EXPECT_FALSE(effect.isInputConnected(0));
    host.answers[HostRequest::PinConnected] = 0;
    EXPECT_TRUE(effect.isOutputConnected(0));

    EXPECT_EQ(effect.getTimeInfo(1536), &host.timeInfo);
    host.answers[HostRequest::GetTime] = 0;
    EXPECT_EQ(effect.getTimeInfo(1536), nullptr);

    host.answers[HostRequest::ProcessEvents] = 2;
    EXPECT_FALSE(effect.sendVstEventsToHost(static_cast<VstEvents*>(P)));
    host.answers[HostRequest::ProcessEvents] = 1;
    EXPECT_TRUE(effect.sendVstEventsToHost(static_cast<VstEvents*>(P)));

    host.answers[HostRequest::CanDo] = -1;
    EXPECT_EQ(effect.canHostDo(buffer), 1);
    host.answers[HostRequest::CanDo] = 0;
    EXPECT_EQ(effect.canHostDo(buffer), 0);

    host.answers[HostRequest::GetCurrentProcessLevel] = -3;
    EXPECT_EQ(effect.getCurrentProcessLevel(), -3);
    host.answers[HostRequest::VendorSpecific] = 1LL << 40;
    EXPECT_EQ(effect.hostVendorSpecific(0, 0, nullptr, 0.0f), 1LL << 40);
}

TEST(HostRequests, HostNamesAndAbilities) {
    RecordingHost host;
    host.vendor = "Somebody";
    host.product = "Some Host";
    TestEffect effect(RecordingHost::callback());
    char text[256] = "";
    EXPECT_TRUE(effect.getHostVendorString(text));
    EXPECT_STREQ(text, "Somebody");
    EXPECT_TRUE(effect.getHostProductString(text));
    EXPECT_STREQ(text, "Some Host");
    char ability[] = "sendVstTimeInfo";
    char other[] = "sizeWindow";
    EXPECT_EQ(effect.canHostDo(ability), 1);
    EXPECT_EQ(effect.canHostDo(other), 0);
    EXPECT_EQ(host.last(HostRequest::CanDo).text, "sizeWindow");
}

TEST(HostRequests, SampleRateAndBlockSizeTakeOnlyPositiveAnswers) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    host.sampleRate = 0;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    host.sampleRate = -44100;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);

    EXPECT_EQ(effect.updateBlockSize(), 512);
    host.blockSize = -1;
    EXPECT_EQ(effect.updateBlockSize(), 512);
    host.blockSize = (1LL << 32) + 256;  // read as 32 bits: 256
    EXPECT_EQ(effect.updateBlockSize(), 256);
}

TEST(HostRequests, FileSelectorsNeedARecord) {
    RecordingHost host;
    host.answers[HostRequest::OpenFileSelector] = 1;
    host.answers[HostRequest::GetChunkFile] = 1;
    TestEffect effect(RecordingHost::callback());
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.__getChunkFileDeprecated(nullptr));
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(effect.openFileSelector(static_cast<VstFileSelect*>(P)));
    EXPECT_FALSE(effect.closeFileSelector(static_cast<VstFileSelect*>(P)));
}

TEST(HostRequests, ResumeAsksForEventsOnlyWhenTheEffectTakesMidi) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    effect.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 0);

    effect.canDoAnswer = "receiveVstMidiEvent";
    effect.canDoResult = 2;  // only an exact 1 counts
    effect.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 0);
    effect.canDoResult = 1;
    effect.resume();
    effect.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 2);
    EXPECT_EQ(host.last(HostRequest::WantEvents).value, 1);

    TestEffect synth(RecordingHost::callback());
    synth.isSynth(true);
    host.clear();
    synth.resume();
    EXPECT_EQ(host.count(HostRequest::WantEvents), 1);
}

