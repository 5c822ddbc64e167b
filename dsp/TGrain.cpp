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
    writeSize = clampedSize(newWriteSize);
    readSize = clampedSize(newReadSize);
    readLength = readLengthOf(readSize);
    readEnd = readEndOf(writeSize);
}

bool TGrain::floorElsewhere(float& whole) {
    if (!((readPosition < readEnd && readPosition > -1.0f) || turn())) return false;
    whole = std::floor(readPosition);
    return true;
}

bool TGrain::turn(float& readPosition, float& direction, int writeSize, int loopMode) {
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

void TGrainSlots::reset() {
    for (int s = 0; s < kSlots; ++s) {
        grains[s] = Grain{nullptr, 0, 0, TGrain::kPing, 1.0f};
        state[s] = TGrain::kIdle;
        clearLane(s);
    }
    count = 0;
    shaped = 0;
}

// A lane that never sounds (inside a recording of one frame, not moving) nor ends, reading frame
// 0 of nothing, with an envelope of 0.
void TGrainSlots::clearLane(int lane) {
    static const float silence[2] = {0.0f, 0.0f};
    position[lane] = 0.5f;
    direction[lane] = 0.0f;
    readEnd[lane] = 1.0f;
    readLength[lane] = std::numeric_limits<float>::infinity();
    power[lane] = 1.0f;
    counter[lane] = 0;
    lastCount[lane] = std::numeric_limits<std::int32_t>::max();
    writeSize[lane] = 0;
    source[lane] = silence;
    slotOf[lane] = 0;
    loopMode[lane] = TGrain::kPing;
}

void TGrainSlots::copyLane(int to, int from) {
    position[to] = position[from];
    direction[to] = direction[from];
    readEnd[to] = readEnd[from];
    readLength[to] = readLength[from];
    power[to] = power[from];
    counter[to] = counter[from];
    lastCount[to] = lastCount[from];
    writeSize[to] = writeSize[from];
    source[to] = source[from];
    slotOf[to] = slotOf[from];
    loopMode[to] = loopMode[from];
}

void TGrainSlots::stopLane(int lane) {
    state[slotOf[lane]] = TGrain::kIdle;
    if (power[lane] != 1.0f) --shaped;
    --count;
    for (int l = lane; l < count; ++l) copyLane(l, l + 1);
    for (int l = count; l < kSlots; ++l) clearLane(l);
}

void TGrainSlots::stopSlot(int slot) {
    if (state[slot] == TGrain::kPlaying)
        for (int l = 0; l < count; ++l)
            if (slotOf[l] == slot) {
                stopLane(l);
                break;
            }
}

void TGrainSlots::trigger(int slot, int newWriteSize, int newReadSize, const float* frame, int mode,
                          float shapePower) {
    stopSlot(slot);
    grains[slot] =
        Grain{frame, TGrain::clampedSize(newWriteSize), TGrain::clampedSize(newReadSize), mode, shapePower};
    state[slot] = TGrain::kRecording;
}

void TGrainSlots::recorded(int slot) {
    stopSlot(slot);  // a grain that plays starts again
    int lane = 0;
    while (lane < count && slotOf[lane] < slot) ++lane;
    for (int l = count; l > lane; --l) copyLane(l, l - 1);
    ++count;
    const Grain& g = grains[slot];
    position[lane] = 0.0f;
    direction[lane] = 1.0f;
    readEnd[lane] = TGrain::readEndOf(g.writeSize);
    readLength[lane] = TGrain::readLengthOf(g.readSize);
    power[lane] = g.power;
    counter[lane] = 0;
    lastCount[lane] = g.readSize - 1;
    writeSize[lane] = g.writeSize;
    source[lane] = g.source;
    slotOf[lane] = static_cast<std::uint8_t>(slot);
    loopMode[lane] = static_cast<std::uint8_t>(g.loopMode);
    if (g.power != 1.0f) ++shaped;
    state[slot] = TGrain::kPlaying;
}

int TGrainSlots::framesToEnd(int slot) const {
    return state[slot] == TGrain::kIdle ? 0 : grains[slot].writeSize + grains[slot].readSize;
}

void TGrainSlots::turnLanes(int group) {
    for (int l = group; l < group + 4 && l < count; ++l) {
        float& pos = position[l];
        if ((pos > 0.0f && pos < readEnd[l]) || (pos < readEnd[l] && pos > -1.0f)) continue;
        TGrain::turn(pos, direction[l], writeSize[l], loopMode[l]);
    }
}
