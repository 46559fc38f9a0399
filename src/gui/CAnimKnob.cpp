#include "gui/CAnimKnob.h"

#include <algorithm>
#include <cmath>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace VSTGUI {

namespace {
constexpr double kStartAngle = 135.0; // degrees, clockwise from three o'clock: lower left
constexpr double kRangeAngle = 270.0;
constexpr double kLinearPixels = 200.0;
constexpr double kFineFactor = 10.0;
} // namespace

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      offset(offset),
      subPixmaps(subPixmaps > 0 ? subPixmaps : 1),
      heightOfOneImage(heightOfOneImage) {}

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                     const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset), subPixmaps(1), heightOfOneImage(size.getHeight()) {
    if (background && heightOfOneImage > 0)
        subPixmaps = std::max<int32_t>(1, static_cast<int32_t>(background->getHeight() / heightOfOneImage));
}

int32_t CAnimKnob::getFrameIndex() const {
    int32_t frame = static_cast<int32_t>(getValueNormalized() * (subPixmaps - 1) + 0.5f);
    if (frame < 0) frame = 0;
    if (frame > subPixmaps - 1) frame = subPixmaps - 1;
    return inverseBitmap ? subPixmaps - 1 - frame : frame;
}

void CAnimKnob::draw(CDrawContext* context) {
    CBitmap* bmp = getDrawBackground();
    if (!bmp) return;
    bmp->draw(context, getViewSize(), CPoint(offset.x, offset.y + getFrameIndex() * heightOfOneImage));
}

double CAnimKnob::angleOf(const CPoint& where) const {
    const CPoint c = getViewSize().getCenter();
    return std::atan2(where.y - c.y, where.x - c.x) * 180.0 / 3.14159265358979323846;
}

float CAnimKnob::valueFromAngle(const CPoint& where) const {
    double rel = std::fmod(angleOf(where) - kStartAngle + 720.0, 360.0);
    if (rel > kRangeAngle) rel = rel - kRangeAngle < (360.0 - kRangeAngle) / 2 ? kRangeAngle : 0.0;
    return static_cast<float>(getMin() + rel / kRangeAngle * getRange());
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (checkDefaultValue(buttons)) {
        invalid();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    CFrame* frame = getFrame();
    const int32_t mode = frame ? frame->getKnobMode() : CFrame::kDefaultKnobMode;
    dragMode = mode == kLinearMode ? kDragLinear : (mode == kRelativCircularMode ? kDragRelative : kDragCircular);
    dragging = true;
    firstPoint = where;
    lastAngle = angleOf(where);
    beginEdit();
    if (dragMode == kDragCircular) onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging || !(buttons & kLButton)) return kMouseEventHandled;
    float v = getValue();
    if (dragMode == kDragLinear) {
        // Moves add up, so pressing or releasing Shift in mid-drag changes only the speed.
        const double pixels = kLinearPixels * ((buttons & kShift) ? kFineFactor : 1.0);
        v = static_cast<float>(getValue() + (firstPoint.y - where.y) / pixels * getRange());
        firstPoint = where;
    } else if (dragMode == kDragCircular) {
        v = valueFromAngle(where);
    } else {
        const double a = angleOf(where);
        double d = a - lastAngle;
        if (d > 180) d -= 360;
        if (d < -180) d += 360;
        lastAngle = a;
        v = static_cast<float>(getValue() + d / kRangeAngle * getRange() / ((buttons & kShift) ? kFineFactor : 1.0));
    }
    setValue(v);
    if (isDirty()) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    if (dragging) {
        dragging = false;
        endEdit();
    }
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseCancel() {
    dragging = false;
    return CControl::onMouseCancel();
}

bool CAnimKnob::onWheel(const CPoint& /*where*/, const float& distance, const CButtonState& buttons) {
    if (!getMouseEnabled()) return false;
    const float step = getWheelInc() * ((buttons & kShift) ? 0.1f : 1.f);
    setValueNormalized(getValueNormalized() + distance * step);
    if (isDirty()) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}

} // namespace VSTGUI
