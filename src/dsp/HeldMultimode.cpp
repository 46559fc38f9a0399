// The held quads of multimode filters (see HeldMultimode.h).
#include "dsp/HeldMultimode.h"

#include "dsp/HeldHighPass.h"
#include "dsp/LaneDispatch.h"
#include "dsp/TFilterKernels.h"

#if TAV_WIDE_LANES
// As in TFilter.cpp: the eight-lane values never cross a call.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

void TFilter::releaseHolder() { holder->release(); }

#if TAV_WIDE_LANES
namespace {

#define TAV_HELD __attribute__((always_inline, target("avx2"))) inline

// Each voice's two lanes or-ed: a lane's mask set where either lane of its voice is.
TAV_HELD LaneInts8 eitherOfVoice(LaneInts8 m) {
    return m | (LaneInts8)_mm256_permute_ps((__m256)m, 0xB1);
}
TAV_HELD Lanes8 pick(LaneInts8 mask, Lanes8 yes, Lanes8 no) {
    return (Lanes8)_mm256_blendv_ps((__m256)no, (__m256)yes, (__m256)mask);
}
// Whether a field's two note halves hold the same bits.
TAV_HELD bool mono(const Lanes4& v) {
    return filtermath::sameLanes((LaneInts4)v, (LaneInts4)filtermath::dupLow(v));
}

}  // namespace

struct HeldMultimodeRuns {
    // HeldMultimode::step() of a quad in mode Mode: TFilterQuadRuns::follow() of the
    // following filters and TFilterQuadRuns::run<Mode>() on the held lanes, lane for lane the
    // same arithmetic. A step whose retuning would recompute never comes here (sineHolds0).
    // With HighPass, the quad's held high-passes (prepared) then run on its output.
    template <int Mode, bool HighPass>
    __attribute__((target("avx2"))) static void step(HeldMultimodeQuad& h, unsigned follow,
                                                     Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
        followEnvelopes(h, follow);
        Chain<Mode, HighPass> c(h, ab, cd);
        c.filter();
        c.highPass();
        c.store();
    }
    // The same of two quads of the bank at once (h[0] and h[1], one mode), their lanes those
    // of four pairs from `lanes` on: each quad's chain is a recurrence the next sample waits
    // for, and the two side by side overlap where one after the other they would not.
    template <int Mode, bool HighPass>
    __attribute__((target("avx2"))) static void stepTwo(HeldMultimodeQuad* h, unsigned follow0,
                                                        unsigned follow1, Lanes4 (*lanes)[2]) {
        followTwo(h, follow0, follow1);
        Chain<Mode, HighPass> c0(h[0], lanes[0], lanes[1]), c1(h[1], lanes[2], lanes[3]);
        c0.filter();
        c1.filter();
        c0.highPass();
        c1.highPass();
        c0.store();
        c1.store();
    }

    // TFilterQuadRuns::follow() of the following filters of held quad h (see step).
    TAV_HELD static void followEnvelopes(HeldMultimodeQuad& h, unsigned follow) {
        if (follow == 0) return;
        Level l;
        if (level(h, follow, l)) retune(h, l, wideCutoffExp(l.v));
    }
    // The same of two quads (stepTwo): a voice's two lanes hold one level (see level), so
    // the exponentials of both quads' eight voices take one vector, spread back to each
    // voice's two lanes after (each lane's the same operations on the same bits).
    TAV_HELD static void followTwo(HeldMultimodeQuad* h, unsigned follow0, unsigned follow1) {
        if (follow0 == 0 || follow1 == 0) {
            followEnvelopes(h[0], follow0);
            followEnvelopes(h[1], follow1);
            return;
        }
        Level l0, l1;
        const bool moved0 = level(h[0], follow0, l0), moved1 = level(h[1], follow1, l1);
        if (!(moved0 | moved1)) return;
        // {a, c, 0a, 0c | b, d, 0b, 0d} of the voices a b c d and 0a .. 0d of the quads
        const Lanes8 e = wideCutoffExp(
            (Lanes8)_mm256_shuffle_ps((__m256)l0.v, (__m256)l1.v, _MM_SHUFFLE(2, 0, 2, 0)));
        if (moved0) retune(h[0], l0, (Lanes8)_mm256_permute_ps((__m256)e, 0x50));
        if (moved1) retune(h[1], l1, (Lanes8)_mm256_permute_ps((__m256)e, 0xFA));
    }
    // What an envelope step of a held quad finds: its voices' levels (the same bits in a
    // voice's two lanes) and the following voices that moved, both lanes each.
    struct Level {
        Lanes8 v;
        filtermath::LaneInts8 moved;
    };
    // The first part of followEnvelopes() (follow not 0): the levels, and the following
    // filters that stand marked quiet; whether any moved.
    TAV_HELD static bool level(HeldMultimodeQuad& h, unsigned follow, Level& l) {
        using namespace filtermath;
        using Ints8 = filtermath::LaneInts8;
        TFilter* const(&f)[4] = h.filter;
        Lanes8 env;
        loadNoteHalves(env, f[0]->env[0], f[1]->env[0], f[2]->env[0], f[3]->env[0]);
        // (wideCutoff() in its parts, each one where it is needed)
        l.v = wideLevel(env, h.common);
        // followEnvelope(): a following voice whose lanes moved takes them. (Both lanes
        // of a voice hold the same bits in v and in lastV: the envelope value is written
        // whole, a held common offset and the lastV taken are alike in both, and lastV
        // moves a voice at a time. Their two compares agree.)
        Ints8 moved = l.v != h.lastV;
        if (follow != 15) {
            // the following voices, both lanes each
            const Ints8 sel = {1, 1, 2, 2, 4, 4, 8, 8};
            moved &= (((Ints8){} + (int32_t)follow) & sel) == sel;
        }
        l.moved = moved;
        // a voice's two lanes agree: one bit per voice
        const unsigned movedBits = (unsigned)_mm256_movemask_pd((__m256d)moved);
        // A following filter is not quiet (stands found it so, and nothing wrote it
        // since): one that moved stays so, only the others become quiet.
        for (unsigned still = follow & ~movedBits; still != 0; still &= still - 1)
            f[__builtin_ctz(still)]->memo.quiet = true;
        return movedBits != 0;
    }
    // The rest of followEnvelopes() where a voice moved, e: wideCutoffExp() of its levels.
    TAV_HELD static void retune(HeldMultimodeQuad& h, const Level& l, Lanes8 e) {
        using namespace filtermath;
        using Ints8 = filtermath::LaneInts8;
        const Ints8 moved = l.moved;
        const WideCutoffConstants& w = wideCutoffConstants();
        const Lanes8 fv = wideCutoffOfExp(e, h.gain, h.ceilings);
        h.lastV = pick(moved, l.v, h.lastV);
        h.fTarget = pick(moved, fv, h.fTarget);
        const Lanes8 d = fv - h.fUsed;
        const Lanes8 size = (Lanes8)((Ints8)d & lanesOf<Ints8>(kernelConstants().absMask));
        const Ints8 big = eitherOfVoice(w.step < size) & moved;
        if (_mm256_movemask_ps((__m256)big) != 0) {
            // retuneNote<true>() with sineHolds0: the tuning read where an entry moved
            const Ints8 idx = wideEntry(wideNormal(fv, h.halfInv));
            h.fUsed = pick(big, fv, h.fUsed);
            Ints8 read = (idx != h.lastEntry) & big;
            Lanes8 tuning = h.svF;
            asm("vgatherdps %[read], (%[table],%[idx],4), %[tuning]"
                : [tuning] "+&x"(tuning), [read] "+&x"(read)
                : [table] "r"(FilterSine), [idx] "x"(idx),
                  "m"(*reinterpret_cast<const float(*)[kFilterTableSize]>(FilterSine)));
            h.svF = tuning;
            h.lastEntry = (Ints8)pick(big, (Lanes8)idx, (Lanes8)h.lastEntry);
        }
    }

    // run<Mode>() of a held quad on the voices' lanes ab and cd, with HighPass its
    // high-passes after: the held fields as the merged pair.
    template <int Mode, bool HighPass>
    struct Chain {
        HeldMultimodeQuad& h;
        Lanes4 (&ab)[2];
        Lanes4 (&cd)[2];
        TFilter::PairT<Lanes8> merged;
        Lanes8 x[2], y[2];
        TAV_HELD Chain(HeldMultimodeQuad& held, Lanes4 (&a)[2], Lanes4 (&c)[2])
            : h(held), ab(a), cd(c) {
            using filtermath::kernelConstants;
            using filtermath::lanesOf;
            merged.svF = h.svF;
            merged.svD = h.svD;
            merged.svLow = h.svLow;
            merged.svBand = h.svBand;
            // (each half loaded into its place: no load into a register then inserted)
            for (int s = 0; s < 2; ++s)
                x[s] = (Lanes8)_mm256_loadu2_m128(reinterpret_cast<const float*>(&cd[s]),
                                                  reinterpret_cast<const float*>(&ab[s])) *
                           lanesOf<Lanes8>(kernelConstants().tenth) +
                       lanesOf<Lanes8>(kernelConstants().guard);
        }
        // runStateVariableFamily() of the mode, its output the one tap of the mode (the sum
        // of two for the notch) rather than the three weighted: the same value for finite
        // states (the zeros of the unused taps change at most the sign of a zero, which the
        // guard of scaleOut removes).
        TAV_HELD void filter() {
            StateVariable<Lanes8> sv(merged);
            for (int s = 0; s < 2; ++s) {
                const Lanes8 high = sv.step(x[s]);
                y[s] = scaleOut(Mode == kFilterLow12    ? sv.low
                                : Mode == kFilterHigh12 ? high
                                : Mode == kFilterBand12 ? sv.band
                                                        : sv.low + high);
            }
            sv.store(merged);
            h.svLow = merged.svLow;
            h.svBand = merged.svBand;
        }
        TAV_HELD void highPass() {
            if constexpr (HighPass) HeldHighPassRuns::run(h, y);
        }
        TAV_HELD void store() {
            // (the upper half stored straight from the register)
            for (int s = 0; s < 2; ++s)
                _mm256_storeu2_m128(reinterpret_cast<float*>(&cd[s]),
                                    reinterpret_cast<float*>(&ab[s]), (__m256)y[s]);
        }
    };

    __attribute__((target("avx2"))) static bool take(HeldMultimodeQuad& h, HeldMultimode& bank,
                                                     TFilter* const (&f)[4]) {
        // (a filter another quad holds gives its fields back first)
        for (TFilter* g : f) g->releaseHeld();
        for (TFilter* g : f) {
            if (!g->sineHolds0 || g->mode != f[0]->mode) return false;
            // a memo of one note whose sides are alike, as the caller's calls record them
            const uint32_t* m = g->memo.args;
            if (g->memo.notes != 1 || m[0] != m[1] || m[2] != m[3] || m[0] != f[0]->memo.args[0])
                return false;
            const auto& c = g->cut[0];
            const auto& P = g->pairs[0];
            if (!(mono(P.svF) && mono(P.svD) && mono(P.svLow) && mono(P.svBand) &&
                  mono(c.lastV) && mono(c.fTarget) && mono(c.fUsed) &&
                  mono((Lanes4)c.lastEntry) && mono(g->lastCommon) && mono(g->sideGain) &&
                  mono(g->env[0])))
                return false;
        }
        TFilter &a = *f[0], &b = *f[1], &c = *f[2], &d = *f[3];
        using filtermath::loadNoteHalves;
        loadNoteHalves(h.svF, a.pairs[0].svF, b.pairs[0].svF, c.pairs[0].svF, d.pairs[0].svF);
        loadNoteHalves(h.svD, a.pairs[0].svD, b.pairs[0].svD, c.pairs[0].svD, d.pairs[0].svD);
        loadNoteHalves(h.svLow, a.pairs[0].svLow, b.pairs[0].svLow, c.pairs[0].svLow,
                       d.pairs[0].svLow);
        loadNoteHalves(h.svBand, a.pairs[0].svBand, b.pairs[0].svBand, c.pairs[0].svBand,
                       d.pairs[0].svBand);
        loadNoteHalves(h.lastV, a.cut[0].lastV, b.cut[0].lastV, c.cut[0].lastV, d.cut[0].lastV);
        loadNoteHalves(h.fTarget, a.cut[0].fTarget, b.cut[0].fTarget, c.cut[0].fTarget,
                       d.cut[0].fTarget);
        loadNoteHalves(h.fUsed, a.cut[0].fUsed, b.cut[0].fUsed, c.cut[0].fUsed, d.cut[0].fUsed);
        Lanes8 entries;
        loadNoteHalves(entries, (Lanes4)a.cut[0].lastEntry, (Lanes4)b.cut[0].lastEntry,
                       (Lanes4)c.cut[0].lastEntry, (Lanes4)d.cut[0].lastEntry);
        h.lastEntry = (filtermath::LaneInts8)entries;
        loadNoteHalves(h.common, a.lastCommon, b.lastCommon, c.lastCommon, d.lastCommon);
        loadNoteHalves(h.gain, a.sideGain, b.sideGain, c.sideGain, d.sideGain);
        loadNoteHalves(h.ceilings, a.rateLanes, b.rateLanes, c.rateLanes, d.rateLanes);
        const Lanes4 ha = filtermath::highHalves(a.rateLanes, b.rateLanes);
        const Lanes4 hc = filtermath::highHalves(c.rateLanes, d.rateLanes);
        h.halfInv = __builtin_shufflevector(ha, hc, 0, 1, 2, 3, 4, 5, 6, 7);
        h.cutoff = (int32_t)a.memo.args[0];
        for (int i = 0; i < 4; ++i) {
            const uint32_t* m = f[i]->memo.args;
            h.mods[i] = (int32_t)m[2];
            h.args[i] = LaneInts4{(int32_t)m[4], (int32_t)m[5], (int32_t)m[6], 0};
        }
        for (TFilter* g : f) g->holder = &bank;
        return true;
    }

    __attribute__((target("avx2"))) static void release(HeldMultimodeQuad& h) {
        TFilter &a = *h.filter[0], &b = *h.filter[1], &c = *h.filter[2], &d = *h.filter[3];
        using filtermath::storeNoteHalves;
        storeNoteHalves(h.svF, a.pairs[0].svF, b.pairs[0].svF, c.pairs[0].svF, d.pairs[0].svF);
        storeNoteHalves(h.svLow, a.pairs[0].svLow, b.pairs[0].svLow, c.pairs[0].svLow,
                        d.pairs[0].svLow);
        storeNoteHalves(h.svBand, a.pairs[0].svBand, b.pairs[0].svBand, c.pairs[0].svBand,
                        d.pairs[0].svBand);
        storeNoteHalves(h.lastV, a.cut[0].lastV, b.cut[0].lastV, c.cut[0].lastV,
                        d.cut[0].lastV);
        storeNoteHalves(h.fTarget, a.cut[0].fTarget, b.cut[0].fTarget, c.cut[0].fTarget,
                        d.cut[0].fTarget);
        storeNoteHalves(h.fUsed, a.cut[0].fUsed, b.cut[0].fUsed, c.cut[0].fUsed,
                        d.cut[0].fUsed);
        Lanes4 entries[4];
        storeNoteHalves((Lanes8)h.lastEntry, entries[0], entries[1], entries[2], entries[3]);
        a.cut[0].lastEntry = (LaneInts4)entries[0];
        b.cut[0].lastEntry = (LaneInts4)entries[1];
        c.cut[0].lastEntry = (LaneInts4)entries[2];
        d.cut[0].lastEntry = (LaneInts4)entries[3];
        for (TFilter* g : h.filter) g->holder = nullptr;
    }

    using Fn = void (*)(HeldMultimodeQuad&, unsigned, Lanes4 (&)[2], Lanes4 (&)[2]);
};

namespace {
// The held modes, the state-variable ones of one section, from kFilterLow12 on; alone and
// with the high-passes.
template <bool HighPass>
constexpr HeldMultimodeRuns::Fn kHeldSteps[4] = {
    &HeldMultimodeRuns::step<kFilterLow12, HighPass>,
    &HeldMultimodeRuns::step<kFilterHigh12, HighPass>,
    &HeldMultimodeRuns::step<kFilterBand12, HighPass>,
    &HeldMultimodeRuns::step<kFilterNotch12, HighPass>};
static_assert(kFilterNotch12 == kFilterLow12 + 3, "the held modes in a row");
template <bool HighPass>
constexpr HeldMultimode::TwoSteps kHeldTwoSteps[4] = {
    &HeldMultimodeRuns::stepTwo<kFilterLow12, HighPass>,
    &HeldMultimodeRuns::stepTwo<kFilterHigh12, HighPass>,
    &HeldMultimodeRuns::stepTwo<kFilterBand12, HighPass>,
    &HeldMultimodeRuns::stepTwo<kFilterNotch12, HighPass>};
}  // namespace

const HeldMultimode::TwoSteps* const HeldMultimode::kTwoSteps[2] = {kHeldTwoSteps<false>,
                                                                    kHeldTwoSteps<true>};

bool HeldMultimode::take(int q, TFilter* const (&f)[4], int32_t voices) {
    HeldMultimodeQuad& h = quad[q];
    release(q);
    if (!lanes::wide() || !HeldMultimodeRuns::take(h, *this, f)) return false;
    for (int i = 0; i < 4; ++i) h.filter[i] = f[i];
    h.hpSettled = false;  // (its rows' first words are the memos' modulations)
    h.run = kHeldSteps<false>[f[0]->mode - kFilterLow12];
    h.runWithHighPass = kHeldSteps<true>[f[0]->mode - kFilterLow12];
    h.heldMode = (uint8_t)(f[0]->mode - kFilterLow12);
    h.voices = voices;
    return true;
}

void HeldMultimode::release(int q) {
    HeldMultimodeQuad& h = quad[q];
    if (h.voices == -1) return;
    HeldMultimodeRuns::release(h);
    h.voices = -1;
}
#else
// (no quad is ever held: never called)
const HeldMultimode::TwoSteps* const HeldMultimode::kTwoSteps[2] = {nullptr, nullptr};
bool HeldMultimode::take(int, TFilter* const (&)[4], int32_t) { return false; }
void HeldMultimode::release(int) {}
#endif

void HeldMultimode::release() {
    releaseHighPass(~0u);
    for (int q = 0; q < kQuads; ++q) release(q);
}
