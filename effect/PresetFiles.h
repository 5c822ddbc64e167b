#pragma once

// The effect's small text files, one value per line: Block presets (.blp, a Block's 167 values
// in its row order), XY path presets (.xyp, the 82 values of its XY part), modulation presets
// (.mod, a version word and the matrix's 16 values) and controller maps (.ecs, the parameter of
// each of the 128 controllers). Reading checks the whole file before anything is applied;
// writing replaces a file only once the new one is complete.

#include <cstdint>
#include <string>

namespace presetfile {

enum class Kind { Block, XYPath, Modulation };

inline constexpr int CONTROLLERS = 128;
inline constexpr int MOD_VALUES = 16;
inline constexpr int MAPPABLE_PARAMETER_END = 800;  // the highest index a controller map holds

int valueCount(Kind kind);

// False, with values untouched, for a file that is missing, unreadable, a folder or larger than
// any preset; a word that is no number; a value outside [0, 1] (NaN included); too few values;
// and for Block and XY presets anything but blanks after the last value. The modulation
// preset's first word is its version, which is not compared but may not be a number (a file of
// values only is another kind); what follows its 16th value is not looked at.
bool readValues(const char* path, Kind kind, float* values);
// Each value in fixed notation with at least six decimals and as many more as it takes to
// read back exactly.
std::string valuesText(Kind kind, const float* values);

// Exactly 128 whole numbers from 0 to 800, else false with map untouched.
bool readControllerMap(const char* path, int32_t (&map)[CONTROLLERS]);
std::string controllerMapText(const int32_t (&map)[CONTROLLERS]);

// Writes text to a new file beside path and renames it over path: false, with any file at path
// as it was, when any step fails.
bool writeAtomically(const char* path, const std::string& text);

}  // namespace presetfile
