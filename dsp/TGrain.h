#pragma once

// One grain voice: when triggered it records a stretch of the stereo input, then plays it for a
// given duration under a triangular envelope, once at a variable speed with a loop mode (the
// pitched output) and once straight through (the plain output). The recording buffer is
// allocated once, at construction, from pages that start silent.

#include <algorithm>
#include <cmath>
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

    void process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                 float speed);
    // The two halves of process, for a caller that looked at the state already: a recording
    // frame (whose outputs are silent) and a playing one.
    void record(float inL, float inR);
    void play(float speed, float& pitchedL, float& pitchedR, float& plainL, float& plainR);

    // The envelope raised to shape while playing, else 0.
    float getGrainVol(float shape) const;

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
    float readLength = 1000.0f;  // readSize as a float, exactly
    int envelopeCounter = 0;
    int loopMode = kPing;
    float readPosition = 0.0f;
    float direction = 1.0f;
    float sampleRate = 44100.0f;
    float envelope = 1.0f;
};

// A Grain Block runs sixteen slots every frame: the frame's work is inline.
inline void TGrain::process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                            float speed) {
    switch (state) {
    case kRecording:
        pitchedL = pitchedR = plainL = plainR = 0.0f;
        record(inL, inR);
        break;
    case kPlaying:
        play(speed, pitchedL, pitchedR, plainL, plainR);
        break;
    default:
        pitchedL = pitchedR = plainL = plainR = 0.0f;
        envelope = 0.0f;
        break;
    }
}

inline void TGrain::record(float inL, float inR) {
    frames[2 * writeIndex] = inL;
    frames[2 * writeIndex + 1] = inR;
    ++writeIndex;
    envelope = 0.0f;
    // A write size of 0 still records one frame, so the end test is "reached or passed".
    if (writeIndex >= writeSize) {
        state = kPlaying;
        readPosition = 0.0f;
        direction = 1.0f;
        envelopeCounter = 0;
    }
}

inline void TGrain::play(float speed, float& pitchedL, float& pitchedR, float& plainL, float& plainR) {
    pitchedL = pitchedR = plainL = plainR = 0.0f;
    const int n = writeSize;
    const float end = static_cast<float>(n);
    // With an empty loop there is no pair of samples to read between: the pitched output is silent.
    bool silent = n == 0;

    // Compared as floats so that a runaway position never reaches an int conversion.
    if (!silent && !(readPosition < end)) {
        switch (loopMode & ~1) {
        case kPing:
            readPosition = end - 1.0f;
            direction = -1.0f;
            break;
        case kLoop:
            readPosition = 0.0f;
            break;
        default:
            silent = true;
            break;
        }
    }
    // The integer part truncates toward zero, so the turn comes at -1, not at -0.5.
    if (!silent && readPosition <= -1.0f) {
        readPosition = 0.0f;
        direction = 1.0f;
    }
    const float* f = frames.get();
    if (!silent) {
        const int i = static_cast<int>(readPosition);
        // Past 0 the truncation is the floor (the position stays below the write size).
        const float t = readPosition - (readPosition > 0.0f ? static_cast<float>(i) : std::floor(readPosition));
        const int j = i < n - 1 ? i + 1 : n - 1;
        // Left and right side by side, each rounding as the same steps on one float.
        typedef float Pair __attribute__((vector_size(8)));
        Pair from, to;
        std::memcpy(&from, f + 2 * i, sizeof from);
        std::memcpy(&to, f + 2 * j, sizeof to);
        const Pair pitched = from + (to - from) * t;
        pitchedL = pitched[0];
        pitchedR = pitched[1];
    }
    readPosition += speed * direction;

    // The plain output plays the recording straight through: its index is the envelope's counter.
    const int c = envelopeCounter;
    if (c < n) {
        plainL = f[2 * c];
        plainR = f[2 * c + 1];
    }

    envelope = readSize > 0 ? 1.0f - std::fabs(1.0f - 2.0f * static_cast<float>(c) / readLength) : 0.0f;
    ++envelopeCounter;
    // A read size of 0 ends the grain after this frame instead of never.
    if (envelopeCounter >= readSize) state = kIdle;
}

// Read twice per slot and frame by the engine: kept inline.
inline float TGrain::getGrainVol(float shape) const {
    if (state != kPlaying) return 0.0f;
    // The plain output's weight and the default shape are 1, and e^1 is e exactly: no power.
    if (shape == 1.0f) return envelope;
    // A negative shape would turn the silent ends of the envelope into infinities.
    return std::pow(envelope, std::max(shape, 0.0f));
}
