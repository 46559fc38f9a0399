// The three small filters every voice layer owns besides its multimode TFilter:
//   TBPFilter  the "Wire" band-pass, a resonant state-variable filter on FilterSine with its
//              own envelope, key and velocity tracking and stereo separation;
//   TLPFilter  a resonant two-pole zero-delay low-pass after the Wire filter, driven by the
//              layer's main filter cutoff, resonance, envelope and tracking;
//   THPFilter  a resonant two-pole zero-delay high-pass with a gentle low cut below it,
//              driven by the layer's HP frequency and Q only.
// Like TFilter, one call filters one host sample of all stacked notes of a voice layer,
// two notes at a time in four float lanes, at twice the host rate. Each works at a tenth of
// the signal level and scales its result back (x10, the Wire band-pass x20). Default
// construction leaves each filter as init(44100) does.
//
// Voices of one note each are the common case, and one note fills only half of the four
// lanes. The pair entry points run the same filter of two such voices in one vector:
// prepareNote() on each filter with the arguments its process() call would take, then
// runNotePair() on the pair's lanes (see loadNotePair), in place. The results are exactly
// those of process() on each: every lane does the same arithmetic in the same order.
#pragma once

#include "dsp/LaneDispatch.h"
#include "dsp/StereoTypes.h"
#include "dsp/TFilter.h"
#include "dsp/WireQuads.h"

// What the three filters below share (Filter names the class itself). The quad entry point:
// two pairs at once, the same as runNotePair(a, b, ab) and runNotePair(c, d, cd); on a
// processor with AVX2 one eight-lane run (the filter's runNoteQuadWide). Defined here, so the
// choice of width is inline at the caller. And their pairs' clearing after a reset.
template <class Filter>
struct NoteQuadRun {
    static void runNoteQuad(Filter& a, Filter& b, Filter& c, Filter& d, Lanes4 (&ab)[2],
                            Lanes4 (&cd)[2]) {
#if TAV_WIDE_LANES
        if (lanes::wide()) {
            Filter::runNoteQuadWide(a, b, c, d, ab, cd);
            return;
        }
#endif
        Filter::runNotePair(a, b, ab);
        Filter::runNotePair(c, d, cd);
    }

    // The bytes of the filter a note start's reset() and setters write: all up to the
    // second pair (the others wait for a larger note count, see pairsCleared).
    size_t startBytes() const {
        const Filter& f = static_cast<const Filter&>(*this);
        return (size_t)(reinterpret_cast<const char*>(&f.pr[1]) - reinterpret_cast<const char*>(&f));
    }
    // What setVel() alone touches, for a note start that needs no reset: the velocity
    // offset and the marks it clears.
    size_t setterBytes() const {
        const Filter& f = static_cast<const Filter&>(*this);
        return (size_t)(reinterpret_cast<const char*>(&f.velOffset + 1) - reinterpret_cast<const char*>(&f));
    }

protected:
    // The pairs a call of pairCount pairs reads, cleared where a reset left them.
    void clearPairs(int pairCount) {
        Filter& f = static_cast<Filter&>(*this);
        if (__builtin_expect(pairCount > f.pairsCleared, 0)) f.clearPairsFrom(pairCount);
    }
};

class TBPFilter : public NoteQuadRun<TBPFilter> {
    friend struct NoteQuadRun<TBPFilter>;
    friend class WireQuads;

public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 196000 as 196000.
    void init(float sampleRate);
    void reset();
    void setTrack(float amount, float key);
    void setVel(float amount, float velocity);
    void setEnv(int copy, float value) {
        if (copy >= 0 && copy < kFilterMaxCopies && filtermath::storeEnvelope(env[copy], value))
            memo.quiet = false;
    }
    // With `on` false the notes pass unchanged.
    void process(bool on, stereoStruct cutoff, float mod, float separation, float resonance,
                 int copies, const stereoOverStruct* in, stereoOverStruct* out);

    // Pair entry points for calls with `on` true and one note (a and b distinct filters).
    void prepareNote(stereoStruct cutoff, float mod, float separation, float resonance) {
        // The common case of a settled note is decided here, without the call.
        if (memo.skipNote(cutoff.left, cutoff.right, mod, separation, resonance)) return;
        updateNote(cutoff.left, cutoff.right, mod, separation, resonance);
    }
    // prepareNote() of four distinct filters with one cutoff and each its own modulation,
    // separation and resonance, with the same results. While all four keep the separation
    // and resonance of their last update (a sounding note whose envelope moves), their
    // cutoffs are mapped side by side: two voices in four lanes, or on a processor with
    // AVX2 all four in eight. Returns which coefficients may have changed: 0 none,
    // kTuningMoved only the tuning F (the map above), kAllMoved any (so true means all).
    static constexpr int kAllMoved = 1, kTuningMoved = 2;
    // quads: the Wire quads that hold a, b, c and d as their quad s (else null): the map
    // then works on the lanes they keep (see WireQuads::mapBandPass).
    static int prepareNoteQuad(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                               stereoStruct cutoff, const float (&mod)[4], const float (&sep)[4],
                               const float (&resonance)[4], WireQuads* quads = nullptr,
                               int s = 0) {
        const float args[4][2] = {{sep[0], resonance[0]}, {sep[1], resonance[1]},
                                  {sep[2], resonance[2]}, {sep[3], resonance[3]}};
        return prepareNoteQuad(a, b, c, d, cutoff, mod, {args[0], args[1], args[2], args[3]},
                               quads, s);
    }
    // The same with each filter's separation and resonance side by side where sepRes points
    // (read as one pair).
    static int prepareNoteQuad(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                               stereoStruct cutoff, const float (&mod)[4],
                               const float* const (&sepRes)[4], WireQuads* quads = nullptr,
                               int s = 0) {
        // keepsMap() of all four without a branch for each, decided here without a call; the
        // arguments go on by value, so the caller's arrays need not be stored (a vector load
        // of four values just stored one by one waits for the stores to reach the cache)
        const bool plainAll = a.plain & b.plain & c.plain & d.plain;
#if defined(__SSE2__)
        // two filters' separation and resonance ({sep, res, sep, res}) against their memos'
        // at once
        const auto kept = [](const TBPFilter& x, const TBPFilter& y)
                              __attribute__((always_inline)) {
            const auto half = [](const TBPFilter& f) {
                return reinterpret_cast<const __m64*>(&f.memo.args[3]);
            };
            return _mm_castps_si128(_mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), half(x)), half(y)));
        };
        const auto now = [&sepRes](int i) __attribute__((always_inline)) {
            const auto half = [](const float* x) { return reinterpret_cast<const __m64*>(x); };
            return _mm_castps_si128(
                _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), half(sepRes[i])), half(sepRes[i + 1])));
        };
        const __m128i same = _mm_and_si128(_mm_cmpeq_epi32(now(0), kept(a, b)),
                                           _mm_cmpeq_epi32(now(2), kept(c, d)));
        const bool held = _mm_movemask_ps(_mm_castsi128_ps(same)) == 15;
#else
        const TBPFilter* const f[4] = {&a, &b, &c, &d};
        uint32_t diff = 0;
        for (int i = 0; i < 4; ++i)
            diff |= (filtermath::UpdateMemo<1>::bits(sepRes[i][0]) ^ f[i]->memo.args[3]) |
                    (filtermath::UpdateMemo<1>::bits(sepRes[i][1]) ^ f[i]->memo.args[4]);
        const bool held = diff == 0;
#endif
        const Lanes4 m = {mod[0], mod[1], mod[2], mod[3]};
        if (__builtin_expect(held && plainAll, 1)) {
#if TAV_WIDE_LANES
            // A held quad's map tells a settled quad by the cutoffs it keeps, at about the
            // cost of the memos' tests, which would only say the same sooner: it neither
            // tests nor keeps them (see WireQuads::mapBandPass). (Quads hold only on a
            // processor with AVX2: no test of it for them.)
            if (quads) return quads->mapBandPass(s, cutoff, m);
#endif
            // Four settled notes (the common case once the envelopes stand) skip here, as
            // prepareNote() would skip each: the map is not touched.
            if (a.memo.quiet & b.memo.quiet & c.memo.quiet & d.memo.quiet &&
                memosKeep(a, b, c, d, cutoff, mod, sepRes))
                return 0;
#if TAV_WIDE_LANES
            if (lanes::wide()) return mapNoteQuadWide(a, b, c, d, cutoff, m) ? kTuningMoved : 0;
#endif
            mapNotePairs(a, b, c, d, cutoff, m);
            return kAllMoved;
        }
        // (the map's values the quad keeps written back first)
        if (quads) quads->syncBandPass(s);
        prepareNotesApart(a, b, c, d, cutoff, m,
                          Lanes4{sepRes[0][0], sepRes[1][0], sepRes[2][0], sepRes[3][0]},
                          Lanes4{sepRes[0][1], sepRes[1][1], sepRes[2][1], sepRes[3][1]});
        return kAllMoved;
    }
    static void runNotePair(TBPFilter& a, TBPFilter& b, Lanes4 (&lanes)[2]);

    float getRate() const { return rate; }
    float getLaneCutoff(int lane) const {
        if (lane < 0 || lane >= kFilterLanes) return 0.0f;
        // (lanes 2 and 3 of the first pair repeat 0 and 1 where they are yet to be filled)
        return pr[lane >> 2].fUsed[lane < 4 && lanesDue ? lane & 1 : lane & 3];
    }
    const float* stateBegin() const { return reinterpret_cast<const float*>(pr); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(pr + kFilterMaxPairs); }

private:
    __attribute__((noinline, cold)) void clearPairsFrom(int pairCount);
    void update(int n, int pairCount, stereoStruct cutoff, float mod, float sep, float resonance);
    // update(1, 1, ...) of arguments the memo did not skip, shortened for one note.
    void updateNote(float cutoffLeft, float cutoffRight, float mod, float sep, float resonance);
    void mapSides(float sep);
    // Whether updateNote() would take its first path: nothing but the envelope and the
    // cutoff arguments can have moved.
    bool keepsMap(float sep, float resonance) const {
        return plain && filtermath::UpdateMemo<1>::bits(sep) == memo.args[3] &&
               filtermath::UpdateMemo<1>::bits(resonance) == memo.args[4];
    }
    // That path's stores for one filter: v, the target and the table entries of its note in
    // lanes 0 and 1 (and again in 2 and 3), computed side by side with other voices, and
    // tuning() the FilterSine values at those entries, read only where stored. Its lanes of
    // the masks tell whether v changed and whether the target moved beyond the cutoff in
    // use (when v changed, the cutoff in use and its entries follow it).
    // The first pair's lanes 2 and 3 filled from 0 and 1 where the AVX2 map left them to do
    // (see lanesDue): before anything but the maps and the pair kernels reads them.
    void spreadLanes() {
        if (__builtin_expect(lanesDue, 0)) spreadLanesNow();
    }
    void spreadLanesNow();
#if TAV_WIDE_LANES
    // keepNote() of the AVX2 map for one voice, from the halves of its eight lanes that hold
    // the voice (upper: in lanes 2 and 3 there; else in 0 and 1): only lanes 0 and 1 of the
    // fields are stored.
    void keepNoteHalves(bool upper, int lanes, int changed, int moved, __m128 v, __m128 target,
                        __m128 idx, __m128 sine, stereoStruct cutoff, float mod);
#endif
    void keepMemo(stereoStruct cutoff, float mod, bool quiet);
    // memo.skipNote() of four filters whose `plain` holds (so each memo's note count is one:
    // only a one-note update makes it true, and any other update makes it false first) and
    // whose memos are quiet, with each filter's separation and resonance where sepRes points.
    static bool memosKeep(const TBPFilter& a, const TBPFilter& b, const TBPFilter& c,
                          const TBPFilter& d, stereoStruct cutoff, const float (&mod)[4],
                          const float* const (&sepRes)[4]) {
#if defined(__SSE2__)
        // each memo's first four words (cutoffs, modulation, separation) against the call's
        // at once; the resonance the caller compared
        const auto same = [&](const TBPFilter& f, int i) __attribute__((always_inline)) {
            const Lanes4 now = {cutoff.left, cutoff.right, mod[i], sepRes[i][0]};
            return _mm_cmpeq_epi32((__m128i)now,
                                   _mm_load_si128(reinterpret_cast<const __m128i*>(&f.memo)));
        };
        const __m128i all = _mm_and_si128(_mm_and_si128(same(a, 0), same(b, 1)),
                                          _mm_and_si128(same(c, 2), same(d, 3)));
        return _mm_movemask_ps(_mm_castsi128_ps(all)) == 15;
#else
        const TBPFilter* const f[4] = {&a, &b, &c, &d};
        for (int i = 0; i < 4; ++i)
            if (!f[i]->memo.skipNote(cutoff.left, cutoff.right, mod[i], sepRes[i][0],
                                     sepRes[i][1]))
                return false;
        return true;
#endif
    }
    template <class Tuning>
    void keepNote(int lanes, int changed, int moved, Lanes4 v, Lanes4 target, LaneInts4 idx,
                  Tuning tuning, stereoStruct cutoff, float mod);
    __attribute__((noinline)) static void prepareNotesApart(TBPFilter& a, TBPFilter& b,
                                                            TBPFilter& c, TBPFilter& d,
                                                            stereoStruct cutoff, Lanes4 mod,
                                                            Lanes4 sep, Lanes4 resonance);
    static void mapNotePair(TBPFilter& a, TBPFilter& b, stereoStruct cutoff, float modA,
                            float modB);
    // mapNotePair() of a and b, then of c and d.
    static void mapNotePairs(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                             stereoStruct cutoff, Lanes4 mod);
#if TAV_WIDE_LANES
    static void runNoteQuadWide(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                                Lanes4 (&ab)[2], Lanes4 (&cd)[2]);
    // (returns the lanes whose cutoff moved: no other voice's coefficient F changed)
    static int mapNoteQuadWide(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                               stereoStruct cutoff, Lanes4 mod);
#endif

    // Grouped by cache line: what a one-note voice reads every sample takes four (this
    // one, the four-lane one below and its pair record's two).
    alignas(64) filtermath::UpdateMemo<5> memo;  // cutoff (2), mod, separation, resonance
    // The last update was one of one note that left the side gains, lastKey and lastSep
    // those of the key factor and its separation, bit for bit, noteR its damping term
    // (clamped resonance x 0.95) and the first pair's damping 1 - noteR + 1e-15 in every
    // lane; nothing since changed lastRes, lastPairs, the key factor or the velocity offset.
    // A note update with the separation and resonance in the memo then shares nothing and
    // maps with the kept side gains. The first pair's cutoffs in use and table entries then
    // repeat lanes 0 and 1 in lanes 2 and 3 (as do its other fields), so two lanes of each
    // tell all about the note.
    bool plain = false;
    // The AVX2 map (mapNoteQuadWide) stores only lanes 0 and 1 of the first pair's last
    // cutoffs, target and used cutoffs, table entries and F (the pair kernels read no more):
    // true while lanes 2 and 3 of those are still to repeat them (spreadLanes()).
    bool lanesDue = false;
    float noteR = 0.0f;
    float velOffset = 0.0f;
    float keyFactor = 1.0f;
    // the key factor the pairs' cutoffs were mapped with
    float lastKey = 1.0f;
    // The notes' envelope values, per note in every lane (see pairEnvelopes): in the memo's
    // line, as a held quad's voice writes the first and its flag every sample, and its
    // map reads them (nothing else of the filter but the memo then).
    Lanes4 env[kFilterMaxCopies] = {};

    float rate = 44100.0f;
    float tableScale = 262143.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    filtermath::TrackMemo trackMemo;  // the arguments keyFactor was computed from
    float lastRes = -1.0f;  // resonance of the coefficients, -1: none yet
    int lastPairs = 0;
    // the separation the pairs' cutoffs were mapped with
    float lastSep = 1.0f;
    // the bits of the key factor and separation sideGain was computed from
    uint32_t gainKeyBits = 0x3f800000u;  // 1.0f
    uint32_t gainSepBits = 0x3f800000u;
    // Where the first pair's states are held while the filter runs in a held group (see
    // WireQuads): then those here are stale. reset(), init() and process() release them.
    LaneHolder* holder = nullptr;
    // The pairs from the first that hold a cleared state since the last reset (see
    // TFilter::pairsCleared).
    int pairsCleared = kFilterMaxPairs;

    // tableScale and ceiling in four lanes, for the one-note update; 20 keyFactor / sep and
    // 20 keyFactor sep as left, right, left, right; per pair, the FilterSine entries F was
    // read from (-1: none)
    alignas(64) Lanes4 scaleLanes = filtermath::splat(262143.0f / 88200.0f);
    Lanes4 ceilingLanes = filtermath::splat(0.4f * 44100.0f);
    Lanes4 sideGain = {20.0f, 20.0f, 20.0f, 20.0f};
    LaneInts4 entry[kFilterMaxPairs] = {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}};
    // Per pair, four lanes each, side by side: what a one-note voice reads every sample
    // then fills two cache lines rather than one line of each of seven arrays. The first
    // line holds what the cutoff map reads and writes (and F, which follows the cutoff);
    // the second the damping, which changes only with the resonance, and the states, which
    // a held quad keeps in its lanes: a held voice whose envelope moves touches only the
    // first.
    struct alignas(64) Pair {
        Lanes4 F = {};      // FilterSine coefficient
        Lanes4 lastV = {};  // normalised cutoffs of the last call (NaN: none yet)
        Lanes4 fTarget = {};  // target cutoffs in Hz and the ones in use
        Lanes4 fUsed = {};
        Lanes4 D = {};      // damping
        Lanes4 band = {};   // states
        Lanes4 low = {};
    };
    Pair pr[kFilterMaxPairs];
};

class TLPFilter : public NoteQuadRun<TLPFilter> {
    friend struct NoteQuadRun<TLPFilter>;
    friend class WireQuads;

public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 196000 as 196000.
    void init(float sampleRate);
    void reset();
    void setTrack(float amount, float key);
    void setVel(float amount, float velocity);
    void setEnv(int copy, float value) {
        if (copy >= 0 && copy < kFilterMaxCopies && filtermath::storeEnvelope(env[copy], value))
            memo.quiet = false;
    }
    // Both sides of a note share one cutoff.
    void process(float cutoff, float mod, float resonance, int copies, const stereoOverStruct* in,
                 stereoOverStruct* out);

    // Pair entry points for calls of one note (a and b distinct filters).
    void prepareNote(float cutoff, float mod, float resonance) {
        if (memo.skipNote(cutoff, mod, resonance)) return;
        updateNote(cutoff, mod, resonance);
    }
    // prepareNote() of four distinct filters with one cutoff and each its own modulation and
    // resonance, with the same results. While all four keep the resonance of their last
    // update (a sounding note whose envelope moves), the four notes' cutoffs are mapped side
    // by side, one voice in each lane (a note's lanes all hold the same values). Returns
    // whether any filter's coefficients may have changed.
    // quads, s: as TBPFilter::prepareNoteQuad's (see WireQuads::mapLowPass).
    static bool prepareNoteQuad(TLPFilter& a, TLPFilter& b, TLPFilter& c, TLPFilter& d,
                                float cutoff, const float (&mod)[4], const float (&resonance)[4],
                                WireQuads* quads = nullptr, int s = 0) {
        // Four settled notes are the common case, decided here without the call.
#if defined(__SSE2__)
        // memo.skipNote() of all four: their quiet flags first (a moving envelope clears
        // them every sample, and then nothing else need be looked at), then each memo's
        // arguments and note count (its first four words) against the call's and one at
        // once, the four results anded
        static_assert(offsetof(filtermath::UpdateMemo<3>, notes) == 12, "notes follows");
        if (a.memo.quiet & b.memo.quiet & c.memo.quiet & d.memo.quiet) {
            const float one = __builtin_bit_cast(float, 1);
            const auto held = [&](const TLPFilter& f, int i) __attribute__((always_inline)) {
                const Lanes4 now = {cutoff, mod[i], resonance[i], one};
                return _mm_cmpeq_epi32(
                    (__m128i)now, _mm_load_si128(reinterpret_cast<const __m128i*>(&f.memo)));
            };
            const __m128i all = _mm_and_si128(_mm_and_si128(held(a, 0), held(b, 1)),
                                              _mm_and_si128(held(c, 2), held(d, 3)));
            if (_mm_movemask_ps(_mm_castsi128_ps(all)) == 15) return false;
        }
#else
        if (a.memo.skipNote(cutoff, mod[0], resonance[0]) &&
            b.memo.skipNote(cutoff, mod[1], resonance[1]) &&
            c.memo.skipNote(cutoff, mod[2], resonance[2]) &&
            d.memo.skipNote(cutoff, mod[3], resonance[3]))
            return false;
#endif
        // (by value: the caller's arrays need not be stored for the common case)
        return updateNoteQuad(a, b, c, d, cutoff, Lanes4{mod[0], mod[1], mod[2], mod[3]},
                              Lanes4{resonance[0], resonance[1], resonance[2], resonance[3]},
                              quads, s);
    }
    static void runNotePair(TLPFilter& a, TLPFilter& b, Lanes4 (&lanes)[2]);

    float getRate() const { return rate; }
    float getCopyCutoff(int copy) const {
        if (copy < 0 || copy >= kFilterMaxCopies) return 0.0f;
        // (lane 0 where the other lanes of the first pair are yet to be filled)
        return pr[copy >> 1].fUsed[copy < 2 && lanesDue ? 0 : (copy & 1) * 2];
    }
    const float* stateBegin() const { return reinterpret_cast<const float*>(pr); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(pr + kFilterMaxPairs); }

private:
    __attribute__((noinline, cold)) void clearPairsFrom(int pairCount);
    void update(int n, int pairCount, float cutoff, float mod, float resonance);
    // update(1, 1, ...) of arguments the memo did not skip, shortened for one note.
    void updateNote(float cutoff, float mod, float resonance);
    void packNoteCoefficients();
    // The first pair's lanes filled from lane 0 where the four-voice map left them to do
    // (see lanesDue): before anything but that map reads them.
    void spreadLanes() {
        if (__builtin_expect(lanesDue, 0)) spreadLanesNow();
    }
    void spreadLanesNow();
    // prepareNoteQuad() where some memo does not skip.
    static bool updateNoteQuad(TLPFilter& a, TLPFilter& b, TLPFilter& c, TLPFilter& d,
                               float cutoff, Lanes4 mod, Lanes4 resonance, WireQuads* quads,
                               int s);
    // updateNote()'s steps of four filters whose `plain` holds and whose resonance is that
    // of their last update (so the damping and key factor stay), one lane per filter.
    __attribute__((noinline)) static void mapNoteQuad(TLPFilter* const (&f)[4], float cutoff,
                                                      Lanes4 mod);
    // Its steps, inlined into both forms of it: the mapped cutoffs, then (with FilterZTan
    // at every lane's entry, read where a cutoff moved) the coefficients and the stores.
    struct QuadTargets {
        Lanes4 v, target;
        LaneInts4 idx;  // the FilterZTan entries
        int changed, moved;  // lane masks
    };
    static QuadTargets mapNoteQuadTargets(TLPFilter* const (&f)[4], float cutoff, Lanes4 mod);
    static void mapNoteQuadKeep(TLPFilter* const (&f)[4], float cutoff, Lanes4 mod,
                                const QuadTargets& q, Lanes4 tangent);
#if TAV_WIDE_LANES
    // mapNoteQuad() compiled for a processor with AVX2 (whose three-operand forms and lane
    // extracts to memory take fewer instructions), with the same results.
    // (returns whether a cutoff moved, so that coefficients changed)
    static bool mapNoteQuadWide(TLPFilter* const (&f)[4], float cutoff, Lanes4 mod);
#endif
    __attribute__((noinline)) static void prepareNotesApart(TLPFilter& a, TLPFilter& b,
                                                            TLPFilter& c, TLPFilter& d,
                                                            float cutoff, Lanes4 mod,
                                                            Lanes4 resonance);
#if TAV_WIDE_LANES
    static void runNoteQuadWide(TLPFilter& a, TLPFilter& b, TLPFilter& c, TLPFilter& d,
                                Lanes4 (&ab)[2], Lanes4 (&cd)[2]);
#endif

    // Grouped by cache line: a one-note voice whose cutoff has settled reads this one
    // every sample (its memo, its coefficients and the first envelope value it is given),
    // and its pair record's first (the states).
    alignas(64) filtermath::UpdateMemo<3> memo;  // cutoff, mod, resonance
    float velOffset = 0.0f;
    float keyFactor = 1.0f;
    // The last update was one of one note that left the key factor of its mapping (not
    // NaN), lastPairs >= 1 and a lastQ within the tolerance of its resonance's, and every
    // lane of the first pair's last cutoffs, cutoff in use and table entries alike; nothing
    // since changed the key factor. Its lane 0 then tells all about the note. (Here: a held
    // quad's prepare reads it every sample, and nothing else of the filter but this line.)
    bool plain = false;
    // The four-voice map (mapNoteQuad) stores only lane 0 of the first pair's last cutoffs,
    // target and used cutoffs and table entries, and of its coefficients only zd: a voice
    // whose envelope moves is mapped there every sample, and the other lanes (which repeat
    // lane 0 while plain holds) are filled only where something else reads them. True
    // while they are to be filled.
    bool lanesDue = false;
    // the first pair's coefficients of its first note, {a1, a2, a3, 0} (packNoteCoefficients)
    Lanes4 zd = {};
    Lanes4 env[kFilterMaxCopies] = {};  // per note, in every lane (see pairEnvelopes)

    float lastQ = -1.0f;  // resonance of the coefficients, -1: none yet
    int lastPairs = 0;

    float rate = 44100.0f;
    float halfInvRate = 1.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    filtermath::TrackMemo trackMemo;  // the arguments keyFactor was computed from
    // see TBPFilter::holder and pairsCleared
    LaneHolder* holder = nullptr;
    int pairsCleared = kFilterMaxPairs;
    // halfInvRate and the ceiling in four lanes, for the one-note update; this cache line
    // holds all that the four-voice map reads besides the first one and the pair record
    alignas(64) Lanes4 scaleLanes = filtermath::splat(1.0f / 88200.0f);
    Lanes4 ceilingLanes = filtermath::splat(0.4f * 44100.0f);
    float lastKey = 1.0f;  // the key factor the pairs' cutoffs were mapped with
    float R = 0.5f;  // FilterZQ damping of lastQ
    // per pair: the FilterZTan entries of the coefficients (-1: none); with the damping R
    // they determine them
    LaneInts4 entry[kFilterMaxPairs] = {{-1, -1, -1, -1}, {-1, -1, -1, -1}, {-1, -1, -1, -1}};
    // Per pair, four lanes each, side by side: the two integrator states (first: a
    // one-note voice reads only them here), the zero-delay coefficients
    // (zeroDelayCoefficients), the normalised cutoffs of the last call and the target and
    // used cutoffs.
    struct alignas(64) Pair {
        Lanes4 s1 = {};
        Lanes4 s2 = {};
        Lanes4 a1 = {};
        Lanes4 a2 = {};
        Lanes4 a3 = {};
        Lanes4 lastV = {};
        Lanes4 fTarget = {};
        Lanes4 fUsed = {};
    };
    Pair pr[kFilterMaxPairs];
};

// The high-pass's memo: the arguments of its last update, bit for bit, and whether that
// update changed anything, in four words, so that a settled filter is told by one test. The
// words are {mod, resonance, frequency, moving}: the order in which a key of them is built
// from two scalars and the layer's frequency lane (see key()) in two instructions.
struct alignas(16) HighPassMemo {
    uint32_t args[3] = {};  // mod, resonance, frequency
    uint32_t moving = 1;    // 0: the last update changed nothing (1 until there is one)
    bool skip(float freq, float mod, float resonance) const {
        using Bits = filtermath::UpdateMemo<1>;
        return ((Bits::bits(mod) ^ args[0]) | (Bits::bits(resonance) ^ args[1]) |
                (Bits::bits(freq) ^ args[2]) | moving) == 0;
    }
    void record(bool changed, float freq, float mod, float resonance) {
        using Bits = filtermath::UpdateMemo<1>;
        args[0] = Bits::bits(mod);
        args[1] = Bits::bits(resonance);
        args[2] = Bits::bits(freq);
        moving = changed;
    }
    // The frequency in the lane of its word, the others zero.
    static __m128 freqLane(float freq) {
        return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(_mm_set_ss(freq)), 8));
    }
    // The words a memo that skips holds: {mod, resonance, frequency, 0}, from a mod with its
    // resonance right after it (one eight-byte load, which needs no alignment).
    static __m128 key(__m128 freqLane, const float* modAndResonance) {
        return _mm_or_ps(_mm_castsi128_ps(_mm_loadl_epi64(
                             reinterpret_cast<const __m128i*>(modAndResonance))),
                         freqLane);
    }
    // All ones in each word that holds the key's.
    __m128i held(__m128 key) const {
        return _mm_cmpeq_epi32(_mm_castps_si128(key),
                               _mm_load_si128(reinterpret_cast<const __m128i*>(this)));
    }
};

class HighPassOctets;

// Cache-line aligned, like the other two.
class alignas(64) THPFilter : public NoteQuadRun<THPFilter> {
    friend struct NoteQuadRun<THPFilter>;
    friend class HighPassOctets;
    friend class WireQuads;
    friend struct HeldHighPassRuns;

public:
    // A rate below 1000 Hz (or not finite) counts as 44100, above 192000 as 192000.
    void init(float sampleRate);
    void reset();
    void process(float freq, float mod, float resonance, int copies, const stereoOverStruct* in,
                 stereoOverStruct* out);

    // Pair entry points for calls of one note (a and b distinct filters).
    void prepareNote(float freq, float mod, float resonance) {
        if (!memo.skip(freq, mod, resonance)) update(freq, mod, resonance);
    }
    static void runNotePair(THPFilter& a, THPFilter& b, Lanes4 (&lanes)[2]);
    // Whether prepareNote() of each of four filters would skip (for each filter its mod with
    // its resonance right after it, in filter order): their memos compared in one vector each.
    static bool quadHeld(const THPFilter& a, const THPFilter& b, const THPFilter& c,
                         const THPFilter& d, float freq, const float* ma, const float* mb,
                         const float* mc, const float* md) {
        const __m128 f = HighPassMemo::freqLane(freq);
        const __m128i held = _mm_and_si128(
            _mm_and_si128(a.memo.held(HighPassMemo::key(f, ma)),
                          b.memo.held(HighPassMemo::key(f, mb))),
            _mm_and_si128(c.memo.held(HighPassMemo::key(f, mc)),
                          d.memo.held(HighPassMemo::key(f, md))));
        return _mm_movemask_epi8(held) == 0xFFFF;
    }

    float getRate() const { return rate; }
    float getCutoff() const { return fUsed; }
    const float* stateBegin() const { return reinterpret_cast<const float*>(pr); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(pr + kFilterMaxPairs); }
    // The memo and the coefficients {a1, a2, a3, 2R} (see zd below).
    const HighPassMemo& memoWords() const { return memo; }
    const Lanes4& coefficients() const { return zd; }

private:
    __attribute__((noinline, cold)) void clearPairsFrom(int pairCount);
    void update(float freq, float mod, float resonance);
#if TAV_WIDE_LANES
    static void runNoteQuadWide(THPFilter& a, THPFilter& b, THPFilter& c, THPFilter& d,
                                Lanes4 (&ab)[2], Lanes4 (&cd)[2]);
#endif

    // What a one-note voice reads every sample, in two cache lines: the coefficients of
    // the zero-delay section (zeroDelayCoefficients), which every lane shares, as {a1, a2,
    // a3, 2R}, the low-cut coefficient in four lanes and the memo; then the first pair's
    // states (the two integrators and the low cut).
    alignas(64) Lanes4 zd = {};
    Lanes4 lowCut = {30.0f / 88200.0f, 30.0f / 88200.0f, 30.0f / 88200.0f, 30.0f / 88200.0f};
    HighPassMemo memo;  // frequency, mod, resonance
    // Where the first pair's states are held while the filter runs in a held octet or quad
    // (see HighPassOctets, WireQuads, HeldMultimode): then those here are stale. reset(),
    // init() and process() release them first.
    LaneHolder* holder = nullptr;
    float rate = 44100.0f;
    float halfInvRate = 1.0f / 88200.0f;
    float ceiling = 0.4f * 44100.0f;
    float lastX = -1.0f;  // normalised frequency of the last call, -1: none yet
    float fTarget = 640.0f;
    float fUsed = 640.0f;
    float lastQ = -1.0f;
    int pairsCleared = kFilterMaxPairs;  // see TBPFilter::pairsCleared
    struct Pair {
        Lanes4 s1 = {};
        Lanes4 s2 = {};
        Lanes4 c = {};
    };
    alignas(64) Pair pr[kFilterMaxPairs];

public:
    // Mono entry point for up to eight voices of one note each, held in octet s of `bank`
    // (see HighPassOctets): where both sides of every record, state and low-cut lane hold
    // the same bits, one lane per voice does what the pair entry points do on its left and
    // right lanes, so eight voices run in one eight-lane vector; each filter is prepared
    // with (freq, mods[at[i]], resonances[at[i]]) and the records are filtered in place.
    // The caller sets the octet's filters (distinct), records and places of the arguments
    // where it holds nothing; slots from count on repeat the last voice. Returns false,
    // having touched nothing, where a side differs or the processor runs four lanes; the
    // caller then takes the pair entry points. Having run, the octet keeps the states in its
    // lanes for the next sample's call.
    static bool runNoteOctetHeld(HighPassOctets& bank, int s, int count, float freq,
                                 const float* mods, const float* resonances);
    // runNoteOctetHeld() of the first n voices, eight to an octet (octet s with
    // min(8, n - 8s) of them, sub[s] its sub-samples where sub is given), the octets'
    // recurrences side by side; the bits of the octets that ran.
    static unsigned runNoteOctetsHeld(HighPassOctets& bank, int n, float freq,
                                      const float* mods, const float* resonances,
                                      float (*sub)[16] = nullptr);

private:
#if TAV_WIDE_LANES
    static bool takeNoteOctet(HighPassOctets& bank, int s, int count, float freq,
                              const float* mods, const float* resonances, Lanes8 (&x)[2]);
#endif
};

// The high-pass states of up to two mono octets of a layer (see runNoteOctetHeld), kept in
// their lanes from one sample to the next, with the octet's low cut, coefficients and memos
// as the kernel and the memo test take them: so that a standing octet neither gathers nor
// scatters its voices' filters every sample. A filter whose states an octet holds has its
// first pair's states only there (its `holder` points here). The rules that keep this whole:
// only runNoteOctetHeld() runs or updates a held filter; reset() and init() release the
// bank first; whoever would run a held filter otherwise (its process(), the pair and quad
// entry points) releases it before: its octet's states written back, as the runs would
// have left them. The memos and coefficients are the filters' own (taken again whenever an
// update runs in the octet), since only the held run updates a held filter.
struct alignas(32) HighPassOctet {
    Lanes8 t1, t2, cut;             // the states, one lane per voice
    Lanes8 lc, c1, c2, c3, k2;      // the low cut and the coefficients {a1, a2, a3, 2R}
    Lanes8 mods, qs, freqs, moving;  // the memos' words, bit for bit
    int32_t voice[8];  // the caller's names of the voices (for it to tell whether they stand)
    int32_t at[8];     // the places of their arguments (see runNoteOctetHeld)
    THPFilter* f[8];
    stereoOverStruct* rec[8];
    int count = 0;  // the voices held (0: none; the lanes from count on repeat the last)
};
class HighPassOctets final : public LaneHolder {
public:
    static constexpr int kOctets = 2;
    // The render loop's sample counter of the next sample after a pass of the layer's FM
    // voices that left every one plain: if that sample's voice pass is left out, nothing the
    // voices' checks look at has moved (see renderFMVoices).
    uint32_t steadyFor = 0;
    // The octets that hold states (count not 0), one bit each: beside the table of virtual
    // functions, in the bank's first cache line, so that a layer that holds nothing learns
    // it from that line alone (each octet's count is in a line of its own).
    unsigned holding = 0;
    HighPassOctet octet[kOctets];
    // Whether an octet holds states.
    bool live() const { return holding != 0; }
    // Octet s's states written back into its filters, which then hold them again.
    void release(int s);
    __attribute__((cold)) void release() override;  // all of them
};
