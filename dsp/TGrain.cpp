#include "dsp/TGrain.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The recording starts silent and init leaves it, since a grain only ever reads frames it has
// just recorded, and clearing 48 slots' recordings would cost milliseconds on every reset.
TGrain::TGrain() {
    init(44100.0f);
}

void TGrain::init(float) {
    readPosition = 0.0f;
    direction = 1.0f;
    envelope = 1.0f;
    state = kIdle;
    writeSize = 1000;
    readSize = 1000;
    envelopeCounter = 0;
    readLength = 1000.0f;
    readEnd = 1000.0f;
    loopMode = kPing;
}

void TGrain::triggerGrain(int newWriteSize, int newReadSize) {
    triggerGrain(newWriteSize, newReadSize, frames.get());
}

void TGrain::triggerGrain(int newWriteSize, int newReadSize, const float* frame) {
    source = frame;
    state = kRecording;
    readPosition = 0.0f;
    envelopeCounter = 0;
    writeSize = std::clamp(newWriteSize, 0, kCapacity - 1);
    readSize = std::clamp(newReadSize, 0, kCapacity - 1);
    readLength = readSize > 0 ? static_cast<float>(readSize) : std::numeric_limits<float>::infinity();
    readEnd = writeSize > 0 ? static_cast<float>(writeSize) : -1.0f;
}

bool TGrain::floorElsewhere(float& whole) {
    if (!((readPosition < readEnd && readPosition > -1.0f) || turn())) return false;
    whole = std::floor(readPosition);
    return true;
}

bool TGrain::turn() {
    if (writeSize == 0) return false;
    const float end = static_cast<float>(writeSize);
    if (!(readPosition < end)) {
        switch (loopMode & ~1) {
            case kPing:
                readPosition = end - 1.0f;
                direction = -1.0f;
                break;
            case kLoop:
                readPosition = 0.0f;
                break;
            default:
                return false;
        }
    }
    // The integer part truncates toward zero, so the turn comes at -1, not at -0.5.
    if (readPosition <= -1.0f) {
        readPosition = 0.0f;
        direction = 1.0f;
    }
    return true;
}
