#pragma once

#include <ostream>
#include <vector>

#include "tools/bankgen/BankSource.h"

// Writes the C++ source that defines DEMOVAR and FACTORY_PRESET_NAMES (effect/FactoryBank.h).
void writeBankSource(const std::vector<PresetSource>& presets, std::ostream& out);
