#pragma once

// The editor's shared look: font descriptors, colours, the fonts each GUI size draws with, and
// the editor's own string tables.

#include "gui/GuiTypes.h"

// Font descriptors shared by the whole editor. Only gNormalFontVeryBiggger is drawn with (text at
// 200 %); the others complete the shared set.
extern CFontDesc* const gVerdanaSmall;
extern CFontDesc* const gVerdanaLarge;
extern CFontDesc* const gNormalFontVerySmaller;
extern CFontDesc* const gNormalFontVerySmallerBig;
extern CFontDesc* const gNormalFontManagerSmall;
extern CFontDesc* const gNormalFontManagerBig;
extern CFontDesc* const gNormalFontVeryBiggger;

inline constexpr CColor TURQUOISE_COLOR{1, 205, 190, 255};     // control text
inline constexpr CColor DARK_TURQUOISE_COLOR{0, 56, 56, 255};  // grids
// Dimmed value text: readable, at 3.5:1 on the panels (the grids' colour gave 1.3:1).
inline constexpr CColor DIMMED_TEXT_COLOR{0, 128, 120, 255};
inline constexpr CColor DELTA_BUTTON_COLOR{17, 104, 104, 255};  // option-menu step arrows

// Fonts by GUI size index (0, 1, 2).
const CFontDesc* menuFont(int guiSize);                     // option-menu text
const CFontDesc* arrowFont(int guiSize);                    // option-menu step arrows
const CFontDesc* readoutFont(int guiSize, bool smallFont);  // value readouts

inline constexpr int PRESET_SUB_MENU_COUNT = 4;
inline constexpr const char* PRESET_SUB_HEADER_STR[PRESET_SUB_MENU_COUNT] = {"Preset 1-32", "Preset 33-64",
                                                                             "Preset 65-96", "Preset 97-128"};
inline constexpr int ECS_STR_COUNT = 3;
inline constexpr const char* ECS_STR[ECS_STR_COUNT] = {"Load ECS", "Save ECS", "Clear MIDI"};
