// The back page: the global settings that belong to no program (MIDI input, keyboard
// stepping, editor size, tuning, the brick-wall output filter) and the information line.
// Its captions are part of its background picture; the controls sit right of them.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "controls/TKickButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "controls/TControlLook.h"
#include "editor/uEditor.h"
#include "editor/uEditorNumber.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "platform/strutil.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

using namespace VSTGUI;

namespace {

constexpr int kBrickFilterOnTag = 1018;

// The switches, in the order of uEditor::backPrefSwitches (100 % positions; one pixel lower at
// 200 %).
struct SwitchRow {
    int x, y;
};
const SwitchRow PREF_SWITCHES[5] = {{214, 429}, {195, 449}, {283, 469}, {255, 489}, {191, 509}};
const SwitchRow BRICK_SWITCH = {208, 610};

struct ReadoutRow {
    int x, y, w, h;
    const char* text;
};
const ReadoutRow TUNING_READOUT = {141, 574, 74, 13, "440 Hz"};
const ReadoutRow TUNING_NAME_READOUT = {329, 574, 142, 13, "Tuning"};
const ReadoutRow BRICK_FREQ_READOUT = {329, 614, 74, 13, "60 KHZ"};

struct MenuRow {
    int x, y, w, h, count;
    const char* const* entries;
};
const MenuRow MIDI_CHANNEL_MENU = {214, 414, 74, 13, 17, MIDI_IN_CHANNEL_STR};
const MenuRow SCREEN_SIZE_MENU = {214, 533, 74, 13, 4, SCREEN_SIZE_STR};
const SwitchRow TUNING_RESET = {511, 570};

// Under the nameplate of the background.
constexpr int kInfoX = 216, kInfoY = 282, kInfoW = 700, kInfoH = 16;

// The formats a host that wraps the plug-in reports in the first reserved field.
const char* const WRAPPED_FORMAT_STR[5] = {"VST2", "VST3", "AAX", "AUv2", "AUv3"};

} // namespace

std::string uEditor::getBackInfoText() {
    std::string format = "VST2";
    if (plugin) {
        char host[256] = {};
        plugin->getHostProductString(host);
        host[sizeof host - 1] = 0;
        upperCase(host);
        if (std::strcmp(host, "KX-SOLENA") == 0) {
            int32_t reported = 0;
            std::memcpy(&reported, &plugin->getAeffect()->resvd1, sizeof reported);
            if (reported >= 1 && reported <= 4) format = WRAPPED_FORMAT_STR[reported];
        }
    }
    const int v = plugin ? plugin->getVendorVersion() : 0;
    return "Tavrolune Linux " + format + " " + std::to_string((v >> 16) & 0xff) + "." +
           std::to_string((v >> 8) & 0xff) + "." + std::to_string(v & 0xff);
}

void uEditor::createBackScreen() {
    if (!plugin || !frame) return;
    auto s = [this](int v) { return getScaled(v); };
    auto switchY = [this](int y) { return getScaled(y, 0, 0, 1); };

    // The information line first, then the page-wide area that leaves the page: every other
    // control lies above it and takes its own clicks.
    own(backInfoText, new TReadoutString(CRect(s(kInfoX), s(kInfoY), s(kInfoX + kInfoW), s(kInfoY + kInfoH)), this,
                                         getBackInfoText(), false, true, false));
    addControl(backInfoText, kControlCommand);
    CBitmap* page = getEditorBitmap(10002);
    const CRect area = page ? CRect(0, 0, page->getWidth(), page->getHeight()) : frame->getViewSize();
    createKickButtonArea(backPageClose, 0, 0, static_cast<int>(area.getWidth()), static_cast<int>(area.getHeight()));

    auto menu = [&](TOptionMenu*& member, const MenuRow& r) {
        createMenu(member, tlook::NO_PARAMETER_TAG, s(r.x), s(r.y), s(r.w), s(r.h), r.count, r.entries, true, false);
    };
    auto readout = [&](TReadout*& member, const ReadoutRow& r) {
        createReadout(member, s(r.x), s(r.y), s(r.w), s(r.h), r.text, true, true);
        if (member) member->setReactToMouse();
    };

    menu(midiChannelMenu, MIDI_CHANNEL_MENU);
    for (int k = 0; k < 5; ++k)
        createEasyOnOff(backPrefSwitches[k], tlook::NO_PARAMETER_TAG, s(PREF_SWITCHES[k].x), switchY(PREF_SWITCHES[k].y));
    menu(screenSizeMenu, SCREEN_SIZE_MENU);
    readout(tuningReadout, TUNING_READOUT);
    createEasyOnOffKick(tuningResetButton, s(TUNING_RESET.x), s(TUNING_RESET.y));
    readout(tuningNameReadout, TUNING_NAME_READOUT);
    createEasyOnOff(brickFilterSwitch, kBrickFilterOnTag, s(BRICK_SWITCH.x), switchY(BRICK_SWITCH.y));
    readout(brickFreqReadout, BRICK_FREQ_READOUT);
}

// ---- showing and leaving the page ------------------------------------------------------------

namespace {

// The preferences of uEditor::backPrefSwitches, in order.
const char* const* const PREF_KEYS[5] = {&REG_MIDI_PRESET_STR, &REG_MIDI_BANK_STR, &REG_MIDI_CAPTURE_STR,
                                         &REG_KEYBOARD_STR, &REG_PRESET_WARNING_STR};
constexpr int kKeyboardSwitch = 3;
constexpr int kTuningTag = 1017, kBrickFreqTag = 1019;

void show(CFrame* frame, CView* view) {
    if (!view || view->getParentView()) return;
    view->remember();
    if (!frame->addView(view)) view->forget();
}

int clampIndex(int v, int count) { return v < 0 ? 0 : (v >= count ? count - 1 : v); }

// A number typed into the modal entry box; false for a cancelled or empty answer. Text that
// is no number reads as 0.
bool askNumber(const char* prompt, const char* title, const char* preset, int& value) {
    char buffer[kEntryBufSize] = {};
    std::snprintf(buffer, sizeof buffer, "%s", preset);
    inputBox(prompt, title, buffer);
    const char* p = buffer;
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) return false;
    value = readTypedInt(buffer);
    return true;
}

}  // namespace

void uEditor::showBackReadouts() {
    if (!plugin) return;
    APlugin& p = *plugin;
    if (tuningReadout) {
        const double hz = 440.0 * std::pow(2.0, 2.0 * p.getParameter(kTuningTag) - 1.0);
        // Rounded, so that a typed frequency reads back as typed.
        tuningReadout->setString(std::to_string(static_cast<int>(std::lround(hz))) + " Hz");
    }
    if (brickFreqReadout) {
        const double khz = 20.0 * std::pow(2.0, 12.0 * p.getParameter(kBrickFreqTag)) / 1000.0;
        brickFreqReadout->setString(std::to_string(static_cast<int>(khz + 0.1)) + " KHz");
    }
}

void uEditor::showBackScreen() {
    if (!frame || !plugin || switchingScreen) return;
    switchingScreen = 1;
    frame->removeAll(true);
    frame->invalid();
    screenMode = kPageBack;
    frame->setBackground(getEditorBitmap(10002));

    show(frame, backInfoText);
    show(frame, backPageClose);
    if (midiChannelMenu) {
        midiChannelMenu->setString(MIDI_IN_CHANNEL_STR[clampIndex(loadIntFromPrefs(REG_MIDI_IN_CHANNEL_STR), 17)]);
        show(frame, midiChannelMenu);
    }
    if (screenSizeMenu) {
        screenSizeMenu->setString(SCREEN_SIZE_STR[getBig()]);
        show(frame, screenSizeMenu);
    }
    if (TOnOff* keyboard = backPrefSwitches[kKeyboardSwitch]) {
        keyboard->setState(prefKeyboard);
        show(frame, keyboard);
    }
    for (int k = 0; k < 5; ++k)
        if (k != kKeyboardSwitch && backPrefSwitches[k]) {
            backPrefSwitches[k]->setState(getRegisterIsOn(*PREF_KEYS[k], true));
            show(frame, backPrefSwitches[k]);
        }
    showBackReadouts();
    show(frame, tuningReadout);
    show(frame, tuningResetButton);
    if (tuningNameReadout) {
        tuningNameReadout->setString(plugin->getTuningName());
        show(frame, tuningNameReadout);
    }
    if (brickFilterSwitch) {
        brickFilterSwitch->setState(plugin->getOnOff(kBrickFilterOnTag));
        show(frame, brickFilterSwitch);
    }
    show(frame, brickFreqReadout);
    switchingScreen = 0;
    frame->invalid();
}

void uEditor::hideBackScreen() {
    if (!frame) return;
    frame->removeAll(true);
    frame->setBackground(getEditorBitmap(10000));
    showMainScreen();
    resume();
}

bool uEditor::backPageChanged(CControl* c) {
    APlugin& p = *plugin;
    const bool pressed = c->getValue() > 0.5f;
    if (c == backPageClose) {
        if (pressed) hideBackScreen();
        return true;
    }
    for (int k = 0; k < 5; ++k)
        if (c == backPrefSwitches[k]) {
            if (k == kKeyboardSwitch) prefKeyboard = c->getValue() >= 0.5f;
            setRegValue(*PREF_KEYS[k], k == kKeyboardSwitch ? prefKeyboard : pressed);
            return true;
        }
    if (c == screenSizeMenu || c == midiChannelMenu) {
        auto* menu = static_cast<TOptionMenu*>(c);
        const int i = menu->getCurrent();
        if (c == screenSizeMenu && i >= 0 && i < 4) {
            menu->setString(SCREEN_SIZE_SHORT_STR[i]);
            setScreenSize(i);
        } else if (c == midiChannelMenu && i >= 0 && i < 17) {
            saveIntToPrefs(REG_MIDI_IN_CHANNEL_STR, i);
            menu->setString(MIDI_IN_CHANNEL_STR[i]);
            p.updateMIDIChannel(false);
        }
        return true;
    }
    if (c == tuningReadout || c == brickFreqReadout) {
        if (!pressed) return true;
        const bool tuning = c == tuningReadout;
        int n = 0;
        const bool answered = tuning ? askNumber("A4 Tuning: 220 to 880Hz, 440Hz Default", "220 to 880", "440", n)
                                     : askNumber("Brick Filter Freq: 10 KHz - 40 KHz, 15 KHz Default", "KHz", "15", n);
        if (!answered) return true;
        if (tuning) {
            if (n < 220 || n > 880) n = 440;
            setParameterAutomated(kTuningTag, static_cast<float>((std::log2(n / 440.0) + 1.0) * 0.5));
        } else {
            if (n < 10 || n > 40) n = 15;
            setParameterAutomated(kBrickFreqTag, static_cast<float>(std::log2(50.0 * n) / 12.0));
        }
        showBackReadouts();
        return true;
    }
    if (c == tuningResetButton || c == tuningNameReadout) {
        if (!pressed) return true;
        if (c == tuningResetButton) p.resetTuning();
        else p.loadTuning();
        // Whatever the dialog's outcome, the name shows the tuning in use.
        if (tuningNameReadout) tuningNameReadout->setString(p.getTuningName());
        return true;
    }
    return c == backInfoText;
}
