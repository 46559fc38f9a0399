// What a program change may need from the disk, read ahead off the audio thread: the arp
// folders with every folder's preset names, and the table of the tuning name. The audio
// thread applies programs from these caches; it takes their lock only when it is free and
// never waits for it.
#include <sched.h>

#include "plugin/uPlugin.h"

bool APlugin::tryLockPlayingTools() {
    return __atomic_exchange_n(const_cast<uint8_t*>(&playToolsBusy), (uint8_t)1, __ATOMIC_ACQUIRE) == 0;
}

void APlugin::lockPlayingTools() {
    // Held only for short list and table copies (the disk is read inside, on this side
    // only), so waiting here is brief.
    while (!tryLockPlayingTools()) sched_yield();
}

void APlugin::unlockPlayingTools() {
    __atomic_store_n(const_cast<uint8_t*>(&playToolsBusy), (uint8_t)0, __ATOMIC_RELEASE);
}

void APlugin::preparePlayingTools() {
    if (onAudioThread()) return;
    if (!arpFoldersScanned) scanArpFolders();
    prepareTuning();
}
