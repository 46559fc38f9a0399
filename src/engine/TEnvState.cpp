#include "engine/TEnvState.h"

#include <cstdint>
#include <cstring>

void TEnvState::silenceAll() {
    // The time factors and the memos of the settings stay.
    std::memset(work.run, 0, sizeof(work.run));
    for (auto& row : work.slot)
        for (Slot& s : row) std::memset(s.sub, 0, sizeof(s.sub));
    for (int v = 0; v < kEnvVoices; ++v) {
        book[v].movingCount = 0;  // every step is zero now
        moves[v].builtFor = kMovesStale;
        book[v].settled = 0;
    }
    republishAll();
}

void TEnvState::republishAll() {
    for (uint8_t& p : publishAll) p = 1;
    globalFrom = -1;
}

void TEnvState::clearAll() {
    std::memset(this, 0, sizeof(*this));
    for (auto& row : work.slot)
        for (Slot& s : row) s.rate = 1.0;
    for (VoiceMoves& m : moves) m.builtFor = kMovesStale;  // (a line of +0.0 is no line)
    const int32_t amp = 0;
    setList(&amp, 1);
}

void TEnvState::setList(const int32_t* envs, int count) {
    if (count < 0) count = 0;
    if (count > kNumEnvs) count = kNumEnvs;
    if (count == listCount && std::memcmp(list, envs, sizeof(int32_t) * (size_t)count) == 0)
        return;  // the same list as before: nothing to redo
    listCount = count;
    // An envelope joining the list may still hold a step from before it left, and one
    // leaving it stops moving: the moving lists are rebuilt, and the rows published whole.
    for (VoiceMoves& m : moves) m.builtFor = kMovesStale;
    republishAll();
    listMask = 0;
    for (int i = 0; i < count; ++i) {
        list[i] = envs[i];
        if ((unsigned)envs[i] < (unsigned)kNumEnvs) listMask |= 1u << envs[i];
    }
    publishCount = 0;
    for (int i = 0; i < count; ++i) {
        const int n = list[i];
        if ((unsigned)n >= (unsigned)kNumEnvs) continue;
        PublishGroup g{ENV_RUN_PLACE[n], ENV_SOURCE_SLOT[n], 1};
        if (i + 1 < count && list[i + 1] == n + 1 && n + 1 < kNumEnvs &&
            ENV_SOURCE_SLOT[n + 1] == ENV_SOURCE_SLOT[n] + 2 &&
            ENV_RUN_PLACE[n + 1] == ENV_RUN_PLACE[n] + 1) {
            g.count = 2;
            ++i;
        }
        publish[publishCount++] = g;
    }
}
