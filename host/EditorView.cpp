#include "host/EditorView.h"

#include <cairo.h>

#include <filesystem>
#include <vector>

#include "editor/EditorLayout.h"
#include "host/AtomicOutput.h"
#include "host/HostError.h"
#include "sdk/audiounit/AudioUnit.h"
#include "sdk/cocoa/AppKit.h"
#include "sdk/corefoundation/CFString.h"

namespace {

std::string text(CFStringRef string) {
    if (string == nullptr) return {};
    std::vector<char> buffer(4096);
    if (!CFStringGetCString(string, buffer.data(), static_cast<CFIndex>(buffer.size()),
                            kCFStringEncodingUTF8))
        return {};
    return buffer.data();
}

// The bundle the unit's view comes from, and the view factory's class name.
std::pair<std::string, std::string> viewBundle(AudioUnit unit) {
    AudioUnitCocoaViewInfo info{};
    UInt32 size = sizeof info;
    const OSStatus status =
        AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info, &size);
    if (status != 0)
        throw HostError("the effect component offers no editor view (error " + std::to_string(status) + ")");
    std::pair<std::string, std::string> found{text(info.mCocoaAUViewBundleLocation),
                                              text(info.mCocoaAUViewClass[0])};
    CFRelease(info.mCocoaAUViewBundleLocation);
    CFRelease(info.mCocoaAUViewClass[0]);
    return found;
}

}  // namespace

void requireArtwork(AudioUnit unit) {
    const std::filesystem::path resources =
        std::filesystem::path(viewBundle(unit).first) / "Contents" / "Resources";
    int missing = 0;
    for (int size = 0; size < layout::SIZE_COUNT; ++size)
        for (const int k : layout::BITMAP_LOAD_ORDER) {
            std::error_code error;
            const std::filesystem::path file =
                resources / (std::to_string(layout::bitmapId(k, size)) + ".png");
            if (!std::filesystem::is_regular_file(file, error) ||
                std::filesystem::file_size(file, error) == 0)
                ++missing;
        }
    if (missing > 0)
        throw HostError(resources.string() + ": the editor's artwork is missing (" + std::to_string(missing) +
                        " of " + std::to_string(layout::SIZE_COUNT * layout::BITMAP_COUNT) +
                        " bitmaps); build the whole bundle with cmake --build build --target tarnwell");
}

EditorView::EditorView(AudioUnit unit) {
    NSAutoreleasePool pool;
    const auto [bundlePath, className] = viewBundle(unit);

    NSBundle* bundle = NSBundle::bundleWithPath(bundlePath);
    if (bundle == nullptr) throw HostError(bundlePath + ": the editor's bundle is not there");
    Class factoryClass = bundle->classNamed(className);
    if (factoryClass == nullptr)
        throw HostError(bundlePath + ": " +
                        (bundle->isLoaded() ? "has no class " + className
                                            : "cannot be loaded (" + bundle->loadError() + ")"));
    NSObject* made = factoryClass->make();
    auto* factory = dynamic_cast<AUCocoaUIBase*>(made);
    if (factory != nullptr) held = factory->uiViewForAudioUnit(unit, {});
    if (held != nullptr) held->retain();
    made->release();
    if (held == nullptr) throw HostError("the effect's view factory " + className + " made no view");
}

EditorView::~EditorView() {
    NSAutoreleasePool pool;
    // The panel would keep the view, and with it the editor and its timer, past the unit.
    if (NSWindow* panel = held->window()) {
        panel->setDelegate(nullptr);
        panel->close();
    }
    held->release();
}

NSWindow* EditorView::window() const {
    return held->window();
}

NSSize EditorView::size() const {
    return held->frame().size;
}

void EditorView::writePicture(AtomicOutput& file) const {
    NSWindow* panel = window();
    cairo_surface_t* picture = panel ? panel->copyPicture() : nullptr;
    if (picture == nullptr) throw fileError(file.target(), "cannot be written: the editor shows nothing");
    // Nothing may be thrown through the picture library: a failed write stops it with a status.
    struct Sink {
        AtomicOutput& file;
        std::string failure;
    } sink{file, {}};
    const cairo_status_t status = cairo_surface_write_to_png_stream(
        picture,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* to = static_cast<Sink*>(closure);
            try {
                to->file.write(data, length);
                return CAIRO_STATUS_SUCCESS;
            } catch (const HostError& e) {
                to->failure = e.what();
                return CAIRO_STATUS_WRITE_ERROR;
            }
        },
        &sink);
    cairo_surface_destroy(picture);
    if (!sink.failure.empty()) throw HostError(sink.failure);
    if (status != CAIRO_STATUS_SUCCESS)
        throw fileError(file.target(), std::string("cannot be written: ") + cairo_status_to_string(status));
}

void EditorView::click(double x, double y) const {
    NSWindow* panel = window();
    if (panel == nullptr) return;
    panel->sendEvent({NSLeftMouseDown, {x, y}});
    panel->sendEvent({NSLeftMouseUp, {x, y}});
}
