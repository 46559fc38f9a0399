// Stands in for the editor so the core's questions and calls to it can be observed.
#pragma once

#include "support/PluginHarness.h"
#include "vst/AEffEditor.h"

class FakeEditor : public AEffEditor, public TEditorLink {
public:
    explicit FakeEditor(AudioEffect* effect) : AEffEditor(effect) {}
    void setEditTag(int tag) override { editTag = tag; }
    void setParameter(VstInt32, float) override { ++parameterCalls; }
    void clearUndos() override { ++undoClears; }
    void updateIdleVars() override { ++idleVars; }
    void updateDistort() override { ++distort; }
    void updateModFX() override { ++modFX; }
    void updateLayer() override { ++layer; }

    int editTag = -1;
    int parameterCalls = 0, undoClears = 0, idleVars = 0;
    int distort = 0, modFX = 0, layer = 0;
};

// Replaces the plug-in's editor object with a fake one the plug-in owns from then on.
inline FakeEditor* installFakeEditor(PluginHarness& h) {
    delete h->getEditor();
    auto* fake = new FakeEditor(&h.plugin());
    h->setEditor(fake);
    h->editorLink = fake;
    return fake;
}

// The same, with its window open as far as the plug-in can tell.
inline FakeEditor* openFakeEditor(PluginHarness& h) {
    static int windowHandle = 0;
    FakeEditor* fake = installFakeEditor(h);
    fake->open(&windowHandle);
    h->editorOpen = 1;
    h->publishEditorState();
    return fake;
}
