// The layer high-pass's kernel: one definition for the filter's own runs and for the runs
// that keep its states in lanes elsewhere (see HeldMultimode::highPass), so that a held run
// leaves the bits the filter's runs would.
#pragma once

#include "dsp/TFilter.h"

namespace filtermath {

// Both sub-samples of the zero-delay high-pass and its low cut on one vector of lanes (of
// four or, for four voices at once, eight).
template <class V>
__attribute__((always_inline)) inline void highPassLanes(const V& c1, const V& c2, const V& c3,
                                                         const V& k2, const V& lc, V& t1, V& t2,
                                                         V& cut, const V (&x)[2], V (&y)[2]) {
    const KernelConstants& k = kernelConstants();
    for (int s = 0; s < 2; ++s) {
        const V v3 = x[s] - t2;
        const V band = c1 * t1 + c2 * v3;
        const V low = t2 + c2 * t1 + c3 * v3;
        const V high = x[s] - k2 * band - low;
        t1 = 2.0f * band - t1;
        t2 = 2.0f * low - t2;
        // A one-pole low-pass of the high-pass signal, subtracted: a gentle low cut.
        cut = cut + (high - cut) * lc;
        y[s] = lanesOf<V>(k.ten) * (high - cut) + lanesOf<V>(k.guard);
    }
    dropTinyLanes(t1);
    dropTinyLanes(t2);
    dropTinyLanes(cut);
}

}  // namespace filtermath
