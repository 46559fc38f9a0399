// The control menu: the context menu of every knob and of the ribbon slider. It says what the
// parameter is, which controller drives it and which slots modulate it, and offers the value,
// MIDI and modulation commands, plus the entries of the control's family. It belongs to no
// section and takes no undo snapshot.
#include <cstdlib>
#include <string>

#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "editor/uEditorMenuLists.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

const char* const kValueEntries[] = {
    "Set to Default Value", "Set to Original Value", "Set to Minimum Value", "Set to Maximum Value",
    "Set to Mid Value",     "Set to Value",          "Set to Random Value",  "Increase Value",
    "Decrease Value",
};
const char* const kMIDIEntries[] = {"Latch to MIDI", "Unlatch MIDI", "Set MIDI CC", "Clear All MIDI"};
const char* const kModEntries[] = {"Clear Modulation", "Default Modulation Amount", "Bypass Modulation",
                                   "Un-Bypass Modulation"};
const char* const kControlHelp[] = {
    "-GLeft Click: Change Value",
    "-GLeft Click + Shift: Fine Change Value",
    "-GLeft Click + Control: Show this Menu",
    "-GLeft Click + Command: Set to Default Value",
    "-GLeft Click + Command + Shift: Set to Original Value",
    "-GLeft Click + Opt: Set to Value",
    "-GDouble Click: Set to Default Value",
    "-GRight Click: Show this Menu",
    "-GScroll Wheel: Change Value",
    "-GScroll Wheel + Shift: Fine Change Value",
};

// The lowest controller mapped to the tag, -1 for none. The map's 0 stands for "no tag", so
// tag 0 is never reported as mapped.
int lowestController(const APlugin& p, int tag) {
    if (tag == 0) return -1;
    for (int cc = 0; cc < 128; ++cc)
        if (__atomic_load_n(&p.midiCCMap[cc], __ATOMIC_RELAXED) == tag) return cc;
    return -1;
}

}  // namespace

void uEditor::showMIDIMenu(CControl* control, bool isSlider) {
    if (!frame || !plugin || !control) return;
    const int tag = control->getTag();
    if (!isValidTag(tag)) return;
    APlugin& p = *plugin;
    drainPending();

    const int dest = p.getTagDest(tag);
    bool modulated = false;
    bool freeSlot = false;
    TCommandMenu menu;
    menu.addGrey("Control and MIDI Command Menu");
    menu.addGrey(p.getParameterNameStr(tag) + ": " + p.getParameterDisplayStr(tag));
    const int cc = lowestController(p, tag);
    menu.addGrey(cc >= 0 ? "Latched to MIDI CC: " + std::to_string(cc) : std::string("Not MIDI Latched"));
    if (dest > 0) {
        for (int k = 0; k < kTagModSlots; ++k) {
            const int slotDest = p.getModSlotDest(k);
            freeSlot = freeSlot || slotDest == 0;
            if (slotDest != dest) continue;
            modulated = true;
            menu.addGrey("Modulated by " + p.getModSrcByModStr(k));
        }
        if (!modulated) menu.addGrey("Not Modulated by Anything");
        menu.addSeparator();
    }
    menu.addSubmenu(isSlider ? "Slider Control Information" : "Dial Control Information")
        .addAll(kControlHelp, static_cast<int>(sizeof kControlHelp / sizeof *kControlHelp));
    menu.addSeparator();
    menu.addAll(kValueEntries, 9);

    TFamilyContext context;
    context.modFXMode = modFXMode;
    context.distortMode = distortMode;
    context.destNames = destNames;
    TControlFamily family(p, tag, context);
    family.addEntries(menu);

    menu.addSeparator().addAll(kMIDIEntries, 4);
    TSourceSubmenus sources;
    if (dest != 0) {
        if (freeSlot) {
            menu.addSeparator();
            sources.build(menu, "Modulate by ");
        }
        menu.addSeparator();
        for (const char* text : kModEntries) menu.addIf(text, modulated);
    }
    if (!popupCommandMenu(menu, -1)) return;

    if (menu.chose("Set to Default Value")) p.setToDefault(tag);
    else if (menu.chose("Set to Original Value")) p.setToOrig(tag);
    else if (menu.chose("Set to Minimum Value")) setParameterAutomated(tag, 0.0f);
    else if (menu.chose("Set to Maximum Value")) setParameterAutomated(tag, 1.0f);
    else if (menu.chose("Set to Mid Value")) setParameterAutomated(tag, 0.5f);
    else if (menu.chose("Set to Value")) p.setNumValue(tag);
    else if (menu.chose("Set to Random Value")) setParameterAutomated(tag, static_cast<float>(std::rand() & 0x7fff) / 32767.0f);
    else if (menu.chose("Increase Value")) p.changeDelta(tag, 1, false, 1.0f);
    else if (menu.chose("Decrease Value")) p.changeDelta(tag, -1, false, 1.0f);
    else if (menu.chose("Latch to MIDI")) p.setMIDILatch(tag, true);
    else if (menu.chose("Unlatch MIDI")) p.setMIDILatch(tag, false);
    else if (menu.chose("Set MIDI CC")) p.setMIDICCNum(tag);
    else if (menu.chose("Clear All MIDI")) p.resetMIDI();

    if (dest != 0) {
        const int source = sources.chosenSource(menu);
        // Only the first free slot takes the new routing.
        for (int k = 0; source >= 0 && k < kTagModSlots; ++k)
            if (p.getModSlotDest(k) == 0) {
                p.setModSlotVar(k, false, 0.5f, source, dest);
                break;
            }
        // The slots the menu reported as modulating this control.
        for (int k = 0; k < kTagModSlots; ++k) {
            if (p.getModSlotDest(k) != dest || !modulated) continue;
            if (menu.chose("Clear Modulation")) p.setModSlotVar(k, false, 0.5f, 0, 0);
            else if (menu.chose("Default Modulation Amount")) p.setToDefault(MOD_AMT_TAGS[k]);
            else if (menu.chose("Bypass Modulation")) p.setOn(MOD_BY_TAGS[k]);
            else if (menu.chose("Un-Bypass Modulation")) p.setOff(MOD_BY_TAGS[k]);
        }
    }
    family.run(menu);
    endCommandMenu(menu);
}
