// Buttons drawn from two-state strips: the upper half shows "off", the lower half "on".
#pragma once

#include "gui/CControl.h"

namespace VSTGUI {

// A momentary button: the maximum while pressed with the pointer inside it, the minimum
// after the release (the listener hears of both).
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                const CPoint& offset = CPoint(0, 0));
    CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));
    CKickButton(const CKickButton& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    CView* newCopy() const override { return new CKickButton(*this); }

    void setHeightOfOneImage(CCoord height) { heightOfOneImage = height; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

protected:
    CPoint offset;
    CCoord heightOfOneImage;
    float entryState = 0.f;
};

// A switch: a left click toggles between minimum and maximum and tells the listener.
class COnOffButton : public CControl {
public:
    enum Style { kPreListenerUpdate = 1 << 0, kPostListenerUpdate = 1 << 1 };

    COnOffButton(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1,
                 CBitmap* background = nullptr, int32_t style = kPreListenerUpdate);
    COnOffButton(const COnOffButton& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CView* newCopy() const override { return new COnOffButton(*this); }

    int32_t getStyle() const { return style; }
    void setStyle(int32_t newStyle) { style = newStyle; }

protected:
    int32_t style;
};

} // namespace VSTGUI
