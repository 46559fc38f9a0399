#include "controls/TKickButton.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;

namespace {
constexpr int kLedStripId = 10060;
}

TKickButton::TKickButton(const CRect& size, IControlListener* listener, const std::string& text, int style)
    : CKickButton(size, listener, tlook::NO_PARAMETER_TAG, nullptr, CPoint(0, 0)),
      label(text.empty() ? " " : text),
      style(style) {}

void TKickButton::setAlwaysOn(bool on) {
    if (alwaysOn == on) return;
    alwaysOn = on;
    setDirty(true);
}

void TKickButton::setInvisible(bool state) {
    if (invisible == state) return;
    invisible = state;
    setDirty(true);
}

void TKickButton::setBypassed(bool state) {
    if (bypassed == state) return;
    bypassed = state;
    setDirty(true);
}

void TKickButton::setLabel(const std::string& text) {
    const std::string t = text.empty() ? " " : text;
    if (label == t) return;
    label = t;
    setDirty(true);
}

void TKickButton::draw(CDrawContext* c) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor || invisible) return;
    const CRect& r = getViewSize();
    if (style == kLedBitmapStyle) {
        tlook::drawLedBitmap(c, editor->getEditorBitmap(kLedStripId), r, getValue());
        return;
    }
    c->setDrawMode(kAntiAliasing);
    if (style == kLedStyle) tlook::drawLed(c, r, std::trunc(getValue()) == 1 || alwaysOn, bypassed);
    const CColor color = bypassed ? tlook::TEXT_BYPASSED_COLOR : tlook::TEXT_COLOR;
    c->setFrameColor(color);
    c->setFillColor(color);
    c->setFontColor(color);
    if (style == kLabelStyle) {
        c->setFont(tlook::FONT_SIZES[tlook::sizeIndex(editor->getBig())]);
        c->drawString(label.c_str(), r, kCenterText, true);
    }
    drawArrows(c);
    c->setDrawMode(kAliasing);
}

void TKickButton::drawArrows(CDrawContext* c) {
    if (style < kArrowLeftStyle || style > kDoubleArrowRightStyle) return;
    const CRect& r = getViewSize();
    const double w = r.getWidth(), h = r.getHeight(), cy = (r.top + r.bottom) / 2;
    const double a = std::trunc(h / 2.5);
    const double half = std::trunc(h * 0.5 - 4.0);
    const double hw = std::trunc(w * 0.5);
    const double b = std::trunc((w - hw) * 0.5);
    auto arrow = [&](double tip, double base) {
        c->drawPolygon({CPoint(tip, cy), CPoint(base, cy - half), CPoint(base, cy + half)}, kDrawFilled);
    };
    switch (style) {
    case kArrowLeftStyle:
        arrow(r.left + b, r.left + b + a);
        break;
    case kDoubleArrowLeftStyle:
        arrow(r.left + 2, r.left + 2 + a);
        arrow(r.left + 1 + hw, r.left + 1 + hw + a);
        break;
    case kArrowRightStyle:
        arrow(r.right - b, r.right - (b + a));
        break;
    default:
        arrow(r.right - 2, r.right - (a + 2));
        arrow(r.right - (hw + 2), r.right - (hw + a + 2));
        break;
    }
}

CMouseEventResult TKickButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (bypassed || invisible || !(buttons & kLButton) || !controlEditor(this))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    entryValue = getValue();
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult TKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!isEditing() || !(buttons & kLButton)) return kMouseEventHandled;
    const CRect& r = getViewSize();
    // Edges included, so that the button stays pressed on its border.
    const bool inside = where.x >= r.left && where.y >= r.top && where.x <= r.right && where.y <= r.bottom;
    const float before = getValue();
    setValue(inside ? (entryValue == 0.f ? 1.f : 0.f) : entryValue);
    if (getValue() != before) valueChanged();
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult TKickButton::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    if (!isEditing()) return kMouseEventHandled;
    setValue(0.f);
    valueChanged();
    endEdit();
    setDirty(true);
    return kMouseEventHandled;
}

CMouseEventResult TKickButton::onMouseCancel() {
    // The release went elsewhere: the button still lets go, as a release would.
    if (isEditing()) {
        setValue(0.f);
        valueChanged();
        setDirty(true);
    }
    return CControl::onMouseCancel();
}
