#pragma once

// Stereo feedback comb whose delay is set as a frequency, with a damping low-pass and random
// sign flips inside the loop. Runs two sub-samples per channel per host sample; positions are
// kept in 1/256 of a ring slot so the loop needs only shifts, masks, multiplies and adds.

#include <cstdint>
#include <limits>

class TCombFilter {
public:
    static constexpr int RING_SIZE = 8192;
    static constexpr std::uint32_t POSITION_MASK = (1u << 21) - 1u;  // 8192 slots * 256
    static constexpr std::int32_t MIN_DELAY = 2;
    // 8191.5 slots. The first sub-sample reads (delay - 128) / 256 slots back, rounded up; one
    // step further would land on the slot the second sub-sample wrote one host sample ago and
    // turn the longest comb into a one-sample loop.
    static constexpr std::int32_t MAX_DELAY = 2097024;

    // Prepares for a host rate; silent, "Comb Pos".
    void init(float sampleRate);
    // Silences rings and damping states; delays, gain, frequencies and write position stay.
    void reset();
    // 0 = "Comb Pos", anything else "Comb Neg"; a change starts from silence.
    void setType(int newType);
    // Once per host sample before process. freq is a knob position 0..1 (20 Hz .. 20,480 Hz).
    void setComb(float freq, float modL, float modR, float spread, float feedbackAmount, float dampingAmount,
                 float randomAmount, bool firstFrame);
    void process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb, float& oRb);
    // The same on the four lanes {La, Lb, Ra, Rb} of one vector, so the engine's lanes need not
    // go through memory.
    typedef float Lanes __attribute__((vector_size(16)));
    Lanes process(Lanes in);

    float rate = 88200.0f;
    float invRate = 1.0f / 88200.0f;
    float position = 0.0f;
    std::int32_t type = 0;
    float freqL = 10000.0f, freqR = 10000.0f;
    float minDamp = 0.0f;
    float maxFreq = 0.0f;
    float dampCoeff = 1.0f;
    float dampKeep = 1.0f;
    float stateL = 0.0f, stateR = 0.0f;
    float flipChance = 0.0f;
    std::int32_t delayL = 0, delayR = 0;  // in 1/256 of a slot, MIN_DELAY .. MAX_DELAY
    std::uint32_t writePos = 0;
    float gain = 0.0f;
    float feedback = 0.0f;
    float damping = 0.0f;
    float ringL[RING_SIZE] = {};
    float ringR[RING_SIZE] = {};

private:
    std::int32_t delayFor(float hz) const;

    // setComb's costly results and the inputs they came from; NaN inputs always recompute. The
    // rate and its limits move only in init, which clears the memo.
    struct Memo {
        static constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
        float posL = kNone, posR = kNone, spread = kNone;
        float spreadDown = 1.0f, spreadUp = 1.0f, freqL = 0.0f, freqR = 0.0f;
        std::int32_t delayL = 0, delayR = 0;
        float damping = kNone, dampCoeff = 1.0f;
        float feedback = kNone, root = 0.0f;
    };
    Memo memo;
    // The arguments and the type setComb last worked from, with the position they left, as bits:
    // while they stand, so does everything it sets. Reset and init forget them.
    struct Settings {
        float freq, modL, modR, spread, feedback, damping, random, position;
        std::int32_t type;
    };
    Settings settled{};
    bool settledValid = false;
};
