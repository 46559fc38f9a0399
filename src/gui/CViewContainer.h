// A view that holds child views. Children's rectangles are in the container's own
// coordinates (its top-left corner is (0, 0) for them); they are drawn in insertion order,
// so the last one added lies on top, and the topmost visible, mouse-enabled child under the
// pointer gets a press. Ownership: see CBaseObject.h (addView adopts the caller's reference,
// removeView/removeAll(false) hand it back, (true) releases it).
#pragma once

#include <vector>

#include "gui/CView.h"

namespace VSTGUI {

class GetViewOptions {
public:
    enum : uint32_t {
        kNone = 0,
        kDeep = 1 << 0,                 // search inside child containers
        kMouseEnabled = 1 << 1,         // only mouse-enabled views
        kIncludeViewContainer = 1 << 2, // a container may itself be the answer
        kIncludeInvisible = 1 << 3,     // invisible views count too
    };
    GetViewOptions(uint32_t flags = kNone) : flags(flags) {}
    GetViewOptions& deep(bool s = true) { return set(kDeep, s); }
    GetViewOptions& mouseEnabled(bool s = true) { return set(kMouseEnabled, s); }
    GetViewOptions& includeViewContainer(bool s = true) { return set(kIncludeViewContainer, s); }
    GetViewOptions& includeInvisible(bool s = true) { return set(kIncludeInvisible, s); }
    bool getDeep() const { return flags & kDeep; }
    bool getMouseEnabled() const { return flags & kMouseEnabled; }
    bool getIncludeViewContainer() const { return flags & kIncludeViewContainer; }
    bool getIncludeInvisible() const { return flags & kIncludeInvisible; }

private:
    GetViewOptions& set(uint32_t f, bool s) {
        flags = s ? (flags | f) : (flags & ~f);
        return *this;
    }
    uint32_t flags;
};

class CViewContainer : public CView {
public:
    explicit CViewContainer(const CRect& size);
    ~CViewContainer() override;

    CViewContainer(const CViewContainer&) = delete;
    CViewContainer& operator=(const CViewContainer&) = delete;

    // Adds the view on top (adopting the caller's reference). Refused (false, nothing
    // adopted) for a null view, the container itself or one of its ancestors, and a view
    // that already has a parent.
    virtual bool addView(CView* view);
    // Adds the view below `before` (on top when `before` is no child).
    virtual bool addView(CView* view, CView* before);
    virtual bool removeView(CView* view, bool withForget = true);
    virtual bool removeAll(bool withForget = true);
    // Moves a child to position newIndex of the drawing order (0 = bottom).
    virtual bool changeViewZOrder(CView* view, uint32_t newIndex);
    bool isChild(const CView* view, bool deep = false) const;
    uint32_t getNbViews() const { return static_cast<uint32_t>(children.size()); }
    CView* getView(uint32_t index) const { return index < children.size() ? children[index] : nullptr; }
    bool hasChildren() const { return !children.empty(); }
    const std::vector<CView*>& getChildren() const { return children; }

    // The topmost child at `where` (in the coordinates of this container's own rectangle,
    // that is its parent's); with kDeep the deepest view there.
    virtual CView* getViewAt(const CPoint& where, const GetViewOptions& options = GetViewOptions()) const;

    void setBackgroundColor(const CColor& color);
    CColor getBackgroundColor() const { return backgroundColor; }
    void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; }
    const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    // Kept for compatibility: every frame draws through one back buffer already.
    void useOffscreen(bool b) { offscreen = b; }
    bool getUseOffscreen() const { return offscreen; }

    // ---- CView ----
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    void invalid() override;
    void invalidRect(const CRect& rect) override;
    bool isDirty() const override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool attached(CView* parent) override;
    bool removed(CView* parent) override;
    CViewContainer* asViewContainer() override { return this; }
    const CViewContainer* asViewContainer() const override { return this; }

    // The child that captured the current press, if any.
    CView* getMouseDownView() const { return mouseDownView; }
    // Ends a capture: the captured view (and its own captured views) get onMouseCancel when
    // `notify` is true.
    void clearMouseDownView(bool notify);

private:
    friend class CView;
    friend class CFrame;

    bool detach(CView* view, bool withForget);
    // Called by ~CView of a child that is destroyed while still in the list.
    void detachDestroyedChild(CView* view);
    // Marks dirty children for repainting.
    void invalidDirtyViews();
    // The part of this container its ancestors leave on screen, in its own coordinates.
    CRect visibleLocalRect() const;

    std::vector<CView*> children;
    CView* mouseDownView = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
    bool offscreen = false;
};

} // namespace VSTGUI
