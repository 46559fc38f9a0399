#include "dsp/LaneDispatch.h"

namespace lanes {

namespace {

Width detect() {
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();
    // AVX2 also needs the system to save the wide registers; the builtin checks both.
    if (__builtin_cpu_supports("avx2")) return Width::Wide;
#endif
    return Width::Baseline;
}

const Width kWidest = detect();

}  // namespace

namespace detail {
std::atomic<int> activeWidth{(int)detect()};
}

Width widest() { return kWidest; }

void setWidth(Width w) {
    if ((int)w > (int)kWidest) w = kWidest;
    detail::activeWidth.store((int)w, std::memory_order_relaxed);
}

Width width() { return (Width)detail::activeWidth.load(std::memory_order_relaxed); }

}  // namespace lanes
