// What the plug-in core calls on its editor. The editor object derives from this
// interface, so the core needs no window or drawing code to talk to it.
#pragma once

#include "vst/vst2abi.h"

class TEditorLink {
public:
    virtual ~TEditorLink() = default;

    // Remembers the control being edited; an invalid tag (such as -1) clears it.
    virtual void setEditTag(int tag) = 0;
    // Refreshes the editor's controls of a tag from the plug-in's program value.
    virtual void setParameter(VstInt32 tag, float value) = 0;
    // Empties every section undo stack.
    virtual void clearUndos() = 0;
    // Caches the current distortion and mod FX modes.
    virtual void updateIdleVars() = 0;
    virtual void updateDistort() = 0;
    virtual void updateModFX() = 0;
    virtual void updateLayer() = 0;
};
