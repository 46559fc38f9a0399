// libFuzzer target: the ".arp" preset parser on arbitrary bytes. A file it accepts holds
// 146 finite values in 0..1, and writing them out reads back the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ArpPresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    float values[arpfile::kValues];
    for (float& v : values) v = -2.0f;
    const char* text = reinterpret_cast<const char*>(data);
    if (!arpfile::parse(text, size, values)) {
        for (float v : values)
            if (v != -2.0f) __builtin_trap();  // refused files write nothing
        return 0;
    }
    for (float v : values)
        if (!(v >= 0.0f && v <= 1.0f)) __builtin_trap();
    const std::string again = arpfile::write(values);
    float back[arpfile::kValues];
    if (!arpfile::parse(again.data(), again.size(), back)) __builtin_trap();
    for (int i = 0; i < arpfile::kValues; ++i)
        if (std::fabs(back[i] - values[i]) > 1e-6f) __builtin_trap();
    return 0;
}
