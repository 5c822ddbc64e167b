#include "host/DemoMaterial.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr double TWO_PI = 2.0 * std::numbers::pi;
constexpr int STEPS_PER_BAR = 16;
constexpr double STEP_SECONDS = 60.0 / DEMO_TEMPO / 4.0;

// Step patterns, one bit per sixteenth, bit 0 first; the last bar gets a snare fill.
constexpr std::uint16_t KICK = 0b0000'1001'0100'0001;
constexpr std::uint16_t SNARE = 0b0001'0000'0001'0000;
constexpr std::uint16_t SNARE_FILL = 0b1101'0000'0001'0000;
constexpr std::uint16_t HAT = 0b0101'0101'0101'0101;
constexpr std::uint16_t OPEN_HAT = 0b0100'0000'0100'0000;

// i - VI - III - VII in A minor, as MIDI note numbers, with the bass root below.
struct Chord {
    std::array<int, 3> notes;
    int bass;
};
constexpr std::array<Chord, DEMO_BARS> CHORDS{{
    {{57, 60, 64}, 45},  // A minor
    {{53, 57, 60}, 41},  // F major
    {{55, 60, 64}, 48},  // C major, second inversion
    {{55, 59, 62}, 43},  // G major
}};

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// Our own small generator, so the loop is the same on every machine.
class Noise {
public:
    double next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / static_cast<double>(1u << 23) - 1.0;
    }

private:
    std::uint32_t state = 22222;
};

// A sawtooth with the step smoothed around each wrap, to keep aliasing down.
class Saw {
public:
    explicit Saw(double hz, double rate, double startPhase) : increment(hz / rate), phase(startPhase) {}
    double next() {
        double value = 2.0 * phase - 1.0;
        value -= blep(phase, increment);
        phase += increment;
        if (phase >= 1.0) phase -= 1.0;
        return value;
    }

private:
    static double blep(double t, double dt) {
        if (t < dt) {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt) {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }
    double increment;
    double phase;
};

class OnePoleLowpass {
public:
    OnePoleLowpass(double hz, double rate) : coefficient(1.0 - std::exp(-TWO_PI * hz / rate)) {}
    double process(double x) { return state += coefficient * (x - state); }

private:
    double coefficient;
    double state = 0.0;
};

struct Mix {
    std::vector<double> left, right;
    void add(std::size_t frame, double value, double pan) {  // pan -1 left .. +1 right
        if (frame >= left.size()) return;
        left[frame] += value * std::sqrt(0.5 * (1.0 - pan));
        right[frame] += value * std::sqrt(0.5 * (1.0 + pan));
    }
};

void addKick(Mix& mix, std::size_t start, double rate) {
    double phase = 0.0;
    const auto length = static_cast<std::size_t>(0.45 * rate);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += TWO_PI * (48.0 + 120.0 * std::exp(-t * 28.0)) / rate;
        mix.add(start + i, 0.9 * std::sin(phase) * std::exp(-t * 7.0), 0.0);
    }
}

void addSnare(Mix& mix, std::size_t start, double rate, Noise& noise, double level) {
    OnePoleLowpass body(5000.0, rate);
    OnePoleLowpass low(900.0, rate);
    const auto length = static_cast<std::size_t>(0.25 * rate);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double n = body.process(noise.next());
        const double crack = (n - low.process(n)) * std::exp(-t * 16.0);
        const double tone = std::sin(TWO_PI * 185.0 * t) * std::exp(-t * 30.0);
        mix.add(start + i, level * (0.9 * crack + 0.45 * tone), -0.05);
    }
}

void addHat(Mix& mix, std::size_t start, double rate, Noise& noise, bool open) {
    OnePoleLowpass low(6500.0, rate);
    const double decay = open ? 9.0 : 55.0;
    const auto length = static_cast<std::size_t>((open ? 0.3 : 0.08) * rate);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double n = noise.next();
        mix.add(start + i, 0.22 * (n - low.process(n)) * std::exp(-t * decay), 0.35);
    }
}

// One bar of chord: two detuned saws per note spread left and right, soft attack and release.
void addChord(Mix& mix, std::size_t start, std::size_t length, const Chord& chord, double rate) {
    for (std::size_t v = 0; v < chord.notes.size(); ++v) {
        for (int side = 0; side < 2; ++side) {
            const double detune = side == 0 ? 0.997 : 1.003;
            Saw saw(noteHz(chord.notes[v]) * detune, rate, 0.31 * static_cast<double>(v) + 0.5 * side);
            OnePoleLowpass tone(2800.0, rate);
            const double pan = side == 0 ? -0.6 : 0.6;
            for (std::size_t i = 0; i < length; ++i) {
                const double t = static_cast<double>(i) / rate;
                const double remaining = static_cast<double>(length - i) / rate;
                const double envelope =
                    std::min({1.0, t / 0.02, remaining / 0.05}) * (0.75 + 0.25 * std::exp(-t * 3.0));
                mix.add(start + i, 0.07 * envelope * tone.process(saw.next()), pan);
            }
        }
    }
}

// Bass on the off-beat eighths, short and round.
void addBassNote(Mix& mix, std::size_t start, int note, double rate) {
    Saw saw(noteHz(note), rate, 0.0);
    OnePoleLowpass tone(500.0, rate);
    const auto length = static_cast<std::size_t>(0.2 * rate);
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = std::min(1.0, t / 0.004) * std::exp(-t * 9.0);
        mix.add(start + i, 0.35 * envelope * tone.process(saw.next()), 0.0);
    }
}

}  // namespace

AudioData makeDemoMaterial() {
    const double rate = DEMO_SAMPLE_RATE;
    const auto frameOf = [rate](int step) {
        return static_cast<std::size_t>(std::lround(step * STEP_SECONDS * rate));
    };
    const std::size_t frames = frameOf(DEMO_BARS * STEPS_PER_BAR);
    Mix mix{std::vector<double>(frames, 0.0), std::vector<double>(frames, 0.0)};
    Noise noise;

    for (int bar = 0; bar < DEMO_BARS; ++bar) {
        const int first = bar * STEPS_PER_BAR;
        const bool last = bar == DEMO_BARS - 1;
        addChord(mix, frameOf(first), frameOf(first + STEPS_PER_BAR) - frameOf(first), CHORDS[bar], rate);
        for (int s = 0; s < STEPS_PER_BAR; ++s) {
            const std::size_t at = frameOf(first + s);
            const auto hit = [s](std::uint16_t pattern) { return ((pattern >> s) & 1u) != 0; };
            if (hit(KICK)) addKick(mix, at, rate);
            if (hit(last ? SNARE_FILL : SNARE))
                addSnare(mix, at, rate, noise, s == 4 || s == 12 ? 0.8 : 0.45);
            if (hit(HAT)) addHat(mix, at, rate, noise, hit(OPEN_HAT));
            if (s % 4 == 2) addBassNote(mix, at, CHORDS[bar].bass - 12 + (s == 10 ? 12 : 0), rate);
        }
    }

    double peak = 0.0;
    for (std::size_t i = 0; i < frames; ++i)
        peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
    const double gain = peak > 0.0 ? static_cast<double>(DEMO_PEAK) / peak : 0.0;
    AudioData audio;
    audio.sampleRate = rate;
    audio.channels.assign(2, std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        audio.channels[0][i] = static_cast<float>(mix.left[i] * gain);
        audio.channels[1][i] = static_cast<float>(mix.right[i] * gain);
    }
    return audio;
}
