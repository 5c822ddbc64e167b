#pragma once

// Stereo shaper: an oscillator over morphing band-limited waves that modulates the input
// ("Ring Mod", "Freq Mod", "Phase Mod", "Amp Mod", "Sym Mod"), or a Low-Fi chain of filter,
// sample-and-hold, quantiser and noise. A DC blocker ends every mode. Two sub-samples per
// channel per host sample, like the other Block modules.

#include <cstdint>
#include <limits>

#include "dsp/DspTables.h"
#include "dsp/TFilter.h"

// The band-limited waves, built with the program.
inline constexpr const auto& Waves = WAVE_TABLES.waves;

class TShaper {
public:
    enum Mode : std::int32_t { RingMod, FreqMod, PhaseMod, AmpMod, SymMod, LowFi };
    static constexpr int MODE_COUNT = 6;

    TShaper();  // as init(44100)

    // Prepares for a host rate; makes sure the wave and filter tables exist.
    void init(float sampleRate);
    // Clears envelopes, phases, DC blocker and hold registers.
    void reset();
    // Mode 0..5; keeps all state.
    void setType(int mode);
    // The Low-Fi filter value v plays row trunc(3.99 v + 0.1) of {off, LP, HP, BP}; -1 above the
    // last row (v > 0.977), where the filter keeps the type it had (BP in a new shaper).
    static constexpr int lowFiFilterRow(float v) {
        const float choice = 3.99f * v + 0.1f;
        return choice > -1.0f && choice < 4.0f ? static_cast<int>(choice) : -1;
    }
    // Once per host sample before process; slow controls follow every fourth call.
    void setDistort(float waveIn, float freqIn, float amountIn, float shapeIn, float spread, float waveMod,
                    float freqMod, float amountMod, float shapeMod, float extra, float lowFiFilter,
                    bool firstFrame);
    // Oscillator values at four phases in 0..1.
    void getWave(float p1, float p2, float p3, float p4, float& w1, float& w2, float& w3, float& w4) const;
    void process(float La, float Ra, float Lb, float Rb, float& oLa, float& oRa, float& oLb, float& oRb);
    // The same on the four lanes {La, Lb, Ra, Rb} of one vector, so the engine's lanes need not
    // go through memory.
    typedef TFilter::Lanes Lanes;
    Lanes process(Lanes in);

    // Writes this shaper's band edges, the frequencies where its oscillator moves to the next
    // wave level.
    void setTables();

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

private:
    // setDistort's last exponential arguments and results; NaN arguments always recompute.
    struct Memo {
        float freq = std::numeric_limits<float>::quiet_NaN(), hz = 0.0f;
        float spread = std::numeric_limits<float>::quiet_NaN(), spreadUp = 1.0f, spreadDown = 1.0f;
    };
    Memo memo;
    // The settings setDistort last worked from, as bits: while they and the type stand, all it
    // sets stands too, but for the control count and the Low-Fi filter's glide. slowCurrent says
    // the every-fourth-call settings were worked out from them.
    struct Settings {
        float wave, freq, amount, shape, spread, extra, lowFiFilter;
        std::int32_t type;
    };
    Settings settled{};
    bool settledValid = false, slowCurrent = false;
    float releaseShape = std::numeric_limits<float>::quiet_NaN(), release = 0.1f;

    void setSlowControls(float fHz);
    float lookup(float p) const;
    Lanes lookupLanes(Lanes p) const;
    void setSym(float s);
};
