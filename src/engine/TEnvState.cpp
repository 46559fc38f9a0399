#include "engine/TEnvState.h"

#include <cstring>

void TEnvState::silenceAll() {
    std::memset(&work, 0, sizeof(work));
}

void TEnvState::clearAll() {
    std::memset(this, 0, sizeof(*this));
    for (auto& row : rate)
        for (double& r : row) r = 1.0;
    list[0] = 0;
    listCount = 1;
}
