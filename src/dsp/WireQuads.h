// The Wire chain's states held in lanes: see WireQuads.
#pragma once

#include <cstdint>

#include "dsp/HeldQuads.h"
#include "dsp/TFilter.h"

class TBPFilter;
class TLPFilter;
class THPFilter;

// The band-pass, low-pass and high-pass of four voices of one note each (a, b, c, d), in
// the eight lanes their quad entry points run ({a left, a right, b left, ..., d right}):
// the states, and the coefficients as the kernels take them, copied from the filters
// (taken again where a prepare may have changed them).
struct alignas(32) WireQuad {
    Lanes8 band, low, F, D;                   // band-pass
    // the band-pass's cutoff map: its last cutoffs, targets, cutoffs in use and table
    // entries, and the side gains, ceilings and table scales it maps with
    Lanes8 lastV, target, used, entry, side, ceiling, scale;
    Lanes8 s1, s2, l1, l2, l3;                // low-pass
    // the low-pass's cutoff map, one voice a lane (a, b, c, d): its last cutoffs, targets,
    // cutoffs in use and table entries, and the gains (20 x key factor), ceilings, table
    // scales and dampings it maps with
    Lanes4 lowLastV, lowTarget, lowUsed, lowGain, lowCeiling, lowScale, lowR;
    LaneInts4 lowEntry;
    Lanes8 t1, t2, cut, h1, h2, h3, k2, lc;   // high-pass and its low cut
    alignas(16) int32_t voice[4] = {};  // the caller's names of a to d (to tell they stand)
    TBPFilter* bp[4] = {};  // the filters of a, b, c, d
    TLPFilter* lp[4] = {};
    THPFilter* hp[4] = {};
    Lanes4 vel = {};  // the band-pass's velocity offsets (taken with the map's values)
    // the caller's records of a, b, c and d (their controls, found once while they stand)
    // and their argument rows
    const void* owner[4] = {};
    const float* dest[4] = {};
};

// The Wire chains of up to four quads of a layer, kept in their lanes from one sample to
// the next while the quads' voices stay, so that a standing quad neither gathers nor
// scatters its twelve filters' states every sample. A filter whose states a quad holds has
// its first pair's states only there (its `holder` points here). Only the runs below run a
// held filter; the prepares and updates of the filters still work on the filters
// themselves (the coefficients are copies), and a run whose prepare may have changed some
// takes them again, but for the band-pass's usual cutoff map, which works on the quad's
// own copies of its values (see mapBandPass). Everything else releases the quads first
// (see LaneHolder).
class WireQuads final : public LaneHolder {
public:
    static constexpr int kQuads = 4;
    WireQuad quad[kQuads];
    // The quads that hold, one bit each; and those whose band-pass or low-pass map values
    // (see mapBandPass, mapLowPass) are newer than their filters'.
    unsigned held = 0;
    unsigned mapped = 0;
    unsigned lowMapped = 0;  // four bits a quad (s x 4 on): the voices whose values moved
    // The render loop's sample counter of the next sample after a pass of the layer that
    // left every voice plain and every quad held with its maps taken: if nothing a voice's
    // pass sets moves before it, that sample's voices and quads need no look at their
    // controls or maps. steadyNow: this sample is such, and its voices all stayed plain.
    uint32_t steadyFor = 0;
    bool steadyNow = false;
    bool live() const { return held != 0; }
    // Quad s takes the states and coefficients of its filters (not held by anyone) and
    // holds them; `voice` as in WireQuad.
    void take(int s, const int32_t (&voice)[4], TBPFilter* const (&bp)[4],
              TLPFilter* const (&lp)[4], THPFilter* const (&hp)[4]);
    // Quad s's states written back into its filters, as the quad entry points leave them.
    void release(int s);
    __attribute__((cold)) void release() override;  // all of them
    // After quad s's prepares, the coefficients they may have changed taken again:
    // `bandPass` as TBPFilter::prepareNoteQuad() tells (only the tuning where only that
    // moved; none where the band-pass is off, kNoBandPass), `lowPass` and `highPass`
    // likewise of theirs.
    static constexpr int kNoBandPass = -1;
    void takeDue(int s, int bandPass, bool lowPass, bool highPass) {
        if (__builtin_expect(bandPass > 0 || lowPass || highPass, 0))
            takeMoved(s, bandPass, lowPass, highPass);
    }
    // The chains of quads 0 to quads - 1 (processor with AVX2 only; every prepare and take
    // done), quad s on the notes of its a and b (pairs[2s]) and of its c and d
    // (pairs[2s + 1]): the quad entry points' runs of the band-pass (where on), low-pass and
    // high-pass one after the other, each stage's output the next one's input without
    // leaving the lanes.
    void runChains(int quads, bool bandPass, Lanes4 (*pairs)[2]);
    // The band-pass's cutoff map of quad s (TBPFilter::prepareNoteQuad's map, processor with
    // AVX2 only) on the values the quad keeps: its filters' fields of the map are then
    // stale until syncBandPass() or a release writes them back (and their memos, which it
    // neither tests nor keeps, then no longer quiet). Returns which coefficients
    // the chain must take again (none: the tuning the map changes is the quad's own).
    int mapBandPass(int s, stereoStruct cutoff, Lanes4 mod);
    // mapBandPass() of every quad 0 to quads - 1 that TBPFilter::prepareNoteQuad() would map
    // there, in one call, each voice's modulation at modAt in its destination row and its
    // separation with its resonance right after it sepAt bytes into its record (see
    // WireQuad::owner). Returns the quads it would not map (a filter not plain, or a
    // separation or resonance not its memo's), which the caller prepares themselves.
    unsigned mapBandPasses(int quads, stereoStruct cutoff, int modAt, int sepAt);
    void syncBandPass(int s);
    // The same of the low-pass (TLPFilter::prepareNoteQuad's map); returns false: the
    // coefficients the map changes are the quad's own.
    bool mapLowPass(int s, float cutoff, Lanes4 mod);
    void syncLowPass(int s);

private:
    // A quad's coefficients taken from its filters.
    static void takeBandPass(WireQuad& q, int moved);
    static void takeLowPass(WireQuad& q);
    static void takeHighPass(WireQuad& q);
    // takeDue() where some are (most often none is: out of line, so that the prepares keep
    // no register for it).
    __attribute__((noinline)) void takeMoved(int s, int bandPass, bool lowPass, bool highPass);
    int mapHeldBandPass(int s, stereoStruct cutoff, Lanes4 mod);  // (mapBandPass, inline)
};

#if !TAV_WIDE_LANES
// Without the eight-lane paths no quad ever holds.
inline void WireQuads::take(int, const int32_t (&)[4], TBPFilter* const (&)[4],
                            TLPFilter* const (&)[4], THPFilter* const (&)[4]) {}
inline void WireQuads::release(int) {}
inline void WireQuads::takeMoved(int, int, bool, bool) {}
inline void WireQuads::runChains(int, bool, Lanes4 (*)[2]) {}
inline int WireQuads::mapBandPass(int, stereoStruct, Lanes4) { return 0; }
inline unsigned WireQuads::mapBandPasses(int, stereoStruct, int, int) { return 0; }
inline void WireQuads::syncBandPass(int) {}
inline bool WireQuads::mapLowPass(int, float, Lanes4) { return false; }
inline void WireQuads::syncLowPass(int) {}
#endif
