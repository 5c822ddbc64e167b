#pragma once

// Stereo shaper: an oscillator over morphing band-limited waves that modulates the input
// ("Ring Mod", "Freq Mod", "Phase Mod", "Amp Mod", "Sym Mod"), or a Low-Fi chain of filter,
// sample-and-hold, quantiser and noise. A DC blocker ends every mode. Two sub-samples per
// channel per host sample, like the other Block modules.

#include <cstdint>
#include <limits>

#include "dsp/TFilter.h"

// Four waves (sine, triangle, square, saw) at sixteen band-limit levels, one cycle each.
inline constexpr int WAVE_COUNT = 4;
inline constexpr int WAVE_LEVELS = 16;
inline constexpr int WAVE_LENGTH = 65536;
extern float Waves[WAVE_COUNT][WAVE_LEVELS][WAVE_LENGTH];

class TShaper {
public:
    enum Mode : std::int32_t { RingMod, FreqMod, PhaseMod, AmpMod, SymMod, LowFi };
    static constexpr int MODE_COUNT = 6;
    static constexpr int FFT_SIZE = 4096;

    TShaper();  // as init(44100)

    // Prepares for a host rate; makes sure the wave and filter tables exist.
    void init(float sampleRate);
    // Clears envelopes, phases, DC blocker and hold registers.
    void reset();
    // Mode 0..5; keeps all state.
    void setType(int mode);
    // Once per host sample before process; slow controls follow every fourth call.
    void setDistort(float waveIn, float freqIn, float amountIn, float shapeIn, float spread,
                    float waveMod, float freqMod, float amountMod, float shapeMod, float extra,
                    float lowFiFilter, bool firstFrame);
    // Oscillator values at four phases in 0..1.
    void getWave(float p1, float p2, float p3, float p4, float& w1, float& w2, float& w3,
                 float& w4) const;
    void process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb,
                 float& oRb);

    // Builds Waves once per process (using this shaper's scratch) and writes its band edges.
    void setTables();
    // Radix-2 transform of (reIn, imIn) into (reOut, imOut) with kernel e^(i*angle*k*m/n);
    // other sizes are copied unchanged.
    void fourierTransform(double angle, int n);
    static int numberOfBitsNeeded(int n);
    static int reverseBits(int index, int bits);
    // fourierTransform(-2*pi, n) scaled by 1/n.
    void ifft(int n);

    std::int32_t type = RingMod;
    std::int32_t level = 0;
    std::int32_t waveA = 0, waveB = 0;
    std::int32_t controlCount = 0;
    float rate = 88200.0f;
    float invHostRate = 1.0f / 44100.0f;
    float envL = 0.0f, envR = 0.0f;
    float wavePos = 0.0f, morph = 0.0f;
    float smoothed[4] = {};
    float wave = 0.0f, freq = 0.0f, amount = 0.0f, shape = 0.0f;
    float rectify = 1.0f;
    float phaseL = 0.0f, phaseR = 0.0f;
    float incL = 0.0f, incR = 0.0f;
    float ringAmount = 0.0f;
    float sym = 0.5f, slopeLow = 1.0f, slopeHigh = 1.0f;
    float symDepth = 0.5f;
    float fmDepth = 0.0f, pmDepth = 0.0f;
    float envRelease = 0.1f;
    float noise = 0.0f;
    float dcL = 0.0f, dcR = 0.0f;
    float dcCoeff = 0.0f;
    float bandEdge[WAVE_LEVELS] = {};
    TFilter filter;
    float heldLa = 0.0f, heldLb = 0.0f, heldRa = 0.0f, heldRb = 0.0f;
    float quantLevels = 1.0f;
    float period[FFT_SIZE] = {};
    float reIn[FFT_SIZE] = {};
    float reOut[FFT_SIZE] = {};
    float imIn[FFT_SIZE] = {};
    float imOut[FFT_SIZE] = {};

private:
    // setDistort's last exponential arguments and results; NaN arguments always recompute.
    struct Memo {
        float freq = std::numeric_limits<float>::quiet_NaN(), hz = 0.0f;
        float spread = std::numeric_limits<float>::quiet_NaN(), spreadUp = 1.0f, spreadDown = 1.0f;
    };
    Memo memo;

    void writeBandEdges();
    void buildWaves();
    float lookup(float p) const;
    void setSym(float s);
};
