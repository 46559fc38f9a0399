#include "engine/ArpPresetFile.h"

#include <charconv>
#include <cmath>

#include "engine/TextFileRead.h"

namespace arpfile {

bool parse(const char* data, std::size_t size, float* values) {
    if (!data || !values) return false;
    textfile::WordReader words(data, size);
    const char* first = nullptr;
    const char* last = nullptr;
    if (!words.next(first, last)) return false;  // the format tag
    float read[kValues];
    for (int i = 0; i < kValues; ++i) {
        if (!words.next(first, last)) return false;
        double v = 0.0;
        if (!textfile::parseNumberToken(first, last, v)) return false;
        if (!(v >= 0.0 && v <= 1.0)) return false;
        read[i] = (float)v;
    }
    for (int i = 0; i < kValues; ++i) values[i] = read[i];
    return true;
}

std::string write(const float* values) {
    std::string text = "V1.0\n";
    char buffer[64];
    for (int i = 0; i < kValues; ++i) {
        double v = values ? (double)values[i] : 0.0;
        if (!(v >= 0.0)) v = 0.0;  // NaN too
        if (v > 1.0) v = 1.0;
        const std::to_chars_result r =
            std::to_chars(buffer, buffer + sizeof(buffer), v, std::chars_format::fixed, 6);
        text.append(buffer, r.ptr);
        text += '\n';
    }
    return text;
}

}  // namespace arpfile
