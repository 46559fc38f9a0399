// MIDI input: the channel filter and the event hand-over from the host.
#include "platform/platform.h"
#include "plugin/uPlugin.h"

VstInt32 APlugin::processEvents(VstEvents* events) {
    // Events are accepted; nothing plays them yet.
    return events ? 1 : 0;
}

void APlugin::updateMIDIChannel(bool force) {
    // Stored as 0 for all channels or 1..16 for one; kept as -1 (all) or 0..15.
    const int stored = loadIntFromPrefs("MIDIChannel");
    const int channel = (stored < 18 ? stored : 0) - 1;
    const bool changed = channel != midiChannel;
    midiChannel = channel;
    if (changed || force) setEverythingOff();
}
