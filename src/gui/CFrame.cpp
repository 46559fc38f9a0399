#include "gui/CFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/GuiRuntime.h"
#include "gui/MenuPresenter.h"
#include "gui/PlatformWindow.h"

namespace VSTGUI {

int32_t CFrame::kDefaultKnobMode = kCircularMode;

namespace {

constexpr uint32_t kDoubleClickTime = 400;
constexpr double kDoubleClickDistance = 4;
// Beyond this many separate rectangles the region becomes their bounding box.
constexpr std::size_t kMaxRegionRects = 24;

bool isInside(const CView* view, const CView* root) {
    for (const CView* p = view; p; p = p->getParentView())
        if (p == root) return true;
    return false;
}

} // namespace

CFrame::CFrame(const CRect& r, VSTGUIEditorInterface* editor) : CViewContainer(r), editor(editor) {
    size.originize();
    mouseableArea = size;
}

CFrame::~CFrame() { shutdown(); }

void CFrame::shutdown() {
    if (!opened) return;
    clearMouseDownView(false);
    focusView = nullptr;
    hoverView = nullptr;
    shownTooltip.clear();
    opened = false;
    if (platformBusy > 0)
        retiredPlatform = std::move(platform);
    else
        platform.reset();
}

bool CFrame::open(void* systemWindow, PlatformType type, IPlatformFrameConfig*) {
    if (opened) return false;
    recordUIThread();
    if (type == PlatformType::kOffscreen || !systemWindow)
        platform = createOffscreenWindow(this);
    else
        platform = createX11Window(this, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(systemWindow)));
    if (!platform) return false;
    opened = true;
    attached(nullptr);
    invalid();
    return true;
}

void CFrame::close() {
    if (!checkUIThread("CFrame::close")) return;
    if (opened) {
        clearMouseDownView(true);
        setFocusView(nullptr);
        hideTooltip();
        hoverView = nullptr;
        keyboardHooks.clear();
        removeAll(true);
        removed(nullptr);
        shutdown();
    } else {
        removeAll(true);
    }
    invalidRegion.clear();
    forget();
}

bool CFrame::isOffscreen() const { return !platform || platform->isOffscreen(); }

void* CFrame::getSystemWindow() const { return platform ? platform->getSystemWindow() : nullptr; }

unsigned long CFrame::getTopLevelWindow() const { return platform ? platform->getTopLevelWindow() : 0; }

void CFrame::idle() {
    if (!checkUIThread("CFrame::idle") || !opened) return;
    invalidDirtyViews();
    if (platform) platform->paint();
    updateTooltip();
}

void CFrame::pumpEvents() {
    if (!checkUIThread("CFrame::pumpEvents") || !opened || !platform) return;
    CBaseObjectGuard guard(this);
    IPlatformWindow* p = platform.get();
    ++platformBusy;
    p->pumpEvents();
    --platformBusy;
    if (platformBusy == 0) retiredPlatform.reset();
}

void CFrame::registerKeyboardHook(IKeyboardHook* hook) {
    if (hook && std::find(keyboardHooks.begin(), keyboardHooks.end(), hook) == keyboardHooks.end())
        keyboardHooks.push_back(hook);
}

void CFrame::unregisterKeyboardHook(IKeyboardHook* hook) {
    keyboardHooks.erase(std::remove(keyboardHooks.begin(), keyboardHooks.end(), hook), keyboardHooks.end());
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView || changingFocus) return;
    if (view && !isInside(view, this)) return;
    changingFocus = true;
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus();
    if (view && focusView == view) {
        view->takeFocus();
        if (platform) platform->takeKeyboardFocus();
    }
    changingFocus = false;
}

void CFrame::looseFocus() { setFocusView(nullptr); }

bool CFrame::getCurrentMouseLocation(CPoint& where) const {
    CPoint p;
    CButtonState s;
    if (platform && platform->queryPointer(p, s)) {
        where = p;
        return true;
    }
    where = mouseLocation;
    return true;
}

CButtonState CFrame::getCurrentMouseButtons() const {
    CPoint p;
    CButtonState s;
    if (platform && platform->queryPointer(p, s)) return s;
    return mouseButtons;
}

void CFrame::beginEdit(int32_t index) {
    if (editor) editor->beginEdit(index);
}

void CFrame::endEdit(int32_t index) {
    if (editor) editor->endEdit(index);
}

int32_t CFrame::getKnobMode() const { return editor ? editor->getKnobMode() : kDefaultKnobMode; }

// ---- Invalid region ------------------------------------------------------------------------

void CFrame::invalid() { invalidRect(CRect(0, 0, getWidth(), getHeight())); }

void CFrame::invalidRect(const CRect& rect) {
    if (!opened || !checkUIThread("CFrame::invalidRect")) return;
    CRect r = rect;
    r.normalize();
    // Partly covered pixels are repainted whole.
    r.left = std::floor(r.left);
    r.top = std::floor(r.top);
    r.right = std::ceil(r.right);
    r.bottom = std::ceil(r.bottom);
    r.bound(CRect(0, 0, getWidth(), getHeight()));
    if (r.isEmpty()) return;
    for (const CRect& e : invalidRegion) {
        CRect u = e;
        u.bound(r);
        if (u == r) return; // already covered
    }
    invalidRegion.erase(std::remove_if(invalidRegion.begin(), invalidRegion.end(),
                                       [&](const CRect& e) {
                                           CRect u = e;
                                           u.bound(r);
                                           return u == e;
                                       }),
                        invalidRegion.end());
    invalidRegion.push_back(r);
    if (invalidRegion.size() > kMaxRegionRects) {
        CRect all;
        for (const CRect& e : invalidRegion) all.unite(e);
        invalidRegion.assign(1, all);
    }
}

std::vector<CRect> CFrame::takeInvalidRegion() {
    std::vector<CRect> out;
    out.swap(invalidRegion);
    return out;
}

void CFrame::platformDrawRect(CDrawContext* context, const CRect& rect) {
    if (!checkUIThread("CFrame::draw") || !context) return;
    drawRect(context, rect);
}

void CFrame::drawBackgroundRect(CDrawContext* context, const CRect& rect) {
    // The frame is opaque: what a view leaves transparent shows the background colour.
    CColor c = getBackgroundColor();
    c.alpha = 255;
    context->setFillColor(c);
    context->drawRect(rect, kDrawFilled);
    if (CBitmap* bmp = getDrawBackground()) bmp->draw(context, CRect(0, 0, getWidth(), getHeight()), getBackgroundOffset());
}

// ---- Mouse ---------------------------------------------------------------------------------

void CFrame::updateHover(const CPoint& where, CButtonState buttons) {
    CView* v = getViewAt(where, GetViewOptions().deep().includeViewContainer());
    if (v == hoverView) return;
    CView* old = hoverView;
    hoverView = v;
    hoverSince = guiTicks();
    hideTooltip();
    if (old) {
        CPoint p = where;
        old->frameToLocal(p);
        old->onMouseExited(p, buttons);
    }
    if (v && hoverView == v) {
        CPoint p = where;
        v->frameToLocal(p);
        v->onMouseEntered(p, buttons);
    }
}

CMouseEventResult CFrame::platformOnMouseDown(const CPoint& where, CButtonState buttons) {
    if (!checkUIThread("CFrame::onMouseDown") || !opened) return kMouseEventNotHandled;
    hideTooltip();
    mouseLocation = where;
    mouseButtons = buttons;
    const uint32_t now = guiTicks();
    const int32_t button = buttons.getButtonState();
    const bool isDouble = haveLastClick && !lastClickWasDouble && button == lastClickButton &&
                          now - lastClickTime <= kDoubleClickTime &&
                          std::fabs(where.x - lastClickWhere.x) <= kDoubleClickDistance &&
                          std::fabs(where.y - lastClickWhere.y) <= kDoubleClickDistance;
    if (isDouble) buttons |= kDoubleClick;
    lastClickWasDouble = isDouble;
    lastClickTime = now;
    lastClickWhere = where;
    lastClickButton = button;
    haveLastClick = true;

    // A press outside the focus view ends its editing.
    if (focusView) {
        CPoint p = where;
        focusView->frameToLocal(p);
        if (!focusView->getViewSize().pointInside(p)) setFocusView(nullptr);
    }
    // A new press ends a capture whose release never came.
    if (getMouseDownView()) clearMouseDownView(true);

    const uint32_t popupsBefore = popupCount;
    CBaseObjectGuard guard(this);
    CPoint p = where;
    const CMouseEventResult result = CViewContainer::onMouseDown(p, buttons);
    // A modal pop-up opened by the press took the release: nothing stays captured.
    if (popupCount != popupsBefore) clearMouseDownView(true);
    return result;
}

CMouseEventResult CFrame::platformOnMouseMoved(const CPoint& where, CButtonState buttons) {
    if (!checkUIThread("CFrame::onMouseMoved") || !opened) return kMouseEventNotHandled;
    mouseLocation = where;
    mouseButtons = buttons;
    CBaseObjectGuard guard(this);
    updateHover(where, buttons);
    CPoint p = where;
    return CViewContainer::onMouseMoved(p, buttons);
}

CMouseEventResult CFrame::platformOnMouseUp(const CPoint& where, CButtonState buttons) {
    if (!checkUIThread("CFrame::onMouseUp") || !opened) return kMouseEventNotHandled;
    mouseLocation = where;
    mouseButtons = CButtonState(buttons.getModifierState());
    CBaseObjectGuard guard(this);
    CPoint p = where;
    return CViewContainer::onMouseUp(p, buttons);
}

void CFrame::platformOnMouseExited() {
    if (!checkUIThread("CFrame::onMouseExited") || !opened) return;
    hideTooltip();
    if (CView* old = hoverView) {
        hoverView = nullptr;
        CPoint p = mouseLocation;
        old->frameToLocal(p);
        old->onMouseExited(p, mouseButtons);
    }
}

bool CFrame::platformOnMouseWheel(const CPoint& where, float distance, CButtonState buttons) {
    if (!checkUIThread("CFrame::onMouseWheel") || !opened) return false;
    hideTooltip();
    mouseLocation = where;
    CBaseObjectGuard guard(this);
    CView* target = getViewAt(where, GetViewOptions().deep().mouseEnabled().includeViewContainer());
    // Each view of the way up is kept alive while it is asked.
    std::vector<CView*> chain;
    for (CView* v = target; v && v != this; v = v->getParentView()) chain.push_back(v);
    for (CView* v : chain) v->remember();
    bool handled = false;
    for (CView* v : chain) {
        if (!isInside(v, this)) break; // removed by an earlier handler
        CPoint p = where;
        v->frameToLocal(p);
        if (v->onWheel(p, distance, buttons)) {
            handled = true;
            break;
        }
    }
    for (CView* v : chain) v->forget();
    return handled;
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    return platformOnMouseWheel(where, distance, buttons);
}

// ---- Keys ----------------------------------------------------------------------------------

int32_t CFrame::platformOnKeyDown(VstKeyCode key) {
    if (!checkUIThread("CFrame::onKeyDown") || !opened) return -1;
    hideTooltip();
    CBaseObjectGuard guard(this);
    const std::vector<IKeyboardHook*> hooks = keyboardHooks;
    for (IKeyboardHook* h : hooks) {
        const int32_t r = h->onKeyDown(key, this);
        if (r != -1) return r;
    }
    if (CView* f = focusView) {
        CBaseObjectGuard g(f);
        const int32_t r = f->onKeyDown(key);
        if (r != -1) return r;
    }
    return -1;
}

int32_t CFrame::platformOnKeyUp(VstKeyCode key) {
    if (!checkUIThread("CFrame::onKeyUp") || !opened) return -1;
    CBaseObjectGuard guard(this);
    const std::vector<IKeyboardHook*> hooks = keyboardHooks;
    for (IKeyboardHook* h : hooks) {
        const int32_t r = h->onKeyUp(key, this);
        if (r != -1) return r;
    }
    if (CView* f = focusView) {
        CBaseObjectGuard g(f);
        const int32_t r = f->onKeyUp(key);
        if (r != -1) return r;
    }
    return -1;
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode) { return platformOnKeyDown(keyCode); }

int32_t CFrame::onKeyUp(VstKeyCode& keyCode) { return platformOnKeyUp(keyCode); }

// ---- Tooltips and pop-ups -------------------------------------------------------------------

void CFrame::hideTooltip() {
    if (shownTooltip.empty()) return;
    shownTooltip.clear();
    if (platform) platform->hideTooltip();
}

void CFrame::updateTooltip() {
    std::string text;
    for (CView* v = hoverView; v && v != this && text.empty(); v = v->getParentView()) text = v->getTooltipText();
    if (text.empty() || mouseButtons.getButtonState() != 0) {
        hideTooltip();
        return;
    }
    if (text == shownTooltip) return;
    if (shownTooltip.empty() && guiTicks() - hoverSince < kTooltipDelay) return;
    shownTooltip = text;
    if (platform) platform->showTooltip(mouseLocation, text);
}

IMenuPresenter* CFrame::getMenuPresenter() const { return platform ? platform->menuPresenter() : nullptr; }

void CFrame::popupStarted() {
    ++popupCount;
    hideTooltip();
}

void CFrame::viewWillBeRemoved(CView* view, bool notify) {
    if (focusView && isInside(focusView, view)) {
        CView* f = focusView;
        focusView = nullptr;
        if (notify) f->looseFocus();
    }
    if (hoverView && isInside(hoverView, view)) {
        hoverView = nullptr;
        hideTooltip();
    }
}

} // namespace VSTGUI
