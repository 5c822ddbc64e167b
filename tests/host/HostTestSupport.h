#pragma once

// What the host tests share: a fresh folder per test and the message of a refused action.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/HostError.h"

namespace tarnwell::test {

// A fresh folder under $TARNWELL_TEST_TMP (or the system's), removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TARNWELL_TEST_TMP");
        const std::filesystem::path parent =
            base != nullptr && base[0] != '\0' ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "host-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
        root = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path(const std::string& name) const { return (root / name).string(); }

    // Every entry's name, hidden ones included, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(root)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

private:
    std::filesystem::path root;
};

// The message of the HostError an action throws; empty when it throws none.
inline std::string errorMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const HostError& e) {
        return e.what();
    }
    return "";
}

}  // namespace tarnwell::test
