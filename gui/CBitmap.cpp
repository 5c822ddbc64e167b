#include "gui/CBitmap.h"

#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "framework/platform/FileHelpers.h"
#include "gui/CDrawContext.h"
#include "gui/PngDecoder.h"

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

// One file's pixels, shared by every bitmap of that file while any of them lives. A worker
// decodes them soon after the first bitmap asks; a bitmap that needs them before then decodes
// them itself, or waits for the worker already at it. Bitmaps and their reference counts stay
// on the main thread: workers touch only this.
struct DecodedImage {
    explicit DecodedImage(std::string file) : path(std::move(file)) {}
    ~DecodedImage() {
        if (surface) cairo_surface_destroy(surface);
    }
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;

    void decode() {
        std::call_once(decoded, [this] { load(); });
    }
    cairo_surface_t* pixels() {
        decode();
        return surface;
    }
    // With the last bitmap: a decode not begun is dropped, one under way is waited for, and
    // the memory goes at once.
    void release() {
        std::call_once(decoded, [] {});
        if (surface == nullptr) return;
        liveBytes -= bytes;
        cairo_surface_destroy(surface);
        surface = nullptr;
    }

    const std::string path;
    int users = 0;  // bitmaps showing it, counted under the lock of sharedImage

private:
    void load() {
        bool damaged = false;
        cairo_surface_t* loaded = decodePng(path, &damaged);
        if (damaged) return;      // cairo's reader would reserve the whole image only to refuse it
        if (loaded == nullptr) {  // a format the fast reader leaves to cairo, or a bad file
            loaded = cairo_image_surface_create_from_png(path.c_str());
            if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(loaded);
                return;
            }
        }
        surface = loaded;
        bytes = static_cast<long long>(cairo_image_surface_get_stride(surface)) *
                cairo_image_surface_get_height(surface);
        liveBytes += bytes;
    }

    std::once_flag decoded;
    cairo_surface_t* surface = nullptr;
    long long bytes = 0;
};

namespace {

// A few threads that decode images in the order they were asked for. An image whose
// bitmaps are all gone before its turn is skipped.
class DecodeWorkers {
public:
    ~DecodeWorkers() {
        {
            std::lock_guard<std::mutex> lock(guard);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& thread : threads) thread.join();
    }

    void add(std::weak_ptr<DecodedImage> image) {
        std::lock_guard<std::mutex> lock(guard);
        if (threads.empty()) {
            const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
            for (unsigned i = 0; i < count; ++i) threads.emplace_back([this] { run(); });
        }
        queue.push_back(std::move(image));
        wake.notify_one();
    }

private:
    void run() {
        for (;;) {
            std::weak_ptr<DecodedImage> next;
            {
                std::unique_lock<std::mutex> lock(guard);
                wake.wait(lock, [this] { return stopping || !queue.empty(); });
                if (stopping) return;
                next = std::move(queue.front());
                queue.pop_front();
            }
            if (std::shared_ptr<DecodedImage> image = next.lock()) image->decode();
        }
    }

    std::mutex guard;
    std::condition_variable wake;
    std::deque<std::weak_ptr<DecodedImage>> queue;
    std::vector<std::thread> threads;
    bool stopping = false;
};

std::mutex sharedGuard;
std::map<std::string, std::shared_ptr<DecodedImage>> sharedImages;

// The image of path, shared with the bitmaps of the same file alive now, else a new one
// handed to the workers.
std::shared_ptr<DecodedImage> sharedImage(const std::string& path) {
    static DecodeWorkers workers;
    std::lock_guard<std::mutex> lock(sharedGuard);
    std::shared_ptr<DecodedImage>& image = sharedImages[path];
    if (image == nullptr) {
        image = std::make_shared<DecodedImage>(path);
        workers.add(image);
    }
    ++image->users;
    return image;
}

void releaseImage(const std::shared_ptr<DecodedImage>& image) {
    {
        std::lock_guard<std::mutex> lock(sharedGuard);
        if (--image->users > 0) return;
        sharedImages.erase(image->path);
    }
    image->release();
}

}  // namespace

void setResourceFolder(const std::string& folder) {
    folderOverride = folder;
}

std::string resourceFolder() {
    if (!folderOverride.empty()) return folderOverride;
    char path[1024];
    getResourcePath(path, sizeof path);
    return path;
}

long long bitmapMemory() {
    return liveBytes.load(std::memory_order_relaxed);
}

}  // namespace tarnwell::gui

CBitmap::CBitmap(long id)
    : resourceId(id),
      image(tarnwell::gui::sharedImage(tarnwell::gui::resourceFolder() + "/" + std::to_string(id) + ".png")) {
}

CBitmap::~CBitmap() {
    tarnwell::gui::releaseImage(image);
}

// The first look at the size or the pixels waits for the decode.
void CBitmap::resolve() const {
    if (resolved) return;
    resolved = true;
    surface = image->pixels();
    if (surface == nullptr) {
        reportMissing(resourceId, image->path);
        return;
    }
    width = cairo_image_surface_get_width(surface);
    height = cairo_image_surface_get_height(surface);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, uint8_t alpha) {
    resolve();
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
