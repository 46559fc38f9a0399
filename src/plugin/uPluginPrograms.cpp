// The per-tag value copies, the host's parameter calls, the program record and the
// hand-over that applies a program on the audio thread.
#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"
#include "vst/AEffEditor.h"

namespace {

constexpr float kChangeStep = 0.0001f;

// NaN from a host reads as 0; everything else is clamped to 0..1.
float clampValue(float value) {
    if (std::isnan(value)) return 0.0f;
    float v = std::fmin(1.0f, value);
    return v < 0.0f ? 0.0f : v;
}

void copyName(char* dst, const char* src, std::size_t size) {
    std::size_t n = 0;
    while (n + 1 < size && src[n]) ++n;
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace

// --- host parameter access ---------------------------------------------------------

// Any thread may write a value while the audio thread reads it: each copy of a value is
// one aligned float, stored and loaded whole (relaxed atomics, so no reader sees a torn
// value and the thread checker can tell these meetings from real races).
void APlugin::setParameter(VstInt32 index, float value) {
    if (!isValidTag(index)) return;
    const int tag = index;
    float v = clampValue(value);
    if (paramIsSwitch[tag]) v = v < 0.5f ? 0.0f : 1.0f;

    storeValue(paramValue[tag], v);
    storeValue(programs[curProgram].values[tag], v);
    storeValue(paramEdited[tag], v);
    // After the record holds the value, so the application it asks for carries it.
    if (tag == kPresetTriggerTag) requestProgram();

    if (std::fabs(v - loadValue(paramLast[tag])) > kChangeStep) {
        storeValue(paramLast[tag], v);
        const float orig = loadValue(paramOrig[tag]);
        if (std::fabs(v - orig) > kChangeStep && orig > -0.5f)
            editChanged.store(1, std::memory_order_relaxed);
    }
    if (notifyEditor[tag] && editorLink && isEditorOpen()) editorLink->setParameter(tag, v);
}

float APlugin::getParameter(VstInt32 index) {
    if (!isValidTag(index)) return 0.0f;
    return clampValue(loadValue(programs[curProgram].values[index]));
}

bool APlugin::getIsSettingPreset() {
    if (presetPending || presetApplying) return true;
    return editorRefreshRequest != 0;
}

void APlugin::doHardReset() { reset(); }

// --- program record -------------------------------------------------------------------

void APlugin::setProgram(VstInt32 program) {
    if (program != 0 || editorOpening == 1) return;
    loadProgram();
}

void APlugin::loadProgram() {
    if (curProgram != 0) curProgram = 0;
    // While the host is not processing nothing else runs: the values are in place at
    // once. Otherwise the audio thread loads them when it applies the program.
    const bool audio = onHostAudioThread();
    if (!__atomic_load_n(const_cast<uint8_t*>(&engineRunning), __ATOMIC_ACQUIRE) && !audio) {
        for (float& v : midiCaptured) v = 0.0f;
        const float* record = programs[curProgram].values;
        for (int tag = 0; tag < kNumParams; ++tag) {
            const float v = loadValue(record[tag]);
            storeValue(paramOrig[tag], v);
            storeValue(paramEdited[tag], v);
            storeValue(paramValue[tag], v);
        }
    }
    // A preset or tuning named by the program is looked up off the audio thread; on it,
    // the next call from another thread does it.
    if (audio)
        playToolsRequest.store(1, std::memory_order_release);
    else
        preparePlayingTools();
    // Raise the trigger with the value the record already holds, so a restored state
    // reads back byte for byte whatever a host automated into the trigger tag.
    setParameter(kPresetTriggerTag, loadValue(programs[curProgram].values[kPresetTriggerTag]));
}

void APlugin::setProgramName(char*) {}

void APlugin::getProgramName(char* name) {
    if (!name) return;
    copyName(name, programs[curProgram].name, sizeof(programs[curProgram].name));
}

bool APlugin::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index != 0 || !text) return false;
    getProgramName(text);
    return true;
}

void APlugin::unSelectThenSetProgram() { setProgram(0); }
