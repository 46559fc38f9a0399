// Requests the controls make of the editor that the pages and menus answer. Until a page or
// menu exists a request finds nothing to act on and does nothing.
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

using namespace VSTGUI;

void uEditor::changeProgramDelta(int, bool) {}
void uEditor::changeRadioDelta(int, int) {}

int32_t uEditor::onKeyDown(const VstKeyCode&, CFrame*) { return -1; }
int32_t uEditor::onKeyUp(const VstKeyCode&, CFrame*) { return -1; }
