// A layer's voices rendered ahead: on the samples of a run where the voice pass is left out
// and nothing a voice reads moves (APlugin::standLeft), a plain layer's oscillators run
// voice by voice through all the samples left, with their state in registers; each of
// those samples then only hands the voices its records. The notes' own state is brought to
// where the samples handed over leave it (settle) before anything else reads it: once the
// samples stand no longer, at the end of the run and before a reset.
#pragma once

#include <cstdint>
#include <cstring>

#include "dsp/StereoTypes.h"
#include "dsp/TFilter.h"
#include "engine/TLayerState.h"

struct alignas(64) TRunAhead {
    // The most samples a run leaves to render ahead: a run ends before its 16th.
    static constexpr int kSamples = 15;
    static constexpr int kVoices = 16;

    // The model the records came from, the render loop's sample counter of the next sample
    // to hand over, its records' row, and how many are left from it (0: none; `at` above 0:
    // the notes wait for a settle).
    SourceMode model = kSourceWave;
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
    // Per voice: its note and record; where the samples began, the note's phases and its
    // steps before its first 4-sample step among them (which comes `quarter` samples in)
    // and from it on (Wave: the oscillator and sub-oscillator; FM: the carrier and the two
    // operators). String has no phases: its note's line and age there instead.
    struct Voice {
        TLayerNote* note;
        stereoOverStruct* out;
        union {
            TFilter* filter;  // Wave: its filter, which takes the envelope level while that moves
            float* line;      // String: the note's line, whose slot of each age holds its loop state
        };
        union {
            const double* filterLevel;  // Wave
            float* saved;  // String: what each sample's slot of its line held before it
        };
        float filterAmount;
        int32_t quarter;
        union {
            uint32_t phase;
            int32_t age;  // String
        };
        uint32_t inc, incQ;
        uint32_t sub[2], subInc[2], subIncQ[2];
    } voice[kVoices] = {};
    alignas(64) float record[kSamples][kVoices][4] = {};

    // Whether a render ahead through `samples` (two at least) may be tried on this sample,
    // and the note that one failed: none is tried again while the run stands as it did.
    bool mayRender(uint32_t sampleCounter, int samples) const {
        return samples >= 2 && sampleCounter - noTryFrom >= noTryCount;
    }
    void refuse(uint32_t sampleCounter, int samples) {
        noTryFrom = sampleCounter;
        noTryCount = (uint32_t)samples;
    }
    // Whether this sample's records wait, for the same voices.
    bool holds(uint32_t sampleCounter, int listed, uint32_t generation) const {
        return left > 0 && nextFor == sampleCounter && voices == listed &&
               listGeneration == generation;
    }
    // Records of `samples` samples from this one were written, for these voices.
    void start(SourceMode of, uint32_t sampleCounter, int listed, uint32_t generation,
               int samples) {
        model = of;
        nextFor = sampleCounter;
        voices = listed;
        listGeneration = generation;
        left = samples;
        at = 0;
    }
    // Where this sample's records wait for these voices: before() (what the hand-over must
    // pass on besides the records), then the hand-over. Otherwise the notes settle and, where a
    // render ahead through `samples` may be tried, render() writes the records from this sample
    // on (false: it wrote none, and none is tried again while the run stands), and this
    // sample's are handed over likewise. Returns whether this sample's records were handed over.
    template <class Render, class Before>
    bool handOverOrRender(uint32_t sampleCounter, int listed, uint32_t generation, int samples,
                          Render&& render, Before&& before) {
        if (!holds(sampleCounter, listed, generation)) {
            settle();
            if (!mayRender(sampleCounter, samples)) return false;
            if (!render()) {
                refuse(sampleCounter, samples);
                return false;
            }
        }
        before();
        handOver();
        return true;
    }
    // This sample's records into the voices' own.
    void handOver() {
        const float(*row)[4] = record[at];
        static_assert(sizeof row[0] == sizeof(stereoOverStruct), "a record as the note's");
        for (int vi = 0; vi < voices; ++vi) std::memcpy(voice[vi].out, row[vi], sizeof row[vi]);
        ++handedOver;
        ++nextFor;
        ++at;
        --left;
    }
    // Leaves each note as the samples handed over would have: its phases, its steps and the
    // product of its last record's sub-samples (the feedback's memory); String's, its loop
    // state.
    void settle() {
        const int m = at;
        const int unused = left;
        if (left > 0) ++cutShort;
        at = 0;
        left = 0;
        if (m <= 0) return;
        if (model == kSourceString) return settleStrings(m, unused);
        // (a phase's sums wrap as its masked steps do: the mask keeps the low bits)
        const auto stepped = [](uint32_t phase, uint32_t inc, uint32_t incQ, int q, int m) {
            const uint32_t sum = m <= q ? 2u * inc * (uint32_t)m
                                        : 2u * inc * (uint32_t)q + 2u * incQ * (uint32_t)(m - q);
            return (phase + sum) & kPhaseMask;
        };
        for (int vi = 0; vi < voices; ++vi) {
            const Voice& s = voice[vi];
            TLayerNote& n = *s.note;
            const bool quartered = m > s.quarter;
            n.phase = stepped(s.phase, s.inc, s.incQ, s.quarter, m);
            if (quartered) n.inc = s.incQ;
            if (model == kSourceFM) {
                for (int k = 0; k < 2; ++k) {
                    n.opPhase[k] = stepped(s.sub[k], s.subInc[k], s.subIncQ[k], s.quarter, m);
                    if (quartered) n.opInc[k] = s.subIncQ[k];
                }
            } else if (quartered) {
                n.subInc = s.subIncQ[0];
            }
            const float* last = record[m - 1][vi];
            n.feedPrev = last[0] * last[2] * 0.5f;
        }
    }
    // String's notes after m samples handed over, of m + unused rendered: each note's loop
    // state is what its last sample wrote into its line, and the slots of the samples not
    // handed over hold again what they held: the line is the one the samples handed over
    // leave, whatever reads it next.
    void settleStrings(int m, int unused) {
        constexpr uint32_t kMask = kStringLineSize - 1;
        for (int vi = 0; vi < voices; ++vi) {
            const Voice& s = voice[vi];
            s.note->loopState = s.line[(uint32_t)(s.age + m - 1) & kMask];
            for (int j = m; j < m + unused; ++j) s.line[(uint32_t)(s.age + j) & kMask] = s.saved[j];
        }
    }
};
