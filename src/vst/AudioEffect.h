// Plug-in side of the VST 2.4 interface: owns the AEffect record the host holds, routes
// the host's C calls to virtual members and offers the host-callback helpers plug-ins use.
#pragma once

#include "vst2abi.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float newRate) { sampleRate = newRate; }
    virtual void setBlockSize(VstInt32 newSize) { blockSize = newSize; }
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        VstInt32 /*sampleFrames*/) {}

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) {
        if (name) *name = 0;
    }
    virtual void getParameterLabel(VstInt32 /*index*/, char* label) {
        if (label) *label = 0;
    }
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) {
        if (text) *text = 0;
    }
    virtual void getParameterName(VstInt32 /*index*/, char* text) {
        if (text) *text = 0;
    }
    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }

    virtual void setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true);
    virtual void canDoubleReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

    virtual void setEditor(AEffEditor* newEditor);
    virtual AEffEditor* getEditor() { return editor; }

    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();

    virtual float getVu() { return 0.0f; }

    // Host's version, asked with all other arguments zero; 0 means the host is no VST host.
    static VstInt32 hostVersion(audioMasterCallback audioMaster);

protected:
    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;

    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // Bounded string copy into a host buffer of size bytes (size >= 1).
    static void copyString(char* dst, const char* src, std::size_t size);
};
