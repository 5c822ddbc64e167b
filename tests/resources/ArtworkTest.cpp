// The generated artwork: every bitmap the editor loads, at every size, with the sizes its
// controls derive from them, drawn the same way on every build.

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "resources/Layout.h"
#include "tests/support/Contrast.h"

namespace fs = std::filesystem;
using namespace art;

namespace {

fs::path generate(const std::string& name) {
    const fs::path dir = fs::path(std::getenv("TARNWELL_TEST_TMP")) / name;
    fs::remove_all(dir);
    const std::string command = std::string("'") + TARNWELL_ARTGEN + "' '" + dir.string() + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return dir;
}

std::string bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A decoded PNG: its size, whether it has alpha, clear and opaque pixels, and its colours.
struct Picture {
    int w = 0, h = 0;
    bool alpha = false, someClear = false, someOpaque = false;
    std::vector<uint32_t> argb;
    uint32_t rgb(int x, int y) const { return argb[static_cast<std::size_t>(y * w + x)] & 0xffffff; }
};

Picture read(const fs::path& file) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(file.string().c_str());
    Picture p;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        p.w = cairo_image_surface_get_width(s);
        p.h = cairo_image_surface_get_height(s);
        p.alpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const uint32_t v =
                    reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x];
                p.argb.push_back(v);
                p.someClear |= p.alpha && v >> 24 == 0;
                p.someOpaque |= p.alpha && v >> 24 == 255;
            }
    }
    cairo_surface_destroy(s);
    return p;
}

}  // namespace

TEST(Artwork, EveryBitmapAtEverySizeFollowsTheLayoutsSizeRules) {
    const fs::path dir = generate("artwork");
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) files += entry.path().extension() == ".png";
    EXPECT_EQ(files, 150);

    const int stacked[] = {3, 11, 14, 20, 21, 90, 91, 93, 94, 95, 96, 97, 98};
    for (int size = 0; size < SCALE_COUNT; ++size) {
        const Scale s = scaleOf(size);
        std::map<int, Picture> pics;
        for (const BitmapSpec& b : bitmapSpecs()) {
            SCOPED_TRACE("bitmap " + std::to_string(resourceId(b.k, size)));
            pics[b.k] = read(dir / (std::to_string(resourceId(b.k, size)) + ".png"));
            ASSERT_GT(pics[b.k].w, 0);
        }
        SCOPED_TRACE("size " + std::to_string(size));
        // Drawn at each size's own resolution.
        EXPECT_EQ(pics[0].w, s.px(1100));
        EXPECT_EQ(pics[0].h, s.px(730));
        EXPECT_EQ(pics[2].w, pics[0].w);
        EXPECT_EQ(pics[2].h, pics[0].h);
        EXPECT_EQ(pics[5].w, s.px(190));  // the preset menu and bank display are 190 x 22
        EXPECT_EQ(pics[5].h, s.px(22));

        // Every Block panel has the Off panel's size and fits its container beside the others.
        const Picture& off = pics[50];
        for (int k = 51; k <= 60; ++k) EXPECT_TRUE(pics[k].w == off.w && pics[k].h == off.h) << k;
        EXPECT_LE(s.px(21) + off.w, s.px(287));
        EXPECT_LE(s.px(287) + off.w, s.px(553));
        EXPECT_LE(s.px(553) + off.w, s.px(819));
        EXPECT_LE(s.px(140) + off.h, s.px(562));  // above the XY row's first controls

        for (int k = 30; k <= 35; ++k) {
            EXPECT_EQ(pics[k].h % KNOB_FRAMES, 0) << k;
            EXPECT_GT(pics[k].h / KNOB_FRAMES, 0) << k;
            EXPECT_TRUE(pics[k].alpha && pics[k].someClear) << k;
        }
        for (int k : stacked) EXPECT_EQ(pics[k].h % 2, 0) << k;

        const Picture& cursor = pics[46];
        EXPECT_EQ(cursor.w, cursor.h);
        EXPECT_TRUE(cursor.alpha && cursor.someClear && cursor.someOpaque);

        // Every panel paints the XY pad's field on exactly the pixels the pad covers once the
        // editor has truncated its position and size.
        const int x0 = s.px(XY_PAD.x), y0 = s.px(XY_PAD.y);
        const int x1 = x0 + s.px(XY_PAD.w) - 1, y1 = y0 + s.px(XY_PAD.h) - 1;
        const uint32_t field = 0x05090a;
        for (int k = 50; k <= 60; ++k) {
            EXPECT_EQ(pics[k].rgb(x0, y1), field) << k;
            EXPECT_EQ(pics[k].rgb(x1, y0 + 1), field) << k;
            EXPECT_NE(pics[k].rgb(x0 - 1, y1), field) << k;
            EXPECT_NE(pics[k].rgb(x1 + 1, y0 + 1), field) << k;
            EXPECT_NE(pics[k].rgb(x0, y1 + 1), field) << k;
        }
        // The same for a menu's well, whose design position falls between pixels at 150 %.
        const PxRect menu = menuRect(panelLayout(51).menus[0], s);
        const uint32_t edge = 0x010202;
        const int mid = menu.y + menu.h / 2;
        EXPECT_EQ(pics[51].rgb(menu.x, mid), edge);
        EXPECT_EQ(pics[51].rgb(menu.x + menu.w - 1, mid), edge);
        EXPECT_NE(pics[51].rgb(menu.x - 1, mid), edge);
        EXPECT_NE(pics[51].rgb(menu.x + menu.w, mid), edge);
    }

    // The build installed the same pictures and the manual into the bundle.
    const fs::path bundle = TARNWELL_RESOURCES_DIR;
    EXPECT_TRUE(fs::exists(bundle / "Tarnwell_Manual.html"));
    const fs::path again = generate("artwork-again");
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const std::string first = bytes(entry.path());
        EXPECT_EQ(first, bytes(again / name)) << name << " differs between two runs";
        EXPECT_EQ(first, bytes(bundle / name)) << name << " differs from the bundle's";
    }
}

// Text a musician reads stands out from its ground by at least 4.5:1, dimmed captions by 3:1;
// measured on the 200 % pictures, where text strokes have pixels of their full colour.
TEST(Artwork, TextStandsOutFromItsGround) {
    struct Rgb {
        int red, green, blue;
    };
    const fs::path bundle = TARNWELL_RESOURCES_DIR;
    const Scale s = scaleOf(2);
    const auto measure = [&](int k, int x0, int y0, int x1, int y1) {
        const Picture p = read(bundle / (std::to_string(resourceId(k, 2)) + ".png"));
        const auto at = [&p](int x, int y) {
            const uint32_t c = p.rgb(x, y);
            return Rgb{static_cast<int>(c >> 16 & 0xff), static_cast<int>(c >> 8 & 0xff),
                       static_cast<int>(c & 0xff)};
        };
        const Rgb ground = at(s.px(x0), s.px(y0));
        return tarnwell::test::contrastRatio(
            tarnwell::test::inkOf(at, s.px(x0), s.px(y0), s.px(x1), s.px(y1), ground), ground);
    };
    // The settings page's hints and its note on the window size.
    for (const SettingsRow& row : settingsRows())
        EXPECT_GE(measure(BMP_SETTINGS_PAGE, SETTINGS_SWITCH_X + 170, row.y, 850, row.y + 20), 4.5)
            << row.hint;
    EXPECT_GE(measure(BMP_SETTINGS_PAGE, 250, 662, 850, 676), 4.5);
    // The matrix hint, the bank's label and the line of help at the foot of the main page.
    EXPECT_GE(measure(BMP_BACKGROUND, 827, 580, 1072, 592), 4.5);
    EXPECT_GE(measure(BMP_BACKGROUND, 27, 72, 95, 94), 4.5);
    EXPECT_GE(measure(BMP_BACKGROUND, 27, 710, 700, 724), 4.5);
    // A Block's subtitle, and an Off Block's captions, dimmed.
    EXPECT_GE(measure(BMP_PANEL_ROOM, 8, 22, 96, 33), 4.5);
    const double none = measure(BMP_PANEL_OFF, 92, 16, 120, 27);
    EXPECT_GE(none, 3.0);
    EXPECT_LT(none, measure(BMP_PANEL_ROOM, 92, 16, 120, 27));  // dimmer than a caption in use
}
