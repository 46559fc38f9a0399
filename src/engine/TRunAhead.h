// A layer's voices rendered ahead: on the samples of a run where the voice pass is left out
// and nothing a voice reads moves (APlugin::standLeft), a plain layer's oscillators run
// voice by voice through all the samples left, with their state in registers; each of
// those samples then only hands the voices its records. The notes' own state is brought to
// where the samples handed over leave it (settle) before anything else reads it: once the
// samples stand no longer, and at the end of the run.
#pragma once

#include <cstdint>

#include "dsp/StereoTypes.h"
#include "dsp/TFilter.h"
#include "engine/TLayerState.h"

struct alignas(64) TWaveAhead {
    // The most samples a run leaves to render ahead: a run ends before its 16th.
    static constexpr int kSamples = 15;
    static constexpr int kVoices = 16;

    // The render loop's sample counter of the next sample to hand over, its records' row,
    // and how many are left from it (0: none; `at` above 0: the notes wait for a settle).
    uint32_t nextFor = 0;
    int32_t at = 0;
    int32_t left = 0;
    uint64_t handedOver = 0;  // samples whose records were handed over, all told
    uint64_t cutShort = 0;    // settles with samples rendered ahead that were never handed over
    // The voice list the records follow (its generation and length).
    uint32_t listGeneration = 0;
    int32_t voices = 0;
    // No render ahead is tried again on the noTryCount samples from noTryFrom (one failed
    // there, and the run stands as it did).
    uint32_t noTryFrom = 0;
    uint32_t noTryCount = 0;
    // Per voice: its note and record; where the samples began, the note's phase, its steps
    // before its first 4-sample step among them (which comes `quarter` samples in) and from
    // it on.
    struct Voice {
        TLayerNote* note;
        stereoOverStruct* out;
        TFilter* filter;  // its filter, which takes its envelope level while that moves
        const double* filterLevel;
        float filterAmount;
        uint32_t phase, inc, subInc, incQ, subIncQ;
        int32_t quarter;
    } voice[kVoices] = {};
    alignas(64) float record[kSamples][kVoices][4] = {};
};
