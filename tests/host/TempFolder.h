#pragma once

// A fresh folder under $TARNWELL_TEST_TMP (or the system's) for one test, removed afterwards.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell::test {

class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TARNWELL_TEST_TMP");
        const std::filesystem::path parent = base != nullptr && base[0] != '\0'
                                                 ? std::filesystem::path(base)
                                                 : std::filesystem::temp_directory_path();
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
        for (const auto& e : std::filesystem::directory_iterator(root))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }

private:
    std::filesystem::path root;
};

}  // namespace tarnwell::test
