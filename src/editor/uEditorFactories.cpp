// The control factories: each builds one control shape at a position in pixels of the current
// size, stores it in the member it is given, registers it and, for the labelled forms, places
// its caption. The caller adds the control to the frame or a section container.
#include "controls/TControlLook.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TMenuButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace {

constexpr CColor MAIN_LABEL_COLOR(197, 213, 26, 255);
constexpr CColor EASY_LABEL_COLOR(84, 92, 3, 255);
constexpr uint8_t kLabelDimAlpha = 63;
const CFontRef LABEL_FONT_SIZES[4] = {kNormalFontVerySmall, kNormalFontSmall, kNormalFont, kNormalFontVeryBig};
constexpr int SIDE_LABEL_TOP[4] = {0, 1, 0, 1};
constexpr int SWITCH_LABEL_GAP[4] = {2, 0, 0, 2};
constexpr int KICK_LABEL_GAP[4] = {0, 0, 0, 2};
constexpr int MENU_SIDE_LABEL_GAP[4] = {5, 7, 12, 13};

// The easy knobs: strip, handle, marked and size class per knob type (-1: no easy knob).
struct EasyKnob {
    int strip, handle;
    bool marked;
    int sizeClass;
};
const EasyKnob EASY_KNOBS[7] = {{10050, 10051, false, 0}, {-1, -1, false, 0}, {10052, 10054, false, 2},
                                {10053, 10054, true, 2},  {-1, -1, false, 0}, {10055, 10057, false, 4},
                                {10056, 10057, true, 4}};

bool twoLines(const std::string& text) { return text.find('!') != std::string::npos; }

} // namespace

void uEditor::createLabel(TLabel*& label, int x, int y, int w, int h, const std::string& text, CFontDesc* font,
                          CColor colour, int align) {
    own(label, new TLabel(CRect(x, y, x + w, y + h), text, font, colour, align, kLabelDimAlpha));
    // A caption may reach over a neighbouring control; presses and the wheel go through it.
    label->setMouseEnabled(false);
    addControl(label, kControlLabel);
}

void uEditor::labelRect(TLabel*& label, const CRect& r, const std::string& text, CColor colour, int align) {
    createLabel(label, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.getWidth()),
                static_cast<int>(r.getHeight()), text, LABEL_FONT_SIZES[getBig()], colour, align);
}

// The caption of a switch or kick button of size w x h: left of it and right-aligned (side not
// 0), or centred under it; lineH is one line's height, doubled for a two-line caption.
void uEditor::switchLabel(TLabel*& label, int x, int y, int w, int h, int lineH, const std::string& text,
                          CColor colour, int side, int e, int sideGap, int underGap) {
    const int H = lineH * (twoLines(text) ? 2 : 1);
    if (side != 0) {
        const int t = SIDE_LABEL_TOP[getBig()];
        labelRect(label, CRect(x - sideGap - e, y + t, x - sideGap, y + t + H), text, colour, 2);
    } else {
        labelRect(label, CRect(x - e, y + h + underGap, x - e + w + 2 * e, y + h + underGap + H), text, colour, 1);
    }
}

void uEditor::createKnob(TKnob*& knob, int tag, int x, int y, int type) {
    const int size = type <= 1 ? getScaled(48) : (type <= 3 ? getScaled(38) : getScaled(28));
    const bool marked = type == 1 || type == 3 || type == 5;
    own(knob, new TKnob(CRect(x, y, x + size, y + size), this, tag, nullptr, nullptr, CPoint(0, 0), marked, size,
                        type));
    addControl(knob, kControlKnob);
}

void uEditor::createKnob(TKnob*& knob, int tag, int x, int y, int type, TLabel*& label, const std::string& text,
                         int e) {
    createKnob(knob, tag, x, y, type);
    const int size = type <= 1 ? getScaled(48) : (type <= 3 ? getScaled(38) : getScaled(28));
    const int line = getScaled(9) * (twoLines(text) ? 2 : 1);
    labelRect(label, CRect(x - e, y + size, x - e + size + 2 * e, y + size + line), text, MAIN_LABEL_COLOR, 1);
}

void uEditor::createEasyKnob(TKnob*& knob, int tag, int x, int y, int type) {
    if (type < 0 || type > 6 || EASY_KNOBS[type].strip < 0) return;
    const EasyKnob& k = EASY_KNOBS[type];
    CBitmap* strip = getEditorBitmap(k.strip);
    CBitmap* handle = getEditorBitmap(k.handle);
    if (!strip || !handle) return;
    const int w = static_cast<int>(strip->getWidth());
    const int h = static_cast<int>(strip->getHeight()) / TKnob::kFrames;
    own(knob, new TKnob(CRect(x, y, x + w, y + h), this, tag, strip, handle, CPoint(0, 0), k.marked,
                        static_cast<int>(handle->getWidth()), k.sizeClass));
    knob->setEasy();
    addControl(knob, kControlKnob);
}

void uEditor::createEasyKnob(TKnob*& knob, int tag, int x, int y, int type, TLabel*& label, const std::string& text,
                             int e) {
    knob = nullptr;
    createEasyKnob(knob, tag, x, y, type);
    if (!knob) return;
    const CRect r = knob->getViewSize();
    const int size = static_cast<int>(r.getWidth());
    const int line = getScaled(9) * (twoLines(text) ? 2 : 1);
    labelRect(label, CRect(x - e, y + r.getHeight(), x - e + size + 2 * e, y + r.getHeight() + line), text,
              EASY_LABEL_COLOR, 1);
}

void uEditor::createOnOff(TOnOff*& button, int tag, int x, int y) {
    const int s = getScaled(13);
    own(button, new TOnOff(CRect(x, y, x + s, y + s), this, tag, nullptr, false, 0));
    addControl(button, kControlOnOff);
}

void uEditor::createOnOff(TOnOff*& button, int tag, int x, int y, CBitmap* bitmap) {
    if (!bitmap) return;
    const CRect r(x, y, x + bitmap->getWidth(), y + bitmap->getHeight() / 2);
    own(button, new TOnOff(r, this, tag, bitmap, true, 0));
    addControl(button, kControlOnOff);
}

void uEditor::createOnOff(TOnOff*& button, int tag, int x, int y, TLabel*& label, const std::string& text, int side,
                          int e, int dx) {
    createOnOff(button, tag, x + dx, y);
    const int S = getScaled(13);
    switchLabel(label, x, y, S, S, S, text, MAIN_LABEL_COLOR, side, e, getScaled(2), SWITCH_LABEL_GAP[getBig()]);
}

void uEditor::createEasyOnOff(TOnOff*& button, int tag, int x, int y) {
    createOnOff(button, tag, x, y, getEditorBitmap(10060));
}

void uEditor::createEasyOnOff(TOnOff*& button, int tag, int x, int y, TLabel*& label, const std::string& text,
                              int side, int e, int dx) {
    createOnOff(button, tag, x + dx, y, getEditorBitmap(10060));
    CBitmap* sw = getEditorBitmap(10062);
    const int S = getScaled(13);
    switchLabel(label, x, y, S, S, sw ? static_cast<int>(sw->getHeight()) / 2 : S, text, EASY_LABEL_COLOR, side, e,
                getScaled(2), SWITCH_LABEL_GAP[getBig()]);
}

void uEditor::createKickButtonArea(CKickButton*& button, int x, int y, int w, int h) {
    own(button, new CKickButton(CRect(x, y, x + w, y + h), this, tlook::NO_PARAMETER_TAG, nullptr, CPoint(0, 0)));
    addControl(button, kControlCommand);
}

void uEditor::createKickButton(TKickButton*& button, int x, int y, int w, int h, const std::string& text, int style) {
    own(button, new TKickButton(CRect(x, y, x + w, y + h), this, text, style));
    addControl(button, kControlCommand);
}

void uEditor::createKickButton(CKickButton*& button, int x, int y, int tag, CBitmap* bitmap) {
    if (!bitmap) return;
    own(button, new CKickButton(CRect(x, y, x + bitmap->getWidth(), y + bitmap->getHeight() / 2), this, tag, bitmap,
                                CPoint(0, 0)));
    addControl(button, kControlCommand);
}

void uEditor::createOnOffKick(TKickButton*& button, int x, int y) {
    createKickButton(button, x, y, getScaled(13), getScaled(13), "", 0);
}

void uEditor::createEasyOnOffKick(TKickButton*& button, int x, int y) {
    CBitmap* led = getEditorBitmap(10060);
    if (!led) return;
    createKickButton(button, x, y, static_cast<int>(led->getWidth()), static_cast<int>(led->getHeight()) / 2, "", 2);
}

void uEditor::createKickButtonLabel(TKickButton*& button, int x, int y, TLabel*& label, const std::string& text,
                                    int side, CColor colour, int e) {
    const int S = getScaled(13);
    createKickButton(button, x, y, S, S, "", 0);
    switchLabel(label, x, y, S, S, S, text, colour, side, e, getScaled(4), KICK_LABEL_GAP[getBig()]);
}

void uEditor::createEasyKickButtonLabel(TKickButton*& button, int x, int y, TLabel*& label, const std::string& text,
                                        int side, CColor colour, int e) {
    CBitmap* led = getEditorBitmap(10060);
    if (!led) return;
    const int w = static_cast<int>(led->getWidth()), hh = static_cast<int>(led->getHeight()) / 2;
    createKickButton(button, x, y, w, hh, "", 2);
    switchLabel(label, x, y, w, hh, getScaled(13), text, colour, side, e, getScaled(4), KICK_LABEL_GAP[getBig()]);
}

void uEditor::createRadio(TRadioButton*& radio, int x, int y, int group, int index, bool easy) {
    CRect r;
    if (easy) {
        CBitmap* led = getEditorBitmap(10060);
        if (!led) return;
        r = CRect(x, y, x + led->getWidth(), y + led->getHeight() / 2);
    } else {
        const int s = getScaled(13);
        r = CRect(x, y, x + s, y + s);
    }
    own(radio, new TRadioButton(r, this, group, index, easy));
    addControl(radio, kControlCommand);
}

void uEditor::createRadio(TRadioButton*& radio, int x, int y, int w, int h, const std::string& text, int group,
                          int index) {
    own(radio, new TRadioButton(CRect(x, y, x + w, y + h), this, group, index, false));
    radio->setString(text);
    addControl(radio, kControlCommand);
}

void uEditor::createReadout(TReadout*& readout, int x, int y, int w, int h, const std::string& text, bool a, bool b) {
    own(readout, new TReadout(CRect(x, y, x + w, y + h), this, text, a, b));
    addControl(readout, kControlCommand);
}

void uEditor::createMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count,
                         const char* const* entries, bool centred, bool delta) {
    own(menu, new TOptionMenu(CRect(x, y, x + w, y + h), this, tag, nullptr, nullptr, kPopupStyle, centred, delta));
    for (int i = 0; entries && i < count; ++i) menu->addEntry(entries[i], -1, 0);
    addControl(menu, kControlMenu);
}

void uEditor::createMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, const char* const* entries,
                         bool centred, bool delta) {
    createMenu(menu, tag, x, y, w, h, plugin ? plugin->getSteppedNum(tag) : 0, entries, centred, delta);
}

void uEditor::createMenuButton(TMenuButton*& button, int type, int x, int y, int w, int h, const std::string& text,
                               bool a, bool b) {
    own(button, new TMenuButton(CRect(x, y, x + w, y + h), this, text, type, a, b));
    addControl(button, kControlCommand);
}

namespace {
CRect menuLabelRect(const uEditor& ed, int x, int y, int w, int h, const std::string& text, int e, int placement) {
    const int E = ed.getScaled(e);
    const int H = ed.getScaled(15) * (twoLines(text) ? 2 : 1);
    if (placement == 1) return CRect(x - E, y - ed.getScaled(13), x - E + w + 2 * E, y - ed.getScaled(13) + H);
    if (placement == 0) {
        const int top = y + h + ed.getScaled(1);
        return CRect(x - E, top, x - E + w + 2 * E, top + H);
    }
    const int G = MENU_SIDE_LABEL_GAP[ed.getBig()];
    return CRect(x - G - E, y, x - G, y + H);
}
} // namespace

void uEditor::createLabelMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count,
                              const char* const* entries, TLabel*& label, const std::string& text, int e, int placement,
                              bool delta) {
    if (count < 0) count = plugin ? plugin->getSteppedNum(tag) : 0;
    createMenu(menu, tag, x, y, w, h, count, entries, true, delta);
    labelRect(label, menuLabelRect(*this, x, y, w, h, text, e, placement), text, MAIN_LABEL_COLOR,
              placement == 0 || placement == 1 ? 1 : 2);
}

void uEditor::createEasyLabelMenu(TOptionMenu*& menu, int tag, int x, int y, int w, int h, int count,
                                  const char* const* entries, TLabel*& label, const std::string& text, int e,
                                  int placement, bool delta) {
    if (count < 0) count = plugin ? plugin->getSteppedNum(tag) : 0;
    createMenu(menu, tag, x, y, w, h, count, entries, true, delta);
    labelRect(label, menuLabelRect(*this, x, y, w, h, text, e, placement), text, EASY_LABEL_COLOR,
              placement == 0 || placement == 1 ? 1 : 2);
}
