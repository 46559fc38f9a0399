// The layer band-pass ("Wire"), low-pass and high-pass filters.
#include "dsp/TLayerFilters.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "dsp/FilterTables.h"
#include "dsp/HighPassKernel.h"
#include "dsp/LaneDispatch.h"

using namespace filtermath;

#if TAV_WIDE_LANES
namespace {

// Eight lanes as two halves of four: the helpers of the AVX2 paths, always inlined there
// (an eight-lane value never crosses a call).
#define TAV_WIDE_INLINE __attribute__((always_inline, target("avx2"))) inline

TAV_WIDE_INLINE Lanes8 joinLanes(Lanes4 lo, Lanes4 hi) {
    return __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
}
TAV_WIDE_INLINE Lanes4 lowerLanes(Lanes8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
TAV_WIDE_INLINE Lanes4 upperLanes(Lanes8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
// Four single-note voices' halves of a field in eight lanes, and back (see mergeNotes).
TAV_WIDE_INLINE Lanes8 mergeQuad(const Lanes4& a, const Lanes4& b, const Lanes4& c,
                                 const Lanes4& d) {
    Lanes8 v;
    loadNoteHalves(v, a, b, c, d);
    return v;
}
TAV_WIDE_INLINE void splitQuad(Lanes8 v, Lanes4& a, Lanes4& b, Lanes4& c, Lanes4& d) {
    storeNoteHalves(v, a, b, c, d);
}
// The two pairs' sub-samples as one kernel input (a tenth plus the guard, as scaleIn), and
// the kernel's output back into the pairs.
TAV_WIDE_INLINE void quadIn(const Lanes4 (&ab)[2], const Lanes4 (&cd)[2], Lanes8 (&x)[2]) {
    const KernelConstants& k = kernelConstants();
    for (int s = 0; s < 2; ++s)
        x[s] = joinLanes(ab[s], cd[s]) * lanesOf<Lanes8>(k.tenth) + lanesOf<Lanes8>(k.guard);
}
TAV_WIDE_INLINE void quadOut(const Lanes8 (&y)[2], Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
    for (int s = 0; s < 2; ++s) {
        ab[s] = lowerLanes(y[s]);
        cd[s] = upperLanes(y[s]);
    }
}
// quadOut() with each pair's two sub-samples in one store: the tails read a pair's lanes
// with one load, and a load across two stores just made waits for them to reach the cache.
TAV_WIDE_INLINE void quadOutWhole(const Lanes8 (&y)[2], Lanes4 (&ab)[2], Lanes4 (&cd)[2]) {
    _mm256_storeu_ps(reinterpret_cast<float*>(ab),
                     _mm256_permute2f128_ps((__m256)y[0], (__m256)y[1], 0x20));
    _mm256_storeu_ps(reinterpret_cast<float*>(cd),
                     _mm256_permute2f128_ps((__m256)y[0], (__m256)y[1], 0x31));
}
// Four voices' coefficient vectors {c0, c1, c2, c3} as {c0 a, c0 b, c1 a, c1 b, c0 c, c0 d,
// c1 c, c1 d} (lo) and the same of c2 and c3 (hi).
TAV_WIDE_INLINE void quadCoefficients(Lanes4 a, Lanes4 b, Lanes4 c, Lanes4 d, __m256& lo,
                                      __m256& hi) {
    lo = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_unpacklo_ps((__m128)a, (__m128)b)),
                              _mm_unpacklo_ps((__m128)c, (__m128)d), 1);
    hi = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_unpackhi_ps((__m128)a, (__m128)b)),
                              _mm_unpackhi_ps((__m128)c, (__m128)d), 1);
}

}  // namespace
#undef TAV_WIDE_INLINE
#endif

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

// movedBeyond and the clamps with their bounds as vector operands (see cutoffConstants).
inline bool movedBeyond(Lanes4 a, Lanes4 b, const CutoffConstants& k) {
    const Lanes4 d = a - b;
    return anyLane(d > k.step || d < k.minusStep);
}
// x clamped to [0, top]; NaN gives 0 (clampNaN with the bound as an operand).
inline Lanes4 clampTo(Lanes4 x, Lanes4 top) { return minLanes(maxLanes(x, splat(0.0f)), top); }

// {a0, b0, a1, b1}, {a2, b2, a3, b3}, and {v[i], v[i], v[i + 1], v[i + 1]} (i = 0 or 2).
inline Lanes4 unpackLow(Lanes4 a, Lanes4 b) { return filtermath::pickLanes<0, 4, 1, 5>(a, b); }
inline Lanes4 unpackHigh(Lanes4 a, Lanes4 b) { return filtermath::pickLanes<2, 6, 3, 7>(a, b); }
inline Lanes4 dupEach(Lanes4 v, int i) { return i == 0 ? unpackLow(v, v) : unpackHigh(v, v); }

// The table entries of a note's left and right side (lanes 0 and 1) in both halves: for one
// note, lanes 2 and 3 repeat lanes 0 and 1, so two reads do where gather() makes four.
inline Lanes4 gatherSides(const float* table, LaneInts4 i) {
    const float l = table[i[0]], r = table[i[1]];
    return Lanes4{l, r, l, r};
}

}  // namespace

// --- Wire band-pass ------------------------------------------------------------------------

void TBPFilter::spreadLanesNow() {
    lanesDue = false;
    pr[0].lastV = dupLow(pr[0].lastV);
    pr[0].fTarget = dupLow(pr[0].fTarget);
    pr[0].fUsed = dupLow(pr[0].fUsed);
    entry[0] = (LaneInts4)dupLow((Lanes4)entry[0]);
    pr[0].F = dupLow(pr[0].F);
}

void TBPFilter::init(float sampleRate) {
    static_assert(offsetof(TBPFilter, env) + sizeof(Lanes4) <= 64 &&
                      offsetof(TBPFilter, memo) == 0 && alignof(TBPFilter) == 64,
                  "a note's first envelope value in the memo's cache line");
    // (a holder writes the map's values back on release: before they are set anew here)
    if (holder) holder->release();
    spreadLanes();
    rate = layerRate(sampleRate, 196000.0f);
    tableScale = 262143.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    scaleLanes = splat(tableScale);
    ceilingLanes = splat(ceiling);
    keyFactor = 1.0f;
    trackMemo.known = false;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    for (int p = 0; p < kFilterMaxPairs; ++p) pr[p].fTarget = pr[p].fUsed = splat(20.0f);
    reset();
}

void TBPFilter::reset() {
    if (holder) holder->release();
    spreadLanes();
    pr[0].band = pr[0].low = splat(0.0f);
    pr[0].lastV = splat(std::nanf(""));
    pairsCleared = 1;
    lastRes = -1.0f;  // coefficients are recomputed on the next call
    lastPairs = 0;
    memo.quiet = false;
    plain = false;
}

// What reset() would have left in the pairs a larger note count now reaches.
void TBPFilter::clearPairsFrom(int pairCount) {
    for (int p = pairsCleared; p < pairCount; ++p) {
        pr[p].band = pr[p].low = splat(0.0f);
        pr[p].lastV = splat(std::nanf(""));
    }
    pairsCleared = pairCount;
}

void TBPFilter::setTrack(float amount, float key) {
    if (!trackMemo.changed(amount, key)) return;
    plain = false;
    if (assignChanged(keyFactor, std::exp2(amount * key))) memo.quiet = false;
}

void TBPFilter::setVel(float amount, float velocity) {
    // (not plain: a quad holding the filter takes its offset again, see WireQuads)
    if (assignChanged(velOffset, (velocity - 0.5f) * amount)) memo.quiet = plain = false;
}

// The coefficients of this call: the mapped cutoff of every lane, and FilterSine and the
// damping where the cutoff moved or the resonance or copy count changed.
void TBPFilter::update(int n, int pairCount, stereoStruct cutoff, float mod, float sep,
                       float resonance) {
    const float args[5] = {cutoff.left, cutoff.right, mod, sep, resonance};
    if (memo.skip(args, n)) return;
    plain = false;
    const float r = clampNaN(resonance, 0.0f, 1.0f) * 0.95f;
    const bool shared = pairCount > lastPairs || std::fabs(r - lastRes) > 1e-5f;
    bool changed = shared;
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
        if (!sameMap || anyLane(v != pr[p].lastV)) {
            mapSides(sep);
            changed = true;
            pr[p].lastV = v;
            pr[p].fTarget = boundCutoff(exp2Cutoff(10.0f * v) * sideGain, ceiling);
            moved |= movedBeyond(pr[p].fTarget, pr[p].fUsed);
        }
        if (moved) {
            pr[p].fUsed = pr[p].fTarget;
            const LaneInts4 idx = tableEntries((pr[p].fUsed + 0.001f) * tableScale + kGuard);
            if (anyLane(idx != entry[p])) {
                entry[p] = idx;
                pr[p].F = gather(FilterSine, idx);
            }
            pr[p].D = splat(1.0f - r + kGuard);
        }
    }
    changed |= assignChanged(lastKey, keyFactor);
    changed |= assignChanged(lastSep, sep);
    memo.record(args, n, changed);
}

// The side gains change with the key factor and separation only, so their division is done
// when one of them changes (bit for bit: +0 and -0 separations differ in the quotient).
void TBPFilter::mapSides(float sep) {
    const uint32_t k = UpdateMemo<1>::bits(keyFactor), s = UpdateMemo<1>::bits(sep);
    if (k == gainKeyBits && s == gainSepBits) return;
    gainKeyBits = k;
    gainSepBits = s;
    const float base = 20.0f * keyFactor;
    sideGain = Lanes4{base / sep, base * sep, base / sep, base * sep};
}

// The steps of update(1, 1, ...) with what one note allows: its envelope value already
// fills all four lanes of env[0] (pairEnvelopes would only repeat it), lanes 2 and 3 repeat
// lanes 0 and 1 throughout, and FilterSine is read again only when the table entries
// differ from those F holds (an envelope moves the cutoff a little every sample, often
// within one entry).
void TBPFilter::updateNote(float cutoffLeft, float cutoffRight, float mod, float sep,
                           float resonance) {
    spreadLanes();
    const CutoffConstants& k = cutoffConstants();
    // The cutoff in use follows the target: its sine-table entries and the damping.
    const auto retune = [&](float r) {
        pr[0].fUsed = pr[0].fTarget;
        const LaneInts4 idx = __builtin_convertvector(
            clampTo((pr[0].fUsed + k.milli) * scaleLanes + k.guard, k.top), LaneInts4);
        if (anyLane(idx != entry[0])) {
            entry[0] = idx;
            pr[0].F = gatherSides(FilterSine, idx);
        }
        pr[0].D = splat(1.0f - r + kGuard);
    };
    if (__builtin_expect(keepsMap(sep, resonance), 1)) {
        // The path below with shared false and the same map: only the envelope and the
        // cutoff arguments can have moved.
        const float cl = mod + cutoffLeft + velOffset, cr = mod + cutoffRight + velOffset;
        const Lanes4 v = clampTo(env[0] + Lanes4{cl, cr, cl, cr}, k.one);
        const bool changed = anyLane(v != pr[0].lastV);
        if (changed) {
            pr[0].lastV = v;
            pr[0].fTarget = clampTo(exp2Cutoff(k.ten * v) * sideGain, ceilingLanes);
            if (movedBeyond(pr[0].fTarget, pr[0].fUsed, k)) retune(noteR);
        }
        // The memo's separation, resonance and note count stay.
        memo.args[0] = UpdateMemo<1>::bits(cutoffLeft);
        memo.args[1] = UpdateMemo<1>::bits(cutoffRight);
        memo.args[2] = UpdateMemo<1>::bits(mod);
        memo.quiet = !changed;
        return;
    }
    const float r = clampNaN(resonance, 0.0f, 1.0f) * 0.95f;
    const bool shared = lastPairs < 1 || std::fabs(r - lastRes) > 1e-5f;
    bool changed = shared;
    if (shared) {
        lastRes = r;
        lastPairs = 1;
    }
    const float cl = mod + cutoffLeft + velOffset, cr = mod + cutoffRight + velOffset;
    const Lanes4 v = clampTo(env[0] + Lanes4{cl, cr, cl, cr}, k.one);
    bool moved = shared;
    if (keyFactor != lastKey || sep != lastSep || anyLane(v != pr[0].lastV)) {
        mapSides(sep);
        changed = true;
        pr[0].lastV = v;
        pr[0].fTarget = clampTo(exp2Cutoff(k.ten * v) * sideGain, ceilingLanes);
        moved |= movedBeyond(pr[0].fTarget, pr[0].fUsed, k);
    }
    if (moved) retune(r);
    changed |= assignChanged(lastKey, keyFactor);
    changed |= assignChanged(lastSep, sep);
    memo.recordNote(changed, cutoffLeft, cutoffRight, mod, sep, resonance);
    noteR = r;
    // (NaN never maps with the same gains: it compares unequal to itself.) An update of
    // two notes may have left the second one's cutoff in use and entries in lanes 2 and 3,
    // and one whose resonance moved within the tolerance the damping of an earlier one.
    plain = gainKeyBits == UpdateMemo<1>::bits(keyFactor) && gainSepBits == UpdateMemo<1>::bits(sep) &&
            keyFactor == keyFactor && sep == sep &&
            sameLanes((LaneInts4)pr[0].fUsed, (LaneInts4)dupLow(pr[0].fUsed)) &&
            sameLanes(entry[0], (LaneInts4)dupLow((Lanes4)entry[0])) &&
            sameLanes((LaneInts4)pr[0].D, (LaneInts4)splat(1.0f - r + kGuard));
}

// The memo of a note map: the arguments it took, and whether its cutoff stayed.
__attribute__((always_inline)) inline void TBPFilter::keepMemo(stereoStruct cutoff, float mod,
                                                               bool quiet) {
    memo.args[0] = UpdateMemo<1>::bits(cutoff.left);
    memo.args[1] = UpdateMemo<1>::bits(cutoff.right);
    memo.args[2] = UpdateMemo<1>::bits(mod);
    memo.quiet = quiet;
}

template <class Tuning>
__attribute__((always_inline)) inline void TBPFilter::keepNote(int lanes, int changed, int moved,
                                                               Lanes4 v, Lanes4 target,
                                                               LaneInts4 idx, Tuning tuning,
                                                               stereoStruct cutoff, float mod) {
    if (changed & lanes) {
        pr[0].lastV = v;
        pr[0].fTarget = target;
        if (moved & lanes) {
            pr[0].fUsed = target;
            // Stored whether or not the entries differ: F holds FilterSine at the entries
            // (in every lane, since they repeat in lanes 2 and 3 here), so where they are the
            // same these are the values held, and no branch waits on the entries' compare.
            // The damping stays: while plain holds, D is already 1 - noteR + kGuard.
            entry[0] = idx;
            pr[0].F = tuning();
        }
    }
    keepMemo(cutoff, mod, (changed & lanes) == 0);
}

namespace {

inline int laneMask(LaneInts4 m) { return _mm_movemask_ps((__m128)m); }

}  // namespace

// updateNote()'s first path of voices a and b, side by side: {a left, a right, b left,
// b right}, every lane as the lanes of one filter there.
void TBPFilter::mapNotePair(TBPFilter& a, TBPFilter& b, stereoStruct cutoff, float modA,
                            float modB) {
    const CutoffConstants& k = cutoffConstants();
    const Lanes4 cut = {cutoff.left, cutoff.right, cutoff.left, cutoff.right};
    const Lanes4 mod = {modA, modA, modB, modB};
    const Lanes4 vel = {a.velOffset, a.velOffset, b.velOffset, b.velOffset};
    const Lanes4 v = clampTo(mergeNotes(a.env[0], b.env[0]) + ((mod + cut) + vel), k.one);
    const int changed = laneMask(v != mergeNotes(a.pr[0].lastV, b.pr[0].lastV));
    const Lanes4 target = clampTo(exp2Cutoff(k.ten * v) * mergeNotes(a.sideGain, b.sideGain),
                                  mergeNotes(a.ceilingLanes, b.ceilingLanes));
    const Lanes4 d = target - mergeNotes(a.pr[0].fUsed, b.pr[0].fUsed);
    const int moved = laneMask(d > k.step || d < k.minusStep);
    const LaneInts4 idx = __builtin_convertvector(
        clampTo((target + k.milli) * mergeNotes(a.scaleLanes, b.scaleLanes) + k.guard, k.top),
        LaneInts4);
    const Lanes4 idxLanes = (Lanes4)idx;
    const LaneInts4 idxA = (LaneInts4)dupLow(idxLanes), idxB = (LaneInts4)dupHigh(idxLanes);
    a.keepNote(3, changed, moved, dupLow(v), dupLow(target), idxA,
               [&] { return gatherSides(FilterSine, idxA); }, cutoff, modA);
    b.keepNote(12, changed, moved, dupHigh(v), dupHigh(target), idxB,
               [&] { return gatherSides(FilterSine, idxB); }, cutoff, modB);
}

#if TAV_WIDE_LANES
namespace {

#define TAV_WIDE_INLINE __attribute__((always_inline, target("avx2"))) inline

// exp2Cutoff() on eight lanes: every lane the same operations in the same order.
TAV_WIDE_INLINE __m256 exp2Cutoff8(__m256 x, const WideCutoffConstants& k) {
    x = _mm256_min_ps(_mm256_max_ps(x, _mm256_setzero_ps()), (__m256)k.ten);
    const __m256i i = _mm256_cvttps_epi32(x);
    const __m256 t = _mm256_sub_ps(_mm256_sub_ps(x, _mm256_cvtepi32_ps(i)), (__m256)k.half);
    const __m256 t2 = _mm256_mul_ps(t, t);
    const __m256 lo = _mm256_add_ps((__m256)k.c0, _mm256_mul_ps((__m256)k.c1, t));
    const __m256 mid = _mm256_add_ps((__m256)k.c2, _mm256_mul_ps((__m256)k.c3, t));
    const __m256 hi = _mm256_add_ps((__m256)k.c4, _mm256_mul_ps((__m256)k.c5, t));
    const __m256 p = _mm256_add_ps(lo, _mm256_mul_ps(t2, _mm256_add_ps(mid, _mm256_mul_ps(t2, hi))));
    const __m256i bits = _mm256_slli_epi32(_mm256_add_epi32(i, (__m256i)k.bias), 23);
    return _mm256_mul_ps(_mm256_mul_ps(p, (__m256)k.sqrt2), _mm256_castsi256_ps(bits));
}
// x clamped to [0, top]; NaN gives 0 (as clampTo).
TAV_WIDE_INLINE __m256 clampTo8(__m256 x, __m256 top) {
    return _mm256_min_ps(_mm256_max_ps(x, _mm256_setzero_ps()), top);
}
TAV_WIDE_INLINE __m256 quadHalves(const Lanes4& a, const Lanes4& b, const Lanes4& c,
                                  const Lanes4& d) {
    return (__m256)mergeQuad(a, b, c, d);
}

#undef TAV_WIDE_INLINE

}  // namespace

// keepNote() with the stores of lanes 0 and 1 only.
__attribute__((always_inline, target("avx2"))) inline void TBPFilter::keepNoteHalves(
    bool upper, int lanes, int changed, int moved, __m128 v, __m128 target, __m128 idx,
    __m128 sine, stereoStruct cutoff, float mod) {
    const auto store = [upper](auto& field, __m128 x) __attribute__((always_inline)) {
        __m64* const to = reinterpret_cast<__m64*>(&field);
        if (upper)
            _mm_storeh_pi(to, x);
        else
            _mm_storel_pi(to, x);
    };
    if (changed & lanes) {
        store(pr[0].lastV, v);
        store(pr[0].fTarget, target);
        if (moved & lanes) {
            store(pr[0].fUsed, target);
            store(entry[0], idx);
            store(pr[0].F, sine);
        }
        lanesDue = true;
    }
    keepMemo(cutoff, mod, (changed & lanes) == 0);
}

// mapNotePair() of two pairs in the eight lanes {a left, a right, b left, ..., d right}.
__attribute__((target("avx2"))) int TBPFilter::mapNoteQuadWide(TBPFilter& a, TBPFilter& b,
                                                               TBPFilter& c, TBPFilter& d,
                                                               stereoStruct cutoff, Lanes4 mod) {
    double sides;
    std::memcpy(&sides, &cutoff, sizeof sides);
    const __m256 cut = _mm256_castpd_ps(_mm256_set1_pd(sides));
    const __m256i dup = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256 m = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)mod), dup);
    const __m128 vel4 = _mm_setr_ps(a.velOffset, b.velOffset, c.velOffset, d.velOffset);
    const __m256 vel = _mm256_permutevar8x32_ps(_mm256_castps128_ps256(vel4), dup);
    const __m256 env = quadHalves(a.env[0], b.env[0], c.env[0], d.env[0]);
    const WideCutoffConstants& k = wideCutoffConstants();
    const __m256 v =
        clampTo8(_mm256_add_ps(env, _mm256_add_ps(_mm256_add_ps(m, cut), vel)), (__m256)k.one);
    const int changed = _mm256_movemask_ps(_mm256_cmp_ps(
        v, quadHalves(a.pr[0].lastV, b.pr[0].lastV, c.pr[0].lastV, d.pr[0].lastV), _CMP_NEQ_UQ));
    const __m256 target = clampTo8(
        _mm256_mul_ps(exp2Cutoff8(_mm256_mul_ps((__m256)k.ten, v), k),
                      quadHalves(a.sideGain, b.sideGain, c.sideGain, d.sideGain)),
        quadHalves(a.ceilingLanes, b.ceilingLanes, c.ceilingLanes, d.ceilingLanes));
    const __m256 diff =
        _mm256_sub_ps(target, quadHalves(a.pr[0].fUsed, b.pr[0].fUsed, c.pr[0].fUsed, d.pr[0].fUsed));
    const int moved = _mm256_movemask_ps(
        _mm256_or_ps(_mm256_cmp_ps(diff, (__m256)k.step, _CMP_GT_OQ),
                     _mm256_cmp_ps(diff, (__m256)k.minusStep, _CMP_LT_OQ)));
    const __m256 scale = quadHalves(a.scaleLanes, b.scaleLanes, c.scaleLanes, d.scaleLanes);
    const __m256 pos = _mm256_add_ps(
        _mm256_mul_ps(_mm256_add_ps(target, (__m256)k.milli), scale), (__m256)k.guard);
    const __m256i idx = _mm256_cvttps_epi32(clampTo8(pos, (__m256)k.top));
    const __m256 idxLanes = _mm256_castsi256_ps(idx);
    // FilterSine at every lane's entry (0 to 262143 after the clamp), read at once; each
    // voice whose cutoff moved takes its two lanes
    const __m256 tuning = _mm256_i32gather_ps(FilterSine, idx, 4);
    TBPFilter* const f[4] = {&a, &b, &c, &d};
    // each field's two halves of four lanes: a voice's two lanes are in one of them
    const __m128 vs[2] = {_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1)};
    const __m128 targets[2] = {_mm256_castps256_ps128(target), _mm256_extractf128_ps(target, 1)};
    const __m128 entries[2] = {_mm256_castps256_ps128(idxLanes),
                               _mm256_extractf128_ps(idxLanes, 1)};
    const __m128 sines[2] = {_mm256_castps256_ps128(tuning), _mm256_extractf128_ps(tuning, 1)};
    for (int i = 0; i < 4; ++i)
        f[i]->keepNoteHalves(i & 1, 3 << (2 * i), changed, moved, vs[i >> 1], targets[i >> 1],
                             entries[i >> 1], sines[i >> 1], cutoff, mod[i]);
    // (a voice stores F only where one of its lanes moved)
    return moved;
}

#endif

void TBPFilter::mapNotePairs(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                             stereoStruct cutoff, Lanes4 mod) {
    mapNotePair(a, b, cutoff, mod[0], mod[1]);
    mapNotePair(c, d, cutoff, mod[2], mod[3]);
}

void TBPFilter::prepareNotesApart(TBPFilter& a, TBPFilter& b, TBPFilter& c, TBPFilter& d,
                                  stereoStruct cutoff, Lanes4 mod, Lanes4 sep,
                                  Lanes4 resonance) {
    a.prepareNote(cutoff, mod[0], sep[0], resonance[0]);
    b.prepareNote(cutoff, mod[1], sep[1], resonance[1]);
    c.prepareNote(cutoff, mod[2], sep[2], resonance[2]);
    d.prepareNote(cutoff, mod[3], sep[3], resonance[3]);
}

namespace {

// Both sub-samples of the resonant state-variable band-pass on one vector of lanes (four or
// eight); the states stay in registers over both and drop below the floor at the end.
template <class V>
__attribute__((always_inline)) inline void bandPassKernel(const V& f, const V& d, V& bs, V& ls,
                                                          const V (&x)[2], V (&y)[2]) {
    const KernelConstants& k = kernelConstants();
    for (int s = 0; s < 2; ++s) {
        // b - 0.001 b^3 limits only while |b| < sqrt(1000 / 3); the state is held there.
        V b = bs;
        clampLanes(b, lanesOf<V>(k.minusLimit), lanesOf<V>(k.limit));
        b = b - (lanesOf<V>(k.milli) * b) * (b * b);
        const V high = x[s] - ls - d * b;
        b = f * high + b;
        ls = f * b + ls;
        bs = b;
        y[s] = lanesOf<V>(k.twenty) * b + lanesOf<V>(k.guard);
    }
    dropTinyLanes(bs);
    dropTinyLanes(ls);
}

}  // namespace

void TBPFilter::process(bool on, stereoStruct cutoff, float mod, float sep, float resonance,
                        int copies, const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    if (holder) holder->release();
    if (!on) {
        if (out != in)
            for (int c = 0; c < copies; ++c) out[c] = in[c];
        return;
    }
    spreadLanes();
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    clearPairs(pairCount);
    update(n, pairCount, cutoff, mod, sep, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p) bandPassKernel(pr[p].F, pr[p].D, pr[p].band, pr[p].low, x[p], y[p]);
    scatterPairs(y, n, out);
}

void TBPFilter::runNotePair(TBPFilter& a, TBPFilter& b, Lanes4 (&lanes)[2]) {
    Lanes4 x[2];
    scaleIn(lanes, x);
    Lanes4(&y)[2] = lanes;
    Lanes4 bs = mergeNotes(a.pr[0].band, b.pr[0].band), ls = mergeNotes(a.pr[0].low, b.pr[0].low);
    bandPassKernel(mergeNotes(a.pr[0].F, b.pr[0].F), mergeNotes(a.pr[0].D, b.pr[0].D), bs, ls, x, y);
    splitNotes(bs, a.pr[0].band, b.pr[0].band);
    splitNotes(ls, a.pr[0].low, b.pr[0].low);
}

#if TAV_WIDE_LANES
__attribute__((target("avx2"))) void TBPFilter::runNoteQuadWide(TBPFilter& a, TBPFilter& b,
                                                                TBPFilter& c, TBPFilter& d,
                                                                Lanes4 (&ab)[2],
                                                                Lanes4 (&cd)[2]) {
    Lanes8 x[2], y[2];
    quadIn(ab, cd, x);
    Lanes8 bs = mergeQuad(a.pr[0].band, b.pr[0].band, c.pr[0].band, d.pr[0].band);
    Lanes8 ls = mergeQuad(a.pr[0].low, b.pr[0].low, c.pr[0].low, d.pr[0].low);
    bandPassKernel(mergeQuad(a.pr[0].F, b.pr[0].F, c.pr[0].F, d.pr[0].F),
                   mergeQuad(a.pr[0].D, b.pr[0].D, c.pr[0].D, d.pr[0].D), bs, ls, x, y);
    splitQuad(bs, a.pr[0].band, b.pr[0].band, c.pr[0].band, d.pr[0].band);
    splitQuad(ls, a.pr[0].low, b.pr[0].low, c.pr[0].low, d.pr[0].low);
    quadOut(y, ab, cd);
}
#endif

// --- layer low-pass ------------------------------------------------------------------------

// Both sides of a note share their cutoff, so lanes 0 and 1 of every coefficient are equal
// (as are lanes 2 and 3): the first note's coefficients are the three values kept in zd.
void TLPFilter::packNoteCoefficients() { zd = Lanes4{pr[0].a1[0], pr[0].a2[0], pr[0].a3[0], 0.0f}; }

void TLPFilter::spreadLanesNow() {
    lanesDue = false;
    pr[0].lastV = splat(pr[0].lastV[0]);
    pr[0].fTarget = splat(pr[0].fTarget[0]);
    pr[0].fUsed = splat(pr[0].fUsed[0]);
    entry[0] = entry[0][0] + LaneInts4{};
    // zd holds lane 0 of the coefficients (packNoteCoefficients)
    pr[0].a1 = splat(zd[0]);
    pr[0].a2 = splat(zd[1]);
    pr[0].a3 = splat(zd[2]);
}

void TLPFilter::init(float sampleRate) {
    static_assert(offsetof(TLPFilter, env) + sizeof(Lanes4) <= 64 &&
                      offsetof(TLPFilter, plain) < 64 && offsetof(TLPFilter, memo) == 0 &&
                      alignof(TLPFilter) == 64,
                  "what a held quad's voice reads of the filter in the memo's cache line");
    spreadLanes();
    rate = layerRate(sampleRate, 196000.0f);
    halfInvRate = 1.0f / (2.0f * rate);
    ceiling = 0.4f * rate;
    scaleLanes = splat(halfInvRate);
    ceilingLanes = splat(ceiling);
    keyFactor = 1.0f;
    trackMemo.known = false;
    velOffset = 0.0f;
    for (Lanes4& e : env) e = splat(0.0f);
    for (int p = 0; p < kFilterMaxPairs; ++p) pr[p].fTarget = pr[p].fUsed = splat(20.0f);
    reset();
}

void TLPFilter::reset() {
    if (holder) holder->release();
    spreadLanes();
    pr[0].s1 = pr[0].s2 = splat(0.0f);
    pr[0].lastV = splat(std::nanf(""));
    pairsCleared = 1;
    lastQ = -1.0f;
    lastPairs = 0;
    memo.quiet = false;
    plain = false;
}

// As TBPFilter::clearPairsFrom.
void TLPFilter::clearPairsFrom(int pairCount) {
    for (int p = pairsCleared; p < pairCount; ++p) {
        pr[p].s1 = pr[p].s2 = splat(0.0f);
        pr[p].lastV = splat(std::nanf(""));
    }
    pairsCleared = pairCount;
}

void TLPFilter::setTrack(float amount, float key) {
    if (!trackMemo.changed(amount, key)) return;
    plain = false;
    if (assignChanged(keyFactor, std::exp2(amount * key))) memo.quiet = false;
}

void TLPFilter::setVel(float amount, float velocity) {
    if (assignChanged(velOffset, (velocity - 0.5f) * amount)) memo.quiet = false;
}

void TLPFilter::update(int n, int pairCount, float cutoff, float mod, float resonance) {
    const float args[3] = {cutoff, mod, resonance};
    if (memo.skip(args, n)) return;
    plain = false;
    const float q = layerQ(resonance);
    const bool shared = pairCount > lastPairs || std::fabs(q - lastQ) > 1e-5f;
    bool changed = shared;
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
        if (!sameMap || anyLane(v != pr[p].lastV)) {
            changed = true;
            pr[p].lastV = v;
            pr[p].fTarget = boundCutoff(exp2Cutoff(10.0f * v) * (20.0f * keyFactor), ceiling);
            moved |= movedBeyond(pr[p].fTarget, pr[p].fUsed);
        }
        if (moved) {
            pr[p].fUsed = pr[p].fTarget;
            const LaneInts4 idx = tableIndexes((pr[p].fUsed + 0.001f) * halfInvRate + kGuard);
            // R changes only in a shared update, which recomputes every pair.
            if (shared || anyLane(idx != entry[p])) {
                entry[p] = idx;
                zeroDelayCoefficients(gather(FilterZTan, idx), R, pr[p].a1, pr[p].a2, pr[p].a3);
                if (p == 0) packNoteCoefficients();
            }
        }
    }
    changed |= assignChanged(lastKey, keyFactor);
    memo.record(args, n, changed);
}

// The steps of update(1, 1, ...) for one note: its envelope value already fills all four
// lanes of env[0], and both sides share the cutoff, so every lane holds the same value and
// one FilterZTan read does. The coefficients are recomputed only when the damping or the
// table entry changed.
void TLPFilter::updateNote(float cutoff, float mod, float resonance) {
    spreadLanes();
    const float q = layerQ(resonance);
    const bool shared = lastPairs < 1 || std::fabs(q - lastQ) > 1e-5f;
    bool changed = shared;
    if (shared) {
        lastQ = q;
        R = FilterZQ[(int)(q * 131071.0f)];
        lastPairs = 1;
    }
    const CutoffConstants& k = cutoffConstants();
    const Lanes4 v = clampTo(env[0] + splat(velOffset + cutoff + mod), k.one);
    bool moved = shared;
    if (keyFactor != lastKey || anyLane(v != pr[0].lastV)) {
        changed = true;
        pr[0].lastV = v;
        pr[0].fTarget = clampTo(exp2Cutoff(k.ten * v) * (20.0f * keyFactor), ceilingLanes);
        moved |= movedBeyond(pr[0].fTarget, pr[0].fUsed, k);
    }
    if (moved) {
        pr[0].fUsed = pr[0].fTarget;
        // tableIndexes: the product with 262143, saturated, converted
        const LaneInts4 idx = __builtin_convertvector(
            clampTo(((pr[0].fUsed + k.milli) * scaleLanes + k.guard) * k.top, k.top), LaneInts4);
        if (shared || anyLane(idx != entry[0])) {
            entry[0] = idx;
            zeroDelayCoefficients(splat(FilterZTan[idx[0]]), R, pr[0].a1, pr[0].a2, pr[0].a3);
            packNoteCoefficients();
        }
    }
    changed |= assignChanged(lastKey, keyFactor);
    memo.recordNote(changed, cutoff, mod, resonance);
    // An update of two notes may have left the second one's values in lanes 2 and 3 (and
    // NaN never maps with the same key factor: it compares unequal to itself).
    const LaneInts4 used = (LaneInts4)pr[0].fUsed, last = (LaneInts4)pr[0].lastV;
    plain = keyFactor == lastKey && sameLanes(used, used[0] + LaneInts4{}) &&
            sameLanes(last, last[0] + LaneInts4{}) &&
            sameLanes(entry[0], entry[0][0] + LaneInts4{});
}

// Lane 0 of four vectors, side by side.
static inline Lanes4 firstLanes(const Lanes4& a, const Lanes4& b, const Lanes4& c,
                                const Lanes4& d) {
    return lowHalves(unpackLow(a, b), unpackLow(c, d));
}

__attribute__((always_inline)) inline TLPFilter::QuadTargets TLPFilter::mapNoteQuadTargets(
    TLPFilter* const (&f)[4], float cutoff, Lanes4 m) {
    const CutoffConstants& k = cutoffConstants();
    const TLPFilter &a = *f[0], &b = *f[1], &c = *f[2], &d = *f[3];
    const Lanes4 vel = {a.velOffset, b.velOffset, c.velOffset, d.velOffset};
    const Lanes4 v =
        clampTo(firstLanes(a.env[0], b.env[0], c.env[0], d.env[0]) + ((vel + cutoff) + m), k.one);
    const int changed =
        laneMask(v != firstLanes(a.pr[0].lastV, b.pr[0].lastV, c.pr[0].lastV, d.pr[0].lastV));
    const Lanes4 key = {a.keyFactor, b.keyFactor, c.keyFactor, d.keyFactor};
    const Lanes4 target =
        clampTo(exp2Cutoff(k.ten * v) * (20.0f * key),
                firstLanes(a.ceilingLanes, b.ceilingLanes, c.ceilingLanes, d.ceilingLanes));
    const Lanes4 diff =
        target - firstLanes(a.pr[0].fUsed, b.pr[0].fUsed, c.pr[0].fUsed, d.pr[0].fUsed);
    const int moved = changed & laneMask(diff > k.step || diff < k.minusStep);
    const Lanes4 scale = firstLanes(a.scaleLanes, b.scaleLanes, c.scaleLanes, d.scaleLanes);
    const LaneInts4 idx = __builtin_convertvector(
        clampTo(((target + k.milli) * scale + k.guard) * k.top, k.top), LaneInts4);
    return {v, target, idx, changed, moved};
}

// g: FilterZTan at the entries (read only where a cutoff moved).
__attribute__((always_inline)) inline void TLPFilter::mapNoteQuadKeep(TLPFilter* const (&f)[4],
                                                                      float cutoff, Lanes4 m,
                                                                      const QuadTargets& q,
                                                                      Lanes4 g) {
    const TLPFilter &a = *f[0], &b = *f[1], &c = *f[2], &d = *f[3];
    const Lanes4 v = q.v, target = q.target;
    const LaneInts4 idx = q.idx;
    const int changed = q.changed, moved = q.moved;
    // zeroDelayCoefficients() of every lane's entry and damping. A filter whose cutoff moved
    // stores them whether or not its entry differs: its coefficients are those of its entry
    // and damping (the damping changes only with the resonance, which here stays), so where
    // the entry is the same these are the values held, and no branch waits on its compare.
    Lanes4 a1 = {}, a2 = {}, a3 = {};
    if (moved) {
        const Lanes4 R = {a.R, b.R, c.R, d.R};
        a1 = splat(1.0f) / (1.0f + 2.0f * R * g + g * g);
        a2 = g * a1;
        a3 = g * a2;
    }
    // every filter's zd, {a1, a2, a3, 0} of its lane: the four transposed
    const Lanes4 t0 = unpackLow(a1, a2), t1 = unpackLow(a3, splat(0.0f));
    const Lanes4 t2 = unpackHigh(a1, a2), t3 = unpackHigh(a3, splat(0.0f));
    const Lanes4 zd[4] = {lowHalves(t0, t1), highHalves(t0, t1), lowHalves(t2, t3),
                          highHalves(t2, t3)};
    // lane 0 of a field (the others are left to spreadLanes())
    const auto first = [](auto& field, auto x) __attribute__((always_inline)) {
        static_assert(sizeof x == 4, "one lane");
        std::memcpy(&field, &x, sizeof x);
    };
    for (int i = 0; i < 4; ++i) {
        TLPFilter& x = *f[i];
        const int lane = 1 << i;
        if (changed & lane) {
            first(x.pr[0].lastV, v[i]);
            first(x.pr[0].fTarget, target[i]);
            if (moved & lane) {
                first(x.pr[0].fUsed, target[i]);
                first(x.entry[0], idx[i]);
                x.zd = zd[i];
            }
            x.lanesDue = true;
        }
        // The memo's resonance and note count stay.
        x.memo.args[0] = UpdateMemo<1>::bits(cutoff);
        x.memo.args[1] = UpdateMemo<1>::bits(m[i]);
        x.memo.quiet = (changed & lane) == 0;
    }
}

void TLPFilter::mapNoteQuad(TLPFilter* const (&f)[4], float cutoff, Lanes4 m) {
    const QuadTargets q = mapNoteQuadTargets(f, cutoff, m);
    mapNoteQuadKeep(f, cutoff, m, q, q.moved ? gather(FilterZTan, q.idx) : Lanes4{});
}

#if TAV_WIDE_LANES
__attribute__((target("avx2"))) bool TLPFilter::mapNoteQuadWide(TLPFilter* const (&f)[4],
                                                                float cutoff, Lanes4 m) {
    const QuadTargets q = mapNoteQuadTargets(f, cutoff, m);
    // (every entry is within the table after the clamp to its top)
    mapNoteQuadKeep(f, cutoff, m, q,
                    q.moved ? (Lanes4)_mm_i32gather_ps(FilterZTan, (__m128i)q.idx, 4) : Lanes4{});
    return q.moved != 0;
}
#endif

bool TLPFilter::updateNoteQuad(TLPFilter& a, TLPFilter& b, TLPFilter& c, TLPFilter& d,
                               float cutoff, Lanes4 mod, Lanes4 resonance, WireQuads* quads,
                               int s) {
    // plain and the resonance of the last update for all four, without a branch for each;
    // a note whose memo would skip maps to what it holds (its update would change nothing)
    TLPFilter* const f[4] = {&a, &b, &c, &d};
    uint32_t diff = 0;
    bool plainAll = true;
    for (int i = 0; i < 4; ++i) {
        diff |= UpdateMemo<1>::bits(resonance[i]) ^ f[i]->memo.args[2];
        plainAll &= f[i]->plain;
    }
    if (__builtin_expect(diff == 0 && plainAll, 1)) {
#if TAV_WIDE_LANES
        // (quads hold only on a processor with AVX2: no test of it for them)
        if (quads) return quads->mapLowPass(s, cutoff, mod);
        if (lanes::wide()) return mapNoteQuadWide(f, cutoff, mod);
#endif
        mapNoteQuad(f, cutoff, mod);
        return true;
    }
    // (the map's values the quad keeps written back first)
    if (quads) quads->syncLowPass(s);
    prepareNotesApart(a, b, c, d, cutoff, mod, resonance);
    return true;
}

void TLPFilter::prepareNotesApart(TLPFilter& a, TLPFilter& b, TLPFilter& c, TLPFilter& d,
                                  float cutoff, Lanes4 mod, Lanes4 resonance) {
    a.prepareNote(cutoff, mod[0], resonance[0]);
    b.prepareNote(cutoff, mod[1], resonance[1]);
    c.prepareNote(cutoff, mod[2], resonance[2]);
    d.prepareNote(cutoff, mod[3], resonance[3]);
}

namespace {

// Both sub-samples of the two-pole zero-delay low-pass on one vector of lanes (four or
// eight).
template <class V>
__attribute__((always_inline)) inline void lowPassKernel(const V& c1, const V& c2, const V& c3,
                                                         V& t1, V& t2, const V (&x)[2],
                                                         V (&y)[2]) {
    const KernelConstants& k = kernelConstants();
    for (int s = 0; s < 2; ++s) {
        const V v3 = x[s] - t2;
        const V band = c1 * t1 + c2 * v3;
        const V low = t2 + c2 * t1 + c3 * v3;
        t1 = 2.0f * band - t1;
        t2 = 2.0f * low - t2;
        y[s] = lanesOf<V>(k.ten) * low + lanesOf<V>(k.guard);
    }
    dropTinyLanes(t1);
    dropTinyLanes(t2);
}

}  // namespace

void TLPFilter::process(float cutoff, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    if (holder) holder->release();
    spreadLanes();
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    clearPairs(pairCount);
    update(n, pairCount, cutoff, mod, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p)
        lowPassKernel(pr[p].a1, pr[p].a2, pr[p].a3, pr[p].s1, pr[p].s2, x[p], y[p]);
    scatterPairs(y, n, out);
}

void TLPFilter::runNotePair(TLPFilter& a, TLPFilter& b, Lanes4 (&lanes)[2]) {
    Lanes4 x[2];
    scaleIn(lanes, x);
    Lanes4(&y)[2] = lanes;
    Lanes4 t1 = mergeNotes(a.pr[0].s1, b.pr[0].s1), t2 = mergeNotes(a.pr[0].s2, b.pr[0].s2);
    // {a1 of a, a1 of b, a2 of a, a2 of b} and {a3, a3, 0, 0}, each value then doubled
    const Lanes4 lo = unpackLow(a.zd, b.zd), hi = unpackHigh(a.zd, b.zd);
    lowPassKernel(dupEach(lo, 0), dupEach(lo, 2), dupEach(hi, 0), t1, t2, x, y);
    splitNotes(t1, a.pr[0].s1, b.pr[0].s1);
    splitNotes(t2, a.pr[0].s2, b.pr[0].s2);
}

#if TAV_WIDE_LANES
__attribute__((target("avx2"))) void TLPFilter::runNoteQuadWide(TLPFilter& a, TLPFilter& b,
                                                                TLPFilter& c, TLPFilter& d,
                                                                Lanes4 (&ab)[2],
                                                                Lanes4 (&cd)[2]) {
    Lanes8 x[2], y[2];
    quadIn(ab, cd, x);
    Lanes8 t1 = mergeQuad(a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
    Lanes8 t2 = mergeQuad(a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
    // {a1 a, a1 b, a2 a, a2 b, a1 c, a1 d, a2 c, a2 d} and the same of a3, each value then
    // doubled within its half
    __m256 lo, hi;
    quadCoefficients(a.zd, b.zd, c.zd, d.zd, lo, hi);
    lowPassKernel((Lanes8)_mm256_permute_ps(lo, 0x50), (Lanes8)_mm256_permute_ps(lo, 0xFA),
                  (Lanes8)_mm256_permute_ps(hi, 0x50), t1, t2, x, y);
    splitQuad(t1, a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
    splitQuad(t2, a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
    quadOut(y, ab, cd);
}
#endif

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
    if (holder) holder->release();
    pr[0].s1 = pr[0].s2 = pr[0].c = splat(0.0f);
    pairsCleared = 1;
    lastX = -1.0f;
    lastQ = -1.0f;
    memo.moving = 1;
}

// As TBPFilter::clearPairsFrom.
void THPFilter::clearPairsFrom(int pairCount) {
    for (int p = pairsCleared; p < pairCount; ++p) pr[p].s1 = pr[p].s2 = pr[p].c = splat(0.0f);
    pairsCleared = pairCount;
}

void THPFilter::update(float freq, float mod, float resonance) {
    const float xv = clampNaN(freq + mod, 0.0f, 1.0f);
    bool changed = false;
    if (xv != lastX) {
        changed = true;
        lastX = xv;
        fTarget = boundCutoff(exp2Cutoff(10.0f * xv) * 20.0f, ceiling);
    }
    const float q = layerQ(resonance);
    if (std::fabs(fTarget - fUsed) > 1e-5f || std::fabs(q - lastQ) > 1e-5f) {
        changed = true;
        fUsed = fTarget;
        lastQ = q;
        const float R = FilterZQ[(int)(q * 131071.0f)];
        const float gl = FilterZTan[filterTableIndex((fUsed + 0.001f) * halfInvRate + kGuard)];
        Lanes4 a1, a2, a3;
        zeroDelayCoefficients(splat(gl), R, a1, a2, a3);
        zd = Lanes4{a1[0], a2[0], a3[0], 2.0f * R};
    }
    memo.record(changed, freq, mod, resonance);
}

void THPFilter::process(float freq, float mod, float resonance, int copies,
                        const stereoOverStruct* in, stereoOverStruct* out) {
    if (copies <= 0) return;
    if (holder) holder->release();
    const int n = activeCopies(copies, in, out);
    const int pairCount = UNI_SPLIT_NUM[n];
    clearPairs(pairCount);
    update(freq, mod, resonance);

    Lanes4 x[kFilterMaxPairs][2];
    Lanes4 y[kFilterMaxPairs][2];
    gatherPairs(in, n, pairCount, x);
    for (int p = 0; p < pairCount; ++p)
        highPassLanes(splat(zd[0]), splat(zd[1]), splat(zd[2]), splat(zd[3]), lowCut, pr[p].s1,
                       pr[p].s2, pr[p].c, x[p], y[p]);
    scatterPairs(y, n, out);
}

void THPFilter::runNotePair(THPFilter& a, THPFilter& b, Lanes4 (&lanes)[2]) {
    Lanes4 x[2];
    scaleIn(lanes, x);
    Lanes4(&y)[2] = lanes;
    Lanes4 t1 = mergeNotes(a.pr[0].s1, b.pr[0].s1), t2 = mergeNotes(a.pr[0].s2, b.pr[0].s2);
    Lanes4 cut = mergeNotes(a.pr[0].c, b.pr[0].c);
    // {a1 of a, a1 of b, a2 of a, a2 of b} and {a3, a3, 2R, 2R}, each value then doubled
    const Lanes4 lo = unpackLow(a.zd, b.zd), hi = unpackHigh(a.zd, b.zd);
    highPassLanes(dupEach(lo, 0), dupEach(lo, 2), dupEach(hi, 0), dupEach(hi, 2),
                   mergeNotes(a.lowCut, b.lowCut), t1, t2, cut, x, y);
    splitNotes(t1, a.pr[0].s1, b.pr[0].s1);
    splitNotes(t2, a.pr[0].s2, b.pr[0].s2);
    splitNotes(cut, a.pr[0].c, b.pr[0].c);
}

#if TAV_WIDE_LANES
// Four voices in the eight lanes of an AVX2 vector: voice a's left and right, b's, c's,
// d's. Every lane does what it does in runNotePair.
__attribute__((target("avx2"))) void THPFilter::runNoteQuadWide(THPFilter& a, THPFilter& b,
                                                                THPFilter& c, THPFilter& d,
                                                                Lanes4 (&ab)[2],
                                                                Lanes4 (&cd)[2]) {
    Lanes8 x[2], y[2];
    quadIn(ab, cd, x);
    Lanes8 t1 = mergeQuad(a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
    Lanes8 t2 = mergeQuad(a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
    Lanes8 cut = mergeQuad(a.pr[0].c, b.pr[0].c, c.pr[0].c, d.pr[0].c);
    // The shared coefficients of the four voices: {a1 a, a1 b, a2 a, a2 b, a1 c, a1 d, a2 c,
    // a2 d} and the same of a3 and 2R, each value then doubled within its half.
    __m256 lo, hi;
    quadCoefficients(a.zd, b.zd, c.zd, d.zd, lo, hi);
    highPassLanes((Lanes8)_mm256_permute_ps(lo, 0x50), (Lanes8)_mm256_permute_ps(lo, 0xFA),
                   (Lanes8)_mm256_permute_ps(hi, 0x50), (Lanes8)_mm256_permute_ps(hi, 0xFA),
                   mergeQuad(a.lowCut, b.lowCut, c.lowCut, d.lowCut), t1, t2, cut, x, y);
    splitQuad(t1, a.pr[0].s1, b.pr[0].s1, c.pr[0].s1, d.pr[0].s1);
    splitQuad(t2, a.pr[0].s2, b.pr[0].s2, c.pr[0].s2, d.pr[0].s2);
    splitQuad(cut, a.pr[0].c, b.pr[0].c, c.pr[0].c, d.pr[0].c);
    quadOut(y, ab, cd);
}
#endif

// --- the Wire chain held in lanes ------------------------------------------------------------

#if TAV_WIDE_LANES
namespace {

#define TAV_WIDE_INLINE __attribute__((always_inline, target("avx2"))) inline

// A field of the quad's four filters in its lanes (see mergeQuad).
template <class Filter, class Field>
TAV_WIDE_INLINE Lanes8 quadField(Filter* const (&f)[4], Field field) {
    return mergeQuad(field(*f[0]), field(*f[1]), field(*f[2]), field(*f[3]));
}
template <class Filter, class Field>
TAV_WIDE_INLINE void splitField(const Lanes8& v, Filter* const (&f)[4], Field field) {
    splitQuad(v, field(*f[0]), field(*f[1]), field(*f[2]), field(*f[3]));
}
// The chains of N consecutive quads (see WireQuads::runChains), the band-pass on or off: each
// form a path of its own, so that no stage's input waits in memory for the paths to join; each
// stage over all N quads before the next, so that the quads' recurrences overlap.
template <bool BandPass, int N>
TAV_WIDE_INLINE void runHeldChains(WireQuad* q, Lanes4 (*pairs)[2]) {
    const KernelConstants& k = kernelConstants();
    // a stage's output as the next one's input: a tenth plus the guard, as quadIn
    const auto next = [&k](const Lanes8(&y)[2], Lanes8(&x)[2]) __attribute__((always_inline)) {
        for (int i = 0; i < 2; ++i)
            x[i] = y[i] * lanesOf<Lanes8>(k.tenth) + lanesOf<Lanes8>(k.guard);
    };
    // (each stage's states as copies, taken just before the stage and stored just after it,
    // so that only one stage's are at hand at a time: the kernels would store the quads' own
    // fields after each sub-sample, as the constants they read might be any of them)
    Lanes8 x[N][2], y[N][2];
    for (int n = 0; n < N; ++n) quadIn(pairs[2 * n], pairs[2 * n + 1], x[n]);
    if constexpr (BandPass) {
        Lanes8 band[N], low[N];
        for (int n = 0; n < N; ++n) {
            band[n] = q[n].band;
            low[n] = q[n].low;
        }
        for (int n = 0; n < N; ++n) bandPassKernel(q[n].F, q[n].D, band[n], low[n], x[n], y[n]);
        for (int n = 0; n < N; ++n) {
            q[n].band = band[n];
            q[n].low = low[n];
            next(y[n], x[n]);
        }
    }
    {
        Lanes8 s1[N], s2[N];
        for (int n = 0; n < N; ++n) {
            s1[n] = q[n].s1;
            s2[n] = q[n].s2;
        }
        for (int n = 0; n < N; ++n)
            lowPassKernel(q[n].l1, q[n].l2, q[n].l3, s1[n], s2[n], x[n], y[n]);
        for (int n = 0; n < N; ++n) {
            q[n].s1 = s1[n];
            q[n].s2 = s2[n];
            next(y[n], x[n]);
        }
    }
    Lanes8 t1[N], t2[N], cut[N];
    for (int n = 0; n < N; ++n) {
        t1[n] = q[n].t1;
        t2[n] = q[n].t2;
        cut[n] = q[n].cut;
    }
    for (int n = 0; n < N; ++n)
        highPassLanes(q[n].h1, q[n].h2, q[n].h3, q[n].k2, q[n].lc, t1[n], t2[n], cut[n], x[n],
                      y[n]);
    for (int n = 0; n < N; ++n) {
        quadOutWhole(y[n], pairs[2 * n], pairs[2 * n + 1]);
        q[n].t1 = t1[n];
        q[n].t2 = t2[n];
        q[n].cut = cut[n];
    }
}
// The chains of the first `quads` quads, two at a time and one left over.
template <bool BandPass>
TAV_WIDE_INLINE void runQuadChains(WireQuad* quad, int quads, Lanes4 (*pairs)[2]) {
    int s = 0;
    for (; s + 1 < quads; s += 2) runHeldChains<BandPass, 2>(quad + s, pairs + 2 * s);
    if (s < quads) runHeldChains<BandPass, 1>(quad + s, pairs + 2 * s);
}
#undef TAV_WIDE_INLINE

}  // namespace

// The coefficients as the quad entry points take them (see runNoteQuadWide), as `moved`
// (TBPFilter::prepareNoteQuad's answer) tells: the damping only where not just the tuning
// moved, and for kAllMoved the map's values too (which only a take or an update apart from
// the map changes).
__attribute__((always_inline, target("avx2"))) inline void WireQuads::takeBandPass(WireQuad& q,
                                                                                   int moved) {
    TBPFilter* const(&f)[4] = q.bp;
    q.F = mergeQuad(f[0]->pr[0].F, f[1]->pr[0].F, f[2]->pr[0].F, f[3]->pr[0].F);
    if (moved == TBPFilter::kTuningMoved) return;
    q.D = mergeQuad(f[0]->pr[0].D, f[1]->pr[0].D, f[2]->pr[0].D, f[3]->pr[0].D);
    // (lanes 0 and 1 of each: those the map keeps, whether or not 2 and 3 are due)
    q.lastV = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].lastV; });
    q.target = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].fTarget; });
    q.used = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].fUsed; });
    q.entry = quadField(f, [](TBPFilter& h) -> Lanes4& {
        return reinterpret_cast<Lanes4&>(h.entry[0]);
    });
    q.side = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.sideGain; });
    q.ceiling = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.ceilingLanes; });
    q.scale = quadField(f, [](TBPFilter& h) -> Lanes4& { return h.scaleLanes; });
    q.vel = Lanes4{f[0]->velOffset, f[1]->velOffset, f[2]->velOffset, f[3]->velOffset};
}

// TBPFilter::mapNoteQuadWide() on the quad's lanes: the same values, kept in the lanes
// rather than stored into the filters. The filters' memos are neither read nor kept here
// (the cutoffs kept tell whether anything moved): syncBandPass() leaves them not quiet.
__attribute__((always_inline, target("avx2"))) inline int WireQuads::mapHeldBandPass(
    int s, stereoStruct cutoff, Lanes4 mod) {
    WireQuad& q = quad[s];
    TBPFilter* const(&f)[4] = q.bp;
    double sides;
    std::memcpy(&sides, &cutoff, sizeof sides);
    const __m256 cut = _mm256_castpd_ps(_mm256_set1_pd(sides));
    const __m256i dup = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    const __m256 m = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)mod), dup);
    const __m256 vel = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)q.vel), dup);
    const __m256 env = quadHalves(f[0]->env[0], f[1]->env[0], f[2]->env[0], f[3]->env[0]);
    const WideCutoffConstants& k = wideCutoffConstants();
    const __m256 v =
        clampTo8(_mm256_add_ps(env, _mm256_add_ps(_mm256_add_ps(m, cut), vel)), (__m256)k.one);
    const __m256 changes = _mm256_cmp_ps(v, (__m256)q.lastV, _CMP_NEQ_UQ);
    const int changed = _mm256_movemask_ps(changes);
    if (__builtin_expect(changed == 0, 1)) return 0;  // a settled quad keeps all it holds
    const __m256 target = clampTo8(
        _mm256_mul_ps(exp2Cutoff8(_mm256_mul_ps((__m256)k.ten, v), k), (__m256)q.side),
        (__m256)q.ceiling);
    const __m256 diff = _mm256_sub_ps(target, (__m256)q.used);
    const __m256 moves = _mm256_or_ps(_mm256_cmp_ps(diff, (__m256)k.step, _CMP_GT_OQ),
                                      _mm256_cmp_ps(diff, (__m256)k.minusStep, _CMP_LT_OQ));
    const __m256 pos = _mm256_add_ps(
        _mm256_mul_ps(_mm256_add_ps(target, (__m256)k.milli), (__m256)q.scale), (__m256)k.guard);
    const __m256i idx = _mm256_cvttps_epi32(clampTo8(pos, (__m256)k.top));
    const __m256 tuning = _mm256_i32gather_ps(FilterSine, idx, 4);
    // A voice keeps both its lanes where either changed (and of those, where either moved,
    // its cutoffs in use, entries and tuning), as keepNoteHalves stores them.
    const __m256 kept = _mm256_or_ps(changes, _mm256_permute_ps(changes, 0xB1));
    const __m256 taken = _mm256_and_ps(kept, _mm256_or_ps(moves, _mm256_permute_ps(moves, 0xB1)));
    q.lastV = (Lanes8)_mm256_blendv_ps((__m256)q.lastV, v, kept);
    q.target = (Lanes8)_mm256_blendv_ps((__m256)q.target, target, kept);
    q.used = (Lanes8)_mm256_blendv_ps((__m256)q.used, target, taken);
    q.entry = (Lanes8)_mm256_blendv_ps((__m256)q.entry, _mm256_castsi256_ps(idx), taken);
    q.F = (Lanes8)_mm256_blendv_ps((__m256)q.F, tuning, taken);
    mapped |= 1u << s;
    return 0;
}
__attribute__((target("avx2"))) int WireQuads::mapBandPass(int s, stereoStruct cutoff,
                                                           Lanes4 mod) {
    return mapHeldBandPass(s, cutoff, mod);
}

__attribute__((target("avx2"))) unsigned WireQuads::mapBandPasses(int quads, stereoStruct cutoff,
                                                                  int modAt, int sepAt) {
    unsigned apart = 0;
    for (int s = 0; s < quads; ++s) {
        const WireQuad& q = quad[s];
        TBPFilter* const(&f)[4] = q.bp;
        // TBPFilter::prepareNoteQuad's tests: every filter plain, and each voice's
        // separation and resonance its memo's (the eight words side by side, bit for bit)
        const bool plainAll = f[0]->plain & f[1]->plain & f[2]->plain & f[3]->plain;
        const auto two = [](const void* x, const void* y) __attribute__((always_inline)) {
            return _mm_castps_si128(_mm_loadh_pi(
                _mm_loadl_pi(_mm_setzero_ps(), static_cast<const __m64*>(x)),
                static_cast<const __m64*>(y)));
        };
        const auto sepRes = [&](int i) __attribute__((always_inline)) {
            return static_cast<const char*>(q.owner[i]) + sepAt;
        };
        const __m256i now = _mm256_setr_m128i(two(sepRes(0), sepRes(1)), two(sepRes(2), sepRes(3)));
        const __m256i kept =
            _mm256_setr_m128i(two(&f[0]->memo.args[3], &f[1]->memo.args[3]),
                              two(&f[2]->memo.args[3], &f[3]->memo.args[3]));
        const bool held =
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(now, kept))) == 0xFF;
        if (__builtin_expect(!(held & plainAll), 0)) {
            apart |= 1u << s;
            continue;
        }
        mapHeldBandPass(s, cutoff,
                        Lanes4{q.dest[0][modAt], q.dest[1][modAt], q.dest[2][modAt],
                               q.dest[3][modAt]});
    }
    return apart;
}

// The map's values of quad s back into its filters, each voice's two lanes in both halves
// (as spreadLanes would leave them: nothing is then due).
__attribute__((target("avx2"))) void WireQuads::syncBandPass(int s) {
    WireQuad& q = quad[s];
    TBPFilter* const(&f)[4] = q.bp;
    // (the memos the map left as they were: each filter's next prepare maps again, which
    // changes nothing where its cutoffs stayed)
    for (TBPFilter* h : f) h->memo.quiet = false;
    if (!(mapped & (1u << s))) return;
    splitField(q.lastV, f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].lastV; });
    splitField(q.target, f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].fTarget; });
    splitField(q.used, f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].fUsed; });
    splitField(q.entry, f, [](TBPFilter& h) -> Lanes4& {
        return reinterpret_cast<Lanes4&>(h.entry[0]);
    });
    splitField(q.F, f, [](TBPFilter& h) -> Lanes4& { return h.pr[0].F; });
    for (TBPFilter* h : f) h->lanesDue = false;
    mapped &= ~(1u << s);
}
// (with the map's values, which only a take or an update apart from the map changes)
__attribute__((always_inline, target("avx2"))) inline void WireQuads::takeLowPass(WireQuad& q) {
    TLPFilter* const(&f)[4] = q.lp;
    __m256 lo, hi;
    quadCoefficients(f[0]->zd, f[1]->zd, f[2]->zd, f[3]->zd, lo, hi);
    q.l1 = (Lanes8)_mm256_permute_ps(lo, 0x50);
    q.l2 = (Lanes8)_mm256_permute_ps(lo, 0xFA);
    q.l3 = (Lanes8)_mm256_permute_ps(hi, 0x50);
    // (lane 0 of each: the others may be due, see TLPFilter::lanesDue)
    const TLPFilter &a = *f[0], &b = *f[1], &c = *f[2], &d = *f[3];
    q.lowLastV = firstLanes(a.pr[0].lastV, b.pr[0].lastV, c.pr[0].lastV, d.pr[0].lastV);
    q.lowTarget = firstLanes(a.pr[0].fTarget, b.pr[0].fTarget, c.pr[0].fTarget, d.pr[0].fTarget);
    q.lowUsed = firstLanes(a.pr[0].fUsed, b.pr[0].fUsed, c.pr[0].fUsed, d.pr[0].fUsed);
    q.lowEntry = LaneInts4{a.entry[0][0], b.entry[0][0], c.entry[0][0], d.entry[0][0]};
    q.lowGain = 20.0f * Lanes4{a.keyFactor, b.keyFactor, c.keyFactor, d.keyFactor};
    q.lowCeiling = firstLanes(a.ceilingLanes, b.ceilingLanes, c.ceilingLanes, d.ceilingLanes);
    q.lowScale = firstLanes(a.scaleLanes, b.scaleLanes, c.scaleLanes, d.scaleLanes);
    q.lowR = Lanes4{a.R, b.R, c.R, d.R};
}

// TLPFilter::mapNoteQuadWide() on the quad's lanes: the same values, kept in the lanes (the
// coefficients as the chain takes them) rather than stored into the filters (but for the
// memos, which the envelopes also write).
__attribute__((target("avx2"))) bool WireQuads::mapLowPass(int s, float cutoff, Lanes4 m) {
    WireQuad& q = quad[s];
    TLPFilter* const(&f)[4] = q.lp;
    const CutoffConstants& k = cutoffConstants();
    const TLPFilter &a = *f[0], &b = *f[1], &c = *f[2], &d = *f[3];
    const Lanes4 vel = {a.velOffset, b.velOffset, c.velOffset, d.velOffset};
    const Lanes4 v =
        clampTo(firstLanes(a.env[0], b.env[0], c.env[0], d.env[0]) + ((vel + cutoff) + m), k.one);
    const LaneInts4 changes = v != q.lowLastV;
    const int changed = laneMask(changes);
    const Lanes4 target = clampTo(exp2Cutoff(k.ten * v) * q.lowGain, q.lowCeiling);
    const Lanes4 diff = target - q.lowUsed;
    const LaneInts4 moves = changes & (diff > k.step || diff < k.minusStep);
    const int moved = laneMask(moves);
    const LaneInts4 idx = __builtin_convertvector(
        clampTo(((target + k.milli) * q.lowScale + k.guard) * k.top, k.top), LaneInts4);
    const auto pick = [](LaneInts4 mask, auto now, auto was) __attribute__((always_inline)) {
        return (decltype(was))(((LaneInts4)now & mask) | ((LaneInts4)was & ~mask));
    };
    q.lowLastV = pick(changes, v, q.lowLastV);
    q.lowTarget = pick(changes, target, q.lowTarget);
    if (moved) {
        q.lowUsed = pick(moves, target, q.lowUsed);
        q.lowEntry = pick(moves, idx, q.lowEntry);
        // (every entry is within the table after the clamp to its top)
        const Lanes4 g = (Lanes4)_mm_i32gather_ps(FilterZTan, (__m128i)idx, 4);
        const Lanes4 R = q.lowR;
        const Lanes4 a1 = splat(1.0f) / (1.0f + 2.0f * R * g + g * g), a2 = g * a1, a3 = g * a2;
        // each voice's value in its two lanes, where its cutoff moved
        const __m256i dup = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256 taken = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)moves), dup);
        const __m256 l1 = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)a1), dup);
        const __m256 l2 = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)a2), dup);
        const __m256 l3 = _mm256_permutevar8x32_ps(_mm256_castps128_ps256((__m128)a3), dup);
        q.l1 = (Lanes8)_mm256_blendv_ps((__m256)q.l1, l1, taken);
        q.l2 = (Lanes8)_mm256_blendv_ps((__m256)q.l2, l2, taken);
        q.l3 = (Lanes8)_mm256_blendv_ps((__m256)q.l3, l3, taken);
    }
    for (int i = 0; i < 4; ++i) {
        // The memo's resonance and note count stay.
        f[i]->memo.args[0] = UpdateMemo<1>::bits(cutoff);
        f[i]->memo.args[1] = UpdateMemo<1>::bits(m[i]);
        f[i]->memo.quiet = (changed & (1 << i)) == 0;
    }
    lowMapped |= (unsigned)changed << (4 * s);
    return false;
}

// The map's values of quad s's voices whose values moved back into their filters, as
// TLPFilter::mapNoteQuadKeep stores them (lane 0, the others then due).
__attribute__((target("avx2"))) void WireQuads::syncLowPass(int s) {
    const unsigned moved = (lowMapped >> (4 * s)) & 15u;
    if (!moved) return;
    WireQuad& q = quad[s];
    for (int i = 0; i < 4; ++i) {
        if (!(moved & (1u << i))) continue;
        TLPFilter& x = *q.lp[i];
        x.pr[0].lastV[0] = q.lowLastV[i];
        x.pr[0].fTarget[0] = q.lowTarget[i];
        x.pr[0].fUsed[0] = q.lowUsed[i];
        x.entry[0][0] = q.lowEntry[i];
        x.zd = Lanes4{q.l1[2 * i], q.l2[2 * i], q.l3[2 * i], x.zd[3]};
        x.lanesDue = true;
    }
    lowMapped &= ~(15u << (4 * s));
}
__attribute__((always_inline, target("avx2"))) inline void WireQuads::takeHighPass(WireQuad& q) {
    THPFilter* const(&f)[4] = q.hp;
    __m256 lo, hi;
    quadCoefficients(f[0]->zd, f[1]->zd, f[2]->zd, f[3]->zd, lo, hi);
    q.h1 = (Lanes8)_mm256_permute_ps(lo, 0x50);
    q.h2 = (Lanes8)_mm256_permute_ps(lo, 0xFA);
    q.h3 = (Lanes8)_mm256_permute_ps(hi, 0x50);
    q.k2 = (Lanes8)_mm256_permute_ps(hi, 0xFA);
}

__attribute__((target("avx2"))) void WireQuads::take(int s, const int32_t (&voice)[4],
                                                     TBPFilter* const (&bp)[4],
                                                     TLPFilter* const (&lp)[4],
                                                     THPFilter* const (&hp)[4]) {
    WireQuad& q = quad[s];
    for (int i = 0; i < 4; ++i) {
        q.voice[i] = voice[i];
        q.bp[i] = bp[i];
        q.lp[i] = lp[i];
        q.hp[i] = hp[i];
        bp[i]->holder = lp[i]->holder = hp[i]->holder = this;
    }
    q.band = quadField(bp, [](TBPFilter& f) -> Lanes4& { return f.pr[0].band; });
    q.low = quadField(bp, [](TBPFilter& f) -> Lanes4& { return f.pr[0].low; });
    q.s1 = quadField(lp, [](TLPFilter& f) -> Lanes4& { return f.pr[0].s1; });
    q.s2 = quadField(lp, [](TLPFilter& f) -> Lanes4& { return f.pr[0].s2; });
    q.t1 = quadField(hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].s1; });
    q.t2 = quadField(hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].s2; });
    q.cut = quadField(hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].c; });
    q.lc = quadField(hp, [](THPFilter& f) -> Lanes4& { return f.lowCut; });
    takeBandPass(q, TBPFilter::kAllMoved);
    takeLowPass(q);
    takeHighPass(q);
    held |= 1u << s;
    mapped &= ~(1u << s);
    lowMapped &= ~(15u << (4 * s));
}

__attribute__((target("avx2"))) void WireQuads::release(int s) {
    if (!(held & (1u << s))) return;
    syncBandPass(s);
    syncLowPass(s);
    WireQuad& q = quad[s];
    splitField(q.band, q.bp, [](TBPFilter& f) -> Lanes4& { return f.pr[0].band; });
    splitField(q.low, q.bp, [](TBPFilter& f) -> Lanes4& { return f.pr[0].low; });
    splitField(q.s1, q.lp, [](TLPFilter& f) -> Lanes4& { return f.pr[0].s1; });
    splitField(q.s2, q.lp, [](TLPFilter& f) -> Lanes4& { return f.pr[0].s2; });
    splitField(q.t1, q.hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].s1; });
    splitField(q.t2, q.hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].s2; });
    splitField(q.cut, q.hp, [](THPFilter& f) -> Lanes4& { return f.pr[0].c; });
    for (int i = 0; i < 4; ++i) q.bp[i]->holder = q.lp[i]->holder = q.hp[i]->holder = nullptr;
    held &= ~(1u << s);
}

__attribute__((target("avx2"))) void WireQuads::runChains(int quads, bool bandPass,
                                                          Lanes4 (*pairs)[2]) {
    if (bandPass) return runQuadChains<true>(quad, quads, pairs);
    runQuadChains<false>(quad, quads, pairs);
}

__attribute__((target("avx2"))) void WireQuads::takeMoved(int s, int bandPass, bool lowPass,
                                                          bool highPass) {
    static_assert(kNoBandPass < 0 && TBPFilter::kAllMoved > 0 && TBPFilter::kTuningMoved > 0,
                  "the band-pass off is none of its prepare's answers");
    // (a take reads only the filters' coefficients, which no run changes)
    if (bandPass > 0) takeBandPass(quad[s], bandPass);
    if (lowPass) takeLowPass(quad[s]);
    if (highPass) takeHighPass(quad[s]);
}
#endif  // (without them, see WireQuads.h)

void WireQuads::release() { for (int s = 0; s < kQuads; ++s) release(s); }
