// Storage on 2 MB pages, where the system backs memory with them on request (transparent
// large pages in "madvise" mode). A large buffer filled when the plug-in is made then costs
// a page fault per 2 MB rather than per 4 KB, and the render loop fewer address
// translations. Where the request is refused, the memory is ordinary memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>

namespace largepages {

constexpr std::size_t kPageBytes = std::size_t(2) << 20;

// `bytes` aligned to a 2 MB page, its whole 2 MB pages marked for large pages (a part past
// the last whole one stays on small pages); null when out of memory. Not cleared.
void* allocate(std::size_t bytes) noexcept;
void release(void* p) noexcept;

// Marks the whole 2 MB pages inside [begin, begin + bytes) of memory nothing has touched yet
// (zeroed static arrays too), so that its first writes take large pages.
void advise(void* begin, std::size_t bytes) noexcept;

struct Release {
    void operator()(void* p) const noexcept { release(p); }
};

// n zeroed values of a trivially copyable T on large pages: every page is written here, not
// first by whoever uses them. Throws std::bad_alloc when out of memory.
template <class T>
std::unique_ptr<T[], Release> makeZeroed(std::size_t n);

// Blocks of one size, zeroed, from slabs of large pages shared by every taker in the
// process: for blocks too small for a 2 MB page of their own, made and freed with the
// objects that hold them (never on the audio thread). A slab is freed once none of its
// blocks is taken. Trivially destructible, so that a block given back while the process
// ends, after the static that holds its slabs, finds them as they were.
class Slabs {
public:
    // A slab's bytes (blockBytes x blocksPerSlab) are best a whole number of 2 MB pages.
    constexpr Slabs(std::size_t blockBytes, int blocksPerSlab)
        : blockBytes_(blockBytes), blocksPerSlab_(blocksPerSlab < 1 ? 1 : (blocksPerSlab > 64 ? 64 : blocksPerSlab)) {}
    Slabs(const Slabs&) = delete;
    Slabs& operator=(const Slabs&) = delete;

    // A zeroed block (on its own pages when every slab place is in use); throws
    // std::bad_alloc when out of memory.
    void* take();
    // Gives a block back (null: nothing).
    void give(void* block) noexcept;
    // Slabs held now (for tests and figures).
    int slabCount() const;

    static constexpr int kMaxSlabs = 1024;

private:
    struct Slab {
        char* base;
        uint64_t taken;  // a bit per block
    };
    std::size_t blockBytes_;
    int blocksPerSlab_;
    mutable std::mutex mutex_;
    int count_ = 0;
    Slab slabs_[kMaxSlabs] = {};
};

template <class T>
std::unique_ptr<T[], Release> makeZeroed(std::size_t n) {
    static_assert(std::is_trivially_copyable_v<T>, "zeroed bytes are a value of T");
    void* p = allocate(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    std::memset(p, 0, n * sizeof(T));
    return std::unique_ptr<T[], Release>(static_cast<T*>(p));
}

// One zeroed T on large pages, as makeZeroed.
template <class T>
std::unique_ptr<T, Release> makeZeroedOne() {
    return std::unique_ptr<T, Release>(makeZeroed<T>(1).release());
}

}  // namespace largepages
