#include <gtest/gtest.h>

#include <cairo.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "gui/PngDecoder.h"
#include "tests/gui/GuiTestSupport.h"

using namespace tarnwell::test;

namespace {

struct PngKind {
    int colour = PNG_COLOR_TYPE_RGB_ALPHA;
    int depth = 8;
    int filter = PNG_ALL_FILTERS;
    bool interlaced = false;
    bool colourKey = false;
};

// Noise written by libpng with the filter forced, in IDAT chunks of 100 bytes. Alpha runs
// through 0, 255 and values in between.
void writeNoise(const std::string& path, int w, int h, const PngKind& kind, unsigned seed = 1) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), kind.depth, kind.colour,
                 kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::mt19937 random(seed);
    if (kind.colour == PNG_COLOR_TYPE_PALETTE) {
        std::vector<png_color> palette(256);
        for (png_color& c : palette) c = {uint8_t(random()), uint8_t(random()), uint8_t(random())};
        png_set_PLTE(png, info, palette.data(), 256);
    }
    png_color_16 key{0, 10, 20, 30, 0};
    if (kind.colourKey) png_set_tRNS(png, info, nullptr, 0, &key);
    png_set_gAMA(png, info, 0.8);  // ignored by both readers
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kind.filter);
    png_set_compression_buffer_size(png, 100);
    png_write_info(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    const int passes = kind.interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        std::mt19937 rows(seed);
        for (int y = 0; y < h; ++y) {
            for (size_t i = 0; i < row.size(); ++i) row[i] = uint8_t(rows());
            if (kind.colour == PNG_COLOR_TYPE_RGB_ALPHA && kind.depth == 8)
                for (size_t x = 3; x < row.size(); x += 4)
                    row[x] = x % 12 == 3 ? 0 : x % 12 == 7 ? 255 : row[x];
            png_write_row(png, row.data());
        }
    }
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
                       size_t(h) * stride) == 0;
}

}  // namespace

TEST(PngDecoding, GivesCairosPixelsForEveryFilterAndLeavesTheRestToCairo) {
    BitmapFolder folder;
    const std::string path = folder.path(100);
    for (int colour : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA}) {
        for (int filter :
             {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
            writeNoise(path, 37, 23, {colour, 8, filter});
            cairo_surface_t* fast = tarnwell::gui::decodePng(path);
            cairo_surface_t* reference = cairo_image_surface_create_from_png(path.c_str());
            ASSERT_NE(fast, nullptr) << colour << " " << filter;
            EXPECT_TRUE(sameSurface(fast, reference)) << colour << " " << filter;
            cairo_surface_destroy(fast);
            cairo_surface_destroy(reference);
        }
    }

    // Other kinds still load, through cairo's reader.
    const PngKind others[] = {{PNG_COLOR_TYPE_GRAY},
                              {PNG_COLOR_TYPE_PALETTE},
                              {PNG_COLOR_TYPE_RGB_ALPHA, 16},
                              {PNG_COLOR_TYPE_RGB, 8, PNG_ALL_FILTERS, true},
                              {PNG_COLOR_TYPE_RGB, 8, PNG_ALL_FILTERS, false, true}};
    for (const PngKind& kind : others) {
        writeNoise(path, 37, 23, kind);
        EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr) << kind.colour;
        auto* bitmap = new CBitmap(100);
        EXPECT_EQ(bitmap->getWidth(), 37) << kind.colour;
        bitmap->forget();
    }

    // Damage: a wrong checksum on the last image data chunk, a cut file. Neither reader gives
    // a picture.
    writeNoise(path, 37, 23, {});
    std::vector<char> bytes(std::filesystem::file_size(path));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    for (int damage = 0; damage < 2; ++damage) {
        std::vector<char> broken = bytes;
        if (damage == 0)
            broken[bytes.size() - 13] ^= 1;  // before IEND's 12 bytes
        else
            broken.resize(bytes.size() - 20);
        file = std::fopen(path.c_str(), "wb");
        std::fwrite(broken.data(), 1, broken.size(), file);
        std::fclose(file);
        EXPECT_EQ(tarnwell::gui::decodePng(path), nullptr) << damage;
        auto* bitmap = new CBitmap(100);
        EXPECT_FALSE(bitmap->isLoaded()) << damage;
        bitmap->forget();
    }
}

// Run under ThreadSanitizer: bitmaps are made and let go while the workers decode them.
TEST(BitmapLoading, ConcurrentDecodesAreSharedAndFreedWithTheLastBitmap) {
    BitmapFolder folder;
    for (long id = 200; id < 206; ++id) writeNoise(folder.path(id), 60, 200, {}, static_cast<unsigned>(id));
    for (int round = 0; round < 20; ++round) {
        std::vector<CBitmap*> first, second;
        for (long id = 200; id < 206; ++id) first.push_back(new CBitmap(id));
        for (long id = 200; id < 206; ++id) second.push_back(new CBitmap(id));
        if (round == 0) {
            for (size_t i = 0; i < first.size(); ++i)
                EXPECT_EQ(first[i]->cairoSurface(), second[i]->cairoSurface());
            EXPECT_EQ(tarnwell::gui::bitmapMemory(), 6 * 60 * 200 * 4);
        }
        // Some go before their pixels were ever looked at, some after.
        second[size_t(round) % 6]->isLoaded();
        for (CBitmap* b : first) b->forget();
        for (CBitmap* b : second) b->forget();
        ASSERT_EQ(tarnwell::gui::bitmapMemory(), 0) << round;
    }

    // Once the last bitmap is gone, the file is read afresh.
    writeNoise(folder.path(200), 30, 40, {});
    auto* changed = new CBitmap(200);
    EXPECT_EQ(changed->getHeight(), 40);
    changed->forget();
}
