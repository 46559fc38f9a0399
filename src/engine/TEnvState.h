// Envelope working state of every voice: 25 envelopes (amp, then eight per layer) times
// 16 voices times up to 8 stacked sub-elements (chord notes and unison copies).
#pragma once

#include <cstdint>

constexpr int kNumEnvs = 25;
constexpr int kEnvSubs = 8;
constexpr int kEnvVoices = 16;

struct TEnvState {
    int32_t stage[kNumEnvs][kEnvVoices][kEnvSubs];
    // The per-sub-element working values. They sit together so that silencing every
    // envelope at once (a program change) is one clear of this block.
    struct Work {
        double target[kNumEnvs][kEnvVoices][kEnvSubs];
        double increment[kNumEnvs][kEnvVoices][kEnvSubs];
        double prevTarget[kNumEnvs][kEnvVoices][kEnvSubs];
        double prevTarget2[kNumEnvs][kEnvVoices][kEnvSubs];
        double level[kNumEnvs][kEnvVoices][kEnvSubs];
        double phase[kNumEnvs][kEnvVoices][kEnvSubs];
        double releasePhase[kNumEnvs][kEnvVoices][kEnvSubs];
        double releaseLevel[kNumEnvs][kEnvVoices][kEnvSubs];
    } work;
    double rate[kNumEnvs][kEnvVoices];

    // Every envelope of every voice at rest and silent.
    void silenceAll();
};
