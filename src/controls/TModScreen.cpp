#include "controls/TModScreen.h"

#include <cmath>
#include <string>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "controls/TScreenPopup.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr int MOD_SLOT_HEIGHT[4] = {13, 16, 20, 26};
constexpr float MOD_SLOT_HEIGHT_F[4] = {13.f, 16.f, 20.f, 26.f};
constexpr int MOD_COL_START[4][4] = {{0, 19, 119, 229}, {0, 23, 149, 286}, {0, 28, 178, 343}, {0, 36, 236, 456}};
constexpr int MOD_COL_END[4][4] = {{19, 119, 229, 282}, {23, 149, 286, 353}, {28, 178, 343, 421}, {36, 236, 456, 560}};
constexpr int MOD_COL_WIDTH[4][4] = {{18, 100, 110, 53}, {23, 126, 137, 67}, {28, 150, 165, 78}, {36, 200, 220, 106}};

constexpr CColor MOD_TEXT_COLOR(197, 213, 26, 255);
constexpr CColor MOD_TEXT_BYPASSED_COLOR(197, 213, 26, 63);

constexpr int kSlots = 8;
constexpr int kMatrixSection = 10;
constexpr int kPitchDest = 3;   // amounts move in semitones
constexpr int kCoarseDest = 4;  // the wheel steps six times as far

constexpr auto kNoMoreEvents = kMouseDownEventHandledButDontNeedMovedOrUpEvents;

bool isAmountTag(int tag) { return tag >= MOD_AMT_TAGS[0] && tag <= MOD_AMT_TAGS[kSlots - 1]; }

// An amount snapped to whole semitones of the +-36 range.
float semitoneAmount(float v, int steps) {
    float out = static_cast<float>(steps + static_cast<int>(2.0f * (36.0f * v) + 0.1f)) / 72.0f;
    return out < 0.0f ? 0.0f : (out > 1.0f ? 1.0f : out);
}

void addSourceEntries(COptionMenu* list, int first, int end) {
    for (int i = first; i < end; ++i) {
        list->addEntry(SRC_STR[i]);
        // The two last-note sources belong with the note sources.
        if (i == 6) {
            list->addEntry(SRC_STR[133]);
            list->addEntry(SRC_STR[134]);
        }
    }
}

} // namespace

TModScreen::TModScreen(const CRect& size, IControlListener* listener, int big)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG), sizeIndex(tlook::sizeIndex(big)),
      font(tlook::FONT_SIZES[tlook::sizeIndex(big)]) {}

int TModScreen::getModSlotFromY(double y) const {
    const float q = static_cast<float>(y - getViewSize().top) / MOD_SLOT_HEIGHT_F[sizeIndex];
    return getModSlot(static_cast<int>(q));
}

int TModScreen::getModCol(double x) const {
    const double r = x - getViewSize().left;
    for (int c = 0; c < 4; ++c)
        if (MOD_COL_START[sizeIndex][c] < r && r < MOD_COL_END[sizeIndex][c]) return c;
    return 3;
}

CView* TModScreen::newCopy() const {
    auto* copy = new TModScreen(*this);
    copy->hostGestureTag = -1;  // a gesture belongs to the control that began it
    return copy;
}

void TModScreen::draw(CDrawContext* context) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor) {
        setDirty(false);
        return;
    }
    APlugin* plugin = editor->getPlugin();
    const CRect& r = getViewSize();
    context->setFont(font);
    for (int s = 0; s < kSlots; ++s) {
        context->setFontColor(plugin->getModSlotBypass(s) ? MOD_TEXT_BYPASSED_COLOR : MOD_TEXT_COLOR);
        double y = static_cast<int>(r.top + static_cast<int>(static_cast<float>(s) * MOD_SLOT_HEIGHT_F[sizeIndex]));
        if (sizeIndex == 0) y += 1;
        int src = plugin->getSteppedValue(MOD_SRC_TAGS[s]);
        src = src < 0 ? 0 : (src >= kModSourceCount ? kModSourceCount - 1 : src);
        const std::string texts[4] = {std::to_string(s + 1), SRC_SHORT_STR[src],
                                      editor->getDestShortStr(plugin->getSteppedValue(MOD_DEST_TAGS[s])),
                                      plugin->getParameterDisplayStr(MOD_AMT_TAGS[s])};
        for (int c = 0; c < 4; ++c) {
            const double x = r.left + MOD_COL_START[sizeIndex][c];
            context->drawString(texts[c].c_str(),
                                CRect(x, y, x + MOD_COL_WIDTH[sizeIndex][c], y + MOD_SLOT_HEIGHT[sizeIndex]),
                                kCenterText, true);
        }
    }
    setDirty(false);
}

CMouseEventResult TModScreen::onMouseDown(CPoint& where, const CButtonState& buttons) {
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = editor ? editor->getPlugin() : nullptr;
    if (!getMouseEnabled() || !plugin) return kNoMoreEvents;
    const CPoint p(std::trunc(where.x), std::trunc(where.y));
    slot = getModSlotFromY(p.y);
    amountTag = -1;
    if (tlook::isContextClick(buttons)) {
        editor->showModMenu(slot);
        return kNoMoreEvents;
    }
    editor->setSectionUndo(kMatrixSection);
    const int col = getModCol(p.x);
    pressTag = MOD_COLS_TAGS[slot][col];
    amountTag = MOD_AMT_TAGS[slot];

    const bool command = tlook::hasCommand(buttons);
    if (buttons.isDoubleClick() || command) {
        const bool original = command && tlook::hasShift(buttons);
        plugin->setParameter(pressTag, original ? plugin->getOrigValue(pressTag) : plugin->getDefaultValue(pressTag));
        setDirty(true);
        return kNoMoreEvents;
    }
    if (tlook::isOptionClick(buttons)) {
        plugin->setNumValue(pressTag);
        setDirty(true);
        return kNoMoreEvents;
    }
    switch (col) {
    case 0:
        plugin->toggleValue(MOD_BY_TAGS[slot]);
        setDirty(true);
        return kNoMoreEvents;
    case 1:
    case 2:
        chooseFromList(col == 1);
        return kNoMoreEvents;
    default:
        break;
    }
    beginEdit();
    // The screen is no parameter itself: the host hears the gesture on the amount it edits.
    if (hostGestureTag < 0) {
        if (CFrame* frame = getFrame()) frame->beginEdit(amountTag);
        hostGestureTag = amountTag;
    }
    dragStart = plugin->getParameter(amountTag);
    // The rate of this press, so that the first move is not re-anchored with a rate left
    // over from an earlier drag.
    dragScale = (getMax() - getMin()) / (tlook::hasShift(buttons) ? 10000.0f : 200.0f);
    pressPoint = p;
    return onMouseMoved(where, buttons);
}

void TModScreen::chooseFromList(bool source) {
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = editor ? editor->getPlugin() : nullptr;
    if (!plugin) return;
    COptionMenu* menu = tscreen::newPopupList();
    menu->addEntry(std::string(source ? "-GMod Source " : "-GMod Destination ") + std::to_string(slot + 1));
    menu->addSeparator();
    menu->addEntry("None");
    const int groups = source ? 7 : 24;
    for (int g = 0; g < groups; ++g) {
        COptionMenu* sub = tscreen::newPopupList();
        if (source) {
            // Sources past the last group are not offered (133 and 134 join the first group).
            addSourceEntries(sub, SRC_SUBS_START[g], SRC_SUBS_START[g + 1]);
            menu->addEntry(sub, std::string("Modulate by ") + SRC_SUB_STR[g]);
        } else {
            for (int d = DEST_SUB_START[g]; d < DEST_SUB_START[g + 1]; ++d) sub->addEntry(editor->getDestStr(d));
            menu->addEntry(sub, DEST_SUB_STR[g]);
        }
        sub->forget();
    }
    const tscreen::PopupChoice choice = tscreen::popupAtPointer(this, menu);
    if (choice.chosen) {
        const int tag = source ? MOD_SRC_TAGS[slot] : MOD_DEST_TAGS[slot];
        bool matched = false;
        const int count = source ? kModSourceCount : kModDestCount;
        for (int i = 0; i < count; ++i) {
            if (choice.title != (source ? std::string(SRC_STR[i]) : editor->getDestStr(i))) continue;
            plugin->setSteppedValue(tag, i);
            matched = true;
        }
        if (!matched && choice.topLevel && choice.title == "None") plugin->setSteppedValue(tag, 0);
    }
    setDirty(true);
}

CMouseEventResult TModScreen::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || !(buttons.getButtonState() & kLButton) || !isAmountTag(amountTag)) return kMouseEventHandled;
    const CPoint p(std::trunc(where.x), std::trunc(where.y));
    if (p == lastPoint) return kMouseEventHandled;
    lastPoint = p;
    const float delta = static_cast<float>((p.x - pressPoint.x) + (pressPoint.y - p.y));
    const float scale = (getMax() - getMin()) / (tlook::hasShift(buttons) ? 10000.0f : 200.0f);
    // Re-anchoring keeps the value where it is when Shift changes the rate mid-drag.
    dragStart += (dragScale - scale) * delta;
    dragScale = scale;
    plugin->setParameterAutomated(amountTag, dragStart + scale * delta);
    if (plugin->getDestTypeForSlot(slot) == kPitchDest && !tlook::hasShift(buttons))
        plugin->setParameterAutomated(amountTag, semitoneAmount(plugin->getParameter(amountTag), 0));
    setDirty(true);
    return kMouseEventHandled;
}

void TModScreen::endAmountDrag() {
    if (hostGestureTag >= 0) {
        if (CFrame* frame = getFrame()) frame->endEdit(hostGestureTag);
        hostGestureTag = -1;
    }
    endEdit();
}

CMouseEventResult TModScreen::onMouseUp(CPoint&, const CButtonState&) {
    if (isAmountTag(amountTag)) endAmountDrag();
    setDirty(true);
    return kMouseEventHandled;
}

CMouseEventResult TModScreen::onMouseCancel() {
    endAmountDrag();
    return CControl::onMouseCancel();
}

bool TModScreen::removed(CView* parent) {
    endAmountDrag();
    return CControl::removed(parent);
}

bool TModScreen::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin) return false;
    slot = getModSlotFromY(std::trunc(where.y));
    const int col = getModCol(std::trunc(where.x));
    const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
    const bool fine = tlook::hasShift(buttons);
    if (col == 1 || col == 2) {
        // Up moves to the previous entry of the list.
        plugin->changeDelta(MOD_COLS_TAGS[slot][col], -dir, fine, 1.0f);
    } else if (col == 3) {
        const int tag = MOD_AMT_TAGS[slot];
        const int kind = plugin->getDestTypeForSlot(slot);
        if (kind == kPitchDest && !fine)
            plugin->setParameterAutomated(tag, semitoneAmount(plugin->getParameter(tag), dir));
        else
            plugin->changeDelta(tag, dir, fine, kind == kCoarseDest ? 6.0f : 1.0f);
    }
    setDirty(true);
    return true;
}
