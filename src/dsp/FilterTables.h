// Coefficient tables of the voice and layer filters. The filters never evaluate sin, cos,
// tan, exp2 or sqrt on the audio path: every frequency- or resonance-dependent term is
// read from one of these process-wide tables.
//
// Entry i stands for the normalised position x = i / 262144, where x = 1 is the rate the
// voice filters run at (twice the host rate), so x = 0.5 is that rate's Nyquist frequency;
// f = 2x. The tables do not depend on the sample rate. They are filled once per process
// by initFilterTables() and only read afterwards.
#pragma once

#include <cstdint>

constexpr int kFilterTableSize = 262144;
constexpr int kFilterTableLast = kFilterTableSize - 1;

// The three tables a note start reads, side by side from the start of a 2 MB page of their
// own, taken when the tables are filled: the damping table holds only the entries a
// resonance reaches (every reader scales a resonance of 0 to 1 to at most 131071), and the
// cutoffs the filters are bounded to (under half the host rate) read the tan and sine
// tables within their first halves, so a note reaches its coefficients through this one
// page. (Where large pages are taken, the first read of a page after the process has
// changed its address space elsewhere can cost microseconds on a virtual machine, on the
// thread of the note.)
constexpr int kFilterDampingSize = kFilterTableSize / 2;
struct FilterTuningTables {
    float zQ[kFilterDampingSize];
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
extern float* FilterZQ;  // 0.5 * 2^(-5 f), indexed by resonance; kFilterDampingSize entries
extern float FilterMFF[kFilterTableSize];       // 2p - 1 + 1e-15, p = f + f (1 - f)
extern float FilterMFQ[kFilterTableSize];       // 1 + 0.5 q (1 - q + 5.6 q^2), q = 1 - f
extern float FilterMFP[kFilterTableSize];       // p + 1e-15
extern float FilterVoxC[kFilterTableSize];      // 1 / (sin(pi x) / cos(pi x) + 0.001)
extern float FilterVoxD[kFilterTableSize];      // 2 cos(2 pi x)
extern float FilterTmpqs[kFilterTableSize];     // sqrt(1 + 2^(1 + 3.98 f))
extern float FilterInvTmpq[kFilterTableSize];   // 2^-(1 + 3.98 f)
extern float FilterTanBP[kFilterTableSize];     // 1 / tan(pi x); entry 0 is 1.0

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
