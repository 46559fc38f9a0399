// What the editor shows of the running engine, published by the audio thread at the end of
// each render call for the UI thread's idle (see TEngineView).
#include "plugin/uPlugin.h"

void APlugin::publishEngineView() {
    // Only the editor reads it: with no editor open the blocks carry no extra work.
    if (!isEditorOpen()) return;
    TEngineView& v = engineView;
    constexpr auto relaxed = std::memory_order_relaxed;
    const int voice = lastVoice;
    v.lastVoice.store(voice, relaxed);
    v.curChord.store(getCurChord(), relaxed);
    v.modFXMode.store(modFXMode, relaxed);
    v.arpLedPos.store(getArpLedPos(), relaxed);
    v.arpSeq.store(getArpSeq(), relaxed);
    v.arpNumOfSteps.store(getArpNumOfSteps(), relaxed);
    v.arpLoopStart.store(getArpLoopStart(), relaxed);
    v.gaterPos.store(getGaterPos(), relaxed);
    v.anyVoicePlaying.store(getIsAnyVoicePlaying() ? 1 : 0, relaxed);
    v.arpPlaying.store(getArpPlaying() ? 1 : 0, relaxed);
    if (isValidVoice(voice)) {
        const float* dest = modDestVoice[voice];
        for (int d = 0; d < kModDestSlots; ++d) v.modDest[d] = dest[d];
    }
    v.mainVolGain = mainVolGain;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        v.layerVolGain[layer] = layerVolGain[layer];
        v.impVolGain[layer] = impVolGain[layer];
        v.subVolGain[layer] = subVolGain[layer];
        v.fm1VolGain[layer] = fm1VolGain[layer];
        v.fm2VolGain[layer] = fm2VolGain[layer];
    }
    // Last, with release: a reader that sees this counter sees the scope samples before it.
    v.sampleCounter.store(sampleCounter, std::memory_order_release);
}
