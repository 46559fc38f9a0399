// libFuzzer target: the ".tun" tuning parser on arbitrary bytes. Whatever it accepts gives
// every note a finite pitch within the allowed range; what it refuses writes nothing.
#include <cstddef>
#include <cstdint>

#include "engine/TuningFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    float table[tunfile::kNotes];
    for (float& v : table) v = -1000.0f;
    const char* text = reinterpret_cast<const char*>(data);
    if (!tunfile::parse(text, size, table)) {
        for (float v : table)
            if (v != -1000.0f) __builtin_trap();
        return 0;
    }
    for (float v : table)
        if (!(v >= tunfile::kLowestPitch && v <= tunfile::kHighestPitch)) __builtin_trap();
    return 0;
}
