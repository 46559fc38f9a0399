// The engine's shared random generator: a 32-bit multiplicative congruential sequence
// x = seed * 16807 (wrapping at 2^32), seed = x + 1, each draw read as the signed value
// x * 2^-31. One generator serves the whole process: the start-up noise tables, the pink
// noise, the LFO humanize draws and the effects all advance it.
//
// The state is a relaxed atomic so that several instances (each constructing or running
// its audio thread) never race on it in the language's sense. A draw is a plain load and
// a plain store, no read-modify-write and no lock: two threads drawing at the same moment
// may both see one state, which only repeats a noise value. Nothing here allocates or
// waits, so it is safe on the audio thread.
#pragma once

#include <atomic>
#include <cstdint>

class TRandSeed {
public:
    static constexpr uint32_t kStartSeed = 1u;
    static constexpr uint32_t kMultiplier = 16807u;
    static constexpr float kScale = 4.656613e-10f;  // 2^-31 in single precision

    constexpr TRandSeed() = default;
    explicit constexpr TRandSeed(uint32_t seed) : state_(seed) {}

    // Advances the generator; returns the raw draw x as a signed 32-bit value.
    int32_t nextRaw() {
        const uint32_t x = state_.load(std::memory_order_relaxed) * kMultiplier;
        state_.store(x + 1u, std::memory_order_relaxed);
        return (int32_t)x;
    }

    // Bipolar draw: x * 2^-31, in -1..1.
    float next() { return (float)nextRaw() * kScale; }

    // Unipolar draw: (x * 2^-31 + 1) * 0.5, in 0..1.
    float nextUnipolar() { return (next() + 1.0f) * 0.5f; }

    // Advances the generator by `draws` draws whose values nobody reads: the state they
    // leave, computed in a register rather than stored and reloaded at every draw.
    void skip(int draws) {
        uint32_t s = state_.load(std::memory_order_relaxed);
        for (int i = 0; i < draws; ++i) s = s * kMultiplier + 1u;
        state_.store(s, std::memory_order_relaxed);
    }

    uint32_t state() const { return state_.load(std::memory_order_relaxed); }
    void reset(uint32_t seed = kStartSeed) { state_.store(seed, std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> state_{kStartSeed};
};

// The process-wide generator (starts at 1 when the module is loaded).
extern TRandSeed RandSeed;
