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

// The envelope values of the two notes of pair p (an odd count repeats its last note) as
// lanes: note a left and right, note b left and right.
inline Lanes4 pairEnvelopes(const float* env, int p, int n) {
    const float ea = env[2 * p < n ? 2 * p : n - 1];
    const float eb = env[2 * p + 1 < n ? 2 * p + 1 : n - 1];
    return Lanes4{ea, ea, eb, eb};
}

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
    separation = 1.0f;
    for (float& e : env) e = 0.0f;
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

void TBPFilter::setEnv(int copy, float value) {
    if (copy >= 0 && copy < kFilterMaxCopies) env[copy] = value;
}

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
    separation = sep;

    const float r = clampNaN(resonance, 0.0f, 1.0f) * 0.95f;
    const bool shared = pairCount > lastPairs || std::fabs(r - lastRes) > 1e-5f;
    if (shared) {
        lastRes = r;
        lastPairs = pairCount;
    }
    const float cl = mod + cutoff.left + velOffset, cr = mod + cutoff.right + velOffset;
    const Lanes4 common = {cl, cr, cl, cr};
    const bool sameMap = keyFactor == lastKey && sep == lastSep;
    const float base = 20.0f * keyFactor;
    const Lanes4 sideGain = {base / sep, base * sep, base / sep, base * sep};
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != lastV[p])) {
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
    lastKey = keyFactor;
    lastSep = sep;

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p) {
        for (int s = 0; s < 2; ++s) {
            // b - 0.001 b^3 limits only while |b| < sqrt(1000 / 3); the state is held there.
            Lanes4 b = clampNaN(band[p], -18.2574186f, 18.2574186f);
            b = b - (0.001f * b) * (b * b);
            const Lanes4 high = x[p][s] - low[p] - D[p] * b;
            b = F[p] * high + b;
            low[p] = F[p] * b + low[p];
            band[p] = b;
            y[p][s] = 20.0f * b + kGuard;
        }
        dropTiny(band[p]);
        dropTiny(low[p]);
    }
    scatterPairs(y, n, out);
}

// --- layer low-pass ------------------------------------------------------------------------

void TLPFilter::init(float sampleRate) {
    rate = layerRate(sampleRate, 196000.0f);
    halfInvRate = 1.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    keyFactor = 1.0f;
    velOffset = 0.0f;
    for (float& e : env) e = 0.0f;
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

void TLPFilter::setEnv(int copy, float value) {
    if (copy >= 0 && copy < kFilterMaxCopies) env[copy] = value;
}

void TLPFilter::process(float cutoff, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];

    const float q = layerQ(resonance);
    const bool shared = pairCount > lastPairs || std::fabs(q - lastQ) > 1e-5f;
    if (shared) {
        lastQ = q;
        R = FilterZQ[(int)(q * 131071.0f)];
        lastPairs = pairCount;
    }
    const Lanes4 common = splat(velOffset + cutoff + mod);
    const bool sameMap = keyFactor == lastKey;
    const float base = 20.0f * keyFactor;
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 v = clampNaN(pairEnvelopes(env, p, n) + common, 0.0f, 1.0f);
        bool moved = shared;
        if (!sameMap || anyLane(v != lastV[p])) {
            lastV[p] = v;
            fTarget[p] = boundCutoff(exp2Cutoff(10.0f * v) * base, ceiling);
            moved |= movedBeyond(fTarget[p], fUsed[p]);
        }
        if (moved) {
            fUsed[p] = fTarget[p];
            zeroDelayCoefficients(
                gather(FilterZTan, tableIndexes((fUsed[p] + 0.001f) * halfInvRate + kGuard)), R,
                a1[p], a2[p], a3[p]);
        }
    }
    lastKey = keyFactor;

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p) {
        for (int s = 0; s < 2; ++s) {
            const Lanes4 v3 = x[p][s] - s2[p];
            const Lanes4 band = a1[p] * s1[p] + a2[p] * v3;
            const Lanes4 low = s2[p] + a2[p] * s1[p] + a3[p] * v3;
            s1[p] = 2.0f * band - s1[p];
            s2[p] = 2.0f * low - s2[p];
            y[p][s] = 10.0f * low + kGuard;
        }
        dropTiny(s1[p]);
        dropTiny(s2[p]);
    }
    scatterPairs(y, n, out);
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

void THPFilter::process(float freq, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];

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

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p) {
        for (int s = 0; s < 2; ++s) {
            const Lanes4 v3 = x[p][s] - s2[p];
            const Lanes4 band = a1 * s1[p] + a2 * v3;
            const Lanes4 low = s2[p] + a2 * s1[p] + a3 * v3;
            const Lanes4 high = x[p][s] - k * band - low;
            s1[p] = 2.0f * band - s1[p];
            s2[p] = 2.0f * low - s2[p];
            // A one-pole low-pass of the high-pass signal, subtracted: a gentle low cut.
            c[p] = c[p] + (high - c[p]) * lowCut;
            y[p][s] = 10.0f * (high - c[p]) + kGuard;
        }
        dropTiny(s1[p]);
        dropTiny(s2[p]);
        dropTiny(c[p]);
    }
    scatterPairs(y, n, out);
}
