#pragma once

// A fresh folder for one test under $TARNWELL_TEST_TMP, removed at the end; whole-file I/O.

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell::test {

class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TARNWELL_TEST_TMP");
        const std::filesystem::path parent =
            base != nullptr && base[0] != '\0' ? base : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "test-XXXXXX").string();
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

    void write(const std::string& name, const std::string& bytes) const { writeFile(path(name), bytes); }
    std::string read(const std::string& name) const { return readFile(path(name)); }

    static std::string readFile(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static void writeFile(const std::string& file, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::filesystem::path root;
};

}  // namespace tarnwell::test
