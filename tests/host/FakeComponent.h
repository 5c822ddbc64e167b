#pragma once

// A stand-in component for the command's own tests: a gain effect whose parameter 0 scales the
// input, that records every call a host makes, and whose state is its parameter values.

#include <cstring>
#include <map>
#include <vector>

#include "host/ComponentHost.h"
#include "host/HostError.h"

namespace tarnwell::test {

inline constexpr ComponentIdentity FAKE_IDENTITY{0x61756D66, 0x4E77656C, 0x5A656C6B};  // aumf Nwel Zelk

struct FakeLog {
    struct Render {
        double sampleTime;
        std::uint32_t frames;
        TransportState transport;
        std::vector<std::pair<std::uint32_t, float>> scheduled;  // id, value
        std::vector<std::uint32_t> scheduledOffsets;
        std::vector<std::uint32_t> midiOffsets;
        std::vector<std::uint8_t> midiStatus;
    };
    std::vector<Render> renders;
    double sampleRate = 0.0;
    std::uint32_t inputChannels = 0;
    std::uint32_t maxFrames = 0;
    int restores = 0;
    std::map<std::uint32_t, float> setValues;
};

class FakeComponent : public ComponentHost {
public:
    explicit FakeComponent(FakeLog& record) : log(record), values(8, 0.5f) {}

    ComponentIdentity identity() const override { return FAKE_IDENTITY; }
    StateLayout stateLayout() override { return {1, static_cast<std::uint32_t>(values.size())}; }

    void initialize(double sampleRate, std::uint32_t inputChannels, std::uint32_t maxFrames) override {
        log.sampleRate = sampleRate;
        log.inputChannels = inputChannels;
        log.maxFrames = maxFrames;
    }

    std::vector<ParameterInfo> parameters() override {
        return {{0, "Gain"}, {1, "Cutoff"},     {2, "B1 Mix"}, {3, "b1 mix"},
                {4, ""},     {5, "Delay Time"}, {6, ""},       {7, ""}};
    }
    float parameter(std::uint32_t id) override { return values.at(id); }
    void setParameter(std::uint32_t id, float value) override {
        values.at(id) = value;
        log.setValues[id] = value;
    }
    void scheduleParameter(std::uint32_t id, float value, std::uint32_t offset) override {
        pending.scheduled.emplace_back(id, value);
        pending.scheduledOffsets.push_back(offset);
    }
    void queueMidi(std::uint8_t status, std::uint8_t, std::uint8_t, std::uint32_t offset) override {
        pending.midiOffsets.push_back(offset);
        pending.midiStatus.push_back(status);
    }
    void setTransport(const TransportState& transport) override { pending.transport = transport; }

    void render(const float* const* input, double sampleTime, std::uint32_t frames,
                float* const* output) override {
        if (frames > log.maxFrames) throw HostError("render larger than the maximum");
        for (std::uint32_t i = 0; i < frames; ++i) {
            for (std::size_t e = 0; e < pending.scheduled.size(); ++e)
                if (pending.scheduledOffsets[e] == i)
                    values.at(pending.scheduled[e].first) = pending.scheduled[e].second;
            for (std::uint32_t c = 0; c < 2; ++c)
                output[c][i] = input[c < log.inputChannels ? c : 0][i] * values[0];
        }
        pending.sampleTime = sampleTime;
        pending.frames = frames;
        log.renders.push_back(pending);
        pending = {};
    }

    CFHandle saveState() override {
        CFMutableDictionaryRef dict = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        std::vector<UInt8> record(28 + 4 * values.size(), 0);
        std::memcpy(record.data(), "Fake", 4);
        for (std::size_t i = 0; i < values.size(); ++i) {
            std::uint32_t bits;
            std::memcpy(&bits, &values[i], 4);
            for (int b = 0; b < 4; ++b) record[28 + 4 * i + b] = static_cast<UInt8>(bits >> (24 - 8 * b));
        }
        put(dict, "mCompleteData",
            CFDataCreate(kCFAllocatorDefault, record.data(), static_cast<CFIndex>(record.size())));
        return CFHandle(dict);
    }
    void restoreState(CFPropertyListRef state) override {
        ++log.restores;
        CFStringRef key =
            CFStringCreateWithCString(kCFAllocatorDefault, "mCompleteData", kCFStringEncodingUTF8);
        const auto* data =
            static_cast<CFDataRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), key));
        CFRelease(key);
        const UInt8* bytes = CFDataGetBytePtr(data);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const UInt8* p = bytes + 28 + 4 * i;
            const std::uint32_t bits =
                (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
            std::memcpy(&values[i], &bits, 4);
        }
    }

    static void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value) {
        CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
        CFDictionarySetValue(dict, k, value);
        CFRelease(k);
        CFRelease(value);
    }

private:
    FakeLog& log;
    std::vector<float> values;
    FakeLog::Render pending;
};

}  // namespace tarnwell::test
