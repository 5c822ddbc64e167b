#pragma once

// One grain voice: when triggered it records a stretch of the stereo input, then plays it for a
// given duration under a triangular envelope, once at a variable speed with a loop mode (the
// pitched output) and once straight through (the plain output). The recording buffer is
// allocated once, at construction, from pages that start silent.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "dsp/SilentBuffer.h"

class TGrain {
public:
    static constexpr int kCapacity = 131072;

    enum State { kIdle = 0, kRecording = 1, kPlaying = 2 };

    // Loop modes as the Grain Loop Mode choice numbers them; odd modes are the tempo-synced
    // variants and play like the even mode below them.
    enum LoopMode { kPing = 0, kPingSync = 1, kLoop = 2, kLoopSync = 3, kOff = 4, kOffSync = 5 };

    TGrain();
    TGrain(const TGrain&) = delete;
    TGrain& operator=(const TGrain&) = delete;

    void init(float rate);
    // Silences the slot at once.
    void reset() { state = kIdle; }
    void setLoopMode(int mode) { loopMode = mode; }
    // Starts recording writeSize frames, to be played for readSize frames.
    void triggerGrain(int writeSize, int readSize);

    // Left and right of one frame side by side, each lane rounding as the same steps on one float.
    typedef float Frame __attribute__((vector_size(8)));

    void process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                 float speed);
    // The two halves of process, for a caller that looked at the state already: a recording
    // frame (whose outputs are silent) and a playing one. Each returns whether the slot stays in
    // its state.
    bool record(float inL, float inR);
    bool play(float speed, Frame& pitched, Frame& plain);

    // The envelope raised to shape while playing, else 0.
    float getGrainVol(float shape) const { return state == kPlaying ? shapedEnvelope(shape) : 0.0f; }
    // The same for a slot known to play.
    float shapedEnvelope(float shape) const;

    int getState() const { return state; }

private:
    // Frame i of the recording is L at 2i and R at 2i + 1: a read of one frame touches one cache
    // line, not one in each of two buffers half a megabyte apart.
    SilentBuffer<float> frames{2 * kCapacity};
    int capacity = kCapacity;
    int state = kIdle;
    int writeIndex = 0;
    int writeSize = 1000;
    int readSize = 1000;
    // readSize as a float, exactly; infinite for a read size of 0, whose one frame's envelope
    // then comes out 0 without a test.
    float readLength = 1000.0f;
    int envelopeCounter = 0;
    int loopMode = kPing;
    float readPosition = 0.0f;
    float direction = 1.0f;
    float sampleRate = 44100.0f;
    float envelope = 1.0f;
    // The write size as a float, or -1 for an empty recording: a position in (-1, readEnd) is
    // one the pitched output reads at without a turn.
    float readEnd = 1000.0f;

    Frame frameAt(int i) const {
        Frame x;
        std::memcpy(&x, frames.get() + 2 * static_cast<std::ptrdiff_t>(i), sizeof x);
        return x;
    }
    // Turns the position at either end of the recording; false when the pitched output is silent.
    bool turn();
};

// A Grain Block runs sixteen slots every frame: the frame's work is inline.
inline void TGrain::process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                            float speed) {
    Frame pitched{}, plain{};
    switch (state) {
    case kRecording:
        record(inL, inR);
        break;
    case kPlaying:
        play(speed, pitched, plain);
        break;
    default:
        envelope = 0.0f;
        break;
    }
    pitchedL = pitched[0];
    pitchedR = pitched[1];
    plainL = plain[0];
    plainR = plain[1];
}

inline bool TGrain::record(float inL, float inR) {
    float* f = frames.get() + 2 * writeIndex;
    f[0] = inL;
    f[1] = inR;
    ++writeIndex;
    // A write size of 0 still records one frame, so the end test is "reached or passed".
    if (writeIndex < writeSize) return true;
    state = kPlaying;
    envelope = 0.0f;
    readPosition = 0.0f;
    direction = 1.0f;
    envelopeCounter = 0;
    return false;
}

inline bool TGrain::play(float speed, Frame& pitched, Frame& plain) {
    const int n = writeSize;
    // Compared as floats so that a runaway position never reaches an int conversion.
    if ((readPosition < readEnd && readPosition > -1.0f) || turn()) {
        const int i = static_cast<int>(readPosition);
        // Past 0 the truncation is the floor (the position stays below the write size).
        const float t = readPosition - (readPosition > 0.0f ? static_cast<float>(i) : std::floor(readPosition));
        const int j = i < n - 1 ? i + 1 : n - 1;
        const Frame from = frameAt(i), to = frameAt(j);
        pitched = from + (to - from) * t;
    } else {
        pitched = Frame{};
    }
    readPosition += speed * direction;

    // The plain output plays the recording straight through: its index is the envelope's counter.
    const int c = envelopeCounter;
    plain = c < n ? frameAt(c) : Frame{};

    envelope = 1.0f - std::fabs(1.0f - 2.0f * static_cast<float>(c) / readLength);
    ++envelopeCounter;
    // A read size of 0 ends the grain after this frame instead of never.
    if (envelopeCounter < readSize) return true;
    state = kIdle;
    return false;
}

// Read twice per slot and frame by the engine: kept inline.
inline float TGrain::shapedEnvelope(float shape) const {
    // The plain output's weight and the default shape are 1, and e^1 is e exactly: no power.
    if (shape == 1.0f) return envelope;
    // A negative shape would turn the silent ends of the envelope into infinities.
    return std::pow(envelope, std::max(shape, 0.0f));
}
