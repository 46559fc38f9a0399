// The high-passes of a layer's mono voices run eight to a vector, their states held in
// the octets' lanes (see HighPassOctets).
#include "dsp/TLayerFilters.h"

#include <algorithm>

#include "dsp/HighPassKernel.h"
#include "dsp/LaneDispatch.h"

using namespace filtermath;

#if TAV_WIDE_LANES
namespace {

// the guard the filters add to their inputs (as in TLayerFilters.cpp)
constexpr float kGuard = 1e-15f;

// Lanes 0 and 1 of a field of four filters as {a0, b0, c0, d0} (left) and {a1, b1, c1, d1}
// (right): two 64-bit loads into each half of a vector, then two shuffles.
__attribute__((always_inline, target("avx2"))) inline void sidesOf4(const Lanes4& a,
                                                                   const Lanes4& b,
                                                                   const Lanes4& c,
                                                                   const Lanes4& d, __m128& left,
                                                                   __m128& right) {
    const __m128 ab = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&a))),
                                   reinterpret_cast<const __m64*>(&b));
    const __m128 cd = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&c))),
                                   reinterpret_cast<const __m64*>(&d));
    left = _mm_shuffle_ps(ab, cd, _MM_SHUFFLE(2, 0, 2, 0));
    right = _mm_shuffle_ps(ab, cd, _MM_SHUFFLE(3, 1, 3, 1));
}

__attribute__((always_inline, target("avx2"))) inline __m256 join8(__m128 lo, __m128 hi) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// The left lanes of one field of eight filters, and in `same` the lanes whose right side
// differs cleared.
template <class Field>
__attribute__((always_inline, target("avx2"))) inline Lanes8 monoField(
    THPFilter* const (&f)[8], Field field, __m256i& same) {
    __m128 l0, r0, l1, r1;
    sidesOf4(field(*f[0]), field(*f[1]), field(*f[2]), field(*f[3]), l0, r0);
    sidesOf4(field(*f[4]), field(*f[5]), field(*f[6]), field(*f[7]), l1, r1);
    const __m256 left = join8(l0, l1), right = join8(r0, r1);
    same = _mm256_and_si256(same, _mm256_cmpeq_epi32(_mm256_castps_si256(left),
                                                     _mm256_castps_si256(right)));
    return (Lanes8)left;
}

// The memos of two filters, four words each, as the halves of one vector.
__attribute__((always_inline, target("avx2"))) inline __m256i memoPair(const HighPassMemo& lo,
                                                                      const HighPassMemo& hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&lo))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(&hi)), 1);
}

__attribute__((always_inline, target("avx2"))) inline __m256 loadRecords(
    stereoOverStruct* const (&rec)[8], int lo, int hi) {
    return join8(_mm_loadu_ps(reinterpret_cast<const float*>(rec[lo])),
                 _mm_loadu_ps(reinterpret_cast<const float*>(rec[hi])));
}

// The floats at base[at[i]] in eight lanes, loaded one by one: on the processors this
// runs on, a gather of them keeps the octet waiting longer than the eight loads.
__attribute__((always_inline, target("avx2"))) inline __m256 argumentsAt(const float* base,
                                                                        const int32_t* at) {
    return _mm256_setr_ps(base[at[0]], base[at[1]], base[at[2]], base[at[3]], base[at[4]],
                          base[at[5]], base[at[6]], base[at[7]]);
}

// The memos' words and the coefficients of an octet's filters, transposed into one vector
// of each: taken when the octet starts and again after an update in it.
__attribute__((always_inline, target("avx2"))) inline void takeMemos(HighPassOctet& o) {
    THPFilter* const(&f)[8] = o.f;
    const __m256i m04 = memoPair(f[0]->memoWords(), f[4]->memoWords()),
                  m15 = memoPair(f[1]->memoWords(), f[5]->memoWords());
    const __m256i m26 = memoPair(f[2]->memoWords(), f[6]->memoWords()),
                  m37 = memoPair(f[3]->memoWords(), f[7]->memoWords());
    const __m256 p01 = _mm256_unpacklo_ps((__m256)m04, (__m256)m15);
    const __m256 p23 = _mm256_unpacklo_ps((__m256)m26, (__m256)m37);
    const __m256 q01 = _mm256_unpackhi_ps((__m256)m04, (__m256)m15);
    const __m256 q23 = _mm256_unpackhi_ps((__m256)m26, (__m256)m37);
    o.mods = (Lanes8)_mm256_shuffle_ps(p01, p23, _MM_SHUFFLE(1, 0, 1, 0));
    o.qs = (Lanes8)_mm256_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 2, 3, 2));
    o.freqs = (Lanes8)_mm256_shuffle_ps(q01, q23, _MM_SHUFFLE(1, 0, 1, 0));
    o.moving = (Lanes8)_mm256_shuffle_ps(q01, q23, _MM_SHUFFLE(3, 2, 3, 2));
}
__attribute__((always_inline, target("avx2"))) inline void takeCoefficients(HighPassOctet& o) {
    // the coefficients {a1, a2, a3, 2R} of voices i and i + 4, transposed into one vector of
    // each term
    THPFilter* const(&f)[8] = o.f;
    const __m256 z04 = join8((__m128)f[0]->coefficients(), (__m128)f[4]->coefficients());
    const __m256 z15 = join8((__m128)f[1]->coefficients(), (__m128)f[5]->coefficients());
    const __m256 z26 = join8((__m128)f[2]->coefficients(), (__m128)f[6]->coefficients());
    const __m256 z37 = join8((__m128)f[3]->coefficients(), (__m128)f[7]->coefficients());
    const __m256 u01 = _mm256_unpacklo_ps(z04, z15), u23 = _mm256_unpacklo_ps(z26, z37);
    const __m256 h01 = _mm256_unpackhi_ps(z04, z15), h23 = _mm256_unpackhi_ps(z26, z37);
    o.c1 = (Lanes8)_mm256_shuffle_ps(u01, u23, _MM_SHUFFLE(1, 0, 1, 0));
    o.c2 = (Lanes8)_mm256_shuffle_ps(u01, u23, _MM_SHUFFLE(3, 2, 3, 2));
    o.c3 = (Lanes8)_mm256_shuffle_ps(h01, h23, _MM_SHUFFLE(1, 0, 1, 0));
    o.k2 = (Lanes8)_mm256_shuffle_ps(h01, h23, _MM_SHUFFLE(3, 2, 3, 2));
}

}  // namespace

// Octet s's records read and its filters prepared for a held run (see runNoteOctetHeld):
// its sub-samples in x; false, having touched nothing, where a side differs.
__attribute__((always_inline, target("avx2"))) inline bool THPFilter::takeNoteOctet(
    HighPassOctets& bank, int s, int count, float freq, const float* mods,
    const float* resonances, Lanes8 (&x)[2]) {
    HighPassOctet& o = bank.octet[s];
    stereoOverStruct* const(&rec)[8] = o.rec;
    __m256i same = _mm256_set1_epi32(-1);
    // the records {left 0, right 0, left 1, right 1}, voice i and i + 4 in one vector: the
    // sub-samples' left lanes in voice order, the right lanes compared with them
    const __m256 r04 = loadRecords(rec, 0, 4), r15 = loadRecords(rec, 1, 5);
    const __m256 r26 = loadRecords(rec, 2, 6), r37 = loadRecords(rec, 3, 7);
    const __m256 l01 = _mm256_shuffle_ps(r04, r15, _MM_SHUFFLE(2, 0, 2, 0));
    const __m256 l23 = _mm256_shuffle_ps(r26, r37, _MM_SHUFFLE(2, 0, 2, 0));
    same = _mm256_and_si256(
        same, _mm256_cmpeq_epi32(_mm256_castps_si256(l01),
                                 _mm256_castps_si256(_mm256_shuffle_ps(r04, r15, _MM_SHUFFLE(3, 1, 3, 1)))));
    same = _mm256_and_si256(
        same, _mm256_cmpeq_epi32(_mm256_castps_si256(l23),
                                 _mm256_castps_si256(_mm256_shuffle_ps(r26, r37, _MM_SHUFFLE(3, 1, 3, 1)))));
    if (o.count == 0) {
        // the octet starts: its filters' states and low cut, which must be mono too, and
        // their memos and coefficients
        THPFilter* const(&f)[8] = o.f;
        const Lanes8 t1 = monoField(f, [](THPFilter& h) -> Lanes4& { return h.pr[0].s1; }, same);
        const Lanes8 t2 = monoField(f, [](THPFilter& h) -> Lanes4& { return h.pr[0].s2; }, same);
        const Lanes8 cut = monoField(f, [](THPFilter& h) -> Lanes4& { return h.pr[0].c; }, same);
        const Lanes8 lc = monoField(f, [](THPFilter& h) -> Lanes4& { return h.lowCut; }, same);
        if (_mm256_movemask_epi8(same) != -1) return false;
        o.t1 = t1;
        o.t2 = t2;
        o.cut = cut;
        o.lc = lc;
        takeMemos(o);
        takeCoefficients(o);
        o.count = count;
        bank.holding |= 1u << s;
        for (THPFilter* h : f) h->holder = &bank;
    } else if (_mm256_movemask_epi8(same) != -1) {
        return false;
    }

    // prepareNote() of the first count filters: their memos' words compared at once; the
    // filters whose memo does not skip are updated (distinct filters: the order does not
    // matter), and the octet takes their memos and coefficients again
    // (the arguments of the eight voices, each from its place)
    const __m256 mod = argumentsAt(mods, o.at);
    const __m256 resonance = argumentsAt(resonances, o.at);
    __m256i held = _mm256_cmpeq_epi32((__m256i)o.freqs,
                                      _mm256_set1_epi32((int)UpdateMemo<1>::bits(freq)));
    held = _mm256_and_si256(held, _mm256_cmpeq_epi32((__m256i)o.mods, _mm256_castps_si256(mod)));
    held = _mm256_and_si256(held,
                            _mm256_cmpeq_epi32((__m256i)o.qs, _mm256_castps_si256(resonance)));
    held = _mm256_and_si256(held, _mm256_cmpeq_epi32((__m256i)o.moving, _mm256_setzero_si256()));
    const unsigned todo = ~(unsigned)_mm256_movemask_ps((__m256)held) & ((1u << count) - 1u);
    if (__builtin_expect(todo != 0, 0)) {
        for (unsigned left = todo; left; left &= left - 1) {
            const int i = __builtin_ctz(left);
            o.f[i]->update(freq, mods[o.at[i]], resonances[o.at[i]]);
        }
        takeMemos(o);
        takeCoefficients(o);
    }

    // the sub-samples: {left 0 of voices 0, 1, 2, 3 | 4, 5, 6, 7} and the same of left 1
    x[0] = (Lanes8)_mm256_shuffle_ps(l01, l23, _MM_SHUFFLE(2, 0, 2, 0)) * 0.1f + kGuard;
    x[1] = (Lanes8)_mm256_shuffle_ps(l01, l23, _MM_SHUFFLE(3, 1, 3, 1)) * 0.1f + kGuard;
    return true;
}

namespace {
// An octet's held states run over its sub-samples x, filtered into y.
__attribute__((always_inline, target("avx2"))) inline void runOctetStates(
    HighPassOctet& o, const Lanes8 (&x)[2], Lanes8 (&y)[2]) {
    Lanes8 t1 = o.t1, t2 = o.t2, cut = o.cut;
    highPassLanes(o.c1, o.c2, o.c3, o.k2, o.lc, t1, t2, cut, x, y);
    o.t1 = t1;
    o.t2 = t2;
    o.cut = cut;
}

// The filtered sub-samples y of an octet back into its records, and into sub where given.
__attribute__((always_inline, target("avx2"))) inline void storeOctet(const HighPassOctet& o,
                                                                     const Lanes8 (&y)[2],
                                                                     float* sub) {
    stereoOverStruct* const(&rec)[8] = o.rec;
    if (sub) {
        _mm256_storeu_ps(sub, (__m256)y[0]);
        _mm256_storeu_ps(sub + 8, (__m256)y[1]);
    }
    // the records {y0, y0, y1, y1} of each voice
    const __m256 y01 = _mm256_unpacklo_ps((__m256)y[0], (__m256)y[1]);  // voices 0, 1 | 4, 5
    const __m256 y23 = _mm256_unpackhi_ps((__m256)y[0], (__m256)y[1]);  // voices 2, 3 | 6, 7
    const __m256 o0 = _mm256_unpacklo_ps(y01, y01), o1 = _mm256_unpackhi_ps(y01, y01);
    const __m256 o2 = _mm256_unpacklo_ps(y23, y23), o3 = _mm256_unpackhi_ps(y23, y23);
    _mm_storeu_ps(reinterpret_cast<float*>(rec[0]), _mm256_castps256_ps128(o0));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[1]), _mm256_castps256_ps128(o1));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[2]), _mm256_castps256_ps128(o2));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[3]), _mm256_castps256_ps128(o3));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[4]), _mm256_extractf128_ps(o0, 1));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[5]), _mm256_extractf128_ps(o1, 1));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[6]), _mm256_extractf128_ps(o2, 1));
    _mm_storeu_ps(reinterpret_cast<float*>(rec[7]), _mm256_extractf128_ps(o3, 1));
}
}  // namespace

__attribute__((target("avx2"))) bool THPFilter::runNoteOctetHeld(HighPassOctets& bank, int s,
                                                                 int count, float freq,
                                                                 const float* mods,
                                                                 const float* resonances) {
    if (!lanes::wide()) return false;
    Lanes8 x[2], y[2];
    if (!takeNoteOctet(bank, s, count, freq, mods, resonances, x)) return false;
    runOctetStates(bank.octet[s], x, y);
    storeOctet(bank.octet[s], y, nullptr);
    return true;
}

__attribute__((target("avx2"))) unsigned THPFilter::runNoteOctetsHeld(
    HighPassOctets& bank, int n, float freq, const float* mods, const float* resonances,
    float (*sub)[16]) {
    if (!lanes::wide()) return 0;
    static_assert(HighPassOctets::kOctets == 2, "two octets, each written out below");
    HighPassOctet &a = bank.octet[0], &b = bank.octet[1];
    Lanes8 xa[2], xb[2], ya[2], yb[2];
    // Both octets' records and prepares first, then their recurrences one right after the
    // other, so that they overlap, then their stores.
    const bool runA = n > 0 && takeNoteOctet(bank, 0, std::min(8, n), freq, mods, resonances, xa);
    const bool runB =
        n > 8 && takeNoteOctet(bank, 1, std::min(8, n - 8), freq, mods, resonances, xb);
    if (runA) runOctetStates(a, xa, ya);
    if (runB) runOctetStates(b, xb, yb);
    if (runA) storeOctet(a, ya, sub ? sub[0] : nullptr);
    if (runB) storeOctet(b, yb, sub ? sub[1] : nullptr);
    const unsigned ran = (unsigned)runA | (unsigned)runB << 1;
    return ran;
}
#else
bool THPFilter::runNoteOctetHeld(HighPassOctets&, int, int, float, const float*, const float*) {
    return false;
}
unsigned THPFilter::runNoteOctetsHeld(HighPassOctets&, int, float, const float*, const float*,
                                      float (*)[16]) {
    return 0;
}
#endif

// Each voice's lane written back into all four lanes of its filter's states, as the runs
// store them (a padded lane repeats the last voice: the same values again).
void HighPassOctets::release(int s) {
    HighPassOctet& o = octet[s];
    if (o.count == 0) return;
    for (int i = 0; i < 8; ++i) {
        THPFilter& h = *o.f[i];
        h.pr[0].s1 = splat(o.t1[i]);
        h.pr[0].s2 = splat(o.t2[i]);
        h.pr[0].c = splat(o.cut[i]);
        h.holder = nullptr;
    }
    o.count = 0;
    holding &= ~(1u << s);
}

void HighPassOctets::release() { for (int s = 0; s < kOctets; ++s) release(s); }
