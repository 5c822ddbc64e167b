// Writes every editor bitmap at the three sizes into a folder, as <id>.png.
// Usage: tarnwell_artgen OUTPUT_FOLDER

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "resources/Artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    int written = 0;
    for (int size = 0; size < art::SCALE_COUNT; ++size) {
        const art::Scale scale = art::scaleOf(size);
        for (const art::BitmapSpec& s : art::bitmapSpecs()) {
            const std::string path =
                (folder / (std::to_string(art::resourceId(s.k, size)) + ".png")).string();
            // Written under a temporary name so an interrupted build leaves no half picture.
            const std::string temporary = path + ".part";
            if (!art::drawBitmap(s.k, scale)->writePng(temporary) ||
                (std::filesystem::rename(temporary, path, error), error)) {
                std::fprintf(stderr, "tarnwell_artgen: cannot write %s\n", path.c_str());
                return 1;
            }
            ++written;
        }
    }
    // Release the font caches so leak checkers see a clean exit.
    pango_cairo_font_map_set_default(nullptr);
    cairo_debug_reset_static_data();
    FcFini();
    std::printf("wrote %d bitmaps to %s\n", written, folder.string().c_str());
    return 0;
}

// Under ThreadSanitizer (the generator runs in sanitizer builds too): pango starts fontconfig's
// initialisation on a thread inside the uninstrumented system libraries.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so.1\ncalled_from_lib:libfontconfig.so.1\ncalled_from_lib:libglib-2.0.so.0\n"
           "mutex:libpangoft2-1.0.so.0\ncalled_from_lib:libpangoft2-1.0.so.0\n";
}
