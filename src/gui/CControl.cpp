#include "gui/CControl.h"

#include "gui/CBitmap.h"
#include "gui/CFrame.h"

namespace VSTGUI {

CControl::CControl(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), tag(tag), listener(listener) {
    if (background) setBackground(background);
    setDirty(true);
}

CControl::CControl(const CControl& other)
    : CView(other),
      oldValue(other.oldValue),
      vmin(other.vmin),
      vmax(other.vmax),
      defaultValue(other.defaultValue),
      wheelInc(other.wheelInc),
      tag(other.tag),
      listener(other.listener),
      backOffset(other.backOffset) {
    value = other.getValue();
}

CControl::~CControl() = default;

void CControl::setValue(float val) {
    const float lo = vmin < vmax ? vmin : vmax;
    const float hi = vmin < vmax ? vmax : vmin;
    if (val < lo) val = lo;
    if (val > hi) val = hi;
    value.store(val, std::memory_order_relaxed);
}

void CControl::setValueNormalized(float val) {
    if (val < 0) val = 0;
    if (val > 1) val = 1;
    setValue(vmin + val * getRange());
}

float CControl::getValueNormalized() const {
    const float range = getRange();
    if (range == 0) return 0;
    return (getValue() - vmin) / range;
}

void CControl::setTag(int32_t val) {
    if (listener) listener->controlTagWillChange(this);
    tag = val;
    if (listener) listener->controlTagDidChange(this);
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing++ > 0) return;
    CBaseObjectGuard guard(this);
    if (listener) listener->controlBeginEdit(this);
    if (CFrame* frame = getFrame()) frame->beginEdit(tag);
}

void CControl::endEdit() {
    if (editing <= 0) return; // unmatched
    if (--editing > 0) return;
    CBaseObjectGuard guard(this);
    if (CFrame* frame = getFrame()) frame->endEdit(tag);
    if (listener) listener->controlEndEdit(this);
}

void CControl::bounceValue() { setValue(getValue()); }

bool CControl::checkDefaultValue(CButtonState button) {
    const bool ctrlClick = button.getButtonState() == kLButton && button.getModifierState() == kControl;
    const bool dblClick = button.getButtonState() == kLButton && button.isDoubleClick();
    if (!ctrlClick && !dblClick) return false;
    beginEdit();
    setValue(getDefaultValue());
    valueChanged();
    endEdit();
    return true;
}

bool CControl::isDirty() const { return oldValue != getValue() || CView::isDirty(); }

void CControl::setDirty(bool state) {
    CView::setDirty(state);
    if (state)
        oldValue = getValue() != -1.f ? -1.f : 0.f;
    else
        oldValue = getValue();
}

CMouseEventResult CControl::onMouseCancel() {
    while (editing > 0) endEdit();
    return kMouseEventHandled;
}

bool CControl::removed(CView* parent) {
    // A gesture cannot outlive the control's place in the window.
    while (editing > 0) endEdit();
    return CView::removed(parent);
}

bool CControl::listenerTookModifierClick(const CButtonState& buttons) {
    if (!listener) return false;
    if (!(buttons & (kAlt | kShift | kControl | kApple | kRButton))) return false;
    return listener->controlModifierClicked(this, buttons) != 0;
}

} // namespace VSTGUI
