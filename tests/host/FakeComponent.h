#pragma once

// A stand-in component for the command's own tests: a gain effect whose parameter 0 scales the
// input, that records every call a host makes, and whose state is its parameter values.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
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
    // Values show and are typed as percentages: "25%", "25".
    std::string valueText(std::uint32_t id) override { return valueText(id, values.at(id)); }
    std::string valueText(std::uint32_t, float value) override {
        return std::to_string(static_cast<int>(std::lround(value * 100.0f))) + "%";
    }
    std::optional<float> valueFromText(std::uint32_t, const std::string& text) override {
        char* end = nullptr;
        const float percent = std::strtof(text.c_str(), &end);
        if (end == text.c_str() || (*end != '\0' && std::string(end) != "%")) return std::nullopt;
        return std::clamp(percent / 100.0f, 0.0f, 1.0f);
    }
    void scheduleParameter(std::uint32_t id, float value, std::uint32_t offset) override {
        scheduled.emplace_back(id, value);
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
            for (std::size_t e = 0; e < scheduled.size(); ++e)
                if (pending.scheduledOffsets[e] == i) values.at(scheduled[e].first) = scheduled[e].second;
            for (std::uint32_t c = 0; c < 2; ++c)
                output[c][i] = input[c < log.inputChannels ? c : 0][i] * values[0];
        }
        pending.sampleTime = sampleTime;
        pending.frames = frames;
        log.renders.push_back(pending);
        pending = {};
        scheduled.clear();
    }

    CFRef<CFTypeRef> saveState() override {
        return programState(FAKE_IDENTITY, stateLayout(), "Fake gain with a name too long", values);
    }
    // As the real component does in ordinary hosts, a state in the chunk form changes nothing.
    void restoreState(CFPropertyListRef state) override {
        ++log.restores;
        const StateSummary summary =
            inspectSavedState(static_cast<CFDictionaryRef>(state), "", FAKE_IDENTITY, stateLayout());
        if (!summary.chunkForm) values = summary.programs.at(0).values;
    }

private:
    FakeLog& log;
    std::vector<float> values;
    std::vector<std::pair<std::uint32_t, float>> scheduled;  // id, value
    FakeLog::Render pending;
};

}  // namespace tarnwell::test
