#include "hostlib/TextUtil.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace tavhost {

std::string boundedString(const char* buf, size_t maxLen) {
    if (!buf) return std::string();
    const void* nul = std::memchr(buf, 0, maxLen);
    size_t len = nul ? (size_t)((const char*)nul - buf) : maxLen;
    return std::string(buf, len);
}

std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        unsigned char u = (unsigned char)c;
        if (u < 0x20 || u >= 0x7f) c = '?';
    }
    return out;
}

std::string fourCCText(int32_t code) {
    std::string out(4, '.');
    uint32_t u = (uint32_t)code;
    for (int i = 0; i < 4; ++i) {
        unsigned char c = (unsigned char)(u >> (24 - 8 * i));
        if (c >= 0x20 && c < 0x7f) out[(size_t)i] = (char)c;
    }
    return out;
}

bool parseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;  // from_chars refuses a leading '+'
    double value = 0;
    auto res = std::from_chars(first, last, value);
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool parseInt64(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;
    int64_t value = 0;
    auto res = std::from_chars(first, last, value);
    if (res.ec != std::errc() || res.ptr != last) return false;
    out = value;
    return true;
}

std::string formatFixed(double value, int decimals) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return "?";
    return std::string(buf, res.ptr);
}

}  // namespace tavhost
