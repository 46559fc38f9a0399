// The render loop. Until voices exist it renders silence, but it already keeps the
// running sample counter and its 4096-sample boundary, where a pending program is
// applied and the editor is asked to refresh.
#include <cstring>

#include "plugin/uPlugin.h"

void APlugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    for (VstInt32 i = 0; i < sampleFrames; ++i) {
        if ((blockCounter & kSlowTaskMask) == 0) {
            if (editorRefreshRequest) updateEditorScreen();
            if (presetPending) setPresetParameters();
        }
        ++blockCounter;
    }
    for (int ch = 0; ch < 2; ++ch)
        if (outputs[ch]) std::memset(outputs[ch], 0, sizeof(float) * (std::size_t)sampleFrames);
}

void APlugin::setSampleRate(float rate) {
    if (!(rate >= 5.0f && rate <= 500000.0f)) return;
    const float diff = rate - curSampleRate;
    if (diff < 1e-5f && diff > -1e-5f) return;
    curSampleRate = rate;
    curSampleRateInv = 1.0f / rate;
    overSampleRate = 2.0f * rate;
    overSampleRateInv = 1.0f / overSampleRate;
    AudioEffect::setSampleRate(rate);
    updateBaseNote();
    reset();
}

void APlugin::reset() {
    updateMIDIChannel(false);
    setEverythingOff();
}

void APlugin::setEverythingOff() { env.silenceAll(); }

void APlugin::updateBaseNote() { baseNoteIncrement = 110.0 / (double)curSampleRate; }

