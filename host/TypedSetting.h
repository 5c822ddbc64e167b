#pragma once

// --type on the command line: text read as the editor's type-in reads it, but never misread
// without a word. The type-in of the editor's dialog skips what follows a number ("30L" would
// set 30R there); the command line takes a number, a text the parameter shows (30L, 56D, 100ms,
// 8Bits, an option's name) or a number in the unit it shows (1200hz, 1.2k, 37%), and refuses
// anything else with a line saying what it takes.

#include <cstdint>
#include <string>

#include "host/CommandLine.h"
#include "host/ComponentHost.h"

// The value the setting's text gives parameter id, named name; throws HostError when the text
// would be misread or the parameter takes no typed value.
float typedSettingValue(ComponentHost& component, std::uint32_t id, const std::string& name,
                        const ParameterSetting& setting);
