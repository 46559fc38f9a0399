#include "gui/CViewContainer.h"

#include <algorithm>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/GuiRuntime.h"

namespace VSTGUI {

CViewContainer::CViewContainer(const CRect& r) : CView(r) {}

CViewContainer::~CViewContainer() { removeAll(true); }

bool CViewContainer::addView(CView* view) { return addView(view, nullptr); }

bool CViewContainer::addView(CView* view, CView* before) {
    if (!view || view == this) return false;
    if (view->parentView) {
        reportGuiFault(GuiFault::kAddAttachedView, "addView of a view that already has a parent");
        return false;
    }
    for (const CView* p = this; p; p = p->parentView)
        if (p == view) return false;
    auto pos = before ? std::find(children.begin(), children.end(), before) : children.end();
    children.insert(pos, view);
    view->parentView = this;
    if (isAttached()) view->attached(this);
    view->invalid();
    return true;
}

bool CViewContainer::detach(CView* view, bool withForget) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return false;
    if (view == mouseDownView) clearMouseDownView(true);
    if (view->isAttached()) {
        if (CFrame* frame = getFrame()) frame->viewWillBeRemoved(view, true);
        view->removed(this);
    }
    if (isAttached() && view->isVisible()) invalidRect(view->getViewSize());
    // The list may have changed in the calls above.
    it = std::find(children.begin(), children.end(), view);
    if (it != children.end()) children.erase(it);
    view->parentView = nullptr;
    if (withForget || view->orphaned) {
        view->orphaned = false;
        view->forget();
    }
    return true;
}

void CViewContainer::detachDestroyedChild(CView* view) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return;
    if (view == mouseDownView) mouseDownView = nullptr;
    if (CFrame* frame = getFrame()) frame->viewWillBeRemoved(view, false);
    children.erase(it);
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    if (!view) return false;
    return detach(view, withForget);
}

bool CViewContainer::removeAll(bool withForget) {
    while (!children.empty()) {
        CView* v = children.front();
        if (!detach(v, withForget)) children.erase(children.begin());
    }
    mouseDownView = nullptr;
    return true;
}

bool CViewContainer::changeViewZOrder(CView* view, uint32_t newIndex) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end() || newIndex >= children.size()) return false;
    children.erase(it);
    children.insert(children.begin() + newIndex, view);
    view->invalid();
    return true;
}

bool CViewContainer::isChild(const CView* view, bool deep) const {
    if (!view) return false;
    if (!deep) return std::find(children.begin(), children.end(), view) != children.end();
    for (const CView* p = view->parentView; p; p = p->parentView)
        if (p == this) return true;
    return false;
}

CView* CViewContainer::getViewAt(const CPoint& where, const GetViewOptions& options) const {
    CPoint p = where;
    p.offset(-size.left, -size.top);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!options.getIncludeInvisible() && !child->isVisible()) continue;
        if (options.getMouseEnabled() && !child->getMouseEnabled()) continue;
        if (!child->getMouseableArea().pointInside(p)) continue;
        if (options.getDeep()) {
            if (CViewContainer* c = child->asViewContainer()) {
                if (CView* v = c->getViewAt(p, options)) return v;
                return options.getIncludeViewContainer() ? c : nullptr;
            }
        }
        return child;
    }
    return nullptr;
}

void CViewContainer::setBackgroundColor(const CColor& color) {
    if (color == backgroundColor) return;
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect) {
    if (CBitmap* bmp = getDrawBackground()) {
        CRect all(0, 0, getWidth(), getHeight());
        bmp->draw(context, all, backgroundOffset);
    } else if (!getTransparency() && backgroundColor.alpha > 0) {
        context->setFillColor(backgroundColor);
        context->drawRect(rect, kDrawFilled);
    }
}

CRect CViewContainer::visibleLocalRect() const {
    // This container in each ancestor's coordinates in turn, cut by each ancestor's bounds.
    CRect r = size;
    CPoint origin(size.left, size.top);
    for (const CView* p = getParentView(); p; p = p->getParentView()) {
        r.bound(CRect(0, 0, p->getWidth(), p->getHeight()));
        const CRect& ps = p->getViewSize();
        r.offset(ps.left, ps.top);
        origin.offset(ps.left, ps.top);
    }
    r.offset(-origin.x, -origin.y);
    return r;
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect r = updateRect;
    r.bound(size);
    if (r.isEmpty()) return;
    CRect local = r;
    local.offset(-size.left, -size.top);
    // A paint clears the dirty state only of a view it covered whole. A partial one (an
    // expose, or the place a removed pop-up list leaves) keeps a dirty view dirty, whatever
    // marked it, so the next idle step draws it whole: its own draw() clears its flag, which
    // must not hide that the rest of it still shows old pixels.
    const bool clears = context->getClearsDirtyState();
    const CRect visible = clears ? visibleLocalRect() : CRect();
    const bool wasDirty = clears && CView::isDirty();
    context->enterView(CPoint(size.left, size.top), local);
    drawBackgroundRect(context, local);
    // A copy: drawing code must not change the list, but a faulty one should not crash us.
    const std::vector<CView*> list = children;
    for (CView* child : list) {
        if (!child->isVisible()) continue;
        CRect cr = child->getViewSize();
        cr.bound(local);
        if (cr.isEmpty()) continue;
        // A container's children answer for themselves; its own flag is what counts here.
        const bool childDirty = clears && (child->asViewContainer() ? child->CView::isDirty() : child->isDirty());
        context->enterView(CPoint(0, 0), cr, child->getAlphaValue());
        child->drawRect(context, cr);
        context->leaveView();
        if (clears) {
            CRect whole = child->getViewSize();
            whole.bound(visible);
            child->setDirty(childDirty && cr != whole);
        }
    }
    context->leaveView();
    if (clears) {
        CRect whole = visible;
        whole.offset(size.left, size.top);
        CView::setDirty(wasDirty && r != whole);
    }
}

void CViewContainer::invalid() {
    CRect r(0, 0, getWidth(), getHeight());
    invalidRect(r);
}

void CViewContainer::invalidRect(const CRect& rect) {
    if (!isAttached() || !isVisible() || !getParentView()) return;
    CRect r = rect;
    r.offset(size.left, size.top);
    r.bound(size);
    if (r.isEmpty()) return;
    getParentView()->invalidRect(r);
}

bool CViewContainer::isDirty() const {
    if (CView::isDirty()) return true;
    for (CView* c : children)
        if (c->isVisible() && c->isDirty()) return true;
    return false;
}

void CViewContainer::invalidDirtyViews() {
    if (!isVisible()) return;
    if (CView::isDirty()) {
        invalid();
        return;
    }
    const std::vector<CView*> list = children;
    for (CView* child : list) {
        if (!child->isVisible()) continue;
        if (CViewContainer* c = child->asViewContainer())
            c->invalidDirtyViews();
        else if (child->isDirty())
            child->invalid();
    }
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const CButtonState& buttons) {
    CPoint p = where;
    p.offset(-size.left, -size.top);
    const std::vector<CView*> list = children;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        CView* child = *it;
        if (child->getParentView() != this) continue;
        if (!child->isVisible() || !child->getMouseEnabled() || !child->hitTest(p, buttons)) continue;
        CBaseObjectGuard guard(child);
        if (child->wantsFocus()) {
            if (CFrame* frame = getFrame()) frame->setFocusView(child);
        }
        CPoint cp = p;
        const CMouseEventResult result = child->onMouseDown(cp, buttons);
        if (result == kMouseEventNotHandled || result == kMouseEventNotImplemented) {
            if (child->getTransparency()) continue;
            return kMouseEventNotHandled;
        }
        if (result == kMouseEventHandled && child->getParentView() == this) mouseDownView = child;
        return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    CPoint p = where;
    p.offset(-size.left, -size.top);
    if (CView* v = mouseDownView) {
        CBaseObjectGuard guard(v);
        CPoint cp = p;
        const CMouseEventResult result = v->onMouseMoved(cp, buttons);
        if (result == kMouseMoveEventHandledButDontNeedMoreEvents && mouseDownView == v) clearMouseDownView(false);
        return result == kMouseEventNotImplemented ? kMouseEventHandled : result;
    }
    const std::vector<CView*> list = children;
    for (auto it = list.rbegin(); it != list.rend(); ++it) {
        CView* child = *it;
        if (child->getParentView() != this) continue;
        if (!child->isVisible() || !child->getMouseEnabled() || !child->hitTest(p, buttons)) continue;
        CBaseObjectGuard guard(child);
        CPoint cp = p;
        const CMouseEventResult result = child->onMouseMoved(cp, buttons);
        if ((result == kMouseEventNotHandled || result == kMouseEventNotImplemented) && child->getTransparency())
            continue;
        return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* v = mouseDownView;
    if (!v) return kMouseEventNotHandled;
    mouseDownView = nullptr;
    CBaseObjectGuard guard(v);
    CPoint cp = where;
    cp.offset(-size.left, -size.top);
    const CMouseEventResult result = v->onMouseUp(cp, buttons);
    return result == kMouseEventNotImplemented ? kMouseEventHandled : result;
}

CMouseEventResult CViewContainer::onMouseCancel() {
    clearMouseDownView(true);
    return kMouseEventHandled;
}

void CViewContainer::clearMouseDownView(bool notify) {
    CView* v = mouseDownView;
    if (!v) return;
    mouseDownView = nullptr;
    if (notify) {
        CBaseObjectGuard guard(v);
        v->onMouseCancel();
    } else if (CViewContainer* c = v->asViewContainer()) {
        c->clearMouseDownView(false);
    }
}

bool CViewContainer::attached(CView* parent) {
    CView::attached(parent);
    const std::vector<CView*> list = children;
    for (CView* c : list)
        if (!c->isAttached()) c->attached(this);
    return true;
}

bool CViewContainer::removed(CView* parent) {
    const std::vector<CView*> list = children;
    for (CView* c : list)
        if (c->isAttached()) c->removed(this);
    return CView::removed(parent);
}

} // namespace VSTGUI
