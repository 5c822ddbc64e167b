#include "host/Renderer.h"

#include <algorithm>
#include <cmath>

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

AudioData renderAudio(ComponentHost& component, const RenderJob& job,
                      const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    const AudioData& input = *job.input;
    const std::size_t inputChannels = input.channels.size();
    const std::uint64_t inputFrames = input.frames();
    const std::uint64_t total = inputFrames + job.tailFrames;
    const std::uint32_t block = std::max<std::uint32_t>(job.blockFrames, 1);

    AudioData output;
    output.sampleRate = input.sampleRate;
    output.channels.assign(2, std::vector<float>(total));

    // Input past its end comes from here, zero-padded.
    std::vector<std::vector<float>> padded(inputChannels, std::vector<float>(block));
    std::vector<const float*> in(inputChannels);

    std::size_t nextMidi = 0;
    std::size_t nextChange = 0;
    bool first = true;
    for (std::uint64_t pos = 0; pos < total;) {
        auto frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(block, total - pos));
        // No more MIDI events per render than the component can queue.
        const std::size_t overflow = nextMidi + MIDI_EVENTS_PER_RENDER;
        if (overflow < job.midi.size() && job.midi[overflow].frame < pos + frames &&
            job.midi[overflow].frame > pos)
            frames = static_cast<std::uint32_t>(job.midi[overflow].frame - pos);

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

        TransportState transport = transportAt(job.tempo, input.sampleRate, pos);
        transport.changed = first;
        component.setTransport(transport);

        for (std::size_t c = 0; c < inputChannels; ++c) {
            if (pos + frames <= inputFrames) {
                in[c] = input.channels[c].data() + pos;
                continue;
            }
            const std::uint64_t available = pos < inputFrames ? inputFrames - pos : 0;
            std::fill(std::copy_n(input.channels[c].data() + (pos < inputFrames ? pos : 0), available,
                                  padded[c].begin()),
                      padded[c].end(), 0.0f);
            in[c] = padded[c].data();
        }
        float* out[2] = {output.channels[0].data() + pos, output.channels[1].data() + pos};
        component.render(in.data(), static_cast<double>(pos), frames, out);

        pos += frames;
        first = false;
        if (progress) progress(pos, total);
    }
    return output;
}
