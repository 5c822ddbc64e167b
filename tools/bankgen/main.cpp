// tarnwell_bankgen <presets folder> <output .cpp>: turns the factory preset sources into the
// bank table. On any fault it prints "file:line: message", writes nothing and fails.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/bankgen/BankSource.h"
#include "tools/bankgen/BankWriter.h"
#include "tools/bankgen/Catalogue.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tarnwell_bankgen <presets folder> <output .cpp>\n";
        return 2;
    }
    const std::filesystem::path output = argv[2];
    try {
        const Catalogue catalogue;
        const std::vector<PresetSource> presets = loadBank(catalogue, argv[1]);
        const std::filesystem::path temporary = output.string() + ".tmp";
        {
            std::ofstream out(temporary);
            writeBankSource(presets, out);
            if (!out.flush()) {
                std::cerr << output.string() << ": cannot be written\n";
                return 1;
            }
        }
        std::filesystem::rename(temporary, output);
    } catch (const BankError& e) {
        std::cerr << e.what() << "\n";
        return 1;
    } catch (const std::filesystem::filesystem_error& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
