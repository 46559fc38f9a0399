// The high-passes held by the multimode quads (see HeldMultimode::takeHighPass).
#include "dsp/HeldHighPass.h"

#if TAV_WIDE_LANES
// As in TFilter.cpp: the eight-lane values never cross a call.
#pragma GCC diagnostic ignored "-Wpsabi"

__attribute__((target("avx2"))) void HeldMultimode::takeHighPass(int q,
                                                                 THPFilter* const (&hp)[4],
                                                                 int32_t voices) {
    HeldMultimodeQuad& h = quad[q];
    for (int i = 0; i < 4; ++i) h.hp[i] = hp[i];
    HeldHighPassRuns::take(h, *this);
    h.hpVoices = voices;
    h.hpSettled = false;
    highPassHeld |= 1u << q;
}

__attribute__((target("avx2"))) void HeldMultimode::highPass(HeldMultimodeQuad& h,
                                                             Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
    Lanes8 y[2];
    for (int s = 0; s < 2; ++s)
        y[s] = __builtin_shufflevector(ab[s], cd[s], 0, 1, 2, 3, 4, 5, 6, 7);
    HeldHighPassRuns::run(h, y);
    for (int s = 0; s < 2; ++s) {
        ab[s] = __builtin_shufflevector(y[s], y[s], 0, 1, 2, 3);
        cd[s] = __builtin_shufflevector(y[s], y[s], 4, 5, 6, 7);
    }
}

__attribute__((target("avx2"))) void HeldMultimode::highPassUpdated(HeldMultimodeQuad& h) {
    HeldHighPassRuns::takeCoefficients(h);
}

__attribute__((target("avx2"))) void HeldMultimode::releaseHighPassOf(int q) {
    HeldHighPassRuns::release(quad[q]);
    quad[q].hpVoices = -1;
    highPassHeld &= ~(1u << q);
}
#else
void HeldMultimode::takeHighPass(int, THPFilter* const (&)[4], int32_t) {}
void HeldMultimode::highPass(HeldMultimodeQuad&, Lanes4 (&)[2], Lanes4 (&)[2]) {}
void HeldMultimode::highPassUpdated(HeldMultimodeQuad&) {}
void HeldMultimode::releaseHighPassOf(int) {}
#endif

void HeldMultimode::releaseHighPass(unsigned quads) {
    for (unsigned held = highPassHeld & quads; held != 0; held &= held - 1)
        releaseHighPassOf(__builtin_ctz(held));
}
