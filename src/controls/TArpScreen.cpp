#include "controls/TArpScreen.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "controls/TScreenPopup.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr float ARP_STEP_WIDTH[4] = {36.f, 45.f, 54.f, 72.f};
constexpr float ARP_ROW_HEIGHT[4] = {16.f, 20.f, 24.f, 32.f};
constexpr int ARP_TEXT_TOP[4] = {2, 3, 4, 6};
constexpr int ARP_LOOP_MARK_LEFT[4] = {3, 3, 3, 5};
constexpr int ARP_LOOP_MARK_RIGHT[4] = {7, 9, 11, 14};

constexpr CColor ARP_LED_COLOR(197, 213, 26, 255);
constexpr CColor ARP_TEXT_COLOR(197, 213, 26, 255);
constexpr CColor ARP_OFF_TEXT_COLOR(197, 213, 26, 63);

constexpr int kSteps = 16;
constexpr int kRows = 8;
enum Row { kRowOn, kRowTie, kRowSlide, kRowTune, kRowVel, kRowChord, kRowFree, kRowRatchet };
constexpr int kStepCountTag = 395;
constexpr int kLoopOff = 1;
constexpr int kArpSection = 9;

constexpr auto kNoMoreEvents = kMouseDownEventHandledButDontNeedMovedOrUpEvents;

template <class T>
T clampTo(T v, T lo, T hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Whether a step's values are in use (and shown) under the tied mode: always for an untied
// step; for a tied one as the mode says, by the parity of the loop pass while the arp plays.
bool valuesInUse(APlugin* plugin, bool tied) {
    if (!tied) return true;
    const int mode = plugin->getArpTiedMode();
    const bool idle = !plugin->getArpPlaying();
    const bool odd = (plugin->getArpSeq() & 1) != 0;
    return mode == 1 || (mode == 2 && (idle || !odd)) || (mode == 3 && (idle || odd));
}

std::string cellText(APlugin* plugin, int r, int s) {
    const int tag = ARP_ROW_TAGS[r][s];
    const float v = plugin->getLockVar(tag);
    switch (r) {
    case kRowSlide: return plugin->getLockVarOnOff(tag) ? "X" : " ";
    case kRowTune: return APlugin::getSemiStr(v, 72.0f, 36.0f) + "sm";
    case kRowVel: return std::to_string(static_cast<int>(v * 127.0f));
    case kRowChord: return ARP_CHORD_SHORT_STR[clampTo(plugin->getArpStepChord(s), 0, 29)];
    case kRowFree: return APlugin::getPolarStr(v, true, 1);
    case kRowRatchet:
        return plugin->getArpRatchetDisplay() ? ARP_RATCHET_STR[clampTo(plugin->getArpStepRatchet(s), 0, 3)] : "--";
    default: return std::string();
    }
}

} // namespace

TArpScreen::TArpScreen(const CRect& size, IControlListener* listener, int big)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG), sizeIndex(tlook::sizeIndex(big)),
      scale(static_cast<float>(tlook::SCALE[tlook::sizeIndex(big)])), font(tlook::FONT_SIZES[tlook::sizeIndex(big)]) {
    for (int k = 0; k < kRows; ++k) {
        rowTop[k] = static_cast<int>(static_cast<float>(k) * ARP_ROW_HEIGHT[sizeIndex]);
        rowBottom[k] = static_cast<int>(static_cast<float>(k + 1) * ARP_ROW_HEIGHT[sizeIndex]);
    }
}

void TArpScreen::setLedStep(int s) {
    if (s == ledStep) return;
    ledStep = s;
    setDirty(true);
}

int TArpScreen::getArpStep(double x) const {
    const float q = static_cast<float>(x - getViewSize().left) / ARP_STEP_WIDTH[sizeIndex];
    return clampTo(static_cast<int>(q), 0, kSteps - 1);
}

int TArpScreen::getArpRow(double y) const {
    return static_cast<int>(static_cast<float>(y - getViewSize().top) / ARP_ROW_HEIGHT[sizeIndex]);
}

float TArpScreen::getArpValue(int tag) {
    APlugin* plugin = controlPlugin(this);
    return plugin ? plugin->getLockVar(tag) : 0.0f;
}

bool TArpScreen::getArpOnOff(int tag) {
    APlugin* plugin = controlPlugin(this);
    return plugin && plugin->getLockVarOnOff(tag);
}

void TArpScreen::setArpValue(int tag, float value) {
    if (APlugin* plugin = controlPlugin(this)) {
        plugin->setLockVar(tag, value);
        setDirty(true);
    }
}

void TArpScreen::toggleArpVar(int tag) {
    if (APlugin* plugin = controlPlugin(this)) {
        plugin->setLockVar(tag, plugin->getLockVarOnOff(tag) ? 0.0f : 1.0f);
        setDirty(true);
    }
}

CView* TArpScreen::newCopy() const {
    auto* copy = new TArpScreen(*this);
    copy->hostGestureTag = -1;  // a gesture belongs to the control that began it
    return copy;
}

void TArpScreen::draw(CDrawContext* context) {
    TControlEditor* editor = drawingEditor(this);
    if (!editor) {
        setDirty(false);
        return;
    }
    APlugin* plugin = editor->getPlugin();
    const int n = plugin->getArpNumOfSteps();
    const float W = ARP_STEP_WIDTH[sizeIndex];
    const CRect& r = getViewSize();
    const double L = r.left;
    const double T = r.top;
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    context->setFrameColor(ARP_LED_COLOR);
    context->setFillColor(ARP_LED_COLOR);
    context->setFont(font);

    if (ledStep >= 0 && ledStep < kSteps) {
        const double y = T + static_cast<int>(2.0f * scale);
        context->drawLine(CPoint(L + static_cast<int>(static_cast<float>(ledStep) * W + 2.0f), y),
                          CPoint(L + static_cast<int>(static_cast<float>(ledStep + 1) * W - 2.0f), y));
    }
    if (plugin->getArpLoopMode() != kLoopOff) {
        const double x0 = static_cast<int>(L + static_cast<int>(static_cast<float>(plugin->getArpLoopStart()) * W));
        context->drawRect(CRect(x0 + ARP_LOOP_MARK_LEFT[sizeIndex], T + static_cast<int>(10.0f * scale),
                                x0 + ARP_LOOP_MARK_RIGHT[sizeIndex], T + static_cast<int>(14.0f * scale)),
                          kDrawFilled);
    }

    const double b = static_cast<int>(T + ARP_TEXT_TOP[sizeIndex]) + (sizeIndex == 0 ? 1 : 0);
    const int pad = static_cast<int>(2.0f * scale);
    for (int s = 0; s < n && s < kSteps; ++s) {
        const double x0 = static_cast<int>(L + static_cast<int>(static_cast<float>(s) * W));
        const double x1 = static_cast<int>(L + pad + static_cast<int>(static_cast<float>(s) * W + W - 1.0f));
        auto cell = [&](int row) { return CRect(x0, rowTop[row] + b, x1, rowBottom[row] + b); };
        const bool stepOn = plugin->getLockVarOnOff(ARP_ROW_TAGS[kRowOn][s]);
        char number[4];
        std::snprintf(number, sizeof number, "%02d", s + 1);
        context->setFontColor(stepOn ? ARP_TEXT_COLOR : ARP_OFF_TEXT_COLOR);
        context->drawString(number, cell(kRowOn), kCenterText, true);
        if (!stepOn) continue;
        context->setFontColor(ARP_TEXT_COLOR);
        const bool tied = plugin->getLockVarOnOff(ARP_ROW_TAGS[kRowTie][s]);
        if (tied) context->drawString("X", cell(kRowTie), kCenterText, true);
        if (!valuesInUse(plugin, tied)) continue;
        for (int row = kRowSlide; row < kRows; ++row)
            context->drawString(cellText(plugin, row, s).c_str(), cell(row), kCenterText, true);
    }
    setDirty(false);
}

CMouseEventResult TArpScreen::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mouseDown = false;
    TControlEditor* editor = controlEditor(this);
    APlugin* plugin = editor ? editor->getPlugin() : nullptr;
    if (!getMouseEnabled() || !plugin || plugin->getLocked()) return kNoMoreEvents;
    selectedTag = -1;
    const CPoint p(std::trunc(where.x), std::trunc(where.y));
    step = getArpStep(p.x);
    row = getArpRow(p.y);
    const bool onGrid = row >= 0 && row < kRows && step >= 0 && step < kSteps;
    if (tlook::isContextClick(buttons)) {
        if (onGrid) editor->showArpMenu(row, step, true);
        return kNoMoreEvents;
    }
    editor->setSectionUndo(kArpSection);
    if (step > plugin->getSteppedValue(kStepCountTag) || !onGrid) return kNoMoreEvents;
    if (row <= kRowSlide) {
        toggleArpVar(ARP_ROW_TAGS[row][step]);
        return kNoMoreEvents;
    }
    selectedTag = ARP_ROW_TAGS[row][step];
    const bool command = tlook::hasCommand(buttons);
    if (buttons.isDoubleClick() || command) {
        const bool original = command && tlook::hasShift(buttons);
        setArpValue(selectedTag, original ? plugin->getOrigValue(selectedTag) : plugin->getDefaultValue(selectedTag));
        return kNoMoreEvents;
    }
    if (tlook::isOptionClick(buttons)) {
        plugin->setNumValue(selectedTag);
        setDirty(true);
        return kNoMoreEvents;
    }
    if (row == kRowChord) {
        chooseFromList(ARP_CHORD_STR, 30);
        return kNoMoreEvents;
    }
    if (row == kRowRatchet) {
        chooseFromList(ARP_RATCHET_STR, 4);
        return kNoMoreEvents;
    }
    mouseDown = true;
    dragValue = getArpValue(selectedTag);
    lastPoint = p;
    // The screen is no parameter itself: the host hears the gesture on the cell it edits.
    beginEdit();
    if (hostGestureTag < 0) {
        if (CFrame* frame = getFrame()) frame->beginEdit(selectedTag);
        hostGestureTag = selectedTag;
    }
    return onMouseMoved(where, buttons);
}

void TArpScreen::chooseFromList(const char* const* names, int count) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin) return;
    COptionMenu* menu = tscreen::newPopupList();
    for (int k = 0; k < count; ++k) menu->addEntry(names[k]);
    const tscreen::PopupChoice choice = tscreen::popupAtPointer(this, menu);
    if (choice.chosen)
        for (int k = 0; k < count; ++k)
            if (choice.title == names[k]) plugin->setSteppedValue(selectedTag, k);
    setDirty(true);
}

CMouseEventResult TArpScreen::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || !mouseDown || !(buttons.getButtonState() & kLButton)) return kMouseEventHandled;
    const CPoint p(std::trunc(where.x), std::trunc(where.y));
    if (p == lastPoint) return kMouseEventHandled;
    float d = static_cast<float>((p.x - lastPoint.x) + (lastPoint.y - p.y)) / 400.0f;
    if (tlook::hasShift(buttons)) d /= 20.0f;
    // The running value may pass the ends; the plug-in clamps what it stores.
    dragValue += d;
    lastPoint = p;
    plugin->setLockVar(selectedTag, dragValue);
    setDirty(true);
    return kMouseEventHandled;
}

void TArpScreen::endDrag() {
    if (hostGestureTag >= 0) {
        if (CFrame* frame = getFrame()) frame->endEdit(hostGestureTag);
        hostGestureTag = -1;
    }
    endEdit();
}

CMouseEventResult TArpScreen::onMouseUp(CPoint&, const CButtonState&) {
    mouseDown = false;
    endDrag();
    return kMouseEventHandled;
}

CMouseEventResult TArpScreen::onMouseCancel() {
    mouseDown = false;
    endDrag();
    return CControl::onMouseCancel();
}

bool TArpScreen::removed(CView* parent) {
    mouseDown = false;
    endDrag();
    return CControl::removed(parent);
}

bool TArpScreen::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    APlugin* plugin = controlPlugin(this);
    if (!plugin || plugin->getLocked()) return false;
    const int s = getArpStep(std::trunc(where.x));
    const int r = clampTo(getArpRow(std::trunc(where.y)), 0, kRows - 1);
    const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
    plugin->changeDelta(ARP_ROW_TAGS[r][s], dir, tlook::hasShift(buttons), 1.0f);
    setDirty(true);
    return true;
}
