// Requests from the effect to its host: what each wrapper sends, how it reads the answer, and
// what it answers when there is no host at all.

#include "tests/effectbase/TestEffect.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

using tarnwell::test::RecordingHost;
using tarnwell::test::TestEffect;

namespace {

struct Sent {
    const char* name;
    std::function<void(TestEffect&)> call;
    int32_t opcode, index;
    intptr_t value;
    void* ptr;
    float opt;
};

char buffer[256];
int token;
void* const P = &token;

// The requests that carry arguments or a buffer; the rest send their number alone.
std::vector<Sent> everyRequest() {
    auto* select = static_cast<VstFileSelect*>(P);
    return {
        {"automate", [](TestEffect& e) { e.setParameterAutomated(5, 0.25f); }, 0, 5, 0, nullptr, 0.25f},
        {"inputConnected", [](TestEffect& e) { e.isInputConnected(1); }, 4, 1, 0, nullptr, 0},
        {"timeInfo", [](TestEffect& e) { e.getTimeInfo(1536); }, 7, 0, 1536, nullptr, 0},
        {"events", [](TestEffect& e) { e.sendVstEventsToHost(static_cast<VstEvents*>(P)); }, 8, 0, 0, P, 0},
        {"sizeWindow", [](TestEffect& e) { e.sizeWindow(1100, 730); }, 15, 1100, 730, nullptr, 0},
        {"vendorSpecific", [](TestEffect& e) { e.hostVendorSpecific(9, 10, P, 1.5f); }, 35, 9, 10, P, 1.5f},
        {"canHostDo", [](TestEffect& e) { e.canHostDo(buffer); }, 37, 0, 0, buffer, 0},
        {"openFileSelector", [select](TestEffect& e) { e.openFileSelector(select); }, 45, 0, 0, P, 0}};
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
        EXPECT_EQ(std::make_tuple(r.opcode, r.index, r.value, r.ptr, r.opt),
                  std::make_tuple(s.opcode, s.index, s.value, s.ptr, s.opt))
            << s.name;
    }
}

TEST(HostRequests, WithoutAHostNothingIsSentAndDefaultsHold) {
    TestEffect effect(nullptr);
    for (const Sent& s : everyRequest()) s.call(effect);  // must not crash
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_EQ(effect.getTimeInfo(1536), nullptr);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_FALSE(effect.beginEdit(1));
    EXPECT_EQ(effect.canHostDo(buffer), 0);
    EXPECT_EQ(effect.getParameter(5), 0.25f);  // the automated value still reached the effect
}

TEST(HostRequests, AnswersAreReadByTheirRules) {
    RecordingHost host;
    TestEffect effect(RecordingHost::callback());
    host.answers[HostRequest::Version] = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);      // an old host answering 0 counts as version 1
    host.answers[HostRequest::PinConnected] = 1;  // the host answers 0 for a connected pin
    EXPECT_FALSE(effect.isInputConnected(0));
    EXPECT_EQ(effect.getTimeInfo(1536), &host.timeInfo);
    host.answers[HostRequest::ProcessEvents] = 2;  // only an exact 1 is success
    EXPECT_FALSE(effect.sendVstEventsToHost(static_cast<VstEvents*>(P)));
    host.answers[HostRequest::CanDo] = -1;
    EXPECT_EQ(effect.canHostDo(buffer), 1);
    host.answers[HostRequest::VendorSpecific] = 1LL << 40;
    EXPECT_EQ(effect.hostVendorSpecific(0, 0, nullptr, 0.0f), 1LL << 40);
    // Rates and sizes count only when positive; the size is read as 32 bits.
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    host.sampleRate = -44100;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    host.blockSize = (1LL << 32) + 256;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    // Without a record to fill, file selectors are not asked for.
    host.clear();
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_TRUE(host.requests.empty());
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
