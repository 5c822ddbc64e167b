#pragma once

// A private preferences home for one test, so no test touches a real user's settings.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TempFolder.h"

namespace tarnwell::test {

class PreferencesSandbox {
public:
    PreferencesSandbox() {
        std::filesystem::create_directories(systemFolder());
        setenv("XDG_CONFIG_HOME", userFolder().c_str(), 1);
        setenv("TARNWELL_SYSTEM_PREFS_DIR", systemFolder().c_str(), 1);
    }

    std::string userFolder() const { return root.path("user"); }
    std::string systemFolder() const { return root.path("system"); }
    std::string userFile(const std::string& domain) const { return userFolder() + "/" + domain + ".plist"; }
    std::string systemFile(const std::string& domain) const {
        return systemFolder() + "/" + domain + ".plist";
    }

    static std::string read(const std::string& path) { return TempFolder::readFile(path); }
    static void write(const std::string& path, const std::string& text) { TempFolder::writeFile(path, text); }

    // An XML property list holding one dictionary of the given <key>/<value> elements.
    static std::string plist(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body +
               "</dict>\n</plist>\n";
    }

private:
    TempFolder root;
};

}  // namespace tarnwell::test
