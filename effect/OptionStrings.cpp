#include "effect/OptionStrings.h"

const char* const PATH_STR[PATH_STR_COUNT] = {
    "Delay > B1 > B2 > B3", "B1 > Delay > B2 > B3", "B1 > B2 > Delay > B3",
    "B1 > B2 > B3 > Delay", "Delay > Parallel",     "Parallel > Delay",
};

const char* const BLOCK_TYPE_STR[BLOCK_TYPE_STR_COUNT] = {
    "Off", "Filter", "Comb", "Shaper", "Room", "Gater", "Grain",
};

const char* const FILTER_MODE_STR[FILTER_MODE_STR_COUNT] = {
    "Bypass",      "LP 6dB",     "HP 6dB",   "LP1 12dB",    "HP1 12dB",  "BP1 12dB",  "Notch1 12dB",
    "LP2 12dB",    "HP2 12dB",   "BP2 12dB", "Notch2 12dB", "LPZ 12dB",  "HPZ 12dB",  "BPZ 12dB",
    "NotchZ 12dB", "LP 18dB",    "HP 18dB",  "LP1 24dB",    "HP1 24dB",  "BP1 24dB",  "Notch1 24dB",
    "LP2 24dB",    "HP2 24dB",   "BP2 24dB", "Notch2 24dB", "LPZ 24dB",  "HPZ 24dB",  "BPZ 24dB",
    "NotchZ 24dB", "LP 36dB",    "HP 36dB",  "Vowel",       "Formant 1", "Formant 2", "Low Shelf",
    "High Shelf",  "Peak Shelf",
};

const char* const VOWEL_STR[VOWEL_STR_COUNT] = {"A", "E", "I", "O", "U"};

const char* const COMB_MODE_STR[COMB_MODE_STR_COUNT] = {"Comb Pos", "Comb Neg"};

const char* const SHAPER_MODE_STR[SHAPER_MODE_STR_COUNT] = {
    "Ring Mod", "Freq Mod", "Phase Mod", "Amp Mod", "Sym Mod", "Low-Fi",
};

const char* const WAVE_STR[WAVE_STR_COUNT] = {"Sine", "Tri", "Sqr", "Saw"};

const char* const SHAPER_LOWFI_FILTER_STR[SHAPER_LOWFI_FILTER_STR_COUNT] = {"Off", "LP", "HP", "BP"};

const char* const GRAIN_SYNCED_LENGTH_STRING[GRAIN_SYNCED_LENGTH_STRING_COUNT] = {
    "1/64T", "1/64", "1/64*", "1/32T", "1/32", "1/32*", "1/16T", "1/16", "1/16*", "1/8T", "1/8",
    "1/8*",  "1/4T", "1/4",   "1/4*",  "1/2T", "1/2",   "1/2*",  "1/1T", "1/1",   "1/1*",
};

const char* const GRAIN_MODE_STR[GRAIN_MODE_STR_COUNT] = {
    "Ping", "Ping Sync", "Loop", "Loop Sync", "Off", "Off Sync",
};

const char* const DELAY_LEN_STR[DELAY_LEN_STR_COUNT] = {
    "1/32T", "1/32", "1/32*", "1/16T", "1/16", "1/16*", "1/8T", "1/8",
    "1/8*",  "1/4T", "1/4",   "1/4*",  "1/2T", "1/2",   "1/2*",
};

const char* const FOLLOWER_SOURCE_STR[FOLLOWER_SOURCE_STR_COUNT] = {
    "Input", "Block 1", "Block 2", "Block 3", "Output",
};

const char* const MOD_DESTINATION_STR[MOD_DESTINATION_STR_COUNT] = {
    // global
    "None",
    "Global Volume",
    "Global Dry",
    "Global Pan",
    // Block 1
    "B1 Dist",
    "Filter Frequency",
    "Filter Q",
    "Filter Vowel",
    "Filter Other",
    "Filter 2",
    "B1 Gater Speed",
    "B1 Gater Swing",
    "B1 Gater Smooth",
    "B1 Gater Off",
    "B1 Gater On",
    "B1 Spread",
    "B1 Pan",
    "B1 Mix",
    "B1 Vol",
    "X > B1 Freq",
    "X > Filter Q",
    "X > Filter Vowel",
    "Y > B1 Freq",
    "Y > Filter Q",
    "Y > Filter Vowel",
    "Block 1 XY Speed",
    "Block 1 XY Smooth",
    // Block 2
    "B2 Dist",
    "Filter Frequency",
    "Filter Q",
    "Filter Vowel",
    "Filter Other",
    "Filter 2",
    "B2 Gater Speed",
    "B2 Gater Swing",
    "B2 Gater Smooth",
    "B2 Gater Off",
    "B2 Gater On",
    "B2 Spread",
    "B2 Pan",
    "B2 Mix",
    "B2 Vol",
    "X > B2 Freq",
    "X > Filter Q",
    "X > Filter Vowel",
    "Y > B2 Freq",
    "Y > Filter Q",
    "Y > Filter Vowel",
    "Block 2 XY Speed",
    "Block 2 XY Smooth",
    // Block 3
    "B3 Dist",
    "Filter Frequency",
    "Filter Q",
    "Filter Vowel",
    "Filter Other",
    "Filter 2",
    "B3 Gater Speed",
    "B3 Gater Swing",
    "B3 Gater Smooth",
    "B3 Gater Off",
    "B3 Gater On",
    "B3 Spread",
    "B3 Pan",
    "B3 Mix",
    "B3 Vol",
    "X > B3 Freq",
    "X > Filter Q",
    "X > Filter Vowel",
    "Y > B3 Freq",
    "Y > Filter Q",
    "Y > Filter Vowel",
    "Block 3 XY Speed",
    "Block 3 XY Smooth",
    // Delay
    "Delay Speed",
    "Delay Left",
    "Delay Right",
    "Delay Fine",
    "Delay Feed",
    "Delay Cross",
    "Delay LP",
    "Delay HP",
    "Delay Mix",
    // follower
    "Follower Boost",
    "Follower Smooth",
    "Follower Thresh",
    "Follower Hold",
    // modulation amounts
    "Mod 1 Amount",
    "Mod 2 Amount",
    "Mod 3 Amount",
    "Mod 4 Amount",
};

const char* const MOD_SOURCE_STR[MOD_SOURCE_STR_COUNT] = {
    "None",
    "Mod Wheel",
    "Mod/After",
    "Channel After",
    "Poly After",
    "Velocity",
    "Pitchbend",
    "Breath",
    "Foot",
    "Expression",
    "CC16",
    "CC17",
    "CC18",
    "CC19",
    "CC20",
    "CC21",
    "CC84",
    "CC85",
    "CC86",
    "CC87",
    "CC88",
    "CC89",
    "CC90",
    "Note",
    "Center Note",
    "Note Random 1",
    "Note Random 2",
    "Follower",
    "Block 1 Gater Left",
    "Block 1 Gater Right",
    "Block 1 X",
    "Block 1 Polar X",
    "Block 1 Y",
    "Block 1 Polar Y",
    "Block 2 Gater Left",
    "Block 2 Gater Right",
    "Block 2 X",
    "Block 2 Polar X",
    "Block 2 Y",
    "Block 2 Polar Y",
    "Block 3 Gater Left",
    "Block 3 Gater Right",
    "Block 3 X",
    "Block 3 Polar X",
    "Block 3 Y",
    "Block 3 Polar Y",
    "Input",
    "Unipolar Input",
    "Block 1 Out",
    "Block 1 Unipolar Out",
    "Block 2 Out",
    "Block 2 Unipolar Out",
    "Block 3 Out",
    "Block 3 Unipolar Out",
    "Out",
    "Unipolar Out",
    "Offset",
    "White Noise",
    "Unipolar White Noise",
};

const char* const MOD_SOURCE_SHORT_STR[MOD_SOURCE_SHORT_STR_COUNT] = {
    "None",       "Mod Wheel",  "Mod/After",  "Ch After",    "Poly After", "Velocity",   "Pitchbend",
    "Breath",     "Foot",       "Expression", "CC16",        "CC17",       "CC18",       "CC19",
    "CC20",       "CC21",       "CC84",       "CC85",        "CC86",       "CC87",       "CC88",
    "CC89",       "CC90",       "Note",       "Center Note", "Note Rnd 1", "Note Rnd 2", "Follower",
    "B1 Gater L", "B1 Gater R", "B1 X",       "B1 Polar X",  "B1 Y",       "B1 Polar Y", "B2 Gater L",
    "B2 Gater R", "B2 X",       "B2 Polar X", "B2 Y",        "B2 Polar Y", "B3 Gater L", "B3 Gater R",
    "B3 X",       "B3 Polar X", "B3 Y",       "B3 Polar Y",  "Input",      "Uni Input",  "B1 Out",
    "B1 Uni Out", "B2 Out",     "B2 Uni Out", "B3 Out",      "B3 Uni Out", "Out",        "Uni Out",
    "Offset",     "Noise",      "Uni Noise",
};

const char* const XY_PLAY_MODE_STR[XY_PLAY_MODE_STR_COUNT] = {"Free", "Trigger", "Follower", "Note"};

const char* const XY_LOOP_MODE_STR[XY_LOOP_MODE_STR_COUNT] = {"Off", "On", "<>"};

const char* const XY_SPACE_QUANT_STR[XY_SPACE_QUANT_STR_COUNT] = {"Off", "32", "16", "8", "4"};

const char* const XY_POINT_QUANT_STR[XY_POINT_QUANT_STR_COUNT] = {"32", "16", "8", "4", "2"};

const char* const XY_SYNC_STR[XY_SYNC_STR_COUNT] = {
    "Off",  "1/32T", "1/32", "1/32*", "1/16T", "1/16", "1/16*", "1/8T", "1/8",   "1/8*", "1/4T",
    "1/4",  "1/4*",  "1/2T", "1/2",   "1/2*",  "1/1T", "1/1",   "1/1*", "2/1T",  "2/1",  "2/1*",
    "4/1T", "4/1",   "4/1*", "8/1T",  "8/1",   "8/1*", "16/1T", "16/1", "16/1*",
};

const char* const XY_SPEED_STR[XY_SPEED_STR_COUNT] = {
    "x1/16 bpm", "x1/12 bpm", "x1/8 bpm", "x1/6 bpm", "x1/4 bpm", "x1/3 bpm",
    "x1/2 bpm",  "x2/3 bpm",  "x1 bpm",   "x3/2 bpm", "x2 bpm",   "x3 bpm",
    "x4 bpm",    "x6 bpm",    "x8 bpm",   "x12 bpm",  "x16 bpm",
};

const char* const XY_SPEED_SHORT_STR[XY_SPEED_SHORT_STR_COUNT] = {
    "x1/16", "x1/12", "x1/8", "x1/6", "x1/4", "x1/3", "x1/2", "x2/3", "x1",
    "x3/2",  "x2",    "x3",   "x4",   "x6",   "x8",   "x12",  "x16",
};

const char* const GATER_STEPS_STR[GATER_STEPS_STR_COUNT] = {
    "01 Steps", "02 Steps", "03 Steps", "04 Steps", "05 Steps", "06 Steps", "07 Steps", "08 Steps",
    "09 Steps", "10 Steps", "11 Steps", "12 Steps", "13 Steps", "14 Steps", "15 Steps", "16 Steps",
};

const char* const GATER_LOOP_STR[GATER_LOOP_STR_COUNT] = {"Off", "Loop", "<>"};
