#include "controls/TWaveScreen.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

constexpr CColor WAVE_DISPLAY_COLOR(107, 109, 74, 255);
constexpr int kNumScopeLayers = 3;

} // namespace

TWaveScreen::TWaveScreen(const CRect& size, IControlListener* listener, int layer, bool on)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG),
      on(on),
      layer(layer < 0 ? 0 : (layer >= kNumScopeLayers ? kNumScopeLayers - 1 : layer)),
      widthMinus1(static_cast<float>(size.getWidth() - 1)),
      height(static_cast<float>(size.getHeight())) {
    points.reserve(kPointCount);
}

void TWaveScreen::setViewSize(const CRect& rect, bool invalidate) {
    CControl::setViewSize(rect, invalidate);
    widthMinus1 = static_cast<float>(rect.getWidth() - 1);
    height = static_cast<float>(rect.getHeight());
}

void TWaveScreen::setOn(bool state) {
    if (on == state) return;
    on = state;
    setDirty(true);
}

void TWaveScreen::setActive(bool state) {
    if (active == state) return;
    active = state;
    setDirty(true);
}

void TWaveScreen::update(int n) {
    if (!on || n == updateCount) return;
    updateCount = n;
    setDirty(true);
}

void TWaveScreen::resetZoom() {
    zoom = 1.0f;
    setDirty(true);
}

void TWaveScreen::scaleZoom(float f) {
    const float z = zoom * f;
    zoom = z < kMinZoom ? kMinZoom : (z > kMaxZoom ? kMaxZoom : z);
}

void TWaveScreen::setZoom(float f) {
    if (f < 0.01f)
        zoom = 1.0f;
    else
        scaleZoom(f);
    setDirty(true);
}

int TWaveScreen::getZoom() const { return static_cast<int>(100.0f / zoom); }

void TWaveScreen::draw(CDrawContext* context) {
    if (!drawingEditor(this) || !active) return;
    APlugin* plugin = controlPlugin(this);
    const CRect& r = getViewSize();
    context->setFrameColor(WAVE_DISPLAY_COLOR);
    if (on) {
        float v[kPointCount];
        plugin->getWaveDisplay(layer, pointCount, zoom, v);
        points.clear();
        const float last = static_cast<float>(pointCount - 1);
        for (int i = 0; i < pointCount; ++i) {
            const float x = std::trunc(static_cast<float>(i) / last * widthMinus1);
            const float y = std::trunc((1.0f - v[i]) * height);
            points.emplace_back(r.left + x, r.top + y);
        }
        context->drawPolygon(points, kDrawStroked);
    } else {
        const double y = r.top + std::trunc(0.5f * height);
        context->drawLine(CPoint(r.left, y), CPoint(r.right, y));
    }
}

CMouseEventResult TWaveScreen::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!getMouseEnabled() || !controlPlugin(this)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (tlook::hasCommand(buttons) || buttons.isDoubleClick()) {
        resetZoom();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    controlEditor(this)->showOutputMenu(layer);
    return kMouseEventHandled;
}

CMouseEventResult TWaveScreen::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventHandled; }

bool TWaveScreen::onWheel(const CPoint&, const float& distance, const CButtonState&) {
    // A positive distance zooms in: a shorter window.
    scaleZoom(distance > 0 ? 0.5f : 2.0f);
    setDirty(true);
    return true;
}
