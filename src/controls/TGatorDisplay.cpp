#include "controls/TGatorDisplay.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

constexpr CColor GATER_FRAME_COLOR(48, 51, 14, 255);
constexpr CColor GATER_OFF_COLOR(63, 68, 11, 175);
constexpr CColor GATER_ON_COLOR(197, 213, 26, 255);
constexpr CColor GATER_FRAME_BYPASS_COLOR(48, 51, 14, 63);
constexpr CColor GATER_OFF_BYPASS_COLOR(63, 68, 11, 63);
constexpr CColor GATER_ON_BYPASS_COLOR(197, 213, 26, 63);
constexpr CColor GATER_POS_COLOR(218, 218, 218, 175);

constexpr int kSteps = 16;
constexpr int kAllSteps = 0xFFFF;
constexpr int kLengthTag = 110;
constexpr float kLengthRange = 15.99f;
constexpr int kGatorSection = 7;

constexpr auto kNoMoreEvents = kMouseDownEventHandledButDontNeedMovedOrUpEvents;

} // namespace

TGatorDisplay::TGatorDisplay(const CRect& size, IControlListener* listener, int32_t tag)
    : CControl(size, listener, tag), stepWidth(static_cast<float>(size.getWidth()) * 0.0625f) {}

int TGatorDisplay::maskFromValue(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return kAllSteps;
    return static_cast<int>(value * 65535.9f) & kAllSteps;
}

float TGatorDisplay::valueFromMask(int mask) {
    return (static_cast<float>(mask & kAllSteps) + 0.5f) * 1.52587890625e-05f;
}

void TGatorDisplay::setOn(bool state) {
    if (state == on) return;
    on = state;
    setDirty(true);
}

void TGatorDisplay::setInvisible(bool state) {
    if (state == invisible) return;
    invisible = state;
    setDirty(true);
}

void TGatorDisplay::setGaterPos(int pos) {
    if (pos == gaterPos) return;
    gaterPos = pos;
    setDirty(true);
}

void TGatorDisplay::draw(CDrawContext* context) {
    TControlEditor* editor = drawingEditor(this);
    if (invisible || !editor) {
        setDirty(false);
        return;
    }
    APlugin* plugin = editor->getPlugin();
    const int mask = maskFromValue(getValue());
    stepCount = plugin->getSteppedValue(kLengthTag, kLengthRange, kSteps) + 1;

    const CRect& r = getViewSize();
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    for (int i = 0; i < kSteps; ++i) {
        const double x0 = r.left + static_cast<int>(static_cast<float>(i) * stepWidth);
        const double x1 = r.left + static_cast<int>(static_cast<float>(i + 1) * stepWidth);
        const bool stepOn = (mask >> i) & 1;
        context->setFrameColor(on ? GATER_FRAME_COLOR : GATER_FRAME_BYPASS_COLOR);
        if (on)
            context->setFillColor(stepOn ? GATER_ON_COLOR : GATER_OFF_COLOR);
        else
            context->setFillColor(stepOn ? GATER_ON_BYPASS_COLOR : GATER_OFF_BYPASS_COLOR);
        const CRect cell(x0, r.top, x1, r.bottom);
        context->drawRect(cell, i < stepCount ? kDrawFilledAndStroked : kDrawStroked);
        if (on && i == gaterPos) {
            context->setFrameColor(GATER_POS_COLOR);
            context->drawLine(CPoint(x0, r.top + 1), CPoint(x1, r.top + 1));
        }
    }
    setDirty(false);
}

CMouseEventResult TGatorDisplay::onMouseDown(CPoint& where, const CButtonState& buttons) {
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = editor ? editor->getPlugin() : nullptr;
    // A row without width has no step to point at.
    if (!getMouseEnabled() || invisible || !plugin || getWidth() <= 0) return kNoMoreEvents;
    if (tlook::isContextClick(buttons)) {
        editor->showGaterMenu();
        return kNoMoreEvents;
    }
    editor->setSectionUndo(kGatorSection);

    const int32_t b = buttons();
    bool haveValue = true;
    float next = 0.0f;
    if (tlook::isOptionClick(buttons)) {
        next = 0.0f;
    } else if (b == (kLButton | kShift)) {
        next = 1.0f;
    } else if (tlook::hasCommand(buttons)) {
        next = tlook::hasShift(buttons) ? plugin->getOrigValue(tag) : plugin->getDefaultValue(tag);
    } else if (b == kLButton) {
        const CRect& r = getViewSize();
        const float share = static_cast<float>(where.x - r.left) / static_cast<float>(r.getWidth());
        int k = static_cast<int>(share * 15.99f);
        k = k < 0 ? 0 : (k > kSteps - 1 ? kSteps - 1 : k);
        stepCount = plugin->getSteppedValue(kLengthTag, kLengthRange, kSteps) + 1;
        if (k < stepCount)
            next = valueFromMask(maskFromValue(getValue()) ^ (1 << k));
        else
            haveValue = false;
    } else {
        haveValue = false;
    }
    if (!haveValue) return kNoMoreEvents;
    setValue(next);
    setDirty(true);
    valueChanged();
    return kNoMoreEvents;
}

bool TGatorDisplay::onWheel(const CPoint&, const float& distance, const CButtonState&) {
    if (APlugin* plugin = controlPlugin(this)) {
        const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
        const int index = plugin->getSteppedValue(kLengthTag, kLengthRange, kSteps) + dir;
        plugin->setSteppedValue(kLengthTag, index, kLengthRange, kSteps);
    }
    return true;
}
