#include "controls/TOnOff.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;

namespace {
constexpr uint8_t kBypassedBitmapAlpha = 64;
}

TOnOff::TOnOff(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap, bool bitmapLook,
               int32_t style)
    : COnOffButton(size, listener, tag, bitmap, style), bitmapLook(bitmapLook) {}

void TOnOff::setState(bool on) {
    if ((getValue() > 0.5f) == on) return;
    setValue(on ? 1.f : 0.f);
    setDirty(true);
}

void TOnOff::setOn() {
    if (getValue() > 0.5f) return;
    setValue(1.f);
    setDirty(true);
}

void TOnOff::setOff() {
    if (getValue() <= 0.5f) return;
    setValue(0.f);
    setDirty(true);
}

void TOnOff::setBypassed(bool state) {
    if (bypassed == state) return;
    bypassed = state;
    setDirty(true);
}

void TOnOff::setInvisible(bool state) {
    if (invisible == state) return;
    invisible = state;
    setDirty(true);
}

void TOnOff::draw(CDrawContext* c) {
    if (!drawingEditor(this) || invisible) return;
    const CRect& r = getViewSize();
    const bool lit = std::trunc(getValue()) == 1;
    if (!bitmapLook) {
        tlook::drawLed(c, r, lit, bypassed);
        return;
    }
    CBitmap* strip = getDrawBackground();
    if (!strip) return;
    if (bypassed)
        strip->drawAlphaBlend(c, r, CPoint(0, strip->getHeight() * std::trunc(getValue()) * 0.5), kBypassedBitmapAlpha);
    else
        tlook::drawLedBitmap(c, strip, r, getValue());
}

CMouseEventResult TOnOff::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!getMouseEnabled() || bypassed || invisible || !controlEditor(this))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    // A listener may take modifier clicks; the editor leaves them to the switch.
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    setValue(std::trunc(getValue()) != 0 ? 0.f : 1.f);
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
