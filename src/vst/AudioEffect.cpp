#include "AudioEffect.h"

#include <cstring>

#include "AEffEditor.h"

namespace {

AudioEffect* effectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

VstIntPtr dispatchEffect(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) {
    AudioEffect* fx = effectOf(e);
    return fx ? fx->dispatcher(opcode, index, value, ptr, opt) : 0;
}

void setParameterEffect(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* fx = effectOf(e)) fx->setParameter(index, value);
}

float getParameterEffect(AEffect* e, VstInt32 index) {
    AudioEffect* fx = effectOf(e);
    return fx ? fx->getParameter(index) : 0.0f;
}

void processReplacingEffect(AEffect* e, float** in, float** out, VstInt32 frames) {
    if (AudioEffect* fx = effectOf(e)) fx->processReplacing(in, out, frames);
}

void processDoubleEffect(AEffect* e, double** in, double** out, VstInt32 frames) {
    if (AudioEffect* fx = effectOf(e)) fx->processDoubleReplacing(in, out, frames);
}

// The old accumulating call: 2.4 plug-ins are not asked for it, but a host that still
// calls it must not crash.
void processDeprecatedEffect(AEffect*, float**, float**, VstInt32) {}

// Texts the host reads back through opcodes 6, 7 and 8: hosts give at least 64 bytes.
constexpr std::size_t kHostTextBytes = 64;

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processDeprecatedEffect;
    cEffect.setParameter = setParameterEffect;
    cEffect.getParameter = getParameterEffect;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCC('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEffect;
    cEffect.processDoubleReplacing = processDoubleEffect;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::copyString(char* dst, const char* src, std::size_t size) {
    if (!dst || size == 0) return;
    std::size_t n = 0;
    if (src)
        while (n + 1 < size && src[n]) ++n;
    if (n) std::memcpy(dst, src, n);
    dst[n] = 0;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::hostVersion(audioMasterCallback audioMaster) {
    if (!audioMaster) return 0;
    return (VstInt32)audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    // The host records what was stored, after clamping and snapping.
    callHost(audioMasterAutomate, index, 0, nullptr, getParameter(index));
}

void AudioEffect::canProcessReplacing(bool state) {
    if (state)
        cEffect.flags |= effFlagsCanReplacing;
    else
        cEffect.flags &= ~effFlagsCanReplacing;
}

void AudioEffect::canDoubleReplacing(bool state) {
    if (state)
        cEffect.flags |= effFlagsCanDoubleReplacing;
    else
        cEffect.flags &= ~effFlagsCanDoubleReplacing;
}

void AudioEffect::programsAreChunks(bool state) {
    if (state)
        cEffect.flags |= effFlagsProgramChunks;
    else
        cEffect.flags &= ~effFlagsProgramChunks;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    if (editor)
        cEffect.flags |= effFlagsHasEditor;
    else
        cEffect.flags &= ~effFlagsHasEditor;
}

VstInt32 AudioEffect::getMasterVersion() {
    VstInt32 v = (VstInt32)callHost(audioMasterVersion);
    return v ? v : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return (VstInt32)callHost(audioMasterCurrentId); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    char text[256];
    switch (opcode) {
        case effOpen:
            open();
            return 0;
        case effClose:
            close();
            delete this;
            return 1;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram((VstInt32)value);
            return 0;
        case effGetProgram:
            return getProgram();
        case effSetProgramName: {
            if (!ptr) return 0;
            // The host's name may lack a NUL: read at most a program name's worth.
            std::memset(text, 0, sizeof(text));
            std::strncpy(text, static_cast<const char*>(ptr), kVstMaxProgNameLen - 1);
            setProgramName(text);
            return 0;
        }
        case effGetProgramName:
            if (!ptr) return 0;
            std::memset(text, 0, sizeof(text));
            getProgramName(text);
            text[sizeof(text) - 1] = 0;
            copyString(static_cast<char*>(ptr), text, kVstMaxProgNameLen);
            return 0;
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
            if (!ptr) return 0;
            std::memset(text, 0, sizeof(text));
            if (opcode == effGetParamLabel)
                getParameterLabel(index, text);
            else if (opcode == effGetParamDisplay)
                getParameterDisplay(index, text);
            else
                getParameterName(index, text);
            text[sizeof(text) - 1] = 0;
            copyString(static_cast<char*>(ptr), text, kHostTextBytes);
            return 0;
        case effSetSampleRate:
            setSampleRate(opt);
            return 0;
        case effSetBlockSize:
            setBlockSize((VstInt32)value);
            return 0;
        case effMainsChanged:
            if (value)
                resume();
            else
                suspend();
            return 0;
        case effEditGetRect:
            if (!ptr) return 0;
            if (!editor) {
                *static_cast<ERect**>(ptr) = nullptr;
                return 0;
            }
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        case effEditOpen:
            return editor && editor->open(ptr) ? 1 : 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effGetChunk:
            if (!ptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (!ptr) return 0;
            return setChunk(ptr, (VstInt32)value, index != 0);
        default:
            return 0;
    }
}
