#pragma once

#include <array>
#include <filesystem>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

class Catalogue;

// A fault in the preset sources, reported as "file:line: message" (no line for whole-file
// and whole-bank faults).
class BankError : public std::runtime_error {
public:
    BankError(std::string file, int line, const std::string& message);
    const std::string file;
    const int line;
};

// A choice as the source wrote it, kept so that the bank can be checked against its source.
struct ChoiceUse {
    int index;
    int option;
    std::string text;
};

struct PresetSource {
    std::string file;
    std::string name;
    int nameLine = 0;
    std::array<float, 1024> values{};
    std::vector<ChoiceUse> choices;
};

constexpr int BANK_SIZE = 63;
constexpr int PRESET_NAME_MAX = 28;

// One preset file. Throws BankError naming `file` and the line at fault.
PresetSource parsePreset(const Catalogue& catalogue, const std::string& file, std::istream& in);

// Every NN-*.txt of `folder`, in NN order; NN must run 00..62 without gaps. Throws BankError.
std::vector<PresetSource> loadBank(const Catalogue& catalogue, const std::filesystem::path& folder);
