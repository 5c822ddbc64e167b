#pragma once

// A private preferences home for one test: a fresh folder under $TARNWELL_TEST_TMP (or the
// system temporary folder) with the user and system stores pointed at it through the
// environment, so no test ever touches a real user's settings. Removed again at the end.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tarnwell::test {

class PreferencesSandbox {
public:
    PreferencesSandbox() {
        const char* base = std::getenv("TARNWELL_TEST_TMP");
        std::filesystem::path parent = base != nullptr && base[0] != '\0'
                                           ? std::filesystem::path(base)
                                           : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "prefs-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
        root = pattern;
        std::filesystem::create_directories(systemFolder());
        setenv("XDG_CONFIG_HOME", userFolder().c_str(), 1);
        setenv("TARNWELL_SYSTEM_PREFS_DIR", systemFolder().c_str(), 1);
    }
    ~PreferencesSandbox() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    PreferencesSandbox(const PreferencesSandbox&) = delete;
    PreferencesSandbox& operator=(const PreferencesSandbox&) = delete;

    std::string userFolder() const { return (root / "user").string(); }
    std::string systemFolder() const { return (root / "system").string(); }
    std::string userFile(const std::string& domain) const { return userFolder() + "/" + domain + ".plist"; }
    std::string systemFile(const std::string& domain) const { return systemFolder() + "/" + domain + ".plist"; }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static void write(const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    }

    // An XML property list holding one dictionary of the given <key>/<value> elements.
    static std::string plist(const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + body +
               "</dict>\n</plist>\n";
    }

private:
    std::filesystem::path root;
};

}  // namespace tarnwell::test
