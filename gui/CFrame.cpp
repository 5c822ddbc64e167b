#include "gui/CFrame.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

#include "gui/AEffGUIEditor.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/Platform.h"

namespace {

// A frame built without a parent: it draws into its picture and nothing shows it.
class DetachedPlatform : public tarnwell::gui::FramePlatform {
public:
    void present(const CRect&) override {}
    bool pointer(CPoint&) const override { return false; }
    long buttons() const override { return 0; }
    tarnwell::gui::MenuChoice popUp(COptionMenu&, const CPoint&) override { return {}; }
};

CRect unite(const CRect& a, const CRect& b) {
    return CRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom));
}

// Overlapping areas become one; past a handful the bounding box of all is cheaper to draw than
// every view tested against every area.
void mergeAreas(std::vector<CRect>& areas) {
    constexpr size_t kMaxAreas = 24;
    for (size_t i = 0; i < areas.size(); ++i) {
        for (size_t j = i + 1; j < areas.size();) {
            if (areas[i].intersects(areas[j])) {
                areas[i] = unite(areas[i], areas[j]);
                areas.erase(areas.begin() + static_cast<long>(j));
                j = i + 1;
            } else {
                ++j;
            }
        }
    }
    if (areas.size() > kMaxAreas) {
        CRect all = areas.front();
        for (const CRect& r : areas) all = unite(all, r);
        areas.assign(1, all);
    }
}

}  // namespace

CFrame::CFrame(const CRect& rect, void* parent, AEffGUIEditor* owner)
    : CViewContainer(CRect(0, 0, rect.getWidth(), rect.getHeight())), editor(owner) {
    CView::setParentAndFrame(nullptr, this);
    backBuffer = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, size.getWidth()),
                                            std::max(1, size.getHeight()));
    if (parent)
        platformSide = static_cast<tarnwell::gui::ParentView*>(parent)->attachFrame(*this);
    else
        platformSide = std::make_unique<DetachedPlatform>();
    parentView = static_cast<tarnwell::gui::ParentView*>(parent);
    setDirty(true);
}

CFrame::~CFrame() {
    // The children go while this is still a whole frame: they tell it they are leaving.
    removeAll(true);
    setBackground(nullptr);
    if (parentView) parentView->detachFrame(*this);
    platformSide.reset();
    cairo_surface_destroy(backBuffer);
}

bool CFrame::isTypeOf(const char* className) const {
    return (className && std::strcmp(className, "CFrame") == 0) || CViewContainer::isTypeOf(className);
}

void CFrame::setViewSize(const CRect&) {}

bool CFrame::getCurrentLocation(CPoint& where) const {
    return platformSide->pointer(where);
}

long CFrame::getCurrentMouseButtons() const {
    return platformSide->buttons();
}

CView* CFrame::getCurrentView() const {
    CPoint where;
    if (!getCurrentLocation(where)) return nullptr;
    return childAt(where, false);
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    return CViewContainer::onWheel(where, distance, buttons);
}

long CFrame::onKeyDown(VstKeyCode&) {
    return 0;
}

void CFrame::beginEdit(long tag) {
    if (editor) editor->beginEdit(static_cast<int>(tag));
}

void CFrame::endEdit(long tag) {
    if (editor) editor->endEdit(static_cast<int>(tag));
}

void CFrame::setFocusView(CView* view) {
    focusView = view;
}

void CFrame::forgetView(const CView* view) {
    if (focusView == view) focusView = nullptr;
}

void CFrame::invalidRect(const CRect& rect) {
    if (!rect.isEmpty()) pendingAreas.push_back(rect);
}

void CFrame::doIdleStuff() {
    const uint32_t requests = tarnwell::gui::redrawRequests();
    if (requests == drawnRequests && pendingAreas.empty()) return;
    drawnRequests = requests;
    areas.swap(pendingAreas);
    pendingAreas.clear();
    const bool whole = takeDirty();
    collectDirty(CPoint(0, 0), areas);
    if (whole) areas.assign(1, CRect(0, 0, size.getWidth(), size.getHeight()));
    if (areas.empty()) return;
    mergeAreas(areas);
    drawAreas(areas);
    areas.clear();
}

void CFrame::redrawAll() {
    takeDirty();
    areas.clear();
    collectDirty(CPoint(0, 0), areas);
    pendingAreas.clear();
    areas.assign(1, CRect(0, 0, size.getWidth(), size.getHeight()));
    drawAreas(areas);
    areas.clear();
}

void CFrame::drawAreas(const std::vector<CRect>& list) {
    cairo_t* cr = cairo_create(backBuffer);
    {
        CDrawContext context(cr);
        for (const CRect& area : list) {
            context.pushOrigin(0, 0, area);
            // The window's ground: black where no bitmap covers it.
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_paint(cr);
            if (getBackground()) getBackground()->draw(&context, size);
            drawChildren(&context);
            context.popOrigin();
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(backBuffer);
    for (const CRect& area : list) platformSide->present(area);
}

void CFrame::platformMouseDown(CPoint where, long buttons) {
    cancelMouseDown();  // a press whose release never came
    const unsigned loops = modalLoops;
    onMouseDown(where, buttons);
    if (modalLoops != loops) cancelMouseDown();
}

void CFrame::platformMouseMoved(CPoint where, long buttons) {
    if (getMouseDownView() == nullptr) return;
    const unsigned loops = modalLoops;
    onMouseMoved(where, buttons);
    if (modalLoops != loops) cancelMouseDown();
}

void CFrame::platformMouseUp(CPoint where, long buttons) {
    if (getMouseDownView() == nullptr) return;
    onMouseUp(where, buttons);
}

void CFrame::platformWheel(CPoint where, float distance, long buttons) {
    onWheel(where, distance, buttons);
}

long CFrame::platformKeyDown(VstKeyCode& keyCode) {
    return onKeyDown(keyCode);
}

namespace tarnwell::gui {

namespace {
struct Room {
    int width = 0, height = 0;
};
Room& room() {
    static Room shared;
    return shared;
}
}  // namespace

void setWindowRoom(int width, int height) {
    room() = {std::max(0, width), std::max(0, height)};
}

bool windowRoom(int& width, int& height) {
    width = room().width;
    height = room().height;
    return width > 0 && height > 0;
}

}  // namespace tarnwell::gui
