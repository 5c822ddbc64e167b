#pragma once

// Engine test helpers: a neutral patch, rendering in blocks of a chosen size, test signals.

#include "dsp/DspRandom.h"
#include "effect/APlugin.h"
#include "tests/effect/EnginePatches.h"
#include "tests/effect/PluginFixture.h"
#include "tests/support/SignalMeasure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>

namespace tarnwell::test {

using namespace patch;

struct Stereo {
    Signal left, right;
};

class EngineFixture : public PluginFixture {
protected:
    static constexpr float RATE = 44100.0f;

    // Every parameter at its default: all Blocks Off at unity gain, Mix and Pan centred, Delay
    // off, no modulation. Both noise generators (the engine's, the combs' and shapers') start
    // from seed, so two effects made alike and fed the same input give the same output. setup,
    // when given, runs before the engine is reset, so smoothed levels start at its values.
    std::unique_ptr<APlugin> makeNeutral(int path = 3, const std::function<void(APlugin&)>& setup = {},
                                         uint32_t seed = 1, float rate = RATE) {
        APlugin::RandSeed = seed;
        DspRandom::setSeed(seed);
        auto fx = make();
        fx->setSampleRate(rate);
        fx->defaultProgram();
        fx->setParameter(PATH_PARAM, choice(path, 5.99f));
        if (setup) setup(*fx);
        fx->resetEverything();
        return fx;
    }

    // The Volume knob position for a linear gain (-40 dB .. +10 dB over the travel).
    static float volumeFor(float gain) { return (20.0f * std::log10(gain) + 40.0f) / 50.0f; }

    // Delay on, wet only, no feedback, the same free length on both sides (2^(12 len) ms).
    static void setPlainDelay(APlugin& fx, float len) {
        fx.setParameter(DELAY_ON_PARAM, 1.0f);
        fx.setParameter(DELAY_MONO_PARAM, 1.0f);
        fx.setParameter(DELAY_MIX_PARAM, 1.0f);
        fx.setParameter(DELAY_LEFT_PARAM, len);
        fx.setParameter(DELAY_FEEDBACK_PARAM, 0.5f);  // maps to no feedback
    }

    // Renders in blocks of blockSize frames; watch, when given, runs after each block with the
    // index of the block's last frame. The inputs are copied: the engine may write in place.
    static Stereo render(APlugin& fx, const Signal& left, const Signal& right, std::size_t blockSize = 256,
                         const std::function<void(std::size_t)>& watch = {}) {
        Signal inL = left, inR = right;
        Stereo out{Signal(left.size()), Signal(left.size())};
        for (std::size_t pos = 0; pos < left.size(); pos += blockSize) {
            const std::size_t n = std::min(blockSize, left.size() - pos);
            float* in[2] = {inL.data() + pos, inR.data() + pos};
            float* o[2] = {out.left.data() + pos, out.right.data() + pos};
            fx.processReplacing(in, o, static_cast<int>(n));
            if (watch) watch(pos + n - 1);
        }
        return out;
    }

    static Stereo render(APlugin& fx, const Signal& mono, std::size_t blockSize = 256) {
        return render(fx, mono, mono, blockSize);
    }

    static Signal impulse(std::size_t length, std::size_t at = 0, float height = 1.0f) {
        Signal s(length, 0.0f);
        if (at < length) s[at] = height;
        return s;
    }

    static Signal constant(std::size_t length, float value) { return Signal(length, value); }

    // What the host answers to the time request the effect makes on every call.
    void setTransport(bool playing, double bpm, bool tempoValid = true) {
        host.timeInfo.tempo = bpm;
        host.timeInfo.flags = (tempoValid ? timeTempoValid : 0) | (playing ? timeTransportPlaying : 0);
    }
};

}  // namespace tarnwell::test
