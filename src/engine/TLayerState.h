// Sound state of the three layers of every voice: which model each layer runs, where its
// output goes, the per-voice control values refreshed every 16 samples of the voice, and
// the running state of every stacked note (chord note or unison copy) of a voice layer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/StereoTypes.h"

constexpr int kNumLayers = 3;
constexpr int kNumVoices = 16;

// The sound model of a layer (parameter "Source" of the layer).
enum SourceMode : int32_t {
    kSourceWire = 0,
    kSourceString = 1,
    kSourceFM = 2,
    kSourceWave = 3,
};

// Where a layer's output enters the effect chain (parameter "Output Destination").
enum LayerDest : int32_t {
    kLayerDestDistortion = 0,
    kLayerDestModFX = 1,
    kLayerDestDelay = 2,
    kLayerDestReverb = 3,
    kLayerDestOutput = 4,
};

// Stacked notes a voice layer renders: the most the voice filters serve in one call.
constexpr int kLayerNotes = 6;
constexpr int kStringLineSize = 16384;      // string delay line, power of two
constexpr int kStringHistSize = 8192;       // excitation history for the pluck position
// Room after each string line and history, one cache line: lines a power of two apart put
// the same index of every note's line into one cache set, and the notes of a chord (which
// write the same index) would keep evicting each other.
constexpr int kStringLinePad = 16;
constexpr uint32_t kPhaseMask = 0xFFFFFFu;  // oscillator phases are 24-bit

// The String model's delay lines and excitation histories of every layer, voice and stacked
// note: 28 MB that only String notes read, one line of each at a time. Held apart from the
// plug-in object, so that the per-voice state every sample reads lies close together.
struct TStringLines {
    float line[kNumLayers][kNumVoices][kLayerNotes][kStringLineSize + kStringLinePad];
    float hist[kNumLayers][kNumVoices][kLayerNotes][kStringHistSize + kStringLinePad];
};

// A note's output as one value: the mean of its two sub-samples on both sides.
inline float noteRecordLevel(const stereoOverStruct& r) {
    return (r.sub[0].left + r.sub[0].right + r.sub[1].left + r.sub[1].right) * 0.25f;
}

// Running state of one stacked note of one voice layer. What a model reads every sample
// sits in the first cache line, what it reads every fourth sample in the second; the
// records are line-aligned so that neither straddles two lines.
struct alignas(64) TLayerNote {
    // Oscillator phase (Wire restart phase, FM carrier, Wave oscillator), 24-bit.
    uint32_t phase;
    // Phase step per sub-sample (Wire: per quarter of a host sample), set every 4 samples.
    uint32_t inc;
    // FM operators 1 and 2: phases and steps per sub-sample.
    uint32_t opPhase[2];
    uint32_t opInc[2];
    // Wave sub-oscillator.
    uint32_t subPhase;
    uint32_t subInc;
    // Wire: read position in the excitation tables, its low 16 bits (where each period
    // restarts: wireStart; between restarts it counts on unmasked, every read masks it).
    int32_t wirePos;
    // String: excitation read position.
    int32_t excitePos;
    // Wave and FM: sub-sample 1 x sub-sample 2 x 0.5 of the previous host sample.
    float feedPrev;
    // Wavetable band of the oscillator and of the sub-oscillator (from the key index).
    int32_t band;
    int32_t subBand;
    // String: loop period, drift offset and loop filter memory.
    float period;     // loop period D in samples
    float drift;      // period offset from the drift oscillator
    float loopState;  // one-pole loop filter memory
    // FM operator base steps in cycles per sub-sample (before the pitch envelopes).
    double opBase[2];
    // The last argument and result of the note's pitch-envelope exponential and of the two
    // operator pitch envelopes' (a result of 0 marks an empty slot): a held note whose
    // envelopes stand still recomputes none of them.
    double expIn[3];
    double expOut[3];
    // Wire: where each period restarts. String: the drift oscillator.
    int32_t wireStart;
    uint32_t driftPhase;
    uint32_t driftStep;
    // String: the whole and fractional part of the loop read's delay (period plus drift),
    // set with them; and what its excitation history is known to hold: ages histClear + 1
    // to histAge were written in turn, all with +0 (histClear kHistAllZero: every slot
    // holds +0, histAge unused). All 0 from the note start is consistent.
    int32_t lineDelay;
    float lineFrac;
    int32_t histAge;
    int32_t histClear;
    // String: the pluck delay and the bits of the pluck setting and period it came from;
    // the bits of the step the period came from, known (1) while the drift is off.
    uint32_t pluckKey[2];
    int32_t pluckDelay;
    uint64_t stepKey;
    int32_t stepKnown;
};
constexpr int32_t kHistAllZero = INT32_MIN;

// Control values of one voice layer, refreshed every 16 samples of the voice. The first
// cache line holds everything a model and its filters read every sample (or every fourth):
// the values all models share, then those of the layer's model, which share their places
// with the other models' (each model reads only its own, and a change of model writes them
// anew before its first sample). The memos the refresh reads follow in the next lines.
struct alignas(64) TLayerVoice {
    int32_t model;         // SourceMode + 1 the values were computed for, 0 none
    float pitchEnvAmount;  // octaves at full pitch envelope
    // Wire: the oscillator step per sub-sample (2^24 per cycle) before the layer semi/fine
    // destinations (after them, times layerFineSemi, while pitchEnvAmount is 0); Wave and
    // FM: the bits of the phase destination and the phase offset they give.
    union {
        double layerInc;
        uint32_t phaseOffset[2];
    };
    // FM and Wave: the step with the semi/fine destinations applied; Wire: the bits of the
    // mix and offset destinations its values below came from.
    union {
        double layerIncMod;
        uint32_t wireKey[2];
    };
    float filterEnvAmount;
    float layerFineSemi;  // 2^(destination fine / 12 + destination semi)
    // The model's own values. Wave uses the first seven, FM all (the last three from its
    // wave-mix destination, per sample), Wire all (the first three from its destinations,
    // per sample), String the first five and stringInc.
    union {
        int32_t symIndex;  // FM and Wave
        float feedback;    // String
        float wireMix;     // Wire: the noise mix and its complement, and the table offset
    };
    union {
        float feed;  // FM and Wave
        float damping;
        float wireKeep;
    };
    union {
        float filterSep;  // Wave
        float op1PitchEnvAmount;
        float impulseLength;
        uint32_t wireOffset;
    };
    union {
        float filterQ;  // Wave and Wire
        float op2PitchEnvAmount;
        float impulseShape;
    };
    union {
        float vowel;  // Wave
        float wireSep;
        float pluck;
        uint32_t fmBlendKey;  // FM: the bits of the wave-mix destination, and the first of
    };                        // the two shapes and the weight of the second it gives
    union {
        int32_t subSymIndex;  // Wave
        float wireQ;
        int32_t fmBlendA;
    };
    union {
        double stringInc;  // String: cycles per host sample
        float subRatio;    // Wave
        float wireEnvAmount;
        float fmBlendF;
    };

    // (Of the sub-oscillator's wave-mix memo below.)
    bool subBlendValid;
    // The key-tracking arguments (amount, key) the voice's filters last took since the
    // engine set them up (see trackKnown): 0 the multimode and low-pass pair, 1 the Wire
    // band-pass.
    uint32_t trackBits[2][2];
    // The last argument and result of each exponential above: a held note without
    // modulation recomputes none of them (a result of 0 marks an empty slot). The slots
    // every model uses come first, then Wire's and Wave's, then String's and FM's.
    struct Memo {
        double in, out;
    } memo[14];
    // The last wave-mix value of the sub-oscillator and the two shapes and weight it
    // blends: the split into whole and fraction runs once per change.
    float subBlendIn;
    int32_t subBlendA;
    int32_t subBlendB;
    float subBlendF;
    // Whether trackBits hold arguments the filters took, and whether ctlKey holds the
    // inputs the values above were computed from (a note start clears it: it clears the
    // notes' operator steps). Beside the key: a refresh whose inputs all stand reads the
    // first line and the key's only.
    uint8_t trackKnown[2];
    uint8_t ctlKeyKnown;
    // The bits of every input the last refresh read: the voice's (kCtlVoiceKey words), then
    // the layer's (kCtlLayerKey). A refresh whose inputs all stand writes what is there.
    static constexpr int kCtlVoiceKey = 20;
    static constexpr int kCtlLayerKey = 24;
    alignas(16) uint32_t ctlKey[kCtlVoiceKey + kCtlLayerKey];
};
static_assert(offsetof(TLayerVoice, subBlendValid) == 64, "the per-sample values fill one line");
static_assert(offsetof(TLayerVoice, trackKnown) / 64 == offsetof(TLayerVoice, ctlKey) / 64 &&
                  offsetof(TLayerVoice, ctlKeyKnown) / 64 == offsetof(TLayerVoice, ctlKey) / 64,
              "a standing refresh's flags share the key's first line");
static_assert(sizeof(TLayerVoice) == 512, "the refresh's key fills the room to the eighth line");

// What a layer's tail multiplies each voice's envelope levels by, kept from one sample to
// the next while its inputs stand (the layer's pan and main pan, its volume gain, and of the
// voice its velocity gain and the layer's and its own volume and pan destinations): per
// voice the two sides of its pan and its gain, and `fresh` all ones while they stand (and
// its note has started). Whatever writes a voice's destination row (its modulation pass,
// a note start, a reset) or its velocity gains clears the voice's in every layer
// (dropTailLevels); the layer's own inputs are kept beside (their bits), and a change of
// either clears every voice's. Where every listed voice has one note, each eight of the
// list (an octet) keep their levels and chord gains in lanes as well, while the list
// stands there and none of them was dropped since the octet took them (`dropped`, a bit
// per voice; a note's chord gains are set only with a drop of its voice).
constexpr int kTailVoices = 16;
static_assert(kTailVoices <= 32, "a bit of `dropped` for every voice");
struct alignas(64) TTailLevels {
    struct alignas(16) Voice {
        float panL, panR, gain;
        uint32_t fresh;
    } voice[kTailVoices];
    uint32_t panBase, volGain;
    uint32_t dropped;  // the voices cleared since an octet took its lanes
    // For the layer's controls (setLayerControls): bit v while voice v's record of their
    // inputs (TLayerVoice::ctlKey) holds its destination row as it stands and the layer's
    // own inputs (parameters and pitches) as ctlShared does. Whatever writes the row clears
    // the voice's bit (below), a change of ctlShared every bit. While ctlSharedKnown is 1,
    // ctlShared held the inputs as they stood at sample ctlSharedAt of this render call.
    static constexpr int kCtlShared = 10;
    uint16_t ctlStands;
    uint8_t ctlSharedKnown;
    uint32_t ctlSharedAt;
    uint32_t ctlShared[kCtlShared];
    struct alignas(32) Octet {
        float gain[8], chordL[8], chordR[8], panL[8], panR[8];
        int32_t rows[8];   // each lane's voice's first envelope level (its index in run)
        int32_t voice[8];  // the lanes' voices, the last repeated past those taken
        uint32_t voices;   // the same, a bit each
        int32_t taken;     // 0: the lanes hold nothing
        // The lanes' left and right gains as last formed, for the sample after the one
        // they were formed at (gainsFor, the render loop's sample counter); a take of the
        // lanes leaves them for none.
        uint32_t gainsFor;
        alignas(32) float gainL[8], gainR[8];
    } octet[2];
};
static_assert(kTailVoices <= 16, "a bit of ctlStands for every voice");
static_assert(sizeof(TTailLevels) == 960, "the controls' record sits in the room the alignment leaves");
// Voice v's record of the layers' controls' inputs no longer holds its row (the row was
// written).
inline void dropControlsStand(TTailLevels (&layers)[kNumLayers], int v) {
    for (TTailLevels& l : layers) l.ctlStands = (uint16_t)(l.ctlStands & ~(1u << v));
}
inline void dropTailLevels(TTailLevels (&layers)[kNumLayers], int v) {
    for (TTailLevels& l : layers) {
        l.voice[v].fresh = 0;
        l.dropped |= 1u << v;
    }
    dropControlsStand(layers, v);
}
