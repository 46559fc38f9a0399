// Which vector width the voice paths run: the baseline build uses four float lanes (SSE2,
// every x86-64 processor); where the processor has AVX2, the paths that have an eight-lane
// form take it. The choice is made once when the library loads; tests switch it to compare
// both paths on one render (they must give the same samples: every lane does the same
// operations in the same order either way).
#pragma once

#include <atomic>

namespace lanes {

enum class Width : int { Baseline = 4, Wide = 8 };

// The widest form the processor runs.
Width widest();

// The width in use; a request wider than the processor runs is held at widest().
void setWidth(Width w);
Width width();

namespace detail {
extern std::atomic<int> activeWidth;
}

// Read on the audio thread: one relaxed load.
inline bool wide() {
    return detail::activeWidth.load(std::memory_order_relaxed) == (int)Width::Wide;
}

}  // namespace lanes
