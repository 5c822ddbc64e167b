#include "gui/Offscreen.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "framework/effectbase/VstRecords.h"
#include "gui/CFrame.h"

namespace tarnwell::gui {

class OffscreenPlatform : public FramePlatform {
public:
    explicit OffscreenPlatform(OffscreenView& owner) : view(owner) {}
    void present(const CRect&) override {}
    bool pointer(CPoint& where) const override {
        where = view.pointer;
        return view.inside;
    }
    long buttons() const override { return view.held; }
    MenuChoice popUp(COptionMenu& menu, const CPoint& at) override { return view.answer(menu, at); }

private:
    OffscreenView& view;
};

OffscreenView::~OffscreenView() = default;

std::unique_ptr<FramePlatform> OffscreenView::attachFrame(CFrame& frame) {
    attached = &frame;
    return std::make_unique<OffscreenPlatform>(*this);
}

void OffscreenView::detachFrame(CFrame& frame) {
    if (attached == &frame) attached = nullptr;
}

namespace {
constexpr long kButtonBits = kLButton | kRButton;
}

bool OffscreenView::track(CPoint where, long buttons) {
    pointer = where;
    held = buttons;
    if (!attached) return false;
    inside = attached->getViewSize().pointInside(where);
    return true;
}

void OffscreenView::mouseDown(CPoint where, long buttons) {
    if (track(where, buttons & ~kDoubleClick)) attached->platformMouseDown(where, buttons);
}

void OffscreenView::mouseMoved(CPoint where, long buttons) {
    if (track(where, buttons)) attached->platformMouseMoved(where, buttons);
}

void OffscreenView::mouseUp(CPoint where, long buttons) {
    if (track(where, buttons & ~kButtonBits)) attached->platformMouseUp(where, buttons);
}

void OffscreenView::click(CPoint where, long buttons) {
    mouseDown(where, buttons);
    mouseUp(where, buttons & ~(kButtonBits | kDoubleClick));
}

void OffscreenView::moveTo(CPoint where) {
    mouseMoved(where, 0);
}

void OffscreenView::wheel(CPoint where, float distance, long buttons) {
    if (track(where, held)) attached->platformWheel(where, distance, buttons);
}

long OffscreenView::keyDown(VstKeyCode key) {
    return attached ? attached->platformKeyDown(key) : 0;
}

void OffscreenView::answerMenu(MenuResponder responder) {
    responders.push_back(std::move(responder));
}

void OffscreenView::chooseMenuEntry(const std::string& title) {
    answerMenu([title](COptionMenu& menu, const CPoint&) { return findMenuEntry(menu, title); });
}

void OffscreenView::dismissMenu() {
    answerMenu([](COptionMenu&, const CPoint&) { return MenuChoice{}; });
}

MenuChoice OffscreenView::answer(COptionMenu& menu, const CPoint& at) {
    if (responders.empty()) return {};
    MenuResponder responder = std::move(responders.front());
    responders.pop_front();
    return responder(menu, at);
}

bool OffscreenView::writePng(const std::string& path) {
    if (!attached) return false;
    attached->doIdleStuff();
    return cairo_surface_write_to_png(attached->picture(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

CColor OffscreenView::pixel(CCoord x, CCoord y) const {
    return attached ? pixelOf(attached->picture(), x, y) : CColor{};
}

MenuChoice findMenuEntry(COptionMenu& menu, const std::string& title) {
    char text[256];
    for (int i = 0; i < menu.getNbEntries(); ++i) {
        if (COptionMenu* sub = menu.getSubMenu(i)) {
            const MenuChoice inner = findMenuEntry(*sub, title);
            if (inner.menu) return inner;
        } else if (menu.isEnabled(i) && menu.getEntry(i, text) && title == text) {
            return {&menu, i};
        }
    }
    return {};
}

CColor pixelOf(cairo_surface_t* picture, CCoord x, CCoord y) {
    if (picture == nullptr || x < 0 || y < 0 || x >= cairo_image_surface_get_width(picture) ||
        y >= cairo_image_surface_get_height(picture))
        return {0, 0, 0, 0};
    cairo_surface_flush(picture);
    const unsigned char* row =
        cairo_image_surface_get_data(picture) + y * cairo_image_surface_get_stride(picture);
    uint32_t argb;
    std::memcpy(&argb, row + x * 4, 4);
    const uint8_t a = static_cast<uint8_t>(argb >> 24);
    const auto straight = [a](uint32_t c) {
        return static_cast<uint8_t>(a == 0 ? 0 : std::min<uint32_t>(255, (c * 255 + a / 2) / a));
    };
    return {straight((argb >> 16) & 0xff), straight((argb >> 8) & 0xff), straight(argb & 0xff), a};
}

}  // namespace tarnwell::gui
