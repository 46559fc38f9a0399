// libFuzzer target: the ".ecs" controller-map parser on arbitrary bytes. A file it accepts
// maps each of the 128 controllers to a tag 0..1023, and writing it out reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ControllerMapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t map[ecsfile::kControllers];
    for (int32_t& v : map) v = -5;
    const char* text = reinterpret_cast<const char*>(data);
    if (!ecsfile::parse(text, size, map)) {
        for (int32_t v : map)
            if (v != -5) __builtin_trap();  // refused files write nothing
        return 0;
    }
    for (int32_t v : map)
        if (v < 0 || v > ecsfile::kMaxTag) __builtin_trap();
    const std::string again = ecsfile::write(map);
    int32_t back[ecsfile::kControllers];
    if (!ecsfile::parse(again.data(), again.size(), back)) __builtin_trap();
    for (int c = 0; c < ecsfile::kControllers; ++c)
        if (back[c] != map[c]) __builtin_trap();
    return 0;
}
