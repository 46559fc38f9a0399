// What the audio thread publishes of the engine for the editor, written and read whole with
// relaxed atomics (see APlugin::engineView).
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/ModRoute.h"
#include "engine/TLayerState.h"
#include "plugin/SharedValue.h"

struct TEngineView {
    std::atomic<uint32_t> sampleCounter{0};  // the scope rings are written up to here
    std::atomic<int32_t> lastVoice{0};
    std::atomic<int32_t> curChord{-1};
    std::atomic<int32_t> modFXMode{0};
    std::atomic<int32_t> arpLedPos{-1};
    std::atomic<int32_t> arpSeq{0};
    std::atomic<int32_t> arpNumOfSteps{1};
    std::atomic<int32_t> arpLoopStart{0};
    std::atomic<int32_t> gaterPos{0};
    std::atomic<uint8_t> anyVoicePlaying{0};
    std::atomic<uint8_t> arpPlaying{0};
    // The last voice's modulation destinations and the level gains the knobs show.
    SharedFloat modDest[kModDestSlots];
    SharedFloat mainVolGain;
    SharedFloat layerVolGain[kNumLayers], impVolGain[kNumLayers], subVolGain[kNumLayers];
    SharedFloat fm1VolGain[kNumLayers], fm2VolGain[kNumLayers];
};
