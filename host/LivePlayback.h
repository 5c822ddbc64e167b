#pragma once

// The input played through the component in a loop, in real time, on a thread of its own, as a
// host plays while its editor is up: to the default audio device through RtAudio or, with no
// device, paced by the clock with the audio discarded. The song position runs on at the
// tempo while the input wraps round; live MIDI goes in before each render. The render side
// allocates nothing, locks nothing and writes nothing out.

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/AudioData.h"
#include "host/ComponentHost.h"
#include "host/TempoMap.h"

class LiveMidiInput;
class RtAudio;

class LivePlayback {
public:
    static constexpr std::uint32_t BLOCK_FRAMES = 512;

    // component: initialised for input's rate and channel count and at least BLOCK_FRAMES.
    // midi may be null.
    LivePlayback(ComponentHost& component, const AudioData& input, double tempo, LiveMidiInput* midi);
    ~LivePlayback();  // stops
    LivePlayback(const LivePlayback&) = delete;
    LivePlayback& operator=(const LivePlayback&) = delete;

    // Starts playing: to the default device when useDevice and one opens, else paced by the
    // clock. Writes one line to notes saying which.
    void start(std::ostream& notes, bool useDevice = true);
    // Returns once no render runs any more.
    void stop();
    bool toDevice() const { return device != nullptr; }

    // One render of frames (at most BLOCK_FRAMES) into left and right: the render thread's work.
    void renderBlock(float* left, float* right, std::uint32_t frames);
    std::uint64_t framesPlayed() const { return position.load(std::memory_order_relaxed); }

private:
    bool openDevice(std::string& name);
    void paceByClock();

    ComponentHost& component;
    const AudioData& input;
    TempoMap tempo;
    LiveMidiInput* midi;
    std::vector<std::vector<float>> inputBlock;  // the input's frames for one render, wrapped round
    std::vector<const float*> inputs;
    std::vector<float> discard[2];
    std::uint64_t inputPosition = 0;
    std::atomic<std::uint64_t> position{0};  // frames rendered since the start
    bool first = true;

    std::unique_ptr<RtAudio> device;
    std::thread pacer;
    std::atomic<bool> stopping{false};
};
