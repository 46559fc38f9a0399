// The on/off switch of a parameter (effect and layer switches): a vector LED, or its own
// two-state strip (upper half off, lower half on). A click toggles it inside one edit gesture.
#pragma once

#include "gui/vstgui.h"

class TOnOff : public VSTGUI::COnOffButton {
public:
    // `bitmap` is drawn only with bitmapLook; the switch keeps its own reference to it.
    TOnOff(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int32_t tag, VSTGUI::CBitmap* bitmap,
           bool bitmapLook, int32_t style = kPreListenerUpdate);

    // Set the value without telling the listener; redraw only on a change.
    void setState(bool on);
    void setOn();
    void setOff();
    void setBypassed(bool bypassed);
    void setInvisible(bool invisible);
    bool getBypassed() const { return bypassed; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CView* newCopy() const override { return new TOnOff(*this); }

private:
    bool bitmapLook;
    bool bypassed = false;
    bool invisible = false;
};
