// Filling of the filter coefficient tables, once per process.
#include "dsp/FilterTables.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "dsp/LargePages.h"

#include <sys/mman.h>

float FilterFreqPow2[kFilterTableSize];
float Filter2Sine[kFilterTableSize];
float Filter2Cos[kFilterTableSize];
float Filter12Lo2[kFilterTableSize];
float Filter12Hi2[kFilterTableSize];
float FilterMFF[kFilterTableSize];
float FilterMFQ[kFilterTableSize];
float FilterMFP[kFilterTableSize];
float FilterVoxC[kFilterTableSize];
float FilterVoxD[kFilterTableSize];
float FilterTmpqs[kFilterTableSize];
float FilterInvTmpq[kFilterTableSize];
float FilterTanBP[kFilterTableSize];

namespace {

// The tuning tables before the tables are filled, and where no aligned page is to be had.
FilterTuningTables gTuningFallback;

}  // namespace

// (Given their values where the tables are filled; initialised as constants, they lie apart
// from the tables, whose large pages a write at the library's load would split.)
float* FilterSine = gTuningFallback.sine;
float* FilterZTan = gTuningFallback.zTan;
float* FilterZQ = gTuningFallback.zQ;

namespace {

// The tuning tables' own memory: 2 MB aligned, its first 2 MB (all that a note start reads)
// marked for a large page before the first write. Mapped rather than taken from the heap:
// it is never freed, and a heap block left when the library is unloaded is a leak to the
// tools that look for them. When the library is unloaded (a host that scans its plug-ins
// loads and unloads each) its memory goes back to the system, but the mapping stays: a
// thread still running as the process ends reads zeros there rather than fault.
FilterTuningTables* takeTuningPage() {
    constexpr std::size_t kPage = largepages::kPageBytes;
    constexpr std::size_t kBytes = (sizeof(FilterTuningTables) + 4095) & ~std::size_t(4095);
    static_assert(offsetof(FilterTuningTables, sine) + sizeof(float) * kFilterTableSize / 2 <= kPage,
                  "a note's reads on the first page");
    void* raw = mmap(nullptr, kBytes + kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto at = reinterpret_cast<std::uintptr_t>(raw);
    const auto first = (at + kPage - 1) & ~(kPage - 1);
    if (first > at) munmap(raw, first - at);
    if (at + kBytes + kPage > first + kBytes)
        munmap(reinterpret_cast<void*>(first + kBytes), at + kBytes + kPage - (first + kBytes));
    // (The rest, the sine table's upper half, which the bounded cutoffs leave unread, stays
    // on small pages.)
    largepages::advise(reinterpret_cast<void*>(first), kPage);
    return reinterpret_cast<FilterTuningTables*>(first);
}

struct TuningPageRelease {
    constexpr TuningPageRelease() = default;
    ~TuningPageRelease() {
        if (FilterZQ != gTuningFallback.zQ) madvise(FilterZQ, sizeof(FilterTuningTables), MADV_DONTNEED);
    }
};
TuningPageRelease gTuningPageRelease;

// The coefficients are single precision throughout, with pi rounded down to the float
// just below it (3.14159250), so that the top of the tables keeps its small non-zero
// values; only the powers of two are evaluated in double precision.
constexpr float kPi = 3.14159250f;
constexpr float kTwoPi = 6.28318501f;
static_assert(kTwoPi == 2.0f * kPi, "2 pi is exactly twice the single-precision pi");
static_assert(kPi < 3.14159265358979 && kPi > 3.1415924, "pi just below the true value");

constexpr float kDenormalGuard = 1e-15f;

std::once_flag gFillOnce;
std::atomic<bool> gFilled{false};

// The tables are one translation unit's zeroed arrays: the whole 2 MB pages they fill are
// marked for large pages before the first write. Filled on small pages they cost some 3,600
// page faults, about 40 % of the time the process's first instance took to make; and a note
// reads entries scattered over megabytes, which then take fewer address translations. (The
// tuning tables' pages are marked where they are taken; the others lie side by side in one
// section. Listed: the tables something reads. The other two, never read, are left for the
// linker to drop.)
void adviseLargePages() {
    const float* const tables[] = {Filter2Sine, Filter2Cos, Filter12Lo2, Filter12Hi2,
                                   FilterMFF,   FilterMFQ,  FilterMFP,   FilterVoxC,
                                   FilterVoxD,  FilterTmpqs, FilterInvTmpq};
    auto lo = reinterpret_cast<std::uintptr_t>(tables[0]), hi = lo;
    for (const float* t : tables) {
        lo = std::min(lo, reinterpret_cast<std::uintptr_t>(t));
        hi = std::max(hi, reinterpret_cast<std::uintptr_t>(t + kFilterTableSize));
    }
    // (Only a span of the tables alone, with room for the other two and for the static
    // tuning tables, wherever the linker puts them: laid out otherwise, nothing is marked.)
    constexpr std::size_t kTable = sizeof Filter2Sine;
    if (hi - lo <= sizeof tables / sizeof tables[0] * kTable + 2 * kTable + sizeof(FilterTuningTables))
        largepages::advise(reinterpret_cast<void*>(lo), hi - lo);
}

void fillFilterTables() {
    if (FilterTuningTables* page = takeTuningPage()) {
        FilterZQ = page->zQ;
        FilterZTan = page->zTan;
        FilterSine = page->sine;
    }
    adviseLargePages();
    const float step = 1.0f / (float)kFilterTableSize;  // exact: 2^-18
    for (int i = 0; i < kFilterTableSize; ++i) {
        const float x = (float)i * step;
        const float s = std::sin(kPi * x);
        const float c = std::cos(kPi * x);
        const float s2 = std::sin(kTwoPi * x);
        const float c2 = std::cos(kTwoPi * x);
        const float tn = std::tan(kPi * x);

        // Four-pole ladder terms: frequency f, feedback q and pole p (the factor of f q
        // is 1.0 here).
        const float f = 2.0f * x;
        const float q = 1.0f - f;
        const float p = f + f * q;

        // Resonance terms of the formant modes.
        const float e = 1.0f + 3.98f * f;
        const float t = (float)std::exp2((double)e);

        FilterSine[i] = 2.0f * s + kDenormalGuard;
        Filter2Sine[i] = s2;
        Filter2Cos[i] = c2;
        Filter12Lo2[i] = c / (s + 0.0015f);
        Filter12Hi2[i] = s / (c + 0.0015f);
        FilterZTan[i] = tn;
        if (i < kFilterDampingSize) FilterZQ[i] = 0.5f * (float)std::exp2((double)(-5.0f * f));
        FilterMFF[i] = 2.0f * p - 1.0f + kDenormalGuard;
        FilterMFQ[i] = 1.0f + 0.5f * q * (1.0f - q + 5.6f * q * q);
        FilterMFP[i] = p + kDenormalGuard;
        FilterVoxC[i] = 1.0f / (s / c + 0.001f);
        FilterVoxD[i] = 2.0f * c2;
        FilterTmpqs[i] = std::sqrt(1.0f + t);
        FilterInvTmpq[i] = (float)std::exp2(-(double)e);
        // 1 / tan has a pole at 0; the first entry holds 1.0 instead of infinity.
        FilterTanBP[i] = i == 0 ? 1.0f : 1.0f / tn;
    }
    // FilterFreqPow2 is left as zero-initialised.
    gFilled.store(true, std::memory_order_release);
}

}  // namespace

void initFilterTables() { std::call_once(gFillOnce, fillFilterTables); }

bool filterTablesReady() { return gFilled.load(std::memory_order_acquire); }
