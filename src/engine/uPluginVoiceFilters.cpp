// Preparing the layer filters of every voice for the current sample rate.
#include <cstring>

#include "plugin/uPlugin.h"

// Runs at start-up and from every engine reset (so at every sample-rate change): each
// layer's multimode, band-pass, high-pass and low-pass filter of each voice takes the rate
// and starts from silence, and the master brick-wall filter forgets its past. Cheap enough
// for the audio thread: the comb lines of the multimode filters are cleared lazily.
void APlugin::initFilters() {
    for (int layer = 0; layer < kNumLayers; ++layer) {
        for (int v = 0; v < kNumVoices; ++v) {
            voiceFilter[layer][v].init(curSampleRate);
            voiceBPFilter[layer][v].init(curSampleRate);
            voiceHPFilter[layer][v].init(curSampleRate);
            voiceLPFilter[layer][v].init(curSampleRate);
        }
    }
    std::memset(brickState, 0, sizeof(brickState));
    // Each init() ends in a reset, so every filter is clean but those a listed voice runs
    // from here on (a voice releasing through an engine reset).
    uint32_t listed = 0;
    for (int a = 0; a < activeVoiceCount; ++a) listed |= 1u << (activeVoiceList[a] & 31);
    for (int layer = 0; layer < kNumLayers; ++layer)
        for (int v = 0; v < kNumVoices; ++v)
            voiceFiltersClean[layer][v] =
                (uint8_t)(kUsesAllFilters & ((listed >> v) & 1u ? ~layerFilterUse[layer] : ~0u));
}
