#include "gui/CView.h"

#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"
#include "gui/GuiRuntime.h"

namespace VSTGUI {

CView::CView(const CRect& r) : size(r), mouseableArea(r) { size.normalize(); mouseableArea = size; }

CView::CView(const CView& other)
    : CBaseObject(other),
      size(other.size),
      mouseableArea(other.mouseableArea),
      background(other.background),
      attributes(other.attributes),
      alphaValue(other.alphaValue),
      dirty(other.dirty.load()),
      visible(other.visible),
      mouseEnabled(other.mouseEnabled),
      transparent(other.transparent),
      wantsFocusFlag(other.wantsFocusFlag) {
    if (background) background->remember();
}

CView::~CView() {
    if (parentView) {
        reportGuiFault(GuiFault::kDeleteWhileAttached, "a view was deleted while it still had a parent");
        if (CViewContainer* c = parentView->asViewContainer()) c->detachDestroyedChild(this);
        parentView = nullptr;
    }
    if (background) background->forget();
}

bool CView::mayDestroy() {
    if (!parentView) return true;
    reportGuiFault(GuiFault::kForgetWhileAttached,
                   "the last reference of a view was given back while it still had a parent");
    orphaned = true;
    return false;
}

void CView::draw(CDrawContext* /*context*/) {}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/) { draw(context); }

void CView::invalid() { invalidRect(size); }

void CView::invalidRect(const CRect& rect) {
    if (!attachedFlag || !visible || !parentView) return;
    parentView->invalidRect(rect);
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseCancel() { return kMouseEventHandled; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }

bool CView::onWheel(const CPoint&, const float&, const CButtonState&) { return false; }

bool CView::hitTest(const CPoint& where, const CButtonState&) { return getMouseableArea().pointInside(where); }

int32_t CView::onKeyDown(VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(VstKeyCode&) { return -1; }

void CView::setViewSize(const CRect& rect, bool invalidate) {
    CRect r = rect;
    r.normalize();
    if (r == size) return;
    if (invalidate) invalid();
    size = r;
    mouseableArea = r;
    if (invalidate) invalid();
}

void CView::setVisible(bool state) {
    if (state == visible) return;
    if (!state && attachedFlag && parentView) parentView->invalidRect(size);
    visible = state;
    if (state) invalid();
}

void CView::setAlphaValue(float alpha) {
    if (alpha < 0) alpha = 0;
    if (alpha > 1) alpha = 1;
    if (alpha == alphaValue) return;
    alphaValue = alpha;
    invalid();
}

CFrame* CView::getFrame() const {
    const CView* v = this;
    while (v->parentView) v = v->parentView;
    return const_cast<CView*>(v)->asFrame();
}

VSTGUIEditorInterface* CView::getEditor() const {
    CFrame* f = getFrame();
    return f ? f->getEditor() : nullptr;
}

bool CView::attached(CView* /*parent*/) {
    attachedFlag = true;
    return true;
}

bool CView::removed(CView* /*parent*/) {
    attachedFlag = false;
    return true;
}

CPoint& CView::localToFrame(CPoint& point) const {
    for (const CView* p = parentView; p; p = p->parentView) point.offset(p->size.left, p->size.top);
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    for (const CView* p = parentView; p; p = p->parentView) point.offset(-p->size.left, -p->size.top);
    return point;
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty(true);
}

bool CView::setAttribute(CViewAttributeID id, uint32_t inSize, const void* inData) {
    if (inSize > 0 && !inData) return false;
    std::vector<uint8_t> data(inSize);
    if (inSize) std::memcpy(data.data(), inData, inSize);
    attributes[id] = std::move(data);
    return true;
}

bool CView::getAttributeSize(CViewAttributeID id, uint32_t& outSize) const {
    auto it = attributes.find(id);
    if (it == attributes.end()) return false;
    outSize = static_cast<uint32_t>(it->second.size());
    return true;
}

bool CView::getAttribute(CViewAttributeID id, uint32_t inSize, void* outData, uint32_t& outSize) const {
    auto it = attributes.find(id);
    if (it == attributes.end() || it->second.size() > inSize || (!outData && !it->second.empty()))
        return false;
    if (!it->second.empty()) std::memcpy(outData, it->second.data(), it->second.size());
    outSize = static_cast<uint32_t>(it->second.size());
    return true;
}

bool CView::removeAttribute(CViewAttributeID id) { return attributes.erase(id) > 0; }

void CView::setTooltipText(UTF8StringPtr text) {
    if (!text || !*text) {
        removeAttribute(kCViewTooltipAttribute);
        return;
    }
    setAttribute(kCViewTooltipAttribute, static_cast<uint32_t>(std::strlen(text) + 1), text);
}

std::string CView::getTooltipText() const {
    auto it = attributes.find(kCViewTooltipAttribute);
    if (it == attributes.end() || it->second.empty()) return std::string();
    // The stored text runs up to its first zero (or the end of the data).
    const char* p = reinterpret_cast<const char*>(it->second.data());
    return std::string(p, strnlen(p, it->second.size()));
}

} // namespace VSTGUI
