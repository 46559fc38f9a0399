#include "AudioEffectX.h"

#include <cstring>

#include "AEffEditor.h"

AudioEffectX::AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms,
                           VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    char text[256];
    switch (opcode) {
        case effProcessEvents:
            return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
        case effCanBeAutomated:
            return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter:
            return ptr && string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
        case effGetProgramNameIndexed: {
            if (!ptr) return 0;
            std::memset(text, 0, sizeof(text));
            if (!getProgramNameIndexed((VstInt32)value, index, text)) return 0;
            text[sizeof(text) - 1] = 0;
            copyString(static_cast<char*>(ptr), text, kVstMaxProgNameLen);
            return 1;
        }
        case effGetInputProperties:
            return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetOutputProperties:
            return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
        case effGetPlugCategory:
            return getPlugCategory();
        case effSetBypass:
            return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: {
            if (!ptr) return 0;
            std::memset(text, 0, sizeof(text));
            bool ok = opcode == effGetEffectName     ? getEffectName(text)
                      : opcode == effGetVendorString ? getVendorString(text)
                                                     : getProductString(text);
            text[sizeof(text) - 1] = 0;
            copyString(static_cast<char*>(ptr), text,
                       opcode == effGetEffectName ? (std::size_t)kVstMaxEffectNameLen
                                                  : (std::size_t)kVstMaxVendorStrLen);
            return ok ? 1 : 0;
        }
        case effGetVendorVersion:
            return getVendorVersion();
        case effVendorSpecific:
            return vendorSpecific(index, value, ptr, opt);
        case effCanDo:
            return ptr ? canDo(static_cast<char*>(ptr)) : 0;
        case effGetTailSize:
            return getGetTailSize();
        case effGetParameterProperties:
            return ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr))
                       ? 1
                       : 0;
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key;
            key.character = index;
            key.virt = (unsigned char)value;
            key.modifier = (unsigned char)opt;
            return (opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key)) ? 1
                                                                                             : 0;
        }
        case effSetEditKnobMode:
            return editor && editor->setKnobMode((VstInt32)value) ? 1 : 0;
        case effStartProcess:
            return startProcess();
        case effStopProcess:
            return stopProcess();
        case effSetProcessPrecision:
            return setProcessPrecision((VstInt32)value) ? 1 : 0;
        default:
            return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    // A synth asks for MIDI each time it is switched on, as 2.x hosts expect.
    if (cEffect.flags & effFlagsIsSynth) wantEvents();
}

VstPlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }

void AudioEffectX::isSynth(bool state) {
    if (state)
        cEffect.flags |= effFlagsIsSynth;
    else
        cEffect.flags &= ~effFlagsIsSynth;
}

bool AudioEffectX::wantEvents(VstInt32 filter) {
    return callHost(audioMasterWantMidi, 0, filter) != 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

VstInt32 AudioEffectX::canHostDo(char* text) {
    return text ? (VstInt32)callHost(audioMasterCanDo, 0, 0, text) : 0;
}

bool AudioEffectX::getHostVendorString(char* text) {
    return text && callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    return text && callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

VstInt32 AudioEffectX::getHostVendorVersion() {
    return (VstInt32)callHost(audioMasterGetVendorVersion);
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                           float floatArg) {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}
