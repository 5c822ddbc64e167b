#include "host/Renderer.h"

#include <algorithm>
#include <cmath>

#include "dsp/TDelay.h"

namespace {

// A wait at least as long as the effect's Delay line at its longest (whatever the rate: an echo
// comes out at most that long after its sound), for a component that does not say how long it may
// stay quiet. The command loads the effect as a component; only the constant comes from its
// header, one frame longer.
constexpr std::uint64_t LONGEST_ECHO_FRAMES = TDelay::kMaxLength + 1u;

class MemorySink : public AudioSink {
public:
    explicit MemorySink(AudioData& audio) : data(audio) { data.channels.assign(2, {}); }
    void write(const float* const* channels, std::size_t frames) override {
        for (std::size_t c = 0; c < 2; ++c)
            data.channels[c].insert(data.channels[c].end(), channels[c], channels[c] + frames);
    }

private:
    AudioData& data;
};

// Counts what passes on to the sink.
class CountedSink : public AudioSink {
public:
    explicit CountedSink(AudioSink& sink) : out(sink) {}
    void write(const float* const* channels, std::size_t frames) override {
        if (frames == 0) return;
        out.write(channels, frames);
        count += frames;
    }
    std::uint64_t count = 0;

private:
    AudioSink& out;
};

// The output after the input has ended, on its way to the sink. With an automatic tail the
// frames since the last loud one are held back: they are written only if something loud
// follows, so the output ends where the sound does, also when the tail reaches its longest.
class Tail {
public:
    Tail(AudioSink& sink, bool automatic) : out(sink), holding(automatic) {}

    void add(const float* left, const float* right, std::size_t frames) {
        if (!holding) {
            const float* both[2] = {left, right};
            out.write(both, frames);
            return;
        }
        std::size_t loud = frames;  // one past the last loud frame
        while (loud > 0 && std::abs(left[loud - 1]) < QUIET_LEVEL && std::abs(right[loud - 1]) < QUIET_LEVEL)
            --loud;
        if (loud > 0) {
            const float* held[2] = {quiet[0].data(), quiet[1].data()};
            out.write(held, quiet[0].size());
            quiet[0].clear();
            quiet[1].clear();
            const float* both[2] = {left, right};
            out.write(both, loud);
        }
        quiet[0].insert(quiet[0].end(), left + loud, left + frames);
        quiet[1].insert(quiet[1].end(), right + loud, right + frames);
    }
    std::size_t quietFrames() const { return quiet[0].size(); }

private:
    AudioSink& out;
    bool holding;
    std::vector<float> quiet[2];
};

}  // namespace

std::uint64_t quietFramesToEnd(double sampleRate) {
    return std::max<std::uint64_t>(LONGEST_ECHO_FRAMES, static_cast<std::uint64_t>(std::ceil(sampleRate)));
}

std::uint64_t quietFramesToEnd(double sampleRate, std::uint64_t quietSpan) {
    return quietSpan + static_cast<std::uint64_t>(std::ceil(0.25 * sampleRate));
}

TransportState transportAt(const TempoMap& tempo, double sampleRate, std::uint64_t frame) {
    const double seconds = static_cast<double>(frame) / sampleRate;
    TransportState t;
    t.tempo = tempo.tempoAt(seconds);
    t.beat = tempo.beatAt(seconds);
    t.barStartBeat = tempo.barStartBeat(t.beat);
    t.numerator = tempo.numerator();
    t.denominator = tempo.denominator();
    const double toNextBeat = tempo.secondsAt(std::ceil(t.beat)) - seconds;
    t.samplesToNextBeat = static_cast<std::uint32_t>(std::max(0.0, std::round(toNextBeat * sampleRate)));
    t.sampleInTimeline = static_cast<double>(frame);
    return t;
}

std::uint64_t longestTailFrames(const RenderJob& job) {
    return job.tailFrames ? *job.tailFrames
                          : static_cast<std::uint64_t>(std::llround(AUTOMATIC_TAIL_SECONDS * job.sampleRate));
}

std::optional<std::uint64_t> longestOutputFrames(const RenderJob& job) {
    if (job.expectedInputFrames == 0) return std::nullopt;
    return job.expectedInputFrames + longestTailFrames(job);
}

RenderResult renderStream(ComponentHost& component, const RenderJob& job, AudioSource& input,
                          AudioSink& output, const RenderProgress& progress) {
    const std::uint32_t block = std::max<std::uint32_t>(job.blockFrames, 1);
    const bool automatic = !job.tailFrames;
    const std::uint64_t longestTail = longestTailFrames(job);
    std::uint64_t quietEnd = quietFramesToEnd(job.sampleRate);
    const std::uint64_t total =
        job.expectedInputFrames == 0 ? 0 : job.expectedInputFrames + (automatic ? 0 : longestTail);

    std::vector<std::vector<float>> in(job.inputChannels, std::vector<float>(block));
    std::vector<float*> inPointers;
    for (auto& c : in) inPointers.push_back(c.data());
    const std::vector<const float*> inputs(inPointers.begin(), inPointers.end());
    std::vector<float> left(block), right(block);
    float* out[2] = {left.data(), right.data()};
    CountedSink counted(output);
    Tail tail(counted, automatic);

    RenderResult result;
    std::size_t nextMidi = 0;
    std::size_t nextChange = 0;
    bool inputEnded = false;
    for (std::uint64_t pos = 0;;) {
        auto frames = static_cast<std::uint32_t>(block);
        // No more MIDI events per render than the component can queue.
        const std::size_t overflow = nextMidi + MIDI_EVENTS_PER_RENDER;
        if (overflow < job.midi.size() && job.midi[overflow].frame < pos + frames &&
            job.midi[overflow].frame > pos)
            frames = static_cast<std::uint32_t>(job.midi[overflow].frame - pos);

        std::size_t fromInput = 0;
        if (!inputEnded) {
            fromInput = input.read(inPointers.data(), frames);
            inputEnded = fromInput < frames;
            result.inputFrames += fromInput;
        }
        const std::uint64_t tailSoFar = pos + fromInput - result.inputFrames;
        if (inputEnded)
            frames = static_cast<std::uint32_t>(
                fromInput + std::min<std::uint64_t>(frames - fromInput, longestTail - tailSoFar));
        if (frames == 0) break;
        for (auto& c : in)
            std::fill(c.begin() + static_cast<std::ptrdiff_t>(fromInput), c.begin() + frames, 0.0f);

        // Changes inside the block go with it, at their offsets: the component slices its render there.
        for (; nextChange < job.automation.size() && job.automation[nextChange].frame < pos + frames;
             ++nextChange) {
            const ParameterChange& change = job.automation[nextChange];
            const auto offset = static_cast<std::uint32_t>(change.frame > pos ? change.frame - pos : 0);
            component.scheduleParameter(change.id, change.value, offset);
        }
        for (; nextMidi < job.midi.size() && job.midi[nextMidi].frame < pos + frames; ++nextMidi) {
            const MidiMessage& m = job.midi[nextMidi];
            const auto offset = static_cast<std::uint32_t>(m.frame > pos ? m.frame - pos : 0);
            component.queueMidi(m.status, m.data1, m.data2, offset);
        }
        TransportState transport = transportAt(job.tempo, job.sampleRate, pos);
        transport.changed = pos == 0;
        component.setTransport(transport);

        component.render(inputs.data(), static_cast<double>(pos), frames, out);

        const std::size_t inputPart = inputEnded ? fromInput : frames;
        counted.write(out, inputPart);
        tail.add(left.data() + inputPart, right.data() + inputPart, frames - inputPart);
        pos += frames;
        if (progress) progress(pos, total);
        if (!automatic || !inputEnded) continue;
        // The patch may move in the tail (a replay, a gater, MIDI): asked again after every render.
        if (const std::optional<std::uint64_t> span = component.quietSpan())
            quietEnd = quietFramesToEnd(job.sampleRate, *span);
        if (tail.quietFrames() >= quietEnd) break;
    }
    result.outputFrames = counted.count;
    return result;
}

std::size_t MemorySource::read(float* const* out, std::size_t frames) {
    const std::size_t n = std::min(frames, data.frames() - position);
    for (std::size_t c = 0; c < data.channels.size(); ++c)
        std::copy_n(data.channels[c].begin() + static_cast<std::ptrdiff_t>(position), n, out[c]);
    position += n;
    return n;
}

AudioData renderAudio(ComponentHost& component, RenderJob job, const AudioData& input,
                      const RenderProgress& progress) {
    job.sampleRate = input.sampleRate;
    job.inputChannels = static_cast<std::uint32_t>(input.channels.size());
    job.expectedInputFrames = input.frames();
    AudioData output;
    output.sampleRate = input.sampleRate;
    MemorySource source(input);
    MemorySink sink(output);
    renderStream(component, job, source, sink, progress);
    return output;
}
