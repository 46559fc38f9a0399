// TFilter: the multimode filter of a "Wave" voice layer, also used by the distortion stage
// and the modulation effects. One call of the voice entry point filters one host sample of
// every stacked note (copy) of a voice layer; each copy is a stereoOverStruct, two stereo
// sub-samples at twice the host rate, so every kernel runs at the oversampled rate.
//
// Copies are processed two at a time in four float lanes (copy a left, copy a right, copy b
// left, copy b right). Every kernel keeps its coefficients and states as arrays of four
// lanes inside one block per copy pair; these blocks sit in the object and the large comb
// lines in storage of their own, so the per-lane loops stay in cache and vectorise.
//
// Levels: the kernels work at a tenth of the signal level (input 0.1 x in + 1e-15) and
// write 10 x their result, so output and input levels match. Coefficients come from the
// shared tables of FilterTables.h and are recomputed only when a cutoff, the resonance,
// the morph value or the mode moved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "dsp/LargePages.h"
#include "dsp/StereoTypes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__SSE__)
#include <xmmintrin.h>
#endif


// The 35 modes, in the order of the filter-mode parameter and its texts.
enum FilterMode : int {
    kFilterBypass = 0,
    kFilterLow6 = 1,
    kFilterHigh6 = 2,
    kFilterLow12 = 3,
    kFilterHigh12 = 4,
    kFilterBand12 = 5,
    kFilterNotch12 = 6,
    kFilterZeroLow12 = 7,
    kFilterZeroHigh12 = 8,
    kFilterZeroBand12 = 9,
    kFilterZeroNotch12 = 10,
    kFilterZeroLowHigh12 = 11,
    kFilterZeroLowBandHigh12 = 12,
    kFilterLow18 = 13,
    kFilterHigh18 = 14,
    kFilterLow24 = 15,
    kFilterHigh24 = 16,
    kFilterBand24 = 17,
    kFilterNotch24 = 18,
    kFilterZeroLow24 = 19,
    kFilterZeroHigh24 = 20,
    kFilterZeroBand24 = 21,
    kFilterZeroNotch24 = 22,
    kFilterZeroLowHigh24 = 23,
    kFilterZeroLowBandHigh24 = 24,
    kFilterLow36 = 25,
    kFilterHigh36 = 26,
    kFilterVocal = 27,
    kFilterFormant1 = 28,
    kFilterFormant2 = 29,
    kFilterCombPositive = 30,
    kFilterCombNegative = 31,
    kFilterCombPingPong = 32,
    kFilterRingMod = 33,
    kFilterAmpMod = 34,
};
constexpr int kFilterModeCount = 35;

// Stacked notes a voice filter takes in one call, and the number of copy pairs for 0 to 6
// copies (an odd count repeats its last copy to complete the pair).
constexpr int kFilterMaxCopies = 6;
constexpr int kFilterMaxPairs = 3;
constexpr int kFilterLanes = 4 * kFilterMaxPairs;
extern const int UNI_SPLIT_NUM[kFilterMaxCopies + 1];

// Four float lanes as one vector: a copy pair (copy a left, copy a right, copy b left,
// copy b right). Arithmetic on it is element-wise; lanes are read and written as v[l].
typedef float Lanes4 __attribute__((vector_size(16)));
typedef int32_t LaneInts4 __attribute__((vector_size(16)));

// Where the processor has AVX2 (checked at run time), the filters of four single-note
// voices can run in the eight lanes of one vector; eight-lane values live only inside the
// functions compiled for it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#define TAV_WIDE_LANES 1
typedef float Lanes8 __attribute__((vector_size(32)));
#include <immintrin.h>  // the AVX2 intrinsics, used only in functions compiled for AVX2
#else
#define TAV_WIDE_LANES 0
#endif

// Small numeric helpers shared by the voice and layer filters.
namespace filtermath {

inline Lanes4 splat(float v) { return Lanes4{v, v, v, v}; }

// maxLanes(x, y) = x > y ? x : y and minLanes(x, y) = x < y ? x : y lane by lane, NaN in x
// giving y: exactly what maxps and minps do with x as their first operand. GCC writes the
// selects as a compare and a blend, two steps on a filter's feedback path where one does.
inline Lanes4 maxLanes(Lanes4 x, Lanes4 y) {
#if defined(__SSE__)
    return (Lanes4)_mm_max_ps((__m128)x, (__m128)y);
#else
    return x > y ? x : y;
#endif
}
inline Lanes4 minLanes(Lanes4 x, Lanes4 y) {
#if defined(__SSE__)
    return (Lanes4)_mm_min_ps((__m128)x, (__m128)y);
#else
    return x < y ? x : y;
#endif
}

// True when any lane of a comparison result is set.
inline bool anyLane(LaneInts4 m) {
#if defined(__SSE__)
    return _mm_movemask_ps((__m128)m) != 0;
#else
    return (m[0] | m[1] | m[2] | m[3]) != 0;
#endif
}

// True when every lane of a equals that of b: one compare and a mask test, where
// !anyLane(a != b) also inverts the compare.
inline bool sameLanes(LaneInts4 a, LaneInts4 b) {
#if defined(__SSE2__)
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32((__m128i)a, (__m128i)b))) == 15;
#else
    return !anyLane(a != b);
#endif
}

// Four table entries as one vector.
inline Lanes4 gather(const float* table, LaneInts4 i) {
    return Lanes4{table[i[0]], table[i[1]], table[i[2]], table[i[3]]};
}

// Table indexes of positions already scaled to entries, saturated before the conversion
// (NaN gives 0).
inline LaneInts4 tableEntries(Lanes4 v) {
    return __builtin_convertvector(minLanes(maxLanes(v, splat(0.0f)), splat(262143.0f)), LaneInts4);
}

// Table indexes of normalised positions (fractions of the table): the product with 262143,
// saturated in float before the conversion; NaN gives 0.
inline LaneInts4 tableIndexes(Lanes4 position) {
    return tableEntries(position * 262143.0f);
}

// x clamped to [lo, hi]; NaN gives lo.
inline float clampNaN(float x, float lo, float hi) {
    x = x > lo ? x : lo;
    return x < hi ? x : hi;
}
inline Lanes4 clampNaN(Lanes4 x, float lo, float hi) {
    return minLanes(maxLanes(x, splat(lo)), splat(hi));
}
// The same in place for a float vector of any width (four or eight lanes; an eight-lane
// value is never passed by value outside the AVX2 paths).
template <class V>
__attribute__((always_inline)) inline void clampLanes(V& x, float lo, float hi) {
    if constexpr (sizeof(V) == sizeof(Lanes4)) {
        x = minLanes(maxLanes(x, splat(lo)), splat(hi));
    } else {
        // Eight lanes exist only inside the AVX2 functions, where this is inlined; their
        // max and min intrinsics are not declared outside such functions, so the same two
        // instructions are written out.
        const V vl = V{} + lo, vh = V{} + hi;
        asm("vmaxps %2, %1, %0" : "=x"(x) : "x"(x), "x"(vl));
        asm("vminps %2, %1, %0" : "=x"(x) : "x"(x), "x"(vh));
    }
}
// The same with the bounds as vectors of x's width (read from memory where they lie there).
template <class V>
__attribute__((always_inline)) inline void clampLanes(V& x, const V& lo, const V& hi) {
    if constexpr (sizeof(V) == sizeof(Lanes4)) {
        x = minLanes(maxLanes(x, lo), hi);
    } else {
        asm("vmaxps %2, %1, %0" : "=x"(x) : "x"(x), "xm"(lo));
        asm("vminps %2, %1, %0" : "=x"(x) : "x"(x), "xm"(hi));
    }
}

// Vector constants as memory operands. GCC 12 builds a four-lane constant of one value as a
// scalar load and a shuffle wherever it is used; read through a pointer the compiler cannot
// see into, each is one operand of the instruction that uses it. The values, and so the
// arithmetic, are those of the literals they stand for.
template <class T>
inline const T& opaqueConstants(const T& table) {
    const T* p = &table;
    asm("" : "+r"(p));
    return *p;
}

// Every constant is kept in eight lanes, the four-lane paths reading the first four (the
// fields named here) and the eight-lane ones the whole (as the table of the same layout in
// TLayerFilters.cpp, which adds 127 in eight lanes as `bias`): both share one table, whose
// nine cache lines are then all the constants the cutoff mappings read.
struct alignas(64) CutoffConstants {
    Lanes4 one, oneUpper, ten, tenUpper, half, halfUpper, c0, c0Upper, c1, c1Upper, c2, c2Upper,
        c3, c3Upper, c4, c4Upper, c5, c5Upper, sqrt2, sqrt2Upper, step, stepUpper, minusStep,
        minusStepUpper, milli, milliUpper, guard, guardUpper, top, topUpper;
    LaneInts4 bias, biasUpper;
    LaneInts4 absMask;  // every bit but the sign
};
#define TAV_CUTOFF_CONSTANT(v) {v, v, v, v}, {v, v, v, v}
inline constexpr CutoffConstants kCutoffConstants = {
    TAV_CUTOFF_CONSTANT(1.0f),
    TAV_CUTOFF_CONSTANT(10.0f),
    TAV_CUTOFF_CONSTANT(0.5f),
    TAV_CUTOFF_CONSTANT(1.00000008f),
    TAV_CUTOFF_CONSTANT(0.693147188f),
    TAV_CUTOFF_CONSTANT(0.240221075f),
    TAV_CUTOFF_CONSTANT(0.0555035711f),
    TAV_CUTOFF_CONSTANT(0.00967603192f),
    TAV_CUTOFF_CONSTANT(0.00133908634f),
    TAV_CUTOFF_CONSTANT(1.41421356f),
    TAV_CUTOFF_CONSTANT(1e-5f),
    TAV_CUTOFF_CONSTANT(-1e-5f),
    TAV_CUTOFF_CONSTANT(0.001f),
    TAV_CUTOFF_CONSTANT(1e-15f),
    TAV_CUTOFF_CONSTANT(262143.0f),
    TAV_CUTOFF_CONSTANT(127),
    {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff},
};
#undef TAV_CUTOFF_CONSTANT
inline const CutoffConstants& cutoffConstants() { return opaqueConstants(kCutoffConstants); }
#if TAV_WIDE_LANES
// The constants of the eight-lane cutoff mappings, read as memory operands (see
// opaqueConstants): cutoffConstants() read whole, each value in eight lanes.
typedef int32_t LaneInts8 __attribute__((vector_size(32)));
struct alignas(32) WideCutoffConstants {
    Lanes8 one, ten, half, c0, c1, c2, c3, c4, c5, sqrt2, step, minusStep, milli, guard, top;
    LaneInts8 bias;
};
#define TAV_SAME_PLACE(f) \
    static_assert(offsetof(WideCutoffConstants, f) == offsetof(CutoffConstants, f))
TAV_SAME_PLACE(one);
TAV_SAME_PLACE(ten);
TAV_SAME_PLACE(half);
TAV_SAME_PLACE(c0);
TAV_SAME_PLACE(c1);
TAV_SAME_PLACE(c2);
TAV_SAME_PLACE(c3);
TAV_SAME_PLACE(c4);
TAV_SAME_PLACE(c5);
TAV_SAME_PLACE(sqrt2);
TAV_SAME_PLACE(step);
TAV_SAME_PLACE(minusStep);
TAV_SAME_PLACE(milli);
TAV_SAME_PLACE(guard);
TAV_SAME_PLACE(top);
TAV_SAME_PLACE(bias);
#undef TAV_SAME_PLACE
// The table as eight-lane values.
inline const WideCutoffConstants& wideCutoffConstants() {
    const void* table = &cutoffConstants();
    return *static_cast<const WideCutoffConstants*>(table);
}
#endif

// 2^x for x in [0, 10] (the cutoff exponent), relative error about 2e-7: the integer part
// goes to the exponent bits, the fraction through a degree-5 polynomial about 0.5 (fitted
// at Chebyshev nodes, evaluated in two halves for a short dependency chain). Here x must
// already lie in [0, 10]; exp2Cutoff() clamps it first.
inline Lanes4 exp2CutoffInRange(Lanes4 x, const CutoffConstants& k) {
    const LaneInts4 i = __builtin_convertvector(x, LaneInts4);  // x >= 0: the floor
    const Lanes4 t = (x - __builtin_convertvector(i, Lanes4)) - k.half;
    const Lanes4 t2 = t * t;
    const Lanes4 lo = k.c0 + k.c1 * t;
    const Lanes4 mid = k.c2 + k.c3 * t;
    const Lanes4 hi = k.c4 + k.c5 * t;
    const Lanes4 p = lo + t2 * (mid + t2 * hi);
    const LaneInts4 bits = (i + 127) << 23;
    return p * k.sqrt2 * (Lanes4)bits;
}
// The same for any x: arguments outside [0, 10] (and NaN, taken as 0) are clamped.
inline Lanes4 exp2Cutoff(Lanes4 x) {
    const CutoffConstants& k = cutoffConstants();
    return exp2CutoffInRange(minLanes(maxLanes(x, splat(0.0f)), k.ten), k);
}
inline float exp2Cutoff(float x) { return exp2Cutoff(splat(x))[0]; }

// The cutoff in Hz as the coefficients use it: negative and NaN give 0, the top is the
// ceiling.
inline float boundCutoff(float f, float ceiling) { return clampNaN(f, 0.0f, ceiling); }
inline Lanes4 boundCutoff(Lanes4 f, float ceiling) { return clampNaN(f, 0.0f, ceiling); }

// The two-pole zero-delay state-variable filter with tuning g = tan(pi f / rate) and damping
// R, in the form whose feedback path is shortest:
//   v3 = x - s2, band = a1 s1 + a2 v3, low = s2 + a2 s1 + a3 v3, high = x - 2R band - low,
//   s1 = 2 band - s1, s2 = 2 low - s2,
// with a1 = 1 / (1 + 2R g + g^2), a2 = g a1, a3 = g a2. It is the same filter, state for
// state, as high = (x - (2R + g) s1 - s2) a1, band = g high + s1, low = g band + s2.
inline void zeroDelayCoefficients(Lanes4 g, float R, Lanes4& a1, Lanes4& a2, Lanes4& a3) {
    a1 = splat(1.0f) / (1.0f + 2.0f * R * g + g * g);
    a2 = g * a1;
    a3 = g * a2;
}

// dst = v, the store skipped when dst already holds v bit for bit: values that seldom
// change cost no store (and no stall of a wider load behind it) on most calls. Returns
// whether dst changed.
inline bool assignChanged(float& dst, float v) {
    uint32_t a, b;
    std::memcpy(&a, &dst, sizeof a);
    std::memcpy(&b, &v, sizeof b);
    if (a == b) return false;
    dst = v;
    return true;
}

// The arguments of a filter's last coefficient update and whether that update changed
// anything. An update is a function of its arguments and the filter's state alone, so one
// with the same arguments right after an update that changed nothing would change nothing
// either: it is skipped. Whatever else changes the state (a reset, tracking, an envelope
// value) clears `quiet`.
//
// The arguments are compared and kept one float (as its bits) at a time: the caller builds
// them in registers or as single floats on the stack, and a wider load of such narrow
// stores (as memcmp would do) must wait for them to reach the cache.
template <int N>
struct UpdateMemo {
    uint32_t args[N] = {};
    int notes = -1;
    bool quiet = false;
    static uint32_t bits(float v) {
        uint32_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    }
    // Whether these are the arguments and note count of the last update, bit for bit.
    bool same(const float (&a)[N], int n) const {
        if (n != notes) return false;
        uint32_t diff = 0;
        for (int i = 0; i < N; ++i) diff |= bits(a[i]) ^ args[i];
        return diff == 0;
    }
    bool skip(const float (&a)[N], int n) const { return quiet && same(a, n); }
    // record(a, 1, changed) with the arguments as values.
    template <class... F>
    void recordNote(bool changed, F... a) {
        static_assert(sizeof...(F) == N, "one value per argument");
        int i = 0;
        ((args[i++] = bits(a)), ...);
        notes = 1;
        quiet = !changed;
    }
    // skip(a, 1) with the arguments as values: no array is built for the common skip.
    template <class... F>
    bool skipNote(F... a) const {
        static_assert(sizeof...(F) == N, "one value per argument");
        if (!quiet || notes != 1) return false;
        uint32_t diff = 0;
        int i = 0;
        ((diff |= bits(a) ^ args[i++]), ...);
        return diff == 0;
    }
    void record(const float (&a)[N], int n, bool changed) {
        for (int i = 0; i < N; ++i) args[i] = bits(a[i]);
        notes = n;
        quiet = !changed;
    }
};

// The arguments of a filter's last key-tracking call: exp2(amount x key) is computed again
// only when one of them changes (tracking is set at every control update of a voice).
struct TrackMemo {
    uint32_t amountBits = 0, keyBits = 0;
    bool known = false;
    // Whether these differ from the last arguments, bit for bit; records them.
    bool changed(float amount, float key) {
        uint32_t a, k;
        std::memcpy(&a, &amount, sizeof a);
        std::memcpy(&k, &key, sizeof k);
        if (known && a == amountBits && k == keyBits) return false;
        amountBits = a;
        keyBits = k;
        known = true;
        return true;
    }
};

// Stores an envelope value (see pairEnvelopes); returns whether it differed bit for bit.
inline bool storeEnvelope(Lanes4& slot, float value) {
    // Every lane of a slot holds one value (it is only ever written whole, as a splat), so
    // lane 0 decides.
    uint32_t have, want;
    std::memcpy(&have, &slot, sizeof have);
    std::memcpy(&want, &value, sizeof want);
    if (have == want) return false;
    slot = splat(value);
    return true;
}

// Values this small in a state are dropped to zero, so that a decaying state never enters
// the subnormal range, flush-to-zero or not.
constexpr float kStateFloor = 1e-30f;

// The constants of the layer filters' kernels and of the state floor, each in eight lanes and
// read as memory operands (see opaqueConstants), so that no kernel call builds them anew: an
// eight-lane kernel reads a whole row (lanesOf), a four-lane one its first four values.
struct alignas(32) KernelConstants {
    float tenth[8], guard[8], ten[8], twenty[8], milli[8], limit[8], minusLimit[8], floor[8];
    int32_t absMask[8];
};
#define TAV_KERNEL_CONSTANT(v) {v, v, v, v, v, v, v, v}
inline constexpr KernelConstants kKernelConstants = {
    TAV_KERNEL_CONSTANT(0.1f),        TAV_KERNEL_CONSTANT(1e-15f),
    TAV_KERNEL_CONSTANT(10.0f),       TAV_KERNEL_CONSTANT(20.0f),
    TAV_KERNEL_CONSTANT(0.001f),      TAV_KERNEL_CONSTANT(18.2574186f),
    TAV_KERNEL_CONSTANT(-18.2574186f), TAV_KERNEL_CONSTANT(kStateFloor),
    TAV_KERNEL_CONSTANT(0x7fffffff),
};
#undef TAV_KERNEL_CONSTANT
inline const KernelConstants& kernelConstants() { return opaqueConstants(kKernelConstants); }
// A row of the table as a vector of V's width (its element type that of the row).
template <class V, class T>
__attribute__((always_inline)) inline const V& lanesOf(const T (&row)[8]) {
    static_assert(sizeof(V) <= sizeof row, "a row holds eight lanes");
    return *reinterpret_cast<const V*>(row);
}

inline void dropTiny(Lanes4& v) {
    // |v| > floor by clearing the sign bit; NaN compares false and drops too.
    const LaneInts4 magnitude = (LaneInts4)v & 0x7fffffff;
    v = (Lanes4)((LaneInts4)v & ((Lanes4)magnitude > kStateFloor));
}
// The same for a float vector of any width.
template <class V>
inline void dropTinyLanes(V& v) {
    using Ints = decltype(v > v);
    const KernelConstants& k = kernelConstants();
    const Ints magnitude = (Ints)v & lanesOf<Ints>(k.absMask);
    v = (V)((Ints)v & ((V)magnitude > lanesOf<V>(k.floor)));
}
inline void dropTiny(Lanes4* v, int n) {
    for (int i = 0; i < n; ++i) dropTiny(v[i]);
}

// One oversampled record as four lanes (left 0, right 0, left 1, right 1) and back.
inline Lanes4 loadNote(const stereoOverStruct& s) {
#if defined(__SSE__)
    const __m128 l0 = _mm_load_ss(&s.sub[0].left), r0 = _mm_load_ss(&s.sub[0].right);
    const __m128 l1 = _mm_load_ss(&s.sub[1].left), r1 = _mm_load_ss(&s.sub[1].right);
    return (Lanes4)_mm_movelh_ps(_mm_unpacklo_ps(l0, r0), _mm_unpacklo_ps(l1, r1));
#else
    Lanes4 v;
    std::memcpy(&v, &s, sizeof v);
    return v;
#endif
}
inline void storeNote(stereoOverStruct& s, Lanes4 v) { std::memcpy(&s, &v, sizeof v); }

// Lanes I0..I3 of the eight lanes of a followed by b.
template <int I0, int I1, int I2, int I3>
inline Lanes4 pickLanes(Lanes4 a, Lanes4 b) {
#if defined(__clang__)
    return __builtin_shufflevector(a, b, I0, I1, I2, I3);
#else
    return __builtin_shuffle(a, b, LaneInts4{I0, I1, I2, I3});
#endif
}

// Lane shuffles: {a0, a1, b0, b1} and {a2, a3, b2, b3}. A pair's sub-sample s holds its
// two notes side by side, so these turn two note records into the pair's two sub-samples
// and back with one shuffle each (movlhps / movhlps), where element-wise moves would take
// a dozen scalar instructions.
inline Lanes4 lowHalves(Lanes4 a, Lanes4 b) { return pickLanes<0, 1, 4, 5>(a, b); }
inline Lanes4 highHalves(Lanes4 a, Lanes4 b) { return pickLanes<2, 3, 6, 7>(a, b); }

// Two voices of one note each share a four-lane vector: lanes 0 and 1 hold voice a's left
// and right, lanes 2 and 3 voice b's. A filter of one note keeps its note in lanes 0 and 1
// of each state and coefficient and the same values again in lanes 2 and 3, so voice a's
// half is lowHalves(a, b) and voice b's is highHalves of the same loads moved down; after
// the run each voice gets its half back in both places (dupLow, dupHigh).
inline Lanes4 mergeNotes(const Lanes4& a, const Lanes4& b) { return lowHalves(a, b); }
inline Lanes4 dupLow(Lanes4 v) { return lowHalves(v, v); }
inline Lanes4 dupHigh(Lanes4 v) { return highHalves(v, v); }
inline void splitNotes(Lanes4 v, Lanes4& a, Lanes4& b) {
    a = dupLow(v);
    b = dupHigh(v);
}

// The sub-samples of two single-note records as lanes: s[k] = {a left, a right, b left,
// b right} of sub-sample k. The engine writes its note records whole, so the eight-byte
// halves load directly.
inline void loadNotePair(const stereoOverStruct& a, const stereoOverStruct& b, Lanes4 (&s)[2]) {
    for (int k = 0; k < 2; ++k) {
#if defined(__SSE2__)
        __m128 v = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&a.sub[k])));
        s[k] = (Lanes4)_mm_loadh_pi(v, reinterpret_cast<const __m64*>(&b.sub[k]));
#else
        s[k] = Lanes4{a.sub[k].left, a.sub[k].right, b.sub[k].left, b.sub[k].right};
#endif
    }
}

// The lanes of two single-note voices back into their records.
inline void storeNotePair(const Lanes4 (&s)[2], stereoOverStruct& a, stereoOverStruct& b) {
    storeNote(a, lowHalves(s[0], s[1]));
    storeNote(b, highHalves(s[0], s[1]));
}

// The kernels' input: a tenth of the signal plus the guard.
inline void scaleIn(const Lanes4 (&s)[2], Lanes4 (&x)[2]) {
    const KernelConstants& c = kernelConstants();
    for (int k = 0; k < 2; ++k) x[k] = s[k] * lanesOf<Lanes4>(c.tenth) + lanesOf<Lanes4>(c.guard);
}

// The envelope values of the two notes of pair p (an odd count repeats its last note) as
// lanes: note a left and right, note b left and right. Each note's value is kept in all
// four lanes of its own vector: setEnv() stores it with the same width as this loads it,
// since a load wider than the store before it must wait for that store to reach the cache.
inline Lanes4 pairEnvelopes(const Lanes4* env, int p, int n) {
    return lowHalves(env[2 * p < n ? 2 * p : n - 1], env[2 * p + 1 < n ? 2 * p + 1 : n - 1]);
}

// The scaled inputs of `copies` (1..6) notes as four-lane pairs: x[pair][sub-sample] =
// 0.1 x in + 1e-15, an odd count repeating its last note in the pair's second half.
inline void gatherPairs(const stereoOverStruct* in, int copies, int pairCount, Lanes4 (*x)[2]) {
    for (int p = 0; p < pairCount; ++p) {
        const Lanes4 a = loadNote(in[2 * p]);
        const Lanes4 b = loadNote(in[2 * p + 1 < copies ? 2 * p + 1 : copies - 1]);
        x[p][0] = lowHalves(a, b) * 0.1f + 1e-15f;
        x[p][1] = highHalves(a, b) * 0.1f + 1e-15f;
    }
}

// The results of the first `copies` notes back into their records; the duplicate lanes of
// an odd count are dropped.
inline void scatterPairs(const Lanes4 (*y)[2], int copies, stereoOverStruct* out) {
    for (int c = 0; c < copies; ++c) {
        const Lanes4* yp = y[c >> 1];
        storeNote(out[c], (c & 1) ? highHalves(yp[0], yp[1]) : lowHalves(yp[0], yp[1]));
    }
}

#if TAV_WIDE_LANES
// The eight lanes of four single-note voices a, b, c and d (see mergeNotes) from the note
// halves (lanes 0 and 1) of their fields: two 64-bit loads into each 128-bit half, where
// whole loads would need a shuffle for every two fields. Only for the AVX2 functions.
__attribute__((always_inline, target("avx2"))) inline void loadNoteHalves(Lanes8& out,
                                                                         const Lanes4& a,
                                                                         const Lanes4& b,
                                                                         const Lanes4& c,
                                                                         const Lanes4& d) {
    double first[2];
    std::memcpy(&first[0], &a, sizeof(double));
    std::memcpy(&first[1], &c, sizeof(double));
    const __m128 lo = _mm_loadh_pi(_mm_castpd_ps(_mm_set_sd(first[0])), reinterpret_cast<const __m64*>(&b));
    const __m128 hi = _mm_loadh_pi(_mm_castpd_ps(_mm_set_sd(first[1])), reinterpret_cast<const __m64*>(&d));
    out = (Lanes8)_mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

// The inverse: each voice's two lanes back into its field, in both halves (see splitNotes).
__attribute__((always_inline, target("avx2"))) inline void storeNoteHalves(const Lanes8& v,
                                                                          Lanes4& a, Lanes4& b,
                                                                          Lanes4& c, Lanes4& d) {
    const __m256 lows = _mm256_castpd_ps(_mm256_movedup_pd(_mm256_castps_pd((__m256)v)));
    const __m256 highs = _mm256_permute_ps((__m256)v, 0xEE);
    _mm_store_ps(reinterpret_cast<float*>(&a), _mm256_castps256_ps128(lows));
    _mm_store_ps(reinterpret_cast<float*>(&b), _mm256_castps256_ps128(highs));
    _mm_store_ps(reinterpret_cast<float*>(&c), _mm256_extractf128_ps(lows, 1));
    _mm_store_ps(reinterpret_cast<float*>(&d), _mm256_extractf128_ps(highs, 1));
}
#endif

}  // namespace filtermath

// Comb lines: 8192 stereo frames per line; positions and delays count 1/256 samples.
constexpr int kCombFrames = 8192;
constexpr uint32_t kCombPositionMask = (uint32_t)kCombFrames * 256u - 1u;  // wraps at 2^21

class LaneHolder;

class TFilter {
public:
    TFilter() = default;
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

    // Prepares the filter for a host rate (below 1000 Hz, or not finite, counts as 44100)
    // and clears every state; tracking returns to neutral.
    void init(float sampleRate);
    // Clears the kernel states, the comb lines, positions and phases; the next call
    // recomputes its coefficients and takes its cutoff targets without smoothing. Cheap:
    // the comb lines are cleared lazily (a frame not written since the reset reads as 0).
    void reset();
    // Stores the mode (clamped to 0..34); with `clear`, a change of mode resets first.
    void setType(int newMode, bool clear);
    // Key tracking: the cutoff is multiplied by 2^(amount x key), key in octaves.
    void setTrack(float amount, float key);
    // Velocity tracking: (velocity - 0.5) x amount is added to the normalised cutoff.
    void setVel(float amount, float velocity);
    // The envelope contribution (normalised) of one copy; other copy numbers are ignored.
    // (An envelope value leaves `steady` set: see prepareEnvelopes.)
    void setEnv(int copy, float value) {
        if (copy >= 0 && copy < kFilterMaxCopies && filtermath::storeEnvelope(env[copy], value))
            memo.quiet = false;
    }
    // The next call takes its cutoff targets without smoothing.
    void setDirect() {
        direct = true;
        unsettle();
    }
    // The effect entry point's smoothed cutoff plus the left modulation value.
    float getFreq() const { return smoothCutoff[0] + lastMod.left; }
    int getType() const { return mode; }

    // Voice entry point: `copies` stacked notes from `in` to `out` (they may be the same
    // array). Cutoffs are normalised (0..1 spans 20 Hz to 20480 Hz before tracking), the
    // separation divides the left cutoff and multiplies the right one, resonance and morph
    // are 0..1. Only out[0 .. copies-1] is written.
    void process(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                 float morph, int copies, const stereoOverStruct* in, stereoOverStruct* out);

    // Pair entry points for voices of one note each. prepareNote() takes the arguments the
    // voice's process() call would take; it passes the note through and returns false when
    // there is nothing to filter (bypass). Two prepared filters for which canRunPair() holds
    // then run side by side on a pair's lanes (see loadNotePair) with runNotePair(), others
    // alone with runNote(). The results are exactly those of process() on each.
    bool prepareNote(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                     float morph, const stereoOverStruct* in, stereoOverStruct* out) {
        // The common cases, a bypassed filter and a settled note, are decided here, without
        // the call.
        if (mode == kFilterBypass) {
            if (out != in) *out = *in;
            return false;
        }
        // The same arguments again: nothing to do when nothing else moved either, and only
        // the envelope left to follow when the rest has settled.
        if ((memo.quiet || steady) && sameNoteArgs(cutoff, mod, separation, resonance, morph)) {
            if (!memo.quiet) prepareNoteEnvelope();
            return true;
        }
        return prepare(cutoff, mod, separation, resonance, morph, 1, in, out) > 0;
    }
    // prepareNote() in two halves, for two voices whose envelope steps can share one vector:
    // prepareNoteLater() leaves the step where prepareNote() would only follow the envelope
    // (kNoteFollow; otherwise kNoteBypass: passed through, nothing to filter, or
    // kNoteReady), and followNotePair() then takes the steps left on two filters (distinct)
    // before they run. Together they do exactly what prepareNote() does on each.
    enum NoteState : int { kNoteBypass = 0, kNoteReady = 1, kNoteFollow = 2 };
    NoteState prepareNoteLater(stereoStruct cutoff, stereoStruct mod, float separation,
                               float resonance, float morph, const stereoOverStruct* in,
                               stereoOverStruct* out) {
        if (mode == kFilterBypass) {
            if (out != in) *out = *in;
            return kNoteBypass;
        }
        if ((memo.quiet || steady) && sameNoteArgs(cutoff, mod, separation, resonance, morph))
            return memo.quiet ? kNoteReady : kNoteFollow;
        return prepare(cutoff, mod, separation, resonance, morph, 1, in, out) > 0 ? kNoteReady
                                                                                   : kNoteBypass;
    }
    // The same with separation, resonance and morph in three words in a row (args, a fourth
    // readable word after them): tested with one load of the four.
    NoteState prepareNoteLater(stereoStruct cutoff, stereoStruct mod, const float* args,
                               const stereoOverStruct* in, stereoOverStruct* out) {
        if (mode == kFilterBypass) {
            if (out != in) *out = *in;
            return kNoteBypass;
        }
        if ((memo.quiet || steady) && sameNoteArgs(cutoff, mod, args))
            return memo.quiet ? kNoteReady : kNoteFollow;
        return prepare(cutoff, mod, args[0], args[1], args[2], 1, in, out) > 0 ? kNoteReady
                                                                               : kNoteBypass;
    }
    static void followNotePair(TFilter& a, NoteState sa, TFilter& b, NoteState sb) {
        if (sa == kNoteFollow) {
            if (sb == kNoteFollow)
                followTwoEnvelopes(a, b);
            else
                a.prepareNoteEnvelope();
        } else if (sb == kNoteFollow) {
            b.prepareNoteEnvelope();
        }
    }
    // followNotePair() of (a, b) and of (c, d) where all four are kNoteFollow (four distinct
    // filters): the four steps share one vector (eight lanes with AVX2).
    static void followFourEnvelopes(TFilter& a, TFilter& b, TFilter& c, TFilter& d);
    // Whether two prepared filters (a and b distinct) can run as a pair: the same kernel,
    // not a comb. The kernel's identity is kept as one key (see updatePairKey), so this is
    // a single vector compare.
    static bool canRunPair(const TFilter& a, const TFilter& b) {
        return filtermath::sameLanes(a.pairKey, b.pairKey) && a.pairKey[0] >= 0;
    }
    static void runNotePair(TFilter& a, TFilter& b, Lanes4 (&lanes)[2]);
    // Two pairs at once (canRunPair holding for a with each of b, c and d): the same as
    // runNotePair(a, b, ab) and runNotePair(c, d, cd); with AVX2 one eight-lane run.
    static void runNoteQuad(TFilter& a, TFilter& b, TFilter& c, TFilter& d, Lanes4 (&ab)[2],
                            Lanes4 (&cd)[2]);
    void runNote(const stereoOverStruct* in, stereoOverStruct* out) { run(1, in, out); }

    // Effect entry points: one oversampled stereo sample through the two-pole zero-delay
    // kernel of modes 7 to 12 (other modes take its low-pass tap; mode 0 passes through).
    // One smoothed cutoff, split by the separation:
    void process(float cutoff, float separation, stereoStruct mod, float resonance, float morph,
                 stereoOverStruct in, stereoOverStruct& out);
    // A smoothed cutoff per side, no separation:
    void process(stereoStruct cutoff, stereoStruct mod, float resonance, float morph,
                 stereoOverStruct in, stereoOverStruct& out);
    // The kernel at the cutoffs set by the last call of the two above.
    void process(stereoOverStruct in, stereoOverStruct& out);

    // Read-only views for tests and diagnostics.
    float getRate() const { return rate; }
    float getCeiling() const { return ceiling; }
    // The cutoff in Hz (after tracking, separation and the ceiling) of one lane as used by
    // the current coefficients; lane = 2 x copy + side.
    float getLaneCutoff(int lane) const {
        return (lane >= 0 && lane < kFilterLanes) ? cut[lane >> 2].fUsed[lane & 3] : 0.0f;
    }
    // The comb delay of one lane in 1/256 samples.
    uint32_t getCombDelay(int lane) const {
        return (lane >= 0 && lane < kFilterLanes) ? combDelay[lane] : 0u;
    }
    // Every float of the hot kernel state, for the denormal checks of the tests.
    const float* stateBegin() const { return reinterpret_cast<const float*>(pairs); }
    const float* stateEnd() const { return reinterpret_cast<const float*>(pairs + kFilterMaxPairs); }
    // What a note start's setType(), reset() and setters write, as {first byte, size}: the
    // scalars up to the first pair's cutoffs, the first pair, and the comb positions. The
    // other pairs wait for a larger note count (see pairsCleared).
    struct Bytes {
        const void* from;
        size_t size;
    };
    void startBytes(Bytes (&out)[3]) const {
        const char* const self = reinterpret_cast<const char*>(this);
        out[0] = {self, (size_t)(reinterpret_cast<const char*>(&cut[1]) - self)};
        out[1] = {&pairs[0], sizeof pairs[0]};
        out[2] = {combPos, (size_t)(reinterpret_cast<const char*>(&combWritten[kFilterLanes]) -
                                    reinterpret_cast<const char*>(combPos))};
    }
    // What setType() and setVel() alone touch, for a note start that needs no reset: the
    // scalars up to the mode.
    size_t setterBytes() const {
        return (size_t)(reinterpret_cast<const char*>(&mode + 1) - reinterpret_cast<const char*>(this));
    }
    // The comb lines of one copy (feed and feedback), 2 x kCombFrames floats each.
    const float* combFeedLine(int copy) const { return &combFeed[copy][0][0]; }
    const float* combFeedbackLine(int copy) const { return &combBack[copy][0][0]; }

    // Coefficients and states of one copy pair, four lanes each (Pair); the same fields with
    // eight lanes hold two pairs merged in the AVX2 paths.
    template <class V>
    struct alignas(64) PairT {
        // state-variable on FilterSine (modes 3-6, 13-16), first: its four fields fill one
        // cache line
        V svF, svD, svLow, svBand;
        // one-pole (modes 1, 2, 13, 14)
        V opA, opB, opY;
        // zero-delay state-variable (modes 7-12, 19-24; two sections)
        V zdA1, zdA2, zdA3, zdK;  // see zeroDelayCoefficients; zdK = 2R
        V zdS1[2], zdS2[2];
        // four-pole ladder (modes 17, 18, 25, 26): b0..b4
        V ldP, ldK, ldQ;
        V ldB[5];
        // fixed-Q biquad (modes 15, 16, 25, 26; b2 = b0) and its last two inputs and
        // outputs, newest first
        V bqB0, bqB1, bqA1, bqA2;
        V bqX[2], bqY[2];
        // four resonators (modes 27-29), their last two inputs and outputs, newest first
        V fmB0[4], fmA1[4], fmA2[4];
        V fmX[2], fmY[4][2];
        // ring and amplitude modulation (modes 33, 34): phase increment and phase
        V rmInc, rmPhase;
    };
    using Pair = PairT<Lanes4>;

private:
    friend struct TFilterQuadRuns;  // the eight-lane runs of runNoteQuad()
    friend class HeldMultimode;     // the quads that hold a layer's filters (see there)
    friend struct HeldMultimodeRuns;
    // Every entry point that reads or writes what a holder keeps releases it first.
    void releaseHeld() {
        if (__builtin_expect(holder != nullptr, 0)) releaseHolder();
    }
    __attribute__((noinline, cold)) void releaseHolder();
    static void releaseFour(TFilter& a, TFilter& b, TFilter& c, TFilter& d) {
        if (__builtin_expect(((uintptr_t)a.holder | (uintptr_t)b.holder | (uintptr_t)c.holder |
                              (uintptr_t)d.holder) != 0,
                             0)) {
            a.releaseHeld();
            b.releaseHeld();
            c.releaseHeld();
            d.releaseHeld();
        }
    }
    void updateShared(int pairCount);
    void clearPairs(int pairCount) {
        if (__builtin_expect(pairCount > pairsCleared, 0)) clearPairsFrom(pairCount);
    }
    __attribute__((noinline, cold)) void clearPairsFrom(int pairCount);
    void updatePairKey();
    void unsettle() {
        memo.quiet = false;
        steady = false;
    }
    // memo.same() for a call of one note: the memo's seven arguments and note count are
    // two vectors, {cutoff (2), mod (2)} and {separation, resonance, morph, notes}, each
    // compared with the call's at once (the stereo arguments arrive as one register each).
    bool sameNoteArgs(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                      float morphValue) const {
        using M = filtermath::UpdateMemo<7>;
        static_assert(offsetof(M, notes) == 7 * sizeof(uint32_t), "notes follows the arguments");
        const Lanes4 now = {cutoff.left, cutoff.right, mod.left, mod.right};
        const LaneInts4 rest = {(int32_t)M::bits(separation), (int32_t)M::bits(resonance),
                                (int32_t)M::bits(morphValue), 1};
#if defined(__SSE2__)
        // (the memo starts a cache line: both loads are aligned)
        const __m128i* kept = reinterpret_cast<const __m128i*>(&memo);
        const __m128i same =
            _mm_and_si128(_mm_cmpeq_epi32((__m128i)now, _mm_load_si128(kept)),
                          _mm_cmpeq_epi32((__m128i)rest, _mm_load_si128(kept + 1)));
        return _mm_movemask_ps(_mm_castsi128_ps(same)) == 15;
#else
        LaneInts4 kept[2];
        std::memcpy(kept, &memo, sizeof kept);
        return filtermath::sameLanes((LaneInts4)now, kept[0]) &&
               filtermath::sameLanes(rest, kept[1]);
#endif
    }
    // sameNoteArgs() with the last three arguments in a row (see prepareNoteLater).
    bool sameNoteArgs(stereoStruct cutoff, stereoStruct mod, const float* args) const {
#if defined(__SSE2__)
        using M = filtermath::UpdateMemo<7>;
        static_assert(offsetof(M, notes) == 7 * sizeof(uint32_t), "notes follows the arguments");
        const Lanes4 now = {cutoff.left, cutoff.right, mod.left, mod.right};
        // the fourth word replaced by the note count, 1
        const __m128i rest = _mm_or_si128(
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(args)),
                          _mm_set_epi32(0, -1, -1, -1)),
            _mm_set_epi32(1, 0, 0, 0));
        const __m128i* kept = reinterpret_cast<const __m128i*>(&memo);
        const __m128i same =
            _mm_and_si128(_mm_cmpeq_epi32((__m128i)now, _mm_load_si128(kept)),
                          _mm_cmpeq_epi32(rest, _mm_load_si128(kept + 1)));
        return _mm_movemask_ps(_mm_castsi128_ps(same)) == 15;
#else
        return sameNoteArgs(cutoff, mod, args[0], args[1], args[2]);
#endif
    }
    LaneInts4 useTargetEntries(int p, Lanes4& nf);
    void recomputePair(int p, bool shared);
    void recomputeCoefficients(int p, Lanes4 nf, LaneInts4 idx);
    void retunePair(int p, int n);
    void prepareEnvelopes(int n);
    void prepareNoteEnvelope();
    static void followTwoEnvelopes(TFilter& a, TFilter& b);
    template <bool Gather>
    static void followTwo(TFilter& a, TFilter& b);
    template <bool Gather>
    bool followEnvelope(Lanes4 v, Lanes4 f, LaneInts4 idx);
    template <bool Gather>
    bool retuneNote(LaneInts4 idx);
    int prepare(stereoStruct cutoff, stereoStruct mod, float separation, float resonance,
                float morph, int copies, const stereoOverStruct* in, stereoOverStruct* out);
    void run(int n, const stereoOverStruct* in, stereoOverStruct* out);
    void runPair(Pair& P, const Lanes4 (&x)[2], Lanes4 (&y)[2]) const;
    void runComb(int pairCount, const Lanes4 (*x)[2], Lanes4 (*y)[2]);
    void runEffectKernel(const stereoOverStruct& in, stereoOverStruct& out);
    void setEffectTargets(float left, float right, float sep);
    float smoothTarget(float target, float state) const;

    // The members are grouped by how often they are written. The compiler may read a
    // scalar with a wider load of the bytes around it, and a load that overlaps a narrower
    // store still on its way to the cache stalls until that store lands; so the settings
    // read on every call sit apart from the values written on every call, and those are
    // written only when they change.

    // rate block (halfInvRate and the ceiling: below)
    float rate = 44100.0f;
    float tableScale = 262143.0f / 88200.0f;

    // settings: tracking (the mode: below)
    float keyFactor = 1.0f;
    filtermath::TrackMemo trackMemo;  // the arguments keyFactor was computed from
    float velOffset = 0.0f;
    int lastEffectMode = -1;  // mode of the effect kernel's coefficients, -1 when stale

    // inputs of the current call (the resonance: below)
    stereoStruct lastMod{0.0f, 0.0f};
    float morph = 0.0f;  // clamp(morph, 0, 1)
    float smoothCutoff[2] = {0.0f, 0.0f};
    bool direct = true;

    // what the coefficients were computed for
    int lastMode = -1;
    int lastPairs = 0;
    // The pairs (and their cutoff records) from the first that hold a cleared state since
    // the last reset. A reset clears the first alone: a voice's note count, and with it its
    // pair count, stays as it is until the next reset, so a one-note voice never reads the
    // others, and a start leaves their lines (long gone from the caches) alone.
    int pairsCleared = kFilterMaxPairs;
    float coefRes = -1.0f;
    float coefMorph = -1.0f;

    // the output weights of the zero-delay modes (see updateShared)
    float tapLow = 1.0f, tapBand = 0.0f, tapHigh = 0.0f;

    // cutoff (2), mod (2), separation, resonance, morph of the last prepared voice call;
    // with steady and the first note's envelope value in one cache line, which every
    // voice call reads (an envelope step writes the value and the memo's quiet flag; a
    // held quad's step reads no other line of the filter)
    alignas(64) filtermath::UpdateMemo<7> memo;
    // The last voice call left everything but the envelope values where the same arguments
    // would leave it again: the smoothed cutoffs had settled (a smoothing step gave the
    // value it started from), nothing was taken directly, and tracking, separation and
    // mode stay until a setter clears this (see unsettle). A call with the same arguments
    // then only maps the envelopes (prepareEnvelopes).
    bool steady = false;
    // byTableEntry(mode) && res == entryRes0, kept wherever one of them is written (see
    // updatePairKey and recomputeCoefficients): the first pair's coefficients then depend on
    // its cutoffs only through their table entries.
    bool entryHolds0 = false;
    // entryHolds0 in a state-variable mode of one section (whose retuning reads the tuning
    // table alone), kept with it.
    bool sineHolds0 = false;
    int mode = 0;
    float res = 0.0f;  // clamp(resonance, 0, 1) x 0.95 of the current call
    Lanes4 env[kFilterMaxCopies] = {};  // per note, in every lane (see pairEnvelopes)

    // Where the first pair's cutoffs and state-variable tuning and states are held while the
    // filter runs in a held quad (see HeldMultimode): then those here are stale.
    LaneHolder* holder = nullptr;

    // Terms shared by all lanes, from the mode, resonance and morph of the last update: the
    // zero-delay damping R, the formant shifts and vowel frequencies, the formant
    // resonance terms and the comb feedback.
    float sharedR = 0.5f;
    float shifts[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float vowel[4] = {};
    float formantInv = 0.5f;
    float formantQs = 1.0f;
    float combGain = 0.0f;
    float ceiling = 0.38f * 44100.0f;    // = rateLanes[0]
    float halfInvRate = 1.0f / 88200.0f;  // = rateLanes[2]
    // the resonance the first pair's coefficients were computed for (entryResOf)
    float entryRes0 = 0.0f;
    float entryResRest[kFilterMaxPairs - 1] = {};
    float& entryResOf(int p) { return p == 0 ? entryRes0 : entryResRest[p - 1]; }
    // the key factor and separation the pairs' cutoffs were mapped with (see PairCutoffs)
    float lastKey = 1.0f;
    float lastSep = 1.0f;
    uint32_t gainKeyBits = 0x3f800000u;  // 1.0f
    uint32_t gainSepBits = 0x3f800000u;  // 1.0f

    // What a call of one note that only follows its envelope reads besides the memo's line
    // (which holds the envelope value), in one cache line: the normalised cutoff lanes
    // without the envelope ({left, right, left, right}: mod + velocity + smoothed cutoff)
    // of the last voice call, the side gains {20 k / sep, 20 k sep, ...} (for the key
    // factor and separation whose bits are kept above), the rate terms as a note's lanes,
    // {ceiling, ceiling, halfInvRate, halfInvRate} (two voices' steps take theirs side by
    // side with one shuffle each), and the kernel's identity for canRunPair: the mode (-1
    // for the combs, which never pair), then the output taps (zero-delay modes) or the
    // resonance (ring and amplitude modulation) as bits, zeros otherwise. None of these is
    // ever NaN or -0, so equal bits are equal values.
    alignas(64) Lanes4 lastCommon = {};
    Lanes4 sideGain = {20.0f, 20.0f, 20.0f, 20.0f};
    Lanes4 rateLanes = {0.38f * 44100.0f, 0.38f * 44100.0f, 1.0f / 88200.0f, 1.0f / 88200.0f};
    LaneInts4 pairKey = {};
    // Per pair, side by side (a one-note voice follows its envelope in one cache line):
    // the normalised cutoffs of the last call (NaN: none yet), the target cutoffs in Hz and
    // the ones the coefficients use (lane = 2 x copy + side within the pair's four), and the
    // table entries of the pair's coefficients.
    struct alignas(64) PairCutoffs {
        Lanes4 lastV = {};
        Lanes4 fTarget = {};
        Lanes4 fUsed = {};
        LaneInts4 lastEntry = {};
    };
    PairCutoffs cut[kFilterMaxPairs];

    Pair pairs[kFilterMaxPairs] = {};

    // comb section: write positions and delays in 1/256 samples, frames written since the
    // last reset (a frame at or beyond it has not been written and reads as 0)
    uint32_t combPos[kFilterLanes] = {};
    uint32_t combDelay[kFilterLanes] = {};
    int32_t combWritten[kFilterLanes] = {};

    // comb lines, [copy][frame][side], kept apart from the filter: only the comb modes
    // touch them, and inside the object their 786 KB would lie between the hot states of
    // neighbouring filters. Taken (zeroed) with the filter from slabs of large pages that
    // every filter shares: eight filters' lines fill three 2 MB pages, where lines of their
    // own would cost a page fault per 4 KB when the plug-in is made.
    struct CombLines {
        float feed[kFilterMaxCopies][kCombFrames][2];
        float back[kFilterMaxCopies][kCombFrames][2];
    };
    static constexpr int kCombLinesPerSlab = 8;
    static_assert(kCombLinesPerSlab * sizeof(CombLines) % largepages::kPageBytes == 0, "whole pages");
    static largepages::Slabs combSlabs;
    struct GiveCombLines {
        void operator()(CombLines* lines) const noexcept { combSlabs.give(lines); }
    };
    const std::unique_ptr<CombLines, GiveCombLines> combLines{
        static_cast<CombLines*>(combSlabs.take())};
    float (*const combFeed)[kCombFrames][2] = combLines->feed;
    float (*const combBack)[kCombFrames][2] = combLines->back;
};
