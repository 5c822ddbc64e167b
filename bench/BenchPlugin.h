#pragma once

// A whole effect for the benchmarks, built with its preference writes landing in a throw-away
// folder so no benchmark touches a real user's settings.

#include "effect/APlugin.h"

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tarnwell::bench {

inline std::unique_ptr<APlugin> sandboxedPlugin() {
    std::string folder = (std::filesystem::temp_directory_path() / "tarnwell-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) folder.clear();
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    setenv("TARNWELL_SYSTEM_PREFS_DIR", folder.c_str(), 1);
    auto made = std::make_unique<APlugin>(nullptr);
    std::error_code ignored;
    if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    return made;
}

}  // namespace tarnwell::bench
