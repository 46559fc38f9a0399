// Arpeggiator state that the parameter core reads.
#include "plugin/uPlugin.h"

int APlugin::getArpMode() { return getLockVarStepped(407); }

void APlugin::scanArpFolders() {
    // Arp presets are not browsed yet: no folders, no presets.
    arpFolderCount = 0;
}

void APlugin::scanArpPresets() { arpPresetCount = 0; }

void APlugin::getArpPreset() {
    curArpFolder = 0;
    curArpPreset = 0;
    scanArpPresets();
}
