#include "engine/TEnvState.h"

#include <cstdint>
#include <cstring>

void TEnvState::silenceAll() {
    std::memset(&work, 0, sizeof(work));
}

void TEnvState::clearAll() {
    std::memset(this, 0, sizeof(*this));
    for (auto& row : rate)
        for (double& r : row) r = 1.0;
    const int32_t amp = 0;
    setList(&amp, 1);
}

namespace {

// The modulation source slot of each envelope's level; its inverse is the next slot.
constexpr int kEnvSourceSlot[kNumEnvs] = {96, 42, 44, 46, 48, 50, 52, 54, 56, 60, 62, 64, 66,
                                          68, 70, 72, 74, 78, 80, 82, 84, 86, 88, 90, 92};

}  // namespace

void TEnvState::setList(const int32_t* envs, int count) {
    if (count < 0) count = 0;
    if (count > kNumEnvs) count = kNumEnvs;
    if (count == listCount && std::memcmp(list, envs, sizeof(int32_t) * (size_t)count) == 0)
        return;  // the same list as before: nothing to redo
    listCount = count;
    // An envelope joining the list may still hold a step from before it left.
    for (uint8_t& m : moving) m = 1;
    for (int n = 0; n < kNumEnvs; ++n) advanceMask[n] = 0;
    for (int i = 0; i < count; ++i) {
        list[i] = envs[i];
        if ((unsigned)envs[i] < (unsigned)kNumEnvs) advanceMask[envs[i]] = ~uint64_t(0);
    }
    publishCount = 0;
    for (int i = 0; i < count; ++i) {
        const int n = list[i];
        if ((unsigned)n >= (unsigned)kNumEnvs) continue;
        PublishGroup g{n, kEnvSourceSlot[n], 1};
        if (i + 1 < count && list[i + 1] == n + 1 && n + 1 < kNumEnvs &&
            kEnvSourceSlot[n + 1] == kEnvSourceSlot[n] + 2) {
            g.count = 2;
            ++i;
        }
        publish[publishCount++] = g;
    }
}
