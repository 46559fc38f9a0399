// The play lock. While it is on, portamento, play mode, pitch bend and the whole
// arpeggiator keep sounding from a snapshot taken when the lock was turned on, whatever
// program is loaded meanwhile; the engine reads those tags through the locked readers
// below, and its own switching of them goes through the locked setters, which refuse
// while the lock is on. "Set" writes the snapshot into the current program and unlocks.
//
// No lock is taken: the audio thread reads the state, the flags and the snapshot element
// by element, each one aligned 32-bit load.
#include <cstring>

#include "plugin/uPlugin.h"

namespace {

constexpr int kLockOff = 0;
constexpr int kLockOn = 1;
constexpr int kLockSet = 2;

}  // namespace

void APlugin::setLockState(int state) {
    // Only the three menu choices are states; anything else would leave the lock on with
    // a snapshot that was never taken.
    if (state < kLockOff || state > kLockSet) return;
    const int old = __atomic_exchange_n(&lockState, state, __ATOMIC_ACQ_REL);
    if (old == state) return;

    if (state == kLockSet) {
        // Without a snapshot there is nothing to write back: writing the cleared
        // snapshot would wipe the held group of the current program.
        if (lockSnapshotTaken)
            for (int tag = 0; tag < kNumParams; ++tag)
                if (lockedTag[tag]) setParameter(tag, loadValue(lockValue[tag]));
        __atomic_store_n(&lockState, kLockOff, __ATOMIC_RELEASE);
    } else if (state == kLockOn) {
        for (int tag = 0; tag < kNumParams; ++tag) storeValue(lockValue[tag], loadValue(paramValue[tag]));
        lockSnapshotTaken = 1;
    }
    editorRefreshRequest = 1;
}

bool APlugin::isTagLocked(int tag) {
    return isValidTag(tag) && getLocked() && lockedTag[tag] != 0;
}

float APlugin::getLockVar(int tag) {
    if (!isValidTag(tag)) return 0.0f;
    return (getLocked() && lockedTag[tag]) ? loadValue(lockValue[tag]) : loadValue(paramValue[tag]);
}

bool APlugin::getLockVarOnOff(int tag) { return isValidTag(tag) && getLockVar(tag) >= 0.5f; }

int APlugin::getLockVarStepped(int tag) {
    if (!isValidTag(tag) || paramStepCount[tag] == -1) return 0;
    return getSteppedValue(getLockVar(tag), paramStepRange[tag], paramStepCount[tag]);
}

void APlugin::setLockVar(int tag, float value) {
    if (!isValidTag(tag) || getLocked()) return;
    setParameterAutomated(tag, value);
}

void APlugin::setLockVarOnOff(int tag, bool on) {
    if (!isValidTag(tag) || getLocked()) return;
    setParameterAutomated(tag, on ? 1.0f : 0.0f);
}

void APlugin::setLockVarStepped(int tag, int index) {
    if (!isValidTag(tag) || getLocked()) return;
    const int count = paramStepCount[tag];
    const float range = paramStepRange[tag];
    if (count < 1 || !(range > 0.0f)) return;
    if (index > count - 1) index = count - 1;
    if (index < 0) index = 0;
    setParameterAutomated(tag, ((float)index + 0.1f) / range);
}
