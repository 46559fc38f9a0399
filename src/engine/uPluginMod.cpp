// Ribbon and tuning state that the parameter core reads and resets.
#include "plugin/uPlugin.h"

int APlugin::getRibbonSpringTime() { return getSteppedValue(666); }

int APlugin::getRibbonQuant() { return getSteppedValue(667); }

void APlugin::setRibbbonSpringOff() { ribbonSpringOn = 0; }

void APlugin::setTuning() {
    // Equal temperament; tuning files are not read yet.
    for (int n = 0; n < 128; ++n) tuneTable[n] = (float)n;
}
