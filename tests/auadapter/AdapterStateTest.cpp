#include <random>

#include "tests/auadapter/AdapterFixture.h"

namespace {

using AdapterState = AdapterTest;

CFPropertyListRef saveState(AudioUnit unit) {
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    EXPECT_EQ(
        AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
        0);
    return state;
}

OSStatus restoreState(AudioUnit unit, CFPropertyListRef state) {
    return AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state,
                                sizeof state);
}

// Puts value (taken over) under key of a saved state.
void replace(CFPropertyListRef state, const char* key, CFTypeRef value) {
    CFDictionarySetValue(static_cast<CFMutableDictionaryRef>(const_cast<void*>(state)),
                         makeCFString(key).get(), CFRef<CFTypeRef>(value).get());
}

CFDataRef dataFor(CFPropertyListRef state, const char* key) {
    const void* value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), makeCFString(key).get());
    return value != nullptr && CFGetTypeID(value) == CFDataGetTypeID() ? static_cast<CFDataRef>(value)
                                                                       : nullptr;
}

// Every value, saved as the program record, comes back exactly, and through XML as well.
TEST_F(AdapterState, ProgramRecordsRoundTripAllValues) {
    adapter->exposeRecords = true;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unitRange(0.0f, 1.0f);
    for (float& value : adapter->recordValues) value = unitRange(random);
    const std::array<float, 1024> saved = adapter->recordValues;
    std::strcpy(adapter->recordName, "A name of thirty characters..");

    CFRef<CFPropertyListRef> state(saveState(unit));
    CFDataRef complete = dataFor(state.get(), "mCompleteData");
    ASSERT_NE(complete, nullptr);
    EXPECT_EQ(CFDataGetLength(complete), 4124);
    EXPECT_EQ(dataFor(state.get(), "mChunkData"), nullptr);
    // Values are big-endian single floats after the 28-byte name.
    const UInt8* bytes = CFDataGetBytePtr(complete);
    const UInt32 bits =
        (UInt32{bytes[28]} << 24) | (UInt32{bytes[29]} << 16) | (UInt32{bytes[30]} << 8) | bytes[31];
    EXPECT_EQ(std::memcmp(&bits, &saved[0], 4), 0);

    CFRef<CFDataRef> xml(
        CFPropertyListCreateData(nullptr, state.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    ASSERT_TRUE(xml);
    CFRef<CFPropertyListRef> reread(CFPropertyListCreateWithData(nullptr, xml.get(), 0, nullptr, nullptr));
    ASSERT_TRUE(reread);

    adapter->recordValues.fill(0.0f);
    std::strcpy(adapter->recordName, "Other");
    const int programCalls = effect->setProgramCalls;
    ASSERT_EQ(restoreState(unit, reread.get()), 0);
    EXPECT_EQ(adapter->recordValues, saved);
    EXPECT_STREQ(adapter->recordName, "A name of thirty characters");  // the first 27 of 30
    EXPECT_EQ(effect->setProgramCalls, programCalls + 1);              // the saved program is applied
}

TEST_F(AdapterState, WrongSizeIsReportedAndChangesNoRecord) {
    adapter->exposeRecords = true;
    adapter->recordValues.fill(0.5f);
    CFRef<CFPropertyListRef> state(saveState(unit));
    for (const CFIndex size : {4123, 4125, 4126}) {  // one short, one and two long
        SCOPED_TRACE(size);
        const std::vector<UInt8> wrongData(static_cast<std::size_t>(size), 0);
        replace(state.get(), "mCompleteData", CFDataCreate(nullptr, wrongData.data(), size));

        const int programCalls = effect->setProgramCalls;
        testing::internal::CaptureStderr();
        EXPECT_EQ(restoreState(unit, state.get()), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Fatal error, preset Size wrong!\n");
        for (float value : adapter->recordValues) ASSERT_EQ(value, 0.5f);
        EXPECT_EQ(effect->setProgramCalls, programCalls + 1);  // the program number still applies
    }
}

TEST_F(AdapterState, ChunkHostsSaveTheEffectsChunk) {
    effect->chunkHost = true;
    CFRef<CFPropertyListRef> state(saveState(unit));
    CFDataRef chunk = dataFor(state.get(), "mChunkData");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(CFDataGetLength(chunk), 4128);
    EXPECT_EQ(dataFor(state.get(), "mCompleteData"), nullptr);
    ASSERT_EQ(restoreState(unit, state.get()), 0);
    EXPECT_EQ(effect->restoredChunk, effect->chunk);
}

TEST_F(AdapterState, StateOfAnotherComponentIsRefusedUntouched) {
    effect->values[3] = 0.8f;
    CFRef<CFPropertyListRef> state(saveState(unit));
    effect->values[3] = 0.1f;
    const int programCalls = effect->setProgramCalls;
    const SInt32 otherSubtype = fourCharOSType("Xxxx");
    replace(state.get(), "subtype", CFNumberCreate(nullptr, kCFNumberSInt32Type, &otherSubtype));
    EXPECT_EQ(restoreState(unit, state.get()), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_FLOAT_EQ(effect->values[3], 0.1f);
    EXPECT_EQ(effect->setProgramCalls, programCalls);
    const int notAState = 5;  // not even a dictionary
    CFRef<CFNumberRef> number5(CFNumberCreate(nullptr, kCFNumberSInt32Type, &notAState));
    EXPECT_EQ(restoreState(unit, number5.get()), kAudioUnitErr_InvalidPropertyValue);
}

}  // namespace
