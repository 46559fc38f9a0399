// A layer's voices rendered ahead: on the samples of a run where the voice pass is left out
// and nothing a voice reads moves (APlugin::standLeft), a steady layer's oscillators run voice
// by voice through all the samples left, with their state in registers; each of those
// samples then only hands the voices what was worked out for it.
#pragma once

#include <cstdint>

#include "dsp/StereoTypes.h"
#include "engine/TLayerState.h"

struct alignas(64) TWaveAhead {
    // What one note holds after one sample: its record and the state the sample leaves.
    struct alignas(32) Entry {
        float record[4];  // left 0, right 0, left 1, right 1
        uint32_t phase, inc, subInc;
        float feedPrev;
    };
    static_assert(sizeof(Entry) == 32, "an entry fills half a cache line");
    // The most samples a run leaves to render ahead: a run ends before its 16th.
    static constexpr int kSamples = 15;
    static constexpr int kVoices = 16;

    // The render loop's sample counter of the next sample to hand over, its entries' row,
    // and how many are left from it (0: nothing held).
    uint32_t nextFor = 0;
    int32_t at = 0;
    int32_t left = 0;
    uint64_t handedOver = 0;  // samples whose entries were handed over, all told
    // The voice list the entries follow (its generation and length), its voices' notes and
    // records.
    uint32_t listGeneration = 0;
    int32_t voices = 0;
    // No render ahead is tried again on the noTryCount samples from noTryFrom (one failed
    // there, and the run stands as it did).
    uint32_t noTryFrom = 0;
    uint32_t noTryCount = 0;
    TLayerNote* note[kVoices] = {};
    stereoOverStruct* out[kVoices] = {};
    Entry entry[kSamples][kVoices] = {};
};
