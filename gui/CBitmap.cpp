#include "gui/CBitmap.h"

#include <cairo.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <set>

#include "framework/platform/FileHelpers.h"
#include "gui/CDrawContext.h"

namespace {

std::string folderOverride;
std::atomic<long long> liveBytes{0};

// Each missing id is reported once; bitmaps may be loaded by several editors.
void reportMissing(long id, const std::string& path) {
    static std::mutex guard;
    static std::set<long> reported;
    std::lock_guard<std::mutex> lock(guard);
    if (reported.insert(id).second) std::fprintf(stderr, "tarnwell: missing bitmap %s\n", path.c_str());
}

}  // namespace

namespace tarnwell::gui {

void setResourceFolder(const std::string& folder) { folderOverride = folder; }

std::string resourceFolder() {
    if (!folderOverride.empty()) return folderOverride;
    char path[1024];
    getResourcePath(path, sizeof path);
    return path;
}

long long bitmapMemory() { return liveBytes.load(std::memory_order_relaxed); }

}  // namespace tarnwell::gui

CBitmap::CBitmap(long id) : resourceId(id) {
    const std::string path = tarnwell::gui::resourceFolder() + "/" + std::to_string(id) + ".png";
    cairo_surface_t* loaded = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(loaded);
        reportMissing(id, path);
        return;
    }
    surface = loaded;
    width = cairo_image_surface_get_width(surface);
    height = cairo_image_surface_get_height(surface);
    liveBytes += static_cast<long long>(cairo_image_surface_get_stride(surface)) * height;
}

CBitmap::~CBitmap() {
    if (surface == nullptr) return;
    liveBytes -= static_cast<long long>(cairo_image_surface_get_stride(surface)) * height;
    cairo_surface_destroy(surface);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, uint8_t alpha) {
    if (surface == nullptr || context == nullptr || dest.isEmpty() || alpha == 0) return;
    cairo_t* cr = context->cairo();
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface, dest.left - offset.x, dest.top - offset.y);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha == 255)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha / 255.0);
    cairo_restore(cr);
}
