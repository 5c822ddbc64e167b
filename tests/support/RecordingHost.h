#pragma once

// A host callback that answers like a host and logs every request it gets. The callback is a
// plain function, so the host alive last on this thread answers; create it before the effect
// (effects ask the host for its names while they are being built).

#include "framework/effectbase/AEffect.h"
#include "framework/effectbase/VstRecords.h"

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tarnwell::test {

struct HostRequestRecord {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    std::string text;  // the text sent, for the requests that send one
};

class RecordingHost {
public:
    RecordingHost() : previous(current()) { current() = this; }
    ~RecordingHost() { current() = previous; }
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    static HostCallback callback() { return &answer; }

    // What the host answers; `answers` overrides any request by number.
    std::string vendor = "Test Vendor";
    std::string product = "Test Host";
    intptr_t version = 2400;
    intptr_t sampleRate = 48000;
    intptr_t blockSize = 512;
    std::set<std::string> abilities{"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo"};
    std::map<int32_t, intptr_t> answers;
    VstTimeInfo timeInfo{};

    std::vector<HostRequestRecord> requests;

    int count(int32_t opcode) const {
        int n = 0;
        for (const auto& r : requests) n += r.opcode == opcode;
        return n;
    }
    // The latest request of that number; opcode -1 when there was none.
    HostRequestRecord last(int32_t opcode) const {
        for (auto it = requests.rbegin(); it != requests.rend(); ++it)
            if (it->opcode == opcode) return *it;
        return {nullptr, -1, 0, 0, nullptr, 0.0f, {}};
    }
    void clear() { requests.clear(); }

private:
    static RecordingHost*& current() {
        static thread_local RecordingHost* host = nullptr;
        return host;
    }

    static intptr_t answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                           float opt) {
        RecordingHost* host = current();
        if (!host) return 0;
        HostRequestRecord record{effect, opcode, index, value, ptr, opt, {}};
        if (opcode == HostRequest::CanDo && ptr) record.text = static_cast<const char*>(ptr);
        host->requests.push_back(record);
        return host->respond(opcode, ptr);
    }

    intptr_t respond(int32_t opcode, void* ptr) {
        if (auto it = answers.find(opcode); it != answers.end()) return it->second;
        switch (opcode) {
            case HostRequest::Version:
                return version;
            case HostRequest::GetTime:
                return reinterpret_cast<intptr_t>(&timeInfo);
            case HostRequest::GetSampleRate:
                return sampleRate;
            case HostRequest::GetBlockSize:
                return blockSize;
            case HostRequest::GetVendorString:
                return writeName(vendor, ptr);
            case HostRequest::GetProductString:
                return writeName(product, ptr);
            case HostRequest::CanDo:
                return ptr && abilities.count(static_cast<const char*>(ptr)) ? 1 : 0;
            case HostRequest::UpdateDisplay:
            case HostRequest::BeginEdit:
            case HostRequest::EndEdit:
                return 1;
            default:
                return 0;
        }
    }

    // Hosts write names of at most 63 characters.
    static intptr_t writeName(const std::string& name, void* ptr) {
        if (!ptr) return 0;
        std::snprintf(static_cast<char*>(ptr), 64, "%s", name.c_str());
        return 1;
    }

    RecordingHost* previous;
};

}  // namespace tarnwell::test
