#include "dsp/LargePages.h"

#include <cstdlib>

#include <sys/mman.h>

namespace largepages {

void* allocate(std::size_t bytes) noexcept {
    void* p = nullptr;
    if (posix_memalign(&p, kPageBytes, bytes) != 0) return nullptr;
    // (Marked before anything touches it, so that the first touch of each 2 MB takes a
    // large page.)
    advise(p, bytes);
    return p;
}

void advise(void* begin, std::size_t bytes) noexcept {
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + kPageBytes - 1) & ~(kPageBytes - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(kPageBytes - 1);
    // (refused where there are no large pages, which changes nothing)
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

void release(void* p) noexcept { std::free(p); }

static_assert(std::is_trivially_destructible_v<Slabs>, "usable until the process ends");

void* Slabs::take() {
    char* block = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t all = blocksPerSlab_ == 64 ? ~0ull : (1ull << blocksPerSlab_) - 1;
        for (int k = 0; k < count_ && !block; ++k) {
            Slab& s = slabs_[k];
            if (s.taken == all) continue;
            const int i = __builtin_ctzll(~s.taken);
            s.taken |= 1ull << i;
            block = s.base + (std::size_t)i * blockBytes_;
        }
        if (!block && count_ < kMaxSlabs) {
            char* base = static_cast<char*>(allocate(blockBytes_ * (std::size_t)blocksPerSlab_));
            if (!base) throw std::bad_alloc();
            slabs_[count_++] = {base, 1};
            block = base;
        }
    }
    if (!block) block = static_cast<char*>(allocate(blockBytes_));
    if (!block) throw std::bad_alloc();
    // (A fresh slab's pages are first touched here; a block given back holds old lines.)
    std::memset(block, 0, blockBytes_);
    return block;
}

void Slabs::give(void* block) noexcept {
    if (!block) return;
    const char* b = static_cast<const char*>(block);
    const std::size_t slabBytes = blockBytes_ * (std::size_t)blocksPerSlab_;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int k = 0; k < count_; ++k) {
            Slab& s = slabs_[k];
            if (b < s.base || b >= s.base + slabBytes) continue;
            s.taken &= ~(1ull << ((std::size_t)(b - s.base) / blockBytes_));
            if (s.taken == 0) {
                release(s.base);
                s = slabs_[--count_];
            }
            return;
        }
    }
    release(block);  // one of its own
}

int Slabs::slabCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

}  // namespace largepages
