// The VST 2.x extensions: events, time info, pins, categories, capability queries and
// the host strings, on top of AudioEffect.
#pragma once

#include "AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    void resume() override;

    virtual VstInt32 processEvents(VstEvents* /*events*/) { return 0; }
    virtual bool canParameterBeAutomated(VstInt32 index) { return index >= 0 && index < numParams; }
    virtual bool string2parameter(VstInt32 /*index*/, char* /*text*/) { return false; }
    virtual bool getProgramNameIndexed(VstInt32 /*category*/, VstInt32 /*index*/,
                                       char* /*text*/) {
        return false;
    }
    virtual bool getInputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/) {
        return false;
    }
    virtual bool getOutputProperties(VstInt32 /*index*/, VstPinProperties* /*properties*/) {
        return false;
    }
    virtual bool getParameterProperties(VstInt32 /*index*/, VstParameterProperties* /*p*/) {
        return false;
    }
    virtual VstPlugCategory getPlugCategory();
    virtual bool setBypass(bool /*onOff*/) { return false; }
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 /*lArg*/, VstIntPtr /*lArg2*/, void* /*ptrArg*/,
                                     float /*floatArg*/) {
        return 0;
    }
    virtual VstInt32 canDo(char* /*text*/) { return 0; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool setProcessPrecision(VstInt32 precision) { return precision == 0; }

    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);

    virtual void isSynth(bool state = true);
    virtual void noTail(bool /*state*/ = true) {}
    virtual bool wantEvents(VstInt32 filter = 1);
    virtual VstTimeInfo* getTimeInfo(VstInt32 filter);
    virtual bool sendVstEventsToHost(VstEvents* events);
    virtual bool ioChanged();
    virtual bool updateDisplay();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual VstInt32 canHostDo(char* text);
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                         float floatArg);
};
