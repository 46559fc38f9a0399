#include "engine/TEnvState.h"

#include <cstring>

void TEnvState::silenceAll() { std::memset(&work, 0, sizeof(work)); }
