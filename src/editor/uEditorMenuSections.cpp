// The command menus of the layer, LFO, modulation-matrix and velocity-split sections. Each
// pushes its section's undo snapshot before every choice but "Undo" (uEditorMenu.cpp).
// Commands that set values by rule (default, original, on/off, a chosen step) reach the host;
// copies, swaps, pastes, slot moves and file loads write plainly.
#include <string>

#include "controls/TModScreen.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "editor/uEditorMenuLists.h"
#include "editor/uEditorNumber.h"
#include "platform/dialogs.h"
#include "platform/prefs.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

// A layer number the user types: 1..3 gives layer 0..2, anything else (nothing, words, other
// numbers) -1.
int askLayer(const std::string& prompt, const std::string& title) {
    std::string text;
    inputBoxStr(prompt, title, text);
    bool digits = false;
    const int n = readTypedInt(text, &digits) - 1;
    return digits && n >= 0 && n <= 2 ? n : -1;
}

void resetTags(APlugin& p, const int32_t* const* tables, int count, int layer) {
    for (int i = 0; i < count; ++i) p.setToDefault(tables[i][layer]);
}

void origTags(APlugin& p, const int32_t* const* tables, int count, int layer) {
    for (int i = 0; i < count; ++i) p.setToOrig(tables[i][layer]);
}

// The parts of a layer that the layer menu resets or restores, tags in write order.
struct LayerGroup {
    const char* name;  // "Pitch Envelope": "Reset " + name, "Set " + name + " to Original Value"
    const int32_t* const* tables;
    int count;
};

const int32_t* const PITCH_ENV_GROUP[] = {PITCH_ENV_AMT_TAGS, PITCH_ENV_DEC_TAGS, PITCH_ENV_CRV_TAGS};
const int32_t* const VOL_ENV_GROUP[] = {VOL_ENV_DEC_TAGS, VOL_ENV_CRV_TAGS, VOL_ENV_KEY_TRACK_TAGS, PAN_TAGS,
                                        VOL_TAGS};
const int32_t* const FILTER_GROUP[] = {FILTER_FREQ_TAGS,     FILTER_SEP_TAGS,     FILTER_Q_TAGS,
                                       FILTER_VOWEL_TAGS,    FILTER_MODE_TAGS,    FILTER_KEY_TRACK_TAGS,
                                       FILTER_ENV_AMT_TAGS,  FILTER_ENV_DEC_TAGS, FILTER_ENV_SUST_TAGS};
const int32_t* const FM_1_GROUP[] = {FM_1_SEMI_TAGS,         FM_1_FINE_TAGS,          FM_1_VOL_TAGS,
                                     FM_1_VOL_ENV_DEC_TAGS,  FM_1_VOL_ENV_SUST_TAGS,  FM_1_PITCH_ENV_AMT_TAGS,
                                     FM_1_PITCH_ENV_DEC_TAGS, FM_1_VEL_TRACK_TAGS};
const int32_t* const FM_2_GROUP[] = {FM_2_SEMI_TAGS,         FM_2_FINE_TAGS,          FM_2_VOL_TAGS,
                                     FM_2_VOL_ENV_DEC_TAGS,  FM_2_VOL_ENV_SUST_TAGS,  FM_2_PITCH_ENV_AMT_TAGS,
                                     FM_2_PITCH_ENV_DEC_TAGS, FM_2_VEL_TRACK_TAGS};

const LayerGroup PITCH_ENV = {"Pitch Envelope", PITCH_ENV_GROUP, 3};
const LayerGroup VOL_ENV = {"Volume Envelope", VOL_ENV_GROUP, 5};
const LayerGroup FILTER = {"Filter", FILTER_GROUP, 9};
const LayerGroup FM_1 = {"FM 1", FM_1_GROUP, 8};
const LayerGroup FM_2 = {"FM 2", FM_2_GROUP, 8};

std::string resetText(const LayerGroup& g) { return std::string("Reset ") + g.name; }
std::string origText(const LayerGroup& g) { return std::string("Set ") + g.name + " to Original Value"; }

const char* const kScreenHelp[] = {
    "-GLeft Click: Change value",
    "-GLeft Click + Shift: Fine change value",
    "-GLeft Click + Control: Show this Menu",
    "-GLeft Click + Command: Set to Default Value",
    "-GLeft Click + Command + Shift: Set to Original Value",
    "-GLeft Click + Opt: Set Value",
    "-GDouble Click: Set to Default Value",
    "-GRight Click: Show this Menu",
    "-GScroll Wheel: Change Value",
    "-GScroll Wheel + Shift: Fine Change Value",
};
constexpr int kScreenHelpRows = 10;
// The velocity-split screen's help: its first two lines with capitals, then the shared rest.
const char* const kVelSplitHelpFirst[2] = {
    "-GLeft Click: Change Value",
    "-GLeft Click + Shift: Fine Change Value",
};

}  // namespace

// ---- layer ----------------------------------------------------------------------------------------------

void uEditor::showLayerMenu(int layer) {
    if (!frame || !plugin || layer < 0 || layer > 2) return;
    APlugin& p = *plugin;
    const int own = LAYER_SECTIONS[layer];
    const int source = p.getSteppedValue(LAYER_SOURCE_TAGS[layer]);
    const bool wire = source == 0, fm = source == 2, filter = source == 0 || source == 3;
    // The groups this layer's source offers, in menu order.
    const LayerGroup* groups[4] = {&PITCH_ENV, &VOL_ENV, nullptr, nullptr};
    if (filter) groups[2] = &FILTER;
    if (fm) groups[2] = &FM_1, groups[3] = &FM_2;

    TCommandMenu menu;
    menu.addGrey(std::string(LAYER_STR[layer]) + " Command Menu").addSeparator();
    menu.add("Reset Layer");
    for (const LayerGroup* g : groups)
        if (g) menu.add(resetText(*g));
    menu.add("Reset All Layers").addSeparator();
    menu.add("Set Layer to Original Value");
    for (const LayerGroup* g : groups)
        if (g) menu.add(origText(*g));
    menu.add("Set All Layers to their Original Values").addSeparator();
    menu.add("Copy Layer").add("Copy Layer to All").add("Swap Layers").add("Copy Layers");
    addPasteEntry(menu, "Layers", kSectionAllLayers);
    menu.addSeparator().add("Load Layer Preset").add("Save Layer Preset").addSeparator();
    if (wire) menu.add("Set Output Screen On").add("Set Output Screen Off").addSeparator();
    addUndoEntry(menu, kSectionAllLayers);
    if (!popupCommandMenu(menu, kSectionAllLayers)) return;

    if (menu.chose("Reset Layer")) resetSection(own, 0);
    else if (menu.chose("Reset All Layers")) resetSection(kSectionAllLayers, 0);
    else if (menu.chose("Set Layer to Original Value")) setSectionToOrig(own);
    else if (menu.chose("Set All Layers to their Original Values")) setSectionToOrig(kSectionAllLayers);
    else if (menu.chose("Copy Layer")) {
        const int to = askLayer("Copy to Layer 1 to 3", "Copy To");
        if (to >= 0) copySections(own, LAYER_SECTIONS[to]);
    } else if (menu.chose("Copy Layer to All")) {
        for (int to : LAYER_SECTIONS) copySections(own, to);
    } else if (menu.chose("Swap Layers")) {
        const int with = askLayer("Swap with Layer 1 to 3", "Swap With");
        // A layer swapped with itself stays as it is.
        if (with >= 0 && with != layer) swapSections(own, LAYER_SECTIONS[with]);
    } else if (menu.chose("Copy Layers")) copySection(kSectionAllLayers);
    else if (menu.chose("Paste Layers")) pasteSection(kSectionAllLayers);
    else if (menu.chose("Load Layer Preset")) loadSection(own);
    else if (menu.chose("Save Layer Preset")) saveSection(own);
    else if (menu.chose("Set Output Screen On")) prefOutputDisplay = true;
    else if (menu.chose("Set Output Screen Off")) prefOutputDisplay = false;
    for (const LayerGroup* g : groups) {
        if (!g) continue;
        if (menu.chose(resetText(*g))) resetTags(p, g->tables, g->count, layer);
        if (menu.chose(origText(*g))) origTags(p, g->tables, g->count, layer);
    }

    saveBoolToPrefs(REG_OUTPUT_DISPLAY_STR, prefOutputDisplay);
    for (int l = 0; l < 3; ++l)
        for (TWaveScreen* scope : {scopesMain[l], scopesEasy[l]})
            if (scope) scope->setOn(prefOutputDisplay);
    endCommandMenu(menu);
}

// ---- LFOs ---------------------------------------------------------------------------------------------------

void uEditor::showLFOMenu() {
    if (!frame || !plugin) return;
    APlugin& p = *plugin;
    TCommandMenu menu;
    menu.add("LFO Command Menu");
    TCommandMenu& info = menu.addSubmenu("LFO Information");
    for (int lfo = 0; lfo < 2; ++lfo) {
        const std::string n = lfo == 0 ? "1" : "2";
        if (lfo) info.addSeparator();
        info.addGrey("LFO " + n + " Speed : " + p.getParameterDisplayStr(LFO_SPEED_TAGS[lfo]));
        info.addGrey("LFO " + n + " Mode: " + p.getParameterDisplayStr(LFO_MODE_TAGS[lfo]));
        info.addGrey("LFO " + n + " Wave: " + p.getParameterDisplayStr(LFO_WAVE_TAGS[lfo]));
    }
    menu.addSeparator();
    menu.add("Reset LFOs").add("Reset LFO 1").add("Reset LFO 2");
    menu.add("Set LFOs to Original Value").add("Set LFO 1 to Original Value").add("Set LFO 2 to Original Value");
    menu.addSeparator();
    menu.add("Copy LFO 1 to LFO 2").add("Copy LFO 2 to LFO 1").add("Swap LFO 1 and LFO 2").add("Copy LFOs");
    addPasteEntry(menu, "LFOs", kSectionLFOs);
    menu.addSeparator();
    menu.add("Set LFO 1 Tempo Sync On").add("Set LFO 1 Tempo Sync Off");
    menu.add("Set LFO 2 Tempo Sync On").add("Set LFO 2 Tempo Sync Off");
    menu.addSeparator();
    // Per LFO: its wave and mode submenus, each row "Set LFO n to " + name.
    std::string waveRows[2][9], modeRows[2][4];
    const char* wavePtrs[2][9];
    const char* modePtrs[2][4];
    TCommandMenu* waveMenus[2];
    TCommandMenu* modeMenus[2];
    for (int lfo = 0; lfo < 2; ++lfo) {
        const std::string prefix = std::string("Set LFO ") + (lfo == 0 ? "1" : "2") + " to ";
        for (int w = 0; w < 9; ++w) wavePtrs[lfo][w] = (waveRows[lfo][w] = prefix + LFO_WAVE_STR[w]).c_str();
        for (int m = 0; m < 4; ++m) modePtrs[lfo][m] = (modeRows[lfo][m] = prefix + LFO_MODE_STR[m]).c_str();
    }
    for (int lfo = 0; lfo < 2; ++lfo)
        (waveMenus[lfo] = &menu.addSubmenu(lfo == 0 ? "Set LFO 1 Wave" : "Set LFO 2 Wave"))->addAll(wavePtrs[lfo], 9);
    for (int lfo = 0; lfo < 2; ++lfo)
        (modeMenus[lfo] = &menu.addSubmenu(lfo == 0 ? "Set LFO 1 Mode" : "Set LFO 2 Mode"))->addAll(modePtrs[lfo], 4);
    addUndoEntry(menu, kSectionLFOs);
    if (!popupCommandMenu(menu, kSectionLFOs)) return;

    if (menu.chose("Reset LFOs")) resetSection(kSectionLFOs, 0);
    else if (menu.chose("Reset LFO 1")) resetSection(kSectionLFO1, 0);
    else if (menu.chose("Reset LFO 2")) resetSection(kSectionLFO2, 0);
    else if (menu.chose("Set LFOs to Original Value")) setSectionToOrig(kSectionLFOs);
    else if (menu.chose("Set LFO 1 to Original Value")) setSectionToOrig(kSectionLFO1);
    else if (menu.chose("Set LFO 2 to Original Value")) setSectionToOrig(kSectionLFO2);
    else if (menu.chose("Copy LFO 1 to LFO 2")) copySections(kSectionLFO1, kSectionLFO2);
    else if (menu.chose("Copy LFO 2 to LFO 1")) copySections(kSectionLFO2, kSectionLFO1);
    else if (menu.chose("Swap LFO 1 and LFO 2")) swapSections(kSectionLFO2, kSectionLFO1);
    else if (menu.chose("Copy LFOs")) copySection(kSectionLFOs);
    else if (menu.chose("Paste LFOs")) pasteSection(kSectionLFOs);
    else if (menu.chose("Set LFO 1 Tempo Sync On")) p.setOn(LFO_SYNC_ON_TAGS[0]);
    else if (menu.chose("Set LFO 1 Tempo Sync Off")) p.setOff(LFO_SYNC_ON_TAGS[0]);
    else if (menu.chose("Set LFO 2 Tempo Sync On")) p.setOn(LFO_SYNC_ON_TAGS[1]);
    else if (menu.chose("Set LFO 2 Tempo Sync Off")) p.setOff(LFO_SYNC_ON_TAGS[1]);
    for (int lfo = 0; lfo < 2; ++lfo) {
        const int w = menu.choseRowIn(*waveMenus[lfo], wavePtrs[lfo], 9);
        if (w >= 0) p.setSteppedValue(LFO_WAVE_TAGS[lfo], w);
        const int m = menu.choseRowIn(*modeMenus[lfo], modePtrs[lfo], 4);
        if (m >= 0) p.setSteppedValue(LFO_MODE_TAGS[lfo], m);
    }
    endCommandMenu(menu);
}

// ---- modulation matrix ----------------------------------------------------------------------------------

void uEditor::showModMenu(int slot) {
    if (!frame || !plugin) return;
    if (slot < -1 || slot >= kTagModSlots) slot = -1;
    APlugin& p = *plugin;
    const bool withSlot = slot >= 0;

    TCommandMenu menu;
    menu.addGrey("Mod Matrix Command Menu").addSeparator();
    menu.addSubmenu("Mod Matrix Screen Information").addAll(kScreenHelp, kScreenHelpRows);
    menu.addSeparator();
    menu.add("Reset Mod Matrix").add("Set Mod Matrix to Original Value").add("Reset Amounts");
    menu.add("Bypass All").add("Un-Bypass All").add("Copy Mod Matrix");
    addPasteEntry(menu, "Mod Matrix", kSectionModMatrix);
    menu.addSeparator();
    TSourceSubmenus sources;
    if (withSlot) {
        menu.add("Reset Slot").add("Reset Slot to Original Value").add("Reset Slot Amount");
        menu.add("Copy Slot").add("Paste Slot").add("Bypass Slot").add("Un-Bypass Slot");
        menu.add("Move Slot Up").add("Move Slot Down").add("Enter Slot Amount Value");
        sources.build(menu, "Modulate Slot Amount by ");
    }
    menu.addSeparator().add("Load Mod Matrix Preset").add("Save Mod Matrix Preset");
    addUndoEntry(menu, kSectionModMatrix);
    if (!popupCommandMenu(menu, kSectionModMatrix)) return;

    if (menu.chose("Reset Mod Matrix")) resetSection(kSectionModMatrix, 0);
    else if (menu.chose("Set Mod Matrix to Original Value")) setSectionToOrig(kSectionModMatrix);
    else if (menu.chose("Reset Amounts")) {
        for (int tag : MOD_AMT_TAGS) p.setToDefault(tag);
    } else if (menu.chose("Bypass All")) {
        for (int tag : MOD_BY_TAGS) p.setOn(tag);
    } else if (menu.chose("Un-Bypass All")) {
        for (int tag : MOD_BY_TAGS) p.setOff(tag);
    } else if (menu.chose("Copy Mod Matrix")) copySection(kSectionModMatrix);
    else if (menu.chose("Paste Mod Matrix")) pasteSection(kSectionModMatrix);
    else if (menu.chose("Load Mod Matrix Preset")) loadSection(kSectionModMatrix);
    else if (menu.chose("Save Mod Matrix Preset")) saveSection(kSectionModMatrix);

    if (withSlot) {
        const int32_t* cols = MOD_COLS_TAGS[slot];
        if (menu.chose("Reset Slot")) {
            for (int c = 0; c < kTagModColumns; ++c) p.setToDefault(cols[c]);
        } else if (menu.chose("Reset Slot to Original Value")) {
            for (int c = 0; c < kTagModColumns; ++c) p.setToOrig(cols[c]);
        } else if (menu.chose("Reset Slot Amount")) p.setToDefault(MOD_AMT_TAGS[slot]);
        else if (menu.chose("Copy Slot")) {
            for (int c = 0; c < kTagModColumns; ++c) modSlotClip[c] = p.getParameter(cols[c]);
            modSlotClipValid = 1;
        } else if (menu.chose("Paste Slot")) {
            if (modSlotClipValid)
                for (int c = 0; c < kTagModColumns; ++c) p.setParameter(cols[c], modSlotClip[c]);
        } else if (menu.chose("Bypass Slot")) p.setOn(MOD_BY_TAGS[slot]);
        else if (menu.chose("Un-Bypass Slot")) p.setOff(MOD_BY_TAGS[slot]);
        else if (menu.chose("Move Slot Up") || menu.chose("Move Slot Down")) {
            const int other = menu.chose("Move Slot Up") ? slot - 1 : slot + 1;
            if (other >= 0 && other < kTagModSlots)
                for (int c = 0; c < kTagModColumns; ++c) p.swapParameter(cols[c], MOD_COLS_TAGS[other][c]);
        } else if (menu.chose("Enter Slot Amount Value")) p.setNumValue(MOD_AMT_TAGS[slot]);

        const int source = sources.chosenSource(menu);
        for (int k = 0; source >= 0 && k < kTagModSlots; ++k)
            if (p.getModSlotDest(k) == 0) {
                p.setModSlotVar(k, false, 0.5f, source, DEST_MOD_AMT[slot]);
                break;
            }
    }
    endCommandMenu(menu, false);
    if (modScreen) modScreen->setDirty(true);
}

// ---- velocity splits ------------------------------------------------------------------------------------

void uEditor::showVelSplitMenu() {
    if (!frame || !plugin) return;
    const int layer = velSplitLayer < 0 ? 0 : (velSplitLayer > 2 ? 2 : velSplitLayer);
    const int shown = VEL_SPLIT_SECTIONS[layer];

    TCommandMenu menu;
    menu.addGrey("Velocity Split Command Menu");
    menu.addSubmenu("Velocity Split Screen Information")
        .addAll(kVelSplitHelpFirst, 2)
        .addAll(kScreenHelp + 2, kScreenHelpRows - 2);
    menu.addSeparator().add("Reset Velocity Split").add("Reset All Velocity Splits");
    menu.addSeparator().add("Set Velocity Split to Original Value").add("Set All Velocity Splits to their Original Values");
    menu.addSeparator().add("Copy Velocity Split").add("Copy Velocity Split to All").add("Swap Velocity Split");
    menu.add("Copy Velocity Splits");
    addPasteEntry(menu, "Velocity Splits", kSectionVelSplits);
    menu.addSeparator().add("Load Velocity Split Preset").add("Save Velocity Split Preset").addSeparator();
    addUndoEntry(menu, kSectionVelSplits);
    if (!popupCommandMenu(menu, kSectionVelSplits)) return;

    if (menu.chose("Reset Velocity Split")) resetSection(shown, 0);
    else if (menu.chose("Reset All Velocity Splits")) resetSection(kSectionVelSplits, 0);
    else if (menu.chose("Set Velocity Split to Original Value")) setSectionToOrig(shown);
    else if (menu.chose("Set All Velocity Splits to their Original Values")) setSectionToOrig(kSectionVelSplits);
    else if (menu.chose("Copy Velocity Split")) {
        const int to = askLayer("Copy to Layer 1 to 3", "Move To");
        if (to >= 0) copySections(shown, VEL_SPLIT_SECTIONS[to]);
    } else if (menu.chose("Copy Velocity Split to All")) {
        for (int to : VEL_SPLIT_SECTIONS) copySections(shown, to);
    } else if (menu.chose("Swap Velocity Split")) {
        const int with = askLayer("Swap with Layer 1 to 3", "Move To");
        if (with >= 0 && with != layer) swapSections(shown, VEL_SPLIT_SECTIONS[with]);
    } else if (menu.chose("Copy Velocity Splits")) copySection(kSectionVelSplits);
    else if (menu.chose("Paste Velocity Splits")) pasteSection(kSectionVelSplits);
    else if (menu.chose("Load Velocity Split Preset")) loadSection(kSectionVelSplits);
    else if (menu.chose("Save Velocity Split Preset")) saveSection(kSectionVelSplits);
    endCommandMenu(menu);
}
