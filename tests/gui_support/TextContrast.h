// Contrast of two colours as the web's accessibility guidelines define it: the ratio of their
// relative luminances, each plus 0.05, from 1 : 1 to 21 : 1.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

struct Pixel {
    uint8_t r, g, b;
    bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
};

inline double relativeLuminance(const Pixel& p) {
    auto lin = [](uint8_t v) {
        const double c = v / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(p.r) + 0.7152 * lin(p.g) + 0.0722 * lin(p.b);
}

inline double contrastRatio(const Pixel& a, const Pixel& b) {
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
