#include "controls/TRadioButton.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;

namespace {
constexpr int kLedStripId = 10060;
}

TRadioButton::TRadioButton(const CRect& size, IControlListener* listener, int group, int index, bool bitmapLook)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG), group(group), index(index), bitmapLook(bitmapLook) {}

void TRadioButton::setString(const std::string& text) {
    label = text.empty() ? " " : text;
    hasLabel = true;
}

void TRadioButton::setState(bool on) {
    if ((getValue() > 0.5f) == on) return;
    setValue(on ? 1.f : 0.f);
    setDirty(true);
}

void TRadioButton::setOn() {
    if (getValue() > 0.5f) return;
    setValue(1.f);
    setDirty(true);
}

void TRadioButton::setOff() {
    if (getValue() <= 0.5f) return;
    setValue(0.f);
    setDirty(true);
}

void TRadioButton::draw(CDrawContext* c) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor) return;
    const CRect& r = getViewSize();
    if (bitmapLook) {
        tlook::drawLedBitmap(c, editor->getEditorBitmap(kLedStripId), r, getValue());
    } else if (hasLabel) {
        c->setFont(tlook::FONT_SIZES[tlook::sizeIndex(editor->getBig())]);
        c->setFontColor(std::trunc(getValue()) != 0 ? tlook::TEXT_COLOR : tlook::TEXT_BYPASSED_COLOR);
        c->drawString(label.c_str(), r, kLeftText, true);
    } else {
        tlook::drawLed(c, r, std::trunc(getValue()) == 1, false);
    }
}

CMouseEventResult TRadioButton::onMouseDown(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    if (!getMouseEnabled() || !controlEditor(this)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    // A press on the selected button changes nothing.
    if (getValue() < 0.5f) {
        setValue(1.f - getValue());
        setDirty(true);
        valueChanged();
    }
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool TRadioButton::onWheel(const CPoint& /*where*/, const float& distance, const CButtonState& /*buttons*/) {
    if (TControlEditor* editor = controlEditor(this))
        editor->changeRadioDelta(group, distance > 0 ? -1 : (distance < 0 ? 1 : 0));
    return true;
}
