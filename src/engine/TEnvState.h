// Envelope working state of every voice: 25 envelopes (the Amp envelope, then eight per
// layer: filter, pitch, volume, wire, FM 1 pitch, FM 1 volume, FM 2 pitch, FM 2 volume)
// times 16 voices times up to 8 stacked sub-elements (chord notes and unison copies).
//
// Envelopes are computed once per 16 samples of the voice; between two updates the running
// level moves linearly toward the new target by one increment per sample.
#pragma once

#include <cstdint>

constexpr int kNumEnvs = 25;
constexpr int kEnvSubs = 8;
constexpr int kEnvVoices = 16;
constexpr int kEnvLayers = 3;

// Stages of one envelope; Release at phase 0 is also "ended".
enum EnvStage : int32_t {
    kEnvAttack = 0,
    kEnvDecay = 1,
    kEnvSustain = 2,
    kEnvRelease = 3,
};

// Envelope numbers of each layer's eight envelopes.
constexpr int ENV_FILTER[3] = {1, 9, 17};
constexpr int ENV_PITCH[3] = {2, 10, 18};
constexpr int ENV_VOL[3] = {3, 11, 19};
constexpr int ENV_WIRE[3] = {4, 12, 20};
constexpr int ENV_FM_1_PITCH[3] = {5, 13, 21};
constexpr int ENV_FM_1_VOL[3] = {6, 14, 22};
constexpr int ENV_FM_2_PITCH[3] = {7, 15, 23};
constexpr int ENV_FM_2_VOL[3] = {8, 16, 24};

struct TEnvState {
    // The per-sub-element working values, indexed [voice][sub-element][envelope] so that
    // one voice's envelopes sit together: the per-sample step of a voice touches a few
    // cache lines. They sit in one block so that silencing every envelope at once (a
    // program change, a reset) is one clear. Read a running level with envLevel().
    struct Work {
        double run[kEnvVoices][kEnvSubs][kNumEnvs];     // running level, read per sample
        double step[kEnvVoices][kEnvSubs][kNumEnvs];    // per-sample increment
        double target[kEnvVoices][kEnvSubs][kNumEnvs];  // level at the end of the block
        double prevTarget[kEnvVoices][kEnvSubs][kNumEnvs];
        double prevTarget2[kEnvVoices][kEnvSubs][kNumEnvs];
        double phase[kEnvVoices][kEnvSubs][kNumEnvs];         // position within the stage, 0..1
        double releasePhase[kEnvVoices][kEnvSubs][kNumEnvs];  // where a release would start
        double releaseLevel[kEnvVoices][kEnvSubs][kNumEnvs];
        int32_t stage[kEnvVoices][kEnvSubs][kNumEnvs];  // EnvStage
    } work;
    // Per envelope and voice: the time factor set at note start (1.0 but for the layer
    // volume envelopes, which follow key and velocity).
    double rate[kNumEnvs][kEnvVoices];

    // The envelopes updated and advanced: Amp first, then each layer's in use, in order.
    int32_t list[kNumEnvs];
    int32_t listCount;
    // The same list for the per-sample work (kept by setList): per envelope all bits set
    // when it is listed, so that one vector pass can advance every running level by
    // (step & mask), leaving the others exactly as they are; and the listed envelopes as
    // publishing groups of one or two neighbours whose source slots follow each other.
    uint64_t advanceMask[kNumEnvs];
    // (Not char-sized: the float stores of publishing could otherwise alias these fields and
    // make the compiler reload them after every store.)
    struct PublishGroup {
        int32_t env;    // first envelope of the group
        int32_t slot;   // its source slot; level and 1 - level go to slot and slot + 1
        int32_t count;  // 1 or 2 (then the next envelope's level goes to slot + 2 and + 3)
    };
    PublishGroup publish[kNumEnvs];
    int32_t publishCount;
    // Per voice: some listed envelope may have a step other than zero (0: all its running
    // levels stand still until the next update). Kept by setEnvs; setList sets it.
    uint8_t moving[kEnvVoices];

    // Per envelope: its attack destination is the target of some modulation slot, so it
    // runs an attack from 0 at note start instead of starting at full level.
    uint8_t attackModded[kNumEnvs];
    // The Amp attack destination is the target of some modulation slot.
    uint8_t ampAttackModded;
    // Per layer: the source of the (not bypassed) slot that targets the layer's
    // retrigger destination, -1 when none does.
    int32_t retrigSource[kEnvLayers];
    // Per layer and voice: the retrigger source's value at the previous update.
    float retrigPrev[kEnvLayers][kEnvVoices];
    // Per voice: a step of the arpeggiator started (source 112 as retrigger); cleared
    // when seen.
    uint8_t arpGateMark[kEnvVoices];

    // Every envelope of every voice at rest and silent (stage Attack, levels 0).
    void silenceAll();
    // Sets list and listCount (and what is kept with them) to `count` envelopes.
    void setList(const int32_t* envs, int count);
    // Everything, the per-voice time factors included, to its start-up state.
    void clearAll();
    // The running level of one envelope of a voice's sub-element.
    double envLevel(int envNum, int voice, int sub) const { return work.run[voice][sub][envNum]; }
    int32_t envStage(int envNum, int voice, int sub) const {
        return work.stage[voice][sub][envNum];
    }
};
