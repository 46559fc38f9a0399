#include "gui/CButtons.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace VSTGUI {

// ---- CKickButton ---------------------------------------------------------------------------

CKickButton::CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                         const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), heightOfOneImage(size.getHeight()) {}

CKickButton::CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), heightOfOneImage(heightOfOneImage) {}

void CKickButton::draw(CDrawContext* context) {
    if (CBitmap* bmp = getDrawBackground()) {
        CPoint where(offset.x, offset.y);
        if (getValue() == getMax() && getMax() != getMin()) where.y += heightOfOneImage;
        bmp->draw(context, getViewSize(), where);
    }
}

CMouseEventResult CKickButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    entryState = getValue();
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons & kLButton) {
        const CRect& r = getViewSize();
        // Edges included, so that the button stays pressed on its border.
        const bool inside = where.x >= r.left && where.y >= r.top && where.x <= r.right && where.y <= r.bottom;
        setValue(inside ? getMax() : getMin());
        if (isDirty()) invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    if (getValue() != getMin()) valueChanged();
    setValue(getMin());
    valueChanged();
    if (isDirty()) invalid();
    endEdit();
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseCancel() {
    setValue(entryState);
    if (isDirty()) invalid();
    return CControl::onMouseCancel();
}

// ---- COnOffButton --------------------------------------------------------------------------

COnOffButton::COnOffButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                           int32_t style)
    : CControl(size, listener, tag, background), style(style) {}

void COnOffButton::draw(CDrawContext* context) {
    if (CBitmap* bmp = getDrawBackground()) {
        CPoint where(backOffset.x, backOffset.y);
        if (getValue() == getMax() && getMax() != getMin()) where.y += getHeight();
        bmp->draw(context, getViewSize(), where);
    }
}

CMouseEventResult COnOffButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    setValue(getValue() == getMax() ? getMin() : getMax());
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

} // namespace VSTGUI
