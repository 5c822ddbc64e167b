#include "gui/CViewContainer.h"

#include <algorithm>
#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

CViewContainer::CViewContainer(const CRect& rect, CBitmap* bitmap) : CView(rect) {
    holdsViews = true;
    setBackground(bitmap);
}

CViewContainer::~CViewContainer() {
    removeAll(true);
    setBackground(nullptr);
}

void CViewContainer::setBackground(CBitmap* bitmap) {
    if (exchangeReference(background, bitmap)) setDirty(true);
}

void CViewContainer::addView(CView* view) {
    if (view == nullptr || view == this) return;
    if (view->container) view->container->removeView(view, false);
    children.push_back(view);
    view->setParentAndFrame(this, getFrame());
    view->setDirty(true);
}

void CViewContainer::removeView(CView* view, bool withForget) {
    if (!detach(view)) return;
    view->setParentAndFrame(nullptr, nullptr);
    if (withForget) view->forget();
}

void CViewContainer::removeAll(bool withForget) {
    if (children.empty()) return;
    std::vector<CView*> leaving;
    leaving.swap(children);
    mouseDownView = nullptr;
    if (CFrame* f = getFrame()) {
        CRect area(0, 0, size.getWidth(), size.getHeight());
        const CPoint origin = childOrigin();
        f->invalidRect(area.offset(origin.x, origin.y));
    }
    for (CView* view : leaving) {
        view->setParentAndFrame(nullptr, nullptr);
        if (withForget) view->forget();
    }
}

bool CViewContainer::detach(CView* view) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return false;
    children.erase(it);
    if (mouseDownView == view) mouseDownView = nullptr;
    if (CFrame* f = getFrame()) {
        CRect area = view->getViewSize();
        const CPoint origin = childOrigin();
        f->invalidRect(area.offset(origin.x, origin.y));
    }
    return true;
}

bool CViewContainer::isChild(const CView* view) const {
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(int index) const {
    return index >= 0 && index < getNbViews() ? children[static_cast<size_t>(index)] : nullptr;
}

void CViewContainer::setParentAndFrame(CViewContainer* newParent, CFrame* newFrame) {
    CView::setParentAndFrame(newParent, newFrame);
    if (newFrame == nullptr) mouseDownView = nullptr;
    for (CView* child : children) child->setParentAndFrame(this, newFrame);
}

CPoint CViewContainer::childOrigin() const {
    CPoint origin(size.left, size.top);
    return localToFrame(origin);
}

CView* CViewContainer::childAt(const CPoint& point, bool enabledOnly) const {
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if ((*it)->getViewSize().pointInside(point) && (!enabledOnly || (*it)->getMouseEnabled())) return *it;
    }
    return nullptr;
}

CView* CViewContainer::getCurrentView() const {
    CFrame* f = getFrame();
    CPoint where;
    if (f == nullptr || !f->getCurrentLocation(where)) return nullptr;
    const CPoint origin = childOrigin();
    return childAt(where.offset(-origin.x, -origin.y), false);
}

void CViewContainer::draw(CDrawContext* context) {
    if (background) background->draw(context, size);
    context->pushOrigin(size.left, size.top, CRect(0, 0, size.getWidth(), size.getHeight()));
    drawChildren(context);
    context->popOrigin();
}

void CViewContainer::drawChildren(CDrawContext* context) {
    const CRect& visible = context->visibleArea();
    if (visible.isEmpty()) return;
    for (CView* child : children) {
        if (child->getViewSize().intersects(visible)) child->draw(context);
    }
}

void CViewContainer::collectDirty(const CPoint& origin, std::vector<CRect>& areas) {
    for (CView* child : children) {
        const bool marked = child->takeDirty();
        if (marked) {
            CRect area = child->getViewSize();
            areas.push_back(area.offset(origin.x, origin.y));
        }
        if (child->holdsViews) {
            auto* inner = static_cast<CViewContainer*>(child);
            const CRect& r = inner->getViewSize();
            const size_t before = areas.size();
            inner->collectDirty(CPoint(origin.x + r.left, origin.y + r.top), areas);
            if (marked) areas.resize(before);  // the whole container is drawn anyway
        }
    }
}

void CViewContainer::cancelMouseDown() {
    if (mouseDownView && mouseDownView->holdsViews)
        static_cast<CViewContainer*>(mouseDownView)->cancelMouseDown();
    mouseDownView = nullptr;
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const long& buttons) {
    CPoint local(where.x - size.left, where.y - size.top);
    CView* child = childAt(local, true);
    if (child == nullptr) return kMouseEventNotHandled;
    const CMouseEventResult result = child->onMouseDown(local, buttons);
    // The handler may have taken the view out (a menu closing its page, say).
    mouseDownView = (result == kMouseEventHandled && isChild(child)) ? child : nullptr;
    return result;
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const long& buttons) {
    if (mouseDownView == nullptr) return kMouseEventNotHandled;
    CPoint local(where.x - size.left, where.y - size.top);
    return mouseDownView->onMouseMoved(local, buttons);
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const long& buttons) {
    CView* view = mouseDownView;
    if (view == nullptr) return kMouseEventNotHandled;
    mouseDownView = nullptr;
    CPoint local(where.x - size.left, where.y - size.top);
    return view->onMouseUp(local, buttons);
}

bool CViewContainer::onWheel(const CPoint& where, const float& distance, const long& buttons) {
    const CPoint local(where.x - size.left, where.y - size.top);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->getMouseEnabled() && child->getViewSize().pointInside(local) &&
            child->onWheel(local, distance, buttons))
            return true;
    }
    return false;
}

bool CViewContainer::isTypeOf(const char* className) const {
    return (className && std::strcmp(className, "CViewContainer") == 0) || CView::isTypeOf(className);
}
