// The kernels of the multimode filter (TFilter) for four or eight lanes, shared by the
// filter's own runs and the held quads of a layer (HeldMultimode.cpp). Internal to those
// two files: everything here is forced inline, in a namespace of each file's own.
#pragma once

#include <cmath>

#include "dsp/FilterTables.h"
#include "dsp/TFilter.h"

#if TAV_WIDE_LANES
// (see TFilter.cpp)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

using namespace filtermath;

constexpr float kGuard = 1e-15f;
constexpr float kSqrt2 = 1.41421356f;
// The band state of the resonant state-variable filter passes the soft limit b - 0.001 b^3,
// which rises only up to |b| = sqrt(1000 / 3) and runs away past about 44.7; the state is
// held inside the rising part, so the limit saturates instead of exploding.
constexpr float kBandLimit = 18.2574186f;
// The same for the ladder's last stage and its limit b - 0.16666 b^3.
constexpr float kLadderLimit = 1.41422236f;

// Weights of the low, band and high outputs of the zero-delay kernel for modes 7-12 and
// 19-24 (mode - 12 for the latter), and for other modes the low-pass tap.
struct Taps {
    float low, band, high;
};

}  // namespace

// --- kernels -----------------------------------------------------------------------------
//
// Each kernel family runs both sub-samples of one copy pair on a vector of lanes (four, or
// eight for two merged pairs): x holds the scaled inputs, y takes the scaled results. A
// family reads its coefficients and states into registers, runs, drops the states that
// decayed below the floor (see dropTiny) and writes them back. Outputs are chosen by
// weights, not branches. The eight-lane forms are only ever inlined into the AVX2 paths: every
// kernel function is forced inline (TAV_KERNEL), so no eight-lane value crosses a call.

namespace {

using Pair = TFilter::Pair;

#define TAV_KERNEL __attribute__((always_inline)) inline

// What a kernel takes from its filter besides the pair.
struct KernelParams {
    int mode;
    Taps taps;    // zero-delay output weights
    float depth;  // ring and amplitude modulation depth
};

template <class V>
TAV_KERNEL V scaleOut(const V& v) {
    const KernelConstants& k = kernelConstants();
    return lanesOf<V>(k.ten) * v + lanesOf<V>(k.guard);
}

// The one-pole low-pass: y = a x + b y + guard.
template <class V>
struct OnePole {
    V a, b, y;
    TAV_KERNEL explicit OnePole(const TFilter::PairT<V>& P) : a(P.opA), b(P.opB), y(P.opY) {}
    TAV_KERNEL V operator()(const V& x) {
        y = a * x + b * y + kGuard;
        return y;
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) {
        dropTinyLanes(y);
        P.opY = y;
    }
};

// The resonant state-variable filter on FilterSine; step() returns wl low + wb band + wh high.
template <class V>
struct StateVariable {
    V f, d, low, band;
    TAV_KERNEL explicit StateVariable(const TFilter::PairT<V>& P)
        : f(P.svF), d(P.svD), low(P.svLow), band(P.svBand) {}
    // One step; returns the high-pass output (low and band are the states after it).
    TAV_KERNEL V step(const V& x) {
        static_assert(kBandLimit == 18.2574186f, "the limit of the kernel constants");
        const KernelConstants& k = kernelConstants();
        V b = band;
        clampLanes(b, lanesOf<V>(k.minusLimit), lanesOf<V>(k.limit));
        b = b - (lanesOf<V>(k.milli) * b) * (b * b);
        const V high = x - low - d * b;
        b = f * high + b;
        low = f * b + low;
        band = b;
        return high;
    }
    TAV_KERNEL V operator()(const V& x, float wl, float wb, float wh) {
        const V high = step(x);
        return wl * low + wb * band + wh * high;
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) {
        dropTinyLanes(low);
        dropTinyLanes(band);
        P.svLow = low;
        P.svBand = band;
    }
};

// One zero-delay section: the tapped mix.
template <class V>
struct ZeroDelay {
    V a1, a2, a3, k, s1, s2;
    TAV_KERNEL ZeroDelay(const TFilter::PairT<V>& P, int s)
        : a1(P.zdA1), a2(P.zdA2), a3(P.zdA3), k(P.zdK), s1(P.zdS1[s]), s2(P.zdS2[s]) {}
    TAV_KERNEL V operator()(const V& x, const Taps& t) {
        const V v3 = x - s2;
        const V band = a1 * s1 + a2 * v3;
        const V low = s2 + a2 * s1 + a3 * v3;
        s1 = 2.0f * band - s1;
        s2 = 2.0f * low - s2;
        return t.low * low + t.band * band + t.high * (x - k * band - low);
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P, int s) {
        P.zdS1[s] = s1;
        P.zdS2[s] = s2;
    }
};

// The four-pole ladder; step() returns wx x + wd (b3 - b4) + w4 b4.
template <class V>
struct Ladder {
    V p, k, q, b[5];
    TAV_KERNEL explicit Ladder(const TFilter::PairT<V>& P) : p(P.ldP), k(P.ldK), q(P.ldQ) {
        for (int i = 0; i < 5; ++i) b[i] = P.ldB[i];
    }
    TAV_KERNEL V operator()(const V& x, float wx, float wd, float w4) {
        const V in = x - q * b[4];
        const V b1 = (in + b[0]) * p - b[1] * k;
        const V b2 = (b1 + b[1]) * p - b[2] * k;
        const V b3 = (b2 + b[2]) * p - b[3] * k;
        V b4 = (b3 + b[3]) * p - b[4] * k;
        clampLanes(b4, -kLadderLimit, kLadderLimit);
        b4 = b4 * (1.0f - 0.16666f * b4 * b4);
        b[0] = in;
        b[1] = b1;
        b[2] = b2;
        b[3] = b3;
        b[4] = b4;
        return wx * x + wd * (b3 - b4) + w4 * b4;
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) {
        for (int i = 0; i < 5; ++i) {
            dropTinyLanes(b[i]);
            P.ldB[i] = b[i];
        }
    }
};

// The fixed-Q biquad and its last two inputs and outputs, newest first; output held in
// [-2, 2]. Its low- and high-pass forms are symmetric (b2 = b0), so b0 serves for both.
template <class V>
struct Biquad {
    V b0, b1, a1, a2, x1, x2, y1, y2;
    TAV_KERNEL explicit Biquad(const TFilter::PairT<V>& P)
        : b0(P.bqB0), b1(P.bqB1), a1(P.bqA1), a2(P.bqA2), x1(P.bqX[0]), x2(P.bqX[1]),
          y1(P.bqY[0]), y2(P.bqY[1]) {}
    TAV_KERNEL V operator()(const V& x) {
        V v = b0 * x + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
        clampLanes(v, -2.0f, 2.0f);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = v;
        return v;
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) {
        dropTinyLanes(x1);
        dropTinyLanes(x2);
        dropTinyLanes(y1);
        dropTinyLanes(y2);
        P.bqX[0] = x1;
        P.bqX[1] = x2;
        P.bqY[0] = y1;
        P.bqY[1] = y2;
    }
};

// Four band-pass resonators in parallel on the difference of the input and the input two
// sub-samples back, each held in [-2, 2]: gain x their sum.
template <class V>
struct Resonators {
    V b0[4], a1[4], a2[4], x1, x2, y1[4], y2[4];
    TAV_KERNEL explicit Resonators(const TFilter::PairT<V>& P) : x1(P.fmX[0]), x2(P.fmX[1]) {
        for (int j = 0; j < 4; ++j) {
            b0[j] = P.fmB0[j];
            a1[j] = P.fmA1[j];
            a2[j] = P.fmA2[j];
            y1[j] = P.fmY[j][0];
            y2[j] = P.fmY[j][1];
        }
    }
    TAV_KERNEL V operator()(const V& x, float gain) {
        const V d = x - x2;
        x2 = x1;
        x1 = x;
        V sum = V{};
        for (int j = 0; j < 4; ++j) {
            V v = b0[j] * d - a1[j] * y1[j] - a2[j] * y2[j];
            clampLanes(v, -2.0f, 2.0f);
            y2[j] = y1[j];
            y1[j] = v;
            sum += v;
        }
        return gain * sum + kGuard;
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) {
        dropTinyLanes(x1);
        dropTinyLanes(x2);
        P.fmX[0] = x1;
        P.fmX[1] = x2;
        for (int j = 0; j < 4; ++j) {
            dropTinyLanes(y1[j]);
            dropTinyLanes(y2[j]);
            P.fmY[j][0] = y1[j];
            P.fmY[j][1] = y2[j];
        }
    }
};

// Ring (ws = 1, wc = 0) or amplitude (ws = wc = 0.5) modulation by a sine at the cutoff.
template <class V>
struct Modulate {
    V inc, phase;
    TAV_KERNEL explicit Modulate(const TFilter::PairT<V>& P) : inc(P.rmInc), phase(P.rmPhase) {}
    TAV_KERNEL V operator()(const V& x, float depth, float ws, float wc) {
        V ph = phase + inc;
        ph = ph >= 1.0f ? ph - 1.0f : ph;
        phase = ph;
        V w;
        for (int l = 0; l < (int)(sizeof(V) / sizeof(float)); ++l)
            w[l] = std::sin(6.28318531f * ph[l]);
        w = ws * w + wc;
        return x * (w * depth + 1.0f - depth);
    }
    TAV_KERNEL void store(TFilter::PairT<V>& P) { P.rmPhase = phase; }
};

// The kernel families, each over both sub-samples of a pair.

template <class V>
TAV_KERNEL void runOnePoleFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                             V (&y)[2]) {
    OnePole<V> op(P);
    for (int s = 0; s < 2; ++s)
        y[s] = k.mode == kFilterLow6 ? scaleOut(op(x[s])) : scaleOut(x[s] - op(x[s]));
    op.store(P);
}

template <class V>
TAV_KERNEL void runStateVariableFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                                   V (&y)[2]) {
    const int mode = k.mode;
    const float wl = (mode == kFilterLow12 || mode == kFilterNotch12) ? 1.0f : 0.0f;
    const float wb = mode == kFilterBand12 ? 1.0f : 0.0f;
    const float wh = (mode == kFilterHigh12 || mode == kFilterNotch12) ? 1.0f : 0.0f;
    StateVariable<V> sv(P);
    for (int s = 0; s < 2; ++s) y[s] = scaleOut(sv(x[s], wl, wb, wh));
    sv.store(P);
}

template <class V>
TAV_KERNEL void run18Family(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2], V (&y)[2]) {
    OnePole<V> op(P);
    StateVariable<V> sv(P);
    if (k.mode == kFilterLow18) {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(kSqrt2 * sv(op(x[s]), 1, 0, 0));
    } else {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(sv(x[s] - op(x[s]), 0, 0, 1));
    }
    op.store(P);
    sv.store(P);
}

// The biquad into the state-variable filter's low-pass (Mode kFilterLow24) or high-pass
// output. The mode is a template argument: the output is the one tap, not a weighted mix of
// all three (the same value for finite states; the zero of an unused tap added or not
// differs at most in its sign, which the guard of scaleOut removes).
template <int Mode, class V>
TAV_KERNEL void run24Family(TFilter::PairT<V>& P, const KernelParams&, const V (&x)[2], V (&y)[2]) {
    Biquad<V> bq(P);
    StateVariable<V> sv(P);
    for (int s = 0; s < 2; ++s) {
        const V high = sv.step(bq(x[s]));
        y[s] = scaleOut(kSqrt2 * (Mode == kFilterLow24 ? sv.low : high));
    }
    bq.store(P);
    sv.store(P);
}

template <class V>
TAV_KERNEL void runLadderFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                            V (&y)[2]) {
    Ladder<V> ld(P);
    if (k.mode == kFilterBand24) {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(ld(x[s], 0, 6, 0));
    } else {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(ld(x[s], 1, -3, 0));
    }
    ld.store(P);
}

template <class V>
TAV_KERNEL void run36Family(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2], V (&y)[2]) {
    Biquad<V> bq(P);
    Ladder<V> ld(P);
    if (k.mode == kFilterLow36) {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(ld(bq(x[s]), 0, 0, 2));
    } else {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(ld(bq(x[s]), 1, 0, -1));
    }
    bq.store(P);
    ld.store(P);
}

template <class V>
TAV_KERNEL void runResonatorFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                               V (&y)[2]) {
    const float g = k.mode == kFilterVocal ? 28.3f : 1.5f;
    Resonators<V> rs(P);
    for (int s = 0; s < 2; ++s) y[s] = scaleOut(rs(x[s], g));
    rs.store(P);
}

template <class V>
TAV_KERNEL void runModulateFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                              V (&y)[2]) {
    const bool ring = k.mode == kFilterRingMod;
    Modulate<V> md(P);
    for (int s = 0; s < 2; ++s)
        y[s] = scaleOut(md(x[s], k.depth, ring ? 1.0f : 0.5f, ring ? 0.0f : 0.5f));
    md.store(P);
}

// The zero-delay modes, one section (modes 7-12) or two in series (19-24).
template <class V>
TAV_KERNEL void runZeroDelayFamily(TFilter::PairT<V>& P, const KernelParams& k, const V (&x)[2],
                               V (&y)[2]) {
    ZeroDelay<V> z0(P, 0), z1(P, 1);
    if (k.mode >= kFilterZeroLow24) {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(z1(z0(x[s], k.taps), k.taps));
    } else {
        for (int s = 0; s < 2; ++s) y[s] = scaleOut(z0(x[s], k.taps));
    }
    dropTinyLanes(z0.s1);
    dropTinyLanes(z0.s2);
    dropTinyLanes(z1.s1);
    dropTinyLanes(z1.s2);
    z0.store(P, 0);
    z1.store(P, 1);
}

// Each family as a type: its kernel for any lane width, for the merged runs below.
#define TAV_FAMILY(Name, run)                                                             \
    struct Name {                                                                          \
        template <class V>                                                                 \
        __attribute__((always_inline)) static void go(TFilter::PairT<V>& P,                \
                                                      const KernelParams& k,               \
                                                      const V (&x)[2], V (&y)[2]) {        \
            run(P, k, x, y);                                                               \
        }                                                                                  \
    };
TAV_FAMILY(OnePoleFamily, runOnePoleFamily)
TAV_FAMILY(StateVariableFamily, runStateVariableFamily)
TAV_FAMILY(Family18, run18Family)
TAV_FAMILY(FamilyLow24, run24Family<kFilterLow24>)
TAV_FAMILY(FamilyHigh24, run24Family<kFilterHigh24>)
TAV_FAMILY(LadderFamily, runLadderFamily)
TAV_FAMILY(Family36, run36Family)
TAV_FAMILY(ResonatorFamily, runResonatorFamily)
TAV_FAMILY(ModulateFamily, runModulateFamily)
TAV_FAMILY(ZeroDelayFamily, runZeroDelayFamily)
#undef TAV_FAMILY
#undef TAV_KERNEL

#if TAV_WIDE_LANES
#define TAV_WIDE_HELPER __attribute__((always_inline, target("avx2"))) inline
// maxps / minps (maxLanes, minLanes) on eight lanes.
TAV_WIDE_HELPER Lanes8 maxW(const Lanes8& x, const Lanes8& y) {
    return (Lanes8)_mm256_max_ps((__m256)x, (__m256)y);
}
TAV_WIDE_HELPER Lanes8 minW(const Lanes8& x, const Lanes8& y) {
    return (Lanes8)_mm256_min_ps((__m256)x, (__m256)y);
}

// An envelope step's cutoff in eight lanes (four voices' note lanes side by side): the
// clamped level, the cutoff, its normalised frequency and its sine-table entry, each lane
// operation for operation as the four-lane mapping gives it.
struct WideCutoff {
    Lanes8 level, cutoff, normal;
    LaneInts8 entry;
};
// Its parts, for callers that need the later ones only sometimes: the level,
TAV_WIDE_HELPER Lanes8 wideLevel(Lanes8 env, Lanes8 common) {
    return minW(maxW(env + common, Lanes8{}), wideCutoffConstants().one);
}
// the exponential of a level that a cutoff scales (wideCutoffOf's first part),
TAV_WIDE_HELPER Lanes8 wideCutoffExp(Lanes8 level) {
    const WideCutoffConstants& w = wideCutoffConstants();
    // exp2CutoffInRange(k.ten * v, k), operation for operation
    const Lanes8 x = w.ten * level;
    const LaneInts8 i = __builtin_convertvector(x, LaneInts8);
    const Lanes8 t = (x - __builtin_convertvector(i, Lanes8)) - w.half;
    const Lanes8 t2 = t * t;
    const Lanes8 lo = w.c0 + w.c1 * t;
    const Lanes8 mid = w.c2 + w.c3 * t;
    const Lanes8 hi = w.c4 + w.c5 * t;
    const Lanes8 poly = lo + t2 * (mid + t2 * hi);
    const LaneInts8 bits = (i + w.bias) << 23;
    return poly * w.sqrt2 * (Lanes8)bits;
}
// the cutoff of that exponential,
TAV_WIDE_HELPER Lanes8 wideCutoffOfExp(Lanes8 e, Lanes8 gain, Lanes8 ceilings) {
    return minW(maxW(e * gain, Lanes8{}), ceilings);
}
// the cutoff of a level,
TAV_WIDE_HELPER Lanes8 wideCutoffOf(Lanes8 level, Lanes8 gain, Lanes8 ceilings) {
    return wideCutoffOfExp(wideCutoffExp(level), gain, ceilings);
}
// the normalised frequency of a cutoff,
TAV_WIDE_HELPER Lanes8 wideNormal(Lanes8 cutoff, Lanes8 halfInv) {
    const WideCutoffConstants& w = wideCutoffConstants();
    return (cutoff + w.milli) * halfInv + w.guard;
}
// and its sine-table entry.
TAV_WIDE_HELPER LaneInts8 wideEntry(Lanes8 normal) {
    const WideCutoffConstants& w = wideCutoffConstants();
    return __builtin_convertvector(minW(maxW(normal * w.top, Lanes8{}), w.top), LaneInts8);
}
TAV_WIDE_HELPER WideCutoff wideCutoff(Lanes8 env, Lanes8 common, Lanes8 gain, Lanes8 ceilings,
                                      Lanes8 halfInv) {
    WideCutoff c;
    c.level = wideLevel(env, common);
    c.cutoff = wideCutoffOf(c.level, gain, ceilings);
    c.normal = wideNormal(c.cutoff, halfInv);
    c.entry = wideEntry(c.normal);
    return c;
}
#undef TAV_WIDE_HELPER
#endif

}  // namespace
