#pragma once

// Shared pieces of the toolkit tests: a folder of small generated bitmaps the toolkit loads as
// its resources, a frame in an offscreen parent, and a listener that logs what it is told.

#include <cairo.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/CControl.h"
#include "gui/CFrame.h"
#include "gui/Offscreen.h"

namespace tarnwell::test {

// Ids of the generated bitmaps.
enum : long {
    kStripId = 1,       // 137 frames of 20 x 10; frame i filled with red = i
    kTwoStateId = 2,    // 12 x 16: upper half red, lower half green
    kBackgroundId = 3,  // 200 x 100 blue
    kCursorId = 4,      // 8 x 8 white disc on transparent
};

inline void writePng(const std::string& path, int w, int h, void (*paint)(cairo_t*, int, int)) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    paint(cr, w, h);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

class BitmapFolder {
public:
    BitmapFolder() {
        const char* base = std::getenv("TARNWELL_TEST_TMP");
        std::filesystem::path parent = base && *base ? base : std::filesystem::temp_directory_path().string();
        std::filesystem::create_directories(parent);
        std::string pattern = (parent / "bitmaps-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        writePng(path(kStripId), 20, 1370, [](cairo_t* cr, int, int) {
            for (int i = 0; i < 137; ++i) {
                cairo_set_source_rgb(cr, i / 255.0, 0, 0);
                cairo_rectangle(cr, 0, i * 10, 20, 10);
                cairo_fill(cr);
            }
        });
        writePng(path(kTwoStateId), 12, 16, [](cairo_t* cr, int w, int h) {
            cairo_set_source_rgb(cr, 1, 0, 0);
            cairo_rectangle(cr, 0, 0, w, h / 2);
            cairo_fill(cr);
            cairo_set_source_rgb(cr, 0, 1, 0);
            cairo_rectangle(cr, 0, h / 2, w, h / 2);
            cairo_fill(cr);
        });
        writePng(path(kBackgroundId), 200, 100, [](cairo_t* cr, int, int) {
            cairo_set_source_rgb(cr, 0, 0, 1);
            cairo_paint(cr);
        });
        writePng(path(kCursorId), 8, 8, [](cairo_t* cr, int, int) {
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_arc(cr, 4, 4, 3, 0, 7);
            cairo_fill(cr);
        });
        tarnwell::gui::setResourceFolder(folder);
    }
    ~BitmapFolder() {
        tarnwell::gui::setResourceFolder("");
        std::filesystem::remove_all(folder);
    }
    std::string path(long id) const { return folder + "/" + std::to_string(id) + ".png"; }

    std::string folder;
};

// A frame of w x h in an offscreen parent; the frame goes before the parent.
struct OffscreenFrame {
    explicit OffscreenFrame(int w = 200, int h = 100)
        : frame(new CFrame(CRect(0, 0, w, h), static_cast<tarnwell::gui::ParentView*>(&parent), nullptr)) {}
    ~OffscreenFrame() { frame->forget(); }
    CColor at(int x, int y) {
        frame->doIdleStuff();
        return parent.pixel(x, y);
    }

    tarnwell::gui::OffscreenView parent;
    CFrame* frame;
};

struct LoggingListener : CControlListener {
    void valueChanged(CControl* control) override { changes.push_back({control, control->getValue()}); }
    long controlModifierClicked(CControl*, long buttons) override {
        modifierClicks.push_back(buttons);
        return consumeModifierClicks;
    }
    struct Change {
        CControl* control;
        float value;
    };
    std::vector<Change> changes;
    std::vector<long> modifierClicks;
    long consumeModifierClicks = 0;
};

// A view that logs its presses, moves, releases and draws, in the coordinates it receives.
class ProbeView : public CView {
public:
    using CView::CView;
    struct Event {
        char kind;  // 'd', 'm', 'u', 'w'
        CPoint where;
        long buttons;
    };
    void draw(CDrawContext*) override { ++draws; }
    CMouseEventResult onMouseDown(CPoint& where, const long& buttons) override {
        events.push_back({'d', where, buttons});
        if (onPress) onPress();
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override {
        events.push_back({'m', where, buttons});
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override {
        events.push_back({'u', where, buttons});
        return kMouseEventHandled;
    }
    bool onWheel(const CPoint& where, const float&, const long& buttons) override {
        events.push_back({'w', where, buttons});
        return true;
    }
    std::vector<Event> events;
    int draws = 0;
    std::function<void()> onPress;
};

}  // namespace tarnwell::test
