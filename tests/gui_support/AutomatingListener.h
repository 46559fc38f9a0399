// A listener that does for parameter controls what the editor's listener does: a value change
// of a control with a parameter tag is written to the control's plug-in with host automation.
// It records everything as RecordingListener does.
#pragma once

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "gui_support/GuiTestKit.h"
#include "plugin/uPlugin.h"

namespace guitest {

class AutomatingListener : public RecordingListener {
public:
    void valueChanged(CControl* c) override {
        RecordingListener::valueChanged(c);
        APlugin* plugin = controlPlugin(c);
        if (plugin && tlook::isParameterTag(c->getTag())) plugin->setParameterAutomated(c->getTag(), c->getValue());
    }
};

} // namespace guitest
