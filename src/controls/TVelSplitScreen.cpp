#include "controls/TVelSplitScreen.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr CColor VEL_BY_COLOR(197, 213, 26, 31);
constexpr CColor VEL_LINE_COLOR(197, 213, 26, 255);
constexpr CColor VEL_DOT_COLOR(197, 213, 26, 127);
constexpr CColor VEL_SELECTED_COLOR(197, 213, 26, 255);
constexpr int DOT_SIZE[4] = {4, 5, 6, 8};
constexpr int DOT_BOTTOM[4] = {8, 12, 14, 16};
constexpr int kLayers = 3;
// The undo stack of all velocity splits, and each layer's own section of four points.
constexpr int kVelSplitUndoSection = 11;
constexpr int VEL_SPLIT_SECTIONS[kLayers] = {12, 13, 14};

} // namespace

TVelSplitScreen::TVelSplitScreen(const CRect& size, IControlListener* listener, int sizeIndex)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG), sizeIndex(tlook::sizeIndex(sizeIndex)) {
    computeGeometry();
}

void TVelSplitScreen::computeGeometry() {
    const CRect& r = getViewSize();
    dotSize = DOT_SIZE[sizeIndex];
    xMin = static_cast<int>(r.left + dotSize);
    xMax = static_cast<int>(r.right - dotSize);
    yTop = static_cast<int>(r.top + dotSize);
    yBottom = static_cast<int>(r.bottom - DOT_BOTTOM[sizeIndex]);
    xSpan = static_cast<float>(xMax - xMin);
    ySpan = static_cast<float>(yBottom - yTop);
}

void TVelSplitScreen::setViewSize(const CRect& rect, bool invalidate) {
    CControl::setViewSize(rect, invalidate);
    computeGeometry();
}

void TVelSplitScreen::setLayer(int l) {
    layer = l < 0 ? 0 : (l >= kLayers ? kLayers - 1 : l);
    setDirty(true);
}

int TVelSplitScreen::getDistance(int x1, int y1, int x2, int y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

int TVelSplitScreen::pointTag(int layerIndex, int point) const {
    return LAYER_VEL_TAGS[layerIndex * kTagVelSplitPoints + point];
}

int TVelSplitScreen::pointX(APlugin* plugin, int layerIndex, int point) const {
    return xMin + static_cast<int>(plugin->getParameter(pointTag(layerIndex, point)) * xSpan);
}

int TVelSplitScreen::getNearest(const CPoint& point) const {
    APlugin* plugin = controlPlugin(this);
    if (!drawingEditor(this) || !plugin || !mouseDown) return kNone;
    const int px = static_cast<int>(point.x);
    const int py = static_cast<int>(point.y);
    int d[kTagVelSplitPoints];
    for (int i = 0; i < kTagVelSplitPoints; ++i) d[i] = getDistance(px, py, pointX(plugin, layer, i), pointY(i));
    auto nearest = [&](int i) {
        for (int j = 0; j < kTagVelSplitPoints; ++j)
            if (d[i] > d[j]) return false;
        return true;
    };
    for (int i : {kStart, kEnd, kFadeOut})
        if (nearest(i)) return i;
    return kFadeIn;
}

void TVelSplitScreen::setPoint(int x) {
    APlugin* plugin = controlPlugin(this);
    if (!drawingEditor(this) || !plugin || selected == kNone || xSpan <= 0) return;
    plugin->setNumVel(layer, selected, (x - xMin) / xSpan);
}

// ---- drawing ----------------------------------------------------------------------------

void TVelSplitScreen::drawOutline(CDrawContext* context, APlugin* plugin, int layerIndex) {
    context->moveTo(CPoint(xMin, yBottom));
    for (int i = 0; i < kTagVelSplitPoints; ++i) context->lineTo(CPoint(pointX(plugin, layerIndex, i), pointY(i)));
    context->lineTo(CPoint(xMax, yBottom));
}

void TVelSplitScreen::drawDot(CDrawContext* context, int x, int y, int index) {
    context->setFillColor(index == selected ? VEL_SELECTED_COLOR : VEL_DOT_COLOR);
    context->drawEllipse(CRect(x - dotSize, y - dotSize, x + dotSize, y + dotSize), kDrawFilled);
}

void TVelSplitScreen::draw(CDrawContext* context) {
    if (!drawingEditor(this)) return;
    APlugin* plugin = controlPlugin(this);
    context->setFrameColor(VEL_BY_COLOR);
    for (int l = 0; l < kLayers; ++l)
        if (l != layer) drawOutline(context, plugin, l);
    context->setFrameColor(VEL_LINE_COLOR);
    drawOutline(context, plugin, layer);

    // The two ends of the axis never show as selected.
    drawDot(context, xMin, yBottom, kNone - 1);
    for (int i = 0; i < kTagVelSplitPoints; ++i) drawDot(context, pointX(plugin, layer, i), pointY(i), i);
    drawDot(context, xMax, yBottom, kNone - 1);
}

// ---- mouse ------------------------------------------------------------------------------

CMouseEventResult TVelSplitScreen::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mouseDown = false;
    constexpr CMouseEventResult done = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = controlPlugin(this);
    if (!getMouseEnabled() || !plugin) return done;

    if (tlook::isContextClick(buttons)) {
        editor->showVelSplitMenu();
        return done;
    }
    const bool command = tlook::hasCommand(buttons);
    if (command || buttons.isDoubleClick()) {
        editor->setSectionUndo(kVelSplitUndoSection);
        const int section = VEL_SPLIT_SECTIONS[layer];
        if (command && tlook::hasShift(buttons))
            editor->setSectionToOrig(section);
        else
            editor->resetSection(section, 0);
        setDirty(true);
        return done;
    }

    // A press that would divide by an axis of no width, or that finds no handle (the editor
    // is not open yet), changes nothing, not even the undo stack.
    if (xSpan <= 0) return done;
    mouseDown = true;
    const int nearest = getNearest(where);
    if (nearest == kNone) {
        mouseDown = false;
        return done;
    }
    editor->setSectionUndo(kVelSplitUndoSection);
    selected = nearest;
    beginEdit();
    if (tlook::isOptionClick(buttons)) {
        plugin->setNumValue(pointTag(layer, selected));
        endEdit();
        mouseDown = false;
        setDirty(true);
        return done;
    }
    lastPoint = where;
    setPoint(static_cast<int>(where.x));
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult TVelSplitScreen::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || !mouseDown || selected == kNone || !(buttons & kLButton)) return kMouseEventHandled;
    setDirty(true);
    if (where == lastPoint) return kMouseEventHandled;
    float d = static_cast<float>(where.x - lastPoint.x) / xSpan;
    if (tlook::hasShift(buttons)) d /= 20.0f;
    plugin->setNumVel(layer, selected, plugin->getParameter(pointTag(layer, selected)) + d);
    lastPoint = where;
    return kMouseEventHandled;
}

CMouseEventResult TVelSplitScreen::onMouseUp(CPoint&, const CButtonState&) {
    mouseDown = false;
    endEdit();
    return kMouseEventHandled;
}

bool TVelSplitScreen::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin) return false;
    const bool wasDown = mouseDown;
    mouseDown = true;
    const int nearest = getNearest(where);
    mouseDown = wasDown;
    if (nearest == kNone) return true;
    selected = nearest;
    const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
    plugin->changeDelta(pointTag(layer, selected), dir, tlook::hasShift(buttons), 1.0f);
    setDirty(true);
    return true;
}
