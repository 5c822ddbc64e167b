#include "gui/CView.h"

#include <cstring>

#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

namespace {
std::atomic<uint32_t> requests{0};
}

namespace tarnwell::gui {
uint32_t redrawRequests() {
    return requests.load(std::memory_order_acquire);
}
void requestRedraw() {
    requests.fetch_add(1, std::memory_order_release);
}
}  // namespace tarnwell::gui

CView::CView(const CRect& rect) : size(rect) {}

CView::CView(const CView& other)
    : CReferenceCounter(other), size(other.size), mouseEnabled(other.mouseEnabled) {}

CView::~CView() {
    if (container) container->detach(this);
    if (ownerFrame && ownerFrame != this) ownerFrame->forgetView(this);
}

void CView::draw(CDrawContext*) {}

CMouseEventResult CView::onMouseDown(CPoint&, const long&) {
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseMoved(CPoint&, const long&) {
    return kMouseEventNotHandled;
}
CMouseEventResult CView::onMouseUp(CPoint&, const long&) {
    return kMouseEventNotHandled;
}
bool CView::onWheel(const CPoint&, const float&, const long&) {
    return false;
}

bool CView::isTypeOf(const char* className) const {
    return className && std::strcmp(className, "CView") == 0;
}

void CView::setDirty(bool state) {
    dirty.store(state, std::memory_order_relaxed);
    if (state) tarnwell::gui::requestRedraw();
}

void CView::setViewSize(const CRect& rect) {
    if (rect == size) return;
    if (ownerFrame && container) {
        CRect old = size;
        CPoint corner(old.left, old.top);
        localToFrame(corner);
        ownerFrame->invalidRect(old.moveTo(corner.x, corner.y));
    }
    size = rect;
    setDirty(true);
}

CPoint& CView::localToFrame(CPoint& point) const {
    if (container) {
        const CPoint origin = container->childOrigin();
        point.offset(origin.x, origin.y);
    }
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    if (container) {
        const CPoint origin = container->childOrigin();
        point.offset(-origin.x, -origin.y);
    }
    return point;
}

void CView::setParentAndFrame(CViewContainer* newParent, CFrame* newFrame) {
    if (ownerFrame && ownerFrame != newFrame) ownerFrame->forgetView(this);
    container = newParent;
    ownerFrame = newFrame;
}
