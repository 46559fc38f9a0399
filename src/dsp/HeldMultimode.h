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
#include <cstring>

#include "dsp/HeldQuads.h"
#include "dsp/TFilter.h"

class THPFilter;

struct alignas(32) HeldMultimodeQuad {
#if TAV_WIDE_LANES
    Lanes8 svF, svD, svLow, svBand;          // the kernel's tuning, damping and states
    Lanes8 lastV, fTarget, fUsed;            // the first pair's cutoffs (PairCutoffs)
    filtermath::LaneInts8 lastEntry;         // and their table entries
    Lanes8 common, gain, ceilings, halfInv;  // what a step reads and only prepare() writes
    // The voices' high-passes, which follow the multimode filters (see HeldMultimode::highPass):
    // their states, low cut and coefficients {a1, a2, a3, 2R}, as THPFilter's quad entry
    // point merges them.
    Lanes8 hpT1, hpT2, hpCut, hpLowCut, hpC1, hpC2, hpC3, hpK2;
#endif
    // The filters' memos while held (only prepare() writes them, and it releases first): the
    // modulations and {separation, resonance, morph} as bits, and the cutoff's.
    LaneInts4 mods = {};
    LaneInts4 args[4] = {};
    int32_t cutoff = 0;
    TFilter* filter[4] = {};
    THPFilter* hp[4] = {};  // the high-passes, where held
    // While hpSettled (the high-passes held, and every one's memo holding the arguments of
    // its last prepare with nothing moving): each voice's destinations from the multimode
    // filter's modulation on, {its modulation, the high-pass's modulation and resonance,
    // a word not read}, and the layer's high-pass frequency, as bits (see stands()).
    LaneInts4 hpRows[4] = {};
    int32_t hpFreq = 0;
    bool hpSettled = false;
    uint8_t heldMode = 0;  // the mode run, less kFilterLow12 (in what would be padding)
    // The caller's names of the voices (for it to tell they stand), 0 to 255, a byte each
    // from the lowest; -1: none held. The same of the high-passes, held on their own.
    int32_t voices = -1;
    int32_t hpVoices = -1;
    // The step of the quad's mode (see HeldMultimode::step), and with its high-passes.
    void (*run)(HeldMultimodeQuad&, unsigned, Lanes4 (&)[2], Lanes4 (&)[2]) = nullptr;
    void (*runWithHighPass)(HeldMultimodeQuad&, unsigned, Lanes4 (&)[2], Lanes4 (&)[2]) = nullptr;
};

class HeldMultimode final : public LaneHolder {
public:
    static constexpr int kQuads = 4;
    // The quads that hold high-passes (hpVoices not -1), one bit each.
    unsigned highPassHeld = 0;
    HeldMultimodeQuad quad[kQuads];
    // The render loop's sample counter of the next sample after a pass of the layer's
    // voices that left every one plain: if nothing a voice's pass sets moves before it, that
    // sample's voices need no look at their controls (see renderWaveVoices).
    uint32_t steadyFor = 0;
    // The same for the quads themselves: the sample after a stage whose quads all stood
    // with their high-passes and no envelope step to take. If the voices' pass is left out
    // with the filter envelope still, and the layer's cutoff and high-pass frequency hold
    // their bits, every quad stands again with no step to take (see multimodeStage).
    uint32_t standFor = 0;

    // Four voices (0 to 255) as one key, a byte each from the lowest.
    static int32_t key(int a, int b, int c, int d) {
        return (int32_t)((uint32_t)a | (uint32_t)b << 8 | (uint32_t)c << 16 | (uint32_t)d << 24);
    }
    // Whether quad q holds the filters of the voices of this key (in its order).
    bool holds(int q, int32_t voices) const { return quad[q].voices == voices; }
    // Whether each filter of held quad q would only follow its envelope or stand settled in
    // its prepareNoteLater() with these arguments (the cutoff of all four, then each one's
    // modulation and {separation, resonance, morph} in three words with a readable fourth):
    // its memo holds them and it is settled or steady. A mode change, a reset or any setter
    // unsettles a filter, so this also finds the held mode in place. follow: the filters
    // that would follow (see step); only where true.
    bool stands(int q, float cutoff, const float* mod0, const float* mod1, const float* mod2,
                const float* mod3, const float* args0, const float* args1, const float* args2,
                const float* args3, unsigned& follow) const {
        return stands(quad[q], cutoff, mod0, mod1, mod2, mod3, args0, args1, args2, args3,
                      follow);
    }
    // The same of a quad of this bank. WithHighPass, of a settled quad (hpSettled) whose
    // voices' modulations are each followed by the high-pass's modulation and resonance,
    // and at once whether each high-pass would skip its prepare with those and hpFreq.
    template <bool WithHighPass = false>
    static bool stands(const HeldMultimodeQuad& h, float cutoff, const float* mod0,
                       const float* mod1, const float* mod2, const float* mod3,
                       const float* args0, const float* args1, const float* args2,
                       const float* args3, unsigned& follow, float hpFreq = 0.0f) {
#if TAV_WIDE_LANES
        const TFilter &a = *h.filter[0], &b = *h.filter[1], &c = *h.filter[2], &d = *h.filter[3];
        // (each flag read alone: a wider load over the byte stores that set them would wait)
        const unsigned quiet = (unsigned)a.memo.quiet | (unsigned)b.memo.quiet << 1 |
                               (unsigned)c.memo.quiet << 2 | (unsigned)d.memo.quiet << 3;
        const unsigned steady = (unsigned)a.steady | (unsigned)b.steady << 1 |
                                (unsigned)c.steady << 2 | (unsigned)d.steady << 3;
        if ((quiet | steady) != 15) return false;
        int32_t bits;
        std::memcpy(&bits, &cutoff, sizeof bits);
        if (bits != h.cutoff) return false;
        const auto row = [](const float* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        };
        __m128i same = _mm_and_si128(
            _mm_and_si128(_mm_cmpeq_epi32(row(args0), (__m128i)h.args[0]),
                          _mm_cmpeq_epi32(row(args1), (__m128i)h.args[1])),
            _mm_and_si128(_mm_cmpeq_epi32(row(args2), (__m128i)h.args[2]),
                          _mm_cmpeq_epi32(row(args3), (__m128i)h.args[3])));
        if constexpr (WithHighPass) {
            // (a settled row's first word is its multimode filter's memo's: as in mods)
            std::memcpy(&bits, &hpFreq, sizeof bits);
            if (bits != h.hpFreq) return false;
            same = _mm_and_si128(
                same, _mm_and_si128(
                          _mm_and_si128(_mm_cmpeq_epi32(row(mod0), (__m128i)h.hpRows[0]),
                                        _mm_cmpeq_epi32(row(mod1), (__m128i)h.hpRows[1])),
                          _mm_and_si128(_mm_cmpeq_epi32(row(mod2), (__m128i)h.hpRows[2]),
                                        _mm_cmpeq_epi32(row(mod3), (__m128i)h.hpRows[3]))));
        } else {
            const __m128 m =
                _mm_movelh_ps(_mm_unpacklo_ps(_mm_load_ss(mod0), _mm_load_ss(mod1)),
                              _mm_unpacklo_ps(_mm_load_ss(mod2), _mm_load_ss(mod3)));
            if (_mm_movemask_ps(_mm_castsi128_ps(
                    _mm_cmpeq_epi32(_mm_castps_si128(m), (__m128i)h.mods))) != 15)
                return false;
        }
        // (the fourth word of each row is not read: its lane is left out)
        if ((_mm_movemask_ps(_mm_castsi128_ps(same)) & 7) != 7) return false;
        follow = ~quiet & 15u;
        return true;
#else
        (void)h, (void)cutoff, (void)mod0, (void)mod1, (void)mod2, (void)mod3, (void)args0;
        (void)args1, (void)args2, (void)args3, (void)follow, (void)hpFreq;
        return false;
#endif
    }
    // Quad q takes the fields of four distinct filters that can run as one quad
    // (TFilter::canRunPair) in a mode it holds; false, with nothing taken, where it cannot
    // hold them (another mode, a retuning that recomputes, a field whose two note halves
    // differ, or a processor without AVX2).
    bool take(int q, TFilter* const (&f)[4], int32_t voices);
    // One sample of held quad q: the envelope step of each filter whose bit is set in
    // `follow` (1 for the first, 8 for the last; none of them quiet, the others settled),
    // then the run on the voices' lanes ab and cd (see TFilter::runNoteQuad). Exactly what
    // the filters' own entry points would do.
    void step(int q, unsigned follow, Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
        step(quad[q], follow, ab, cd);
    }
    static void step(HeldMultimodeQuad& h, unsigned follow, Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
        h.run(h, follow, ab, cd);
    }
    // step() of two consecutive quads of the bank (h[0] and h[1]) of one heldMode, their
    // lanes those of four pairs from `lanes` on; WithHighPass, stepWithHighPass() of both.
    // The same as one after the other: their chains only run side by side.
    template <bool WithHighPass>
    static void stepTwo(HeldMultimodeQuad* h, unsigned follow0, unsigned follow1,
                        Lanes4 (*lanes)[2]) {
        kTwoSteps[WithHighPass][h[0].heldMode](h, follow0, follow1, lanes);
    }
    using TwoSteps = void (*)(HeldMultimodeQuad*, unsigned, unsigned, Lanes4 (*)[2]);
    static const TwoSteps* const kTwoSteps[2];  // by WithHighPass, then heldMode
    // step() and then highPass() of a quad that holds both.
    static void stepWithHighPass(HeldMultimodeQuad& h, unsigned follow, Lanes4 (&ab)[2],
                                 Lanes4 (&cd)[2]) {
        h.runWithHighPass(h, follow, ab, cd);
    }
    // The high-passes that follow the multimode filters are held by the quads as well, each
    // quad's on their own (a quad may hold the one and not the other). Quad q, holding none,
    // takes the states of four distinct filters hp, held by no one, of the voices of this
    // key. The rules are those of HighPassOctets: a held filter's prepares still work on the
    // filter, only highPass() runs it, and its reset(), init() and process() release the
    // bank first.
    void takeHighPass(int q, THPFilter* const (&hp)[4], int32_t voices);
    // One sample of the high-passes of a quad that holds them, prepared: exactly
    // THPFilter::runNoteQuad of its filters on the voices' lanes ab and cd.
    static void highPass(HeldMultimodeQuad& h, Lanes4 (&ab)[2], Lanes4 (&cd)[2]);
    // The coefficients of the held high-passes of quad h taken again from the filters: after
    // a prepare of theirs that updated (the one thing that changes them while held).
    static void highPassUpdated(HeldMultimodeQuad& h);
    // The high-passes of these quads (one bit each) written back into their filters.
    void releaseHighPass(unsigned quads);
    // Quad q's lanes written back into its filters, which then hold their fields again.
    void release(int q);
    __attribute__((cold)) void release() override;  // all of them, high-passes too
    bool live() const {
        return (quad[0].voices & quad[1].voices & quad[2].voices & quad[3].voices) != -1;
    }

private:
    void releaseHighPassOf(int q);  // quad q's, which it holds
};
