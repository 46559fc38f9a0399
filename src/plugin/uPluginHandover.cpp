// How a program reaches the audio thread. Any thread writes the program record (a restored
// chunk, a program command, single values) and asks for it to be applied; at its next
// 4096-sample boundary the audio thread copies the record and applies the copy in a few
// stages, in small blocks one per block, so that no single block carries the whole cost.
// A program that is asked for while the engine sounds first takes the old sound down over
// a few milliseconds (a step to silence would click); then, while it waits for the boundary
// and while it is applied, the engine is silent. A fade that runs past the boundary leads to
// the application at the start of the next render call. Incoming MIDI is held in the queue, in
// order, from the request on; it plays as soon as the program is in place.
#include <sched.h>

#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"

namespace {

constexpr int kApplyStages = 4;

float clampValue(float value) {
    if (std::isnan(value)) return 0.0f;
    float v = std::fmin(1.0f, value);
    return v < 0.0f ? 0.0f : v;
}

constexpr float kChangeStep = 0.0001f;

// The fade before a program change: long enough not to click, short enough to feel at once.
constexpr float kProgramFadeSeconds = 0.003f;
constexpr float kPi = 3.14159265358979f;

}  // namespace

void APlugin::requestProgram() { presetPending.store(1, std::memory_order_release); }

bool APlugin::storeProgramRecord(const TProgramRecord& record) {
    const bool audio = onHostAudioThread();
    while (recordWriter.exchange(1, std::memory_order_acquire)) {
        if (audio) return false;
        sched_yield();
    }
    TProgramRecord& target = programs[curProgram];
    const uint32_t seq = recordSeq.load(std::memory_order_relaxed);
    recordSeq.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    // Stored as setParameter would store it: a chunk never hands out what no
    // parameter can hold.
    for (int tag = 0; tag < kNumParams; ++tag) storeValue(target.values[tag], clampValue(record.values[tag]));
    char name[sizeof(target.name)] = {};
    std::memcpy(name, record.name, strnlen(record.name, sizeof(name) - 1));
    std::memcpy(target.name, name, sizeof(name));
    recordSeq.store(seq + 2, std::memory_order_release);
    recordWriter.store(0, std::memory_order_release);
    return true;
}

void APlugin::servicePlayingToolsRequest() {
    if (!playToolsRequest.load(std::memory_order_relaxed) || onHostAudioThread()) return;
    if (playToolsRequest.exchange(0, std::memory_order_acq_rel)) preparePlayingTools();
}

// --- the audio thread's side -------------------------------------------------------------

// Copies the record; false (and still pending) when a whole-record write overlapped the
// copy, so the next sample tries again.
bool APlugin::beginProgramApply() {
    if (presetApplying.load(std::memory_order_relaxed) || !presetPending.load(std::memory_order_acquire))
        return false;
    // Until the old sound is down the request waits (the render loop asks again each sample).
    if (!programFadeFinished() || programFadeInBlock) return false;
    const uint32_t seq = recordSeq.load(std::memory_order_acquire);
    if (seq & 1) return false;
    // Cleared before the copy: a request made while copying asks for another application.
    presetPending.store(0, std::memory_order_seq_cst);
    const float* record = programs[curProgram].values;
    for (int tag = 0; tag < kNumParams; ++tag) applyValues[tag] = loadValue(record[tag]);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (recordSeq.load(std::memory_order_relaxed) != seq) {
        presetPending.store(1, std::memory_order_release);
        return false;
    }
    applySeq = seq;
    programFadeLeft = -1;
    presetApplying.store(1, std::memory_order_release);
    runProgramApplyStage(0);
    return true;
}

void APlugin::runProgramApplyStage(int stage) {
    switch (stage) {
        case 0: {
            for (int tag = 0; tag < kNumParams; ++tag) {
                const float raw = applyValues[tag];
                float v = clampValue(raw);
                if (paramIsSwitch[tag]) v = v < 0.5f ? 0.0f : 1.0f;
                storeValue(paramOrig[tag], raw);
                storeValue(paramValue[tag], v);
                storeValue(paramEdited[tag], v);
                if (std::fabs(v - loadValue(paramLast[tag])) > kChangeStep) storeValue(paramLast[tag], v);
                midiLatched[tag] = 0;
            }
            // Controllers pick each parameter up near the value the program gives it.
            resetMIDICapture();

            if (editorLink && isEditorOpen()) {
                for (int tag = 1; tag < kNumParams; ++tag)
                    if (notifyEditor[tag]) editorLink->setParameter(tag, loadValue(paramValue[tag]));
                editorLink->updateIdleVars();
            }
            updateBaseNote();
            setTuning();
            editChanged.store(0, std::memory_order_relaxed);

            // Values the application settles are written back into the record only while
            // it still holds the program being applied: a newer one is never overwritten.
            const bool writeBack = !recordWriter.exchange(1, std::memory_order_acquire);
            const bool current = writeBack && recordSeq.load(std::memory_order_relaxed) == applySeq &&
                                 !presetPending.load(std::memory_order_acquire);
            float* record = programs[curProgram].values;

            // The ribbon starts where the program left it, or at rest when it springs back.
            ribbonSpringOn = 0;
            ribbonSpringPos = loadValue(paramValue[kRibbonValueTag]);
            ribbonSmoothed = ribbonSpringPos;
            ribbonSpringSpeed = 0.0;
            setRibbbonSpringOff();
            if (getRibbonSpringTime() != 0) {
                const float rest = applyValues[665] > 0.5f ? 0.5f : 0.0f;
                if (current) storeValue(record[kRibbonValueTag], rest);
                storeValue(paramValue[kRibbonValueTag], rest);
                storeValue(paramLast[kRibbonValueTag], rest);
                storeValue(paramOrig[kRibbonValueTag], rest);
                midiCaptured[kRibbonValueTag] = rest;
                ribbonSpringOn = 1;
                ribbonSpringPos = rest;
                ribbonSmoothed = rest;
                ribbonCountdown = -1;
            }
            // An applied program never starts latched or in key entry.
            for (int tag : {405, 406}) {
                if (current) storeValue(record[tag], 0.0f);
                storeValue(paramEdited[tag], 0.0f);
                storeValue(paramValue[tag], 0.0f);
                storeValue(paramOrig[tag], 0.0f);
                midiCaptured[tag] = 0.0f;
            }
            // The arp modes that only drive modulation do not survive into an unlocked program.
            if (current && getArpMode() >= 13 && !getLocked()) {
                setParameterAutomated(394, 0.0f);
                if (!getLocked()) setParameterAutomated(244, 0.0f);
            }
            if (writeBack) recordWriter.store(0, std::memory_order_release);
            break;
        }
        // The effect lines, the longest part, in three parts, one in each of the stages
        // after the parameters (no effect runs and no note starts before the last).
        case 1:
            scanArpFolders();
            getArpPreset();
            resetEngineState();
            env.silenceAll();
            initFX(0);
            break;
        case 2:
            initFX(1);
            break;
        default:
            initFX(2);
            startupApplied = 1;
            forceControlUpdate = 1;
            presetApplying.store(0, std::memory_order_release);
            if (editorLink && isEditorOpen()) editorLink->clearUndos();
            editorRefreshRequest = 1;
            return;
    }
    applyStage = stage + 1;
}

bool APlugin::programFadeFinished() {
    if (programFadeLeft < 0) {
        // Nothing sounds before the start-up program or while the engine sleeps. A host that
        // renders without having resumed the plug-in has had the new values put in place at
        // once: the old sound cannot play on under them.
        const bool sounding = startupApplied && !sleeping &&
                              __atomic_load_n(const_cast<uint8_t*>(&engineRunning), __ATOMIC_ACQUIRE);
        const int32_t length = (int32_t)(curSampleRate * kProgramFadeSeconds + 0.5f);
        programFadeLength = sounding ? (length > 1 ? length : 1) : 0;
        programFadeLeft = programFadeLength;
    }
    return programFadeLeft == 0;
}

void APlugin::renderEngineAroundProgram() {
    if (presetApplying.load(std::memory_order_relaxed)) return;
    if (!presetPending.load(std::memory_order_relaxed)) {
        programFadeLeft = -1;
        renderEngineSample();
        return;
    }
    if (programFadeFinished()) return;
    // The old program plays on under a raised-cosine fall from 1 to 0; its voices stop when
    // the program is applied.
    renderEngineSample();
    programFadeInBlock = 1;
    --programFadeLeft;
    const float gain = 0.5f - 0.5f * std::cos(kPi * (float)programFadeLeft / (float)programFadeLength);
    outSample.left *= gain;
    outSample.right *= gain;
}

// The whole application at once, for callers outside the render loop's stages.
void APlugin::setPresetParameters() {
    programFadeLeft = 0;  // no sound runs here to fade
    programFadeInBlock = 0;
    if (!beginProgramApply()) return;
    for (int stage = 1; stage < kApplyStages; ++stage) runProgramApplyStage(stage);
}
