// Requests the controls make of the editor that the pages and menus answer. Until a page or
// menu exists a request finds nothing to act on and does nothing.
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

using namespace VSTGUI;

std::string uEditor::getDestStr(int dest) const {
    return dest >= 0 && dest < kModDestCount ? DEST_STR[dest] : std::string();
}

std::string uEditor::getDestShortStr(int dest) const {
    return dest >= 0 && dest < kModDestCount ? DEST_SHORT_STR[dest] : std::string();
}

void uEditor::changeProgramDelta(int, bool) {}
void uEditor::changeRadioDelta(int, int) {}
void uEditor::setSectionUndo(int) {}
void uEditor::resetSection(int, int) {}
void uEditor::setSectionToOrig(int) {}
void uEditor::showMIDIMenu(CControl*, bool) {}
void uEditor::showControlMenu() {}
void uEditor::showECSMenu() {}
void uEditor::showLayerMenu(int) {}
void uEditor::showLFOMenu() {}
void uEditor::showDistortMenu() {}
void uEditor::showModFXMenu() {}
void uEditor::showDelayMenu() {}
void uEditor::showReverbMenu() {}
void uEditor::showPathMenu() {}
void uEditor::showPlayMenu() {}
void uEditor::showAmpMenu() {}
void uEditor::showStrumMenu(int) {}
void uEditor::showGaterMenu() {}
void uEditor::showModMenu(int) {}
void uEditor::showArpMenu(int, int, bool) {}
void uEditor::showChordMenu(int) {}
void uEditor::showVelSplitMenu() {}
void uEditor::showOutputMenu(int) {}

int32_t uEditor::onKeyDown(const VstKeyCode&, CFrame*) { return -1; }
int32_t uEditor::onKeyUp(const VstKeyCode&, CFrame*) { return -1; }
