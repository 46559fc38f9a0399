// How the multimode quads hold their voices' high-passes (see HeldMultimode::takeHighPass):
// for the bank's own members and for the multimode step that runs them right after.
#pragma once

#include "dsp/HeldMultimode.h"
#include "dsp/HighPassKernel.h"
#include "dsp/TLayerFilters.h"

#if TAV_WIDE_LANES
struct HeldHighPassRuns {
    __attribute__((always_inline, target("avx2"))) static void take(HeldMultimodeQuad& h,
                                                                    LaneHolder& bank) {
        THPFilter &a = *h.hp[0], &b = *h.hp[1], &c = *h.hp[2], &d = *h.hp[3];
        using filtermath::loadNoteHalves;
        loadNoteHalves(h.hpT1, a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
        loadNoteHalves(h.hpT2, a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
        loadNoteHalves(h.hpCut, a.pr[0].c, b.pr[0].c, c.pr[0].c, d.pr[0].c);
        // (only init() sets it, and it releases first)
        loadNoteHalves(h.hpLowCut, a.lowCut, b.lowCut, c.lowCut, d.lowCut);
        takeCoefficients(h);
        for (THPFilter* f : h.hp) f->holder = &bank;
    }
    // The coefficients as THPFilter::runNoteQuadWide() reads them from the filters.
    __attribute__((always_inline, target("avx2"))) static void takeCoefficients(
        HeldMultimodeQuad& h) {
        const __m128 a = (__m128)h.hp[0]->zd, b = (__m128)h.hp[1]->zd;
        const __m128 c = (__m128)h.hp[2]->zd, d = (__m128)h.hp[3]->zd;
        // {a1 a, a1 b, a2 a, a2 b, a1 c, a1 d, a2 c, a2 d} and the same of a3 and 2R, each
        // value then doubled within its half
        const __m256 lo = _mm256_insertf128_ps(
            _mm256_castps128_ps256(_mm_unpacklo_ps(a, b)), _mm_unpacklo_ps(c, d), 1);
        const __m256 hi = _mm256_insertf128_ps(
            _mm256_castps128_ps256(_mm_unpackhi_ps(a, b)), _mm_unpackhi_ps(c, d), 1);
        h.hpC1 = (Lanes8)_mm256_permute_ps(lo, 0x50);
        h.hpC2 = (Lanes8)_mm256_permute_ps(lo, 0xFA);
        h.hpC3 = (Lanes8)_mm256_permute_ps(hi, 0x50);
        h.hpK2 = (Lanes8)_mm256_permute_ps(hi, 0xFA);
    }
    __attribute__((always_inline, target("avx2"))) static void release(
        HeldMultimodeQuad& h) {
        THPFilter &a = *h.hp[0], &b = *h.hp[1], &c = *h.hp[2], &d = *h.hp[3];
        using filtermath::storeNoteHalves;
        storeNoteHalves(h.hpT1, a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
        storeNoteHalves(h.hpT2, a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
        storeNoteHalves(h.hpCut, a.pr[0].c, b.pr[0].c, c.pr[0].c, d.pr[0].c);
        for (THPFilter* f : h.hp) f->holder = nullptr;
    }
    // THPFilter::runNoteQuadWide() on the held states and coefficients, its lanes y (what
    // the multimode filters of the quad leave, both sub-samples) filtered in place.
    __attribute__((always_inline, target("avx2"))) static void run(HeldMultimodeQuad& h,
                                                                   Lanes8 (&y)[2]) {
        using namespace filtermath;
        const KernelConstants& k = kernelConstants();
        Lanes8 x[2];
        for (int s = 0; s < 2; ++s)
            x[s] = y[s] * lanesOf<Lanes8>(k.tenth) + lanesOf<Lanes8>(k.guard);
        Lanes8 t1 = h.hpT1, t2 = h.hpT2, cut = h.hpCut;
        highPassLanes(h.hpC1, h.hpC2, h.hpC3, h.hpK2, h.hpLowCut, t1, t2, cut, x, y);
        h.hpT1 = t1;
        h.hpT2 = t2;
        h.hpCut = cut;
    }
};
#endif
