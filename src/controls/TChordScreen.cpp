#include "controls/TChordScreen.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr CColor CHORD_LINE_COLOR(197, 213, 26, 31);
constexpr CColor CHORD_TEXT_COLOR(197, 213, 26, 255);
constexpr CColor CHORD_BAR_COLOR(78, 86, 2, 255);
// The undo stack of all four chords.
constexpr int kChordUndoSection = 15;
constexpr int kBarInset = 4;

int clampIndex(int i, int count) { return i < 0 ? 0 : (i >= count ? count - 1 : i); }

} // namespace

TChordScreen::TChordScreen(const CRect& size, IControlListener* listener, int sizeIndex)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG), sizeIndex(tlook::sizeIndex(sizeIndex)) {
    computeGeometry();
}

void TChordScreen::computeGeometry() {
    const int h = static_cast<int>(getHeight());
    const int w = static_cast<int>(getWidth());
    halfHeight = h / 2;
    barHeight = 5 * h / 6;
    halfBar = barHeight / 2;
    for (int k = 0; k <= kNotes; ++k) noteX[k] = k * w / kNotes;
    heightF = static_cast<float>(h);
    halfHeightF = heightF / 2;
    barHeightF = static_cast<float>(barHeight);
    halfBarF = barHeightF / 2;
}

void TChordScreen::setViewSize(const CRect& rect, bool invalidate) {
    CControl::setViewSize(rect, invalidate);
    computeGeometry();
}

void TChordScreen::setChord(int c) {
    chord = clampIndex(c, kTagChords);
    setDirty(true);
}

void TChordScreen::setMode(int m) {
    mode = clampIndex(m, 3);
    setDirty(true);
}

int TChordScreen::noteAt(double x) const {
    const float f = static_cast<float>(x - getViewSize().left) / static_cast<float>(getWidth()) * 5.99f;
    return clampIndex(static_cast<int>(std::trunc(f)), kNotes);
}

int TChordScreen::tagFor(int column, double dy) const {
    switch (mode) {
    case kVolumeView: return CHORD_VEL_TAGS[chord] + column;
    case kPanView: return CHORD_PAN_TAGS[chord] + column;
    default: return (dy <= barHeight ? CHORD_SEMI_TAGS[chord] : CHORD_FINE_TAGS[chord]) + column;
    }
}

bool TChordScreen::isFineTag(int tag) const {
    return mode == kTuneView && tag >= CHORD_FINE_TAGS[chord] && tag < CHORD_FINE_TAGS[chord] + kNotes;
}

float TChordScreen::dragSpan() const {
    if (isFineTag(selectedTag)) return 2 * heightF;
    return mode == kTuneView ? barHeightF : heightF;
}

// ---- drawing ----------------------------------------------------------------------------

void TChordScreen::draw(CDrawContext* context) {
    if (!drawingEditor(this)) return;
    APlugin* plugin = controlPlugin(this);
    const CRect& r = getViewSize();

    context->setFrameColor(CHORD_LINE_COLOR);
    if (mode == kTuneView) {
        context->drawLine(CPoint(r.left, r.top + barHeight), CPoint(r.right, r.top + barHeight));
        const double zero = r.top + barHeight - halfBar;
        context->drawLine(CPoint(r.left, zero), CPoint(r.right, zero));
    } else if (mode == kPanView) {
        context->drawLine(CPoint(r.left, r.top + halfHeight), CPoint(r.right, r.top + halfHeight));
    }
    for (int k = 1; k < kNotes; ++k)
        context->drawLine(CPoint(r.left + noteX[k], r.top), CPoint(r.left + noteX[k], r.bottom));

    context->setFont(tlook::FONT_SIZES[sizeIndex]);
    context->setFontColor(CHORD_TEXT_COLOR);
    context->setFillColor(CHORD_BAR_COLOR);
    context->setFrameColor(CHORD_BAR_COLOR);
    const double fs = std::trunc(context->getEffectiveFont().getSize());
    const int n = clampIndex(plugin->getSteppedValue(CHORD_NOTES_TAGS[chord]), kNotes) + 1;
    for (int k = 0; k < n; ++k) drawNote(context, plugin, k, fs);
}

void TChordScreen::drawNote(CDrawContext* context, APlugin* plugin, int k, double fs) {
    const CRect& r = getViewSize();
    const double x0 = r.left + noteX[k];
    const double x1 = r.left + noteX[k + 1];
    const CRect textBox(x0, r.top + barHeight, x1, r.bottom);
    auto bar = [&](double ya, double yb) {
        CRect b(x0 + kBarInset, ya, x1 - kBarInset, yb);
        b.normalize();
        context->drawRect(b, kDrawFilledAndStroked);
    };
    char text[32];

    if (mode == kTuneView) {
        // The first note is the chord's root: its interval is always zero.
        const float s = k == 0 ? 0.5f : plugin->getParameter(CHORD_SEMI_TAGS[chord] + k);
        const float f = plugin->getParameter(CHORD_FINE_TAGS[chord] + k);
        const double zero = r.top + std::trunc(halfBarF);
        bar(zero, zero - std::trunc((2.0f * s - 1.0f) * halfBarF));
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::trunc(s * 96.99f)) - 48);
        const double y = r.top + halfBar;
        context->drawString(text, CRect(x0, y + fs, x1, y + 2 * fs), kCenterText, true);
        context->drawString("sm", CRect(x0, y + 2 * fs, x1, y + 3 * fs), kCenterText, true);
        std::snprintf(text, sizeof text, "%dc", static_cast<int>(std::trunc(f * 200.0f - 100.0f)));
        context->drawString(text, textBox, kCenterText, true);
    } else if (mode == kVolumeView) {
        const int tag = CHORD_VEL_TAGS[chord] + k;
        const float v = plugin->getParameter(tag);
        bar(r.bottom - std::trunc(v * heightF), r.bottom);
        context->drawString(plugin->getParameterDisplayStr(tag).c_str(), textBox, kCenterText, true);
    } else {
        const float p = plugin->getParameter(CHORD_PAN_TAGS[chord] + k);
        const double centre = r.top + std::trunc(halfHeightF);
        bar(centre, centre - std::trunc((2.0f * p - 1.0f) * halfHeightF));
        if (p >= 0.499f && p <= 0.501f)
            std::snprintf(text, sizeof text, "C");
        else if (p > 0.501f)
            std::snprintf(text, sizeof text, "%dR", 100 - static_cast<int>(std::trunc(200.0f - 200.0f * p)));
        else
            std::snprintf(text, sizeof text, "%dL", 100 - static_cast<int>(std::trunc(200.0f * p)));
        context->drawString(text, textBox, kCenterText, true);
    }
}

// ---- mouse ------------------------------------------------------------------------------

CMouseEventResult TChordScreen::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mouseDown = false;
    constexpr CMouseEventResult done = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = controlPlugin(this);
    if (!getMouseEnabled() || !plugin) return done;
    // A screen without width or bar height has no column or value under the pointer.
    if (getWidth() <= 0 || barHeight <= 0) return done;

    const CRect& r = getViewSize();
    note = noteAt(where.x);
    if (tlook::isContextClick(buttons)) {
        editor->showChordMenu(note);
        return done;
    }

    editor->setSectionUndo(kChordUndoSection);
    const double dy = where.y - r.top;
    selectedTag = tagFor(note, dy);

    if (tlook::hasCommand(buttons) || buttons.isDoubleClick()) {
        if (tlook::hasShift(buttons))
            plugin->setToOrig(selectedTag);
        else
            plugin->setToDefault(selectedTag);
        setDirty(true);
        return done;
    }
    if (tlook::isOptionClick(buttons)) {
        plugin->setNumValue(selectedTag);
        setDirty(true);
        return done;
    }

    if (mode == kTuneView && dy > barHeight) {
        // The fine row: the value moves only when the pointer does.
        dragPos = 1.0f - plugin->getParameter(selectedTag);
    } else {
        const float d = mode == kTuneView ? barHeightF : heightF;
        const float pos = static_cast<float>(dy) / d;
        dragPos = pos < 0 ? 0 : (pos > 1 ? 1 : pos);
        plugin->setParameter(selectedTag, 1.0f - dragPos);
    }
    lastPoint = where;
    mouseDown = true;
    // The release's endEdit closes this; the tag is no parameter, so the host hears of neither.
    beginEdit();
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult TChordScreen::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || !mouseDown || !(buttons & kLButton)) return kMouseEventHandled;
    setDirty(true);
    if (where == lastPoint) return kMouseEventHandled;
    float step = static_cast<float>(where.y - lastPoint.y) / dragSpan();
    if (tlook::hasShift(buttons)) step /= 20.0f;
    dragPos += step;
    plugin->setParameter(selectedTag, 1.0f - dragPos);
    lastPoint = where;
    return kMouseEventHandled;
}

CMouseEventResult TChordScreen::onMouseUp(CPoint&, const CButtonState&) {
    mouseDown = false;
    endEdit();
    return kMouseEventHandled;
}

bool TChordScreen::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin) return false;
    if (getWidth() <= 0) return true;
    note = noteAt(where.x);
    const int tag = tagFor(note, where.y - getViewSize().top);
    const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
    plugin->changeDelta(tag, dir, tlook::hasShift(buttons), 1.0f);
    setDirty(true);
    return true;
}
