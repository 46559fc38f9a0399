// What the first read of a 2 MB page costs after the process has mapped, filled and unmapped
// memory elsewhere (as making an instance of the plug-in does): for a block mapped where the
// system puts it (beside that churn) and for one in a 1 GB stretch of address space of its
// own. Where the page tables are walked by the hardware alone, the two should cost alike: a
// cache miss and a page walk. A virtual machine that shadows the guest's page tables may drop
// its shadows of a whole page directory when an entry in it changes, and every first read
// after the churn then leaves the guest. That cost falls on the first notes after an instance
// is made (they read the filter tables' pages), so a first-burst figure from a machine where
// the first row reads far above the second holds it.
//
// Then what a read costs once the pages are mapped, when the lines read lie one to a 4 KB
// piece of large pages, against the same number of lines side by side. Where the TLB holds
// a large page as one entry, the two cost alike. A virtual machine whose host backs the
// guest with small pages has the TLB hold each 4 KB piece apart: the spread reads then climb
// with their number, as they outgrow the TLB, and every small page a burst of note starts
// touches costs a page walk of its own.
//
// usage: tavrolune-page-touch [ROUNDS]   (default 15; prints medians)
#include <sys/mman.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kLarge = std::size_t(2) << 20;
constexpr std::size_t kGiga = std::size_t(1) << 30;
constexpr std::size_t kBlock = 6 * kLarge;     // the size of the filter tables' span
constexpr std::size_t kChurn = 64 * kLarge;    // about what an instance maps and fills

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

// `bytes` on large pages, 2 MB aligned; with `apart`, at the start of a 1 GB stretch whose
// rest stays reserved (nothing else is mapped into its page directory). Kept to the end.
char* mapLarge(std::size_t bytes, bool apart) {
    const std::size_t align = apart ? kGiga : kLarge;
    const std::size_t span = apart ? 2 * kGiga : bytes + kLarge;
    void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    char* p = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(raw) + align - 1) & ~(align - 1));
    if (mprotect(p, bytes, PROT_READ | PROT_WRITE) != 0) return nullptr;
    madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

char* volatile chaseEnd = nullptr;  // where the last chase ended: it must run

// Nanoseconds per read of a chase through `count` lines `stride` bytes apart from `base`, in
// a shuffled order (each read waits on the one before), once they are all in the caches.
double chaseRead(char* base, std::size_t stride, int count) {
    std::vector<int> order((std::size_t)count);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin() + 1, order.end(), std::mt19937(7));
    for (int i = 0; i < count; ++i)
        *reinterpret_cast<char**>(base + (std::size_t)order[(std::size_t)i] * stride) =
            base + (std::size_t)order[(std::size_t)(i + 1) % (std::size_t)count] * stride;
    char* at = base;
    for (int i = 0; i < 4 * count; ++i) at = *reinterpret_cast<char**>(at);
    const int reads = std::max(400000, 20 * count);
    const double t0 = threadSeconds();
    for (int i = 0; i < reads; ++i) at = *reinterpret_cast<char**>(at);
    const double t1 = threadSeconds();
    chaseEnd = at;
    return 1e9 * (t1 - t0) / reads;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    volatile char sink = 0;
    for (const bool apart : {false, true}) {
        char* block = mapLarge(kBlock, apart);
        if (!block) {
            std::fprintf(stderr, "cannot map the block\n");
            return 1;
        }
        std::memset(block, 1, kBlock);
        std::vector<double> first, again;
        char* previous = nullptr;
        for (int r = 0; r < rounds; ++r) {
            // (each round's churn mapped before the last one's goes, as instances come and go)
            void* churn = mmap(nullptr, kChurn, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (churn == MAP_FAILED) return 1;
            madvise(churn, kChurn, MADV_HUGEPAGE);
            std::memset(churn, 2, kChurn);
            if (previous) munmap(previous, kChurn);
            previous = static_cast<char*>(churn);
            // (a line each time not read before, so that both reads miss the caches alike;
            // within the first 1 MB of every page, however many rounds)
            const std::size_t at = (std::size_t)(r % 256) * 4096;
            const double t0 = threadSeconds();
            for (std::size_t i = 0; i < kBlock; i += kLarge) sink = sink + block[i + at];
            const double t1 = threadSeconds();
            for (std::size_t i = 0; i < kBlock; i += kLarge) sink = sink + block[i + at + 64];
            const double t2 = threadSeconds();
            first.push_back((t1 - t0) / (double)(kBlock / kLarge));
            again.push_back((t2 - t1) / (double)(kBlock / kLarge));
        }
        std::printf("%-34s first read %7.0f ns per 2 MB page, a second line %5.0f ns\n",
                    apart ? "block in a 1 GB stretch of its own" : "block beside the churn",
                    1e9 * median(first), 1e9 * median(again));
    }
    // (a line and a small page apart, so the spread lines fall in different cache sets too)
    constexpr std::size_t kSpread = 4096 + 64;
    constexpr int kMostLines = 8192;
    char* lines = mapLarge(kSpread * kMostLines + kLarge, true);
    if (!lines) {
        std::fprintf(stderr, "cannot map the lines\n");
        return 1;
    }
    std::memset(lines, 1, kSpread * kMostLines);
    for (const int count : {512, 2048, kMostLines}) {
        std::vector<double> packed, spread;
        for (int r = 0; r < std::max(3, rounds / 5); ++r) {
            packed.push_back(chaseRead(lines, 64, count));
            spread.push_back(chaseRead(lines, kSpread, count));
        }
        std::printf("%5d lines: side by side %5.1f ns per read, one per 4 KB of large pages %5.1f ns\n",
                    count, median(packed), median(spread));
    }
    return 0;
}
