// The layer band-pass ("Wire"), low-pass and high-pass filters.
#include "dsp/TLayerFilters.h"

#include <cmath>
#include <cstring>

#include "dsp/FilterTables.h"

using namespace filtermath;

namespace {

constexpr float kGuard = 1e-15f;

float layerRate(float sampleRate, float top) {
    if (!(sampleRate >= 1000.0f) || !std::isfinite(sampleRate)) return 44100.0f;
    return sampleRate > top ? top : sampleRate;
}

// Notes beyond the six the filters take pass unchanged; returns how many are filtered.
int activeCopies(int copies, const stereoOverStruct* in, stereoOverStruct* out) {
    for (int c = kFilterMaxCopies; c < copies; ++c) out[c] = in[c];
    return copies < kFilterMaxCopies ? copies : kFilterMaxCopies;
}

// Resonance of the layer low-pass and high-pass.
float layerQ(float resonance) { return clampNaN(resonance, 0.0f, 1.0f) * 0.949f; }

inline bool movedBeyond(Lanes4 a, Lanes4 b) {
    const Lanes4 d = a - b;
    return anyLane(d > 1e-5f || d < -1e-5f);
}

}  // namespace

// --- Wire band-pass ------------------------------------------------------------------------

void TBPFilter::init(float sampleRate) {
    rate = layerRate(sampleRate, 196000.0f);
    tableScale = 262143.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    keyFactor = 1.0f;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    for (int p = 0; p < kFilterMaxPairs; ++p) fTarget[p] = fUsed[p] = splat(20.0f);
    reset();
}

void TBPFilter::reset() {
    std::memset(band, 0, sizeof band);
    std::memset(low, 0, sizeof low);
    for (Lanes4& v : lastV) v = splat(std::nanf(""));
    lastRes = -1.0f;  // coefficients are recomputed on the next call
    lastPairs = 0;
}

void TBPFilter::setTrack(float amount, float key) { keyFactor = std::exp2(amount * key); }

void TBPFilter::setVel(float amount, float velocity) { velOffset = (velocity - 0.5f) * amount; }

// The coefficients of this call: the mapped cutoff of every lane, and FilterSine and the
// damping where the cutoff moved or the resonance or copy count changed.
void TBPFilter::update(int n, int pairCount, stereoStruct cutoff, float mod, float sep,
                       float resonance) {
    const float r = clampNaN(resonance, 0.0f, 1.0f) * 0.95f;
    const bool shared = pairCount > lastPairs || std::fabs(r - lastRes) > 1e-5f;
    if (shared) {
        lastRes = r;
        lastPairs = pairCount;
    }
    const float cl = mod + cutoff.left + velOffset, cr = mod + cutoff.right + velOffset;
    const Lanes4 common = {cl, cr, cl, cr};
    const bool sameMap = keyFactor == lastKey && sep == lastSep;
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != lastV[p])) {
            const float base = 20.0f * keyFactor;
            const Lanes4 sideGain = {base / sep, base * sep, base / sep, base * sep};
            lastV[p] = v;
            fTarget[p] = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
            moved |= movedBeyond(fTarget[p], fUsed[p]);
        }
        if (moved) {
            fUsed[p] = fTarget[p];
            F[p] = gather(FilterSine, tableEntries((fUsed[p] + 0.001f) * tableScale + kGuard));
            D[p] = splat(1.0f - r + kGuard);
        }
    }
    assignChanged(lastKey, keyFactor);
    assignChanged(lastSep, sep);
}

namespace {

// Both sub-samples of the resonant state-variable band-pass on one vector of lanes; the
// states stay in registers over both and drop below the floor at the end.
inline void bandPassKernel(Lanes4 f, Lanes4 d, Lanes4& bs, Lanes4& ls, const Lanes4 (&x)[2],
                           Lanes4 (&y)[2]) {
    for (int s = 0; s < 2; ++s) {
        // b - 0.001 b^3 limits only while |b| < sqrt(1000 / 3); the state is held there.
        Lanes4 b = clampNaN(bs, -18.2574186f, 18.2574186f);
        b = b - (0.001f * b) * (b * b);
        const Lanes4 high = x[s] - ls - d * b;
        b = f * high + b;
        ls = f * b + ls;
        bs = b;
        y[s] = 20.0f * b + kGuard;
    }
    dropTiny(bs);
    dropTiny(ls);
}

}  // namespace

void TBPFilter::process(bool on, stereoStruct cutoff, float mod, float sep, float resonance,
                        int copies, const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    if (!on) {
        if (out != in)
            for (int c = 0; c < copies; ++c) out[c] = in[c];
        return;
    }
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    update(n, pairCount, cutoff, mod, sep, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p) bandPassKernel(F[p], D[p], band[p], low[p], x[p], y[p]);
    scatterPairs(y, n, out);
}

void TBPFilter::runTwo(TBPFilter& a, TBPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA,
                       stereoOverStruct& outB) {
    Lanes4 x[2], y[2];
    gatherTwoNotes(inA, inB, x);
    Lanes4 bs = mergeNotes(a.band[0], b.band[0]), ls = mergeNotes(a.low[0], b.low[0]);
    bandPassKernel(mergeNotes(a.F[0], b.F[0]), mergeNotes(a.D[0], b.D[0]), bs, ls, x, y);
    splitNotes(bs, a.band[0], b.band[0]);
    splitNotes(ls, a.low[0], b.low[0]);
    scatterTwoNotes(y, outA, outB);
}

void TBPFilter::runNotes(TBPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count) {
    int k = 0;
    for (; k + 1 < count; k += 2)
        runTwo(*filters[k], *filters[k + 1], *in[k], *in[k + 1], *out[k], *out[k + 1]);
    if (k < count) {
        // The odd voice out runs alone, in both halves of the vector.
        Lanes4 x[1][2], y[1][2];
        gatherPairs(in[k], 1, 1, x);
        TBPFilter& f = *filters[k];
        bandPassKernel(f.F[0], f.D[0], f.band[0], f.low[0], x[0], y[0]);
        scatterPairs(y, 1, out[k]);
    }
}

// --- layer low-pass ------------------------------------------------------------------------

void TLPFilter::init(float sampleRate) {
    rate = layerRate(sampleRate, 196000.0f);
    halfInvRate = 1.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    keyFactor = 1.0f;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    for (int p = 0; p < kFilterMaxPairs; ++p) fTarget[p] = fUsed[p] = splat(20.0f);
    reset();
}

void TLPFilter::reset() {
    std::memset(s1, 0, sizeof s1);
    std::memset(s2, 0, sizeof s2);
    for (Lanes4& v : lastV) v = splat(std::nanf(""));
    lastQ = -1.0f;
    lastPairs = 0;
}

void TLPFilter::setTrack(float amount, float key) { keyFactor = std::exp2(amount * key); }

void TLPFilter::setVel(float amount, float velocity) { velOffset = (velocity - 0.5f) * amount; }

void TLPFilter::update(int n, int pairCount, float cutoff, float mod, float resonance) {
    const float q = layerQ(resonance);
    const bool shared = pairCount > lastPairs || std::fabs(q - lastQ) > 1e-5f;
    if (shared) {
        lastQ = q;
        R = FilterZQ[(int)(q * 131071.0f)];
        lastPairs = pairCount;
    }
    const Lanes4 common = splat(velOffset + cutoff + mod);
    const bool sameMap = keyFactor == lastKey;
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != lastV[p])) {
            lastV[p] = v;
            fTarget[p] = boundCutoff(exp2Cutoff(10.0f * v) * (20.0f * keyFactor), ceiling);
            moved |= movedBeyond(fTarget[p], fUsed[p]);
        }
        if (moved) {
            fUsed[p] = fTarget[p];
            zeroDelayCoefficients(
                gather(FilterZTan, tableIndexes((fUsed[p] + 0.001f) * halfInvRate + kGuard)), R,
                a1[p], a2[p], a3[p]);
        }
    }
    assignChanged(lastKey, keyFactor);
}

namespace {

// Both sub-samples of the two-pole zero-delay low-pass on one vector of lanes.
inline void lowPassKernel(Lanes4 c1, Lanes4 c2, Lanes4 c3, Lanes4& t1, Lanes4& t2,
                          const Lanes4 (&x)[2], Lanes4 (&y)[2]) {
    for (int s = 0; s < 2; ++s) {
        const Lanes4 v3 = x[s] - t2;
        const Lanes4 band = c1 * t1 + c2 * v3;
        const Lanes4 low = t2 + c2 * t1 + c3 * v3;
        t1 = 2.0f * band - t1;
        t2 = 2.0f * low - t2;
        y[s] = 10.0f * low + kGuard;
    }
    dropTiny(t1);
    dropTiny(t2);
}

}  // namespace

void TLPFilter::process(float cutoff, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    update(n, pairCount, cutoff, mod, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p)
        lowPassKernel(a1[p], a2[p], a3[p], s1[p], s2[p], x[p], y[p]);
    scatterPairs(y, n, out);
}

void TLPFilter::runTwo(TLPFilter& a, TLPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA,
                       stereoOverStruct& outB) {
    Lanes4 x[2], y[2];
    gatherTwoNotes(inA, inB, x);
    Lanes4 t1 = mergeNotes(a.s1[0], b.s1[0]), t2 = mergeNotes(a.s2[0], b.s2[0]);
    lowPassKernel(mergeNotes(a.a1[0], b.a1[0]), mergeNotes(a.a2[0], b.a2[0]),
                  mergeNotes(a.a3[0], b.a3[0]), t1, t2, x, y);
    splitNotes(t1, a.s1[0], b.s1[0]);
    splitNotes(t2, a.s2[0], b.s2[0]);
    scatterTwoNotes(y, outA, outB);
}

void TLPFilter::runNotes(TLPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count) {
    int k = 0;
    for (; k + 1 < count; k += 2)
        runTwo(*filters[k], *filters[k + 1], *in[k], *in[k + 1], *out[k], *out[k + 1]);
    if (k < count) {
        Lanes4 x[1][2], y[1][2];
        gatherPairs(in[k], 1, 1, x);
        TLPFilter& f = *filters[k];
        lowPassKernel(f.a1[0], f.a2[0], f.a3[0], f.s1[0], f.s2[0], x[0], y[0]);
        scatterPairs(y, 1, out[k]);
    }
}

// --- layer high-pass -----------------------------------------------------------------------

void THPFilter::init(float sampleRate) {
    rate = layerRate(sampleRate, 192000.0f);
    halfInvRate = 1.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    fTarget = fUsed = 640.0f;
    lowCut = splat(30.0f * halfInvRate);
    reset();
}

void THPFilter::reset() {
    std::memset(s1, 0, sizeof s1);
    std::memset(s2, 0, sizeof s2);
    std::memset(c, 0, sizeof c);
    lastX = -1.0f;
    lastQ = -1.0f;
}

void THPFilter::update(float freq, float mod, float resonance) {
    const float xv = clampNaN(freq + mod, 0.0f, 1.0f);
    if (xv != lastX) {
        lastX = xv;
        fTarget = boundCutoff(exp2Cutoff(10.0f * xv) * 20.0f, ceiling);
    }
    const float q = layerQ(resonance);
    if (std::fabs(fTarget - fUsed) > 1e-5f || std::fabs(q - lastQ) > 1e-5f) {
        fUsed = fTarget;
        lastQ = q;
        const float R = FilterZQ[(int)(q * 131071.0f)];
        const float gl = FilterZTan[filterTableIndex((fUsed + 0.001f) * halfInvRate + kGuard)];
        zeroDelayCoefficients(splat(gl), R, a1, a2, a3);
        k = splat(2.0f * R);
    }
}

namespace {

// Both sub-samples of the zero-delay high-pass and its low cut on one vector of lanes.
inline void highPassKernel(Lanes4 c1, Lanes4 c2, Lanes4 c3, Lanes4 k2, Lanes4 lc, Lanes4& t1,
                           Lanes4& t2, Lanes4& cut, const Lanes4 (&x)[2], Lanes4 (&y)[2]) {
    for (int s = 0; s < 2; ++s) {
        const Lanes4 v3 = x[s] - t2;
        const Lanes4 band = c1 * t1 + c2 * v3;
        const Lanes4 low = t2 + c2 * t1 + c3 * v3;
        const Lanes4 high = x[s] - k2 * band - low;
        t1 = 2.0f * band - t1;
        t2 = 2.0f * low - t2;
        // A one-pole low-pass of the high-pass signal, subtracted: a gentle low cut.
        cut = cut + (high - cut) * lc;
        y[s] = 10.0f * (high - cut) + kGuard;
    }
    dropTiny(t1);
    dropTiny(t2);
    dropTiny(cut);
}

}  // namespace

void THPFilter::process(float freq, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    update(freq, mod, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p)
        highPassKernel(a1, a2, a3, k, lowCut, s1[p], s2[p], c[p], x[p], y[p]);
    scatterPairs(y, n, out);
}

void THPFilter::runTwo(THPFilter& a, THPFilter& b, const stereoOverStruct& inA,
                       const stereoOverStruct& inB, stereoOverStruct& outA,
                       stereoOverStruct& outB) {
    Lanes4 x[2], y[2];
    gatherTwoNotes(inA, inB, x);
    Lanes4 t1 = mergeNotes(a.s1[0], b.s1[0]), t2 = mergeNotes(a.s2[0], b.s2[0]);
    Lanes4 cut = mergeNotes(a.c[0], b.c[0]);
    highPassKernel(mergeNotes(a.a1, b.a1), mergeNotes(a.a2, b.a2), mergeNotes(a.a3, b.a3),
                   mergeNotes(a.k, b.k), mergeNotes(a.lowCut, b.lowCut), t1, t2, cut, x, y);
    splitNotes(t1, a.s1[0], b.s1[0]);
    splitNotes(t2, a.s2[0], b.s2[0]);
    splitNotes(cut, a.c[0], b.c[0]);
    scatterTwoNotes(y, outA, outB);
}

void THPFilter::runNotes(THPFilter* const* filters, const stereoOverStruct* const* in,
                         stereoOverStruct* const* out, int count) {
    int k = 0;
    for (; k + 1 < count; k += 2)
        runTwo(*filters[k], *filters[k + 1], *in[k], *in[k + 1], *out[k], *out[k + 1]);
    if (k < count) {
        Lanes4 x[1][2], y[1][2];
        gatherPairs(in[k], 1, 1, x);
        THPFilter& f = *filters[k];
        highPassKernel(f.a1, f.a2, f.a3, f.k, f.lowCut, f.s1[0], f.s2[0], f.c[0], x[0], y[0]);
        scatterPairs(y, 1, out[k]);
    }
}
