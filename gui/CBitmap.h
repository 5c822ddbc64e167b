#pragma once

// A picture loaded from the component bundle's Resources folder: the PNG named by its numeric
// id (Resources/10030.png). Bitmaps are reference counted; views that show one remember it and
// forget it again when they let go. Bitmaps of the same file share one decoded copy, process
// wide, while any of them lives: a second editor opens without decoding again. Files are
// decoded on worker threads from the moment a bitmap is made, so an editor's whole set decodes
// at once; the first look at a bitmap's size or pixels waits for its own.

#include <memory>
#include <string>

#include "gui/GuiTypes.h"

class CDrawContext;
typedef struct _cairo_surface cairo_surface_t;
namespace tarnwell::gui {
struct DecodedImage;
}

class CBitmap : public CReferenceCounter {
public:
    // Main thread only. A missing or unreadable file gives an empty bitmap (0 x 0) that draws
    // nothing; the first miss of each id is reported on standard error.
    explicit CBitmap(long resourceId);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;

    long getResourceId() const { return resourceId; }
    CCoord getWidth() const {
        resolve();
        return width;
    }
    CCoord getHeight() const {
        resolve();
        return height;
    }
    bool isLoaded() const {
        resolve();
        return surface != nullptr;
    }

    // Draws the part of the bitmap that starts at offset into dest (dest's size, unscaled),
    // blended by the bitmap's own alpha and then by alpha (255 = as the file has it). Film
    // strips pass offset (0, i * frame height); two-state stacks (0, 0) or (0, height / 2).
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), uint8_t alpha = 255);

    cairo_surface_t* cairoSurface() const {
        resolve();
        return surface;
    }

private:
    void resolve() const;

    long resourceId;
    std::shared_ptr<tarnwell::gui::DecodedImage> image;
    mutable bool resolved = false;
    mutable CCoord width = 0;
    mutable CCoord height = 0;
    mutable cairo_surface_t* surface = nullptr;
};

namespace tarnwell::gui {

// Where bitmaps are loaded from: the folder given here, else the Resources folder of the
// component bundle the running code belongs to. Tests point it at a folder of their own; an
// empty path goes back to the bundle.
void setResourceFolder(const std::string& folder);
std::string resourceFolder();

// Bytes of decoded pixels held by all bitmaps alive now (a copy shared by several counts once;
// a bitmap still being decoded, not yet).
long long bitmapMemory();

}  // namespace tarnwell::gui
