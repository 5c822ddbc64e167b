#pragma once

// Display texts of every choice the effect offers, indexed by the option number that the
// choice parameter encodes. Shared read-only by the value text, the destination names and the
// editor's menus; readers index them with 0..count-1 only.

inline constexpr int OPTION_TEXT_MAX_LENGTH = 20;

inline constexpr int PATH_STR_COUNT = 6;
inline constexpr int BLOCK_TYPE_STR_COUNT = 7;
inline constexpr int FILTER_MODE_STR_COUNT = 37;
inline constexpr int VOWEL_STR_COUNT = 5;
inline constexpr int COMB_MODE_STR_COUNT = 2;
inline constexpr int SHAPER_MODE_STR_COUNT = 6;
inline constexpr int WAVE_STR_COUNT = 4;
inline constexpr int SHAPER_LOWFI_FILTER_STR_COUNT = 4;
inline constexpr int GRAIN_SYNCED_LENGTH_STRING_COUNT = 21;
inline constexpr int GRAIN_MODE_STR_COUNT = 6;
inline constexpr int DELAY_LEN_STR_COUNT = 15;
inline constexpr int FOLLOWER_SOURCE_STR_COUNT = 5;
inline constexpr int MOD_DESTINATION_STR_COUNT = 90;
inline constexpr int MOD_SOURCE_STR_COUNT = 59;
inline constexpr int MOD_SOURCE_SHORT_STR_COUNT = 59;
inline constexpr int XY_PLAY_MODE_STR_COUNT = 4;
inline constexpr int XY_LOOP_MODE_STR_COUNT = 3;
inline constexpr int XY_SPACE_QUANT_STR_COUNT = 5;
inline constexpr int XY_POINT_QUANT_STR_COUNT = 5;
inline constexpr int XY_SYNC_STR_COUNT = 31;
inline constexpr int XY_SPEED_STR_COUNT = 17;
inline constexpr int XY_SPEED_SHORT_STR_COUNT = 17;
inline constexpr int GATER_STEPS_STR_COUNT = 16;
inline constexpr int GATER_LOOP_STR_COUNT = 3;

// The wave and vowel knobs are continuous; their value text names row trunc(v * scale).
inline constexpr float WAVE_TEXT_SCALE = 3.99f;
inline constexpr float VOWEL_TEXT_SCALE = 4.99f;

extern const char* const PATH_STR[PATH_STR_COUNT];
extern const char* const BLOCK_TYPE_STR[BLOCK_TYPE_STR_COUNT];
extern const char* const FILTER_MODE_STR[FILTER_MODE_STR_COUNT];
extern const char* const VOWEL_STR[VOWEL_STR_COUNT];
extern const char* const COMB_MODE_STR[COMB_MODE_STR_COUNT];
extern const char* const SHAPER_MODE_STR[SHAPER_MODE_STR_COUNT];
extern const char* const WAVE_STR[WAVE_STR_COUNT];
extern const char* const SHAPER_LOWFI_FILTER_STR[SHAPER_LOWFI_FILTER_STR_COUNT];
extern const char* const GRAIN_SYNCED_LENGTH_STRING[GRAIN_SYNCED_LENGTH_STRING_COUNT];
extern const char* const GRAIN_MODE_STR[GRAIN_MODE_STR_COUNT];
extern const char* const DELAY_LEN_STR[DELAY_LEN_STR_COUNT];
extern const char* const FOLLOWER_SOURCE_STR[FOLLOWER_SOURCE_STR_COUNT];
extern const char* const MOD_DESTINATION_STR[MOD_DESTINATION_STR_COUNT];
extern const char* const MOD_SOURCE_STR[MOD_SOURCE_STR_COUNT];
extern const char* const MOD_SOURCE_SHORT_STR[MOD_SOURCE_SHORT_STR_COUNT];
extern const char* const XY_PLAY_MODE_STR[XY_PLAY_MODE_STR_COUNT];
extern const char* const XY_LOOP_MODE_STR[XY_LOOP_MODE_STR_COUNT];
extern const char* const XY_SPACE_QUANT_STR[XY_SPACE_QUANT_STR_COUNT];
extern const char* const XY_POINT_QUANT_STR[XY_POINT_QUANT_STR_COUNT];
extern const char* const XY_SYNC_STR[XY_SYNC_STR_COUNT];
extern const char* const XY_SPEED_STR[XY_SPEED_STR_COUNT];
extern const char* const XY_SPEED_SHORT_STR[XY_SPEED_SHORT_STR_COUNT];
extern const char* const GATER_STEPS_STR[GATER_STEPS_STR_COUNT];
extern const char* const GATER_LOOP_STR[GATER_LOOP_STR_COUNT];

// Filter modes from this one up to the shelf modes are the vowel modes; from the first shelf
// mode on the filter has a gain. Names and value texts switch on these ranges.
inline constexpr int FILTER_MODE_FIRST_VOWEL = 31;
inline constexpr int FILTER_MODE_FIRST_SHELF = 34;
inline constexpr int SHAPER_MODE_RING = 0;
inline constexpr int SHAPER_MODE_LOWFI = 5;
