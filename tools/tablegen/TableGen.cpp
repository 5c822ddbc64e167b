// Writes the DSP lookup tables as raw bytes for the build to link in: the filter tables to the
// first file, the shaper's waves to the second.
//
// Usage: tarnwell_tablegen FILTER_TABLES_FILE WAVE_TABLES_FILE

#include "dsp/DspTables.h"

#include <cstdio>
#include <memory>

namespace {

template <typename Tables>
bool write(const char* path, void (*build)(Tables&)) {
    const auto tables = std::make_unique<Tables>();
    build(*tables);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(tables.get(), sizeof(Tables), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FILTER_TABLES_FILE WAVE_TABLES_FILE\n", argv[0]);
        return 2;
    }
    if (!write(argv[1], buildFilterTables) || !write(argv[2], buildWaveTables)) {
        std::perror("tarnwell_tablegen");
        return 1;
    }
    return 0;
}
