#pragma once

// The DSP lookup tables: the filter's cutoff tables and the shaper's band-limited waves. They are
// computed at build time (tools/tablegen runs the builders below) and linked in as read-only
// data, so an instance spends nothing on them at start-up and only the pages a sound reads
// become resident.

inline constexpr int FILTER_TABLE_SIZE = 262144;

struct FilterTableSet {
    float freqPow2[FILTER_TABLE_SIZE];  // 20 * 2^(10x) Hz, indexed by a knob position
    float sine[FILTER_TABLE_SIZE];      // the rest are indexed by cutoff / internal rate
    float twoSine[FILTER_TABLE_SIZE];
    float twoCos[FILTER_TABLE_SIZE];
    float lowPass12[FILTER_TABLE_SIZE];
    float highPass12[FILTER_TABLE_SIZE];
    float mff[FILTER_TABLE_SIZE];
    float mfq[FILTER_TABLE_SIZE];
    float mfp[FILTER_TABLE_SIZE];
    float zTan[FILTER_TABLE_SIZE];
    float voxC[FILTER_TABLE_SIZE];
    float voxD[FILTER_TABLE_SIZE];
};

// Four waves (sine, triangle, square, saw) at sixteen band-limit levels, one cycle each.
inline constexpr int WAVE_COUNT = 4;
inline constexpr int WAVE_LEVELS = 16;
inline constexpr int WAVE_LENGTH = 65536;

struct WaveTableSet {
    float waves[WAVE_COUNT][WAVE_LEVELS][WAVE_LENGTH];
};

// The lower band edge of wave level k in Hz (level 0 from 0 Hz).
float waveBandEdge(int level);

// What the tables hold; the build runs these once.
void buildFilterTables(FilterTableSet& tables);
void buildWaveTables(WaveTableSet& tables);

// The tables as built (dsp/tables/TableData.cpp).
extern const FilterTableSet FILTER_TABLES asm("tarnwell_filter_tables");
extern const WaveTableSet WAVE_TABLES asm("tarnwell_wave_tables");
