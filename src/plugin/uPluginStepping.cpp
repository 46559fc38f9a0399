// Moving a parameter by a signed number of steps: the mouse wheel over a control, the
// arrow ends of option menus and the "Increase/Decrease Value" menu entries.
//
// Most parameters just move by a small increment, but many are really a choice from a
// list: stepped records, continuous knobs that become note-value lists while a tempo sync
// switch or a section mode says so, the semitone knobs, the velocity split handles that
// must stay in order, the modulation sources whose menu order differs from their numbers,
// and the two arp browser selectors, which move the browser rather than a value.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr float kSemiRange = 96.99f;

// Sections whose knobs become lists.
constexpr int kLfoSpeed1 = 102, kLfoSpeed2 = 103;
constexpr int kLfoSync1 = 357, kLfoSync2 = 360;
constexpr int kModFXKnob1 = 108, kModFXKnob2 = 109, kModFXSync = 350;
constexpr int kDelayLeft = 114, kDelayRight = 115, kDelaySync = 352;
constexpr int kDistortKnob1 = 105;
constexpr int kDistortMode = 347, kModFXMode = 349;
constexpr int kArpFolderSelector = 848, kArpPresetSelector = 849;

constexpr int kDistortAmp = 0, kDistortCab = 4;
constexpr int kModFXTremolo = 6, kModFXVibrato = 7, kModFXAutoPan = 8;

// Synced note-value lists: range and count.
constexpr float kPeriodRange = 33.99f;
constexpr int kPeriodCount = 34;
constexpr float kDelayLenRange = 14.99f;
constexpr int kDelayLenCount = 15;
constexpr float kStrumLenRange = 18.99f;
constexpr int kStrumLenCount = 19;
constexpr float kCabRange = 3.99f;
constexpr int kCabCount = 4;
constexpr float kAmpRange = 5.99f;
constexpr int kAmpCount = 6;
constexpr float kLfoWaveRange = 8.99f;
constexpr int kLfoWaveCount = 9;

// Modulation sources that the menu shows out of numeric order.
constexpr int kSrcCenterNote = 6, kSrcNoteRandom1 = 7;
constexpr int kSrcWhiteUniNoise = 132, kSrcLastNote = 133, kSrcCentreLastNote = 134;
constexpr int kSrcPinkNoise = 135;

// index + delta without signed overflow; the setters clamp the result to the list.
int addSteps(int index, int delta) {
    const int64_t sum = (int64_t)index + (int64_t)delta;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return (int)sum;
}

float clamp01(float v) {
    if (!(v > 0.0f)) return 0.0f;
    return v > 1.0f ? 1.0f : v;
}

int indexIn(const int32_t* table, int size, int tag) {
    for (int i = 0; i < size; ++i)
        if (table[i] == tag) return i;
    return -1;
}

bool isSemitoneTag(int tag) {
    for (int layer = 0; layer < kNumLayers; ++layer)
        if (tag == SEMI_TAGS[layer] || tag == FM_1_SEMI_TAGS[layer] ||
            tag == FM_2_SEMI_TAGS[layer])
            return true;
    return false;
}

// The next source in menu order: "Last Note" and "Centre Last Note" follow "Center Note",
// the two pink noises follow "White UniPolar Noise". A jump is one step whatever the delta.
int nextModSource(int cur, int delta) {
    if (delta > 0) {
        if (cur == kSrcCenterNote) return kSrcLastNote;
        if (cur == kSrcCentreLastNote) return kSrcNoteRandom1;
        if (cur == kSrcWhiteUniNoise) return kSrcPinkNoise;
    } else {
        if (cur == kSrcNoteRandom1) return kSrcCentreLastNote;
        if (cur == kSrcLastNote) return kSrcCenterNote;
        if (cur == kSrcPinkNoise) return kSrcWhiteUniNoise;
    }
    return addSteps(cur, delta);
}

}  // namespace

void APlugin::changeDeltaStepped(int tag, int delta, float range, int count) {
    if (!isValidTag(tag)) return;
    setSteppedValue(tag, addSteps(getSteppedValue(tag, range, count), delta), range, count);
}

void APlugin::changeDelta(int tag, int delta, bool fine, float scale) {
    if (!isValidTag(tag) || isTagLocked(tag)) return;
    float increment = (float)delta * scale * (fine ? 0.001f : 0.01f);
    if (!std::isfinite(increment)) increment = 0.0f;

    // --- rules for particular tags; a rule whose condition fails falls through ---------

    if (isSemitoneTag(tag)) {
        // One step is one displayed semitone, with or without Shift.
        setParameter(tag, clamp01(getParameter(tag) + (float)delta / kSemiRange));
        return;
    }

    const int waveLayer = indexIn(WAVE_TAGS, kNumLayers, tag);
    if (waveLayer >= 0) {
        // A new wave starts from its neutral shape, also when the wave stayed at an end.
        setSteppedValue(tag, addSteps(getSteppedValue(tag), delta));
        setToDefault(WAVE_SYM_TAGS[waveLayer]);
        return;
    }

    if ((tag == kLfoSpeed1 && getOnOff(kLfoSync1)) || (tag == kLfoSpeed2 && getOnOff(kLfoSync2)) ||
        (tag == kModFXKnob1 && getOnOff(kModFXSync))) {
        changeDeltaStepped(tag, delta, kPeriodRange, kPeriodCount);
        return;
    }
    if ((tag == kDelayLeft || tag == kDelayRight) && getOnOff(kDelaySync)) {
        changeDeltaStepped(tag, delta, kDelayLenRange, kDelayLenCount);
        return;
    }

    if (indexIn(MOD_SRC_TAGS, kTagModSlots, tag) >= 0) {
        setSteppedValue(tag, nextModSource(getSteppedValue(tag), delta));
        return;
    }

    if (tag == kDistortKnob1 && distortMode == kDistortCab) {
        changeDeltaStepped(tag, delta, kCabRange, kCabCount);
        return;
    }
    if (tag == kDistortKnob1 && distortMode == kDistortAmp) {
        changeDeltaStepped(tag, delta, kAmpRange, kAmpCount);
        return;
    }
    if (tag == kModFXKnob2 &&
        (modFXMode == kModFXTremolo || modFXMode == kModFXVibrato || modFXMode == kModFXAutoPan)) {
        changeDeltaStepped(tag, delta, kLfoWaveRange, kLfoWaveCount);
        return;
    }

    const int chord = indexIn(CHORD_STRUM_TAGS, kTagChords, tag);
    if (chord >= 0 && getOnOff(CHORD_STRUM_SYNC_ON_TAGS[chord])) {
        changeDeltaStepped(tag, delta, kStrumLenRange, kStrumLenCount);
        return;
    }

    if (indexIn(LAYER_SOURCE_TAGS, kNumLayers, tag) >= 0) {
        setSteppedValue(tag, addSteps(getSteppedValue(tag), delta));
        if (editorLink && isEditorOpen()) editorLink->updateLayer();
        return;
    }

    const int velIndex = indexIn(LAYER_VEL_TAGS, kNumLayers * kTagVelSplitPoints, tag);
    if (velIndex >= 0) {
        // A handle never passes its neighbours: fade in <= start <= end <= fade out.
        const int32_t* handles = &LAYER_VEL_TAGS[velIndex - velIndex % kTagVelSplitPoints];
        const int point = velIndex % kTagVelSplitPoints;
        float v = getParameter(tag) + increment;
        if (point > 0) v = std::max(v, getParameter(handles[point - 1]));
        if (point < kTagVelSplitPoints - 1) v = std::min(v, getParameter(handles[point + 1]));
        setParameter(tag, v);
        return;
    }

    if (tag == kArpFolderSelector || tag == kArpPresetSelector) {
        if (tag == kArpFolderSelector) {
            const int next = addSteps(curArpFolder, delta);
            if (next >= 0 && next < arpFolderCount) changeArpFolder(next);
        } else {
            loadArpPreset(addSteps(curArpPreset, delta));
        }
        if (isEditorOpen()) editorRefreshRequest = 1;
        return;
    }

    if (tag == kDistortMode) {
        setSteppedValue(tag, addSteps(getSteppedValue(tag), delta));
        if (editorLink && isEditorOpen()) editorLink->updateDistort();
        return;
    }
    if (tag == kModFXMode) {
        setSteppedValue(tag, addSteps(getSteppedValue(tag), delta));
        if (editorLink && isEditorOpen()) editorLink->updateModFX();
        return;
    }

    // --- general rules, by the tag's record --------------------------------------------

    if (paramStepCount[tag] != -1) {
        setSteppedValue(tag, addSteps(getSteppedValue(tag), delta));
    } else if (paramIsSwitch[tag]) {
        if (delta < 0)
            setOff(tag);
        else
            setOn(tag);
    } else {
        setParameterAutomated(tag, clamp01(getParameter(tag) + increment));
    }
}
