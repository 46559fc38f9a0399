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

void APlugin::setParameter(VstInt32 index, float value) {
    if (!isValidTag(index)) return;
    const int tag = index;
    float v = clampValue(value);
    if (paramIsSwitch[tag]) v = v < 0.5f ? 0.0f : 1.0f;
    if (tag == kPresetTriggerTag && presetApplying == 0) presetPending = 1;

    paramValue[tag] = v;
    programs[curProgram].values[tag] = v;
    paramEdited[tag] = v;

    if (std::fabs(v - paramLast[tag]) > kChangeStep) {
        paramLast[tag] = v;
        if (std::fabs(v - paramOrig[tag]) > kChangeStep && paramOrig[tag] > -0.5f) editChanged = 1;
    }
    if (notifyEditor[tag] && editorLink && isEditorOpen()) editorLink->setParameter(tag, v);
}

float APlugin::getParameter(VstInt32 index) {
    if (!isValidTag(index)) return 0.0f;
    return clampValue(programs[curProgram].values[index]);
}

bool APlugin::getIsSettingPreset() {
    if (presetPending || presetApplying) return true;
    return editorRefreshRequest != 0;
}

void APlugin::doHardReset() { reset(); }

void APlugin::setPresetParameters() {
    if (presetApplying) return;
    presetPending = 0;
    presetApplying = 1;

    TProgramRecord& program = programs[curProgram];
    for (int tag = 0; tag < kNumParams; ++tag) {
        const float v = program.values[tag];
        paramValue[tag] = v;
        paramOrig[tag] = v;
        paramEdited[tag] = v;
        setParameter(tag, v);
        midiLatched[tag] = 0;
    }
    // Controllers pick each parameter up near the value the program gives it.
    resetMIDICapture();

    const bool open = editorLink && isEditorOpen();
    if (open) {
        for (int tag = 1; tag < kNumParams; ++tag)
            if (notifyEditor[tag]) editorLink->setParameter(tag, paramValue[tag]);
        editorLink->updateIdleVars();
    }

    updateBaseNote();
    setTuning();
    editChanged = 0;
    forceControlUpdate = 1;

    // The ribbon starts where the program left it, or at rest when it springs back.
    ribbonSpringOn = 0;
    ribbonSpringPos = paramValue[kRibbonValueTag];
    ribbonSmoothed = paramValue[kRibbonValueTag];
    ribbonSpringSpeed = 0.0;
    setRibbbonSpringOff();
    if (getRibbonSpringTime() != 0) {
        const float rest = program.values[665] > 0.5f ? 0.5f : 0.0f;
        program.values[kRibbonValueTag] = rest;
        paramValue[kRibbonValueTag] = rest;
        paramLast[kRibbonValueTag] = rest;
        paramOrig[kRibbonValueTag] = rest;
        midiCaptured[kRibbonValueTag] = rest;
        ribbonSpringOn = 1;
        ribbonSpringPos = rest;
        ribbonSmoothed = rest;
        ribbonCountdown = -1;
    }

    // An applied program never starts latched or in key entry.
    for (int tag : {405, 406}) {
        program.values[tag] = 0.0f;
        paramEdited[tag] = 0.0f;
        paramValue[tag] = 0.0f;
        midiCaptured[tag] = 0.0f;
        paramOrig[tag] = 0.0f;
    }

    // The arp modes that only drive modulation do not survive into an unlocked program.
    if (getArpMode() >= 13 && lockState == 0) {
        setParameterAutomated(394, 0.0f);
        if (lockState == 0) setParameterAutomated(244, 0.0f);
    }

    scanArpFolders();
    getArpPreset();
    reset();
    env.silenceAll();

    presetApplying = 0;
    if (editorLink && isEditorOpen()) editorLink->clearUndos();
    editorRefreshRequest = 1;
}

// --- program record -------------------------------------------------------------------

void APlugin::setProgram(VstInt32 program) {
    if (program != 0 || editorOpening == 1) return;
    loadProgram();
}

void APlugin::loadProgram() {
    curProgram = 0;
    for (float& v : midiCaptured) v = 0.0f;
    const TProgramRecord& record = programs[curProgram];
    std::memcpy(paramOrig, record.values, sizeof(paramOrig));
    std::memcpy(paramEdited, record.values, sizeof(paramEdited));
    std::memcpy(paramValue, record.values, sizeof(paramValue));
    // A preset or tuning named by the program is looked up here, off the audio thread.
    preparePlayingTools();
    // Raise the trigger with the value the record already holds, so a restored state
    // reads back byte for byte whatever a host automated into the trigger tag.
    setParameter(kPresetTriggerTag, record.values[kPresetTriggerTag]);
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
