#pragma once

// A small read-only binary file reader with reads that reverse the byte order of multi-byte
// values written the other way round.

#include <cstdio>

class apFile {
public:
    apFile() = default;
    ~apFile() { close(); }
    apFile(const apFile&) = delete;
    apFile& operator=(const apFile&) = delete;

    // 1 with the file open at its start; 0 when a file is open already or path names no
    // readable file.
    int open(const char* path);
    // Up to count bytes in file order; the number read (0 with no file open).
    long readHE(void* buffer, long count);
    long readSTR(void* buffer, long count) { return readHE(buffer, count); }
    // count bytes read one at a time and stored last first: the first byte read lands in
    // buffer[count - 1]. The number read; 0 with no file open or a count below 1.
    long readLE(void* buffer, long count);
    // The size of the file at path without opening it, held at the largest int32; -1 (and a
    // line on standard output) when there is no such file.
    static int getSize(const char* path);
    void close();

private:
    std::FILE* stream = nullptr;
};
