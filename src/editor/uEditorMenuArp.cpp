// The arpeggiator's command menu: whole-grid edits (reset, original values, copy, paste,
// move, reverse, transpose, row resets and randomising), arp preset files, "Undo", and from a
// cell of the arp screen the step, row and cell commands.
//
// The grid is 8 rows of 16 steps; parameter 395 says how many steps are active (L = index + 1),
// and moves, reversal and transposition act on those L steps only. Commands that set a value
// by rule reach the host; computed values (moves, reversal, transposition, randomised cells)
// are written plainly. The arp's on/off switch (394) keeps its value through reset and
// original values.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr int kRows = 8;
constexpr int kSteps = 16;
constexpr int kArpOnTag = 394;
constexpr int kStepCountTag = 395;
constexpr int kTuneRow = 3;
constexpr float kSemitone = 72.99f;

const char* const ARP_HELP[] = {
    "Left Click: Change value",
    "Left Click + Shift: Fine Change Value",
    "Left Click + Control: Show this Menu",
    "Left Click + Command: Set to Default Value",
    "Left Click + Command + Shift: Set to Original Value",
    "Left Click + Opt: Set Value",
    "Double Click: Set to Default Value",
    "Right Click: Show this Menu",
    "Scroll Wheel: Change Value",
    "Scroll Wheel + Shift: Fine Change Value",
};

// "Reset ... Row" for rows 1..7 (the on/off row has the two "Turn All Steps" commands).
const char* const RESET_ROW_TEXTS[kRows - 1] = {
    "Reset Tie Row", "Reset Slide Row", "Reset Tune Row", "Reset Velocity Row",
    "Reset Chord Row", "Reset Free Row", "Reset Ratcheting Row",
};

const char* const RANDOM_ROW_TEXTS[3] = {"Randomize Tune Row", "Randomized Velocity Row", "Randomize Free Row"};
constexpr int RANDOM_ROWS[3] = {3, 4, 6};

const char* const MOVE_TEXTS[5] = {"Move Arp Left", "Move Arp Right", "Move Arp", "Reverse Arp", "Transpose Arp"};

// The submenu's entries; nullptr rows are separators.
const char* const CELL_TEXTS[] = {
    "Reset Cell", "Reset Step", "Reset Row", nullptr,
    "Randomize Cell", "Randomize Step", "Randomize Row", nullptr,
    "Copy Step", "Paste Step", "Set All To Step", "Swap Step With Next", "Swap Step With Previous", nullptr,
    "Enter Tune Value", "Enter Velocity Value", "Enter Free Value",
};
constexpr int kCellTexts = static_cast<int>(sizeof(CELL_TEXTS) / sizeof(CELL_TEXTS[0]));

enum CellCommand {
    kResetCell, kResetStep, kResetRow, kSep1, kRandomCell, kRandomStep, kRandomRow, kSep2, kCopyStep, kPasteStep,
    kSetAllToStep, kSwapNext, kSwapPrevious, kSep3, kEnterTune, kEnterVelocity, kEnterFree
};

int trueMod(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}

float randomValue() { return static_cast<float>(std::rand() & 0x7FFF) / 32767.0f; }

}  // namespace

int uEditor::getArpStepCount() const {
    if (!plugin) return 1;
    return plugin->getSteppedValue(kStepCountTag, plugin->getParameter(kStepCountTag)) + 1;
}

void uEditor::rotateArp(int m) {
    const int length = getArpStepCount();
    if (m == 0) return;
    for (int r = 0; r < kRows; ++r) {
        float old[kSteps];
        for (int s = 0; s < kSteps; ++s) old[s] = plugin->getParameter(ARP_ROW_START_TAGS[r] + s);
        for (int i = 0; i < length; ++i) plugin->setParameter(ARP_ROW_START_TAGS[r] + i, old[trueMod(i + m, length)]);
    }
}

void uEditor::reverseArp() {
    const int length = getArpStepCount();
    for (int r = 0; r < kRows; ++r) {
        float old[kSteps];
        for (int s = 0; s < kSteps; ++s) old[s] = plugin->getParameter(ARP_ROW_START_TAGS[r] + s);
        for (int i = 0; i < length; ++i) plugin->setParameter(ARP_ROW_START_TAGS[r] + i, old[length - 1 - i]);
    }
}

void uEditor::transposeArp(int semitones) {
    const int t = std::clamp(semitones, -36, 36);
    // Rewriting by 0 would only add rounding.
    if (t == 0) return;
    const int first = ARP_ROW_START_TAGS[kTuneRow];
    for (int k = first; k < first + getArpStepCount(); ++k) {
        const float v = (plugin->getParameter(k) * kSemitone + static_cast<float>(t)) / kSemitone;
        plugin->setParameter(k, std::clamp(v, 0.0f, 1.0f));
    }
}

void uEditor::runArpCellCommand(int command, int row, int step) {
    APlugin& p = *plugin;
    const int rowStart = ARP_ROW_START_TAGS[row];
    switch (command) {
        case kResetCell: p.setToDefault(rowStart + step); break;
        case kResetStep:
            for (int r = 0; r < kRows; ++r) p.setToDefault(ARP_ROW_START_TAGS[r] + step);
            break;
        case kResetRow:
            for (int s = 0; s < kSteps; ++s) p.setToDefault(rowStart + s);
            break;
        case kRandomCell: p.setParameter(rowStart + step, randomValue()); break;
        case kRandomStep:
            // The step's on/off and tie cells stay as they are.
            for (int r = 2; r < kRows; ++r) p.setParameter(ARP_ROW_START_TAGS[r] + step, randomValue());
            break;
        case kRandomRow:
            for (int s = 0; s < kSteps; ++s) p.setParameter(rowStart + s, randomValue());
            break;
        case kCopyStep:
            for (int r = 0; r < kRows; ++r) arpStepClip[r] = p.getParameter(ARP_ROW_START_TAGS[r] + step);
            arpStepClipValid = 1;
            break;
        case kPasteStep:
            if (arpStepClipValid)
                for (int r = 0; r < kRows; ++r) p.setParameter(ARP_ROW_START_TAGS[r] + step, arpStepClip[r]);
            break;
        case kSetAllToStep:
            for (int j = 0; j < kSteps; ++j)
                for (int r = 0; r < kRows; ++r) p.copyParameter(ARP_ROW_START_TAGS[r] + step, ARP_ROW_START_TAGS[r] + j);
            break;
        case kSwapNext:
        case kSwapPrevious: {
            const int j = trueMod(step + (command == kSwapNext ? 1 : -1), getArpStepCount());
            for (int r = 0; r < kRows; ++r) p.swapParameter(ARP_ROW_START_TAGS[r] + step, ARP_ROW_START_TAGS[r] + j);
            break;
        }
        case kEnterTune: p.setNumValue(step + 460); break;
        case kEnterVelocity: p.setNumValue(step + 476); break;
        case kEnterFree: p.setNumValue(step + 508); break;
        default: break;
    }
}

void uEditor::showArpMenu(int row, int step, bool onCell) {
    if (!frame || !plugin) return;
    // A cell menu only for a cell of the grid.
    const bool cellCommands = onCell && row >= 0 && row < kRows && step >= 0 && step < kSteps;

    TCommandMenu menu;
    menu.addGrey("Arp Command Menu");
    TCommandMenu& help = menu.addSubmenu("Arp Screen Information");
    for (const char* line : ARP_HELP) help.addGrey(line);
    menu.add("Reset Arp").add("Set Arp to Original Value").add("Copy Arp");
    addPasteEntry(menu, "Arp", kSectionArp);
    menu.add("Turn All Steps On").add("Turn All Steps Off");
    menu.addAll(RESET_ROW_TEXTS, kRows - 1);
    menu.addAll(RANDOM_ROW_TEXTS, 3);
    menu.addSeparator().addAll(MOVE_TEXTS, 5);
    TCommandMenu* cells = nullptr;
    if (cellCommands) {
        cells = &menu.addSubmenu("Step / Row / Cell Commands");
        for (const char* text : CELL_TEXTS) text ? cells->add(text) : cells->addSeparator();
    }
    menu.addSeparator().add("Load Arp Preset").add("Save Arp Preset").addSeparator();
    addUndoEntry(menu, kSectionArp);
    if (!popupCommandMenu(menu, kSectionArp)) return;

    const float arpOn = plugin->getParameter(kArpOnTag);
    if (menu.chose("Reset Arp")) resetSection(kSectionArp, 0);
    if (menu.chose("Set Arp to Original Value")) setSectionToOrig(kSectionArp);
    // Resetting or restoring never switches the arpeggiator; the host hears its value always.
    setParameterAutomated(kArpOnTag, arpOn);

    if (menu.chose("Copy Arp")) copySection(kSectionArp);
    if (menu.chose("Paste Arp")) pasteSection(kSectionArp);
    if (menu.chose("Turn All Steps On"))
        for (int s = 0; s < kSteps; ++s) plugin->setOn(ARP_ROW_START_TAGS[0] + s);
    if (menu.chose("Turn All Steps Off"))
        for (int s = 0; s < kSteps; ++s) plugin->setOff(ARP_ROW_START_TAGS[0] + s);
    const int resetRow = menu.choseRow(RESET_ROW_TEXTS, kRows - 1);
    if (resetRow >= 0)
        for (int s = 0; s < kSteps; ++s) plugin->setToDefault(ARP_ROW_START_TAGS[resetRow + 1] + s);
    const int randomRow = menu.choseRow(RANDOM_ROW_TEXTS, 3);
    if (randomRow >= 0)
        for (int s = 0; s < kSteps; ++s) plugin->setRandomValue(ARP_ROW_START_TAGS[RANDOM_ROWS[randomRow]] + s);
    switch (menu.choseRow(MOVE_TEXTS, 5)) {
        case 0: rotateArp(1); break;
        case 1: rotateArp(-1); break;
        case 2: {
            int n = 0;
            if (askMenuNumber("Number of steps to move", "", n)) rotateArp(std::clamp(-n, -15, 15));
            break;
        }
        case 3: reverseArp(); break;
        case 4: {
            int t = 0;
            if (askMenuNumber("Transpose, -36 to 36 semi", "", t)) transposeArp(t);
            break;
        }
        default: break;
    }
    if (cells) runArpCellCommand(menu.choseRowIn(*cells, CELL_TEXTS, kCellTexts), row, step);
    if (menu.chose("Load Arp Preset")) loadSection(kSectionArpPreset);
    if (menu.chose("Save Arp Preset")) saveSection(kSectionArpPreset);

    endCommandMenu(menu, false);
    // A saved file shows up in the preset browser.
    plugin->scanArpPresets();
    resume();
}
