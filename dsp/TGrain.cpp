#include "dsp/TGrain.h"

#include <algorithm>
#include <cmath>

TGrain::TGrain()
    : bufferL(std::make_unique<float[]>(kCapacity)), bufferR(std::make_unique<float[]>(kCapacity)) {
    init(44100.0f);
}

void TGrain::init(float rate) {
    sampleRate = rate;
    std::fill_n(bufferL.get(), kCapacity, 0.0f);
    std::fill_n(bufferR.get(), kCapacity, 0.0f);
    readPosition = 0.0f;
    direction = 1.0f;
    envelope = 1.0f;
    capacity = kCapacity;
    state = kIdle;
    writeIndex = 0;
    writeSize = 1000;
    readSize = 1000;
    envelopeCounter = 0;
    plainIndex = 0;
    loopMode = kPing;
}

void TGrain::triggerGrain(int newWriteSize, int newReadSize) {
    state = kRecording;
    writeIndex = 0;
    readPosition = 0.0f;
    envelopeCounter = 0;
    plainIndex = 0;
    writeSize = std::clamp(newWriteSize, 0, capacity - 1);
    readSize = std::clamp(newReadSize, 0, capacity - 1);
}

void TGrain::process(float inL, float inR, float& pitchedL, float& pitchedR, float& plainL, float& plainR,
                     float speed) {
    pitchedL = pitchedR = plainL = plainR = 0.0f;
    switch (state) {
    case kRecording:
        bufferL[writeIndex] = inL;
        bufferR[writeIndex] = inR;
        ++writeIndex;
        envelope = 0.0f;
        // A write size of 0 still records one frame, so the end test is "reached or passed".
        if (writeIndex >= writeSize) {
            state = kPlaying;
            readPosition = 0.0f;
            direction = 1.0f;
            envelopeCounter = 0;
            plainIndex = 0;
        }
        break;
    case kPlaying:
        playFrame(speed, pitchedL, pitchedR, plainL, plainR);
        break;
    default:
        envelope = 0.0f;
        break;
    }
}

void TGrain::playFrame(float speed, float& pitchedL, float& pitchedR, float& plainL, float& plainR) {
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
    if (!silent) {
        const int i = static_cast<int>(readPosition);
        const float f = readPosition - std::floor(readPosition);
        const int j = i < n - 1 ? i + 1 : n - 1;
        pitchedL = bufferL[i] + (bufferL[j] - bufferL[i]) * f;
        pitchedR = bufferR[i] + (bufferR[j] - bufferR[i]) * f;
    }
    readPosition += speed * direction;

    if (plainIndex < n) {
        plainL = bufferL[plainIndex];
        plainR = bufferR[plainIndex];
    }
    ++plainIndex;

    const int c = envelopeCounter;
    envelope = readSize > 0
                   ? 1.0f - std::fabs(1.0f - 2.0f * static_cast<float>(c) / static_cast<float>(readSize))
                   : 0.0f;
    ++envelopeCounter;
    // A read size of 0 ends the grain after this frame instead of never.
    if (envelopeCounter >= readSize) state = kIdle;
}

float TGrain::getGrainVol(float shape) const {
    if (state != kPlaying) return 0.0f;
    // A negative shape would turn the silent ends of the envelope into infinities.
    return std::pow(envelope, std::max(shape, 0.0f));
}
