#include "controls/TKnob.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

// The modulation arc's radius as a fraction of the knob's, by size index and size class.
constexpr float KNOB_ARC_RADIUS[4][3] = {
    {0.84f, 0.84f, 0.80f}, {0.84f, 0.82f, 0.80f}, {0.84f, 0.84f, 0.82f}, {0.86f, 0.87f, 0.82f}};

// The sweep: value 0 at -216 degrees (lower left), 1 at 39.6 degrees (lower right).
constexpr float kSweep = 0.71f;
constexpr float kSweepStart = 0.6f;
constexpr float kPi = 3.14159f;
constexpr float kPixelsPerRange = 200.f;
constexpr float kFinePixelsPerRange = 10000.f;
// Factor-type destinations take their amount in 72 steps.
constexpr int kAmountSteps = 72;
constexpr int kFactorDestType = 2;

float nearest(float x) { return std::round(x); }

CRect square(float cx, float cy, float half) {
    return CRect(nearest(cx - half), nearest(cy - half), nearest(cx + half), nearest(cy + half));
}

int sizeClassOf(int kind) {
    if (kind == 4 || kind == 5) return 2;
    if (kind == 2 || kind == 3) return 1;
    return 0;
}

} // namespace

TKnob::TKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* face, CBitmap* mod,
             const CPoint& offset, bool centreMark, int diameter, int kind)
    : CAnimKnob(size, listener, tag, kFrames, size.getHeight(), face, offset),
      centreMark(centreMark),
      diameter(diameter),
      sizeClass(sizeClassOf(kind)),
      faceBitmap(face),
      modBitmap(mod) {}

void TKnob::setBypassed(bool state) {
    if (bypassed == state) return;
    bypassed = state;
    setDirty(true);
}

void TKnob::setModValue(float v, int counter) {
    TControlEditor* editor = controlEditor(this);
    if (!editor) return;
    modCounter = counter;
    const float m = editor->getAnimation() ? v : getValue();
    if (std::fabs(modValue - m) < 0.01f) return;
    modValue = m;
    int frame = static_cast<int>(m * frameScale);
    modFrame = frame < 0 ? 0 : (frame > maxFrame ? maxFrame : frame);
    setDirty(true);
}

CPoint TKnob::dotCentre(float value) const {
    const CRect& r = getViewSize();
    const float cx = static_cast<float>((r.left + r.right) / 2), cy = static_cast<float>((r.top + r.bottom) / 2);
    const float radius = diameter / 2.f;
    const float theta = 2.f * kPi * (kSweep * value - kSweepStart);
    return CPoint(cx + 0.57f * radius * std::cos(theta), cy + 0.57f * radius * std::sin(theta));
}

void TKnob::draw(CDrawContext* c) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor || drawing) return;
    drawing = true;
    if (easy)
        drawBitmaps(c);
    else
        drawVector(c, tlook::sizeIndex(editor->getBig()), editor->getAnimation());
    drawing = false;
}

void TKnob::drawVector(CDrawContext* c, int big, bool animation) {
    const CRect& rect = getViewSize();
    const float cx = static_cast<float>((rect.left + rect.right) / 2);
    const float cy = static_cast<float>((rect.top + rect.bottom) / 2);
    const float r = diameter / 2.f;
    const float value = getValue();
    c->setDrawMode(kAntiAliasing);

    c->setFillColor(tlook::KNOB_OUTER_COLOR);
    c->setFrameColor(tlook::KNOB_OUTER_COLOR);
    c->drawEllipse(square(cx, cy, 0.9f * r), kDrawFilled);

    c->setLineWidth(diameter < 48 ? 2 : 3);
    if (centreMark) {
        c->setFillColor(tlook::KNOB_MID_COLOR);
        c->setFrameColor(tlook::KNOB_MID_COLOR);
        c->drawLine(CPoint(cx, cy), CPoint(cx, rect.top + std::trunc(0.1 * rect.getHeight())));
    }

    c->setLineWidth(1);
    c->setFillColor(tlook::KNOB_INNER_COLOR);
    c->setFrameColor(tlook::KNOB_INNER_COLOR);
    c->drawEllipse(square(cx, cy, 0.3f * r), kDrawFilled);

    if (animation && !bypassed && std::fabs(modValue - value) > 0.01f) {
        const float a = (kSweep * modValue - kSweepStart) * 360.f;
        const float b = (kSweep * value - kSweepStart) * 360.f;
        c->setFrameColor(tlook::KNOB_INNER_COLOR);
        c->setLineWidth(2);
        c->drawArc(square(cx, cy, KNOB_ARC_RADIUS[big][sizeClass] * r), a < b ? a : b, a < b ? b : a, kDrawStroked);
        c->setLineWidth(1);
    }

    const CPoint dot = dotCentre(value);
    const CColor dotColor = bypassed ? tlook::KNOB_DOT_BYPASSED_COLOR : tlook::KNOB_DOT_COLOR;
    c->setFillColor(dotColor);
    c->setFrameColor(dotColor);
    c->drawEllipse(square(static_cast<float>(dot.x), static_cast<float>(dot.y), 0.22f * r), kDrawFilled);
    c->setDrawMode(kAliasing);
}

void TKnob::drawBitmaps(CDrawContext* c) {
    const CRect& r = getViewSize();
    const double h = getHeightOfOneImage();
    if (faceBitmap) {
        int frame = static_cast<int>(frameScale * getValue());
        frame = frame < 0 ? 0 : (frame > maxFrame ? maxFrame : frame);
        const CRect dest(r.left, r.top, r.left + faceBitmap->getWidth(), r.top + h);
        if (bypassed)
            faceBitmap->drawAlphaBlend(c, dest, CPoint(0, frame * h), 63);
        else
            faceBitmap->draw(c, dest, CPoint(0, frame * h));
    }
    if (!bypassed && modBitmap)
        modBitmap->draw(c, CRect(r.left, r.top, r.left + modBitmap->getWidth(), r.top + h), CPoint(0, modFrame * h));
}

bool TKnob::offersDrop() const {
    TControlEditor* editor = controlEditor(this);
    return editor && editor->isDroppable(getTag()) && editor->getDragAndDrop();
}

bool TKnob::isFactorAmount() const {
    APlugin* plugin = controlPlugin(this);
    if (!plugin) return false;
    for (int slot = 0; slot < 8; ++slot)
        if (MOD_AMT_TAGS[slot] == getTag())
            return plugin->getDestTypeForDest(plugin->getSteppedValue(MOD_DEST_TAGS[slot])) == kFactorDestType;
    return false;
}

CMouseEventResult TKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = controlPlugin(this);
    const int tag = getTag();
    if (!getMouseEnabled() || !tlook::isParameterTag(tag) || bypassed || !editor || !plugin)
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (tlook::isContextClick(buttons)) {
        editor->showMIDIMenu(this, false);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    beginEdit();
    const bool command = tlook::hasCommand(buttons);
    if (buttons.isDoubleClick() || command) {
        setValue(command && tlook::hasShift(buttons) && !buttons.isDoubleClick() ? plugin->getOrigValue(tag)
                                                                                  : getDefaultValue());
        if (isDirty()) valueChanged();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (tlook::isOptionClick(buttons)) {
        plugin->setNumValue(tag);
        // The typed value is the plug-in's now; the knob takes it over, so that telling the
        // listener cannot write an older knob value back.
        setValue(plugin->getParameter(tag));
        if (isDirty()) valueChanged();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    stepAmount = isFactorAmount();
    if (offersDrop()) editor->setDropTag(tag);
    knobDragging = true;
    startPoint = where;
    lastPoint = CPoint(-1, -1);
    startValue = getValue();
    step = getRange() / (tlook::hasShift(buttons) ? kFinePixelsPerRange : kPixelsPerRange);
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult TKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!knobDragging || !(buttons & kLButton) || where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    const bool fine = tlook::hasShift(buttons);
    const float newStep = getRange() / (fine ? kFinePixelsPerRange : kPixelsPerRange);
    const float dy = static_cast<float>(startPoint.y - where.y);
    // Re-anchoring on a change of speed keeps the value where it is.
    startValue = (step - newStep) * dy + startValue;
    step = newStep;
    float v = step * dy + startValue;
    if (stepAmount && !fine) {
        if (APlugin* plugin = controlPlugin(this)) {
            plugin->setParameterAutomated(getTag(), std::trunc(kAmountSteps * v + 0.1f) / kAmountSteps);
            v = plugin->getParameter(getTag());
        }
    }
    setValue(v);
    bounceValue();
    valueChanged();
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult TKnob::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
    if (!knobDragging) return kMouseEventHandled;
    knobDragging = false;
    if (offersDrop()) controlEditor(this)->releasedDropDial();
    endEdit();
    setDirty(true);
    return kMouseEventHandled;
}

CMouseEventResult TKnob::onMouseCancel() {
    if (knobDragging) {
        knobDragging = false;
        if (offersDrop()) controlEditor(this)->releasedDropDial();
    }
    return CAnimKnob::onMouseCancel();
}

bool TKnob::onWheel(const CPoint& /*where*/, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (controlEditor(this) && plugin && tlook::isParameterTag(getTag()))
        plugin->changeDelta(getTag(), distance > 0 ? 1 : (distance < 0 ? -1 : 0), tlook::hasShift(buttons), 1.0f);
    return true;
}
