// The multimode filters of a layer's quads of one-note voices, held in eight lanes from one
// sample to the next: four voices' cutoff lanes (what an envelope step compares and
// writes), their state-variable tuning and damping and the kernel's states, one voice's
// two lanes after the other's (as the filter's quad run merges them). A quad that stands
// (the same four voices, every filter following its envelope or settled) then neither
// gathers its filters' fields nor scatters them back every sample.
//
// Only the state-variable modes of one section are held, and only while their retuning is
// a table read (TFilter::sineHolds0): a step never recomputes coefficients there.
//
// Ownership, as for the high-pass octets (HighPassOctets): a filter whose fields a quad
// holds has them only there, and its `holder` points at the bank. step() is the one run of
// a held filter; every entry point of the filter that would read or write those fields
// (its resets, prepare(), runs, envelope steps, the effect kernel) releases the bank
// first, writing the lanes back as the runs would have left them. The rest of the filter
// (memo, mode, the cutoff inputs) stays its own and is read there.
#pragma once

#include <cstdint>

#include "dsp/TFilter.h"

struct alignas(32) HeldMultimodeQuad {
#if TAV_WIDE_LANES
    Lanes8 svF, svD, svLow, svBand;            // the kernel's tuning, damping and states
    Lanes8 lastV, fTarget, fUsed;              // the first pair's cutoffs (PairCutoffs)
    filtermath::LaneInts8 lastEntry;                     // and their table entries
    Lanes8 common, gain, ceilings, halfInv;    // what a step reads and only prepare() writes
#endif
    TFilter* filter[4] = {};
    int32_t voice[4] = {};  // the caller's names of the voices (for it to tell they stand)
    int mode = 0;
    bool live = false;
};

class HeldMultimode {
public:
    static constexpr int kQuads = 4;
    HeldMultimodeQuad quad[kQuads];

    // Whether quad q holds the filters of these voices (in this order).
    bool holds(int q, const int32_t (&voice)[4]) const {
        const HeldMultimodeQuad& h = quad[q];
        return h.live && h.voice[0] == voice[0] && h.voice[1] == voice[1] &&
               h.voice[2] == voice[2] && h.voice[3] == voice[3];
    }
    // Quad q takes the fields of four distinct filters that can run as one quad
    // (TFilter::canRunPair) in a mode it holds; false, with nothing taken, where it cannot
    // hold them (another mode, a retuning that recomputes, a field whose two note halves
    // differ, or a processor without AVX2).
    bool take(int q, TFilter* const (&f)[4], const int32_t (&voice)[4]);
    // One sample of held quad q: the envelope step of each filter whose bit is set in
    // `follow` (1 for the first, 8 for the last; the others are settled), then the run on
    // the voices' lanes ab and cd (see TFilter::runNoteQuad). Exactly what the filters'
    // own entry points would do.
    void step(int q, unsigned follow, Lanes4 (&ab)[2], Lanes4 (&cd)[2]);
    // Quad q's lanes written back into its filters, which then hold their fields again.
    void release(int q);
    __attribute__((cold)) void release();  // all of them
    bool live() const {
        return quad[0].live | quad[1].live | quad[2].live | quad[3].live;
    }
};
