#include <gtest/gtest.h>

#include <cairo.h>
#include <libdeflate.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "gui/PngDecoder.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

namespace {

// Noise written by libpng with the filter forced, in image data chunks of 100 bytes; RGBA
// alpha runs through 0, 255 and values between.
void writeNoise(const std::string& path, int w, int h, int colour = PNG_COLOR_TYPE_RGB_ALPHA,
                int filter = PNG_ALL_FILTERS, int depth = 8, bool interlaced = false,
                bool colourKey = false) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colour,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, 0, 0);
    png_color_16 key{0, 10, 20, 30, 0};
    if (colourKey) png_set_tRNS(png, info, nullptr, 0, &key);
    png_set_gAMA(png, info, 0.8);  // ignored by both readers
    png_set_filter(png, 0, filter);
    png_set_compression_buffer_size(png, 100);
    png_write_info(png, info);
    std::mt19937 random(static_cast<unsigned>(w * h));
    std::vector<std::vector<uint8_t>> rows(size_t(h), std::vector<uint8_t>(png_get_rowbytes(png, info)));
    std::vector<png_bytep> pointers;
    for (std::vector<uint8_t>& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = colour == PNG_COLOR_TYPE_RGB_ALPHA && i % 12 == 3 ? 0
                     : i % 12 == 7                                     ? 255
                                                                       : uint8_t(random());
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

bool sameSurface(cairo_surface_t* a, cairo_surface_t* b) {
    const int h = cairo_image_surface_get_height(a), stride = cairo_image_surface_get_stride(a);
    return cairo_image_surface_get_format(a) == cairo_image_surface_get_format(b) &&
           cairo_image_surface_get_width(a) == cairo_image_surface_get_width(b) &&
           h == cairo_image_surface_get_height(b) && stride == cairo_image_surface_get_stride(b) &&
           std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       size_t(h * stride)) == 0;
}

uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xffffffffu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string bigEndian(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A chunk as it sits in the file: length, type, body, checksum.
std::string chunk(const std::string& type, const std::string& body) {
    return bigEndian(uint32_t(body.size())) + type + body + bigEndian(crc32(type + body));
}

// This process's peak and current address space in kB.
long statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name, 0) == 0) return std::stol(line.substr(std::strlen(name)));
    return -1;
}

}  // namespace

TEST(PngDecoding, GivesCairosPixelsForEveryFilterAndLeavesTheRestToCairo) {
    BitmapFolder folder;
    const std::string path = folder.path(100);
    for (int colour : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA})
        for (int filter :
             {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
            writeNoise(path, 37, 23, colour, filter);
            cairo_surface_t* fast = tarnwell::gui::decodePng(path);
            cairo_surface_t* reference = cairo_image_surface_create_from_png(path.c_str());
            ASSERT_NE(fast, nullptr) << colour << " " << filter;
            EXPECT_TRUE(sameSurface(fast, reference)) << colour << " " << filter;
            cairo_surface_destroy(fast);
            cairo_surface_destroy(reference);
        }

    // Grey, 16 bits, interlaced, a colour key: cairo's reader loads them.
    for (int kind = 0; kind < 4; ++kind) {
        writeNoise(path, 37, 23, kind == 0 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_ALL_FILTERS,
                   kind == 1 ? 16 : 8, kind == 2, kind == 3);
        EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr) << kind;
        auto* bitmap = new CBitmap(100);
        EXPECT_EQ(bitmap->getWidth(), 37) << kind;
        bitmap->forget();
    }

    // A wrong checksum on the last image data chunk, a cut file, no file: no picture.
    writeNoise(path, 37, 23);
    const std::string bytes = TempFolder::readFile(path);
    for (int damage = 0; damage < 3; ++damage) {
        std::string broken = bytes;
        if (damage == 0) broken[bytes.size() - 13] ^= 1;  // before IEND's 12 bytes
        if (damage == 1) broken.resize(bytes.size() - 20);
        TempFolder::writeFile(path, broken);
        if (damage == 2) std::remove(path.c_str());
        EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr) << damage;
        auto* bitmap = new CBitmap(100);
        EXPECT_FALSE(bitmap->isLoaded()) << damage;
        EXPECT_EQ(bitmap->getWidth(), 0) << damage;
        bitmap->forget();
    }

    // Image data that is whole and valid but holds 12 rows where the header says 23 (the header's
    // checksum made right): refused, never drawn from rows nothing wrote. Ahead of the data, an
    // ancillary chunk of zeros: where the file was read, rows nothing wrote would read as rows
    // of filter 0.
    writeNoise(path, 37, 12);
    std::string tall = TempFolder::readFile(path);
    tall[8 + 8 + 7] = 23;  // IHDR's height, low byte
    const auto putBig = [](std::string& to, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            to[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
    };
    putBig(tall, 8 + 8 + 13, libdeflate_crc32(0, tall.data() + 12, 17));
    std::string zeros = std::string(4, '\0') + "zeRo" + std::string(8000, '\0') + "0000";
    putBig(zeros, 0, 8000);
    putBig(zeros, 8 + 8000, libdeflate_crc32(0, zeros.data() + 4, 8004));
    tall.insert(8 + 25, zeros);
    TempFolder::writeFile(path, tall);
    EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr);
    auto* bitmap = new CBitmap(100);
    EXPECT_FALSE(bitmap->isLoaded());
    bitmap->forget();
}

// What the reference reader refuses, this one refuses too: chunk names that are not four letters,
// an empty palette in an RGB image. And it reserves no more than the image data can inflate to.
TEST(PngDecoding, RefusesWhatCairoRefusesAndReservesOnlyWhatTheDataCanHold) {
    BitmapFolder folder;
    const std::string path = folder.path(100);
    writeNoise(path, 37, 23, PNG_COLOR_TYPE_RGB);
    const std::string good = TempFolder::readFile(path);
    const auto afterHeader = [&](const std::string& inserted) {  // signature 8, IHDR 25 bytes
        TempFolder::writeFile(path, good.substr(0, 33) + inserted + good.substr(33));
    };
    const std::pair<std::string, std::string> refused[] = {
        {"gA1d", "x"}, {"gA d", "x"}, {std::string("g\0Md", 4), "x"}, {"g\x80Md", "x"}, {"PLTE", ""}};
    for (const auto& [type, body] : refused) {
        afterHeader(chunk(type, body));
        EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr) << type;
        cairo_surface_t* reference = cairo_image_surface_create_from_png(path.c_str());
        EXPECT_NE(cairo_surface_status(reference), CAIRO_STATUS_SUCCESS) << type;
        cairo_surface_destroy(reference);
    }
    // A palette of one colour, as an RGB image may suggest, is taken by both.
    afterHeader(chunk("PLTE", "abc"));
    cairo_surface_t* fast = tarnwell::gui::decodePng(path);
    cairo_surface_t* reference = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_NE(fast, nullptr);
    EXPECT_TRUE(sameSurface(fast, reference));
    cairo_surface_destroy(fast);
    cairo_surface_destroy(reference);

    // 32767 x 12700 pixels from 12 bytes of data (one stored byte): refused before the 1.66 GB
    // of pixels are reserved, by this reader and by the bitmap, which does not hand it on to
    // cairo's. In a child, whose peak address space starts where it stands.
    const std::string stored("\x78\x01\x01\x01\x00\xfe\xff\x00\x00\x01\x00\x01", 12);
    TempFolder::writeFile(
        path, good.substr(0, 8) +
                  chunk("IHDR", bigEndian(32767) + bigEndian(12700) + std::string("\x08\x06\0\0\0", 5)) +
                  chunk("IDAT", stored) + chunk("IEND", ""));
    const pid_t child = fork();
    if (child == 0) {
        const long before = statusField("VmSize:");
        bool damaged = false;
        const bool refusedIt = tarnwell::gui::decodePng(path, &damaged) == nullptr && damaged;
        auto* bitmap = new CBitmap(100);
        const bool bitmapRefused = !bitmap->isLoaded();
        bitmap->forget();
        _exit(refusedIt && bitmapRefused && statusField("VmPeak:") - before < 256 * 1024 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "reserved far more than 12 bytes can hold";
}

// Run under ThreadSanitizer: bitmaps are made and let go while the workers decode them.
TEST(BitmapLoading, ConcurrentDecodesAreSharedAndFreedWithTheLastBitmap) {
    BitmapFolder folder;
    for (long id = 200; id < 206; ++id) writeNoise(folder.path(id), 60, 200 + int(id));
    for (int round = 0; round < 20; ++round) {
        std::vector<CBitmap*> first, second;
        for (long id = 200; id < 206; ++id) first.push_back(new CBitmap(id));
        for (long id = 200; id < 206; ++id) second.push_back(new CBitmap(id));
        if (round == 0) {
            for (size_t i = 0; i < first.size(); ++i)
                EXPECT_EQ(first[i]->cairoSurface(), second[i]->cairoSurface());
            EXPECT_EQ(tarnwell::gui::bitmapMemory(), 60 * 4 * (400 + 401 + 402 + 403 + 404 + 405));
        }
        second[size_t(round) % 6]->isLoaded();  // the others go before their pixels were looked at
        for (CBitmap* b : first) b->forget();
        for (CBitmap* b : second) b->forget();
        ASSERT_EQ(tarnwell::gui::bitmapMemory(), 0) << round;
    }

    // Once the last bitmap is gone, the file is read afresh.
    writeNoise(folder.path(200), 30, 40);
    auto* changed = new CBitmap(200);
    EXPECT_EQ(changed->getHeight(), 40);
    changed->forget();
}
