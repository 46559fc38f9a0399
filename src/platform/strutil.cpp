#include "platform/strutil.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>

namespace {

bool isNumChar(char c) {
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

bool isNameByte(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 32 && u <= 127;
}

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

char upperOf(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

char lowerOf(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

constexpr std::size_t kSafeNameMax = 24;

} // namespace

void copyBounded(char* out, int outSize, const char* src, std::size_t srcLen) {
    if (!out || outSize < 1) return;
    std::size_t n = srcLen;
    if (!src) n = 0;
    const std::size_t room = static_cast<std::size_t>(outSize) - 1;
    if (n > room) {
        n = room;
        // Step back over UTF-8 continuation bytes so a cut leaves no half character.
        std::size_t k = n;
        while (k > 0 && (static_cast<unsigned char>(src[k]) & 0xC0) == 0x80) --k;
        n = k;
    }
    if (n) std::memmove(out, src, n);
    out[n] = 0;
}

void copyBounded(char* out, int outSize, const std::string& src) {
    copyBounded(out, outSize, src.c_str(), std::strlen(src.c_str()));
}

void upperCase(char* text) {
    if (!text) return;
    for (char* p = text; *p; ++p) *p = upperOf(*p);
}

void upperCase(std::string& text) {
    for (char& c : text) c = upperOf(c);
}

void lowerCase(char* text) {
    if (!text) return;
    for (char* p = text; *p; ++p) *p = lowerOf(*p);
}

void lowerCase(std::string& text) {
    for (char& c : text) c = lowerOf(c);
}

void stripAllButNum(char* text) {
    if (!text) return;
    char* w = text;
    for (const char* r = text; *r; ++r)
        if (isNumChar(*r)) *w++ = *r;
    *w = 0;
}

void stripAllButNum(std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (isNumChar(c)) kept += c;
    text.swap(kept);
}

void safename(char* name) {
    if (!name) return;
    std::size_t i = 0;
    while (i < kSafeNameMax && name[i] && isNameByte(name[i])) ++i;
    name[i] = 0;
}

char validChar(char c) {
    if (!isNameByte(c)) return 0;
    switch (c) {
    case ':':
        return '-';
    case '?':
    case '|':
    case '<':
    case '>':
    case '\\':
    case '/':
    case '"':
    case '*':
        return ' ';
    default:
        return c;
    }
}

std::string safeNameToSaveStr(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size() && i < kSafeNameMax; ++i) {
        const char v = validChar(name[i]);
        if (!v) break; // also stops at an embedded NUL
        out += v;
    }
    const std::size_t first = out.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first);
}

void safeNameToSaveStr(const char* name, char* out, int outSize) {
    const std::string safe = safeNameToSaveStr(std::string(name ? name : ""));
    copyBounded(out, outSize, safe);
}

void ltrim(std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    text.erase(0, i);
}

void rtrim(std::string& text) {
    std::size_t n = text.size();
    while (n > 0 && isSpace(text[n - 1])) --n;
    text.resize(n);
}

void trim(std::string& text) {
    rtrim(text);
    ltrim(text);
}

void ltrim(char* text) {
    if (!text) return;
    const char* p = text;
    while (*p && isSpace(*p)) ++p;
    if (p != text) std::memmove(text, p, std::strlen(p) + 1);
}

void rtrim(char* text) {
    if (!text) return;
    std::size_t n = std::strlen(text);
    while (n > 0 && isSpace(text[n - 1])) --n;
    text[n] = 0;
}

void trim(char* text) {
    if (!text) return;
    char* w = text;
    for (const char* r = text; *r; ++r) {
        const unsigned char u = static_cast<unsigned char>(*r);
        if (u >= 32 && u <= 126) *w++ = *r;
    }
    *w = 0;
    rtrim(text);
    ltrim(text);
}

bool stringCompareIgnoreCase(const char* a, const char* b) {
    if (!a || !b) return a == b;
    for (; *a && *b; ++a, ++b)
        if (upperOf(*a) != upperOf(*b)) return false;
    return *a == *b;
}

bool stringCompareIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperOf(a[i]) != upperOf(b[i])) return false;
    return true;
}

bool stringCompareIgnoreCase(const std::string& a, const char* b) {
    return stringCompareIgnoreCase(a, std::string(b ? b : ""));
}

bool compareStringIgnoreCase(const std::string& a, const std::string& b) {
    return stringCompareIgnoreCase(a, b);
}

std::string floatString(float value, int digits) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.setf(std::ios::fixed, std::ios::floatfield);
    s.precision(digits < 0 ? 0 : (digits > 30 ? 30 : digits));
    s << value;
    return s.str();
}

char* itoa(int value, char* out, int /*base*/) {
    if (!out) return out;
    std::snprintf(out, 12, "%d", value);
    return out;
}
