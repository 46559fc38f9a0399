// The editor's command controls (buttons, the preset and lock menus, the arp preset browser,
// the section page radios, the velocity-split fields), the mouse wheel over a radio group,
// and program stepping by the arrow keys and the preset menu's arrows.
#include <cstdio>
#include <string>

#include "controls/TChordScreen.h"
#include "controls/TKickButton.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TVelSplitScreen.h"
#include "editor/uEditor.h"
#include "editor/uEditorNumber.h"
#include "gui/VstKeys.h"
#include "platform/childprocess.h"
#include "platform/files.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

using namespace VSTGUI;

namespace {

constexpr uint32_t kProgramStepMs = 300;
constexpr int kLockSet = 2;

int wrap(int v, int count) { return ((v % count) + count) % count; }

// The title of the entry a menu's last choice landed on (in the menu or one of its submenus).
std::string chosenText(COptionMenu* menu) {
    int32_t idx = -1;
    COptionMenu* m = menu->getLastItemMenu(idx);
    CMenuItem* item = m ? m->getEntry(idx) : nullptr;
    return item ? std::string(item->getTitle()) : std::string();
}

template <class T, size_t N>
int indexOf(T* const (&views)[N], const CControl* c) {
    for (size_t i = 0; i < N; ++i)
        if (views[i] && views[i] == c) return static_cast<int>(i);
    return -1;
}

template <class T, size_t N>
void allOff(T* const (&radios)[N]) {
    for (T* r : radios)
        if (r) r->setOff();
}

// A command button that opened a menu goes back to its resting look.
void rest(CControl* button) {
    button->invalid();
    button->setValue(0.f);
}

}  // namespace

// ---- program stepping and keys ---------------------------------------------------------------

void uEditor::changeProgramDelta(int delta, bool) { programStep(delta); }

void uEditor::programStep(int delta) {
    if (!plugin || plugin->getIsSettingPreset()) return;
    const uint32_t now = getTicks();
    if (now < lastProgramStepTick) lastProgramStepTick = now - (kProgramStepMs + 1);
    if (now - lastProgramStepTick < kProgramStepMs) return;
    lastProgramStepTick = now;
    stepPluginProgram(delta);
    resume();
}

void uEditor::stepPluginProgram(int delta) {
    const int count = plugin->getAeffect()->numPrograms;
    // With a single program there is nowhere to step to; the refresh still follows.
    if (count < 2 || delta == 0) return;
    plugin->setProgram(wrap(plugin->getProgram() + delta, count));
}

int32_t uEditor::onKeyDown(const VstKeyCode& key, CFrame*) {
    if (!prefKeyboard) return -1;
    switch (key.virt) {
        case VKEY_UP: programStep(-1); return 1;
        case VKEY_DOWN: programStep(1); return 1;
        case VKEY_PAGEUP:
        case VKEY_PAGEDOWN: return 1;
        default: return -1;
    }
}

int32_t uEditor::onKeyUp(const VstKeyCode&, CFrame*) { return -1; }

// ---- radio groups ------------------------------------------------------------------------------

bool uEditor::selectRadio(int group, int index) {
    switch (group) {
        case 0:
            allOff(lfoRadios);
            selectedLFO = wrap(index, 2);
            if (lfoRadios[selectedLFO]) lfoRadios[selectedLFO]->setOn();
            dirtyLFO = 1;
            return true;
        case 1:
            allOff(modPageRadios);
            modViewPage = wrap(index, 2);
            if (modPageRadios[modViewPage]) modPageRadios[modViewPage]->setOn();
            dirtyMod = 1;
            return true;
        case 2: {
            TRadioButton* const(&radios)[4] = screenMode == kPageMain ? chordRadios : easyChordRadios;
            allOff(radios);
            selectedChord = wrap(index, 4);
            if (radios[selectedChord]) radios[selectedChord]->setOn();
            // The chord screen follows the selection whichever page chose it.
            if (chordScreen) chordScreen->setChord(selectedChord);
            dirtyChord = 1;
            return true;
        }
        case 3:
            allOff(chordViewRadios);
            chordViewMode = wrap(index, 3);
            if (chordScreen) chordScreen->setMode(chordViewMode);
            if (chordViewRadios[chordViewMode]) chordViewRadios[chordViewMode]->setOn();
            dirtyChord = 1;
            return true;
        case 4:
            // The velocity split's layer buttons: the rebuild of the mod section lights the one.
            allOff(velSplitLayerRadios);
            velSplitLayer = wrap(index, 3);
            dirtyMod = 1;
            return true;
        default: return false;
    }
}

void uEditor::changeRadioDelta(int group, int delta) {
    if (!plugin) return;
    const int current[5] = {selectedLFO, modViewPage, selectedChord, chordViewMode, velSplitLayer};
    if (group >= 0 && group < 5) selectRadio(group, current[group] + delta);
}

// ---- the command controls ----------------------------------------------------------------------

bool uEditor::commandChanged(CControl* c) {
    APlugin& p = *plugin;
    const bool pressed = c->getValue() > 0.5f;

    if (c == presetMenu) {
        const std::string text = chosenText(presetMenu);
        if (text == PRESET_COMMAND_STR[9]) p.clearProgram();
        for (int i = 0; i < 4; ++i)
            if (text == SET_SCREEN_SIZE_STR[i]) setScreenSize(i);
        return true;
    }
    if (c == previewButton) {
        if (pressed) p.previewNoteOn();
        else p.previewNoteReleased();
        return true;
    }
    if (c == origButton || c == editedButton || c == helpButton || c == screenSwitchArea || c == backPageArea) {
        if (!pressed) return true;
        if (c == origButton) p.origProgram();
        else if (c == editedButton) p.editProgram();
        else if (c == helpButton) openHelp();
        else if (c == backPageArea) showBackScreen();
        else if (screenMode == kPageEasy) showMainScreen();
        else showEasyScreen();
        return true;
    }
    if (auto* radio = dynamic_cast<TRadioButton*>(c)) {
        const bool ours = indexOf(lfoRadios, c) >= 0 || indexOf(modPageRadios, c) >= 0 ||
                          indexOf(chordRadios, c) >= 0 || indexOf(easyChordRadios, c) >= 0 ||
                          indexOf(chordViewRadios, c) >= 0 || indexOf(velSplitLayerRadios, c) >= 0;
        if (!ours) return false;
        if (pressed) selectRadio(radio->getGroup(), radio->getIndex());
        return true;
    }
    for (int k = 0; k < 3; ++k) {
        const int j = indexOf(velSplitFields[k], c);
        if (j < 0) continue;
        const int n = readTypedInt(velSplitFields[k][j]->getText().get());
        p.setNumVel(k, j, static_cast<float>(n / 127.0));
        // The field shows what was stored (a value beyond its neighbours is held back).
        velSplitValues[k][j] = -1;
        if (velSplitScreen) velSplitScreen->setDirty(true);
        return true;
    }
    TOptionMenu* lockMenus[2] = {playMenus[1], easyPlayMenus[2]};
    if (c == lockMenus[0] || c == lockMenus[1]) {
        const int chosen = static_cast<TOptionMenu*>(c)->getCurrent();
        if (chosen >= 0 && chosen <= kLockSet) p.setLockState(chosen);
        if (chosen == kLockSet)
            for (TOptionMenu* m : lockMenus)
                if (m) m->setValue(0.f);
        if (TOptionMenu* shown = lockMenus[screenMode != kPageMain ? 1 : 0]) {
            const int state = p.getLockState();
            shown->setString(LOCK_MODE_STR[state < 0 || state > 2 ? 0 : state]);
            shown->setDirty(true);
        }
        resume();
        return true;
    }
    if (c == arpFolderMenu || c == arpPresetMenu) {
        const int chosen = static_cast<TOptionMenu*>(c)->getCurrent();
        if (chosen >= 0) {
            if (c == arpFolderMenu) p.changeArpFolder(chosen);
            else p.loadArpPreset(chosen);
        }
        dirtyArpPreset = 1;
        return true;
    }
    if (c == arpCommandButton || c == easyArpCommand || c == chordCommandButton || c == easyChordCommand ||
        c == modCommandButton) {
        if (!pressed) return true;
        if (c == arpCommandButton || c == easyArpCommand) showArpMenu(-1, -1, false);
        else if (c == modCommandButton && modViewPage != 0) showVelSplitMenu();
        else if (c == modCommandButton) showModMenu(-1);
        else showChordMenu(-1);
        rest(c);
        return true;
    }
    return backPageChanged(c);
}

void uEditor::openHelp() {
    if (!plugin) return;
    const std::string path = plugin->helpPath;
    // Only a regular file goes to the viewer, and the check never blocks: a FIFO or a folder
    // in the manual's place is refused at once.
    if (!platform::canReadRegularFile(path)) return;
    // The desktop's viewer, found in the absolute folders of PATH and started like the
    // dialogs: the path as one argument (no shell ever reads it), none of the host's
    // descriptors, no waiting (idle reaps it).
    const std::string viewer = platform::findProgram("xdg-open");
    if (viewer.empty()) return;
    const int pid = platform::startChild({viewer, path});
    if (pid > 0) helperPids.push_back(pid);
}
