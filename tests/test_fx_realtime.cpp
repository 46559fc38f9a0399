// The audio thread never allocates: with every effect on (each distortion model and each
// Mod FX type in turn), a whole patch of sounding voices renders through processReplacing
// without a single call of operator new. This program replaces the global allocation
// functions to count them.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "test_engine_util.h"

namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void* countedNothrow(std::size_t n) noexcept {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}

void* countedAlloc(std::size_t n) {
    void* p = countedNothrow(n);
    if (!p) throw std::bad_alloc();
    return p;
}

void* countedAlignedAlloc(std::size_t n, std::align_val_t align) {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
    const std::size_t a = (std::size_t)align;
    void* p = std::aligned_alloc(a, (n + a - 1) / a * a);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return countedAlloc(n); }
void* operator new[](std::size_t n) { return countedAlloc(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return countedNothrow(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return countedNothrow(n); }
void* operator new(std::size_t n, std::align_val_t a) { return countedAlignedAlloc(n, a); }
void* operator new[](std::size_t n, std::align_val_t a) { return countedAlignedAlloc(n, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

using namespace enginetest;

namespace {

// Renders n samples, counting the allocations made inside processReplacing only.
long renderCounting(Engine& e, int n, int block = 256) {
    std::vector<float> inL(block, 0.0f), inR(block, 0.0f), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    const long before = gAllocations.load();
    for (int done = 0; done < n; done += block) {
        gCounting = true;
        e.p().processReplacing(in, out, block);
        gCounting = false;
    }
    return gAllocations.load() - before;
}

}  // namespace

TEST(RealTime, NoAllocationInProcessReplacingWithEveryEffectOn) {
    // The counting itself works: a vector made while counting is seen.
    const long before = gAllocations.load();
    gCounting = true;
    delete new std::vector<int>(100);
    gCounting = false;
    ASSERT_GE(gAllocations.load() - before, 2);
    Engine e;
    e.set({{345, 0.0f}, {346, 1.0f}, {348, 1.0f}, {351, 1.0f}, {354, 1.0f},
           {LAYER_ON_TAGS[0], 1.0f}, {LAYER_ON_TAGS[1], 1.0f}, {LAYER_ON_TAGS[2], 1.0f},
           {LAYER_DEST_TAGS[0], stepped(0, 4.99f)}, {LAYER_DEST_TAGS[1], stepped(1, 4.99f)},
           {LAYER_DEST_TAGS[2], stepped(3, 4.99f)}, {113, 0.5f}, {120, 0.5f}, {107, 0.5f}});
    // A chord of held notes across the keyboard.
    for (int note = 40; note < 88; note += 3) e.noteOn(note, 100);
    EXPECT_EQ(renderCounting(e, 4096), 0);
    for (int type = 0; type < 11; ++type) {
        e.set({{349, stepped(type, 10.99f)}});
        EXPECT_EQ(renderCounting(e, 2048), 0) << "Mod FX type " << type;
    }
    for (int mode = 0; mode < 26; ++mode) {
        e.set({{347, stepped(mode, 26.99f)}});
        EXPECT_EQ(renderCounting(e, 1024), 0) << "distortion model " << mode;
    }
    for (int path = 0; path < 6; ++path) {
        e.set({{344, stepped(path, 5.99f)}});
        EXPECT_EQ(renderCounting(e, 1024), 0) << "path " << path;
    }
    // A reset asked from outside the audio thread runs inside the next block: still none.
    e.p().reset();
    EXPECT_EQ(renderCounting(e, 1024), 0);
    // The effects really ran: the output is not silent.
    std::vector<float> y = e.render(4096);
    EXPECT_GT(rms(y, 0, y.size()), 1e-4);
}
