// Coefficient tables of the voice and layer filters. The filters never evaluate sin, cos,
// tan, exp2 or sqrt on the audio path per sample: every frequency- or resonance-dependent
// term is read from one of these process-wide tables, but for the zero-delay damping, which
// is evaluated when its resonance entry changes (filterDamping).
//
// Entry i stands for the normalised position x = i / 262144, where x = 1 is the rate the
// voice filters run at (twice the host rate), so x = 0.5 is that rate's Nyquist frequency;
// f = 2x. The tables do not depend on the sample rate. They are filled once per process
// by initFilterTables() and only read afterwards.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

constexpr int kFilterTableSize = 262144;
constexpr int kFilterTableLast = kFilterTableSize - 1;

// The two tables a note start reads, side by side on one 2 MB page of their own, taken when
// the tables are filled: with the damping evaluated and the formant terms read by the formant
// modes alone, a note then reaches its coefficients through this one large page rather than
// three. (Where large pages are taken, the first read of a page after the process has
// changed its address space elsewhere can cost microseconds on a virtual machine, on the
// thread of the note.)
struct FilterTuningTables {
    float zTan[kFilterTableSize];
    float sine[kFilterTableSize];
};

// Never written: stays all zero; nothing may depend on it.
extern float FilterFreqPow2[kFilterTableSize];
extern float* FilterSine;                        // 2 sin(pi x) + 1e-15
extern float Filter2Sine[kFilterTableSize];     // sin(2 pi x)
extern float Filter2Cos[kFilterTableSize];      // cos(2 pi x)
extern float Filter12Lo2[kFilterTableSize];     // cos(pi x) / (sin(pi x) + 0.0015)
extern float Filter12Hi2[kFilterTableSize];     // sin(pi x) / (cos(pi x) + 0.0015)
extern float* FilterZTan;                        // tan(pi x)
extern float FilterMFF[kFilterTableSize];       // 2p - 1 + 1e-15, p = f + f (1 - f)
extern float FilterMFQ[kFilterTableSize];       // 1 + 0.5 q (1 - q + 5.6 q^2), q = 1 - f
extern float FilterMFP[kFilterTableSize];       // p + 1e-15
extern float FilterVoxC[kFilterTableSize];      // 1 / (sin(pi x) / cos(pi x) + 0.001)
extern float FilterVoxD[kFilterTableSize];      // 2 cos(2 pi x)
extern float FilterTmpqs[kFilterTableSize];     // sqrt(1 + 2^(1 + 3.98 f))
extern float FilterInvTmpq[kFilterTableSize];   // 2^-(1 + 3.98 f)
extern float FilterTanBP[kFilterTableSize];     // 1 / tan(pi x); entry 0 is 1.0

// The zero-delay filters' damping at entry i of a resonance scale: 0.5 * 2^(-5 f), f = 2x,
// evaluated as a table of it would be filled. Read only when a note starts or the resonance
// moves, where a table's line (and its page) would as a rule have to be fetched first.
inline float filterDamping(int i) {
    const float x = (float)i * (1.0f / (float)kFilterTableSize);
    const float f = 2.0f * x;
    return 0.5f * (float)std::exp2((double)(-5.0f * f));
}

// The damping at the last entry asked for: for the readers that may ask again and again at
// one entry while a cutoff moves.
struct FilterDampingMemo {
    int entry = -1;
    float value = 0.5f;
    float at(int i) {
        if (i != entry) {
            entry = i;
            value = filterDamping(i);
        }
        return value;
    }
};

// Fills the tables on the first call in the process; later calls (other instances, other
// threads) return at once, or wait until a fill running on another thread has finished,
// so a caller always sees complete tables. Never rewrites them.
void initFilterTables();

// True once the tables have been filled.
bool filterTablesReady();

// Index of a position given as a fraction of the table (0..1): the product with 262143,
// saturated in float to 0..262143 before the conversion (NaN gives 0), so no reader can
// index outside a table.
inline int filterTableIndex(float position) {
    const float v = position * (float)kFilterTableLast;
    if (!(v > 0.0f)) return 0;
    if (v >= (float)kFilterTableLast) return kFilterTableLast;
    return (int)v;
}
