// The command menus of the effect and voice sections: Distort FX, Mod FX, Delay, Reverb, FX
// Path, Play and Amp. All seven share one shape (reset, original values, copy, paste, on/off
// switches, "Undo") and differ only by the rows of the table below.
//
// Reset, original values and the switches go through the host; per-model defaults, paste,
// "Undo" and the delay length commands write plainly.
#include <string>

#include "editor/uEditor.h"
#include "editor/uEditorMenu.h"
#include "plugin/uPlugin.h"

namespace {

// One on/off line pair: "Set <name> On" / "Set <name> Off" of a switch tag.
struct EffectSwitch {
    const char* name;
    int tag;
};

enum EffectExtra { kNoExtra, kDistortDefaults, kModFXDefaults, kDelayLengths };

struct EffectMenu {
    const char* name;      // "Reset <name>", "Copy <name>", ...
    int section;
    int resetSkip;         // 1 keeps the trailing on/off switch through a reset
    EffectExtra extra;
    EffectSwitch switches[3];
    int switchCount;
    bool separatorBeforeUndo;
};

const EffectMenu EFFECT_MENUS[] = {
    {"Distort FX", uEditor::kSectionDistortFX, 1, kDistortDefaults, {{"Distort FX", 346}}, 1, true},
    {"Mod FX", uEditor::kSectionModFX, 1, kModFXDefaults, {{"Mod FX", 348}, {"Mod FX Tempo Sync", 350}}, 2, true},
    {"Delay", uEditor::kSectionDelay, 1, kDelayLengths,
     {{"Delay", 351}, {"Delay Tempo Sync", 352}, {"Delay Equal Feedback", 353}}, 3, true},
    {"Reverb", uEditor::kSectionReverb, 1, kNoExtra, {{"Reverb", 354}}, 1, true},
    {"Path", uEditor::kSectionPath, 0, kNoExtra, {{"Bypass", 345}}, 1, true},
    {"Play", uEditor::kSectionPlay, 0, kNoExtra, {}, 0, false},
    {"Amp", uEditor::kSectionAmp, 0, kNoExtra, {}, 0, true},
};

enum { kMenuDistort, kMenuModFX, kMenuDelay, kMenuReverb, kMenuPath, kMenuPlay, kMenuAmp };

constexpr int kDistortModeTag = 347;
constexpr int kModFXModeTag = 349;
constexpr int kDistortKnobTags[3] = {104, 105, 106};
constexpr int kModFXKnobTags[7] = {107, 108, 109, 110, 111, 112, 350};
constexpr int kDelayLeftTag = 114;
constexpr int kDelayRightTag = 115;
constexpr const char* kLeftToRight = "Set Delay Left Length to Right Length";
constexpr const char* kRightToLeft = "Set Delay Right Length to Left Length";
constexpr const char* kSwapLengths = "Swap Delay Left and Right Lengths";

int clampIndex(int i, int count) { return i < 0 ? 0 : (i >= count ? count - 1 : i); }

}  // namespace

void uEditor::showEffectMenu(int which) {
    if (!frame || !plugin) return;
    const EffectMenu& e = EFFECT_MENUS[which];
    const std::string name = e.name;
    const std::string defaultText = "Set " + name + " to Default Value";

    TCommandMenu menu;
    menu.add(name + " Command Menu").addSeparator();
    menu.add("Reset " + name);
    if (e.extra == kDistortDefaults || e.extra == kModFXDefaults) menu.add(defaultText);
    menu.add("Set " + name + " to Original Value").add("Copy " + name);
    addPasteEntry(menu, name, e.section);
    if (e.switchCount > 0) menu.addSeparator();
    for (int i = 0; i < e.switchCount; ++i)
        menu.add(std::string("Set ") + e.switches[i].name + " On").add(std::string("Set ") + e.switches[i].name + " Off");
    if (e.extra == kDelayLengths) menu.addSeparator().add(kLeftToRight).add(kRightToLeft).add(kSwapLengths);
    if (e.separatorBeforeUndo) menu.addSeparator();
    addUndoEntry(menu, e.section);
    if (!popupCommandMenu(menu, e.section)) return;

    if (menu.chose("Reset " + name)) resetSection(e.section, e.resetSkip);
    if (menu.chose("Set " + name + " to Original Value")) setSectionToOrig(e.section);
    if (menu.chose("Copy " + name)) copySection(e.section);
    if (menu.chose("Paste " + name)) pasteSection(e.section);
    for (int i = 0; i < e.switchCount; ++i) {
        if (menu.chose(std::string("Set ") + e.switches[i].name + " On")) plugin->setOn(e.switches[i].tag);
        if (menu.chose(std::string("Set ") + e.switches[i].name + " Off")) plugin->setOff(e.switches[i].tag);
    }
    if (menu.chose(defaultText)) {
        // The knobs of the model that is set at this moment, from the editor's default table.
        if (e.extra == kDistortDefaults) {
            distortMode = clampIndex(plugin->getSteppedValue(kDistortModeTag), 26);
            for (int k = 0; k < 3; ++k) plugin->setParameter(kDistortKnobTags[k], distortDefaults[distortMode][k]);
        } else {
            modFXMode = clampIndex(plugin->getSteppedValue(kModFXModeTag), 11);
            for (int k = 0; k < 7; ++k) plugin->setParameter(kModFXKnobTags[k], modFXDefaults[modFXMode][k]);
        }
    }
    if (e.extra == kDelayLengths) {
        if (menu.chose(kLeftToRight)) plugin->setParameter(kDelayRightTag, plugin->getParameter(kDelayLeftTag));
        if (menu.chose(kRightToLeft)) plugin->setParameter(kDelayLeftTag, plugin->getParameter(kDelayRightTag));
        if (menu.chose(kSwapLengths)) plugin->swapParameter(kDelayRightTag, kDelayLeftTag);
    }
    endCommandMenu(menu);
}

void uEditor::showDistortMenu() { showEffectMenu(kMenuDistort); }
void uEditor::showModFXMenu() { showEffectMenu(kMenuModFX); }
void uEditor::showDelayMenu() { showEffectMenu(kMenuDelay); }
void uEditor::showReverbMenu() { showEffectMenu(kMenuReverb); }
void uEditor::showPathMenu() { showEffectMenu(kMenuPath); }
void uEditor::showPlayMenu() { showEffectMenu(kMenuPlay); }
void uEditor::showAmpMenu() { showEffectMenu(kMenuAmp); }
