// Reading and changing parameters by meaning: stepped choices, on/off switches, short
// texts kept one character per tag, defaults and originals, copies and swaps, and the two
// questions the core asks about the editor window.
//
// None of these keeps state. Readers are plain bounded array reads (the audio thread uses
// them); writers go through setParameter (plain) or setParameterAutomated (the host is
// told), except the text writer, which stores straight into the value copies.
#include <cstdint>
#include <cstdlib>

#include "plugin/uPlugin.h"
#include "plugin/uPluginTextChar.h"
#include "vst/AEffEditor.h"

namespace {

// Only the program trigger may never be written by a copy or swap: a stray write would
// ask the audio thread to re-apply the whole program.
bool isCopyable(int tag) { return APlugin::isValidTag(tag) && tag != kPresetTriggerTag; }

float textCharValue(int code) { return ((float)code + 0.5f) / 255.99f; }

int textCharOf(float value) {
    const float x = value * 255.99f + 0.1f;
    // Values outside any text encoding (negative, NaN, huge) carry no character.
    if (!(x >= 0.0f) || x >= 65536.0f) return 0;
    return (int)x & 0xFF;
}

// The tags first .. first + count - 1 that lie within the tag space, as [lo, hi);
// empty when count is below 1.
void validRun(int first, int count, int& lo, int& hi) {
    lo = hi = 0;
    if (count < 1) return;
    const int64_t begin = first;
    const int64_t end = begin + count;
    lo = (int)(begin < 0 ? 0 : (begin > kNumParams ? kNumParams : begin));
    hi = (int)(end < 0 ? 0 : (end > kNumParams ? kNumParams : end));
    if (hi < lo) hi = lo;
}

// The first offset i at which both first + i and second + i are no longer negative.
int64_t firstInRange(int first, int second) {
    const int64_t low = first < second ? first : second;
    return low < 0 ? -low : 0;
}

}  // namespace

// --- stepped values ---------------------------------------------------------------------

int APlugin::getSteppedValue(float value, float range, int count) {
    if (count < 1) return 0;
    const float x = value * range + 0.1f;
    // Saturate in float before converting: huge or NaN values must not overflow.
    if (!(x > 0.0f)) return 0;
    if (x >= (float)count) return count - 1;
    return (int)x;
}

int APlugin::getSteppedValue(int tag, float range, int count) {
    if (!isValidTag(tag)) return 0;
    return getSteppedValue(loadValue(paramValue[tag]), range, count);
}

int APlugin::getSteppedValue(int tag) {
    if (!isValidTag(tag)) return 0;
    return getSteppedValue(loadValue(paramValue[tag]), paramStepRange[tag], paramStepCount[tag]);
}

int APlugin::getSteppedValue(int tag, float value) {
    if (!isValidTag(tag)) return 0;
    return getSteppedValue(value, paramStepRange[tag], paramStepCount[tag]);
}

void APlugin::setSteppedValue(int tag, int index, float range, int count) {
    if (!isValidTag(tag) || count < 1 || !(range > 0.0f)) return;
    if (index > count - 1) index = count - 1;
    if (index < 0) index = 0;
    setParameterAutomated(tag, ((float)index + 0.1f) / range);
}

void APlugin::setSteppedValue(int tag, int index) {
    if (!isValidTag(tag) || paramStepCount[tag] == -1) return;
    setSteppedValue(tag, index, paramStepRange[tag], paramStepCount[tag]);
}

void APlugin::setSteppedValueMax(int tag) {
    if (!isValidTag(tag) || paramStepCount[tag] == -1) return;
    const int last = paramStepCount[tag] - 1;
    setSteppedValue(tag, last < 0 ? 0 : last);
}

float APlugin::getSteppedRange(int tag) { return isValidTag(tag) ? paramStepRange[tag] : 1.0f; }

int APlugin::getSteppedNum(int tag) { return isValidTag(tag) ? paramStepCount[tag] : -1; }

// --- on/off values ----------------------------------------------------------------------

bool APlugin::getOnOff(int tag) { return isValidTag(tag) && loadValue(paramValue[tag]) >= 0.5f; }

void APlugin::setOnOff(int tag, bool on) {
    if (!isValidTag(tag)) return;
    setParameterAutomated(tag, on ? 1.0f : 0.0f);
}

void APlugin::setOnOff(int tag, float value) { setOnOff(tag, value >= 0.5f); }

void APlugin::setOn(int tag) { setOnOff(tag, true); }

void APlugin::setOff(int tag) { setOnOff(tag, false); }

void APlugin::toggleValue(int tag) {
    if (!isValidTag(tag)) return;
    setOnOff(tag, !getOnOff(tag));
}

// --- defaults, originals, zero and random values -----------------------------------------

float APlugin::getDefaultValue(int tag) { return isValidTag(tag) ? paramDefault[tag] : 0.0f; }

void APlugin::setToDefault(int tag) {
    if (!isValidTag(tag)) return;
    // A unipolar ribbon rests at its bottom end, not at the bipolar centre.
    if (tag == kRibbonValueTag && !getOnOff(665)) {
        setParameterAutomated(tag, 0.0f);
        return;
    }
    setParameterAutomated(tag, paramDefault[tag]);
}

void APlugin::setToDefaultRange(int first, int last) {
    if (!isValidTag(first) || !isValidTag(last) || first > last) return;
    for (int tag = first; tag <= last; ++tag) setParameterAutomated(tag, paramDefault[tag]);
}

float APlugin::getOrigValue(int tag) { return isValidTag(tag) ? paramOrig[tag] : 0.0f; }

void APlugin::setToOrig(int tag) {
    if (!isValidTag(tag)) return;
    setParameterAutomated(tag, paramOrig[tag]);
}

void APlugin::setZeroValue(int tag) {
    if (!isValidTag(tag)) return;
    setParameter(tag, paramZeroValue[tag]);
}

void APlugin::setRandomValue(int tag) {
    if (!isValidTag(tag)) return;
    setParameterAutomated(tag, (float)(std::rand() & 0x7FFF) / 32767.0f);
}

// --- copies and swaps -------------------------------------------------------------------

void APlugin::copyParameter(int from, int to) {
    if (!isCopyable(from) || !isCopyable(to)) return;
    setParameter(to, getParameter(from));
}

void APlugin::copyParameterRange(int from, int to, int count) {
    if (count < 1) return;
    for (int64_t i = firstInRange(from, to); i < count; ++i) {
        const int64_t a = from + i, b = to + i;
        // Past the tag space on either side nothing more can be copied.
        if (a >= kNumParams || b >= kNumParams) break;
        if (a < 0 || b < 0) continue;
        copyParameter((int)a, (int)b);
    }
}

void APlugin::copyParameterToRange(int from, int first, int last) {
    if (first > last || !isCopyable(from)) return;
    const float v = getParameter(from);
    const int lo = first < 0 ? 0 : first;
    const int hi = last >= kNumParams ? kNumParams - 1 : last;
    for (int tag = lo; tag <= hi; ++tag)
        if (isCopyable(tag)) setParameter(tag, v);
}

void APlugin::swapParameter(int a, int b) {
    if (!isCopyable(a) || !isCopyable(b)) return;
    const float va = getParameter(a);
    const float vb = getParameter(b);
    setParameter(a, vb);
    setParameter(b, va);
}

void APlugin::swapParameterRange(int a, int b, int count) {
    if (count < 1) return;
    for (int64_t i = firstInRange(a, b); i < count; ++i) {
        const int64_t x = a + i, y = b + i;
        if (x >= kNumParams || y >= kNumParams) break;
        if (x < 0 || y < 0) continue;
        swapParameter((int)x, (int)y);
    }
}

// --- texts kept in parameters -----------------------------------------------------------

std::string APlugin::getStringFromParamStr(int tag, int count, bool live, bool scratch) {
    std::string text;
    int lo, hi;
    validRun(tag, count, lo, hi);
    for (int t = lo; t < hi; ++t) {
        const float v = scratch ? textScratch[t] : (live ? paramValue[t] : getParameter(t));
        const int c = textCharOf(v);
        if (c != 0) text += (char)c;
    }
    return text;
}

void APlugin::setStringFromParam(const std::string& text, int tag, int count, bool scratch) {
    if (count < 1) return;
    int lo, hi;
    validRun(tag, count, lo, hi);
    float* program = programs[curProgram].values;

    // The whole run is cleared first, so a shorter text leaves nothing of a longer one.
    for (int t = lo; t < hi; ++t) {
        if (scratch) {
            textScratch[t] = 0.0f;
        } else {
            program[t] = 0.0f;
            paramValue[t] = 0.0f;
            paramEdited[t] = 0.0f;
        }
    }

    const std::size_t room = (std::size_t)count - 1;
    const std::size_t n = text.size() < room ? text.size() : room;
    for (std::size_t i = 0; i < n; ++i) {
        const int64_t t = (int64_t)tag + (int64_t)i;
        if (t < 0 || t >= kNumParams) continue;
        const float v = textCharValue(cleanTextChar((unsigned char)text[i]));
        if (scratch) {
            textScratch[t] = v;
        } else {
            program[t] = v;
            paramValue[t] = v;
            paramEdited[t] = v;
        }
    }
}

// --- the editor window ------------------------------------------------------------------

bool APlugin::isEditorOpen() { return editorShown.load(std::memory_order_acquire) != 0; }

void APlugin::publishEditorState() {
    // While the editor is still being opened its window may exist but its controls don't.
    const bool open = editor && editorOpen.load() == 1 && editorOpening.load() == 0 && editor->isOpen();
    editorShown.store(open ? 1 : 0, std::memory_order_release);
}

void APlugin::updateEditorScreen() {
    editorRefreshRequest = 0;
    if (isEditorOpen()) editorRedrawRequest = 1;
}
