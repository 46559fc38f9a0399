#include "editor/uEditor.h"

#include "plugin/uPlugin.h"

TEditorLink* createPluginEditor(APlugin* plugin) { return new uEditor(plugin); }

uEditor::uEditor(APlugin* plugin) : AEffEditor(plugin), plugin(plugin) {
    plugin->setEditor(this);
    // There is no window to show yet: hosts must not offer to open one.
    plugin->getAeffect()->flags &= ~effFlagsHasEditor;
}

bool uEditor::getRect(ERect** rect) {
    // No window to size yet.
    if (rect) *rect = nullptr;
    return false;
}

bool uEditor::open(void*) { return false; }

void uEditor::setEditTag(int tag) { editTag = APlugin::isValidTag(tag) ? tag : -1; }

void uEditor::setParameter(VstInt32, float) {}
