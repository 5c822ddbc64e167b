#pragma once

// Shared pieces of the toolkit tests: generated bitmaps the toolkit loads as its resources, a
// frame in an offscreen parent, and a listener and a view that log what they are told.

#include <cairo.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/CControl.h"
#include "gui/CFrame.h"
#include "gui/Offscreen.h"
#include "tests/support/TempFolder.h"

namespace tarnwell::test {

enum : long {
    kStripId = 1,       // 137 frames of 20 x 10; frame i filled with red = i
    kTwoStateId = 2,    // 12 x 16: upper half red, lower half green
    kBackgroundId = 3,  // 200 x 100 blue
    kCursorId = 4,      // 8 x 8 white disc on transparent
};

inline void writePng(const std::string& path, int w, int h, void (*paint)(cairo_t*)) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

inline void fill(cairo_t* cr, double r, double g, double b, int x, int y, int w, int h) {
    cairo_set_source_rgb(cr, r, g, b);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

class BitmapFolder : public TempFolder {
public:
    BitmapFolder() {
        writePng(path(kStripId), 20, 1370, [](cairo_t* cr) {
            for (int i = 0; i < 137; ++i) fill(cr, i / 255.0, 0, 0, 0, i * 10, 20, 10);
        });
        writePng(path(kTwoStateId), 12, 16, [](cairo_t* cr) {
            fill(cr, 1, 0, 0, 0, 0, 12, 8);
            fill(cr, 0, 1, 0, 0, 8, 12, 8);
        });
        writePng(path(kBackgroundId), 200, 100, [](cairo_t* cr) { fill(cr, 0, 0, 1, 0, 0, 200, 100); });
        writePng(path(kCursorId), 8, 8, [](cairo_t* cr) {
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_arc(cr, 4, 4, 3, 0, 7);
            cairo_fill(cr);
        });
        tarnwell::gui::setResourceFolder(TempFolder::path("."));
    }
    ~BitmapFolder() { tarnwell::gui::setResourceFolder(""); }
    std::string path(long id) const { return TempFolder::path(std::to_string(id) + ".png"); }
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

// A view that logs its presses, moves, releases and wheel steps, in the coordinates it receives.
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
        log('d', where, buttons);
        if (onPress) onPress();
        return kMouseEventHandled;
    }
    CMouseEventResult onMouseMoved(CPoint& where, const long& buttons) override {
        return log('m', where, buttons);
    }
    CMouseEventResult onMouseUp(CPoint& where, const long& buttons) override {
        return log('u', where, buttons);
    }
    bool onWheel(const CPoint& where, const float&, const long& buttons) override {
        return log('w', where, buttons), true;
    }
    std::vector<Event> events;
    int draws = 0;
    std::function<void()> onPress;

private:
    CMouseEventResult log(char kind, CPoint where, long buttons) {
        events.push_back({kind, where, buttons});
        return kMouseEventHandled;
    }
};

}  // namespace tarnwell::test
