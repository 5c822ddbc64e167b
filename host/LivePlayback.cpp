#include "host/LivePlayback.h"

#include <RtAudio.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ostream>

#include "host/LiveMidiInput.h"
#include "host/Renderer.h"

LivePlayback::LivePlayback(ComponentHost& host, const AudioData& material, double bpm,
                           LiveMidiInput* liveMidi)
    : component(host),
      input(material),
      tempo(bpm),
      midi(liveMidi),
      inputBlock(material.channels.size(), std::vector<float>(BLOCK_FRAMES)),
      inputs(material.channels.size()) {
    for (std::size_t c = 0; c < inputs.size(); ++c) inputs[c] = inputBlock[c].data();
    for (auto& channel : discard) channel.assign(BLOCK_FRAMES, 0.0f);
}

LivePlayback::~LivePlayback() {
    stop();
}

void LivePlayback::renderBlock(float* left, float* right, std::uint32_t frames) {
    frames = std::min(frames, BLOCK_FRAMES);
    const std::uint64_t inputFrames = input.frames();
    for (std::size_t c = 0; c < inputBlock.size(); ++c) {
        std::uint64_t from = inputPosition;
        for (std::uint32_t i = 0; i < frames; ++i) {
            inputBlock[c][i] = inputFrames ? input.channels[c][from] : 0.0f;
            if (++from >= inputFrames) from = 0;
        }
    }
    inputPosition = inputFrames ? (inputPosition + frames) % inputFrames : 0;

    const std::uint64_t at = position.load(std::memory_order_relaxed);
    if (midi) midi->deliver(component, frames, input.sampleRate);
    TransportState transport = transportAt(tempo, input.sampleRate, at);
    transport.changed = first;
    first = false;
    component.setTransport(transport);
    float* outputs[2] = {left, right};
    component.render(inputs.data(), static_cast<double>(at), frames, outputs);
    position.store(at + frames, std::memory_order_relaxed);
}

namespace {

int deviceCallback(void* output, void*, unsigned int frames, double, RtAudioStreamStatus, void* self) {
    auto* playback = static_cast<LivePlayback*>(self);
    auto* out = static_cast<float*>(output);  // non-interleaved: left block, then right block
    for (unsigned int done = 0; done < frames;) {
        const unsigned int n = std::min(frames - done, LivePlayback::BLOCK_FRAMES);
        playback->renderBlock(out + done, out + frames + done, n);
        done += n;
    }
    return 0;
}

}  // namespace

namespace {

// The sound libraries report every back end they try and fail on their own on standard error;
// the command says in one line what it did instead.
class QuietErrors {
public:
    QuietErrors() : saved(dup(STDERR_FILENO)) {
        const int nothing = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (nothing >= 0) {
            dup2(nothing, STDERR_FILENO);
            close(nothing);
        }
    }
    ~QuietErrors() {
        if (saved < 0) return;
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    int saved;
};

}  // namespace

bool LivePlayback::openDevice(std::string& name) {
    QuietErrors quiet;
    try {
        auto dac = std::make_unique<RtAudio>();
        dac->showWarnings(false);
        if (dac->getDeviceCount() == 0) return false;
        RtAudio::StreamParameters out;
        out.deviceId = dac->getDefaultOutputDevice();
        out.nChannels = 2;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED;
        options.streamName = "Tarnwell";  // what JACK and PulseAudio show the client as
        unsigned int frames = BLOCK_FRAMES;
        dac->openStream(&out, nullptr, RTAUDIO_FLOAT32, static_cast<unsigned int>(input.sampleRate), &frames,
                        &deviceCallback, this, &options);
        name = dac->getDeviceInfo(out.deviceId).name;
        dac->startStream();
        device = std::move(dac);
        return true;
    } catch (const RtAudioError&) {
        return false;
    }
}

void LivePlayback::start(std::ostream& notes, bool useDevice) {
    stop();
    stopping.store(false);
    std::string name;
    if (useDevice && openDevice(name)) {
        notes << "Playing to " << name << " at " << input.sampleRate << " Hz\n";
        return;
    }
    notes << "No audio device: the effect runs in real time and its sound is discarded\n";
    pacer = std::thread([this] { paceByClock(); });
}

void LivePlayback::paceByClock() {
    using Clock = std::chrono::steady_clock;
    const auto block = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(BLOCK_FRAMES / input.sampleRate));
    auto next = Clock::now();
    while (!stopping.load(std::memory_order_relaxed)) {
        renderBlock(discard[0].data(), discard[1].data(), BLOCK_FRAMES);
        next += block;
        const auto now = Clock::now();
        if (now - next > std::chrono::milliseconds(500)) next = now;  // fell far behind: no burst to catch up
        std::this_thread::sleep_until(next);
    }
}

void LivePlayback::stop() {
    stopping.store(true);
    if (pacer.joinable()) pacer.join();
    if (device) {
        try {
            if (device->isStreamRunning()) device->stopStream();
            if (device->isStreamOpen()) device->closeStream();
        } catch (const RtAudioError&) {
        }
        device.reset();
    }
}
