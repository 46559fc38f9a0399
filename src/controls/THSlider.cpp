#include "controls/THSlider.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

constexpr int kCentreMarkId = 10065;
constexpr int kHandleId = 10066;
constexpr int kModMarkerId = 10067;
// Intervals per quantise choice ("Off", "32", "24" ... "2"): n positions, n - 1 intervals.
constexpr int RIBBON_QUANT_DIVIDE[13] = {0, 31, 23, 19, 15, 11, 9, 7, 5, 4, 3, 2, 1};
constexpr float kFineDivisor = 20.f;
// Smaller spring corrections are not sent back through the listener.
constexpr float kFollowThreshold = 0.003f;

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

} // namespace

THSlider::THSlider(const CRect& size, IControlListener* listener, int32_t tag, int big, bool centred)
    : CControl(size, listener, tag), centred(centred) {
    const int inset = tlook::SLIDER_WIDTH[tlook::sizeIndex(big)] / 2;
    trackStart = static_cast<int>(size.left + inset);
    trackWidth = static_cast<float>(static_cast<int>(size.right - inset) - trackStart);
}

void THSlider::setCentered(bool state) {
    if (centred == state) return;
    centred = state;
    APlugin* plugin = controlPlugin(this);
    if (plugin && plugin->getRibbonSpringTime() != 0) plugin->setRibbonSpringOn();
    setDirty(true);
}

void THSlider::setModValue(float v, int counter) {
    if (!controlPlugin(this) || counter == modCounter) return;
    modCounter = counter;
    if (std::fabs(modValue - v) < 0.01f) return;
    modValue = v;
    setDirty(true);
}

void THSlider::setCurValue() {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || plugin->getRibbonSpringTime() == 0 || dragging) return;
    const float p = clamp01(plugin->getParameter(getTag()));
    // The first look after the slider went on show only takes the value: showing a page
    // tells the host nothing.
    if (lastSeen < 0.f) {
        lastSeen = curValue = p;
        return;
    }
    const bool moving = p != lastSeen;
    lastSeen = p;
    if (p == curValue) return;
    // Small corrections wait while the spring still moves; where it comes to rest is always
    // sent, so the last value the host hears is the value the plug-in holds.
    if (moving && std::fabs(p - curValue) < kFollowThreshold) return;
    beginEdit();
    curValue = p;
    setValue(p);
    if (isDirty()) valueChanged();
    endEdit();
}

bool THSlider::attached(CView* parent) {
    lastSeen = -1.f;
    return CControl::attached(parent);
}

int THSlider::positionOf(float v) const {
    float u = centred ? 2.f * v - 1.f : v;
    int q = 0;
    if (APlugin* plugin = controlPlugin(this)) q = plugin->getRibbonQuant();
    q = q < 0 ? 0 : (q > 12 ? 12 : q);
    if (q != 0) {
        const float d = static_cast<float>(RIBBON_QUANT_DIVIDE[q]);
        u = std::floor(u * d + 0.5f) / d;
    }
    if (centred) u = 0.5f * u + 0.5f;
    return static_cast<int>(u * trackWidth) + trackStart;
}

void THSlider::draw(CDrawContext* c) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor) return;
    CBitmap* mark = editor->getEditorBitmap(kCentreMarkId);
    CBitmap* handle = editor->getEditorBitmap(kHandleId);
    CBitmap* marker = editor->getEditorBitmap(kModMarkerId);
    if (!mark || !handle || !marker) return;
    const CRect& r = getViewSize();
    if (centred) {
        const double w = std::trunc(mark->getWidth());
        const double x0 = ((r.left + r.right) - w) * 0.5;
        mark->draw(c, CRect(x0, r.top, x0 + w, r.top + std::trunc(mark->getHeight())));
    }
    const int wh = static_cast<int>(handle->getWidth()), hh = static_cast<int>(handle->getHeight());
    const double top = (r.top + r.bottom - hh) * 0.5;
    if (editor->getAnimation()) {
        // The marker is centred on its position, whatever its own width.
        const int x = positionOf(modValue) - static_cast<int>(marker->getWidth()) / 2;
        marker->draw(c, CRect(x, top, x + wh, top + hh));
    }
    const int x = positionOf(getValue());
    handle->draw(c, CRect(x - wh / 2, top, x + wh / 2, top + hh));
}

CMouseEventResult THSlider::onMouseDown(CPoint& where, const CButtonState& buttons) {
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = controlPlugin(this);
    const int tag = getTag();
    if (!editor || !plugin || !tlook::isParameterTag(tag)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (tlook::isContextClick(buttons)) {
        editor->showMIDIMenu(this, true);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    const bool command = tlook::hasCommand(buttons);
    if (buttons.isDoubleClick() || command) {
        float v = getDefaultValue();
        if (!buttons.isDoubleClick()) v = tlook::hasShift(buttons) ? plugin->getOrigValue(tag) : (centred ? 0.5f : 0.f);
        beginEdit();
        setValue(v);
        if (isDirty()) valueChanged();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (buttons & kAlt) {
        beginEdit();
        plugin->setNumValue(tag);
        // The typed value is the plug-in's now; telling the listener cannot write an older
        // slider value back.
        setValue(plugin->getParameter(tag));
        if (isDirty()) valueChanged();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    // A track without width has no position to jump to.
    if (trackWidth <= 0.f) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    dragging = true;
    hostGestureOnly = plugin->getRibbonSpringTime() != 0;
    if (hostGestureOnly) {
        if (CFrame* frame = getFrame()) frame->beginEdit(tag);
    } else {
        beginEdit();
    }
    plugin->setRibbbonSpringOff();
    curValue = clamp01(static_cast<float>(where.x - trackStart) / trackWidth);
    lastSeen = curValue;  // the spring follows from here once it is let go
    setValue(curValue);
    if (isDirty()) valueChanged();
    lastX = static_cast<float>(where.x);
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult THSlider::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging || !(buttons & kLButton) || where.x == std::trunc(lastX)) return kMouseEventHandled;
    float delta = static_cast<float>(where.x - lastX) / trackWidth;
    if (tlook::hasShift(buttons)) delta /= kFineDivisor;
    curValue = clamp01(curValue + delta);
    setValue(curValue);
    lastX = static_cast<float>(where.x);
    if (isDirty()) valueChanged();
    setDirty(true);
    invalid();
    return kMouseEventHandled;
}

void THSlider::endDrag() {
    if (!dragging) return;
    dragging = false;
    if (hostGestureOnly) {
        if (CFrame* frame = getFrame()) frame->endEdit(getTag());
    } else {
        endEdit();
    }
    hostGestureOnly = false;
}

CMouseEventResult THSlider::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    const bool wasDragging = dragging;
    endDrag();
    if (wasDragging) {
        if (APlugin* plugin = controlPlugin(this)) plugin->setRibbonSpringOn();
    }
    setDirty(true);
    return kMouseEventHandled;
}

CMouseEventResult THSlider::onMouseCancel() {
    endDrag();
    setDirty(true);
    return CControl::onMouseCancel();
}

bool THSlider::onWheel(const CPoint& /*where*/, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (controlEditor(this) && plugin && tlook::isParameterTag(getTag()))
        plugin->changeDelta(getTag(), distance > 0 ? 1 : (distance < 0 ? -1 : 0), tlook::hasShift(buttons), 1.0f);
    return true;
}
