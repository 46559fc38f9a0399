// The back page: the global settings that belong to no program (MIDI input, keyboard
// stepping, editor size, tuning, the brick-wall output filter) and the information line.
// Its captions are part of its background picture; the controls sit right of them.
#include <cstring>

#include "controls/TKickButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TReadout.h"
#include "controls/TReadoutString.h"
#include "controls/TControlLook.h"
#include "editor/uEditor.h"
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
