// The base of everything in a frame's view tree.
//
// A view's rectangle (getViewSize) is in its parent's coordinates; events it receives carry
// points in the same coordinates, and it draws in them. Ownership: see CBaseObject.h.
//
// Redrawing: invalid() asks for the view's rectangle to be repainted at the next paint of the
// window; setDirty(true) only marks the view, and the frame's idle() turns marked views into
// invalid rectangles. Drawing a view clears its dirty state.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "gui/CBaseObject.h"
#include "gui/GuiTypes.h"
#include "gui/VstKeys.h"

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;
class VSTGUIEditorInterface;

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    // Copies the rectangle, flags, attributes and background; the copy has no parent.
    CView(const CView& other);
    ~CView() override;

    // ---- Drawing ----
    virtual void draw(CDrawContext* context);
    // Draws the part of the view inside updateRect (parent coordinates); by default draw().
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(const CRect& updateRect) const { return updateRect.rectOverlap(size); }
    virtual bool isDirty() const { return dirty.load(std::memory_order_relaxed); }
    // May be called from any thread (it only sets a flag).
    virtual void setDirty(bool state = true) { dirty.store(state, std::memory_order_relaxed); }
    virtual void invalid();
    // Asks for `rect` (in this view's own coordinates: the parent's for a plain view, its
    // own inner coordinates for a container) to be repainted.
    virtual void invalidRect(const CRect& rect);

    // ---- Mouse ----
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    // The press the view captured ends without a release (the view is leaving the tree, or a
    // pop-up took the release).
    virtual CMouseEventResult onMouseCancel();
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    // The wheel: distance +1 per notch away from the user. false = not handled (the event
    // then goes to the parent).
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    virtual bool hitTest(const CPoint& where, const CButtonState& buttons = CButtonState());
    virtual void setMouseEnabled(bool state = true) { mouseEnabled = state; }
    bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual CRect getMouseableArea() const { return mouseableArea; }

    // ---- Keys: 1 handled, -1 not handled ----
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);

    // ---- Focus ----
    virtual bool wantsFocus() const { return wantsFocusFlag; }
    void setWantsFocus(bool state) { wantsFocusFlag = state; }
    // Called by the frame when the view gets or loses the keyboard focus.
    virtual void takeFocus() {}
    virtual void looseFocus() {}

    // ---- Size ----
    const CRect& getViewSize() const { return size; }
    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    CCoord getWidth() const { return size.getWidth(); }
    CCoord getHeight() const { return size.getHeight(); }
    virtual bool sizeToFit() { return false; }

    // ---- Visibility ----
    virtual void setVisible(bool state);
    bool isVisible() const { return visible; }
    // A transparent view lets presses it does not handle go on to the views below it.
    void setTransparency(bool state) { transparent = state; }
    bool getTransparency() const { return transparent; }
    virtual void setAlphaValue(float alpha);
    float getAlphaValue() const { return alphaValue; }

    // ---- Tree ----
    CView* getParentView() const { return parentView; }
    // The frame at the root of the view's tree, or null when it is in none.
    CFrame* getFrame() const;
    // The frame's editor, or null.
    VSTGUIEditorInterface* getEditor() const;
    // Whether the view is in the tree of an open frame.
    bool isAttached() const { return attachedFlag; }
    // Called when the view enters / leaves the tree of an open frame.
    virtual bool attached(CView* parent);
    virtual bool removed(CView* parent);
    // Converts a point in this view's coordinates (its parent's) to frame coordinates.
    CPoint& localToFrame(CPoint& point) const;
    CPoint& frameToLocal(CPoint& point) const;
    virtual CViewContainer* asViewContainer() { return nullptr; }
    virtual const CViewContainer* asViewContainer() const { return nullptr; }
    virtual CFrame* asFrame() { return nullptr; }
    virtual const CFrame* asFrame() const { return nullptr; }

    // ---- Background ----
    // Takes its own reference to the bitmap (and gives back the one of the previous bitmap).
    virtual void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return background; }
    CBitmap* getDrawBackground() const { return background; }

    // ---- Attributes ----
    bool setAttribute(CViewAttributeID id, uint32_t inSize, const void* inData);
    bool getAttributeSize(CViewAttributeID id, uint32_t& outSize) const;
    // Copies the attribute when it fits inSize bytes.
    bool getAttribute(CViewAttributeID id, uint32_t inSize, void* outData, uint32_t& outSize) const;
    bool removeAttribute(CViewAttributeID id);
    // The tooltip attribute as text (an empty text removes it).
    void setTooltipText(UTF8StringPtr text);
    std::string getTooltipText() const;

    // A copy of the view (classes that support copying override it).
    virtual CView* newCopy() const { return nullptr; }

protected:
    bool mayDestroy() override;

    CRect size;
    CRect mouseableArea;

private:
    friend class CViewContainer;
    friend class CFrame;

    CView* parentView = nullptr;
    CBitmap* background = nullptr;
    std::map<CViewAttributeID, std::vector<uint8_t>> attributes;
    float alphaValue = 1.f;
    std::atomic<bool> dirty{false};
    bool visible = true;
    bool mouseEnabled = true;
    bool transparent = false;
    bool wantsFocusFlag = false;
    bool attachedFlag = false;
    // The last reference was given back while the view had a parent: its container owns it
    // and releases it when the view leaves.
    bool orphaned = false;
};

} // namespace VSTGUI
