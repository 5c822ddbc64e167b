#pragma once

// The 63 factory presets, generated at build time from effect/presets/*.txt (tools/bankgen).
// Each preset's parameters 800-827 spell its own name.

constexpr int FACTORY_PRESET_COUNT = 63;
constexpr int FACTORY_PRESET_NAME_LENGTH = 28;

extern const float DEMOVAR[FACTORY_PRESET_COUNT][1024];
extern const char* const FACTORY_PRESET_NAMES[FACTORY_PRESET_COUNT];
