// The editor object. It exists for the whole life of the plug-in; until the editor
// window is built it keeps only what the plug-in core asks of it and never opens.
#pragma once

#include "plugin/TEditorLink.h"
#include "vst/AEffEditor.h"

class APlugin;

class uEditor : public AEffEditor, public TEditorLink {
public:
    explicit uEditor(APlugin* plugin);

    bool getRect(ERect** rect) override;
    bool open(void* ptr) override;

    void setEditTag(int tag) override;
    void setParameter(VstInt32 tag, float value) override;
    void clearUndos() override {}
    void updateIdleVars() override {}
    void updateDistort() override {}
    void updateModFX() override {}
    void updateLayer() override {}

    int getEditTag() const { return editTag; }

private:
    APlugin* plugin;
    int editTag = -1;
};
