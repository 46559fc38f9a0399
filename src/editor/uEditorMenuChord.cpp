// The chord section's command menu and the strum value button's menu.
//
// The chord menu acts on the chord shown in the chord section (selectedChord) and, from the
// chord screen, on one of its notes. Its undo stack and clipboard are those of all chords, so
// an "Undo" also brings back what a command changed in another chord. Values set by rule
// (defaults, originals, the note count of a preset) reach the host; copies, swaps, presets'
// semitones and interpolations are written plainly.
//
// The strum menu takes no undo snapshot and leaves the refresh of the controls to the
// plug-in's notifications.
#include <string>

#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr int kNotes = 6;
constexpr int kPresets = 20;
constexpr int kFirstPresetRow = 10;  // of ARP_CHORD_STR
constexpr int kStrumTags[8] = {557, 558, 584, 585, 611, 612, 638, 639};

// Semitone offsets of the chord presets; rows end at the preset's note count.
struct ChordPreset {
    int notes;
    int semis[4];
};

const ChordPreset CHORD_PRESETS[kPresets] = {
    {2, {0, 12}},       {3, {0, 12, 24}},  {4, {0, 12, 24, 36}}, {3, {0, 4, 7}},      {2, {0, 7}},
    {3, {0, 5, 7}},     {3, {0, 2, 7}},    {4, {0, 4, 7, 14}},   {4, {0, 4, 7, 9}},   {4, {0, 4, 7, 11}},
    {3, {0, 3, 7}},     {4, {0, 3, 7, 14}}, {4, {0, 3, 7, 9}},   {4, {0, 3, 7, 8}},   {4, {0, 3, 7, 10}},
    {4, {0, 3, 6, 10}}, {4, {0, 4, 7, 10}}, {4, {0, 5, 7, 10}},  {3, {0, 3, 6}},      {4, {0, 3, 6, 9}},
};

const char* const CHORD_HELP[] = {
    "Left Click: Change Value",
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

const char* const STRUM_HELP[] = {
    "Left Click: Change value",
    "Left Click + Control: Show this Menu",
    "Left Click + Command: Set to Default Value",
    "Left Click + Command + Shift: Set to Original Value",
    "Left Click + Opt: Set Value",
    "Double Click: Set to Default Value",
    "Right Click: Show this Menu",
    "Scroll Wheel: Change Value",
    "Scroll Wheel + Shift: Fine Change Value",
};

// The groups of values that the reset and original-value entries act on.
enum ChordGroup { kGroupTuning, kGroupVolume, kGroupPan, kGroupStrum, kGroupNote, kGroupChord, kGroupAll, kGroups };

const char* const RESET_TEXTS[kGroups] = {"Reset Tuning", "Reset Volume", "Reset Pan", "Reset Strum",
                                          "Reset Note", "Reset Chord", "Reset All Chords"};
const char* const ORIG_TEXTS[kGroups] = {
    "Set Tuning to Original Value", "Set Volume to Original Value", "Set Pan to Original Value",
    "Set Strum to Original Value", "Set Note to Original Value", "Set Chord to Original Value",
    "Set All Chords to their Original Values"};

const char* const INTERPOLATE_TEXTS[4] = {"Interpolate Semi Values", "Interpolate Fine Values",
                                          "Interpolate Volume Values", "Interpolate Pan Values"};
const char* const ENTER_TEXTS[4] = {"Enter Semi Value", "Enter Fine Value", "Enter Volume Value", "Enter Pan Value"};
const char* const SET_ALL_TEXTS[4] = {"Set All to Current Note", "Set All Tuning to Current Note",
                                      "Set All Volume to Current Note", "Set All Pan to Current Note"};

// Chord c's semitone, fine, volume and pan rows (the tag of note 0 of each).
struct ChordRows {
    int semi, fine, vol, pan;
    int row(int k) const { return k == 0 ? semi : k == 1 ? fine : k == 2 ? vol : pan; }
};

}  // namespace

int uEditor::getMenuChord() const { return selectedChord < 0 ? 0 : (selectedChord > 3 ? 3 : selectedChord); }

void uEditor::showChordMenu(int note) {
    if (!frame || !plugin) return;
    APlugin& p = *plugin;
    const int c = getMenuChord();
    const int section = CHORD_SECTIONS[c];
    const ChordRows rows = {CHORD_SEMI_TAGS[c], CHORD_FINE_TAGS[c], CHORD_VEL_TAGS[c], CHORD_PAN_TAGS[c]};
    const bool noteGiven = note >= 0 && note < kNotes;
    const int countIndex = p.getSteppedValue(CHORD_NOTES_TAGS[c], p.getParameter(CHORD_NOTES_TAGS[c]));

    TCommandMenu menu;
    menu.addGrey("Chord Command Menu");
    TCommandMenu& help = menu.addSubmenu("Chord Screen Information");
    for (const char* line : CHORD_HELP) help.addGrey(line);
    TCommandMenu& info = menu.addSubmenu("Chord Information");
    info.add("Chord " + std::to_string(c + 1)).add("Number of Notes: " + std::to_string(countIndex + 1));
    for (int i = 0; i <= countIndex && i < kNotes; ++i)
        info.add("Note " + std::to_string(i + 1) + ": Semi: " + p.getParameterDisplayStr(rows.semi + i) +
                 ", Fine: " + p.getParameterDisplayStr(rows.fine + i) + ", Volume: " +
                 p.getParameterDisplayStr(rows.vol + i) + ", Pan : " + p.getParameterDisplayStr(rows.pan + i));
    TCommandMenu& presets = menu.addSubmenu("Chord Presets");
    presets.addAll(ARP_CHORD_STR + kFirstPresetRow, kPresets).addSeparator();
    presets.add("Load Chord Preset").add("Save Chord Preset").add("Load All Chords Preset").add("Save All Chords Preset");
    for (int g = 0; g < kGroups; ++g)
        if (g != kGroupNote || noteGiven) menu.add(RESET_TEXTS[g]);
    menu.addSeparator();
    for (int g = 0; g < kGroups; ++g)
        if (g != kGroupNote || noteGiven) menu.add(ORIG_TEXTS[g]);
    menu.addSeparator();
    if (noteGiven) {
        menu.addAll(SET_ALL_TEXTS, 4).addSeparator();
        menu.addAll(ENTER_TEXTS, 4).add("Enter Strum Value").addSeparator();
    }
    menu.addAll(INTERPOLATE_TEXTS, 4).addSeparator();
    menu.add("Copy Chord").add("Copy Chord to All").add("Set Current Strum to All").add("Swap Chords").add("Copy Chords");
    addPasteEntry(menu, "Chords", kSectionAllChords);
    menu.addSeparator();
    addUndoEntry(menu, kSectionAllChords);
    if (!popupCommandMenu(menu, kSectionAllChords)) return;

    // The tags of a group, in the order the commands write them.
    auto forGroup = [&](int group, auto&& write) {
        switch (group) {
            case kGroupTuning:
                for (int i = 0; i < kNotes; ++i) write(rows.semi + i), write(rows.fine + i);
                break;
            case kGroupVolume:
            case kGroupPan:
                for (int i = 0; i < kNotes; ++i) write((group == kGroupVolume ? rows.vol : rows.pan) + i);
                break;
            case kGroupStrum:
                for (int tag : kStrumTags) write(tag);
                break;
            case kGroupNote:
                if (noteGiven)
                    for (int tag : {rows.vol, rows.pan, rows.semi, rows.fine}) write(tag + note);
                break;
            case kGroupChord:
            case kGroupAll: {
                const int s = group == kGroupChord ? section : static_cast<int>(kSectionAllChords);
                for (int i = 0; i < getSectionTagCount(s); ++i) write(getSectionTag(s, i));
                break;
            }
            default: break;
        }
    };
    const int resetGroup = menu.choseRow(RESET_TEXTS, kGroups);
    if (resetGroup >= 0) forGroup(resetGroup, [&](int tag) { p.setToDefault(tag); });
    const int origGroup = menu.choseRow(ORIG_TEXTS, kGroups);
    if (origGroup >= 0) forGroup(origGroup, [&](int tag) { p.setToOrig(tag); });

    if (noteGiven) {
        // "Set All to Current Note" copies all four rows, the others one or two.
        const int setAll = menu.choseRow(SET_ALL_TEXTS, 4);
        static const bool COPIED_ROWS[4][4] = {{1, 1, 1, 1}, {1, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
        if (setAll >= 0)
            for (int i = 0; i < kNotes; ++i)
                for (int k = 0; k < 4; ++k)
                    if (COPIED_ROWS[setAll][k]) p.copyParameter(rows.row(k) + note, rows.row(k) + i);
        const int enter = menu.choseRow(ENTER_TEXTS, 4);
        if (enter >= 0) p.setNumValue(rows.row(enter) + note);
        if (menu.chose("Enter Strum Value")) p.setNumValue(CHORD_STRUM_TAGS[c]);
    }
    const int interpolate = menu.choseRow(INTERPOLATE_TEXTS, 4);
    if (interpolate >= 0 && countIndex > 0) {
        const int base = rows.row(interpolate);
        const float a = p.getParameter(base);
        const float b = p.getParameter(base + countIndex);
        for (int i = 0; i <= countIndex; ++i)
            p.setParameter(base + i, a + static_cast<float>(i) * (b - a) / static_cast<float>(countIndex));
    }
    if (menu.chose("Copy Chord") || menu.chose("Swap Chords")) {
        const bool copy = menu.chose("Copy Chord");
        int number = 0;
        if (askMenuNumber(copy ? "Copy to Chord 1 to 4" : "Swap with Chord 1 to 4", copy ? "Copy To" : "Swap with",
                          number) &&
            number >= 1 && number <= 4) {
            copy ? copySections(section, CHORD_SECTIONS[number - 1]) : swapSections(section, CHORD_SECTIONS[number - 1]);
        }
    }
    if (menu.chose("Copy Chord to All"))
        for (int j = 0; j < 4; ++j) copySections(section, CHORD_SECTIONS[j]);
    if (menu.chose("Set Current Strum to All"))
        for (int j = 0; j < 4; ++j) {
            setParameterAutomated(CHORD_STRUM_TAGS[j], p.getParameter(CHORD_STRUM_TAGS[c]));
            setParameterAutomated(CHORD_STRUM_SYNC_ON_TAGS[j], p.getParameter(CHORD_STRUM_SYNC_ON_TAGS[c]));
        }
    if (menu.chose("Copy Chords")) copySection(kSectionAllChords);
    if (menu.chose("Paste Chords")) pasteSection(kSectionAllChords);

    const int preset = menu.choseRowIn(presets, ARP_CHORD_STR + kFirstPresetRow, kPresets);
    if (preset >= 0) {
        const ChordPreset& chord = CHORD_PRESETS[preset];
        for (int i = 0; i < chord.notes; ++i) {
            p.setParameter(rows.semi + i, (static_cast<float>(chord.semis[i]) + 48.0f + 0.1f) / 96.99f);
            for (int tag : {rows.fine, rows.vol, rows.pan}) p.setToDefault(tag + i);
        }
        p.setSteppedValue(CHORD_NOTES_TAGS[c], chord.notes - 1);
    }
    if (menu.choseIn(presets, "Load Chord Preset")) loadSection(section);
    if (menu.choseIn(presets, "Save Chord Preset")) saveSection(section);
    if (menu.choseIn(presets, "Load All Chords Preset")) loadSection(kSectionAllChords);
    if (menu.choseIn(presets, "Save All Chords Preset")) saveSection(kSectionAllChords);
    endCommandMenu(menu);
}

void uEditor::showStrumMenu(int strumTag) {
    if (!frame || !plugin) return;
    APlugin& p = *plugin;
    const int c = getMenuChord();
    const bool synced = p.getOnOff(CHORD_STRUM_SYNC_ON_TAGS[c]);

    TCommandMenu menu;
    menu.addGrey(std::string(USER_CHORD_STR[c]) + " Strum Command Menu");
    TCommandMenu& help = menu.addSubmenu("Strum Command Information");
    for (const char* line : STRUM_HELP) help.addGrey(line);
    std::string lengthTexts[19];
    const char* lengthRows[19];
    for (int i = 0; i < 19; ++i) {
        lengthTexts[i] = std::string("Set to ") + CHORD_LEN_STR[i];
        lengthRows[i] = lengthTexts[i].c_str();
    }
    if (synced)
        menu.addAll(lengthRows, 19);
    else
        menu.add("Set Strum Length");
    menu.addSeparator().add("Reset Strum").add("Set Strum to Original Value").add("Set Current Strum to All");
    if (!popupCommandMenu(menu, -1)) return;

    if (menu.chose("Set Strum Length")) p.setNumValue(strumTag);
    const int length = synced ? menu.choseRow(lengthRows, 19) : -1;
    if (length >= 0) p.setSteppedValue(strumTag, length, 18.99f, 19);
    if (menu.chose("Reset Strum"))
        for (int tag : kStrumTags) p.setToDefault(tag);
    if (menu.chose("Set Strum to Original Value"))
        for (int tag : kStrumTags) p.setToOrig(tag);
    if (menu.chose("Set Current Strum to All"))
        for (int j = 0; j < 4; ++j) {
            p.setParameter(CHORD_STRUM_TAGS[j], p.getParameter(CHORD_STRUM_TAGS[c]));
            p.setParameter(CHORD_STRUM_SYNC_ON_TAGS[j], p.getParameter(CHORD_STRUM_SYNC_ON_TAGS[c]));
        }
    // Only removed: the plug-in's notifications refresh the controls.
}
