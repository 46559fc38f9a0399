// The Gator command menu and the gate step mask.
//
// Each Gator side's 16 steps live in one ordinary parameter (111 left, 112 right) as a
// 16-bit mask, bit k = step k, stored as (mask + 0.5) / 65536 and read back by truncating
// value * 65535.9. The half step keeps every mask clear of the truncation, so each of the
// 65536 masks reads back as itself; the plain values 1.0 and 0.0 read as all open and all
// closed. The displays and the engine read the masks with the same rule.
//
// A command works on the editor's working copy gateSteps, reloaded from the parameters
// before each command and written back with setGaterVar. Pattern edits are computed values
// and write plainly (the host is not told); reset and original values go through the host.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "controls/TGatorDisplay.h"
#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "editor/uEditorNumber.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

namespace {

constexpr int kSteps = 16;
constexpr int kSpeedTag = 108;
constexpr int kLengthTag = 110;
constexpr int kLeftTag = 111;
constexpr int kRightTag = 112;
constexpr float kLengthRange = 15.99f;
constexpr float kSpeedRange = 33.99f;
constexpr int kSpeeds = 34;

const char* const GATOR_HELP[] = {
    "Left Click: Set On / Off",
    "Left Click + Shift: Set All On",
    "Left Click + Control: Show this Menu",
    "Left Click + Command: Set to Default Value",
    "Left Click + Command + Shift: Set to Original Value",
    "Left Click + Opt: Set All Off",
    "Right Click: Show this Menu",
    "Scroll Wheel: Change Length",
};

// The pattern commands that only rewrite the working copy, in menu order.
enum GatePatternCommand {
    kAllOn, kAllOff, kAlternate, kAlternateLR, kCopyLR, kCopyRL, kSwapLR, kMoveLeft, kMoveRight, kMoveBy,
    kReverse, kInverse, kNumPatternCommands
};

const char* const PATTERN_TEXTS[kNumPatternCommands] = {
    "Set All On", "Set All Off", "Alternate", "Alternate Left/Right", "Copy Left to Right", "Copy Right to Left",
    "Swap Left and Right", "Move Left", "Move Right", "Move Gator", "Reverse", "Inverse",
};

int trueMod(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}

float randomValue() { return static_cast<float>(std::rand() & 0x7FFF) / 32767.0f; }

}  // namespace

// ---- the gate step mask ------------------------------------------------------------------------

int uEditor::decodeGateMask(float value) { return TGatorDisplay::maskFromValue(value); }

float uEditor::encodeGateMask(int mask) { return TGatorDisplay::valueFromMask(mask); }

void uEditor::loadGateSteps() {
    if (!plugin) return;
    const int masks[2] = {decodeGateMask(plugin->getParameter(kLeftTag)), decodeGateMask(plugin->getParameter(kRightTag))};
    for (int k = 0; k < kSteps; ++k)
        for (int side = 0; side < 2; ++side) gateSteps[k][side] = (masks[side] >> k) & 1;
}

void uEditor::setGaterVar() {
    if (!plugin) return;
    int masks[2] = {0, 0};
    for (int k = 0; k < kSteps; ++k)
        for (int side = 0; side < 2; ++side)
            if (gateSteps[k][side]) masks[side] |= 1 << k;
    plugin->setParameter(kLeftTag, encodeGateMask(masks[0]));
    plugin->setParameter(kRightTag, encodeGateMask(masks[1]));
}

// Rotation of the first `length` step pairs: new[i] = old[(i + m) mod length]. A positive m
// moves the pattern towards the first step; steps past the length keep their bits.
void uEditor::rotateGateSteps(int m, int length) {
    if (m == 0 || length < 1 || length > kSteps) return;
    int old[kSteps][2];
    std::copy(&gateSteps[0][0], &gateSteps[0][0] + 2 * kSteps, &old[0][0]);
    for (int i = 0; i < length; ++i)
        for (int side = 0; side < 2; ++side) gateSteps[i][side] = old[trueMod(i + m, length)][side];
}

// ---- the menu ------------------------------------------------------------------------------------

void uEditor::showGaterMenu() {
    if (!frame || !plugin) return;
    const bool showPos = getRegValue(REG_GATER_DISPLAY_POS_STR, true);

    TCommandMenu menu;
    menu.addGrey("Gator Command Menu");
    TCommandMenu& help = menu.addSubmenu("Gator Screen Information");
    for (const char* line : GATOR_HELP) help.addGrey(line);
    menu.addSeparator();
    menu.addSwitch("Set Show Position Off", "Set Show Position On", showPos);
    menu.addSeparator();
    menu.add("Reset Gator").add("Set Gator to Original Value");
    menu.addAll(PATTERN_TEXTS, kCopyRL + 1);
    menu.add("Copy Gator");
    addPasteEntry(menu, "Gator", kSectionGator);
    menu.addAll(PATTERN_TEXTS + kSwapLR, kNumPatternCommands - kSwapLR);
    menu.add("Randomize Gator");
    menu.addSeparator();
    TCommandMenu& lengths = menu.addSubmenu("Set Length");
    std::string lengthTexts[kSteps];
    const char* lengthRows[kSteps];
    for (int n = 0; n < kSteps; ++n) {
        lengthTexts[n] = std::string("Set Length to ") + GATER_LEN_STR[n];
        lengthRows[n] = lengthTexts[n].c_str();
    }
    lengths.addAll(lengthRows, kSteps);
    TCommandMenu& speeds = menu.addSubmenu("Set Speed");
    speeds.addAll(GATER_PERIOD_STR, kSpeeds);
    menu.addSeparator();
    addUndoEntry(menu, kSectionGator);
    if (!popupCommandMenu(menu, kSectionGator)) return;

    loadGateSteps();
    const int length = APlugin::getSteppedValue(plugin->getParameter(kLengthTag), kLengthRange, kSteps) + 1;
    const int command = menu.choseRow(PATTERN_TEXTS, kNumPatternCommands);
    bool edited = command >= 0;
    int move = 0;
    switch (command) {
        case kAllOn:
        case kAllOff:
            for (auto& step : gateSteps) step[0] = step[1] = command == kAllOn;
            break;
        case kAlternate:
        case kAlternateLR:
            for (int k = 0; k < kSteps; ++k) {
                gateSteps[k][0] = k % 2 == 0;
                gateSteps[k][1] = command == kAlternate ? k % 2 == 0 : k % 2 == 1;
            }
            break;
        case kCopyLR:
            for (auto& step : gateSteps) step[1] = step[0];
            break;
        case kCopyRL:
            for (auto& step : gateSteps) step[0] = step[1];
            break;
        case kSwapLR:
            for (auto& step : gateSteps) std::swap(step[0], step[1]);
            break;
        case kMoveLeft: move = 1; break;
        case kMoveRight: move = -1; break;
        case kMoveBy: {
            int n = 0;
            if (askMenuNumber("Number of steps to move", "", n)) move = std::clamp(-n, -15, 15);
            break;
        }
        case kReverse: {
            int old[kSteps][2];
            std::copy(&gateSteps[0][0], &gateSteps[0][0] + 2 * kSteps, &old[0][0]);
            for (int i = 0; i < length; ++i)
                for (int side = 0; side < 2; ++side) gateSteps[i][side] = old[length - 1 - i][side];
            break;
        }
        case kInverse:
            for (auto& step : gateSteps) {
                step[0] = !step[0];
                step[1] = !step[1];
            }
            break;
        default: break;
    }
    // A move question left unanswered (or answered 0) writes nothing.
    if (command == kMoveLeft || command == kMoveRight || command == kMoveBy) edited = move != 0;
    rotateGateSteps(move, length);
    if (edited) setGaterVar();

    if (menu.chose("Reset Gator")) {
        resetSection(kSectionGator, 0);
        // Whatever the stored defaults: 16 steps, every step open on both sides.
        for (int tag : {kLengthTag, kLeftTag, kRightTag}) setParameterAutomated(tag, 1.0f);
    }
    if (menu.chose("Set Gator to Original Value")) setSectionToOrig(kSectionGator);
    if (menu.chose("Copy Gator")) copySection(kSectionGator);
    if (menu.chose("Paste Gator")) pasteSection(kSectionGator);
    if (menu.chose("Randomize Gator")) {
        plugin->setParameter(kLeftTag, randomValue());
        plugin->setParameter(kRightTag, randomValue());
    }
    if (menu.chose("Set Show Position Off")) prefDisplayGaterPos = false;
    if (menu.chose("Set Show Position On")) prefDisplayGaterPos = true;
    // Written after every use, so the store and the editor agree.
    saveBoolToPrefs(REG_GATER_DISPLAY_POS_STR, prefDisplayGaterPos);

    const int lengthRow = menu.choseRowIn(lengths, lengthRows, kSteps);
    if (lengthRow >= 0) plugin->setParameter(kLengthTag, (static_cast<float>(lengthRow) + 0.1f) / kLengthRange);
    const int speedRow = menu.choseRowIn(speeds, GATER_PERIOD_STR, kSpeeds);
    if (speedRow >= 0) plugin->setParameter(kSpeedTag, (static_cast<float>(speedRow) + 0.1f) / kSpeedRange);

    for (TGatorDisplay* const* pair : {gatorDisplays, easyGatorDisplays})
        for (int side = 0; side < 2; ++side)
            if (pair[side]) pair[side]->setValue(plugin->getParameter(side == 0 ? kLeftTag : kRightTag));
    endCommandMenu(menu);
}

// ---- typed numbers of the section menus --------------------------------------------------------

bool uEditor::askMenuNumber(const std::string& prompt, const std::string& title, int& value) {
    std::string text;
    inputBoxStr(prompt, title, text);
    if (text.empty()) return false;
    value = readTypedInt(text);
    return true;
}
