// A millisecond counter for timing UI work.
#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock (unaffected by changes of the wall clock); wraps
// around after about 49 days, so compare differences, not values.
uint32_t GetTickCount();
