#pragma once

// One grain voice: when triggered it records a stretch of the stereo input, then plays it for a
// given duration under a triangular envelope, once at a variable speed with a loop mode (the
// pitched output) and once straight through (the plain output). The recording buffers are
// allocated once, at construction.

#include <memory>

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

    // The envelope raised to shape while playing, else 0.
    float getGrainVol(float shape) const;

    int getState() const { return state; }

private:
    void playFrame(float speed, float& pitchedL, float& pitchedR, float& plainL, float& plainR);

    std::unique_ptr<float[]> bufferL;
    std::unique_ptr<float[]> bufferR;
    int capacity = kCapacity;
    int state = kIdle;
    int writeIndex = 0;
    int writeSize = 1000;
    int readSize = 1000;
    int envelopeCounter = 0;
    int plainIndex = 0;
    int loopMode = kPing;
    float readPosition = 0.0f;
    float direction = 1.0f;
    float sampleRate = 44100.0f;
    float envelope = 1.0f;
};
