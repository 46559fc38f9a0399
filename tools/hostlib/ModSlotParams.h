// The plug-in's parameters of one modulation slot, as the tools set them on an instance.
#pragma once

#include <utility>
#include <vector>

namespace tavhost {

// Slot `slot` (0 to 7) on, routing source `src` to destination `dest` (their indices in the
// modulation menus, as stepped values of 200 and 500 steps) at `amount` (0 to 1): the
// bypass, source, destination and amount parameters, in that order.
inline std::vector<std::pair<int, float>> modSlotParams(int slot, int src, int dest, float amount) {
    return {{361 + slot, 0.0f},
            {369 + slot, ((float)src + 0.1f) / 199.99f},
            {377 + slot, ((float)dest + 0.1f) / 499.99f},
            {385 + slot, amount}};
}

}  // namespace tavhost
